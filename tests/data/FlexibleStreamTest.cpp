#include "data/FlexibleStream.h"
#include "platform/Resources.h"
#include "tests/data/ArchiveTestUtil.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

std::string ReadAll(TFlexibleStream& s) {
    std::string text(static_cast<size_t>(s.GetSize()), '\0');
    s.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    return text;
}

std::string ConstructError(const std::string& name) {
    try {
        TFlexibleStream s(name);
    } catch (const EFlexibleStreamError& e) {
        return e.what();
    }
    return "";
}

class FlexibleStreamTest : public ::testing::Test {
protected:
    void SetUp() override { TFlexibleStream::ResetSettings(); }
    void TearDown() override { TFlexibleStream::ResetSettings(); }

    void UseArchive(const std::vector<TestMember>& members, uint8_t mode = lmPackage) {
        std::vector<uint8_t> bytes = BuildArchive(members);
        auto source = std::make_shared<TMemoryStream>();
        source->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        TFlexibleStream::OpenArchiveStream(source, "test.pck");
        TFlexibleStream::SetMode(mode);
    }
};

} // namespace

TEST_F(FlexibleStreamTest, FileModeAppendsTheNameToThePathAsItIs) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("Data"));
    WriteFileText(dir.File("Data/Scene.XML"), "<scene/>");
    WriteFileText(dir.File("datafile.txt"), "run-together");
    TFlexibleStream::SetDataRoot(dir.Path());
    TFlexibleStream::SetPath("data\\");
    {
        TFlexibleStream s("scene.xml"); // backslash separator, any letter case
        EXPECT_EQ(ReadAll(s), "<scene/>");
    }
    TFlexibleStream::SetPath("data");
    {
        TFlexibleStream s("file.txt"); // no separator inserted
        EXPECT_EQ(ReadAll(s), "run-together");
    }
    EXPECT_EQ(ConstructError("missing.txt"), "Couldn't open the file named missing.txt");
}

TEST_F(FlexibleStreamTest, ArchiveModesFindMembersByFileName) {
    for (uint8_t mode : {lmPackage, lmPackedResource}) {
        UseArchive({{"niceFont.noc", "font bytes"}, {"zumbrix.xml", Patterned(5000)}}, mode);
        TFlexibleStream a("NiceFont.noc");
        EXPECT_EQ(a.GetPosition(), 0);
        EXPECT_EQ(a.GetSize(), 10);
        EXPECT_EQ(ReadAll(a), "font bytes");
        TFlexibleStream b("data\\ZUMBRIX.XML");
        EXPECT_EQ(ReadAll(b), Patterned(5000));
        // A name no member has constructs; using it raises.
        TFlexibleStream missing("absent.jpg");
        EXPECT_FALSE(missing.HasSource());
        try {
            missing.GetSize();
            FAIL();
        } catch (const EFlexibleStreamError& e) {
            EXPECT_STREQ(e.what(), "Must open a stream: the archive holds no file named absent.jpg");
        }
        char c;
        EXPECT_THROW(missing.Read(&c, 1), EFlexibleStreamError);
    }
}

TEST_F(FlexibleStreamTest, ArchiveModeWithoutArchiveOrWithDamagedMemberFailsToOpen) {
    TFlexibleStream::SetMode(lmPackage);
    EXPECT_EQ(ConstructError("x.txt"), "Couldn't open the file named x.txt");

    std::vector<uint8_t> bytes = BuildArchive({{"x.txt", Patterned(3000)}}, true);
    RawEntry(bytes, 0).size = 0x7fffffff; // claims 2 GiB; must not allocate it
    Reseal(bytes);
    auto source = std::make_shared<TMemoryStream>();
    source->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    TFlexibleStream::OpenArchiveStream(source, "damaged.pck");
    EXPECT_EQ(ConstructError("x.txt"), "Couldn't open the file named x.txt");
}

TEST_F(FlexibleStreamTest, StreamsKeepTheSettingsTheyWereMadeWith) {
    TempDir dir;
    WriteFileText(dir.File("a.txt"), "from disk");
    UseArchive({{"a.txt", "from archive"}});
    TFlexibleStream packed("a.txt");
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetPath(dir.Path() + "/");
    TFlexibleStream loose("a.txt");
    EXPECT_EQ(ReadAll(packed), "from archive");
    EXPECT_EQ(ReadAll(loose), "from disk");
}

TEST_F(FlexibleStreamTest, ResourceModeDropsOnlyTheFirstDot) {
    static const char kScene[] = "scene data";
    static const char kTwoDots[] = "two dots";
    RegisterResource("flx", "sceneobj", kScene, sizeof kScene - 1);
    RegisterResource("flx", "archivetar.gz", kTwoDots, sizeof kTwoDots - 1);
    TFlexibleStream::SetMode(lmResource);
    TFlexibleStream a("data\\scene.obj");
    EXPECT_EQ(ReadAll(a), "scene data");
    TFlexibleStream b("archive.tar.gz");
    EXPECT_EQ(ReadAll(b), "two dots");
    EXPECT_EQ(ConstructError("archive.tar.gz.x"), "Couldn't open the file named archive.tar.gz.x");
}

TEST_F(FlexibleStreamTest, DiagnosticsLogSettingsAndFirstReads) {
    TFlexibleStream::SetDiagnostics(true);
    TFlexibleStream::SetMode(lmPackedResource);
    TFlexibleStream::SetPath("data\\");
    UseArchive({{"a.txt", "abc"}}, lmPackedResource);
    {
        TFlexibleStream s("a.txt");
        char c[3];
        s.ReadBuffer(c, 1);
        s.ReadBuffer(c, 2);
    }
    std::vector<std::string> expected = {"Mode : PackedResource", "Path : data\\", "Archive : test.pck",
                                         "Mode : PackedResource", "Read : a.txt"};
    EXPECT_EQ(TFlexibleStream::Settings().diagnosticsLog, expected);
}
