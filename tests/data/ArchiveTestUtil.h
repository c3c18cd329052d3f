// Builds archives in memory for the archive and stream tests, and damages
// them in controlled ways (with a trailer CRC that still matches).
#pragma once

#include "data/ZLBArchive.h"
#include "data/ZLBArchiveWriter.h"

#include <cstring>
#include <string>
#include <vector>

struct TestMember {
    std::string name;
    std::string bytes;
    bool store = false;
};

inline std::vector<uint8_t> BuildArchive(const std::vector<TestMember>& members, bool rawDirectory = false) {
    TMemoryStream out;
    TZLBArchiveWriter writer(out);
    for (const TestMember& m : members)
        writer.AddMember(m.name, m.bytes.data(), m.bytes.size(), m.store);
    writer.Finish(rawDirectory);
    return std::vector<uint8_t>(out.Memory(), out.Memory() + out.Size());
}

inline TZLBTrailer& TrailerOf(std::vector<uint8_t>& archive) {
    return *reinterpret_cast<TZLBTrailer*>(archive.data() + archive.size() - kZLBTrailerSize);
}

// Recomputes the trailer CRC after a deliberate change.
inline void Reseal(std::vector<uint8_t>& archive) {
    TrailerOf(archive).crc = Crc32(archive.data(), archive.size() - kZLBTrailerSize);
}

// The raw directory entry i of an archive written with a raw directory.
inline TZLBEntry& RawEntry(std::vector<uint8_t>& archive, int i) {
    TZLBTrailer& t = TrailerOf(archive);
    return *reinterpret_cast<TZLBEntry*>(archive.data() + t.directoryOffset + i * kZLBEntrySize);
}

inline std::string Patterned(size_t size, unsigned seed = 1) {
    std::string s(size, '\0');
    unsigned x = seed;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = static_cast<char>((i % 7 == 0) ? (x >> 16) : 'a' + (i % 13));
    }
    return s;
}
