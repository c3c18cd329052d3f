#include "tests/images/ImageTestUtil.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <stdexcept>
#include <tiffio.h>
#include <unistd.h>

TTestPicture MakeGradient(int width, int height, int channels) {
    TTestPicture p;
    p.width = width;
    p.height = height;
    p.channels = channels;
    p.pixels.resize(static_cast<size_t>(width) * height * channels);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            for (int c = 0; c < channels; c++)
                p.pixels[(static_cast<size_t>(y) * width + x) * channels + c] =
                    static_cast<uint8_t>((x * 7 + y * 13 + c * 60) & 0xFF);
    return p;
}

namespace {

void PngWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}
void PngFlush(png_structp) {}

std::vector<uint8_t> WritePng(int width, int height, int colorType, int bitDepth, bool interlaced,
                              const std::vector<std::vector<uint8_t>>& rows,
                              const std::vector<png_color>& palette) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) throw std::runtime_error("png write failed");
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, width, height, bitDepth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (auto& r : rows)
        pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace

std::vector<uint8_t> EncodePng(const TTestPicture& p, bool interlaced) {
    static const int types[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                PNG_COLOR_TYPE_RGB_ALPHA};
    std::vector<std::vector<uint8_t>> rows;
    size_t rowBytes = static_cast<size_t>(p.width) * p.channels;
    for (int y = 0; y < p.height; y++)
        rows.emplace_back(p.pixels.begin() + y * rowBytes, p.pixels.begin() + (y + 1) * rowBytes);
    return WritePng(p.width, p.height, types[p.channels], 8, interlaced, rows, {});
}

std::vector<uint8_t> EncodePalettePng(int width, int height, int bitDepth,
                                      const std::vector<uint8_t>& indices) {
    std::vector<png_color> palette(1 << bitDepth);
    for (size_t i = 0; i < palette.size(); i++)
        palette[i] = {static_cast<png_byte>(i * 3), static_cast<png_byte>(255 - i), static_cast<png_byte>(i)};
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < height; y++) {
        std::vector<uint8_t> row((width * bitDepth + 7) / 8, 0);
        for (int x = 0; x < width; x++) {
            int bit = x * bitDepth;
            row[bit / 8] |= static_cast<uint8_t>(indices[y * width + x] << (8 - bitDepth - bit % 8));
        }
        rows.push_back(row);
    }
    return WritePng(width, height, PNG_COLOR_TYPE_PALETTE, bitDepth, false, rows, palette);
}

std::vector<uint8_t> EncodeIndexedPng(int width, int height, const std::vector<uint8_t>& indices,
                                      const std::vector<std::array<uint8_t, 4>>& colours) {
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;
    for (const auto& c : colours) {
        palette.push_back({c[0], c[1], c[2]});
        alphas.push_back(c[3]);
    }
    while (!alphas.empty() && alphas.back() == 255)
        alphas.pop_back();
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) throw std::runtime_error("png write failed");
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!alphas.empty()) png_set_tRNS(png, info, alphas.data(), static_cast<int>(alphas.size()), nullptr);
    png_write_info(png, info);
    for (int y = 0; y < height; y++)
        png_write_row(png, indices.data() + static_cast<size_t>(y) * width);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> EncodeGreyPng(int width, int height, int bitDepth, const std::vector<uint16_t>& levels) {
    std::vector<std::vector<uint8_t>> rows;
    for (int y = 0; y < height; y++) {
        std::vector<uint8_t> row(bitDepth == 16 ? width * 2 : (width * bitDepth + 7) / 8, 0);
        for (int x = 0; x < width; x++) {
            uint16_t v = levels[y * width + x];
            if (bitDepth == 16) {
                row[2 * x] = static_cast<uint8_t>(v >> 8);
                row[2 * x + 1] = static_cast<uint8_t>(v);
            } else {
                int bit = x * bitDepth;
                row[bit / 8] |= static_cast<uint8_t>(v << (8 - bitDepth - bit % 8));
            }
        }
        rows.push_back(row);
    }
    return WritePng(width, height, PNG_COLOR_TYPE_GRAY, bitDepth, false, rows, {});
}

std::vector<uint8_t> EncodeJpeg(const TTestPicture& p, int quality) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = p.width;
    info.image_height = p.height;
    info.input_components = p.channels;
    info.in_color_space = p.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(p.pixels.data() +
                                            static_cast<size_t>(info.next_scanline) * p.width * p.channels);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    free(buffer);
    return out;
}

TTestPicture DecodeJpegDirect(const std::vector<uint8_t>& bytes) {
    jpeg_decompress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), bytes.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    TTestPicture p;
    p.width = static_cast<int>(info.output_width);
    p.height = static_cast<int>(info.output_height);
    p.channels = info.output_components;
    p.pixels.resize(static_cast<size_t>(p.width) * p.height * p.channels);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = p.pixels.data() + static_cast<size_t>(info.output_scanline) * p.width * p.channels;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return p;
}

namespace {

// Packs samples of the given width into a row: 16-bit ones in host order,
// narrower ones most significant bits first.
void PackSamples(const std::vector<unsigned>& samples, int bits, uint8_t* out) {
    if (bits == 16) {
        for (size_t i = 0; i < samples.size(); i++) {
            uint16_t w = static_cast<uint16_t>(samples[i]);
            std::memcpy(out + 2 * i, &w, 2);
        }
        return;
    }
    std::memset(out, 0, (samples.size() * bits + 7) / 8);
    for (size_t i = 0; i < samples.size(); i++) {
        size_t bit = i * bits;
        out[bit / 8] |= static_cast<uint8_t>(samples[i] << (8 - bits - bit % 8));
    }
}

std::vector<uint8_t> ReadAndRemove(const char* name) {
    FILE* f = std::fopen(name, "rb");
    std::vector<uint8_t> out;
    int c;
    while ((c = std::fgetc(f)) != EOF)
        out.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    std::remove(name);
    return out;
}

} // namespace

std::vector<uint8_t> EncodeTiff(const TTestPicture& p, int bitsPerSample, bool palette) {
    TTiffLayoutOptions options;
    options.bits = bitsPerSample;
    options.palette = palette;
    options.compression = COMPRESSION_LZW;
    return EncodeTiffLayout(p, options);
}

std::vector<uint8_t> EncodeTiffLayout(const TTestPicture& p, const TTiffLayoutOptions& o) {
    char name[] = "/tmp/zumbrix-tiff-XXXXXX";
    int fd = mkstemp(name);
    close(fd);
    TIFF* tif = TIFFOpen(name, "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.channels);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, o.bits);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, o.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, o.compression);
    if (o.tileWidth)
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, o.tileWidth),
            TIFFSetField(tif, TIFFTAG_TILELENGTH, o.tileHeight);
    else
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 5);
    if (o.palette) {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
        std::vector<uint16_t> r(256), g(256), b(256);
        for (int i = 0; i < 256; i++) {
            r[i] = static_cast<uint16_t>(i * 257);
            g[i] = static_cast<uint16_t>((255 - i) * 257);
            b[i] = 0;
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                     p.channels >= 3 ? PHOTOMETRIC_RGB
                     : o.minIsWhite  ? PHOTOMETRIC_MINISWHITE
                                     : PHOTOMETRIC_MINISBLACK);
    }
    const bool alpha = p.channels == 4 || p.channels == 2;
    if (alpha) {
        uint16_t extra = o.associated ? EXTRASAMPLE_ASSOCALPHA : EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    // Sample c of pixel (x, y) as stored.
    const unsigned maximum = (1u << o.bits) - 1;
    auto sample = [&](int x, int y, int c) -> unsigned {
        unsigned v = p.At(x, y, c);
        if (o.associated && alpha && c < p.channels - 1) v = (v * p.At(x, y, p.channels - 1) + 127) / 255;
        unsigned s = o.bits == 16 ? std::min(65535u, v * 257 + 100) : v >> (8 - o.bits);
        return o.minIsWhite ? maximum - s : s;
    };
    const int planes = o.planar ? p.channels : 1, perPixel = o.planar ? 1 : p.channels;
    std::vector<unsigned> samples;
    for (int plane = 0; plane < planes; plane++) {
        // The samples of row y from column x0 on, count pixels (zero beyond the picture).
        auto rowSamples = [&](int x0, int y, int count) {
            samples.assign(static_cast<size_t>(count) * perPixel, 0);
            for (int x = x0; x < std::min(p.width, x0 + count); x++)
                for (int k = 0; k < perPixel; k++)
                    samples[static_cast<size_t>(x - x0) * perPixel + k] = sample(x, y, o.planar ? plane : k);
        };
        if (!o.tileWidth) {
            std::vector<uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
            for (int y = 0; y < p.height; y++) {
                rowSamples(0, y, p.width);
                PackSamples(samples, o.bits, row.data());
                TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), static_cast<uint16_t>(plane));
            }
            continue;
        }
        const tmsize_t tileBytes = TIFFTileSize(tif), stride = TIFFTileRowSize(tif);
        std::vector<uint8_t> tile(static_cast<size_t>(tileBytes));
        for (int ty = 0; ty < p.height; ty += o.tileHeight)
            for (int tx = 0; tx < p.width; tx += o.tileWidth) {
                std::fill(tile.begin(), tile.end(), 0);
                for (int r = 0; r < o.tileHeight && ty + r < p.height; r++) {
                    rowSamples(tx, ty + r, o.tileWidth);
                    PackSamples(samples, o.bits, tile.data() + r * stride);
                }
                TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, static_cast<uint16_t>(plane)),
                                     tile.data(), tileBytes);
            }
    }
    TIFFClose(tif);
    return ReadAndRemove(name);
}

namespace {
int GifWriteProc(GifFileType* gif, const GifByteType* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + size);
    return size;
}
} // namespace

std::vector<uint8_t> EncodeGif(int width, int height, const std::vector<uint8_t>& indices, bool interlaced) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWriteProc, &error);
    GifColorType colors[16];
    for (int i = 0; i < 16; i++)
        colors[i] = {static_cast<GifByteType>(i * 16), static_cast<GifByteType>(i), 7};
    ColorMapObject* map = GifMakeMapObject(16, colors);
    EGifPutScreenDesc(gif, width, height, 4, 0, map);
    EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr);
    static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
    std::vector<GifPixelType> row(width);
    for (int pass = 0; pass < (interlaced ? 4 : 1); pass++)
        for (int y = interlaced ? start[pass] : 0; y < height; y += interlaced ? step[pass] : 1) {
            for (int x = 0; x < width; x++)
                row[x] = indices[y * width + x];
            EGifPutLine(gif, row.data(), width);
        }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::vector<uint8_t> EncodePsd(const TTestPicture& p, bool runLength) {
    std::vector<uint8_t> out;
    auto be16 = [&](int v) { out.insert(out.end(), {uint8_t(v >> 8), uint8_t(v)}); };
    auto be32 = [&](uint32_t v) {
        out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
    };
    out.insert(out.end(), {'8', 'B', 'P', 'S'});
    be16(1);
    out.insert(out.end(), 6, 0);
    be16(p.channels);
    be32(p.height);
    be32(p.width);
    be16(8);
    be16(3);                 // RGB
    be32(0);                 // colour mode data
    be32(0);                 // image resources
    be32(0);                 // layers and masks
    be16(runLength ? 1 : 0); // compression of the composite
    std::vector<std::vector<uint8_t>> rows;
    for (int c = 0; c < p.channels; c++)
        for (int y = 0; y < p.height; y++) {
            std::vector<uint8_t> row;
            for (int x = 0; x < p.width; x++)
                row.push_back(p.At(x, y, c));
            if (runLength) { // literal packets of up to 128 bytes
                std::vector<uint8_t> packed;
                for (size_t i = 0; i < row.size(); i += 128) {
                    size_t n = std::min<size_t>(128, row.size() - i);
                    packed.push_back(static_cast<uint8_t>(n - 1));
                    packed.insert(packed.end(), row.begin() + i, row.begin() + i + n);
                }
                row = packed;
            }
            rows.push_back(row);
        }
    if (runLength)
        for (auto& r : rows)
            be16(static_cast<int>(r.size()));
    for (auto& r : rows)
        out.insert(out.end(), r.begin(), r.end());
    return out;
}

std::vector<uint8_t> MakeTarga(int imageType, int width, int height, int pixelBits, int descriptor,
                               const std::vector<uint8_t>& map, int mapFirst, int mapLength, int mapBits,
                               const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> out = {0,
                                static_cast<uint8_t>(mapLength ? 1 : 0),
                                static_cast<uint8_t>(imageType),
                                static_cast<uint8_t>(mapFirst),
                                static_cast<uint8_t>(mapFirst >> 8),
                                static_cast<uint8_t>(mapLength),
                                static_cast<uint8_t>(mapLength >> 8),
                                static_cast<uint8_t>(mapBits),
                                0,
                                0,
                                0,
                                0,
                                static_cast<uint8_t>(width),
                                static_cast<uint8_t>(width >> 8),
                                static_cast<uint8_t>(height),
                                static_cast<uint8_t>(height >> 8),
                                static_cast<uint8_t>(pixelBits),
                                static_cast<uint8_t>(descriptor)};
    out.insert(out.end(), map.begin(), map.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}
