#include "data/ZLBArchiveWriter.h"

#include "platform/Format.h"

#include <cstring>
#include <limits>
#include <zlib.h>

namespace {

// Deflates a sequence of input pieces into the writer's output.
class Deflater {
public:
    explicit Deflater(std::function<void(const void*, size_t)> sink) : sink_(std::move(sink)) {
        std::memset(&z_, 0, sizeof z_);
        if (deflateInit(&z_, Z_DEFAULT_COMPRESSION) != Z_OK) throw EZLBArchiveError("deflateInit failed");
    }
    ~Deflater() { deflateEnd(&z_); }
    void Feed(const void* data, size_t size, bool last) {
        z_.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(data));
        z_.avail_in = static_cast<uInt>(size);
        int flush = last ? Z_FINISH : Z_NO_FLUSH;
        for (;;) {
            z_.next_out = buffer_;
            z_.avail_out = sizeof buffer_;
            int rc = deflate(&z_, flush);
            if (rc == Z_STREAM_ERROR) throw EZLBArchiveError("deflate failed");
            size_t produced = sizeof buffer_ - z_.avail_out;
            if (produced) sink_(buffer_, produced);
            if (last ? rc == Z_STREAM_END : (z_.avail_in == 0 && z_.avail_out != 0)) break;
        }
    }

private:
    std::function<void(const void*, size_t)> sink_;
    z_stream z_;
    Bytef buffer_[65536];
};

void SetField(uint8_t field[256], const std::string& text) {
    std::memset(field, 0, 256);
    field[0] = static_cast<uint8_t>(text.size());
    std::memcpy(field + 1, text.data(), text.size());
}

} // namespace

TZLBArchiveWriter::TZLBArchiveWriter(TStream& output) : out_(output) {}

void TZLBArchiveWriter::Put(const void* data, size_t size) {
    out_.WriteBuffer(data, static_cast<int64_t>(size));
    crc_ = Crc32(data, size, crc_);
    written_ += static_cast<int64_t>(size);
    if (written_ > std::numeric_limits<int32_t>::max())
        throw EZLBArchiveError("The archive would be larger than 2 GiB");
}

TZLBEntry& TZLBArchiveWriter::NewEntry(const std::string& name, bool store) {
    if (finished_) throw EZLBArchiveError("The archive is already finished");
    if (name.empty()) throw EZLBArchiveError("A member needs a name");
    if (name.size() > 255)
        throw EZLBArchiveError(Format("Member name longer than 255 bytes: %s", name.c_str()));
    TZLBEntry entry{};
    SetField(entry.name, name);
    SetField(entry.path, "");
    entry.offset = static_cast<uint32_t>(written_);
    entry.stored = store ? 1 : 0;
    entry.level = store ? fcNone : fcDefault;
    entries_.push_back(entry);
    return entries_.back();
}

void TZLBArchiveWriter::AddMember(const std::string& name, const void* data, size_t size, bool store) {
    TReadOnlyMemoryStream source(data, static_cast<int64_t>(size));
    AddMemberFromStream(name, source, store);
}

void TZLBArchiveWriter::AddMemberFromStream(const std::string& name, TStream& source, bool store) {
    NewEntry(name, store);
    size_t index = entries_.size() - 1;
    int64_t start = written_;
    uint32_t crc = 0;
    int64_t size = 0;
    uint8_t piece[65536];
    source.SetPosition(0);
    if (store) {
        int64_t n;
        while ((n = source.Read(piece, sizeof piece)) > 0) {
            crc = Crc32(piece, static_cast<size_t>(n), crc);
            Put(piece, static_cast<size_t>(n));
            size += n;
        }
    } else {
        Deflater deflater([this](const void* d, size_t n) { Put(d, n); });
        int64_t n;
        while ((n = source.Read(piece, sizeof piece)) > 0) {
            crc = Crc32(piece, static_cast<size_t>(n), crc);
            deflater.Feed(piece, static_cast<size_t>(n), false);
            size += n;
        }
        deflater.Feed(nullptr, 0, true);
    }
    if (size > std::numeric_limits<uint32_t>::max())
        throw EZLBArchiveError("Member larger than 4 GiB: " + name);
    TZLBEntry& entry = entries_[index];
    entry.size = static_cast<uint32_t>(size);
    entry.storedSize = static_cast<uint32_t>(written_ - start);
    entry.crc = crc;
}

void TZLBArchiveWriter::Finish(bool rawDirectory) {
    if (finished_) throw EZLBArchiveError("The archive is already finished");
    finished_ = true;
    TZLBTrailer trailer{};
    trailer.count = static_cast<int32_t>(entries_.size());
    trailer.one = 1;
    trailer.directoryOffset = static_cast<int32_t>(written_);
    trailer.directoryDeflated = rawDirectory ? 0 : 1;
    size_t bytes = entries_.size() * sizeof(TZLBEntry);
    int64_t start = written_;
    if (rawDirectory) {
        if (bytes) Put(entries_.data(), bytes);
    } else {
        Deflater deflater([this](const void* d, size_t n) { Put(d, n); });
        deflater.Feed(entries_.data(), bytes, true);
    }
    trailer.directorySize = static_cast<int32_t>(written_ - start);
    trailer.crc = crc_;
    out_.WriteBuffer(&trailer, sizeof trailer);
}
