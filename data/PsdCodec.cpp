// Photoshop PSD through stb_image (its implementation is compiled here, for
// PSD only): the composite picture, 8 bits per channel. Grey pictures become
// 8-bit grey levels, grey with alpha and RGBA pictures 32-bit, RGB 24-bit.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PSD
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 32768
#define STBI_ASSERT(x) ((void)0)
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// stb_image reads missing bytes as zeros, so the file's layout is checked
// here first: the three length-prefixed sections must fit, and the composite
// picture's data (raw planes, or the run-length table and the runs it lists)
// must be present in full.
void CheckPsdLayout(const uint8_t* data, size_t size) {
    auto fail = [] { throw EInvalidGraphic("PSD file is truncated or damaged"); };
    if (size < 26) fail();
    const uint64_t channels = Be16(data + 12), height = Be32(data + 14), width = Be32(data + 18);
    const uint64_t depth = Be16(data + 22);
    size_t at = 26;
    for (int section = 0; section < 3; section++) {
        if (size - at < 4) fail();
        uint64_t length = Be32(data + at);
        at += 4;
        if (length > size - at) fail();
        at += static_cast<size_t>(length);
    }
    if (size - at < 2) fail();
    const uint16_t compression = Be16(data + at);
    at += 2;
    const uint64_t rows = channels * height, rowBytes = width * (depth / 8 ? depth / 8 : 1);
    if (compression == 0) {
        if (rows * rowBytes > size - at) fail();
    } else if (compression == 1) {
        if (rows * 2 > size - at) fail();
        uint64_t total = 0;
        for (uint64_t r = 0; r < rows; r++)
            total += Be16(data + at + 2 * r);
        if (total > size - at - rows * 2) fail();
    }
}

} // namespace

bool PsdAccepts(const uint8_t* head, size_t size) {
    return size >= 6 && std::memcmp(head, "8BPS", 4) == 0 && head[4] == 0 && head[5] == 1;
}

void DecodePsd(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    if (bytes.size > 0x7FFFFFFF) throw EInvalidGraphic("PSD file is too large");
    CheckPsdLayout(bytes.data, bytes.size);
    int width = 0, height = 0, channels = 0;
    const int length = static_cast<int>(bytes.size);
    if (!stbi_info_from_memory(bytes.data, length, &width, &height, &channels))
        throw EInvalidGraphic(Format("PSD error: %s", stbi_failure_reason()));
    CheckPictureSize(width, height, 32);
    // stb decodes planes of width * height bytes each; a file can hold that
    // much only after decompression, which is bounded by 256:1 for PackBits.
    if (static_cast<uint64_t>(width) * height > static_cast<uint64_t>(bytes.size) * 256)
        throw EInvalidGraphic("PSD file is truncated");
    // stb reports four components for every colour file; the header's own
    // channel count says whether there is an alpha channel.
    const int fileChannels = Be16(bytes.data + 12), mode = Be16(bytes.data + 24);
    (void)channels;
    const int wanted = fileChannels == 1 || (mode == 1 && fileChannels == 1) ? 1 : fileChannels == 3 ? 3 : 4;
    int w = 0, h = 0, got = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes.data, length, &w, &h, &got, wanted);
    if (!pixels) throw EInvalidGraphic(Format("PSD error: %s", stbi_failure_reason()));
    struct TFree {
        stbi_uc* p;
        ~TFree() { stbi_image_free(p); }
    } guard{pixels};
    if (w != width || h != height) throw EInvalidGraphic("PSD error: inconsistent size");
    target.Begin(width, height, wanted * 8, {});
    const bool swap = wanted >= 3 && !target.RedFirst();
    const size_t rowBytes = static_cast<size_t>(width) * wanted;
    for (int r = 0; r < height; r++) {
        uint8_t* out = target.Row(r);
        std::memcpy(out, pixels + r * rowBytes, rowBytes);
        if (swap)
            for (int x = 0; x < width; x++)
                std::swap(out[x * wanted], out[x * wanted + 2]);
    }
    target.Finish();
}
