// mirel pack / list / extract / verify: build and inspect packed archives.
#include "tools/mirel/Mirel.h"
#include "tools/mirel/MirelInput.h"

#include "data/ZLBArchive.h"
#include "data/ZLBArchiveWriter.h"
#include "platform/Format.h"

#include <cstdio>
#include <filesystem>
#include <fnmatch.h>
#include <system_error>

namespace {

std::string BaseName(const std::string& path) {
    size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

const char* kPackUsage = "pack OUT.pck [--store GLOB]... [--raw-directory] [--force] FILE...";

// Whether the file opens as an archive (its trailer and directory check out).
bool IsArchive(const std::string& path) {
    try {
        TFileStream input(path, TFileStream::fmOpenRead);
        TZLBArchive archive;
        archive.OpenStream(input);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Checks that packing cannot destroy anything: the inputs are files, none of
// them is the output, and the output is new, an archive, or --force is given.
// Returns the exit code of the refusal, or 0.
int CheckPackPaths(const std::string& out, const std::vector<std::string>& files, bool force) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const bool outExists = fs::exists(out, ec);
    for (const std::string& file : files) {
        if (fs::is_directory(file, ec))
            return MirelFail(Format("mirel pack: %s: is a directory", file.c_str()));
        bool same = outExists && fs::exists(file, ec) ? fs::equivalent(out, file, ec)
                                                      : fs::absolute(out, ec).lexically_normal() ==
                                                            fs::absolute(file, ec).lexically_normal();
        if (same) {
            std::fprintf(stderr, "mirel pack: the output %s is also one of the inputs\n", out.c_str());
            return MirelUsage(kPackUsage);
        }
    }
    if (!outExists) return 0;
    if (fs::is_directory(out, ec)) return MirelFail(Format("mirel pack: %s: is a directory", out.c_str()));
    if (!force && !IsArchive(out))
        return MirelFail(
            Format("mirel pack: %s exists and is not an archive; --force replaces it", out.c_str()));
    return 0;
}

int Pack(const MirelArgs& args) {
    std::string out;
    std::vector<std::string> globs, files;
    bool rawDirectory = false, force = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--store") {
            if (++i >= args.size()) return MirelUsage(kPackUsage);
            globs.push_back(args[i]);
        } else if (a == "--raw-directory") {
            rawDirectory = true;
        } else if (a == "--force") {
            force = true;
        } else if (out.empty()) {
            out = a;
        } else {
            files.push_back(a);
        }
    }
    if (out.empty() || files.empty()) {
        // "mirel pack a.txt" would make an empty archive of the one file it names.
        if (!out.empty()) std::fprintf(stderr, "mirel pack: no input files\n");
        return MirelUsage(kPackUsage);
    }
    if (int refused = CheckPackPaths(out, files, force)) return refused;
    WriteThroughTemporary(out, [&](const std::string& temp) {
        TFileStream output(temp, TFileStream::fmCreate);
        TZLBArchiveWriter writer(output);
        for (const std::string& file : files) {
            std::string name = BaseName(file);
            bool store = false;
            for (const std::string& g : globs)
                store = store || fnmatch(g.c_str(), name.c_str(), 0) == 0;
            RunNamingFile(file, [&] {
                TFileStream input(file, TFileStream::fmOpenRead);
                writer.AddMemberFromStream(name, input, store);
                return 0;
            });
        }
        writer.Finish(rawDirectory);
    });
    return 0;
}

int List(const MirelArgs& args) {
    if (args.size() != 1) return MirelUsage("list ARCHIVE");
    TFileStream input(args[0], TFileStream::fmOpenRead);
    TZLBArchive archive;
    archive.OpenStream(input);
    PrintArchiveListing(archive, stdout);
    return 0;
}

const char* kExtractUsage = "extract ARCHIVE NAME [-o FILE] [--check-crc]";

int Extract(const MirelArgs& args) {
    std::vector<std::string> positional;
    std::string outFile;
    bool checkCrc = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o") {
            if (++i >= args.size()) return MirelUsage(kExtractUsage);
            outFile = args[i];
        } else if (args[i] == "--check-crc") {
            checkCrc = true;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) return MirelUsage(kExtractUsage);
    TFileStream input(positional[0], TFileStream::fmOpenRead);
    TZLBArchive archive;
    archive.OpenStream(input);
    archive.CheckCRC = checkCrc;
    int index = archive.IndexOf(positional[1]);
    if (index < 0) return MirelFail(Format("Couldn't open the file named %s", positional[1].c_str()));
    // Extract into memory first so that a failure leaves nothing behind.
    TMemoryStream member;
    archive.ExtractStream(member, index);
    if (outFile.empty()) {
        if (member.Size() > 0 &&
            std::fwrite(member.Memory(), 1, member.Size(), stdout) != size_t(member.Size()))
            return MirelFail("Stream write error");
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    WriteFileAtomically(outFile, member.Memory(), static_cast<size_t>(member.Size()));
    return 0;
}

int Verify(const MirelArgs& args) {
    if (args.size() != 1) return MirelUsage("verify ARCHIVE");
    TFileStream input(args[0], TFileStream::fmOpenRead);
    TZLBArchive archive;
    archive.OpenStream(input);
    archive.CheckCRC = true;
    for (int i = 0; i < archive.EntryCount(); ++i) {
        TMemoryStream member;
        archive.ExtractStream(member, i);
    }
    std::printf("ok %d members\n", archive.EntryCount());
    return 0;
}

MirelCommandRegistration pack("pack", kPackUsage, Pack);
MirelCommandRegistration list("list", "list ARCHIVE", NamingFirstFile<List>);
MirelCommandRegistration extract("extract", kExtractUsage, NamingFirstFile<Extract>);
MirelCommandRegistration verify("verify", "verify ARCHIVE", NamingFirstFile<Verify>);

} // namespace
