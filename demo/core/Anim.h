// Key-frame animation of a few values (one to four): script controls animate
// effect parameters with it, the scene loader node positions and rotations.
// An animation is evaluated at a time in seconds and leaves the interpolated
// values in its Values array, which users read directly.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// The most values one animation carries (a colour or a quaternion).
constexpr int32_t kMaxAnimValues = 4;

// One animated value: the value itself and the tangents the cardinal spline
// uses at a key (ignored by the other kinds).
struct TAnimValue {
    double Value = 0.0;
    float InTangent = 0.0f;
    float OutTangent = 0.0f;
};

// One key frame. Tension, Bias and Continuity shape the TCB and quaternion
// splines; Time is in seconds.
struct TAnimKey {
    int32_t ValueCount = 0;
    float Tension = 0.0f;
    float Bias = 0.0f;
    float Continuity = 0.0f;
    float Time = 0.0f;
    std::vector<TAnimValue> Values; // ValueCount slots
};

// The keys of an animation in the order they were added (callers add them in
// ascending time; nothing is sorted). The list owns its keys.
class TAnimKeyList {
public:
    // Appends a zeroed key with DefaultValueCount value slots.
    TAnimKey* Add();
    // The key at index, or nullptr when the index lies outside the list.
    TAnimKey* Get(int32_t index) const;
    int32_t Count() const { return static_cast<int32_t>(keys_.size()); }

    int32_t DefaultValueCount = 0; // value count given to new keys

private:
    std::vector<std::unique_ptr<TAnimKey>> keys_;
};

// Interpolation kinds.
enum TAnimKind : uint8_t {
    akHold = 0,           // each value stays at the earlier key's value
    akLinear = 1,         // straight line between two keys
    akTcbSpline = 2,      // Kochanek-Bartels spline (tension, continuity, bias)
    akCardinalSpline = 3, // Hermite spline with half-chord tangents ("spline" in scripts)
    akQuatSpline = 4,     // spherical spline of a quaternion stored x, y, z, w
};

class TAnim {
public:
    TAnim() = default;

    // Sets the number of animated values (clamped to 0..kMaxAnimValues) and
    // resizes Values; an empty key list also takes it as its default count.
    void SetValueCount(int32_t n);
    void SetRepeat(bool repeat) { Repeat = repeat; }
    void SetRepeatStart(float start) { RepeatStart = start; }

    // Appends a key with the key list's default value count, every field zero;
    // the caller fills time, values and the shape parameters.
    TAnimKey* AddKey() { return Keys.Add(); }

    // Computes the values at time (seconds). Returns false, leaving Values as
    // they were, only when there are no keys. Allocates nothing.
    bool Evaluate(double time);

    int32_t ValueCount = 0;
    bool AutoTangents = false; // the cardinal spline computes (and stores) its tangents
    bool Repeat = false;       // hold and linear loop after the last key
    float RepeatStart = 0.0f;  // start of the looped span, seconds
    TAnimKeyList Keys;
    std::vector<TAnimValue> Values; // result of the last Evaluate (only Value is written)
    uint8_t Kind = akTcbSpline;

private:
    void CopyKeyValues(const TAnimKey* key);
    void EvaluateCardinal(double x, TAnimKey* p, TAnimKey* a, TAnimKey* b, TAnimKey* n, int32_t slots);
    void EvaluateTcb(double x, TAnimKey* p, TAnimKey* a, TAnimKey* b, TAnimKey* n, int32_t slots);
    void EvaluateQuatSpline(double x, TAnimKey* p, TAnimKey* a, TAnimKey* b, TAnimKey* n);
};
