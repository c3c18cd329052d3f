// The built program on the starter demo it carries: two seconds rendered
// offline at 4 frames per second, compared with reviewed reference frames,
// and the sound track of the same stretch.
#include "tests/demo/DemoTestSupport.h"

#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(EndToEnd, TwoSecondsOfTheStarterDemoMatchTheReviewedFrames) {
    TempDir out;
    CommandResult r =
        RunZumbrix({"--render-frames", out.Path(), "--fps", "4", "--duration", "2", "--window", "160x120"});
    if (r.exitCode != 0 && r.err.find("display") != std::string::npos) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::HasSubstr("8 frames at 4 fps"));
    EXPECT_FALSE(FileExists(out.File("frame_00008.tga")));
    for (int k = 0; k < 8; k++) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05d.tga", k);
        char reference[32];
        std::snprintf(reference, sizeof reference, "starter_%05d.tga", k);
        if (const char* folder = ReferenceOutputFolder()) {
            WriteFileBytes(std::string(folder) + "/" + reference, ReadFileBytes(out.File(name)));
            continue;
        }
        RgbaPicture got, expected;
        ASSERT_TRUE(LoadPicture(out.File(name), got)) << name;
        ASSERT_TRUE(LoadPicture(ReferencePath(reference), expected)) << reference;
        // Opaque, whatever alpha the fades left in the colour buffer.
        for (size_t i = 3; i < got.pixels.size(); i += 4)
            ASSERT_EQ(got.pixels[i], 255) << name << " pixel " << i / 4;
        PictureDifference d = ComparePictures(got, expected);
        ASSERT_TRUE(d.sameSize) << name;
        // Flat fades: a step of rounding at most.
        EXPECT_LE(d.maxDifference, 3) << name;
        EXPECT_LE(d.meanDifference, 0.5) << name;
    }
    // The sound of the same two seconds: 16-bit stereo at 44100 Hz.
    std::vector<uint8_t> wav = ReadFileBytes(out.File("audio.wav"));
    ASSERT_EQ(wav.size(), 44u + 2u * 176400u);
    EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
    EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVE", 4), 0);
}

TEST(EndToEnd, CommandLineHelpVersionAndMistakes) {
    CommandResult help = RunZumbrix({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, ::testing::HasSubstr("--render-frames DIR --fps N"));
    CommandResult version = RunZumbrix({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_THAT(version.out, ::testing::StartsWith("zumbrix "));
    CommandResult list = RunZumbrix({"--list"});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_THAT(list.out, ::testing::HasSubstr("zumbrix.xml"));
    EXPECT_THAT(list.out, ::testing::HasSubstr("niceFont.noc"));
    EXPECT_THAT(list.out, ::testing::HasSubstr("music.mp3"));
    CommandResult bad = RunZumbrix({"--window", "12by34"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_THAT(bad.err, ::testing::HasSubstr("--window wants WIDTHxHEIGHT"));
}

TEST(EndToEnd, BenchmarkLoopsPlayTheWholeTimelineAgainAndAgain) {
    CommandResult r = RunZumbrix({"--benchmark", "--loops", "2", "--window", "32x24"});
    if (r.exitCode != 0 && r.err.find("display") != std::string::npos) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // 117 s at 1/60 s, and the frame past the end: the same in both passes.
    EXPECT_THAT(r.out, ::testing::ContainsRegex("loop 1: 7022 frames, resident memory [0-9]+ KiB\n"
                                                "loop 2: 7022 frames, resident memory [0-9]+ KiB\n"));
    EXPECT_THAT(r.out, ::testing::HasSubstr("frames: 14044 (32x24"));
}

} // namespace
