// mirel pack / list / extract / verify, run as a user runs them.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

class MirelArchive : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileText(dir.File("zumbrix.xml"), std::string(5000, 'x') + "<demo/>");
        WriteFileText(dir.File("photo.jpg"), "not really a jpeg");
        archive = dir.File("out.pck");
        CommandResult r =
            RunMirel({"pack", archive, "--store", "*.jpg", dir.File("zumbrix.xml"), dir.File("photo.jpg")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    TempDir dir;
    std::string archive;
};

} // namespace

TEST_F(MirelArchive, PackListExtractAndVerify) {
    CommandResult list = RunMirel({"list", archive});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    // index, name, size, stored size, kind, crc
    EXPECT_EQ(list.out.substr(0, 17), "0\tzumbrix.xml\t500");
    EXPECT_NE(list.out.find("1\tphoto.jpg\t17\t17\tstored\t"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("\tdeflated\t"), std::string::npos);

    CommandResult out = RunMirel({"extract", archive, "dir\\PHOTO.JPG"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.out, "not really a jpeg");
    CommandResult toFile =
        RunMirel({"extract", archive, "zumbrix.xml", "-o", dir.File("copy.xml"), "--check-crc"});
    EXPECT_EQ(toFile.exitCode, 0) << toFile.err;
    EXPECT_EQ(ReadFileBytes(dir.File("copy.xml")), ReadFileBytes(dir.File("zumbrix.xml")));

    CommandResult verify = RunMirel({"verify", archive});
    EXPECT_EQ(verify.exitCode, 0);
    EXPECT_EQ(verify.out, "ok 2 members\n");

    CommandResult raw = RunMirel({"pack", dir.File("raw.pck"), "--raw-directory", dir.File("photo.jpg")});
    EXPECT_EQ(raw.exitCode, 0);
    EXPECT_EQ(RunMirel({"verify", dir.File("raw.pck")}).out, "ok 1 members\n");
}

TEST_F(MirelArchive, FailuresPrintTheMessageAndLeaveNoFile) {
    std::vector<uint8_t> bytes = ReadFileBytes(archive);
    bytes[10] ^= 1;
    WriteFileBytes(dir.File("bad.pck"), bytes);
    for (auto args : std::vector<std::vector<std::string>>{
             {"list", dir.File("bad.pck")},
             {"verify", dir.File("bad.pck")},
             {"extract", dir.File("bad.pck"), "photo.jpg", "-o", dir.File("never.jpg")}}) {
        CommandResult r = RunMirel(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, dir.File("bad.pck") + ": The archive file appears to be corrupted\n");
    }
    EXPECT_FALSE(FileExists(dir.File("never.jpg")));

    CommandResult missing = RunMirel({"extract", archive, "nothing.txt", "-o", dir.File("never.txt")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(FileExists(dir.File("never.txt")));

    CommandResult longName = RunMirel({"pack", dir.File("long.pck"), dir.File(std::string(256, 'n'))});
    EXPECT_EQ(longName.exitCode, 1);
    EXPECT_FALSE(FileExists(dir.File("long.pck")));
    EXPECT_FALSE(FileExists(dir.File("long.pck.partial")));
}

TEST_F(MirelArchive, PackNeverDestroysAnInput) {
    const std::string text = dir.File("a.txt");
    WriteFileText(text, "precious");
    std::filesystem::create_directory(dir.File("folder"));
    const std::vector<uint8_t> archiveBefore = ReadFileBytes(archive);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message; // the start of standard error
    } cases[] = {
        // The old "mirel pack a.txt": an empty archive over the one file named.
        {{"pack", text}, 2, "mirel pack: no input files\nusage: pack "},
        {{"pack"}, 2, "usage: pack "},
        {{"pack", text, text}, 2, "mirel pack: the output "},
        {{"pack", archive, dir.File("zumbrix.xml"), dir.Path() + "/./out.pck"}, 2, "mirel pack: the output "},
        {{"pack", dir.File("new.pck"), dir.File("folder")},
         1,
         "mirel pack: " + dir.File("folder") + ": is a directory\n"},
        {{"pack", text, dir.File("photo.jpg")},
         1,
         "mirel pack: " + text + " exists and is not an archive; --force replaces it\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : "no output");
        CommandResult r = RunMirel(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
        EXPECT_EQ(ReadFileBytes(text), std::vector<uint8_t>({'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}));
        EXPECT_EQ(ReadFileBytes(archive), archiveBefore);
    }
    EXPECT_FALSE(FileExists(dir.File("new.pck")));
    // An archive is replaced as before; --force replaces anything.
    EXPECT_EQ(RunMirel({"pack", archive, dir.File("photo.jpg")}).exitCode, 0);
    EXPECT_EQ(RunMirel({"verify", archive}).out, "ok 1 members\n");
    EXPECT_EQ(RunMirel({"pack", "--force", text, dir.File("photo.jpg")}).exitCode, 0);
    EXPECT_EQ(RunMirel({"verify", text}).out, "ok 1 members\n");
}

TEST(Mirel, HelpAndVersion) {
    for (const char* help : {"--help", "-h"})
        EXPECT_EQ(RunMirel({help}).out.rfind("usage: mirel COMMAND", 0), 0u) << help;
    EXPECT_EQ(RunMirel({"--version"}).out.rfind("mirel ", 0), 0u);
}
