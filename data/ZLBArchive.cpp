#include "data/ZLBArchive.h"

#include "platform/Format.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <zlib.h>

namespace {

constexpr int64_t kCrcBlock = 10240;
constexpr int64_t kPiece = 4096;
// zlib cannot expand input by more than about 1032:1; a directory that claims
// more entries than its stored bytes could hold is damaged.
constexpr int64_t kMaxInflateRatio = 1032;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        c = LowerAscii(c);
    return s;
}

// Everything after the last backslash or colon.
std::string FileNamePart(const std::string& name) {
    size_t cut = name.find_last_of("\\:");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

// Inflates from a stream in pieces: input is read from the source as needed,
// or taken in place when the source is one block of memory.
class Inflater {
public:
    Inflater(TStream& source, int64_t offset) : source_(source) {
        std::memset(&z_, 0, sizeof z_);
        if (inflateInit(&z_) != Z_OK) throw EZLBArchiveError("inflateInit failed");
        const uint8_t* memory = source.MemoryView();
        if (memory) {
            int64_t size = source.GetSize();
            if (offset > size) offset = size;
            inPlace_ = memory + offset;
            inPlaceLeft_ = size - offset;
        } else {
            source.SetPosition(offset);
        }
    }
    ~Inflater() { inflateEnd(&z_); }

    // Produces exactly count bytes into out; false when the stream is
    // damaged or ends before count bytes came out.
    bool Produce(uint8_t* out, int64_t count) {
        z_.next_out = out;
        z_.avail_out = static_cast<uInt>(count);
        while (z_.avail_out > 0) {
            if (z_.avail_in == 0 && !Refill()) return false;
            int rc = inflate(&z_, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) return z_.avail_out == 0;
            if (rc != Z_OK) return false;
        }
        return true;
    }

private:
    bool Refill() {
        if (inPlace_) {
            if (inPlaceLeft_ <= 0) return false;
            uInt n = static_cast<uInt>(std::min<int64_t>(inPlaceLeft_, 1 << 20));
            z_.next_in = const_cast<Bytef*>(inPlace_);
            z_.avail_in = n;
            inPlace_ += n;
            inPlaceLeft_ -= n;
            return true;
        }
        int64_t n = source_.Read(buffer_, sizeof buffer_);
        if (n <= 0) return false;
        z_.next_in = buffer_;
        z_.avail_in = static_cast<uInt>(n);
        return true;
    }

    TStream& source_;
    z_stream z_;
    const uint8_t* inPlace_ = nullptr;
    int64_t inPlaceLeft_ = 0;
    uint8_t buffer_[16384];
};

} // namespace

// libdeflate computes the same standard CRC-32 as zlib, several times faster.
uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
    return libdeflate_crc32(crc, data, size);
}

namespace {

// One decompressor for the process: it holds no state between calls, and
// the engine extracts on one thread.
libdeflate_decompressor* Decompressor() {
    static std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> d(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    return d.get();
}

// Inflates a whole zlib stream held in memory into a buffer of exactly its
// size, as members are: true when it produced exactly `size` bytes.
bool InflateWhole(const uint8_t* in, int64_t inSize, uint8_t* out, int64_t size) {
    libdeflate_decompressor* d = Decompressor();
    if (!d || inSize <= 0) return false;
    size_t usedIn = 0, produced = 0;
    libdeflate_result r =
        libdeflate_zlib_decompress_ex(d, in, size_t(inSize), out, size_t(size), &usedIn, &produced);
    return r == LIBDEFLATE_SUCCESS && int64_t(produced) == size;
}

} // namespace

TZLBArchive::TZLBArchive() = default;

TZLBArchive::~TZLBArchive() {
    if (IsOpen()) {
        OnProgress = nullptr; // nothing is reported while being destroyed
        Close();
    }
}

void TZLBArchive::Progress(const std::string& caption, int percent) {
    if (OnProgress) OnProgress(caption, percent);
}

uint32_t TZLBArchive::StreamCrc(TStream& stream, int64_t length) {
    if (const uint8_t* memory = stream.MemoryView()) return Crc32(memory, static_cast<size_t>(length));
    int64_t saved = stream.GetPosition();
    stream.SetPosition(0);
    uint8_t block[kCrcBlock];
    uint32_t crc = 0;
    int64_t done = 0;
    while (done < length) {
        int64_t want = std::min(kCrcBlock, length - done);
        int64_t got = stream.Read(block, want);
        if (got <= 0) break;
        crc = Crc32(block, static_cast<size_t>(got), crc);
        done += got;
    }
    stream.SetPosition(saved);
    return crc;
}

bool TZLBArchive::OpenStream(TStream& source) {
    if (archiveName_.empty()) {
        archiveName_ = "_streaming";
        source_ = &source;
    }
    int64_t size = source.GetSize();
    bool intact = size >= kZLBTrailerSize;
    if (intact) {
        uint32_t computed = StreamCrc(source, size - kZLBTrailerSize);
        source.SetPosition(size - kZLBTrailerSize);
        intact = source.Read(&trailer_, kZLBTrailerSize) == kZLBTrailerSize && trailer_.crc == computed;
    }
    if (!intact) {
        archiveName_.clear();
        source_ = nullptr;
        std::memset(&trailer_, 0, sizeof trailer_);
        throw EZLBArchiveError("The archive file appears to be corrupted");
    }
    try {
        ReadDirectory();
        if (OnArchiveOpened) OnArchiveOpened(*this);
    } catch (...) {
        Close();
        throw EZLBArchiveError("Unable to read archive file list");
    }
    return true;
}

void TZLBArchive::ReadDirectory() {
    TStream& source = *source_;
    int64_t size = source.GetSize();
    int64_t count = trailer_.count;
    int64_t offset = trailer_.directoryOffset;
    int64_t room = size - kZLBTrailerSize - offset; // bytes between directory start and trailer
    if (count < 0 || offset < 0 || room < 0) throw EZLBArchiveError("bad directory");
    int64_t bytes = count * kZLBEntrySize;
    std::vector<uint8_t> buffer;
    if (trailer_.directoryDeflated) {
        if (bytes > room * kMaxInflateRatio + kPiece) throw EZLBArchiveError("directory too large");
        Inflater inflater(source, offset);
        int64_t done = 0;
        while (done < bytes) {
            int64_t piece = std::min(kPiece, bytes - done);
            buffer.resize(static_cast<size_t>(done + piece)); // grows only with real data
            if (!inflater.Produce(buffer.data() + done, piece)) throw EZLBArchiveError("inflate failed");
            done += piece;
            Progress("Extracting archive registry", static_cast<int>(std::lround(done * 100.0 / bytes)));
        }
    } else {
        if (bytes > room) throw EZLBArchiveError("directory beyond the archive");
        buffer.resize(static_cast<size_t>(bytes));
        source.SetPosition(offset);
        source.ReadBuffer(buffer.data(), bytes);
    }
    entries_.resize(static_cast<size_t>(count));
    if (bytes > 0) std::memcpy(entries_.data(), buffer.data(), static_cast<size_t>(bytes));
}

void TZLBArchive::Close() {
    entries_.clear();
    std::memset(&trailer_, 0, sizeof trailer_);
    archiveName_.clear();
    source_ = nullptr;
    Progress(archiveName_, 0);
}

int TZLBArchive::IndexOf(const std::string& name) const {
    if (!IsOpen()) throw EZLBArchiveError("No archive is currently open");
    std::string key;
    if (SavePaths) {
        size_t cut = name.find_last_of("\\:");
        std::string dir = cut == std::string::npos ? std::string() : name.substr(0, cut + 1);
        size_t colon = dir.find(':');
        if (colon != std::string::npos) dir = dir.substr(colon + 1);
        key = dir + FileNamePart(name);
    } else {
        key = FileNamePart(name);
    }
    key = LowerAscii(key);
    for (size_t i = 0; i < entries_.size(); ++i) {
        const TZLBEntry& e = entries_[i];
        if (e.path[0] + e.name[0] != static_cast<int>(key.size())) continue;
        if (LowerAscii(e.Path() + e.Name()) == key) return static_cast<int>(i);
    }
    return -1;
}

int64_t TZLBArchive::MaxPlausibleSize(const TZLBEntry& entry) const {
    if (!source_) return 0;
    int64_t room = std::max<int64_t>(0, source_->GetSize() - static_cast<int64_t>(entry.offset));
    return entry.stored ? room : room * kMaxInflateRatio + kPiece;
}

TZLBEntry TZLBArchive::GetEntry(int index) const {
    if (index < 0 || index >= EntryCount()) throw EZLBArchiveError("Index out of bounds");
    return entries_[static_cast<size_t>(index)];
}

void TZLBArchive::ExtractStream(TStream& destination, int index) {
    if (!IsOpen()) throw EZLBArchiveError("No archive is currently open");
    TZLBEntry entry = GetEntry(index);
    TStream& source = *source_;
    std::string caption = Format("Extracting %s", entry.Name().c_str());
    const int64_t total = entry.size;
    auto corrupt = [index]() { return EZLBArchiveError(Format("File (%d) is corrupt", index)); };
    try {
        int64_t sourceSize = source.GetSize();
        if (entry.offset > sourceSize) throw corrupt();
        uint8_t piece[kPiece];
        int64_t done = 0;
        auto* memory = dynamic_cast<TMemoryStream*>(&destination);
        if (entry.stored && total > sourceSize - static_cast<int64_t>(entry.offset)) throw corrupt();
        if (!entry.stored && total > MaxPlausibleSize(entry)) throw corrupt(); // could never inflate that far
        if (memory && total > 0) {
            // Produce straight into the destination's memory in large steps
            // (small output steps would cost zlib its fast path), then report
            // the same 4096-byte progress steps as the piecewise path.
            int64_t start = memory->GetPosition();
            if (memory->Size() < start + total) memory->SetSize(start + total);
            // A deflated member in memory inflates whole, in one call, into
            // its known size; anything unusual (a stream that runs on beyond
            // the member's size, damage) takes the piecewise path below,
            // which decides exactly as it always has.
            const uint8_t* in = source.MemoryView();
            if (!entry.stored && in &&
                InflateWhole(in + entry.offset,
                             std::min<int64_t>(entry.storedSize, sourceSize - int64_t(entry.offset)),
                             memory->Memory() + start, total)) {
                memory->SetPosition(start + total);
                for (int64_t reported = 0; OnProgress && reported < total;) {
                    reported = std::min(reported + kPiece, total);
                    Progress(caption, static_cast<int>(reported * 100 / total));
                }
                done = total;
            }
            std::unique_ptr<Inflater> inflater;
            if (done < total) {
                if (entry.stored)
                    source.SetPosition(entry.offset);
                else
                    inflater = std::make_unique<Inflater>(source, entry.offset);
            }
            constexpr int64_t kStep = 1 << 20;
            int64_t reported = 0;
            while (done < total) {
                int64_t n = std::min(kStep, total - done);
                uint8_t* out = memory->Memory() + start + done;
                bool ok = inflater ? inflater->Produce(out, n) : source.Read(out, n) == n;
                if (!ok) throw corrupt();
                done += n;
                memory->SetPosition(start + done);
                if (OnProgress) {
                    while (reported < done) {
                        reported = std::min(reported + kPiece, done);
                        Progress(caption, static_cast<int>(reported * 100 / total));
                    }
                }
            }
        } else if (entry.stored) {
            source.SetPosition(entry.offset);
            while (done < total) {
                int64_t n = std::min(kPiece, total - done);
                if (source.Read(piece, n) != n) throw corrupt();
                destination.WriteBuffer(piece, n);
                done += n;
                Progress(caption, static_cast<int>(done * 100 / total));
            }
        } else if (total > 0) {
            Inflater inflater(source, entry.offset);
            while (done < total) {
                int64_t n = std::min(kPiece, total - done);
                if (!inflater.Produce(piece, n)) throw corrupt();
                destination.WriteBuffer(piece, n);
                done += n;
                Progress(caption, static_cast<int>(done * 100 / total));
            }
        }
    } catch (const EZLBArchiveError&) {
        throw;
    } catch (const std::exception&) {
        throw corrupt();
    }
    if (CheckCRC) {
        int64_t length = destination.GetSize();
        if (StreamCrc(destination, length) != entry.crc)
            throw EZLBArchiveError(Format("File (%d) failed CRC check", index));
    }
    if (OnStreamExtracted) OnStreamExtracted(entry.Path() + entry.Name());
    Progress(archiveName_, 0);
}

void PrintArchiveListing(const TZLBArchive& archive, FILE* to) {
    for (int i = 0; i < archive.EntryCount(); ++i) {
        TZLBEntry e = archive.GetEntry(i);
        std::fprintf(to, "%d\t%s\t%u\t%u\t%s\t%08x\n", i, e.Name().c_str(), e.size, e.storedSize,
                     e.stored ? "stored" : "deflated", e.crc);
    }
}
