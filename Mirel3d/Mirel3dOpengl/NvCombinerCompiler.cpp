// Register combiners compiled into an ARB fragment program.
//
// Registers live in temporaries: rP primary, rS secondary, rT0..rT7 textures,
// rS0 / rS1 spare registers, rF fog (colour, factor). A general stage maps its
// inputs into vA..vD (RGB portion in .xyz, alpha portion in .w), forms AB, CD and
// their sum or mux in ab, cd, sm, applies bias, scale and the [-1, 1] clamp, and
// only then writes its outputs, so every output reads the stage's incoming
// registers. The final combiner computes min(A B + (1 - A) C + D, 1) and G.
#include "Mirel3d/Mirel3dOpengl/NvCombinerCompiler.h"

#include "platform/Format.h"

#include <cstring>

namespace {

bool IsTextureRegister(uint32_t r) {
    return r >= kNvTexture0 && r < kNvTexture0 + kNvTextureUnits;
}

void MarkInput(NvCombinerUsage& usage, uint32_t reg) {
    if (IsTextureRegister(reg)) usage.textureUnits |= uint8_t(1u << (reg - kNvTexture0));
    if (reg == kNvFog) usage.fog = true;
}

// The temporary (or parameter) that holds a register.
const char* RegisterName(uint32_t reg) {
    switch (reg) {
    case kNvPrimaryColor:
        return "rP";
    case kNvSecondaryColor:
        return "rS";
    case kNvSpare0:
        return "rS0";
    case kNvSpare1:
        return "rS1";
    case kNvFog:
        return "rF";
    case kNvETimesF:
        return "ef";
    case kNvSpare0PlusSecondary:
        return "sps";
    default:
        if (IsTextureRegister(reg)) {
            static const char* const textures[kNvTextureUnits] = {"rT0", "rT1", "rT2", "rT3",
                                                                  "rT4", "rT5", "rT6", "rT7"};
            return textures[reg - kNvTexture0];
        }
        return "k";
    }
}

// The operand text of an input: register with the component swizzle. stage < 0
// is the final combiner, which always reads the global constants.
std::string Operand(int stage, bool perStage, const NvCombinerInput& in) {
    const char* swz = in.component == kNvAlpha ? ".w" : in.component == kNvBlue ? ".z" : "";
    if (in.input == kNvZero) return "k.x";
    if (in.input == kNvConstantColor0 || in.input == kNvConstantColor1) {
        int which = int(in.input - kNvConstantColor0);
        int index = stage >= 0 && perStage ? 2 + 2 * stage + which : which;
        return Format("program.env[%d]%s", index, swz);
    }
    return Format("%s%s", RegisterName(in.input), swz);
}

// Emits the mapping of one input into dst with the write mask m (".xyz" or ".w").
void EmitMapping(std::string& out, const char* dst, const char* m, const std::string& src, uint32_t mapping) {
    switch (mapping) {
    case kNvUnsignedIdentity:
        out += Format("MAX %s%s, %s, k.x;\n", dst, m, src.c_str());
        break;
    case kNvUnsignedInvert:
        out += Format("MOV_SAT t0%s, %s;\nSUB %s%s, k.z, t0;\n", m, src.c_str(), dst, m);
        break;
    case kNvExpandNormal:
        out += Format("MAX t0%s, %s, k.x;\nMAD %s%s, t0, k.w, -k.z;\n", m, src.c_str(), dst, m);
        break;
    case kNvExpandNegate:
        out += Format("MAX t0%s, %s, k.x;\nMAD %s%s, t0, -k.w, k.z;\n", m, src.c_str(), dst, m);
        break;
    case kNvHalfBiasNormal:
        out += Format("MAX t0%s, %s, k.x;\nSUB %s%s, t0, k.y;\n", m, src.c_str(), dst, m);
        break;
    case kNvHalfBiasNegate:
        out += Format("MAX t0%s, %s, k.x;\nSUB %s%s, k.y, t0;\n", m, src.c_str(), dst, m);
        break;
    case kNvSignedNegate:
        out += Format("MOV %s%s, -%s;\n", dst, m, src.c_str());
        break;
    default: // signed identity
        out += Format("MOV %s%s, %s;\n", dst, m, src.c_str());
        break;
    }
}

void EmitScaleBias(std::string& out, const char* x, const char* m, const NvCombinerPortion& p) {
    if (p.bias == kNvBiasByNegativeOneHalf) out += Format("SUB %s%s, %s, k.y;\n", x, m, x);
    if (p.scale == kNvScaleByTwo)
        out += Format("MUL %s%s, %s, k.w;\n", x, m, x);
    else if (p.scale == kNvScaleByFour)
        out += Format("MUL %s%s, %s, k2.x;\n", x, m, x);
    else if (p.scale == kNvScaleByOneHalf)
        out += Format("MUL %s%s, %s, k.y;\n", x, m, x);
    out += Format("MIN %s%s, %s, k.z;\nMAX %s%s, %s, -k.z;\n", x, m, x, x, m, x);
}

// Computes one portion of a stage into ab, cd, sm (scaled, biased, clamped).
void EmitPortion(std::string& out, int stage, bool perStage, const NvCombinerPortion& p, bool rgb) {
    const char* m = rgb ? ".xyz" : ".w";
    static const char* const vars[4] = {"vA", "vB", "vC", "vD"};
    for (int v = 0; v < 4; v++)
        EmitMapping(out, vars[v], m, Operand(stage, perStage, p.var[v]), p.var[v].mapping);
    out += Format("%s ab%s, vA, vB;\n", rgb && p.abDot ? "DP3" : "MUL", m);
    out += Format("%s cd%s, vC, vD;\n", rgb && p.cdDot ? "DP3" : "MUL", m);
    if (p.sumOutput != kNvDiscard) {
        if (p.muxSum)
            out += Format("SUB t1.x, rS0.w, k.y;\nCMP sm%s, t1.x, ab, cd;\n", m);
        else
            out += Format("ADD sm%s, ab, cd;\n", m);
        EmitScaleBias(out, "sm", m, p);
    }
    if (p.abOutput != kNvDiscard) EmitScaleBias(out, "ab", m, p);
    if (p.cdOutput != kNvDiscard) EmitScaleBias(out, "cd", m, p);
}

void EmitWrites(std::string& out, const NvCombinerPortion& p, bool rgb) {
    const char* m = rgb ? ".xyz" : ".w";
    if (p.abOutput != kNvDiscard) out += Format("MOV %s%s, ab;\n", RegisterName(p.abOutput), m);
    if (p.cdOutput != kNvDiscard) out += Format("MOV %s%s, cd;\n", RegisterName(p.cdOutput), m);
    if (p.sumOutput != kNvDiscard) out += Format("MOV %s%s, sm;\n", RegisterName(p.sumOutput), m);
}

const char* TargetName(uint8_t t) {
    switch (t) {
    case nt1D:
        return "1D";
    case nt3D:
        return "3D";
    case ntCube:
        return "CUBE";
    case ntShadow2D:
        return "SHADOW2D";
    default:
        return "2D";
    }
}

} // namespace

NvCombinerUsage NvCombinerUsageOf(const NvCombinerState& state) {
    NvCombinerUsage usage = {1, false};
    for (int s = 0; s < state.numStages && s < kNvMaxGeneralCombiners; s++)
        for (int v = 0; v < 4; v++) {
            MarkInput(usage, state.stage[s].rgb.var[v].input);
            MarkInput(usage, state.stage[s].alpha.var[v].input);
        }
    for (const NvCombinerInput& in : state.final)
        MarkInput(usage, in.input);
    return usage;
}

void NvCombinerMakeKey(NvCombinerProgramKey& key, const NvCombinerState& state,
                       const uint8_t targets[kNvTextureUnits], NvFogMode fogMode) {
    std::memset(&key, 0, sizeof(key));
    key.state = state;
    std::memset(key.state.constant, 0, sizeof(key.state.constant));
    for (int s = 0; s < kNvMaxGeneralCombiners; s++) {
        if (s >= state.numStages)
            std::memset(&key.state.stage[s], 0, sizeof(key.state.stage[s]));
        else
            std::memset(key.state.stage[s].constant, 0, sizeof(key.state.stage[s].constant));
    }
    key.state.enabled = 0;
    NvCombinerUsage usage = NvCombinerUsageOf(state);
    for (int u = 0; u < kNvTextureUnits; u++)
        key.targets[u] = (usage.textureUnits & (1u << u)) ? targets[u] : uint8_t(ntNone);
    key.fogMode = usage.fog ? uint8_t(fogMode) : uint8_t(nfOff);
}

uint64_t NvCombinerKeyHash(const NvCombinerProgramKey& key) {
    // FNV-1a over the bytes.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(&key);
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < sizeof(key); i++) {
        h ^= p[i];
        h *= 1099511628211ull;
    }
    return h;
}

bool NvCombinerKeyEqual(const NvCombinerProgramKey& a, const NvCombinerProgramKey& b) {
    return std::memcmp(&a, &b, sizeof(a)) == 0;
}

std::string NvCompileCombiners(const NvCombinerProgramKey& key) {
    const NvCombinerState& st = key.state;
    NvCombinerUsage usage = NvCombinerUsageOf(st);
    std::string out;
    out.reserve(4096);
    out += "!!ARBfp1.0\n";
    for (int u = 0; u < kNvTextureUnits; u++)
        if ((usage.textureUnits & (1u << u)) && key.targets[u] == ntShadow2D) {
            out += "OPTION ARB_fragment_program_shadow;\n";
            break;
        }
    out += "PARAM k = {0, 0.5, 1, 2};\n";
    out += "PARAM k2 = {4, -1, -2, -1.4426950408889634};\n";
    out += "TEMP rP, rS, rT0, rT1, rT2, rT3, rT4, rT5, rT6, rT7, rS0, rS1, rF, vA, vB, vC, vD, vE, vF, vG, "
           "ab, cd, sm, ef, sps, t0, t1;\n";
    out += "MOV rP, fragment.color.primary;\nMOV rS, fragment.color.secondary;\n";
    // Texture registers: the enabled target of each unit that is read, else zero.
    for (int u = 0; u < kNvTextureUnits; u++) {
        if ((usage.textureUnits & (1u << u)) && key.targets[u] != ntNone)
            out += Format("%s rT%d, fragment.texcoord[%d], texture[%d], %s;\n",
                          key.targets[u] == ntCube ? "TEX" : "TXP", u, u, u, TargetName(key.targets[u]));
        else
            out += Format("MOV rT%d, k.x;\n", u);
    }
    out += "MOV rS0, k.x;\nMOV rS1, k.x;\n";
    if (key.targets[0] != ntNone) out += "MOV rS0.w, rT0.w;\n";
    // Fog register: colour and fog factor (1 when fog is off).
    out += "MOV rF, k.z;\n";
    if (usage.fog) {
        out += "MOV rF.xyz, state.fog.color;\n";
        switch (key.fogMode) {
        case nfLinear:
            out += "SUB t0.x, state.fog.params.z, fragment.fogcoord.x;\nMUL_SAT rF.w, t0.x, "
                   "state.fog.params.w;\n";
            break;
        case nfExp:
            out += "MUL t0.x, state.fog.params.x, fragment.fogcoord.x;\nMUL t0.x, t0.x, k2.w;\nEX2_SAT rF.w, "
                   "t0.x;\n";
            break;
        case nfExp2:
            out += "MUL t0.x, state.fog.params.x, fragment.fogcoord.x;\nMUL t0.x, t0.x, t0.x;\n"
                   "MUL t0.x, t0.x, k2.w;\nEX2_SAT rF.w, t0.x;\n";
            break;
        default:
            break;
        }
    }
    // General stages.
    for (int s = 0; s < st.numStages && s < kNvMaxGeneralCombiners; s++) {
        out += Format("# stage %d\n", s);
        EmitPortion(out, s, st.perStageConstants, st.stage[s].rgb, true);
        EmitPortion(out, s, st.perStageConstants, st.stage[s].alpha, false);
        EmitWrites(out, st.stage[s].rgb, true);
        EmitWrites(out, st.stage[s].alpha, false);
    }
    // Final combiner.
    out += "# final\n";
    bool usesSum = false, usesEF = false;
    for (int v = 0; v < 4; v++) {
        usesSum |= st.final[v].input == kNvSpare0PlusSecondary;
        usesEF |= st.final[v].input == kNvETimesF;
    }
    if (usesSum)
        out += Format("MAX t0, rS0, k.x;\nMAX t1, rS, k.x;\nADD%s sps, t0, t1;\n",
                      st.colorSumClamp ? "_SAT" : "");
    if (usesEF) {
        EmitMapping(out, "vE", ".xyz", Operand(-1, false, st.final[4]), st.final[4].mapping);
        EmitMapping(out, "vF", ".xyz", Operand(-1, false, st.final[5]), st.final[5].mapping);
        out += "MUL ef.xyz, vE, vF;\n";
    }
    static const char* const vars[4] = {"vA", "vB", "vC", "vD"};
    for (int v = 0; v < 4; v++)
        EmitMapping(out, vars[v], ".xyz", Operand(-1, false, st.final[v]), st.final[v].mapping);
    EmitMapping(out, "vG", ".w", Operand(-1, false, st.final[6]), st.final[6].mapping);
    out += "LRP t0.xyz, vA, vB, vC;\nADD_SAT result.color.xyz, t0, vD;\nMOV_SAT result.color.w, vG.w;\nEND\n";
    return out;
}

void NvCombinerEnvParameters(const NvCombinerState& state, float out[kNvCombinerEnvParameters][4]) {
    for (int c = 0; c < 2; c++)
        for (int i = 0; i < 4; i++)
            out[c][i] = state.constant[c][i];
    for (int s = 0; s < kNvMaxGeneralCombiners; s++)
        for (int c = 0; c < 2; c++)
            for (int i = 0; i < 4; i++)
                out[2 + 2 * s + c][i] =
                    state.perStageConstants ? state.stage[s].constant[c][i] : state.constant[c][i];
}
