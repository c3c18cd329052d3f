// The evaluator's arithmetic: step routines and built-in functions, with every
// floating-point and integer fault turned into an exception.
#include "script/Parser.h"
#include "script/ParserSteps.h"

#include <cfloat>
#include <cmath>
#include <random>

namespace {

[[noreturn]] void ZeroDivide() {
    throw EZeroDivide("Floating point division by zero");
}
[[noreturn]] void Overflow() {
    throw EOverflow("Floating point overflow");
}
[[noreturn]] void InvalidOp(const char* why) {
    throw EInvalidOp(std::string("Invalid floating point operation (") + why + ")");
}

TParserFloat Divide(TParserFloat a, TParserFloat b) {
    if (b == 0) {
        if (a == 0) InvalidOp("zero divided by zero");
        ZeroDivide();
    }
    return a / b;
}

TParserFloat Ln(TParserFloat x) {
    if (x == 0) ZeroDivide(); // the logarithm of zero is minus infinity
    if (x < 0) InvalidOp("logarithm of a negative number");
    return std::log(x);
}

// Truncates toward zero to a 64-bit integer.
int64_t ToInt64(TParserFloat x) {
    TParserFloat t = std::trunc(x);
    if (!(t >= -9223372036854775808.0L && t < 9223372036854775808.0L)) throw EIntOverflow("Integer overflow");
    return static_cast<int64_t>(t);
}

// The one random source of RND and RANDOM: uniform on [0, 1), fixed seed so
// that a run can be repeated.
TParserFloat Random01() {
    static std::mt19937_64 generator(20261209u);
    return static_cast<TParserFloat>(generator() >> 11) * (1.0L / 9007199254740992.0L);
}

TParserFloat FSin(TParserFloat x) {
    return std::sin(x);
}
TParserFloat FCos(TParserFloat x) {
    return std::cos(x);
}
TParserFloat FTan(TParserFloat x) {
    return std::tan(x);
}
TParserFloat FCotan(TParserFloat x) {
    return Divide(1, std::tan(x));
}
TParserFloat FArcTan(TParserFloat x) {
    return std::atan(x);
}
TParserFloat FExp(TParserFloat x) {
    return std::exp(x);
}
TParserFloat FSinh(TParserFloat x) {
    return (std::exp(x) - std::exp(-x)) / 2;
}
TParserFloat FCosh(TParserFloat x) {
    return (std::exp(x) + std::exp(-x)) / 2;
}
TParserFloat FLn(TParserFloat x) {
    return Ln(x);
}
TParserFloat FLog10(TParserFloat x) {
    return Ln(x) / std::log(10.0L);
}
TParserFloat FLog2(TParserFloat x) {
    return Ln(x) / std::log(2.0L);
}
TParserFloat FSqr(TParserFloat x) {
    return x * x;
}
TParserFloat FSqrt(TParserFloat x) {
    if (x < 0) InvalidOp("square root of a negative number");
    return std::sqrt(x);
}
TParserFloat FAbs(TParserFloat x) {
    return std::fabs(x);
}
TParserFloat FTrunc(TParserFloat x) {
    return std::trunc(x);
}
TParserFloat FCeil(TParserFloat x) {
    return x - std::trunc(x) > 0 ? std::trunc(x + 1) : std::trunc(x);
}
TParserFloat FFloor(TParserFloat x) {
    return x - std::trunc(x) < 0 ? std::trunc(x - 1) : std::trunc(x);
}
TParserFloat FHeav(TParserFloat x) {
    return x >= 0 ? 1 : 0;
}
TParserFloat FSign(TParserFloat x) {
    return x > 0 ? 1 : (x == 0 ? 0 : -1);
}
TParserFloat FZero(TParserFloat x) {
    return x == 0 ? 0 : 1;
}
TParserFloat FPh(TParserFloat x) {
    TParserFloat q = x / 0.63661977236758134308L;
    return (q - std::nearbyint(q)) * 6.28318530717958647703L; // nearest integer, ties to even
}
TParserFloat FRnd(TParserFloat x) {
    return std::trunc(x) * Random01();
}
TParserFloat FRandom(TParserFloat) {
    return Random01();
}

TParserFloat FMax(TParserFloat x, TParserFloat y) {
    return x >= y ? x : y;
}
TParserFloat FMin(TParserFloat x, TParserFloat y) {
    return x >= y ? y : x;
}
TParserFloat FPower(TParserFloat x, TParserFloat y) {
    return ParserGeneralPower(x, y);
}
TParserFloat FIntPower(TParserFloat x, TParserFloat y) {
    TParserFloat n = std::trunc(y);
    if (std::fabs(n) >= 9223372036854775808.0L) Overflow();
    return ParserIntPower(x, static_cast<int64_t>(n));
}
TParserFloat FLogN(TParserFloat x, TParserFloat y) {
    return Divide(Ln(y), Ln(x));
}
TParserFloat FArg(TParserFloat x, TParserFloat y) {
    const TParserFloat pi = 3.14159265358979323846264338327950288L;
    if (x > 0) return std::atan(y / x);
    if (x < 0) return std::atan(y / x) + pi;
    return y > 0 ? pi / 2 : -pi / 2;
}

} // namespace

double ParserStore(TParserFloat value) {
    if (std::isnan(value)) InvalidOp("result is not a number");
    if (std::fabs(value) > static_cast<TParserFloat>(DBL_MAX)) Overflow();
    return static_cast<double>(value);
}

TParserFloat ParserIntPower(TParserFloat base, int64_t n) {
    uint64_t e = n < 0 ? 0 - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    TParserFloat result = 1, square = base;
    while (e != 0) {
        if (e & 1) result *= square;
        e >>= 1;
        if (e != 0) square *= square;
    }
    if (n < 0) {
        if (base == 0) ZeroDivide();
        if (result == 0) Overflow(); // the power underflowed: its reciprocal is too large
        result = 1 / result;
    }
    if (std::isinf(result)) Overflow();
    return result;
}

TParserFloat ParserGeneralPower(TParserFloat base, TParserFloat p) {
    if (p == 0) return 1;
    if (base == 0 && p > 0) return 0;
    if (p == std::trunc(p) && std::fabs(p) <= 2147483647.0L)
        return ParserIntPower(base, static_cast<int64_t>(p));
    if (base < 0) InvalidOp("negative base with a fractional exponent");
    if (base == 0) ZeroDivide();
    TParserFloat r = std::exp(p * std::log(base));
    if (std::isinf(r)) Overflow();
    return r;
}

// Step routines.
void StepPass(const TCustomParser::TStep&) {}
void StepNeg(const TCustomParser::TStep& s) {
    *s.Result = ParserStore(-static_cast<TParserFloat>(*s.A));
}
void StepAdd(const TCustomParser::TStep& s) {
    *s.Result = ParserStore(static_cast<TParserFloat>(*s.A) + static_cast<TParserFloat>(*s.B));
}
void StepSub(const TCustomParser::TStep& s) {
    *s.Result = ParserStore(static_cast<TParserFloat>(*s.A) - static_cast<TParserFloat>(*s.B));
}
void StepMul(const TCustomParser::TStep& s) {
    *s.Result = ParserStore(static_cast<TParserFloat>(*s.A) * static_cast<TParserFloat>(*s.B));
}
void StepDiv(const TCustomParser::TStep& s) {
    *s.Result = ParserStore(Divide(*s.A, *s.B));
}
void StepIntDiv(const TCustomParser::TStep& s) {
    int64_t a = ToInt64(*s.A), b = ToInt64(*s.B);
    if (b == 0) throw EDivByZero("Division by zero");
    if (a == INT64_MIN && b == -1) throw EIntOverflow("Integer overflow");
    *s.Result = static_cast<double>(a / b); // truncates toward zero
}
void StepMod(const TCustomParser::TStep& s) {
    int64_t a = ToInt64(*s.A), b = ToInt64(*s.B);
    if (b == 0) throw EDivByZero("Division by zero");
    *s.Result = b == -1 ? 0.0 : static_cast<double>(a % b); // sign of the dividend
}
void StepIntPower(const TCustomParser::TStep& s) {
    *s.Result = ParserStore(ParserIntPower(*s.A, s.Exponent));
}
void StepPower(const TCustomParser::TStep& s) {
    *s.Result = ParserStore(ParserGeneralPower(*s.A, *s.B));
}
void StepSquare(const TCustomParser::TStep& s) {
    TParserFloat a = *s.A;
    *s.Result = ParserStore(a * a);
}
void StepCube(const TCustomParser::TStep& s) {
    TParserFloat a = *s.A;
    *s.Result = ParserStore(a * (a * a));
}
void StepFourth(const TCustomParser::TStep& s) {
    TParserFloat a = *s.A;
    TParserFloat a2 = a * a;
    *s.Result = ParserStore(a2 * a2);
}
void StepFunc1(const TCustomParser::TStep& s) {
    *s.Result = ParserStore(s.Func1(*s.A));
}
void StepFunc2(const TCustomParser::TStep& s) {
    *s.Result = ParserStore(s.Func2(*s.A, *s.B));
}

TParser::TParser() {
    AddVariable("A", &A);
    AddVariable("B", &B);
    AddVariable("C", &C);
    AddVariable("D", &D);
    AddVariable("E", &E);
    AddVariable("T", &T);
    AddVariable("X", &X);
    AddVariable("Y", &Y);

    AddFunctionOneParam("TAN", FTan);
    AddFunctionOneParam("SIN", FSin);
    AddFunctionOneParam("COS", FCos);
    AddFunctionOneParam("SINH", FSinh);
    AddFunctionOneParam("COSH", FCosh);
    AddFunctionOneParam("ARCTAN", FArcTan);
    AddFunctionOneParam("COTAN", FCotan);
    AddFunctionOneParam("EXP", FExp);
    AddFunctionOneParam("LN", FLn);
    AddFunctionOneParam("LOG10", FLog10);
    AddFunctionOneParam("LOG2", FLog2);
    AddFunctionOneParam("SQR", FSqr);
    AddFunctionOneParam("SQRT", FSqrt);
    AddFunctionOneParam("ABS", FAbs);
    AddFunctionOneParam("TRUNC", FTrunc);
    AddFunctionOneParam("INT", FTrunc);
    AddFunctionOneParam("CEIL", FCeil);
    AddFunctionOneParam("FLOOR", FFloor);
    AddFunctionOneParam("HEAV", FHeav);
    AddFunctionOneParam("SIGN", FSign);
    AddFunctionOneParam("ZERO", FZero);
    AddFunctionOneParam("PH", FPh);
    AddFunctionOneParam("RND", FRnd);
    AddFunctionOneParam("RANDOM", FRandom);

    AddFunctionTwoParam("MAX", FMax);
    AddFunctionTwoParam("MIN", FMin);
    AddFunctionTwoParam("POWER", FPower);
    AddFunctionTwoParam("INTPOWER", FIntPower);
    AddFunctionTwoParam("LOGN", FLogN);
    AddFunctionTwoParam("ARG", FArg);
}
