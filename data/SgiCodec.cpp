// SGI image files: verbatim or run-length encoded, 8 or 16 bits per channel
// (16-bit samples are rounded to the nearest 8-bit value), one to four
// channels: grey becomes 8-bit grey levels, grey with alpha and RGBA 32-bit,
// RGB 24-bit.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <cstring>

namespace {

uint16_t Be16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// A sample as a byte: words are rounded to the nearest 8-bit value.
uint8_t SampleByte(const uint8_t* p, int sampleBytes) {
    return sampleBytes == 1 ? p[0] : static_cast<uint8_t>((Be16(p) * 255u + 32767) / 65535);
}

// Unpacks one run-length row of samples (bytes or big-endian words) into
// width bytes; false when the row is damaged.
bool UnpackRow(const uint8_t* in, size_t length, int sampleBytes, uint8_t* out, size_t width) {
    size_t i = 0, o = 0;
    // The next sample as a byte, or -1 at the end of the row's data.
    auto sample = [&]() -> int {
        if (length - i < static_cast<size_t>(sampleBytes)) return -1;
        int v = SampleByte(in + i, sampleBytes);
        i += sampleBytes;
        return v;
    };
    while (true) {
        if (length - i < static_cast<size_t>(sampleBytes)) return false;
        // The count is in the low byte of a control word.
        int control = in[i + sampleBytes - 1];
        i += sampleBytes;
        size_t count = control & 0x7F;
        if (count == 0) return o == width;
        if (count > width - o) return false;
        if (control & 0x80) {
            for (size_t k = 0; k < count; k++) {
                int v = sample();
                if (v < 0) return false;
                out[o++] = static_cast<uint8_t>(v);
            }
        } else {
            int v = sample();
            if (v < 0) return false;
            std::memset(out + o, v, count);
            o += count;
        }
    }
}

} // namespace

bool SgiAccepts(const uint8_t* head, size_t size) {
    if (size < 12 || Be16(head) != 474) return false;
    const int storage = head[2], bpc = head[3], dimension = Be16(head + 4);
    const int zsize = Be16(head + 10);
    return storage <= 1 && (bpc == 1 || bpc == 2) && dimension >= 1 && dimension <= 3 && zsize >= 1 &&
           zsize <= 4 && Be16(head + 6) >= 1 && Be16(head + 8) >= 1;
}

void DecodeSgi(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    const uint8_t* h = bytes.data;
    if (bytes.size < 512 || !SgiAccepts(h, bytes.size)) throw EInvalidGraphic("Invalid SGI image");
    const bool rle = h[2] == 1;
    const int sampleBytes = h[3];
    const int dimension = Be16(h + 4);
    const int32_t width = Be16(h + 6), height = dimension == 1 ? 1 : Be16(h + 8);
    const int channels = dimension == 3 ? Be16(h + 10) : 1;
    CheckPictureSize(width, height, 32);
    const size_t rows = static_cast<size_t>(height) * channels;
    const size_t rowBytes = static_cast<size_t>(width) * sampleBytes;
    if (!rle && bytes.size - 512 < rows * rowBytes) throw EInvalidGraphic("SGI image is truncated");
    if (rle && bytes.size - 512 < rows * 8) throw EInvalidGraphic("SGI image is truncated");
    // A run-length row of at least two samples covers at most 127 pixels.
    if (rle && static_cast<uint64_t>(bytes.size) * 64 < static_cast<uint64_t>(width) * height)
        throw EInvalidGraphic("SGI image is truncated");

    // Every plane unpacked to one byte per sample, rows bottom first as stored.
    std::vector<uint8_t> planes(rows * static_cast<size_t>(width));
    for (size_t r = 0; r < rows; r++) {
        uint8_t* out = planes.data() + r * width;
        if (!rle) {
            const uint8_t* in = bytes.data + 512 + r * rowBytes;
            for (int32_t x = 0; x < width; x++)
                out[x] = SampleByte(in + static_cast<size_t>(x) * sampleBytes, sampleBytes);
            continue;
        }
        uint32_t start = Be32(bytes.data + 512 + 4 * r), length = Be32(bytes.data + 512 + 4 * rows + 4 * r);
        if (start > bytes.size || length > bytes.size - start ||
            !UnpackRow(bytes.data + start, length, sampleBytes, out, static_cast<size_t>(width)))
            throw EInvalidGraphic("SGI image is damaged");
    }

    const int outBits = channels == 1 ? 8 : channels == 3 ? 24 : 32;
    target.Begin(width, height, outBits, {});
    const bool redFirst = target.RedFirst();
    const size_t planeBytes = static_cast<size_t>(height) * width;
    for (int32_t y = 0; y < height; y++) {
        uint8_t* out = target.Row(height - 1 - y); // stored bottom row first
        const uint8_t* in = planes.data() + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; x++) {
            uint8_t c[4];
            for (int k = 0; k < channels; k++)
                c[k] = in[k * planeBytes + x];
            if (channels == 1) {
                *out++ = c[0];
            } else if (channels == 2) { // grey and alpha
                *out++ = c[0];
                *out++ = c[0];
                *out++ = c[0];
                *out++ = c[1];
            } else {
                *out++ = redFirst ? c[0] : c[2];
                *out++ = c[1];
                *out++ = redFirst ? c[2] : c[0];
                if (channels == 4) *out++ = c[3];
            }
        }
    }
    target.Finish();
}
