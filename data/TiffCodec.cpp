// TIFF through libtiff, first directory only. 8-bit RGB strips become 24-bit
// pictures (32-bit with an extra sample as alpha), 8-bit grey (black is zero)
// 8-bit grey levels and 8-bit palette pictures palette indices; every other
// layout (tiles, 16-bit samples, YCbCr, CMYK, bilevel, ...) goes through
// libtiff's RGBA reader and becomes 24-bit (32-bit when it has alpha).
#include "data/PictureDecoder.h"

#include "platform/Format.h"

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

    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bitsPerSample = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height))
        fail("TIFF file without picture size");
    CheckPictureSize(width, height, 32);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
    if (!TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric)) photometric = 0xFFFF;

    const bool stripped = !TIFFIsTiled(tif.get()) && planar == PLANARCONFIG_CONTIG && bitsPerSample == 8;
    int directBits = 0;
    if (stripped && photometric == PHOTOMETRIC_RGB && (samples == 3 || samples == 4))
        directBits = samples * 8;
    else if (stripped && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_PALETTE) &&
             samples == 1)
        directBits = 8;
    const bool redFirst = target.RedFirst();

    if (directBits) {
        std::vector<TBitmapColor> palette;
        if (photometric == PHOTOMETRIC_PALETTE) {
            uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
            if (TIFFGetField(tif.get(), TIFFTAG_COLORMAP, &red, &green, &blue))
                for (int i = 0; i < 256; i++)
                    palette.push_back(
                        {uint8_t(blue[i] >> 8), uint8_t(green[i] >> 8), uint8_t(red[i] >> 8), 255});
        }
        tmsize_t lineBytes = TIFFScanlineSize(tif.get());
        if (lineBytes != static_cast<tmsize_t>(width) * (directBits / 8)) fail("Unexpected TIFF layout");
        target.Begin(static_cast<int32_t>(width), static_cast<int32_t>(height), directBits, palette);
        for (uint32_t r = 0; r < height; r++) {
            uint8_t* row = target.Row(static_cast<int32_t>(r));
            if (TIFFReadScanline(tif.get(), row, r, 0) < 0) fail("TIFF file is damaged");
            if (directBits >= 24 && !redFirst) {
                int step = directBits / 8;
                for (uint32_t x = 0; x < width; x++)
                    std::swap(row[x * step], row[x * step + 2]);
            }
        }
        target.Finish();
        return;
    }

    // Everything else: libtiff converts to 8-bit RGBA, top row first. The
    // raster is cleared before decoding, so sizes no compression could reach
    // from this file's bytes are refused first.
    if (static_cast<uint64_t>(width) * height > static_cast<uint64_t>(bytes.size) * 65536)
        fail("TIFF file is too small for its picture size");
    std::vector<uint32_t> raster(static_cast<size_t>(width) * height);
    if (!TIFFReadRGBAImageOriented(tif.get(), width, height, raster.data(), ORIENTATION_TOPLEFT, 0))
        fail("Unsupported or damaged TIFF file");
    const bool alpha = extraCount > 0;
    const int bits = alpha ? 32 : 24;
    target.Begin(static_cast<int32_t>(width), static_cast<int32_t>(height), bits, {});
    for (uint32_t r = 0; r < height; r++) {
        uint8_t* out = target.Row(static_cast<int32_t>(r));
        const uint32_t* in = raster.data() + static_cast<size_t>(r) * width;
        for (uint32_t x = 0; x < width; x++) {
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
