// TQuietStandardError: while it lives, standard error goes nowhere. Some
// system libraries write pages of complaints there when they find nothing to
// work with (the sound libraries on a machine without sound, the Wayland
// client without a session); the program reports the outcome in one line of
// its own instead. Standard error stays as it is while diagnostics are on
// (--debug, ZUMBRIX_DEBUG=1), so nothing is hidden from someone looking.
#pragma once

class TQuietStandardError {
public:
    TQuietStandardError();
    ~TQuietStandardError();
    TQuietStandardError(const TQuietStandardError&) = delete;
    TQuietStandardError& operator=(const TQuietStandardError&) = delete;

private:
    int saved_ = -1; // the real standard error while quiet
};
