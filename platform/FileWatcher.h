// Watching folders for changed files (Linux inotify), and the stamp that
// tells whether a file is still the one that was read.
//
// TFileWatcher is polled from the frame loop: Poll reads what the kernel
// queued without waiting and without allocating, and reports a change only
// once the writes have settled (an editor's save is several events: a
// temporary file written and renamed over the old one, or the old one
// truncated and written again), so one save gives one report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What identifies one state of a file: whether it exists, its device and
// inode (a rename over it gives another), size and modification time.
struct TFileStamp {
    bool exists = false;
    uint64_t device = 0, inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    bool operator==(const TFileStamp&) const = default;
};
TFileStamp StampFile(const std::string& path);

class TFileWatcher {
public:
    // How long the folders must stay quiet after a change before Poll
    // reports it: after a write still under way (the last event a plain
    // modification, a deletion), and after one that is complete (the last
    // event a file closed after writing, or renamed into place), where
    // only a burst of further saves (several files saved at once) is
    // waited for.
    static constexpr double kDefaultSettleSeconds = 0.2;
    static constexpr double kCompleteSettleSeconds = 0.01;

    TFileWatcher();
    ~TFileWatcher();
    TFileWatcher(const TFileWatcher&) = delete;
    TFileWatcher& operator=(const TFileWatcher&) = delete;

    // Whether the kernel gave us a watch queue.
    bool Ok() const { return fd_ >= 0; }
    // Watches the files of a folder (not its subfolders). A folder watched
    // already is not added twice; one that does not exist is skipped.
    // Returns whether the folder is watched.
    bool Watch(const std::string& folder);
    size_t WatchCount() const { return watches_.size(); }

    // Reads the queued events. Returns true once, when at least one event
    // arrived and none followed for settleSeconds (completeSeconds when the
    // last event completed a write).
    bool Poll(double settleSeconds = kDefaultSettleSeconds, double completeSeconds = kCompleteSettleSeconds);
    // Whether events arrived that have not settled yet.
    bool Pending() const { return pending_; }

private:
    int fd_ = -1;
    std::vector<int> watches_;
    bool pending_ = false;
    bool complete_ = false; // the last event completed a write
    int64_t lastEventTicks_ = 0;
    alignas(8) char buffer_[16384];
};
