// Off-screen targets pushed on top of the window's view: they share its GL
// context, yet what the outer view has set up does not reach into a target,
// what a target sets up does not come back out, and after every push and pop
// the contexts' beliefs about matrix mode, active unit and unit targets are
// what GL says.
#include <gtest/gtest.h>

#include <functional>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"
#include "Mirel3d/Mirel3dOpengl/NvCombinerState.h"
#include "tests/support/GlTestWindow.h"

namespace {

bool EnabledOnUnit(int32_t unit, GLenum cap) {
    GLint active = 0;
    GL.glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    GL.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + unit - 1));
    const bool on = GL.glIsEnabled(cap) != 0;
    GL.glActiveTextureARB(GLenum(active));
    return on;
}

void ExpectBeliefsMatchGL(T3dOpenglContext* c, const char* where) {
    GLint unit = 0, mode = 0;
    GL.glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
    GL.glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(int(unit - GL_TEXTURE0_ARB) + 1, c->GetCurrentUnit()) << where;
    const T3dMatrixKind kind = c->GetMatrixMode();
    if (kind == mkProjection) {
        EXPECT_EQ(mode, GL_PROJECTION) << where;
    } else if (kind == mkModelview) {
        EXPECT_EQ(mode, GL_MODELVIEW) << where;
    } else if (kind >= mkTexture0 && kind <= mkTexture7) {
        EXPECT_EQ(mode, GL_TEXTURE) << where;
        EXPECT_EQ(int(kind - mkTexture0) + 1, c->GetCurrentUnit()) << where;
    }
}

TRefPtr<I3dTexture> Texture(I3dDevice* device, T3dTextureKind kind) {
    TRefPtr<I3dImage> image;
    device->CreateImage(image);
    image->Allocate(nullptr, 2, 3, 0, 1, 2);
    T3dTextureParams p;
    p.Images[0] = image.Get();
    if (kind == tkCubeMap)
        for (int f = 1; f < 6; f++)
            p.Images[f] = image.Get();
    p.Format = tfRGBA;
    p.Kind = kind;
    TRefPtr<I3dTexture> t;
    device->CreateTexture(p, t);
    t->Upload();
    return t;
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
    TRefPtr<I3dTexture> flat = Texture(device, tk2D), cube = Texture(device, tkCubeMap);
    TRefPtr<I3dVertexProgram> program;
    device->CreateVertexProgram(program);
    const float plane[4] = {0, 0, 0, 0};

    // Each row: a piece of state, how a view switches it on, and whether it
    // is on. What the outer view set must not be on in the target; what the
    // target set must be gone after the pop, and the outer view's back.
    struct TRow {
        const char* name;
        std::function<void(I3dContext*)> set;
        std::function<bool()> on;
    };
    std::vector<TRow> rows = {
        {"blending", [](I3dContext* c) { c->SetBlendMode(bfSrcAlpha, bfInvSrcAlpha); },
         [] { return GL.glIsEnabled(GL_BLEND) != 0; }},
        {"lighting", [](I3dContext* c) { c->EnableLighting(true); },
         [] { return GL.glIsEnabled(GL_LIGHTING) != 0; }},
        {"2D texture on unit 2", [&](I3dContext* c) { c->SetTexture(2, flat.Get()); },
         [] { return EnabledOnUnit(2, GL_TEXTURE_2D); }},
        {"cube texture on unit 1", [&](I3dContext* c) { c->SetTexture(1, cube.Get()); },
         [] { return EnabledOnUnit(1, GL_TEXTURE_CUBE_MAP_ARB); }},
        {"sphere map on unit 3", [&](I3dContext* c) { c->SetCoordGeneration(3, gcS, tgSphereMap, plane); },
         [] { return EnabledOnUnit(3, GL_TEXTURE_GEN_S); }},
        {"register combiners", [](I3dContext*) { GL.glEnable(GL_REGISTER_COMBINERS_NV); },
         [] { return GL.glIsEnabled(GL_REGISTER_COMBINERS_NV) != 0; }},
        {"vertex program", [&](I3dContext*) { device->SetVertexProgram(program.Get()); },
         [&] { return device->GetBoundProgram() != nullptr && GL.glIsEnabled(GL_VERTEX_PROGRAM_NV); }},
        {"polygon offset", [](I3dContext*) { GL.glEnable(GL_POLYGON_OFFSET_FILL); },
         [] { return GL.glIsEnabled(GL_POLYGON_OFFSET_FILL) != 0; }},
    };
    for (const TRow& row : rows) {
        // The outer view: on, with a texture unit and matrix kind of its own.
        row.set(main);
        main->SetMatrixMode(mkTexture0);
        main->SetTexture(4, nullptr);
        ASSERT_TRUE(row.on()) << row.name;
        device->PushContext(target.Get());
        EXPECT_FALSE(row.on()) << row.name << " reached into the target";
        ExpectBeliefsMatchGL(w.GLContext(), row.name);
        // The target sets it and moves unit and matrix kind.
        row.set(target.Get());
        target->SetMatrixMode(mkProjection);
        target->SetTexture(2, nullptr);
        ExpectBeliefsMatchGL(w.GLContext(), row.name);
        device->PopContext();
        EXPECT_TRUE(row.on()) << row.name << " of the outer view was lost";
        ExpectBeliefsMatchGL(w.GLContext(), row.name);
        // Off in the outer view, on in the target: off again after the pop.
        device->SetVertexProgram(nullptr);
        GL.glDisable(GL_BLEND);
        GL.glDisable(GL_LIGHTING);
        GL.glDisable(GL_REGISTER_COMBINERS_NV);
        GL.glDisable(GL_POLYGON_OFFSET_FILL);
        for (int32_t unit = 1; unit <= 4; unit++) {
            main->SetTexture(unit, nullptr);
            main->SetCoordGeneration(unit, gcS, tgOff, plane);
        }
        ASSERT_FALSE(row.on()) << row.name;
        device->PushContext(target.Get());
        row.set(target.Get());
        device->PopContext();
        EXPECT_FALSE(row.on()) << row.name << " leaked out of the target";
        ExpectBeliefsMatchGL(w.GLContext(), row.name);
    }
}

// The combiner stages and constants a target programs are gone after the
// pop (the outer view's come back).
TEST(GlNestedView, CombinerStateComesBackAfterATarget) {
    GlTestWindow w(32, 32);
    if (!w.Ok()) GTEST_SKIP() << w.Error();
    if (!NvCombinersEmulated()) GTEST_SKIP() << "the driver's own combiners";
    T3dOpenGLDevice* device = w.Device();
    TRefPtr<I3dContext> target;
    device->CreateBufferContext(w.Context()->GetWindow(), 16, 16, 1, ckPbuffer, 0x10, 0, target);
    GL.glCombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, 2);
    GL.glFinalCombinerInputNV(GL_VARIABLE_B_NV, GL_SPARE1_NV, GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    const NvCombinerState outer = *NvEmulationCombinerState();
    device->PushContext(target.Get());
    GL.glCombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, 5);
    GL.glFinalCombinerInputNV(GL_VARIABLE_B_NV, GL_PRIMARY_COLOR_NV, GL_UNSIGNED_IDENTITY_NV, GL_RGB);
    const float red[4] = {1, 0, 0, 1};
    GL.glCombinerParameterfvNV(GL_CONSTANT_COLOR0_NV, red);
    device->PopContext();
    const NvCombinerState* back = NvEmulationCombinerState();
    EXPECT_EQ(back->numStages, outer.numStages);
    EXPECT_EQ(back->final[1].input, outer.final[1].input);
    EXPECT_EQ(back->constant[0][0], outer.constant[0][0]);
}
