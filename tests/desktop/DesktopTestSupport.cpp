#include "tests/desktop/DesktopTestSupport.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TempFile(const char* what) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zumbrix-" + what + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    close(fd);
    return name.data();
}

std::vector<pid_t> AllProcesses() {
    std::vector<pid_t> pids;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc))
            if (pid_t pid = std::atoi(entry->d_name); pid > 0) pids.push_back(pid);
        closedir(proc);
    }
    return pids;
}

// Fields of /proc/PID/stat after the command name: state, parent, ...
bool ReadStat(pid_t pid, char& state, pid_t& parent) {
    std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream rest(stat.substr(close + 1));
    return static_cast<bool>(rest >> state >> parent);
}

std::vector<std::string> Environment(pid_t pid) {
    std::string all = ReadAll("/proc/" + std::to_string(pid) + "/environ");
    std::vector<std::string> entries;
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find('\0', at);
        if (end == std::string::npos) end = all.size();
        entries.push_back(all.substr(at, end - at));
        at = end + 1;
    }
    return entries;
}

int IgnoreXErrors(Display*, XErrorEvent*) {
    return 0; // windows of other programs come and go while we look
}

// Each test of this program runs on an X server of its own: the tests read
// what the screen shows, and xscreensaver covers the whole screen and grabs
// the input, which must not reach the windows of tests running beside them.
class TPrivateDisplay : public ::testing::Environment {
public:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) return; // the tests that need one skip
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_RDWR);
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (pid > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty()) {
            // No Xvfb here: the display the tests were started on.
            if (pid > 0) waitpid(pid, nullptr, 0);
            return;
        }
        server_ = pid;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        unsetenv("XAUTHORITY");
    }
    void TearDown() override {
        if (server_ <= 0) return;
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }

private:
    pid_t server_ = -1;
};

const auto* const kPrivateDisplay = ::testing::AddGlobalTestEnvironment(new TPrivateDisplay);

} // namespace

TProcess::TProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env, uid_t asUser) {
    outFile_ = TempFile("out");
    errFile_ = TempFile("err");
    if (asUser > 0 && getuid() == 0) {
        chown(outFile_.c_str(), asUser, asUser);
        chown(errFile_.c_str(), asUser, asUser);
    }
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        setpgid(0, 0);
        int in = open("/dev/null", O_RDONLY);
        int out = open(outFile_.c_str(), O_WRONLY | O_TRUNC);
        int err = open(errFile_.c_str(), O_WRONLY | O_TRUNC);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        for (const std::string& e : env) {
            size_t eq = e.find('=');
            if (eq == std::string::npos)
                unsetenv(e.c_str());
            else
                setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
        if (asUser > 0 && getuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(asUser) != 0 || setuid(asUser) != 0) _exit(126);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    setpgid(pid_, pid_);
}

TProcess::~TProcess() {
    if (pid_ > 0) {
        kill(-pid_, SIGKILL);
        if (status_ < 0) waitpid(pid_, nullptr, 0);
    }
    unlink(outFile_.c_str());
    unlink(errFile_.c_str());
}

void TProcess::Signal(int signal) {
    if (status_ < 0) kill(pid_, signal);
}

int TProcess::Wait(double seconds) {
    WaitUntil(seconds, [&] { return !Running(); });
    return status_;
}

bool TProcess::Running() {
    if (status_ >= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::string TProcess::Out() const {
    return ReadAll(outFile_);
}

std::string TProcess::Err() const {
    return ReadAll(errFile_);
}

bool WaitUntil(double seconds, const std::function<bool()>& condition) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::vector<pid_t> ChildrenOf(pid_t pid) {
    std::vector<pid_t> children;
    for (pid_t p : AllProcesses()) {
        char state = 0;
        pid_t parent = 0;
        if (ReadStat(p, state, parent) && parent == pid && state != 'Z') children.push_back(p);
    }
    return children;
}

bool ProcessGone(pid_t pid) {
    char state = 0;
    pid_t parent = 0;
    return !ReadStat(pid, state, parent) || state == 'Z' || state == 'X';
}

std::vector<pid_t> ProcessesWithEnvironment(const std::string& entry) {
    std::vector<pid_t> found;
    for (pid_t p : AllProcesses()) {
        if (ProcessGone(p)) continue;
        for (const std::string& e : Environment(p))
            if (e == entry) found.push_back(p);
    }
    return found;
}

std::string EnvironmentOf(pid_t pid, const std::string& name) {
    for (const std::string& e : Environment(pid))
        if (e.compare(0, name.size() + 1, name + "=") == 0) return e.substr(name.size() + 1);
    return "";
}

std::vector<std::string> ThreadNames(pid_t pid) {
    std::vector<std::string> names;
    std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = opendir(tasks.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] == '.') continue;
            std::string name = ReadAll(tasks + "/" + entry->d_name + "/comm");
            if (!name.empty() && name.back() == '\n') name.pop_back();
            names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

TXDisplay::TXDisplay() {
    XSetErrorHandler(IgnoreXErrors);
    display_ = XOpenDisplay(nullptr);
}

TXDisplay::~TXDisplay() {
    if (display_) XCloseDisplay(display_);
}

Window TXDisplay::FindMapped(const std::string& name) {
    std::vector<Window> pending = {DefaultRootWindow(display_)};
    while (!pending.empty()) {
        Window w = pending.back();
        pending.pop_back();
        XWindowAttributes a;
        XTextProperty title = {};
        // The name's bytes as stored, whatever encoding the property names.
        if (XGetWindowAttributes(display_, w, &a) && a.map_state == IsViewable &&
            XGetTextProperty(display_, w, &title, XA_WM_NAME) && title.value) {
            bool match = name == std::string(reinterpret_cast<const char*>(title.value), title.nitems);
            XFree(title.value);
            if (match) return w;
        }
        for (Window c : Children(w))
            pending.push_back(c);
    }
    return 0;
}

std::vector<Window> TXDisplay::Children(Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    std::vector<Window> list;
    if (XQueryTree(display_, window, &root, &parent, &children, &count))
        list.assign(children, children + count);
    if (children) XFree(children);
    return list;
}

bool TXDisplay::Exists(Window window) {
    XWindowAttributes a;
    return XGetWindowAttributes(display_, window, &a) != 0;
}

std::pair<int, int> TXDisplay::Size(Window window) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(display_, window, &a)) return {0, 0};
    return {a.width, a.height};
}

long TXDisplay::Pixel(Window window, int x, int y) {
    // Read from the root window: what the screen shows there, whichever
    // window (ours, a child, another program's) draws it.
    Window root = DefaultRootWindow(display_), child = 0;
    int rx = 0, ry = 0;
    if (!XTranslateCoordinates(display_, window, root, x, y, &rx, &ry, &child)) return -1;
    XImage* image = XGetImage(display_, root, rx, ry, 1, 1, AllPlanes, ZPixmap);
    if (!image) return -1;
    long pixel = long(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
}

void TXDisplay::Close(Window window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);
}

void TXDisplay::Resize(TXWindow window, int width, int height) {
    XResizeWindow(display_, window, unsigned(width), unsigned(height));
    XSync(display_, False);
}

void TXDisplay::Destroy(TXWindow window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

Window TXDisplay::CreateWindow(int width, int height) {
    Window w = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, unsigned(width),
                                   unsigned(height), 0, 0, 0x808080);
    XMapWindow(display_, w);
    XSync(display_, False);
    return w;
}

bool Colourful(long rgb) {
    if (rgb < 0) return false;
    int r = int(rgb >> 16) & 255, g = int(rgb >> 8) & 255, b = int(rgb) & 255;
    return std::max({r, g, b}) - std::min({r, g, b}) > 30;
}
