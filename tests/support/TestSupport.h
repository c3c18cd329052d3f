// Helpers shared by the test programs: scratch folders, running the built
// tools, reading and writing whole files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct CommandResult {
    int exitCode = -1;
    std::string out; // standard output
    std::string err; // standard error
};

// Runs a program with arguments (no shell), capturing both outputs.
CommandResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::string& stdinText = "");
// The built tools.
inline CommandResult RunMirel(const std::vector<std::string>& args) {
    return RunProgram(MIREL_PATH, args);
}
inline CommandResult RunZumbrix(const std::vector<std::string>& args) {
    return RunProgram(ZUMBRIX_PATH, args);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
// A path inside the source tree, e.g. SourcePath("content/zumbrix.xml").
std::string SourcePath(const std::string& relative);
