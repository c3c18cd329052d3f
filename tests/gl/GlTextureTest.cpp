// Textures on a real GL context: 2D uploads and mip modes, combine modes,
// cube maps and the normalisation cube map, kind and wrap rules, render
// targets (colour and depth) with shadow comparison, and copies.
#include <gtest/gtest.h>

#include "Mirel3d/Mirel3dOpengl/SoftwareMipChain.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglTexture.h"
#include "tests/support/GlTestWindow.h"

#include <cstdlib>
#include <vector>

#define REQUIRE_GL(w)                                                                                        \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

namespace {

// An RGB(A) byte image filled by fn(x, y) -> 0xAABBGGRR.
template <class Fn> TRefPtr<I3dImage> MakeImage(int width, int height, int components, Fn fn) {
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->Allocate(nullptr, width, uint8_t(components - 1), 0, 1, height);
    uint8_t* p = static_cast<uint8_t*>(image->GetData());
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t c = fn(x, y);
            for (int k = 0; k < components; k++)
                *p++ = uint8_t(c >> (8 * k));
        }
    return image;
}

void DrawTexturedQuad(GlTestWindow& w, float s0 = 0, float t0 = 0, float s1 = 1, float t1 = 1) {
    float W = float(w.Width()), H = float(w.Height());
    GL.glColor4f(1, 1, 1, 1);
    GL.glBegin(GL_QUADS);
    GL.glTexCoord2f(s0, t0);
    GL.glVertex2f(0, 0);
    GL.glTexCoord2f(s1, t0);
    GL.glVertex2f(W, 0);
    GL.glTexCoord2f(s1, t1);
    GL.glVertex2f(W, H);
    GL.glTexCoord2f(s0, t1);
    GL.glVertex2f(0, H);
    GL.glEnd();
}

T3dClearValues Clear(float r, float g, float b) {
    T3dClearValues v{};
    v.Flags = 3;
    v.Color = {r, g, b, 1};
    v.Depth = 1.0;
    return v;
}

} // namespace

TEST(GlTexture, ImageTextureOddWidthUploadsExactly) {
    GlTestWindow w(30, 20);
    REQUIRE_GL(w);
    w.Use2D();
    // 3 x 2 RGB: rows of 9 bytes, no padding in image memory.
    TRefPtr<I3dImage> image =
        MakeImage(3, 2, 3, [](int x, int y) { return uint32_t(x * 100) | uint32_t(y * 200) << 8; });
    TRefPtr<I3dTexture> t;
    w.Device()->CreateImageTexture(image.Get(), t);
    EXPECT_EQ(t->GetKind(), tk2D);
    EXPECT_EQ(t->GetFormat(), tfRGB);
    EXPECT_EQ(t->GetMipMode(), mmGenerate);
    EXPECT_EQ(t->GetWrap(), wmRepeat);
    t->SetSmooth(false);
    t->Upload();
    w.Context()->SetTexture(1, t.Get());
    DrawTexturedQuad(w);
    EXPECT_TRUE(NearColor(w.Pixel(2, 2), 0, 0, 0));
    EXPECT_TRUE(NearColor(w.Pixel(15, 2), 100, 0, 0));
    EXPECT_TRUE(NearColor(w.Pixel(25, 2), 200, 0, 0));
    EXPECT_TRUE(NearColor(w.Pixel(25, 15), 200, 200, 0));
    // Switching the unit off: plain colour again.
    w.Context()->SetTexture(1, nullptr);
    EXPECT_FALSE(GL.glIsEnabled(GL_TEXTURE_2D));
    int32_t width, height, depth;
    t->GetSize(width, height, depth);
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(depth, 1);
    T3dImageInfo info{};
    t->GetImageInfo(0, info);
    EXPECT_EQ(info.Pixels, image->GetData());
}

TEST(GlTexture, MipModes) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    auto levelWidth = [](int level) {
        GLint v = 0;
        GL.glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &v);
        return v;
    };
    TRefPtr<I3dImage> image = MakeImage(16, 16, 4, [](int, int) { return 0xFF00FF00u; });
    for (T3dMipMode mode : {mmNone, mmBuild, mmGenerate}) {
        T3dTextureParams p;
        p.Images[0] = image.Get();
        p.MipMode = mode;
        p.Smooth = true;
        p.Kind = tk2D;
        p.Wrap = wmClampToEdge;
        TRefPtr<I3dTexture> t;
        w.Device()->CreateTexture(p, t);
        EXPECT_EQ(t->GetFormat(), tfRGBA);
        t->Upload();
        EXPECT_EQ(levelWidth(0), 16);
        // Built or generated chains have level 1; without mip maps there is none.
        EXPECT_EQ(levelWidth(1), mode == mmNone ? 0 : 8) << int(mode);
        GLint minFilter = 0;
        GL.glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        EXPECT_EQ(minFilter, mode == mmNone ? GL_LINEAR : GL_LINEAR_MIPMAP_LINEAR);
    }
    // Without hardware generation, mmBuild builds the chain in software.
    uint8_t saved = GLFlags.GenerateMipmap;
    GLFlags.GenerateMipmap = 0;
    T3dTextureParams p;
    p.Images[0] = image.Get();
    p.MipMode = mmBuild;
    p.Kind = tk2D;
    TRefPtr<I3dTexture> t;
    w.Device()->CreateTexture(p, t);
    t->Upload();
    GLFlags.GenerateMipmap = saved;
    EXPECT_EQ(levelWidth(4), 1);
}

TEST(SoftwareMipChain, HalvesWithTheBoxFilterAndRepeatsOddEdges) {
    struct Case {
        const char* name;
        int32_t width, height, components;
        std::vector<uint8_t> in, out;
    } cases[] = {
        {"2 x 2 grey, rounded", 2, 2, 1, {10, 20, 30, 41}, {25}},
        {"4 x 2 two components",
         4,
         2,
         2,
         {0, 100, 4, 100, 8, 0, 8, 0, 2, 100, 6, 100, 8, 255, 8, 255},
         {3, 100, 8, 128}},
        {"3 x 1: the last column falls away", 3, 1, 1, {10, 30, 200}, {20}},
        {"1 x 3: one column stays one", 1, 3, 1, {0, 255, 9}, {128}},
        {"1 x 1 stays", 1, 1, 3, {7, 8, 9}, {7, 8, 9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> out(MipLevelBytes(c.width / 2, c.height / 2, c.components, false), 0xEE);
        ASSERT_EQ(out.size(), c.out.size());
        HalveMipLevel(c.in.data(), c.width, c.height, c.components, false, out.data());
        EXPECT_EQ(out, c.out);
    }
    const float in[] = {0.0f, 1.0f, 0.5f, 0.5f};
    float out = -1;
    HalveMipLevel(in, 2, 2, 1, true, &out);
    EXPECT_FLOAT_EQ(out, 0.5f);
}

// Chains built on the CPU agree with the driver's own generation, for 2D
// textures and cube maps; a texture whose level 0 changes later follows it.
TEST(GlTexture, ChainsBuiltOnTheCpuMatchTheDriversAndFollowLaterUpdates) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    if (!Usable(GLFlags.GenerateMipmap)) GTEST_SKIP() << "no mip-map generation on this driver";
    TRefPtr<I3dImage> image = MakeImage(
        16, 16, 3, [](int x, int y) { return uint32_t(x * 15) | uint32_t(y * 13) << 8 | 0x400000u; });
    auto levels = [](GLenum target) {
        std::vector<std::vector<uint8_t>> all;
        for (int level = 0; level < 5; level++) {
            std::vector<uint8_t> pixels(size_t((16 >> level) * (16 >> level) * 3));
            GL.glPixelStorei(GL_PACK_ALIGNMENT, 1);
            GL.glGetTexImage(target, level, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
            all.push_back(pixels);
        }
        return all;
    };
    auto near = [](const std::vector<std::vector<uint8_t>>& a, const std::vector<std::vector<uint8_t>>& b) {
        for (size_t level = 0; level < a.size(); level++)
            for (size_t i = 0; i < a[level].size(); i++)
                if (std::abs(int(a[level][i]) - int(b[level][i])) > 1) return false;
        return true;
    };
    for (T3dTextureKind kind : {tk2D, tkCubeMap}) {
        SCOPED_TRACE(kind == tk2D ? "2D" : "cube map");
        const GLenum target = kind == tk2D ? GLenum(GL_TEXTURE_2D) : GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X);
        std::vector<std::vector<uint8_t>> chains[2];
        for (int cpu : {0, 1}) {
            SetSoftwareMipChains(cpu);
            T3dTextureParams p;
            for (int f = 0; f < (kind == tk2D ? 1 : 6); f++)
                p.Images[f] = image.Get();
            p.FaceCount = kind == tk2D ? 1 : 6;
            p.MipMode = mmGenerate;
            p.Smooth = true;
            p.Kind = kind;
            p.Format = tfRGB;
            TRefPtr<I3dTexture> t;
            w.Device()->CreateTexture(p, t);
            t->Upload();
            chains[cpu] = levels(target);
            EXPECT_EQ(chains[cpu][4].size(), 3u) << "the chain reaches 1 x 1";
            if (cpu == 1 && kind == tk2D) {
                // A new level 0: level 1 follows it.
                std::fill_n(static_cast<uint8_t*>(image->GetData()), 16 * 16 * 3, uint8_t(200));
                t->UpdateAll();
                EXPECT_EQ(levels(target)[1], std::vector<uint8_t>(8 * 8 * 3, 200));
                image = MakeImage(16, 16, 3, [](int x, int y) {
                    return uint32_t(x * 15) | uint32_t(y * 13) << 8 | 0x400000u;
                });
            }
        }
        SetSoftwareMipChains(-1);
        EXPECT_TRUE(near(chains[0], chains[1]));
    }
}

TEST(GlTexture, NeverUploadedTextureUploadsIntoObjectZeroOnEveryBind) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    w.Use2D();
    TRefPtr<I3dImage> image = MakeImage(2, 2, 3, [](int, int) { return 0x0000FFu; });
    TRefPtr<I3dTexture> t;
    w.Device()->CreateImageTexture(image.Get(), t);
    w.Context()->SetTexture(1, t.Get());
    GLint bound = -1;
    GL.glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    DrawTexturedQuad(w);
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 255, 0, 0));
    auto* impl = static_cast<T3dOpenglTexture*>(t->GetImplementation());
    EXPECT_FALSE(impl->IsUploaded());
    t->Upload();
    w.Context()->SetTexture(1, t.Get());
    GL.glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), impl->GetGLName());
    // UpdateAll re-sends the changed image.
    for (int i = 0; i < 4; i++)
        static_cast<uint8_t*>(image->GetData())[3 * i + 1] = 255;
    t->UpdateAll();
    DrawTexturedQuad(w);
    EXPECT_TRUE(NearColor(w.Pixel(4, 4), 255, 255, 0));
}

TEST(GlTexture, CombineModes) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    w.Use2D();
    I3dContext* c = w.Context();
    TRefPtr<I3dImage> image = MakeImage(2, 2, 3, [](int, int) { return 0x008040u; }); // (64, 128, 0)
    TRefPtr<I3dTexture> t;
    w.Device()->CreateImageTexture(image.Get(), t);
    t->Upload();
    c->SetTexture(1, t.Get());
    auto draw = [&](float r, float g, float b) {
        GL.glColor4f(r, g, b, 1);
        GL.glBegin(GL_QUADS);
        GL.glTexCoord2f(0.5f, 0.5f);
        GL.glVertex2f(0, 0);
        GL.glVertex2f(8, 0);
        GL.glVertex2f(8, 8);
        GL.glVertex2f(0, 8);
        GL.glEnd();
        return w.Pixel(4, 4);
    };
    c->SetRGBMode(1, csTexture, coSrcColor, csPrimaryColor, coSrcColor, csNone, coNone, cmModulate, 1.0f);
    c->SetAlphaMode(1, csTexture, coSrcAlpha, csNone, coNone, csNone, coNone, cmReplace, 1.0f);
    EXPECT_TRUE(NearColor(draw(0.5f, 0.5f, 1.0f), 32, 64, 0, 2));
    c->SetRGBMode(1, csTexture, coSrcColor, csPrimaryColor, coSrcColor, csNone, coNone, cmAdd, 2.0f);
    EXPECT_TRUE(NearColor(draw(0.25f, 0.0f, 0.25f), 255, 255, 128, 2));
    c->SetRGBMode(1, csTexture, coSrcColor, csNone, coNone, csNone, coNone, cmDecal, 1.0f); // as replace
    EXPECT_TRUE(NearColor(draw(1, 1, 1), 64, 128, 0, 2));
    // Argument-wise set-up with the constant colour, and interpolation.
    c->SetCombineColor(1, {0.0f, 0.0f, 1.0f, 1.0f});
    c->SetRGBFunction(1, cmInterpolate);
    c->SetRGBArgument(1, 0, csTexture, coSrcColor);
    c->SetRGBArgument(1, 1, csConstant, coSrcColor);
    c->SetRGBArgument(1, 2, csPrimaryColor, coSrcColor);
    c->SetRGBScale(1, 1.0f);
    c->SetAlphaFunction(1, cmReplace);
    c->SetAlphaArgument(1, 0, csPrimaryColor, coSrcAlpha);
    c->SetAlphaScale(1, 1.0f);
    EXPECT_TRUE(NearColor(draw(0.5f, 0.5f, 0.5f), 32, 64, 128, 2));
    // Dot3 without the dot-3 combiner falls back to replace.
    uint8_t saved = GLFlags.Dot3;
    GLFlags.Dot3 = 0;
    c->SetRGBMode(1, csTexture, coSrcColor, csPrimaryColor, coSrcColor, csNone, coNone, cmDot3RGB, 1.0f);
    GLFlags.Dot3 = saved;
    GLint f = 0;
    GL.glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, &f);
    EXPECT_EQ(f, GL_REPLACE);
    c->SetRGBMode(1, csTexture, coSrcColor, csPrimaryColor, coSrcColor, csNone, coNone, cmDot3RGB, 1.0f);
    GL.glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, &f);
    EXPECT_EQ(f, GL_DOT3_RGB_ARB);
    // Without combiners: the plain environment mode.
    uint8_t savedExt = GLFlags.EXTCombine, savedArb = GLFlags.ARBCombine;
    GLFlags.EXTCombine = GLFlags.ARBCombine = 0;
    c->SetRGBMode(1, csTexture, coSrcColor, csNone, coNone, csNone, coNone, cmInterpolate, 1.0f);
    GLFlags.EXTCombine = savedExt;
    GLFlags.ARBCombine = savedArb;
    GL.glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &f);
    EXPECT_EQ(f, GL_BLEND);
}

TEST(GlTexture, KindWrapAndQualityRules) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    TRefPtr<T3dOpenglTexture> t(new T3dOpenglTexture);
    try {
        t->SetKind(tkNone);
        FAIL();
    } catch (const ETextureExeption& e) {
        EXPECT_STREQ(e.what(), "can't have a tkNone Texture");
    }
    EXPECT_EQ(t->GetKind(), tkNone);
    try {
        t->SetKind(tk1D);
        FAIL();
    } catch (const ENotImplementedExeption& e) {
        EXPECT_STREQ(e.what(), "not implemeted");
    }
    EXPECT_THROW(t->SetKind(T3dTextureKind(9)), ETextureExeption);
    EXPECT_THROW(t->NotImplemented12(), ENotImplementedExeption);
    t->SetKind(tkCubeMap);
    EXPECT_EQ(t->GetFaceCount(), 6);
    t->SetKind(tk2D);
    EXPECT_EQ(t->GetFaceCount(), 1);
    // Wrap fallbacks without the extensions.
    T3dGLFlags saved = GLFlags;
    GLFlags.EdgeClamp = GLFlags.BorderClamp = GLFlags.MirroredRepeat = 0;
    t->SetWrap(wmClampToEdge);
    EXPECT_EQ(t->GetWrap(), wmClamp);
    t->SetWrap(wmMirroredRepeat);
    EXPECT_EQ(t->GetWrap(), wmRepeat);
    GLFlags.BorderClamp = 6;
    t->SetWrap(wmClampToEdge);
    EXPECT_EQ(t->GetWrap(), wmClampToBorder);
    t->SetWrap(T3dWrapMode(7)); // ignored
    EXPECT_EQ(t->GetWrap(), wmClampToBorder);
    GLFlags.TextureCompression = 0;
    t->SetQuality(tqCompressed);
    EXPECT_EQ(t->GetQuality(), tqLow);
    GLFlags.Texture3D = 0;
    t->SetKind(tk3D);
    EXPECT_EQ(t->GetKind(), tk2D);
    GLFlags = saved;
    // A context texture needs a format.
    T3dTextureParams p;
    p.Contexts[0] = w.Context();
    p.Kind = tk2D;
    TRefPtr<I3dTexture> out;
    try {
        w.Device()->CreateTexture(p, out);
        FAIL();
    } catch (const ETextureExeption& e) {
        EXPECT_STREQ(e.what(), "can't have a use image as context texturekind");
    }
}

TEST(GlTexture, NormalizationCubeMapHasSevenLevelsAt64AndSamplesDirections) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    w.Use2D();
    TRefPtr<I3dTexture> t;
    w.Device()->CreateNormalizationCubeMap(64, t);
    auto* impl = static_cast<T3dOpenglTexture*>(t->GetImplementation());
    EXPECT_EQ(impl->GetMipLevels(), 7);
    EXPECT_EQ(t->GetKind(), tkCubeMap);
    EXPECT_EQ(t->GetMipMode(), mmLevels);
    for (int f = 0; f < 6; f++)
        for (int j = 0; j < 7; j++) {
            ASSERT_NE(impl->LevelImage(f, j), nullptr);
            EXPECT_EQ(impl->LevelImage(f, j)->GetWidth(), 64 >> j);
        }
    t->Upload();
    for (int level = 0; level < 7; level++) {
        GLint v = 0;
        GL.glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_Z, level, GL_TEXTURE_WIDTH, &v);
        EXPECT_EQ(v, 64 >> level);
    }
    w.Context()->SetTexture(1, t.Get());
    EXPECT_TRUE(GL.glIsEnabled(GL_TEXTURE_CUBE_MAP));
    EXPECT_FALSE(GL.glIsEnabled(GL_TEXTURE_2D)); // the old target went off
    auto sample = [&](float x, float y, float z) {
        GL.glBegin(GL_QUADS);
        GL.glTexCoord3f(x, y, z);
        GL.glVertex2f(0, 0);
        GL.glVertex2f(8, 0);
        GL.glVertex2f(8, 8);
        GL.glVertex2f(0, 8);
        GL.glEnd();
        return w.Pixel(4, 4);
    };
    EXPECT_TRUE(NearColor(sample(1, 0, 0), 255, 128, 128, 3)) << std::hex << sample(1, 0, 0);
    EXPECT_TRUE(NearColor(sample(0, -1, 0), 128, 0, 128, 3)) << std::hex << sample(0, -1, 0);
    EXPECT_TRUE(NearColor(sample(0, 0, 1), 128, 128, 255, 3)) << std::hex << sample(0, 0, 1);
}

TEST(GlTexture, CubeMapFromSixImages) {
    GlTestWindow w(8, 8);
    REQUIRE_GL(w);
    w.Use2D();
    T3dTextureParams p;
    const uint32_t colours[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF, 0xFF00FF, 0xFFFF00};
    for (int f = 0; f < 6; f++)
        p.Images[f] = MakeImage(4, 4, 3, [&](int, int) { return colours[f]; }).Get();
    p.Kind = tkCubeMap;
    p.FaceCount = 6;
    p.MipMode = mmBuild;
    p.Wrap = wmClampToEdge;
    TRefPtr<I3dTexture> t;
    w.Device()->CreateTexture(p, t);
    t->Upload();
    w.Context()->SetTexture(1, t.Get());
    const float dirs[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int f = 0; f < 6; f++) {
        GL.glBegin(GL_QUADS);
        GL.glTexCoord3fv(dirs[f]);
        GL.glVertex2f(0, 0);
        GL.glVertex2f(8, 0);
        GL.glVertex2f(8, 8);
        GL.glVertex2f(0, 8);
        GL.glEnd();
        uint32_t c = colours[f];
        EXPECT_TRUE(NearColor(w.Pixel(4, 4), int(c & 0xFF), int((c >> 8) & 0xFF), int(c >> 16), 1)) << f;
    }
}

TEST(GlTexture, RenderTargetColourIsSampledDirectly) {
    GlTestWindow w(32, 32);
    REQUIRE_GL(w);
    TRefPtr<I3dContext> target;
    w.Device()->CreateBufferContext(w.Window(), 16, 16, 1, ckRenderTexture, 0x10, bindRGBA1, target);
    ASSERT_TRUE(target);
    auto targetGL = QueryAs<I3dOpenglContext>(target);
    EXPECT_NE(targetGL->GetPbuffer(), 0u);
    EXPECT_NE(targetGL->GetDC(), w.GLContext()->GetDC());
    EXPECT_EQ(w.Device()->GetContextCount(), 2);
    // Creating the target leaves the window's drawing alone.
    GLint fb = -1;
    GL.glGetIntegerv(GL_FRAMEBUFFER_BINDING, &fb);
    EXPECT_EQ(fb, 0);
    TRefPtr<I3dTexture> t;
    w.Device()->CreateContextTexture(target.Get(), tfRGBA, t, 0);
    EXPECT_EQ(t->GetKind(), tk2D);
    t->Upload();

    w.Device()->PushContext(target.Get());
    GLint vp[4];
    GL.glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 16);
    target->SetClearValues(Clear(0, 1, 0));
    target->Clear(3);
    EXPECT_TRUE(NearColor(w.Pixel(3, 3), 0, 255, 0)); // read from the target
    w.Device()->PopContext();

    w.Use2D();
    w.Context()->SetClearValues(Clear(1, 0, 0));
    w.Context()->Clear(1);
    w.Context()->SetTexture(1, t.Get());
    DrawTexturedQuad(w);
    EXPECT_TRUE(NearColor(w.Pixel(16, 16), 0, 255, 0));
    // Drawing into the target again shows up without any copy.
    w.Device()->PushContext(target.Get());
    target->SetClearValues(Clear(0, 0, 1));
    target->Clear(1);
    w.Device()->PopContext();
    w.Context()->SetTexture(1, t.Get());
    DrawTexturedQuad(w);
    EXPECT_TRUE(NearColor(w.Pixel(16, 16), 0, 0, 255));
}

TEST(GlTexture, RenderTargetDepthWithShadowComparison) {
    GlTestWindow w(32, 32);
    REQUIRE_GL(w);
    TRefPtr<I3dContext> target;
    w.Device()->CreateBufferContext(w.Window(), 16, 16, 1, ckRenderTexture, 0x10, bindDepth, target);
    ASSERT_TRUE(target);
    TRefPtr<I3dTexture> t;
    w.Device()->CreateContextTexture(target.Get(), tfDepth, t, 0);
    EXPECT_EQ(t->GetWrap(), wmClamp);
    EXPECT_EQ(t->GetMipMode(), mmNone);
    t->Upload();
    w.Device()->PushContext(target.Get());
    T3dClearValues v{};
    v.Flags = 2;
    v.Depth = 0.5;
    target->SetClearValues(v);
    target->Clear(2);
    w.Device()->PopContext();

    w.Use2D();
    w.Context()->SetTexture(1, t.Get());
    t->SetDepthCompare(cfLessEqual);
    auto compare = [&](float r) {
        GL.glColor4f(1, 1, 1, 1);
        GL.glBegin(GL_QUADS);
        GL.glTexCoord3f(0.5f, 0.5f, r);
        GL.glVertex2f(0, 0);
        GL.glVertex2f(32, 0);
        GL.glVertex2f(32, 32);
        GL.glVertex2f(0, 32);
        GL.glEnd();
        return w.Pixel(16, 16);
    };
    EXPECT_TRUE(NearColor(compare(0.3f), 255, 255, 255)); // r <= stored depth: lit
    EXPECT_TRUE(NearColor(compare(0.7f), 0, 0, 0));       // behind: in shadow
    t->SetDepthCompare(cfGreater);
    EXPECT_TRUE(NearColor(compare(0.7f), 255, 255, 255));
    t->SetDepthCompare(cfOff);
    GLint mode = -1;
    GL.glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, &mode);
    EXPECT_EQ(mode, 0);
}

TEST(GlTexture, CopiedTargetsUseTheTargetsOwnSize) {
    GlTestWindow w(64, 64);
    REQUIRE_GL(w);
    // An off-screen target that is not bound as a texture: copies.
    TRefPtr<I3dContext> target;
    w.Device()->CreateBufferContext(w.Window(), 24, 40, 1, ckPbuffer, 0x10, 0, target);
    TRefPtr<I3dTexture> colour, depth;
    w.Device()->CreateContextTexture(target.Get(), tfRGBA, colour, 0);
    w.Device()->CreateContextTexture(target.Get(), tfDepth, depth, 0);
    w.Device()->PushContext(target.Get());
    T3dClearValues v = Clear(1, 0, 1);
    v.Depth = 0.25;
    target->SetClearValues(v);
    target->Clear(3);
    // The initial depth copy takes 24 x 40, the target's size.
    depth->Upload();
    GLint dw = 0, dh = 0;
    GL.glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &dw);
    GL.glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &dh);
    EXPECT_EQ(dw, 24);
    EXPECT_EQ(dh, 40);
    colour->Upload();
    colour->UpdateArea(0, 0); // copies the target while it is current
    depth->UpdateArea(0, 0);
    EXPECT_EQ(GL.glGetError(), GLenum(0));
    w.Device()->PopContext();
    w.Use2D();
    w.Context()->SetTexture(1, colour.Get());
    DrawTexturedQuad(w);
    EXPECT_TRUE(NearColor(w.Pixel(32, 32), 255, 0, 255));
}
