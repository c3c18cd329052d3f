// The built program on the demo it carries: the whole timeline rendered
// offline at one frame per second in 160x120, compared with the reviewed
// contact sheet in docs/ (scripts/update-contact-sheet makes it), every scene
// part showing a picture that is neither flat nor black, and the sound track
// of the whole run.
#include "tests/demo/DemoTestSupport.h"

#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <png.h>

#include <cmath>
#include <cstring>

#include "data/FlexibleStream.h"
#include "script/FileXMLParser.h"

namespace {

constexpr int kFrames = 117; // t = 0, 1, ..., 116 seconds
constexpr int kWidth = 160, kHeight = 120, kPerRow = 13;

// The contact sheet as RGB bytes, top row first.
bool LoadSheet(const std::string& path, std::vector<uint8_t>& rgb, int& width, int& height) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
    width = int(image.width);
    height = int(image.height);
    return true;
}

// Mean and spread of the luminance of a frame (0..255).
void Brightness(const RgbaPicture& p, double& mean, double& spread) {
    double sum = 0, squares = 0;
    const size_t n = size_t(p.width) * size_t(p.height);
    for (size_t i = 0; i < n; i++) {
        const uint8_t* c = &p.pixels[i * 4];
        double y = 0.3 * c[0] + 0.59 * c[1] + 0.11 * c[2];
        sum += y;
        squares += y * y;
    }
    mean = sum / double(n);
    spread = std::sqrt(std::max(0.0, squares / double(n) - mean * mean));
}

std::string FrameName(int k) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%05d.tga", k);
    return name;
}

TEST(EndToEnd, TheWholeDemoMatchesItsContactSheet) {
    TempDir out;
    CommandResult r = RunZumbrix({"--render-frames", out.Path(), "--fps", "1", "--duration",
                                  std::to_string(kFrames), "--window", "160x120"});
    if (r.exitCode != 0 && r.err.find("display") != std::string::npos) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, ::testing::HasSubstr("117 frames at 1 fps"));
    std::vector<RgbaPicture> frames(kFrames);
    for (int k = 0; k < kFrames; k++)
        ASSERT_TRUE(LoadPicture(out.File(FrameName(k)), frames[size_t(k)])) << FrameName(k);

    // Each frame against its tile of the sheet. The sheet holds 256 colours,
    // which costs up to 6.5 levels of mean difference on the same renderer;
    // a scene that draws something else (black, another camera, another
    // time) costs tens.
    std::vector<uint8_t> sheet;
    int width = 0, height = 0;
    ASSERT_TRUE(LoadSheet(SourcePath("docs/demo-contact-sheet.png"), sheet, width, height));
    ASSERT_EQ(width, kPerRow * kWidth);
    ASSERT_EQ(height, (kFrames + kPerRow - 1) / kPerRow * kHeight);
    for (int k = 0; k < kFrames; k++) {
        const RgbaPicture& f = frames[size_t(k)];
        ASSERT_EQ(f.width, kWidth);
        ASSERT_EQ(f.height, kHeight);
        // Opaque, whatever alpha the fades left in the colour buffer.
        for (size_t i = 3; i < f.pixels.size(); i += 4)
            ASSERT_EQ(f.pixels[i], 255) << "the frame at " << k << " s, pixel " << i / 4;
        const int x0 = (k % kPerRow) * kWidth, y0 = (k / kPerRow) * kHeight;
        double sum = 0;
        for (int y = 0; y < kHeight; y++) // frames keep their bottom row first
            for (int x = 0; x < kWidth; x++)
                for (int c = 0; c < 3; c++)
                    sum += std::abs(
                        int(f.pixels[(size_t(y) * kWidth + size_t(x)) * 4 + size_t(c)]) -
                        int(sheet[(size_t(y0 + kHeight - 1 - y) * size_t(width) + size_t(x0 + x)) * 3 +
                                  size_t(c)]));
        EXPECT_LE(sum / (kWidth * kHeight * 3.0), 10.0) << "the frame at " << k << " s";
    }

    // Every scene part shows a picture: a frame after its start (the cuts of
    // the run-out flash for 0.6 s) is neither black nor one flat colour.
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetDataRoot(SourcePath("content"));
    TFileXMLParser script;
    script.LoadScript("zumbrix.xml");
    TFlexibleStream::ResetSettings();
    int sceneParts = 0;
    for (const auto& part : script.Parts()) {
        const TEffect* effect = script.FindEffect(part->Name);
        if (!effect || effect->ClassName != "TSceneLoadTest") continue;
        sceneParts++;
        bool shown = false;
        for (int k = int(std::ceil(part->Start + 0.6f)); k < part->Stop && k < kFrames && !shown; k++) {
            double mean, spread;
            Brightness(frames[size_t(k)], mean, spread);
            shown = mean > 15.0 && spread > 10.0;
        }
        EXPECT_TRUE(shown) << "the part of " << part->Name << " from " << part->Start << " s";
    }
    EXPECT_GE(sceneParts, 6);

    // The sound of the whole run: 16-bit stereo at 44100 Hz.
    std::vector<uint8_t> wav = ReadFileBytes(out.File("audio.wav"));
    ASSERT_EQ(wav.size(), 44u + 117u * 176400u);
    EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
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
    for (const char* member : {"zumbrix.xml", "niceFont.noc", "music.mp3", "relief.y3d", "dusk.y3d",
                               "sky.jpg", "wood.tif", "studio.tga", "wall_height.png"})
        EXPECT_THAT(list.out, ::testing::HasSubstr(member));
    CommandResult bad = RunZumbrix({"--window", "12by34"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_THAT(bad.err, ::testing::HasSubstr("--window wants WIDTHxHEIGHT"));
}

TEST(EndToEnd, TheBenchmarkNamesTheSlowestPart) {
    CommandResult r =
        RunZumbrix({"--benchmark", "--start", "14", "--duration", "0.5", "--window", "160x120"});
    if (r.exitCode != 0 && r.err.find("display") != std::string::npos) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // 14 s: the relief's last frames, then the stage after the cut.
    EXPECT_THAT(r.out, ::testing::HasSubstr("frames: 30"));
    EXPECT_THAT(r.out, ::testing::ContainsRegex("  relief +mean [0-9.]+ ms over 10 frames"));
    EXPECT_THAT(r.out, ::testing::ContainsRegex("  stage +mean [0-9.]+ ms over 20 frames"));
    EXPECT_THAT(r.out, ::testing::ContainsRegex("slowest part: (relief|stage) \\(mean"));
    // The pixel work beside the times, per part too.
    EXPECT_THAT(r.out, ::testing::ContainsRegex("passes: [0-9.]+ per frame; draw calls: [0-9.]+ per frame"));
    EXPECT_THAT(r.out, ::testing::ContainsRegex("fragments per main-view pixel: [0-9.]+ \\(opaque"));
    EXPECT_THAT(r.out, ::testing::ContainsRegex("shadow maps [0-9.]+ \\(0\\.[0-9]+ maps per frame\\)"));
    EXPECT_THAT(r.out,
                ::testing::ContainsRegex("programs compiled: [0-9]+ in parts' first frames, 0 in later"));
    EXPECT_THAT(r.out,
                ::testing::ContainsRegex("  stage +mean [0-9.]+ ms over 20 frames; [0-9.]+ fragments per "
                                         "main-view pixel, [0-9.]+ passes"));
}

// The renderer leaves out work no pixel shows (later light groups, fades of
// alpha 0, cube maps nothing samples, needless combiner stages and clamps):
// the whole demo is the same to the bit with that work done.
TEST(EndToEnd, LeavingOutWorkNoPixelShowsKeepsEveryFrame) {
    TempDir shown, all;
    const std::vector<std::string> args = {"--fps", "1", "--window", "160x120", "--render-frames"};
    auto render = [&](const TempDir& dir) {
        std::vector<std::string> a = args;
        a.push_back(dir.Path());
        return RunZumbrix(a);
    };
    CommandResult r = render(shown);
    if (r.exitCode != 0 && r.err.find("display") != std::string::npos) GTEST_SKIP() << r.err;
    ASSERT_EQ(r.exitCode, 0) << r.err;
    setenv("ZUMBRIX_DRAW_ALL_WORK", "1", 1);
    r = render(all);
    unsetenv("ZUMBRIX_DRAW_ALL_WORK");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string different;
    for (int k = 0; k < kFrames; k++) {
        const std::vector<uint8_t> a = ReadFileBytes(shown.File(FrameName(k)));
        ASSERT_FALSE(a.empty()) << FrameName(k);
        if (a != ReadFileBytes(all.File(FrameName(k)))) different += " " + FrameName(k);
    }
    EXPECT_EQ(different, "") << "frames that differ";
}

} // namespace
