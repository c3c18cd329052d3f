// Scenes written with our writer, loaded and rendered on real OpenGL: what
// a viewer sees (shadows where the box hides the floor from the light, bump
// relief, blending far-first, a background filling the frame) and reviewed
// reference pictures.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/scene/SceneScenes.h"

namespace {

constexpr int32_t kW = 320, kH = 240;

TPicture Shot(TSceneWindow& w, Ts3dScene* scene, int32_t camera = 0, double time = 0.0) {
    w.Render(scene, camera, time);
    TPicture p;
    p.width = w.Gl().Width();
    p.height = w.Gl().Height();
    p.rgba = w.Pixels();
    for (size_t i = 3; i < p.rgba.size(); i += 4)
        p.rgba[i] = 255;
    return p;
}

// Where a world point lands in the window, from the camera of the last frame
// (its world matrix and the projection still loaded).
struct TProjector {
    TMatrix4 view, projection;
    TProjector(Ts3dScene* scene, I3dContext* c) {
        view = TMatrix::Invert(scene->Camera->Node->FrameWorld);
        T3dMatrix p;
        c->GetMatrix(mkProjection, p);
        std::copy(p.m, p.m + 16, projection.m);
    }
    bool Pixel(const float world[3], int32_t& x, int32_t& y) const {
        const TVector3 e = TMatrix::TransformPoint({world[0], world[1], world[2]}, view);
        float clip[4];
        for (int j = 0; j < 4; j++)
            clip[j] = e.x * projection.m[j] + e.y * projection.m[4 + j] + e.z * projection.m[8 + j] +
                      projection.m[12 + j];
        if (clip[3] <= 0) return false;
        x = int32_t((clip[0] / clip[3] * 0.5f + 0.5f) * kW);
        y = int32_t((clip[1] / clip[3] * 0.5f + 0.5f) * kH);
        return x >= 1 && y >= 1 && x < kW - 1 && y < kH - 1;
    }
};

// Whether the segment a-b passes through the axis-aligned box lo-hi.
bool SegmentHitsBox(const float a[3], const float b[3], const float lo[3], const float hi[3]) {
    float t0 = 0, t1 = 1;
    for (int i = 0; i < 3; i++) {
        const float d = b[i] - a[i];
        if (std::fabs(d) < 1e-6f) {
            if (a[i] < lo[i] || a[i] > hi[i]) return false;
            continue;
        }
        float u0 = (lo[i] - a[i]) / d, u1 = (hi[i] - a[i]) / d;
        if (u0 > u1) std::swap(u0, u1);
        t0 = std::max(t0, u0);
        t1 = std::min(t1, u1);
        if (t0 > t1) return false;
    }
    return true;
}

double PixelBrightness(const TPicture& p, int32_t x, int32_t y) {
    return MeanBrightness(p, x - 1, y - 1, x + 2, y + 2);
}

#define NEED(w)                                                                                              \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

} // namespace

// Floor points the box hides from the light are dark with shadows and lit
// without; every other lit floor point looks the same either way.
TEST(SceneRender, ShadowFallsExactlyWhereTheBoxHidesTheFloor) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(), "shadow.y3d");
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("shadow.y3d");
    const TPicture shadowed = Shot(w, scene);
    ASSERT_EQ(scene->ShadowLights.Count(), 1);
    const TProjector projector(scene, w.Context());
    ExpectLooksLike(shadowed, "shadow", 8, 40);
    scene->ReleaseShadowMaps();
    scene->ShadowsEnabled = false;
    const TPicture plain = Shot(w, scene);
    EXPECT_EQ(scene->ShadowLights.Count(), 0);

    const float h = TShadowScene::kBoxSize / 2;
    const float m = 0.3f; // margin around the shadow's edge
    const float inner[2][3] = {{-h + m, m, -h + m}, {h - m, 2 * h - m, h - m}};
    const float outer[2][3] = {{-h - m, -1, -h - m}, {h + m, 2 * h + m, h + m}};
    int32_t inShadow = 0, outside = 0;
    for (float x = -6; x <= 6; x += 0.125f)
        for (float z = -6; z <= 6; z += 0.125f) {
            const float p[3] = {x, 0.0f, z};
            int32_t px, py;
            if (!projector.Pixel(p, px, py)) continue;
            if (SegmentHitsBox(p, TShadowScene::kEye, outer[0], outer[1])) continue; // the box is in front
            if (PixelBrightness(plain, px, py) < 60) continue; // too little light to cast a shadow
            const double lit = PixelBrightness(plain, px, py), seen = PixelBrightness(shadowed, px, py);
            if (SegmentHitsBox(p, TShadowScene::kLight, inner[0], inner[1])) {
                inShadow++;
                EXPECT_LT(seen, lit * 0.5) << "no shadow at " << x << ", " << z;
            } else if (!SegmentHitsBox(p, TShadowScene::kLight, outer[0], outer[1])) {
                outside++;
                EXPECT_NEAR(seen, lit, 6.0) << "a shadow at " << x << ", " << z;
            }
        }
    EXPECT_GT(inShadow, 30);
    EXPECT_GT(outside, 300);
}

// The bump-mapped quad shows the normal map's ridges, brighter where they
// face the light (on the left); the flat quad shows a smooth gradient.
TEST(SceneRender, BumpMappedQuadShowsTheNormalMapsRelief) {
    TSceneFolder folder;
    folder.Save(TMaterialScene().Build(), "materials.y3d");
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("materials.y3d");
    const TPicture picture = Shot(w, scene);
    ExpectLooksLike(picture, "materials", 8, 40);
    const TProjector projector(scene, w.Context());

    // High-frequency detail along a row through a quad's middle.
    auto detail = [&](float centreX) {
        int32_t x0, x1, y, ignored;
        const float left[3] = {centreX - 0.8f, 1, 0}, right[3] = {centreX + 0.8f, 1, 0};
        EXPECT_TRUE(projector.Pixel(left, x0, y) && projector.Pixel(right, x1, ignored));
        double sum = 0;
        for (int32_t x = x0 + 4; x < x1 - 4; x++)
            sum += std::fabs(PixelBrightness(picture, x, y) -
                             0.5 * (PixelBrightness(picture, x - 4, y) + PixelBrightness(picture, x + 4, y)));
        return sum / double(x1 - x0 - 8);
    };
    EXPECT_GT(detail(-2.2f), 5.0);
    EXPECT_LT(detail(0.0f), 1.0);

    // The heights are sin(2 pi u * 4): rising (facing -x, the light) at
    // u = k/4, falling (facing away) at u = k/4 + 1/8.
    auto at = [&](float u) {
        const float p[3] = {-2.2f - 1 + 2 * u, 1, 0};
        int32_t x, y;
        EXPECT_TRUE(projector.Pixel(p, x, y));
        return PixelBrightness(picture, x, y);
    };
    double facing = 0, away = 0;
    for (float u : {0.25f, 0.5f, 0.75f}) {
        facing += at(u);
        away += at(u + 0.125f);
    }
    EXPECT_GT(facing, away + 3 * 20.0);
}

// Where the blended quads overlap, the farther quad's colour is seen through
// the nearer one (halved by its alpha of 0.5) and the nearer quad's colour is
// as bright as where it is alone: the farther one was drawn first.
TEST(SceneRender, BlendedObjectsCompositeFarthestFirst) {
    struct {
        bool redInFront;
        int nearChannel, farChannel; // 0 red, 1 green
    } rows[] = {{false, 1, 0}, {true, 0, 1}};
    for (const auto& row : rows) {
        TSceneFolder folder;
        folder.Save(TMaterialScene().Build(row.redInFront), "blend.y3d");
        TSceneWindow w(kW, kH, folder);
        NEED(w);
        Ts3dScene* scene = w.Load("blend.y3d");
        const TPicture picture = Shot(w, scene);
        ASSERT_EQ(scene->BlendedVisible.Count(), 2);
        const TProjector projector(scene, w.Context());
        // The overlap, the red quad alone and the green quad alone.
        const float points[3][3] = {{-0.5f, -1.4f, 1.0f}, {-1.8f, -1.4f, 1.0f}, {0.8f, -1.4f, 1.0f}};
        int channel[3][2];
        for (int i = 0; i < 3; i++) {
            int32_t x, y;
            ASSERT_TRUE(projector.Pixel(points[i], x, y));
            const uint32_t c = picture.At(x, y);
            channel[i][0] = Red(c);
            channel[i][1] = Green(c);
        }
        const int nearAlone = row.nearChannel == 0 ? 1 : 2, farAlone = row.farChannel == 0 ? 1 : 2;
        const double nearKept = double(channel[0][row.nearChannel]) / channel[nearAlone][row.nearChannel];
        const double farKept = double(channel[0][row.farChannel]) / channel[farAlone][row.farChannel];
        EXPECT_NEAR(nearKept, 1.0, 0.2) << "red in front " << row.redInFront;
        EXPECT_NEAR(farKept, 0.5, 0.15) << "red in front " << row.redInFront;
    }
}

// A picture background fills the frame exactly: its border colour is at
// every corner of the frame, whatever the texture's power-of-two padding.
TEST(SceneRender, BackgroundPictureFillsTheFrame) {
    TSceneFolder folder;
    folder.Save(TMaterialScene().Build(), "materials.y3d");
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("materials.y3d");
    struct {
        int32_t width, height, textureWidth, textureHeight;
    } sizes[] = {{100, 60, 128, 64}, {640, 480, 1024, 512}, {64, 64, 64, 64}};
    for (const auto& size : sizes) {
        TRefPtr<I3dImage> picture;
        w.Device()->CreateImage(picture);
        picture->Allocate(nullptr, size.width, 2, 0, 1, size.height);
        for (int32_t y = 0; y < size.height; y++)
            for (int32_t x = 0; x < size.width; x++) {
                const bool border = x < 4 || y < 4 || x >= size.width - 4 || y >= size.height - 4;
                const uint8_t rgb[3] = {uint8_t(border ? 0 : 200), uint8_t(border ? 0 : 100), 255};
                for (int k = 0; k < 3; k++)
                    picture->SetUInt8(x, y, k, 0, rgb[k]);
            }
        scene->Background = picture;
        const TPicture frame = Shot(w, scene);
        int32_t tw, th, td;
        scene->BackgroundTexture->GetSize(tw, th, td);
        EXPECT_EQ(tw, size.textureWidth);
        EXPECT_EQ(th, size.textureHeight);
        EXPECT_EQ(picture->GetWidth(), size.width) << "the script's picture stays as it was";
        for (auto [x, y] : {std::pair{0, 0}, {kW - 1, 0}, {0, kH - 1}, {kW - 1, kH - 1}})
            EXPECT_TRUE(NearColor(frame.At(x, y), 0, 0, 255, 4)) << size.width << " at " << x << ", " << y;
        EXPECT_TRUE(NearColor(frame.At(kW / 2, kH - 20), 200, 100, 255, 4)) << size.width;
    }
    ExpectLooksLike(Shot(w, scene), "background", 8, 40);
}
