// printf-style formatting into a std::string, for the engine's messages
// ("File (%d) is corrupt", "Couldn't open the file named %s", ...).
#pragma once

#include <string>

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
