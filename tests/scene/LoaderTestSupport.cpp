#include "tests/scene/LoaderTestSupport.h"

#include "data/FlexibleStream.h"
#include "scene/model/Scene.h"
#include "scene/material/NV2xMaterialHandler.h"

TSceneDataFolder::TSceneDataFolder() {
    const char* text = "!!VP1.1\nOPTION NV_position_invariant;\nMOV o[COL0], v[3];\nEND\n";
    WriteFileText(dir_.File(kBumpProgramFile), text);
    for (const char* name : kSceneProgramFiles)
        WriteFileText(dir_.File(name), text);
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetDataRoot(dir_.Path());
}

TSceneDataFolder::~TSceneDataFolder() {
    TFlexibleStream::ResetSettings();
}

TY3dMesh QuadMesh(int32_t id, const char* name, int32_t quads, int32_t material) {
    TY3dMesh m;
    m.Header = {id, 0, -1, name};
    m.Flags = vfPosition | vfNormal | vfTexCoord;
    for (int32_t q = 0; q < quads; q++) {
        const float x = float(q);
        const float corners[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
        for (const auto& c : corners) {
            const float v[8] = {x + c[0], c[1], 0, 0, 0, 1, c[0], c[1]};
            m.Vertices.insert(m.Vertices.end(), v, v + 8);
        }
        const uint32_t b = uint32_t(4 * q);
        for (uint32_t i : {b, b + 1, b + 2, b + 2, b + 1, b + 3})
            m.Indices.push_back(i);
    }
    m.VertexCount = 4 * quads;
    m.Groups.push_back({4, material, 0, int32_t(m.Indices.size())});
    return m;
}

TY3dNode Node(int32_t id, int32_t parent, int32_t reference, float x, float y, float z) {
    TY3dNode n;
    n.Header = {id, parent, reference, "node" + std::to_string(id)};
    n.Translation[0] = x;
    n.Translation[1] = y;
    n.Translation[2] = z;
    return n;
}

TY3dDocument SampleDocument() {
    TY3dDocument d;
    d.Colors = {{0.1f, 0.2f, 0.3f}, {0.05f, 0.05f, 0.05f}};

    TY3dObject box;
    box.What = TY3dObject::okMesh;
    box.Node = Node(1, 0, -1, 1, 2, 3);
    box.Mesh = QuadMesh(1, "Box", 2, 0);
    d.Objects.push_back(box);

    TY3dObject copy; // instances the box, animated, child of node 1
    copy.Node = Node(4, 1, 1);
    copy.Track =
        TY3dTrack{4, tkPositionRotationKeys, true, 7, 10, {0, 0, 0, 0, 0, 0, 1, 5, 0, 0, 0, 0, 0, 1}};
    d.Objects.push_back(copy);

    TY3dObject camera;
    camera.What = TY3dObject::okCamera;
    camera.Node = Node(2, 0, -1, 0, 0, 10);
    camera.Camera.Header = {2, 0, -1, "Camera"};
    d.Objects.push_back(camera);

    TY3dObject light;
    light.What = TY3dObject::okLight;
    light.Node = Node(3, 0, -1, 0, 5, 5);
    light.Light.Header = {3, 0, -1, "Spot"};
    light.Light.Spot = true;
    light.Light.Cone = 60.0f;
    light.Light.Intensity = 0.5f;
    light.Light.CastsShadows = true;
    d.Objects.push_back(light);

    TY3dPicture rgb;
    rgb.Header = {10, 0, -1, "C:\\maps\\rgb.tga"};
    rgb.Embedded = true;
    rgb.Width = 4;
    rgb.Height = 4;
    rgb.BytesPerPixel = 3;
    for (int i = 0; i < 48; i++)
        rgb.Pixels.push_back(uint8_t(i * 5));
    d.Pictures.push_back(rgb);
    TY3dPicture rgba = rgb;
    rgba.Header.Name = "heights.tga";
    rgba.BytesPerPixel = 4;
    rgba.Pixels.assign(64, 128);
    d.Pictures.push_back(rgba);

    TY3dMaterial opaque;
    opaque.Header = {20, 0, -1, "Opaque"};
    opaque.Maps.push_back({mtDiffuse, 0, 0.75f});
    d.Materials.push_back(opaque);
    TY3dMaterial glass;
    glass.Header = {21, 0, -1, "Glass"};
    glass.TwoSided = true;
    glass.Diffuse[3] = 0.5f;
    glass.Maps.push_back({mtBump, 1, 1.0f});
    d.Materials.push_back(glass);
    return d;
}

std::unique_ptr<TSmartY3dLoader> LoadBytes(I3dDevice* device, const std::vector<uint8_t>& bytes,
                                           const std::string& name) {
    auto loader = std::make_unique<TSmartY3dLoader>(device);
    loader->RegisterSceneHandlers();
    TReadOnlyMemoryStream stream(bytes.data(), int64_t(bytes.size()));
    loader->LoadFromStream(stream, name);
    return loader;
}
