// The process-wide debug sink that stands in for the platform's debug output.
// Silent by default; writes to standard error when ZUMBRIX_DEBUG=1 is set in
// the environment or a program turns it on (zumbrix --debug).
#pragma once

#include <string_view>

void DebugOutput(std::string_view text);
bool DebugOutputEnabled();
void SetDebugOutputEnabled(bool enabled);
