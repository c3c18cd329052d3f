// Device rules on a real GL context: the context stack, off-screen requests
// that become shared contexts, the timer, LoadTexture through the flexible
// streams, volume textures, coordinate generation and DrawNormals.
#include <gtest/gtest.h>

#include "data/FlexibleStream.h"
#include "demo/core/HiResTimer.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglTexture.h"
#include "tests/support/GlTestWindow.h"
#include "tests/support/TestSupport.h"

#define REQUIRE_GL(w)                                                                                        \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

TEST(GlDevice, ContextStackBoundsAndTimer) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    T3dOpenGLDevice* d = w.Device();
    for (int i = 1; i <= 32; i++)
        d->PushContext(w.Context());
    EXPECT_EQ(d->GetStackTop(), 32);
    EXPECT_THROW(d->PushContext(w.Context()), Exception);
    for (int i = 0; i < 33; i++)
        d->PopContext();
    EXPECT_EQ(d->GetStackTop(), -1);
    TRefPtr<I3dContext> current;
    d->GetCurrentContext(current);
    EXPECT_FALSE(current);
    EXPECT_THROW(d->PopContext(), Exception);
    d->MakeContextCurrent(w.Context());
    TRefPtr<ITimer> timer;
    d->GetTimer(timer);
    EXPECT_TRUE(timer);
    // The display change happens for the first full-screen context only; the
    // pixel-format list is made once and kept.
    EXPECT_TRUE(d->GetDisplayChanger());
    EXPECT_FALSE(d->GetDisplayChanger());
    T3dPixelformats* formats = d->GetPixelFormats(w.Window());
    EXPECT_GT(formats->Count(), 0);
    EXPECT_EQ(d->GetPixelFormats(nullptr), formats);
    // Without the vertex-program module the factory leaves out untouched.
    if (!GVertexProgramFactory) {
        TRefPtr<I3dVertexProgram> vp;
        d->CreateVertexProgram(vp);
        EXPECT_FALSE(vp);
    }
}

TEST(GlDevice, OffscreenRequestsBecomeSharedWhenNotAllowed) {
    GlTestWindow w(32, 32);
    REQUIRE_GL(w);
    T3dDeviceMode m{};
    m.Width = 8;
    m.Height = 8;
    m.Kind = ckPbuffer;
    m.NoOffscreen = true;
    TRefPtr<I3dContext> c;
    w.Device()->CreateContext(w.Window(), m, c);
    auto gl = QueryAs<I3dOpenglContext>(c);
    EXPECT_EQ(gl->GetPbuffer(), 0u);
    EXPECT_EQ(gl->GetDC(), w.GLContext()->GetDC());
    // Without the off-screen capability as well.
    uint8_t saved = GLFlags.Pbuffer;
    GLFlags.Pbuffer = 0;
    m.NoOffscreen = false;
    TRefPtr<I3dContext> c2;
    w.Device()->CreateContext(w.Window(), m, c2);
    GLFlags.Pbuffer = saved;
    EXPECT_EQ(QueryAs<I3dOpenglContext>(c2)->GetPbuffer(), 0u);
    // A real off-screen request gets its own target; a zero size is refused.
    m.Kind = ckRenderTexture;
    TRefPtr<I3dContext> c3;
    w.Device()->CreateContext(w.Window(), m, c3);
    EXPECT_NE(QueryAs<I3dOpenglContext>(c3)->GetPbuffer(), 0u);
    m.Width = 0;
    TRefPtr<I3dContext> c4;
    EXPECT_THROW(w.Device()->CreateContext(w.Window(), m, c4), EPBufferException);
    EXPECT_EQ(w.Device()->GetContextCount(), 4); // the refused one is not kept
}

TEST(GlDevice, LoadTextureThroughTheStreams) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    TempDir dir;
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->Allocate(nullptr, 4, 2, 0, 1, 2);
    std::fill_n(static_cast<uint8_t*>(image->GetData()), 4 * 2 * 3, uint8_t(200));
    ASSERT_TRUE(image->SaveToFile(dir.File("pic.tga").c_str(), 0));
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetPath(dir.Path() + "/");
    TRefPtr<I3dTexture> t;
    w.Device()->LoadTexture("pic.tga", 0, 0, 0, mmNone, true, wmRepeat, tfNone, tkNone, true, t);
    EXPECT_FALSE(t); // skipped
    w.Device()->LoadTexture("pic.tga", 0, 0, 0, mmGenerate, true, wmRepeat, tfNone, tkNone, false, t);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->GetKind(), tk2D);
    EXPECT_EQ(t->GetFormat(), tfRGB);
    int32_t width, height, depth;
    t->GetSize(width, height, depth);
    EXPECT_EQ(width, 4);
    EXPECT_EQ(height, 2);
    t->Upload();
    EXPECT_EQ(GL.glGetError(), GLenum(0));
    EXPECT_THROW(
        w.Device()->LoadTexture("missing.tga", 0, 0, 0, mmNone, true, wmRepeat, tfNone, tkNone, false, t),
        Exception);
    TFlexibleStream::ResetSettings();
}

TEST(GlDevice, VolumeTextureSamplesSlices) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    w.Use2D();
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->Allocate(nullptr, 2, 2, 0, 2, 2); // 2 x 2 x 2 RGB
    uint8_t* p = static_cast<uint8_t*>(image->GetData());
    for (int i = 0; i < 8; i++) {
        p[3 * i] = i < 4 ? 255 : 0;
        p[3 * i + 1] = 0;
        p[3 * i + 2] = i < 4 ? 0 : 255;
    }
    TRefPtr<I3dTexture> t;
    w.Device()->CreateImageTexture(image.Get(), t);
    EXPECT_EQ(t->GetKind(), tk3D);
    t->SetSmooth(false);
    t->Upload();
    w.Context()->SetTexture(1, t.Get());
    auto sample = [&](float r) {
        GL.glBegin(GL_QUADS);
        GL.glTexCoord3f(0.5f, 0.5f, r);
        GL.glVertex2f(0, 0);
        GL.glVertex2f(8, 0);
        GL.glVertex2f(8, 8);
        GL.glVertex2f(0, 8);
        GL.glEnd();
        return w.Pixel(4, 4);
    };
    EXPECT_TRUE(NearColor(sample(0.25f), 255, 0, 0));
    EXPECT_TRUE(NearColor(sample(0.75f), 0, 0, 255));
    // UpdateAll re-sends the volume.
    p[3 * 4 + 1] = p[3 * 5 + 1] = p[3 * 6 + 1] = p[3 * 7 + 1] = 255;
    t->UpdateAll();
    EXPECT_TRUE(NearColor(sample(0.75f), 0, 255, 255));
}

TEST(GlDevice, CoordinateGenerationAndNormals) {
    GlTestWindow w(16, 16);
    REQUIRE_GL(w);
    w.Use2D();
    I3dContext* c = w.Context();
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->Allocate(nullptr, 2, 2, 0, 1, 1);
    const uint8_t texels[6] = {255, 0, 0, 0, 255, 0};
    std::copy(texels, texels + 6, static_cast<uint8_t*>(image->GetData()));
    TRefPtr<I3dTexture> t;
    w.Device()->CreateImageTexture(image.Get(), t);
    t->SetSmooth(false);
    t->SetWrap(wmClampToEdge);
    t->Upload();
    c->SetTexture(1, t.Get());
    // s = x / 16 in object space.
    const float plane[4] = {1.0f / 16.0f, 0, 0, 0};
    const float tplane[4] = {0, 0, 0, 0.5f};
    c->SetCoordGeneration(1, gcS, tgObjectLinear, plane);
    c->SetCoordGeneration(1, gcT, tgObjectLinear, tplane);
    EXPECT_TRUE(GL.glIsEnabled(GL_TEXTURE_GEN_S));
    GLint mode = 0;
    GL.glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_OBJECT_LINEAR);
    GL.glBegin(GL_QUADS);
    GL.glVertex2f(0, 0);
    GL.glVertex2f(16, 0);
    GL.glVertex2f(16, 16);
    GL.glVertex2f(0, 16);
    GL.glEnd();
    EXPECT_TRUE(NearColor(w.Pixel(3, 8), 255, 0, 0));
    EXPECT_TRUE(NearColor(w.Pixel(12, 8), 0, 255, 0));
    c->SetCoordGeneration(1, gcS, tgOff, plane);
    c->SetCoordGeneration(1, gcT, tgOff, plane);
    EXPECT_FALSE(GL.glIsEnabled(GL_TEXTURE_GEN_S));
    c->SetCoordGeneration(1, gcR, tgReflectionMap, plane);
    GL.glGetTexGeniv(GL_R, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(mode, GL_REFLECTION_MAP);
    c->SetCoordGeneration(1, gcR, tgOff, plane);
    c->SetTexture(1, nullptr);

    // DrawNormals: a line from each position along its normal.
    T3dClearValues v{};
    v.Flags = 1;
    c->SetClearValues(v);
    c->Clear(1);
    TRefPtr<I3dObjectBuffer> b;
    w.Device()->CreateObjectBuffer(b);
    TRefPtr<I3dVertexBuffer> pos, nrm;
    b->AddStream(1, 1, pos, nullptr, 2);
    b->AddStream(1, 1, nrm, nullptr, 2);
    float* q = static_cast<float*>(pos->ElementAddress(0));
    q[0] = 2.5f;
    q[1] = 8.5f;
    static_cast<float*>(nrm->ElementAddress(0))[0] = 1.0f;
    b->Commit();
    w.Device()->SetObjectBuffer(b.Get());
    c->SetColor({1, 1, 1, 1});
    w.Device()->DrawNormals(0, 1, 10.0f);
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 255, 255, 255));
    EXPECT_TRUE(NearColor(w.Pixel(14, 8), 0, 0, 0));
}
