// printf-style formatting into a std::string, for the engine's messages
// ("File (%d) is corrupt", "Couldn't open the file named %s", ...).
#pragma once

#include <string>

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A message on one line, for standard error and tool output: each run of line
// breaks (the evaluator separates the parts of its messages with "\r")
// becomes "; ", or a plain space right after a colon ("Error parsing
// expression: 2*; *0.5"); breaks at the start and the end are dropped.
std::string OneLineMessage(const std::string& message);
// A message for a message box: every "\r\n", "\r" and "\n" becomes one line break.
std::string MessageBoxText(const std::string& message);
