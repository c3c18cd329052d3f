// TZLBArchive: reader of the packed archive that holds every data file of the
// demo. The archive is member data, then a directory of 532-byte entries
// (raw or one zlib stream), then a 36-byte trailer whose CRC-32 covers every
// byte before it. The reader verifies that CRC at opening, loads the
// directory, finds members by name and writes a member's bytes into a stream.
#pragma once

#include "data/Stream.h"
#include "platform/Exception.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

ZUMBRIX_EXCEPTION(EZLBArchiveError, Exception);

enum TFileCompressionLevel : uint8_t { fcNone = 0, fcFastest = 1, fcDefault = 2, fcMaximum = 3 };

constexpr int kZLBTrailerSize = 36;
constexpr int kZLBEntrySize = 532;

#pragma pack(push, 1)
// The 36-byte trailer, as stored at the end of the archive.
struct TZLBTrailer {
    uint32_t crc;              // CRC-32 of every byte before the trailer
    int32_t count;             // number of directory entries
    int32_t one;               // written as 1, ignored
    int32_t directorySize;     // stored length of the directory block, ignored
    int32_t directoryOffset;   // where the directory block starts
    uint8_t directoryDeflated; // non-zero: the directory is one zlib stream
    uint8_t zero[15];
};
// One 532-byte directory entry.
struct TZLBEntry {
    uint8_t name[256];   // length byte, then the characters
    uint8_t path[256];   // length byte, then the characters (empty in the demo)
    uint32_t size;       // uncompressed size
    uint32_t storedSize; // length of the stored form, ignored
    uint32_t offset;     // where the stored form starts
    uint32_t crc;        // CRC-32 of the uncompressed bytes
    uint8_t stored;      // non-zero: the bytes are stored unchanged
    uint8_t level;       // TFileCompressionLevel the writer used, ignored
    uint8_t zero[2];

    std::string Name() const { return std::string(reinterpret_cast<const char*>(name + 1), name[0]); }
    std::string Path() const { return std::string(reinterpret_cast<const char*>(path + 1), path[0]); }
};
#pragma pack(pop)
static_assert(sizeof(TZLBTrailer) == kZLBTrailerSize);
static_assert(sizeof(TZLBEntry) == kZLBEntrySize);

class TZLBArchive {
public:
    TZLBArchive();
    ~TZLBArchive();
    TZLBArchive(const TZLBArchive&) = delete;
    TZLBArchive& operator=(const TZLBArchive&) = delete;

    // Opens the archive held in the whole of source, which must outlive the
    // reader. Returns true; failures raise EZLBArchiveError.
    bool OpenStream(TStream& source);
    void Close();
    bool IsOpen() const { return !archiveName_.empty(); }
    const std::string& ArchiveName() const { return archiveName_; }

    int EntryCount() const { return static_cast<int>(entries_.size()); }
    int IndexOf(const std::string& name) const;
    TZLBEntry GetEntry(int index) const;
    // Writes member index's bytes into destination at its position.
    void ExtractStream(TStream& destination, int index);
    const TZLBTrailer& Trailer() const { return trailer_; }
    // The most bytes the entry's stored form could really expand to, given
    // where it starts in the source: a bound for callers that size a buffer
    // from the entry's claimed size.
    int64_t MaxPlausibleSize(const TZLBEntry& entry) const;

    bool CheckCRC = false;
    bool SavePaths = false;
    TFileCompressionLevel CompressionLevel = fcDefault;

    std::function<void(TZLBArchive&)> OnArchiveOpened;
    std::function<void(const std::string&)> OnStreamExtracted;
    std::function<void(const std::string& caption, int percent)> OnProgress;

private:
    void Progress(const std::string& caption, int percent);
    void ReadDirectory();
    uint32_t StreamCrc(TStream& stream, int64_t length);

    std::string archiveName_;
    TStream* source_ = nullptr;
    TZLBTrailer trailer_{};
    std::vector<TZLBEntry> entries_;
};

// The standard CRC-32 (zlib's crc32) of a block.
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// Prints the directory of an open archive, one line per entry: index, name,
// uncompressed size, stored size, "deflated" or "stored", CRC as 8 hex digits,
// separated by tabs (the listing of `mirel list` and `zumbrix --list`).
void PrintArchiveListing(const TZLBArchive& archive, FILE* to);
