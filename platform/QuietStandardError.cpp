#include "platform/QuietStandardError.h"

#include "platform/DebugSink.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

TQuietStandardError::TQuietStandardError() {
    if (DebugOutputEnabled()) return;
    std::fflush(stderr);
    int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (quiet < 0) return;
    saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (saved_ >= 0) dup2(quiet, STDERR_FILENO);
    close(quiet);
}

TQuietStandardError::~TQuietStandardError() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
}
