// The keyboard commands of the running demo: quit, pause, three playback
// speeds, the statistics line, the help and card-information pages (written
// into the demo device's status text, which the console shows) and the frame
// capture. Keys are the platform's virtual-key codes: Escape 27, Pause 19,
// letters by their upper-case ASCII code. Every key-down event acts, so auto
// repeat repeats the action.
#pragma once

#include "demo/DemoInterfaces.h"

#include <string>
#include <vector>

enum : int {
    vkPause = 19,
    vkEscape = 27,
    vkC = 'C',
    vkD = 'D',
    vkF = 'F',
    vkH = 'H',
    vkI = 'I',
    vkN = 'N',
    vkR = 'R',
    vkS = 'S',
};

// Keys of the author's commands (SeekKeys.h and the main window).
enum : int {
    vkPrior = 33, // Page Up
    vkNext = 34,  // Page Down
    vkHome = 36,
    vkLeft = 37,
    vkRight = 39,
    vkL = 'L',
    vkT = 'T',
};

// The help page, line by line.
extern const char* const kHelpLines[11];
// The line the help page adds after those when the demo can be reloaded.
extern const char* const kReloadHelpLine;

class TDemoKeys {
public:
    // caption: the main window's caption, the prefix of capture files.
    explicit TDemoKeys(std::string caption) : caption_(std::move(caption)) {}

    // Acts on one key-down event; returns false for keys without a command.
    bool KeyDown(int key, IDemo3dDevice* device);

    // Lines the help page shows after its own, for the commands a run adds
    // (seeking, for one), in the order added.
    void AddHelpLine(const std::string& line) { moreHelp_.push_back(line); }
    const std::vector<std::string>& MoreHelpLines() const { return moreHelp_; }

    bool HelpShown() const { return helpShown_; }
    bool CardInfoShown() const { return cardInfoShown_; }
    bool ShowStatistics() const { return showStatistics_; }
    // Whether R reloads the demo (runs from a data folder); the help page
    // then says so.
    void SetReloadKey(bool on) { reloadKey_ = on; }
    bool ReloadKey() const { return reloadKey_; }

private:
    void ToggleHelp(IDemo3dDevice* device);
    void ToggleCardInfo(IDemo3dDevice* device);

    std::string caption_;
    std::vector<std::string> moreHelp_;
    bool helpShown_ = false;
    bool cardInfoShown_ = false;
    bool showStatistics_ = false;
    bool reloadKey_ = false;
};
