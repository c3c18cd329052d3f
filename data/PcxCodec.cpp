// ZSoft PCX, the common variants: 8-bit palette pictures (palette at the end
// of the file) keep their indices; 1-bit, 4-bit and four-plane 16-colour
// pictures become one palette index per pixel; three and four planes of 8
// bits become 24-bit and 32-bit colour. Run-length encoded or raw.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <cstring>

namespace {

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

bool PcxAccepts(const uint8_t* head, size_t size) {
    if (size < 128 || head[0] != 0x0A) return false;
    const int version = head[1], encoding = head[2], bits = head[3], planes = head[65];
    if (version > 5 || version == 1 || encoding > 1) return false;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8) return false;
    if (planes < 1 || planes > 4) return false;
    const int xmin = Le16(head + 4), ymin = Le16(head + 6), xmax = Le16(head + 8), ymax = Le16(head + 10);
    if (xmax < xmin || ymax < ymin) return false;
    return static_cast<int64_t>(Le16(head + 66)) * 8 >= static_cast<int64_t>(xmax - xmin + 1) * bits;
}

void DecodePcx(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    const uint8_t* h = bytes.data;
    if (!PcxAccepts(h, bytes.size)) throw EInvalidGraphic("Invalid PCX header");
    const int bits = h[3], planes = h[65];
    const int32_t width = Le16(h + 8) - Le16(h + 4) + 1, height = Le16(h + 10) - Le16(h + 6) + 1;
    const size_t lineBytes = Le16(h + 66);
    CheckPictureSize(width, height, 32);

    int outBits;
    std::vector<TBitmapColor> palette;
    auto headerPalette = [&](int count) {
        for (int i = 0; i < count; i++)
            palette.push_back({h[16 + 3 * i + 2], h[16 + 3 * i + 1], h[16 + 3 * i], 255});
    };
    if (bits == 8 && planes == 1) {
        outBits = 8;
        // Version 5 files keep their 256 colours after a 12 byte at the end.
        if (bytes.size >= 128 + 769 && bytes.data[bytes.size - 769] == 0x0C) {
            const uint8_t* p = bytes.data + bytes.size - 768;
            for (int i = 0; i < 256; i++)
                palette.push_back({p[3 * i + 2], p[3 * i + 1], p[3 * i], 255});
        }
    } else if (bits == 8 && planes >= 3) {
        outBits = planes * 8;
    } else if ((bits == 1 && (planes == 1 || planes == 4)) || (bits == 4 && planes == 1)) {
        outBits = 8; // one index per pixel
        headerPalette(bits * planes == 1 ? 2 : 16);
    } else {
        throw EInvalidGraphic(Format("Unsupported PCX layout: %d bits in %d planes", bits, planes));
    }

    // Unpack every scan line (all planes) into one buffer first.
    const uint64_t total = static_cast<uint64_t>(lineBytes) * planes * height;
    const uint8_t* p = bytes.data + 128;
    const uint8_t* end = bytes.data + bytes.size;
    const bool rle = h[2] == 1;
    if (static_cast<uint64_t>(end - p) * (rle ? 32 : 1) < total)
        throw EInvalidGraphic("PCX file is truncated");
    std::vector<uint8_t> data(static_cast<size_t>(total));
    if (!rle) {
        std::memcpy(data.data(), p, data.size());
    } else {
        size_t o = 0;
        while (o < data.size()) {
            if (p >= end) throw EInvalidGraphic("PCX file is truncated");
            uint8_t b = *p++;
            size_t count = 1;
            if ((b & 0xC0) == 0xC0) {
                count = b & 0x3F;
                if (p >= end) throw EInvalidGraphic("PCX file is truncated");
                b = *p++;
            }
            count = std::min(count, data.size() - o);
            std::memset(data.data() + o, b, count);
            o += count;
        }
    }

    target.Begin(width, height, outBits, palette);
    const bool redFirst = target.RedFirst();
    for (int32_t y = 0; y < height; y++) {
        const uint8_t* line = data.data() + static_cast<size_t>(y) * lineBytes * planes;
        uint8_t* out = target.Row(y);
        if (bits == 8 && planes == 1) {
            std::memcpy(out, line, static_cast<size_t>(width));
        } else if (bits == 8) {
            for (int32_t x = 0; x < width; x++) {
                uint8_t r = line[x], g = line[lineBytes + x], b = line[2 * lineBytes + x];
                out[0] = redFirst ? r : b;
                out[1] = g;
                out[2] = redFirst ? b : r;
                if (planes == 4) out[3] = line[3 * lineBytes + x];
                out += planes;
            }
        } else if (bits == 4) {
            for (int32_t x = 0; x < width; x++)
                out[x] = (line[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
        } else {
            for (int32_t x = 0; x < width; x++) {
                int index = 0;
                for (int plane = 0; plane < planes; plane++)
                    index |= ((line[plane * lineBytes + (x >> 3)] >> (7 - (x & 7))) & 1) << plane;
                out[x] = static_cast<uint8_t>(index);
            }
        }
    }
    target.Finish();
}
