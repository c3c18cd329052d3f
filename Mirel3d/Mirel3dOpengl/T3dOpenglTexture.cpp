#include "Mirel3d/Mirel3dOpengl/T3dOpenglTexture.h"

#include <SDL.h>
#include <algorithm>

#include "Mirel3d/Mirel3dOpengl/GLTables.h"
#include "Mirel3d/Mirel3dOpengl/SoftwareMipChain.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"

GLenum TextureTargetOf(T3dTextureKind kind) {
    static const GLenum targets[] = {0, GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP_ARB};
    return LookUp(targets, kind);
}

GLenum TextureInternalFormat(T3dTextureFormat format, T3dTextureQuality quality) {
    static const GLenum table[][3] = {
        {0, 0, 0},
        {GL_ALPHA4, GL_ALPHA8, GL_COMPRESSED_ALPHA_ARB},
        {GL_LUMINANCE4, GL_LUMINANCE8, GL_COMPRESSED_LUMINANCE_ARB},
        {GL_LUMINANCE4_ALPHA4, GL_LUMINANCE8_ALPHA8, GL_COMPRESSED_LUMINANCE_ALPHA_ARB},
        {GL_RGB8, GL_RGB8, GL_RGB8},
        {GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT},
        {GL_RGB4, GL_RGB8, GL_COMPRESSED_RGB_ARB},
        {GL_RGBA4, GL_RGBA8, GL_COMPRESSED_RGBA_ARB},
        {GL_DSDT8_NV, GL_DSDT8_NV, GL_DSDT8_NV},
        {GL_DSDT_MAG_NV, GL_DSDT_MAG_NV, GL_DSDT_MAG_NV},
        {GL_HILO_NV, GL_HILO_NV, GL_HILO_NV},
        {GL_SIGNED_HILO_NV, GL_SIGNED_HILO_NV, GL_SIGNED_HILO_NV},
    };
    if (format > tfSignedHilo || quality > tqCompressed) return 0;
    return table[format][quality];
}

GLenum TexturePixelFormat(T3dTextureFormat format, uint8_t imageFormat) {
    switch (format) {
    case tfAlpha:
        return imageFormat == 0 ? GL_ALPHA : 0;
    case tfLuminance:
        return imageFormat == 0 ? GL_LUMINANCE : 0;
    case tfLuminanceAlpha:
        return imageFormat == 1 ? GL_LUMINANCE_ALPHA : 0;
    case tfRGB8:
    case tfRGB:
    case tfRGBA:
        return imageFormat == 2 ? GL_RGB : imageFormat == 3 ? GL_RGBA : 0;
    case tfDepth:
        return imageFormat <= 2 ? GL_DEPTH_COMPONENT : 0;
    case tfDsDt8:
        return imageFormat == 1 ? GL_DSDT_NV : 0;
    case tfDsDtMag:
        return imageFormat == 2 ? GL_DSDT_MAG_NV : 0;
    case tfHilo:
    case tfSignedHilo:
        return imageFormat == 1 ? GL_HILO_NV : 0;
    default:
        return 0;
    }
}

GLenum TextureComponentType(uint8_t componentType) {
    static const GLenum types[] = {GL_UNSIGNED_BYTE, GL_UNSIGNED_SHORT, GL_UNSIGNED_INT, GL_BYTE, GL_SHORT,
                                   GL_INT,           GL_FLOAT,          GL_DOUBLE};
    return LookUp(types, componentType);
}

GLenum TextureWrapGL(T3dWrapMode wrap) {
    static const GLenum wraps[] = {GL_CLAMP, GL_REPEAT, GL_MIRRORED_REPEAT_IBM, GL_CLAMP_TO_EDGE,
                                   GL_CLAMP_TO_BORDER_ARB};
    return LookUp(wraps, wrap);
}

static const GLenum kCubeFaces[6] = {GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB, GL_TEXTURE_CUBE_MAP_NEGATIVE_X_ARB,
                                     GL_TEXTURE_CUBE_MAP_POSITIVE_Y_ARB, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y_ARB,
                                     GL_TEXTURE_CUBE_MAP_POSITIVE_Z_ARB, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z_ARB};

T3dOpenglTexture::T3dOpenglTexture() {
    Images.resize(1, std::vector<TRefPtr<IFlexibleImage>>(1));
}

T3dOpenglTexture::~T3dOpenglTexture() {
    if (GLName && GL.glDeleteTextures && SDL_GL_GetCurrentContext()) GL.glDeleteTextures(1, &GLName);
}

IFlexibleImage* T3dOpenglTexture::LevelImage(int32_t face, int32_t level) const {
    if (face < 0 || size_t(face) >= Images.size() || level < 0 ||
        size_t(level) >= Images[size_t(face)].size())
        return nullptr;
    return Images[size_t(face)][size_t(level)].Get();
}

bool T3dOpenglTexture::ChainCanBeBuilt() const {
    const int32_t faces = Kind == tkCubeMap ? 6 : 1;
    for (int32_t f = 0; f < faces; f++) {
        IFlexibleImage* image = LevelImage(f, 0);
        if (!image || !image->GetData() || image->GetFormat() > ifFour || image->GetDepth() != 1 ||
            (image->GetComponentType() != ctUInt8 && image->GetComponentType() != ctFloat32))
            return false;
    }
    return true;
}

bool T3dOpenglTexture::LevelsComplete() const {
    const int32_t faces = Kind == tkCubeMap ? 6 : 1;
    for (int32_t f = 0; f < faces; f++) {
        IFlexibleImage* last = MipLevels > 0 ? LevelImage(f, MipLevels - 1) : nullptr;
        if (!last || last->GetWidth() > 1 || last->GetHeight() > 1) return false;
        for (int32_t j = 0; j < MipLevels; j++)
            if (!LevelImage(f, j)) return false;
    }
    return true;
}

void T3dOpenglTexture::ResizeImages(int32_t faces) {
    Images.resize(size_t(faces));
    for (auto& face : Images)
        face.resize(size_t(std::max(1, MipLevels)));
}

// ---------------------------------------------------------------------------
// Set-up

static T3dTextureFormat FormatOfImage(uint8_t pixelFormat) {
    static const T3dTextureFormat formats[] = {tfAlpha, tfLuminanceAlpha, tfRGB, tfRGBA};
    return pixelFormat < 4 ? formats[pixelFormat] : tfNone;
}

void T3dOpenglTexture::Setup(const T3dTextureParams& p) {
    IFlexibleImage* image = p.Images[0].Get();
    I3dContext* context = p.Contexts[0].Get();
    if (image) {
        Width = image->GetWidth();
        Height = image->GetHeight();
        Depth = image->GetDepth();
    } else if (context) {
        Width = context->GetWidth();
        Height = context->GetHeight();
        Depth = context->GetDepth();
    } else {
        Width = p.Width;
        Height = p.Height;
        Depth = p.Depth;
    }
    Width = std::max(1, Width);
    Height = std::max(1, Height);
    Depth = std::max(1, Depth);
    Format = p.Format;
    Smooth = p.Smooth;
    MipMode = p.MipMode;
    MipLevels = std::max(1, p.MipLevels);
    SetWrap(p.Wrap);
    FaceCount = (image || context) ? p.FaceCount : std::max(1, p.FaceCount);
    SetKind(p.Kind);
    if (image) {
        if (Format == tfNone) Format = FormatOfImage(image->GetFormat());
        for (int f = 0; f < 6; f++)
            if (p.Images[f] && size_t(f) < Images.size()) Images[size_t(f)][0] = p.Images[f];
    }
    if (context) {
        if (Format == tfNone) throw ETextureExeption("can't have a use image as context texturekind");
        uint8_t componentType = Format == tfDepth ? 2 : 0;
        uint8_t pixelFormat = 0;
        switch (Format) {
        case tfLuminanceAlpha:
            pixelFormat = 1;
            break;
        case tfRGB8:
        case tfRGB:
            pixelFormat = 2;
            break;
        case tfRGBA:
            pixelFormat = 3;
            break;
        default:
            pixelFormat = 0;
            break;
        }
        for (auto& face : Images) {
            TRefPtr<I3dImage> contextImage;
            if (Device) Device->CreateContextImage(context, componentType, pixelFormat, contextImage);
            face[0] = contextImage;
        }
        SourceContext = context;
    }
}

// The kind is stored before it is checked, so a rejected kind stays stored.
void T3dOpenglTexture::SetKind(T3dTextureKind kind) {
    if (kind == tk3D && !Usable(GLFlags.Texture3D)) kind = tk2D;
    Kind = kind;
    switch (kind) {
    case tkNone:
        throw ETextureExeption("can't have a tkNone Texture");
    case tk1D:
        throw ENotImplementedExeption("not implemeted");
    case tk2D:
        ResizeImages(1);
        Depth = 1;
        break;
    case tk3D:
        ResizeImages(1);
        break;
    case tkCubeMap:
        ResizeImages(6);
        Depth = 1;
        break;
    default:
        throw ETextureExeption("not a valid texture format");
    }
}

void T3dOpenglTexture::SetWrap(T3dWrapMode wrap) {
    if (wrap > wmClampToBorder) return;
    if (wrap == wmMirroredRepeat && !Usable(GLFlags.MirroredRepeat)) wrap = wmRepeat;
    if (wrap == wmClampToEdge && !Usable(GLFlags.EdgeClamp)) {
        SetWrap(wmClampToBorder);
        return;
    }
    if (wrap == wmClampToBorder && !Usable(GLFlags.BorderClamp)) {
        SetWrap(wmClamp);
        return;
    }
    Wrap = wrap;
}

void T3dOpenglTexture::SetQuality(T3dTextureQuality quality) {
    if (quality == tqCompressed && !Usable(GLFlags.TextureCompression)) quality = tqLow;
    Quality = quality;
}

// MipLevels is the number of bits needed to write the size (7 for 64); level
// j of each face is the normalisation face of edge size >> j. A texture
// without a format gets RGB, the format of the generated faces.
void T3dOpenglTexture::MakeNormalizationCubeMap(int32_t size) {
    T3dTextureParams p;
    p.Width = p.Height = size;
    p.Depth = 1;
    p.Wrap = wmClampToEdge;
    p.Smooth = true;
    p.MipMode = mmLevels;
    p.Kind = tkCubeMap;
    int32_t levels = 0;
    while (levels < 31 && int64_t(size) >= (int64_t(1) << levels))
        levels++;
    p.MipLevels = levels;
    p.Format = Format == tfNone ? tfRGB : Format;
    Setup(p);
    for (int32_t f = 0; f < 6; f++) {
        for (int32_t j = 0; j < MipLevels; j++) {
            TRefPtr<I3dImage> image = T3dImage::Create();
            image->MakeNormalizationCubeFace(size >> j, f);
            Images[size_t(f)][size_t(j)] = image.Get();
        }
    }
}

void T3dOpenglTexture::GetSize(int32_t& width, int32_t& height, int32_t& depth) {
    width = Width;
    height = Height;
    depth = Depth;
}

void T3dOpenglTexture::GetImageInfo(int32_t face, T3dImageInfo& info) {
    IFlexibleImage* image = LevelImage(face, 0);
    if (!image) return;
    info.Width = image->GetWidth();
    info.Height = image->GetHeight();
    info.Depth = image->GetDepth();
    info.Pixels = image->GetData();
}

void T3dOpenglTexture::GetImage(int32_t face, TRefPtr<IFlexibleImage>& out) {
    out = LevelImage(face, 0);
}

void T3dOpenglTexture::SetImage(int32_t face, IFlexibleImage* image) {
    if (face >= 0 && size_t(face) < Images.size()) Images[size_t(face)][0] = image;
}

// ---------------------------------------------------------------------------
// GL side

T3dOpenglContext* T3dOpenglTexture::RenderTarget() const {
    if (!SourceContext || Kind != tk2D) return nullptr;
    T3dDeviceMode mode;
    SourceContext->GetMode(mode);
    if (mode.Kind != ckRenderTexture) return nullptr;
    auto* context = static_cast<T3dOpenglContext*>(SourceContext->GetImplementation());
    uint32_t name = Format == tfDepth ? context->GetDepthTexture() : context->GetColorTexture();
    return name ? context : nullptr;
}

void T3dOpenglTexture::ApplyParameters(GLenum target, bool mipmapped) {
    static const GLenum wrapNames[3] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R};
    static const int wrapped[5] = {0, 1, 2, 3, 2};
    int n = Kind <= tkCubeMap ? wrapped[Kind] : 0;
    for (int i = 0; i < n; i++)
        GL.glTexParameteri(target, wrapNames[i], GLint(TextureWrapGL(Wrap)));
    if (Smooth) {
        GL.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        GL.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    } else {
        GL.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        GL.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    }
    if (Format == tfDepth) {
        if (Usable(GLFlags.ARBShadow)) {
            GL.glTexParameteri(target, GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB);
            GL.glTexParameteri(target, GL_TEXTURE_COMPARE_FUNC_ARB, GL_LEQUAL);
            GL.glTexParameteri(target, GL_DEPTH_TEXTURE_MODE_ARB, GL_LUMINANCE);
        } else if (Usable(GLFlags.SGIXShadow)) {
            GL.glTexParameteri(target, GL_TEXTURE_COMPARE_SGIX, 1);
            GL.glTexParameteri(target, GL_TEXTURE_COMPARE_OPERATOR_SGIX, GL_TEXTURE_LEQUAL_R_SGIX);
        }
    }
}

// Uploads the images into the texture bound to the current unit. Rows of
// image memory are tightly packed, so the unpack alignment is 1 meanwhile.
void T3dOpenglTexture::UploadImages() {
    CheckGLError<ETextureExeption>("");
    GLenum target = TextureTargetOf(Kind);
    bool mipmapped = MipMode == mmBuild || (MipMode == mmGenerate && Usable(GLFlags.GenerateMipmap));
    ApplyParameters(target, mipmapped);
    CheckGLError<ETextureExeption>("");
    // Where the driver would generate the chain, a software rasteriser gets
    // one built here instead (see SoftwareMipChain.h).
    BuiltChain = mipmapped && MipMode != mmLevels && Usable(GLFlags.GenerateMipmap) && !SourceContext &&
                 (Kind == tk2D || Kind == tkCubeMap) && Format != tfDepth && ChainCanBeBuilt() &&
                 SoftwareMipChains();
    // Explicit levels that reach 1 x 1 replace whatever the driver would
    // generate: a software rasteriser is spared that work.
    const bool levelsGiven = MipMode == mmLevels && LevelsComplete() && SoftwareMipChains();
    if (MipMode != mmNone && Usable(GLFlags.GenerateMipmap) && !BuiltChain && !levelsGiven)
        GL.glTexParameteri(target, GL_GENERATE_MIPMAP_SGIS, 1);
    if (RenderTarget()) return; // the target's own texture is bound at Bind

    GLint alignment = 4;
    GL.glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    GL.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLenum internal = TextureInternalFormat(Format, Quality);
    auto upload2D = [&](GLenum faceTarget, GLint level, IFlexibleImage* image) {
        if (!image) return;
        GL.glTexImage2D(faceTarget, level, GLint(internal), image->GetWidth(), image->GetHeight(), 0,
                        TexturePixelFormat(Format, image->GetFormat()),
                        TextureComponentType(image->GetComponentType()), image->GetData());
    };
    // Level 0, then (with a chain built here) every smaller level down to 1 x 1.
    auto uploadTop = [&](GLenum faceTarget, IFlexibleImage* image) {
        upload2D(faceTarget, 0, image);
        if (!BuiltChain || !image) return;
        const bool isFloat = image->GetComponentType() == ctFloat32;
        const int32_t components = image->GetFormat() + 1;
        int32_t w = image->GetWidth(), h = image->GetHeight();
        std::vector<uint8_t> above, below(MipLevelBytes(w / 2, h / 2, components, isFloat));
        const void* level = image->GetData();
        for (GLint j = 1; w > 1 || h > 1; j++) {
            HalveMipLevel(level, w, h, components, isFloat, below.data());
            w = std::max(w / 2, 1);
            h = std::max(h / 2, 1);
            GL.glTexImage2D(faceTarget, j, GLint(internal), w, h, 0,
                            TexturePixelFormat(Format, image->GetFormat()),
                            TextureComponentType(image->GetComponentType()), below.data());
            above.swap(below);
            below.resize(MipLevelBytes(w / 2, h / 2, components, isFloat));
            level = above.data();
        }
    };
    auto build2D = [&](GLenum faceTarget, IFlexibleImage* image) {
        if (!image || !GL.gluBuild2DMipmaps) return;
        GL.gluBuild2DMipmaps(faceTarget, GLint(internal), image->GetWidth(), image->GetHeight(),
                             TexturePixelFormat(Format, image->GetFormat()),
                             TextureComponentType(image->GetComponentType()), image->GetData());
    };

    if (Kind == tkCubeMap) {
        GL.glGetError();
        for (int f = 0; f < 6; f++) {
            if (MipMode == mmLevels) {
                for (int32_t j = 0; j < MipLevels; j++)
                    upload2D(kCubeFaces[f], j, LevelImage(f, j));
            } else if (MipMode != mmBuild || Usable(GLFlags.GenerateMipmap)) {
                uploadTop(kCubeFaces[f], LevelImage(f, 0));
            } else {
                build2D(kCubeFaces[f], LevelImage(f, 0));
            }
        }
        GL.glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        CheckGLError<EUploadCubemapExeption>("Cubemap upload failed");
    } else if (Kind == tk2D || Kind == tk1D) {
        if (MipMode == mmBuild && !Usable(GLFlags.GenerateMipmap)) {
            build2D(GL_TEXTURE_2D, LevelImage(0, 0));
        } else if (Format == tfDepth) {
            // The depth copy takes the texture's own size (the source
            // context's), never more than the read buffer holds.
            GL.glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, 0, 0, Width, Height, 0);
        } else if (MipMode == mmLevels) {
            for (int32_t j = 0; j < MipLevels; j++)
                upload2D(GL_TEXTURE_2D, j, LevelImage(0, j));
        } else {
            uploadTop(GL_TEXTURE_2D, LevelImage(0, 0));
        }
        GL.glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    } else if (Kind == tk3D) {
        IFlexibleImage* image = LevelImage(0, 0);
        if (Usable(GLFlags.Texture3D) && GL.glTexImage3DEXT && image)
            GL.glTexImage3DEXT(GL_TEXTURE_3D, 0, internal, image->GetWidth(), image->GetHeight(),
                               image->GetDepth(), 0, TexturePixelFormat(Format, image->GetFormat()),
                               TextureComponentType(image->GetComponentType()), image->GetData());
        GL.glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    } else {
        GL.glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    }
    CheckGLError<ETextureExeption>("");
}

void T3dOpenglTexture::Upload() {
    GL.glBindTexture(TextureTargetOf(Kind), GLName);
    UploadImages();
    Uploaded = true;
}

void T3dOpenglTexture::Regenerate() {
    GL.glDeleteTextures(1, &GLName);
    GL.glGenTextures(1, &GLName);
}

// Enables the kind's target on the active unit and binds the texture. A
// texture that was never uploaded uploads its images into texture object 0
// on every bind.
void T3dOpenglTexture::Bind() {
    GLenum target = TextureTargetOf(Kind);
    GL.glEnable(target);
    if (!Uploaded) {
        GL.glBindTexture(target, 0);
        UploadImages();
        return;
    }
    if (T3dOpenglContext* source = RenderTarget()) {
        GL.glBindTexture(target, Format == tfDepth ? source->GetDepthTexture() : source->GetColorTexture());
        if (!TargetParametersSet) {
            // Rendering does not build mip levels: the target is sampled
            // without them.
            ApplyParameters(target, false);
            TargetParametersSet = true;
        }
        return;
    }
    GL.glBindTexture(target, GLName);
}

void T3dOpenglTexture::SetDepthCompare(T3dCompareFunc f) {
    GLenum target = TextureTargetOf(Kind);
    if (Usable(GLFlags.ARBShadow)) {
        if (f != cfOff) {
            GL.glTexParameteri(target, GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB);
            GLenum func = Usable(GLFlags.ShadowFuncs)         ? CompareFuncGL(f)
                          : (f == cfLess || f == cfLessEqual) ? GLenum(GL_LEQUAL)
                                                              : GLenum(GL_GEQUAL);
            GL.glTexParameteri(target, GL_TEXTURE_COMPARE_FUNC_ARB, GLint(func));
        } else {
            GL.glTexParameteri(target, GL_TEXTURE_COMPARE_MODE_ARB, 0);
        }
    } else if (Usable(GLFlags.SGIXShadow)) {
        GL.glTexParameteri(target, GL_TEXTURE_COMPARE_SGIX, f != cfOff);
        GL.glTexParameteri(target, GL_TEXTURE_COMPARE_OPERATOR_SGIX,
                           (f == cfLess || f == cfLessEqual) ? GL_TEXTURE_LEQUAL_R_SGIX
                                                             : GL_TEXTURE_GEQUAL_R_SGIX);
    }
    CheckGLError<ETextureExeption>("depthmode failed");
}

void T3dOpenglTexture::Refresh() {
    GLenum target = TextureTargetOf(Kind);
    if (SourceContext && Uploaded) {
        if (!RenderTarget()) {
            GL.glBindTexture(target, GLName);
            GLenum copyTarget = Kind == tkCubeMap ? kCubeFaces[CubeFace % 6] : target;
            GL.glCopyTexSubImage2D(copyTarget, 0, 0, 0, 0, 0, Width, Height);
        }
        CheckGLError<ETextureExeption>("UpdateArea failed");
    } else if (SourceContext) {
        if (auto image = QueryAs<I3dImage>(LevelImage(0, 0))) image->ReadFromContext(0);
        CheckGLError<ETextureExeption>("UpdateArea failed");
    } else if (Uploaded) {
        GL.glBindTexture(target, GLName);
        // A texture whose level 0 changes keeps its chain up to date through
        // the driver from now on, whichever built it first.
        if (BuiltChain) {
            GL.glTexParameteri(target, GL_GENERATE_MIPMAP_SGIS, 1);
            BuiltChain = false;
        }
        IFlexibleImage* image = LevelImage(0, 0);
        if (image) {
            GLint alignment = 4;
            GL.glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
            GL.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            GLenum format = TexturePixelFormat(Format, image->GetFormat());
            GLenum type = TextureComponentType(image->GetComponentType());
            if (Kind == tk2D) {
                GL.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image->GetWidth(), image->GetHeight(), format,
                                   type, image->GetData());
            } else if (Kind == tk3D) {
                if (GL.glTexSubImage3D)
                    GL.glTexSubImage3D(GL_TEXTURE_3D, 0, 0, 0, 0, image->GetWidth(), image->GetHeight(),
                                       image->GetDepth(), format, type, image->GetData());
                else if (GL.glTexImage3DEXT)
                    GL.glTexImage3DEXT(GL_TEXTURE_3D, 0, TextureInternalFormat(Format, Quality),
                                       image->GetWidth(), image->GetHeight(), image->GetDepth(), 0, format,
                                       type, image->GetData());
            }
            GL.glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        }
        CheckGLError<ETextureExeption>("UpdateArea failed");
    }
}
