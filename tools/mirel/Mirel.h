// The mirel command registry and the helpers its commands share.
//
// Each source file of tools/mirel registers one or more top-level commands
// with a MirelCommandRegistration at namespace scope. A command gets its
// arguments (without "mirel" and without its own name) and returns the exit
// code. Failures print the system's own message on standard error and return 1.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

using MirelArgs = std::vector<std::string>;
using MirelRun = int (*)(const MirelArgs& args);

struct MirelCommandRegistration {
    MirelCommandRegistration(const char* name, const char* usage, MirelRun run);
};

// Prints "mirel: <message>" style failure text (just the message) to stderr, returns 1.
int MirelFail(const std::string& message);
// Prints the usage line of a command to stderr, returns 2.
int MirelUsage(const char* usage);

// JSON text helpers.
std::string
JsonString(std::string_view text); // quoted, escaped; bytes >= 0x80 as \u00XX (Windows-1252 → Latin-1 view)
std::string JsonFloat(float value);   // shortest text that reads back as the same 32-bit float
std::string JsonDouble(double value); // %.17g

// Runs write(temporaryPath) and then renames the temporary file to path. On
// any failure the temporary is removed and the exception passes on, so no
// partial output is ever left behind.
void WriteThroughTemporary(const std::string& path, const std::function<void(const std::string&)>& write);
// Writes a file atomically: into a temporary beside it, then renamed. On any
// failure nothing is left behind and the exception passes on.
void WriteFileAtomically(const std::string& path, const void* data, size_t size);
// Reads a whole file; raises Exception("Couldn't open the file named %s") when it cannot.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
