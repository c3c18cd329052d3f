// Walks any byte string as a chunk file, with handlers that read counted
// data the way scene handlers do and hand contexts to their children, and
// with the inspection walker. Nothing may crash, hang or recurse without bound.
#include "scene/chunks/NoiceLoader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

int32_t ReadInt(TStream& s) {
    int32_t v = 0;
    s.ReadBuffer(&v, 4);
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int depthSeen = 0;
    TNoiceLoader loader;
    // A handler that reads its declared own data (bounded by the stream).
    auto plain = [&](TStream& s, const TChunkHeader& h, TChunkContext c) {
        int64_t left = s.GetSize() - s.GetPosition();
        if (h.size > left) throw EReadError("Stream read error");
        s.Seek(h.size, soCurrent);
        (void)c;
        return static_cast<TChunkContext>(&depthSeen);
    };
    // A handler with a count-driven payload: a count, then count floats.
    auto counted = [&](TStream& s, const TChunkHeader&, TChunkContext c) {
        int32_t count = ReadInt(s);
        if (count < 0 || count > (s.GetSize() - s.GetPosition()) / 4) throw EReadError("Stream read error");
        std::vector<float> values(static_cast<size_t>(count));
        if (count) s.ReadBuffer(values.data(), count * 4);
        depthSeen++;
        return c;
    };
    loader.RegisterChunkHandler(kChunkMagic, FourCC("MTRL"), 0x0101, plain);
    loader.RegisterChunkHandler(kChunkMagic, FourCC("MTRL"), 0x0102, plain);
    loader.RegisterChunkHandler(kChunkMagic, FourCC("MMAP"), 0x0102, counted);
    loader.RegisterChunkHandler(kChunkMagic, FourCC("SCNE"), 0x0101, counted);
    try {
        TReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
        loader.LoadStream(stream);
    } catch (const std::exception&) {
    }
    try {
        TReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
        WalkChunks(stream, [](int, int64_t, const TChunkHeader&) {});
    } catch (const std::exception&) {
    }
    return depthSeen < 0;
}
