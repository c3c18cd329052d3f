#include "platform/DebugSink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int& EnabledState() {
    // -1: not decided yet, read the environment on first use.
    static int state = -1;
    return state;
}

} // namespace

bool DebugOutputEnabled() {
    int& state = EnabledState();
    if (state < 0) {
        const char* env = std::getenv("ZUMBRIX_DEBUG");
        state = (env && *env && std::strcmp(env, "0") != 0) ? 1 : 0;
    }
    return state == 1;
}

void SetDebugOutputEnabled(bool enabled) {
    EnabledState() = enabled ? 1 : 0;
}

void DebugOutput(std::string_view text) {
    if (!DebugOutputEnabled()) return;
    std::fwrite(text.data(), 1, text.size(), stderr);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
    std::fflush(stderr);
}
