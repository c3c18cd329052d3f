// Key-frame animation: the five interpolation kinds with worked numbers, the
// repeat rule, the spline neighbour rule and the edges of the key search.
#include "demo/core/Anim.h"

#include "scene/math/Quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

// A one-value animation of the given kind with keys (time, value).
void Fill(TAnim& anim, uint8_t kind, std::initializer_list<std::pair<float, double>> keys) {
    anim.Kind = kind;
    anim.SetValueCount(1);
    for (auto [t, v] : keys) {
        TAnimKey* k = anim.AddKey();
        k->Time = t;
        k->Values[0].Value = v;
    }
}

double At(TAnim& anim, double t) {
    EXPECT_TRUE(anim.Evaluate(t));
    return anim.Values[0].Value;
}

} // namespace

TEST(Anim, NewAnimationAndKeyList) {
    TAnim a;
    EXPECT_EQ(a.Kind, akTcbSpline);
    EXPECT_EQ(a.ValueCount, 0);
    EXPECT_EQ(a.Keys.Count(), 0);
    EXPECT_FALSE(a.AutoTangents);
    EXPECT_FALSE(a.Repeat);

    a.SetValueCount(3);
    EXPECT_EQ(a.Values.size(), 3u);
    TAnimKey* k = a.AddKey();
    EXPECT_EQ(k->ValueCount, 3);
    EXPECT_EQ(k->Values.size(), 3u);
    EXPECT_EQ(k->Time, 0.0f);
    EXPECT_EQ(k->Tension, 0.0f);
    EXPECT_EQ(k->Values[2].Value, 0.0);
    // A list that already has keys keeps its default count.
    a.SetValueCount(4);
    EXPECT_EQ(a.Values.size(), 4u);
    EXPECT_EQ(a.AddKey()->ValueCount, 3);
    // Out-of-range reads give no key.
    EXPECT_EQ(a.Keys.Get(2), nullptr);
    EXPECT_EQ(a.Keys.Get(-1), nullptr);
    EXPECT_EQ(a.Keys.Get(1), a.Keys.Get(1));
    // The count is bounded: no huge allocation from a bad caller.
    TAnim b;
    b.SetValueCount(1 << 30);
    EXPECT_EQ(b.ValueCount, kMaxAnimValues);
    b.SetValueCount(-5);
    EXPECT_EQ(b.ValueCount, 0);
}

TEST(Anim, EmptyKeyListLeavesValuesAlone) {
    for (uint8_t kind = 0; kind <= 4; kind++) {
        TAnim a;
        a.Kind = kind;
        a.SetValueCount(4);
        EXPECT_FALSE(a.Evaluate(1.0));
        EXPECT_EQ(a.Values[0].Value, 0.0);
        a.Values[1].Value = 3.5;
        EXPECT_FALSE(a.Evaluate(2.0));
        EXPECT_EQ(a.Values[1].Value, 3.5);
    }
}

TEST(Anim, LinearAndTheEdgesOfTheKeySearch) {
    TAnim a;
    Fill(a, akLinear, {{0, 10}, {1, 20}});
    EXPECT_EQ(At(a, 0.25), 12.5);
    EXPECT_EQ(At(a, 1.0), 20.0);
    EXPECT_EQ(At(a, 5.0), 20.0);
    // Before the first key the LAST key's values are used.
    EXPECT_EQ(At(a, -1.0), 20.0);
    EXPECT_EQ(At(a, 0.0), 10.0);
}

TEST(Anim, LinearParameterIsRoundedTo32Bits) {
    // u = (1 - 0) / 3 is computed as a 32-bit float, so the result is 3 times
    // the float nearest 1/3 rather than exactly 1.
    TAnim a;
    Fill(a, akLinear, {{0, 0}, {3, 3}});
    EXPECT_EQ(At(a, 1.0), 3.0 * static_cast<double>(1.0f / 3.0f));
    EXPECT_NE(At(a, 1.0), 1.0);
}

TEST(Anim, SingleKeyGivesItsValueAtEveryTime) {
    for (uint8_t kind = 0; kind <= 3; kind++) {
        TAnim a;
        Fill(a, kind, {{3, 7}});
        for (double t : {-10.0, 0.0, 3.0, 2.9, 3.1, 1e9})
            EXPECT_EQ(At(a, t), 7.0) << int(kind) << " " << t;
    }
}

TEST(Anim, Hold) {
    TAnim a;
    Fill(a, akHold, {{0, 0}, {2, 1}, {4, 2}});
    EXPECT_EQ(At(a, 3.9), 1.0);
    EXPECT_EQ(At(a, 1.99), 0.0);
    EXPECT_EQ(At(a, 2.0), 1.0);
    EXPECT_EQ(At(a, 4.0), 2.0);
    // An unknown kind behaves as hold.
    a.Kind = 9;
    EXPECT_EQ(At(a, 3.0), 1.0);
}

TEST(Anim, RepeatTakesTheRemainderOfTheTimeItself) {
    TAnim a;
    Fill(a, akLinear, {{0, 0}, {4, 4}});
    a.SetRepeat(true);
    a.SetRepeatStart(1.0f);
    // FloatRemainder(5, 3) + 1 = 3.
    EXPECT_EQ(At(a, 5.0), 3.0);
    // FloatRemainder(6, 3) + 1 = 1 (not (6 - 1) mod 3 + 1 = 3).
    EXPECT_EQ(At(a, 6.0), 1.0);
    // At the last key itself there is no wrap.
    EXPECT_EQ(At(a, 4.0), 4.0);
    // Before the end repeat changes nothing.
    EXPECT_EQ(At(a, 2.0), 2.0);

    TAnim h;
    Fill(h, akHold, {{0, 0}, {2, 1}, {4, 2}});
    h.Repeat = true;
    h.RepeatStart = 1.0f;
    EXPECT_EQ(At(h, 5.0), 1.0); // evaluated at 3
    EXPECT_EQ(At(h, 6.5), 0.0); // evaluated at 1.5
}

TEST(Anim, RepeatIsIgnoredBySplinesAndByAnEmptyPeriod) {
    TAnim s;
    Fill(s, akCardinalSpline, {{0, 0}, {4, 4}});
    s.Repeat = true;
    s.RepeatStart = 1.0f;
    EXPECT_EQ(At(s, 5.0), 4.0);
    // Repeat start at the last key: a zero period would divide by zero; the
    // last key simply holds.
    TAnim z;
    Fill(z, akLinear, {{0, 0}, {4, 4}});
    z.Repeat = true;
    z.RepeatStart = 4.0f;
    EXPECT_EQ(At(z, 9.0), 4.0);
}

TEST(Anim, CardinalSplineNeighbourRule) {
    TAnim a;
    Fill(a, akCardinalSpline, {{0, 0}, {1, 1}, {2, 0}, {3, 1}});
    a.AutoTangents = true;
    // First segment: P = A = key 0, N = key 2: tA = 0.5, tB = 0.
    EXPECT_DOUBLE_EQ(At(a, 0.5), 0.5625);
    EXPECT_EQ(a.Keys.Get(0)->Values[0].OutTangent, 0.5f); // tangents are stored into the keys
    EXPECT_EQ(a.Keys.Get(1)->Values[0].InTangent, 0.0f);
    // Second-to-last segment: N is B itself (key count - 2 bound), not key 3:
    // tA = 0, tB = -0.5, giving 0.5625 where Catmull-Rom would give 0.5.
    EXPECT_DOUBLE_EQ(At(a, 1.5), 0.5625);
    EXPECT_EQ(a.Keys.Get(2)->Values[0].InTangent, -0.5f);
    // Last segment: P = key 1, N = B: tA = 0, tB = 0.5.
    EXPECT_DOUBLE_EQ(At(a, 2.5), 0.4375);
    // The curve passes through every key.
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(At(a, k), a.Keys.Get(k)->Values[0].Value) << k;
}

TEST(Anim, CardinalSplineWithStoredTangents) {
    TAnim a;
    Fill(a, akCardinalSpline, {{0, 0}, {1, 1}});
    a.AutoTangents = false;
    a.Keys.Get(0)->Values[0].OutTangent = 1.0f;
    a.Keys.Get(1)->Values[0].InTangent = 1.0f;
    // Unit tangents on a unit step make the Hermite curve a straight line.
    EXPECT_DOUBLE_EQ(At(a, 0.25), 0.25);
    EXPECT_DOUBLE_EQ(At(a, 0.75), 0.75);
    // The stored tangents are not overwritten.
    EXPECT_EQ(a.Keys.Get(0)->Values[0].OutTangent, 1.0f);
}

TEST(Anim, TcbSplineTangentsAndShape) {
    TAnim a;
    Fill(a, akTcbSpline, {{0, 0}, {1, 1}, {2, 0}, {3, 1}});
    // Equal spacing, shape 0: middle segment tA = (2B - P - A) / 2 = -0.5 and
    // tB = (B - A) + (N - A) = -2 with N = B: 0.5 - 0.0625 + 0.25.
    EXPECT_DOUBLE_EQ(At(a, 1.5), 0.6875);
    // Continuity 0.5 at A (key 1): aP = 1.5, aN = 0.5, tA = (0 * 1.5 + 0.5 * -1) * 0.5.
    a.Keys.Get(1)->Continuity = 0.5f;
    EXPECT_DOUBLE_EQ(At(a, 1.5), 0.5 + 0.125 * -0.25 + 0.25);
    // Full tension flattens both tangents: the curve is the smoothstep.
    TAnim t;
    Fill(t, akTcbSpline, {{0, 0}, {1, 1}});
    t.Keys.Get(0)->Tension = 1.0f;
    t.Keys.Get(1)->Tension = 1.0f;
    EXPECT_DOUBLE_EQ(At(t, 0.25), 0.15625);
    for (int k = 0; k < 2; k++)
        EXPECT_EQ(At(t, k), k);
}

TEST(Anim, TcbSplineTimeFactors) {
    // Unequal spacing: in the segment 1..3, sA = span / (B - P) = 2 / 3 and
    // sB = span / (N - A) = 1 (N = B): tA = -2/3, tB = -2.
    TAnim a;
    Fill(a, akTcbSpline, {{0, 0}, {1, 1}, {3, 0}});
    double tA = static_cast<float>(-1.0 * static_cast<float>(2.0f / 3.0f));
    EXPECT_NEAR(At(a, 2.0), 0.5 + 0.125 * tA + 0.25, 1e-12);
}

namespace {

// A quaternion track whose keys are rotations about z by the given angles.
void FillQuat(TAnim& a, std::initializer_list<std::pair<float, float>> keys) {
    a.Kind = akQuatSpline;
    a.SetValueCount(4);
    for (auto [t, angle] : keys) {
        TQuat q = TQuaternion::FromAxisAngle(angle, 0, 0, 1);
        TAnimKey* k = a.AddKey();
        k->Time = t;
        k->Values[0].Value = q.x; // stored x, y, z, w
        k->Values[1].Value = q.y;
        k->Values[2].Value = q.z;
        k->Values[3].Value = q.w;
    }
}

void ExpectZRotation(const TAnim& a, double angleDeg) {
    double h = angleDeg * M_PI / 360.0;
    EXPECT_NEAR(a.Values[0].Value, 0.0, 1e-6);
    EXPECT_NEAR(a.Values[1].Value, 0.0, 1e-6);
    EXPECT_NEAR(a.Values[2].Value, std::sin(h), 1e-6);
    EXPECT_NEAR(a.Values[3].Value, std::cos(h), 1e-6);
}

} // namespace

TEST(Anim, QuaternionSplineOnOneAxis) {
    // Two keys, shape 0: the inner control points fall at 1/3 and 2/3 of the
    // arc, so the spline turns at constant speed.
    TAnim a;
    FillQuat(a, {{0, 0}, {1, 90}});
    ASSERT_TRUE(a.Evaluate(0.5));
    ExpectZRotation(a, 45);
    ASSERT_TRUE(a.Evaluate(0.25));
    ExpectZRotation(a, 22.5);
    ASSERT_TRUE(a.Evaluate(1.0));
    ExpectZRotation(a, 90);
    // Full tension puts the control points on the keys: ease in and out,
    // 3u^2 - 2u^3 of the arc.
    a.Keys.Get(0)->Tension = 1.0f;
    a.Keys.Get(1)->Tension = 1.0f;
    ASSERT_TRUE(a.Evaluate(0.25));
    ExpectZRotation(a, 90 * 0.15625);
}

TEST(Anim, QuaternionSplineIgnoresRepeatAndPassesThroughKeys) {
    TAnim a;
    FillQuat(a, {{0, 0}, {1, 60}, {2, 90}, {3, 150}});
    a.Repeat = true;
    for (int k = 0; k < 4; k++) {
        ASSERT_TRUE(a.Evaluate(k));
        ExpectZRotation(a, std::vector<double>{0, 60, 90, 150}[k]);
    }
    ASSERT_TRUE(a.Evaluate(7.0));
    ExpectZRotation(a, 150);
}

TEST(Anim, KeysWithFewerSlotsThanTheAnimationReadAsZero) {
    TAnim a;
    a.Kind = akLinear;
    a.SetValueCount(1);
    a.AddKey()->Values[0].Value = 1.0;
    a.SetValueCount(3); // keys already exist and keep one slot
    TAnimKey* k = a.AddKey();
    k->Time = 2.0f;
    k->Values[0].Value = 3.0;
    ASSERT_TRUE(a.Evaluate(1.0));
    EXPECT_EQ(a.Values[0].Value, 2.0);
    EXPECT_EQ(a.Values[2].Value, 0.0);
    for (uint8_t kind = 0; kind <= 4; kind++) {
        a.Kind = kind;
        EXPECT_TRUE(a.Evaluate(0.5));
        EXPECT_TRUE(a.Evaluate(5.0));
    }
}

TEST(Anim, EqualKeyTimesDoNotCrash) {
    for (uint8_t kind = 0; kind <= 4; kind++) {
        TAnim a;
        a.Kind = kind;
        a.SetValueCount(4);
        for (int i = 0; i < 4; i++)
            a.AddKey()->Time = i < 2 ? 1.0f : 2.0f;
        EXPECT_TRUE(a.Evaluate(1.5));
        EXPECT_TRUE(a.Evaluate(std::nan("")));
    }
}
