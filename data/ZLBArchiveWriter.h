// TZLBArchiveWriter: writes the packed-archive format that TZLBArchive reads.
// Members are deflated with zlib (level byte fcDefault) or stored unchanged
// (level byte fcNone); the directory is deflated unless asked to be raw; the
// trailer's CRC covers every byte before it. Output is written sequentially.
#pragma once

#include "data/Stream.h"
#include "data/ZLBArchive.h"

#include <string>
#include <vector>

class TZLBArchiveWriter {
public:
    explicit TZLBArchiveWriter(TStream& output);

    // Adds a member named name (at most 255 bytes; longer names raise
    // EZLBArchiveError, they are never truncated).
    void AddMember(const std::string& name, const void* data, size_t size, bool store);
    // Adds a member whose bytes are the whole of source, read in pieces.
    void AddMemberFromStream(const std::string& name, TStream& source, bool store);
    // Writes the directory and the trailer. No member may be added afterwards.
    void Finish(bool rawDirectory = false);

    int MemberCount() const { return static_cast<int>(entries_.size()); }

private:
    void Put(const void* data, size_t size);
    TZLBEntry& NewEntry(const std::string& name, bool store);

    TStream& out_;
    int64_t written_ = 0;
    uint32_t crc_ = 0;
    bool finished_ = false;
    std::vector<TZLBEntry> entries_;
};
