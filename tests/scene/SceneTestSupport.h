// What the scene rendering tests share: small scenes built as scene-file
// records and written with our writer, a data folder that holds them with
// the nine vertex-program texts every scene load needs, and a window that
// loads and renders them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/loader/SmartY3dLoader.h"
#include "scene/loader/Y3dFile.h"
#include "tests/support/GlTestWindow.h"
#include "tests/support/TestSupport.h"

// A scene under construction: ids are handed out in order from 1.
struct TSceneBuilder {
    TY3dDocument Doc;
    int32_t NextId = 1;

    int32_t AddMaterial(const TY3dMaterial& material);
    // A picture of w x h RGB pixels filled by colour(x, y) -> 0xRRGGBB.
    int32_t AddPicture(int32_t w, int32_t h, uint32_t (*colour)(int32_t x, int32_t y));
    // An object with a fixed node at `position` turned by quaternion `rotation`.
    int32_t AddMesh(const TY3dMesh& mesh, const float position[3], const float rotation[4] = nullptr);
    // A camera at eye looking at target (the y axis up).
    int32_t AddCamera(const float eye[3], const float target[3], float fov, float zNear = 1.0f,
                      float zFar = 1000.0f);
    // A light at eye shining towards target; cone 0 makes an omni light.
    int32_t AddLight(const float eye[3], const float target[3], float cone, bool castsShadows,
                     float intensity = 1.0f, float shadowNear = 1.0f, float shadowFar = 100.0f);
};

// A material of one colour (alpha below 1 makes it blended).
TY3dMaterial ColourMaterial(float r, float g, float b, float a = 1.0f, float specular = 0.0f);
// A box centred on the origin.
TY3dMesh BoxMesh(float sx, float sy, float sz, int32_t material);
// A plane in the xy plane facing +z, cut into n x n cells, texture
// coordinates 0..1 from the lower left.
TY3dMesh PlaneMesh(float w, float h, int32_t n, int32_t material);
// The rotation (x, y, z, w) that turns a node's -z axis from eye to target
// with its y axis up as far as it can.
void LookRotation(const float eye[3], const float target[3], float out[4]);

// A folder with the nine vertex programs of content/, where scenes are saved.
class TSceneFolder {
public:
    TSceneFolder();
    std::string Save(const TY3dDocument& doc, const std::string& name);
    const std::string& Path() const { return dir_.Path(); }

private:
    TempDir dir_;
};

// A hidden window of w x h whose data source is a scene folder; loads scenes
// and renders them as the scene effect does.
class TSceneWindow {
public:
    TSceneWindow(int32_t w, int32_t h, const TSceneFolder& folder);
    ~TSceneWindow();
    bool Ok() const { return gl_.Ok(); }
    const std::string& Error() const { return gl_.Error(); }
    GlTestWindow& Gl() { return gl_; }
    I3dDevice* Device() const { return gl_.Device(); }
    I3dContext* Context() const { return gl_.Context(); }

    // Loads a scene with the scene effect's switches: shadow maps of 128,
    // shadows on, reflections off, bump mapping on.
    Ts3dScene* Load(const std::string& name);
    // Prepares, selects the camera, sets the time and renders.
    void Render(Ts3dScene* scene, int32_t camera = 0, double time = 0.0);
    std::vector<uint8_t> Pixels() { return gl_.ReadRGBA(); }

private:
    GlTestWindow gl_;
    std::vector<std::unique_ptr<TSmartY3dLoader>> loaders_;
};

// A picture to compare and to look at: RGBA rows bottom first.
struct TPicture {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgba;
    uint32_t At(int32_t x, int32_t y) const; // 0xAABBGGRR
};
void WritePng(const std::string& path, const TPicture& picture);
bool ReadPng(const std::string& path, TPicture& picture);
// The largest channel difference (RGB) between two pictures of one size.
int32_t MaxDifference(const TPicture& a, const TPicture& b);
// The number of pixels whose RGB channels differ by more than `tolerance`.
int32_t DifferentPixels(const TPicture& a, const TPicture& b, int32_t tolerance);
// Compares with the reviewed reference tests/data-files/scene/NAME.png, or,
// when ZUMBRIX_WRITE_REFERENCES names a folder, writes the picture there
// for review and passes.
void ExpectLooksLike(const TPicture& picture, const std::string& name, int32_t tolerance = 8,
                     int32_t allowedPixels = 0);
// Mean of the red, green, blue channels over a rectangle.
double MeanBrightness(const TPicture& p, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
