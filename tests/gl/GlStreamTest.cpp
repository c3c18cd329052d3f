// Object buffers, attribute slots and the device's draw operations on a real
// GL context; the generated plane and sphere drawn through DrawFaceList.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "scene/geometry/GeomStuff.h"
#include "tests/support/GlTestWindow.h"
#include "tests/support/TestSupport.h"

#define REQUIRE_GL(w)                                                                                        \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

// Counts heap allocations of this program while counting is on. Under
// AddressSanitizer the allocator is the sanitizer's, so the count is skipped.
#if defined(__SANITIZE_ADDRESS__)
#define ZUMBRIX_COUNT_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZUMBRIX_COUNT_ALLOCATIONS 0
#endif
#endif
#ifndef ZUMBRIX_COUNT_ALLOCATIONS
#define ZUMBRIX_COUNT_ALLOCATIONS 1
#endif

static long gAllocations = 0;
static bool gCounting = false;

#if ZUMBRIX_COUNT_ALLOCATIONS
void* operator new(size_t size) {
    if (gCounting) gAllocations++;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    if (gCounting) gAllocations++;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
#endif

namespace {

void ClearTo(I3dContext* c, float r, float g, float b) {
    T3dClearValues v{};
    v.Flags = 3;
    v.Color = {r, g, b, 1};
    v.Depth = 1.0;
    c->SetClearValues(v);
    c->Clear(3);
}

// Identity matrices: the fade square covers the viewport exactly.
void Identity(I3dContext* c) {
    c->ResetViewport();
    c->LoadIdentity(mkProjection);
    c->LoadIdentity(mkModelview);
    c->SetDepthMode(dmOff);
    GL.glDisable(GL_CULL_FACE);
}

} // namespace

TEST(GlStreams, FadeSquareThroughDrawFaceListCoversTheWindow) {
    GlTestWindow w(24, 16);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    Identity(c);
    ClearTo(c, 0, 0, 0);
    TRefPtr<I3dObjectBuffer> buffer;
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    TGeomStuff::GeneratePlane(w.Device(), 0x01, {3}, buffer, faces.Get(), 2.0f, 2.0f, 1, 1);
    ASSERT_TRUE(buffer);
    buffer->Commit();
    c->SetColor({1.0f, 0.5f, 0.0f, 1.0f});
    w.Device()->SetObjectBuffer(buffer.Get());
    w.Device()->SetStream(0, 0);
    EXPECT_TRUE(w.Device()->IsSlotBound(0));
    w.Device()->SelectIndexList(0);
    w.Device()->DrawFaceList(faces.Get());
    w.Device()->ResetStreams();
    EXPECT_FALSE(w.Device()->IsSlotBound(0));
    EXPECT_EQ(GL.glGetError(), GLenum(0));
    std::vector<uint8_t> px = w.ReadRGBA();
    for (size_t i = 0; i < px.size(); i += 4) {
        ASSERT_EQ(px[i], 255) << i;
        ASSERT_NEAR(px[i + 1], 128, 1) << i;
        ASSERT_EQ(px[i + 2], 0) << i;
    }
}

TEST(GlStreams, SlotsForColourTexCoordsAndNormals) {
    GlTestWindow w(16, 16);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    Identity(c);
    ClearTo(c, 0, 0, 0);
    TRefPtr<I3dObjectBuffer> buffer;
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    // Positions, normals and texture coordinates; then a colour stream.
    TGeomStuff::GeneratePlane(w.Device(), 0x23, {3, 3, 2}, buffer, faces.Get(), 2.0f, 2.0f, 1, 1);
    TRefPtr<I3dVertexBuffer> colours;
    buffer->AddStream(4, 1, colours, nullptr, 3);
    for (int i = 0; i < 4; i++) {
        float* col = static_cast<float*>(colours->ElementAddress(i));
        col[0] = 0.0f;
        col[1] = 0.0f;
        col[2] = 1.0f;
        col[3] = 1.0f;
    }
    buffer->Commit();
    I3dDevice* d = w.Device();
    d->SetObjectBuffer(buffer.Get());
    d->SetStream(0, 0);
    d->SetStream(3, 3); // colour
    d->SelectIndexList(0);
    d->DrawFaceList(faces.Get());
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 0, 0, 255));

    // Texture coordinates on unit 0 (slot 5) and unit 1 (slot 6).
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->Allocate(nullptr, 2, 2, 0, 1, 1);
    uint8_t* p = static_cast<uint8_t*>(image->GetData());
    const uint8_t texels[6] = {255, 0, 0, 0, 255, 0}; // red left, green right
    std::copy(texels, texels + 6, p);
    TRefPtr<I3dTexture> t;
    d->CreateImageTexture(image.Get(), t);
    t->SetSmooth(false);
    t->Upload();
    c->SetTexture(1, t.Get());
    c->SetRGBMode(1, csTexture, coSrcColor, csNone, coNone, csNone, coNone, cmReplace, 1.0f);
    d->SetStream(2, 5);
    d->DrawFaceList(faces.Get());
    EXPECT_TRUE(NearColor(w.Pixel(3, 8), 255, 0, 0));
    EXPECT_TRUE(NearColor(w.Pixel(12, 8), 0, 255, 0));
    c->SetTexture(1, nullptr);
    // Unit 2 reads texture coordinates from slot 6.
    c->SetTexture(2, t.Get());
    c->SetRGBMode(2, csTexture, coSrcColor, csNone, coNone, csNone, coNone, cmReplace, 1.0f);
    d->SetStream(-1, 5);
    d->SetStream(2, 6);
    d->DrawFaceList(faces.Get());
    EXPECT_TRUE(NearColor(w.Pixel(12, 8), 0, 255, 0));
    c->SetTexture(2, nullptr);
    d->ResetStreams();

    // Normals on slot 1 drive lighting.
    c->EnableLighting(true);
    c->EnableLight(1, true);
    const float dir[4] = {0, 0, 1, 0};
    c->SetLightPosition(1, dir);
    c->SetLightColor(1, ccDiffuse, {1, 1, 1, 1});
    c->SetAmbientLight({0, 0, 0, 1});
    c->SetMaterial(mfFrontAndBack, {0, 0, 0, 1}, {1, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, 0);
    d->SetStream(0, 0);
    d->SetStream(1, 1);
    d->DrawFaceList(faces.Get());
    EXPECT_TRUE(NearColor(w.Pixel(8, 8), 255, 0, 0));
    d->SetStream(-1, 1); // without normals the current normal is (0, 0, 1) too
    c->EnableLighting(false);
    // Unbinding every slot, including those without client arrays, leaves
    // no error behind.
    d->SetStream(0, 2);
    d->SetStream(0, 26);
    d->ResetStreams();
    EXPECT_EQ(GL.glGetError(), GLenum(0));
    for (int slot = 0; slot <= 28; slot++)
        EXPECT_FALSE(static_cast<T3dOpenGLDevice*>(d)->IsSlotBound(slot));
    EXPECT_FALSE(GL.glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(GL.glIsEnabled(GL_COLOR_ARRAY));
}

TEST(GlStreams, SphereDrawsRoundAndLit) {
    GlTestWindow w(64, 64);
    REQUIRE_GL(w);
    I3dContext* c = w.Context();
    c->ResetViewport();
    c->LoadIdentity(mkProjection);
    c->Ortho(mkProjection, -1.5f, 1.5f, 1.5f, -1.5f, -5.0f, 5.0f);
    c->LoadIdentity(mkModelview);
    c->SetDepthMode(dmReadWrite);
    c->SetDepthFunc(cfLessEqual);
    ClearTo(c, 0, 0, 0.25f);
    TRefPtr<I3dObjectBuffer> buffer;
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    TGeomStuff::GenerateSphere(w.Device(), 0x03, {3, 3}, buffer, faces.Get(), 1.0f, 24, 16);
    buffer->Commit();
    c->EnableLighting(true);
    c->EnableLight(1, true);
    const float pos[4] = {0.5f, 0.5f, 1.0f, 0.0f};
    c->SetLightPosition(1, pos);
    c->SetLightColor(1, ccDiffuse, {1, 1, 1, 1});
    c->SetAmbientLight({0.1f, 0.1f, 0.1f, 1});
    c->SetMaterial(mfFrontAndBack, {1, 1, 1, 1}, {1, 0.8f, 0.2f, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, 0);
    GL.glEnable(GL_NORMALIZE);
    I3dDevice* d = w.Device();
    d->SetObjectBuffer(buffer.Get());
    d->SetStream(0, 0);
    d->SetStream(1, 1);
    d->SelectIndexList(0);
    d->BeginArrays();
    d->DrawFaceList(faces.Get());
    d->EndArrays();
    d->ResetStreams();
    c->EnableLighting(false);
    EXPECT_EQ(GL.glGetError(), GLenum(0));
    std::vector<uint8_t> px = w.ReadRGBA();
    const char* out = std::getenv("ZUMBRIX_GL_FRAME");
    if (out) GlTestWindow::WritePPM(out, px, 64, 64);
    auto at = [&](int x, int y) { return &px[(size_t(y) * 64 + size_t(x)) * 4]; };
    // Background in the corners, sphere inside radius 1 (21 pixels).
    EXPECT_EQ(at(1, 1)[2], 64);
    EXPECT_EQ(at(62, 62)[2], 64);
    int inside = 0, covered = 0;
    for (int y = 0; y < 64; y++)
        for (int x = 0; x < 64; x++) {
            float dx = (x + 0.5f - 32) / 21.333f, dy = (y + 0.5f - 32) / 21.333f;
            if (dx * dx + dy * dy < 0.9f) {
                inside++;
                if (at(x, y)[0] > 0) covered++; // background red is 0
            }
        }
    EXPECT_EQ(covered, inside);
    // Lit from the upper right: brighter there than at the lower left.
    EXPECT_GT(at(40, 40)[0], at(24, 24)[0] + 40);
}

TEST(GlStreams, DrawRangesAreChecked) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    I3dDevice* d = w.Device();
    TRefPtr<I3dObjectBuffer> buffer;
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    TGeomStuff::GeneratePlane(d, 0x01, {3}, buffer, faces.Get(), 2.0f, 2.0f, 1, 1);
    buffer->Commit();
    d->SetObjectBuffer(buffer.Get());
    d->SetStream(0, 0);
    EXPECT_THROW(d->SelectIndexList(1), EIndexOutOfRange);
    d->SelectIndexList(0);
    EXPECT_THROW(d->DrawElements(pkTriangles, 0, 0, 14, 3), EIndexOutOfRange);
    EXPECT_THROW(d->DrawElements(pkTriangles, 0, 0, -1, 3), EIndexOutOfRange);
    EXPECT_THROW(d->SetStream(5, 0), EIndexOutOfRange);
    // An empty face list draws nothing.
    TRefPtr<I3dFaceList> empty = CreateFaceList();
    d->DrawFaceList(empty.Get());
    d->ResetStreams();
    GL.glGetError();
    d->DrawArrays(pkPoints, 0, 0);
    EXPECT_EQ(GL.glGetError(), GLenum(0));
}

TEST(GlStreams, SteadyStateDrawingAllocatesNothing) {
    if (!ZUMBRIX_COUNT_ALLOCATIONS) GTEST_SKIP() << "allocations are not counted under AddressSanitizer";
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    I3dDevice* d = w.Device();
    TRefPtr<I3dObjectBuffer> a, b;
    TRefPtr<I3dFaceList> fa = CreateFaceList(), fb = CreateFaceList();
    TGeomStuff::GenerateSphere(d, 0x03, {3, 3}, a, fa.Get(), 1.0f, 8, 6);
    TGeomStuff::GeneratePlane(d, 0x03, {3, 3}, b, fb.Get(), 1.0f, 1.0f, 2, 2);
    a->Commit();
    b->Commit();
    auto frame = [&]() {
        for (int i = 0; i < 20; i++) {
            I3dObjectBuffer* o = i % 2 ? a.Get() : b.Get();
            d->SetObjectBuffer(o);
            d->SetStream(0, 0);
            d->SetStream(1, 1);
            d->SelectIndexList(0);
            d->DrawFaceList(i % 2 ? fa.Get() : fb.Get());
        }
        d->ResetStreams();
    };
    frame(); // warm-up: the driver may allocate on first use
    gAllocations = 0;
    gCounting = true;
    for (int k = 0; k < 10; k++)
        frame();
    gCounting = false;
    EXPECT_EQ(gAllocations, 0);
}
