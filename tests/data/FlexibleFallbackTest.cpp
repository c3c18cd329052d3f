// The fallback archive of the flexible streams: names the chosen source
// lacks are taken from it, names it has are not, and failures of the chosen
// source are not hidden by it.
#include "data/FlexibleStream.h"
#include "tests/data/ArchiveTestUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<TStream> ArchiveStream(const std::vector<TestMember>& members) {
    std::vector<uint8_t> bytes = BuildArchive(members);
    auto stream = std::make_shared<TMemoryStream>();
    stream->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return stream;
}

// What opening and reading `name` gives: the content, or the error's message.
std::string Open(const std::string& name) {
    try {
        TFlexibleStream s(name);
        std::string text(static_cast<size_t>(s.GetSize()), '\0');
        s.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
        return text;
    } catch (const Exception& e) {
        return std::string("error: ") + e.what();
    }
}

class FlexibleFallback : public ::testing::Test {
protected:
    void SetUp() override { TFlexibleStream::ResetSettings(); }
    void TearDown() override { TFlexibleStream::ResetSettings(); }
    TempDir dir;
};

} // namespace

TEST_F(FlexibleFallback, NamesTheChosenSourceLacksComeFromTheFallback) {
    WriteFileText(dir.File("both.txt"), "folder");
    WriteFileText(dir.File("Folder.txt"), "folder only");
    const auto fallback = ArchiveStream({{"both.txt", "carried"}, {"carried.txt", "carried only"}});

    struct Case {
        uint8_t mode;
        const char* name;
        const char* alone;        // without the fallback
        const char* withFallback; // with it
    };
    const char* missing = "error: Couldn't open the file named neither.txt";
    const std::vector<Case> cases = {
        {lmFile, "both.txt", "folder", "folder"},
        {lmFile, "folder.txt", "folder only", "folder only"}, // any letter case, still the folder's
        {lmFile, "data\\carried.txt", "error: Couldn't open the file named data\\carried.txt",
         "carried only"},
        {lmFile, "neither.txt", missing, missing},
        {lmPackage, "BOTH.TXT", "primary", "primary"},
        {lmPackage, "carried.txt", "error: Must open a stream", "carried only"},
        {lmPackage, "neither.txt", "error: Must open a stream", "error: Must open a stream"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(LoaderModeName(c.mode)) + " " + c.name);
        TFlexibleStream::ResetSettings();
        TFlexibleStream::SetDataRoot(dir.Path());
        if (c.mode == lmPackage)
            TFlexibleStream::OpenArchiveStream(ArchiveStream({{"both.txt", "primary"}}), "primary.pck");
        TFlexibleStream::SetMode(c.mode);
        EXPECT_EQ(Open(c.name), c.alone);
        TFlexibleStream::SetFallbackArchive(fallback);
        EXPECT_EQ(Open(c.name), c.withFallback);
    }
    // Switched off again, the carried names are gone.
    TFlexibleStream::SetFallbackArchive(nullptr);
    EXPECT_EQ(Open("carried.txt"), "error: Must open a stream");
}

TEST_F(FlexibleFallback, FailuresOfTheChosenSourceAreNotHidden) {
    // A damaged member of the chosen archive is an error, even when the
    // fallback has a sound copy.
    std::vector<uint8_t> bytes = BuildArchive({{"scene.y3d", std::string(4000, 's')}});
    bytes[4] ^= 0x55;
    Reseal(bytes); // the archive opens; the damage shows when the member is extracted
    auto damaged = std::make_shared<TMemoryStream>();
    damaged->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    TFlexibleStream::OpenArchiveStream(damaged, "damaged.pck");
    TFlexibleStream::SetMode(lmPackage);
    TFlexibleStream::SetFallbackArchive(ArchiveStream({{"scene.y3d", "sound"}}));
    EXPECT_EQ(Open("scene.y3d"), "error: Couldn't open the file named scene.y3d");

    // A fallback that is no archive is refused when it is set.
    auto junk = std::make_shared<TMemoryStream>();
    junk->WriteBuffer("not an archive at all, just some forty bytes", 44);
    EXPECT_THROW(TFlexibleStream::SetFallbackArchive(junk), Exception);
}
