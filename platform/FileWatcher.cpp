#include "platform/FileWatcher.h"

#include "platform/Ticks.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

TFileStamp StampFile(const std::string& path) {
    TFileStamp stamp;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return stamp;
    stamp.exists = true;
    stamp.device = uint64_t(info.st_dev);
    stamp.inode = uint64_t(info.st_ino);
    stamp.size = int64_t(info.st_size);
    stamp.modifiedNs = int64_t(info.st_mtim.tv_sec) * 1000000000 + int64_t(info.st_mtim.tv_nsec);
    return stamp;
}

TFileWatcher::TFileWatcher() {
    fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

TFileWatcher::~TFileWatcher() {
    if (fd_ >= 0) ::close(fd_);
}

bool TFileWatcher::Watch(const std::string& folder) {
    if (fd_ < 0) return false;
    // Everything an editor's save or a copy does to a file in the folder.
    const uint32_t mask = IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                          IN_MOVED_TO | IN_ONLYDIR;
    int wd = inotify_add_watch(fd_, folder.c_str(), mask);
    if (wd < 0) return false;
    // The kernel gives a folder watched already (under any name) its old number.
    if (std::find(watches_.begin(), watches_.end(), wd) == watches_.end()) watches_.push_back(wd);
    return true;
}

bool TFileWatcher::Poll(double settleSeconds, double completeSeconds) {
    if (fd_ < 0) return false;
    for (;;) {
        ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
        if (got > 0) {
            pending_ = true;
            lastEventTicks_ = QueryPerformanceCounter();
            // The events lie one after the other, each with its name.
            for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer_ + at);
                complete_ = (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0;
                at += ssize_t(sizeof(inotify_event)) + ssize_t(event->len);
            }
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        break; // EAGAIN: nothing more queued
    }
    if (!pending_) return false;
    const double quiet =
        double(QueryPerformanceCounter() - lastEventTicks_) / double(QueryPerformanceFrequency());
    if (quiet < (complete_ ? completeSeconds : settleSeconds)) return false;
    pending_ = false;
    return true;
}
