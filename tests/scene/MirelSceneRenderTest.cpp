// mirel scene render: the frame the scene effect would draw, written as
// Targa or PNG, from a data folder or an archive; its errors.
#include <gtest/gtest.h>

#include <filesystem>

#include "data/FlexibleStream.h"
#include "data/Stream.h"
#include "tests/scene/SceneScenes.h"

namespace {

constexpr int32_t kW = 120, kH = 90;

bool HaveDisplay() {
    return std::getenv("DISPLAY") != nullptr;
}

std::vector<std::string> RenderArgs(const TSceneFolder& folder, const std::string& out,
                                    std::vector<std::string> more = {}) {
    std::vector<std::string> args = {
        "scene",  "render",      "shadow.y3d", out,
        "--data", folder.Path(), "--size",     std::to_string(kW) + "x" + std::to_string(kH)};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

bool ReadTarga(const std::string& path, TPicture& p) {
    TRefPtr<I3dImage> image = T3dImage::Create();
    try {
        TFileStream file(path, TFileStream::fmOpenRead);
        image->LoadFromStream(file);
    } catch (const std::exception&) {
        return false;
    }
    p.width = image->GetWidth();
    p.height = image->GetHeight();
    p.rgba.assign(size_t(p.width) * size_t(p.height) * 4, 255);
    for (int32_t y = 0; y < p.height; y++)
        for (int32_t x = 0; x < p.width; x++)
            for (int32_t c = 0; c < 3; c++)
                p.rgba[(size_t(y) * size_t(p.width) + size_t(x)) * 4 + size_t(c)] =
                    image->GetUInt8(x, y, c, 0);
    return true;
}

} // namespace

TEST(MirelSceneRender, UsageErrors) {
    TSceneFolder folder;
    const std::string out = folder.Path() + "/out.tga";
    const std::vector<std::vector<std::string>> rows = {
        {"scene", "render"},
        {"scene", "render", "a.y3d"},
        {"scene", "render", "a.y3d", out, "--size", "0x10"},
        {"scene", "render", "a.y3d", out, "--size", "640"},
        {"scene", "render", "a.y3d", out, "--camera", "one"},
        {"scene", "render", "a.y3d", out, "--data", ".", "--archive", "x.pck"},
        {"scene", "render", "a.y3d", out, "--fast"},
        {"scene", "render", "a.y3d", out, "extra"},
    };
    for (const auto& args : rows) {
        CommandResult r = RunMirel(args);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        EXPECT_NE(r.err.find("usage: scene render FILE OUT"), std::string::npos) << r.err;
        EXPECT_FALSE(FileExists(out));
    }
}

// The Targa and the PNG hold the frame the scene effect's switches give (a
// shadow map of 512, shadows on) drawn in this process.
TEST(MirelSceneRender, WritesTheFrameTheSceneEffectDraws) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(), "shadow.y3d");
    struct {
        const char* name;
        std::vector<std::string> options;
        bool shadows;
    } rows[] = {{"out.tga", {}, true}, {"out.png", {}, true}, {"plain.png", {"--no-shadows"}, false}};
    for (const auto& row : rows) {
        const std::string out = folder.Path() + "/" + row.name;
        CommandResult r = RunMirel(RenderArgs(folder, out, row.options));
        ASSERT_EQ(r.exitCode, 0) << r.err;
        TPicture written;
        ASSERT_TRUE(std::string(row.name).ends_with(".png") ? ReadPng(out, written)
                                                            : ReadTarga(out, written));
        ASSERT_EQ(written.width, kW);
        ASSERT_EQ(written.height, kH);
        TSceneWindow w(kW, kH, folder);
        if (!w.Ok()) GTEST_SKIP() << w.Error();
        Ts3dScene* scene = w.Load("shadow.y3d");
        scene->ShadowMapSize = 512;
        scene->ShadowsEnabled = row.shadows;
        w.Render(scene);
        TPicture here{kW, kH, w.Pixels()};
        EXPECT_LE(DifferentPixels(written, here, 4), 2) << row.name;
    }
}

// From an archive as from a folder; the other switches reach the scene.
TEST(MirelSceneRender, ArchivesCamerasTimesAndBackgrounds) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display";
    TSceneFolder folder;
    folder.Save(TShadowScene().Build(), "shadow.y3d");
    std::vector<std::string> pack = {"pack", folder.Path() + "/scene.pck"};
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        if (entry.path().extension() != ".pck") pack.push_back(entry.path().string());
    ASSERT_EQ(RunMirel(pack).exitCode, 0);
    const std::string fromFolder = folder.Path() + "/folder.png",
                      fromArchive = folder.Path() + "/archive.png";
    ASSERT_EQ(RunMirel(RenderArgs(folder, fromFolder)).exitCode, 0);
    CommandResult r = RunMirel({"scene", "render", "shadow.y3d", fromArchive, "--archive",
                                folder.Path() + "/scene.pck", "--size", "120x90"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    TPicture a, b;
    ASSERT_TRUE(ReadPng(fromFolder, a) && ReadPng(fromArchive, b));
    EXPECT_EQ(MaxDifference(a, b), 0);

    // A camera the scene lacks is the camera list's index error.
    r = RunMirel(RenderArgs(folder, folder.Path() + "/c.png", {"--camera", "5"}));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("List index out of bounds (5)"), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(folder.Path() + "/c.png"));

    // A background picture behind the scene.
    TRefPtr<I3dImage> picture = T3dImage::Create();
    picture->Allocate(nullptr, 50, 2, 0, 1, 40);
    for (int32_t y = 0; y < 40; y++)
        for (int32_t x = 0; x < 50; x++)
            for (int32_t c = 0; c < 3; c++)
                picture->SetUInt8(x, y, c, 0, c == 1 ? 200 : 0);
    picture->SaveToFile((folder.Path() + "/green.tga").c_str(), 0);
    const std::string out = folder.Path() + "/bg.png";
    r = RunMirel(RenderArgs(folder, out, {"--background", "green.tga"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    TPicture bg;
    ASSERT_TRUE(ReadPng(out, bg));
    // (The floor covers the lower part of the frame.)
    EXPECT_TRUE(NearColor(bg.At(0, kH - 1), 0, 200, 0, 2));
    EXPECT_TRUE(NearColor(bg.At(kW - 1, kH - 1), 0, 200, 0, 2));

    // A missing scene names the file; nothing is written.
    r = RunMirel({"scene", "render", "nothere.y3d", out + ".tga", "--data", folder.Path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("nothere.y3d"), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(out + ".tga"));
}
