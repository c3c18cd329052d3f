#include "data/ZLBArchive.h"
#include "tests/data/ArchiveTestUtil.h"

#include <gtest/gtest.h>

namespace {

std::string Extract(TZLBArchive& archive, int index) {
    TMemoryStream out;
    archive.ExtractStream(out, index);
    return std::string(reinterpret_cast<const char*>(out.Memory()), out.Size());
}

std::string OpenError(std::vector<uint8_t>& bytes) {
    TReadOnlyMemoryStream source(bytes.data(), static_cast<int64_t>(bytes.size()));
    TZLBArchive archive;
    try {
        archive.OpenStream(source);
    } catch (const EZLBArchiveError& e) {
        EXPECT_FALSE(archive.IsOpen());
        return e.what();
    }
    return "";
}

std::string ExtractError(std::vector<uint8_t>& bytes, int index) {
    TReadOnlyMemoryStream source(bytes.data(), static_cast<int64_t>(bytes.size()));
    TZLBArchive archive;
    archive.OpenStream(source);
    try {
        Extract(archive, index);
    } catch (const EZLBArchiveError& e) {
        return e.what();
    }
    return "";
}

const std::vector<TestMember> kMembers = {
    {"zumbrix.xml", Patterned(10000, 1)},
    {"picture.jpg", Patterned(3000, 2), true},
    {"empty.bin", ""},
    {"niceFont.noc", Patterned(70000, 3)},
};

} // namespace

TEST(ZLBArchive, RoundTripsMembersWithEitherDirectoryForm) {
    for (bool raw : {false, true}) {
        std::vector<uint8_t> bytes = BuildArchive(kMembers, raw);
        TReadOnlyMemoryStream source(bytes.data(), static_cast<int64_t>(bytes.size()));
        TZLBArchive archive;
        EXPECT_TRUE(archive.OpenStream(source));
        EXPECT_EQ(archive.ArchiveName(), "_streaming");
        EXPECT_EQ(archive.Trailer().directoryDeflated, raw ? 0 : 1);
        ASSERT_EQ(archive.EntryCount(), 4);
        archive.CheckCRC = true;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(archive.GetEntry(i).Name(), kMembers[i].name);
            EXPECT_EQ(Extract(archive, i), kMembers[i].bytes) << i;
        }
        // Deflated members are zlib streams with the default header; stored
        // members are the bytes as they are.
        TZLBEntry deflated = archive.GetEntry(0);
        EXPECT_EQ(bytes[deflated.offset], 0x78);
        EXPECT_EQ(bytes[deflated.offset + 1], 0x9C);
        EXPECT_EQ(deflated.level, fcDefault);
        TZLBEntry stored = archive.GetEntry(1);
        EXPECT_EQ(stored.level, fcNone);
        EXPECT_EQ(stored.storedSize, 3000u);
        EXPECT_EQ(0, memcmp(bytes.data() + stored.offset, kMembers[1].bytes.data(), 3000));
    }
}

TEST(ZLBArchive, AnyChangedByteBeforeTheTrailerFailsTheOpening) {
    std::vector<uint8_t> bytes = BuildArchive(kMembers);
    for (size_t at : {size_t(0), size_t(5000), bytes.size() - kZLBTrailerSize - 1}) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] ^= 0x40;
        EXPECT_EQ(OpenError(damaged), "The archive file appears to be corrupted") << at;
    }
    std::vector<uint8_t> tiny(20, 0);
    EXPECT_EQ(OpenError(tiny), "The archive file appears to be corrupted");
}

TEST(ZLBArchive, FindsMembersByFileNameIgnoringAsciiCase) {
    std::vector<uint8_t> bytes =
        BuildArchive({{"niceFont.noc", "a"}, {"Scene.obj", "b"}, {"scene.obj", "c"}, {"\xC4rger.txt", "d"}});
    TReadOnlyMemoryStream source(bytes.data(), static_cast<int64_t>(bytes.size()));
    TZLBArchive archive;
    archive.OpenStream(source);
    EXPECT_EQ(archive.IndexOf("NICEFONT.NOC"), 0);
    EXPECT_EQ(archive.IndexOf("data\\niceFont.noc"), 0);
    EXPECT_EQ(archive.IndexOf("c:niceFont.noc"), 0);
    EXPECT_EQ(archive.IndexOf("data/niceFont.noc"), -1); // a slash is part of the name
    EXPECT_EQ(archive.IndexOf("scene.obj"), 1);          // the lower index wins
    EXPECT_EQ(archive.IndexOf("\xE4rger.txt"), -1);      // only ASCII letters fold
    EXPECT_EQ(archive.IndexOf("missing"), -1);
    archive.SavePaths = true;
    EXPECT_EQ(archive.IndexOf("c:niceFont.noc"), 0); // the drive prefix goes
    EXPECT_EQ(archive.IndexOf("data\\niceFont.noc"), -1);
}

TEST(ZLBArchive, ReportsMisuseWithItsMessages) {
    TZLBArchive closed;
    EXPECT_THROW(closed.IndexOf("x"), EZLBArchiveError);
    TMemoryStream sink;
    try {
        closed.ExtractStream(sink, 0);
        FAIL();
    } catch (const EZLBArchiveError& e) {
        EXPECT_STREQ(e.what(), "No archive is currently open");
    }
    std::vector<uint8_t> bytes = BuildArchive(kMembers);
    TReadOnlyMemoryStream source(bytes.data(), static_cast<int64_t>(bytes.size()));
    TZLBArchive archive;
    archive.OpenStream(source);
    for (int bad : {-1, 4}) {
        try {
            archive.GetEntry(bad);
            FAIL();
        } catch (const EZLBArchiveError& e) {
            EXPECT_STREQ(e.what(), "Index out of bounds");
        }
    }
}

TEST(ZLBArchive, CrcCheckCoversTheWholeDestination) {
    std::vector<uint8_t> bytes = BuildArchive(kMembers);
    TReadOnlyMemoryStream source(bytes.data(), static_cast<int64_t>(bytes.size()));
    TZLBArchive archive;
    archive.OpenStream(source);
    archive.CheckCRC = true;
    TMemoryStream destination;
    destination.WriteBuffer("xx", 2);
    try {
        archive.ExtractStream(destination, 0);
        FAIL();
    } catch (const EZLBArchiveError& e) {
        EXPECT_STREQ(e.what(), "File (0) failed CRC check");
    }
}

TEST(ZLBArchive, SendsItsNotifications) {
    std::vector<uint8_t> bytes = BuildArchive({{"a.txt", Patterned(9000)}});
    TReadOnlyMemoryStream source(bytes.data(), static_cast<int64_t>(bytes.size()));
    std::vector<std::pair<std::string, int>> progress;
    std::string extracted;
    int opened = 0;
    {
        TZLBArchive archive;
        archive.OnProgress = [&](const std::string& c, int p) { progress.emplace_back(c, p); };
        archive.OnStreamExtracted = [&](const std::string& n) { extracted = n; };
        archive.OnArchiveOpened = [&](TZLBArchive&) { ++opened; };
        archive.OpenStream(source);
        EXPECT_EQ(opened, 1);
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), std::make_pair(std::string("Extracting archive registry"), 100));
        progress.clear();
        Extract(archive, 0);
        // 9000 bytes in pieces of at most 4096: 45%, 91%, 100%, then the reset.
        std::vector<std::pair<std::string, int>> expected = {
            {"Extracting a.txt", 45}, {"Extracting a.txt", 91}, {"Extracting a.txt", 100}, {"_streaming", 0}};
        EXPECT_EQ(progress, expected);
        EXPECT_EQ(extracted, "a.txt");
        progress.clear();
        archive.Close();
        EXPECT_EQ(progress, (std::vector<std::pair<std::string, int>>{{"", 0}}));
        progress.clear();
        archive.OpenStream(source);
        progress.clear();
    }
    EXPECT_TRUE(progress.empty()); // nothing while being destroyed
}

TEST(ZLBArchive, DamagedDirectoriesEndInTheListMessage) {
    struct Case {
        const char* what;
        void (*damage)(std::vector<uint8_t>&);
    };
    const Case cases[] = {
        {"negative count", [](std::vector<uint8_t>& b) { TrailerOf(b).count = -1; }},
        {"huge count", [](std::vector<uint8_t>& b) { TrailerOf(b).count = 0x7fffffff; }},
        {"count beyond the data", [](std::vector<uint8_t>& b) { TrailerOf(b).count += 1; }},
        {"offset beyond the source", [](std::vector<uint8_t>& b) { TrailerOf(b).directoryOffset = 1 << 30; }},
        {"negative offset", [](std::vector<uint8_t>& b) { TrailerOf(b).directoryOffset = -5; }},
    };
    for (bool raw : {false, true}) {
        for (const Case& c : cases) {
            std::vector<uint8_t> bytes = BuildArchive(kMembers, raw);
            c.damage(bytes);
            Reseal(bytes);
            EXPECT_EQ(OpenError(bytes), "Unable to read archive file list") << c.what << " raw=" << raw;
        }
    }
    // A deflated directory that starts inside member data is no zlib stream.
    std::vector<uint8_t> bytes = BuildArchive(kMembers);
    TrailerOf(bytes).directoryOffset = 3;
    Reseal(bytes);
    EXPECT_EQ(OpenError(bytes), "Unable to read archive file list");
}

TEST(ZLBArchive, DamagedMembersEndInTheCorruptMessage) {
    std::vector<uint8_t> base = BuildArchive(kMembers, true);
    auto damaged = [&](int index, void (*change)(TZLBEntry&)) {
        std::vector<uint8_t> bytes = base;
        change(RawEntry(bytes, index));
        Reseal(bytes);
        return ExtractError(bytes, index);
    };
    // A deflated member claiming more bytes than its stream holds.
    EXPECT_EQ(damaged(0, [](TZLBEntry& e) { e.size += 1; }), "File (0) is corrupt");
    // A stored member running past the end of the archive.
    EXPECT_EQ(damaged(1, [](TZLBEntry& e) { e.size = 0x7fffffff; }), "File (1) is corrupt");
    // Offsets beyond the source, and into bytes that are no zlib stream.
    EXPECT_EQ(damaged(3, [](TZLBEntry& e) { e.offset = 0xfffffff0u; }), "File (3) is corrupt");
    EXPECT_EQ(damaged(3, [](TZLBEntry& e) { e.offset = 7; }), "File (3) is corrupt");
    // A member that inflates to more bytes than its size gives its first
    // size bytes: the reader does not require the stream to end there.
    std::vector<uint8_t> bytes = base;
    RawEntry(bytes, 0).size = 100;
    Reseal(bytes);
    EXPECT_EQ(ExtractError(bytes, 0), "");
}

TEST(ZLBArchiveWriter, RefusesNamesLongerThan255Bytes) {
    TMemoryStream out;
    TZLBArchiveWriter writer(out);
    writer.AddMember(std::string(255, 'a'), "x", 1, false);
    EXPECT_THROW(writer.AddMember(std::string(256, 'a'), "x", 1, false), EZLBArchiveError);
    writer.Finish();
    TZLBArchive archive;
    archive.OpenStream(out);
    EXPECT_EQ(archive.EntryCount(), 1);
}
