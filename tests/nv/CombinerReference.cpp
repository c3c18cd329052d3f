#include "tests/nv/CombinerReference.h"

#include <algorithm>

namespace {

struct Registers {
    Rgba zero, c0, c1, fog, primary, secondary, spare0, spare1, tex[8];
};

float Clamp(float x, float lo, float hi) {
    return std::min(hi, std::max(lo, x));
}

const Rgba& Select(const Registers& r, uint32_t reg) {
    switch (reg) {
    case kNvConstantColor0:
        return r.c0;
    case kNvConstantColor1:
        return r.c1;
    case kNvFog:
        return r.fog;
    case kNvPrimaryColor:
        return r.primary;
    case kNvSecondaryColor:
        return r.secondary;
    case kNvSpare0:
        return r.spare0;
    case kNvSpare1:
        return r.spare1;
    default:
        if (reg >= kNvTexture0 && reg < kNvTexture0 + 8) return r.tex[reg - kNvTexture0];
        return r.zero;
    }
}

Rgba* Writable(Registers& r, uint32_t reg) {
    switch (reg) {
    case kNvPrimaryColor:
        return &r.primary;
    case kNvSecondaryColor:
        return &r.secondary;
    case kNvSpare0:
        return &r.spare0;
    case kNvSpare1:
        return &r.spare1;
    default:
        if (reg >= kNvTexture0 && reg < kNvTexture0 + 8) return &r.tex[reg - kNvTexture0];
        return nullptr;
    }
}

float Map(float e, uint32_t mapping) {
    switch (mapping) {
    case kNvUnsignedIdentity:
        return std::max(0.0f, e);
    case kNvUnsignedInvert:
        return 1.0f - Clamp(e, 0.0f, 1.0f);
    case kNvExpandNormal:
        return 2.0f * std::max(0.0f, e) - 1.0f;
    case kNvExpandNegate:
        return -2.0f * std::max(0.0f, e) + 1.0f;
    case kNvHalfBiasNormal:
        return std::max(0.0f, e) - 0.5f;
    case kNvHalfBiasNegate:
        return -std::max(0.0f, e) + 0.5f;
    case kNvSignedIdentity:
        return e;
    default:
        return -e;
    }
}

// Three components (rgb portion) or one (alpha portion) of a mapped input.
void Fetch(const Rgba& reg, const NvCombinerInput& in, bool rgb, float out[3]) {
    for (int i = 0; i < 3; i++) {
        float e;
        if (in.component == kNvAlpha)
            e = reg.v[3];
        else if (in.component == kNvBlue)
            e = reg.v[2];
        else
            e = rgb ? reg.v[i] : reg.v[3];
        out[i] = Map(e, in.mapping);
    }
}

float ScaleBias(float x, const NvCombinerPortion& p) {
    if (p.bias == kNvBiasByNegativeOneHalf) x -= 0.5f;
    if (p.scale == kNvScaleByTwo)
        x *= 2.0f;
    else if (p.scale == kNvScaleByFour)
        x *= 4.0f;
    else if (p.scale == kNvScaleByOneHalf)
        x *= 0.5f;
    return Clamp(x, -1.0f, 1.0f);
}

struct PortionResult {
    float ab[3], cd[3], sum[3];
};

PortionResult RunPortion(const Registers& r, const NvCombinerPortion& p, bool rgb, const Rgba& c0,
                         const Rgba& c1) {
    Registers view = r;
    view.c0 = c0;
    view.c1 = c1;
    float a[3], b[3], c[3], d[3];
    Fetch(Select(view, p.var[0].input), p.var[0], rgb, a);
    Fetch(Select(view, p.var[1].input), p.var[1], rgb, b);
    Fetch(Select(view, p.var[2].input), p.var[2], rgb, c);
    Fetch(Select(view, p.var[3].input), p.var[3], rgb, d);
    PortionResult out;
    float abDot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    float cdDot = c[0] * d[0] + c[1] * d[1] + c[2] * d[2];
    for (int i = 0; i < 3; i++) {
        out.ab[i] = rgb && p.abDot ? abDot : a[i] * b[i];
        out.cd[i] = rgb && p.cdDot ? cdDot : c[i] * d[i];
        if (p.muxSum)
            out.sum[i] = r.spare0.v[3] >= 0.5f ? out.cd[i] : out.ab[i];
        else
            out.sum[i] = out.ab[i] + out.cd[i];
    }
    for (int i = 0; i < 3; i++) {
        out.ab[i] = ScaleBias(out.ab[i], p);
        out.cd[i] = ScaleBias(out.cd[i], p);
        out.sum[i] = ScaleBias(out.sum[i], p);
    }
    return out;
}

void Store(Registers& r, uint32_t reg, const float v[3], bool rgb) {
    Rgba* dst = Writable(r, reg);
    if (!dst) return;
    if (rgb)
        for (int i = 0; i < 3; i++)
            dst->v[i] = v[i];
    else
        dst->v[3] = v[0];
}

Rgba Make(const float* v) {
    return Rgba{{v[0], v[1], v[2], v[3]}};
}

} // namespace

Rgba ReferenceCombiners(const NvCombinerState& st, const CombinerFragment& in) {
    Registers r = {};
    r.c0 = Make(st.constant[0]);
    r.c1 = Make(st.constant[1]);
    r.fog = in.fogColor;
    r.fog.v[3] = in.fogFactor;
    r.primary = in.primary;
    r.secondary = in.secondary;
    for (int u = 0; u < 8; u++)
        r.tex[u] = in.textureOn[u] ? in.texture[u] : Rgba{};
    if (in.textureOn[0]) r.spare0.v[3] = in.texture[0].v[3];
    for (int s = 0; s < st.numStages; s++) {
        const NvCombinerStage& stage = st.stage[s];
        Rgba c0 = st.perStageConstants ? Make(stage.constant[0]) : r.c0;
        Rgba c1 = st.perStageConstants ? Make(stage.constant[1]) : r.c1;
        PortionResult rgb = RunPortion(r, stage.rgb, true, c0, c1);
        PortionResult alpha = RunPortion(r, stage.alpha, false, c0, c1);
        Store(r, stage.rgb.abOutput, rgb.ab, true);
        Store(r, stage.rgb.cdOutput, rgb.cd, true);
        Store(r, stage.rgb.sumOutput, rgb.sum, true);
        Store(r, stage.alpha.abOutput, alpha.ab, false);
        Store(r, stage.alpha.cdOutput, alpha.cd, false);
        Store(r, stage.alpha.sumOutput, alpha.sum, false);
    }
    // Final combiner.
    Rgba sum;
    for (int i = 0; i < 4; i++) {
        sum.v[i] = std::max(0.0f, r.spare0.v[i]) + std::max(0.0f, r.secondary.v[i]);
        if (st.colorSumClamp) sum.v[i] = Clamp(sum.v[i], 0.0f, 1.0f);
    }
    auto fetchFinal = [&](int var, const Rgba* ef, float out[3]) {
        const NvCombinerInput& in = st.final[var];
        Rgba reg;
        if (in.input == kNvSpare0PlusSecondary)
            reg = sum;
        else if (in.input == kNvETimesF)
            reg = *ef;
        else
            reg = Select(r, in.input);
        Fetch(reg, in, true, out);
    };
    float e[3], f[3];
    fetchFinal(4, nullptr, e);
    fetchFinal(5, nullptr, f);
    Rgba ef = {{e[0] * f[0], e[1] * f[1], e[2] * f[2], 0}};
    float a[3], b[3], c[3], d[3], g[3];
    fetchFinal(0, &ef, a);
    fetchFinal(1, &ef, b);
    fetchFinal(2, &ef, c);
    fetchFinal(3, &ef, d);
    fetchFinal(6, &ef, g);
    Rgba out;
    for (int i = 0; i < 3; i++)
        out.v[i] = Clamp(a[i] * b[i] + (1.0f - a[i]) * c[i] + d[i], 0.0f, 1.0f);
    out.v[3] = Clamp(g[0], 0.0f, 1.0f);
    return out;
}
