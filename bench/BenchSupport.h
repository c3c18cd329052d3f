// What the benchmark programs share: seconds from the high-resolution clock
// and the best of several runs of a piece of work.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/Ticks.h"

inline double Seconds(int64_t ticks) {
    return double(ticks) / double(QueryPerformanceFrequency());
}

// The shortest wall time of `runs` runs of body, in seconds.
template <class F> double Best(int runs, F&& body) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        int64_t t0 = QueryPerformanceCounter();
        body();
        best = std::min(best, Seconds(QueryPerformanceCounter() - t0));
    }
    return best;
}
