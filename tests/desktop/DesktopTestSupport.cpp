#include "tests/desktop/DesktopTestSupport.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <grp.h>
#include <sstream>
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

std::string Proc(pid_t pid, const std::string& file) {
    return ReadAll("/proc/" + std::to_string(pid) + "/" + file);
}

// The live processes that satisfy test.
std::vector<pid_t> Processes(const std::function<bool(pid_t)>& test) {
    std::vector<pid_t> found;
    if (DIR* proc = opendir("/proc")) {
        while (dirent* entry = readdir(proc))
            if (pid_t pid = std::atoi(entry->d_name); pid > 0 && !ProcessGone(pid) && test(pid))
                found.push_back(pid);
        closedir(proc);
    }
    return found;
}

// State and parent from /proc/PID/stat (after the command in brackets).
bool Stat(pid_t pid, char& state, pid_t& parent) {
    std::string stat = Proc(pid, "stat");
    size_t close = stat.rfind(')');
    return close != std::string::npos &&
           static_cast<bool>(std::istringstream(stat.substr(close + 1)) >> state >> parent);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);)
        parts.push_back(part);
    return parts;
}

// The tests read what the screen shows, and xscreensaver covers the screen
// and grabs the input: each test gets an X server that nobody else uses.
class TPrivateDisplay : public ::testing::Environment {
public:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) return; // the tests that need one skip
        server_ = std::make_unique<TXServer>();
        if (server_->Name().empty()) return; // no Xvfb: the display the tests were given
        setenv("DISPLAY", server_->Name().c_str(), 1);
        unsetenv("XAUTHORITY");
    }
    void TearDown() override { server_.reset(); }

private:
    std::unique_ptr<TXServer> server_;
};

const auto* const kPrivateDisplay = ::testing::AddGlobalTestEnvironment(new TPrivateDisplay);

} // namespace

TXServer::TXServer(const std::vector<std::string>& options) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0), dup2(null, 1), dup2(null, 2);
        std::vector<std::string> args = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                         "-screen",   "0",          "1280x1024x24",
                                         "-nolisten", "tcp",        "-noreset"};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execvp("Xvfb", argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    for (char c; pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n';)
        number += c;
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
}

TXServer::~TXServer() {
    if (pid_ > 0) kill(pid_, SIGTERM), waitpid(pid_, nullptr, 0);
}

TProcess::TProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env, uid_t asUser) {
    char name[] = "/tmp/zumbrix-err-XXXXXX";
    close(mkstemp(name));
    errFile_ = name;
    const bool switchUser = asUser > 0 && getuid() == 0;
    if (switchUser && chown(name, asUser, asUser) != 0) ADD_FAILURE() << "chown " << name;
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        int null = open("/dev/null", O_RDWR), err = open(name, O_WRONLY);
        dup2(null, 0), dup2(null, 1), dup2(err, 2);
        for (const std::string& e : env) {
            size_t eq = e.find('=');
            eq == std::string::npos ? unsetenv(e.c_str())
                                    : setenv(e.substr(0, eq).c_str(), e.c_str() + eq + 1, 1);
        }
        if (switchUser && (setgroups(0, nullptr) != 0 || setgid(asUser) != 0 || setuid(asUser) != 0))
            _exit(126);
        std::vector<char*> argv = {const_cast<char*>(program.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(program.c_str(), argv.data());
        _exit(127);
    }
    setpgid(pid_, pid_);
}

TProcess::~TProcess() {
    kill(-pid_, SIGKILL);
    if (status_ < 0) waitpid(pid_, nullptr, 0);
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
    int status = 0;
    if (status_ >= 0 || waitpid(pid_, &status, WNOHANG) != pid_) return status_ < 0;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

std::string TProcess::Err() const {
    return ReadAll(errFile_);
}

bool WaitUntil(double seconds, const std::function<bool()>& condition) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(50)))
        if (std::chrono::steady_clock::now() > end) return false;
    return true;
}

std::vector<pid_t> ChildrenOf(pid_t parent) {
    return Processes([&](pid_t pid) {
        char state;
        pid_t up = 0;
        return Stat(pid, state, up) && up == parent;
    });
}

bool ProcessGone(pid_t pid) {
    char state = 'X';
    pid_t parent;
    return !Stat(pid, state, parent) || state == 'Z' || state == 'X';
}

std::vector<pid_t> ProcessesWithEnvironment(const std::string& entry) {
    return Processes([&](pid_t pid) {
        std::vector<std::string> all = Split(Proc(pid, "environ"), '\0');
        return std::find(all.begin(), all.end(), entry) != all.end();
    });
}

std::string EnvironmentOf(pid_t pid, const std::string& name) {
    for (const std::string& e : Split(Proc(pid, "environ"), '\0'))
        if (e.rfind(name + "=", 0) == 0) return e.substr(name.size() + 1);
    return "";
}

std::vector<std::string> ThreadNames(pid_t pid) {
    std::vector<std::string> names;
    if (DIR* tasks = opendir(("/proc/" + std::to_string(pid) + "/task").c_str())) {
        while (dirent* task = readdir(tasks))
            if (task->d_name[0] != '.')
                names.push_back(Proc(pid, std::string("task/") + task->d_name + "/comm"));
        closedir(tasks);
    }
    return names;
}

TXDisplay::TXDisplay() {
    // Windows of other programs come and go while we look.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    display_ = XOpenDisplay(nullptr);
}

TXDisplay::~TXDisplay() {
    if (display_) XCloseDisplay(display_);
}

TXWindow TXDisplay::FindMapped(const std::string& name) {
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

std::vector<TXWindow> TXDisplay::Children(TXWindow window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    std::vector<TXWindow> list;
    if (XQueryTree(display_, window, &root, &parent, &children, &count))
        list.assign(children, children + count);
    if (children) XFree(children);
    return list;
}

std::pair<int, int> TXDisplay::Size(TXWindow window) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(display_, window, &a)) return {0, 0};
    return {a.width, a.height};
}

long TXDisplay::Pixel(TXWindow window, int x, int y) {
    // From the root window: whatever window draws there.
    Window root = DefaultRootWindow(display_), child = 0;
    int rx = 0, ry = 0;
    if (!XTranslateCoordinates(display_, window, root, x, y, &rx, &ry, &child)) return -1;
    XImage* image = XGetImage(display_, root, rx, ry, 1, 1, AllPlanes, ZPixmap);
    if (!image) return -1;
    long pixel = long(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return pixel;
}

void TXDisplay::Close(TXWindow window) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);
}

TXWindow TXDisplay::CreateWindow(int width, int height) {
    Window w = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, unsigned(width),
                                   unsigned(height), 0, 0, 0x808080);
    XMapWindow(display_, w);
    XSync(display_, False);
    return w;
}

void TXDisplay::Resize(TXWindow window, int width, int height) {
    XResizeWindow(display_, window, unsigned(width), unsigned(height));
    XSync(display_, False);
}

void TXDisplay::Destroy(TXWindow window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
}

bool Colourful(long rgb) {
    int r = int(rgb >> 16) & 255, g = int(rgb >> 8) & 255, b = int(rgb) & 255;
    return rgb >= 0 && std::max({r, g, b}) - std::min({r, g, b}) > 30;
}
