// The register-combiner state of one GL context, as the NV_register_combiners
// and NV_register_combiners2 entry points record it when the driver lacks them.
//
// The state is plain data with no GL calls, so the compiler that turns it into a
// fragment program and the tests' CPU reference can both read it. All enums are
// stored as the GL values the entry points take (GL_SPARE0_NV, GL_EXPAND_NORMAL_NV ...).
#pragma once

#include <cstdint>

// The GL values used here, so that this header needs no GL header.
enum : uint32_t {
    kNvZero = 0,                       // GL_ZERO
    kNvNone = 0,                       // GL_NONE
    kNvFog = 0x0B60,                   // GL_FOG
    kNvBlue = 0x1905,                  // GL_BLUE
    kNvAlpha = 0x1906,                 // GL_ALPHA
    kNvRGB = 0x1907,                   // GL_RGB
    kNvTexture0 = 0x84C0,              // GL_TEXTURE0_ARB
    kNvRegisterCombiners = 0x8522,     // GL_REGISTER_COMBINERS_NV
    kNvVariableA = 0x8523,             // GL_VARIABLE_A_NV ... G = A + 6
    kNvConstantColor0 = 0x852A,        // GL_CONSTANT_COLOR0_NV
    kNvConstantColor1 = 0x852B,        // GL_CONSTANT_COLOR1_NV
    kNvPrimaryColor = 0x852C,          // GL_PRIMARY_COLOR_NV
    kNvSecondaryColor = 0x852D,        // GL_SECONDARY_COLOR_NV
    kNvSpare0 = 0x852E,                // GL_SPARE0_NV
    kNvSpare1 = 0x852F,                // GL_SPARE1_NV
    kNvDiscard = 0x8530,               // GL_DISCARD_NV
    kNvETimesF = 0x8531,               // GL_E_TIMES_F_NV
    kNvSpare0PlusSecondary = 0x8532,   // GL_SPARE0_PLUS_SECONDARY_COLOR_NV
    kNvPerStageConstants = 0x8535,     // GL_PER_STAGE_CONSTANTS_NV
    kNvUnsignedIdentity = 0x8536,      // GL_UNSIGNED_IDENTITY_NV
    kNvUnsignedInvert = 0x8537,        // GL_UNSIGNED_INVERT_NV
    kNvExpandNormal = 0x8538,          // GL_EXPAND_NORMAL_NV
    kNvExpandNegate = 0x8539,          // GL_EXPAND_NEGATE_NV
    kNvHalfBiasNormal = 0x853A,        // GL_HALF_BIAS_NORMAL_NV
    kNvHalfBiasNegate = 0x853B,        // GL_HALF_BIAS_NEGATE_NV
    kNvSignedIdentity = 0x853C,        // GL_SIGNED_IDENTITY_NV
    kNvSignedNegate = 0x853D,          // GL_SIGNED_NEGATE_NV
    kNvScaleByTwo = 0x853E,            // GL_SCALE_BY_TWO_NV
    kNvScaleByFour = 0x853F,           // GL_SCALE_BY_FOUR_NV
    kNvScaleByOneHalf = 0x8540,        // GL_SCALE_BY_ONE_HALF_NV
    kNvBiasByNegativeOneHalf = 0x8541, // GL_BIAS_BY_NEGATIVE_ONE_HALF_NV
    kNvNumGeneralCombiners = 0x854E,   // GL_NUM_GENERAL_COMBINERS_NV
    kNvColorSumClamp = 0x854F,         // GL_COLOR_SUM_CLAMP_NV
    kNvCombiner0 = 0x8550,             // GL_COMBINER0_NV ... COMBINER7 = + 7
};

constexpr int kNvMaxGeneralCombiners = 8;

// One input variable: which register, how it is mapped, which components.
struct NvCombinerInput {
    uint32_t input;     // register (GL_ZERO, GL_SPARE0_NV, GL_TEXTURE0_ARB + i, ...)
    uint32_t mapping;   // GL_UNSIGNED_IDENTITY_NV ...
    uint32_t component; // GL_RGB, GL_ALPHA or GL_BLUE
};

// The RGB or the alpha half of one general stage.
struct NvCombinerPortion {
    NvCombinerInput var[4]; // A, B, C, D
    uint32_t abOutput;      // destination register or GL_DISCARD_NV
    uint32_t cdOutput;
    uint32_t sumOutput;
    uint32_t scale; // GL_NONE or GL_SCALE_BY_*
    uint32_t bias;  // GL_NONE or GL_BIAS_BY_NEGATIVE_ONE_HALF_NV
    uint8_t abDot;  // AB is a dot product (RGB portion only)
    uint8_t cdDot;
    uint8_t muxSum; // mux instead of sum
    uint8_t pad;
};

struct NvCombinerStage {
    NvCombinerPortion rgb;
    NvCombinerPortion alpha;
    float constant[2][4]; // per-stage constant colours (NV_register_combiners2)
};

// The whole recorded state. Plain data: copied and compared as bytes, so every
// member is initialised and there are no holes that are not zeroed.
struct NvCombinerState {
    NvCombinerStage stage[kNvMaxGeneralCombiners];
    NvCombinerInput final[7];  // A..G
    float constant[2][4];      // global constant colours
    int32_t numStages;         // GL_NUM_GENERAL_COMBINERS_NV, 1..8
    uint8_t colorSumClamp;     // GL_COLOR_SUM_CLAMP_NV
    uint8_t enabled;           // GL_REGISTER_COMBINERS_NV
    uint8_t perStageConstants; // GL_PER_STAGE_CONSTANTS_NV
    uint8_t pad;
};

// Fills the state with the initial values of a fresh context.
void NvCombinerStateReset(NvCombinerState& state);

// Input checks shared by the entry points and the tests: true when the value is
// one of the registers / mappings / components the combiners accept there.
bool NvIsCombinerRegister(uint32_t value); // readable in a general stage
bool NvIsCombinerOutput(uint32_t value);   // writable by a general stage (or discard)
bool NvIsCombinerMapping(uint32_t value);
bool NvIsFinalRegister(uint32_t value); // readable by the final combiner

// The entry points' effect on the recorded state. Each returns a GL error code
// (0, GL_INVALID_ENUM 0x0500 or GL_INVALID_VALUE 0x0501, GL_INVALID_OPERATION 0x0502)
// and leaves the state untouched when it is not 0.
uint32_t NvCombinerParameterfv(NvCombinerState& state, uint32_t pname, const float* params);
uint32_t NvCombinerInputSet(NvCombinerState& state, uint32_t stage, uint32_t portion, uint32_t variable,
                            uint32_t input, uint32_t mapping, uint32_t component);
uint32_t NvCombinerOutputSet(NvCombinerState& state, uint32_t stage, uint32_t portion, uint32_t abOutput,
                             uint32_t cdOutput, uint32_t sumOutput, uint32_t scale, uint32_t bias, bool abDot,
                             bool cdDot, bool muxSum);
uint32_t NvFinalCombinerInputSet(NvCombinerState& state, uint32_t variable, uint32_t input, uint32_t mapping,
                                 uint32_t component);
uint32_t NvCombinerStageParameterfv(NvCombinerState& state, uint32_t stage, uint32_t pname,
                                    const float* params);
