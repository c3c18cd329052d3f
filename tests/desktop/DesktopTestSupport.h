// Running the built programs the way a desktop does: in their own process
// group, with signals, under a time limit, and looking at their windows on
// the test's X display.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// A program started in a process group of its own. Its standard output and
// error go to files; the destructor kills whatever is left of the group.
class TProcess {
public:
    // env: "NAME=value" to set, "NAME" alone to remove; the rest is inherited.
    // With asUser > 0 (and the test running as root) the program runs as
    // that user and group.
    TProcess(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& env = {}, uid_t asUser = 0);
    ~TProcess();
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;

    pid_t Pid() const { return pid_; }
    void Signal(int signal);
    // Waits at most seconds for the end. Returns the exit status (128 + the
    // signal when killed), or -1 when it is still running.
    int Wait(double seconds);
    bool Running();
    std::string Out() const;
    std::string Err() const;

private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string outFile_, errFile_;
};

// Polls condition every 50 ms until it holds or seconds have passed.
bool WaitUntil(double seconds, const std::function<bool()>& condition);

// The processes whose parent is pid.
std::vector<pid_t> ChildrenOf(pid_t pid);
// Whether pid no longer runs (no such process, or a zombie).
bool ProcessGone(pid_t pid);
// The processes whose environment holds the entry "NAME=value".
std::vector<pid_t> ProcessesWithEnvironment(const std::string& entry);
// The value of one environment variable of a running process ("" if unset).
std::string EnvironmentOf(pid_t pid, const std::string& name);
// The names of the process's threads (/proc/PID/task/*/comm).
std::vector<std::string> ThreadNames(pid_t pid);

// An X11 window id.
using TXWindow = unsigned long;

// The test's X display, opened for looking at windows.
class TXDisplay {
public:
    TXDisplay();
    ~TXDisplay();
    TXDisplay(const TXDisplay&) = delete;
    TXDisplay& operator=(const TXDisplay&) = delete;
    bool Ok() const { return display_ != nullptr; }

    // A mapped window (at any depth) whose name is name; 0 when none.
    TXWindow FindMapped(const std::string& name);
    // The children of a window (empty when it does not exist).
    std::vector<TXWindow> Children(TXWindow window);
    bool Exists(TXWindow window);
    // Width and height of a window (0, 0 when it does not exist).
    std::pair<int, int> Size(TXWindow window);
    // The colour of pixel (x, y) of the window as 0xRRGGBB (-1 on failure).
    long Pixel(TXWindow window, int x, int y);
    // Asks a window to close, as a window manager does (WM_DELETE_WINDOW).
    void Close(TXWindow window);
    // A plain window of ours at the top level, mapped.
    TXWindow CreateWindow(int width, int height);
    // Changes the size of one of our windows, or destroys it (at once).
    void Resize(TXWindow window, int width, int height);
    void Destroy(TXWindow window);

private:
    struct _XDisplay* display_ = nullptr;
};

// Whether a colour (0xRRGGBB) is clearly coloured: the demo's fades are,
// grey and black desktop backgrounds are not.
bool Colourful(long rgb);
