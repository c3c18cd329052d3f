#include "data/Bitmap.h"

void TBitmap::SetSize(int32_t width, int32_t height, int32_t bitsPerPixel) {
    width_ = width > 0 ? width : 0;
    height_ = height > 0 ? height : 0;
    bitsPerPixel_ = bitsPerPixel;
    rowBytes_ =
        (static_cast<size_t>(width_) * static_cast<size_t>(bitsPerPixel > 0 ? bitsPerPixel : 0) + 7) / 8;
    pixels_.resize(rowBytes_ * static_cast<size_t>(height_));
    palette_.clear();
}

bool TBitmap::PaletteIsGrey() const {
    for (const TBitmapColor& c : palette_)
        if (c.red != c.green || c.green != c.blue) return false;
    return true;
}

bool TBitmap::PaletteHasAlpha() const {
    bool seeThrough = false, visible = false;
    for (const TBitmapColor& c : palette_) {
        seeThrough = seeThrough || c.alpha < 255;
        visible = visible || c.alpha > 0;
    }
    return seeThrough && visible;
}
