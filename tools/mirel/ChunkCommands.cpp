// mirel chunks FILE: prints the chunk tree of a scene or font file.
#include "tools/mirel/Mirel.h"

#include "scene/chunks/NoiceLoader.h"

#include <cstdio>

namespace {

// One line per chunk, indented two spaces per level: offset, magic, kind,
// version in hex, own size, total size.
int Chunks(const MirelArgs& args) {
    if (args.size() != 1) return MirelUsage("chunks FILE");
    TFileStream stream(args[0], TFileStream::fmOpenRead);
    WalkChunks(stream, [](int depth, int64_t offset, const TChunkHeader& h) {
        std::printf("%*s%lld %s %s 0x%04x %u %u\n", depth * 2, "", static_cast<long long>(offset),
                    FourCCText(h.magic).c_str(), FourCCText(h.kind).c_str(), h.version, h.size, h.totalSize);
    });
    return 0;
}

MirelCommandRegistration chunks("chunks", "chunks FILE", Chunks);

} // namespace
