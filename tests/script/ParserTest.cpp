// The expression evaluator: grouping decided by the form order, the step
// list, the limits, compile errors and arithmetic faults.
#include "script/DecimalText.h"
#include "script/Parser.h"
#include "script/ScriptDocument.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

double Eval(const std::string& text) {
    TParser parser;
    parser.SetExpression(text);
    return static_cast<double>(parser.GetValue());
}

std::string CompileError(const std::string& text) {
    TParser parser;
    try {
        parser.SetExpression(text);
    } catch (const EMathParserError& e) {
        EXPECT_FALSE(parser.HasCompiled());
        return e.what();
    }
    return "(compiled)";
}

std::string Repeat(const std::string& unit, int count, const std::string& separator) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out += (i ? separator : "") + unit;
    return out;
}

TEST(Parser, ScriptTimesWithSpacesRemoved) {
    EXPECT_DOUBLE_EQ(Eval("0.4+15*0.430"), 6.85);
    EXPECT_DOUBLE_EQ(Eval("47.17+7.5+8*1.75"), 68.67);
    EXPECT_DOUBLE_EQ(Eval("47.17*1-1"), 46.17);
}

TEST(Parser, BracketsSignsAndNames) {
    EXPECT_EQ(Eval("((2))"), 2);
    EXPECT_EQ(Eval("(1+2)*3"), 9);
    EXPECT_EQ(Eval("-(1+2)"), -3);
    EXPECT_DOUBLE_EQ(Eval("pi"), M_PI);
    EXPECT_DOUBLE_EQ(Eval("-PI"), -M_PI);
    EXPECT_EQ(Eval("2*e"), 0); // E is a variable, not Euler's number
    EXPECT_EQ(Eval("2*-3"), -6);
    EXPECT_EQ(Eval("2*(-A)"), 0);
    EXPECT_EQ(Eval("-2^2"), -4);
    EXPECT_EQ(Eval("  5  "), 5);
    EXPECT_EQ(Eval("((((1)+(2))))"), 3);
    EXPECT_DOUBLE_EQ(Eval("1E-3-1"), -0.999); // the exponent's sign is part of the literal
    EXPECT_EQ(Eval("2e+3"), 2000);
}

TEST(Parser, GroupingFollowsTheFormOrder) {
    EXPECT_EQ(Eval("10-2-3"), 5);
    EXPECT_EQ(Eval("10-2+3"), 11);
    EXPECT_EQ(Eval("8/4/2"), 1);
    EXPECT_DOUBLE_EQ(Eval("8DIV4/3"), 2.0 / 3.0);
    EXPECT_EQ(Eval("12/4*3"), 9);
    EXPECT_EQ(Eval("7*3MOD2"), 7);
    EXPECT_EQ(Eval("(7*3)MOD2"), 1);
    EXPECT_EQ(Eval("8*4DIV3"), 8);
    EXPECT_EQ(Eval("7DIV2"), 3);
    EXPECT_EQ(Eval("-7DIV2"), -3);
    EXPECT_EQ(Eval("-7MOD2"), -1);
    EXPECT_EQ(Eval("7MOD-2"), 1);
    EXPECT_EQ(Eval("2^(3^2)"), 512);
    EXPECT_EQ(Eval("(2^3)^2"), 64);
}

TEST(Parser, PowerSteps) {
    TParser parser;
    parser.SetExpression("2^3"); // one cube step
    EXPECT_EQ(parser.StepCount(), 1u);
    EXPECT_EQ(parser.GetValue(), 8);
    EXPECT_EQ(Eval("2^-1"), 0.5);
    EXPECT_EQ(Eval("3^4"), 81);
    EXPECT_EQ(Eval("2^10"), 1024);
    EXPECT_DOUBLE_EQ(Eval("2^0.5"), std::sqrt(2.0));
    EXPECT_EQ(Eval("2^X"), 1);
    EXPECT_EQ(Eval("0^0"), 1);
    EXPECT_EQ(Eval("(-2)^3"), -8);
    EXPECT_EQ(Eval("POWER(-2,3)"), -8);
    EXPECT_EQ(Eval("INTPOWER(2,3.9)"), 8);
}

TEST(Parser, Functions) {
    EXPECT_EQ(Eval("MAX(MIN(1,2),0)"), 1);
    EXPECT_EQ(Eval("ZERO(0)"), 0);
    EXPECT_EQ(Eval("ZERO(5)"), 1);
    EXPECT_EQ(Eval("sqr(3)"), 9);
    EXPECT_EQ(Eval("SQRT(16)"), 4);
    EXPECT_EQ(Eval("ABS(-2)"), 2);
    EXPECT_EQ(Eval("TRUNC(-2.5)"), -2);
    EXPECT_EQ(Eval("INT(2.5)"), 2);
    EXPECT_EQ(Eval("CEIL(2.1)"), 3);
    EXPECT_EQ(Eval("CEIL(-2.1)"), -2);
    EXPECT_EQ(Eval("FLOOR(-2.1)"), -3);
    EXPECT_EQ(Eval("FLOOR(2.9)"), 2);
    EXPECT_EQ(Eval("HEAV(0)"), 1);
    EXPECT_EQ(Eval("HEAV(-1)"), 0);
    EXPECT_EQ(Eval("SIGN(-3)"), -1);
    EXPECT_EQ(Eval("SIGN(0)"), 0);
    EXPECT_DOUBLE_EQ(Eval("LOG10(1000)"), 3);
    EXPECT_DOUBLE_EQ(Eval("LOG2(8)"), 3);
    EXPECT_DOUBLE_EQ(Eval("LOGN(2,8)"), 3);
    EXPECT_DOUBLE_EQ(Eval("EXP(LN(5))"), 5);
    EXPECT_DOUBLE_EQ(Eval("SINH(1)"), std::sinh(1.0));
    EXPECT_DOUBLE_EQ(Eval("COSH(1)"), std::cosh(1.0));
    EXPECT_DOUBLE_EQ(Eval("COTAN(1)"), 1 / std::tan(1.0));
    EXPECT_DOUBLE_EQ(Eval("ARG(0,1)"), M_PI / 2);
    EXPECT_DOUBLE_EQ(Eval("ARG(-1,0)"), M_PI);
    EXPECT_DOUBLE_EQ(Eval("ARG(0,0)"), -M_PI / 2);
    double q = 0.5 / 0.63661977236758134308; // the nearest whole number of q is 1
    EXPECT_NEAR(Eval("PH(0.5)"), (q - 1) * 6.283185307179586, 1e-12);
    EXPECT_NEAR(Eval("PH(2*0.63661977236758134308+0.1)"), 0.1 / 0.63661977236758134308 * 6.283185307179586,
                1e-9);
    double r = Eval("RANDOM(0)");
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 1);
    EXPECT_EQ(Eval("RND(0.9)"), 0);
}

TEST(Parser, NestingAndComplexityLimits) {
    EXPECT_EQ(Eval(std::string(200, '(') + "1" + std::string(200, ')')), 1); // brackets add no level
    EXPECT_EQ(Eval(Repeat("1", 21, "+")), 21);
    EXPECT_EQ(CompileError(Repeat("1", 22, "+")), "Expression contains too many nestings");
    EXPECT_EQ(Eval(Repeat("1", 21, "-")), -19);
    EXPECT_EQ(CompileError(Repeat("1", 22, "-")), "Expression contains too many nestings");
    EXPECT_EQ(CompileError(Repeat("1", 22, "*")), "Expression contains too many nestings");
    EXPECT_EQ(CompileError(Repeat("1", 22, "/")), "Expression contains too many nestings");
    // 51 operations at the second level: (1+1)*(1+1)*... has them side by side
    // only through brackets, which add no level.
    std::string wide = "MAX(" + Repeat("(1+1)", 2, ",") + ")";
    EXPECT_EQ(Eval(wide), 2);
    // A balanced tree of sums: level k holds 2^(k-1) operations, so level 7
    // holds 64, more than the 50 one level may hold.
    std::string tree = "1+1";
    for (int i = 0; i < 6; ++i)
        tree = "(" + tree + ")+(" + tree + ")";
    EXPECT_EQ(CompileError(tree), "Expression is too complex");
    std::string tree5 = "1+1";
    for (int i = 0; i < 5; ++i)
        tree5 = "(" + tree5 + ")+(" + tree5 + ")";
    EXPECT_EQ(Eval(tree5), 64);
    // Very deep brackets and very long texts fail at once instead of recursing.
    EXPECT_EQ(CompileError(std::string(300, '(') + "1" + std::string(300, ')')),
              "Expression contains too many nestings");
    EXPECT_EQ(CompileError(Repeat("1", 5000, "-")), "Expression is too complex");
    EXPECT_EQ(CompileError(std::string(70000, '1')), "Expression is too complex");
    EXPECT_EQ(CompileError("1" + std::string(3000, '-') + "1").substr(0, 5), "Error");
}

TEST(Parser, CompileErrors) {
    EXPECT_EQ(CompileError("1 2"), "Expression has blanks");
    EXPECT_EQ(CompileError("(1"), "Missing brackets in expression (\")\")");
    EXPECT_EQ(CompileError("1)"), "Missing brackets in expression (\"(\")");
    EXPECT_EQ(CompileError(")1("), "Error parsing expression:\r)1(");
    EXPECT_EQ(CompileError("2^3^2"), "Error parsing expression:\r2\r3^2");
    EXPECT_EQ(CompileError("2*-A"), "Error parsing expression:\r2\r-A");
    EXPECT_EQ(CompileError("A+-B").substr(0, 25), "Error parsing expression:");
    EXPECT_EQ(CompileError("abc"), "Error parsing expression:\rABC");
    EXPECT_EQ(CompileError("1\t+2").substr(0, 25), "Error parsing expression:");
    EXPECT_EQ(CompileError("()").substr(0, 25), "Error parsing expression:");

    // The handler takes the error instead of letting it propagate.
    TParser parser;
    std::string seen;
    parser.OnParserError = [&](TCustomParser&, const EMathParserError& e) { seen = e.what(); };
    parser.SetExpression("1 2");
    EXPECT_EQ(seen, "Expression has blanks");
    EXPECT_EQ(parser.GetValue(), 0);
}

TEST(Parser, EmptyTextAndRecompiling) {
    TParser parser;
    parser.SetExpression("");
    EXPECT_FALSE(parser.HasCompiled());
    EXPECT_EQ(parser.GetValue(), 0);
    parser.SetExpression("1+2");
    EXPECT_EQ(parser.GetValue(), 3);
    EXPECT_THROW(parser.SetExpression("1+"), ESyntaxError);
    EXPECT_EQ(parser.GetValue(), 0); // the failed text left no compiled list
    // Variables are read each time the value is.
    parser.SetExpression("X*2");
    parser.X = 4;
    EXPECT_EQ(parser.GetValue(), 8);
    parser.X = 5;
    EXPECT_EQ(parser.GetValue(), 10);
}

TEST(Parser, ArithmeticFaultsRaiseInsteadOfInfinityOrNaN) {
    TParser parser;
    parser.SetExpression("1/0"); // compiles; fails when evaluated
    EXPECT_THROW(parser.GetValue(), EZeroDivide);
    EXPECT_THROW(Eval("0/0"), EInvalidOp);
    EXPECT_THROW(Eval("LN(0)"), EZeroDivide);
    EXPECT_THROW(Eval("LN(-1)"), EInvalidOp);
    EXPECT_THROW(Eval("LOG10(0-1)"), EInvalidOp);
    EXPECT_THROW(Eval("LOGN(1,5)"), EZeroDivide);
    EXPECT_THROW(Eval("SQRT(-1)"), EInvalidOp);
    EXPECT_THROW(Eval("(-8)^(1/3)"), EInvalidOp);
    EXPECT_THROW(Eval("POWER(-8,0.5)"), EInvalidOp);
    EXPECT_THROW(Eval("0^-1"), EZeroDivide);
    EXPECT_THROW(Eval("10^400"), EOverflow);
    EXPECT_THROW(Eval("EXP(100000)"), EOverflow);
    EXPECT_THROW(Eval("1E308*10"), EOverflow);
    EXPECT_THROW(Eval("1E999"), EOverflow);
    EXPECT_THROW(Eval("COTAN(0)"), EZeroDivide);
    EXPECT_THROW(Eval("7DIV0"), EDivByZero);
    EXPECT_THROW(Eval("7MOD0"), EDivByZero);
    EXPECT_THROW(Eval("1E300DIV1"), EIntOverflow);
    EXPECT_EQ(Eval("1E-999"), 0); // underflow reads as zero
    try {
        Eval("1/0");
    } catch (const EMathError& e) {
        EXPECT_STREQ(e.what(), "Floating point division by zero");
    }
}

} // namespace

namespace {

// The shortcut for plain texts must agree with compiling, bit for bit, and
// must decline whatever compiling would reject or fail on.
TEST(ParserQuickValue, AgreesWithTheCompiledSteps) {
    const char* numbers[] = {"0",    "1",  "2",   "0.430",   "47.17", "7.5",
                             "1.75", "3.", ".25", "1000000", "0.1",   "9"};
    const char ops[] = {'+', '-', '*', '/'};
    uint32_t seed = 12345;
    auto next = [&](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = numbers[next(12)];
        int count = static_cast<int>(next(25));
        for (int i = 0; i < count; ++i)
            text += std::string(1, ops[next(4)]) + numbers[next(12)];
        TParser parser;
        double quick = 0;
        bool took = TCustomParser::QuickValue(text, quick);
        double full = 0;
        bool fails = false;
        try {
            parser.SetExpression(text);
            full = static_cast<double>(parser.GetValue());
        } catch (const Exception&) {
            fails = true;
        }
        if (fails) {
            EXPECT_FALSE(took) << text;
        } else if (took) {
            EXPECT_EQ(std::memcmp(&quick, &full, sizeof quick), 0) << text << " " << quick << " " << full;
            ++compared;
        }
    }
    EXPECT_GT(compared, 1000);
}

TEST(ParserQuickValue, DeclinesOtherTexts) {
    double v = 0;
    EXPECT_TRUE(TCustomParser::QuickValue("0.4+15*0.430", v));
    EXPECT_DOUBLE_EQ(v, 6.85);
    for (const char* text : {"", "-1", "1+-2", "(1)", "A", "1E5", "1 + 2", "1+", "1/0", "2^2", "1.2.3",
                             "1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1+1"}) {
        v = 42;
        EXPECT_FALSE(TCustomParser::QuickValue(text, v)) << text;
        EXPECT_EQ(v, 42);
    }
}

} // namespace

namespace {

double FromChars(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The shortcut for plain decimals must give the very bits of the general
// conversion, and must leave alone what lies beyond its exact range.
TEST(PlainDecimal, ReadsExactlyAsTheGeneralConversion) {
    std::vector<std::string> texts = {"0",
                                      "0.430",
                                      ".5",
                                      "3.",
                                      "9007199254740992",         // 2^53: the largest exact mantissa
                                      "900719925474099.2",        // the same digits with a fraction
                                      "0.1234567890123456789012", // 22 fraction digits
                                      "0000000000000000001.5"};
    uint32_t seed = 777;
    auto next = [&](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        int whole = static_cast<int>(next(10)), fraction = static_cast<int>(next(18));
        for (int d = 0; d < whole; ++d)
            text += static_cast<char>('0' + next(10));
        if (fraction > 0 || whole == 0) text += '.';
        for (int d = 0; d < fraction || (whole == 0 && d == 0); ++d)
            text += static_cast<char>('0' + next(10));
        texts.push_back(text);
    }
    int read = 0;
    for (const std::string& text : texts) {
        double fast = -1;
        if (!ReadPlainDecimal(text.data(), text.data() + text.size(), fast)) continue;
        double general = FromChars(text);
        EXPECT_EQ(std::memcmp(&fast, &general, sizeof fast), 0) << text;
        ++read;
    }
    EXPECT_GT(read, 12000);

    // Beyond the exact range, and other forms, are declined untouched.
    for (const char* text : {"9007199254740993", "12345678901234567890", "0.12345678901234567890123", "1e5",
                             "-1", "+1", "", ".", "1.2.3", "1 "}) {
        double value = 42;
        EXPECT_FALSE(ReadPlainDecimal(text, text + std::strlen(text), value)) << text;
        EXPECT_EQ(value, 42);
    }
    // The number reader keeps signs and whatever the shortcut declines.
    EXPECT_EQ(StrToFloat(" -0.5 "), -0.5);
    EXPECT_TRUE(std::signbit(StrToFloat("-0")));
    EXPECT_EQ(StrToFloat("9007199254740993"), 9007199254740992.0);
    EXPECT_EQ(StrToFloat("+2.5e1"), 25.0);
    EXPECT_THROW(StrToFloat("0x10"), EConvertError);
}

} // namespace
