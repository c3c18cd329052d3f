// Recording of the register-combiner state: initial values and the checks and
// effects of each entry point, following the register-combiner rules (what a
// stage may read and write, which mappings the final combiner takes).
#include "Mirel3d/Mirel3dOpengl/NvCombinerState.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kInvalidEnum = 0x0500;
constexpr uint32_t kInvalidValue = 0x0501;
constexpr uint32_t kInvalidOperation = 0x0502;
constexpr int kTextureRegisters = 8; // texture units 1 to 8 feed texture registers 0 to 7

bool IsTexture(uint32_t value) {
    return value >= kNvTexture0 && value < kNvTexture0 + kTextureRegisters;
}

float Clamp01(float v) {
    return std::min(1.0f, std::max(0.0f, v));
}

NvCombinerInput Input(uint32_t input, uint32_t mapping, uint32_t component) {
    NvCombinerInput in;
    in.input = input;
    in.mapping = mapping;
    in.component = component;
    return in;
}

void ResetPortion(NvCombinerPortion& p, uint32_t component) {
    // A = primary colour, B = 1 (zero inverted), C = D = 0: the stage passes the
    // primary colour to spare0 through its sum.
    p.var[0] = Input(kNvPrimaryColor, kNvUnsignedIdentity, component);
    p.var[1] = Input(kNvZero, kNvUnsignedInvert, component);
    p.var[2] = Input(kNvZero, kNvUnsignedIdentity, component);
    p.var[3] = Input(kNvZero, kNvUnsignedIdentity, component);
    p.abOutput = kNvDiscard;
    p.cdOutput = kNvDiscard;
    p.sumOutput = kNvSpare0;
    p.scale = kNvNone;
    p.bias = kNvNone;
    p.abDot = 0;
    p.cdDot = 0;
    p.muxSum = 0;
    p.pad = 0;
}

bool ValidStage(uint32_t stage) {
    return stage >= kNvCombiner0 && stage < kNvCombiner0 + kNvMaxGeneralCombiners;
}

} // namespace

void NvCombinerStateReset(NvCombinerState& state) {
    std::memset(&state, 0, sizeof(state));
    for (NvCombinerStage& s : state.stage) {
        ResetPortion(s.rgb, kNvRGB);
        ResetPortion(s.alpha, kNvAlpha);
    }
    // Final: fog factor blends spare0 + secondary with the fog colour; alpha from spare0.
    state.final[0] = Input(kNvFog, kNvUnsignedIdentity, kNvAlpha);
    state.final[1] = Input(kNvSpare0PlusSecondary, kNvUnsignedIdentity, kNvRGB);
    state.final[2] = Input(kNvFog, kNvUnsignedIdentity, kNvRGB);
    state.final[3] = Input(kNvZero, kNvUnsignedIdentity, kNvRGB);
    state.final[4] = Input(kNvZero, kNvUnsignedIdentity, kNvRGB);
    state.final[5] = Input(kNvZero, kNvUnsignedIdentity, kNvRGB);
    state.final[6] = Input(kNvSpare0, kNvUnsignedIdentity, kNvAlpha);
    state.numStages = 1;
    state.colorSumClamp = 1;
}

bool NvIsCombinerRegister(uint32_t v) {
    return v == kNvZero || v == kNvConstantColor0 || v == kNvConstantColor1 || v == kNvFog ||
           v == kNvPrimaryColor || v == kNvSecondaryColor || v == kNvSpare0 || v == kNvSpare1 || IsTexture(v);
}

bool NvIsCombinerOutput(uint32_t v) {
    return v == kNvDiscard || v == kNvPrimaryColor || v == kNvSecondaryColor || v == kNvSpare0 ||
           v == kNvSpare1 || IsTexture(v);
}

bool NvIsCombinerMapping(uint32_t v) {
    return v >= kNvUnsignedIdentity && v <= kNvSignedNegate;
}

bool NvIsFinalRegister(uint32_t v) {
    return NvIsCombinerRegister(v) || v == kNvETimesF || v == kNvSpare0PlusSecondary;
}

uint32_t NvCombinerParameterfv(NvCombinerState& state, uint32_t pname, const float* params) {
    switch (pname) {
    case kNvConstantColor0:
    case kNvConstantColor1:
        for (int i = 0; i < 4; i++)
            state.constant[pname - kNvConstantColor0][i] = Clamp01(params[i]);
        return 0;
    case kNvNumGeneralCombiners: {
        float n = params[0];
        if (!(n >= 1.0f && n <= float(kNvMaxGeneralCombiners)))
            return kInvalidValue; // zero (or too many) stages is refused; the old count stays
        state.numStages = int32_t(n);
        return 0;
    }
    case kNvColorSumClamp:
        state.colorSumClamp = params[0] != 0.0f;
        return 0;
    default:
        return kInvalidEnum;
    }
}

uint32_t NvCombinerInputSet(NvCombinerState& state, uint32_t stage, uint32_t portion, uint32_t variable,
                            uint32_t input, uint32_t mapping, uint32_t component) {
    if (!ValidStage(stage) || (portion != kNvRGB && portion != kNvAlpha) || variable < kNvVariableA ||
        variable > kNvVariableA + 3 || !NvIsCombinerRegister(input) || !NvIsCombinerMapping(mapping) ||
        (component != kNvRGB && component != kNvAlpha && component != kNvBlue))
        return kInvalidEnum;
    if (portion == kNvAlpha && component == kNvRGB) return kInvalidOperation;
    if (portion == kNvRGB && component == kNvBlue) return kInvalidOperation;
    if (input == kNvFog && component == kNvAlpha)
        return kInvalidOperation; // the fog factor is only readable by the final combiner
    NvCombinerStage& s = state.stage[stage - kNvCombiner0];
    NvCombinerPortion& p = portion == kNvRGB ? s.rgb : s.alpha;
    p.var[variable - kNvVariableA] = Input(input, mapping, component);
    return 0;
}

uint32_t NvCombinerOutputSet(NvCombinerState& state, uint32_t stage, uint32_t portion, uint32_t abOutput,
                             uint32_t cdOutput, uint32_t sumOutput, uint32_t scale, uint32_t bias, bool abDot,
                             bool cdDot, bool muxSum) {
    if (!ValidStage(stage) || (portion != kNvRGB && portion != kNvAlpha) || !NvIsCombinerOutput(abOutput) ||
        !NvIsCombinerOutput(cdOutput) || !NvIsCombinerOutput(sumOutput))
        return kInvalidEnum;
    if (scale != kNvNone && scale != kNvScaleByTwo && scale != kNvScaleByFour && scale != kNvScaleByOneHalf)
        return kInvalidEnum;
    if (bias != kNvNone && bias != kNvBiasByNegativeOneHalf) return kInvalidEnum;
    if (scale == kNvScaleByOneHalf && bias != kNvNone) return kInvalidOperation;
    if (portion == kNvAlpha && (abDot || cdDot)) return kInvalidOperation;
    if (sumOutput != kNvDiscard && (abDot || cdDot)) return kInvalidOperation;
    if ((abOutput != kNvDiscard && (abOutput == cdOutput || abOutput == sumOutput)) ||
        (cdOutput != kNvDiscard && cdOutput == sumOutput))
        return kInvalidOperation;
    NvCombinerStage& s = state.stage[stage - kNvCombiner0];
    NvCombinerPortion& p = portion == kNvRGB ? s.rgb : s.alpha;
    p.abOutput = abOutput;
    p.cdOutput = cdOutput;
    p.sumOutput = sumOutput;
    p.scale = scale;
    p.bias = bias;
    p.abDot = abDot;
    p.cdDot = cdDot;
    p.muxSum = muxSum;
    return 0;
}

uint32_t NvFinalCombinerInputSet(NvCombinerState& state, uint32_t variable, uint32_t input, uint32_t mapping,
                                 uint32_t component) {
    if (variable < kNvVariableA || variable > kNvVariableA + 6 || !NvIsFinalRegister(input) ||
        (mapping != kNvUnsignedIdentity && mapping != kNvUnsignedInvert) ||
        (component != kNvRGB && component != kNvAlpha && component != kNvBlue))
        return kInvalidEnum;
    int v = int(variable - kNvVariableA);
    if (v == 6 && component == kNvRGB) return kInvalidOperation;
    if (v < 6 && component == kNvBlue) return kInvalidOperation;
    if ((input == kNvETimesF || input == kNvSpare0PlusSecondary) && (v >= 4 || component == kNvAlpha))
        return kInvalidOperation;
    state.final[v] = Input(input, mapping, component);
    return 0;
}

uint32_t NvCombinerStageParameterfv(NvCombinerState& state, uint32_t stage, uint32_t pname,
                                    const float* params) {
    if (!ValidStage(stage) || (pname != kNvConstantColor0 && pname != kNvConstantColor1)) return kInvalidEnum;
    float* c = state.stage[stage - kNvCombiner0].constant[pname - kNvConstantColor0];
    for (int i = 0; i < 4; i++)
        c[i] = Clamp01(params[i]);
    return 0;
}
