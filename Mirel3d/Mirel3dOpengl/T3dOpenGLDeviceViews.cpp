// The device's context stack and the vertex-program selection.
//
// Off-screen targets are framebuffer objects on the main GL context, not
// pbuffers with a GL state of their own. A nested view (a shadow map or a
// cube face drawn while the main view is half set up) would otherwise see
// every enable, texture binding, blend, combiner and vertex program of the
// view around it, and leave its own behind when it ends. So when a target is
// pushed on top of a context that draws with the same GL context, the outer
// view's state is saved (the GL attribute stacks, the vertex program, the
// contexts' shared belief about matrix mode, active unit and unit targets),
// the target starts from a plain state, and popping it brings the outer
// view's state back exactly.
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"

#include <algorithm>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"

namespace {

// The attribute stacks are at least 16 deep; the NV emulation mirrors 16.
constexpr int32_t kMaxNestedViews = 15;

T3dOpenglContext* Implementation(I3dContext* c) {
    return c ? static_cast<T3dOpenglContext*>(c->GetImplementation()) : nullptr;
}

} // namespace

void T3dOpenGLDevice::CreateVertexProgram(TRefPtr<I3dVertexProgram>& out) {
    if (GVertexProgramFactory) GVertexProgramFactory(this, out);
}

void T3dOpenGLDevice::SetVertexProgram(I3dVertexProgram* program) {
    BoundProgram = program;
    if (!program) {
        GL.glDisable(GL_VERTEX_PROGRAM_NV);
        return;
    }
    GL.glEnable(GL_VERTEX_PROGRAM_NV);
    auto gl = QueryAs<I3dOpenglVertexProgram>(program);
    if (gl && GL.glBindProgramNV) GL.glBindProgramNV(GL_VERTEX_PROGRAM_NV, gl->GetProgramId());
    program->ApplyParameters();
}

// Two contexts share one GL state when they draw with the same GL context
// into different surfaces (the window and a framebuffer object).
bool T3dOpenGLDevice::SharesGLState(I3dContext* a, I3dContext* b) const {
    if (!a || !b || a == b) return false;
    auto ga = QueryAs<I3dOpenglContext>(a);
    auto gb = QueryAs<I3dOpenglContext>(b);
    return ga && gb && ga->GetGLContext() && ga->GetGLContext() == gb->GetGLContext() &&
           ga->GetDC() != gb->GetDC();
}

// Called while the outer view's framebuffer is still bound: the colour-buffer
// attributes (draw and read buffer) belong to the framebuffer they were saved
// with.
void T3dOpenGLDevice::SaveOuterView(TNestedView& view) {
    view.Saved = true;
    view.GLContext = QueryAs<I3dOpenglContext>(CurrentContext)->GetGLContext();
    view.Cache = Implementation(CurrentContext.Get())->StateCache();
    view.Program = BoundProgram;
    std::copy(std::begin(SlotBound), std::end(SlotBound), std::begin(view.SlotBound));
    GL.glPushAttrib(GL_ALL_ATTRIB_BITS);
    GL.glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    NestedDepth++;
}

// Called once the outer view's framebuffer is bound again.
void T3dOpenGLDevice::RestoreOuterView(TNestedView& view) {
    view.Saved = false;
    NestedDepth--;
    // The saved state lives on the GL context it was saved on; a stack that
    // returns to a context of another GL context has nothing to restore.
    auto gl = QueryAs<I3dOpenglContext>(CurrentContext);
    if (!gl || gl->GetGLContext() != view.GLContext) {
        view.Program.Reset();
        return;
    }
    GL.glPopClientAttrib();
    GL.glPopAttrib();
    std::copy(std::begin(view.SlotBound), std::end(view.SlotBound), std::begin(SlotBound));
    Implementation(CurrentContext.Get())->StateCache() = view.Cache;
    // The program binding is no attribute: select the outer view's again
    // (its enable came back with the attributes).
    if (BoundProgram.Get() != view.Program.Get()) {
        BoundProgram = view.Program;
        auto program = QueryAs<I3dOpenglVertexProgram>(view.Program.Get());
        if (program && GL.glBindProgramNV) {
            GL.glBindProgramNV(GL_VERTEX_PROGRAM_NV, program->GetProgramId());
            view.Program->ApplyParameters();
        }
    }
    view.Program.Reset();
}

// The plain state a nested view starts from: what a fresh off-screen target
// has, with depth testing on as every target is made.
void T3dOpenGLDevice::ResetViewState() {
    T3dOpenglContext* c = Implementation(CurrentContext.Get());
    static const GLenum off[] = {GL_BLEND, GL_ALPHA_TEST,          GL_STENCIL_TEST,   GL_LIGHTING,
                                 GL_FOG,   GL_POLYGON_OFFSET_FILL, GL_COLOR_MATERIAL, GL_NORMALIZE};
    for (GLenum cap : off)
        GL.glDisable(cap);
    if (Usable(GLFlags.RegisterCombiners)) GL.glDisable(GL_REGISTER_COMBINERS_NV);
    if (Usable(GLFlags.RegisterCombiners2)) GL.glDisable(GL_PER_STAGE_CONSTANTS_NV);
    if (Usable(GLFlags.VertexProgram)) GL.glDisable(GL_VERTEX_PROGRAM_NV);
    BoundProgram.Reset();

    T3dCapabilities caps{};
    c->GetCapabilities(caps);
    int32_t units = Usable(GLFlags.Multitexture) ? std::min(caps.TextureUnits, 8) : 1;
    for (int32_t u = units; u >= 1; u--) {
        if (Usable(GLFlags.Multitexture)) GL.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u - 1));
        GL.glDisable(GL_TEXTURE_1D);
        GL.glDisable(GL_TEXTURE_2D);
        if (Usable(GLFlags.Texture3D)) GL.glDisable(GL_TEXTURE_3D);
        if (Usable(GLFlags.CubeMap)) GL.glDisable(GL_TEXTURE_CUBE_MAP_ARB);
        GL.glDisable(GL_TEXTURE_GEN_S);
        GL.glDisable(GL_TEXTURE_GEN_T);
        GL.glDisable(GL_TEXTURE_GEN_R);
        GL.glDisable(GL_TEXTURE_GEN_Q);
    }
    GL.glEnable(GL_DEPTH_TEST);
    GL.glDepthMask(GL_TRUE);
    GL.glDepthFunc(GL_LESS);
    GL.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    GL.glMatrixMode(GL_MODELVIEW);
    T3dGLStateCache& cache = c->StateCache();
    cache = T3dGLStateCache();
    cache.MatrixKind = mkModelview;
    cache.CurrentUnit = 1;
    ResetStreams();
}

// The stack holds at most 33 entries; pushing beyond or popping an empty
// stack is refused with an error instead of writing outside it.
void T3dOpenGLDevice::PushContext(I3dContext* c) {
    if (StackTop >= 32) throw Exception("Context stack overflow");
    TNestedView& view = Nested[StackTop + 1];
    view.Saved = false;
    bool nest = NestedDepth < kMaxNestedViews && SharesGLState(CurrentContext.Get(), c);
    if (nest) SaveOuterView(view);
    StackTop++;
    ContextStack[StackTop] = c;
    MakeContextCurrent(c);
    if (nest) ResetViewState();
}

void T3dOpenGLDevice::PopContext() {
    if (StackTop < 0) throw Exception("Context stack underflow");
    TNestedView& view = Nested[StackTop];
    ContextStack[StackTop].Reset();
    StackTop--;
    MakeContextCurrent(StackTop >= 0 ? ContextStack[StackTop].Get() : nullptr);
    if (view.Saved) RestoreOuterView(view);
}
