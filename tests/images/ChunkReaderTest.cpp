// The generic chunk reader: handler lookup by (magic, kind, version),
// children with their context, the total-size-0 rule, trailing bytes, and
// the errors for sizes that point past the end or loop back.
#include "data/FlexibleStream.h"
#include "scene/chunks/NoiceLoader.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Builds chunk files: a chunk is a header, own data and children.
struct TChunkBuilder {
    std::vector<uint8_t> bytes;

    // Appends a chunk whose own data is `data` bytes of value fill and whose
    // children are the given already-built bytes.
    static std::vector<uint8_t> Chunk(const char (&kind)[5], uint32_t version, size_t data,
                                      const std::vector<uint8_t>& children = {}, int64_t totalOverride = -1) {
        std::vector<uint8_t> out;
        uint32_t total =
            static_cast<uint32_t>(totalOverride >= 0 ? totalOverride : 20 + data + children.size());
        WriteChunkHeader(out, {kChunkMagic, FourCC(kind), version, static_cast<uint32_t>(data), total});
        out.insert(out.end(), data, static_cast<uint8_t>(data));
        out.insert(out.end(), children.begin(), children.end());
        return out;
    }
};

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t keep) {
    bytes.resize(keep);
    return bytes;
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A loader that records "KIND@offset<context" for every handled chunk; each
// handler reads its own data (its size field) and hands on a context naming
// the chunk's kind.
struct TRecorder {
    TNoiceLoader loader;
    std::vector<std::string> log;
    std::vector<std::string> contexts;

    void Register(const char (&kind)[5], uint32_t version) {
        std::string name = kind;
        loader.RegisterChunkHandler(kChunkMagic, FourCC(kind), version,
                                    [this, name](TStream& s, const TChunkHeader& h, TChunkContext parent) {
                                        std::string from = parent ? *static_cast<std::string*>(parent) : "-";
                                        log.push_back(name + "@" + std::to_string(s.GetPosition() - 20) +
                                                      "<" + from);
                                        std::vector<uint8_t> data(h.size);
                                        s.ReadBuffer(data.data(), h.size);
                                        contexts.push_back(name);
                                        return static_cast<TChunkContext>(&contexts.back());
                                    });
    }
    void Load(const std::vector<uint8_t>& bytes) {
        contexts.reserve(100);
        TReadOnlyMemoryStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
        loader.LoadStream(stream);
    }
};

} // namespace

TEST(ChunkReader, HandlersByTripleChildrenAndSkips) {
    auto mmap = TChunkBuilder::Chunk("MMAP", 0x0102, 4);
    auto oldMmap = TChunkBuilder::Chunk("MMAP", 0x0101, 4); // other version: skipped
    auto file = Join({TChunkBuilder::Chunk("SCNE", 0x0101, 8), TChunkBuilder::Chunk("HLPR", 0x0101, 12),
                      TChunkBuilder::Chunk("MTRL", 0x0101, 6, Join({mmap, oldMmap, mmap})),
                      TChunkBuilder::Chunk("MESH", 0x0101, 3)});
    TRecorder r;
    for (const char* k : {"SCNE", "MTRL", "MESH"}) {
        char kind[5];
        std::memcpy(kind, k, 5);
        r.Register(kind, 0x0101);
    }
    r.Register("MMAP", 0x0102);
    r.Load(file);
    std::vector<std::string> expected = {"SCNE@0<-", "MTRL@60<-", "MMAP@86<MTRL", "MMAP@134<MTRL",
                                         "MESH@158<-"};
    EXPECT_EQ(r.log, expected);
}

TEST(ChunkReader, ReRegisteringReplacesTheHandler) {
    TNoiceLoader loader;
    int first = 0, second = 0;
    loader.RegisterChunkHandler(kChunkMagic, FourCC("SCNE"), 0x0101,
                                [&](TStream& s, const TChunkHeader&, TChunkContext c) {
                                    first++;
                                    s.Seek(8, soCurrent);
                                    return c;
                                });
    loader.RegisterChunkHandler(kChunkMagic, FourCC("SCNE"), 0x0101,
                                [&](TStream& s, const TChunkHeader&, TChunkContext c) {
                                    second++;
                                    s.Seek(8, soCurrent);
                                    return c;
                                });
    auto file = TChunkBuilder::Chunk("SCNE", 0x0101, 8);
    TReadOnlyMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
    loader.LoadStream(stream);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
}

TEST(ChunkReader, TotalSizeZeroAndTrailingBytes) {
    TRecorder r;
    r.Register("SCNE", 0x0101);
    // A chunk of total size 0 ends the file: the chunk after it is not read.
    auto file = Join({TChunkBuilder::Chunk("SCNE", 0x0101, 4), TChunkBuilder::Chunk("HLPR", 0x0101, 0, {}, 0),
                      TChunkBuilder::Chunk("SCNE", 0x0101, 4)});
    r.Load(file);
    EXPECT_EQ(r.log.size(), 1u);
    // Up to 20 stray bytes after the last chunk are ignored.
    r.log.clear();
    file = TChunkBuilder::Chunk("SCNE", 0x0101, 4);
    file.insert(file.end(), 20, 0xEE);
    r.Load(file);
    EXPECT_EQ(r.log.size(), 1u);
    // 21 stray bytes are read as a chunk header (here: garbage that reaches past the end).
    file.push_back(0xEE);
    EXPECT_THROW(r.Load(file), EChunkError);
}

TEST(ChunkReader, BadSizesAreClearErrors) {
    TRecorder r;
    r.Register("MTRL", 0x0101);
    // Total size below the header: would loop back.
    EXPECT_THROW(r.Load(TChunkBuilder::Chunk("HLPR", 0x0101, 30, {}, 19)), EChunkError);
    EXPECT_THROW(r.Load(TChunkBuilder::Chunk("HLPR", 0x0101, 30, {}, 1)), EChunkError);
    // An unknown chunk reaching past the end of the file.
    EXPECT_THROW(r.Load(TChunkBuilder::Chunk("HLPR", 0x0101, 30, {}, 5000)), EChunkError);
    // A known chunk reaching past the end fails in its reading.
    EXPECT_THROW(r.Load(TChunkBuilder::Chunk("MTRL", 0x0101, 30, {}, 0xFFFFFFFF)), EReadError);
    // A child reaching past its parent.
    auto child = TChunkBuilder::Chunk("HLPR", 0x0101, 10);
    auto parent = TChunkBuilder::Chunk("MTRL", 0x0101, 2, child, 20 + 2 + 25);
    parent.insert(parent.end(), 40, 0);
    EXPECT_THROW(r.Load(parent), EChunkError);
    // A handler whose data runs past the end raises the stream's read error.
    EXPECT_THROW(r.Load(Cut(TChunkBuilder::Chunk("MTRL", 0x0101, 30, {}, 25), 45)), EReadError);
    // So does a child header cut by the end of the file, saying where.
    auto cutChild = TChunkBuilder::Chunk("MTRL", 0x0101, 2, {}, 20 + 2 + 25);
    cutChild.insert(cutChild.end(), 10, 0);
    try {
        r.Load(cutChild);
        ADD_FAILURE() << "no error";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error: the file ends inside the header of a chunk at offset 22");
    }
}

TEST(ChunkReader, DeepNestingIsBounded) {
    TRecorder r;
    r.Register("MTRL", 0x0101);
    std::vector<uint8_t> file = TChunkBuilder::Chunk("MTRL", 0x0101, 0);
    for (int i = 0; i < 200; i++)
        file = TChunkBuilder::Chunk("MTRL", 0x0101, 0, file);
    EXPECT_THROW(r.Load(file), EChunkError);
}

TEST(ChunkReader, LoadFileOpensAFlexibleStream) {
    TempDir dir;
    WriteFileBytes(dir.File("scene.y3d"), TChunkBuilder::Chunk("SCNE", 0x0101, 4));
    TRecorder r;
    r.Register("SCNE", 0x0101);
    TFlexibleStream::SetPath(dir.Path() + "/");
    r.loader.LoadFile("SCENE.Y3D"); // found ignoring case, as data files are
    TFlexibleStream::ResetSettings();
    EXPECT_EQ(r.log.size(), 1u);
}

TEST(ChunkReader, WalkerListsTheTree) {
    auto file = Join({TChunkBuilder::Chunk("MTRL", 0x0101, 6, TChunkBuilder::Chunk("MMAP", 0x0102, 4)),
                      TChunkBuilder::Chunk("TXTR", 0x0101, 1)});
    TReadOnlyMemoryStream stream(file.data(), static_cast<int64_t>(file.size()));
    std::vector<std::string> seen;
    WalkChunks(stream, [&](int depth, int64_t offset, const TChunkHeader& h) {
        seen.push_back(std::to_string(depth) + " " + std::to_string(offset) + " " + FourCCText(h.kind));
    });
    std::vector<std::string> expected = {"0 0 MTRL", "1 26 MMAP", "0 50 TXTR"};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(FourCCText(FourCC("GOAT")), "GOAT");
    EXPECT_EQ(file[0], 'T'); // the code's letters appear reversed on disk
}
