// TIFF through libtiff, first directory only. libtiff decompresses the strips
// or tiles (any codec it has); the samples are converted here, so that every
// common layout keeps what it holds:
//   grey (1, 2, 4, 8 or 16 bits, min-is-black or min-is-white) -> 8-bit levels
//   palette (1, 2, 4 or 8 bits)                                 -> 8-bit indices
//   RGB and CMYK (8 or 16 bits)                                 -> 24-bit colour
// and with an alpha sample 32-bit colour with straight (unassociated) alpha:
// premultiplied alpha is divided out. Contiguous or planar samples, strips or
// tiles, either byte order; 16-bit samples are rounded to the nearest 8-bit
// value; orientations 1 to 4 (mirrored rows or columns) are turned upright.
// Other layouts (YCbCr without JPEG compression, CIE Lab, LogLuv, ...) go
// through libtiff's RGBA reader; floating-point samples are not read.
#include "data/PictureDecoder.h"

#include "platform/Format.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <tiffio.h>

namespace {

struct TTiffSource {
    const uint8_t* data;
    size_t size;
    size_t position;
    std::string message;
};

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t count) {
    TTiffSource* s = static_cast<TTiffSource*>(handle);
    if (count < 0) return 0;
    size_t n = std::min(static_cast<size_t>(count), s->position < s->size ? s->size - s->position : 0);
    std::memcpy(buffer, s->data + s->position, n);
    s->position += n;
    return static_cast<tmsize_t>(n);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return 0;
}
toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    TTiffSource* s = static_cast<TTiffSource*>(handle);
    uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->position : s->size;
    uint64_t target = base + offset;
    // Positions beyond the data are allowed (reads there return nothing).
    s->position = static_cast<size_t>(std::min<uint64_t>(target, UINT64_C(1) << 62));
    return s->position;
}
int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t handle) {
    return static_cast<TTiffSource*>(handle)->size;
}
int MapProc(thandle_t handle, void** base, toff_t* size) {
    TTiffSource* s = static_cast<TTiffSource*>(handle);
    *base = const_cast<uint8_t*>(s->data);
    *size = s->size;
    return 1;
}
void UnmapProc(thandle_t, void*, toff_t) {}

int ErrorProc(TIFF*, void* user, const char* module, const char* format, va_list args) {
    TTiffSource* s = static_cast<TTiffSource*>(user);
    if (s->message.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        s->message = module ? std::string(module) + ": " + text : text;
    }
    return 1;
}
int WarningProc(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TTiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};

// How the samples of a picture are laid out and what they become.
struct TTiffLayout {
    uint32_t width = 0, height = 0;
    uint16_t bits = 0, samples = 0, planar = PLANARCONFIG_CONTIG, photometric = 0, orientation = 1;
    int colours = 0;         // colour samples: 1 grey or palette, 3 RGB, 4 CMYK
    bool alpha = false;      // the first extra sample is alpha
    bool associated = false; // and it is premultiplied into the colours
    int channels = 0;        // colours + alpha: bytes per pixel of the unpacked picture
};

// Rounds a 16-bit sample to the nearest 8-bit value.
inline uint8_t Reduce16(unsigned v) {
    return static_cast<uint8_t>((v * 255 + 32767) / 65535);
}

// Sample i of a row of packed samples, as stored (host byte order for 16 bits).
inline unsigned Sample(const uint8_t* row, size_t i, int bits) {
    switch (bits) {
    case 8:
        return row[i];
    case 16: {
        uint16_t v;
        std::memcpy(&v, row + 2 * i, 2);
        return v;
    }
    default: {
        size_t bit = i * static_cast<size_t>(bits);
        return (row[bit >> 3] >> (8 - bits - (bit & 7))) & ((1u << bits) - 1);
    }
    }
}

// Whether this decoder converts the layout itself (else libtiff's RGBA reader).
bool ReadsItself(const TTiffLayout& l, uint16_t sampleFormat) {
    if (sampleFormat != SAMPLEFORMAT_UINT || l.samples < l.colours || l.colours == 0 || l.samples > 16)
        return false;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        return l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8 || l.bits == 16;
    case PHOTOMETRIC_PALETTE:
        return l.bits == 1 || l.bits == 2 || l.bits == 4 || l.bits == 8;
    default: // RGB, CMYK
        return l.bits == 8 || l.bits == 16;
    }
}

// Unpacks one strip or tile (rows of stride bytes covering the picture's
// columns x0.. and rows y0.., count x rows pixels) into the unpacked picture:
// channels bytes per pixel, samples reduced to 8 bits. plane is the sample a
// planar chunk holds, or -1 for contiguous samples.
void Unpack(const TTiffLayout& l, const uint8_t* chunk, size_t stride, uint32_t x0, uint32_t y0,
            uint32_t count, uint32_t rows, int plane, uint8_t* picture) {
    const int perPixel = plane < 0 ? l.samples : 1;
    const int first = plane < 0 ? 0 : plane;
    const bool levels = l.photometric != PHOTOMETRIC_PALETTE && l.bits < 8;
    const unsigned maximum = (1u << l.bits) - 1;
    for (uint32_t r = 0; r < rows; r++) {
        const uint8_t* in = chunk + r * stride;
        uint8_t* out = picture + (static_cast<size_t>(y0 + r) * l.width + x0) * l.channels;
        for (uint32_t x = 0; x < count; x++, out += l.channels)
            for (int k = 0; k < perPixel; k++) {
                const int s = first + k; // which sample of the pixel
                if (s >= l.channels) continue;
                unsigned v = Sample(in, static_cast<size_t>(x) * perPixel + k, l.bits);
                out[s] = l.bits == 16 ? Reduce16(v) : levels ? static_cast<uint8_t>(v * 255 / maximum) : v;
            }
    }
}

// Reads every strip or tile of the first directory into the unpacked picture.
template <class Fail> void ReadSamples(TIFF* tif, const TTiffLayout& l, uint8_t* picture, Fail fail) {
    const int planes = l.planar == PLANARCONFIG_SEPARATE ? l.samples : 1;
    std::vector<uint8_t> chunk;
    if (TIFFIsTiled(tif)) {
        uint32_t tileWidth = 0, tileHeight = 0;
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight);
        const tmsize_t tileBytes = TIFFTileSize(tif), stride = TIFFTileRowSize(tif);
        if (tileWidth == 0 || tileHeight == 0 || tileBytes <= 0 || stride <= 0) fail("Invalid TIFF tiles");
        // A tile may overhang a small picture, but not by absurd amounts:
        // its buffer is allocated before anything is decoded.
        if (tileWidth > 65536 || tileHeight > 65536 || tileBytes > (64 << 20) ||
            uint64_t(tileWidth) * tileHeight > uint64_t(l.width) * l.height * 16 + 65536)
            fail("TIFF tiles are too large for the picture");
        chunk.resize(static_cast<size_t>(tileBytes));
        for (int p = 0; p < planes; p++) {
            if (planes > 1 && p >= l.channels) break; // planes of unused extra samples
            for (uint32_t y = 0; y < l.height; y += tileHeight)
                for (uint32_t x = 0; x < l.width; x += tileWidth) {
                    uint32_t tile = TIFFComputeTile(tif, x, y, 0, static_cast<uint16_t>(p));
                    if (TIFFReadEncodedTile(tif, tile, chunk.data(), tileBytes) != tileBytes)
                        fail("TIFF file is damaged");
                    Unpack(l, chunk.data(), static_cast<size_t>(stride), x, y,
                           std::min(tileWidth, l.width - x), std::min(tileHeight, l.height - y),
                           planes > 1 ? p : -1, picture);
                }
        }
        return;
    }
    uint32_t rowsPerStrip = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    if (rowsPerStrip == 0 || rowsPerStrip > l.height) rowsPerStrip = l.height;
    const tmsize_t stride = TIFFScanlineSize(tif);
    if (stride <= 0) fail("Invalid TIFF strips");
    chunk.resize(static_cast<size_t>(stride) * rowsPerStrip);
    for (int p = 0; p < planes && (planes == 1 || p < l.channels); p++)
        for (uint32_t y = 0; y < l.height; y += rowsPerStrip) {
            const uint32_t rows = std::min(rowsPerStrip, l.height - y);
            const tmsize_t want = stride * rows;
            uint32_t strip = TIFFComputeStrip(tif, y, static_cast<uint16_t>(p));
            if (TIFFReadEncodedStrip(tif, strip, chunk.data(), want) != want) fail("TIFF file is damaged");
            Unpack(l, chunk.data(), static_cast<size_t>(stride), 0, y, l.width, rows, planes > 1 ? p : -1,
                   picture);
        }
}

} // namespace

bool TiffAccepts(const uint8_t* head, size_t size) {
    if (size < 4) return false;
    bool little = head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0;
    bool big = head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43);
    return little || big;
}

void DecodeTiff(TStream& stream, TPictureTarget& target) {
    TStreamBytes bytes;
    ReadRemainingBytes(stream, bytes);
    TTiffSource source{bytes.data, bytes.size, 0, {}};
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, 256 << 20);
    TIFFOpenOptionsSetErrorHandlerExtR(options, ErrorProc, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options, WarningProc, &source);
    std::unique_ptr<TIFF, TTiffCloser> tif(TIFFClientOpenExt("picture", "rm", &source, ReadProc, WriteProc,
                                                             SeekProc, CloseProc, SizeProc, MapProc,
                                                             UnmapProc, options));
    TIFFOpenOptionsFree(options);
    auto fail = [&](const char* what) {
        throw EInvalidGraphic(source.message.empty() ? std::string(what) : "TIFF error: " + source.message);
    };
    if (!tif) fail("Invalid TIFF file");

    TTiffLayout l;
    uint16_t extraCount = 0, sampleFormat = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE;
    uint16_t inkSet = INKSET_CMYK;
    uint16_t* extraTypes = nullptr;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &l.width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &l.height))
        fail("TIFF file without picture size");
    CheckPictureSize(l.width, l.height, 32);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &l.orientation);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_INKSET, &inkSet);
    if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &l.photometric)) l.photometric = 0xFFFF;
    // JPEG-compressed YCbCr: libtiff's JPEG codec hands out RGB.
    if (l.photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG &&
        TIFFSetField(tif.get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
        l.photometric = PHOTOMETRIC_RGB;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_PALETTE:
        l.colours = 1;
        break;
    case PHOTOMETRIC_RGB:
        l.colours = 3;
        break;
    case PHOTOMETRIC_SEPARATED:
        l.colours = inkSet == INKSET_CMYK && l.samples - extraCount == 4 ? 4 : 0;
        break;
    default:
        break;
    }
    // The first extra sample is alpha (also when its kind is unspecified);
    // palette pictures stay indices.
    l.alpha = l.samples > l.colours && extraCount > 0 && l.photometric != PHOTOMETRIC_PALETTE;
    l.associated = l.alpha && extraTypes && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    l.channels = l.colours + (l.alpha ? 1 : 0);
    const bool redFirst = target.RedFirst();

    // Pictures no compression could reach from this file's bytes are refused
    // before anything of their size is allocated.
    if (static_cast<uint64_t>(l.width) * l.height > static_cast<uint64_t>(bytes.size) * 65536)
        fail("TIFF file is too small for its picture size");

    if (ReadsItself(l, sampleFormat)) {
        std::vector<uint8_t> picture(static_cast<size_t>(l.width) * l.height * l.channels);
        ReadSamples(tif.get(), l, picture.data(), fail);

        std::vector<TBitmapColor> palette;
        int outBits;
        if (l.photometric == PHOTOMETRIC_PALETTE) {
            outBits = 8;
            uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
            if (!TIFFGetField(tif.get(), TIFFTAG_COLORMAP, &red, &green, &blue))
                fail("TIFF palette is missing");
            for (int i = 0; i < (1 << l.bits); i++)
                palette.push_back({Reduce16(blue[i]), Reduce16(green[i]), Reduce16(red[i]), 255});
        } else {
            outBits = l.colours == 1 && !l.alpha ? 8 : l.alpha ? 32 : 24;
        }
        target.Begin(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), outBits, palette);
        // Orientations 2 to 4 store the rows or the columns mirrored.
        const bool mirrorRows = l.orientation == ORIENTATION_BOTRIGHT || l.orientation == ORIENTATION_BOTLEFT;
        const bool mirrorColumns =
            l.orientation == ORIENTATION_TOPRIGHT || l.orientation == ORIENTATION_BOTRIGHT;
        const bool white = l.photometric == PHOTOMETRIC_MINISWHITE;
        for (uint32_t r = 0; r < l.height; r++) {
            uint8_t* out = target.Row(static_cast<int32_t>(r));
            const uint8_t* row = picture.data() + static_cast<size_t>(mirrorRows ? l.height - 1 - r : r) *
                                                      l.width * l.channels;
            for (uint32_t x = 0; x < l.width; x++) {
                const uint8_t* in =
                    row + static_cast<size_t>(mirrorColumns ? l.width - 1 - x : x) * l.channels;
                unsigned red, green, blue;
                if (l.colours == 1) {
                    red = green = blue = white ? 255 - in[0] : in[0];
                } else if (l.colours == 3) {
                    red = in[0], green = in[1], blue = in[2];
                } else { // CMYK: each colour is what the ink and the black leave of the paper
                    unsigned paper = 255 - in[3];
                    red = ((255 - in[0]) * paper + 127) / 255;
                    green = ((255 - in[1]) * paper + 127) / 255;
                    blue = ((255 - in[2]) * paper + 127) / 255;
                }
                if (outBits == 8) {
                    *out++ = static_cast<uint8_t>(red);
                    continue;
                }
                const unsigned a = l.alpha ? in[l.colours] : 255;
                if (l.associated && a != 0 && a != 255) {
                    red = std::min(255u, (red * 255 + a / 2) / a);
                    green = std::min(255u, (green * 255 + a / 2) / a);
                    blue = std::min(255u, (blue * 255 + a / 2) / a);
                }
                *out++ = static_cast<uint8_t>(redFirst ? red : blue);
                *out++ = static_cast<uint8_t>(green);
                *out++ = static_cast<uint8_t>(redFirst ? blue : red);
                if (outBits == 32) *out++ = static_cast<uint8_t>(a);
            }
        }
        target.Finish();
        return;
    }

    // Everything else: libtiff converts to 8-bit RGBA, top row first.
    std::vector<uint32_t> raster(static_cast<size_t>(l.width) * l.height);
    if (!TIFFReadRGBAImageOriented(tif.get(), l.width, l.height, raster.data(), ORIENTATION_TOPLEFT, 0))
        fail("Unsupported or damaged TIFF file");
    const bool alpha = extraCount > 0;
    const int bits = alpha ? 32 : 24;
    target.Begin(static_cast<int32_t>(l.width), static_cast<int32_t>(l.height), bits, {});
    for (uint32_t r = 0; r < l.height; r++) {
        uint8_t* out = target.Row(static_cast<int32_t>(r));
        const uint32_t* in = raster.data() + static_cast<size_t>(r) * l.width;
        for (uint32_t x = 0; x < l.width; x++) {
            uint32_t v = in[x];
            uint8_t red = TIFFGetR(v), green = TIFFGetG(v), blue = TIFFGetB(v);
            *out++ = redFirst ? red : blue;
            *out++ = green;
            *out++ = redFirst ? blue : red;
            if (alpha) *out++ = static_cast<uint8_t>(TIFFGetA(v));
        }
    }
    target.Finish();
}
