// The scene model without files: node evaluation once per time, lists.
#include <gtest/gtest.h>

#include "scene/model/Scene.h"

namespace {

// A fixed node that counts its evaluations.
struct CountingNode : Ts3dFixedPosition {
    int evaluations = 0;
    void Evaluate(double time) override {
        evaluations++;
        Ts3dFixedPosition::Evaluate(time);
    }
};

TEST(SceneModel, NodeChainEvaluatesOncePerTime) {
    CountingNode root, middle, leaf;
    middle.Parent = &root;
    leaf.Parent = &middle;
    root.LocalMatrix = TMatrix::Translation(1, 0, 0);
    middle.LocalMatrix = TMatrix::Translation(0, 2, 0);
    leaf.LocalMatrix = TMatrix::Translation(0, 0, 3);
    struct Step {
        double time;
        int expected;
    };
    // Asking again at the same time evaluates nothing; a new time evaluates each node once.
    for (Step step : {Step{0.0, 1}, Step{0.0, 1}, Step{2.5, 2}, Step{2.5, 2}, Step{0.0, 3}}) {
        TMatrix4 world = leaf.GetWorldMatrix(step.time);
        middle.GetWorldMatrix(step.time);
        EXPECT_EQ(root.evaluations, step.expected) << step.time;
        EXPECT_EQ(middle.evaluations, step.expected) << step.time;
        EXPECT_EQ(leaf.evaluations, step.expected) << step.time;
        EXPECT_FLOAT_EQ(world.m[12], 1.0f);
        EXPECT_FLOAT_EQ(world.m[13], 2.0f);
        EXPECT_FLOAT_EQ(world.m[14], 3.0f);
    }
}

TEST(SceneModel, AnimatedNodeWithoutKeysIsIdentity) {
    Ts3dAnimPosition node;
    TMatrix4 world = node.GetWorldMatrix(3.0);
    TMatrix4 identity = TMatrix::Identity();
    for (int i = 0; i < 16; i++)
        EXPECT_FLOAT_EQ(world.m[i], identity.m[i]) << i;
}

TEST(SceneModel, AddObjectListsSharedMaterialOnce) {
    Ts3dScene scene;
    scene.Create();
    Ts3dMaterial* shared = scene.Own(std::make_unique<Ts3dMaterial>());
    Ts3dObject* a = scene.Own(std::make_unique<Ts3dObject>());
    Ts3dObject* b = scene.Own(std::make_unique<Ts3dObject>());
    Ts3dObject* none = scene.Own(std::make_unique<Ts3dObject>());
    a->Material = b->Material = shared;
    for (Ts3dObject* o : {a, b, none})
        scene.AddObject(o);
    EXPECT_EQ(scene.Objects.Count(), 3);
    ASSERT_EQ(scene.Materials.Count(), 1);
    EXPECT_EQ(scene.Materials.Items(0), shared);
    EXPECT_THROW(scene.Materials.Items(1), EListError);
    EXPECT_THROW(scene.Materials.Items(-1), EListError);
}

} // namespace
