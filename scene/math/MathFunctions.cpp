#include "scene/math/MathFunctions.h"

#include <cmath>

int32_t Min(int32_t a, int32_t b) {
    return a < b ? a : b;
}
int64_t Min(int64_t a, int64_t b) {
    return a < b ? a : b;
}
float Min(float a, float b) {
    return a < b ? a : b;
}
double Min(double a, double b) {
    return a < b ? a : b;
}
int32_t Max(int32_t a, int32_t b) {
    return a > b ? a : b;
}
int64_t Max(int64_t a, int64_t b) {
    return a > b ? a : b;
}
float Max(float a, float b) {
    return a > b ? a : b;
}
double Max(double a, double b) {
    return a > b ? a : b;
}

static constexpr double kPi = 3.14159265358979323846;

double DegToRad(double degrees) {
    return degrees * (kPi / 180.0);
}
double RadToDeg(double radians) {
    return radians * (180.0 / kPi);
}

void SinCos(double angle, double& sine, double& cosine) {
    sine = std::sin(angle);
    cosine = std::cos(angle);
}

double ArcTan2(double y, double x) {
    return std::atan2(y, x);
}

double ArcCos(double x) {
    // Rounding can push a cosine a hair past +-1; sqrt of a negative number
    // would then give NaN, so clamp first.
    if (x > 1.0) x = 1.0;
    if (x < -1.0) x = -1.0;
    return ArcTan2(std::sqrt(1.0 - x * x), x);
}

double Log2(double x) {
    return std::log2(x);
}

double IntPower(double base, int32_t n) {
    // Work with the magnitude as a 64-bit number so that n = INT32_MIN has a
    // representable absolute value.
    int64_t e = n;
    bool reciprocal = e < 0;
    if (reciprocal) e = -e;
    double result = 1.0;
    double square = base;
    while (e != 0) {
        if (e & 1) result *= square;
        e >>= 1;
        if (e != 0) square *= square;
    }
    return reciprocal ? 1.0 / result : result;
}

double Power(double base, double exponent) {
    if (exponent == 0.0) return 1.0;
    if (base == 0.0 && exponent > 0.0) return 0.0;
    if (std::trunc(exponent) == exponent && std::fabs(exponent) <= 2147483647.0)
        return IntPower(base, static_cast<int32_t>(exponent));
    return std::exp2(exponent * std::log2(base));
}

float FloatRemainder(float x, float p) {
    return x - p * std::trunc(x / p);
}
double FloatRemainder(double x, double p) {
    return x - p * std::trunc(x / p);
}
