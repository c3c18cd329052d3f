// Scalar helpers shared by the geometry code and the expression evaluator.
// Trigonometric functions work in radians.
#pragma once

#include <cstdint>

int32_t Min(int32_t a, int32_t b);
int64_t Min(int64_t a, int64_t b);
float Min(float a, float b);
double Min(double a, double b);
int32_t Max(int32_t a, int32_t b);
int64_t Max(int64_t a, int64_t b);
float Max(float a, float b);
double Max(double a, double b);

double DegToRad(double degrees); // degrees * pi / 180
double RadToDeg(double radians); // radians * 180 / pi

// Sine and cosine of one angle at once.
void SinCos(double angle, double& sine, double& cosine);

double ArcTan2(double y, double x);

// ArcTan2(sqrt(1 - x*x), x). x is clamped to [-1, 1] first, so a value pushed
// just outside the range by rounding gives 0 or pi instead of NaN.
double ArcCos(double x);

double Log2(double x);

// base^n by repeated squaring; n < 0 gives the reciprocal, n == 0 gives 1.
double IntPower(double base, int32_t n);

// base^exponent: 1 when exponent == 0, 0 when base == 0 and exponent > 0,
// IntPower when the exponent is integral and |exponent| <= 2147483647, else
// 2^(exponent * log2(base)). A negative base with a fractional exponent gives
// NaN, which callers that must not produce NaN check for themselves.
double Power(double base, double exponent);

// x - p * trunc(x / p): the remainder carries the sign of x (p == 0 gives NaN,
// so callers check the period). Both precisions
// exist because callers such as the key-frame animation compute in 32 bits.
float FloatRemainder(float x, float p);
double FloatRemainder(double x, double p);
