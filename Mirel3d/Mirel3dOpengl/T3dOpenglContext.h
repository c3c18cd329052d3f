// T3dOpenglContext: the OpenGL rendering context. A thin, stateful translation
// of the engine's drawing vocabulary into OpenGL calls (through the table of
// GLEntryPoints.h), with the matrix kind and texture unit it believes current.
//
// On Linux a window context draws into an SDL window with its own GL context;
// a shared context draws into the main context's buffers at a fixed size; an
// off-screen context is a framebuffer object on the main GL context with a
// colour texture and, as requested, a depth texture or depth/stencil buffer.
#pragma once

#include <memory>
#include <string>

#include "Mirel3d/Mirel3dBase/Mirel3dExceptions.h"
#include "Mirel3d/Mirel3dBase/T3dContext.h"
#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "platform/Format.h"

// Reads the GL error flag; when set, raises E with "<text>; errnum:<code>".
template <class E> void CheckGLError(const char* text) {
    GLenum code = GL.glGetError();
    if (code != 0) throw E(std::string(text ? text : "") + "; errnum:" + std::to_string(unsigned(code)));
}

class T3dOpenGLDevice;

// What a context believes about the GL state it draws with: the matrix kind
// whose GL matrix mode is current, the active texture unit and the target
// last enabled on each unit. Contexts that draw with the same GL context (the
// main context and its off-screen targets) share one record, because they
// share one GL state: a switch between them can never leave a stale belief.
struct T3dGLStateCache {
    T3dMatrixKind MatrixKind = mkNone;
    uint8_t CurrentUnit = 1;
    GLenum UnitTarget[9] = {GL_TEXTURE_2D, GL_TEXTURE_2D, GL_TEXTURE_2D, GL_TEXTURE_2D, GL_TEXTURE_2D,
                            GL_TEXTURE_2D, GL_TEXTURE_2D, GL_TEXTURE_2D, GL_TEXTURE_2D};
};

class T3dOpenglContext : public T3dContext, public I3dOpenglContext, public I3dPrimitiveContext {
public:
    T3dOpenglContext();
    ~T3dOpenglContext() override;

    // I3dContext
    bool MakeCurrent() override;
    void Deactivate() override {}
    void SetViewport(const T3dViewport& viewport) override;
    void ResetViewport() override;
    void SetTexture(int32_t unit, I3dTexture* texture) override;
    void SetCoordGeneration(int32_t unit, T3dTexGenCoord coord, T3dTexGenMode mode,
                            const float plane[4]) override;
    void SetCombineColor(int32_t unit, const T3dColor& color) override;
    void SetRGBMode(int32_t unit, T3dCombineSource src0, T3dCombineOperand op0, T3dCombineSource src1,
                    T3dCombineOperand op1, T3dCombineSource src2, T3dCombineOperand op2,
                    T3dCombineFunction func, float scale) override;
    void SetAlphaMode(int32_t unit, T3dCombineSource src0, T3dCombineOperand op0, T3dCombineSource src1,
                      T3dCombineOperand op1, T3dCombineSource src2, T3dCombineOperand op2,
                      T3dCombineFunction func, float scale) override;
    void SetRGBArgument(int32_t unit, int32_t argument, T3dCombineSource source,
                        T3dCombineOperand operand) override;
    void SetRGBFunction(int32_t unit, T3dCombineFunction func) override;
    void SetRGBScale(int32_t unit, float scale) override;
    void SetAlphaArgument(int32_t unit, int32_t argument, T3dCombineSource source,
                          T3dCombineOperand operand) override;
    void SetAlphaFunction(int32_t unit, T3dCombineFunction func) override;
    void SetAlphaScale(int32_t unit, float scale) override;
    void* GetImplementation() override { return this; }
    void EnableStencil(bool enable) override;
    void SetStencilFunc(T3dCompareFunc func, int32_t ref, uint32_t mask) override;
    void SetStencilMask(uint32_t mask) override;
    void SetStencilOp(T3dStencilOp fail, T3dStencilOp depthFail, T3dStencilOp pass) override;
    void SetMatrixMode(T3dMatrixKind kind) override;
    T3dMatrixKind GetMatrixMode() override { return Cache->MatrixKind; }
    void Perspective(T3dMatrixKind kind, float fovY, float aspect, float zNear, float zFar) override;
    void Ortho(T3dMatrixKind kind, float left, float right, float top, float bottom, float zNear,
               float zFar) override;
    void LoadIdentity(T3dMatrixKind kind) override;
    void TranslateMatrix(T3dMatrixKind kind, float x, float y, float z) override;
    void RotateMatrix(T3dMatrixKind kind, float angle, float x, float y, float z) override;
    void ScaleMatrix(T3dMatrixKind kind, float x, float y, float z) override;
    void LookAt(T3dMatrixKind kind, const TVector3& eye, const TVector3& centre, const TVector3& up) override;
    void MultMatrix(T3dMatrixKind kind, const T3dMatrix& m) override;
    void LoadMatrix(T3dMatrixKind kind, const T3dMatrix& m) override;
    void GetMatrix(T3dMatrixKind kind, T3dMatrix& out) override;
    void PushMatrix(T3dMatrixKind kind) override;
    void PeekMatrix(T3dMatrixKind kind) override;
    void PopMatrix(T3dMatrixKind kind) override;
    void ReleaseLights() override;
    void* GetImplementation2() override { return this; }
    void SetClearValues(const T3dClearValues& values) override;
    void SetLineWidth(float width) override;
    void SetPointSize(float size) override;
    void SetBlendMode(T3dBlendFactor src, T3dBlendFactor dst) override;
    void SetBlendEquation(T3dBlendEquation equation) override;
    void SetAlphaTest(T3dCompareFunc func, float ref) override;
    void SetDepthMode(T3dDepthMode mode) override;
    void SetDepthFunc(T3dCompareFunc func) override;
    void SetDepthRange(float zNear, float zFar) override;
    void GetDepthRange(float& zNear, float& zFar) override;
    float GetAspect() override { return Aspect; }
    float GetFieldOfView() override { return FieldOfView; }
    void SetColorMask(bool r, bool g, bool b, bool a) override;
    void SetColorMaskAll(bool on) override { SetColorMask(on, on, on, on); }
    void SetColor(const T3dColor& color) override;
    void SetMaterialRecord(const T3dMaterial& material) override;
    void SetMaterial(T3dMaterialFace face, const T3dColor& ambient, const T3dColor& diffuse,
                     const T3dColor& specular, const T3dColor& emission, float shininess) override;
    void SetMaterialColor(T3dMaterialFace face, T3dColorComponent component, const T3dColor& color) override;
    void SetMaterialShininess(T3dMaterialFace face, float shininess) override;
    void EnableClipPlane(int32_t plane, bool enable) override;
    void SetClipPlane(int32_t plane, bool eyeSpace, float a, float b, float c, float d) override;
    void SetClipPlaneRecord(int32_t plane, bool eyeSpace, const double equation[4]) override;
    void EnableLighting(bool enable) override;
    void EnableLight(int32_t light, bool enable) override;
    void SetLightColor(int32_t light, T3dColorComponent component, const T3dColor& color) override;
    void SetLightPosition(int32_t light, const float position[4]) override;
    void SetSpotCutoff(int32_t light, float cutoff) override;
    void SetSpotExponent(int32_t light, float exponent) override;
    void SetSpotDirection(int32_t light, const TVector3& direction) override;
    void SetAmbientLight(const T3dColor& color) override;
    void SetLocalViewer(bool on) override;
    void SetSeparateSpecular(bool on) override;
    void SetTwoSidedLighting(bool on) override;
    void GetCapabilities(T3dCapabilities& out) override { out = Caps; }
    void BeginScene() override { InScene = true; }
    void EndScene() override;
    void Clear(uint8_t mask) override;
    void SwapBuffers() override;
    I3dDevice* GetDevice() override;
    void SetDevice(I3dDevice* device) override;
    T3dWindowHandle GetWindow() override { return Window; }
    void SetWindow(T3dWindowHandle window) override;
    bool IsFixedSize() override { return FixedSize; }
    void SetFixedSize(bool fixed) override { FixedSize = fixed; }
    int32_t GetWidth() override;
    void SetWidth(int32_t width) override { Width = width; }
    int32_t GetHeight() override;
    void SetHeight(int32_t height) override { Height = height; }
    int32_t GetDepth() override { return Depth; }
    void SetDepth(int32_t depth) override { Depth = depth; }
    void Init(const T3dDeviceMode& mode) override;
    void ReadFront(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) override;
    void ReadFrontRGBA(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) override;
    void ReadBack(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) override;
    void ReadStencil(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) override;
    void ReadDepth(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) override;
    void GetMode(T3dDeviceMode& out) override { out = Mode; }
    void ReleaseBuffer() override {}

    // I3dOpenglContext
    void* GetGLContext() override { return GLContext; }
    void SetGLContext(void* context) override { GLContext = context; }
    void SetDC(void* dc) override { DC = dc; }
    void* GetDC() override { return DC; }
    uint32_t GetPbuffer() override { return Framebuffer; }
    int32_t GetPixelFormatIndex() override { return PixelFormatIndex; }
    void SetPixelFormatIndex(int32_t index) override { PixelFormatIndex = index; }

    // I3dPrimitiveContext
    void BeginPoly(T3dPrimitiveKind kind) override;
    void Vertex3(float x, float y, float z) override;
    void Vertex4(float x, float y, float z, float w) override;
    void Normal3(float x, float y, float z) override;
    void Color4(float r, float g, float b, float a) override;
    void ColorPacked(uint32_t argb) override;
    void SecondaryColor3(float r, float g, float b, float a) override;
    void SecondaryColorPacked(uint32_t argb) override;
    void TexCoord1(int32_t unit, float s) override;
    void TexCoord2(int32_t unit, float s, float t) override;
    void TexCoord3(int32_t unit, float s, float t, float r) override;
    void TexCoord4(int32_t unit, float s, float t, float r, float q) override;
    void EndPoly() override;
    void SetVertexArrays(const T3dVertexArraySource& source) override;
    void SetIndexList(I3dValueList* list) override { IndexList = list; }
    void LockVertexList(I3dValueList* list) override;
    void UnLockVertexList() override;
    void DrawIndexed(const T3dFaceGroup& group) override;

    // For the device and the textures.
    uint8_t GetCurrentUnit() const { return Cache->CurrentUnit; }
    // The belief about the GL state, shared with every context on the same
    // GL context (ShareStateCache makes this context use other's record).
    T3dGLStateCache& StateCache() { return *Cache; }
    void ShareStateCache(T3dOpenglContext* other);
    bool ActivateUnit(int32_t unit);
    // Colour and depth textures of an off-screen context (0 when absent).
    uint32_t GetColorTexture() const { return ColorTexture; }
    uint32_t GetDepthTexture() const { return DepthTexture; }
    // Reads the capability record from the current GL context.
    void ReadCapabilities();
    // The context owns its GL context (deletes it when destroyed).
    void SetOwnsGLContext(bool owns) { OwnsGLContext = owns; }

private:
    bool MatrixKindAvailable(T3dMatrixKind kind) const;
    void SelectMatrix(T3dMatrixKind kind) {
        if (Cache->MatrixKind != kind) SetMatrixMode(kind);
    }
    void InitWindow(const T3dDeviceMode& mode);
    void CreateOffscreenBuffer();
    void Read(GLenum buffer, int32_t x, int32_t y, int32_t w, int32_t h, GLenum format, void* out);

    T3dCapabilities Caps{};
    std::shared_ptr<T3dGLStateCache> Cache;
    T3dWindowHandle Window = nullptr;
    void* DC = nullptr;
    void* GLContext = nullptr;
    bool OwnsGLContext = false;
    T3dOpenGLDevice* Device = nullptr;
    bool InScene = false;
    bool InPoly = false;
    T3dDeviceMode Mode{};
    bool FixedSize = false;
    int32_t Width = 0, Height = 0, Depth = 0;
    float Aspect = 1.0f;
    float FieldOfView = 0.0f;
    bool VertexArrayOn = false, NormalArrayOn = false, TexCoordArrayOn = false, ColorArrayOn = false;
    int32_t PixelFormatIndex = 0;
    TRefPtr<I3dValueList> IndexList;
    // Off-screen target.
    uint32_t Framebuffer = 0;
    uint32_t ColorTexture = 0;
    uint32_t DepthTexture = 0;
    uint32_t DepthStencilBuffer = 0;
};
