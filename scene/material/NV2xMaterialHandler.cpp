#include "scene/material/NV2xMaterialHandler.h"

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "scene/model/Scene.h"

namespace {

// Stream slots (attribute slots of the device's SetStream).
enum : int32_t {
    kSlotPosition = 0,
    kSlotNormal = 1,
    kSlotTexCoord0 = 5,
    kSlotTangent = 14,  // NV attribute 1
    kSlotBinormal = 16, // NV attribute 3
};

bool StagesAre(const Ts3dPass& pass, std::initializer_list<uint8_t> kinds) {
    if (pass.StageCount != int32_t(kinds.size())) return false;
    int32_t i = 0;
    for (uint8_t kind : kinds)
        if (pass.Stages[i++].Kind != kind) return false;
    return true;
}

T3dMatrix ToT3d(const TMatrix4& m) {
    T3dMatrix out;
    for (int i = 0; i < 16; i++)
        out.m[i] = m.m[i];
    return out;
}

void WritePass(const Ts3dMaterial& m, Ts3dPass& pass) {
    pass = Ts3dPass{};
    int32_t n = 0;
    pass.Stages[n++] = {m.BumpTexture ? skBump : skPlain, srFirst};
    if (m.DiffuseTexture) pass.Stages[n++] = {skDiffuseTexture, srDiffuse};
    if (m.ReflectionTexture)
        pass.Stages[n++] = {m.ReflectionTexture->GetKind() == tkCubeMap ? skReflectionCube : skReflection2D,
                            srReflection};
    pass.StageCount = n;
    pass.Flag = 0;
}

} // namespace

TCombinerSetup SetupOfPass(const Ts3dPass& pass, uint8_t blendKind) {
    if (StagesAre(pass, {skPlain})) return blendKind == bkOpaque ? suPlainOpaque : suPlainBlended;
    if (StagesAre(pass, {skBump})) return suBump;
    if (StagesAre(pass, {skPlain, skDiffuseTexture})) return suDiffuseTexture;
    if (StagesAre(pass, {skPlain, skReflection2D})) return suReflection;
    if (StagesAre(pass, {skBump, skDiffuseTexture})) return suBumpWithDiffuseTexture;
    if (StagesAre(pass, {skPlain, skDiffuseTexture, skReflection2D})) return suDiffuseWithReflection;
    // The cube forms of the reflection rows bind the same units.
    if (StagesAre(pass, {skPlain, skReflectionCube})) return suReflection;
    if (StagesAre(pass, {skPlain, skDiffuseTexture, skReflectionCube})) return suDiffuseWithReflection;
    return suNone;
}

int32_t UnitsOfSetup(TCombinerSetup setup) {
    switch (setup) {
    case suDiffuseTexture:
    case suReflection:
        return 1;
    case suDiffuseWithReflection:
        return 2;
    case suBump:
        return 3;
    case suBumpWithDiffuseTexture:
        return 4;
    default:
        return 0;
    }
}

int32_t ShadowUnitOfSetup(TCombinerSetup setup) {
    // The bump program gives the fixed coordinate sets no generation; it
    // writes the shadow map's coordinates as set 4 itself, for unit 5.
    if (setup == suBump || setup == suBumpWithDiffuseTexture) return kBumpShadowUnit;
    return UnitsOfSetup(setup) + 1;
}

std::vector<Ts3dPassStage> PlannedStages(const Ts3dMaterial& material) {
    Ts3dPass pass;
    WritePass(material, pass);
    return std::vector<Ts3dPassStage>(pass.Stages, pass.Stages + pass.StageCount);
}

void Ts3dNV2xMaterialHandler::Create(Ts3dScene* scene) {
    Ts3dMaterialHandler::Create(scene);
    if (!scene || !scene->Device) return;
    scene->Device->CreateVertexProgram(BumpProgram);
    if (!BumpProgram) return; // no vertex programs on this device
    BumpProgram->LoadFromFile(kBumpProgramFile);
    BumpProgram->SetVector(18, 0.5f, 1.0f, 2.0f, 0.0f);
    // The texture matrix of the shadow map's unit (unit 5, the program's
    // coordinate set 4): the program projects world positions through it, as
    // eye-linear generation and that matrix do without a program.
    BumpProgram->TrackMatrix(kBumpShadowMatrix, mkTexture4, 0);
}

void Ts3dNV2xMaterialHandler::PrepareMaterial() {
    Ts3dMaterial* m = Material;
    if (!m) return;
    m->PassCount = 0;
    m->Passes.assign(1, Ts3dPass{});
    WritePass(*m, m->Passes[0]);
    m->PassCount = 1;
}

void Ts3dNV2xMaterialHandler::BeginFrame() {
    if (Usable(GLFlags.RegisterCombiners)) GL.glEnable(GL_REGISTER_COMBINERS_NV);
}

void Ts3dNV2xMaterialHandler::EndFrame() {
    if (Usable(GLFlags.RegisterCombiners)) GL.glDisable(GL_REGISTER_COMBINERS_NV);
    if (ProgramWasBound && Scene && Scene->Device) Scene->Device->SetVertexProgram(nullptr);
    ProgramWasBound = false;
    I3dContext* c = Scene ? Scene->Context() : nullptr;
    if (BlendingWas && c) c->SetBlendMode(bfZero, bfZero);
    BlendingWas = false;
    if (StageConstantsWere && Usable(GLFlags.RegisterCombiners2)) GL.glDisable(GL_PER_STAGE_CONSTANTS_NV);
    StageConstantsWere = false;
}

void Ts3dNV2xMaterialHandler::BeginPass(int32_t p) {
    Ts3dMaterialHandler::BeginPass(p);
    setup_ = suNone;
    shadowed_ = false;
    I3dContext* c = Scene ? Scene->Context() : nullptr;
    if (!c) return;

    // What the previous pass switched on goes off now.
    if (BlendingWas) c->SetBlendMode(bfZero, bfZero);
    if (StageConstantsWere && Usable(GLFlags.RegisterCombiners2)) GL.glDisable(GL_PER_STAGE_CONSTANTS_NV);
    Blending = false;
    StageConstants = false;
    for (int32_t unit = 1; unit <= 4; unit++)
        c->SetTexture(unit, nullptr);

    Ts3dMaterial* m = Material;
    if (m && p >= 0 && p < m->PassCount && size_t(p) < m->Passes.size()) {
        c->SetTwoSidedLighting(m->TwoSided == 2);
        setup_ = SetupOfPass(m->Passes[size_t(p)], m->BlendKind);
        // Without combiners (neither the driver's nor ours) no set-up exists.
        if (!Usable(GLFlags.RegisterCombiners) || !GL.glCombinerInputNV) setup_ = suNone;
        // A shadow map moving to another unit leaves its old one before the
        // set-up binds its own textures: released afterwards, it would take
        // away the texture and coordinate generation the set-up just put on
        // that unit (the floor's shadow unit 2 is the bump set-ups' cube map).
        if (setup_ != suNone && Scene->ShadowLight && Scene->ShadowUnit != ShadowUnitOfSetup(setup_))
            Scene->ReleaseShadowUnit();
        switch (setup_) {
        case suPlainOpaque:
            SetupPlainOpaque(c);
            break;
        case suPlainBlended:
            SetupPlainBlended(c);
            break;
        case suDiffuseTexture:
            SetupDiffuseTexture(c);
            break;
        case suReflection:
            SetupReflection(c);
            break;
        case suDiffuseWithReflection:
            SetupDiffuseWithReflection(c);
            break;
        case suBump:
            SetupBump(c);
            break;
        case suBumpWithDiffuseTexture:
            SetupBumpWithDiffuseTexture(c);
            break;
        default:
            break; // the previous combiner state stays
        }
        // In a shadow-casting light's passes the shadow map goes on the unit
        // after the set-up's own, and multiplies the final colour.
        if (setup_ != suNone && Scene->ShadowLight) {
            const int32_t unit = ShadowUnitOfSetup(setup_);
            if (Scene->BindShadowMap(unit)) {
                MultiplyByShadow(setup_, unit);
                shadowed_ = true;
            }
        }
    }
    BlendingWas = Blending;
    StageConstantsWere = StageConstants;
}

void Ts3dNV2xMaterialHandler::SetupObject(Ts3dObject* object) {
    Ts3dMaterialHandler::SetupObject(object);
    I3dDevice* device = Scene ? Scene->Device.Get() : nullptr;
    if (!device) return;
    if (ProgramWasBound) device->SetVertexProgram(nullptr);
    const Ts3dMaterial* m = Material;
    const Ts3dGeometryDef* g = object ? object->Geometry : nullptr;
    if (g && m && PassIndex >= 0 && PassIndex < m->PassCount && size_t(PassIndex) < m->Passes.size()) {
        const Ts3dPass& pass = m->Passes[size_t(PassIndex)];
        if (StagesAre(pass, {skPlain}) || StagesAre(pass, {skPlain, skReflection2D})) {
            device->SetStream(g->NormalStream, kSlotNormal);
        } else if (StagesAre(pass, {skPlain, skDiffuseTexture}) ||
                   StagesAre(pass, {skPlain, skDiffuseTexture, skReflection2D})) {
            device->SetStream(g->NormalStream, kSlotNormal);
            device->SetStream(g->TexCoordStream, kSlotTexCoord0);
        } else if (StagesAre(pass, {skBump}) || StagesAre(pass, {skBump, skDiffuseTexture})) {
            SetupBumpProgram(object);
        } else if (StagesAre(pass, {skPlain, skReflectionCube})) {
            device->SetStream(g->NormalStream, kSlotNormal);
        } else if (StagesAre(pass, {skPlain, skDiffuseTexture, skReflectionCube})) {
            device->SetStream(g->NormalStream, kSlotNormal);
            device->SetStream(g->TexCoordStream, kSlotTexCoord0);
        }
    }
    ProgramWasBound = ProgramBound;
    ProgramBound = false;
}

// The bump program reads the object's world matrix (4-7), the inverse
// transpose of its model-view (8-11), the inverse model-view (12-15) and the
// eye-space position of the scene's first light (16).
void Ts3dNV2xMaterialHandler::SetupBumpProgram(Ts3dObject* object) {
    I3dDevice* device = Scene->Device.Get();
    const Ts3dGeometryDef* g = object->Geometry;
    if (BumpProgram && object->Node) {
        const TMatrix4& modelView = object->Node->ModelView;
        BumpProgram->SetMatrixParameter(4, ToT3d(object->Node->FrameWorld));
        BumpProgram->SetMatrixParameter(8, ToT3d(TMatrix::Invert(TMatrix::Transpose(modelView))));
        BumpProgram->SetMatrixParameter(12, ToT3d(TMatrix::Invert(modelView)));
        const Ts3dLight* light = Scene->CurrentLight;
        if (light && light->Node) {
            const TMatrix4& l = light->Node->ModelView;
            BumpProgram->SetVector(16, l.m[12], l.m[13], l.m[14], 1.0f);
        }
        device->SetVertexProgram(BumpProgram.Get());
        ProgramBound = true;
    }
    device->SetStream(g->PositionStream, kSlotPosition);
    device->SetStream(g->NormalStream, kSlotNormal);
    device->SetStream(g->BumpTexCoordStream, kSlotTexCoord0);
    device->SetStream(g->TangentStream, kSlotTangent);
    device->SetStream(g->BinormalStream, kSlotBinormal);
}
