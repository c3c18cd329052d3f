#include "tools/gen/lib/GenPicture.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <filesystem>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include "data/3dImage.h"
#include "platform/Exception.h"

TRgb Mix(TRgb a, TRgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

TGenPicture::TGenPicture(int width, int height, int channels)
    : width_(width), height_(height), channels_(channels),
      pixels_(size_t(width) * size_t(height) * size_t(channels), 0) {}

namespace {
uint8_t Byte(float v) {
    return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}
} // namespace

void TGenPicture::Set(int x, int y, TRgb c) {
    uint8_t* p = &pixels_[(size_t(y) * size_t(width_) + size_t(x)) * size_t(channels_)];
    if (channels_ == 1) {
        p[0] = Byte((c.r + c.g + c.b) / 3.0f);
        return;
    }
    p[0] = Byte(c.r);
    p[1] = Byte(c.g);
    p[2] = Byte(c.b);
}

void TGenPicture::SetGrey(int x, int y, float value) {
    Set(x, y, {value, value, value});
}

namespace {

// Every writer writes a temporary file beside the target and renames it at
// the end, so that a failure leaves nothing behind.
class TTempFile {
public:
    explicit TTempFile(const std::string& path) : path_(path), temp_(path + ".part") {}
    ~TTempFile() {
        if (!done_) std::remove(temp_.c_str());
    }
    const std::string& Name() const { return temp_; }
    void Commit() {
        std::error_code e;
        std::filesystem::rename(temp_, path_, e);
        if (e) throw Exception("Cannot write " + path_ + ": " + e.message());
        done_ = true;
    }

private:
    std::string path_, temp_;
    bool done_ = false;
};

struct TJpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegFail(j_common_ptr info) {
    TJpegError* e = reinterpret_cast<TJpegError*>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->jump, 1);
}

} // namespace

void SaveJpeg(const TGenPicture& picture, const std::string& path, int quality) {
    TTempFile temp(path);
    FILE* file = std::fopen(temp.Name().c_str(), "wb");
    if (!file) throw Exception("Cannot create " + temp.Name());
    jpeg_compress_struct info;
    TJpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegFail;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::fclose(file);
        throw Exception("Cannot write " + path + ": " + error.message);
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(picture.Width());
    info.image_height = JDIMENSION(picture.Height());
    info.input_components = picture.Channels();
    info.in_color_space = picture.Channels() == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const size_t stride = size_t(picture.Width()) * size_t(picture.Channels());
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.Pixels().data() + info.next_scanline * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    if (std::fclose(file) != 0) throw Exception("Cannot write " + path);
    temp.Commit();
}

namespace {
struct TPngError {
    std::jmp_buf jump;
    std::string message;
};
void PngFail(png_structp png, png_const_charp message) {
    TPngError* e = static_cast<TPngError*>(png_get_error_ptr(png));
    e->message = message;
    std::longjmp(e->jump, 1);
}
void PngWarn(png_structp, png_const_charp) {}
} // namespace

void SavePng(const TGenPicture& picture, const std::string& path) {
    TTempFile temp(path);
    FILE* file = std::fopen(temp.Name().c_str(), "wb");
    if (!file) throw Exception("Cannot create " + temp.Name());
    TPngError error;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngFail, PngWarn);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(error.jump)) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        throw Exception("Cannot write " + path + ": " + error.message);
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(picture.Width()), png_uint_32(picture.Height()), 8,
                 picture.Channels() == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    const size_t stride = size_t(picture.Width()) * size_t(picture.Channels());
    for (int y = 0; y < picture.Height(); y++)
        png_write_row(png, picture.Pixels().data() + size_t(y) * stride);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) throw Exception("Cannot write " + path);
    temp.Commit();
}

namespace {
void TiffQuiet(const char*, const char*, va_list) {}
} // namespace

void SaveTiff(const TGenPicture& picture, const std::string& path) {
    TTempFile temp(path);
    TIFFErrorHandler oldError = TIFFSetErrorHandler(TiffQuiet);
    TIFFErrorHandler oldWarning = TIFFSetWarningHandler(TiffQuiet);
    TIFF* tiff = TIFFOpen(temp.Name().c_str(), "w");
    bool ok = tiff != nullptr;
    if (ok) {
        const uint32_t w = uint32_t(picture.Width()), h = uint32_t(picture.Height());
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(picture.Channels()));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(ORIENTATION_TOPLEFT));
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                     uint16_t(picture.Channels() == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB));
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_ADOBE_DEFLATE));
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, uint16_t(PREDICTOR_HORIZONTAL));
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
        const size_t stride = size_t(w) * size_t(picture.Channels());
        std::vector<uint8_t> row(stride);
        for (uint32_t y = 0; ok && y < h; y++) {
            std::copy_n(picture.Pixels().data() + y * stride, stride, row.data());
            ok = TIFFWriteScanline(tiff, row.data(), y, 0) == 1;
        }
        TIFFClose(tiff);
    }
    TIFFSetErrorHandler(oldError);
    TIFFSetWarningHandler(oldWarning);
    if (!ok) throw Exception("Cannot write " + path);
    temp.Commit();
}

void SaveTarga(const TGenPicture& picture, const std::string& path) {
    TRefPtr<I3dImage> image = T3dImage::Create();
    const int channels = picture.Channels();
    image->Allocate(nullptr, picture.Width(), channels == 1 ? 0 : 2, 0, 1, picture.Height());
    // The image keeps its bottom row first.
    for (int y = 0; y < picture.Height(); y++)
        for (int x = 0; x < picture.Width(); x++)
            for (int c = 0; c < channels; c++)
                image->SetUInt8(x, picture.Height() - 1 - y, c, 0, picture.At(x, y, c));
    TTempFile temp(path);
    if (!image->SaveToFile(temp.Name().c_str(), 0)) throw Exception("Cannot write " + path);
    temp.Commit();
}

// ----------------------------------------------------------------------------
// Noise.

namespace {

uint32_t Hash(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8da6b343u ^ uint32_t(y) * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

int Wrap(int i, int period) {
    if (period <= 0) return i;
    i %= period;
    return i < 0 ? i + period : i;
}

float Fade(float t) {
    return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f);
}

// The gradient at a lattice point, dotted with the offset from it.
float Gradient(int ix, int iy, float dx, float dy, int period, uint32_t seed) {
    uint32_t h = Hash(Wrap(ix, period), Wrap(iy, period), seed);
    float angle = float(h & 0xffffu) / 65536.0f * 6.2831853f;
    return std::cos(angle) * dx + std::sin(angle) * dy;
}

} // namespace

float Noise(float x, float y, int period, uint32_t seed) {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float fx = x - float(ix), fy = y - float(iy);
    float a = Gradient(ix, iy, fx, fy, period, seed), b = Gradient(ix + 1, iy, fx - 1, fy, period, seed);
    float c = Gradient(ix, iy + 1, fx, fy - 1, period, seed),
          d = Gradient(ix + 1, iy + 1, fx - 1, fy - 1, period, seed);
    float u = Fade(fx), v = Fade(fy);
    float top = a + (b - a) * u, bottom = c + (d - c) * u;
    return (top + (bottom - top) * v) * 1.41421356f;
}

float Fractal(float x, float y, int period, int octaves, uint32_t seed) {
    float sum = 0.0f, amplitude = 0.5f, norm = 0.0f;
    for (int o = 0; o < octaves; o++) {
        sum += Noise(x, y, period, seed + uint32_t(o) * 101u) * amplitude;
        norm += amplitude;
        x *= 2.0f;
        y *= 2.0f;
        period *= 2;
        amplitude *= 0.5f;
    }
    return sum / norm;
}

void Cells(float x, float y, int period, uint32_t seed, float& nearest, float& second) {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    nearest = second = 1e9f;
    for (int j = -1; j <= 1; j++)
        for (int i = -1; i <= 1; i++) {
            int cx = ix + i, cy = iy + j;
            uint32_t h = Hash(Wrap(cx, period), Wrap(cy, period), seed);
            float px = float(cx) + 0.15f + 0.7f * float(h & 0xffu) / 255.0f;
            float py = float(cy) + 0.15f + 0.7f * float((h >> 8) & 0xffu) / 255.0f;
            float d = std::hypot(px - x, py - y);
            if (d < nearest) {
                second = nearest;
                nearest = d;
            } else if (d < second) {
                second = d;
            }
        }
}

float Smoothstep(float edge0, float edge1, float x) {
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}
