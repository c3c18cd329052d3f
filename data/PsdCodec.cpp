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

bool PsdAccepts(const uint8_t* head, size_t size) {
    return size >= 6 && std::memcmp(head, "8BPS", 4) == 0 && head[4] == 0 && head[5] == 1;
}

void DecodePsd(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    if (bytes.size > 0x7FFFFFFF) throw EInvalidGraphic("PSD file is too large");
    int width = 0, height = 0, channels = 0;
    const int length = static_cast<int>(bytes.size);
    if (!stbi_info_from_memory(bytes.data, length, &width, &height, &channels))
        throw EInvalidGraphic(Format("PSD error: %s", stbi_failure_reason()));
    CheckPictureSize(width, height, 32);
    // stb decodes planes of width * height bytes each; a file can hold that
    // much only after decompression, which is bounded by 256:1 for PackBits.
    if (static_cast<uint64_t>(width) * height > static_cast<uint64_t>(bytes.size) * 256)
        throw EInvalidGraphic("PSD file is truncated");
    const int wanted = channels == 1 ? 1 : channels == 3 ? 3 : 4;
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
