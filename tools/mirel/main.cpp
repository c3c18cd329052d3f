// mirel: pack, list, extract and verify archives, dump scripts and scenes,
// evaluate expressions, inspect and convert images and fonts.
#include "tools/mirel/Mirel.h"

#include "platform/Exception.h"
#include "platform/Format.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <unistd.h>

#ifndef ZUMBRIX_VERSION
#define ZUMBRIX_VERSION "0.1.0"
#endif

namespace {

struct Command {
    const char* usage;
    MirelRun run;
};

std::map<std::string, Command>& Commands() {
    static std::map<std::string, Command> commands;
    return commands;
}

void PrintHelp(FILE* to) {
    std::fprintf(to, "usage: mirel COMMAND [ARGS...]\n"
                     "       mirel --help | -h | --version\n\n"
                     "mirel builds and looks inside the data of the Zumbrix demo: archives,\n"
                     "scripts, pictures, console fonts, scene files and vertex programs.\n\n"
                     "commands:\n");
    for (const auto& [name, command] : Commands())
        std::fprintf(to, "  %s\n", command.usage);
}

} // namespace

MirelCommandRegistration::MirelCommandRegistration(const char* name, const char* usage, MirelRun run) {
    Commands()[name] = {usage, run};
}

int MirelFail(const std::string& message) {
    std::fprintf(stderr, "%s\n", OneLineMessage(message).c_str());
    return 1;
}

int MirelUsage(const char* usage) {
    std::fprintf(stderr, "usage: %s\n", usage);
    return 2;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7f)
                out += Format("\\u%04x", c);
            else
                out += static_cast<char>(c);
        }
    }
    out += '"';
    return out;
}

std::string JsonFloat(float value) {
    if (!std::isfinite(value)) return "null";
    for (int precision = 6; precision <= 9; ++precision) {
        std::string text = Format("%.*g", precision, static_cast<double>(value));
        if (std::strtof(text.c_str(), nullptr) == value) return text;
    }
    return Format("%.9g", static_cast<double>(value));
}

std::string JsonDouble(double value) {
    if (!std::isfinite(value)) return "null";
    return Format("%.17g", value);
}

void WriteThroughTemporary(const std::string& path, const std::function<void(const std::string&)>& write) {
    std::string temp = path + ".partial";
    try {
        write(temp);
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        throw Exception(Format("Cannot write file \"%s\"", path.c_str()));
    }
}

void WriteFileAtomically(const std::string& path, const void* data, size_t size) {
    WriteThroughTemporary(path, [&](const std::string& temp) {
        FILE* f = std::fopen(temp.c_str(), "wb");
        if (!f) throw Exception(Format("Cannot create file \"%s\". %s", path.c_str(), std::strerror(errno)));
        bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
        ok = (std::fclose(f) == 0) && ok;
        if (!ok) throw Exception(Format("Cannot write file \"%s\"", path.c_str()));
    });
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw Exception(Format("Couldn't open the file named %s", path.c_str()));
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
    return bytes;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintHelp(stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("mirel %s\n", ZUMBRIX_VERSION);
        return 0;
    }
    auto it = Commands().find(argv[1]);
    if (it == Commands().end()) {
        std::fprintf(stderr, "mirel: unknown command '%s'\n", argv[1]);
        PrintHelp(stderr);
        return 2;
    }
    MirelArgs args(argv + 2, argv + argc);
    try {
        return it->second.run(args);
    } catch (const std::exception& e) {
        return MirelFail(e.what());
    }
}
