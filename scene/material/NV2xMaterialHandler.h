// Ts3dNV2xMaterialHandler: turns a scene material into fixed-function and
// register-combiner state. Every material gets one pass; bump-mapped
// materials are lit per pixel with the scene's first light through a vertex
// program and the combiners.
//
// The combiners are programmed through the device's GL table, so the same
// code runs on a driver's own NV register combiners and on our emulation.
#pragma once

#include <vector>

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"
#include "scene/model/MaterialHandler.h"
#include "scene/model/SceneMaterial.h"

// The vertex program of the bump set-ups.
constexpr const char* kBumpProgramFile = "vpBumpDiffuseAndSpecular.txt";

// The combiner set-ups a pass record can select.
enum TCombinerSetup : uint8_t {
    suNone = 0,               // stages that fit no set-up: the previous state stays
    suPlainOpaque,            // lit colour
    suPlainBlended,           // lit colour by the material's colours, alpha blended
    suDiffuseTexture,         // lit colour mixed with the diffuse texture
    suReflection,             // lit colour plus a reflection map
    suDiffuseWithReflection,  // diffuse texture plus a reflection map
    suBump,                   // per-pixel diffuse and specular from a normal map
    suBumpWithDiffuseTexture, // per-pixel diffuse from a normal map on a texture
};

// The set-up a pass of a material with the given blend kind selects.
TCombinerSetup SetupOfPass(const Ts3dPass& pass, uint8_t blendKind);
// The number of texture units a set-up binds (units 1 to n); during a
// shadow-casting light's passes the shadow map goes on unit n + 1.
int32_t UnitsOfSetup(TCombinerSetup setup);
// The unit a set-up reads the shadow map from in a shadow-casting light's
// passes: the one after its own, or unit 5 for the bump set-ups, whose
// vertex program writes that unit's coordinates.
int32_t ShadowUnitOfSetup(TCombinerSetup setup);
constexpr int32_t kBumpShadowUnit = 5;
// The bump program's registers that track the shadow unit's texture matrix.
constexpr int32_t kBumpShadowMatrix = 20;
// The stages of the one pass the handler plans for a material, without a
// device: what PrepareMaterial writes.
std::vector<Ts3dPassStage> PlannedStages(const Ts3dMaterial& material);

class Ts3dNV2xMaterialHandler : public Ts3dMaterialHandler {
public:
    // Creates and loads the bump program; register 18 = (0.5, 1, 2, 0).
    void Create(Ts3dScene* scene) override;
    // Plans exactly one pass for Material.
    void PrepareMaterial() override;
    // Register combiners on for the frame.
    void BeginFrame() override;
    // Combiners off; what the last pass left switched on goes off too.
    void EndFrame() override;
    // Programs the combiners, textures and material colours of a pass.
    void BeginPass(int32_t pass) override;
    // Binds the object's streams and, for bump set-ups, the bump program
    // with the object's matrices and the light position.
    void SetupObject(Ts3dObject* object) override;

    // The set-up the last BeginPass chose (suNone when none fitted).
    TCombinerSetup LastSetup() const { return setup_; }
    // Whether the last BeginPass multiplied its colour by a shadow map.
    bool LastPassShadowed() const { return shadowed_; }

    TRefPtr<I3dVertexProgram> BumpProgram;
    bool ProgramBound = false;
    bool ProgramWasBound = false;
    bool StageConstants = false;
    bool StageConstantsWere = false;
    bool Blending = false;
    bool BlendingWas = false;

private:
    void SetupPlainOpaque(I3dContext* c);
    void SetupPlainBlended(I3dContext* c);
    void SetupDiffuseTexture(I3dContext* c);
    void SetupReflection(I3dContext* c);
    void SetupDiffuseWithReflection(I3dContext* c);
    void BindBumpUnits(I3dContext* c);
    void SetupBump(I3dContext* c);
    void SetupBumpWithDiffuseTexture(I3dContext* c);
    // Rewrites the end of the set-up so that its final colour is multiplied
    // by texture unit `unit` (the shadow map's comparison result).
    void MultiplyByShadow(TCombinerSetup setup, int32_t unit);
    void SetupBumpProgram(Ts3dObject* object);

    TCombinerSetup setup_ = suNone;
    bool shadowed_ = false;
};
