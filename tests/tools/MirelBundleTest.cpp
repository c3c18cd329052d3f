// mirel bundle: a demo of one's own as one executable file. The bundle is
// copied alone into an empty folder and run offline; its frames must be those
// of zumbrix --archive with the same archive. Damaged and cut bundles end with
// a message naming the file.
#include "platform/Bundle.h"
#include "platform/Exception.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

// A small demo: a colour fade that turns from red to blue in two seconds.
const char* kScript = R"(<effect name="glow" class="TFade">
  <control name="color" kind="color" type="linear">
    <key time="0" value="255 0 0 255"/><key time="2" value="0 0 255 255"/></control>
</effect>
<part name="glow" start="0" stop="200"/>
)";

const std::vector<std::string> kRender = {"--window", "64x48", "--fps", "4", "--duration", "1"};

class MirelBundle : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.File("demo/data"));
        WriteFileText(dir.File("demo/zumbrix.xml"), kScript);
        WriteFileText(dir.File("demo/data/notes.txt"), "a member nobody reads");
        archive = dir.File("demo.pck");
        CommandResult pack =
            RunMirel({"pack", archive, dir.File("demo/zumbrix.xml"), dir.File("demo/data/notes.txt")});
        ASSERT_EQ(pack.exitCode, 0) << pack.err;
    }

    // Runs a program offline into a fresh folder; returns the frames' bytes.
    std::vector<std::vector<uint8_t>> Render(const std::string& program, std::vector<std::string> args) {
        const std::string out = dir.File("frames" + std::to_string(renders++));
        args.insert(args.end(), {"--render-frames", out});
        args.insert(args.end(), kRender.begin(), kRender.end());
        CommandResult r = RunProgram(program, args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<std::vector<uint8_t>> frames;
        for (int k = 0; FileExists(out + "/frame_0000" + std::to_string(k) + ".tga"); k++)
            frames.push_back(ReadFileBytes(out + "/frame_0000" + std::to_string(k) + ".tga"));
        return frames;
    }

    TempDir dir;
    std::string archive;
    int renders = 0;
};

TEST_F(MirelBundle, ABundleAloneInAnEmptyFolderPlaysItsArchive) {
    // Made from the archive and from the folder: both carry the same demo.
    CommandResult made = RunMirel({"bundle", archive, "-o", dir.File("fromArchive"), "--title", "My demo"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_EQ(made.out, "");
    ASSERT_EQ(RunMirel({"bundle", dir.File("demo"), "-o", dir.File("fromFolder")}).exitCode, 0);
    EXPECT_NE(fs::status(dir.File("fromArchive")).permissions() & fs::perms::owner_exec, fs::perms::none);

    TempDir empty;
    const std::string alone = empty.File("mydemo");
    fs::copy_file(dir.File("fromArchive"), alone);
    fs::permissions(alone, fs::perms::owner_all);

    CommandResult list = RunProgram(alone, {"--list"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_THAT(list.out, HasSubstr("\tzumbrix.xml\t"));
    EXPECT_THAT(list.out, HasSubstr("\tnotes.txt\t"));
    // The folder's files, found under their names (in the folder's order).
    CommandResult folderList = RunProgram(dir.File("fromFolder"), {"--list"});
    EXPECT_THAT(folderList.out, HasSubstr("\tzumbrix.xml\t223\t"));
    EXPECT_THAT(folderList.out, HasSubstr("\tnotes.txt\t21\t"));

    // The bundle's title is its window's caption.
    CommandResult titled = RunProgram(alone, {"--debug", "--render-frames", dir.File("titled"), "--fps", "4",
                                              "--duration", "0.25", "--window", "64x48"});
    EXPECT_EQ(titled.exitCode, 0) << titled.err;
    EXPECT_THAT(titled.err, HasSubstr("window caption: \"My demo\""));
    EXPECT_THAT(RunProgram(dir.File("fromFolder"), {"--debug", "--render-frames", dir.File("plain"), "--fps",
                                                    "4", "--duration", "0.25", "--window", "64x48"})
                    .err,
                HasSubstr("window caption: \"Zumbrix from Tombrel\""));

    const auto reference = Render(ZUMBRIX_PATH, {"--archive", archive});
    ASSERT_EQ(reference.size(), 4u);
    EXPECT_NE(reference[0], reference[3]) << "the fade changes colour";
    EXPECT_EQ(Render(alone, {}), reference);
    EXPECT_EQ(Render(dir.File("fromFolder"), {}), reference);

    // A bundle given as the engine passes on the program, not its archive.
    ASSERT_EQ(RunMirel({"bundle", archive, "-o", dir.File("again"), "--engine", alone}).exitCode, 0);
    EXPECT_EQ(fs::file_size(dir.File("again")), fs::file_size(dir.File("fromArchive")) - 7);
}

TEST_F(MirelBundle, RefusalsLeaveNoFileBehind) {
    WriteFileText(dir.File("existing"), "keep me");
    WriteFileText(dir.File("plain.txt"), "no archive");
    ASSERT_EQ(RunMirel({"pack", dir.File("noscript.pck"), dir.File("plain.txt")}).exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"bundle", archive, "-o", dir.File("existing")}, 1, "exists; --force replaces it"},
        {{"bundle", dir.File("plain.txt"), "-o", dir.File("new")}, 1, dir.File("plain.txt") + ": "},
        {{"bundle", dir.File("noscript.pck"), "-o", dir.File("new")}, 1, "holds no zumbrix.xml"},
        {{"bundle", dir.File("nothing.pck"), "-o", dir.File("new")}, 1, dir.File("nothing.pck")},
        {{"bundle", archive, "-o", dir.File("new"), "--engine", dir.File("plain.txt")},
         1,
         dir.File("plain.txt") + ": is no 64-bit ELF program"},
        {{"bundle", archive, "-o", dir.File("new"), "--title", "two\nlines"}, 1, "control characters"},
        {{"bundle", archive, "-o", dir.Path()}, 1, "is a directory"},
        {{"bundle", archive}, 2, "usage: bundle"},
    };
    for (const Case& c : cases) {
        CommandResult r = RunMirel(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.message;
        EXPECT_THAT(r.err, HasSubstr(c.message));
        EXPECT_EQ(r.out, "");
    }
    const std::vector<uint8_t> kept = ReadFileBytes(dir.File("existing"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "keep me");
    EXPECT_FALSE(FileExists(dir.File("new")));
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().string().find(".partial"), std::string::npos) << entry.path();

    CommandResult forced = RunMirel({"bundle", archive, "-o", dir.File("existing"), "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(RunProgram(dir.File("existing"), {"--list"}).exitCode, 0);
}

TEST_F(MirelBundle, ADamagedOrCutBundleEndsWithAMessageNamingIt) {
    ASSERT_EQ(RunMirel({"bundle", archive, "-o", dir.File("good")}).exitCode, 0);
    const std::vector<uint8_t> good = ReadFileBytes(dir.File("good"));
    const std::vector<uint8_t> program = ReadFileBytes(ZUMBRIX_PATH);
    ASSERT_GT(good.size(), program.size());
    const size_t appended = good.size() - program.size();
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"last byte cut", [](auto& b) { b.pop_back(); }, "no whole demo bundle"},
        {"half the archive cut", [&](auto& b) { b.resize(program.size() + appended / 2); },
         "no whole demo bundle"},
        {"all but ten bytes cut", [&](auto& b) { b.resize(program.size() + 10); }, "no whole demo bundle"},
        {"archive byte flipped", [&](auto& b) { b[program.size() + 40] ^= 0x10; }, "corrupted"},
        {"trailer size changed", [](auto& b) { b[b.size() - 24] ^= 0x01; }, "trailer does not match"},
        {"trailer version changed", [](auto& b) { b[b.size() - 12] = 9; }, "has version 9"},
        {"bytes added after the trailer", [](auto& b) { b.push_back(0); }, "no whole demo bundle"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = good;
        c.damage(bytes);
        const std::string file = dir.File("damaged");
        WriteFileBytes(file, bytes);
        fs::permissions(file, fs::perms::owner_all);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--list"},
              std::vector<std::string>{"--render-frames", dir.File("never"), "--fps", "4", "--window",
                                       "64x48"}}) {
            CommandResult r = RunProgram(file, args);
            EXPECT_EQ(r.exitCode, 1) << c.what << " " << args[0] << ": " << r.err;
            EXPECT_THAT(r.err, HasSubstr(file)) << c.what;
            EXPECT_THAT(r.err, HasSubstr(c.message)) << c.what;
        }
        EXPECT_FALSE(FileExists(dir.File("never/frame_00000.tga"))) << c.what;
    }
}

TEST(BundleFormat, TrailerAndProgramExtentReadBack) {
    const std::vector<uint8_t> program = ReadFileBytes(ZUMBRIX_PATH);
    EXPECT_EQ(ElfExtent(program.data(), program.size(), "zumbrix"), program.size());
    std::vector<uint8_t> file = program;
    const std::string archive = "ARCHIVE", title = "Title", trailer = BundleTrailer(program.size(), 7, 5);
    ASSERT_EQ(trailer.size(), kBundleTrailerSize);
    for (const std::string* part : {&archive, &title, &trailer})
        file.insert(file.end(), part->begin(), part->end());
    uint64_t offset = 0, size = 0;
    std::string_view readTitle;
    ASSERT_TRUE(ParseBundle(file.data(), file.size(), "b", offset, size, readTitle));
    EXPECT_EQ(offset, program.size());
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(readTitle, "Title");
    EXPECT_FALSE(ParseBundle(program.data(), program.size(), "z", offset, size, readTitle));
    // Cut inside the program's own headers.
    EXPECT_THROW(ElfExtent(program.data(), 100, "z"), EPlatformError);
    EXPECT_THROW(ElfExtent(program.data(), program.size() - 1, "z"), EPlatformError);
}

} // namespace
