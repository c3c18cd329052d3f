// TExtendedImage: the image container plus colour access, a histogram and
// the export of one slice to a platform bitmap (data/Bitmap.h).
#pragma once

#include "data/Bitmap.h"
#include "data/FlexibleImage.h"

class IExtendedImage : public virtual IFlexibleImage {
public:
    // Exports slice z; the image keeps the bitmap (valid until the next call
    // or the image's end).
    virtual TBitmap* ToBitmap(int32_t slice) = 0;
    virtual void ComputeHistogram(int32_t channel) = 0;
    virtual void GetHistogram(uint32_t counters[256]) = 0;
    // Four 32-bit components of a pixel of a four-component image with 32-bit
    // components (float red, green, blue, alpha for float images).
    virtual void GetColor(int32_t x, int32_t y, void* color4, int32_t z) = 0;
    virtual void SetColor(int32_t x, int32_t y, const void* color4, int32_t z) = 0;
    // Three 32-bit components of a pixel of a three-component image.
    virtual void GetVector(int32_t x, int32_t y, void* vector3, int32_t z) = 0;
    virtual void SetVector(int32_t x, int32_t y, const void* vector3, int32_t z) = 0;
};

class TExtendedImage : public TFlexibleImage, public virtual IExtendedImage {
public:
    TBitmap* ToBitmap(int32_t slice) override;
    void ComputeHistogram(int32_t channel) override;
    void GetHistogram(uint32_t counters[256]) override;
    void GetColor(int32_t x, int32_t y, void* color4, int32_t z) override;
    void SetColor(int32_t x, int32_t y, const void* color4, int32_t z) override;
    void GetVector(int32_t x, int32_t y, void* vector3, int32_t z) override;
    void SetVector(int32_t x, int32_t y, const void* vector3, int32_t z) override;

protected:
    // Component c of pixel (x, y, z) as a byte: bytes as they are, floats as
    // v * 255 rounded and clamped, other types scaled from their range.
    uint8_t ReadByte(int32_t x, int32_t y, int32_t c, int32_t z);
    // Component c as a value in the image's natural units (bytes and words
    // scaled to 0..1, floats as they are).
    float ReadUnit(int32_t x, int32_t y, int32_t c, int32_t z);

    TBitmap bitmap_;
    uint32_t histogram_[256] = {};
};
