// Photoshop PSD through stb_image (its implementation is compiled here, for
// PSD only): the composite picture of RGB files with 8 or 16 bits per
// channel, raw or run-length encoded. RGB becomes 24-bit, RGB with a fourth
// channel 32-bit with that channel as alpha; 16-bit samples are rounded to
// the nearest 8-bit value.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <algorithm>
#include <cstring>
#include <vector>

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
uint8_t Reduce16(unsigned v) {
    return static_cast<uint8_t>((v * 255 + 32767) / 65535);
}

// The layout of a PSD file up to its composite picture.
struct TPsdLayout {
    uint64_t channels, height, width, depth;
    uint16_t compression;
    size_t tableAt; // run-length table (compression 1) or raw planes (0)
    size_t dataAt;  // first byte of pixel data
};

// stb_image reads missing bytes as zeros, so the file's layout is checked
// here first: the three length-prefixed sections must fit, and the composite
// picture's data (raw planes, or the run-length table and the runs it lists)
// must be present in full.
TPsdLayout CheckPsdLayout(const uint8_t* data, size_t size) {
    auto fail = [] { throw EInvalidGraphic("PSD file is truncated or damaged"); };
    if (size < 26) fail();
    TPsdLayout l;
    l.channels = Be16(data + 12);
    l.height = Be32(data + 14);
    l.width = Be32(data + 18);
    l.depth = Be16(data + 22);
    size_t at = 26;
    for (int section = 0; section < 3; section++) {
        if (size - at < 4) fail();
        uint64_t length = Be32(data + at);
        at += 4;
        if (length > size - at) fail();
        at += static_cast<size_t>(length);
    }
    if (size - at < 2) fail();
    l.compression = Be16(data + at);
    at += 2;
    // The composites read here: 8 or 16 bits per channel, raw or PackBits.
    if ((l.depth != 8 && l.depth != 16) || l.compression > 1) throw EInvalidGraphic("Unsupported PSD file");
    l.tableAt = at;
    const uint64_t rows = l.channels * l.height, rowBytes = l.width * (l.depth / 8);
    l.dataAt = at;
    if (l.compression == 0) {
        if (rows * rowBytes > size - at) fail();
    } else {
        if (rows * 2 > size - at) fail();
        uint64_t total = 0;
        for (uint64_t r = 0; r < rows; r++)
            total += Be16(data + at + 2 * r);
        l.dataAt = at + static_cast<size_t>(rows * 2);
        if (total > size - l.dataAt) fail();
    }
    return l;
}

// Unpacks one PackBits row into out (width bytes); false when it is damaged.
bool UnpackRow(const uint8_t* in, size_t length, uint8_t* out, size_t width) {
    size_t i = 0, o = 0;
    while (i < length && o < width) {
        int n = static_cast<int8_t>(in[i++]);
        if (n >= 0) {
            size_t count = static_cast<size_t>(n) + 1;
            if (count > length - i || count > width - o) return false;
            std::memcpy(out + o, in + i, count);
            i += count;
            o += count;
        } else if (n != -128) {
            size_t count = static_cast<size_t>(1 - n);
            if (i >= length || count > width - o) return false;
            std::memset(out + o, in[i++], count);
            o += count;
        }
    }
    return o == width;
}

// Files with an alpha channel: stb would remove the white matte of the
// composite itself, with a float-to-byte conversion that overflows for some
// values. Instead stb gets a copy that declares three channels (for run-length
// data the table loses the rows of the extra channels; the data stays), and
// the fourth plane is read here as alpha.
std::vector<uint8_t> ColourOnlyCopy(const uint8_t* data, size_t size, const TPsdLayout& l) {
    std::vector<uint8_t> copy(data, data + size);
    copy[12] = 0;
    copy[13] = 3;
    if (l.compression == 1) {
        size_t keep = l.tableAt + static_cast<size_t>(3 * l.height * 2);
        copy.erase(copy.begin() + static_cast<ptrdiff_t>(keep),
                   copy.begin() + static_cast<ptrdiff_t>(l.dataAt));
    }
    return copy;
}

std::vector<uint8_t> AlphaPlane(const uint8_t* data, const TPsdLayout& l) {
    const size_t width = static_cast<size_t>(l.width), height = static_cast<size_t>(l.height);
    std::vector<uint8_t> alpha(width * height);
    if (l.compression == 0) {
        const size_t sample = l.depth == 16 ? 2 : 1;
        const uint8_t* plane = data + l.dataAt + 3 * width * height * sample;
        for (size_t i = 0; i < width * height; i++)
            alpha[i] = sample == 2 ? Reduce16(Be16(plane + 2 * i)) : plane[i];
        return alpha;
    }
    size_t at = l.dataAt;
    for (size_t r = 0; r < 3 * height; r++)
        at += Be16(data + l.tableAt + 2 * r);
    for (size_t r = 0; r < height; r++) {
        size_t length = Be16(data + l.tableAt + 2 * (3 * height + r));
        if (!UnpackRow(data + at, length, alpha.data() + r * width, width))
            throw EInvalidGraphic("PSD file is damaged");
        at += length;
    }
    return alpha;
}

} // namespace

bool PsdAccepts(const uint8_t* head, size_t size) {
    return size >= 6 && std::memcmp(head, "8BPS", 4) == 0 && head[4] == 0 && head[5] == 1;
}

void DecodePsd(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    if (bytes.size > 0x7FFFFFFF) throw EInvalidGraphic("PSD file is too large");
    const TPsdLayout layout = CheckPsdLayout(bytes.data, bytes.size);
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes.data, static_cast<int>(bytes.size), &width, &height, &channels))
        throw EInvalidGraphic(Format("PSD error: %s", stbi_failure_reason()));
    CheckPictureSize(width, height, 32);
    // stb decodes planes of width * height bytes each; a file can hold that
    // much only after decompression, which is bounded by 128:2 for PackBits.
    if (static_cast<uint64_t>(width) * height > static_cast<uint64_t>(bytes.size) * 64)
        throw EInvalidGraphic("PSD file is truncated");
    const bool hasAlpha = layout.channels >= 4;
    if (hasAlpha && layout.compression == 1 && layout.depth != 8)
        throw EInvalidGraphic("Unsupported PSD file");
    std::vector<uint8_t> colourOnly, alpha;
    const uint8_t* input = bytes.data;
    size_t inputSize = bytes.size;
    if (hasAlpha) {
        alpha = AlphaPlane(bytes.data, layout);
        colourOnly = ColourOnlyCopy(bytes.data, bytes.size, layout);
        input = colourOnly.data();
        inputSize = colourOnly.size();
    }
    // 16-bit composites are read as such (stb's own reduction to 8 bits cuts
    // off the low byte instead of rounding).
    const bool wide = layout.depth == 16;
    int w = 0, h = 0, got = 0;
    void* pixels =
        wide ? static_cast<void*>(
                   stbi_load_16_from_memory(input, static_cast<int>(inputSize), &w, &h, &got, 3))
             : static_cast<void*>(stbi_load_from_memory(input, static_cast<int>(inputSize), &w, &h, &got, 3));
    if (!pixels) throw EInvalidGraphic(Format("PSD error: %s", stbi_failure_reason()));
    struct TFree {
        void* p;
        ~TFree() { stbi_image_free(p); }
    } guard{pixels};
    if (w != width || h != height) throw EInvalidGraphic("PSD error: inconsistent size");
    const int outBytes = hasAlpha ? 4 : 3;
    target.Begin(width, height, outBytes * 8, {});
    const bool redFirst = target.RedFirst();
    for (int r = 0; r < height; r++) {
        uint8_t* out = target.Row(r);
        const size_t first = static_cast<size_t>(r) * width * 3;
        for (int x = 0; x < width; x++) {
            int c[3];
            for (int k = 0; k < 3; k++) {
                const size_t i = first + 3 * static_cast<size_t>(x) + k;
                c[k] = wide ? Reduce16(static_cast<const stbi_us*>(pixels)[i])
                            : static_cast<const stbi_uc*>(pixels)[i];
            }
            if (hasAlpha) {
                // The composite is matted with white: c = a * colour + (1 - a) * 255.
                int a = alpha[static_cast<size_t>(r) * width + x];
                if (a != 0 && a != 255)
                    for (int& v : c)
                        v = std::clamp((v * 255 - 255 * (255 - a) + a / 2) / a, 0, 255);
                out[3] = static_cast<uint8_t>(a);
            }
            out[0] = static_cast<uint8_t>(redFirst ? c[0] : c[2]);
            out[1] = static_cast<uint8_t>(c[1]);
            out[2] = static_cast<uint8_t>(redFirst ? c[2] : c[0]);
            out += outBytes;
        }
    }
    target.Finish();
}
