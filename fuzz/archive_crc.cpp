// Like the archive target, but reseals the trailer CRC first so that the
// fuzzer reaches the directory and member readers instead of stopping at the
// checksum.
#include "data/ZLBArchive.h"

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kZLBTrailerSize) return 0;
    std::vector<uint8_t> bytes(data, data + size);
    uint32_t crc = Crc32(bytes.data(), size - kZLBTrailerSize);
    std::memcpy(bytes.data() + size - kZLBTrailerSize, &crc, 4);
    TReadOnlyMemoryStream source(bytes.data(), static_cast<int64_t>(size));
    TZLBArchive archive;
    try {
        archive.OpenStream(source);
    } catch (const Exception&) {
        return 0;
    }
    archive.CheckCRC = true;
    for (int i = 0; i < archive.EntryCount() && i < 64; ++i) {
        try {
            TZLBEntry entry = archive.GetEntry(i);
            TMemoryStream out;
            out.SetSize(std::min<int64_t>(entry.size, archive.MaxPlausibleSize(entry)));
            archive.ExtractStream(out, i);
        } catch (const Exception&) {
        }
    }
    return 0;
}
