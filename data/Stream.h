// Seekable byte streams: the abstract TStream every loader reads through, and
// the memory, read-only memory and file streams behind it.
//
// Size and position are derived from Seek, as the flexible streams expect:
// a stream that cannot seek cannot tell its size either.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

ZUMBRIX_EXCEPTION(EStreamError, Exception);
ZUMBRIX_EXCEPTION(EReadError, EStreamError);  // "Stream read error"
ZUMBRIX_EXCEPTION(EWriteError, EStreamError); // "Stream write error"
ZUMBRIX_EXCEPTION(EFOpenError, EStreamError); // a file could not be opened

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes up to count bytes; returns how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    // Changes the size; streams that cannot grow or shrink raise EStreamError.
    virtual void SetSize(int64_t size);
    // The stream's whole content as one block of memory, when it has one
    // (memory streams); nullptr otherwise. Lets readers work in place.
    virtual const uint8_t* MemoryView() const { return nullptr; }

    int64_t GetPosition() { return Seek(0, soCurrent); }
    void SetPosition(int64_t position) { Seek(position, soBeginning); }
    int64_t GetSize();

    // Read or write exactly count bytes, raising EReadError / EWriteError
    // ("Stream read error" / "Stream write error") when that is not possible.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source's current position (count 0: the whole
    // source from position 0). Returns the number of bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream over an owned, growable block of memory.
class TMemoryStream : public TStream {
public:
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;

    const uint8_t* MemoryView() const override { return data_.data(); }
    uint8_t* Memory() { return data_.data(); }
    const uint8_t* Memory() const { return data_.data(); }
    int64_t Size() const { return static_cast<int64_t>(data_.size()); }
    void Clear();
    // Reads the whole of a stream (from position 0) into memory.
    void LoadFromStream(TStream& source);
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    std::vector<uint8_t>& Bytes() { return data_; }

private:
    std::vector<uint8_t> data_;
    int64_t position_ = 0;
};

// A read-only stream over memory it does not own (an embedded resource).
class TReadOnlyMemoryStream : public TStream {
public:
    TReadOnlyMemoryStream(const void* data, int64_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const uint8_t* Memory() const { return data_; }
    const uint8_t* MemoryView() const override { return data_; }

private:
    const uint8_t* data_;
    int64_t size_;
    int64_t position_ = 0;
};

// A disk file. Raises EFOpenError "Cannot open file \"%s\". %s" when it
// cannot be opened (a directory cannot).
class TFileStream : public TStream {
public:
    enum TMode { fmOpenRead, fmCreate, fmOpenReadWrite };
    TFileStream(const std::string& fileName, TMode mode);
    ~TFileStream() override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
    FILE* file_ = nullptr;
};
