// Writers for the picture files the image tests decode, made with the same
// libraries (libpng, libjpeg-turbo, libtiff, giflib) or byte by byte for the
// formats we read ourselves. Pixels are given top row first, RGB(A) order.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct TTestPicture {
    int width = 0, height = 0, channels = 3; // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    std::vector<uint8_t> pixels;             // top row first

    uint8_t At(int x, int y, int c) const {
        return pixels[(static_cast<size_t>(y) * width + x) * channels + c];
    }
};

// A picture whose every pixel differs from its neighbours (so flips and
// channel swaps show).
TTestPicture MakeGradient(int width, int height, int channels);

std::vector<uint8_t> EncodePng(const TTestPicture& picture, bool interlaced = false);
// Palette PNG with the given bit depth (1, 2, 4, 8); indices top row first.
std::vector<uint8_t> EncodePalettePng(int width, int height, int bitDepth,
                                      const std::vector<uint8_t>& indices);
// 8-bit palette PNG with the given RGBA colours (a tRNS chunk for those not
// opaque); indices top row first.
std::vector<uint8_t> EncodeIndexedPng(int width, int height, const std::vector<uint8_t>& indices,
                                      const std::vector<std::array<uint8_t, 4>>& colours);
// Grey PNG with 1, 2, 4 or 16 bits per sample; levels are 0..(2^bits - 1).
std::vector<uint8_t> EncodeGreyPng(int width, int height, int bitDepth, const std::vector<uint16_t>& levels);
std::vector<uint8_t> EncodeJpeg(const TTestPicture& picture, int quality = 95);
// What libjpeg itself decodes from a JPEG file, as RGB (grey files as grey).
TTestPicture DecodeJpegDirect(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> EncodeTiff(const TTestPicture& picture, int bitsPerSample = 8, bool palette = false);
// How EncodeTiffLayout lays out a picture. Samples are the picture's bytes:
// 16-bit samples are byte * 257 + 100 (so that a reader must round, not cut
// off the low byte), samples of fewer than 8 bits the byte's high bits. The
// last channel of 2- and 4-channel pictures is alpha.
struct TTiffLayoutOptions {
    int bits = 8;                      // 1, 2, 4, 8 or 16 bits per sample
    bool palette = false;              // indices into the palette of EncodeTiff
    bool minIsWhite = false;           // grey stored inverted, flagged as such
    int compression = 1;               // a libtiff COMPRESSION_ code
    int tileWidth = 0, tileHeight = 0; // tiles (multiples of 16) instead of strips of 5 rows
    bool planar = false;               // one plane per sample
    bool associated = false;           // colours premultiplied by alpha, flagged as such
};
std::vector<uint8_t> EncodeTiffLayout(const TTestPicture& picture, const TTiffLayoutOptions& options);
std::vector<uint8_t> EncodeGif(int width, int height, const std::vector<uint8_t>& indices, bool interlaced);
// RGB or RGBA PSD (colour mode 3), raw or PackBits rows.
std::vector<uint8_t> EncodePsd(const TTestPicture& picture, bool runLength = false);

// A hand-made Targa file: header fields, colour map bytes and pixel bytes
// exactly as given (already run-length encoded where imageType >= 9).
std::vector<uint8_t> MakeTarga(int imageType, int width, int height, int pixelBits, int descriptor,
                               const std::vector<uint8_t>& map, int mapFirst, int mapLength, int mapBits,
                               const std::vector<uint8_t>& pixels);
