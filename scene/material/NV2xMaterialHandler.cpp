#include "scene/material/NV2xMaterialHandler.h"

#include "scene/model/Scene.h"

void Ts3dNV2xMaterialHandler::Create(Ts3dScene* scene) {
    Ts3dMaterialHandler::Create(scene);
    if (!scene || !scene->Device) return;
    scene->Device->CreateVertexProgram(BumpProgram);
    if (!BumpProgram) return; // no vertex programs on this device
    BumpProgram->LoadFromFile(kBumpProgramFile);
    BumpProgram->SetVector(18, 0.5f, 1.0f, 2.0f, 0.0f);
}

void Ts3dNV2xMaterialHandler::PrepareMaterial() {
    Ts3dMaterial* m = Material;
    if (!m) return;
    m->PassCount = 0;
    m->Passes.assign(1, Ts3dPass{});
    Ts3dPass& pass = m->Passes[0];
    int32_t n = 0;
    pass.Stages[n++] = {m->BumpTexture ? skBump : skPlain, srFirst};
    if (m->DiffuseTexture) pass.Stages[n++] = {skDiffuseTexture, srDiffuse};
    if (m->ReflectionTexture)
        pass.Stages[n++] = {m->ReflectionTexture->GetKind() == tkCubeMap ? skReflectionCube : skReflection2D,
                            srReflection};
    pass.StageCount = n;
    pass.Flag = 0;
    m->PassCount = 1;
}

// The device programming of a pass and of an object comes with the scene
// renderer.
void Ts3dNV2xMaterialHandler::BeginFrame() {}
void Ts3dNV2xMaterialHandler::EndFrame() {}
void Ts3dNV2xMaterialHandler::BeginPass(int32_t pass) {
    Ts3dMaterialHandler::BeginPass(pass);
}
void Ts3dNV2xMaterialHandler::SetupObject(Ts3dObject* object) {
    Ts3dMaterialHandler::SetupObject(object);
}
