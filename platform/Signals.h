// Termination signals: SIGTERM, SIGINT and SIGHUP end the program the way a
// close request does. The handler only records the signal; the program's
// loops (the message loop, the mode chooser, start-up between resources)
// look at it and leave in order, so the display mode is restored and the
// exit status is the program's own.
//
// A helper process the program waits for (the window system's message box
// runs in a forked child) would keep the program waiting: while a
// TChildProcessGuard lives, every child forked by this process dies with
// it, and a termination signal ends that child so the wait returns.
#pragma once

// Installs the handlers for SIGTERM, SIGINT and SIGHUP (once per process).
void InstallTerminationHandlers();

// The termination signal received so far, or 0.
int TerminationSignal();
// Forgets a received signal (for programs that run several demos, tests).
void ClearTerminationSignal();

// While one lives, children forked by this process get SIGKILL when the
// process ends (even by SIGKILL) and a termination signal kills them.
// Only one may live at a time; the calls that fork run on one thread.
class TChildProcessGuard {
public:
    TChildProcessGuard();
    ~TChildProcessGuard();
    TChildProcessGuard(const TChildProcessGuard&) = delete;
    TChildProcessGuard& operator=(const TChildProcessGuard&) = delete;
};
