// What the scene generator builds is what the engine loads: poses, cameras
// looking at their targets, instances sharing a mesh, sampled tracks; and a
// model written as glTF comes through mirel's importer the same way.
#include "tools/gen/lib/GltfWriter.h"
#include "tools/gen/lib/GenPicture.h"
#include "tools/gen/lib/SceneKit.h"

#include <gtest/gtest.h>

#include "scene/math/Matrix.h"
#include "scene/model/Scene.h"
#include "tests/content/ContentTestSupport.h"
#include "tests/support/SharedGlWindow.h"

namespace {

class SceneKitTest : public SharedGlWindowTest {
protected:
    // Where a node puts a point of its own space at scene time t.
    static V3 Place(Ts3dPositional* node, V3 p, double t) {
        TVector3 r = TMatrix::TransformPoint({p.x, p.y, p.z}, node->GetWorldMatrix(t));
        return {r.x, r.y, r.z};
    }
    static void ExpectNear(V3 a, V3 b) {
        EXPECT_NEAR(a.x, b.x, 1e-3f);
        EXPECT_NEAR(a.y, b.y, 1e-3f);
        EXPECT_NEAR(a.z, b.z, 1e-3f);
    }
    // The node of the object, camera or light with this name.
    static Ts3dPositional* NodeNamed(Ts3dScene* scene, const std::string& name) {
        for (int32_t i = 0; i < scene->Objects.Count(); i++)
            if (scene->Objects.Items(i)->Name == name) return scene->Objects.Items(i)->Node;
        for (int32_t i = 0; i < scene->Cameras.Count(); i++)
            if (scene->Cameras.Items(i)->Name == name) return scene->Cameras.Items(i)->Node;
        for (int32_t i = 0; i < scene->Lights.Count(); i++)
            if (scene->Lights.Items(i)->Name == name) return scene->Lights.Items(i)->Node;
        return nullptr;
    }

    TContentFolder data_;
};

TEST_F(SceneKitTest, PosesCamerasInstancesAndTracksLoadAsBuilt) {
    const float black[3] = {0, 0, 0};
    TSceneKit kit(black, black);
    kit.Material("m", TKitMaterial{});
    const TPose turned{{1, 2, 3}, AxisAngle({0, 1, 0}, 90)};
    int box = kit.Mesh("box", RoundedBox({1, 1, 1}, 0.1f, 2), "m", turned);
    kit.Instance("copy", box, At({-2, 0, 0}), box);
    kit.Camera("camera", LookAt({0, 5, 10}, {1, 2, 3}), 50, 0.5f, 100);
    kit.Light("light", TKitLight{}, At({0, 10, 0}));
    auto spin = [](float f) { return TPose{{f * 0.1f, 0, 0}, AxisAngle({0, 0, 1}, f * 2.0f)}; };
    kit.Animate(kit.Mesh("spinner", Sphere(0.5f, 8, 4), "m", At({})), 60, 10, spin);
    kit.Move(kit.Mesh("mover", Sphere(0.5f, 8, 4), "m", At({})), 60, 10, [](float f) { return V3{0, f, 0}; });
    EXPECT_EQ(kit.TriangleCount(),
              2 * RoundedBox({1, 1, 1}, 0.1f, 2).TriangleCount() + 2 * Sphere(0.5f, 8, 4).TriangleCount());
    kit.Save(data_.Dir().File("kit.y3d"));

    auto loader = LoadScene(window_->Device(), "kit.y3d");
    Ts3dScene* scene = loader->Scene();
    // A quarter turn about y takes x to -z, in the engine as here.
    ExpectNear(Place(NodeNamed(scene, "box"), {1, 0, 0}, 0), {1, 2, 2});
    // The instance shows the box's mesh, placed in the box's space.
    ExpectNear(Place(NodeNamed(scene, "copy"), {0, 0, 0}, 0), {1, 2, 5});
    EXPECT_EQ(scene->Objects.Items(0)->Geometry, scene->Objects.Items(1)->Geometry);
    // The camera's -z axis points at its target.
    Ts3dPositional* camera = NodeNamed(scene, "camera");
    V3 eye = Place(camera, {0, 0, 0}, 0), ahead = Place(camera, {0, 0, -1}, 0) - eye;
    EXPECT_GT(Dot(Normalize(ahead), Normalize(V3{1, 2, 3} - eye)), 0.9999f);
    // Tracks give the sampled pose at their keys.
    for (double frame : {0.0, 20.0, 50.0}) {
        TPose p = spin(float(frame));
        ExpectNear(Place(NodeNamed(scene, "spinner"), {1, 0, 0}, frame),
                   Apply({1, 0, 0}, p.rotation) + p.position);
        ExpectNear(Place(NodeNamed(scene, "mover"), {0, 0, 0}, frame), {0, float(frame), 0});
    }
}

TEST_F(SceneKitTest, AGltfModelComesThroughTheImporterAsWritten) {
    // A textured, turned box, a camera and a light, and a node that moves.
    TGenPicture picture(16, 16, 3);
    SavePng(picture, data_.Dir().File("stone.png"));
    TGltfWriter w;
    TGltfMaterial stone;
    stone.name = "stone";
    stone.baseColor[0] = 0.5f;
    stone.baseColorPicture = "stone.png";
    const int mesh = w.Mesh("box", RoundedBox({1, 1, 1}, 0.1f, 2), w.Material(stone));
    w.Node("box", {{1, 2, 3}, AxisAngle({0, 1, 0}, 90)}, -1, mesh);
    const int camera = w.Node("camera", LookAt({0, 5, 10}, {1, 2, 3}));
    w.AttachCamera(camera, w.Camera("camera", 40, 4.0f / 3.0f, 0.5f, 100));
    const float white[3] = {1, 1, 1};
    w.AttachLight(w.Node("light", At({0, 10, 0})), w.PointLight("light", white, 1.0f));
    const int mover = w.Node("mover", At({}), -1, mesh);
    auto path = [](float t) { return TPose{{t, 0, -t}, AxisAngle({0, 1, 0}, 30.0f * t)}; };
    w.Animate(mover, 2.0f, 0.5f, path);
    w.Save(data_.Dir().Path(), "model");

    CommandResult r = RunMirel(
        {"scene", "import", data_.Dir().File("model.gltf"), data_.Dir().File("model.y3d"), "--fps", "30"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto loader = LoadScene(window_->Device(), "model.y3d");
    Ts3dScene* scene = loader->Scene();
    ASSERT_EQ(scene->Cameras.Count(), 1);
    EXPECT_NEAR(scene->Cameras.Items(0)->Fov, 40.0f * 4.0f / 3.0f, 0.01f); // stored across
    ASSERT_EQ(scene->Lights.Count(), 1);
    ExpectNear(Place(NodeNamed(scene, "box"), {1, 0, 0}, 0), {1, 2, 2});
    Ts3dPositional* eye = NodeNamed(scene, "camera");
    V3 from = Place(eye, {0, 0, 0}, 0), ahead = Place(eye, {0, 0, -1}, 0) - from;
    EXPECT_GT(Dot(Normalize(ahead), Normalize(V3{1, 2, 3} - from)), 0.999f);
    // One second is frame 30.
    TPose p = path(1.0f);
    ExpectNear(Place(NodeNamed(scene, "mover"), {1, 0, 0}, 30.0), Apply({1, 0, 0}, p.rotation) + p.position);
    // The material keeps its colour and its picture.
    Ts3dMaterial* m = scene->Objects.Items(0)->Material;
    ASSERT_NE(m, nullptr);
    EXPECT_NEAR(m->DiffuseColor.r, 0.5f, 1e-4f);
    EXPECT_TRUE(m->DiffuseTexture);
}

} // namespace
