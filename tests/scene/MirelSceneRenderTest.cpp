// mirel scene render: the frame the scene effect would draw; its errors.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/scene/SceneScenes.h"

namespace {

std::vector<std::string> Args(const TSceneFolder& folder, const std::string& out,
                              std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"scene",  "render",      "shadow.y3d", out,
                                     "--data", folder.Path(), "--size",     "120x90"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace

// The Targa and the PNG hold the frame drawn in this process with the scene
// effect's switches (shadow maps of 512); from an archive as from a folder.
TEST(MirelSceneRender, WritesTheFrameTheSceneEffectDraws) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(), "shadow.y3d");
    std::vector<std::string> pack = {"pack", folder.Path() + "/scene.pck"};
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        pack.push_back(entry.path().string());
    ASSERT_EQ(RunMirel(pack).exitCode, 0);
    struct {
        std::vector<std::string> args;
        bool shadows;
    } rows[] = {
        {Args(folder, folder.Path() + "/a.tga"), true},
        {Args(folder, folder.Path() + "/b.png"), true},
        {Args(folder, folder.Path() + "/c.png", {"--no-shadows"}), false},
        {{"scene", "render", "shadow.y3d", folder.Path() + "/d.png", "--archive",
          folder.Path() + "/scene.pck", "--size", "120x90"},
         true},
    };
    for (const auto& row : rows) {
        CommandResult r = RunMirel(row.args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        RgbaPicture written;
        ASSERT_TRUE(LoadPicture(row.args[3], written));
        TSceneWindow w(120, 90, folder);
        if (!w.Ok()) GTEST_SKIP() << w.Error();
        Ts3dScene* scene = w.Load("shadow.y3d");
        scene->ShadowMapSize = 512;
        scene->ShadowsEnabled = row.shadows;
        EXPECT_LE(DifferentPixels(written, w.Shot(scene), 4), 2) << row.args[3];
    }
    // A camera the scene lacks, a scene that is not there, a size that is
    // none: the error (or the usage), and no file.
    CommandResult usage = RunMirel(Args(folder, folder.Path() + "/e.png", {"--size", "0x10"}));
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("usage: scene render FILE OUT"), std::string::npos) << usage.err;
    for (auto [args, message] :
         {std::pair{Args(folder, folder.Path() + "/e.png", {"--camera", "5"}),
                    "List index out of bounds (5)"},
          {{"scene", "render", "gone.y3d", folder.Path() + "/e.png", "--data", folder.Path()}, "gone.y3d"}}) {
        CommandResult r = RunMirel(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(FileExists(folder.Path() + "/e.png"));
    }
}
