// Decodes any byte string as an MP3 held in memory, seeks about and reads:
// nothing may crash, hang, read outside the block or deliver more frames than
// the length the decoder reported.
#include "demo/Mp3Decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input, so that reads past its end are caught.
    std::vector<uint8_t> block(data, data + size);
    TMp3Decoder decoder;
    if (!decoder.Open(block.data(), block.size())) return 0;
    int64_t length = decoder.LengthFrames();
    std::vector<int16_t> pcm(4096 * 2);
    int64_t total = 0;
    size_t got;
    while ((got = decoder.Read(pcm.data(), 4096)) > 0) {
        total += static_cast<int64_t>(got);
        if (total > length) std::abort();
    }
    for (int64_t frame : {length / 2, int64_t(0), length, length / 3}) {
        decoder.Seek(frame);
        int64_t at = decoder.PositionFrames();
        if (at < 0 || at > length) std::abort();
        if (static_cast<int64_t>(decoder.Read(pcm.data(), 4096)) > length - at) std::abort();
    }
    return 0;
}
