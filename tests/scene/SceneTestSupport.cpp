#include "tests/scene/SceneTestSupport.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "data/FlexibleStream.h"

namespace {

void Normalize(float v[3]) {
    float l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l > 0)
        for (int i = 0; i < 3; i++)
            v[i] /= l;
}

void Cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

TY3dNodeHeader Header(int32_t id, const std::string& name) {
    TY3dNodeHeader h;
    h.Id = id;
    h.Name = name;
    return h;
}

// The vertices of one quad (4 corners, CCW seen from the normal) appended.
void AddQuad(TY3dMesh& m, const float centre[3], const float u[3], const float v[3], const float n[3]) {
    const uint32_t base = uint32_t(m.VertexCount);
    static const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto& c : corners) {
        for (int i = 0; i < 3; i++)
            m.Vertices.push_back(centre[i] + c[0] * u[i] + c[1] * v[i]);
        for (int i = 0; i < 3; i++)
            m.Vertices.push_back(n[i]);
        m.Vertices.push_back((c[0] + 1) / 2);
        m.Vertices.push_back((c[1] + 1) / 2);
    }
    m.VertexCount += 4;
    for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u})
        m.Indices.push_back(base + i);
}

void FinishMesh(TY3dMesh& m, int32_t material) {
    m.Flags = vfPosition | vfNormal | vfTexCoord;
    TY3dGroup g;
    g.Primitive = 4;
    g.Material = material;
    g.First = 0;
    g.Count = int32_t(m.Indices.size());
    m.Groups = {g};
}

} // namespace

int32_t TSceneBuilder::AddMaterial(const TY3dMaterial& material) {
    Doc.Materials.push_back(material);
    Doc.Materials.back().Header = Header(NextId++, "material" + std::to_string(Doc.Materials.size()));
    return int32_t(Doc.Materials.size()) - 1;
}

int32_t TSceneBuilder::AddPicture(int32_t w, int32_t h, uint32_t (*colour)(int32_t, int32_t)) {
    TY3dPicture p;
    p.Header = Header(NextId++, "picture" + std::to_string(Doc.Pictures.size() + 1) + ".tga");
    p.Embedded = true;
    p.Width = w;
    p.Height = h;
    p.BytesPerPixel = 3;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            uint32_t c = colour(x, y);
            p.Pixels.push_back(uint8_t(c >> 16));
            p.Pixels.push_back(uint8_t(c >> 8));
            p.Pixels.push_back(uint8_t(c));
        }
    Doc.Pictures.push_back(p);
    return int32_t(Doc.Pictures.size()) - 1;
}

int32_t TSceneBuilder::AddMesh(const TY3dMesh& mesh, const float position[3], const float rotation[4]) {
    TY3dObject o;
    o.What = TY3dObject::okMesh;
    const int32_t id = NextId++;
    o.Node.Header = Header(id, "mesh" + std::to_string(id));
    std::copy(position, position + 3, o.Node.Translation);
    if (rotation) std::copy(rotation, rotation + 4, o.Node.Rotation);
    o.Mesh = mesh;
    o.Mesh.Header = o.Node.Header;
    Doc.Objects.push_back(o);
    return id;
}

int32_t TSceneBuilder::AddCamera(const float eye[3], const float target[3], float fov, float zNear,
                                 float zFar) {
    TY3dObject o;
    o.What = TY3dObject::okCamera;
    const int32_t id = NextId++;
    o.Node.Header = Header(id, "camera" + std::to_string(id));
    std::copy(eye, eye + 3, o.Node.Translation);
    LookRotation(eye, target, o.Node.Rotation);
    o.Camera.Header = o.Node.Header;
    o.Camera.Fov = fov;
    o.Camera.Near = zNear;
    o.Camera.Far = zFar;
    Doc.Objects.push_back(o);
    return id;
}

int32_t TSceneBuilder::AddLight(const float eye[3], const float target[3], float cone, bool castsShadows,
                                float intensity, float shadowNear, float shadowFar) {
    TY3dObject o;
    o.What = TY3dObject::okLight;
    const int32_t id = NextId++;
    o.Node.Header = Header(id, "light" + std::to_string(id));
    std::copy(eye, eye + 3, o.Node.Translation);
    LookRotation(eye, target, o.Node.Rotation);
    o.Light.Header = o.Node.Header;
    o.Light.Spot = cone > 0;
    o.Light.Cone = cone;
    o.Light.CastsShadows = castsShadows;
    o.Light.Intensity = intensity;
    o.Light.ShadowNear = shadowNear;
    o.Light.ShadowFar = shadowFar;
    Doc.Objects.push_back(o);
    return id;
}

TY3dMaterial ColourMaterial(float r, float g, float b, float a, float specular) {
    TY3dMaterial m;
    const float ambient[4] = {r * 0.2f, g * 0.2f, b * 0.2f, 1};
    const float diffuse[4] = {r, g, b, a};
    const float spec[4] = {specular, specular, specular, 1};
    std::copy(ambient, ambient + 4, m.Ambient);
    std::copy(diffuse, diffuse + 4, m.Diffuse);
    std::copy(spec, spec + 4, m.Specular);
    m.Glossiness = 0.3f;
    return m;
}

TY3dMesh BoxMesh(float sx, float sy, float sz, int32_t material) {
    TY3dMesh m;
    const float h[3] = {sx / 2, sy / 2, sz / 2};
    for (int axis = 0; axis < 3; axis++)
        for (float sign : {1.0f, -1.0f}) {
            float n[3] = {0, 0, 0}, u[3] = {0, 0, 0}, v[3] = {0, 0, 0}, c[3] = {0, 0, 0};
            n[axis] = sign;
            c[axis] = sign * h[axis];
            const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
            // u x v = n
            u[a1] = sign * h[a1];
            v[a2] = h[a2];
            AddQuad(m, c, u, v, n);
        }
    FinishMesh(m, material);
    return m;
}

TY3dMesh PlaneMesh(float w, float h, int32_t n, int32_t material) {
    TY3dMesh m;
    for (int32_t j = 0; j <= n; j++)
        for (int32_t i = 0; i <= n; i++) {
            const float s = float(i) / float(n), t = float(j) / float(n);
            for (float f : {(s - 0.5f) * w, (t - 0.5f) * h, 0.0f, 0.0f, 0.0f, 1.0f, s, t})
                m.Vertices.push_back(f);
        }
    m.VertexCount = (n + 1) * (n + 1);
    for (int32_t j = 0; j < n; j++)
        for (int32_t i = 0; i < n; i++) {
            const uint32_t a = uint32_t(j * (n + 1) + i), b = a + 1, c = a + uint32_t(n + 1) + 1,
                           d = a + uint32_t(n + 1);
            for (uint32_t k : {a, b, c, a, c, d})
                m.Indices.push_back(k);
        }
    FinishMesh(m, material);
    return m;
}

void LookRotation(const float eye[3], const float target[3], float out[4]) {
    float z[3] = {eye[0] - target[0], eye[1] - target[1], eye[2] - target[2]}; // local +z, away from target
    Normalize(z);
    float up[3] = {0, 1, 0};
    if (std::fabs(z[1]) > 0.999f) up[1] = 0, up[2] = -1;
    float x[3], y[3];
    Cross(up, z, x);
    Normalize(x);
    Cross(z, x, y);
    // Rows of the node's rotation: the images of its x, y and z axes.
    const float r[3][3] = {{x[0], x[1], x[2]}, {y[0], y[1], y[2]}, {z[0], z[1], z[2]}};
    double qw, qx, qy, qz;
    const double tr = r[0][0] + r[1][1] + r[2][2];
    if (tr > 0) {
        double s = std::sqrt(tr + 1.0) * 2;
        qw = s / 4, qx = (r[2][1] - r[1][2]) / s, qy = (r[0][2] - r[2][0]) / s, qz = (r[1][0] - r[0][1]) / s;
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        double s = std::sqrt(1.0 + r[0][0] - r[1][1] - r[2][2]) * 2;
        qw = (r[2][1] - r[1][2]) / s, qx = s / 4, qy = (r[0][1] + r[1][0]) / s, qz = (r[0][2] + r[2][0]) / s;
    } else if (r[1][1] > r[2][2]) {
        double s = std::sqrt(1.0 + r[1][1] - r[0][0] - r[2][2]) * 2;
        qw = (r[0][2] - r[2][0]) / s, qx = (r[0][1] + r[1][0]) / s, qy = s / 4, qz = (r[1][2] + r[2][1]) / s;
    } else {
        double s = std::sqrt(1.0 + r[2][2] - r[0][0] - r[1][1]) * 2;
        qw = (r[1][0] - r[0][1]) / s, qx = (r[0][2] + r[2][0]) / s, qy = (r[1][2] + r[2][1]) / s, qz = s / 4;
    }
    out[0] = float(qx), out[1] = float(qy), out[2] = float(qz), out[3] = float(qw);
}

TSceneFolder::TSceneFolder() {
    namespace fs = std::filesystem;
    for (const auto& entry : fs::directory_iterator(SourcePath("content"))) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("vp", 0) == 0 && entry.path().extension() == ".txt")
            fs::copy_file(entry.path(), dir_.File(name));
    }
}

std::string TSceneFolder::Save(const TY3dDocument& doc, const std::string& name) {
    SaveY3dFile(doc, dir_.File(name));
    return dir_.File(name);
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
    TSmartY3dLoader& loader = *loaders_.back();
    loader.RegisterSceneHandlers();
    loader.Load(name);
    Ts3dScene* scene = loader.Scene();
    scene->ShadowMapSize = 128;
    scene->ShadowsEnabled = true;
    scene->ReflectionsEnabled = false;
    scene->BumpEnabled = true;
    return scene;
}

void TSceneWindow::Render(Ts3dScene* scene, int32_t camera, double time) {
    scene->Prepare();
    scene->SelectCamera(camera);
    scene->Time = time;
    scene->Render();
}

uint32_t TPicture::At(int32_t x, int32_t y) const {
    const uint8_t* p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void WritePng(const std::string& path, const TPicture& picture) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(picture.width);
    image.height = png_uint_32(picture.height);
    image.format = PNG_FORMAT_RGBA;
    png_image_write_to_file(&image, path.c_str(), 0, picture.rgba.data(), -png_int_32(picture.width * 4),
                            nullptr);
}

bool ReadPng(const std::string& path, TPicture& picture) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGBA;
    picture.width = int32_t(image.width);
    picture.height = int32_t(image.height);
    picture.rgba.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, picture.rgba.data(), -png_int_32(picture.width * 4),
                                 nullptr) != 0;
}

int32_t MaxDifference(const TPicture& a, const TPicture& b) {
    int32_t most = 0;
    for (size_t i = 0; i < a.rgba.size() && i < b.rgba.size(); i++)
        if (i % 4 != 3) most = std::max(most, std::abs(int32_t(a.rgba[i]) - int32_t(b.rgba[i])));
    return most;
}

int32_t DifferentPixels(const TPicture& a, const TPicture& b, int32_t tolerance) {
    int32_t n = 0;
    for (size_t i = 0; i + 3 < a.rgba.size() && i + 3 < b.rgba.size(); i += 4)
        for (size_t c = 0; c < 3; c++)
            if (std::abs(int32_t(a.rgba[i + c]) - int32_t(b.rgba[i + c])) > tolerance) {
                n++;
                break;
            }
    return n;
}

void ExpectLooksLike(const TPicture& picture, const std::string& name, int32_t tolerance,
                     int32_t allowedPixels) {
    const char* out = std::getenv("ZUMBRIX_WRITE_REFERENCES");
    if (out && *out) {
        WritePng(std::string(out) + "/" + name + ".png", picture);
        return;
    }
    TPicture reference;
    ASSERT_TRUE(ReadPng(SourcePath("tests/data-files/scene/" + name + ".png"), reference)) << name;
    ASSERT_EQ(reference.width, picture.width) << name;
    ASSERT_EQ(reference.height, picture.height) << name;
    EXPECT_LE(DifferentPixels(picture, reference, tolerance), allowedPixels)
        << name << ": largest difference " << MaxDifference(picture, reference);
}

double MeanBrightness(const TPicture& p, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    double sum = 0;
    int64_t n = 0;
    for (int32_t y = y0; y < y1; y++)
        for (int32_t x = x0; x < x1; x++) {
            const uint32_t c = p.At(x, y);
            sum += (int32_t(c & 0xFF) + int32_t((c >> 8) & 0xFF) + int32_t((c >> 16) & 0xFF)) / 3.0;
            n++;
        }
    return n ? sum / double(n) : 0.0;
}
