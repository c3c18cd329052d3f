// The NV vertex-program translator and the recorded combiner state, without GL.
#include "Mirel3d/Mirel3dOpengl/NvCombinerCompiler.h"
#include "Mirel3d/Mirel3dOpengl/NvCombinerState.h"
#include "Mirel3d/Mirel3dOpengl/NvVertexProgramTranslator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string ErrorOf(const std::string& text) {
    try {
        NvTranslateVertexProgram(text);
    } catch (const ENvProgramError& e) {
        return e.what();
    }
    return "";
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(NvTranslator, MapsRegistersByTheNvAliasing) {
    std::string arb =
        NvTranslateVertexProgram("!!VP1.1 OPTION NV_position_invariant;\n"
                                 "MOV o[COL0], v[3];\nMOV o[COL1], v[COL1];\nMOV o[TEX0], v[8];\n"
                                 "MOV o[TEX1], v[NRML];\nMOV o[TEX2], v[6];\nMOV o[FOGC].x, v[FOGC].x;\n"
                                 "MOV o[TEX3], c[95];\nEND");
    EXPECT_TRUE(Contains(arb, "!!ARBvp1.0\nOPTION ARB_position_invariant;"));
    EXPECT_TRUE(Contains(arb, "MOV result.color.primary, vertex.color;"));
    EXPECT_TRUE(Contains(arb, "MOV result.color.secondary, vertex.color.secondary;"));
    EXPECT_TRUE(Contains(arb, "MOV result.texcoord[0], vertex.texcoord[0];"));
    EXPECT_TRUE(Contains(arb, "MOV result.texcoord[1], vertex.normal;"));
    EXPECT_TRUE(Contains(arb, "MOV result.texcoord[2], vertex.attrib[6];"));
    EXPECT_TRUE(Contains(arb, "MOV result.fogcoord.x, vertex.fogcoord.x;"));
    EXPECT_TRUE(Contains(arb, "MOV result.texcoord[3], c[95];"));
    // Outputs start at (0, 0, 0, 1); the position stays with the fixed pipeline.
    EXPECT_TRUE(Contains(arb, "MOV result.texcoord[7], nvInit;"));
    EXPECT_FALSE(Contains(arb, "MOV result.position"));
    EXPECT_FALSE(Contains(arb, "vertex.attrib[2]")); // never both the normal and its generic alias
}

TEST(NvTranslator, TemporariesRelativeAddressingAndRcc) {
    std::string arb = NvTranslateVertexProgram("!!VP1.1\nARL A0.x, v[0].w;\nMOV R3, c[A0.x + 4];\n"
                                               "ADD R3.xz, -R3.yyyy, c[A0.x - 2];\nRCC R11.w, R3.x;\n"
                                               "DP4 o[HPOS].x, c[A0.x], v[OPOS];\nEND\n");
    EXPECT_TRUE(Contains(arb, "TEMP R3;"));
    EXPECT_TRUE(Contains(arb, "MOV R3, nvInit.x;"));
    EXPECT_TRUE(Contains(arb, "ADDRESS A0;"));
    EXPECT_TRUE(Contains(arb, "MOV R3, c[A0.x + 4];"));
    EXPECT_TRUE(Contains(arb, "ADD R3.xz, -R3.yyyy, c[A0.x - 2];"));
    EXPECT_TRUE(Contains(arb, "RCP nvRcc.x, R3.x;"));
    EXPECT_TRUE(Contains(arb, "MUL R11.w, nvRcc.y, nvRcc.z;"));
    EXPECT_TRUE(Contains(arb, "MOV result.position, nvInit;"));
}

TEST(NvTranslator, ErrorsNameTheLine) {
    EXPECT_EQ(ErrorOf("!!ARBvp1.0\nEND"), "line 1: the text does not begin with !!VP1.0 or !!VP1.1");
    EXPECT_EQ(ErrorOf("!!VP1.1\nMOV R0, v[0];\nFOO R1, R0;\nEND"), "line 3: unknown instruction 'FOO'");
    EXPECT_EQ(ErrorOf("!!VP1.0\nMOV R0, v[0];\n\nSUB R1, R0, R0;\nEND"), "line 4: SUB needs !!VP1.1");
    EXPECT_EQ(ErrorOf("!!VP1.1\nRCP R0, v[0];\nEND"),
              "line 2: a scalar operand needs a component (.x, .y, .z or .w)");
    EXPECT_EQ(ErrorOf("!!VP1.1\nMOV R12, v[0];\nEND"), "line 2: no temporary register R12");
    EXPECT_EQ(ErrorOf("!!VP1.1\nMOV R1, c[96];\nEND"), "line 2: parameter register 96 out of range");
    EXPECT_EQ(ErrorOf("!!VP1.1\nMOV R1.yx, v[0];\nEND"), "line 2: bad write mask 'yx'");
    EXPECT_EQ(ErrorOf("!!VP1.1\nMOV R1, v[0].xy;\nEND"),
              "line 2: a swizzle has one or four components: 'xy'");
    EXPECT_EQ(ErrorOf("!!VP1.1\nMOV R1, v[0]\nMOV R2, R1;\nEND"), "line 3: expected ';' but found 'MOV'");
    EXPECT_EQ(ErrorOf("!!VP1.1\nMOV o[FOO], v[0];\nEND"), "line 2: no output register o[FOO]");
    EXPECT_EQ(ErrorOf("!!VP1.1 OPTION NV_position_invariant;\n# comment\nMOV o[HPOS], v[0];\nEND"),
              "line 3: a position-invariant program must not write o[HPOS]");
    EXPECT_EQ(ErrorOf("!!VP1.1\nMOV R1, c[A0.x + 64];\nEND"), "line 2: offset +64 out of range");
    EXPECT_EQ(ErrorOf("!!VP1.1\nMOV R1, v[0];\n"), "line 3: missing END");
    EXPECT_EQ(ErrorOf("!!VSP1.0\nEND"), "line 1: vertex state programs are not supported");
    EXPECT_EQ(ErrorOf(""), "line 1: the text does not begin with !!VP1.0 or !!VP1.1");
}

TEST(NvCombinerState, DefaultsAndRefusedCalls) {
    NvCombinerState st;
    NvCombinerStateReset(st);
    EXPECT_EQ(st.numStages, 1);
    EXPECT_TRUE(st.colorSumClamp);
    EXPECT_EQ(st.stage[3].rgb.var[0].input, uint32_t(kNvPrimaryColor));
    EXPECT_EQ(st.stage[3].rgb.var[1].mapping, uint32_t(kNvUnsignedInvert));
    EXPECT_EQ(st.stage[3].alpha.sumOutput, uint32_t(kNvSpare0));
    EXPECT_EQ(st.final[0].input, uint32_t(kNvFog));
    EXPECT_EQ(st.final[0].component, uint32_t(kNvAlpha));
    EXPECT_EQ(st.final[1].input, uint32_t(kNvSpare0PlusSecondary));
    EXPECT_EQ(st.final[6].input, uint32_t(kNvSpare0));

    NvCombinerState before = st;
    float zero = 0, nine = 9;
    EXPECT_EQ(NvCombinerParameterfv(st, kNvNumGeneralCombiners, &zero), 0x0501u);
    EXPECT_EQ(NvCombinerParameterfv(st, kNvNumGeneralCombiners, &nine), 0x0501u);
    // RGB component in the alpha portion, blue in the RGB portion, fog alpha in a stage.
    EXPECT_EQ(
        NvCombinerInputSet(st, kNvCombiner0, kNvAlpha, kNvVariableA, kNvSpare0, kNvUnsignedIdentity, kNvRGB),
        0x0502u);
    EXPECT_EQ(
        NvCombinerInputSet(st, kNvCombiner0, kNvRGB, kNvVariableA, kNvSpare0, kNvUnsignedIdentity, kNvBlue),
        0x0502u);
    EXPECT_EQ(
        NvCombinerInputSet(st, kNvCombiner0, kNvRGB, kNvVariableA, kNvFog, kNvUnsignedIdentity, kNvAlpha),
        0x0502u);
    EXPECT_EQ(NvCombinerInputSet(st, kNvCombiner0 + 8, kNvRGB, kNvVariableA, kNvSpare0, kNvUnsignedIdentity,
                                 kNvRGB),
              0x0500u);
    // Dot products in the alpha portion or with a sum, one register twice, half scale with bias.
    EXPECT_EQ(NvCombinerOutputSet(st, kNvCombiner0, kNvAlpha, kNvSpare0, kNvDiscard, kNvDiscard, kNvNone,
                                  kNvNone, true, false, false),
              0x0502u);
    EXPECT_EQ(NvCombinerOutputSet(st, kNvCombiner0, kNvRGB, kNvSpare0, kNvDiscard, kNvSpare1, kNvNone,
                                  kNvNone, true, false, false),
              0x0502u);
    EXPECT_EQ(NvCombinerOutputSet(st, kNvCombiner0, kNvRGB, kNvSpare0, kNvSpare0, kNvDiscard, kNvNone,
                                  kNvNone, false, false, false),
              0x0502u);
    EXPECT_EQ(NvCombinerOutputSet(st, kNvCombiner0, kNvRGB, kNvSpare0, kNvDiscard, kNvDiscard,
                                  kNvScaleByOneHalf, kNvBiasByNegativeOneHalf, false, false, false),
              0x0502u);
    // The final combiner takes only unsigned mappings; E x F not as E, F or G.
    EXPECT_EQ(NvFinalCombinerInputSet(st, kNvVariableA, kNvSpare0, kNvExpandNormal, kNvRGB), 0x0500u);
    EXPECT_EQ(NvFinalCombinerInputSet(st, kNvVariableA + 4, kNvETimesF, kNvUnsignedIdentity, kNvRGB),
              0x0502u);
    EXPECT_EQ(NvFinalCombinerInputSet(st, kNvVariableA + 6, kNvSpare0, kNvUnsignedIdentity, kNvRGB), 0x0502u);
    EXPECT_EQ(std::memcmp(&before, &st, sizeof(st)), 0);
    // Constants are clamped to [0, 1].
    float c[4] = {-1, 0.5f, 2, 1};
    EXPECT_EQ(NvCombinerParameterfv(st, kNvConstantColor1, c), 0u);
    EXPECT_EQ(st.constant[1][0], 0.0f);
    EXPECT_EQ(st.constant[1][2], 1.0f);
}

TEST(NvCombinerCompiler, KeyIgnoresConstantsAndUnusedStages) {
    NvCombinerState a;
    NvCombinerStateReset(a);
    NvCombinerState b = a;
    b.constant[0][1] = 0.5f;
    b.stage[0].constant[1][2] = 0.25f;
    b.stage[5].rgb.var[0].input = kNvTexture0 + 3; // beyond the one enabled stage
    uint8_t targets[kNvTextureUnits] = {nt2D, ntCube, nt3D, ntNone};
    NvCombinerProgramKey ka, kb;
    NvCombinerMakeKey(ka, a, targets, nfLinear);
    NvCombinerMakeKey(kb, b, targets, nfLinear);
    EXPECT_TRUE(NvCombinerKeyEqual(ka, kb));
    EXPECT_EQ(NvCombinerKeyHash(ka), NvCombinerKeyHash(kb));
    // Unit 1 is not read: its target does not matter; unit 0 always does.
    uint8_t other[kNvTextureUnits] = {nt2D, ntNone, ntNone, ntCube};
    NvCombinerMakeKey(kb, b, other, nfLinear);
    EXPECT_TRUE(NvCombinerKeyEqual(ka, kb));
    other[0] = ntNone;
    NvCombinerMakeKey(kb, b, other, nfLinear);
    EXPECT_FALSE(NvCombinerKeyEqual(ka, kb));
    // A state change that shapes the program changes the key.
    b.stage[0].rgb.muxSum = 1;
    NvCombinerMakeKey(kb, b, targets, nfLinear);
    EXPECT_FALSE(NvCombinerKeyEqual(ka, kb));
    // Per-stage constants fall back to the global pair when switched off.
    float env[kNvCombinerEnvParameters][4];
    NvCombinerEnvParameters(b, env);
    EXPECT_EQ(env[2 + 2 * 0 + 1][2], b.constant[1][2]);
    b.perStageConstants = 1;
    NvCombinerEnvParameters(b, env);
    EXPECT_EQ(env[2 + 2 * 0 + 1][2], 0.25f);
}
