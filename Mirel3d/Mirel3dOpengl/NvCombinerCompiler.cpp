// Register combiners compiled into an ARB fragment program.
//
// Registers live in temporaries: rP primary, rS secondary, rT0..rT7 textures,
// rS0 / rS1 spare registers, rF fog (colour, factor). A general stage maps its
// inputs into vA..vD (RGB portion in .xyz, alpha portion in .w), forms AB, CD and
// their sum or mux in ab, cd, sm, applies bias, scale and the [-1, 1] clamp, and
// only then writes its outputs, so every output reads the stage's incoming
// registers. The final combiner computes min(A B + (1 - A) C + D, 1) and G.
//
// Two things the driver's compiler cannot know shorten the program, without
// changing any value it computes:
//  - liveness: a stage portion none of whose outputs is read later (by a
//    stage or the final combiner) is left out;
//  - value ranges: what each register can hold (textures and constants lie
//    in [0, 1], spare registers in what the stages wrote). A mapping's clamp
//    of a value that cannot be negative, or a stage's clamp to [-1, 1] of a
//    value that cannot leave it, is left out.
#include "Mirel3d/Mirel3dOpengl/NvCombinerCompiler.h"

#include "platform/Format.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// ---------------------------------------------------------------------------
// Value ranges

constexpr double kUnbounded = std::numeric_limits<double>::infinity();

// The values one portion of a register can hold. Bounds come from the same
// single-precision operation on the bounds (rounding is monotonic, so every
// value between gives a result between); sums and dot products, whose order
// of operations the driver chooses, get a margin of a few units in the last
// place before a clamp is judged needless.
struct TRange {
    double lo = 0.0, hi = 0.0;
    bool summed = false; // the bounds came through an addition
};

const TRange kAnything = {-kUnbounded, kUnbounded, false};
const TRange kUnit = {0.0, 1.0, false};
const TRange kNothing = {0.0, 0.0, false};

double Single(double v) {
    return std::isfinite(v) ? double(float(v)) : v;
}

TRange Product(const TRange& a, const TRange& b) {
    if (!std::isfinite(a.lo) || !std::isfinite(a.hi) || !std::isfinite(b.lo) || !std::isfinite(b.hi))
        return kAnything;
    const double p[4] = {a.lo * b.lo, a.lo * b.hi, a.hi * b.lo, a.hi * b.hi};
    return {Single(*std::min_element(p, p + 4)), Single(*std::max_element(p, p + 4)), a.summed || b.summed};
}

TRange Sum(const TRange& a, const TRange& b) {
    return {Single(a.lo + b.lo), Single(a.hi + b.hi), true};
}

TRange Join(const TRange& a, const TRange& b) {
    return {std::min(a.lo, b.lo), std::max(a.hi, b.hi), a.summed || b.summed};
}

// Whether every value of the range is at most `limit` (at least, for the
// lower bound), allowing for the margin of summed bounds.
bool AtMost(const TRange& r, double limit) {
    return r.summed ? r.hi <= limit - 4e-7 * std::max(1.0, std::fabs(limit)) : r.hi <= limit;
}
bool AtLeast(const TRange& r, double limit) {
    return r.summed ? r.lo >= limit + 4e-7 * std::max(1.0, std::fabs(limit)) : r.lo >= limit;
}

// The range after an input mapping.
TRange Mapped(const TRange& r, uint32_t mapping) {
    const TRange pos = {std::max(r.lo, 0.0), std::max(r.hi, 0.0), r.summed};
    switch (mapping) {
    case kNvUnsignedIdentity:
        return pos;
    case kNvUnsignedInvert:
        return {Single(1.0 - std::min(pos.hi, 1.0)), Single(1.0 - std::min(pos.lo, 1.0)), r.summed};
    case kNvExpandNormal:
        return {Single(2.0 * pos.lo - 1.0), Single(2.0 * pos.hi - 1.0), r.summed};
    case kNvExpandNegate:
        return {Single(1.0 - 2.0 * pos.hi), Single(1.0 - 2.0 * pos.lo), r.summed};
    case kNvHalfBiasNormal:
        return {Single(pos.lo - 0.5), Single(pos.hi - 0.5), r.summed};
    case kNvHalfBiasNegate:
        return {Single(0.5 - pos.hi), Single(0.5 - pos.lo), r.summed};
    case kNvSignedNegate:
        return {-r.hi, -r.lo, r.summed};
    default: // signed identity
        return r;
    }
}

// The registers a program reads, by slot, each with an RGB and an alpha part.
enum TSlot : int {
    slPrimary,
    slSecondary,
    slSpare0,
    slSpare1,
    slFog,
    slConstant, // both constant colours and the per-stage ones: clamped to [0, 1] when set
    slZero,
    slTexture0,
    slCount = slTexture0 + kNvTextureUnits,
    slNone = -1, // E x F and spare0 + secondary: made by the final combiner
};

int SlotOf(uint32_t reg) {
    switch (reg) {
    case kNvPrimaryColor:
        return slPrimary;
    case kNvSecondaryColor:
        return slSecondary;
    case kNvSpare0:
        return slSpare0;
    case kNvSpare1:
        return slSpare1;
    case kNvFog:
        return slFog;
    case kNvConstantColor0:
    case kNvConstantColor1:
        return slConstant;
    case kNvZero:
        return slZero;
    default:
        if (reg >= kNvTexture0 && reg < kNvTexture0 + kNvTextureUnits)
            return slTexture0 + int(reg - kNvTexture0);
        return slNone;
    }
}

// Register ranges at one point of the program: [slot][0] RGB, [slot][1] alpha.
struct TRanges {
    TRange part[slCount][2];
};

// The part of a register an input reads: alpha for GL_ALPHA, else RGB (GL_BLUE
// reads the blue of the RGB part).
int PartOf(const NvCombinerInput& in) {
    return in.component == kNvAlpha ? 1 : 0;
}

TRange RangeOfInput(const TRanges& r, const NvCombinerInput& in) {
    const int slot = SlotOf(in.input);
    return slot == slNone ? kAnything : r.part[slot][PartOf(in)];
}

// Registers live (read later) at one point: bit 2 * slot + part.
using TLive = uint32_t;
TLive LiveBit(int slot, int part) {
    // Zero and the constants are no stage's to write.
    if (slot == slNone || slot == slZero || slot == slConstant) return 0u;
    return 1u << (2 * slot + part);
}

// ---------------------------------------------------------------------------
// Text

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

// Emits the mapping of one input into dst with the write mask m (".xyz" or
// ".w"). The clamp at 0 (or to [0, 1] for the inversion) is left out when the
// input's range `r` makes it change nothing.
void EmitMapping(std::string& out, const char* dst, const char* m, const std::string& src, uint32_t mapping,
                 const TRange& r = kAnything) {
    const bool positive = AtLeast(r, 0.0);
    const char* s = src.c_str();
    switch (mapping) {
    case kNvUnsignedIdentity:
        if (positive)
            out += Format("MOV %s%s, %s;\n", dst, m, s);
        else
            out += Format("MAX %s%s, %s, k.x;\n", dst, m, s);
        break;
    case kNvUnsignedInvert:
        if (positive && AtMost(r, 1.0))
            out += Format("SUB %s%s, k.z, %s;\n", dst, m, s);
        else
            out += Format("MOV_SAT t0%s, %s;\nSUB %s%s, k.z, t0;\n", m, s, dst, m);
        break;
    case kNvExpandNormal:
        if (positive)
            out += Format("MAD %s%s, %s, k.w, -k.z;\n", dst, m, s);
        else
            out += Format("MAX t0%s, %s, k.x;\nMAD %s%s, t0, k.w, -k.z;\n", m, s, dst, m);
        break;
    case kNvExpandNegate:
        if (positive)
            out += Format("MAD %s%s, %s, -k.w, k.z;\n", dst, m, s);
        else
            out += Format("MAX t0%s, %s, k.x;\nMAD %s%s, t0, -k.w, k.z;\n", m, s, dst, m);
        break;
    case kNvHalfBiasNormal:
        if (positive)
            out += Format("SUB %s%s, %s, k.y;\n", dst, m, s);
        else
            out += Format("MAX t0%s, %s, k.x;\nSUB %s%s, t0, k.y;\n", m, s, dst, m);
        break;
    case kNvHalfBiasNegate:
        if (positive)
            out += Format("SUB %s%s, k.y, %s;\n", dst, m, s);
        else
            out += Format("MAX t0%s, %s, k.x;\nSUB %s%s, k.y, t0;\n", m, s, dst, m);
        break;
    case kNvSignedNegate:
        out += Format("MOV %s%s, -%s;\n", dst, m, src.c_str());
        break;
    default: // signed identity
        out += Format("MOV %s%s, %s;\n", dst, m, src.c_str());
        break;
    }
}

// The range of a stage's value after its bias and scale (before the clamp).
TRange ScaledBiased(TRange r, const NvCombinerPortion& p) {
    if (p.bias == kNvBiasByNegativeOneHalf) r = {Single(r.lo - 0.5), Single(r.hi - 0.5), r.summed};
    const double scale = p.scale == kNvScaleByTwo       ? 2.0
                         : p.scale == kNvScaleByFour    ? 4.0
                         : p.scale == kNvScaleByOneHalf ? 0.5
                                                        : 1.0;
    return {r.lo * scale, r.hi * scale, r.summed}; // powers of two: exact
}

// The range after the clamp to [-1, 1]. A clamp that was needed on both
// sides leaves exact bounds, whatever the additions before it did.
TRange Clamped(const TRange& r) {
    const bool both = !AtMost(r, 1.0) && !AtLeast(r, -1.0);
    return {std::clamp(r.lo, -1.0, 1.0), std::clamp(r.hi, -1.0, 1.0), r.summed && !both};
}

// Bias, scale and the clamp to [-1, 1] of x, whose range before them is r;
// each side of the clamp only where the range reaches past it.
void EmitScaleBias(std::string& out, const char* x, const char* m, const NvCombinerPortion& p,
                   const TRange& r) {
    if (p.bias == kNvBiasByNegativeOneHalf) out += Format("SUB %s%s, %s, k.y;\n", x, m, x);
    if (p.scale == kNvScaleByTwo)
        out += Format("MUL %s%s, %s, k.w;\n", x, m, x);
    else if (p.scale == kNvScaleByFour)
        out += Format("MUL %s%s, %s, k2.x;\n", x, m, x);
    else if (p.scale == kNvScaleByOneHalf)
        out += Format("MUL %s%s, %s, k.y;\n", x, m, x);
    const TRange after = ScaledBiased(r, p);
    if (!AtMost(after, 1.0)) out += Format("MIN %s%s, %s, k.z;\n", x, m, x);
    if (!AtLeast(after, -1.0)) out += Format("MAX %s%s, %s, -k.z;\n", x, m, x);
}

// The ranges of a portion's AB, CD and sum before bias, scale and clamp.
struct TPortionRanges {
    TRange ab, cd, sum;
};

TPortionRanges PortionRanges(const TRanges& regs, const NvCombinerPortion& p, bool rgb) {
    TRange v[4];
    for (int i = 0; i < 4; i++)
        v[i] = Mapped(RangeOfInput(regs, p.var[i]), p.var[i].mapping);
    auto product = [&](const TRange& a, const TRange& b, bool dot) {
        TRange r = Product(a, b);
        if (rgb && dot) r = Sum(Sum(r, r), r); // three products added
        return r;
    };
    TPortionRanges out;
    out.ab = product(v[0], v[1], p.abDot != 0);
    out.cd = product(v[2], v[3], p.cdDot != 0);
    out.sum = p.muxSum ? Join(out.ab, out.cd) : Sum(out.ab, out.cd);
    return out;
}

// Computes one portion of a stage into ab, cd, sm (scaled, biased, clamped).
void EmitPortion(std::string& out, int stage, bool perStage, const NvCombinerPortion& p, bool rgb,
                 const TRanges& regs) {
    const char* m = rgb ? ".xyz" : ".w";
    static const char* const vars[4] = {"vA", "vB", "vC", "vD"};
    for (int v = 0; v < 4; v++)
        EmitMapping(out, vars[v], m, Operand(stage, perStage, p.var[v]), p.var[v].mapping,
                    RangeOfInput(regs, p.var[v]));
    const TPortionRanges r = PortionRanges(regs, p, rgb);
    out += Format("%s ab%s, vA, vB;\n", rgb && p.abDot ? "DP3" : "MUL", m);
    out += Format("%s cd%s, vC, vD;\n", rgb && p.cdDot ? "DP3" : "MUL", m);
    if (p.sumOutput != kNvDiscard) {
        if (p.muxSum)
            out += Format("SUB t1.x, rS0.w, k.y;\nCMP sm%s, t1.x, ab, cd;\n", m);
        else
            out += Format("ADD sm%s, ab, cd;\n", m);
        EmitScaleBias(out, "sm", m, p, r.sum);
    }
    if (p.abOutput != kNvDiscard) EmitScaleBias(out, "ab", m, p, r.ab);
    if (p.cdOutput != kNvDiscard) EmitScaleBias(out, "cd", m, p, r.cd);
}

// The registers a portion's writes give new ranges.
void WriteRanges(TRanges& regs, const NvCombinerPortion& p, bool rgb) {
    const TPortionRanges r = PortionRanges(regs, p, rgb);
    const int part = rgb ? 0 : 1;
    auto write = [&](uint32_t reg, const TRange& value) {
        const int slot = SlotOf(reg);
        if (reg != kNvDiscard && slot != slNone) regs.part[slot][part] = Clamped(ScaledBiased(value, p));
    };
    // All three are computed from the incoming registers before any is
    // written, as the program does.
    write(p.abOutput, r.ab);
    write(p.cdOutput, r.cd);
    write(p.sumOutput, r.sum);
}

// Whether any output of a portion is read later.
bool PortionLive(const NvCombinerPortion& p, int part, TLive live) {
    for (uint32_t reg : {p.abOutput, p.cdOutput, p.sumOutput})
        if (reg != kNvDiscard && (live & LiveBit(SlotOf(reg), part))) return true;
    return false;
}

// Liveness before a live portion: its outputs are written, its inputs read.
TLive LiveBefore(const NvCombinerPortion& p, int part, TLive live) {
    for (uint32_t reg : {p.abOutput, p.cdOutput, p.sumOutput})
        if (reg != kNvDiscard) live &= ~LiveBit(SlotOf(reg), part);
    return live;
}

TLive Reads(const NvCombinerPortion& p) {
    TLive read = 0;
    for (const NvCombinerInput& in : p.var)
        read |= LiveBit(SlotOf(in.input), PartOf(in));
    if (p.muxSum && p.sumOutput != kNvDiscard) read |= LiveBit(slSpare0, 1);
    return read;
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

// Whether the final combiner reads spare0 + secondary and E x F.
void FinalReads(const NvCombinerState& st, bool& usesSum, bool& usesEF) {
    usesSum = usesEF = false;
    for (int v = 0; v < 4; v++) {
        usesSum |= st.final[v].input == kNvSpare0PlusSecondary;
        usesEF |= st.final[v].input == kNvETimesF;
    }
}

// Which stage portions ([stage][0] RGB, [stage][1] alpha) matter: walking
// back from the final combiner, a portion counts when a later reader needs
// one of its outputs. Without `shorten` every portion counts.
void LivePortions(const NvCombinerState& st, bool shorten, bool out[kNvMaxGeneralCombiners][2]) {
    const int stages = std::clamp(st.numStages, 0, kNvMaxGeneralCombiners);
    bool usesSum = false, usesEF = false;
    FinalReads(st, usesSum, usesEF);
    TLive live = 0;
    for (int v = 0; v < 7; v++) {
        if ((v == 4 || v == 5) && !usesEF) continue;
        live |= LiveBit(SlotOf(st.final[v].input), PartOf(st.final[v]));
    }
    if (usesSum)
        live |=
            LiveBit(slSpare0, 0) | LiveBit(slSpare0, 1) | LiveBit(slSecondary, 0) | LiveBit(slSecondary, 1);
    for (int s = 0; s < kNvMaxGeneralCombiners; s++)
        out[s][0] = out[s][1] = false;
    for (int s = stages - 1; s >= 0; s--) {
        const NvCombinerPortion* portions[2] = {&st.stage[s].rgb, &st.stage[s].alpha};
        TLive before = live;
        for (int part = 0; part < 2; part++) {
            out[s][part] = !shorten || PortionLive(*portions[part], part, live);
            if (out[s][part]) before = LiveBefore(*portions[part], part, before);
        }
        for (int part = 0; part < 2; part++)
            if (out[s][part]) before |= Reads(*portions[part]);
        live = before;
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
                       const uint8_t targets[kNvTextureUnits], NvFogMode fogMode, bool shortened) {
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
    key.shortened = shortened ? 1 : 0;
    if (!shortened) return;
    // What the program leaves out cannot tell two keys apart: a portion
    // nothing reads, or E and F when E x F is not read, may hold whatever
    // the material drawn before left there without needing another program.
    bool live[kNvMaxGeneralCombiners][2];
    LivePortions(key.state, true, live);
    for (int s = 0; s < kNvMaxGeneralCombiners; s++)
        for (int part = 0; part < 2; part++) {
            if (live[s][part]) continue;
            NvCombinerPortion& p = part == 0 ? key.state.stage[s].rgb : key.state.stage[s].alpha;
            std::memset(&p, 0, sizeof(p));
            p.abOutput = p.cdOutput = p.sumOutput = kNvDiscard;
        }
    bool usesSum = false, usesEF = false;
    FinalReads(key.state, usesSum, usesEF);
    if (!usesEF) std::memset(&key.state.final[4], 0, 2 * sizeof(key.state.final[4]));
    // The units only the left-out portions read are not sampled either.
    const NvCombinerUsage read = NvCombinerUsageOf(key.state);
    for (int u = 0; u < kNvTextureUnits; u++)
        if (!(read.textureUnits & (1u << u))) key.targets[u] = uint8_t(ntNone);
    if (!read.fog) key.fogMode = uint8_t(nfOff);
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
    const int stages = std::clamp(st.numStages, 0, kNvMaxGeneralCombiners);
    bool usesSum = false, usesEF = false;
    FinalReads(st, usesSum, usesEF);
    bool portionLive[kNvMaxGeneralCombiners][2];
    LivePortions(st, key.shortened != 0, portionLive);

    // The registers' ranges as the program starts (unknown in a program
    // that is not to be shortened).
    TRanges regs;
    for (int slot = 0; slot < slCount; slot++)
        regs.part[slot][0] = regs.part[slot][1] = key.shortened ? kUnit : kAnything;
    // Interpolated colours are only nearly in [0, 1]: nothing is assumed.
    for (int part = 0; part < 2 && key.shortened; part++) {
        regs.part[slPrimary][part] = regs.part[slSecondary][part] = kAnything;
        regs.part[slZero][part] = regs.part[slSpare1][part] = kNothing;
    }
    if (key.shortened) {
        regs.part[slSpare0][0] = kNothing;
        regs.part[slSpare0][1] = key.targets[0] != ntNone ? kUnit : kNothing;
        for (int u = 0; u < kNvTextureUnits; u++)
            if (!(usage.textureUnits & (1u << u)) || key.targets[u] == ntNone)
                regs.part[slTexture0 + u][0] = regs.part[slTexture0 + u][1] = kNothing;
    }

    // General stages.
    for (int s = 0; s < stages; s++) {
        const NvCombinerStage& stage = st.stage[s];
        if (!portionLive[s][0] && !portionLive[s][1]) {
            out += Format("# stage %d: nothing it writes is read\n", s);
            continue;
        }
        out += Format("# stage %d\n", s);
        if (portionLive[s][0]) EmitPortion(out, s, st.perStageConstants, stage.rgb, true, regs);
        if (portionLive[s][1]) EmitPortion(out, s, st.perStageConstants, stage.alpha, false, regs);
        if (portionLive[s][0]) EmitWrites(out, stage.rgb, true);
        if (portionLive[s][1]) EmitWrites(out, stage.alpha, false);
        const TRanges incoming = regs;
        TRanges written = regs;
        if (portionLive[s][0]) {
            WriteRanges(written, stage.rgb, true);
            regs = written;
        }
        if (portionLive[s][1]) {
            TRanges alpha = incoming;
            WriteRanges(alpha, stage.alpha, false);
            for (int slot = 0; slot < slCount; slot++)
                regs.part[slot][1] = alpha.part[slot][1];
        }
    }
    // Final combiner.
    out += "# final\n";
    TRange sumRange = kAnything;
    if (usesSum) {
        // spare0 + secondary, each clamped at 0, all four components.
        const TRange spare = Join(regs.part[slSpare0][0], regs.part[slSpare0][1]);
        const TRange secondary = Join(regs.part[slSecondary][0], regs.part[slSecondary][1]);
        if (AtLeast(spare, 0.0))
            out += "MOV t0, rS0;\n";
        else
            out += "MAX t0, rS0, k.x;\n";
        out += "MAX t1, rS, k.x;\n";
        out += Format("ADD%s sps, t0, t1;\n", st.colorSumClamp ? "_SAT" : "");
        sumRange = st.colorSumClamp
                       ? kUnit
                       : Sum(Mapped(spare, kNvUnsignedIdentity), Mapped(secondary, kNvUnsignedIdentity));
    }
    auto finalRange = [&](const NvCombinerInput& in, const TRange& ef) {
        if (in.input == kNvSpare0PlusSecondary) return sumRange;
        if (in.input == kNvETimesF) return ef;
        return RangeOfInput(regs, in);
    };
    TRange efRange = kAnything;
    if (usesEF) {
        const TRange e = finalRange(st.final[4], kAnything), f = finalRange(st.final[5], kAnything);
        EmitMapping(out, "vE", ".xyz", Operand(-1, false, st.final[4]), st.final[4].mapping, e);
        EmitMapping(out, "vF", ".xyz", Operand(-1, false, st.final[5]), st.final[5].mapping, f);
        out += "MUL ef.xyz, vE, vF;\n";
        efRange = Product(Mapped(e, st.final[4].mapping), Mapped(f, st.final[5].mapping));
    }
    static const char* const vars[4] = {"vA", "vB", "vC", "vD"};
    for (int v = 0; v < 4; v++)
        EmitMapping(out, vars[v], ".xyz", Operand(-1, false, st.final[v]), st.final[v].mapping,
                    finalRange(st.final[v], efRange));
    EmitMapping(out, "vG", ".w", Operand(-1, false, st.final[6]), st.final[6].mapping,
                finalRange(st.final[6], efRange));
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
