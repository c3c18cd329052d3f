// TCustomParser / TParser: the arithmetic expression evaluator that reads the
// times in demo scripts ("0.4+15*0.430", "47.17*1-1").
//
// Setting Expression compiles the text once into a flat list of steps ordered
// from the deepest operation to the root; reading Value runs the steps. The
// way a text is split into operations is fixed by a list of forms tried in
// order (see Parser.cpp), which decides the grouping where the usual
// precedence rules would differ (7*3MOD2 is 7*(3 MOD 2)).
//
// Compile errors are EMathParserError subclasses. Arithmetic faults during
// evaluation (division by zero, the logarithm of a non-positive number, a
// negative base with a fractional exponent, overflow, integer division by
// zero) raise EMathError / EIntError subclasses; Value never returns an
// infinity or a NaN.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Compile errors.
ZUMBRIX_EXCEPTION(EMathParserError, Exception);
ZUMBRIX_EXCEPTION(EExpressionHasBlanks, EMathParserError);  // "Expression has blanks"
ZUMBRIX_EXCEPTION(EMissMatchingBracket, EMathParserError);  // "Missing brackets in expression (%s)"
ZUMBRIX_EXCEPTION(ESyntaxError, EMathParserError);          // "Error parsing expression:\r%s\r%s"
ZUMBRIX_EXCEPTION(ETooManyNestings, EMathParserError);      // "Expression contains too many nestings"
ZUMBRIX_EXCEPTION(EExpressionTooComplex, EMathParserError); // "Expression is too complex"
ZUMBRIX_EXCEPTION(EParserInternalError, EMathParserError);  // "TParser internal error"

// Evaluation errors: floating-point faults ...
ZUMBRIX_EXCEPTION(EMathError, Exception);
ZUMBRIX_EXCEPTION(EZeroDivide, EMathError); // "Floating point division by zero"
ZUMBRIX_EXCEPTION(EInvalidOp, EMathError);  // "Invalid floating point operation (...)"
ZUMBRIX_EXCEPTION(EOverflow, EMathError);   // "Floating point overflow"
// ... and integer faults.
ZUMBRIX_EXCEPTION(EIntError, Exception);
ZUMBRIX_EXCEPTION(EDivByZero, EIntError);   // "Division by zero"
ZUMBRIX_EXCEPTION(EIntOverflow, EIntError); // "Integer overflow"

// The evaluator computes in extended precision and stores doubles.
using TParserFloat = long double;
using TParserFunc1 = TParserFloat (*)(TParserFloat x);
using TParserFunc2 = TParserFloat (*)(TParserFloat x, TParserFloat y);

// The limits of one compiled expression.
constexpr int kParserMaxNesting = 20;      // operations nested inside each other
constexpr int kParserMaxPerLevel = 50;     // operations at one depth
constexpr size_t kParserMaxLength = 65536; // characters (longer texts are too complex)

class TCustomParser {
public:
    TCustomParser();
    virtual ~TCustomParser();
    TCustomParser(const TCustomParser&) = delete;
    TCustomParser& operator=(const TCustomParser&) = delete;

    // Frees the previous compiled list, stores the text and compiles it when
    // it is not empty. A compile error propagates (or goes to OnParserError
    // when that is set) and leaves no compiled list.
    void SetExpression(const std::string& text);
    const std::string& GetExpression() const { return expression_; }
    // Runs the compiled steps; 0 when nothing is compiled.
    TParserFloat GetValue();
    bool HasCompiled() const { return root_ != nullptr; }

    // Called with compile errors instead of raising them, when set.
    std::function<void(TCustomParser& sender, const EMathParserError& error)> OnParserError;

    // Name tables (names are compared without regard to case).
    void AddVariable(const std::string& name, double* storage);
    void AddFunctionOneParam(const std::string& name, TParserFunc1 function);
    void AddFunctionTwoParam(const std::string& name, TParserFunc2 function);
    // The names in the tables, in upper case and sorted.
    std::vector<std::string> VariableNames() const;
    std::vector<std::string> FunctionNames(int arguments) const;

    // One compiled step; public only so the step routines can see it.
    struct TStep;
    using TRoutine = void (*)(const TStep& step);
    struct TStep {
        TRoutine Routine = nullptr;
        double* A = nullptr;      // first operand
        double* B = nullptr;      // second operand (two-operand routines)
        double* Result = nullptr; // result slot
        TParserFunc1 Func1 = nullptr;
        TParserFunc2 Func2 = nullptr;
        int64_t Exponent = 0; // integer power by a literal
    };

    // A shortcut for the plainest texts: unsigned decimal numbers joined by
    // "+", "-", "*" and "/" (no brackets, signs, exponents or names). Computes
    // exactly what compiling and evaluating the text would, and returns false,
    // touching nothing, for any other text and whenever that would raise an
    // error (the caller then compiles the text to get the error).
    static bool QuickValue(std::string_view text, double& value);

    // Number of compiled steps (for tests of the step list).
    size_t StepCount() const { return steps_.size(); }

private:
    class TCompiler;
    friend class TCompiler;
    void Compile(const std::string& text);
    void Clear();

    std::string expression_;
    std::map<std::string, double*, std::less<>> variables_;
    std::map<std::string, TParserFunc1, std::less<>> functions1_;
    std::map<std::string, TParserFunc2, std::less<>> functions2_;
    std::unique_ptr<TCompiler> compiler_; // kept between compiles to reuse its storage

    // The compiled form: constant and intermediate slots (reserved up front,
    // so their addresses stay put) and the steps from the deepest to the root.
    std::vector<double> slots_;
    std::vector<TStep> steps_;
    double* root_ = nullptr;
};

// The evaluator with the built-in functions and the eight variables.
class TParser : public TCustomParser {
public:
    TParser();

    double A = 0, B = 0, C = 0, D = 0, E = 0, T = 0, X = 0, Y = 0;
};

// Narrows an extended result to a double, raising EOverflow or EInvalidOp
// instead of storing an infinity or a NaN.
double ParserStore(TParserFloat value);
