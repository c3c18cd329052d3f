#include "demo/core/Anim.h"

#include "scene/math/MathFunctions.h"
#include "scene/math/Quaternion.h"

#include <cmath>

TAnimKey* TAnimKeyList::Add() {
    auto key = std::make_unique<TAnimKey>();
    key->ValueCount = DefaultValueCount;
    key->Values.resize(static_cast<size_t>(DefaultValueCount));
    keys_.push_back(std::move(key));
    return keys_.back().get();
}

TAnimKey* TAnimKeyList::Get(int32_t index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return keys_[static_cast<size_t>(index)].get();
}

void TAnim::SetValueCount(int32_t n) {
    if (n < 0) n = 0;
    if (n > kMaxAnimValues) n = kMaxAnimValues;
    ValueCount = n;
    Values.resize(static_cast<size_t>(n));
    if (Keys.Count() == 0) Keys.DefaultValueCount = n;
}

// Value slot j of a key; a key made with fewer slots than the animation reads
// as zero there instead of past its end.
static double KeyValue(const TAnimKey* key, int32_t j) {
    return j < static_cast<int32_t>(key->Values.size()) ? key->Values[static_cast<size_t>(j)].Value : 0.0;
}

// Hermite basis weights at t, in 32-bit floats.
struct THermite {
    float h00, h01, h10, h11;
};

static THermite HermiteWeights(float t) {
    float t2 = t * t;
    float t3 = t2 * t;
    return {2.0f * t3 - 3.0f * t2 + 1.0f, -2.0f * t3 + 3.0f * t2, t3 - 2.0f * t2 + t, t3 - t2};
}

static TQuat KeyQuat(const TAnimKey* key) {
    // Keys hold the quaternion as x, y, z, w.
    return TQuaternion::Make(static_cast<float>(KeyValue(key, 3)), static_cast<float>(KeyValue(key, 0)),
                             static_cast<float>(KeyValue(key, 1)), static_cast<float>(KeyValue(key, 2)));
}

void TAnim::CopyKeyValues(const TAnimKey* key) {
    for (int32_t j = 0; j < ValueCount && j < static_cast<int32_t>(Values.size()); j++)
        Values[static_cast<size_t>(j)].Value = KeyValue(key, j);
}

bool TAnim::Evaluate(double time) {
    const int32_t count = Keys.Count();
    if (count == 0) return false;
    const TAnimKey* last = Keys.Get(count - 1);
    const int32_t slots = Min(ValueCount, static_cast<int32_t>(Values.size()));

    double x = time;
    if ((Kind == akHold || Kind == akLinear) && Repeat && x > last->Time) {
        // The remainder is taken of x itself (not of x - RepeatStart), in 32
        // bits. A zero or non-finite period would give NaN, so such a loop is
        // treated as no loop at all: the last key holds.
        float period = last->Time - RepeatStart;
        if (period != 0.0f && std::isfinite(period))
            x = FloatRemainder(static_cast<float>(x), period) + RepeatStart;
    }

    // i: the first key later than x, or the last key when none is.
    int32_t i = count - 1;
    for (int32_t k = 0; k < count; k++)
        if (Keys.Get(k)->Time > x) {
            i = k;
            break;
        }
    if (i == 0 || x >= last->Time) {
        // Before the first key (or a single key) the last key's values are used.
        CopyKeyValues(last);
        return true;
    }

    TAnimKey* a = Keys.Get(i - 1);
    TAnimKey* b = Keys.Get(i);
    switch (Kind) {
    case akLinear: {
        float span = b->Time - a->Time;
        float u = static_cast<float>((x - a->Time) / span);
        for (int32_t j = 0; j < slots; j++)
            Values[static_cast<size_t>(j)].Value = (1.0f - u) * KeyValue(a, j) + KeyValue(b, j) * u;
        break;
    }
    case akCardinalSpline:
    case akTcbSpline:
    case akQuatSpline: {
        // Neighbours: P before A when it exists; N after B only below the key
        // count - 2 bound, so in the second-to-last segment B stands in for N.
        TAnimKey* p = i >= 2 ? Keys.Get(i - 2) : a;
        TAnimKey* n = i < count - 2 ? Keys.Get(i + 1) : b;
        if (Kind == akQuatSpline)
            EvaluateQuatSpline(x, p, a, b, n);
        else if (Kind == akCardinalSpline)
            EvaluateCardinal(x, p, a, b, n, slots);
        else
            EvaluateTcb(x, p, a, b, n, slots);
        break;
    }
    default: // akHold, and any unknown kind holds as well
        CopyKeyValues(a);
        break;
    }
    return true;
}

void TAnim::EvaluateCardinal(double x, TAnimKey* p, TAnimKey* a, TAnimKey* b, TAnimKey* n, int32_t slots) {
    float span = b->Time - a->Time;
    float u = static_cast<float>((x - a->Time) / span);
    THermite h = HermiteWeights(u);
    for (int32_t j = 0; j < slots; j++) {
        float ta, tb;
        const bool aHas = j < static_cast<int32_t>(a->Values.size());
        const bool bHas = j < static_cast<int32_t>(b->Values.size());
        if (AutoTangents) {
            ta = static_cast<float>((KeyValue(b, j) - KeyValue(p, j)) * 0.5);
            tb = static_cast<float>((KeyValue(n, j) - KeyValue(a, j)) * 0.5);
            // The computed tangents are stored into the keys.
            if (aHas) a->Values[static_cast<size_t>(j)].OutTangent = ta;
            if (bHas) b->Values[static_cast<size_t>(j)].InTangent = tb;
        } else {
            ta = aHas ? a->Values[static_cast<size_t>(j)].OutTangent : 0.0f;
            tb = bHas ? b->Values[static_cast<size_t>(j)].InTangent : 0.0f;
        }
        Values[static_cast<size_t>(j)].Value =
            h.h00 * KeyValue(a, j) + h.h01 * KeyValue(b, j) + double(h.h10) * ta + double(h.h11) * tb;
    }
}

void TAnim::EvaluateTcb(double x, TAnimKey* p, TAnimKey* a, TAnimKey* b, TAnimKey* n, int32_t slots) {
    float span = b->Time - a->Time;
    float u = static_cast<float>((x - a->Time) / span);
    THermite h = HermiteWeights(u);
    float aP = (1.0f - a->Tension) * (1.0f + a->Continuity) * (1.0f + a->Bias);
    float aN = (1.0f - a->Tension) * (1.0f - a->Continuity) * (1.0f - a->Bias);
    float bP = (1.0f - b->Tension) * (1.0f - b->Continuity) * (1.0f + b->Bias);
    float bN = (1.0f - b->Tension) * (1.0f + b->Continuity) * (1.0f - b->Bias);
    float sA = span / (b->Time - p->Time);
    float sB = span / (n->Time - a->Time);
    for (int32_t j = 0; j < slots; j++) {
        double av = KeyValue(a, j), bv = KeyValue(b, j);
        float d = static_cast<float>(bv - av);
        float ta = static_cast<float>(((bv - KeyValue(p, j)) * aP + double(aN) * d) * sA);
        float tb = static_cast<float>((double(bP) * d + (KeyValue(n, j) - av) * bN) * sB);
        Values[static_cast<size_t>(j)].Value =
            h.h00 * av + h.h01 * bv + double(h.h10) * ta + double(h.h11) * tb;
    }
}

void TAnim::EvaluateQuatSpline(double x, TAnimKey* p, TAnimKey* a, TAnimKey* b, TAnimKey* n) {
    const TQuat qP = KeyQuat(p), qA = KeyQuat(a), qB = KeyQuat(b), qN = KeyQuat(n);
    const float u = static_cast<float>((x - a->Time) / (double(b->Time) - a->Time));
    const float dPrev = a->Time - p->Time;
    const float dCur = b->Time - a->Time;
    const float dNext = n->Time - b->Time;

    // Inner control point after A.
    float adjA = (1.0f - std::fabs(a->Continuity)) * (dCur / (dPrev + dCur) - 0.5f) + 0.5f;
    TQuat g1 = TQuaternion::Slerp(qA, qP, -(1.0f + a->Bias) / 3.0f);
    TQuat g2 = TQuaternion::Slerp(qA, qB, (1.0f - a->Bias) / 3.0f);
    TQuat g3 = TQuaternion::Slerp(g1, g2, 0.5f - 0.5f * a->Continuity);
    TQuat ca = TQuaternion::Slerp(qA, g3, (1.0f - a->Tension) * adjA * 2.0f);

    // Inner control point before B.
    float adjB = (1.0f - std::fabs(b->Continuity)) * (dCur / (dCur + dNext) - 0.5f) + 0.5f;
    TQuat h1 = TQuaternion::Slerp(qB, qA, -(1.0f + b->Bias) / 3.0f);
    TQuat h2 = TQuaternion::Slerp(qB, qN, (1.0f - b->Bias) / 3.0f);
    TQuat h3 = TQuaternion::Slerp(h1, h2, 0.5f * b->Continuity + 0.5f);
    TQuat cb = TQuaternion::Slerp(qB, h3, (b->Tension - 1.0f) * adjB * 2.0f);

    // Cubic de Casteljau construction on the sphere.
    TQuat p1 = TQuaternion::Slerp(qA, ca, u);
    TQuat p2 = TQuaternion::Slerp(ca, cb, u);
    TQuat p3 = TQuaternion::Slerp(cb, qB, u);
    TQuat p4 = TQuaternion::Slerp(p1, p2, u);
    TQuat p5 = TQuaternion::Slerp(p2, p3, u);
    TQuat r = TQuaternion::Slerp(p4, p5, u);

    const double out[4] = {r.x, r.y, r.z, r.w};
    for (int32_t j = 0; j < ValueCount && j < 4 && j < static_cast<int32_t>(Values.size()); j++)
        Values[static_cast<size_t>(j)].Value = out[j];
}
