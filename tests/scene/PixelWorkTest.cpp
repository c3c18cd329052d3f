// The work the renderer leaves out because no pixel shows it: each kind in a
// scene where it exists, drawn with and without it. The frames must be the
// same to the bit, and the counted work smaller.
#include <gtest/gtest.h>

#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"
#include "Mirel3d/Mirel3dOpengl/PixelWork.h"
#include "tests/scene/SceneScenes.h"

namespace {

#define NEED(w)                                                                                              \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

struct TCountedShot {
    RgbaPicture picture;
    TPixelWorkCounts work;
};

// One frame, counted, with the needless work done or left out.
TCountedShot CountedShot(TSceneWindow& w, Ts3dScene* scene, bool allWork) {
    SetDrawAllWork(allWork);
    PixelWorkEnable(true);
    PixelWorkTakeFrame();
    TCountedShot shot;
    shot.picture = w.Shot(scene);
    shot.work = PixelWorkTakeFrame();
    PixelWorkEnable(false);
    SetDrawAllWork(false);
    return shot;
}

// Two light groups (a shadow-casting spot light and a plain light), a
// refracting box that wants a cube map, and two boxes of one material.
TY3dDocument WorkScene() {
    TSceneBuilder b;
    const int32_t grey = b.AddMaterial(ColourMaterial(0.8f, 0.8f, 0.8f));
    const int32_t green = b.AddMaterial(ColourMaterial(0.2f, 0.8f, 0.3f));
    TY3dMaterial glass = ColourMaterial(0.9f, 0.2f, 0.1f);
    glass.Maps.push_back({mtRefraction, b.AddPicture(4, 4, [](int32_t, int32_t) { return 0u; }), 1});
    const int32_t refracting = b.AddMaterial(glass);
    const float floorAt[3] = {0, 0, 0}, far[3] = {0, 1.5f, -4}, near[3] = {0, 1.5f, 2}, side[3] = {4, 1, 0};
    b.AddMesh(PlaneMesh(20, 20, 8, grey), floorAt, kFloorTurn);
    b.AddMesh(BoxMesh(2, green), far);
    b.AddMesh(BoxMesh(3, green), near);
    b.AddMesh(BoxMesh(1.5f, refracting), side);
    b.AddCamera(TShadowScene::kEye, floorAt, 60);
    b.AddLight(TShadowScene::kLight, floorAt, 70, true);
    const float plain[3] = {5, 8, 5};
    b.AddLight(plain, floorAt, 0, false);
    return b.Doc;
}

TEST(PixelWork, LeftOutWorkLeavesTheFrameAsItIs) {
    TSceneFolder folder;
    folder.Save(WorkScene(), "work.y3d");
    TSceneWindow w(160, 120, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("work.y3d");
    scene->ReflectMapSize = 32;
    scene->ReflectionsEnabled = true;
    // Once with every program compiled, so that both shots draw alike.
    CountedShot(w, scene, true);
    CountedShot(w, scene, false);
    const TCountedShot all = CountedShot(w, scene, true);
    const TCountedShot shown = CountedShot(w, scene, false);
    ASSERT_EQ(scene->ShadowLights.Count(), 1);
    ASSERT_EQ(scene->PlainLights.Count(), 1);
    ASSERT_EQ(scene->CubeMapObjects.Count(), 1);
    EXPECT_EQ(DifferentPixels(shown.picture, all.picture, 0), 0);

    // Each kind of work left out, and what shows it is gone.
    struct {
        const char* what;
        uint64_t all, shown;
    } rows[] = {
        // The plain light's group: every material pass a second time.
        {"passes (later light group, cube faces)", all.work.Passes, shown.work.Passes},
        // Six cube faces, none of which any set-up samples.
        {"cube-face fragments", all.work.Fragments[pwCubeMaps], shown.work.Fragments[pwCubeMaps]},
        {"draw calls", all.work.DrawCalls, shown.work.DrawCalls},
    };
    for (const auto& row : rows)
        EXPECT_LT(row.shown, row.all) << row.what;
    EXPECT_EQ(shown.work.Fragments[pwCubeMaps], 0u);
    EXPECT_EQ(shown.work.Scopes[pwShadowMaps], 1u) << "the shadow map is still drawn";
    EXPECT_EQ(shown.work.Fragments[pwOpaque], all.work.Fragments[pwOpaque]) << "what shows is drawn as before";
}

// A scene's programs are all made in its first frame: when the second
// camera shows a bump-mapped box and a textured one that the first did not,
// nothing is compiled.
TEST(PixelWork, NoProgramIsCompiledAfterTheFirstFrame) {
    TSceneBuilder b;
    TY3dMaterial bumpy = ColourMaterial(0.8f, 0.8f, 0.8f, 1.0f, 0.3f);
    bumpy.Maps.push_back({mtBump, b.AddPicture(4, 4, [](int32_t x, int32_t) { return x * 0x303030u; }), 1});
    TY3dMaterial textured = ColourMaterial(1, 1, 1);
    textured.Maps.push_back(
        {mtDiffuse, b.AddPicture(4, 4, [](int32_t, int32_t y) { return y * 0x402010u; }), 1});
    const int32_t plain = b.AddMaterial(ColourMaterial(0.2f, 0.4f, 0.9f));
    const int32_t materials[2] = {b.AddMaterial(bumpy), b.AddMaterial(textured)};
    const float here[3] = {0, 0, 0}, there[3] = {40, 0, 0}, beside[3] = {40, 0, 3};
    const float eyeHere[3] = {0, 2, 8}, eyeThere[3] = {40, 2, 8};
    b.AddMesh(BoxMesh(2, plain), here);
    b.AddMesh(BoxMesh(2, materials[0]), there);
    b.AddMesh(BoxMesh(1, materials[1]), beside);
    b.AddCamera(eyeHere, here, 40);
    b.AddCamera(eyeThere, there, 40);
    const float lamp[3] = {20, 10, 10};
    b.AddLight(lamp, here, 0, false);
    TSceneFolder folder;
    folder.Save(b.Doc, "two.y3d");
    TSceneWindow w(96, 72, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("two.y3d");
    const RgbaPicture first = w.Shot(scene, 0);
    const NvEmulationStats before = NvEmulationGetStats();
    // The next frame, through the other camera (Shot would prepare again).
    scene->SelectCamera(1);
    scene->Render();
    const RgbaPicture second{w.Gl().Width(), w.Gl().Height(), w.Gl().ReadRGBA()};
    EXPECT_GT(DifferentPixels(first, second, 8), 96 * 72 / 10) << "the second camera shows other boxes";
    const NvEmulationStats after = NvEmulationGetStats();
    if (NvCombinersEmulated()) {
        EXPECT_EQ(after.programsCompiled, before.programsCompiled);
    }
    EXPECT_EQ(after.vertexProgramsLoaded, before.vertexProgramsLoaded);
}

} // namespace
