#include "scene/model/Scene.h"

#include <algorithm>

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
            // Every program reads the composed model-view-projection matrix
            // from c[0]..c[3] and the model-view from c[4]..c[7].
            Programs[i]->TrackMatrix(0, mkComposed, 0);
            Programs[i]->TrackMatrix(4, mkModelview, 0);
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

void Ts3dScene::SelectCamera(int32_t index) {
    Camera = Cameras.Items(index);
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
