// T3dImage: the image that the rest of the engine creates and passes around.
// It loads pictures from data files (decoded by content, data/PictureDecoder.h)
// and the raw "m3dTex" format, saves Targa and raw files, generates the
// normalisation cube faces and normal maps, and can be bound to a rendering
// context to read its buffers (frame capture).
#pragma once

#include "data/ExtendedImage.h"
#include "data/Stream.h"

#include <string>

// What an image needs from a rendering context: its size and its read-back
// operations. The rendering layer's context interface (I3dContext) derives
// from it, so any context can be bound to an image; the image layer itself
// does not depend on the rendering layer.
class I3dImageContext : public virtual IInterface {
public:
    virtual int32_t GetWidth() = 0;
    virtual int32_t GetHeight() = 0;
    virtual int32_t GetDepth() = 0;
    virtual void ReadFront(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
    virtual void ReadFrontRGBA(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
    virtual void ReadBack(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
    virtual void ReadStencil(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
    virtual void ReadDepth(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
};

// Buffer kinds of ReadFromContext.
enum TImageReadKind : int32_t {
    rkFront = 0,   // the front colour buffer (ReadFront)
    rkBack = 1,    // the back colour buffer (ReadBack), what frame capture reads
    rkStencil = 2, // the stencil buffer (ReadStencil)
    rkDepth = 3,   // the depth buffer (ReadDepth)
};

// The raw image file's magic.
constexpr char kRawImageMagic[6] = {'m', '3', 'd', 'T', 'e', 'x'};

class I3dImage : public virtual IExtendedImage {
public:
    virtual void LoadFromFile(const std::string& name) = 0;
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void FromBitmap(const TBitmap* bitmap) = 0;
    virtual bool TryLoadFromFile(const char* name) = 0;
    // kind 0: run-length-encoded Targa; kind 1: raw image; other kinds write nothing.
    virtual bool SaveToFile(const char* name, int32_t kind) = 0;
    virtual int32_t AttachContext(I3dImageContext* context, uint8_t componentType, uint8_t format) = 0;
    virtual void MakeNormalizationCubeFace(int32_t size, int32_t face) = 0;
    virtual int32_t AlwaysZero(int32_t value) = 0;
    virtual void SetContext(I3dImageContext* context) = 0;
    virtual I3dImageContext* GetContext() = 0;
    virtual void MakeNormalMap(IFlexibleImage* heights, float scale) = 0;
    virtual void SetTagA(int32_t value) = 0;
    virtual void SetTagB(int32_t value) = 0;
    virtual int32_t GetTagA() = 0;
    virtual int32_t GetTagB() = 0;
    virtual void ReadFromContext(int32_t kind) = 0;
};

class T3dImage : public TExtendedImage, public virtual I3dImage {
public:
    T3dImage() = default;
    ~T3dImage() override;

    // A new empty image.
    static TRefPtr<I3dImage> Create();

    void LoadFromFile(const std::string& name) override;
    void LoadFromStream(TStream& stream) override;
    void FromBitmap(const TBitmap* bitmap) override;
    bool TryLoadFromFile(const char* name) override;
    bool SaveToFile(const char* name, int32_t kind) override;
    int32_t AttachContext(I3dImageContext* context, uint8_t componentType, uint8_t format) override;
    void MakeNormalizationCubeFace(int32_t size, int32_t face) override;
    int32_t AlwaysZero(int32_t) override { return 0; }
    void SetContext(I3dImageContext* context) override { context_ = context; }
    I3dImageContext* GetContext() override { return context_.Get(); }
    void MakeNormalMap(IFlexibleImage* heights, float scale) override;
    void SetTagA(int32_t value) override { tagA_ = value; }
    void SetTagB(int32_t value) override { tagB_ = value; }
    int32_t GetTagA() override { return tagA_; }
    int32_t GetTagB() override { return tagB_; }
    void ReadFromContext(int32_t kind) override;

    // The file contents SaveToFile writes, without writing them.
    std::vector<uint8_t> EncodeTargaFile();
    std::vector<uint8_t> EncodeRawFile();
    // The binding state (2 once bound to a context).
    int32_t BindingState() const { return bindingState_; }
    // The format LoadFromStream last used (pfTarga ... pfJpeg), or -1 for a
    // raw file.
    int LastFormat() const { return lastFormat_; }

private:
    TRefPtr<I3dImageContext> context_;
    int32_t bindingState_ = 0;
    int32_t tagA_ = 0, tagB_ = 0;
    int lastFormat_ = -1;
};
