// The rendering context on a real GL context (Mesa llvmpipe under Xvfb):
// clears, viewports, matrices, blending, depth, lighting, read-back, error
// messages and the capability record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "Mirel3d/Mirel3dBase/T3dValueList.h"

#include "tests/support/GlTestWindow.h"

#define REQUIRE_GL(w)                                                                                        \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

namespace {

int gActiveTextureCalls = 0;
PFNGLACTIVETEXTUREARBPROC gRealActiveTexture = nullptr;
void CountingActiveTexture(GLenum unit) {
    gActiveTextureCalls++;
    gRealActiveTexture(unit);
}

// Counts glActiveTextureARB calls while alive.
struct ActiveTextureCounter {
    ActiveTextureCounter() {
        gActiveTextureCalls = 0;
        gRealActiveTexture = GL.glActiveTextureARB;
        GL.glActiveTextureARB = CountingActiveTexture;
    }
    ~ActiveTextureCounter() { GL.glActiveTextureARB = gRealActiveTexture; }
};

T3dClearValues ClearColor(float r, float g, float b, float a = 1.0f) {
    T3dClearValues v{};
    v.Flags = 1;
    v.Color = {r, g, b, a};
    return v;
}

} // namespace

TEST(GlDevice, FirstContextIsMainCurrentAndOnTheStack) {
    GlTestWindow w;
    REQUIRE_GL(w);
    EXPECT_EQ(w.Device()->GetStackTop(), 0);
    TRefPtr<I3dContext> main, current;
    w.Device()->GetMainContext(main);
    w.Device()->GetCurrentContext(current);
    EXPECT_EQ(main.Get(), w.Context());
    EXPECT_EQ(current.Get(), w.Context());
    EXPECT_GT(w.GLContext()->GetPixelFormatIndex(), 0);
    T3dDeviceMode mode;
    w.Context()->GetMode(mode);
    EXPECT_EQ(mode.Kind, ckWindow);
    // The probe has run: a compatibility context on Mesa lists these.
    EXPECT_EQ(GLFlags.Multitexture, 6);
    EXPECT_EQ(GLFlags.ARBCombine, 6);
    EXPECT_EQ(GLFlags.CubeMap, 6);
    EXPECT_EQ(GLFlags.Pbuffer, glfUsable);
    EXPECT_TRUE(Usable(GLFlags.RenderTexture));
    EXPECT_EQ(GLFlags.BufferRegion, 0);
    EXPECT_EQ(GLFlags.BlendMatrices, 0);
    T3dCapabilities caps{};
    w.Context()->GetCapabilities(caps);
    ASSERT_NE(caps.Vendor, nullptr);
    ASSERT_NE(caps.Renderer, nullptr);
    EXPECT_GE(caps.TextureUnits, 4);
    EXPECT_EQ(caps.BlendMatrices, 1);
    EXPECT_GT(caps.MaxTextureSize, 0);
    EXPECT_TRUE(caps.Combiners);
    EXPECT_TRUE(caps.CubeMaps);
    EXPECT_GT(caps.MaxCubeMapSize, 0);
    EXPECT_TRUE(caps.ShadowTextures);
    EXPECT_TRUE(caps.RenderToTexture);
    // No storage areas without buffer regions: out stays untouched.
    TRefPtr<I3dStorageArea> area;
    w.Device()->CreateStorageArea(0x0F, area);
    EXPECT_FALSE(area);
}

TEST(GlContext, ClearValuesPerFlagAndReadBack) {
    GlTestWindow w(20, 10);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    T3dClearValues v{};
    v.Flags = 0x07;
    v.Color = {0.0f, 1.0f, 0.0f, 1.0f};
    v.Depth = 0.5;
    v.Stencil = 7;
    c->SetClearValues(v);
    c->Clear(0x07);
    EXPECT_TRUE(NearColor(w.Pixel(3, 3), 0, 255, 0));
    // Read-backs are packed rows (width * height bytes), whatever the width.
    uint8_t depth[3 * 3 + 4];
    std::memset(depth, 0xEE, sizeof depth);
    c->ReadDepth(1, 1, 3, 3, depth);
    EXPECT_NEAR(depth[0], 127, 1);
    EXPECT_NEAR(depth[8], 127, 1);
    EXPECT_EQ(depth[9], 0xEE);
    uint8_t stencil[3 * 3 + 4];
    std::memset(stencil, 0xEE, sizeof stencil);
    c->ReadStencil(0, 0, 3, 3, stencil);
    EXPECT_EQ(stencil[0], 7);
    EXPECT_EQ(stencil[8], 7);
    EXPECT_EQ(stencil[9], 0xEE);
    // Only the flagged values change.
    T3dClearValues colourOnly = ClearColor(0.0f, 0.0f, 1.0f);
    colourOnly.Depth = 1.0;
    c->SetClearValues(colourOnly);
    c->Clear(0x03);
    EXPECT_TRUE(NearColor(w.Pixel(3, 3), 0, 0, 255));
    c->ReadDepth(1, 1, 1, 1, depth);
    EXPECT_NEAR(depth[0], 127, 1);
    // Clear without the colour bit keeps the colour.
    c->SetClearValues(ClearColor(1, 0, 0));
    c->Clear(0x02);
    EXPECT_TRUE(NearColor(w.Pixel(3, 3), 0, 0, 255));
}

TEST(GlContext, SharedContextDrawsIntoMainBuffersAtFixedSize) {
    GlTestWindow w(64, 64);
    REQUIRE_GL(w);
    TRefPtr<I3dContext> shared;
    w.Device()->CreateWindowContext(w.Window(), 16, 8, 1, ckShared, shared);
    ASSERT_TRUE(shared);
    auto sharedGL = QueryAs<I3dOpenglContext>(shared);
    EXPECT_EQ(sharedGL->GetGLContext(), w.GLContext()->GetGLContext());
    EXPECT_EQ(sharedGL->GetDC(), w.GLContext()->GetDC());
    EXPECT_TRUE(shared->IsFixedSize());
    EXPECT_EQ(shared->GetWidth(), 16);
    EXPECT_EQ(w.Device()->GetStackTop(), 0); // not made current by the device

    w.Context()->SetClearValues(ClearColor(0, 0, 0));
    w.Context()->Clear(1);
    w.Device()->PushContext(shared.Get());
    EXPECT_EQ(w.Device()->GetStackTop(), 1);
    // Viewport and scissor are the shared context's fixed size.
    GLint vp[4];
    GL.glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 16);
    EXPECT_EQ(vp[3], 8);
    EXPECT_TRUE(GL.glIsEnabled(GL_SCISSOR_TEST));
    shared->SetClearValues(ClearColor(1, 0, 0));
    shared->Clear(1);
    w.Device()->PopContext();
    GL.glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 64);
    EXPECT_EQ(vp[3], 64);
    EXPECT_FALSE(GL.glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_TRUE(NearColor(w.Pixel(2, 2), 255, 0, 0));
    EXPECT_TRUE(NearColor(w.Pixel(15, 7), 255, 0, 0));
    EXPECT_TRUE(NearColor(w.Pixel(16, 2), 0, 0, 0));
    EXPECT_TRUE(NearColor(w.Pixel(2, 8), 0, 0, 0));
}

TEST(GlContext, ViewportAspectAndDepthRange) {
    GlTestWindow w(40, 20);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    T3dViewport v{};
    v.Flags = 0x03;
    v.X = 0;
    v.Y = 0;
    v.Width = 30;
    v.Height = 10;
    v.DepthNear = 0.25f;
    v.DepthFar = 0.75f;
    c->SetViewport(v);
    EXPECT_FLOAT_EQ(c->GetAspect(), 3.0f);
    float n = 0, f = 0;
    c->GetDepthRange(n, f);
    EXPECT_FLOAT_EQ(n, 0.25f);
    EXPECT_FLOAT_EQ(f, 0.75f);
    // The reset keeps the depth range and restores the window rectangle.
    c->ResetViewport();
    GLint vp[4];
    GL.glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 40);
    EXPECT_EQ(vp[3], 20);
    c->GetDepthRange(n, f);
    EXPECT_FLOAT_EQ(n, 0.25f);
    EXPECT_FLOAT_EQ(c->GetAspect(), 2.0f);
}

TEST(GlContext, MatrixKindIsReselectedAfterGetMatrix) {
    GlTestWindow w;
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    c->LoadIdentity(mkModelview);
    c->LoadIdentity(mkProjection);
    EXPECT_EQ(c->GetMatrixMode(), mkProjection);
    T3dMatrix m;
    c->GetMatrix(mkModelview, m);
    EXPECT_EQ(c->GetMatrixMode(), mkModelview);
    c->Perspective(mkProjection, 90.0f, 1.0f, 1.0f, 10.0f);
    EXPECT_FLOAT_EQ(c->GetFieldOfView(), 90.0f);
    T3dMatrix p, mv;
    c->GetMatrix(mkProjection, p);
    c->GetMatrix(mkModelview, mv);
    EXPECT_NEAR(p.m[0], 1.0f, 1e-5f);
    EXPECT_NEAR(p.m[11], -1.0f, 1e-5f); // the projection got the perspective
    EXPECT_FLOAT_EQ(mv.m[0], 1.0f);
    EXPECT_FLOAT_EQ(mv.m[11], 0.0f); // the model-view did not
    // Translate, rotate, scale, push, peek, pop on the model-view.
    c->TranslateMatrix(mkModelview, 1.0f, 2.0f, 3.0f);
    c->PushMatrix(mkModelview);
    c->ScaleMatrix(mkModelview, 2.0f, 2.0f, 2.0f);
    c->RotateMatrix(mkModelview, 90.0f, 0.0f, 0.0f, 1.0f);
    c->GetMatrix(mkModelview, mv);
    EXPECT_NEAR(mv.m[1], 2.0f, 1e-5f);
    c->PeekMatrix(mkModelview);
    c->GetMatrix(mkModelview, mv);
    EXPECT_FLOAT_EQ(mv.m[0], 1.0f);
    EXPECT_FLOAT_EQ(mv.m[12], 1.0f);
    c->PopMatrix(mkModelview); // the peeked entry is still saved
    c->GetMatrix(mkModelview, mv);
    EXPECT_FLOAT_EQ(mv.m[13], 2.0f);
    // LoadMatrix / MultMatrix / Ortho (top before bottom).
    T3dMatrix t{};
    for (int i = 0; i < 16; i++)
        t.m[i] = i % 5 == 0 ? 1.0f : 0.0f;
    t.m[12] = 5.0f;
    c->LoadMatrix(mkModelview, t);
    c->MultMatrix(mkModelview, t);
    c->GetMatrix(mkModelview, mv);
    EXPECT_FLOAT_EQ(mv.m[12], 10.0f);
    c->LoadIdentity(mkProjection);
    c->Ortho(mkProjection, 0.0f, 2.0f, 2.0f, 0.0f, -1.0f, 1.0f);
    c->GetMatrix(mkProjection, p);
    EXPECT_FLOAT_EQ(p.m[5], 1.0f); // bottom 0, top 2
    // Vertex-blend matrices are unavailable: the kind stays.
    c->SetMatrixMode(mkModelview1);
    EXPECT_EQ(c->GetMatrixMode(), mkProjection);
    c->SetMatrixMode(mkNone);
    EXPECT_EQ(c->GetMatrixMode(), mkNone);
}

TEST(GlContext, TextureMatrixKindSelectsUnitOnlyWhenNeeded) {
    GlTestWindow w;
    REQUIRE_GL(w);
    T3dOpenglContext* c = w.GLContext();
    c->SetMatrixMode(mkTexture1);
    EXPECT_EQ(c->GetCurrentUnit(), 2);
    GLint active = 0;
    GL.glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE1);
    ActiveTextureCounter counter;
    const T3dColor white{1, 1, 1, 1};
    c->SetCombineColor(2, white); // unit 2 already active
    EXPECT_EQ(gActiveTextureCalls, 0);
    c->SetCombineColor(1, white);
    EXPECT_EQ(gActiveTextureCalls, 1);
    EXPECT_EQ(c->GetCurrentUnit(), 1);
    // The texture matrix now current in GL is unit 1's: so is the kind.
    EXPECT_EQ(c->GetMatrixMode(), mkTexture0);
    c->TranslateMatrix(mkTexture0, 0.5f, 0.0f, 0.0f);
    EXPECT_EQ(gActiveTextureCalls, 1);
    T3dMatrix m;
    c->GetMatrix(mkTexture0, m);
    EXPECT_FLOAT_EQ(m.m[12], 0.5f);
    c->GetMatrix(mkTexture1, m);
    EXPECT_FLOAT_EQ(m.m[12], 0.0f);
    // A unit beyond the hardware does nothing.
    c->SetCombineColor(9, white);
    EXPECT_EQ(c->GetCurrentUnit(), 2);
}

TEST(GlContext, CheckGLErrorMessages) {
    GlTestWindow w;
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    try {
        c->PopMatrix(mkModelview);
        FAIL() << "no error";
    } catch (const EMatrixExeption& e) {
        EXPECT_STREQ(e.what(), "PopMatrix failed; errnum:1284");
    }
    try {
        c->SetLineWidth(-1.0f);
        FAIL();
    } catch (const ELineException& e) {
        EXPECT_STREQ(e.what(), "Linewidth failed; errnum:1281");
    }
    try {
        c->SetPointSize(0.0f);
        FAIL();
    } catch (const EPointException& e) {
        EXPECT_STREQ(e.what(), "PointSize failed; errnum:1281");
    }
    // An unchecked operation's error is reported by the next checked one.
    GL.glEnable(0);
    try {
        c->SetDepthMode(dmReadWrite);
        FAIL();
    } catch (const EDepthmodeExeption& e) {
        EXPECT_STREQ(e.what(), "Depthmode Failed; errnum:1280");
    }
    // ...except by SetBlendMode, which clears the flag first.
    GL.glEnable(0);
    c->SetBlendMode(bfOne, bfZero);
    EXPECT_EQ(GL.glGetError(), GLenum(0));
    try {
        CheckGLError<ETextureExeption>("");
        GL.glEnable(0);
        CheckGLError<ETextureExeption>("");
        FAIL();
    } catch (const ETextureExeption& e) {
        EXPECT_STREQ(e.what(), "; errnum:1280");
    }
}

TEST(GlContext, BlendModesAndEquations) {
    GlTestWindow w(16, 16);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    w.Use2D();
    c->SetBlendMode(bfZero, bfZero);
    EXPECT_FALSE(GL.glIsEnabled(GL_BLEND));
    c->SetBlendMode(bfOne, bfZero);
    EXPECT_TRUE(GL.glIsEnabled(GL_BLEND));
    GLint src = 0, dst = 0;
    GL.glGetIntegerv(GL_BLEND_SRC, &src);
    GL.glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(src, GL_ONE);
    EXPECT_EQ(dst, GL_ZERO);

    c->SetClearValues(ClearColor(1, 0, 0));
    c->Clear(1);
    c->SetBlendMode(bfSrcAlpha, bfInvSrcAlpha);
    w.FillRect(0, 0, 16, 16, 0, 0, 1, 0.5f);
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 128, 0, 128, 2));
    // The two "both" factors act as source alpha / inverse source alpha.
    c->Clear(1);
    c->SetBlendMode(bfBothSrcAlpha, bfBothInvSrcAlpha);
    w.FillRect(0, 0, 16, 16, 0, 0, 1, 0.25f);
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 191, 0, 64, 2));
    // Additive, then reverse subtract and min.
    c->SetClearValues(ClearColor(0.5f, 0.5f, 0.5f));
    c->Clear(1);
    c->SetBlendMode(bfOne, bfOne);
    c->SetBlendEquation(beReverseSubtract);
    w.FillRect(0, 0, 16, 16, 0.25f, 0.0f, 1.0f);
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 64, 128, 0, 2)) << std::hex << w.Pixel(8, 8);
    c->Clear(1);
    c->SetBlendEquation(beMin);
    w.FillRect(0, 0, 16, 16, 0.25f, 1.0f, 0.0f);
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 64, 128, 0, 2));
    c->SetBlendEquation(beAdd);
    c->Clear(1);
    w.FillRect(0, 0, 16, 16, 0.25f, 0.25f, 0.25f);
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 191, 191, 191, 2));
}

TEST(GlContext, DepthModesFuncsAndAlphaTest) {
    GlTestWindow w(16, 16);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    w.Use2D();
    T3dClearValues v = ClearColor(0, 0, 0);
    v.Flags = 0x03;
    v.Depth = 1.0;
    c->SetClearValues(v);
    c->Clear(0x03);
    c->SetDepthFunc(cfLess);
    // Read-only: tested but not written.
    c->SetDepthMode(dmReadOnly);
    EXPECT_TRUE(GL.glIsEnabled(GL_DEPTH_TEST));
    GL.glBegin(GL_QUADS);
    GL.glColor3f(1, 0, 0);
    GL.glVertex3f(0, 0, 0.5f);
    GL.glVertex3f(16, 0, 0.5f);
    GL.glVertex3f(16, 16, 0.5f);
    GL.glVertex3f(0, 16, 0.5f);
    GL.glEnd();
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 255, 0, 0));
    uint8_t d = 0;
    c->ReadDepth(4, 4, 1, 1, &d);
    EXPECT_EQ(d, 255);
    // Read-write: the write happens, and a farther quad then fails.
    c->SetDepthMode(dmReadWrite);
    auto quad = [&](float z, float r, float g, float b) {
        GL.glBegin(GL_QUADS);
        GL.glColor3f(r, g, b);
        GL.glVertex3f(0, 0, z);
        GL.glVertex3f(16, 0, z);
        GL.glVertex3f(16, 16, z);
        GL.glVertex3f(0, 16, z);
        GL.glEnd();
    };
    quad(0.5f, 0, 1, 0); // ortho maps z = 0.5 to depth 0.25
    quad(0.0f, 0, 0, 1);
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 0, 255, 0));
    // cfOff leaves the function alone; cfAlways lets the far quad through.
    c->SetDepthFunc(cfOff);
    GLint func = 0;
    GL.glGetIntegerv(GL_DEPTH_FUNC, &func);
    EXPECT_EQ(func, GL_LESS);
    c->SetDepthFunc(cfAlways);
    quad(0.0f, 0, 0, 1);
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 0, 0, 255));
    c->SetDepthMode(dmOff);
    EXPECT_FALSE(GL.glIsEnabled(GL_DEPTH_TEST));
    // Alpha test: cfOff disables it whatever the reference.
    c->SetAlphaTest(cfGreater, 0.5f);
    EXPECT_TRUE(GL.glIsEnabled(GL_ALPHA_TEST));
    w.FillRect(0, 0, 16, 16, 1, 1, 1, 0.25f); // rejected
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 0, 0, 255));
    c->SetAlphaTest(cfOff, 2.0f);
    EXPECT_FALSE(GL.glIsEnabled(GL_ALPHA_TEST));
    w.FillRect(0, 0, 16, 16, 1, 1, 1, 0.25f);
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 255, 255, 255));
    // Colour mask.
    c->SetColorMask(false, true, true, true);
    w.FillRect(0, 0, 16, 16, 0, 0, 0);
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 255, 0, 0));
    c->SetColorMaskAll(true);
}

TEST(GlContext, StencilOperations) {
    GlTestWindow w(16, 16);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    w.Use2D();
    T3dClearValues v = ClearColor(0, 0, 0);
    v.Flags = 0x05;
    v.Stencil = 0;
    c->SetClearValues(v);
    c->Clear(0x05);
    c->EnableStencil(true);
    c->SetStencilFunc(cfAlways, 3, 0xFF);
    c->SetStencilOp(soKeep, soKeep, soReplace);
    c->SetStencilMask(0xFF);
    w.FillRect(0, 0, 8, 16, 0, 0, 0);
    c->SetStencilFunc(cfEqual, 3, 0xFF);
    c->SetStencilOp(soKeep, soKeep, soKeep);
    w.FillRect(0, 0, 16, 16, 1, 1, 0);
    c->EnableStencil(false);
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 255, 255, 0));
    EXPECT_TRUE(NearColor(w.Pixel(12, 4), 0, 0, 0));
    uint8_t s[2];
    c->ReadStencil(4, 4, 1, 1, s);
    c->ReadStencil(12, 4, 1, 1, s + 1);
    EXPECT_EQ(s[0], 3);
    EXPECT_EQ(s[1], 0);
}

TEST(GlContext, LightingAndMaterials) {
    GlTestWindow w(16, 16);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    w.Use2D();
    c->SetClearValues(ClearColor(0, 0, 0));
    c->Clear(1);
    int light = c->AllocLight();
    ASSERT_EQ(light, 1);
    c->EnableLighting(true);
    c->EnableLight(light, true);
    const float dir[4] = {0, 0, 1, 0};
    c->SetLightPosition(light, dir);
    c->SetLightColor(light, ccDiffuse, {1, 1, 1, 1});
    c->SetLightColor(light, ccAmbient, {0, 0, 0, 1});
    c->SetLightColor(light, ccSpecular, {0, 0, 0, 1});
    c->SetAmbientLight({0, 0, 0, 1});
    T3dMaterial m{};
    m.Face = mfFrontAndBack;
    m.Ambient = {0, 0, 0, 1};
    m.Diffuse = {0.5f, 0.25f, 0, 1};
    m.Specular = {0, 0, 0, 1};
    m.Emission = {0, 0, 0.5f, 1};
    m.Shininess = 10.0f;
    c->SetMaterialRecord(m);
    c->SetLocalViewer(false);
    c->SetTwoSidedLighting(false);
    c->SetSeparateSpecular(true);
    GL.glNormal3f(0, 0, 1);
    GL.glBegin(GL_QUADS);
    GL.glVertex2f(0, 0);
    GL.glVertex2f(16, 0);
    GL.glVertex2f(16, 16);
    GL.glVertex2f(0, 16);
    GL.glEnd();
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 128, 64, 128, 2)) << std::hex << w.Pixel(8, 8);
    // A single material colour, then releasing the light switches it off.
    c->SetMaterialColor(mfFrontAndBack, ccEmission, {0, 0, 0, 1});
    c->SetMaterialShininess(mfFront, 5.0f);
    GLfloat e[4];
    GL.glGetMaterialfv(GL_FRONT, GL_EMISSION, e);
    EXPECT_FLOAT_EQ(e[2], 0.0f);
    GLfloat sh = 0;
    GL.glGetMaterialfv(GL_FRONT, GL_SHININESS, &sh);
    EXPECT_FLOAT_EQ(sh, 5.0f);
    c->SetSpotCutoff(light, 45.0f);
    c->SetSpotExponent(light, 2.0f);
    c->SetSpotDirection(light, {0, 0, -1});
    GLfloat cutoff = 0;
    GL.glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, &cutoff);
    EXPECT_FLOAT_EQ(cutoff, 45.0f);
    c->ReleaseLights();
    EXPECT_FALSE(GL.glIsEnabled(GL_LIGHT0));
    EXPECT_EQ(c->AllocLight(), 1);
    c->EnableLighting(false);
    EXPECT_EQ(GL.glGetError(), GLenum(0));
}

TEST(GlContext, ClipPlanesInEyeSpace) {
    GlTestWindow w(16, 16);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    w.Use2D();
    c->SetClearValues(ClearColor(0, 0, 0));
    c->Clear(1);
    c->TranslateMatrix(mkModelview, 100.0f, 0.0f, 0.0f); // would move an object-space plane
    c->SetClipPlane(1, true, -1.0f, 0.0f, 0.0f, 8.0f);   // keep x <= 8 in eye space
    c->EnableClipPlane(1, true);
    c->LoadIdentity(mkModelview);
    w.FillRect(0, 0, 16, 16, 1, 1, 1);
    c->EnableClipPlane(1, false);
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 255, 255, 255));
    EXPECT_TRUE(NearColor(w.Pixel(12, 4), 0, 0, 0));
    double eq[4];
    GL.glGetClipPlane(GL_CLIP_PLANE0, eq);
    EXPECT_DOUBLE_EQ(eq[3], 8.0);
}

TEST(GlContext, ImmediateModeInsideScene) {
    GlTestWindow w(16, 16);
    REQUIRE_GL(w);
    T3dOpenglContext* c = w.GLContext();
    w.Use2D();
    c->SetClearValues(ClearColor(0, 0, 0));
    c->Clear(1);
    c->BeginScene();
    c->BeginPoly(pkQuads);
    c->ColorPacked(0xFF00FF80); // A=FF R=00 G=FF B=80
    c->TexCoord2(1, 0, 0);
    c->TexCoord2(2, 0, 0);
    c->Normal3(0, 0, 1);
    c->Vertex3(0, 0, 0);
    c->Vertex3(16, 0, 0);
    c->Vertex4(16, 16, 0, 1);
    c->Vertex3(0, 16, 0);
    try {
        c->EndScene();
        FAIL();
    } catch (const EEndsceneExeption& e) {
        EXPECT_STREQ(e.what(), "Called Endscene without a EndPoly");
    }
    c->EndPoly();
    c->EndScene();
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 0, 255, 128, 1));
    // Indexed drawing from a value list of indices; a range outside it raises.
    float verts[] = {0, 0, 0, 16, 0, 0, 16, 16, 0, 0, 16, 0};
    T3dVertexArraySource src{0x01, 3, verts};
    c->SetVertexArrays(src);
    TRefPtr<T3dValueList> idx(new T3dValueList);
    idx->SetValueCount(1);
    for (uint32_t i : {0u, 1u, 2u, 3u})
        idx->Add(&i);
    c->SetIndexList(idx.Get());
    c->Color4(1, 0, 0, 1);
    T3dFaceGroup g{};
    g.FirstIndex = 0;
    g.IndexCount = 4;
    g.Primitive = pkQuads;
    c->LockVertexList(idx.Get());
    c->DrawIndexed(g);
    c->UnLockVertexList();
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 255, 0, 0, 1));
    g.FirstIndex = 2;
    EXPECT_THROW(c->DrawIndexed(g), EIndexOutOfRange);
    c->SetVertexArrays({0, 3, verts});
    EXPECT_FALSE(GL.glIsEnabled(GL_VERTEX_ARRAY));
}
