#include "data/FlexibleImage.h"

#include "platform/Format.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

int ComponentSize(uint8_t componentType) {
    switch (componentType) {
    case ctUInt8:
    case ctInt8:
        return 1;
    case ctUInt16:
    case ctInt16:
        return 2;
    case ctUInt32:
    case ctInt32:
    case ctFloat32:
        return 4;
    case ctFloat64:
        return 8;
    default:
        return 1;
    }
}

uint64_t ImageBytes(int64_t width, int64_t height, int64_t depth, int components, int componentSize) {
    if (width < 1 || height < 1 || depth < 1) return 0;
    if (width > kMaxImageSide || height > kMaxImageSide || depth > kMaxImageSide) return 0;
    // Each factor is at most 2^15, so the product of the three sides fits in
    // 45 bits and the whole in 51.
    uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                     static_cast<uint64_t>(depth) * static_cast<uint64_t>(components) *
                     static_cast<uint64_t>(componentSize);
    return bytes > kMaxImageBytes ? 0 : bytes;
}

namespace {

// Allocates a block for a layout, or raises EImageError when the layout is
// too large or the memory is not there.
void* AllocatePixels(int32_t width, int32_t height, int32_t depth, int components, int componentSize) {
    uint64_t bytes = ImageBytes(width, height, depth, components, componentSize);
    if (bytes == 0)
        throw EImageError(Format("Image of %d x %d x %d pixels is too large", width, height, depth));
    void* block = std::malloc(static_cast<size_t>(bytes));
    if (!block) throw EImageError("Out of memory for image pixels");
    return block;
}

// Reads component value i of a block of the given type as a double.
double ReadAsDouble(const void* data, size_t i, uint8_t type) {
    switch (type) {
    case ctUInt8:
        return static_cast<const uint8_t*>(data)[i];
    case ctUInt16:
        return static_cast<const uint16_t*>(data)[i];
    case ctUInt32:
        return static_cast<const uint32_t*>(data)[i];
    case ctInt8:
        return static_cast<const int8_t*>(data)[i];
    case ctInt16:
        return static_cast<const int16_t*>(data)[i];
    case ctInt32:
        return static_cast<const int32_t*>(data)[i];
    case ctFloat32:
        return static_cast<const float*>(data)[i];
    case ctFloat64:
        return static_cast<const double*>(data)[i];
    default:
        return static_cast<const uint8_t*>(data)[i];
    }
}

template <class T> T RoundClamp(double v, double lo, double hi) {
    v = std::nearbyint(v);
    if (v < lo) v = lo;
    if (v > hi) v = hi;
    return static_cast<T>(v);
}

void WriteFromDouble(void* data, size_t i, uint8_t type, double v) {
    switch (type) {
    case ctUInt8:
        static_cast<uint8_t*>(data)[i] = RoundClamp<uint8_t>(v, 0, 255);
        break;
    case ctUInt16:
        static_cast<uint16_t*>(data)[i] = RoundClamp<uint16_t>(v, 0, 65535);
        break;
    case ctUInt32:
        static_cast<uint32_t*>(data)[i] = RoundClamp<uint32_t>(v, 0, 4294967295.0);
        break;
    case ctInt8:
        static_cast<int8_t*>(data)[i] = RoundClamp<int8_t>(v, -128, 127);
        break;
    case ctInt16:
        static_cast<int16_t*>(data)[i] = RoundClamp<int16_t>(v, -32768, 32767);
        break;
    case ctInt32:
        static_cast<int32_t*>(data)[i] = RoundClamp<int32_t>(v, -2147483648.0, 2147483647.0);
        break;
    case ctFloat32:
        static_cast<float*>(data)[i] = static_cast<float>(v);
        break;
    case ctFloat64:
        static_cast<double*>(data)[i] = v;
        break;
    default:
        static_cast<uint8_t*>(data)[i] = RoundClamp<uint8_t>(v, 0, 255);
        break;
    }
}

} // namespace

TFlexibleImage::~TFlexibleImage() {
    ReleaseData(false);
}

TRefPtr<IFlexibleImage> TFlexibleImage::Create() {
    return TRefPtr<IFlexibleImage>(new TFlexibleImage());
}

void TFlexibleImage::ReleaseData(bool adoptedToo) {
    if (data_ && (allocated_ || (adoptedToo && adopted_))) std::free(data_);
    if (allocated_ || (adoptedToo && adopted_)) data_ = nullptr;
    allocated_ = false;
    adopted_ = false;
}

size_t TFlexibleImage::DataBytes() const {
    return static_cast<size_t>(width_) * static_cast<size_t>(height_) * static_cast<size_t>(depth_) *
           PixelBytes();
}

void TFlexibleImage::SetData(void* data) {
    // The caller keeps ownership of a block set this way: it is never freed
    // by the image (the previous block is not freed either).
    data_ = data;
    allocated_ = false;
    adopted_ = false;
}

void TFlexibleImage::SetFormat(uint8_t format) {
    format_ = format;
    components_ = (format & 3) + 1;
}

void TFlexibleImage::Allocate(void* block, int32_t width, uint8_t format, uint8_t componentType,
                              int32_t depth, int32_t height) {
    ReleaseData(false);
    data_ = nullptr;
    SetWidth(width);
    SetHeight(height);
    SetDepth(depth);
    SetFormat(format);
    SetComponentType(componentType);
    if (block) {
        data_ = block;
        adopted_ = true;
    } else {
        data_ = AllocatePixels(width_, height_, depth_, components_, ComponentBytes());
        allocated_ = true;
    }
}

void TFlexibleImage::FlipVertical() {
    if (!data_) return;
    size_t rowBytes = static_cast<size_t>(width_) * PixelBytes();
    std::vector<uint8_t> temp(rowBytes);
    uint8_t* base = static_cast<uint8_t*>(data_);
    for (int32_t z = 0; z < depth_; z++) {
        uint8_t* slice = base + static_cast<size_t>(z) * static_cast<size_t>(height_) * rowBytes;
        for (int32_t y = 0; y < height_ / 2; y++) {
            uint8_t* a = slice + static_cast<size_t>(y) * rowBytes;
            uint8_t* b = slice + static_cast<size_t>(height_ - 1 - y) * rowBytes;
            std::memcpy(temp.data(), a, rowBytes);
            std::memcpy(a, b, rowBytes);
            std::memcpy(b, temp.data(), rowBytes);
        }
    }
}

void TFlexibleImage::FlipHorizontal() {
    if (!data_) return;
    size_t pixel = PixelBytes();
    uint8_t temp[32];
    uint8_t* base = static_cast<uint8_t*>(data_);
    size_t rows = static_cast<size_t>(height_) * static_cast<size_t>(depth_);
    for (size_t r = 0; r < rows; r++) {
        uint8_t* row = base + r * static_cast<size_t>(width_) * pixel;
        for (int32_t x = 0; x < width_ / 2; x++) {
            uint8_t* a = row + static_cast<size_t>(x) * pixel;
            uint8_t* b = row + static_cast<size_t>(width_ - 1 - x) * pixel;
            std::memcpy(temp, a, pixel);
            std::memcpy(a, b, pixel);
            std::memcpy(b, temp, pixel);
        }
    }
}

void TFlexibleImage::ResizeCanvas(int32_t width, int32_t height, int32_t depth) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    depth = std::max(depth, 1);
    size_t pixel = PixelBytes();
    uint8_t* fresh =
        static_cast<uint8_t*>(AllocatePixels(width, height, depth, components_, ComponentBytes()));
    const uint8_t* old = static_cast<const uint8_t*>(data_);
    if (old) {
        for (int32_t z = 0; z < depth; z++) {
            int32_t oz = std::min(z, depth_ - 1);
            for (int32_t y = 0; y < height; y++) {
                int32_t oy = std::min(y, height_ - 1);
                const uint8_t* src = old + (static_cast<size_t>(oz) * height_ + oy) * width_ * pixel;
                uint8_t* dst = fresh + (static_cast<size_t>(z) * height + y) * width * pixel;
                int32_t common = std::min(width, width_);
                std::memcpy(dst, src, static_cast<size_t>(common) * pixel);
                // Columns beyond the old width repeat the old last column.
                for (int32_t x = common; x < width; x++)
                    std::memcpy(dst + static_cast<size_t>(x) * pixel,
                                src + static_cast<size_t>(width_ - 1) * pixel, pixel);
            }
        }
    }
    ReleaseData(true);
    data_ = fresh;
    allocated_ = true;
    width_ = width;
    height_ = height;
    depth_ = depth;
}

// A bilinear resampling of every slice to the new width and height; slices
// are taken as ResizeCanvas takes them (the nearest existing slice). Sample
// positions are pixel centres, so an image resampled to its own size is
// unchanged. Integer components are rounded and clamped to their range.
void TFlexibleImage::Resample(int32_t width, int32_t height, int32_t depth) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    depth = std::max(depth, 1);
    void* fresh = AllocatePixels(width, height, depth, components_, ComponentBytes());
    if (data_) {
        const int comps = components_;
        const double sx = static_cast<double>(width_) / width, sy = static_cast<double>(height_) / height;
        for (int32_t z = 0; z < depth; z++) {
            size_t oz = static_cast<size_t>(std::min(z, depth_ - 1));
            for (int32_t y = 0; y < height; y++) {
                double fy = std::clamp((y + 0.5) * sy - 0.5, 0.0, static_cast<double>(height_ - 1));
                int32_t y0 = static_cast<int32_t>(fy);
                int32_t y1 = std::min(y0 + 1, height_ - 1);
                double ty = fy - y0;
                for (int32_t x = 0; x < width; x++) {
                    double fx = std::clamp((x + 0.5) * sx - 0.5, 0.0, static_cast<double>(width_ - 1));
                    int32_t x0 = static_cast<int32_t>(fx);
                    int32_t x1 = std::min(x0 + 1, width_ - 1);
                    double tx = fx - x0;
                    size_t base = oz * static_cast<size_t>(height_);
                    size_t i00 = ((base + y0) * width_ + x0) * comps,
                           i01 = ((base + y0) * width_ + x1) * comps;
                    size_t i10 = ((base + y1) * width_ + x0) * comps,
                           i11 = ((base + y1) * width_ + x1) * comps;
                    size_t out = ((static_cast<size_t>(z) * height + y) * width + x) * comps;
                    for (int c = 0; c < comps; c++) {
                        double top = ReadAsDouble(data_, i00 + c, componentType_) * (1 - tx) +
                                     ReadAsDouble(data_, i01 + c, componentType_) * tx;
                        double bottom = ReadAsDouble(data_, i10 + c, componentType_) * (1 - tx) +
                                        ReadAsDouble(data_, i11 + c, componentType_) * tx;
                        WriteFromDouble(fresh, out + c, componentType_, top * (1 - ty) + bottom * ty);
                    }
                }
            }
        }
    }
    ReleaseData(true);
    data_ = fresh;
    allocated_ = true;
    width_ = width;
    height_ = height;
    depth_ = depth;
}

void TFlexibleImage::Clear() {
    if (!data_) return;
    switch (componentType_) {
    case ctUInt8:
    case ctInt8:
    case ctUInt16:
    case ctInt16:
        std::memset(data_, 0, DataBytes());
        break;
    default:
        break; // 32- and 64-bit components are left as they are
    }
}

void TFlexibleImage::CopyFrom(IFlexibleImage* other) {
    if (!other || static_cast<IFlexibleImage*>(this) == other) return;
    Allocate(nullptr, other->GetWidth(), other->GetFormat(), other->GetComponentType(), other->GetDepth(),
             other->GetHeight());
    if (other->GetData()) std::memcpy(data_, other->GetData(), DataBytes());
}
