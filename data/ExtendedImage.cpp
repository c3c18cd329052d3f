#include "data/ExtendedImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

uint8_t FloatToByte(double v) {
    double r = std::nearbyint(v * 255.0);
    if (!(r >= 0)) return 0; // negative values and NaN
    if (r > 255) return 255;
    return static_cast<uint8_t>(r);
}

} // namespace

uint8_t TExtendedImage::ReadByte(int32_t x, int32_t y, int32_t c, int32_t z) {
    switch (componentType_) {
    case ctUInt8:
        return Element<uint8_t>(x, y, c, z);
    case ctUInt16:
        return static_cast<uint8_t>(Element<uint16_t>(x, y, c, z) >> 8);
    case ctUInt32:
        return static_cast<uint8_t>(Element<uint32_t>(x, y, c, z) >> 24);
    case ctInt8:
        return static_cast<uint8_t>(std::max<int>(Element<int8_t>(x, y, c, z), 0) * 2);
    case ctInt16:
        return static_cast<uint8_t>(std::max<int>(Element<int16_t>(x, y, c, z), 0) >> 7);
    case ctInt32:
        return static_cast<uint8_t>(std::max<int32_t>(Element<int32_t>(x, y, c, z), 0) >> 23);
    case ctFloat32:
        return FloatToByte(Element<float>(x, y, c, z));
    case ctFloat64:
        return FloatToByte(Element<double>(x, y, c, z));
    default:
        return Element<uint8_t>(x, y, c, z);
    }
}

float TExtendedImage::ReadUnit(int32_t x, int32_t y, int32_t c, int32_t z) {
    switch (componentType_) {
    case ctUInt8:
        return Element<uint8_t>(x, y, c, z) / 255.0f;
    case ctUInt16:
        return Element<uint16_t>(x, y, c, z) / 65535.0f;
    case ctUInt32:
        return static_cast<float>(Element<uint32_t>(x, y, c, z) / 4294967295.0);
    case ctInt8:
        return Element<int8_t>(x, y, c, z) / 127.0f;
    case ctInt16:
        return Element<int16_t>(x, y, c, z) / 32767.0f;
    case ctInt32:
        return static_cast<float>(Element<int32_t>(x, y, c, z) / 2147483647.0);
    case ctFloat32:
        return Element<float>(x, y, c, z);
    case ctFloat64:
        return static_cast<float>(Element<double>(x, y, c, z));
    default:
        return Element<uint8_t>(x, y, c, z) / 255.0f;
    }
}

TBitmap* TExtendedImage::ToBitmap(int32_t slice) {
    int bits = format_ == ifOne ? 8 : format_ == ifFour ? 32 : 24;
    bitmap_.SetSize(width_, height_, bits);
    if (!data_ || slice < 0 || slice >= depth_) return &bitmap_;
    if (bits == 8) {
        bitmap_.Palette().resize(256);
        for (int i = 0; i < 256; i++) {
            uint8_t v = static_cast<uint8_t>(i);
            bitmap_.Palette()[i] = {v, v, v, 255};
        }
    }
    for (int32_t y = 0; y < height_; y++) {
        uint8_t* out = bitmap_.Row(y);
        for (int32_t x = 0; x < width_; x++) {
            switch (format_) {
            case ifOne:
                *out++ = ReadByte(x, y, 0, slice);
                break;
            case ifTwo:
                out[0] = 0;
                out[1] = ReadByte(x, y, 1, slice);
                out[2] = ReadByte(x, y, 0, slice);
                out += 3;
                break;
            case ifThree:
                out[0] = ReadByte(x, y, 2, slice);
                out[1] = ReadByte(x, y, 1, slice);
                out[2] = ReadByte(x, y, 0, slice);
                out += 3;
                break;
            default:
                out[0] = ReadByte(x, y, 2, slice);
                out[1] = ReadByte(x, y, 1, slice);
                out[2] = ReadByte(x, y, 0, slice);
                out[3] = ReadByte(x, y, 3, slice);
                out += 4;
                break;
            }
        }
    }
    return &bitmap_;
}

// The histogram is defined on four-component float images. Other images are
// read through the same rules with their components scaled to 0..1 (missing
// colour components count as 0), so no image is read outside its memory.
void TExtendedImage::ComputeHistogram(int32_t channel) {
    std::memset(histogram_, 0, sizeof histogram_);
    if (!data_) return;
    const bool float4 = componentType_ == ctFloat32 && format_ == ifFour;
    auto component = [&](int32_t x, int32_t y, int32_t c) -> float {
        if (float4) return Element<float>(x, y, c, 0);
        if (c >= components_) return 0.0f;
        return ReadUnit(x, y, c, 0);
    };
    auto value = [&](int32_t x, int32_t y) -> float {
        if (channel == 0) {
            float r = component(x, y, 0), g = components_ >= 3 ? component(x, y, 1) : r,
                  b = components_ >= 3 ? component(x, y, 2) : r;
            float l = static_cast<float>(0.3412f * r) + static_cast<float>(0.498f * g) +
                      static_cast<float>(0.161f * b);
            return std::min(1.0f, l);
        }
        if (channel >= 1 && channel <= 4) return component(x, y, channel - 1);
        return 0.0f;
    };
    float minimum = 10000.0f, maximum = -10000.0f;
    for (int32_t y = 0; y < height_; y++)
        for (int32_t x = 0; x < width_; x++) {
            float v = value(x, y);
            minimum = std::min(minimum, v);
            maximum = std::max(maximum, v);
        }
    float step = (maximum - minimum) / 255.0f;
    for (int32_t y = 0; y < height_; y++)
        for (int32_t x = 0; x < width_; x++) {
            int index = 127;
            if (!(step < 0.000001f)) {
                float t = std::nearbyint((value(x, y) - minimum) / step);
                index = t < 0 ? 0 : t > 255 ? 255 : static_cast<int>(t);
            }
            histogram_[index]++;
        }
}

void TExtendedImage::GetHistogram(uint32_t counters[256]) {
    std::memcpy(counters, histogram_, sizeof histogram_);
}

void TExtendedImage::GetColor(int32_t x, int32_t y, void* color4, int32_t z) {
    std::memcpy(color4, &Element<uint32_t>(x, y, 0, z), 16);
}

void TExtendedImage::SetColor(int32_t x, int32_t y, const void* color4, int32_t z) {
    std::memcpy(&Element<uint32_t>(x, y, 0, z), color4, 16);
}

void TExtendedImage::GetVector(int32_t x, int32_t y, void* vector3, int32_t z) {
    std::memcpy(vector3, &Element<uint32_t>(x, y, 0, z), 12);
}

void TExtendedImage::SetVector(int32_t x, int32_t y, const void* vector3, int32_t z) {
    std::memcpy(&Element<uint32_t>(x, y, 0, z), vector3, 12);
}
