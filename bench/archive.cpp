// Archive speed on a 64 MB archive, side by side with plain zlib:
//   open (the CRC pass over the whole archive)  vs  zlib crc32 over the same bytes
//   extracting every member into memory         vs  zlib inflating the same members
// The archive reads through libdeflate (whole members into buffers of known
// size, and the CRC pass); zlib's own figures are the baseline, and
// libdeflate's alone are printed beside them. Each figure is the best of
// several runs. The last two lines are the ratios, with their targets.
#include "data/ZLBArchive.h"
#include "data/ZLBArchiveWriter.h"
#include "bench/BenchSupport.h"
#include "platform/Ticks.h"

#include <algorithm>
#include <cstdio>
#include <libdeflate.h>
#include <vector>
#include <zlib.h>

namespace {

// Member contents between text-like (compressible) and noise.
std::vector<uint8_t> MakeMember(size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = (seed % 2 == 0) ? uint8_t(x >> 24) : uint8_t("zumbrix demo engine "[(i + (x >> 29)) % 20]);
    }
    return bytes;
}

} // namespace

int main() {
    const size_t kMembers = 74;
    const size_t kMemberSize = 1 << 20;
    TMemoryStream archiveBytes;
    {
        TZLBArchiveWriter writer(archiveBytes);
        for (size_t i = 0; i < kMembers; ++i) {
            std::vector<uint8_t> m = MakeMember(kMemberSize, unsigned(i));
            writer.AddMember("member" + std::to_string(i) + ".bin", m.data(), m.size(), i % 3 == 0);
        }
        writer.Finish();
    }
    const uint8_t* bytes = archiveBytes.Memory();
    const int64_t size = archiveBytes.Size();
    std::printf("archive: %lld bytes, %zu members\n", (long long)size, kMembers);

    TReadOnlyMemoryStream source(bytes, size);
    double open = Best(5, [&] {
        TZLBArchive archive;
        archive.OpenStream(source);
    });
    volatile uLong sink = 0;
    double crc = Best(5, [&] { sink = crc32(0, bytes, uInt(size - kZLBTrailerSize)); });

    TZLBArchive archive;
    archive.OpenStream(source);
    std::vector<TMemoryStream> outputs(kMembers);
    double extract = Best(3, [&] {
        for (size_t i = 0; i < kMembers; ++i) {
            TZLBEntry e = archive.GetEntry(int(i));
            outputs[i].SetSize(e.size);
            outputs[i].SetPosition(0);
            archive.ExtractStream(outputs[i], int(i));
        }
    });
    // The baseline writes each member into a buffer of its own, as the
    // extraction does, so both touch the same amount of memory.
    std::vector<std::vector<uint8_t>> plain(kMembers, std::vector<uint8_t>(kMemberSize));
    double inflateTime = Best(3, [&] {
        for (size_t i = 0; i < kMembers; ++i) {
            TZLBEntry e = archive.GetEntry(int(i));
            if (e.stored) {
                std::copy(bytes + e.offset, bytes + e.offset + e.size, plain[i].begin());
                continue;
            }
            uLongf length = uLongf(plain[i].size());
            uncompress(plain[i].data(), &length, bytes + e.offset, e.storedSize);
        }
    });

    // libdeflate alone on the same work.
    double deflateCrc = Best(5, [&] { sink = libdeflate_crc32(0, bytes, size_t(size - kZLBTrailerSize)); });
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    double deflateInflate = Best(3, [&] {
        for (size_t i = 0; i < kMembers; ++i) {
            TZLBEntry e = archive.GetEntry(int(i));
            if (e.stored) {
                std::copy(bytes + e.offset, bytes + e.offset + e.size, plain[i].begin());
                continue;
            }
            libdeflate_zlib_decompress(d, bytes + e.offset, e.storedSize, plain[i].data(), e.size, nullptr);
        }
    });
    libdeflate_free_decompressor(d);

    std::printf("open (CRC pass): %.2f ms, zlib crc32: %.2f ms, libdeflate crc32: %.2f ms\n", open * 1e3,
                crc * 1e3, deflateCrc * 1e3);
    std::printf("extract all: %.2f ms, zlib inflate: %.2f ms, libdeflate inflate: %.2f ms\n", extract * 1e3,
                inflateTime * 1e3, deflateInflate * 1e3);
    std::printf("open/zlib crc32 ratio: %.3f (target <= 0.5)\n", open / crc);
    std::printf("extract/zlib inflate ratio: %.3f (target <= 0.6)\n", extract / inflateTime);
    return 0;
}
