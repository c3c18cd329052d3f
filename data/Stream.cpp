#include "data/Stream.h"

#include "platform/Format.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

void TStream::SetSize(int64_t) {
    throw EStreamError("Stream size cannot be changed");
}

int64_t TStream::GetSize() {
    int64_t position = Seek(0, soCurrent);
    int64_t size = Seek(0, soEnd);
    Seek(position, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count < 0 || Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count < 0 || Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.GetSize();
    }
    uint8_t buffer[65536];
    int64_t done = 0;
    while (done < count) {
        int64_t piece = std::min<int64_t>(count - done, sizeof buffer);
        source.ReadBuffer(buffer, piece);
        WriteBuffer(buffer, piece);
        done += piece;
    }
    return done;
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    int64_t size = Size();
    if (count <= 0 || position_ >= size) return 0;
    int64_t n = std::min(count, size - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t end = position_ + count;
    if (end > Size()) data_.resize(static_cast<size_t>(end));
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : Size();
    int64_t target = base + offset;
    if (target < 0) throw EStreamError("Invalid stream position");
    position_ = target;
    return position_;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) throw EStreamError("Invalid stream size");
    data_.resize(static_cast<size_t>(size));
    if (position_ > size) position_ = size;
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    int64_t size = source.GetSize();
    SetSize(size);
    position_ = 0;
    if (size > 0) source.ReadBuffer(data_.data(), size);
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::fmOpenRead);
    LoadFromStream(file);
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    TFileStream file(fileName, TFileStream::fmCreate);
    file.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
}

// ---- TReadOnlyMemoryStream ----

int64_t TReadOnlyMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || position_ >= size_) return 0;
    int64_t n = std::min(count, size_ - position_);
    std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TReadOnlyMemoryStream::Write(const void*, int64_t) {
    throw EWriteError("Stream write error");
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? position_ : size_;
    int64_t target = base + offset;
    if (target < 0) throw EStreamError("Invalid stream position");
    position_ = target;
    return position_;
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& fileName, TMode mode) : fileName_(fileName) {
    const char* how = mode == fmOpenRead ? "rb" : mode == fmCreate ? "w+b" : "r+b";
    file_ = std::fopen(fileName.c_str(), how);
    if (!file_) {
        if (mode == fmCreate)
            throw EFOpenError(
                Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
        throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
    }
    // A directory opens for reading but reads as nothing and seeks anywhere.
    struct stat info;
    if (fstat(fileno(file_), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file_);
        file_ = nullptr;
        throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(EISDIR)));
    }
}

TFileStream::~TFileStream() {
    if (file_) std::fclose(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file_));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    if (fseeko(file_, static_cast<off_t>(offset), whence) != 0)
        throw EStreamError(Format("Seek failed in \"%s\"", fileName_.c_str()));
    return static_cast<int64_t>(ftello(file_));
}

void TFileStream::SetSize(int64_t size) {
    std::fflush(file_);
    if (ftruncate(fileno(file_), static_cast<off_t>(size)) != 0)
        throw EStreamError(Format("Cannot resize \"%s\"", fileName_.c_str()));
}
