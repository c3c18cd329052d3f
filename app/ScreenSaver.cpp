#include "app/ScreenSaver.h"

#include <cctype>

bool ParseWindowId(const std::string& text, uint64_t& id) {
    id = 0;
    size_t at = 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        at = 2;
        base = 16;
    } else if (text.size() > 1 && text[0] == '$') {
        at = 1;
        base = 16;
    }
    if (at >= text.size()) return false;
    uint64_t value = 0;
    for (size_t i = at; i < text.size(); ++i) {
        int c = static_cast<unsigned char>(text[i]);
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return false;
    }
    id = value;
    return true;
}

TScreenSaverRequest ParseScreenSaverArgs(const std::vector<std::string>& args,
                                         const char* xscreensaverWindow) {
    TScreenSaverRequest request;
    uint64_t id = 0;

    // xscreensaver's conventions first: its switches start with one dash and
    // would otherwise read as /r and /w.
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-window-id" || args[i] == "--window-id") {
            request.mode = smPreview;
            request.xscreensaver = true;
            if (i + 1 < args.size() && ParseWindowId(args[i + 1], id)) request.window = id;
            return request;
        }
    }
    for (const std::string& a : args) {
        if (a == "-root" || a == "--root") {
            request.mode = smRun;
            request.xscreensaver = true;
            if (xscreensaverWindow && ParseWindowId(xscreensaverWindow, id)) request.window = id;
            return request;
        }
    }

    if (args.empty()) {
        if (xscreensaverWindow && *xscreensaverWindow && ParseWindowId(xscreensaverWindow, id)) {
            request.mode = smRun;
            request.window = id;
            request.xscreensaver = true;
        }
        return request;
    }

    char k =
        args[0].size() >= 2 ? static_cast<char>(std::toupper(static_cast<unsigned char>(args[0][1]))) : '\0';
    if (k == 'C') {
        request.mode = smSettings;
    } else if (args.size() == 1) {
        request.mode = smRun;
    } else if (k == 'A') {
        request.mode = smPasswordChange;
        ParseWindowId(args[1], request.window);
    } else if (k == 'P') {
        request.mode = smPreview;
        ParseWindowId(args[1], request.window);
    } else {
        request.mode = smRun;
    }
    return request;
}

// ---------------------------------------------------------------------------

void TScreenSaver::Loaded(const TScreenSaverRequest& request) {
    switch (request.mode) {
    case smNormal:
        break;
    case smSettings:
        if (OnPropertiesRequested) {
            OnPropertiesRequested();
            host_.Terminate();
        } else if (!AboutString.empty()) {
            host_.ShowMessage(AboutString, "");
        }
        break;
    case smPasswordChange:
        // There is no screen-saver password on this platform: nothing to
        // change, and the program ends as the host expects.
        host_.Terminate();
        break;
    case smPreview:
        inPreview_ = true;
        if (Options & ssoAutoAdjustFormProperties) host_.AdjustForPreview(request.window);
        if (OnPreview) OnPreview(request.window);
        break;
    case smRun:
        Run(request.window);
        break;
    }
}

void TScreenSaver::Run(uint64_t intoWindow) {
    running_ = true;
    if (Options & ssoAutoAdjustFormProperties) host_.AdjustForRun(intoWindow);
    hookKeys_ = (Options & ssoAutoHookKeyboardEvents) != 0;
    hookMouse_ = (Options & ssoAutoHookMouseEvents) != 0;
    if (Options & ssoEnhancedMouseMoveDetection) {
        host_.StartPollTimer(kPollMilliseconds);
        polling_ = true;
        // The first reading only records where the cursor is.
        if (!host_.GetCursorPos(lastX_, lastY_)) lastX_ = lastY_ = 0;
    }
    if (OnExecute) OnExecute();
    host_.ShowCursor(false);
}

void TScreenSaver::KeyPressed() {
    if (hookKeys_) CloseAttempt();
}

void TScreenSaver::MouseMoved() {
    if (!hookMouse_) return;
    if (allowance_ > 0) {
        --allowance_;
        return;
    }
    CloseAttempt();
}

void TScreenSaver::PollTick() {
    if (!polling_) return;
    int x = 0, y = 0;
    if (!host_.GetCursorPos(x, y)) return;
    if (x != lastX_ || y != lastY_) {
        if (CloseAttempt()) {
            host_.StopPollTimer();
            polling_ = false;
        }
    }
    lastX_ = x;
    lastY_ = y;
}

bool TScreenSaver::CloseAttempt() {
    if (OnCloseQuery && !OnCloseQuery()) return false;
    // No platform password to verify: closing is allowed.
    host_.ShowCursor(true);
    host_.SendClose();
    return true;
}
