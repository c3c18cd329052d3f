// mirel chunks FILE: prints the chunk tree of a scene or font file.
#include "tools/mirel/Mirel.h"
#include "tools/mirel/MirelInput.h"

#include "platform/Exception.h"
#include "platform/Format.h"
#include "scene/chunks/NoiceLoader.h"

#include <cstdio>

namespace {

// One line per chunk, indented two spaces per level: offset, magic, kind,
// version in hex, own size, total size. The tree is printed only once the
// whole file has been walked; a file whose first chunk is not one of ours
// (magic GOAT) or that holds no chunk at all fails. Fewer bytes than a chunk
// header after the last chunk are left alone, as the chunk reader leaves them.
int Chunks(const MirelArgs& args) {
    if (args.size() != 1) return MirelUsage("chunks FILE");
    const std::string& file = args[0];
    return RunNamingFile(file, [&] {
        TFileStream stream(file, TFileStream::fmOpenRead);
        if (stream.GetSize() == 0) throw Exception(Format("%s: the file is empty", file.c_str()));
        std::string out;
        WalkChunks(stream, [&](int depth, int64_t offset, const TChunkHeader& h) {
            if (out.empty() && h.magic != kChunkMagic)
                throw Exception(Format("%s: not a chunk file (the first chunk's magic is %s, not %s)",
                                       file.c_str(), FourCCText(h.magic).c_str(),
                                       FourCCText(kChunkMagic).c_str()));
            out += Format("%*s%lld %s %s 0x%04x %u %u\n", depth * 2, "", static_cast<long long>(offset),
                          FourCCText(h.magic).c_str(), FourCCText(h.kind).c_str(), h.version, h.size,
                          h.totalSize);
        });
        if (out.empty()) throw Exception(Format("%s: the file holds no chunk", file.c_str()));
        std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    });
}

MirelCommandRegistration chunks("chunks", "chunks FILE", Chunks);

} // namespace
