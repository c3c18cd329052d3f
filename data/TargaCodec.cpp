// Truevision Targa: reading every common variant (colour-mapped, true-colour
// and grey, raw and run-length encoded, any origin) and writing the
// run-length-encoded files that SaveToFile and frame captures produce.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <cstring>

namespace {

struct TTargaHeader {
    uint8_t idLength, colorMapType, imageType;
    uint16_t mapFirst, mapLength;
    uint8_t mapEntryBits;
    uint16_t width, height;
    uint8_t pixelBits, descriptor;
};

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

TTargaHeader ParseHeader(const uint8_t* p) {
    TTargaHeader h;
    h.idLength = p[0];
    h.colorMapType = p[1];
    h.imageType = p[2];
    h.mapFirst = Le16(p + 3);
    h.mapLength = Le16(p + 5);
    h.mapEntryBits = p[7];
    h.width = Le16(p + 12);
    h.height = Le16(p + 14);
    h.pixelBits = p[16];
    h.descriptor = p[17];
    return h;
}

bool ValidMapEntry(uint8_t bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// A colour of a 15/16, 24 or 32-bit Targa pixel (or colour-map entry).
TBitmapColor ReadColor(const uint8_t* p, int bits) {
    if (bits == 15 || bits == 16) {
        uint16_t w = Le16(p);
        auto expand = [](int v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); };
        return {expand(w & 31), expand((w >> 5) & 31), expand((w >> 10) & 31), 255};
    }
    if (bits == 24) return {p[0], p[1], p[2], 255};
    return {p[0], p[1], p[2], p[3]};
}

} // namespace

bool TargaAccepts(const uint8_t* head, size_t size) {
    if (size < 18) return false;
    TTargaHeader h = ParseHeader(head);
    if (h.colorMapType > 1 || h.width == 0 || h.height == 0) return false;
    if (h.descriptor & 0xC0) return false; // interleaving is not used by any writer we accept
    switch (h.imageType) {
    case 1:
    case 9: // colour-mapped
        return h.colorMapType == 1 && (h.pixelBits == 8 || h.pixelBits == 16) &&
               ValidMapEntry(h.mapEntryBits) && h.mapLength > 0;
    case 2:
    case 10: // true colour
        return h.pixelBits == 15 || h.pixelBits == 16 || h.pixelBits == 24 || h.pixelBits == 32;
    case 3:
    case 11: // grey
        return h.pixelBits == 8 || h.pixelBits == 16;
    default:
        return false;
    }
}

void DecodeTarga(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    const uint8_t* p = bytes.data;
    const uint8_t* end = bytes.data + bytes.size;
    if (bytes.size < 18 || !TargaAccepts(p, bytes.size)) throw EInvalidGraphic("Invalid Targa header");
    TTargaHeader h = ParseHeader(p);
    p += 18;
    if (end - p < h.idLength) throw EInvalidGraphic("Targa file is truncated");
    p += h.idLength;

    // The colour map is read whenever present, even when the image does not use it.
    std::vector<TBitmapColor> map;
    if (h.colorMapType == 1) {
        int entryBytes = (h.mapEntryBits + 7) / 8;
        if (!ValidMapEntry(h.mapEntryBits)) throw EInvalidGraphic("Invalid Targa colour map");
        if (end - p < static_cast<ptrdiff_t>(h.mapLength) * entryBytes)
            throw EInvalidGraphic("Targa file is truncated");
        map.resize(h.mapLength);
        for (int i = 0; i < h.mapLength; i++)
            map[i] = ReadColor(p + i * entryBytes, h.mapEntryBits);
        p += static_cast<ptrdiff_t>(h.mapLength) * entryBytes;
    }

    const bool mapped = h.imageType == 1 || h.imageType == 9;
    const bool grey = h.imageType == 3 || h.imageType == 11;
    const bool rle = h.imageType >= 9;
    const int inBytes = (h.pixelBits + 7) / 8;
    const int32_t width = h.width, height = h.height;
    CheckPictureSize(width, height, h.pixelBits);

    // What the picture becomes: 8-bit indices with the colour map as palette,
    // 8-bit grey levels, 16-bit words, or 24/32-bit colours.
    int outBits;
    std::vector<TBitmapColor> palette;
    if (mapped && h.pixelBits == 8) {
        outBits = 8;
        palette.assign(256, TBitmapColor{0, 0, 0, 255});
        for (int i = 0; i < 256; i++) {
            int m = i - h.mapFirst;
            if (m >= 0 && m < static_cast<int>(map.size())) palette[i] = map[m];
        }
    } else if (mapped) {
        outBits = h.mapEntryBits == 32 ? 32 : 24; // 16-bit indices are looked up
    } else if (grey) {
        outBits = h.pixelBits == 8 ? 8 : 32; // grey with alpha becomes RGBA
        if (outBits == 8) {
            palette.resize(256);
            for (int i = 0; i < 256; i++)
                palette[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 255};
        }
    } else {
        outBits = h.pixelBits == 15 ? 16 : h.pixelBits;
    }
    const int outBytes = outBits / 8;

    // The stored pixels must be able to cover the picture: raw data exactly,
    // run-length data at most 128 pixels per packet of at least two bytes.
    uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    uint64_t available = static_cast<uint64_t>(end - p);
    if (!rle && available < pixels * inBytes) throw EInvalidGraphic("Targa file is truncated");
    if (rle && available * 64 < pixels) throw EInvalidGraphic("Targa file is truncated");

    target.Begin(width, height, outBits, palette);
    const bool redFirst = target.RedFirst();
    const bool topDown = (h.descriptor & 0x20) != 0;
    const bool rightToLeft = (h.descriptor & 0x10) != 0;

    // Converts one stored pixel into the output layout.
    auto convert = [&](const uint8_t* in, uint8_t* out) {
        if (mapped && outBits != 8) {
            unsigned index = Le16(in);
            int m = static_cast<int>(index) - h.mapFirst;
            TBitmapColor c = m >= 0 && m < static_cast<int>(map.size()) ? map[m] : TBitmapColor{0, 0, 0, 255};
            out[0] = redFirst ? c.red : c.blue;
            out[1] = c.green;
            out[2] = redFirst ? c.blue : c.red;
            if (outBytes == 4) out[3] = c.alpha;
        } else if (outBits == 8) {
            out[0] = in[0];
        } else if (grey) { // grey + alpha
            out[0] = out[1] = out[2] = in[0];
            out[3] = in[1];
        } else if (outBits == 16) {
            out[0] = in[0];
            out[1] = in[1];
        } else {
            out[0] = redFirst ? in[2] : in[0];
            out[1] = in[1];
            out[2] = redFirst ? in[0] : in[2];
            if (outBytes == 4) out[3] = in[3];
        }
    };

    uint8_t* row = nullptr;
    int32_t fileRow = 0, column = 0;
    auto startRow = [&]() {
        int32_t pictureRow = topDown ? fileRow : height - 1 - fileRow;
        row = target.Row(pictureRow);
    };
    // Stores one pixel at the current place and moves on; false when done.
    auto put = [&](const uint8_t* in) {
        int32_t x = rightToLeft ? width - 1 - column : column;
        convert(in, row + static_cast<size_t>(x) * outBytes);
        if (++column == width) {
            column = 0;
            if (++fileRow == height) return false;
            startRow();
        }
        return true;
    };

    startRow();
    if (!rle) {
        for (uint64_t i = 0; i < pixels; i++) {
            put(p);
            p += inBytes;
        }
    } else {
        bool more = true;
        while (more) {
            if (p >= end) throw EInvalidGraphic("Targa file is truncated");
            uint8_t packet = *p++;
            int count = (packet & 0x7F) + 1;
            if (packet & 0x80) { // a run of one pixel value; runs may cross rows
                if (end - p < inBytes) throw EInvalidGraphic("Targa file is truncated");
                for (int i = 0; i < count && more; i++)
                    more = put(p);
                p += inBytes;
            } else {
                if (end - p < static_cast<ptrdiff_t>(count) * inBytes)
                    throw EInvalidGraphic("Targa file is truncated");
                for (int i = 0; i < count && more; i++)
                    more = put(p + i * inBytes);
                p += static_cast<ptrdiff_t>(count) * inBytes;
            }
        }
    }
    target.Finish();
}

namespace {

// Appends one row as Targa run-length packets (packets never cross rows).
void EncodeRow(const uint8_t* row, int32_t width, int pixelBytes, std::vector<uint8_t>& out) {
    int32_t x = 0;
    auto same = [&](int32_t a, int32_t b) {
        return std::memcmp(row + static_cast<size_t>(a) * pixelBytes,
                           row + static_cast<size_t>(b) * pixelBytes, pixelBytes) == 0;
    };
    while (x < width) {
        int32_t run = 1;
        while (x + run < width && run < 128 && same(x, x + run))
            run++;
        if (run >= 2) {
            out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
            out.insert(out.end(), row + static_cast<size_t>(x) * pixelBytes,
                       row + static_cast<size_t>(x + 1) * pixelBytes);
            x += run;
            continue;
        }
        // A literal packet up to the next run of two equal pixels.
        int32_t count = 1;
        while (x + count < width && count < 128 && !(x + count + 1 < width && same(x + count, x + count + 1)))
            count++;
        out.push_back(static_cast<uint8_t>(count - 1));
        out.insert(out.end(), row + static_cast<size_t>(x) * pixelBytes,
                   row + static_cast<size_t>(x + count) * pixelBytes);
        x += count;
    }
}

} // namespace

std::vector<uint8_t> EncodeTarga(const TBitmap& bitmap) {
    const int bits = bitmap.BitsPerPixel();
    if (bits != 8 && bits != 24 && bits != 32)
        throw EImageError(Format("Cannot write a %d-bit Targa file", bits));
    const int32_t width = bitmap.Width(), height = bitmap.Height();
    if (width < 1 || height < 1 || width > 65535 || height > 65535)
        throw EImageError(Format("Cannot write a Targa file of %d x %d pixels", width, height));
    std::vector<uint8_t> out;
    out.reserve(18 + 768 + bitmap.RowBytes() * height / 2 + 64);
    uint8_t header[18] = {};
    if (bits == 8) {
        header[1] = 1; // colour map present
        header[2] = 9; // run-length-encoded colour-mapped
        header[5] = 0; // 256 entries
        header[6] = 1;
        header[7] = 24; // entry size
    } else {
        header[2] = 10; // run-length-encoded true colour
    }
    header[12] = static_cast<uint8_t>(width & 0xFF);
    header[13] = static_cast<uint8_t>(width >> 8);
    header[14] = static_cast<uint8_t>(height & 0xFF);
    header[15] = static_cast<uint8_t>(height >> 8);
    header[16] = static_cast<uint8_t>(bits);
    // Alpha bits, and a top-left origin: rows are stored top first, which every
    // reader shows upright (some, ImageMagick among them, keep the raster of a
    // bottom-left file in stored order and only note its orientation).
    header[17] = static_cast<uint8_t>((bits == 32 ? 8 : 0) | 0x20);
    out.insert(out.end(), header, header + 18);
    if (bits == 8)
        for (int i = 0; i < 256; i++)
            out.insert(out.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
    for (int32_t r = 0; r < height; r++)
        EncodeRow(bitmap.Row(r), width, bits / 8, out);
    // Version 2 footer (no extension or developer area).
    static const char footer[] = "TRUEVISION-XFILE.";
    out.insert(out.end(), 8, 0);
    out.insert(out.end(), footer, footer + sizeof footer); // includes the final zero
    return out;
}
