// Live reload of a demo played from a data folder: real files edited while
// the main window plays (the way editors save them), the frames read back.
#include "tests/demo/DemoTestSupport.h"

#include "app/MainWindow.h"
#include "data/3dImage.h"
#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "demo/SceneEffect.h"
#include "demo/SeekKeys.h"
#include "demo/ScriptTimeline.h"
#include "scene/loader/Y3dFile.h"
#include "scene/model/Scene.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

using ::testing::HasSubstr;

namespace {

void Sleep(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// An editor's save: the new text written to a temporary file, which is then
// renamed over the old one.
void RenameOver(const std::string& path, const std::string& text) {
    WriteFileText(path + ".tmp~", text);
    ASSERT_EQ(std::rename((path + ".tmp~").c_str(), path.c_str()), 0);
}

// The other kind of save: the file truncated, then written in a few pieces.
void TruncateAndWrite(const std::string& path, const std::string& text) {
    int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    const size_t piece = text.size() / 3 + 1;
    for (size_t at = 0; at < text.size(); at += piece) {
        size_t n = std::min(piece, text.size() - at);
        ASSERT_EQ(::write(fd, text.data() + at, n), ssize_t(n));
        Sleep(30);
    }
    ::close(fd);
}

std::string Fades(const char* color, const char* start = "0") {
    return std::string("<effect name=\"fade\" class=\"TFade\">\n"
                       "  <control name=\"color\" kind=\"color\"><key time=\"") +
           start + "\" value=\"" + color + "\"/></control>\n</effect>\n";
}

struct ReloadFixture : ::testing::Test {
    TempDir data;
    std::unique_ptr<TMainWindow> window;

    void SetUp() override {
        ResetForWindowTest();
        std::filesystem::create_directory(data.File("data"));
        std::filesystem::copy_file(BuiltContent("content/niceFont.noc"), data.File("data/niceFont.noc"));
    }
    void TearDown() override { EndWindowTest(window); }
    bool Start(const char* size = "64x48") {
        window = std::make_unique<TMainWindow>(
            ParseCommandLine({"--window", size, "--silent", "--data", data.Path()}));
        if (!window->Create()) return false;
        // The clock stands still: every frame is drawn at the same demo time.
        window->Device()->TogglePause();
        return true;
    }
    // The main script: a resource section in data\, the fades included, a
    // part for a scene under one for the fade.
    void WriteMain(const std::string& more = "") {
        WriteFileText(data.File("zumbrix.xml"), "<demo>\n<resources location=\"file:data\\\">\n"
                                                "  <consolefont value=\"niceFont.noc\"/>\n" +
                                                    more +
                                                    "</resources>\n<!-- #include file=\"fades.xml\" -->\n"
                                                    "<part name=\"scene\" start=\"0\" stop=\"100\"/>\n"
                                                    "<part name=\"fade\" start=\"0\" stop=\"100\"/>\n"
                                                    "</demo>\n");
    }
    uint32_t Frame(int x = 4, int y = 4) {
        Application().Idle();
        TRefPtr<I3dContext> main;
        window->Device()->GetDevice()->GetMainContext(main);
        uint8_t p[4] = {0, 0, 0, 0};
        main->ReadBack(x, y, 1, 1, p);
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    // Polls as the message loop does until a change has settled and been
    // reloaded, then a while longer; returns how many reloads ran.
    int PollReloads(TReloadReport& last) {
        int reloads = 0;
        auto begin = std::chrono::steady_clock::now();
        auto since = [&] { return std::chrono::steady_clock::now() - begin; };
        std::chrono::steady_clock::time_point first{};
        while (since() < std::chrono::seconds(5)) {
            TReloadReport report = window->PollReload();
            if (report.outcome != roNothingChanged) {
                last = report;
                if (reloads++ == 0) first = std::chrono::steady_clock::now();
            }
            if (reloads && std::chrono::steady_clock::now() - first > std::chrono::milliseconds(600)) break;
            Sleep(10);
        }
        return reloads;
    }
    // A scene of one small triangle in front of a camera and a light, on a background
    // colour, with the vertex programs every scene load reads.
    void WriteScene(float red, float green, float blue) {
        CopyVertexPrograms(data.File("data"));
        const std::string path = data.File("data/scene.y3d");
        WriteTriangleScene(path + ".tmp~", 0.1f, red, green, blue);
        ASSERT_EQ(std::rename((path + ".tmp~").c_str(), path.c_str()), 0);
    }
    void WritePicture(const std::string& name, uint8_t red, uint8_t green, uint8_t blue) {
        TRefPtr<I3dImage> image = T3dImage::Create();
        image->Allocate(nullptr, 8, 2, 0, 1, 8);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++) {
                image->SetUInt8(x, y, 0, 0, red);
                image->SetUInt8(x, y, 1, 0, green);
                image->SetUInt8(x, y, 2, 0, blue);
            }
        const std::string path = data.File("data/" + name);
        ASSERT_TRUE(image->SaveToFile((path + ".tmp~.tga").c_str(), 0));
        ASSERT_EQ(std::rename((path + ".tmp~.tga").c_str(), path.c_str()), 0);
    }
    std::string Notice() {
        std::string all;
        for (const std::string& line : window->Device()->NoticeText())
            all += line + "\n";
        return all;
    }
};

constexpr uint32_t kRed = 0x0000ff, kGreen = 0x00ff00, kBlue = 0xff0000;

TEST_F(ReloadFixture, AnEditedScriptReloadsOnceAndTheNextFrameShowsItAtTheSameTime) {
    struct Case {
        const char* what;
        bool rename;
        bool included; // the edit is in the included script, not the main one
    };
    const Case cases[] = {
        {"rename-over of the included script", true, true},
        {"truncate-and-write of the included script", false, true},
        {"rename-over of the main script", true, false},
        {"truncate-and-write of the main script", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteMain();
        WriteFileText(data.File("fades.xml"), Fades("255 0 0 255"));
        ASSERT_TRUE(Start()) << window->StartupError();
        ASSERT_NE(window->Reloader(), nullptr);
        EXPECT_EQ(Frame(), kRed);
        const double time = window->Device()->Timer()->GetTime();
        const TDemoEffectList before = window->Device()->Effects();

        std::string path = data.File(c.included ? "fades.xml" : "zumbrix.xml");
        std::string text;
        if (c.included) {
            text = Fades("0 255 0 255");
        } else {
            // The main script takes the fade over from the include.
            WriteFileText(data.File("fades.xml"), "");
            text = "<demo>\n<resources location=\"file:data\\\">\n  <consolefont value=\"niceFont.noc\"/>\n"
                   "</resources>\n" +
                   Fades("0 255 0 255") + "<part name=\"fade\" start=\"0\" stop=\"100\"/>\n</demo>\n";
        }
        if (c.rename)
            RenameOver(path, text);
        else
            TruncateAndWrite(path, text);
        TReloadReport report;
        EXPECT_EQ(PollReloads(report), 1);
        EXPECT_EQ(report.outcome, roReloaded) << report.message;
        EXPECT_EQ(Frame(), kGreen);
        EXPECT_EQ(window->Device()->Timer()->GetTime(), time);
        // The fade was kept (its colour is a control, read every frame).
        ASSERT_EQ(window->Device()->Effects().size(), 1u);
        EXPECT_EQ(window->Device()->Effects()[0].Get(), before[0].Get());
        EXPECT_EQ(report.effectsKept, 1);
        EXPECT_EQ(Application().ErrorCount(), 0);
        window.reset();
        TFlexibleStream::ResetSettings();
    }
}

TEST_F(ReloadFixture, ABrokenEditKeepsTheLastGoodVersionAndShowsWhereUntilTheNextGoodOne) {
    WriteMain();
    WriteFileText(data.File("fades.xml"), Fades("255 0 0 255"));
    ASSERT_TRUE(Start("400x300")) << window->StartupError();
    ASSERT_EQ(Frame(), kRed);
    TRefPtr<IDemoEffect> fade(window->Device()->Effects()[0].Get());

    // An expression that does not parse, on the second line of the include.
    RenameOver(data.File("fades.xml"), Fades("0 255 0 255", "2*(1"));
    TReloadReport report;
    EXPECT_EQ(PollReloads(report), 1);
    ASSERT_EQ(report.outcome, roFailed);
    EXPECT_THAT(report.message, HasSubstr("fades.xml"));
    EXPECT_THAT(report.message, HasSubstr("fades.xml:2:"));
    EXPECT_THAT(report.message, HasSubstr("Missing brackets"));
    // The old version plays on, and the console says what went wrong.
    EXPECT_EQ(Frame(), kRed);
    EXPECT_EQ(window->Device()->Effects()[0].Get(), fade.Get());
    EXPECT_THAT(Notice(), HasSubstr("Reload failed"));
    EXPECT_THAT(Notice(), HasSubstr("fades.xml"));
    if (const char* out = std::getenv("ZUMBRIX_RELOAD_FRAME")) {
        window->Device()->RequestCapture(out);
        Frame();
    }

    // A picture that cannot be read, and a scene file cut short.
    struct Broken {
        const char* what;
        const char* file;
        const char* content;
    };
    const Broken broken[] = {
        {"an undecodable picture", "data/back.tga", "no picture at all"},
        {"a scene file cut in half", "data/scene.y3d", nullptr},
    };
    RenameOver(data.File("fades.xml"), Fades("0 255 0 255"));
    WritePicture("back.tga", 0, 0, 255);
    WriteScene(0, 0, 1);
    WriteMain("  <image name=\"back\" value=\"back.tga\"/>\n");
    RenameOver(data.File("fades.xml"),
               Fades("0 255 0 0") + "<effect name=\"scene\" class=\"TSceneLoadTest\">\n"
                                    "  <property name=\"name\" value=\"scene.y3d\"/>\n"
                                    "  <property name=\"background\" resource=\"back\"/>\n</effect>\n");
    EXPECT_EQ(PollReloads(report), 1);
    ASSERT_EQ(report.outcome, roReloaded) << report.message;
    EXPECT_EQ(Notice(), "");
    EXPECT_EQ(Frame(), kBlue);
    for (const Broken& b : broken) {
        SCOPED_TRACE(b.what);
        const std::vector<uint8_t> good = ReadFileBytes(data.File(b.file));
        RenameOver(data.File(b.file), b.content ? std::string(b.content)
                                                : std::string(good.begin(), good.begin() + good.size() / 2));
        EXPECT_EQ(PollReloads(report), 1);
        EXPECT_EQ(report.outcome, roFailed);
        EXPECT_THAT(report.message, HasSubstr(std::filesystem::path(b.file).filename().string()));
        EXPECT_EQ(Frame(), kBlue);
        EXPECT_THAT(Notice(), HasSubstr("Reload failed"));
        WriteFileBytes(data.File(b.file) + ".tmp~", good);
        std::rename((data.File(b.file) + ".tmp~").c_str(), data.File(b.file).c_str());
        EXPECT_EQ(PollReloads(report), 1);
        EXPECT_EQ(report.outcome, roReloaded) << report.message;
        EXPECT_EQ(Notice(), "");
    }
    EXPECT_EQ(Application().ErrorCount(), 0);
}

TEST_F(ReloadFixture, AReplacedSceneFileOrPictureShowsTheNewContentAndOnlyItsUsersReload) {
    WriteScene(1, 0, 0);
    WritePicture("other.tga", 0, 0, 255);
    WriteMain("  <image name=\"other\" value=\"other.tga\"/>\n");
    // A fade whose colour is transparent, over the scene; a second scene
    // effect with a picture as its background, drawn by no part.
    WriteFileText(data.File("fades.xml"),
                  "<effect name=\"scene\" class=\"TSceneLoadTest\">\n"
                  "  <property name=\"name\" value=\"scene.y3d\"/>\n</effect>\n" +
                      Fades("0 0 0 0") +
                      "<effect name=\"pictured\" class=\"TSceneLoadTest\">\n"
                      "  <property name=\"name\" value=\"scene.y3d\"/>\n"
                      "  <property name=\"background\" resource=\"other\"/>\n</effect>\n"
                      "<part name=\"pictured\" start=\"200\" stop=\"300\"/>\n");
    ASSERT_TRUE(Start()) << window->StartupError();
    EXPECT_EQ(Frame(), kRed);
    TRefPtr<IDemoEffect> fade(window->Device()->FindEffect("fade"));

    // The scene file: both scene effects read it, the fade stays.
    WriteScene(0, 1, 0);
    TReloadReport report;
    EXPECT_EQ(PollReloads(report), 1);
    ASSERT_EQ(report.outcome, roReloaded) << report.message;
    EXPECT_EQ(report.effectsLoaded, 2);
    EXPECT_EQ(report.effectsKept, 1);
    EXPECT_EQ(window->Device()->FindEffect("fade"), fade.Get());
    EXPECT_EQ(Frame(), kGreen);

    // The picture: only the effect showing it is made again.
    WritePicture("other.tga", 255, 255, 0);
    EXPECT_EQ(PollReloads(report), 1);
    ASSERT_EQ(report.outcome, roReloaded) << report.message;
    EXPECT_EQ(report.resourcesLoaded, 1);
    EXPECT_EQ(report.effectsLoaded, 1);
    EXPECT_EQ(report.effectsKept, 2);
    auto* pictured = dynamic_cast<TSceneLoadTest*>(window->Device()->FindEffect("pictured"));
    ASSERT_NE(pictured, nullptr);
    ASSERT_TRUE(pictured->Scene()->Background);
    EXPECT_EQ(pictured->Scene()->Background->GetUInt8(0, 0, 0, 0), 255);
    // The part of the picture's effect plays it.
    window->Device()->Timer()->SetTime(250.0);
    EXPECT_EQ(Frame(), 0x00ffffu);
    EXPECT_EQ(Application().ErrorCount(), 0);
}

// A hundred reloads in one run: the script, the scene and a failure in turn,
// with the frames drawn between them. Under the leak checker nothing may be
// left behind, and the timeline never grows.
TEST_F(ReloadFixture, AHundredReloadsInOneRun) {
    WriteScene(1, 0, 0);
    WriteMain();
    auto fades = [](bool green) {
        return std::string("<effect name=\"scene\" class=\"TSceneLoadTest\">\n"
                           "  <property name=\"name\" value=\"scene.y3d\"/>\n</effect>\n") +
               (green ? Fades("0 255 0 255") : Fades("255 0 0 255") + "<!-- red -->\n");
    };
    WriteFileText(data.File("fades.xml"), fades(false));
    ASSERT_TRUE(Start()) << window->StartupError();
    Frame();
    int reloaded = 0, failed = 0;
    for (int i = 0; i < 100; i++) {
        if (i % 10 == 9) {
            RenameOver(data.File("fades.xml"), "<part name=\"x\" start=\"(\"/>");
        } else if (i % 5 == 2) {
            WriteScene(float(i % 2), 0, 0);
        } else {
            RenameOver(data.File("fades.xml"), fades(i % 2 == 0));
        }
        TReloadReport report = window->Reload(false);
        reloaded += report.outcome == roReloaded;
        failed += report.outcome == roFailed;
        if (report.outcome == roReloaded && i % 5 != 2) {
            EXPECT_EQ(Frame(), i % 2 == 0 ? kGreen : kRed) << i;
        } else {
            Frame();
        }
        EXPECT_EQ(window->Device()->Effects().size(), 2u);
        EXPECT_EQ(window->Device()->Parts().size(), 2u);
    }
    EXPECT_EQ(failed, 10);
    EXPECT_EQ(reloaded, 90);
    EXPECT_EQ(Application().ErrorCount(), 0);
}

TEST_F(ReloadFixture, RReloadsEverythingAndTheHelpPageSaysSo) {
    WriteMain();
    WriteFileText(data.File("fades.xml"), Fades("255 0 0 255"));
    ASSERT_TRUE(Start()) << window->StartupError();
    Frame();
    const TDemoEffectList before = window->Device()->Effects();
    window->KeyDown('R');
    ASSERT_EQ(window->Device()->Effects().size(), 1u);
    EXPECT_NE(window->Device()->Effects()[0].Get(), before[0].Get());
    EXPECT_EQ(Frame(), kRed);
    window->KeyDown(vkH);
    const std::vector<std::string>& text = window->Device()->StatusText();
    // The page's own lines, the seeking keys, then the reload key.
    const size_t seek = std::size(kSeekHelpLines);
    ASSERT_EQ(text.size(), 12u + seek);
    EXPECT_EQ(text[10], kHelpLines[10]);
    EXPECT_EQ(text[11 + seek], kReloadHelpLine);
}

TEST_F(ReloadFixture, ArchiveRunsDoNotWatch) {
    WriteMain();
    WriteFileText(data.File("fades.xml"), Fades("255 0 0 255"));
    const std::string archive = data.File("demo.pck");
    CommandResult packed = RunMirel(
        {"pack", archive, data.File("zumbrix.xml"), data.File("fades.xml"), data.File("data/niceFont.noc")});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    window = std::make_unique<TMainWindow>(
        ParseCommandLine({"--window", "64x48", "--silent", "--archive", archive}));
    ASSERT_TRUE(window->Create()) << window->StartupError();
    EXPECT_EQ(window->Reloader(), nullptr);
    EXPECT_EQ(window->Watcher(), nullptr);
    // The page's own lines and the seeking keys, but no reload key.
    const size_t help = std::size(kHelpLines) + std::size(kSeekHelpLines);
    window->KeyDown(vkH);
    EXPECT_EQ(window->Device()->StatusText().size(), help);
}

} // namespace

namespace {

// An effect that reads a file of its own when loaded (so that the reloader
// learns it) and notes every hook and its own end.
std::vector<std::string> effectLog;
class TFileReadingEffect : public TRecordingEffect {
public:
    TFileReadingEffect() : TRecordingEffect(&effectLog) {}
    static TRefPtr<IDemoEffect> Make() { return TRefPtr<IDemoEffect>(new TFileReadingEffect()); }
    void Load() override {
        TRecordingEffect::Load();
        const TValueRecord* file = FindValue("file");
        TFlexibleStream stream(file && file->Kind == vkText ? file->Text : "");
        std::string text(size_t(stream.GetSize()), '\0');
        stream.ReadBuffer(text.data(), int64_t(text.size()));
    }

protected:
    ~TFileReadingEffect() override { effectLog.push_back("Destroyed " + GetName()); }
};

TEST(Reloader, ReplacedEffectsStopAndGoAFailedBuildLeavesNothingBehind) {
    TempDir data;
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetDataRoot(data.Path());
    WriteFileText(data.File("a.txt"), "a");
    WriteFileText(data.File("b.txt"), "b");
    WriteFileText(data.File("zumbrix.xml"), R"(
        <effect name="a" class="TFileReading"><property name="file" value="a.txt"/></effect>
        <effect name="b" class="TFileReading"><property name="file" value="b.txt"/></effect>
        <part name="a" start="0" stop="10"/><part name="b" start="0" stop="10"/>)");
    DemoWindow window;
    ASSERT_TRUE(window.Ok()) << window.Error();
    TEffectRegistry registry;
    registry.Register("TFileReading", &TFileReadingEffect::Make);
    auto script = std::make_unique<TFileXMLParser>();
    {
        // Start-up, telling the reloader what each step reads.
        TDemoReloader reloader(registry, script);
        reloader.BeginScript();
        script->LoadScript("zumbrix.xml");
        reloader.EndStep();
        reloader.SetDevice(window.Device());
        for (const auto& entry : script->Effects()) {
            reloader.BeginEffect(*entry);
            reloader.EndEffect(AddScriptEffect(registry, *window.Device(), *entry));
        }
        AddScriptParts(*window.Device(), *script);
        reloader.EndStartup();
        EXPECT_EQ(reloader.Files().size(), 3u);
        window.FrameAt(1.0, 0.02);
        IDemoEffect* const firstBefore = window.Device()->Effects()[0].Get();
        effectLog.clear();
        EXPECT_EQ(reloader.Reload().outcome, roNothingChanged);

        // b's file changes: both old parts stop, only b is made again.
        Sleep(10);
        WriteFileText(data.File("b.txt"), "bb");
        TReloadReport report = reloader.Reload();
        ASSERT_EQ(report.outcome, roReloaded) << report.message;
        EXPECT_EQ(Filter(effectLog, "Stop"), (std::vector<std::string>{"Stop a", "Stop b"}));
        EXPECT_EQ(Filter(effectLog, "Load"), (std::vector<std::string>{"Load b"}));
        EXPECT_EQ(Filter(effectLog, "Destroyed"), (std::vector<std::string>{"Destroyed b"}));
        EXPECT_EQ(window.Device()->Effects()[0].Get(), firstBefore);
        effectLog.clear();
        window.FrameAt(1.02, 0.02);
        EXPECT_EQ(Filter(effectLog, "Start"), (std::vector<std::string>{"Start a", "Start b"}));

        // a's file goes: the build fails, what it made goes with it, and the
        // playing parts are left as they were.
        const TDemoEffectList playing = window.Device()->Effects();
        effectLog.clear();
        std::filesystem::remove(data.File("a.txt"));
        report = reloader.Reload();
        EXPECT_EQ(report.outcome, roFailed);
        EXPECT_THAT(report.message, HasSubstr("a.txt"));
        EXPECT_EQ(Filter(effectLog, "Stop"), std::vector<std::string>{});
        EXPECT_EQ(Filter(effectLog, "Destroyed"), (std::vector<std::string>{"Destroyed a"}));
        EXPECT_EQ(window.Device()->Effects(), playing);
        EXPECT_TRUE(window.Device()->Parts()[0]->IsActive());
        EXPECT_TRUE(reloader.Failed());
        effectLog.clear();
    }
    // The reloader held effects too; the device now holds the last ones.
    EXPECT_EQ(Filter(effectLog, "Destroyed"), std::vector<std::string>{});
    TFlexibleStream::ResetSettings();
}

} // namespace
