// What the scene tests share: small scenes built as scene-file records and
// written with our writer, a data folder holding them with the nine
// vertex-program texts every scene load needs, and a window that loads and
// renders them as the scene effect does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/loader/SmartY3dLoader.h"
#include "scene/loader/Y3dFile.h"
#include "tests/demo/DemoTestSupport.h"
#include "tests/support/GlTestWindow.h"
#include "tests/support/TestSupport.h"

// A scene under construction; ids are handed out in order from 1.
struct TSceneBuilder {
    TY3dDocument Doc;
    int32_t NextId = 1;
    int32_t AddMaterial(const TY3dMaterial& material); // its index
    // A w x h RGB picture filled by colour(x, y) = 0xRRGGBB; its index.
    int32_t AddPicture(int32_t w, int32_t h, uint32_t (*colour)(int32_t x, int32_t y));
    // An object on a fixed node at `at` turned by quaternion (x, y, z, w).
    int32_t AddMesh(const TY3dMesh& mesh, const float at[3], const float rotation[4] = nullptr);
    // A camera or light at eye looking at target, y up; cone 0: omni light.
    int32_t AddCamera(const float eye[3], const float target[3], float fov);
    int32_t AddLight(const float eye[3], const float target[3], float cone, bool castsShadows);
    TY3dObject& AddNode(TY3dObject::Kind kind, const float at[3], const float* rotation, const float* target);
};

TY3dMaterial ColourMaterial(float r, float g, float b, float a = 1.0f, float specular = 0.0f);
TY3dMesh BoxMesh(float size, int32_t material);
// In the xy plane facing +z, n x n cells, texture coordinates 0..1.
TY3dMesh PlaneMesh(float w, float h, int32_t n, int32_t material);

class TSceneFolder {
public:
    TSceneFolder(); // with content/vp*.txt
    void Save(const TY3dDocument& doc, const std::string& name) { SaveY3dFile(doc, dir_.File(name)); }
    const std::string& Path() const { return dir_.Path(); }

private:
    TempDir dir_;
};

// A hidden window whose data source is a scene folder.
class TSceneWindow {
public:
    TSceneWindow(int32_t w, int32_t h, const TSceneFolder& folder);
    ~TSceneWindow();
    bool Ok() const { return gl_.Ok(); }
    const std::string& Error() const { return gl_.Error(); }
    GlTestWindow& Gl() { return gl_; }
    T3dOpenGLDevice* Device() const { return gl_.Device(); }
    // The scene effect's switches, with shadow maps of 128.
    Ts3dScene* Load(const std::string& name);
    // Prepares, selects the camera, sets the time, renders; the frame read
    // back, opaque.
    RgbaPicture Shot(Ts3dScene* scene, int32_t camera = 0, double time = 0.0);

private:
    GlTestWindow gl_;
    std::vector<std::unique_ptr<TSmartY3dLoader>> loaders_;
};

uint32_t At(const RgbaPicture& p, int32_t x, int32_t y);       // 0xAABBGGRR
double Brightness(const RgbaPicture& p, int32_t x, int32_t y); // mean of RGB over 3 x 3
int32_t DifferentPixels(const RgbaPicture& a, const RgbaPicture& b, int32_t tolerance);
void WritePng(const std::string& path, const RgbaPicture& picture);
// Against the reviewed tests/data-files/scene/NAME.png (at most `allowed`
// pixels off by more than 8); with ZUMBRIX_WRITE_REFERENCES, written there.
void ExpectLooksLike(const RgbaPicture& picture, const std::string& name, int32_t allowed);
