// gen_scene_seeds OUTDIR: small scene files written by our scene writer, one
// per feature of the format, as the starting corpus of the scene fuzz target.
#include "scene/loader/Y3dFile.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

TY3dMesh Quad(int32_t id, int32_t flags, int32_t primitive, int32_t material) {
    TY3dMesh m;
    m.Header = {id, 0, -1, "quad"};
    m.Flags = flags;
    const float corners[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (const auto& c : corners) {
        const float v[8] = {c[0], c[1], 0, 0, 0, 1, c[0], c[1]};
        m.Vertices.insert(m.Vertices.end(), v, v + VertexFloats(flags));
    }
    m.VertexCount = 4;
    m.Indices = primitive == 4 ? std::vector<uint32_t>{0, 1, 2, 2, 1, 3} : std::vector<uint32_t>{0, 1, 2, 3};
    m.Groups.push_back({primitive, material, 0, int32_t(m.Indices.size())});
    return m;
}

TY3dNode Node(int32_t id, int32_t parent, int32_t reference, uint32_t version = kVersion202) {
    TY3dNode n;
    n.Header = {id, parent, reference, "n" + std::to_string(id)};
    n.Version = version;
    n.Translation[2] = float(id);
    return n;
}

TY3dPicture Picture(int32_t bytes) {
    TY3dPicture p;
    p.Header = {100, 0, -1, "pic.tga"};
    p.Embedded = true;
    p.Width = p.Height = 2;
    p.BytesPerPixel = bytes;
    p.Pixels.assign(size_t(4 * bytes), 200);
    return p;
}

TY3dDocument Full() {
    TY3dDocument d;
    TY3dObject mesh, instance, camera, light, helper;
    mesh.What = TY3dObject::okMesh;
    mesh.Node = Node(1, 0, -1);
    mesh.Mesh = Quad(1, vfPosition | vfNormal | vfTexCoord, 4, 0);
    instance.Node = Node(2, 1, 1);
    instance.Track =
        TY3dTrack{2, tkPositionRotationKeys, true, 7, 5, {0, 0, 0, 0, 0, 0, 1, 1, 2, 3, 0, 0.7f, 0, 0.7f}};
    camera.What = TY3dObject::okCamera;
    camera.Node = Node(3, 0, -1);
    camera.Camera.Header = {3, 0, -1, "cam"};
    light.What = TY3dObject::okLight;
    light.Node = Node(4, 0, -1);
    light.Light.Header = {4, 0, -1, "spot"};
    light.Light.Spot = light.Light.CastsShadows = true;
    helper.What = TY3dObject::okHelper;
    helper.Node = Node(5, 0, -1);
    helper.Helper = {5, 0, -1, "group"};
    d.Objects = {mesh, instance, camera, light, helper};
    d.Pictures = {Picture(3), Picture(4)};
    TY3dMaterial m;
    m.Header = {50, 0, -1, "mat"};
    m.Maps = {{mtDiffuse, 0, 0.5f}, {mtBump, 1, 1}, {mtReflection, 0, 0.3f}};
    d.Materials = {m};
    return d;
}

void Save(const std::string& folder, const char* name, const TY3dDocument& d) {
    SaveY3dFile(d, folder + "/" + name);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_scene_seeds OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    try {
        Save(out, "full.y3d", Full());

        TY3dDocument twoSided;
        TY3dObject o;
        o.What = TY3dObject::okMesh;
        o.Node = Node(1, 0, -1, kVersion201);
        o.Mesh = Quad(1, vfPosition | vfNormal, 5, 0);
        twoSided.Objects = {o};
        TY3dMaterial glass;
        glass.TwoSided = true;
        glass.Diffuse[3] = 0.5f;
        glass.Version = kVersion11;
        twoSided.Materials = {glass};
        Save(out, "two-sided-strip.y3d", twoSided);

        TY3dDocument animated;
        TY3dObject a;
        a.Node = Node(7, 0, -1);
        a.Track = TY3dTrack{7, tkPositionKeys, true, 3, 2, {0, 0, 0, 1, 1, 1, 2, 0, 2}};
        TY3dObject fan;
        fan.What = TY3dObject::okMesh;
        fan.Node = Node(8, 7, -1);
        fan.Mesh = Quad(8, vfPosition | vfNormal | vfTexCoord, 6, 3);
        animated.Objects = {a, fan};
        Save(out, "position-track-fan.y3d", animated);

        TY3dDocument referenced;
        TY3dPicture p;
        p.Header = {1, 0, -1, "C:\\maps\\wood.jpg"};
        referenced.Pictures = {p};
        Save(out, "referenced-picture.y3d", referenced);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
