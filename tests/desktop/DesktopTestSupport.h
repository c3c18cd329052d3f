// Running the built programs as a desktop does (own process group, signals,
// time limits) and looking at their processes and windows. Every test of
// this program runs on an X server of its own.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

// A program in a process group of its own; standard error goes to a file.
// The destructor kills what is left of the group.
class TProcess {
public:
    // env: "NAME=value" sets, "NAME" removes. asUser > 0: run as that user
    // and group when the test runs as root.
    TProcess(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& env = {}, uid_t asUser = 0);
    ~TProcess();
    TProcess(const TProcess&) = delete;
    TProcess& operator=(const TProcess&) = delete;

    pid_t Pid() const { return pid_; }
    void Signal(int signal);
    // The exit status (128 + signal when killed) within seconds, else -1.
    int Wait(double seconds);
    bool Running();
    std::string Err() const;

private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string errFile_;
};

// An Xvfb of our own (with the given extra options) while it lives.
class TXServer {
public:
    explicit TXServer(const std::vector<std::string>& options = {});
    ~TXServer();
    TXServer(const TXServer&) = delete;
    TXServer& operator=(const TXServer&) = delete;
    const std::string& Name() const { return name_; } // ":N", "" when none started

private:
    pid_t pid_ = -1;
    std::string name_;
};

// Polls condition every 50 ms for at most seconds.
bool WaitUntil(double seconds, const std::function<bool()>& condition);

// /proc: the live processes with the given parent, whether a process has
// ended (gone or a zombie), the live processes whose environment holds
// "NAME=value", one variable of a process, its thread names.
std::vector<pid_t> ChildrenOf(pid_t parent);
bool ProcessGone(pid_t pid);
std::vector<pid_t> ProcessesWithEnvironment(const std::string& entry);
std::string EnvironmentOf(pid_t pid, const std::string& name);
std::vector<std::string> ThreadNames(pid_t pid);

using TXWindow = unsigned long;

// The display the test runs on.
class TXDisplay {
public:
    TXDisplay();
    ~TXDisplay();
    TXDisplay(const TXDisplay&) = delete;
    TXDisplay& operator=(const TXDisplay&) = delete;
    bool Ok() const { return display_ != nullptr; }

    TXWindow FindMapped(const std::string& name); // 0: none
    std::vector<TXWindow> Children(TXWindow window);
    std::pair<int, int> Size(TXWindow window); // (0, 0): no such window
    // What the screen shows at (x, y) of the window, 0xRRGGBB (-1: nothing).
    long Pixel(TXWindow window, int x, int y);
    // WM_DELETE_WINDOW, as a window manager asks a window to close.
    void Close(TXWindow window);
    TXWindow CreateWindow(int width, int height); // mapped, at the top left
    void Resize(TXWindow window, int width, int height);
    void Destroy(TXWindow window);

private:
    struct _XDisplay* display_ = nullptr;
};

// A clearly coloured pixel: the demo's fades are, grey and black are not.
bool Colourful(long rgb);
