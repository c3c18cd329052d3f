// The scene effect in a playing demo: scripts with TSceneLoadTest effects and
// their parts, frames drawn by the demo device at chosen demo times.
#include <gtest/gtest.h>

#include <cmath>

#include "data/FlexibleStream.h"
#include "demo/SceneEffect.h"
#include "demo/ScriptTimeline.h"
#include "script/FileXMLParser.h"
#include "tests/scene/SceneScenes.h"

namespace {

constexpr int32_t kW = 96, kH = 72;

// A demo window playing a script from a scene folder; the last frame is read
// right before it is presented.
struct TPlayingScript {
    TSceneFolder& folder;
    DemoWindow window{kW, kH};
    TFileXMLParser script;
    TEffectRegistry registry;
    std::vector<TRefPtr<IDemoEffect>> effects;
    RgbaPicture frame;

    explicit TPlayingScript(TSceneFolder& f) : folder(f) {
        TFlexibleStream::ResetSettings();
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(folder.Path());
    }
    ~TPlayingScript() { TFlexibleStream::ResetSettings(); }
    void Load(const std::string& text) {
        script.LoadScriptText("scene.xml", text);
        FillEffectRegistry(registry);
        for (const auto& entry : script.Effects())
            for (TRefPtr<IDemoEffect>& effect : AddScriptEffect(registry, *window.Device(), *entry))
                effects.push_back(effect);
        AddScriptParts(*window.Device(), script);
        window.Device()->SetOnOverlay({&TPlayingScript::Grab, this});
    }
    static void Grab(void* self, IDemo3dDevice*) {
        auto* p = static_cast<TPlayingScript*>(self);
        p->frame = {kW, kH, p->window.ReadBack()};
        for (size_t i = 3; i < p->frame.pixels.size(); i += 4)
            p->frame.pixels[i] = 255;
    }
    Ts3dScene* Scene() { return dynamic_cast<TSceneLoadTest*>(effects[0].Get())->Scene(); }
};

#define NEED_WINDOW(w)                                                                                       \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

} // namespace

// "camera" as a hold control with keys 0 at 0 s, 1 at 7.74 s and 0 at 8.6 s:
// camera 0 (the red box) until 7.74 s of local time, camera 1 (the blue box)
// until 8.6 s, then camera 0 again.
TEST(SceneEffect, TheCameraControlSwitchesViewsAtItsKeys) {
    TSceneBuilder b;
    const int32_t red = b.AddMaterial(ColourMaterial(1, 0, 0)), blue = b.AddMaterial(ColourMaterial(0, 0, 1));
    const float left[3] = {-20, 0, 0}, right[3] = {20, 0, 0}, eye0[3] = {-20, 0, 10}, eye1[3] = {20, 0, 10},
                light[3] = {0, 5, 30};
    b.AddMesh(BoxMesh(4, red), left);
    b.AddMesh(BoxMesh(4, blue), right);
    b.AddCamera(eye0, left, 60);
    b.AddCamera(eye1, right, 60);
    b.AddLight(light, left, 0, false);
    TSceneFolder folder;
    folder.Save(b.Doc, "cameras.y3d");
    TPlayingScript demo(folder);
    NEED_WINDOW(demo.window);
    demo.Load(R"(<effect name="scene" class="TSceneLoadTest">
          <property name="name" value="cameras.y3d"/><property name="fps" value="25"/>
          <control name="camera"><key time="0" value="0"/><key time="7.74" value="1"/>
            <key time="8.6" value="0"/></control></effect>
        <part name="scene" start="10" stop="100"/>)");
    for (auto [local, redSeen] :
         {std::pair{0.5, true}, {7.7, true}, {7.8, false}, {8.55, false}, {8.65, true}}) {
        demo.window.FrameAt(10 + local, 0.02f);
        const uint32_t c = At(demo.frame, kW / 2, kH / 2);
        EXPECT_GT(redSeen ? Red(c) - Blue(c) : Blue(c) - Red(c), 40) << "local time " << local;
    }
    // Ties go to even; what no list holds is -1.
    for (auto [value, index] :
         {std::pair{0.5, 0}, {1.5, 2}, {2.5, 2}, {-1.5, -2}, {1e12, -1}, {double(NAN), -1}})
        EXPECT_EQ(RoundIndex(value), index) << value;
}

// Scene time = fps x local time: a part at 47.17 s with fps 30 shows frame
// 30 at 48.17 s, the picture `mirel scene render --time 30` draws.
TEST(SceneEffect, SceneFrameIsFpsTimesLocalTime) {
    TSceneBuilder b;
    const float origin[3] = {0, 0, 0}, eye[3] = {0, 6, 12}, light[3] = {2, 8, 6};
    const int32_t box = b.AddMesh(BoxMesh(2, b.AddMaterial(ColourMaterial(0.9f, 0.3f, 0.2f))), origin);
    b.AddMesh(PlaneMesh(16, 16, 16, b.AddMaterial(ColourMaterial(0.7f, 0.7f, 0.7f))), origin, kFloorTurn);
    b.AddCamera(eye, origin, 60);
    b.AddLight(light, origin, 0, false);
    b.Doc.Objects[0].Track = TY3dTrack{box, tkPositionKeys, true, 3, 60, {-4, 1, 0, 4, 1, 0}}; // frames 0, 60
    TSceneFolder folder;
    folder.Save(b.Doc, "slide.y3d");
    CommandResult r = RunMirel({"scene", "render", "slide.y3d", folder.Path() + "/frame30.png", "--data",
                                folder.Path(), "--size", "96x72", "--time", "30", "--shadow-map-size", "0"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    RgbaPicture mirel;
    ASSERT_TRUE(LoadPicture(folder.Path() + "/frame30.png", mirel));
    TPlayingScript demo(folder);
    NEED_WINDOW(demo.window);
    demo.Load(R"(<effect name="slide" class="TSceneLoadTest">
          <property name="name" value="slide.y3d"/><property name="fps" value="30.0"/></effect>
        <part name="slide" start="47.17" stop="60"/>)");
    demo.window.FrameAt(48.17, 0.02f);
    EXPECT_NEAR(demo.Scene()->Time, 30.0, 1e-3);
    EXPECT_LE(DifferentPixels(demo.frame, mirel, 6), 4);
    demo.window.FrameAt(49.17, 0.02f); // the box has moved on
    EXPECT_GT(DifferentPixels(demo.frame, mirel, 6), 100);
}

// "loop" 30: the scene frame is fps x local time modulo 30, so frames 35 and
// 65 show frame 5 (the box at the same place); without "loop" the box has
// moved on.
TEST(SceneEffect, LoopRepeatsTheSceneAnimation) {
    TSceneBuilder b;
    const float origin[3] = {0, 0, 0}, eye[3] = {0, 6, 12}, light[3] = {2, 8, 6};
    const int32_t box = b.AddMesh(BoxMesh(2, b.AddMaterial(ColourMaterial(0.9f, 0.3f, 0.2f))), origin);
    b.AddCamera(eye, origin, 60);
    b.AddLight(light, origin, 0, false);
    b.Doc.Objects[0].Track = TY3dTrack{box, tkPositionKeys, true, 3, 60, {-4, 1, 0, 4, 1, 0}}; // frames 0, 60
    TSceneFolder folder;
    folder.Save(b.Doc, "slide.y3d");
    TPlayingScript demo(folder);
    NEED_WINDOW(demo.window);
    demo.Load(R"(<effect name="looped" class="TSceneLoadTest">
          <property name="name" value="slide.y3d"/><property name="fps" value="10"/>
          <property name="loop" value="30"/></effect>
        <effect name="plain" class="TSceneLoadTest">
          <property name="name" value="slide.y3d"/><property name="fps" value="10"/></effect>
        <part name="looped" start="0" stop="20"/><part name="plain" start="20" stop="40"/>)");
    std::vector<RgbaPicture> frames;
    for (double local : {0.5, 3.5, 6.5}) {
        demo.window.FrameAt(local, 0.02f);
        EXPECT_NEAR(demo.Scene()->Time, 5.0, 1e-3) << local;
        frames.push_back(demo.frame);
    }
    EXPECT_LE(DifferentPixels(frames[0], frames[1], 6), 4);
    EXPECT_LE(DifferentPixels(frames[0], frames[2], 6), 4);
    demo.window.FrameAt(23.5, 0.02f); // frame 35 without the loop
    EXPECT_GT(DifferentPixels(demo.frame, frames[0], 6), 100);
}

// Two parts of one effect: the scene is prepared when each starts and its
// shadow maps released when each stops. The sizes come from the properties,
// rounded ties-to-even; shadows on, reflections off, bump mapping on.
TEST(SceneEffect, EachPartPreparesTheSceneAndReleasesItsShadowMaps) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(true), "shadow.y3d");
    TPlayingScript demo(folder);
    NEED_WINDOW(demo.window);
    demo.Load(R"(<effect name="s" class="TSceneLoadTest">
          <property name="name" value="shadow.y3d"/><property name="ShadowMapSize" value="64.5"/>
          <property name="ReflectMapSize" value="33.5"/><property name="fps" value="25"/></effect>
        <effect name="none" class="TSceneLoadTest"><property name="name" value="shadow.y3d"/></effect>
        <part name="s" start="1" stop="2"/><part name="s" start="3" stop="4"/><part name="none" start="0" stop="9"/>)");
    Ts3dScene* scene = demo.Scene();
    EXPECT_EQ(scene->ShadowMapSize, 64);
    EXPECT_EQ(scene->ReflectMapSize, 34);
    EXPECT_TRUE(scene->ShadowsEnabled && !scene->ReflectionsEnabled && scene->BumpEnabled);
    Ts3dLight* light = scene->Lights.Items(0);
    auto* device = static_cast<T3dOpenGLDevice*>(demo.window.Rendering());
    int32_t targets = 0; // made again at every start, never piling up
    for (auto [time, shadowMap] :
         {std::pair{0.5, false}, {1.5, true}, {2.5, false}, {3.5, true}, {4.5, false}}) {
        demo.window.FrameAt(time, 0.02f);
        EXPECT_EQ(bool(light->ShadowTarget), shadowMap) << "at " << time;
        EXPECT_EQ(scene->ShadowLights.Count(), time < 1 ? 0 : 1) << "at " << time;
        EXPECT_EQ(scene->CubeMapObjects.Count(), 0);
        if (time > 1 && time < 2) targets = device->GetContextCount();
        if (time > 3 && time < 4) {
            EXPECT_EQ(device->GetContextCount(), targets);
        }
    }
    // Without "ShadowMapSize" the scene's size stays 0: a plain light.
    Ts3dScene* plain = dynamic_cast<TSceneLoadTest*>(demo.effects[1].Get())->Scene();
    EXPECT_EQ(plain->ShadowMapSize, 0);
    EXPECT_EQ(plain->ShadowLights.Count(), 0);
    EXPECT_EQ(plain->PlainLights.Count(), 1);
}
