// The scene effect in a playing demo: scripts with TSceneLoadTest effects and
// their parts, frames drawn by the demo device at chosen demo times.
#include <gtest/gtest.h>

#include <cmath>

#include "data/FlexibleStream.h"
#include "demo/SceneEffect.h"
#include "script/FileXMLParser.h"
#include "tests/demo/DemoTestSupport.h"
#include "tests/scene/SceneScenes.h"

namespace {

constexpr int32_t kW = 96, kH = 72;

// A script's effects made through the registry and loaded; its parts added.
struct TScriptedScene {
    TFileXMLParser script;
    TEffectRegistry registry;
    std::vector<TRefPtr<IDemoEffect>> effects;

    void Load(TDemo3dDevice* device, const std::string& text) {
        script.LoadScriptText("scene.xml", text);
        FillEffectRegistry(registry);
        for (const auto& entry : script.Effects())
            for (TRefPtr<IDemoEffect>& effect : registry.Create(entry->ClassName)) {
                effect->SetName(entry->Name);
                effect->SetProperties(&entry->Properties);
                effect->SetControls(&entry->Controls);
                device->AddEffect(effect.Get());
                effect->Load();
                effects.push_back(effect);
            }
        for (const auto& part : script.Parts()) {
            TRefPtr<TDemoPart> p(new TDemoPart());
            p->SetEffect(device->FindEffect(part->Name));
            device->AddPart(p.Get(), part->Prepare, part->Start, part->Stop, part->Unprepare);
        }
    }
    Ts3dScene* Scene(size_t i = 0) { return dynamic_cast<TSceneLoadTest*>(effects[i].Get())->Scene(); }
};

// The whole frame, read right before it is presented.
struct TFrameGrab {
    DemoWindow* window;
    TPicture picture;
    static void Read(void* self, IDemo3dDevice*) {
        auto* g = static_cast<TFrameGrab*>(self);
        g->picture.width = kW;
        g->picture.height = kH;
        g->picture.rgba = g->window->ReadBack();
        for (size_t i = 3; i < g->picture.rgba.size(); i += 4)
            g->picture.rgba[i] = 255;
    }
    void Install() { window->Device()->SetOnOverlay({&TFrameGrab::Read, this}); }
};

// A data folder as the demo reads it (file mode, the folder as data root).
struct TDataRoot {
    explicit TDataRoot(const TSceneFolder& folder) {
        TFlexibleStream::ResetSettings();
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(folder.Path());
    }
    ~TDataRoot() { TFlexibleStream::ResetSettings(); }
};

// Two boxes far apart, a red one seen by camera 0 and a blue one by camera 1.
TY3dDocument TwoCameraScene() {
    TSceneBuilder b;
    const int32_t red = b.AddMaterial(ColourMaterial(1, 0, 0));
    const int32_t blue = b.AddMaterial(ColourMaterial(0, 0, 1));
    const float left[3] = {-20, 0, 0}, right[3] = {20, 0, 0};
    b.AddMesh(BoxMesh(4, 4, 4, red), left);
    b.AddMesh(BoxMesh(4, 4, 4, blue), right);
    const float eye0[3] = {-20, 0, 10}, eye1[3] = {20, 0, 10};
    b.AddCamera(eye0, left, 60);
    b.AddCamera(eye1, right, 60);
    const float light[3] = {0, 5, 30}, origin[3] = {0, 0, 0};
    b.AddLight(light, origin, 0, false);
    return b.Doc;
}

// A box sliding along x: frame 0 at -4, frame 60 at +4.
TY3dDocument SlidingBoxScene() {
    TSceneBuilder b;
    const int32_t red = b.AddMaterial(ColourMaterial(0.9f, 0.3f, 0.2f, 1, 0.4f));
    const int32_t grey = b.AddMaterial(ColourMaterial(0.7f, 0.7f, 0.7f));
    const float at[3] = {-4, 1, 0}, floorAt[3] = {0, 0, 0}, origin[3] = {0, 0, 0};
    const int32_t box = b.AddMesh(BoxMesh(2, 2, 2, red), at);
    b.AddMesh(PlaneMesh(16, 16, 16, grey), floorAt, kFloorTurn);
    TY3dTrack track;
    track.NodeId = box;
    track.Kind = tkPositionKeys;
    track.FloatsPerKey = 3;
    track.Step = 60;
    track.Keys = {-4, 1, 0, 4, 1, 0};
    for (TY3dObject& o : b.Doc.Objects)
        if (o.Node.Header.Id == box) o.Track = track;
    const float eye[3] = {0, 6, 12};
    b.AddCamera(eye, origin, 60);
    const float light[3] = {2, 8, 6};
    b.AddLight(light, origin, 0, false);
    return b.Doc;
}

#define NEED_WINDOW(w)                                                                                       \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

bool Reddish(uint32_t p) {
    return Red(p) > 2 * Blue(p) + 10;
}
bool Bluish(uint32_t p) {
    return Blue(p) > 2 * Red(p) + 10;
}

} // namespace

// "camera" as a hold control with keys 0 at 0 s, 1 at 7.74 s and 0 at 8.6 s:
// camera 0 until 7.74 s of local time, camera 1 until 8.6 s, then camera 0.
TEST(SceneEffect, TheCameraControlSwitchesViewsAtItsKeys) {
    TSceneFolder folder;
    folder.Save(TwoCameraScene(), "cameras.y3d");
    TDataRoot root(folder);
    DemoWindow w(kW, kH);
    NEED_WINDOW(w);
    TScriptedScene demo;
    demo.Load(w.Device(), R"(
        <effect name="scene" class="TSceneLoadTest">
          <property name="name" value="cameras.y3d"/>
          <property name="fps" value="25"/>
          <control name="camera"><key time="0" value="0"/><key time="7.74" value="1"/>
            <key time="8.6" value="0"/></control></effect>
        <part name="scene" start="10" stop="100"/>)");
    struct {
        double local;
        bool red;
    } rows[] = {{0.5, true}, {7.7, true}, {7.8, false}, {8.55, false}, {8.65, true}, {20, true}};
    for (const auto& row : rows) {
        w.FrameAt(10 + row.local, 0.02f);
        const uint32_t centre = w.Pixel(kW / 2, kH / 2);
        EXPECT_TRUE(row.red ? Reddish(centre) : Bluish(centre)) << "local time " << row.local;
    }
}

// Scene time = fps x local time: a part at 47.17 s with fps 30 shows frame
// 30 at 48.17 s, the picture `mirel scene render --time 30` draws.
TEST(SceneEffect, SceneFrameIsFpsTimesLocalTime) {
    TSceneFolder folder;
    folder.Save(SlidingBoxScene(), "slide.y3d");
    TPicture mirel;
    {
        CommandResult r = RunMirel({"scene", "render", "slide.y3d", folder.Path() + "/frame30.png", "--data",
                                    folder.Path(), "--size", std::to_string(kW) + "x" + std::to_string(kH),
                                    "--time", "30", "--shadow-map-size", "0"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ASSERT_TRUE(ReadPng(folder.Path() + "/frame30.png", mirel));
    }
    TDataRoot root(folder);
    DemoWindow w(kW, kH);
    NEED_WINDOW(w);
    TScriptedScene demo;
    demo.Load(w.Device(), R"(
        <effect name="slide" class="TSceneLoadTest">
          <property name="name" value="slide.y3d"/>
          <property name="fps" value="30.0"/></effect>
        <part name="slide" start="47.17" stop="60"/>)");
    TFrameGrab grab{&w, {}};
    grab.Install();
    w.FrameAt(48.17, 0.02f);
    EXPECT_NEAR(demo.Scene()->Time, 30.0, 1e-3);
    EXPECT_LE(DifferentPixels(grab.picture, mirel, 6), 4);
    // A second later the box has moved on.
    w.FrameAt(49.17, 0.02f);
    EXPECT_GT(DifferentPixels(grab.picture, mirel, 6), 100);
}

// Two parts of one scene effect: the scene is prepared when each starts and
// its shadow maps released when each stops; sizes come from the properties
// (rounded ties-to-even), shadows on and reflections off.
TEST(SceneEffect, EachPartPreparesTheSceneAndReleasesItsShadowMaps) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(true), "shadow.y3d");
    TDataRoot root(folder);
    DemoWindow w(kW, kH);
    NEED_WINDOW(w);
    TScriptedScene demo;
    demo.Load(w.Device(), R"(
        <effect name="s" class="TSceneLoadTest">
          <property name="name" value="shadow.y3d"/>
          <property name="ShadowMapSize" value="64.5"/>
          <property name="ReflectMapSize" value="33.5"/>
          <property name="fps" value="25"/></effect>
        <part name="s" start="1" stop="2"/>
        <part name="s" start="3" stop="4"/>)");
    Ts3dScene* scene = demo.Scene();
    EXPECT_EQ(scene->ShadowMapSize, 64);
    EXPECT_EQ(scene->ReflectMapSize, 34);
    EXPECT_TRUE(scene->ShadowsEnabled);
    EXPECT_FALSE(scene->ReflectionsEnabled);
    EXPECT_TRUE(scene->BumpEnabled);
    Ts3dLight* light = scene->Lights.Items(0);
    struct {
        double time;
        bool shadowMap;
    } rows[] = {{0.5, false}, {1.5, true}, {2.5, false}, {3.5, true}, {4.5, false}};
    for (const auto& row : rows) {
        w.FrameAt(row.time, 0.02f);
        EXPECT_EQ(bool(light->ShadowTarget), row.shadowMap) << "at " << row.time;
        EXPECT_EQ(scene->ShadowLights.Count(), row.time < 1 ? 0 : 1) << "prepared at " << row.time;
        EXPECT_EQ(scene->CubeMapObjects.Count(), 0) << "reflections are off";
    }
}

// A scene effect without "ShadowMapSize" keeps the scene's 0: its lights are
// plain lights. A scene file that cannot be loaded fails Load, naming it.
TEST(SceneEffect, DefaultsAndLoadFailures) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(), "shadow.y3d");
    TDataRoot root(folder);
    DemoWindow w(kW, kH);
    NEED_WINDOW(w);
    TScriptedScene demo;
    demo.Load(w.Device(), R"(
        <effect name="s" class="TSceneLoadTest"><property name="name" value="shadow.y3d"/></effect>
        <part name="s" start="0" stop="10"/>)");
    EXPECT_EQ(demo.Scene()->ShadowMapSize, 0);
    w.FrameAt(1, 0.02f);
    EXPECT_EQ(demo.Scene()->ShadowLights.Count(), 0);
    EXPECT_EQ(demo.Scene()->PlainLights.Count(), 1);

    struct {
        const char* script;
        const char* message;
    } failures[] = {
        {R"(<effect name="m" class="TSceneLoadTest"><property name="name" value="missing.y3d"/></effect>)",
         "missing.y3d"},
        {R"(<effect name="m" class="TSceneLoadTest"></effect>)", "The scene effect m names no scene file"},
    };
    for (const auto& f : failures) {
        TScriptedScene broken;
        try {
            broken.Load(w.Device(), f.script);
            ADD_FAILURE() << "no error for " << f.script;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(f.message), std::string::npos) << e.what();
        }
    }
}

TEST(SceneEffect, IndicesRoundToTheNearestTiesToEven) {
    struct {
        double value;
        int32_t index;
    } rows[] = {{0.4, 0}, {0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {1e12, -1}, {NAN, -1}};
    for (const auto& row : rows)
        EXPECT_EQ(RoundIndex(row.value), row.index) << row.value;
}
