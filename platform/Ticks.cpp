#include "platform/Ticks.h"

#include <ctime>

int64_t QueryPerformanceCounter() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

int64_t QueryPerformanceFrequency() {
    return 1000000000LL;
}
