// The views a frame nests (shadow maps, cube faces) against the same scene
// drawn without them, the driver capabilities the scene gives up without,
// culling, and the scenes the renderer must survive.
#include <gtest/gtest.h>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "tests/scene/SceneScenes.h"

namespace {

constexpr int32_t kW = 160, kH = 120;

TPicture Shot(TSceneWindow& w, Ts3dScene* scene) {
    w.Render(scene);
    TPicture p;
    p.width = w.Gl().Width();
    p.height = w.Gl().Height();
    p.rgba = w.Pixels();
    return p;
}

#define NEED(w)                                                                                              \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

// The device's belief about the GL state is what GL says.
void ExpectBeliefsMatchGL(TSceneWindow& w) {
    T3dOpenglContext* c = w.Gl().GLContext();
    GLint mode = 0, unit = 0;
    GL.glGetIntegerv(GL_MATRIX_MODE, &mode);
    GL.glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &unit);
    EXPECT_EQ(int(unit - GL_TEXTURE0_ARB) + 1, c->GetCurrentUnit());
    const T3dMatrixKind kind = c->GetMatrixMode();
    const GLint expected = kind == mkProjection  ? GL_PROJECTION
                           : kind == mkModelview ? GL_MODELVIEW
                                                 : GL_TEXTURE;
    if (kind != mkNone) {
        EXPECT_EQ(mode, expected);
    }
    for (int32_t u = 1; u <= 4; u++) {
        GL.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u - 1));
        const GLenum target = c->StateCache().UnitTarget[u];
        for (GLenum other : {GLenum(GL_TEXTURE_2D), GLenum(GL_TEXTURE_CUBE_MAP_ARB)})
            if (other != target) {
                EXPECT_FALSE(GL.glIsEnabled(other)) << "unit " << u;
            }
    }
    GL.glActiveTextureARB(GLenum(unit));
}

} // namespace

// Cube faces drawn for a refracting box (nested views of the whole scene,
// with their own materials, lights and shadow passes) leave the main view
// exactly as it is drawn without them.
TEST(SceneViews, CubeFacesLeaveTheMainViewAsItIs) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(true), "glass.y3d");
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("glass.y3d");
    scene->ReflectMapSize = 64;
    const TPicture without = Shot(w, scene);
    EXPECT_EQ(scene->CubeMapObjects.Count(), 0) << "reflections off: no cube faces";
    scene->ReflectionsEnabled = true;
    const TPicture with = Shot(w, scene);
    ASSERT_EQ(scene->CubeMapObjects.Count(), 1);
    EXPECT_TRUE(scene->CubeMapObjects.Items(0)->Material->CubeTexture);
    EXPECT_LE(MaxDifference(with, without), 1);
    ExpectBeliefsMatchGL(w);
}

// A shadow map with nothing in the way multiplies every surface by 1: the
// picture is the one drawn without shadow maps.
TEST(SceneViews, AShadowMapWithoutOccludersLeavesThePictureAsItIs) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(false, 70.0f, false), "floor.y3d");
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("floor.y3d");
    const TPicture with = Shot(w, scene);
    ASSERT_EQ(scene->ShadowLights.Count(), 1);
    ExpectBeliefsMatchGL(w);
    scene->ReleaseShadowMaps();
    scene->ShadowsEnabled = false;
    const TPicture without = Shot(w, scene);
    EXPECT_LE(DifferentPixels(with, without, 3), kW * kH / 200);
}

// Without framebuffer objects there are no off-screen targets: no shadow
// maps and no cube maps. Without shadow comparison there are no shadow maps.
// Either way the scene is drawn, as it is without them.
TEST(SceneViews, MissingCapabilitiesGiveUpShadowsAndReflections) {
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(true), "glass.y3d");
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("glass.y3d");
    scene->ReflectMapSize = 64;
    scene->ShadowsEnabled = false;
    const TPicture plain = Shot(w, scene);

    struct {
        const char* name;
        uint8_t T3dGLFlags::*flags[3];
        bool cubeMaps;
    } rows[] = {
        {"no framebuffer objects",
         {&T3dGLFlags::Pbuffer, &T3dGLFlags::RenderTexture, &T3dGLFlags::RenderDepthTexture},
         false},
        {"no shadow comparison", {&T3dGLFlags::ARBShadow, &T3dGLFlags::SGIXShadow, nullptr}, true},
    };
    for (const auto& row : rows) {
        const T3dGLFlags saved = GLFlags;
        for (auto flag : row.flags)
            if (flag) GLFlags.*flag = 0;
        w.Gl().GLContext()->ReadCapabilities();
        Ts3dScene* masked = w.Load("glass.y3d");
        masked->ReflectMapSize = 64;
        masked->ReflectionsEnabled = true;
        const TPicture picture = Shot(w, masked);
        EXPECT_EQ(masked->ShadowLights.Count(), 0) << row.name;
        EXPECT_EQ(masked->PlainLights.Count(), 1) << row.name;
        EXPECT_EQ(masked->CubeMapObjects.Count(), row.cubeMaps ? 1 : 0) << row.name;
        EXPECT_LE(MaxDifference(picture, plain), 1) << row.name;
        GLFlags = saved;
        w.Gl().GLContext()->ReadCapabilities();
    }
}

// Which lights get shadow maps, prepared again and again as parts start and
// stop, and the targets the device keeps meanwhile.
TEST(SceneViews, ShadowMapsFollowTheLightsSizesAndStarts) {
    struct {
        const char* name;
        float cone;   // 0: omni
        int32_t size; // ShadowMapSize
        bool shadows; // ShadowsEnabled
        int32_t shadowLights;
    } rows[] = {
        {"spot light", 70, 128, true, 1},
        {"omni light (no one projection covers it)", 0, 128, true, 0},
        {"no shadow map size", 70, 0, true, 0},
        {"shadows off", 70, 128, false, 0},
        {"a size beyond what is sensible", 70, 1 << 30, true, 1},
    };
    for (const auto& row : rows) {
        TSceneFolder folder;
        folder.Save(TShadowScene().Build(false, row.cone), "s.y3d");
        TSceneWindow w(kW, kH, folder);
        NEED(w);
        Ts3dScene* scene = w.Load("s.y3d");
        scene->ShadowMapSize = row.size;
        scene->ShadowsEnabled = row.shadows;
        auto* device = static_cast<T3dOpenGLDevice*>(w.Device());
        int32_t contexts = 0;
        const int starts = row.size > 4096 ? 1 : 4;
        for (int start = 0; start < starts; start++) {
            Shot(w, scene);
            EXPECT_EQ(scene->ShadowLights.Count(), row.shadowLights) << row.name;
            for (Ts3dLight* light : scene->ShadowLights) {
                EXPECT_EQ(light->ShadowTarget->GetWidth(), std::min(row.size, 2048)) << row.name;
            }
            EXPECT_EQ(scene->PlainLights.Count(), 1 - row.shadowLights) << row.name;
            scene->ReleaseShadowMaps();
            if (start == 1) contexts = device->GetContextCount();
            if (start > 1) {
                EXPECT_LE(device->GetContextCount(), contexts) << row.name;
            }
        }
        EXPECT_EQ(device->GetStackTop(), 0) << row.name;
    }
}

// A scene without lights fails at its first full view with the light list's
// index error, and leaves neither a target pushed nor the combiners on.
TEST(SceneViews, ASceneWithoutLightsRaisesTheListIndexError) {
    for (bool reflections : {false, true}) {
        TSceneFolder folder;
        TY3dDocument doc = TShadowScene().Build(true);
        std::erase_if(doc.Objects, [](const TY3dObject& o) { return o.What == TY3dObject::okLight; });
        folder.Save(doc, "dark.y3d");
        TSceneWindow w(kW, kH, folder);
        NEED(w);
        Ts3dScene* scene = w.Load("dark.y3d");
        scene->ReflectionsEnabled = reflections;
        scene->ReflectMapSize = 32;
        try {
            w.Render(scene);
            ADD_FAILURE() << "no error";
        } catch (const EListError& e) {
            EXPECT_STREQ(e.what(), "List index out of bounds (0)");
        }
        EXPECT_EQ(static_cast<T3dOpenGLDevice*>(w.Device())->GetStackTop(), 0);
        EXPECT_FALSE(GL.glIsEnabled(GL_REGISTER_COMBINERS_NV));
    }
}

// An object whose material index lies outside the material list is kept by
// the loader and left out of every view.
TEST(SceneViews, ObjectsWithoutAMaterialAreSkipped) {
    TSceneFolder folder;
    TY3dDocument doc = TShadowScene().Build();
    folder.Save(doc, "with.y3d");
    TY3dDocument orphan = doc;
    for (TY3dObject& o : orphan.Objects)
        if (o.What == TY3dObject::okMesh && o.Mesh.VertexCount == 24) o.Mesh.Groups[0].Material = 7;
    folder.Save(orphan, "orphan.y3d");
    TY3dDocument without = doc;
    std::erase_if(without.Objects, [](const TY3dObject& o) { return o.Mesh.VertexCount == 24; });
    folder.Save(without, "without.y3d");
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene* scene = w.Load("orphan.y3d");
    EXPECT_EQ(scene->Objects.Count(), 2);
    scene->ShadowsEnabled = false;
    const TPicture a = Shot(w, scene);
    EXPECT_EQ(scene->Visible.Count(), 1);
    Ts3dScene* reference = w.Load("without.y3d");
    reference->ShadowsEnabled = false;
    EXPECT_LE(MaxDifference(a, Shot(w, reference)), 1);
}

// Culling by bounding sphere against the six planes of the projection: a
// sphere reaching into the frustum by any amount is drawn.
TEST(SceneViews, CullingKeepsEverySphereThatReachesIntoTheFrustum) {
    TSceneFolder folder;
    TSceneWindow w(kW, kH, folder);
    NEED(w);
    Ts3dScene scene;
    scene.Device = w.Device();
    scene.Create();
    scene.CreateResources();
    I3dContext* c = w.Context();
    c->LoadIdentity(mkProjection);
    c->Perspective(mkProjection, 90.0f, 1.0f, 1.0f, 100.0f); // planes x = +-(-z), y = +-(-z)
    struct {
        TVector3 centre;
        float radius;
        bool visible;
    } rows[] = {
        {{0, 0, -10}, 1, true},         // straight ahead
        {{0, 0, 10}, 1, false},         // behind
        {{0, 0, -0.5f}, 0.4f, false},   // before the near plane
        {{0, 0, -0.5f}, 0.6f, true},    // reaching past the near plane
        {{0, 0, -101}, 0.9f, false},    // beyond the far plane
        {{0, 0, -101}, 1.1f, true},     // reaching back inside it
        {{10.8f, 0, -10}, 0.5f, false}, // right of the right plane by 0.57
        {{10.3f, 0, -10}, 0.5f, true},  // outside by 0.21, less than the radius
        {{0, -10.3f, -10}, 0.5f, true}, // below, touching
        {{0, 12, -10}, 1, false},       // above
    };
    std::vector<std::unique_ptr<Ts3dObject>> objects;
    Ts3dMaterial material;
    Ts3dFixedPosition node;
    for (const auto& row : rows) {
        objects.push_back(std::make_unique<Ts3dObject>());
        objects.back()->EyeCenter = row.centre;
        objects.back()->Radius = row.radius;
        objects.back()->Material = &material;
        objects.back()->Node = &node;
        scene.Objects.Add(objects.back().get());
    }
    scene.Visible.Clear();
    scene.Culler->Cull();
    for (size_t i = 0; i < std::size(rows); i++)
        EXPECT_EQ(scene.Visible.Contains(objects[i].get()), rows[i].visible) << "row " << i;
    // Visible keeps the order of Objects.
    for (int32_t i = 1; i < scene.Visible.Count(); i++)
        EXPECT_LT(std::find(scene.Objects.begin(), scene.Objects.end(), scene.Visible.Items(i - 1)),
                  std::find(scene.Objects.begin(), scene.Objects.end(), scene.Visible.Items(i)));
}
