// Fuzzes the expression evaluator: any text either compiles or raises one of
// the evaluator's errors, and evaluating yields a finite number or an
// arithmetic error, never a signal, an infinity or a NaN.
#include "script/Parser.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TParser parser;
    std::string text(reinterpret_cast<const char*>(data), size);
    double quick = 0;
    bool took = TCustomParser::QuickValue(text, quick);
    try {
        parser.SetExpression(text);
    } catch (const EMathParserError&) {
        if (took) std::abort(); // the shortcut took a text the compiler rejects
        return 0;
    } catch (const EMathError&) {
        if (took) std::abort();
        return 0; // a literal too large for a double
    }
    try {
        long double v = parser.GetValue();
        if (!std::isfinite(v)) std::abort();
        // The shortcut for plain texts gives the very same double.
        double full = static_cast<double>(v);
        if (took && std::memcmp(&quick, &full, sizeof full) != 0) std::abort();
    } catch (const EMathError&) {
        if (took) std::abort();
    } catch (const EIntError&) {
        if (took) std::abort();
    }
    return 0;
}
