// The seven register-combiner set-ups of the material handler, and the
// shadow factor added to them during a shadow-casting light's passes.
//
// Notation in the comments: the general stages compute AB, CD and AB + CD
// from inputs A to D; the final combiner computes A B + (1 - A) C + D with G
// as alpha, and E x F as an extra product. "1" is zero read through the
// invert mapping. Lit colour means OpenGL vertex lighting: primary colour =
// ambient and diffuse, secondary colour = specular.
#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "scene/material/NV2xMaterialHandler.h"
#include "scene/math/Colors.h"
#include "scene/model/Scene.h"

namespace {

// One combiner input: register, mapping and component.
struct TIn {
    GLenum reg;
    GLenum map;
    GLenum comp;
};

TIn Rgb(GLenum reg) {
    return {reg, GL_UNSIGNED_IDENTITY_NV, GL_RGB};
}
TIn Alpha(GLenum reg) {
    return {reg, GL_UNSIGNED_IDENTITY_NV, GL_ALPHA};
}
TIn Blue(GLenum reg) {
    return {reg, GL_UNSIGNED_IDENTITY_NV, GL_BLUE};
}
TIn InvertAlpha(GLenum reg) {
    return {reg, GL_UNSIGNED_INVERT_NV, GL_ALPHA};
}
TIn Expand(GLenum reg) {
    return {reg, GL_EXPAND_NORMAL_NV, GL_RGB};
}
const TIn kOne = {GL_ZERO, GL_UNSIGNED_INVERT_NV, GL_RGB};
const TIn kOneAlpha = {GL_ZERO, GL_UNSIGNED_INVERT_NV, GL_ALPHA};
const TIn kZero = {GL_ZERO, GL_UNSIGNED_IDENTITY_NV, GL_RGB};
const TIn kZeroAlpha = {GL_ZERO, GL_UNSIGNED_IDENTITY_NV, GL_ALPHA};

GLenum Stage(int32_t i) {
    return GLenum(GL_COMBINER0_NV + i);
}
GLenum Texture(int32_t unit) { // texture register of unit 1..8
    return GLenum(GL_TEXTURE0_ARB + unit - 1);
}

// Inputs A to D of one portion of a general stage.
void Inputs(int32_t stage, GLenum portion, const TIn& a, const TIn& b, const TIn& c, const TIn& d) {
    const TIn* in[4] = {&a, &b, &c, &d};
    for (int v = 0; v < 4; v++)
        GL.glCombinerInputNV(Stage(stage), portion, GLenum(GL_VARIABLE_A_NV + v), in[v]->reg, in[v]->map,
                             in[v]->comp);
}

// Outputs of one portion: AB, CD and the sum (GL_DISCARD_NV drops one),
// without scale or bias; dot products for AB and CD as asked.
void Outputs(int32_t stage, GLenum portion, GLenum ab, GLenum cd, GLenum sum, bool abDot = false,
             bool cdDot = false) {
    GL.glCombinerOutputNV(Stage(stage), portion, ab, cd, sum, GL_NONE, GL_NONE, abDot, cdDot, GL_FALSE);
}

// A portion whose results are all dropped.
void Discard(int32_t stage, GLenum portion) {
    Outputs(stage, portion, GL_DISCARD_NV, GL_DISCARD_NV, GL_DISCARD_NV);
}

void Final(const TIn& a, const TIn& b, const TIn& c, const TIn& d) {
    const TIn* in[4] = {&a, &b, &c, &d};
    for (int v = 0; v < 4; v++)
        GL.glFinalCombinerInputNV(GLenum(GL_VARIABLE_A_NV + v), in[v]->reg, in[v]->map, in[v]->comp);
}
void FinalEF(const TIn& e, const TIn& f) {
    GL.glFinalCombinerInputNV(GL_VARIABLE_E_NV, e.reg, e.map, e.comp);
    GL.glFinalCombinerInputNV(GL_VARIABLE_F_NV, f.reg, f.map, f.comp);
}
void FinalAlpha(const TIn& g) {
    GL.glFinalCombinerInputNV(GL_VARIABLE_G_NV, g.reg, g.map, g.comp);
}

void StageCount(int32_t n) {
    GL.glCombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, n);
}

void Constant(int32_t which, const TColor4& c) {
    GL.glCombinerParameterfvNV(GLenum(GL_CONSTANT_COLOR0_NV + which), &c.r);
}

void StageConstant(int32_t stage, int32_t which, const TColor4& c) {
    if (GL.glCombinerStageParameterfvNV)
        GL.glCombinerStageParameterfvNV(Stage(stage), GLenum(GL_CONSTANT_COLOR0_NV + which), &c.r);
}

void PerStageConstants(bool on) {
    if (!Usable(GLFlags.RegisterCombiners2)) return;
    if (on)
        GL.glEnable(GL_PER_STAGE_CONSTANTS_NV);
    else
        GL.glDisable(GL_PER_STAGE_CONSTANTS_NV);
}

T3dColor Color(const TColor4& c) {
    return {c.r, c.g, c.b, c.a};
}

T3dMaterialFace FaceOf(const Ts3dMaterial* m) {
    return m->TwoSided == 2 ? mfFrontAndBack : mfFront;
}

// The OpenGL material from the scene material.
void MaterialColors(I3dContext* c, const Ts3dMaterial* m) {
    c->SetMaterial(FaceOf(m), Color(m->AmbientColor), Color(m->DiffuseColor), Color(m->SpecularColor),
                   Color(m->EmissiveColor), m->Shininess);
}

// A unit that samples its texture with the vertices' own coordinates.
void NoGeneration(I3dContext* c, int32_t unit) {
    static const float plane[4] = {0, 0, 0, 0};
    for (T3dTexGenCoord coord : {gcS, gcT, gcR, gcQ})
        c->SetCoordGeneration(unit, coord, tgOff, plane);
}

// A reflection texture's coordinates: a sphere map on S and T for a 2D
// texture, reflection vectors on S, T and R for a cube texture.
void ReflectionGeneration(I3dContext* c, int32_t unit, bool cube) {
    static const float plane[4] = {0, 0, 0, 0};
    T3dTexGenMode mode = cube ? tgReflectionMap : tgSphereMap;
    c->SetCoordGeneration(unit, gcS, mode, plane);
    c->SetCoordGeneration(unit, gcT, mode, plane);
    c->SetCoordGeneration(unit, gcR, cube ? tgReflectionMap : tgOff, plane);
    c->SetCoordGeneration(unit, gcQ, tgOff, plane);
}

void AlphaBlending(I3dContext* c, const Ts3dMaterial* m, bool& blending) {
    if (m->BlendKind != bkBlended) return;
    c->SetBlendMode(bfSrcAlpha, bfInvSrcAlpha);
    blending = true;
}

} // namespace

// Final: A = 1, B = primary, C = 0, D = secondary: colour = primary +
// secondary. The general stages are left as they are (OpenGL refuses a count
// of 0): the final combiner reads only the two colours.
void Ts3dNV2xMaterialHandler::SetupPlainOpaque(I3dContext* c) {
    MaterialColors(c, Material);
    Final(kOne, Rgb(GL_PRIMARY_COLOR_NV), kZero, Rgb(GL_SECONDARY_COLOR_NV));
    FinalAlpha(Alpha(GL_SPARE0_NV));
}

// Lighting with white diffuse and specular gives the light colours; stage 0
// colours them with the material's (per-stage constants): spare0 = primary x
// diffuse, spare1 = secondary x specular, spare0 alpha = diffuse alpha +
// specular intensity. Final: spare0 + spare1.
void Ts3dNV2xMaterialHandler::SetupPlainBlended(I3dContext* c) {
    const Ts3dMaterial* m = Material;
    MaterialColors(c, m);
    c->SetMaterialColor(FaceOf(m), ccDiffuse, Color(TColors::White));
    c->SetMaterialColor(FaceOf(m), ccSpecular, Color(TColors::White));
    AlphaBlending(c, m, Blending);
    PerStageConstants(true);
    StageConstants = true;
    StageCount(1);
    StageConstant(0, 0, m->DiffuseColor);
    StageConstant(0, 1, m->SpecularColor);
    Inputs(0, GL_RGB, Rgb(GL_PRIMARY_COLOR_NV), Rgb(GL_CONSTANT_COLOR0_NV), Rgb(GL_SECONDARY_COLOR_NV),
           Rgb(GL_CONSTANT_COLOR1_NV));
    Outputs(0, GL_RGB, GL_SPARE0_NV, GL_SPARE1_NV, GL_DISCARD_NV);
    Inputs(0, GL_ALPHA, kOneAlpha, Alpha(GL_CONSTANT_COLOR0_NV), Blue(GL_SECONDARY_COLOR_NV), kOneAlpha);
    Outputs(0, GL_ALPHA, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
    Final(kOne, Rgb(GL_SPARE0_NV), kZero, Rgb(GL_SPARE1_NV));
    FinalAlpha(Alpha(GL_SPARE0_NV));
}

// Unit 1 = diffuse texture. Stage 0: spare0 = primary x diffuse colour,
// spare1 = primary x texture, spare0 alpha = diffuse alpha + specular
// intensity. Stage 1: spare0 = mix of the two by DiffuseAmount, spare0 alpha
// x texture alpha. Final: spare0 + secondary x specular colour (E x F).
void Ts3dNV2xMaterialHandler::SetupDiffuseTexture(I3dContext* c) {
    const Ts3dMaterial* m = Material;
    AlphaBlending(c, m, Blending);
    c->SetSeparateSpecular(true);
    c->SetTexture(1, m->DiffuseTexture.Get());
    NoGeneration(c, 1);
    MaterialColors(c, m);
    c->SetMaterialColor(mfFront, ccAmbient, Color(TColors::Grey(m->AmbientColor)));
    c->SetMaterialColor(mfFront, ccDiffuse, Color(TColors::White));
    c->SetMaterialColor(mfFront, ccSpecular, Color(TColors::Grey(m->SpecularColor)));
    StageCount(2);
    Constant(0, m->DiffuseColor);
    Constant(1, {m->SpecularColor.r, m->SpecularColor.g, m->SpecularColor.b, m->DiffuseAmount});
    Inputs(0, GL_RGB, Rgb(GL_PRIMARY_COLOR_NV), Rgb(GL_CONSTANT_COLOR0_NV), Rgb(GL_PRIMARY_COLOR_NV),
           Rgb(Texture(1)));
    Outputs(0, GL_RGB, GL_SPARE0_NV, GL_SPARE1_NV, GL_DISCARD_NV);
    Inputs(0, GL_ALPHA, Alpha(GL_CONSTANT_COLOR0_NV), kOneAlpha, Blue(GL_SECONDARY_COLOR_NV), kOneAlpha);
    Outputs(0, GL_ALPHA, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
    Inputs(1, GL_RGB, Rgb(GL_SPARE0_NV), InvertAlpha(GL_CONSTANT_COLOR1_NV), Rgb(GL_SPARE1_NV),
           Alpha(GL_CONSTANT_COLOR1_NV));
    Outputs(1, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
    Inputs(1, GL_ALPHA, Alpha(Texture(1)), Alpha(GL_SPARE0_NV), kZeroAlpha, kZeroAlpha);
    Outputs(1, GL_ALPHA, GL_SPARE0_NV, GL_DISCARD_NV, GL_DISCARD_NV);
    Final(kOne, Rgb(GL_SPARE0_NV), Rgb(GL_SPARE0_NV), Rgb(GL_E_TIMES_F_NV));
    FinalEF(Rgb(GL_SECONDARY_COLOR_NV), Rgb(GL_CONSTANT_COLOR1_NV));
    FinalAlpha(Alpha(GL_SPARE0_NV));
}

// Unit 1 = reflection texture with generated coordinates. Stage 0: spare0 =
// primary + texture x ReflectionAmount. Final: spare0 + secondary.
void Ts3dNV2xMaterialHandler::SetupReflection(I3dContext* c) {
    const Ts3dMaterial* m = Material;
    const bool cube = Material->Passes[size_t(PassIndex)].Stages[1].Kind == skReflectionCube;
    c->SetSeparateSpecular(true);
    c->SetTexture(1, m->ReflectionTexture.Get());
    ReflectionGeneration(c, 1, cube);
    MaterialColors(c, m);
    StageCount(1);
    Constant(0, {0, 0, 0, m->ReflectionAmount});
    Discard(0, GL_ALPHA);
    Inputs(0, GL_RGB, Rgb(GL_PRIMARY_COLOR_NV), kOne, Rgb(Texture(1)), Alpha(GL_CONSTANT_COLOR0_NV));
    Outputs(0, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
    Final(kZero, kZero, kZero, Rgb(GL_SPARE0_PLUS_SECONDARY_COLOR_NV));
    FinalAlpha(Alpha(GL_SPARE0_NV));
}

// Unit 1 = diffuse texture, unit 2 = reflection texture with generated
// coordinates. Stage 0: spare0 = primary x diffuse colour, spare1 = primary
// x texture; stage 1: mix by DiffuseAmount; stage 2: + reflection at full
// strength. Final: spare0 + secondary.
void Ts3dNV2xMaterialHandler::SetupDiffuseWithReflection(I3dContext* c) {
    const Ts3dMaterial* m = Material;
    const bool cube = Material->Passes[size_t(PassIndex)].Stages[2].Kind == skReflectionCube;
    c->SetSeparateSpecular(true);
    c->SetTexture(1, m->DiffuseTexture.Get());
    NoGeneration(c, 1);
    c->SetTexture(2, m->ReflectionTexture.Get());
    ReflectionGeneration(c, 2, cube);
    MaterialColors(c, m);
    c->SetMaterialColor(FaceOf(m), ccAmbient, Color(TColors::Grey(m->AmbientColor)));
    c->SetMaterialColor(FaceOf(m), ccDiffuse, Color(TColors::White));
    StageCount(3);
    Constant(0, {m->DiffuseColor.r, m->DiffuseColor.g, m->DiffuseColor.b, m->DiffuseAmount});
    Constant(1, {0, 0, 0, 1});
    Inputs(0, GL_RGB, Rgb(GL_PRIMARY_COLOR_NV), Rgb(GL_CONSTANT_COLOR0_NV), Rgb(GL_PRIMARY_COLOR_NV),
           Rgb(Texture(1)));
    Outputs(0, GL_RGB, GL_SPARE0_NV, GL_SPARE1_NV, GL_DISCARD_NV);
    Inputs(1, GL_RGB, Rgb(GL_SPARE0_NV), InvertAlpha(GL_CONSTANT_COLOR0_NV), Rgb(GL_SPARE1_NV),
           Alpha(GL_CONSTANT_COLOR0_NV));
    Outputs(1, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
    Inputs(2, GL_RGB, Rgb(GL_SPARE0_NV), kOne, Rgb(Texture(2)), Alpha(GL_CONSTANT_COLOR1_NV));
    Outputs(2, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
    for (int32_t s = 0; s < 3; s++)
        Discard(s, GL_ALPHA);
    Final(kZero, kZero, kZero, Rgb(GL_SPARE0_PLUS_SECONDARY_COLOR_NV));
    FinalAlpha(Alpha(GL_SPARE0_NV));
}

// The units both bump set-ups share: unit 1 the material's normal map, units
// 2 and 3 the normalisation cube map (for L and H); no coordinate generation
// on them, the bump program writes their coordinates.
void Ts3dNV2xMaterialHandler::BindBumpUnits(I3dContext* c) {
    c->SetTexture(1, Material->BumpTexture.Get());
    c->SetTexture(2, Scene->NormalizationCubeMap.Get());
    c->SetTexture(3, Scene->NormalizationCubeMap.Get());
    for (int32_t unit = 1; unit <= 3; unit++)
        NoGeneration(c, unit);
}

// Unit 1 = normal map, units 2 and 3 = the normalisation cube map fed with
// the tangent-space light vector L and half-angle vector H by the bump
// program. Stage 0: spare0 = N.L, spare1 = N.H; stage 1: spare0 x diffuse;
// stages 2, 3: spare1 to the fourth power. Final: specular x (N.H)^8 (E x F)
// + spare0.
void Ts3dNV2xMaterialHandler::SetupBump(I3dContext* c) {
    const Ts3dMaterial* m = Material;
    const Ts3dLight* light = Scene->CurrentLight;
    const TColor4 lightDiffuse = light ? light->Diffuse : TColors::White;
    const TColor4 lightSpecular = light ? light->Specular : TColors::White;
    BindBumpUnits(c);
    StageCount(4);
    TColor4 diffuse = TColors::Modulate(m->DiffuseColor, lightDiffuse);
    diffuse.a = m->DiffuseAmount;
    Constant(0, diffuse);
    Constant(1, TColors::Modulate(m->SpecularColor, lightSpecular));
    Inputs(0, GL_RGB, Expand(Texture(1)), Expand(Texture(2)), Expand(Texture(1)), Expand(Texture(3)));
    Outputs(0, GL_RGB, GL_SPARE0_NV, GL_SPARE1_NV, GL_DISCARD_NV, true, true);
    Inputs(1, GL_RGB, Rgb(GL_SPARE0_NV), Rgb(GL_CONSTANT_COLOR0_NV), kZero, kZero);
    Outputs(1, GL_RGB, GL_SPARE0_NV, GL_DISCARD_NV, GL_DISCARD_NV);
    for (int32_t s = 2; s <= 3; s++) {
        Inputs(s, GL_RGB, Rgb(GL_SPARE1_NV), Rgb(GL_SPARE1_NV), kZero, kZero);
        Outputs(s, GL_RGB, GL_SPARE1_NV, GL_DISCARD_NV, GL_DISCARD_NV);
    }
    for (int32_t s = 0; s < 4; s++)
        Discard(s, GL_ALPHA);
    Final(Rgb(GL_CONSTANT_COLOR1_NV), Rgb(GL_E_TIMES_F_NV), kZero, Rgb(GL_SPARE0_NV));
    FinalEF(Rgb(GL_SPARE1_NV), Rgb(GL_SPARE1_NV));
    FinalAlpha(Alpha(GL_SPARE0_NV));
}

// Units 1-3 as for Bump, unit 4 = diffuse texture; per-stage constants.
// Stage 0: spare0 = mix of diffuse colour and texture by DiffuseAmount;
// stage 1: spare1 = N.L; stage 2: x light diffuse; stage 3: spare0 x spare1,
// spare1 = N.H; stage 4: spare1 = N.H. Stages 5 and 6 square spare1 but lie
// beyond the count of 5. Final: spare0 (the specular term is multiplied by
// B = 0).
void Ts3dNV2xMaterialHandler::SetupBumpWithDiffuseTexture(I3dContext* c) {
    const Ts3dMaterial* m = Material;
    const Ts3dLight* light = Scene->CurrentLight;
    const TColor4 lightDiffuse = light ? light->Diffuse : TColors::White;
    const TColor4 lightSpecular = light ? light->Specular : TColors::White;
    BindBumpUnits(c);
    c->SetTexture(4, m->DiffuseTexture.Get());
    NoGeneration(c, 4);
    PerStageConstants(true);
    StageConstants = true;
    StageCount(5);
    Constant(0, lightSpecular);
    StageConstant(0, 0, m->DiffuseColor);
    StageConstant(0, 1, {0, 0, 0, m->DiffuseAmount});
    StageConstant(2, 0, lightDiffuse);
    Inputs(0, GL_RGB, Rgb(GL_CONSTANT_COLOR0_NV), InvertAlpha(GL_CONSTANT_COLOR1_NV), Rgb(Texture(4)),
           Alpha(GL_CONSTANT_COLOR1_NV));
    Outputs(0, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
    Inputs(1, GL_RGB, Expand(Texture(1)), Expand(Texture(2)), kZero, kZero);
    Outputs(1, GL_RGB, GL_SPARE1_NV, GL_DISCARD_NV, GL_DISCARD_NV, true, false);
    Inputs(2, GL_RGB, Rgb(GL_SPARE1_NV), Rgb(GL_CONSTANT_COLOR0_NV), kZero, kZero);
    Outputs(2, GL_RGB, GL_SPARE1_NV, GL_DISCARD_NV, GL_DISCARD_NV);
    Inputs(3, GL_RGB, Rgb(GL_SPARE0_NV), Rgb(GL_SPARE1_NV), Expand(Texture(1)), Expand(Texture(3)));
    Outputs(3, GL_RGB, GL_SPARE0_NV, GL_SPARE1_NV, GL_DISCARD_NV, false, true);
    Inputs(4, GL_RGB, Expand(Texture(1)), Expand(Texture(3)), kZero, kZero);
    Outputs(4, GL_RGB, GL_SPARE1_NV, GL_DISCARD_NV, GL_DISCARD_NV, true, false);
    for (int32_t s = 5; s <= 6; s++) {
        Inputs(s, GL_RGB, Rgb(GL_SPARE1_NV), Rgb(GL_SPARE1_NV), kZero, kZero);
        Outputs(s, GL_RGB, GL_SPARE1_NV, GL_DISCARD_NV, GL_DISCARD_NV);
    }
    for (int32_t s = 0; s <= 6; s++)
        Discard(s, GL_ALPHA);
    Final(Rgb(GL_CONSTANT_COLOR1_NV), kZero, kZero, Rgb(GL_SPARE0_NV));
    FinalEF(Rgb(GL_SPARE1_NV), Rgb(GL_SPARE1_NV));
    FinalAlpha(Alpha(GL_SPARE0_NV));
}

// The set-up's colour goes to one register (one more stage where the final
// combiner summed it), and the final combiner becomes A = shadow, B = that
// register, C = D = 0. Alpha stays as the set-up made it.
void Ts3dNV2xMaterialHandler::MultiplyByShadow(TCombinerSetup setup, int32_t unit) {
    TIn colour = Rgb(GL_SPARE0_NV);
    switch (setup) {
    case suPlainOpaque:
        // spare0 = primary + secondary.
        StageCount(1);
        Inputs(0, GL_RGB, Rgb(GL_PRIMARY_COLOR_NV), kOne, Rgb(GL_SECONDARY_COLOR_NV), kOne);
        Outputs(0, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
        Inputs(0, GL_ALPHA, Alpha(GL_PRIMARY_COLOR_NV), kOneAlpha, kZeroAlpha, kZeroAlpha);
        Outputs(0, GL_ALPHA, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
        break;
    case suPlainBlended:
        // spare0 = spare0 + spare1.
        StageCount(2);
        Inputs(1, GL_RGB, Rgb(GL_SPARE0_NV), kOne, Rgb(GL_SPARE1_NV), kOne);
        Outputs(1, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
        Discard(1, GL_ALPHA);
        break;
    case suDiffuseTexture:
        // spare0 = spare0 + secondary x specular colour.
        StageCount(3);
        Inputs(2, GL_RGB, Rgb(GL_SPARE0_NV), kOne, Rgb(GL_SECONDARY_COLOR_NV), Rgb(GL_CONSTANT_COLOR1_NV));
        Outputs(2, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
        Discard(2, GL_ALPHA);
        break;
    case suReflection:
    case suDiffuseWithReflection:
        colour = Rgb(GL_SPARE0_PLUS_SECONDARY_COLOR_NV);
        break;
    case suBump:
        // spare1 = (N.H)^8, spare0 = spare1 x specular + spare0.
        StageCount(6);
        Inputs(4, GL_RGB, Rgb(GL_SPARE1_NV), Rgb(GL_SPARE1_NV), kZero, kZero);
        Outputs(4, GL_RGB, GL_SPARE1_NV, GL_DISCARD_NV, GL_DISCARD_NV);
        Inputs(5, GL_RGB, Rgb(GL_SPARE1_NV), Rgb(GL_CONSTANT_COLOR1_NV), Rgb(GL_SPARE0_NV), kOne);
        Outputs(5, GL_RGB, GL_DISCARD_NV, GL_DISCARD_NV, GL_SPARE0_NV);
        Discard(4, GL_ALPHA);
        Discard(5, GL_ALPHA);
        break;
    case suBumpWithDiffuseTexture:
        break;
    default:
        return;
    }
    Final(Rgb(Texture(unit)), colour, kZero, kZero);
}
