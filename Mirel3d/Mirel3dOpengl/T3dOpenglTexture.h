// T3dOpenglTexture: a GL texture object with the images it is made from, its
// filtering, wrapping and mip-mapping, and optionally a rendering context that
// is its source (render-to-texture).
#pragma once

#include <vector>

#include "Mirel3d/Mirel3dBase/Mirel3dExceptions.h"
#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"
#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"

// GL target of a texture kind (0 for tkNone).
GLenum TextureTargetOf(T3dTextureKind kind);
// Internal format by texture format and quality (0 when none).
GLenum TextureInternalFormat(T3dTextureFormat format, T3dTextureQuality quality);
// Pixel format of uploaded data by texture format and image pixel format (0: none).
GLenum TexturePixelFormat(T3dTextureFormat format, uint8_t imageFormat);
// GL component type by image component type.
GLenum TextureComponentType(uint8_t componentType);
// GL wrap value by wrap mode.
GLenum TextureWrapGL(T3dWrapMode wrap);

class T3dOpenglContext;

// The texture's private interface.
class I3dOpenglTexture : public virtual IInterface {
public:
    virtual uint32_t GetGLName() = 0;
    virtual void SetGLName(uint32_t name) = 0;
    virtual void UploadImages() = 0;
};

class T3dOpenglTexture : public TInterfacedObject, public I3dTexture, public I3dOpenglTexture {
public:
    T3dOpenglTexture();
    ~T3dOpenglTexture() override;

    // I3dTexture
    void* GetImplementation() override { return this; }
    void GetDevice(TRefPtr<I3dDevice>& out) override { out = Device; }
    void SetDevice(I3dDevice* device) override { Device = device; }
    void Setup(const T3dTextureParams& params) override;
    void MakeNormalizationCubeMap(int32_t size) override;
    void GetSize(int32_t& width, int32_t& height, int32_t& depth) override;
    void GetImageInfo(int32_t face, T3dImageInfo& info) override;
    void UpdateArea(int32_t, int32_t) override { Refresh(); }
    void UpdateAll() override { Refresh(); }
    void NotImplemented12() override { throw ENotImplementedExeption("not implemented"); }
    void NotImplemented13() override { throw ENotImplementedExeption("not implemented"); }
    void GetImage(int32_t face, TRefPtr<IFlexibleImage>& out) override;
    void SetImage(int32_t face, IFlexibleImage* image) override;
    void GetSourceContext(TRefPtr<I3dContext>& out) override { out = SourceContext; }
    void Upload() override;
    void Regenerate() override;
    void Bind() override;
    void SetDepthCompare(T3dCompareFunc func) override;
    void SetSmooth(bool smooth) override { Smooth = smooth; }
    bool GetSmooth() override { return Smooth; }
    void SetWrap(T3dWrapMode wrap) override;
    T3dWrapMode GetWrap() override { return Wrap; }
    void SetFormat(T3dTextureFormat format) override { Format = format; }
    T3dTextureFormat GetFormat() override { return Format; }
    void SetKind(T3dTextureKind kind) override;
    T3dTextureKind GetKind() override { return Kind; }
    void SetQuality(T3dTextureQuality quality) override;
    T3dTextureQuality GetQuality() override { return Quality; }
    void SetMipMode(T3dMipMode mode) override { MipMode = mode; }
    T3dMipMode GetMipMode() override { return MipMode; }
    void SetCubeFace(uint8_t face) override { CubeFace = face; }
    uint8_t GetCubeFace() override { return CubeFace; }

    // I3dOpenglTexture
    uint32_t GetGLName() override { return GLName; }
    void SetGLName(uint32_t name) override { GLName = name; }
    void UploadImages() override;

    int32_t GetMipLevels() const { return MipLevels; }
    int32_t GetFaceCount() const { return int32_t(Images.size()); }
    bool IsUploaded() const { return Uploaded; }
    // Level `level` image of a face (null when absent).
    IFlexibleImage* LevelImage(int32_t face, int32_t level) const;

private:
    void Refresh();
    // The texture samples its source context's own target (an off-screen
    // context made to be bound as a texture) instead of copies.
    T3dOpenglContext* RenderTarget() const;
    void ApplyParameters(GLenum target, bool mipmapped);
    // Every face has a level-0 image of 8-bit or float components that a
    // chain can be built from on the CPU.
    bool ChainCanBeBuilt() const;
    // Every face has all MipLevels images, the last of them 1 x 1.
    bool LevelsComplete() const;
    void ResizeImages(int32_t faces);

    uint32_t GLName = 0;
    TRefPtr<I3dDevice> Device;
    int32_t Width = 1, Height = 1, Depth = 1;
    int32_t FaceCount = 1;
    T3dTextureFormat Format = tfNone;
    T3dTextureKind Kind = tkNone;
    T3dTextureQuality Quality = tqHigh;
    bool Smooth = false;
    T3dWrapMode Wrap = wmClamp;
    T3dMipMode MipMode = mmNone;
    int32_t MipLevels = 1;
    std::vector<std::vector<TRefPtr<IFlexibleImage>>> Images; // [face][level]
    uint8_t CubeFace = 0;
    TRefPtr<I3dContext> SourceContext;
    bool Uploaded = false;
    bool TargetParametersSet = false;
    bool BuiltChain = false; // the mip chain was built on the CPU at the last upload
};
