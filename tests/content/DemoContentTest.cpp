// The demo's six scenes as the build makes them: each loads, is lit and
// filmed, carries real geometry, and every material fits a set-up of the
// material handler; between them they show every set-up and every scene
// feature the engine has.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "scene/model/Scene.h"
#include "tests/content/ContentTestSupport.h"
#include "tests/support/SharedGlWindow.h"

namespace {

const char* const kScenes[] = {"relief.y3d", "stage.y3d",     "glass.y3d",
                               "chrome.y3d", "clockwork.y3d", "dusk.y3d"};

class DemoContent : public SharedGlWindowTest {
protected:
    TContentFolder data_;
};

TEST_F(DemoContent, TheSixScenesTogetherShowEverySetUpAndFeature) {
    std::map<std::string, std::string> setups; // set-up -> a scene that shows it
    std::set<std::string> features;
    for (const char* file : kScenes) {
        SCOPED_TRACE(file);
        auto loader = LoadScene(window_->Device(), file);
        Ts3dScene* scene = loader->Scene();
        EXPECT_GE(scene->Lights.Count(), 1);
        EXPECT_GE(scene->Cameras.Count(), 1);

        size_t triangles = 0;
        std::map<Ts3dGeometryDef*, int> shown;
        for (int32_t i = 0; i < scene->Objects.Count(); i++) {
            Ts3dObject* o = scene->Objects.Items(i);
            ASSERT_NE(o->Material, nullptr) << o->Name << " has no material";
            I3dFaceList* faces = o->Geometry->Faces.Get();
            for (int32_t g = 0; g < faces->GetCount(); g++)
                triangles += size_t(static_cast<T3dFaceGroup*>(faces->ElementAddress(g))->IndexCount) / 3;
            if (++shown[o->Geometry] == 2) features.insert("one mesh on several nodes");
            auto* animated = dynamic_cast<Ts3dAnimPosition*>(o->Node);
            if (animated && animated->Parent) features.insert("animated child node");
        }
        EXPECT_GE(triangles, 2000u);
        EXPECT_LE(triangles, 80000u);

        for (int32_t i = 0; i < scene->Materials.Count(); i++) {
            Ts3dMaterial* m = scene->Materials.Items(i);
            std::string setup = SetupOf(scene, m);
            EXPECT_NE(setup, "none") << m->Name << ": its maps fit no set-up";
            setups.emplace(setup, file);
            if (m->BlendKind == bkBlended && m->TwoSided == 2) features.insert("two-sided glass");
        }
        for (int32_t i = 0; i < scene->Lights.Count(); i++) {
            Ts3dLight* l = scene->Lights.Items(i);
            if (l->CastsShadows && l->CutOff < 90.0f) features.insert("shadow-casting spot light");
            if (dynamic_cast<Ts3dAnimPosition*>(l->Node)) features.insert("moving light");
        }
        if (scene->Cameras.Count() >= 3) features.insert("several cameras");
        for (int32_t i = 0; i < scene->Cameras.Count(); i++)
            if (scene->Cameras.Items(i)->Node->Parent) features.insert("camera riding on a node");
    }
    for (const char* setup : {"plain opaque", "plain blended", "bump", "diffuse texture", "reflection",
                              "bump with diffuse texture", "diffuse texture with reflection"})
        EXPECT_TRUE(setups.count(setup)) << "no scene shows " << setup;
    for (const char* feature :
         {"one mesh on several nodes", "animated child node", "two-sided glass", "shadow-casting spot light",
          "moving light", "several cameras", "camera riding on a node"})
        EXPECT_TRUE(features.count(feature)) << "no scene has " << feature;
}

} // namespace
