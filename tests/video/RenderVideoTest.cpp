// zumbrix --render-video: five seconds of a small demo with the real
// soundtrack into each container, checked with ffprobe as a player sees the
// file (streams, codecs, pixel format, size, duration), and the failures
// that must leave no file behind.
#include "app/CommandLine.h"
#include "platform/Exception.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

// A red fade over the demo's own soundtrack.
const char* kScript = R"(<resources><mp3 value="music.mp3"/></resources>
<effect name="glow" class="TFade">
  <control name="color" kind="color"><key time="0" value="255 0 0 255"/></control>
</effect>
<part name="glow" start="0" stop="200"/>
)";

class RenderVideo : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFileText(data.File("zumbrix.xml"), kScript);
        fs::copy_file(std::string(ZUMBRIX_BINARY_DIR) + "/content/music.mp3", data.File("music.mp3"));
    }
    CommandResult Render(const std::string& file, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--data",   data.Path(), "--render-video", file, "--fps",   "10",
                                         "--window", "96x64",     "--duration",     "5",  "--start", "2"};
        args.insert(args.end(), more.begin(), more.end());
        return RunZumbrix(args);
    }
    TempDir data, out;
};

// ffprobe's "key=value" lines, keys prefixed with the section ("stream0.codec_name").
std::map<std::string, std::string> Probe(const std::string& file) {
    CommandResult r = RunProgram(
        "/usr/bin/ffprobe", {"-v", "error", "-show_entries",
                             "stream=codec_type,codec_name,pix_fmt,width,height:format=duration,nb_streams",
                             "-of", "default=noprint_wrappers=1", file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::map<std::string, std::string> values;
    int stream = -1;
    size_t start = 0;
    while (start < r.out.size()) {
        size_t end = r.out.find('\n', start);
        if (end == std::string::npos) end = r.out.size();
        const std::string line = r.out.substr(start, end - start);
        start = end + 1;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        if (key == "codec_name") stream++;
        const bool perStream = key != "duration" && key != "nb_streams";
        values[(perStream ? "stream" + std::to_string(stream) + "." : std::string()) + key] =
            line.substr(eq + 1);
    }
    return values;
}

TEST_F(RenderVideo, EachContainerHoldsOnePictureAndOneSoundStreamAsPlayersWantThem) {
    struct Case {
        const char* file;
        const char* video;
        const char* audio;
    };
    for (const Case& c : {Case{"demo.mp4", "h264", "aac"}, Case{"demo.webm", "vp9", "opus"},
                          Case{"demo.mkv", "h264", "aac"}}) {
        const std::string file = out.File(c.file);
        CommandResult r = Render(file);
        ASSERT_EQ(r.exitCode, 0) << c.file << ": " << r.err;
        EXPECT_THAT(r.err, HasSubstr("frame 50 of 50")) << "the progress line";
        EXPECT_THAT(r.err, HasSubstr(" left"));
        EXPECT_FALSE(FileExists(file + ".partial"));
        std::map<std::string, std::string> p = Probe(file);
        EXPECT_EQ(p["nb_streams"], "2") << c.file;
        EXPECT_EQ(p["stream0.codec_type"], "video") << c.file;
        EXPECT_EQ(p["stream0.codec_name"], c.video) << c.file;
        EXPECT_EQ(p["stream0.pix_fmt"], "yuv420p") << c.file;
        EXPECT_EQ(p["stream0.width"], "96");
        EXPECT_EQ(p["stream0.height"], "64");
        EXPECT_EQ(p["stream1.codec_type"], "audio") << c.file;
        EXPECT_EQ(p["stream1.codec_name"], c.audio) << c.file;
        // Five seconds of demo time, within one frame.
        EXPECT_NEAR(std::atof(p["duration"].c_str()), 5.0, 0.1) << c.file;
    }

    // The picture is the demo's: the red fade (through 4:2:0 and back).
    CommandResult frame =
        RunProgram("/usr/bin/ffmpeg", {"-v", "error", "-i", out.File("demo.mp4"), "-frames:v", "1", "-f",
                                       "rawvideo", "-pix_fmt", "rgb24", "-"});
    ASSERT_EQ(frame.out.size(), 96u * 64u * 3u) << frame.err;
    const size_t middle = (32 * 96 + 48) * 3;
    EXPECT_NEAR(uint8_t(frame.out[middle]), 255, 12);
    EXPECT_NEAR(uint8_t(frame.out[middle + 1]), 0, 12);
    EXPECT_NEAR(uint8_t(frame.out[middle + 2]), 0, 12);
}

TEST_F(RenderVideo, RefusalsAndFailuresNameTheFileAndLeaveNothing) {
    struct Case {
        std::string file;
        std::vector<std::string> more;
        const char* message;
    };
    const std::vector<Case> cases = {
        {out.File("no/such/folder/demo.mp4"), {}, "no/such/folder/demo.mp4: cannot create the file"},
        {out.File("demo.avi"), {}, "must end in .mp4, .webm or .mkv"},
        {out.File("odd.mp4"), {"--window", "95x64"}, "even width and height"},
        {out.File("q.mp4"), {"--quality", "11"}, "--quality wants a number from 1 to 10"},
        {out.File("both.mp4"), {"--benchmark"}, "--render-video excludes"},
    };
    for (const Case& c : cases) {
        CommandResult r = Render(c.file, c.more);
        EXPECT_EQ(r.exitCode, 1) << c.file;
        EXPECT_THAT(r.err, HasSubstr(c.message));
    }
    for (const auto& entry : fs::recursive_directory_iterator(out.Path()))
        ADD_FAILURE() << "left behind: " << entry.path();
}

TEST(RenderVideoOptions, DefaultsAndWhatBelongsTogether) {
    TCommandLine cl = ParseCommandLine({"--render-video", "a.MKV"});
    EXPECT_EQ(cl.videoFile, "a.MKV");
    EXPECT_EQ(cl.fps, 60.0);
    EXPECT_EQ(cl.quality, 7);
    EXPECT_TRUE(cl.Offline());
    EXPECT_FALSE(cl.chooser);
    EXPECT_FALSE(cl.silent) << "the sound is decoded for the video";
    cl = ParseCommandLine({"--render-video", "b.webm", "--fps", "25", "--quality", "10", "--window",
                           "1280x720", "--start", "3", "--duration", "2"});
    EXPECT_EQ(cl.fps, 25.0);
    EXPECT_EQ(cl.quality, 10);
    EXPECT_EQ(cl.width, 1280);
    EXPECT_EQ(cl.duration, 2.0);

    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Case> refused = {
        {{"--quality", "5"}, "--quality belongs to --render-video"},
        {{"--render-video", "a.mp4", "--quality", "0"}, "--quality wants a number from 1 to 10"},
        {{"--render-video", "a.mp4", "--render-frames", "d", "--fps", "2"}, "excludes"},
        {{"--render-video", "a.mp4.txt"}, "must end in .mp4, .webm or .mkv"},
        {{"--render-video", "folder.mp4/a"}, "must end in .mp4, .webm or .mkv"},
        {{"--render-video", "a.mp4", "--window", "640x481"}, "even width and height"},
        {{"--render-video", "a.mp4", "--fullscreen", "640x480"}, "not full screen"},
        {{"--render-video"}, "needs a value"},
    };
    for (const Case& c : refused) {
        try {
            ParseCommandLine(c.args);
            ADD_FAILURE() << "accepted: " << c.args[0];
        } catch (const EPlatformError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.message));
        }
    }
}

} // namespace
