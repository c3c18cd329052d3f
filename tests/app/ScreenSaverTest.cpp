// Screen-saver switches and the close machinery (mouse-move allowance, the
// cursor poll, close attempts), driven through a recording host.
#include "app/ScreenSaver.h"

#include <gtest/gtest.h>

namespace {

TScreenSaverRequest Parse(std::vector<std::string> args, const char* env = nullptr) {
    return ParseScreenSaverArgs(args, env);
}

// Records what the screen saver asks of the window system.
class RecordingHost : public TScreenSaverHost {
public:
    std::vector<std::string> calls;
    int cursorX = 10, cursorY = 20;
    int closes = 0;

    void ShowCursor(bool show) override { calls.push_back(show ? "show cursor" : "hide cursor"); }
    bool GetCursorPos(int& x, int& y) override {
        x = cursorX;
        y = cursorY;
        return true;
    }
    void SendClose() override {
        ++closes;
        calls.push_back("close");
    }
    void Terminate() override { calls.push_back("terminate"); }
    void ShowMessage(const std::string& text, const std::string&) override {
        calls.push_back("message " + text);
    }
    void AdjustForRun(uint64_t into) override { calls.push_back("run " + std::to_string(into)); }
    void AdjustForPreview(uint64_t parent) override { calls.push_back("preview " + std::to_string(parent)); }
    void StartPollTimer(int ms) override { calls.push_back("poll " + std::to_string(ms)); }
    void StopPollTimer() override { calls.push_back("stop poll"); }
};

// The main window's own settings: no keyboard hook, mouse moves and the poll.
void MainWindowOptions(TScreenSaver& saver) {
    saver.Options = ssoAutoAdjustFormProperties | ssoAutoHookMouseEvents | ssoEnhancedMouseMoveDetection;
}

} // namespace

TEST(ScreenSaverSwitches, PlatformSwitches) {
    EXPECT_EQ(Parse({}).mode, smNormal);
    EXPECT_EQ(Parse({"/s"}).mode, smRun);
    EXPECT_EQ(Parse({"/S"}).mode, smRun);
    EXPECT_EQ(Parse({"/c"}).mode, smSettings);
    EXPECT_EQ(Parse({"/c:1234"}).mode, smSettings);
    EXPECT_EQ(Parse({"-C", "55"}).mode, smSettings);

    TScreenSaverRequest preview = Parse({"/p", "1234"});
    EXPECT_EQ(preview.mode, smPreview);
    EXPECT_EQ(preview.window, 1234u);
    EXPECT_EQ(Parse({"/P", "0x3a00007"}).window, 0x3a00007u);
    EXPECT_EQ(Parse({"/p", "window"}).window, 0u); // not a number: 0
    EXPECT_EQ(Parse({"/p", "window"}).mode, smPreview);

    TScreenSaverRequest password = Parse({"/a", "77"});
    EXPECT_EQ(password.mode, smPasswordChange);
    EXPECT_EQ(password.window, 77u);
    // A lone /a or /p (one argument) runs the screen saver.
    EXPECT_EQ(Parse({"/a"}).mode, smRun);
    EXPECT_EQ(Parse({"/p"}).mode, smRun);
    // Anything else runs, whatever follows.
    EXPECT_EQ(Parse({"/x", "1"}).mode, smRun);
    EXPECT_EQ(Parse({"/"}).mode, smRun);
    EXPECT_EQ(Parse({""}).mode, smRun);
}

TEST(ScreenSaverSwitches, XScreenSaverConventions) {
    TScreenSaverRequest root = Parse({"-root"});
    EXPECT_EQ(root.mode, smRun);
    EXPECT_EQ(root.window, 0u);
    root = Parse({"-root"}, "0x1e00003");
    EXPECT_EQ(root.mode, smRun);
    EXPECT_EQ(root.window, 0x1e00003u);

    TScreenSaverRequest window = Parse({"-window-id", "0x2c0000a"});
    EXPECT_EQ(window.mode, smPreview);
    EXPECT_EQ(window.window, 0x2c0000au);
    EXPECT_EQ(Parse({"-window-id", "46137354"}).window, 46137354u);
    EXPECT_EQ(Parse({"-window-id"}).mode, smPreview);
    EXPECT_EQ(Parse({"-window-id"}).window, 0u);

    // The variable alone: run inside that window; a bad value changes nothing.
    TScreenSaverRequest env = Parse({}, "12345");
    EXPECT_EQ(env.mode, smRun);
    EXPECT_EQ(env.window, 12345u);
    EXPECT_EQ(Parse({}, "junk").mode, smNormal);
    EXPECT_EQ(Parse({}, "").mode, smNormal);

    // Which starts come from xscreensaver (silent, ended by the host).
    const std::pair<std::vector<std::string>, bool> hosts[] = {{{"-root"}, true},
                                                               {{"--root"}, true},
                                                               {{"--window-id", "5"}, true},
                                                               {{"-window-id", "5"}, true},
                                                               {{"/s"}, false},
                                                               {{"/p", "5"}, false},
                                                               {{}, false}};
    for (const auto& [args, host] : hosts) {
        SCOPED_TRACE(args.empty() ? "none" : args[0]);
        EXPECT_EQ(Parse(args).xscreensaver, host);
    }
    EXPECT_TRUE(Parse({}, "0x5").xscreensaver);
}

TEST(ScreenSaverSwitches, WindowIdNumbers) {
    uint64_t id = 99;
    EXPECT_TRUE(ParseWindowId("0", id));
    EXPECT_EQ(id, 0u);
    EXPECT_TRUE(ParseWindowId("0XFFffFFff", id));
    EXPECT_EQ(id, 0xFFFFFFFFu);
    EXPECT_TRUE(ParseWindowId("$1F", id));
    EXPECT_EQ(id, 31u);
    for (const char* bad :
         {"", "0x", "$", "-5", "12a", "0x1g", "4294967296", "0x100000000", "99999999999999999999"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseWindowId(bad, id));
        EXPECT_EQ(id, 0u);
    }
}

TEST(ScreenSaver, NoSwitchLeavesTheWindowAlone) {
    RecordingHost host;
    TScreenSaver saver(host);
    saver.Loaded(Parse({}));
    saver.MouseMoved();
    saver.KeyPressed();
    saver.PollTick();
    EXPECT_TRUE(host.calls.empty());
}

TEST(ScreenSaver, RunClosesOnTheSixthMouseMove) {
    RecordingHost host;
    TScreenSaver saver(host);
    MainWindowOptions(saver);
    int executed = 0;
    saver.OnExecute = [&] { ++executed; };
    saver.Loaded(Parse({"/s"}));
    EXPECT_TRUE(saver.Running());
    EXPECT_EQ(executed, 1);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"run 0", "poll 500", "hide cursor"}));

    saver.KeyPressed(); // keys are not hooked by the main window
    for (int i = 0; i < 5; ++i)
        saver.MouseMoved();
    EXPECT_EQ(host.closes, 0);
    EXPECT_EQ(saver.MouseMoveAllowanceLeft(), 0);
    saver.MouseMoved();
    EXPECT_EQ(host.closes, 1);
    EXPECT_EQ(host.calls.back(), "close");
    EXPECT_EQ(host.calls[host.calls.size() - 2], "show cursor");
}

TEST(ScreenSaver, DefaultOptionsCloseOnAKeyAndIgnoreTheMouse) {
    RecordingHost host;
    TScreenSaver saver(host);
    saver.Loaded(Parse({"/s"}));
    for (int i = 0; i < 10; ++i)
        saver.MouseMoved();
    EXPECT_EQ(host.closes, 0);
    saver.KeyPressed();
    EXPECT_EQ(host.closes, 1);
}

TEST(ScreenSaver, CursorPollClosesWhenTheCursorMovedAndStopsItself) {
    RecordingHost host;
    TScreenSaver saver(host);
    MainWindowOptions(saver);
    saver.Loaded(Parse({"/s"}));
    ASSERT_TRUE(saver.Polling());
    // The first reading at start only recorded the position.
    saver.PollTick();
    saver.PollTick();
    EXPECT_EQ(host.closes, 0);
    host.cursorX = 11;
    saver.PollTick();
    EXPECT_EQ(host.closes, 1);
    EXPECT_EQ(host.calls.back(), "stop poll");
    EXPECT_FALSE(saver.Polling());
    host.cursorX = 500;
    saver.PollTick();
    EXPECT_EQ(host.closes, 1);
}

TEST(ScreenSaver, ARefusedCloseKeepsPollingFromTheNewPosition) {
    RecordingHost host;
    TScreenSaver saver(host);
    MainWindowOptions(saver);
    bool allow = false;
    int queries = 0;
    saver.OnCloseQuery = [&] {
        ++queries;
        return allow;
    };
    saver.Loaded(Parse({"/s"}));
    host.cursorY = 30;
    saver.PollTick();
    EXPECT_EQ(queries, 1);
    EXPECT_EQ(host.closes, 0);
    EXPECT_TRUE(saver.Polling());
    saver.PollTick(); // same place as the refused reading: no attempt
    EXPECT_EQ(queries, 1);
    EXPECT_FALSE(saver.CloseAttempt());
    allow = true;
    host.cursorY = 31;
    saver.PollTick();
    EXPECT_EQ(host.closes, 1);
    EXPECT_FALSE(saver.Polling());
}

TEST(ScreenSaver, SettingsPasswordAndPreview) {
    {
        RecordingHost host;
        TScreenSaver saver(host);
        int asked = 0;
        saver.OnPropertiesRequested = [&] { ++asked; };
        saver.Loaded(Parse({"/c"}));
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(host.calls, (std::vector<std::string>{"terminate"}));
    }
    {
        RecordingHost host;
        TScreenSaver saver(host);
        saver.AboutString = "about";
        saver.Loaded(Parse({"/c"}));
        EXPECT_EQ(host.calls, (std::vector<std::string>{"message about"}));
        TScreenSaver quiet(host);
        quiet.Loaded(Parse({"/c"}));
        EXPECT_EQ(host.calls.size(), 1u);
    }
    {
        RecordingHost host;
        TScreenSaver saver(host);
        saver.Loaded(Parse({"/a", "5"}));
        EXPECT_EQ(host.calls, (std::vector<std::string>{"terminate"}));
    }
    {
        RecordingHost host;
        TScreenSaver saver(host);
        MainWindowOptions(saver);
        uint64_t previewed = 0;
        saver.OnPreview = [&](uint64_t parent) { previewed = parent; };
        saver.Loaded(Parse({"/p", "1234"}));
        EXPECT_TRUE(saver.InPreview());
        EXPECT_FALSE(saver.Running());
        EXPECT_EQ(previewed, 1234u);
        EXPECT_EQ(host.calls, (std::vector<std::string>{"preview 1234"}));
        // A preview does not close on input.
        for (int i = 0; i < 10; ++i)
            saver.MouseMoved();
        saver.PollTick();
        EXPECT_EQ(host.closes, 0);
    }
    {
        // Without the adjusting option the window is left as it is.
        RecordingHost host;
        TScreenSaver saver(host);
        saver.Options = ssoAutoHookMouseEvents;
        saver.Loaded(Parse({"/p", "1"}));
        saver.Loaded(Parse({"/s"}));
        EXPECT_EQ(host.calls, (std::vector<std::string>{"hide cursor"}));
    }
}
