// mirel bundle: one executable file that plays a demo of one's own. The
// result is a copy of the zumbrix program with the archive (and the caption
// asked for) appended behind a trailer that start-up looks for
// (platform/Bundle.h).
#include "tools/mirel/Mirel.h"
#include "tools/mirel/MirelInput.h"

#include "data/Stream.h"
#include "data/ZLBArchive.h"
#include "data/ZLBArchiveWriter.h"
#include "platform/Bundle.h"
#include "platform/Exception.h"
#include "platform/Format.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#ifndef ZUMBRIX_INSTALL_BINDIR
#define ZUMBRIX_INSTALL_BINDIR "/usr/local/bin"
#endif

namespace {

namespace fs = std::filesystem;

const char* kBundleUsage = "bundle (ARCHIVE | DIR) -o OUT [--title TEXT] [--force] [--engine PATH]";

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return text;
}

// Members already compressed gain nothing from deflating: they are stored,
// as the build stores the demo's own.
bool StoredKind(const std::string& name) {
    const std::string lower = Lower(name);
    for (const char* ext : {".jpg", ".jpeg", ".png", ".mp3"})
        if (lower.size() > std::strlen(ext) &&
            lower.compare(lower.size() - std::strlen(ext), std::string::npos, ext) == 0)
            return true;
    return false;
}

// Packs every file under a folder (the layout of a --data folder: scripts at
// the top, the rest in sub-folders) into an archive in memory. Members are
// found by file name alone, so two files of the same name are refused.
std::vector<uint8_t> PackFolder(const std::string& folder) {
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    TMemoryStream out;
    TZLBArchiveWriter writer(out);
    std::vector<std::pair<std::string, std::string>> seen; // lower-case name, path
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        for (const auto& [lower, path] : seen)
            if (lower == Lower(name))
                throw Exception(Format("%s and %s have the same name; the demo finds its files by name alone",
                                       path.c_str(), file.string().c_str()));
        seen.emplace_back(Lower(name), file.string());
        RunNamingFile(file.string(), [&] {
            TFileStream input(file.string(), TFileStream::fmOpenRead);
            writer.AddMemberFromStream(name, input, StoredKind(name));
            return 0;
        });
    }
    writer.Finish();
    return out.Bytes();
}

// The zumbrix program to copy: the one named, the one beside this mirel, or
// the installed one.
std::string FindEngine(const std::string& asked) {
    if (!asked.empty()) return asked;
    std::vector<std::string> candidates;
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0)
        candidates.push_back((fs::path(std::string(self, size_t(n))).parent_path() / "zumbrix").string());
    candidates.push_back(std::string(ZUMBRIX_INSTALL_BINDIR) + "/zumbrix");
    for (const std::string& c : candidates)
        if (access(c.c_str(), X_OK) == 0) return c;
    throw Exception(
        Format("mirel bundle: no zumbrix program found (looked for %s and %s); name one with --engine",
               candidates.front().c_str(), candidates.back().c_str()));
}

int Bundle(const MirelArgs& args) {
    std::string input, out, title, engineAsked;
    bool force = false, titleGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--title" || a == "--engine") {
            if (++i >= args.size()) return MirelUsage(kBundleUsage);
            (a == "-o" ? out : a == "--title" ? title : engineAsked) = args[i];
            titleGiven = titleGiven || a == "--title";
        } else if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] == '-') {
            return MirelUsage(kBundleUsage);
        } else if (input.empty()) {
            input = a;
        } else {
            return MirelUsage(kBundleUsage);
        }
    }
    if (input.empty() || out.empty()) return MirelUsage(kBundleUsage);
    if (titleGiven && title.empty()) return MirelFail("mirel bundle: --title wants a text");
    if (title.size() > kBundleMaxTitle)
        return MirelFail(Format("mirel bundle: the title is longer than %zu bytes", kBundleMaxTitle));
    for (unsigned char c : title)
        if (c < 0x20 || c == 0x7f) return MirelFail("mirel bundle: the title holds control characters");

    std::error_code ec;
    if (fs::is_directory(out, ec)) return MirelFail(Format("mirel bundle: %s: is a directory", out.c_str()));
    if (fs::exists(out, ec) && !force)
        return MirelFail(Format("mirel bundle: %s exists; --force replaces it", out.c_str()));

    // The archive: a folder is packed first; a file must open as an archive.
    std::vector<uint8_t> archive;
    RunNamingFile(input, [&] {
        archive = fs::is_directory(input, ec) ? PackFolder(input) : ReadInputFile(input);
        TReadOnlyMemoryStream stream(archive.data(), int64_t(archive.size()));
        TZLBArchive reader;
        reader.OpenStream(stream);
        if (reader.IndexOf("zumbrix.xml") < 0)
            throw Exception("holds no zumbrix.xml, the main script a demo starts from");
        return 0;
    });

    // The program: only the linker's part of it, so that a bundle given as
    // the engine does not carry its archive along.
    const std::string engine = FindEngine(engineAsked);
    std::vector<uint8_t> program;
    uint64_t extent = 0;
    RunNamingFile(engine, [&] {
        program = ReadInputFile(engine);
        extent = ElfExtent(program.data(), program.size(), engine);
        return 0;
    });
    if (fs::exists(out, ec) && fs::equivalent(out, engine, ec))
        return MirelFail(Format("mirel bundle: the output %s is the engine it copies", out.c_str()));

    const std::string trailer = BundleTrailer(extent, archive.size(), uint32_t(title.size()));
    WriteThroughTemporary(out, [&](const std::string& temp) {
        FILE* f = std::fopen(temp.c_str(), "wb");
        if (!f) throw Exception(Format("Cannot create file \"%s\". %s", out.c_str(), std::strerror(errno)));
        bool ok = std::fwrite(program.data(), 1, size_t(extent), f) == size_t(extent);
        ok = ok && std::fwrite(archive.data(), 1, archive.size(), f) == archive.size();
        ok = ok && std::fwrite(title.data(), 1, title.size(), f) == title.size();
        ok = ok && std::fwrite(trailer.data(), 1, trailer.size(), f) == trailer.size();
        ok = (std::fclose(f) == 0) && ok;
        if (!ok) throw Exception(Format("Cannot write file \"%s\"", out.c_str()));
        // Executable by everyone who may read it, as the linker makes programs.
        mode_t mask = umask(0);
        umask(mask);
        if (chmod(temp.c_str(), 0777 & ~mask) != 0)
            throw Exception(Format("Cannot make \"%s\" executable. %s", out.c_str(), std::strerror(errno)));
    });
    return 0;
}

MirelCommandRegistration bundle("bundle", kBundleUsage, Bundle);

} // namespace
