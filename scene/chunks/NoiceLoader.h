// TNoiceLoader: the generic reader of chunk files (scene files, the console
// font). A chunk starts with a 20-byte header; a handler registered for the
// exact (magic, kind, version) triple reads the chunk's own data and returns
// the context its child chunks are read with. Unknown chunks are skipped.
#pragma once

#include "data/Stream.h"
#include "platform/Exception.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A chunk file that cannot be walked: a total size smaller than the header,
// a chunk reaching past the end of the file or of its parent, too deep nesting.
ZUMBRIX_EXCEPTION(EChunkError, Exception);

// A four-character code: the first letter is the most significant byte, so
// on disk (little-endian) the letters appear reversed.
constexpr uint32_t FourCC(const char (&code)[5]) {
    return (uint32_t(uint8_t(code[0])) << 24) | (uint32_t(uint8_t(code[1])) << 16) |
           (uint32_t(uint8_t(code[2])) << 8) | uint32_t(uint8_t(code[3]));
}
// The code as four letters ("GOAT"); bytes outside printable ASCII as '?'.
std::string FourCCText(uint32_t code);

constexpr uint32_t kChunkMagic = FourCC("GOAT");
constexpr int64_t kChunkHeaderSize = 20;

struct TChunkHeader {
    uint32_t magic = 0;
    uint32_t kind = 0;
    uint32_t version = 0;   // high byte major, low byte minor
    uint32_t size = 0;      // the chunk's own data (not used for reading)
    uint32_t totalSize = 0; // header + own data + children
};

// Reads a 20-byte header; raises EReadError when the stream ends first.
TChunkHeader ReadChunkHeader(TStream& stream);
void WriteChunkHeader(std::vector<uint8_t>& out, const TChunkHeader& header);

// A chunk handler: gets the stream positioned after the header, the header
// and the parent's context; reads the chunk's own data and returns the
// context for its children.
using TChunkContext = void*;
using TChunkHandler = std::function<TChunkContext(TStream&, const TChunkHeader&, TChunkContext)>;

class TNoiceLoader {
public:
    // Registering a triple again replaces the earlier handler.
    void RegisterChunkHandler(uint32_t magic, uint32_t kind, uint32_t version, TChunkHandler handler);
    // Opens the named file as a flexible stream and reads it to the end.
    void LoadFile(const std::string& name);
    // Reads a stream from its current position to the end.
    void LoadStream(TStream& stream);

    // Deepest nesting of chunks read before EChunkError is raised.
    static constexpr int kMaxDepth = 64;

private:
    struct TEntry {
        uint32_t magic, kind, version;
        TChunkHandler handler;
    };
    // Reads the chunk at the current position; false when its total size is
    // 0 (which ends the reading of this level).
    bool ReadChunk(TStream& stream, int64_t streamSize, int64_t limit, TChunkContext context, int depth);
    const TChunkHandler* Find(uint32_t magic, uint32_t kind, uint32_t version) const;

    std::vector<TEntry> handlers_;
};

// Walks the chunk tree without handlers, for inspection: a chunk's children
// are taken to start after its own data (header size field) and end at its
// total size. visit gets the nesting depth, the chunk's offset and header.
void WalkChunks(TStream& stream, const std::function<void(int, int64_t, const TChunkHeader&)>& visit);
