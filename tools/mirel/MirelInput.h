// What the mirel commands share for the files they read: every failure comes
// out as one line on standard error that names the file it concerns, with
// exit status 1 (main prints the message of the exception that reaches it).
#pragma once

#include "tools/mirel/Mirel.h"

#include <functional>

// The message on one line (line breaks become "; "), preceded by "FILE: "
// unless it already names the file.
std::string MessageNamingFile(const std::string& file, const std::string& message);

// Runs work; an error it raises is raised again with its message naming file.
int RunNamingFile(const std::string& file, const std::function<int()>& work);

// A command whose errors name its first argument that is not an option (the
// archive of mirel list, verify and extract).
template <MirelRun run> int NamingFirstFile(const MirelArgs& args) {
    std::string file;
    for (const std::string& a : args)
        if (!a.empty() && a[0] != '-') {
            file = a;
            break;
        }
    return RunNamingFile(file, [&] { return run(args); });
}

// Reads a whole input file. A missing or unreadable file, a directory and an
// empty file raise errors naming it.
std::vector<uint8_t> ReadInputFile(const std::string& path);

// Checks that bytes are a whole markup text as the XML scanner reads it (a
// demo script or any XML): not empty, no control bytes other than tab, line
// breaks and form feed, and not cut short: every tag, comment and section is
// closed and every element that is opened is closed again. Raises an error
// naming file otherwise.
void CheckMarkupText(const std::string& file, const std::vector<uint8_t>& bytes);
