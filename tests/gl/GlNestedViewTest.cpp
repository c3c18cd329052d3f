// Off-screen targets pushed on top of the window's view share its GL context,
// yet what the outer view set up does not reach into a target, what a target
// sets up does not come back out, and after every push and pop the contexts'
// beliefs about active unit and matrix mode are what GL says.
#include <gtest/gtest.h>

#include <functional>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "tests/support/GlTestWindow.h"

namespace {

bool OnUnit(int32_t unit, GLenum cap) {
    GLint active = 0;
    GL.glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    GL.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit - 1));
    const bool on = GL.glIsEnabled(cap) != 0;
    GL.glActiveTextureARB(GLenum(active));
    return on;
}

void ExpectBeliefsMatchGL(T3dOpenglContext* c, const std::string& where) {
    GLint unit = 0, mode = 0;
    GL.glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
    GL.glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(int(unit - GL_TEXTURE0_ARB) + 1, c->GetCurrentUnit()) << where;
    const T3dMatrixKind k = c->GetMatrixMode();
    EXPECT_EQ(mode, k == mkProjection  ? GL_PROJECTION
                    : k == mkModelview ? GL_MODELVIEW
                                       : GL_TEXTURE)
        << where;
}

} // namespace

TEST(GlNestedView, NothingLeaksIntoATargetNorBack) {
    GlTestWindow w(32, 32);
    if (!w.Ok()) GTEST_SKIP() << w.Error();
    T3dOpenGLDevice* device = w.Device();
    I3dContext* main = w.Context();
    TRefPtr<I3dContext> target;
    device->CreateBufferContext(main->GetWindow(), 16, 16, 1, ckPbuffer, 0x10, 0, target);
    ASSERT_TRUE(target);
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->Allocate(nullptr, 2, 3, 0, 1, 2);
    TRefPtr<I3dTexture> texture;
    device->CreateImageTexture(image.Get(), texture);
    texture->Upload();
    TRefPtr<I3dVertexProgram> program;
    device->CreateVertexProgram(program);
    // A piece of state: how a view switches it on and off, and whether it is on.
    struct TRow {
        const char* name;
        std::function<void(I3dContext*, bool)> set;
        std::function<bool()> on;
    };
    auto cap = [](GLenum c) {
        return std::pair{[c](I3dContext*, bool on) { on ? GL.glEnable(c) : GL.glDisable(c); },
                         [c] { return GL.glIsEnabled(c) != 0; }};
    };
    const TRow rows[] = {
        {"blending",
         [](I3dContext* c, bool on) {
             c->SetBlendMode(on ? bfSrcAlpha : bfZero, on ? bfInvSrcAlpha : bfZero);
         },
         [] { return GL.glIsEnabled(GL_BLEND) != 0; }},
        {"register combiners", cap(GL_REGISTER_COMBINERS_NV).first, cap(GL_REGISTER_COMBINERS_NV).second},
        {"texture on unit 2", [&](I3dContext* c, bool on) { c->SetTexture(2, on ? texture.Get() : nullptr); },
         [] { return OnUnit(2, GL_TEXTURE_2D); }},
        {"vertex program",
         [&](I3dContext*, bool on) { device->SetVertexProgram(on ? program.Get() : nullptr); },
         [&] { return device->GetBoundProgram() && GL.glIsEnabled(GL_VERTEX_PROGRAM_NV); }},
    };
    for (const TRow& row : rows)
        for (bool outer : {true, false}) {
            const std::string what = std::string(row.name) + (outer ? " on outside" : " off outside");
            row.set(main, outer);
            main->SetMatrixMode(mkTexture0);
            main->SetTexture(4, nullptr); // unit 4 active
            device->PushContext(target.Get());
            EXPECT_FALSE(row.on()) << what << ": reached into the target";
            ExpectBeliefsMatchGL(w.GLContext(), what);
            row.set(target.Get(), true);
            target->SetMatrixMode(mkProjection);
            target->SetTexture(2, nullptr);
            device->PopContext();
            EXPECT_EQ(row.on(), outer) << what << ": the outer view's state was not restored";
            ExpectBeliefsMatchGL(w.GLContext(), what);
            row.set(main, false);
        }
}
