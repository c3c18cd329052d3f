// Fuzzes the expression evaluator: any text either compiles or raises one of
// the evaluator's errors, and evaluating yields a finite number or an
// arithmetic error, never a signal, an infinity or a NaN.
#include "script/Parser.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TParser parser;
    try {
        parser.SetExpression(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const EMathParserError&) {
        return 0;
    } catch (const EMathError&) {
        return 0; // a literal too large for a double
    }
    try {
        long double v = parser.GetValue();
        if (!std::isfinite(v)) std::abort();
    } catch (const EMathError&) {
    } catch (const EIntError&) {
    }
    return 0;
}
