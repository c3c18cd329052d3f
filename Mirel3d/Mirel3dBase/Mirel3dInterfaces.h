// The device-independent interfaces of the rendering layer. Operations are
// declared in slot order (slots 0 to 2 are IInterface's query, add-reference
// and release). Objects are handed out through TRefPtr out-parameters; the
// operations that "return self" give the implementing object as a raw,
// uncounted pointer.
#pragma once

#include <cstdint>
#include <vector>

#include "Mirel3d/Mirel3dBase/Mirel3dTypes.h"
#include "data/3dImage.h"
#include "platform/RefCounted.h"

class ITimer;
class I3dDevice;
class I3dContext;
class I3dTexture;

// The 32-bit values of a value list.
using T3dValueArray = std::vector<uint32_t>;

// I3dValueList {133EAAB9-757B-44D5-BE6E-F05E555C89F4}: a growable array of
// elements of ValueCount 32-bit values each.
class I3dValueList : public virtual IInterface {
public:
    static constexpr TGuid IID = {
        0x133EAAB9, 0x757B, 0x44D5, {0xBE, 0x6E, 0xF0, 0x5E, 0x55, 0x5C, 0x89, 0xF4}};
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    virtual void SetCapacity(int32_t elements) = 0;
    virtual void SetCount(int32_t elements) = 0;
    virtual void SetValueCount(int32_t valuesPerElement) = 0;
    virtual T3dValueArray& GetValues() = 0;
    virtual int32_t GetCapacity() = 0;
    virtual int32_t GetCount() = 0;
    virtual int32_t GetValueCount() = 0;
    virtual void* ElementAddress(int32_t index) = 0;
    virtual void SetElement(int32_t index, const void* source) = 0;
    virtual void InsertValues(int32_t position, int32_t number) = 0;
    virtual void Add(const void* source) = 0;
    virtual void Clear() = 0;
    virtual int32_t AddUnique(const void* source) = 0;
};

// I3dFaceList {C117EE2F-3BBB-4411-9D5D-73D300651EFE}: elements are face groups.
class I3dFaceList : public virtual I3dValueList {
public:
    static constexpr TGuid IID = {
        0xC117EE2F, 0x3BBB, 0x4411, {0x9D, 0x5D, 0x73, 0xD3, 0x00, 0x65, 0x1E, 0xFE}};
    virtual void AddFaceGroupRecord(const T3dFaceGroup& group) = 0;
    virtual void AddFaceGroupEx(int32_t firstIndex, int32_t indexCount, T3dPrimitiveKind primitive,
                                int32_t ignored) = 0;
    virtual void AddFaceGroup(int32_t firstIndex, int32_t indexCount, T3dPrimitiveKind primitive) = 0;
};

// I3dIndexList {BEE3F628-E278-4144-9A7A-6A34106A2536}: declared only.
class I3dIndexList : public virtual I3dValueList {
public:
    static constexpr TGuid IID = {
        0xBEE3F628, 0xE278, 0x4144, {0x9A, 0x7A, 0x6A, 0x34, 0x10, 0x6A, 0x25, 0x36}};
};

// I3dVertexBuffer {AAF70B72-BB2E-4B65-946B-27B36D0E445B}: one vertex stream.
class I3dVertexBuffer : public virtual IInterface {
public:
    static constexpr TGuid IID = {
        0xAAF70B72, 0xBB2E, 0x4B65, {0x94, 0x6B, 0x27, 0xB3, 0x6D, 0x0E, 0x44, 0x5B}};
    virtual void SetDataType(uint8_t dataType) = 0;
    virtual void Reserved4() = 0;
    virtual void SetComponents(uint8_t components) = 0; // 0 to 3 for 1 to 4 components
    virtual uint8_t GetComponents() = 0;
    virtual void SetGLPointer(void* pointer) = 0;
    virtual void* GetGLPointer() = 0;
    virtual void SetData(void* data) = 0;
    virtual void* GetData() = 0;
    virtual void Reserved11() = 0;
    virtual void Reserved12() = 0;
    virtual void SetCount(int32_t count) = 0;
    virtual int32_t GetCount() = 0;
    virtual void SetStride(int32_t stride) = 0;
    virtual int32_t GetStride() = 0;
    virtual void* ElementAddress(int32_t index) = 0; // data + index * stride
    virtual void* ElementAddress2(int32_t index) = 0;
    virtual void* ElementAddress3(int32_t index) = 0;
    virtual void* ByteAddress(int32_t index) = 0;
    virtual void* WordAddress(int32_t index) = 0;
    virtual void* DwordAddress(int32_t index) = 0;
    virtual void Reserved23() = 0;
};

// I3dIndexBuffer {F823A7BB-9009-4DA1-981C-D5C533974B80}: 32-bit indices.
class I3dIndexBuffer : public virtual IInterface {
public:
    static constexpr TGuid IID = {
        0xF823A7BB, 0x9009, 0x4DA1, {0x98, 0x1C, 0xD5, 0xC5, 0x33, 0x97, 0x4B, 0x80}};
    virtual void SetGLPointer(void* pointer) = 0;
    virtual void* GetGLPointer() = 0;
    virtual void SetData(void* data) = 0;
    virtual void* GetData() = 0;
    virtual void Reserved7() = 0;
    virtual void Reserved8() = 0;
    virtual void SetCount(int32_t count) = 0;
    virtual int32_t GetCount() = 0;
    virtual uint32_t* IndexAddress(int32_t index) = 0; // data + 4 * index
    virtual void Reserved12() = 0;
};

// The stream and index lists of an object buffer.
struct T3dVertexBufferList {
    std::vector<TRefPtr<I3dVertexBuffer>> Items;
    int64_t TotalSize = 0; // sum of count * components * 4, recomputed by Commit
};
struct T3dIndexBufferList {
    std::vector<TRefPtr<I3dIndexBuffer>> Items;
};

// I3dObjectBuffer {5F6DBF43-D697-429B-85BA-30645C480280}: the arrays of one geometry.
class I3dObjectBuffer : public virtual IInterface {
public:
    static constexpr TGuid IID = {
        0x5F6DBF43, 0xD697, 0x429B, {0x85, 0xBA, 0x30, 0x64, 0x5C, 0x48, 0x02, 0x80}};
    virtual void* Lock() = 0; // returns self, no effect
    virtual void* Reserved4() = 0;
    virtual void* Unlock() = 0; // returns self, no effect
    virtual void* Reserved6() = 0;
    virtual void* Reserved7() = 0; // returns self
    virtual T3dVertexBufferList* GetVertexBuffers() = 0;
    virtual T3dIndexBufferList* GetIndexBuffers() = 0;
    virtual void AddStream(int32_t count, uint8_t dataType, TRefPtr<I3dVertexBuffer>& out, void* memory,
                           uint8_t components) = 0;
    virtual void AddStreamStrided(int32_t count, uint8_t dataType, TRefPtr<I3dVertexBuffer>& out,
                                  void* memory, int32_t stride, uint8_t components) = 0;
    virtual void AddIndexList(int32_t count, void* memory, TRefPtr<I3dIndexBuffer>& out) = 0;
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    virtual void Commit() = 0;
};

// I3dVertexProgram {08A13A65-B8D0-484B-B8AE-C2106F5256D5}.
class I3dVertexProgram : public virtual IInterface {
public:
    static constexpr TGuid IID = {
        0x08A13A65, 0xB8D0, 0x484B, {0xB8, 0xAE, 0xC2, 0x10, 0x6F, 0x52, 0x56, 0xD5}};
    virtual void TranslateSource(const char* text) = 0;
    virtual void LoadProgram(const void* data, int32_t byteCount) = 0;
    virtual void LoadFromFile(const char* name) = 0;
    virtual void ApplyParameters() = 0;
    // transform: 0 identity, 1 transpose, 2 inverse, 3 inverse transpose
    virtual void TrackMatrix(int32_t reg, T3dMatrixKind kind, int32_t transform) = 0;
    virtual void SetMatrixParameter(int32_t reg, const T3dMatrix& m) = 0;
    virtual void SetVectorParameter(int32_t reg, const float v[4]) = 0;
    virtual void SetVector(int32_t reg, float x, float y, float z, float w) = 0;
};

// Saved rectangles of the frame buffer (buffer regions).
class I3dStorageArea : public virtual IInterface {
public:
    virtual void SaveRegion(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    virtual void RestoreRegion(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceX,
                               int32_t sourceY) = 0;
    virtual void SaveAll() = 0;
    virtual void RestoreAll() = 0;
};

// Where GetImageInfo writes what it knows of a face's level-0 image.
struct T3dImageInfo {
    int32_t Width;
    int32_t Height;
    int32_t Depth;
    void* Pixels;
};

// I3dTexture {4585FF82-ADBB-4432-A1CD-3527E176E403}.
class I3dTexture : public virtual IInterface {
public:
    static constexpr TGuid IID = {
        0x4585FF82, 0xADBB, 0x4432, {0xA1, 0xCD, 0x35, 0x27, 0xE1, 0x76, 0xE4, 0x03}};
    virtual void* GetImplementation() = 0;
    virtual void GetDevice(TRefPtr<I3dDevice>& out) = 0;
    virtual void SetDevice(I3dDevice* device) = 0;
    virtual void Setup(const T3dTextureParams& params) = 0;
    virtual void MakeNormalizationCubeMap(int32_t size) = 0;
    virtual void GetSize(int32_t& width, int32_t& height, int32_t& depth) = 0;
    virtual void GetImageInfo(int32_t face, T3dImageInfo& info) = 0;
    virtual void UpdateArea(int32_t ignored1, int32_t ignored2) = 0;
    virtual void UpdateAll() = 0;
    virtual void NotImplemented12() = 0;
    virtual void NotImplemented13() = 0;
    virtual void GetImage(int32_t face, TRefPtr<IFlexibleImage>& out) = 0;
    virtual void SetImage(int32_t face, IFlexibleImage* image) = 0;
    virtual void GetSourceContext(TRefPtr<I3dContext>& out) = 0;
    virtual void Upload() = 0;
    virtual void Regenerate() = 0;
    virtual void Bind() = 0;
    virtual void SetDepthCompare(T3dCompareFunc func) = 0;
    virtual void SetSmooth(bool smooth) = 0;
    virtual bool GetSmooth() = 0;
    virtual void SetWrap(T3dWrapMode wrap) = 0;
    virtual T3dWrapMode GetWrap() = 0;
    virtual void SetFormat(T3dTextureFormat format) = 0;
    virtual T3dTextureFormat GetFormat() = 0;
    virtual void SetKind(T3dTextureKind kind) = 0;
    virtual T3dTextureKind GetKind() = 0;
    virtual void SetQuality(T3dTextureQuality quality) = 0;
    virtual T3dTextureQuality GetQuality() = 0;
    virtual void SetMipMode(T3dMipMode mode) = 0;
    virtual T3dMipMode GetMipMode() = 0;
    virtual void SetCubeFace(uint8_t face) = 0;
    virtual uint8_t GetCubeFace() = 0;
};

// I3dContext {12340603-8F0A-401A-8CCB-A74C14A0D601}: a rendering context. It
// is also what an image binds to for reading buffers (I3dImageContext).
class I3dContext : public virtual I3dImageContext {
public:
    static constexpr TGuid IID = {
        0x12340603, 0x8F0A, 0x401A, {0x8C, 0xCB, 0xA7, 0x4C, 0x14, 0xA0, 0xD6, 0x01}};
    virtual bool MakeCurrent() = 0;
    virtual void Deactivate() = 0;
    virtual void SetViewport(const T3dViewport& viewport) = 0;
    virtual void ResetViewport() = 0;
    virtual void SetTexture(int32_t unit, I3dTexture* texture) = 0;
    virtual void SetCoordGeneration(int32_t unit, T3dTexGenCoord coord, T3dTexGenMode mode,
                                    const float plane[4]) = 0;
    virtual void SetCombineColor(int32_t unit, const T3dColor& color) = 0;
    virtual void SetRGBMode(int32_t unit, T3dCombineSource src0, T3dCombineOperand op0, T3dCombineSource src1,
                            T3dCombineOperand op1, T3dCombineSource src2, T3dCombineOperand op2,
                            T3dCombineFunction func, float scale) = 0;
    virtual void SetAlphaMode(int32_t unit, T3dCombineSource src0, T3dCombineOperand op0,
                              T3dCombineSource src1, T3dCombineOperand op1, T3dCombineSource src2,
                              T3dCombineOperand op2, T3dCombineFunction func, float scale) = 0;
    virtual void SetRGBArgument(int32_t unit, int32_t argument, T3dCombineSource source,
                                T3dCombineOperand operand) = 0;
    virtual void SetRGBFunction(int32_t unit, T3dCombineFunction func) = 0;
    virtual void SetRGBScale(int32_t unit, float scale) = 0;
    virtual void SetAlphaArgument(int32_t unit, int32_t argument, T3dCombineSource source,
                                  T3dCombineOperand operand) = 0;
    virtual void SetAlphaFunction(int32_t unit, T3dCombineFunction func) = 0;
    virtual void SetAlphaScale(int32_t unit, float scale) = 0;
    virtual void* GetImplementation() = 0;
    virtual void EnableStencil(bool enable) = 0;
    virtual void SetStencilFunc(T3dCompareFunc func, int32_t ref, uint32_t mask) = 0;
    virtual void SetStencilMask(uint32_t mask) = 0;
    virtual void SetStencilOp(T3dStencilOp fail, T3dStencilOp depthFail, T3dStencilOp pass) = 0;
    virtual void SetMatrixMode(T3dMatrixKind kind) = 0;
    virtual T3dMatrixKind GetMatrixMode() = 0;
    virtual void Perspective(T3dMatrixKind kind, float fovY, float aspect, float zNear, float zFar) = 0;
    virtual void Ortho(T3dMatrixKind kind, float left, float right, float top, float bottom, float zNear,
                       float zFar) = 0;
    virtual void LoadIdentity(T3dMatrixKind kind) = 0;
    virtual void TranslateMatrix(T3dMatrixKind kind, float x, float y, float z) = 0;
    virtual void RotateMatrix(T3dMatrixKind kind, float angle, float x, float y, float z) = 0;
    virtual void ScaleMatrix(T3dMatrixKind kind, float x, float y, float z) = 0;
    virtual void LookAt(T3dMatrixKind kind, const TVector3& eye, const TVector3& centre,
                        const TVector3& up) = 0;
    virtual void MultMatrix(T3dMatrixKind kind, const T3dMatrix& m) = 0;
    virtual void LoadMatrix(T3dMatrixKind kind, const T3dMatrix& m) = 0;
    virtual void GetMatrix(T3dMatrixKind kind, T3dMatrix& out) = 0;
    virtual void PushMatrix(T3dMatrixKind kind) = 0;
    virtual void PeekMatrix(T3dMatrixKind kind) = 0;
    virtual void PopMatrix(T3dMatrixKind kind) = 0;
    virtual int32_t AllocLight() = 0;
    virtual void FreeLight(int32_t light) = 0;
    virtual void FreeAllLights() = 0;
    virtual void ReleaseLights() = 0;
    virtual int32_t AllocTextureUnit() = 0;
    virtual void FreeTextureUnit(int32_t unit) = 0;
    virtual void FreeAllTextureUnits() = 0;
    virtual void* GetImplementation2() = 0;
    virtual void SetClearValues(const T3dClearValues& values) = 0;
    virtual void SetLineWidth(float width) = 0;
    virtual void SetPointSize(float size) = 0;
    virtual void SetBlendMode(T3dBlendFactor src, T3dBlendFactor dst) = 0;
    virtual void SetBlendEquation(T3dBlendEquation equation) = 0;
    virtual void SetAlphaTest(T3dCompareFunc func, float ref) = 0;
    virtual void SetDepthMode(T3dDepthMode mode) = 0;
    virtual void SetDepthFunc(T3dCompareFunc func) = 0;
    virtual void SetDepthRange(float zNear, float zFar) = 0;
    virtual void GetDepthRange(float& zNear, float& zFar) = 0;
    virtual float GetAspect() = 0;
    virtual float GetFieldOfView() = 0;
    virtual void SetColorMask(bool r, bool g, bool b, bool a) = 0;
    virtual void SetColorMaskAll(bool on) = 0;
    virtual void SetColor(const T3dColor& color) = 0;
    virtual void SetMaterialRecord(const T3dMaterial& material) = 0;
    virtual void SetMaterial(T3dMaterialFace face, const T3dColor& ambient, const T3dColor& diffuse,
                             const T3dColor& specular, const T3dColor& emission, float shininess) = 0;
    virtual void SetMaterialColor(T3dMaterialFace face, T3dColorComponent component,
                                  const T3dColor& color) = 0;
    virtual void SetMaterialShininess(T3dMaterialFace face, float shininess) = 0;
    virtual void EnableClipPlane(int32_t plane, bool enable) = 0;
    virtual void SetClipPlane(int32_t plane, bool eyeSpace, float a, float b, float c, float d) = 0;
    virtual void SetClipPlaneRecord(int32_t plane, bool eyeSpace, const double equation[4]) = 0;
    virtual void EnableLighting(bool enable) = 0;
    virtual void EnableLight(int32_t light, bool enable) = 0;
    virtual void SetLightColor(int32_t light, T3dColorComponent component, const T3dColor& color) = 0;
    virtual void SetLightPosition(int32_t light, const float position[4]) = 0;
    virtual void SetSpotCutoff(int32_t light, float cutoff) = 0;
    virtual void SetSpotExponent(int32_t light, float exponent) = 0;
    virtual void SetSpotDirection(int32_t light, const TVector3& direction) = 0;
    virtual void SetAmbientLight(const T3dColor& color) = 0;
    virtual void SetLocalViewer(bool on) = 0;
    virtual void SetSeparateSpecular(bool on) = 0;
    virtual void SetTwoSidedLighting(bool on) = 0;
    virtual void GetCapabilities(T3dCapabilities& out) = 0;
    virtual void BeginScene() = 0;
    virtual void EndScene() = 0;
    virtual void Clear(uint8_t mask) = 0; // bit 0 colour, bit 1 depth, bit 2 stencil
    virtual void SwapBuffers() = 0;
    virtual I3dDevice* GetDevice() = 0; // not counted
    virtual void SetDevice(I3dDevice* device) = 0;
    virtual T3dWindowHandle GetWindow() = 0;
    virtual void SetWindow(T3dWindowHandle window) = 0;
    virtual bool IsFixedSize() = 0;
    virtual void SetFixedSize(bool fixed) = 0;
    virtual int32_t GetWidth() = 0;
    virtual void SetWidth(int32_t width) = 0;
    virtual int32_t GetHeight() = 0;
    virtual void SetHeight(int32_t height) = 0;
    virtual int32_t GetDepth() = 0;
    virtual void SetDepth(int32_t depth) = 0;
    virtual void Init(const T3dDeviceMode& mode) = 0;
    virtual void ReadFront(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
    virtual void ReadFrontRGBA(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
    virtual void ReadBack(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
    virtual void ReadStencil(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
    virtual void ReadDepth(int32_t x, int32_t y, int32_t width, int32_t height, void* buffer) = 0;
    virtual void GetMode(T3dDeviceMode& out) = 0;
    virtual void ReleaseBuffer() = 0;
};

// I3dOpenglContext {A82E5175-C314-4322-824F-87F7D0C3A2F5}: the OpenGL view of a
// context. The "device context" is the drawing surface the GL context is made
// current on (an SDL window, or an off-screen target).
class I3dOpenglContext : public virtual IInterface {
public:
    static constexpr TGuid IID = {
        0xA82E5175, 0xC314, 0x4322, {0x82, 0x4F, 0x87, 0xF7, 0xD0, 0xC3, 0xA2, 0xF5}};
    virtual void* GetGLContext() = 0;
    virtual void SetGLContext(void* context) = 0;
    virtual void SetDC(void* dc) = 0;
    virtual void* GetDC() = 0;
    virtual uint32_t GetPbuffer() = 0; // the off-screen target (framebuffer object), 0 if none
    virtual int32_t GetPixelFormatIndex() = 0;
    virtual void SetPixelFormatIndex(int32_t index) = 0;
};

// The value source of SetVertexArrays: flags (bit 0 position, bit 1 normal,
// bit 3 colour, bit 5 texture coordinates of unit 1), stride in floats, values.
struct T3dVertexArraySource {
    uint32_t Flags;
    int32_t Stride;
    const float* Values;
};

// Immediate-mode drawing of a context.
class I3dPrimitiveContext : public virtual IInterface {
public:
    virtual void BeginPoly(T3dPrimitiveKind kind) = 0;
    virtual void Vertex3(float x, float y, float z) = 0;
    virtual void Vertex4(float x, float y, float z, float w) = 0;
    virtual void Normal3(float x, float y, float z) = 0;
    virtual void Color4(float r, float g, float b, float a) = 0;
    virtual void ColorPacked(uint32_t argb) = 0;
    virtual void SecondaryColor3(float r, float g, float b, float a) = 0;
    virtual void SecondaryColorPacked(uint32_t argb) = 0;
    virtual void TexCoord1(int32_t unit, float s) = 0;
    virtual void TexCoord2(int32_t unit, float s, float t) = 0;
    virtual void TexCoord3(int32_t unit, float s, float t, float r) = 0;
    virtual void TexCoord4(int32_t unit, float s, float t, float r, float q) = 0;
    virtual void EndPoly() = 0;
    virtual void SetVertexArrays(const T3dVertexArraySource& source) = 0;
    virtual void SetIndexList(I3dValueList* list) = 0;
    virtual void LockVertexList(I3dValueList* list) = 0;
    virtual void UnLockVertexList() = 0;
    virtual void DrawIndexed(const T3dFaceGroup& group) = 0;
};

// I3dDevice {C1084F7D-D675-4869-B002-C79AC4E71F96}: the rendering device.
class I3dDevice : public virtual IInterface {
public:
    static constexpr TGuid IID = {
        0xC1084F7D, 0xD675, 0x4869, {0xB0, 0x02, 0xC7, 0x9A, 0xC4, 0xE7, 0x1F, 0x96}};
    virtual void GetMainContext(TRefPtr<I3dContext>& out) = 0;
    virtual void SetMainContext(I3dContext* context) = 0;
    virtual void MakeContextCurrent(I3dContext* context) = 0;
    virtual void GetCurrentContext(TRefPtr<I3dContext>& out) = 0;
    virtual void PushContext(I3dContext* context) = 0;
    virtual void PopContext() = 0;
    virtual void CreateVertexProgram(TRefPtr<I3dVertexProgram>& out) = 0;
    virtual void SetVertexProgram(I3dVertexProgram* program) = 0;
    virtual void CreateStorageArea(uint8_t bufferMask, TRefPtr<I3dStorageArea>& out) = 0;
    virtual void CreateContext(T3dWindowHandle window, const T3dDeviceMode& mode,
                               TRefPtr<I3dContext>& out) = 0;
    virtual void CreateWindowContext(T3dWindowHandle window, int32_t width, int32_t height, int32_t depth,
                                     T3dContextKind kind, TRefPtr<I3dContext>& out) = 0;
    virtual void CreateBufferContext(T3dWindowHandle window, int32_t width, int32_t height, int32_t depth,
                                     T3dContextKind kind, uint8_t bufferFlags, uint8_t bindFlags,
                                     TRefPtr<I3dContext>& out) = 0;
    virtual void CreateImage(TRefPtr<I3dImage>& out) = 0;
    virtual void CreateContextImage(I3dContext* context, uint8_t componentType, uint8_t pixelFormat,
                                    TRefPtr<I3dImage>& out) = 0;
    virtual void CreateTexture(const T3dTextureParams& params, TRefPtr<I3dTexture>& out) = 0;
    virtual void CreateContextTexture(I3dContext* context, T3dTextureFormat format, TRefPtr<I3dTexture>& out,
                                      uint8_t cubeFlag) = 0;
    virtual void CreateImageTexture(I3dImage* image, TRefPtr<I3dTexture>& out) = 0;
    virtual void CreateNormalizationCubeMap(int32_t size, TRefPtr<I3dTexture>& out) = 0;
    virtual void GetTimer(TRefPtr<ITimer>& out) = 0;
    virtual void CreateObjectBuffer(TRefPtr<I3dObjectBuffer>& out) = 0;
    virtual void SetObjectBuffer(I3dObjectBuffer* buffer) = 0;
    virtual void SetStream(int32_t streamIndex, int32_t slot) = 0;
    virtual void ResetStreams() = 0;
    virtual void SelectIndexList(int32_t index) = 0;
    virtual void DrawFaceGroup(const T3dFaceGroup& group) = 0;
    virtual void DrawFaceList(I3dFaceList* list) = 0;
    virtual void DrawNormals(int32_t positionStream, int32_t normalStream, float length) = 0;
    virtual void DrawArrays(T3dPrimitiveKind primitive, int32_t first, int32_t count) = 0;
    virtual void DrawElements(T3dPrimitiveKind primitive, int32_t ignored1, int32_t ignored2, int32_t first,
                              int32_t count) = 0;
    virtual void BeginArrays() = 0;
    virtual void EndArrays() = 0;
    virtual void LoadTexture(const char* fileName, int32_t ignored1, int32_t ignored2, int32_t ignored3,
                             T3dMipMode mipMode, bool smooth, T3dWrapMode wrap, T3dTextureFormat format,
                             T3dTextureKind kind, bool skip, TRefPtr<I3dTexture>& out) = 0;
};
