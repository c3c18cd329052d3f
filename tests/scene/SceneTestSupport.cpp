#include "tests/scene/SceneTestSupport.h"

#include <png.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "data/FlexibleStream.h"
#include "scene/math/Vector.h"

namespace {

TY3dNodeHeader Header(int32_t id) {
    TY3dNodeHeader h;
    h.Id = id;
    h.Name = "n" + std::to_string(id);
    return h;
}

// The node rotation (x, y, z, w) turning -z from eye to target, y up: the
// rows of its matrix are the images of the node's axes.
void LookRotation(const float eye[3], const float target[3], float q[4]) {
    TVector3 z = TVector::Normalize({eye[0] - target[0], eye[1] - target[1], eye[2] - target[2]});
    const TVector3 up = std::fabs(z.y) > 0.999f ? TVector3{0, 0, -1} : TVector3{0, 1, 0};
    const TVector3 x = TVector::Normalize(TVector::Cross(up, z)), y = TVector::Cross(z, x);
    const float r[3][3] = {{x.x, x.y, x.z}, {y.x, y.y, y.z}, {z.x, z.y, z.z}};
    // The largest of w, x, y, z first, for precision.
    const float t[4] = {r[0][0] + r[1][1] + r[2][2], r[0][0] - r[1][1] - r[2][2], r[1][1] - r[0][0] - r[2][2],
                        r[2][2] - r[0][0] - r[1][1]};
    int k = 0;
    for (int i = 1; i < 4; i++)
        if (t[i] > t[k]) k = i;
    const float s = 0.5f / std::sqrt(t[k] + 1.0f);
    const float w4[4] = {r[2][1] - r[1][2], r[0][2] - r[2][0], r[1][0] - r[0][1], 0}; // 4w * (x, y, z)
    const float xy = r[0][1] + r[1][0], xz = r[0][2] + r[2][0], yz = r[1][2] + r[2][1];
    const float v[4][4] = {{w4[0], w4[1], w4[2], t[0] + 1},
                           {t[1] + 1, xy, xz, w4[0]},
                           {xy, t[2] + 1, yz, w4[1]},
                           {xz, yz, t[3] + 1, w4[2]}};
    for (int i = 0; i < 4; i++)
        q[i] = v[k][i] * s;
}

void Vertex(TY3dMesh& m, const float p[3], const float n[3], float s, float t) {
    for (float f : {p[0], p[1], p[2], n[0], n[1], n[2], s, t})
        m.Vertices.push_back(f);
    m.VertexCount++;
}

TY3dMesh Finish(TY3dMesh m, int32_t material) {
    m.Flags = vfPosition | vfNormal | vfTexCoord;
    m.Groups = {{4, material, 0, int32_t(m.Indices.size())}};
    return m;
}

} // namespace

int32_t TSceneBuilder::AddMaterial(const TY3dMaterial& material) {
    Doc.Materials.push_back(material);
    Doc.Materials.back().Header = Header(NextId++);
    return int32_t(Doc.Materials.size()) - 1;
}

int32_t TSceneBuilder::AddPicture(int32_t w, int32_t h, uint32_t (*colour)(int32_t, int32_t)) {
    TY3dPicture p;
    p.Header = Header(NextId++);
    p.Embedded = true;
    p.Width = w;
    p.Height = h;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            for (int shift : {16, 8, 0})
                p.Pixels.push_back(uint8_t(colour(x, y) >> shift));
    Doc.Pictures.push_back(p);
    return int32_t(Doc.Pictures.size()) - 1;
}

// A node of the given kind at `at`, turned by `rotation` or towards target.
TY3dObject& TSceneBuilder::AddNode(TY3dObject::Kind kind, const float at[3], const float* rotation,
                                   const float* target) {
    Doc.Objects.emplace_back();
    TY3dObject& o = Doc.Objects.back();
    o.What = kind;
    o.Node.Header = o.Mesh.Header = o.Camera.Header = o.Light.Header = Header(NextId++);
    std::copy(at, at + 3, o.Node.Translation);
    if (rotation) std::copy(rotation, rotation + 4, o.Node.Rotation);
    if (target) LookRotation(at, target, o.Node.Rotation);
    return o;
}

int32_t TSceneBuilder::AddMesh(const TY3dMesh& mesh, const float at[3], const float rotation[4]) {
    TY3dObject& o = AddNode(TY3dObject::okMesh, at, rotation, nullptr);
    const TY3dNodeHeader h = o.Node.Header;
    o.Mesh = mesh;
    o.Mesh.Header = h;
    return h.Id;
}

int32_t TSceneBuilder::AddCamera(const float eye[3], const float target[3], float fov) {
    TY3dObject& o = AddNode(TY3dObject::okCamera, eye, nullptr, target);
    o.Camera.Fov = fov;
    return o.Node.Header.Id;
}

int32_t TSceneBuilder::AddLight(const float eye[3], const float target[3], float cone, bool castsShadows) {
    TY3dObject& o = AddNode(TY3dObject::okLight, eye, nullptr, target);
    o.Light.Spot = cone > 0;
    o.Light.Cone = cone;
    o.Light.CastsShadows = castsShadows;
    o.Light.ShadowNear = 2.0f;
    o.Light.ShadowFar = 40.0f;
    return o.Node.Header.Id;
}

TY3dMaterial ColourMaterial(float r, float g, float b, float a, float specular) {
    TY3dMaterial m;
    const float colours[3][4] = {
        {r * 0.2f, g * 0.2f, b * 0.2f, 1}, {r, g, b, a}, {specular, specular, specular, 1}};
    std::copy(colours[0], colours[0] + 4, m.Ambient);
    std::copy(colours[1], colours[1] + 4, m.Diffuse);
    std::copy(colours[2], colours[2] + 4, m.Specular);
    m.Glossiness = 0.3f;
    return m;
}

// Six quads, each 4 corners counter-clockwise seen from outside.
TY3dMesh BoxMesh(float size, int32_t material) {
    TY3dMesh m;
    const float h = size / 2;
    for (int axis = 0; axis < 3; axis++)
        for (float sign : {1.0f, -1.0f}) {
            const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
            const uint32_t base = uint32_t(m.VertexCount);
            for (auto [u, v] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
                float p[3], n[3] = {0, 0, 0};
                p[axis] = sign * h;
                p[a1] = sign * float(u) * h;
                p[a2] = float(v) * h;
                n[axis] = sign;
                Vertex(m, p, n, (u + 1) / 2.0f, (v + 1) / 2.0f);
            }
            for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u})
                m.Indices.push_back(base + i);
        }
    return Finish(m, material);
}

TY3dMesh PlaneMesh(float w, float h, int32_t n, int32_t material) {
    TY3dMesh m;
    const float normal[3] = {0, 0, 1};
    for (int32_t j = 0; j <= n; j++)
        for (int32_t i = 0; i <= n; i++) {
            const float s = float(i) / float(n), t = float(j) / float(n),
                        p[3] = {(s - 0.5f) * w, (t - 0.5f) * h, 0};
            Vertex(m, p, normal, s, t);
        }
    for (int32_t j = 0; j < n; j++)
        for (int32_t i = 0; i < n; i++) {
            const uint32_t a = uint32_t(j * (n + 1) + i), d = a + uint32_t(n + 1);
            for (uint32_t k : {a, a + 1, d + 1, a, d + 1, d})
                m.Indices.push_back(k);
        }
    return Finish(m, material);
}

TSceneFolder::TSceneFolder() {
    for (const auto& entry : std::filesystem::directory_iterator(SourcePath("content")))
        if (entry.path().filename().string().rfind("vp", 0) == 0)
            std::filesystem::copy_file(entry.path(), dir_.File(entry.path().filename().string()));
}

TSceneWindow::TSceneWindow(int32_t w, int32_t h, const TSceneFolder& folder) : gl_(w, h) {
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetDataRoot(folder.Path());
}

TSceneWindow::~TSceneWindow() {
    loaders_.clear();
    TFlexibleStream::ResetSettings();
}

Ts3dScene* TSceneWindow::Load(const std::string& name) {
    loaders_.push_back(std::make_unique<TSmartY3dLoader>(gl_.Device()));
    loaders_.back()->RegisterSceneHandlers();
    loaders_.back()->Load(name);
    Ts3dScene* scene = loaders_.back()->Scene();
    scene->ShadowMapSize = 128;
    scene->ReflectionsEnabled = false;
    return scene;
}

RgbaPicture TSceneWindow::Shot(Ts3dScene* scene, int32_t camera, double time) {
    scene->Prepare();
    scene->SelectCamera(camera);
    scene->Time = time;
    scene->Render();
    RgbaPicture p{gl_.Width(), gl_.Height(), gl_.ReadRGBA()};
    for (size_t i = 3; i < p.pixels.size(); i += 4)
        p.pixels[i] = 255;
    return p;
}

uint32_t At(const RgbaPicture& p, int32_t x, int32_t y) {
    uint32_t c;
    std::memcpy(&c, &p.pixels[(size_t(y) * size_t(p.width) + size_t(x)) * 4], 4);
    return c;
}

double Brightness(const RgbaPicture& p, int32_t x, int32_t y) {
    double sum = 0;
    for (int32_t j = y - 1; j <= y + 1; j++)
        for (int32_t i = x - 1; i <= x + 1; i++) {
            const uint32_t c = At(p, i, j);
            sum += Red(c) + Green(c) + Blue(c);
        }
    return sum / 27.0;
}

int32_t DifferentPixels(const RgbaPicture& a, const RgbaPicture& b, int32_t tolerance) {
    int32_t n = 0;
    for (size_t i = 0; i + 3 < a.pixels.size() && i + 3 < b.pixels.size(); i += 4)
        for (size_t c = 0; c < 3; c++)
            if (std::abs(int32_t(a.pixels[i + c]) - int32_t(b.pixels[i + c])) > tolerance) {
                n++;
                break;
            }
    return n;
}

void WritePng(const std::string& path, const RgbaPicture& picture) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_RGBA;
    png_image_write_to_file(&image, path.c_str(), 0, picture.pixels.data(), -png_int_32(picture.width * 4),
                            nullptr);
}

void ExpectLooksLike(const RgbaPicture& picture, const std::string& name, int32_t allowed) {
    if (const char* out = ReferenceOutputFolder())
        return WritePng(std::string(out) + "/" + name + ".png", picture);
    RgbaPicture reference;
    ASSERT_TRUE(LoadPicture(SourcePath("tests/data-files/scene/" + name + ".png"), reference)) << name;
    ASSERT_TRUE(ComparePictures(picture, reference).sameSize) << name;
    EXPECT_LE(DifferentPixels(picture, reference, 8), allowed) << name;
}
