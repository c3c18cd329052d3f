// Start-up of the main window from loose data files and archives: every
// resource kind loaded into the device, effects and parts added, and
// failures reported with their messages while the window stays open.
#include "tests/demo/DemoTestSupport.h"

#include "app/MainWindow.h"
#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "demo/SceneEffect.h"
#include "scene/loader/Y3dFile.h"
#include "scene/model/Scene.h"
#include "platform/Signals.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

using ::testing::HasSubstr;

namespace {

struct StartupFixture : ::testing::Test {
    TempDir data;
    std::unique_ptr<TMainWindow> window;

    void SetUp() override {
        ResetForWindowTest();
    }
    void TearDown() override { EndWindowTest(window); }
    bool Start(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"--window", "120x90", "--silent"};
        args.insert(args.end(), extra.begin(), extra.end());
        window = std::make_unique<TMainWindow>(ParseCommandLine(args));
        return window->Create();
    }
    // A small picture written by the image layer.
    void WritePicture(const std::string& name, uint8_t red) {
        TRefPtr<I3dImage> image = T3dImage::Create();
        image->Allocate(nullptr, 8, 2, 0, 1, 8);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++) {
                image->SetUInt8(x, y, 0, 0, red);
                image->SetUInt8(x, y, 1, 0, uint8_t(x * 30));
                image->SetUInt8(x, y, 2, 0, uint8_t(y * 30));
            }
        ASSERT_TRUE(image->SaveToFile(data.File(name).c_str(), 0));
    }
    // A scene of one triangle, a camera and a light, with the vertex
    // programs every scene load needs.
    void WriteScene(const std::string& name) {
        CopyVertexPrograms(data.Path());
        WriteTriangleScene(data.File(name));
    }
    const TResource* Resource(const std::string& name) {
        for (const auto& r : window->Script()->GetResources()->Items)
            if (r->Name == name) return r.get();
        return nullptr;
    }
};

TEST_F(StartupFixture, EveryResourceKindEffectsAndPartsFromLooseFiles) {
    WritePicture("pic.tga", 200);
    for (const char* face : {"posx", "negx", "posy", "negy", "posz", "negz"})
        WritePicture(std::string("sky_") + face + ".tga", 100);
    WriteFileText(data.File("blob.bin"), "0123456789");
    std::filesystem::copy_file(BuiltContent("content/niceFont.noc"), data.File("niceFont.noc"));
    WriteScene("triangle.y3d");
    WriteFileText(data.File("zumbrix.xml"), R"(<demo>
        <resources location="file:">
          <image name="pic" value="pic.tga"/>
          <texture name="tex" value="pic.tga" repeat="false"/>
          <cubetexture name="sky" value="sky_%s.tga"/>
          <binary name="blob" value="blob.bin"/>
          <consolefont value="NICEFONT.NOC"/>
          <consolefontSize value="30"/>
        </resources>
        <effect name="fade" class="TFade">
          <property name="picture" resource="pic"/>
          <control name="color" kind="color"><key time="0" value="255 0 0 255"/></control>
        </effect>
        <effect name="scene" class="TSceneLoadTest">
          <property name="name" value="triangle.y3d"/>
          <property name="background" resource="pic"/>
        </effect>
        <effect name="odd" class="TSomethingElse"></effect>
        <part name="fade" start="0" stop="10"/>
        <part name="scene" start="0" stop="10"/>
        <part name="nowhere" start="0" stop="10"/>
        <part name="fade" start="20" stop="30"/>
        </demo>)");
    ASSERT_TRUE(Start({"--data", data.Path()})) << window->StartupError();
    TDemo3dDevice* device = window->Device();
    // Classes this program has no implementation for make no effect, and
    // parts naming no effect are left out of the timeline.
    ASSERT_EQ(device->Effects().size(), 2u);
    EXPECT_EQ(device->Effects()[0]->GetName(), "fade");
    EXPECT_EQ(device->Effects()[1]->GetName(), "scene");
    ASSERT_EQ(device->Parts().size(), 3u);
    EXPECT_FLOAT_EQ(device->Parts()[2]->GetStartTime(), 20.0f);
    // The scene effect loaded its scene with the picture as background.
    auto* scene = dynamic_cast<TSceneLoadTest*>(device->FindEffect("scene"));
    ASSERT_NE(scene, nullptr);
    ASSERT_NE(scene->Scene(), nullptr);
    EXPECT_EQ(scene->Scene()->Objects.Count(), 1);
    EXPECT_TRUE(scene->Scene()->Background);
    // Resources by kind.
    EXPECT_EQ(Resource("pic")->Record.Kind, vkImage);
    EXPECT_EQ(Resource("tex")->Record.Kind, vkTexture);
    T3dCapabilities caps{};
    TRefPtr<I3dContext> main;
    device->GetDevice()->GetMainContext(main);
    main->GetCapabilities(caps);
    EXPECT_EQ(Resource("sky")->Record.Kind, caps.CubeMaps ? vkCubeTexture : vkTexture);
    const TValueRecord& blob = Resource("blob")->Record;
    ASSERT_EQ(blob.Kind, vkData);
    EXPECT_EQ(blob.Block.Size, 10u);
    EXPECT_EQ(std::string(static_cast<const char*>(blob.Block.Data), 10), "0123456789");
    EXPECT_NE(device->GetConsole(), nullptr);
    EXPECT_EQ(device->GetMusicPlayer(), nullptr); // --silent
    // The effect sees the image through its property.
    auto* fade = dynamic_cast<TDemoEffect*>(device->FindEffect("fade"));
    EXPECT_TRUE(fade->GetInterfaceValue("picture"));
    // The window has the asked-for client size and is shown; playback runs.
    int w = 0, h = 0;
    SDL_GetWindowSize(window->Window(), &w, &h);
    EXPECT_EQ(w, 120);
    EXPECT_EQ(h, 90);
    EXPECT_TRUE(SDL_GetWindowFlags(window->Window()) & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(Application().HasIdleHandler());
    EXPECT_EQ(Application().ErrorCount(), 0);
}

TEST_F(StartupFixture, AMissingDataFileIsReportedAndTheWindowStaysWithoutPlayback) {
    WriteFileText(data.File("zumbrix.xml"), R"(<resources location="file:">
        <consolefont value="missing.noc"/></resources>)");
    EXPECT_FALSE(Start({"--data", data.Path()}));
    EXPECT_THAT(window->StartupError(), HasSubstr("Couldn't open the file named"));
    EXPECT_THAT(window->StartupError(), HasSubstr("missing.noc"));
    EXPECT_EQ(Application().LastError(), window->StartupError());
    EXPECT_FALSE(window->Started());
    EXPECT_FALSE(Application().Terminated());
    ASSERT_NE(window->Window(), nullptr);
    EXPECT_TRUE(SDL_GetWindowFlags(window->Window()) & SDL_WINDOW_SHOWN);
}

TEST_F(StartupFixture, ASceneThatFailsToLoadIsReported) {
    WriteFileText(data.File("zumbrix.xml"), R"(<effect name="s" class="TSceneLoadTest">
        <property name="name" value="nothere.y3d"/></effect><part name="s" start="0" stop="1"/>)");
    EXPECT_FALSE(Start({"--data", data.Path()}));
    EXPECT_THAT(window->StartupError(), HasSubstr("nothere.y3d"));
    EXPECT_EQ(Application().LastError(), window->StartupError());
    EXPECT_FALSE(window->Started());
}

TEST_F(StartupFixture, AMissingMainScriptInTheArchiveIsReported) {
    WriteFileText(data.File("other.txt"), "not the script");
    std::string archive = data.File("nomain.pck");
    CommandResult packed = RunMirel({"pack", archive, data.File("other.txt")});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    EXPECT_FALSE(Start({"--archive", archive}));
    // The message names the archive it looked in.
    EXPECT_EQ(window->StartupError(),
              "Must open a stream: the archive holds no file named zumbrix.xml (data from the "
              "archive \"" +
                  archive + "\")");
}

TEST_F(StartupFixture, ABrokenScriptIsReportedWithTheEvaluatorsMessage) {
    WriteFileText(data.File("zumbrix.xml"), R"(<effect name="f" class="TFade"></effect>
        <part name="f" start="(1+2" stop="3"/>)");
    EXPECT_FALSE(Start({"--data", data.Path()}));
    EXPECT_EQ(window->StartupError(),
              "zumbrix.xml:2: part start \"(1+2\": Missing brackets in expression (\")\") (data from the "
              "folder \"" +
                  data.Path() + "\")");
    EXPECT_EQ(window->ExitCode(), 1);
    EXPECT_EQ(Application().LastError(), window->StartupError());
    EXPECT_FALSE(Application().HasIdleHandler());
}

TEST_F(StartupFixture, SettingsSwitchSaysNoSettingsAndTheChooserThenCancels) {
    // The switch handling runs first and asks to terminate; start-up still
    // runs and its chooser ends at once with Cancel.
    window = std::make_unique<TMainWindow>(ParseCommandLine({"/c"}));
    ::testing::internal::CaptureStderr();
    bool started = window->Create();
    std::string err = ::testing::internal::GetCapturedStderr();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT); // the quit request it posted
    EXPECT_FALSE(started);
    EXPECT_FALSE(window->Started());
    EXPECT_TRUE(Application().Terminated());
    size_t settings = err.find("no settings");
    size_t cancel = err.find("We are tombrel, we dont have metal support");
    ASSERT_NE(settings, std::string::npos) << err;
    ASSERT_NE(cancel, std::string::npos) << err;
    EXPECT_LT(settings, cancel);
    EXPECT_EQ(window->Device(), nullptr);
}

TEST_F(StartupFixture, ARequestToEndWhileLoadingStopsStartupQuietly) {
    InstallTerminationHandlers();
    WriteFileText(data.File("zumbrix.xml"), R"(<resources>
        <binary name="one" value="one.bin"/><binary name="two" value="two.bin"/>
        <binary name="three" value="three.bin"/></resources>
        <effect name="f" class="TFade"></effect><part name="f" start="0" stop="1"/>)");
    for (const char* name : {"one.bin", "two.bin", "three.bin"})
        WriteFileText(data.File(name), name);
    // What happens while the second resource is about to be loaded.
    const std::vector<std::pair<const char*, std::function<bool()>>> requests = {
        {"SIGTERM", [] { return raise(SIGTERM) == 0; }},
        {"the window is closed",
         [this] {
             SDL_Event e{};
             e.type = SDL_WINDOWEVENT;
             e.window.event = SDL_WINDOWEVENT_CLOSE;
             e.window.windowID = SDL_GetWindowID(window->Window());
             return SDL_PushEvent(&e) == 1;
         }},
        {"the progress callback declines", [] { return false; }},
    };
    for (const auto& [what, request] : requests) {
        SCOPED_TRACE(what);
        window = std::make_unique<TMainWindow>(
            ParseCommandLine({"--window", "120x90", "--silent", "--data", data.Path()}));
        std::vector<std::string> seen;
        window->OnLoadProgress = [&, request = request](int n, int count, const TResource& r) {
            seen.push_back(std::to_string(n) + "/" + std::to_string(count) + " " + r.Name);
            return n == 2 ? request() : true;
        };
        EXPECT_FALSE(window->Create());
        EXPECT_EQ(seen, (std::vector<std::string>{"1/3 one", "2/3 two"}));
        EXPECT_NE(Resource("three")->Record.Kind, vkData);
        EXPECT_TRUE(window->Device()->Effects().empty());
        EXPECT_TRUE(Application().Terminated());
        EXPECT_EQ(window->StartupError(), "");
        EXPECT_EQ(window->ExitCode(), 0);
        window.reset();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        ClearTerminationSignal();
        Application().ClearTerminate();
        TFlexibleStream::ResetSettings();
    }
}

TEST_F(StartupFixture, AFullScreenModeTheDisplayRefusesPlaysInAWindow) {
    WriteFileText(data.File("zumbrix.xml"), "<demo/>");
    ASSERT_TRUE(Start({"--data", data.Path()})) << window->StartupError();
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(window->EnterFullScreen(40000, 30000, 32, 0)); // no display has that
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "zumbrix: the display refused the mode 40000x30000; the demo plays in a window\n");
    EXPECT_FALSE(SDL_GetWindowFlags(window->Window()) & SDL_WINDOW_FULLSCREEN);
    EXPECT_EQ(window->ExitCode(), 0);
    // The desktop's own size is always there.
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    EXPECT_TRUE(window->EnterFullScreen(desktop.w, desktop.h, 0, 0));
    EXPECT_TRUE(SDL_GetWindowFlags(window->Window()) & SDL_WINDOW_FULLSCREEN);
}

TEST_F(StartupFixture, OfflineRunsEndWithTheMessageAndAnErrorCode) {
    WriteFileText(data.File("zumbrix.xml"), R"(<resources><mp3 value="nothere.mp3"/></resources>)");
    TempDir out;
    CommandResult r = RunZumbrix({"--data", data.Path(), "--render-frames", out.Path(), "--fps", "4"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Couldn't open the file named"));
    EXPECT_THAT(r.err, HasSubstr("nothere.mp3"));
}

} // namespace
