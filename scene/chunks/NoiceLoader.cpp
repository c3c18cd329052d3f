#include "scene/chunks/NoiceLoader.h"

#include "data/FlexibleStream.h"
#include "platform/Format.h"

std::string FourCCText(uint32_t code) {
    std::string text(4, '?');
    for (int i = 0; i < 4; i++) {
        char c = static_cast<char>((code >> (24 - 8 * i)) & 0xFF);
        if (c >= 0x20 && c < 0x7F) text[i] = c;
    }
    return text;
}

TChunkHeader ReadChunkHeader(TStream& stream) {
    uint8_t b[20];
    stream.ReadBuffer(b, 20);
    auto word = [&](int i) {
        return uint32_t(b[i]) | (uint32_t(b[i + 1]) << 8) | (uint32_t(b[i + 2]) << 16) |
               (uint32_t(b[i + 3]) << 24);
    };
    TChunkHeader h;
    h.magic = word(0);
    h.kind = word(4);
    h.version = word(8);
    h.size = word(12);
    h.totalSize = word(16);
    return h;
}

void WriteChunkHeader(std::vector<uint8_t>& out, const TChunkHeader& h) {
    for (uint32_t v : {h.magic, h.kind, h.version, h.size, h.totalSize})
        for (int i = 0; i < 4; i++)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void TNoiceLoader::RegisterChunkHandler(uint32_t magic, uint32_t kind, uint32_t version,
                                        TChunkHandler handler) {
    for (TEntry& e : handlers_)
        if (e.magic == magic && e.kind == kind && e.version == version) {
            e.handler = std::move(handler);
            return;
        }
    handlers_.push_back({magic, kind, version, std::move(handler)});
}

const TChunkHandler* TNoiceLoader::Find(uint32_t magic, uint32_t kind, uint32_t version) const {
    for (const TEntry& e : handlers_)
        if (e.magic == magic && e.kind == kind && e.version == version) return &e.handler;
    return nullptr;
}

void TNoiceLoader::LoadFile(const std::string& name) {
    TFlexibleStream stream(name);
    LoadStream(stream);
}

void TNoiceLoader::LoadStream(TStream& stream) {
    const int64_t size = stream.GetSize();
    // Top level: while at least 21 bytes remain; shorter trailing bytes are ignored.
    while (size > stream.GetPosition() + kChunkHeaderSize) {
        if (!ReadChunk(stream, size, size, nullptr, 0)) break;
    }
}

bool TNoiceLoader::ReadChunk(TStream& stream, int64_t streamSize, int64_t limit, TChunkContext context,
                             int depth) {
    const int64_t start = stream.GetPosition();
    // Still the stream's read error, but saying where: a parent that claims
    // more than the file holds lets its children's headers run off the end.
    if (streamSize - start < kChunkHeaderSize)
        throw EReadError(
            Format("Stream read error: the file ends inside the header of a chunk at offset %lld",
                   static_cast<long long>(start)));
    TChunkHeader header = ReadChunkHeader(stream);
    if (header.totalSize == 0) return false;
    if (header.totalSize < kChunkHeaderSize)
        throw EChunkError(Format("Chunk at offset %lld has a total size of %u, smaller than its header",
                                 static_cast<long long>(start), header.totalSize));
    const int64_t end = start + header.totalSize;
    if (depth > 0 && end > limit)
        throw EChunkError(
            Format("Chunk at offset %lld reaches past the end of its parent", static_cast<long long>(start)));
    const TChunkHandler* handler = Find(header.magic, header.kind, header.version);
    if (!handler) {
        // Skipping past the end would silently lose the rest of the file.
        if (end > streamSize)
            throw EChunkError(Format("Chunk at offset %lld reaches past the end of the file",
                                     static_cast<long long>(start)));
        stream.SetPosition(end);
        return true;
    }
    if (depth >= kMaxDepth)
        throw EChunkError(Format("Chunks nested too deeply at offset %lld", static_cast<long long>(start)));
    // A known chunk that reaches past the end of the file fails in its own
    // reading, or in its children's, with the stream's read error.
    TChunkContext childContext = (*handler)(stream, header, context);
    // Children: while the position is inside the chunk. A child of total
    // size 0 ends this level.
    while (stream.GetPosition() < end) {
        if (!ReadChunk(stream, streamSize, end, childContext, depth + 1)) break;
    }
    return true;
}

namespace {

void WalkLevel(TStream& stream, int64_t end, int depth,
               const std::function<void(int, int64_t, const TChunkHeader&)>& visit) {
    while (end - stream.GetPosition() > (depth == 0 ? kChunkHeaderSize : kChunkHeaderSize - 1)) {
        const int64_t start = stream.GetPosition();
        TChunkHeader header = ReadChunkHeader(stream);
        if (header.totalSize == 0) return;
        visit(depth, start, header);
        if (header.totalSize < kChunkHeaderSize)
            throw EChunkError(Format("Chunk at offset %lld has a total size of %u, smaller than its header",
                                     static_cast<long long>(start), header.totalSize));
        const int64_t chunkEnd = start + header.totalSize;
        if (chunkEnd > end)
            throw EChunkError(Format("Chunk at offset %lld reaches past the end of %s",
                                     static_cast<long long>(start), depth == 0 ? "the file" : "its parent"));
        const int64_t children = start + kChunkHeaderSize + header.size;
        if (header.size <= header.totalSize - kChunkHeaderSize && children < chunkEnd) {
            if (depth + 1 >= TNoiceLoader::kMaxDepth)
                throw EChunkError(
                    Format("Chunks nested too deeply at offset %lld", static_cast<long long>(start)));
            stream.SetPosition(children);
            WalkLevel(stream, chunkEnd, depth + 1, visit);
        }
        stream.SetPosition(chunkEnd);
    }
}

} // namespace

void WalkChunks(TStream& stream, const std::function<void(int, int64_t, const TChunkHeader&)>& visit) {
    WalkLevel(stream, stream.GetSize(), 0, visit);
}
