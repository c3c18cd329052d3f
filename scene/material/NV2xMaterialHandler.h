// Ts3dNV2xMaterialHandler: turns a scene material into fixed-function and
// register-combiner state. Every material gets one pass; bump-mapped
// materials are lit per pixel with the scene's first light through a vertex
// program and the combiners.
#pragma once

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"
#include "scene/model/MaterialHandler.h"

// The vertex program of the bump set-ups.
constexpr const char* kBumpProgramFile = "vpBumpDiffuseAndSpecular.txt";

class Ts3dNV2xMaterialHandler : public Ts3dMaterialHandler {
public:
    // Creates and loads the bump program; register 18 = (0.5, 1, 2, 0).
    void Create(Ts3dScene* scene) override;
    // Plans exactly one pass for Material.
    void PrepareMaterial() override;
    void BeginFrame() override;
    void EndFrame() override;
    void BeginPass(int32_t pass) override;
    void SetupObject(Ts3dObject* object) override;

    TRefPtr<I3dVertexProgram> BumpProgram;
    bool ProgramBound = false;
    bool ProgramWasBound = false;
    bool StageConstants = false;
    bool StageConstantsWere = false;
    bool Blending = false;
    bool BlendingWas = false;
};
