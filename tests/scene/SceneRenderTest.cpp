// Scenes written with our writer, loaded and rendered on real OpenGL: what a
// viewer sees, reviewed reference pictures, nested views against the same
// scene drawn without them, missing capabilities, and the scenes the
// renderer must survive.
#include <gtest/gtest.h>

#include <cmath>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "scene/material/NV2xMaterialHandler.h"
#include "tests/scene/SceneScenes.h"

namespace {

constexpr int32_t kW = 320, kH = 240;

#define NEED(w)                                                                                              \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

// Where a world point lands in the last frame drawn (camera and projection).
struct TProjector {
    TMatrix4 view;
    T3dMatrix p;
    TProjector(Ts3dScene* scene, I3dContext* c) : view(TMatrix::Invert(scene->Camera->Node->FrameWorld)) {
        c->GetMatrix(mkProjection, p);
    }
    bool Pixel(float x, float y, float z, int32_t& px, int32_t& py) const {
        const TVector3 e = TMatrix::TransformPoint({x, y, z}, view);
        float clip[4];
        for (int j = 0; j < 4; j++)
            clip[j] = e.x * p.m[j] + e.y * p.m[4 + j] + e.z * p.m[8 + j] + p.m[12 + j];
        px = int32_t((clip[0] / clip[3] * 0.5f + 0.5f) * kW);
        py = int32_t((clip[1] / clip[3] * 0.5f + 0.5f) * kH);
        return clip[3] > 0 && px >= 1 && py >= 1 && px < kW - 1 && py < kH - 1;
    }
};

// Whether the segment a-b passes through the box centred on `centre` (by
// default (0, 1, 0)) of half size h.
const float kBoxCentre[3] = {0, 1, 0};
bool HitsBox(const float a[3], const float b[3], float h, const float centre[3] = kBoxCentre) {
    const float lo[3] = {centre[0] - h, centre[1] - h, centre[2] - h},
                hi[3] = {centre[0] + h, centre[1] + h, centre[2] + h};
    float t0 = 0, t1 = 1;
    for (int i = 0; i < 3; i++) {
        const float d = b[i] - a[i];
        float u0 = (lo[i] - a[i]) / d, u1 = (hi[i] - a[i]) / d;
        if (u0 > u1) std::swap(u0, u1);
        t0 = std::max(t0, u0);
        t1 = std::min(t1, u1);
    }
    return t0 <= t1;
}

// A handler that selects unit 3's texture matrix while it prepares a
// material, as it may inside the scene's attribute push.
class TMatrixTouchingHandler : public Ts3dNV2xMaterialHandler {
public:
    void PrepareMaterial() override {
        Ts3dNV2xMaterialHandler::PrepareMaterial();
        Scene->Context()->LoadIdentity(mkTexture2);
    }
};

} // namespace

// Floor points the box hides from the light are dark with shadows and lit
// without; every other lit floor point looks the same either way.
TEST(SceneRender, ShadowFallsExactlyWhereTheBoxHidesTheFloor) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(), "shadow.y3d");
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("shadow.y3d");
    const RgbaPicture shadowed = w.Shot(scene);
    ASSERT_EQ(scene->ShadowLights.Count(), 1);
    ExpectLooksLike(shadowed, "shadow", 40);
    const TProjector projector(scene, w.Gl().Context());
    scene->ReleaseShadowMaps();
    scene->ShadowsEnabled = false;
    const RgbaPicture plain = w.Shot(scene);
    int32_t inShadow = 0, outside = 0;
    for (float x = -6; x <= 6; x += 0.125f)
        for (float z = -6; z <= 6; z += 0.125f) {
            const float p[3] = {x, 0, z};
            int32_t px, py;
            // Skip points out of view, behind the box or in too little light.
            if (!projector.Pixel(x, 0, z, px, py) || HitsBox(p, TShadowScene::kEye, 1.3f) ||
                Brightness(plain, px, py) < 60)
                continue;
            const double lit = Brightness(plain, px, py), seen = Brightness(shadowed, px, py);
            if (HitsBox(p, TShadowScene::kLight, 0.7f)) {
                inShadow++;
                EXPECT_LT(seen, lit * 0.5) << "no shadow at " << x << ", " << z;
            } else if (!HitsBox(p, TShadowScene::kLight, 1.3f)) {
                outside++;
                EXPECT_NEAR(seen, lit, 6.0) << "a shadow at " << x << ", " << z;
            }
        }
    EXPECT_GT(inShadow, 30);
    EXPECT_GT(outside, 300);
}

// A bump-mapped box, with a diffuse texture and without, drawn after a
// diffuse-textured floor under a shadow-casting light: its top looks as it
// does without shadows, except where the small box above hides it from the
// light; there it is dark.
TEST(SceneRender, BumpMaterialsShowTheShadowWhereTheLightIsHidden) {
    using S = TBumpShadowScene;
    const float blocker = S::kBlockerSize / 2;
    for (bool diffuseTexture : {true, false}) {
        TSceneFolder folder;
        folder.Save(S().Build(diffuseTexture), "bump.y3d");
        TSceneWindow w(kW, kH, folder);
        NEED(w);
        Ts3dScene* scene = w.Load("bump.y3d");
        const RgbaPicture shadowed = w.Shot(scene);
        ASSERT_EQ(scene->ShadowLights.Count(), 1);
        const TProjector projector(scene, w.Gl().Context());
        scene->ReleaseShadowMaps();
        scene->ShadowsEnabled = false;
        const RgbaPicture plain = w.Shot(scene);
        int32_t inShadow = 0, lit = 0, litAlike = 0;
        for (float x = -0.85f; x <= 0.85f; x += 0.05f)
            for (float z = -0.85f; z <= 0.85f; z += 0.05f) {
                const float p[3] = {x, 2, z};
                int32_t px, py;
                if (!projector.Pixel(x, 2, z, px, py) || HitsBox(p, S::kEye, blocker + 0.2f, S::kBlocker))
                    continue;
                const double before = Brightness(plain, px, py), seen = Brightness(shadowed, px, py);
                ASSERT_GT(before, 60) << "the top is dark without shadows at " << x << ", " << z;
                if (HitsBox(p, S::kLight, blocker - 0.1f, S::kBlocker)) {
                    inShadow++;
                    EXPECT_LT(seen, before * 0.25) << diffuseTexture << ": no shadow at " << x << ", " << z;
                } else if (!HitsBox(p, S::kLight, blocker + 0.2f, S::kBlocker)) {
                    lit++;
                    litAlike += std::fabs(seen - before) <= 6.0;
                }
            }
        EXPECT_GT(inShadow, 30) << diffuseTexture;
        EXPECT_GT(lit, 200) << diffuseTexture;
        // Lit points look as they do without shadows (a few texels of the
        // coarse map may darken one).
        EXPECT_GE(litAlike, lit * 97 / 100) << diffuseTexture;
    }
}

// The bump-mapped quad shows its normal map's ridges, brighter where they
// face the light on the left; the flat quad is smooth. Where the blended
// quads overlap, the nearer one is as bright as alone and the farther one
// shows through at half strength: drawn farthest first.
TEST(SceneRender, BumpReliefAndBlendingFarthestFirst) {
    for (bool redInFront : {false, true}) {
        TSceneFolder folder;
        folder.Save(MaterialScene(redInFront), "m.y3d");
        TSceneWindow w(kW, kH, folder);
        NEED(w);
        Ts3dScene* scene = w.Load("m.y3d");
        const RgbaPicture picture = w.Shot(scene);
        const TProjector projector(scene, w.Gl().Context());
        auto at = [&](float x, float y, float z) {
            int32_t px, py;
            EXPECT_TRUE(projector.Pixel(x, y, z, px, py));
            return std::pair{px, py};
        };
        if (!redInFront) {
            ExpectLooksLike(picture, "materials", 40);
            // High-frequency detail across a quad's middle row.
            auto detail = [&](float centre) {
                auto [x0, y] = at(centre - 0.8f, 1, 0);
                auto [x1, unused] = at(centre + 0.8f, 1, 0);
                double sum = 0;
                for (int32_t x = x0 + 4; x < x1 - 4; x++)
                    sum += std::fabs(Brightness(picture, x, y) -
                                     (Brightness(picture, x - 4, y) + Brightness(picture, x + 4, y)) / 2);
                return sum / double(x1 - x0 - 8);
            };
            EXPECT_GT(detail(-2.2f), 5.0);
            EXPECT_LT(detail(0.0f), 1.0);
            // Heights sin(8 pi u): rising (facing the light) at u = k/4,
            // falling at u = k/4 + 1/8.
            double facing = 0, away = 0;
            for (float u : {0.25f, 0.5f, 0.75f}) {
                auto [fx, fy] = at(-3.2f + 2 * u, 1, 0);
                auto [ax, ay] = at(-3.2f + 2 * (u + 0.125f), 1, 0);
                facing += Brightness(picture, fx, fy);
                away += Brightness(picture, ax, ay);
            }
            EXPECT_GT(facing, away + 60);
        }
        ASSERT_EQ(scene->BlendedVisible.Count(), 2);
        // Red and green at the overlap, the red quad alone, the green alone.
        int channel[3][2];
        const float points[3][2] = {{-0.5f, -1.4f}, {-1.8f, -1.4f}, {0.8f, -1.4f}};
        for (int i = 0; i < 3; i++) {
            auto [x, y] = at(points[i][0], points[i][1], 1);
            channel[i][0] = Red(At(picture, x, y));
            channel[i][1] = Green(At(picture, x, y));
        }
        const int nearC = redInFront ? 0 : 1, farC = 1 - nearC;
        EXPECT_NEAR(double(channel[0][nearC]) / channel[1 + nearC][nearC], 1.0, 0.2) << redInFront;
        EXPECT_NEAR(double(channel[0][farC]) / channel[1 + farC][farC], 0.5, 0.15) << redInFront;
    }
}

// A background picture fills the frame whatever its size: its border colour
// at every corner; its texture padded to powers of two; the script's picture
// left as it was.
TEST(SceneRender, BackgroundPictureFillsTheFrame) {
    TSceneFolder folder;
    folder.Save(MaterialScene(), "m.y3d");
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("m.y3d");
    const int32_t sizes[][4] = {{100, 60, 128, 64}, {640, 480, 1024, 512}, {64, 64, 64, 64}};
    for (const auto& size : sizes) {
        TRefPtr<I3dImage> picture = T3dImage::Create();
        picture->Allocate(nullptr, size[0], 2, 0, 1, size[1]);
        for (int32_t y = 0; y < size[1]; y++)
            for (int32_t x = 0; x < size[0]; x++) {
                const bool border = x < 4 || y < 4 || x >= size[0] - 4 || y >= size[1] - 4;
                for (int k = 0; k < 3; k++)
                    picture->SetUInt8(x, y, k, 0,
                                      uint8_t(border ? (k == 2 ? 255 : 0) : (k == 0 ? 200 : 100)));
            }
        scene->Background = picture;
        const RgbaPicture frame = w.Shot(scene);
        int32_t tw, th, td;
        scene->BackgroundTexture->GetSize(tw, th, td);
        EXPECT_EQ(tw, size[2]);
        EXPECT_EQ(th, size[3]);
        EXPECT_EQ(picture->GetWidth(), size[0]);
        for (auto [x, y] : {std::pair{0, 0}, {kW - 1, 0}, {0, kH - 1}, {kW - 1, kH - 1}})
            EXPECT_TRUE(NearColor(At(frame, x, y), 0, 0, 255, 4)) << size[0] << " at " << x << ", " << y;
        EXPECT_TRUE(NearColor(At(frame, kW / 2, kH - 20), 200, 100, 100, 4)) << size[0];
        if (size[0] == 64) ExpectLooksLike(frame, "background", 40);
    }
}

// Cube faces (nested views of the whole scene, each with the shadow light's
// group) and the shadow map leave the main view exactly as it is drawn
// without the cube faces.
TEST(SceneRender, NestedViewsLeaveTheMainViewAsItIs) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(true), "glass.y3d");
    TSceneWindow w(160, 120, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("glass.y3d");
    scene->ReflectMapSize = 64;
    const RgbaPicture without = w.Shot(scene);
    EXPECT_EQ(scene->CubeMapObjects.Count(), 0) << "reflections off: no cube faces";
    scene->ReflectionsEnabled = true;
    const RgbaPicture with = w.Shot(scene);
    ASSERT_EQ(scene->CubeMapObjects.Count(), 1);
    EXPECT_EQ(DifferentPixels(with, without, 1), 0);
}

// Without framebuffer objects there are no off-screen targets (no shadow or
// cube maps); without depth comparison, no shadow maps. The scene is drawn
// as it is without them.
TEST(SceneRender, MissingCapabilitiesGiveUpShadowsAndReflections) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(true), "glass.y3d");
    TSceneWindow w(160, 120, folder);
    NEED(w);
    Ts3dScene* reference = w.Load("glass.y3d");
    reference->ShadowsEnabled = false;
    const RgbaPicture plain = w.Shot(reference);
    struct {
        uint8_t T3dGLFlags::*flags[3];
        int32_t cubeMaps;
    } rows[] = {{{&T3dGLFlags::Pbuffer, &T3dGLFlags::RenderTexture, &T3dGLFlags::RenderDepthTexture}, 0},
                {{&T3dGLFlags::ARBShadow, &T3dGLFlags::SGIXShadow, nullptr}, 1}};
    for (const auto& row : rows) {
        const T3dGLFlags saved = GLFlags;
        for (auto flag : row.flags)
            if (flag) GLFlags.*flag = 0;
        w.Gl().GLContext()->ReadCapabilities();
        Ts3dScene* scene = w.Load("glass.y3d");
        scene->ReflectMapSize = 64;
        scene->ReflectionsEnabled = true;
        const RgbaPicture picture = w.Shot(scene);
        EXPECT_EQ(scene->ShadowLights.Count(), 0);
        EXPECT_EQ(scene->CubeMapObjects.Count(), row.cubeMaps);
        EXPECT_EQ(DifferentPixels(picture, plain, 1), 0);
        GLFlags = saved;
        w.Gl().GLContext()->ReadCapabilities();
    }
}

// A scene without lights fails at its first full view (a cube face when
// reflections are on) with the light list's index error, leaving no target
// pushed and the combiners off. Objects without a material are left out.
// Omni lights get no shadow map; no map is larger than 2048 square.
TEST(SceneRender, ScenesWithoutLightsOrMaterials) {
    TSceneFolder folder;
    TY3dDocument dark = TShadowScene().Build(true), orphan = TShadowScene().Build(), bare = orphan;
    std::erase_if(dark.Objects, [](const TY3dObject& o) { return o.What == TY3dObject::okLight; });
    orphan.Objects[1].Mesh.Groups[0].Material = 7; // the box: no such material
    bare.Objects.erase(bare.Objects.begin() + 1);
    folder.Save(dark, "dark.y3d");
    folder.Save(orphan, "orphan.y3d");
    folder.Save(bare, "bare.y3d");
    folder.Save(TShadowScene().Build(false, 0), "omni.y3d");
    TSceneWindow w(64, 48, folder);
    NEED(w);
    for (bool reflections : {false, true}) {
        Ts3dScene* scene = w.Load("dark.y3d");
        scene->ReflectionsEnabled = reflections;
        try {
            w.Shot(scene);
            ADD_FAILURE() << "no error";
        } catch (const EListError& e) {
            // The list's index error, with the file and what to do.
            EXPECT_NE(
                std::string(e.what()).find("dark.y3d: List index out of bounds (0): the scene has no light; "
                                           "add one to the model or import it again without "
                                           "--no-default-light"),
                std::string::npos)
                << e.what();
        }
        EXPECT_EQ(w.Device()->GetStackTop(), 0);
        EXPECT_FALSE(GL.glIsEnabled(GL_REGISTER_COMBINERS_NV));
    }
    Ts3dScene* scene = w.Load("orphan.y3d");
    EXPECT_EQ(scene->Objects.Count(), 2);
    const RgbaPicture a = w.Shot(scene);
    EXPECT_EQ(scene->Visible.Count(), 1);
    EXPECT_EQ(DifferentPixels(a, w.Shot(w.Load("bare.y3d")), 1), 0);
    scene = w.Load("omni.y3d");
    w.Shot(scene);
    EXPECT_EQ(scene->PlainLights.Count(), 1);
    scene = w.Load("bare.y3d");
    scene->ShadowMapSize = 1 << 30;
    w.Shot(scene);
    EXPECT_EQ(scene->ShadowLights.Items(0)->ShadowTarget->GetWidth(), 2048);
}

// Preparing materials inside an attribute push and pop leaves the context's
// record of the matrix mode and texture unit as GL has them afterwards, so a
// model-view load lands on the model-view stack.
TEST(SceneRender, PreparedMaterialsLeaveTheContextsRecordTrue) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(), "shadow.y3d");
    TSceneWindow w(64, 48, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("shadow.y3d");
    scene->MaterialHandler = std::make_unique<TMatrixTouchingHandler>();
    scene->MaterialHandler->Create(scene);
    T3dOpenglContext* c = w.Gl().GLContext();
    c->LoadIdentity(mkModelview);
    scene->Prepare();
    GLint unit = 0, mode = 0;
    GL.glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
    GL.glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(int(unit - GL_TEXTURE0_ARB) + 1, c->GetCurrentUnit());
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(c->GetMatrixMode(), mkModelview);
    c->TranslateMatrix(mkModelview, 1, 2, 3);
    float m[16];
    GL.glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_EQ(m[12], 1.0f);
    EXPECT_EQ(m[14], 3.0f);
}
