#include "platform/Signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

volatile sig_atomic_t gSignal = 0;
// A TChildProcessGuard lives: forked children announce themselves.
volatile sig_atomic_t gGuarding = 0;
// Children write their process id into this pipe (both ends non-blocking).
int gChildPipe[2] = {-1, -1};
pid_t gGuardingProcess = 0;

// Kills every child that announced itself; true when there was one.
bool KillAnnouncedChildren() {
    bool any = false;
    pid_t pid = 0;
    while (read(gChildPipe[0], &pid, sizeof pid) == static_cast<ssize_t>(sizeof pid)) {
        if (pid > 0) kill(pid, SIGKILL);
        any = true;
    }
    return any;
}

void OnTerminationSignal(int signal) {
    const int savedErrno = errno;
    gSignal = signal;
    if (gGuarding) {
        // The program waits for a helper child: end it so the wait returns.
        // A child forked a moment ago may not have announced itself yet.
        bool killed = KillAnnouncedChildren();
        if (!killed) {
            pollfd wait = {gChildPipe[0], POLLIN, 0};
            if (poll(&wait, 1, 250) > 0) killed = KillAnnouncedChildren();
        }
        // No child at all: the wait cannot be interrupted from here.
        if (!killed) _exit(128 + signal);
    }
    errno = savedErrno;
}

// Runs in every child this process forks (before the fork call returns).
void ChildAfterFork() {
    if (!gGuarding) return;
    gGuarding = 0; // the child's own children are not ours to track
    for (int signal : kTerminationSignals)
        std::signal(signal, SIG_DFL);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != gGuardingProcess) _exit(1); // the parent is gone already
    pid_t self = getpid();
    ssize_t written = write(gChildPipe[1], &self, sizeof self);
    (void)written;
    if (gSignal) _exit(1); // the program was asked to end before the fork
}

void RegisterForkHandler() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    pthread_atfork(nullptr, nullptr, ChildAfterFork);
}

} // namespace

void InstallTerminationHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : kTerminationSignals)
        sigaddset(&action.sa_mask, signal);
    action.sa_flags = SA_RESTART;
    for (int signal : kTerminationSignals)
        sigaction(signal, &action, nullptr);
}

int TerminationSignal() {
    return gSignal;
}

void ClearTerminationSignal() {
    gSignal = 0;
}

TChildProcessGuard::TChildProcessGuard() {
    RegisterForkHandler();
    if (gChildPipe[0] < 0 && pipe2(gChildPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        gChildPipe[0] = gChildPipe[1] = -1;
    if (gChildPipe[0] < 0) return; // no pipe: children are not tracked
    pid_t stale = 0;
    while (read(gChildPipe[0], &stale, sizeof stale) > 0) {
    }
    gGuardingProcess = getpid();
    gGuarding = 1;
}

TChildProcessGuard::~TChildProcessGuard() {
    gGuarding = 0;
    if (gChildPipe[0] < 0) return;
    // Children that ended normally leave their ids behind; ids may be reused.
    pid_t done = 0;
    while (read(gChildPipe[0], &done, sizeof done) > 0) {
    }
}
