// The common case of reading a number from script text, without the general
// conversion: an unsigned decimal "123", "0.430" or ".5" whose digits make an
// integer of at most 2^53 and whose fraction has at most 22 digits. Such a
// number is that integer divided by a power of ten, and both are exact
// doubles, so one correctly rounded division gives exactly what
// std::from_chars would. Anything else is left to std::from_chars.
#pragma once

#include <cstdint>

// What ScanDecimal found.
struct TDecimalScan {
    const char* End = nullptr; // just past the digits (and "." with its fraction)
    int Digits = 0;            // digits read; zero when no number starts here
    bool Exact = false;        // Value holds the number as the general conversion reads it
    double Value = 0;
};

// Reads the longest "digits[.digits]" (or ".digits") from first: no sign, no
// exponent.
inline TDecimalScan ScanDecimal(const char* first, const char* last) {
    static constexpr double kPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    TDecimalScan scan;
    uint64_t mantissa = 0;
    int fractionDigits = 0;
    const char* p = first;
    for (; p < last && *p >= '0' && *p <= '9'; ++p, ++scan.Digits)
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    if (p < last && *p == '.') {
        for (++p; p < last && *p >= '0' && *p <= '9'; ++p, ++scan.Digits, ++fractionDigits)
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    }
    scan.End = p;
    // 19 digits cannot overflow 64 bits; beyond that the mantissa is unknown.
    scan.Exact =
        scan.Digits > 0 && scan.Digits <= 19 && fractionDigits <= 22 && mantissa <= (uint64_t{1} << 53);
    if (scan.Exact)
        scan.Value = fractionDigits == 0 ? static_cast<double>(mantissa)
                                         : static_cast<double>(mantissa) / kPowersOfTen[fractionDigits];
    return scan;
}

// Reads the whole of [first, last) as such a number; false (value untouched)
// when the text has another form or is beyond the exact range.
inline bool ReadPlainDecimal(const char* first, const char* last, double& value) {
    TDecimalScan scan = ScanDecimal(first, last);
    if (scan.End != last || !scan.Exact) return false;
    value = scan.Value;
    return true;
}
