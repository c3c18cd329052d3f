// The high-resolution counter: 64-bit ticks of CLOCK_MONOTONIC and their rate.
#pragma once

#include <cstdint>

int64_t QueryPerformanceCounter();
int64_t QueryPerformanceFrequency();
