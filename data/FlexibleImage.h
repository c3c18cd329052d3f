// The image container: a block of pixel memory with an explicit layout
// (width, height, depth, components per pixel, component type) and accessors
// per component. TFlexibleImage implements IFlexibleImage; TExtendedImage
// (data/ExtendedImage.h) and T3dImage (data/3dImage.h) build on it.
//
// Memory order: x fastest, then y, then z; the components of a pixel lie
// together. Component c of pixel (x, y, z) is element
// ((x + (y + z * height) * width) * components + c). For pictures the order
// is red, green, blue, alpha and row 0 is the bottom row.
#pragma once

#include "platform/Exception.h"
#include "platform/RefCounted.h"

#include <cstddef>
#include <cstdint>

ZUMBRIX_EXCEPTION(EImageError, Exception);

// Component types (the image's component type code).
enum TImageComponentType : uint8_t {
    ctUInt8 = 0,
    ctUInt16 = 1,
    ctUInt32 = 2,
    ctInt8 = 3,
    ctInt16 = 4,
    ctInt32 = 5,
    ctFloat32 = 6,
    ctFloat64 = 7,
};

// Pixel formats (the image's format code): components per pixel minus one.
enum TImageFormat : uint8_t {
    ifOne = 0,   // one component (grey level or palette index)
    ifTwo = 1,   // two components
    ifThree = 2, // red, green, blue
    ifFour = 3,  // red, green, blue, alpha
};

// Size in bytes of one component of the given type (1 for unknown codes).
int ComponentSize(uint8_t componentType);

// The largest width, height or depth an image may have, and the most pixel
// memory one image may hold. Larger requests raise EImageError.
constexpr int32_t kMaxImageSide = 32768;
constexpr uint64_t kMaxImageBytes = uint64_t(1) << 30;

// Bytes of pixel memory for a layout, or 0 when a side is outside
// 1..kMaxImageSide or the total exceeds kMaxImageBytes.
uint64_t ImageBytes(int64_t width, int64_t height, int64_t depth, int components, int componentSize);

class IFlexibleImage : public virtual IInterface {
public:
    virtual void FlipVertical() = 0;
    virtual void FlipHorizontal() = 0;
    virtual void Nop() = 0;
    virtual void ResizeCanvas(int32_t width, int32_t height, int32_t depth) = 0;
    virtual void Resample(int32_t width, int32_t height, int32_t depth) = 0;
    virtual void* GetData() = 0;
    virtual void SetData(void* data) = 0;
    virtual uint8_t GetComponentType() = 0;
    virtual void SetComponentType(uint8_t type) = 0;
    virtual uint8_t GetFormat() = 0;
    virtual void SetFormat(uint8_t format) = 0;
    virtual int32_t GetWidth() = 0;
    virtual void SetWidth(int32_t width) = 0;
    virtual int32_t GetHeight() = 0;
    virtual void SetHeight(int32_t height) = 0;
    virtual int32_t GetDepth() = 0;
    virtual void SetDepth(int32_t depth) = 0;
    virtual uint8_t GetUInt8(int32_t x, int32_t y, int32_t c, int32_t z) = 0;
    virtual void SetUInt8(int32_t x, int32_t y, int32_t c, int32_t z, uint8_t value) = 0;
    virtual int8_t GetInt8(int32_t x, int32_t y, int32_t c, int32_t z) = 0;
    virtual void SetInt8(int32_t x, int32_t y, int32_t c, int32_t z, int8_t value) = 0;
    virtual uint16_t GetUInt16(int32_t x, int32_t y, int32_t c, int32_t z) = 0;
    virtual void SetUInt16(int32_t x, int32_t y, int32_t c, int32_t z, uint16_t value) = 0;
    virtual int16_t GetInt16(int32_t x, int32_t y, int32_t c, int32_t z) = 0;
    virtual void SetInt16(int32_t x, int32_t y, int32_t c, int32_t z, int16_t value) = 0;
    virtual uint32_t GetUInt32(int32_t x, int32_t y, int32_t c, int32_t z) = 0;
    virtual void SetUInt32(int32_t x, int32_t y, int32_t c, int32_t z, uint32_t value) = 0;
    virtual int32_t GetInt32(int32_t x, int32_t y, int32_t c, int32_t z) = 0;
    virtual void SetInt32(int32_t x, int32_t y, int32_t c, int32_t z, int32_t value) = 0;
    virtual float GetFloat32(int32_t x, int32_t y, int32_t c, int32_t z) = 0;
    virtual void SetFloat32(int32_t x, int32_t y, int32_t c, int32_t z, float value) = 0;
    virtual double GetFloat64(int32_t x, int32_t y, int32_t c, int32_t z) = 0;
    virtual void SetFloat64(int32_t x, int32_t y, int32_t c, int32_t z, double value) = 0;
    virtual void Clear() = 0;
    virtual void CopyFrom(IFlexibleImage* other) = 0;
    // block: memory to adopt (allocated with std::malloc, since the image may
    // free it) or nullptr to allocate width * height * depth * components *
    // component size bytes (not cleared).
    virtual void Allocate(void* block, int32_t width, uint8_t format, uint8_t componentType, int32_t depth,
                          int32_t height) = 0;
};

class TFlexibleImage : public TInterfacedObject, public virtual IFlexibleImage {
public:
    TFlexibleImage() = default;
    ~TFlexibleImage() override;

    // A new empty image.
    static TRefPtr<IFlexibleImage> Create();

    void FlipVertical() override;
    void FlipHorizontal() override;
    void Nop() override {}
    void ResizeCanvas(int32_t width, int32_t height, int32_t depth) override;
    void Resample(int32_t width, int32_t height, int32_t depth) override;
    void* GetData() override { return data_; }
    void SetData(void* data) override;
    uint8_t GetComponentType() override { return componentType_; }
    void SetComponentType(uint8_t type) override { componentType_ = type; }
    uint8_t GetFormat() override { return format_; }
    void SetFormat(uint8_t format) override;
    int32_t GetWidth() override { return width_; }
    void SetWidth(int32_t width) override { width_ = width < 1 ? 1 : width; }
    int32_t GetHeight() override { return height_; }
    void SetHeight(int32_t height) override { height_ = height < 1 ? 1 : height; }
    int32_t GetDepth() override { return depth_; }
    void SetDepth(int32_t depth) override { depth_ = depth < 1 ? 1 : depth; }

    uint8_t GetUInt8(int32_t x, int32_t y, int32_t c, int32_t z) override {
        return Element<uint8_t>(x, y, c, z);
    }
    void SetUInt8(int32_t x, int32_t y, int32_t c, int32_t z, uint8_t v) override {
        Element<uint8_t>(x, y, c, z) = v;
    }
    int8_t GetInt8(int32_t x, int32_t y, int32_t c, int32_t z) override {
        return Element<int8_t>(x, y, c, z);
    }
    void SetInt8(int32_t x, int32_t y, int32_t c, int32_t z, int8_t v) override {
        Element<int8_t>(x, y, c, z) = v;
    }
    uint16_t GetUInt16(int32_t x, int32_t y, int32_t c, int32_t z) override {
        return Element<uint16_t>(x, y, c, z);
    }
    void SetUInt16(int32_t x, int32_t y, int32_t c, int32_t z, uint16_t v) override {
        Element<uint16_t>(x, y, c, z) = v;
    }
    int16_t GetInt16(int32_t x, int32_t y, int32_t c, int32_t z) override {
        return Element<int16_t>(x, y, c, z);
    }
    void SetInt16(int32_t x, int32_t y, int32_t c, int32_t z, int16_t v) override {
        Element<int16_t>(x, y, c, z) = v;
    }
    uint32_t GetUInt32(int32_t x, int32_t y, int32_t c, int32_t z) override {
        return Element<uint32_t>(x, y, c, z);
    }
    void SetUInt32(int32_t x, int32_t y, int32_t c, int32_t z, uint32_t v) override {
        Element<uint32_t>(x, y, c, z) = v;
    }
    int32_t GetInt32(int32_t x, int32_t y, int32_t c, int32_t z) override {
        return Element<int32_t>(x, y, c, z);
    }
    void SetInt32(int32_t x, int32_t y, int32_t c, int32_t z, int32_t v) override {
        Element<int32_t>(x, y, c, z) = v;
    }
    float GetFloat32(int32_t x, int32_t y, int32_t c, int32_t z) override {
        return Element<float>(x, y, c, z);
    }
    void SetFloat32(int32_t x, int32_t y, int32_t c, int32_t z, float v) override {
        Element<float>(x, y, c, z) = v;
    }
    double GetFloat64(int32_t x, int32_t y, int32_t c, int32_t z) override {
        return Element<double>(x, y, c, z);
    }
    void SetFloat64(int32_t x, int32_t y, int32_t c, int32_t z, double v) override {
        Element<double>(x, y, c, z) = v;
    }

    void Clear() override;
    void CopyFrom(IFlexibleImage* other) override;
    void Allocate(void* block, int32_t width, uint8_t format, uint8_t componentType, int32_t depth,
                  int32_t height) override;

    // Layout helpers for the engine's own code.
    int Components() const { return components_; }
    int ComponentBytes() const { return ComponentSize(componentType_); }
    size_t PixelBytes() const { return static_cast<size_t>(components_) * ComponentBytes(); }
    size_t DataBytes() const;
    // True when the memory is the image's own or was adopted through Allocate.
    bool OwnsData() const { return allocated_ || adopted_; }

protected:
    template <class T> T& Element(int32_t x, int32_t y, int32_t c, int32_t z) {
        size_t index = (static_cast<size_t>(x) +
                        (static_cast<size_t>(y) + static_cast<size_t>(z) * static_cast<size_t>(height_)) *
                            static_cast<size_t>(width_)) *
                           static_cast<size_t>(components_) +
                       static_cast<size_t>(c);
        return static_cast<T*>(data_)[index];
    }
    // Frees the memory when the image allocated it (or, with adoptedToo, when
    // it was adopted as well), and forgets it.
    void ReleaseData(bool adoptedToo);

    void* data_ = nullptr;
    int32_t width_ = 1, height_ = 1, depth_ = 1;
    uint8_t format_ = ifOne;
    uint8_t componentType_ = ctUInt8;
    int components_ = 1;
    bool allocated_ = false; // data_ came from Allocate's own allocation
    bool adopted_ = false;   // data_ was handed to Allocate by a caller
};
