#include "demo/core/Debug.h"

#include "platform/DebugSink.h"
#include "platform/Format.h"

#include <cmath>
#include <string>

void TDebug::Log(std::string_view text) {
    if (platformOutput_) DebugOutput(text);
}

void TDebug::SendValue(std::string_view name, uint8_t kind, float value) {
    (void)kind; // only one kind exists; it is not shown
    // A zero frame duration gives an infinite rate: such values never leave.
    if (!std::isfinite(value)) return;
    if (platformOutput_) DebugOutput(Format("%.*s = %g", static_cast<int>(name.size()), name.data(), value));
}

TDebug& DebugChannel() {
    static TDebug channel;
    return channel;
}
