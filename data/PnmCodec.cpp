// Portable pixmaps: PBM (P1, P4), PGM (P2, P5) and PPM (P3, P6), ASCII and
// binary, any maximum value up to 65535. Bitmaps become 1-bit pictures with a
// white/black palette, grey maps 8-bit grey levels, pixmaps 24-bit colour;
// samples are scaled to 0..255.
#include "data/PictureDecoder.h"

#include <cctype>

namespace {

struct TPnmReader {
    const uint8_t* p;
    const uint8_t* end;

    void SkipSpaceAndComments() {
        while (p < end) {
            if (*p == '#') {
                while (p < end && *p != '\n' && *p != '\r')
                    p++;
            } else if (std::isspace(*p)) {
                p++;
            } else {
                break;
            }
        }
    }
    // A decimal number of the header or of an ASCII raster.
    uint32_t Number() {
        SkipSpaceAndComments();
        if (p >= end || !std::isdigit(*p)) throw EInvalidGraphic("Invalid portable pixmap");
        uint64_t v = 0;
        while (p < end && std::isdigit(*p)) {
            v = v * 10 + (*p++ - '0');
            if (v > 0xFFFFFFFFu) throw EInvalidGraphic("Invalid portable pixmap");
        }
        return static_cast<uint32_t>(v);
    }
};

} // namespace

bool PnmAccepts(const uint8_t* head, size_t size) {
    return size >= 3 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6' && std::isspace(head[2]);
}

void DecodePnm(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    if (!PnmAccepts(bytes.data, bytes.size)) throw EInvalidGraphic("Invalid portable pixmap");
    TPnmReader in{bytes.data + 2, bytes.data + bytes.size};
    const int kind = bytes.data[1] - '0';
    const bool bitmap = kind == 1 || kind == 4, ascii = kind <= 3;
    const int channels = kind == 3 || kind == 6 ? 3 : 1;
    uint32_t width = in.Number(), height = in.Number();
    uint32_t maxValue = bitmap ? 1 : in.Number();
    if (maxValue < 1 || maxValue > 65535) throw EInvalidGraphic("Invalid portable pixmap maximum value");
    CheckPictureSize(width, height, bitmap ? 1 : channels * 8);
    if (!ascii) {
        if (in.p >= in.end || !std::isspace(*in.p)) throw EInvalidGraphic("Invalid portable pixmap");
        in.p++; // exactly one whitespace byte before binary data
    }
    const uint64_t samples = static_cast<uint64_t>(width) * height * channels;
    const int sampleBytes = maxValue > 255 ? 2 : 1;
    const uint64_t available = static_cast<uint64_t>(in.end - in.p);
    const uint64_t needed = ascii    ? samples
                            : bitmap ? (width + 7) / 8 * static_cast<uint64_t>(height)
                                     : samples * sampleBytes;
    if (available < needed) throw EInvalidGraphic("Portable pixmap is truncated");

    std::vector<TBitmapColor> palette;
    if (bitmap) palette = {{255, 255, 255, 255}, {0, 0, 0, 255}}; // 0 is white, 1 is black
    target.Begin(static_cast<int32_t>(width), static_cast<int32_t>(height), bitmap ? 1 : channels * 8,
                 palette);
    const bool redFirst = target.RedFirst();

    auto scale = [&](uint32_t v) -> uint8_t {
        if (v > maxValue) v = maxValue;
        return maxValue == 255 ? static_cast<uint8_t>(v)
                               : static_cast<uint8_t>((v * 255 + maxValue / 2) / maxValue);
    };
    auto sample = [&]() -> uint32_t {
        if (ascii) return in.Number();
        uint32_t v = *in.p++;
        if (sampleBytes == 2) v = (v << 8) | *in.p++;
        return v;
    };

    for (uint32_t y = 0; y < height; y++) {
        uint8_t* row = target.Row(static_cast<int32_t>(y));
        if (bitmap) {
            size_t rowBytes = (width + 7) / 8;
            if (!ascii) {
                std::copy(in.p, in.p + rowBytes, row);
                in.p += rowBytes;
                continue;
            }
            std::fill(row, row + rowBytes, 0);
            for (uint32_t x = 0; x < width; x++) {
                // In P1 the digits need no separators.
                in.SkipSpaceAndComments();
                if (in.p >= in.end || (*in.p != '0' && *in.p != '1'))
                    throw EInvalidGraphic("Invalid portable bitmap");
                if (*in.p++ == '1') row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
            continue;
        }
        if (channels == 1) {
            for (uint32_t x = 0; x < width; x++)
                row[x] = scale(sample());
        } else {
            for (uint32_t x = 0; x < width; x++) {
                uint8_t r = scale(sample()), g = scale(sample()), b = scale(sample());
                row[3 * x + 0] = redFirst ? r : b;
                row[3 * x + 1] = g;
                row[3 * x + 2] = redFirst ? b : r;
            }
        }
    }
    target.Finish();
}
