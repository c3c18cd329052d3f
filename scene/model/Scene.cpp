#include "scene/model/Scene.h"

#include <algorithm>

#include "platform/Format.h"
#include "scene/geometry/GeomStuff.h"
#include "scene/material/NV2xMaterialHandler.h"

const char* const kSceneProgramFiles[kSceneProgramCount] = {
    "vpBumpReflect3.txt",
    "vpBumpDiffuseTex0.txt",
    "vpBumpSpecularTex0.txt",
    "vpBumpDiffuseWithShadowTexture.txt",
    "vpBumpSpecularWithShadowTexture.txt",
    "vpPlainRefraction.txt",
    "vpPlainRefractionWithShadow.txt",
    "vpAnsiotropicLight.txt",
};

// Air into water.
constexpr float kRefractionRatio = 1.0f / 1.33f;

Ts3dScene::Ts3dScene() = default;

// The handler and the culler point into the scene; they go first.
Ts3dScene::~Ts3dScene() {
    MaterialHandler.reset();
    Culler.reset();
}

void Ts3dScene::Create() {
    ReflectMapSize = 512;
    ShadowsEnabled = true;
    ReflectionsEnabled = true;
    BumpEnabled = true;
}

void Ts3dScene::CreateResources() {
    TRefPtr<I3dContext> context;
    if (Device) Device->GetCurrentContext(context);
    T3dCapabilities caps{};
    if (context) context->GetCapabilities(caps);

    if (caps.CubeMaps && Device) {
        Device->CreateNormalizationCubeMap(64, NormalizationCubeMap);
        if (NormalizationCubeMap) NormalizationCubeMap->Upload();
    }

    SphereObject = Own(std::make_unique<Ts3dObject>());
    SphereObject->Device = Device;
    if (Device)
        TGeomStuff::GenerateSphere(Device.Get(), gfPositions | gfNormals, {3, 3},
                                   SphereObject->Geometry->VertexBuffer, SphereObject->Geometry->Faces.Get(),
                                   1.0f, 10, 10);

    if (caps.VertexPrograms && Device) {
        for (int32_t i = 0; i < kSceneProgramCount; i++) {
            Device->CreateVertexProgram(Programs[i]);
            if (!Programs[i]) continue;
            Programs[i]->LoadFromFile(kSceneProgramFiles[i]);
            // What the eight programs read. Their positions come from the
            // fixed-function transform (position-invariant programs).
            //   c[16]        light position in eye space (set by whoever binds)
            //   c[18]        (0.5, 1, 2, 0)
            //   c[19]        (ratio of refractive indices, its square, 0, 0)
            //   c[20..23]    eye space to shadow-map coordinates (identity here)
            //   c[24..26]    eye space to world space directions (identity here)
            //   c[84..87]    model-view, tracked
            //   c[88..91]    inverse transpose of the model-view, tracked
            //   c[92..95]    inverse model-view, tracked
            // The tracked blocks lie above the registers 4-18 the bump
            // program is given, so none of them overwrites the other.
            I3dVertexProgram* p = Programs[i].Get();
            p->SetVector(18, 0.5f, 1.0f, 2.0f, 0.0f);
            p->SetVector(19, kRefractionRatio, kRefractionRatio * kRefractionRatio, 0.0f, 0.0f);
            for (int32_t r = 0; r < 4; r++)
                p->SetVector(20 + r, r == 0, r == 1, r == 2, r == 3);
            for (int32_t r = 0; r < 3; r++)
                p->SetVector(24 + r, r == 0, r == 1, r == 2, 0.0f);
            p->TrackMatrix(84, mkModelview, 0);
            p->TrackMatrix(88, mkModelview, 3);
            p->TrackMatrix(92, mkModelview, 2);
        }
    }

    Culler = std::make_unique<Ts3dFrustumCulling>();
    Culler->Scene = this;
    Culler->Device = Device.Get();
    Culler->Objects = &Objects;
    Culler->Visible = &Visible;
    MaterialHandler = std::make_unique<Ts3dNV2xMaterialHandler>();
    MaterialHandler->Create(this);
}

void Ts3dScene::AddObject(Ts3dObject* object) {
    object->Device = Device;
    if (object->Material) {
        object->Material->Device = Device;
        Materials.AddUnique(object->Material);
    }
    Objects.Add(object);
}

namespace {

// The list's index error, with the scene's file and what the author can do
// about a list that is empty.
[[noreturn]] void RaiseMissing(const std::string& file, int32_t index, const char* what, const char* option) {
    throw EListError(Format("%s%sList index out of bounds (%d): the scene has no %s; add one to the model or "
                            "import it again without %s",
                            file.c_str(), file.empty() ? "" : ": ", index, what, option));
}

} // namespace

void Ts3dScene::SelectCamera(int32_t index) {
    if (Cameras.Empty()) RaiseMissing(FileName, index, "camera", "--no-default-camera");
    Camera = Cameras.Items(index);
}

Ts3dLight* Ts3dScene::FirstLight() {
    if (Lights.Empty()) RaiseMissing(FileName, 0, "light", "--no-default-light");
    return Lights.Items(0);
}

void Ts3dScene::Destroy(Ts3dBase* element) {
    // The store's order carries no meaning: the last element fills the gap.
    auto it = std::find_if(owned_.begin(), owned_.end(), [&](const auto& p) { return p.get() == element; });
    if (it == owned_.end()) return;
    std::swap(*it, owned_.back());
    owned_.pop_back();
}

I3dContext* Ts3dScene::Context() {
    TRefPtr<I3dContext> context;
    if (Device) Device->GetCurrentContext(context);
    // The device keeps the current context alive; the scene only borrows it.
    return context.Get();
}

void Ts3dScene::RecordUnit(int32_t unit) {
    for (int32_t& slot : PassUnits)
        if (slot == 0) {
            slot = unit;
            return;
        }
}
