// Quads drawn through the emulated register combiners, compared pixel by pixel
// with the CPU model of the combiners. The target is a grid of 8x8 cells; each
// cell has its own primary and secondary colour and its own texel on every
// unit, so every pixel's inputs are known exactly.
#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"
#include "tests/nv/CombinerReference.h"
#include "tests/nv/NvGl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

namespace {

constexpr int kGrid = 8;
constexpr int kCell = kNvTargetSize / kGrid;
constexpr int kCells = kGrid * kGrid;

enum UnitKind { ukOff, uk2D, ukCube, uk3D };

struct Scene {
    UnitKind units[4] = {ukOff, ukOff, ukOff, ukOff};
    uint8_t tex2D[4][64][4]; // 8x8 texels per unit
    uint8_t cube[4][6][4];   // one colour per face
    uint8_t tex3D[4][64][4]; // 4x4x4 texels
    uint8_t primary[kCells][4];
    uint8_t secondary[kCells][3];
    float depth[kCells]; // eye distance (fog)
    GLuint textures[4] = {};
    bool fog = false;
    float fogStart = 0, fogEnd = 10;
    float fogColor[4] = {0.25f, 0.5f, 0.75f, 1};
};

int Texel2D(int cell, int unit) {
    return (cell * (2 * unit + 1) + unit * 7) % 64;
}
int Face(int cell, int unit) {
    return (cell + unit) % 6;
}
int Texel3D(int cell, int unit) {
    return (cell * 5 + unit) % 64;
}

void FillScene(Scene& s, uint32_t seed) {
    std::mt19937 rng(seed);
    auto byte = [&] { return uint8_t(rng() % 256); };
    for (int u = 0; u < 4; u++) {
        for (auto& t : s.tex2D[u])
            for (auto& c : t)
                c = byte();
        for (auto& t : s.cube[u])
            for (auto& c : t)
                c = byte();
        for (auto& t : s.tex3D[u])
            for (auto& c : t)
                c = byte();
    }
    for (int i = 0; i < kCells; i++) {
        for (auto& c : s.primary[i])
            c = byte();
        for (auto& c : s.secondary[i])
            c = byte();
        s.depth[i] = 0.5f + float(rng() % 90) / 10.0f;
    }
}

void UploadTextures(Scene& s) {
    for (int u = 0; u < 4; u++) {
        GL.glActiveTextureARB(GL_TEXTURE0_ARB + u);
        if (s.units[u] == ukOff) continue;
        if (!s.textures[u]) GL.glGenTextures(1, &s.textures[u]);
        GLenum target = s.units[u] == uk2D     ? GL_TEXTURE_2D
                        : s.units[u] == ukCube ? GL_TEXTURE_CUBE_MAP_ARB
                                               : GL_TEXTURE_3D;
        GL.glBindTexture(target, s.textures[u]);
        GL.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        GL.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        GL.glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        GL.glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        GL.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        if (s.units[u] == uk2D) {
            GL.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, s.tex2D[u]);
        } else if (s.units[u] == ukCube) {
            for (int f = 0; f < 6; f++) {
                uint8_t face[4][4];
                for (auto& t : face)
                    for (int c = 0; c < 4; c++)
                        t[c] = s.cube[u][f][c];
                GL.glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + f, 0, GL_RGBA8, 2, 2, 0, GL_RGBA,
                                GL_UNSIGNED_BYTE, face);
            }
        } else {
            GL.glTexParameteri(target, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
            GL.glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8, 4, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, s.tex3D[u]);
        }
        GL.glEnable(target);
    }
    GL.glActiveTextureARB(GL_TEXTURE0_ARB);
}

void TexCoord(const Scene& s, int cell, int u) {
    GLenum unit = GL_TEXTURE0_ARB + u;
    switch (s.units[u]) {
    case uk2D: {
        int j = Texel2D(cell, u);
        GL.glMultiTexCoord2fARB(unit, (float(j % 8) + 0.5f) / 8, (float(j / 8) + 0.5f) / 8);
        break;
    }
    case ukCube: {
        static const float dirs[6][3] = {{1, 0.1f, 0.2f},  {-1, 0.2f, -0.1f}, {0.1f, 1, 0.2f},
                                         {0.2f, -1, 0.1f}, {0.1f, 0.2f, 1},   {-0.2f, 0.1f, -1}};
        const float* d = dirs[Face(cell, u)];
        GL.glMultiTexCoord3fARB(unit, d[0], d[1], d[2]);
        break;
    }
    case uk3D: {
        int j = Texel3D(cell, u);
        GL.glMultiTexCoord4fARB(unit, (float(j % 4) + 0.5f) / 4, (float(j / 4 % 4) + 0.5f) / 4,
                                (float(j / 16) + 0.5f) / 4, 1.0f);
        break;
    }
    default:
        GL.glMultiTexCoord4fARB(unit, 0, 0, 0, 1);
        break;
    }
}

void Draw(const Scene& s, const NvGlExtras* ext) {
    if (s.fog) {
        GL.glEnable(GL_FOG);
        GL.glFogi(GL_FOG_MODE, GL_LINEAR);
        GL.glFogf(GL_FOG_START, s.fogStart);
        GL.glFogf(GL_FOG_END, s.fogEnd);
        GLfloat fc[4] = {s.fogColor[0], s.fogColor[1], s.fogColor[2], s.fogColor[3]};
        glFogfv(GL_FOG_COLOR, fc);
    }
    GL.glBegin(GL_QUADS);
    for (int i = 0; i < kCells; i++) {
        float x0 = float(i % kGrid * kCell), y0 = float(i / kGrid * kCell);
        GL.glColor4ub(s.primary[i][0], s.primary[i][1], s.primary[i][2], s.primary[i][3]);
        ext->glSecondaryColor3ubEXT(s.secondary[i][0], s.secondary[i][1], s.secondary[i][2]);
        for (int u = 0; u < 4; u++)
            TexCoord(s, i, u);
        float z = -s.depth[i];
        GL.glVertex3f(x0, y0, z);
        GL.glVertex3f(x0 + kCell, y0, z);
        GL.glVertex3f(x0 + kCell, y0 + kCell, z);
        GL.glVertex3f(x0, y0 + kCell, z);
    }
    GL.glEnd();
    GL.glDisable(GL_FOG);
}

Rgba FromBytes(const uint8_t* b, int n, float fill = 1.0f) {
    Rgba c = {{fill, fill, fill, fill}};
    for (int i = 0; i < n; i++)
        c.v[i] = float(b[i]) / 255.0f;
    return c;
}

CombinerFragment Fragment(const Scene& s, int cell, float secondaryAlpha) {
    CombinerFragment f = {};
    f.primary = FromBytes(s.primary[cell], 4);
    f.secondary = FromBytes(s.secondary[cell], 3);
    f.secondary.v[3] = secondaryAlpha;
    for (int u = 0; u < 4; u++) {
        f.textureOn[u] = s.units[u] != ukOff;
        if (s.units[u] == uk2D)
            f.texture[u] = FromBytes(s.tex2D[u][Texel2D(cell, u)], 4);
        else if (s.units[u] == ukCube)
            f.texture[u] = FromBytes(s.cube[u][Face(cell, u)], 4);
        else if (s.units[u] == uk3D)
            f.texture[u] = FromBytes(s.tex3D[u][Texel3D(cell, u)], 4);
    }
    f.fogColor = Rgba{{s.fogColor[0], s.fogColor[1], s.fogColor[2], s.fogColor[3]}};
    f.fogFactor = 1.0f;
    if (s.fog)
        f.fogFactor = std::min(1.0f, std::max(0.0f, (s.fogEnd - s.depth[cell]) / (s.fogEnd - s.fogStart)));
    return f;
}

// Programs the whole recorded state through the entry points.
void Apply(const NvCombinerState& st) {
    for (int i = 0; i < kNvMaxGeneralCombiners; i++) {
        GLenum stage = GL_COMBINER0_NV + i;
        for (int portion = 0; portion < 2; portion++) {
            const NvCombinerPortion& p = portion ? st.stage[i].alpha : st.stage[i].rgb;
            GLenum which = portion ? GL_ALPHA : GL_RGB;
            for (int v = 0; v < 4; v++)
                GL.glCombinerInputNV(stage, which, GL_VARIABLE_A_NV + v, p.var[v].input, p.var[v].mapping,
                                     p.var[v].component);
            GL.glCombinerOutputNV(stage, which, p.abOutput, p.cdOutput, p.sumOutput, p.scale, p.bias, p.abDot,
                                  p.cdDot, p.muxSum);
        }
        GL.glCombinerStageParameterfvNV(stage, GL_CONSTANT_COLOR0_NV, st.stage[i].constant[0]);
        GL.glCombinerStageParameterfvNV(stage, GL_CONSTANT_COLOR1_NV, st.stage[i].constant[1]);
    }
    for (int v = 0; v < 7; v++)
        GL.glFinalCombinerInputNV(GL_VARIABLE_A_NV + v, st.final[v].input, st.final[v].mapping,
                                  st.final[v].component);
    GL.glCombinerParameterfvNV(GL_CONSTANT_COLOR0_NV, st.constant[0]);
    GL.glCombinerParameterfvNV(GL_CONSTANT_COLOR1_NV, st.constant[1]);
    GL.glCombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, st.numStages);
    GL.glCombinerParameteriNV(GL_COLOR_SUM_CLAMP_NV, st.colorSumClamp);
    if (st.perStageConstants)
        GL.glEnable(GL_PER_STAGE_CONSTANTS_NV);
    else
        GL.glDisable(GL_PER_STAGE_CONSTANTS_NV);
}

// Draws the scene with the state and compares every pixel with the model.
// Returns the number of mismatching pixels (and reports the first few).
int RenderAndCompare(Scene& s, const NvCombinerState& st, const NvGlExtras* ext, float secondaryAlpha,
                     const char* what, const std::function<void()>& beforeDraw = nullptr) {
    NvResetState();
    NvBindTarget(false);
    UploadTextures(s);
    Apply(st);
    EXPECT_EQ(GL.glGetError(), GLenum(GL_NO_ERROR)) << what;
    GL.glEnable(GL_REGISTER_COMBINERS_NV);
    if (beforeDraw) beforeDraw();
    Draw(s, ext);
    GL.glDisable(GL_REGISTER_COMBINERS_NV);
    std::vector<float> px = NvReadTarget();
    int bad = 0;
    for (int i = 0; i < kCells; i++) {
        Rgba ref = ReferenceCombiners(st, Fragment(s, i, secondaryAlpha));
        for (int y = 0; y < kCell; y++)
            for (int x = 0; x < kCell; x++) {
                int X = i % kGrid * kCell + x, Y = i / kGrid * kCell + y;
                const float* p = &px[size_t(Y * kNvTargetSize + X) * 4];
                for (int c = 0; c < 4; c++)
                    if (std::fabs(p[c] - ref.v[c]) * 255.0f > 2.0f) {
                        if (bad < 4)
                            ADD_FAILURE()
                                << what << ": cell " << i << " pixel (" << X << "," << Y << ") channel " << c
                                << " got " << p[c] * 255 << " want " << ref.v[c] * 255 << "\n"
                                << NvEmulationLastProgramText();
                        bad++;
                    }
            }
    }
    return bad;
}

NvCombinerInput In(uint32_t input, uint32_t mapping = kNvUnsignedIdentity, uint32_t component = kNvRGB) {
    return NvCombinerInput{input, mapping, component};
}

void Out(NvCombinerPortion& p, uint32_t ab, uint32_t cd, uint32_t sum, bool abDot = false,
         bool cdDot = false) {
    p.abOutput = ab;
    p.cdOutput = cd;
    p.sumOutput = sum;
    p.abDot = abDot;
    p.cdDot = cdDot;
}

void SetColor(float* c, float r, float g, float b, float a) {
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = a;
}

// The secondary colour's alpha as the rasteriser delivers it to the combiners.
float MeasureSecondaryAlpha(const NvGlExtras* ext) {
    Scene s;
    FillScene(s, 1);
    NvCombinerState st;
    NvCombinerStateReset(st);
    st.final[6] = In(kNvSecondaryColor, kNvUnsignedIdentity, kNvAlpha);
    NvResetState();
    NvBindTarget(false);
    Apply(st);
    GL.glEnable(GL_REGISTER_COMBINERS_NV);
    Draw(s, ext);
    GL.glDisable(GL_REGISTER_COMBINERS_NV);
    return NvReadTarget()[3];
}

} // namespace

// The initial state: spare0 = primary, final = spare0 + secondary through a
// fog factor of 1 (fog off), then the same with linear fog.
TEST(NvCombinerRender, DefaultStateWithAndWithoutFog) {
    NV_REQUIRE_GL();
    float secondaryAlpha = MeasureSecondaryAlpha(ext);
    Scene s;
    FillScene(s, 2);
    NvCombinerState st;
    NvCombinerStateReset(st);
    EXPECT_EQ(RenderAndCompare(s, st, ext, secondaryAlpha, "defaults"), 0);
    s.fog = true;
    EXPECT_EQ(RenderAndCompare(s, st, ext, secondaryAlpha, "defaults with fog"), 0);
}

// Texture registers follow each unit's enabled target; a disabled unit reads 0.
TEST(NvCombinerRender, TextureTargetsAndDisabledUnits) {
    NV_REQUIRE_GL();
    float secondaryAlpha = MeasureSecondaryAlpha(ext);
    Scene s;
    FillScene(s, 3);
    s.units[0] = uk2D;
    s.units[1] = ukCube;
    s.units[2] = uk3D;
    s.units[3] = ukOff;
    NvCombinerState st;
    NvCombinerStateReset(st);
    st.numStages = 2;
    // stage 0: spare0 = tex0 + tex1, spare1 = tex2 * 1 ; alpha: spare0.a = tex1.a, spare1.a = tex3.a + tex2.b
    NvCombinerPortion& p = st.stage[0].rgb;
    p.var[0] = In(kNvTexture0);
    p.var[1] = In(kNvZero, kNvUnsignedInvert);
    p.var[2] = In(kNvTexture0 + 1);
    p.var[3] = In(kNvZero, kNvUnsignedInvert);
    Out(p, kNvSpare1, kNvDiscard, kNvSpare0);
    NvCombinerPortion& a = st.stage[0].alpha;
    a.var[0] = In(kNvTexture0 + 1, kNvSignedIdentity, kNvAlpha);
    a.var[1] = In(kNvZero, kNvUnsignedInvert, kNvAlpha);
    a.var[2] = In(kNvTexture0 + 3, kNvSignedIdentity, kNvAlpha);
    a.var[3] = In(kNvTexture0 + 2, kNvSignedIdentity, kNvBlue);
    Out(a, kNvSpare0, kNvSpare1, kNvDiscard);
    NvCombinerPortion& q = st.stage[1].rgb;
    q.var[0] = In(kNvTexture0 + 2);
    q.var[1] = In(kNvZero, kNvUnsignedInvert);
    q.var[2] = In(kNvTexture0 + 3);
    q.var[3] = In(kNvZero, kNvUnsignedInvert);
    Out(q, kNvDiscard, kNvDiscard, kNvSpare1);
    st.final[0] = In(kNvZero, kNvUnsignedInvert);
    st.final[1] = In(kNvSpare0);
    st.final[2] = In(kNvZero);
    st.final[3] = In(kNvSpare1);
    st.final[6] = In(kNvSpare1, kNvUnsignedIdentity, kNvAlpha);
    EXPECT_EQ(RenderAndCompare(s, st, ext, secondaryAlpha, "targets"), 0);
    // Texture enables switched inside an attribute push come back with the pop.
    EXPECT_EQ(RenderAndCompare(s, st, ext, secondaryAlpha, "targets after a pop",
                               [] {
                                   GL.glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT);
                                   GL.glActiveTextureARB(GL_TEXTURE1_ARB);
                                   GL.glDisable(GL_TEXTURE_CUBE_MAP_ARB);
                                   GL.glEnable(GL_TEXTURE_2D);
                                   GL.glPopAttrib();
                               }),
              0);
    // A unit switched off reads zero; a 2D target under a cube map loses to it.
    s.units[2] = ukOff;
    EXPECT_EQ(RenderAndCompare(s, st, ext, secondaryAlpha, "unit 2 switched off",
                               [] {
                                   GL.glActiveTextureARB(GL_TEXTURE2_ARB);
                                   GL.glDisable(GL_TEXTURE_3D);
                                   GL.glActiveTextureARB(GL_TEXTURE1_ARB);
                                   GL.glEnable(GL_TEXTURE_2D);
                                   GL.glActiveTextureARB(GL_TEXTURE0_ARB);
                               }),
              0);
}

// The seven set-ups of the bump and refraction material handler.
TEST(NvCombinerRender, MaterialHandlerSetups) {
    NV_REQUIRE_GL();
    float secondaryAlpha = MeasureSecondaryAlpha(ext);
    struct Setup {
        const char* name;
        UnitKind units[4];
        std::function<void(NvCombinerState&)> program;
    };
    const float diffuse[4] = {0.8f, 0.6f, 0.4f, 0.7f}, specular[4] = {0.9f, 0.8f, 0.5f, 1.0f};
    const float lightDiffuse[4] = {0.9f, 0.95f, 0.7f, 1}, lightSpecular[4] = {0.6f, 0.7f, 0.8f, 1};
    const float diffuseAmount = 0.35f, reflectionAmount = 0.6f;
    std::vector<Setup> setups = {
        {"plain opaque",
         {ukOff, ukOff, ukOff, ukOff},
         [](NvCombinerState& st) {
             // Zero general combiners is refused: the stage count stays.
             st.final[0] = In(kNvZero, kNvUnsignedInvert);
             st.final[1] = In(kNvPrimaryColor);
             st.final[2] = In(kNvZero);
             st.final[3] = In(kNvSecondaryColor);
             st.final[6] = In(kNvSpare0, kNvUnsignedIdentity, kNvAlpha);
         }},
        {"plain blended",
         {ukOff, ukOff, ukOff, ukOff},
         [&](NvCombinerState& st) {
             st.perStageConstants = 1;
             st.numStages = 1;
             SetColor(st.stage[0].constant[0], diffuse[0], diffuse[1], diffuse[2], diffuse[3]);
             SetColor(st.stage[0].constant[1], specular[0], specular[1], specular[2], specular[3]);
             NvCombinerPortion& p = st.stage[0].rgb;
             p.var[0] = In(kNvPrimaryColor);
             p.var[1] = In(kNvConstantColor0);
             p.var[2] = In(kNvSecondaryColor);
             p.var[3] = In(kNvConstantColor1);
             Out(p, kNvSpare0, kNvSpare1, kNvDiscard);
             NvCombinerPortion& a = st.stage[0].alpha;
             a.var[0] = In(kNvZero, kNvUnsignedInvert, kNvAlpha);
             a.var[1] = In(kNvConstantColor0, kNvUnsignedIdentity, kNvAlpha);
             a.var[2] = In(kNvSecondaryColor, kNvUnsignedIdentity, kNvBlue);
             a.var[3] = In(kNvZero, kNvUnsignedInvert, kNvAlpha);
             Out(a, kNvDiscard, kNvDiscard, kNvSpare0);
             st.final[0] = In(kNvZero, kNvUnsignedInvert);
             st.final[1] = In(kNvSpare0);
             st.final[2] = In(kNvZero);
             st.final[3] = In(kNvSpare1);
             st.final[6] = In(kNvSpare0, kNvUnsignedIdentity, kNvAlpha);
         }},
        {"diffuse texture",
         {uk2D, ukOff, ukOff, ukOff},
         [&](NvCombinerState& st) {
             st.numStages = 2;
             SetColor(st.constant[0], diffuse[0], diffuse[1], diffuse[2], diffuse[3]);
             SetColor(st.constant[1], specular[0], specular[1], specular[2], diffuseAmount);
             NvCombinerPortion& p0 = st.stage[0].rgb;
             p0.var[0] = In(kNvPrimaryColor);
             p0.var[1] = In(kNvConstantColor0);
             p0.var[2] = In(kNvPrimaryColor);
             p0.var[3] = In(kNvTexture0);
             Out(p0, kNvSpare0, kNvSpare1, kNvDiscard);
             NvCombinerPortion& a0 = st.stage[0].alpha;
             a0.var[0] = In(kNvConstantColor0, kNvUnsignedIdentity, kNvAlpha);
             a0.var[1] = In(kNvZero, kNvUnsignedInvert, kNvAlpha);
             a0.var[2] = In(kNvSecondaryColor, kNvUnsignedIdentity, kNvBlue);
             a0.var[3] = In(kNvZero, kNvUnsignedInvert, kNvAlpha);
             Out(a0, kNvDiscard, kNvDiscard, kNvSpare0);
             NvCombinerPortion& p1 = st.stage[1].rgb;
             p1.var[0] = In(kNvSpare0);
             p1.var[1] = In(kNvConstantColor1, kNvUnsignedInvert, kNvAlpha);
             p1.var[2] = In(kNvSpare1);
             p1.var[3] = In(kNvConstantColor1, kNvUnsignedIdentity, kNvAlpha);
             Out(p1, kNvDiscard, kNvDiscard, kNvSpare0);
             NvCombinerPortion& a1 = st.stage[1].alpha;
             a1.var[0] = In(kNvTexture0, kNvUnsignedIdentity, kNvAlpha);
             a1.var[1] = In(kNvSpare0, kNvUnsignedIdentity, kNvAlpha);
             a1.var[2] = In(kNvZero, kNvUnsignedIdentity, kNvAlpha);
             a1.var[3] = In(kNvZero, kNvUnsignedIdentity, kNvAlpha);
             Out(a1, kNvSpare0, kNvDiscard, kNvDiscard);
             st.final[0] = In(kNvZero, kNvUnsignedInvert);
             st.final[1] = In(kNvSpare0);
             st.final[2] = In(kNvSpare0);
             st.final[3] = In(kNvETimesF);
             st.final[4] = In(kNvSecondaryColor);
             st.final[5] = In(kNvConstantColor1);
             st.final[6] = In(kNvSpare0, kNvUnsignedIdentity, kNvAlpha);
         }},
        {"reflection",
         {ukCube, ukOff, ukOff, ukOff},
         [&](NvCombinerState& st) {
             st.numStages = 1;
             SetColor(st.constant[0], 0, 0, 0, reflectionAmount);
             NvCombinerPortion& p = st.stage[0].rgb;
             p.var[0] = In(kNvPrimaryColor);
             p.var[1] = In(kNvZero, kNvUnsignedInvert);
             p.var[2] = In(kNvTexture0);
             p.var[3] = In(kNvConstantColor0, kNvUnsignedIdentity, kNvAlpha);
             Out(p, kNvDiscard, kNvDiscard, kNvSpare0);
             Out(st.stage[0].alpha, kNvDiscard, kNvDiscard, kNvDiscard);
             st.final[0] = In(kNvZero, kNvUnsignedInvert);
             st.final[1] = In(kNvSpare0);
             st.final[2] = In(kNvZero);
             st.final[3] = In(kNvSecondaryColor);
             st.final[6] = In(kNvSpare0, kNvUnsignedIdentity, kNvAlpha);
         }},
        {"diffuse texture with reflection",
         {uk2D, ukCube, ukOff, ukOff},
         [&](NvCombinerState& st) {
             st.numStages = 3;
             SetColor(st.constant[0], diffuse[0], diffuse[1], diffuse[2], diffuseAmount);
             SetColor(st.constant[1], 0, 0, 0, 1);
             NvCombinerPortion& p0 = st.stage[0].rgb;
             p0.var[0] = In(kNvPrimaryColor);
             p0.var[1] = In(kNvConstantColor0);
             p0.var[2] = In(kNvPrimaryColor);
             p0.var[3] = In(kNvTexture0);
             Out(p0, kNvSpare0, kNvSpare1, kNvDiscard);
             NvCombinerPortion& p1 = st.stage[1].rgb;
             p1.var[0] = In(kNvSpare0);
             p1.var[1] = In(kNvConstantColor0, kNvUnsignedInvert, kNvAlpha);
             p1.var[2] = In(kNvSpare1);
             p1.var[3] = In(kNvConstantColor0, kNvUnsignedIdentity, kNvAlpha);
             Out(p1, kNvDiscard, kNvDiscard, kNvSpare0);
             NvCombinerPortion& p2 = st.stage[2].rgb;
             p2.var[0] = In(kNvSpare0);
             p2.var[1] = In(kNvZero, kNvUnsignedInvert);
             p2.var[2] = In(kNvTexture0 + 1);
             p2.var[3] = In(kNvConstantColor1, kNvUnsignedIdentity, kNvAlpha);
             Out(p2, kNvDiscard, kNvDiscard, kNvSpare0);
             st.final[0] = In(kNvZero, kNvUnsignedInvert);
             st.final[1] = In(kNvSpare0);
             st.final[2] = In(kNvZero);
             st.final[3] = In(kNvSecondaryColor);
         }},
        {"bump",
         {uk2D, ukCube, ukCube, ukOff},
         [&](NvCombinerState& st) {
             st.numStages = 4;
             SetColor(st.constant[0], diffuse[0] * lightDiffuse[0], diffuse[1] * lightDiffuse[1],
                      diffuse[2] * lightDiffuse[2], diffuseAmount);
             SetColor(st.constant[1], specular[0] * lightSpecular[0], specular[1] * lightSpecular[1],
                      specular[2] * lightSpecular[2], specular[3] * lightSpecular[3]);
             NvCombinerPortion& p0 = st.stage[0].rgb;
             p0.var[0] = In(kNvTexture0, kNvExpandNormal);
             p0.var[1] = In(kNvTexture0 + 1, kNvExpandNormal);
             p0.var[2] = In(kNvTexture0, kNvExpandNormal);
             p0.var[3] = In(kNvTexture0 + 2, kNvExpandNormal);
             Out(p0, kNvSpare0, kNvSpare1, kNvDiscard, true, true);
             NvCombinerPortion& p1 = st.stage[1].rgb;
             p1.var[0] = In(kNvSpare0, kNvSignedIdentity);
             p1.var[1] = In(kNvConstantColor0);
             Out(p1, kNvSpare0, kNvDiscard, kNvDiscard);
             for (int s2 = 2; s2 < 4; s2++) {
                 NvCombinerPortion& p = st.stage[s2].rgb;
                 p.var[0] = In(kNvSpare1, kNvSignedIdentity);
                 p.var[1] = In(kNvSpare1, kNvSignedIdentity);
                 Out(p, kNvSpare1, kNvDiscard, kNvDiscard);
             }
             st.final[0] = In(kNvConstantColor1);
             st.final[1] = In(kNvETimesF);
             st.final[2] = In(kNvZero);
             st.final[3] = In(kNvSpare0);
             st.final[4] = In(kNvSpare1);
             st.final[5] = In(kNvSpare1);
         }},
        {"bump with diffuse texture",
         {uk2D, ukCube, ukCube, uk2D},
         [&](NvCombinerState& st) {
             st.perStageConstants = 1;
             st.numStages = 5;
             SetColor(st.constant[0], lightSpecular[0], lightSpecular[1], lightSpecular[2], lightSpecular[3]);
             SetColor(st.stage[0].constant[0], diffuse[0], diffuse[1], diffuse[2], diffuse[3]);
             SetColor(st.stage[0].constant[1], 0, 0, 0, diffuseAmount);
             SetColor(st.stage[2].constant[0], lightDiffuse[0], lightDiffuse[1], lightDiffuse[2],
                      lightDiffuse[3]);
             NvCombinerPortion& p0 = st.stage[0].rgb;
             p0.var[0] = In(kNvConstantColor0);
             p0.var[1] = In(kNvConstantColor1, kNvUnsignedInvert, kNvAlpha);
             p0.var[2] = In(kNvTexture0 + 3);
             p0.var[3] = In(kNvConstantColor1, kNvUnsignedIdentity, kNvAlpha);
             Out(p0, kNvDiscard, kNvDiscard, kNvSpare0);
             NvCombinerPortion& p1 = st.stage[1].rgb;
             p1.var[0] = In(kNvTexture0, kNvExpandNormal);
             p1.var[1] = In(kNvTexture0 + 1, kNvExpandNormal);
             Out(p1, kNvSpare1, kNvDiscard, kNvDiscard, true);
             NvCombinerPortion& p2 = st.stage[2].rgb;
             p2.var[0] = In(kNvSpare1, kNvSignedIdentity);
             p2.var[1] = In(kNvConstantColor0);
             Out(p2, kNvSpare1, kNvDiscard, kNvDiscard);
             NvCombinerPortion& p3 = st.stage[3].rgb;
             p3.var[0] = In(kNvSpare0, kNvSignedIdentity);
             p3.var[1] = In(kNvSpare1, kNvSignedIdentity);
             p3.var[2] = In(kNvTexture0, kNvExpandNormal);
             p3.var[3] = In(kNvTexture0 + 2, kNvExpandNormal);
             Out(p3, kNvSpare0, kNvSpare1, kNvDiscard, false, true);
             for (int s2 = 4; s2 < 7; s2++) { // stages 5 and 6 lie beyond the count
                 NvCombinerPortion& p = st.stage[s2].rgb;
                 p.var[0] = In(kNvTexture0, kNvExpandNormal);
                 p.var[1] = In(kNvTexture0 + 2, kNvExpandNormal);
                 Out(p, kNvSpare1, kNvDiscard, kNvDiscard, true);
             }
             st.final[0] = In(kNvConstantColor1);
             st.final[1] = In(kNvZero);
             st.final[2] = In(kNvZero);
             st.final[3] = In(kNvSpare0);
             st.final[4] = In(kNvSpare1);
             st.final[5] = In(kNvSpare1);
         }},
    };
    for (const Setup& setup : setups) {
        Scene s;
        FillScene(s, 10);
        for (int u = 0; u < 4; u++)
            s.units[u] = setup.units[u];
        NvCombinerState st;
        NvCombinerStateReset(st);
        setup.program(st);
        EXPECT_EQ(RenderAndCompare(s, st, ext, secondaryAlpha, setup.name), 0) << setup.name;
    }
}

namespace {

// A random valid combiner state that uses every kind of input, mapping,
// component, output, dot product, mux and scale/bias.
NvCombinerState RandomState(std::mt19937& rng) {
    auto pick = [&](std::initializer_list<uint32_t> list) { return *(list.begin() + rng() % list.size()); };
    NvCombinerState st;
    NvCombinerStateReset(st);
    st.numStages = int(1 + rng() % 8);
    st.perStageConstants = rng() % 2;
    st.colorSumClamp = rng() % 2;
    auto randomColor = [&](float* c) {
        for (int i = 0; i < 4; i++)
            c[i] = float(rng() % 256) / 255.0f;
    };
    randomColor(st.constant[0]);
    randomColor(st.constant[1]);
    const std::initializer_list<uint32_t> registers = {
        kNvZero,   kNvConstantColor0, kNvConstantColor1, kNvFog,          kNvPrimaryColor, kNvSecondaryColor,
        kNvSpare0, kNvSpare1,         kNvTexture0,       kNvTexture0 + 1, kNvTexture0 + 2, kNvTexture0 + 3};
    for (int s = 0; s < kNvMaxGeneralCombiners; s++) {
        randomColor(st.stage[s].constant[0]);
        randomColor(st.stage[s].constant[1]);
        for (int portion = 0; portion < 2; portion++) {
            bool rgb = portion == 0;
            NvCombinerPortion& p = rgb ? st.stage[s].rgb : st.stage[s].alpha;
            for (NvCombinerInput& in : p.var) {
                in.input = pick(registers);
                in.mapping = kNvUnsignedIdentity + uint32_t(rng() % 8);
                in.component = rgb ? pick({kNvRGB, kNvAlpha}) : pick({kNvAlpha, kNvBlue});
                if (in.input == kNvFog) in.component = rgb ? kNvRGB : kNvBlue;
            }
            p.abDot = rgb && rng() % 4 == 0;
            p.cdDot = rgb && rng() % 4 == 0;
            p.muxSum = rng() % 3 == 0;
            const std::initializer_list<uint32_t> outs = {kNvDiscard,      kNvSpare0,         kNvSpare1,
                                                          kNvPrimaryColor, kNvSecondaryColor, kNvTexture0,
                                                          kNvTexture0 + 2};
            p.abOutput = pick(outs);
            do
                p.cdOutput = pick(outs);
            while (p.cdOutput != kNvDiscard && p.cdOutput == p.abOutput);
            do
                p.sumOutput = pick(outs);
            while (p.sumOutput != kNvDiscard && (p.sumOutput == p.abOutput || p.sumOutput == p.cdOutput));
            if (p.abDot || p.cdDot) p.sumOutput = kNvDiscard;
            p.scale = pick({kNvNone, kNvScaleByTwo, kNvScaleByFour, kNvScaleByOneHalf});
            p.bias = p.scale == kNvScaleByOneHalf ? kNvNone : pick({kNvNone, kNvBiasByNegativeOneHalf});
        }
    }
    for (int v = 0; v < 7; v++) {
        NvCombinerInput& in = st.final[v];
        if (v < 4 && rng() % 4 == 0) {
            in.input = pick({kNvETimesF, kNvSpare0PlusSecondary});
            in.component = kNvRGB;
        } else {
            in.input = pick(registers);
            in.component = v == 6 ? pick({kNvAlpha, kNvBlue}) : pick({kNvRGB, kNvAlpha});
        }
        in.mapping = pick({kNvUnsignedIdentity, kNvUnsignedInvert});
    }
    return st;
}

} // namespace

// Random states over all units and fog; every pixel must match the model.
TEST(NvCombinerRender, RandomStatesMatchTheModel) {
    NV_REQUIRE_GL();
    float secondaryAlpha = MeasureSecondaryAlpha(ext);
    std::mt19937 rng(20260101);
    for (int round = 0; round < 24; round++) {
        Scene s;
        FillScene(s, 100 + uint32_t(round));
        static const UnitKind kinds[] = {ukOff, uk2D, ukCube, uk3D};
        for (int u = 0; u < 4; u++)
            s.units[u] = round < 4 ? uk2D : kinds[rng() % 4];
        s.fog = round % 3 == 1;
        NvCombinerState st = RandomState(rng);
        std::string what = "random state " + std::to_string(round);
        ASSERT_EQ(RenderAndCompare(s, st, ext, secondaryAlpha, what.c_str()), 0) << what;
    }
}

// Changing only constants reuses the cached program; coming back to an
// earlier state compiles nothing.
TEST(NvCombinerRender, ProgramsAreCachedByState) {
    NV_REQUIRE_GL();
    float secondaryAlpha = MeasureSecondaryAlpha(ext);
    Scene s;
    FillScene(s, 5);
    s.units[0] = uk2D;
    std::mt19937 rng(7);
    NvCombinerState a = RandomState(rng), b = RandomState(rng);
    ASSERT_EQ(RenderAndCompare(s, a, ext, secondaryAlpha, "a"), 0);
    ASSERT_EQ(RenderAndCompare(s, b, ext, secondaryAlpha, "b"), 0);
    int compiled = NvEmulationGetStats().programsCompiled;
    for (int i = 0; i < 3; i++) {
        a.constant[0][i] = 0.1f * float(i + 1);
        b.stage[0].constant[1][i] = 0.2f * float(i + 1);
        ASSERT_EQ(RenderAndCompare(s, a, ext, secondaryAlpha, "a again"), 0);
        ASSERT_EQ(RenderAndCompare(s, b, ext, secondaryAlpha, "b again"), 0);
    }
    EXPECT_EQ(NvEmulationGetStats().programsCompiled, compiled);
}

// The emulated enables behave like GL capabilities: glIsEnabled reports them
// and glPushAttrib / glPopAttrib(GL_ENABLE_BIT) restore them.
TEST(NvCombinerRender, EnablesFollowAttributeStack) {
    NV_REQUIRE_GL();
    NvResetState();
    EXPECT_FALSE(GL.glIsEnabled(GL_REGISTER_COMBINERS_NV));
    GL.glEnable(GL_REGISTER_COMBINERS_NV);
    EXPECT_TRUE(GL.glIsEnabled(GL_REGISTER_COMBINERS_NV));
    GL.glPushAttrib(GL_ENABLE_BIT);
    GL.glDisable(GL_REGISTER_COMBINERS_NV);
    GL.glEnable(GL_PER_STAGE_CONSTANTS_NV);
    GL.glPopAttrib();
    EXPECT_TRUE(GL.glIsEnabled(GL_REGISTER_COMBINERS_NV));
    EXPECT_FALSE(GL.glIsEnabled(GL_PER_STAGE_CONSTANTS_NV));
    GL.glDisable(GL_REGISTER_COMBINERS_NV);
    EXPECT_EQ(GL.glGetError(), GLenum(GL_NO_ERROR));
    // A refused call is reported through glGetError, once.
    GL.glCombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, 0);
    EXPECT_EQ(GL.glGetError(), GLenum(GL_INVALID_VALUE));
    EXPECT_EQ(GL.glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_TRUE(Usable(GLFlags.VertexProgram));
}
