// TBitmap: the platform bitmap of the image layer. A decoded picture arrives
// in this shape and ToBitmap exports one slice into it: width, height, bits
// per pixel, rows top first, and within a pixel the colour channels in blue,
// green, red (, alpha) order.
//
// Bits per pixel and what a row holds:
//   1, 4  packed palette indices, most significant bits first
//   8     one palette index (or grey level) per byte
//   15,16 little-endian 16-bit words, 5 bits each of blue (bits 0-4), green
//         (5-9) and red (10-14); bit 15 is not a colour
//   24    blue, green, red bytes
//   32    blue, green, red, alpha bytes
// Rows are packed without padding: RowBytes() = (width * bits + 7) / 8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TBitmapColor {
    uint8_t blue, green, red, alpha;
};

class TBitmap {
public:
    // Sets the size and depth; the pixel memory is reallocated (not cleared
    // when it only shrinks or keeps its size) and the palette is emptied.
    void SetSize(int32_t width, int32_t height, int32_t bitsPerPixel);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t BitsPerPixel() const { return bitsPerPixel_; }
    size_t RowBytes() const { return rowBytes_; }
    uint8_t* Row(int32_t row) { return pixels_.data() + static_cast<size_t>(row) * rowBytes_; }
    const uint8_t* Row(int32_t row) const { return pixels_.data() + static_cast<size_t>(row) * rowBytes_; }
    uint8_t* Pixels() { return pixels_.data(); }
    const uint8_t* Pixels() const { return pixels_.data(); }

    // Colour table of indexed pictures (1, 4 and 8 bits); may be empty.
    std::vector<TBitmapColor>& Palette() { return palette_; }
    const std::vector<TBitmapColor>& Palette() const { return palette_; }
    // True when every palette entry is grey (red = green = blue).
    bool PaletteIsGrey() const;
    // True when the palette carries transparency: some entry is not opaque
    // and some is not fully transparent (decoders that know no transparency
    // leave every alpha at 0 or every alpha at 255).
    bool PaletteHasAlpha() const;
    // True when an indexed picture holds colours rather than grey levels: its
    // palette is not grey, or it carries transparency.
    bool PaletteIsColour() const { return !palette_.empty() && (!PaletteIsGrey() || PaletteHasAlpha()); }

private:
    int32_t width_ = 0, height_ = 0, bitsPerPixel_ = 0;
    size_t rowBytes_ = 0;
    std::vector<uint8_t> pixels_;
    std::vector<TBitmapColor> palette_;
};
