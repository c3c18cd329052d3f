// T3dOpenGLDevice: the rendering device on OpenGL. Owns every context made for
// a window, keeps the small context stack and the current context, chooses
// pixel formats, switches to full screen through SDL, and makes contexts,
// images, textures, vertex programs and object buffers. It also holds the
// stream state of the vertex-array drawing operations.
#pragma once

#include <memory>
#include <vector>

#include "Mirel3d/Mirel3dBase/Mirel3dExceptions.h"
#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"
#include "Mirel3d/Mirel3dOpengl/T3dPixelformat.h"

class T3dOpenglSystemObjectBuffer;
struct TVertexProgramShare;

// Creates the vertex-program object of the device; the vertex-program module
// installs it (null until then: CreateVertexProgram leaves out untouched).
using T3dVertexProgramFactory = void (*)(I3dDevice* device, TRefPtr<I3dVertexProgram>& out);
extern T3dVertexProgramFactory GVertexProgramFactory;

// What a vertex program offers the device privately: its GL program name.
class I3dOpenglVertexProgram : public virtual IInterface {
public:
    virtual uint32_t GetProgramId() = 0;
};

// The device's private interface.
class I3dOpenglDevice : public virtual IInterface {
public:
    virtual T3dPixelformats* GetPixelFormats(void* dc) = 0;
    // The full-screen display change: true the first time only.
    virtual bool GetDisplayChanger() = 0;
};

class T3dOpenGLDevice : public TInterfacedObject, public I3dDevice, public I3dOpenglDevice {
public:
    T3dOpenGLDevice();
    ~T3dOpenGLDevice() override;

    // I3dDevice
    void GetMainContext(TRefPtr<I3dContext>& out) override { out = MainContext; }
    void SetMainContext(I3dContext* context) override { MainContext = context; }
    void MakeContextCurrent(I3dContext* context) override;
    void GetCurrentContext(TRefPtr<I3dContext>& out) override { out = CurrentContext; }
    void PushContext(I3dContext* context) override;
    void PopContext() override;
    void CreateVertexProgram(TRefPtr<I3dVertexProgram>& out) override;
    void SetVertexProgram(I3dVertexProgram* program) override;
    void CreateStorageArea(uint8_t bufferMask, TRefPtr<I3dStorageArea>& out) override;
    void CreateContext(T3dWindowHandle window, const T3dDeviceMode& mode, TRefPtr<I3dContext>& out) override;
    void CreateWindowContext(T3dWindowHandle window, int32_t width, int32_t height, int32_t depth,
                             T3dContextKind kind, TRefPtr<I3dContext>& out) override;
    void CreateBufferContext(T3dWindowHandle window, int32_t width, int32_t height, int32_t depth,
                             T3dContextKind kind, uint8_t bufferFlags, uint8_t bindFlags,
                             TRefPtr<I3dContext>& out) override;
    void CreateImage(TRefPtr<I3dImage>& out) override;
    void CreateContextImage(I3dContext* context, uint8_t componentType, uint8_t pixelFormat,
                            TRefPtr<I3dImage>& out) override;
    void CreateTexture(const T3dTextureParams& params, TRefPtr<I3dTexture>& out) override;
    void CreateContextTexture(I3dContext* context, T3dTextureFormat format, TRefPtr<I3dTexture>& out,
                              uint8_t cubeFlag) override;
    void CreateImageTexture(I3dImage* image, TRefPtr<I3dTexture>& out) override;
    void CreateNormalizationCubeMap(int32_t size, TRefPtr<I3dTexture>& out) override;
    void GetTimer(TRefPtr<ITimer>& out) override;
    void CreateObjectBuffer(TRefPtr<I3dObjectBuffer>& out) override;
    void SetObjectBuffer(I3dObjectBuffer* buffer) override;
    void SetStream(int32_t streamIndex, int32_t slot) override;
    void ResetStreams() override;
    void SelectIndexList(int32_t index) override;
    void DrawFaceGroup(const T3dFaceGroup& group) override;
    void DrawFaceList(I3dFaceList* list) override;
    void DrawNormals(int32_t positionStream, int32_t normalStream, float length) override;
    void DrawArrays(T3dPrimitiveKind primitive, int32_t first, int32_t count) override;
    void DrawElements(T3dPrimitiveKind primitive, int32_t ignored1, int32_t ignored2, int32_t first,
                      int32_t count) override;
    void BeginArrays() override;
    void EndArrays() override;
    void LoadTexture(const char* fileName, int32_t ignored1, int32_t ignored2, int32_t ignored3,
                     T3dMipMode mipMode, bool smooth, T3dWrapMode wrap, T3dTextureFormat format,
                     T3dTextureKind kind, bool skip, TRefPtr<I3dTexture>& out) override;

    // I3dOpenglDevice
    T3dPixelformats* GetPixelFormats(void* dc) override;
    bool GetDisplayChanger() override;

    // For tests and tools.
    int32_t GetStackTop() const { return StackTop; }
    int32_t GetContextCount() const { return int32_t(Contexts.size()); }
    bool IsSlotBound(int32_t slot) const { return slot >= 0 && slot < 29 && SlotBound[slot]; }

    // The vertex program last selected with SetVertexProgram (null: none).
    I3dVertexProgram* GetBoundProgram() const { return BoundProgram.Get(); }

    // The GL program objects this device's vertex programs share by text
    // (made with the first program; the programs keep it as long as they live).
    std::shared_ptr<TVertexProgramShare> VertexProgramShare;

private:
    // A nested view: an off-screen target pushed on top of a context that
    // draws with the same GL context. What the outer view had set up is
    // saved when the target is pushed and comes back when it is popped.
    struct TNestedView {
        bool Saved = false;
        void* GLContext = nullptr;
        T3dGLStateCache Cache;
        TRefPtr<I3dVertexProgram> Program;
        bool SlotBound[29] = {};
    };
    bool SharesGLState(I3dContext* a, I3dContext* b) const;
    void PruneTargets();
    void SaveOuterView(TNestedView& view);
    void RestoreOuterView(TNestedView& view);
    void ResetViewState();

    TRefPtr<I3dContext> ContextStack[33];
    TNestedView Nested[33];
    int32_t NestedDepth = 0;
    TRefPtr<I3dVertexProgram> BoundProgram;
    int32_t StackTop = -1;
    TRefPtr<I3dContext> CurrentContext;
    bool ArraysLocked = false;
    std::unique_ptr<T3dOpenglPixelformats> PixelFormats;
    bool DisplayChanged = false;
    TRefPtr<I3dContext> MainContext;
    std::vector<TRefPtr<I3dContext>> Contexts;
    TRefPtr<ITimer> Timer;
    // Stream state.
    TRefPtr<I3dObjectBuffer> ObjectBuffer;
    T3dOpenglSystemObjectBuffer* ObjectBufferImpl = nullptr;
    const uint32_t* IndexData = nullptr;
    int32_t IndexCount = 0;
    bool SlotBound[29] = {};
};

// The GLX extension list of the display a drawing surface (SDL window) runs on.
const char* WindowSystemExtensions(void* dc);

// Sets SDL's OpenGL attributes for a window the device will draw into: RGBA
// with 8 bits each, 24-bit depth, 8-bit stencil, double-buffered. Call it
// before creating the SDL window: the window's visual decides the buffers.
void SetWindowGLAttributes();
