// Short MP3 files for the music tests, made once per test program by
// gen_soundtrack, with the PCM they were encoded from.
#pragma once

#include "tests/support/TestSupport.h"

#include <cstdint>
#include <string>
#include <vector>

struct TestSoundtrack {
    std::string mp3Path;
    std::vector<uint8_t> mp3;      // the encoded file
    std::vector<int16_t> rendered; // the interleaved samples it was made from
};

// A soundtrack of the given length in seconds (made on first use, kept).
const TestSoundtrack& GetTestSoundtrack(double seconds);

// Root-mean-square of a range of samples, and of the difference of two.
double Rms(const int16_t* a, size_t count);
double RmsDifference(const int16_t* a, const int16_t* b, size_t count);
