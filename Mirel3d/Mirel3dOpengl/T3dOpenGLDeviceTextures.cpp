// The device's factories for images and textures.
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglTexture.h"

void T3dOpenGLDevice::CreateImage(TRefPtr<I3dImage>& out) {
    out = T3dImage::Create();
}

void T3dOpenGLDevice::CreateContextImage(I3dContext* context, uint8_t componentType, uint8_t pixelFormat,
                                         TRefPtr<I3dImage>& out) {
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->AttachContext(context, componentType, pixelFormat);
    out = image;
}

void T3dOpenGLDevice::CreateTexture(const T3dTextureParams& params, TRefPtr<I3dTexture>& out) {
    TRefPtr<T3dOpenglTexture> texture(new T3dOpenglTexture());
    texture->SetDevice(this);
    texture->Setup(params);
    uint32_t name = 0;
    GL.glGenTextures(1, &name);
    texture->SetGLName(name);
    out = texture.Get();
}

void T3dOpenGLDevice::CreateNormalizationCubeMap(int32_t size, TRefPtr<I3dTexture>& out) {
    TRefPtr<T3dOpenglTexture> texture(new T3dOpenglTexture());
    texture->SetDevice(this);
    texture->MakeNormalizationCubeMap(size);
    uint32_t name = 0;
    GL.glGenTextures(1, &name);
    texture->SetGLName(name);
    out = texture.Get();
}

static T3dTextureFormat FormatOfPixelFormat(uint8_t pixelFormat) {
    static const T3dTextureFormat formats[] = {tfAlpha, tfLuminanceAlpha, tfRGB, tfRGBA};
    return pixelFormat < 4 ? formats[pixelFormat] : tfNone;
}

void T3dOpenGLDevice::CreateImageTexture(I3dImage* image, TRefPtr<I3dTexture>& out) {
    T3dTextureParams p;
    p.Images[0] = image;
    p.MipMode = mmGenerate;
    p.Wrap = wmRepeat;
    p.Smooth = true;
    p.FaceCount = 1;
    p.MipLevels = 0;
    p.Format = FormatOfPixelFormat(image->GetFormat());
    p.Kind = image->GetDepth() < 2 ? tk2D : tk3D;
    CreateTexture(p, out);
}

void T3dOpenGLDevice::CreateContextTexture(I3dContext* context, T3dTextureFormat format,
                                           TRefPtr<I3dTexture>& out, uint8_t cubeFlag) {
    T3dTextureParams p;
    p.Contexts[0] = context;
    p.Width = context->GetWidth();
    p.Height = context->GetHeight();
    p.Depth = context->GetDepth();
    p.FaceCount = 1;
    p.MipLevels = 0;
    p.Format = format;
    p.Smooth = true;
    if (format == tfDepth) {
        p.Wrap = wmClamp;
        p.MipMode = mmNone;
    } else {
        p.Wrap = wmRepeat;
        p.MipMode = mmGenerate;
    }
    p.Kind = tk3D;
    if (p.Depth < 2) {
        p.Kind = tk2D;
        if (p.Height < 2) p.Kind = tk1D;
    }
    if (cubeFlag == 4) p.Kind = tkCubeMap;
    CreateTexture(p, out);
}

void T3dOpenGLDevice::LoadTexture(const char* fileName, int32_t, int32_t, int32_t, T3dMipMode mipMode,
                                  bool smooth, T3dWrapMode wrap, T3dTextureFormat format, T3dTextureKind kind,
                                  bool skip, TRefPtr<I3dTexture>& out) {
    if (skip) return;
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->LoadFromFile(fileName ? fileName : "");
    T3dTextureParams p;
    p.Images[0] = image.Get();
    p.MipLevels = 0;
    p.MipMode = mipMode;
    p.Smooth = smooth;
    p.Wrap = wrap;
    if (kind == tkNone) {
        T3dCapabilities caps{};
        if (CurrentContext) CurrentContext->GetCapabilities(caps);
        kind = caps.VolumeTextures ? tk3D : tk2D;
    }
    if (image->GetDepth() < 2) kind = tk2D;
    p.Kind = kind;
    if (format == tfNone) {
        switch (image->GetFormat()) {
        case 0:
            format = tfAlpha;
            break;
        case 1:
            throw Exception("not implemented");
        case 2:
            format = tfRGB;
            break;
        default:
            format = tfRGBA;
            break;
        }
    }
    p.Format = format;
    CreateTexture(p, out);
}
