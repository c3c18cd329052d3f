// Enumerations and records shared by the device layer and its users.
// Enumerations are one byte; their numeric values are the order given.
#pragma once

#include <cstdint>

#include "platform/RefCounted.h"
#include "scene/math/MathTypes.h"

// Window, drawing-surface and GL context handles are opaque to the device
// layer: on Linux a window is an SDL_Window*, a GL context an SDL_GLContext.
using T3dWindowHandle = void*;

enum T3dTextureKind : uint8_t { tkNone, tk1D, tk2D, tk3D, tkCubeMap };

enum T3dTextureFormat : uint8_t {
    tfNone,
    tfAlpha,
    tfLuminance,
    tfLuminanceAlpha,
    tfRGB8, // RGB that is never reduced or compressed
    tfDepth,
    tfRGB,
    tfRGBA,
    tfDsDt8,
    tfDsDtMag,
    tfHilo,
    tfSignedHilo
};

enum T3dTextureQuality : uint8_t { tqLow, tqHigh, tqCompressed };

enum T3dWrapMode : uint8_t { wmClamp, wmRepeat, wmMirroredRepeat, wmClampToEdge, wmClampToBorder };

enum T3dMipMode : uint8_t { mmNone, mmLevels, mmBuild, mmGenerate };

enum T3dPrimitiveKind : uint8_t {
    pkPoints,
    pkLines,
    pkLineStrip,
    pkLineLoop,
    pkTriangles,
    pkTriangleStrip,
    pkTriangleFan,
    pkQuads,
    pkQuadStrip
};

// mkComposed (model-view times projection) exists only as a tracking source
// for vertex programs; mkNone means that no matrix is current.
enum T3dMatrixKind : uint8_t {
    mkComposed,
    mkProjection,
    mkModelview,
    mkModelview1,
    mkModelview2,
    mkModelview3,
    mkTexture0,
    mkTexture1,
    mkTexture2,
    mkTexture3,
    mkTexture4,
    mkTexture5,
    mkTexture6,
    mkTexture7,
    mkNone
};

enum T3dCompareFunc : uint8_t {
    cfOff,
    cfNever,
    cfLess,
    cfEqual,
    cfLessEqual,
    cfGreater,
    cfNotEqual,
    cfGreaterEqual,
    cfAlways
};

enum T3dDepthMode : uint8_t { dmReadWrite, dmReadOnly, dmOff };

// The last two act as bfSrcAlpha and bfInvSrcAlpha.
enum T3dBlendFactor : uint8_t {
    bfZero,
    bfOne,
    bfSrcColor,
    bfInvSrcColor,
    bfSrcAlpha,
    bfInvSrcAlpha,
    bfDestAlpha,
    bfInvDestAlpha,
    bfDestColor,
    bfInvDestColor,
    bfSrcAlphaSat,
    bfBothSrcAlpha,
    bfBothInvSrcAlpha
};

enum T3dBlendEquation : uint8_t { beAdd, beSubtract, beReverseSubtract, beMin, beMax };

enum T3dStencilOp : uint8_t { soKeep, soZero, soReplace, soIncr, soDecr, soInvert, soIncrWrap, soDecrWrap };

enum T3dTexGenCoord : uint8_t { gcS, gcT, gcR, gcQ };

enum T3dTexGenMode : uint8_t {
    tgOff,
    tgSphereMap,
    tgEyeLinear,
    tgObjectLinear,
    tgReflectionMap,
    tgNormalMap
};

enum T3dCombineSource : uint8_t {
    csNone,
    csTexture,
    csTexture0,
    csTexture1,
    csTexture2,
    csTexture3,
    csTexture4,
    csTexture5,
    csTexture6,
    csTexture7,
    csConstant,
    csPrimaryColor,
    csPrevious
};

enum T3dCombineOperand : uint8_t { coNone, coSrcColor, coOneMinusSrcColor, coSrcAlpha, coOneMinusSrcAlpha };

enum T3dCombineFunction : uint8_t {
    cmReplace,
    cmDecal,
    cmModulate,
    cmAdd,
    cmAddSigned,
    cmInterpolate,
    cmSubtract,
    cmDot3RGB,
    cmDot3RGBA
};

enum T3dColorComponent : uint8_t { ccAmbient, ccDiffuse, ccSpecular, ccEmission };

enum T3dMaterialFace : uint8_t { mfFront, mfBack, mfFrontAndBack };

// How a context draws: to its window; into the main context's buffers at a
// fixed size; into an off-screen buffer; into an off-screen buffer that can be
// bound as a texture.
enum T3dContextKind : uint8_t { ckWindow, ckShared, ckPbuffer, ckRenderTexture };

struct T3dColor {
    float r, g, b, a;
};

// Vectors are TVector3 (three floats x, y, z).
// Sixteen floats in OpenGL element order (12, 13, 14 hold the translation).
struct T3dMatrix {
    float m[16];
};

// Viewport flags: bit 0 viewport, bit 1 depth range, bit 2 scissor rectangle,
// bit 3 scissor test switch.
struct T3dViewport {
    uint8_t Flags;
    bool ScissorEnabled;
    int32_t X, Y, Width, Height;
    float DepthNear, DepthFar;
};

// Clear flags: bit 0 colour, bit 1 depth, bit 2 stencil, bit 3 accumulation.
struct T3dClearValues {
    uint8_t Flags;
    T3dColor Color;
    T3dColor Accum;
    double Depth;
    int32_t Stencil;
};

struct T3dMaterial {
    T3dMaterialFace Face;
    T3dColor Ambient, Diffuse, Specular, Emission;
    float Shininess;
};

// One drawn index range of a face list. The four vectors hold per-group
// bounds for the scene; they are zero when a group is added.
struct T3dFaceGroup {
    TVector3 Bounds[4];
    int32_t Reserved;
    int32_t FirstIndex;
    int32_t IndexCount;
    T3dPrimitiveKind Primitive;
};

// The capability record of a context (a copy is handed out).
struct T3dCapabilities {
    const char* Vendor;
    const char* Renderer;
    const char* Version;
    int32_t BlendMatrices;
    int32_t TextureUnits;
    int32_t MaxTextureSize;
    int32_t MaxCubeMapSize;
    int32_t MaxViewportWidth;
    int32_t MaxViewportHeight;
    int32_t Max3DTextureSize[3];
    bool Combiners;
    bool Dot3;
    bool VolumeTextures;
    bool CubeMaps;
    bool VertexPrograms;
    bool TextureShaders;
    bool ShadowTextures;
    bool RenderToTexture;
    bool RenderToDepthTexture;
};

// Bind flags of T3dDeviceMode.
enum : uint8_t {
    bindRGBA1 = 0x02, // bit 1: bindable as an RGBA texture
    bindRGBA2 = 0x04, // bit 2: likewise
    bindDepth = 0x10, // bit 4: bindable as a depth texture
};

// The request a context is made from; copied whole into the context.
struct T3dDeviceMode {
    bool Fullscreen;
    int32_t Width;
    int32_t Height;
    int32_t Depth;
    int32_t DoubleBuffer; // > 0 prefers double buffering; 0 reads an off-screen buffer's front
    int32_t ColorBits;
    int32_t DepthBits;
    int32_t StencilBits;
    int32_t AlphaBits;
    bool Stereo;
    bool ShareLists;
    bool VSync;
    int32_t RefreshRate;
    bool PreferSoftware;
    T3dContextKind Kind;
    uint8_t BindFlags;
    bool NoOffscreen;
};

class IFlexibleImage;
class I3dContext;

// Texture set-up record; the two arrays hold counted references.
struct T3dTextureParams {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Depth = 0;
    int32_t FaceCount = 0;
    int32_t MipLevels = 0;
    T3dMipMode MipMode = mmNone;
    T3dWrapMode Wrap = wmClamp;
    bool Smooth = false;
    T3dTextureFormat Format = tfNone;
    T3dTextureKind Kind = tkNone;
    TRefPtr<IFlexibleImage> Images[6]; // level 0 per face: +X, -X, +Y, -Y, +Z, -Z
    TRefPtr<I3dContext> Contexts[6];   // render source; only entry 0 is used
};
