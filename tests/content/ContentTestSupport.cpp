#include "tests/content/ContentTestSupport.h"

#include <filesystem>

#include "data/FlexibleStream.h"
#include "scene/model/Scene.h"

namespace fs = std::filesystem;

TContentFolder::TContentFolder() {
    for (const auto& entry : fs::directory_iterator(std::string(ZUMBRIX_BINARY_DIR) + "/content"))
        if (entry.is_regular_file()) Add(entry.path().string());
    for (const auto& entry : fs::directory_iterator(SourcePath("content"))) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".txt" || ext == ".xml") Add(entry.path().string());
    }
    fs::create_directory_symlink(".", dir_.File("data"));
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetDataRoot(dir_.Path());
}

TContentFolder::~TContentFolder() {
    TFlexibleStream::ResetSettings();
}

void TContentFolder::Add(const std::string& path) {
    const fs::path link = fs::path(dir_.Path()) / fs::path(path).filename();
    if (!fs::exists(fs::symlink_status(link))) fs::create_symlink(path, link);
}

std::unique_ptr<TSmartY3dLoader> LoadScene(I3dDevice* device, const std::string& name) {
    auto loader = std::make_unique<TSmartY3dLoader>(device);
    loader->RegisterSceneHandlers();
    loader->Load(name);
    return loader;
}

std::string SetupOf(Ts3dScene* scene, Ts3dMaterial* material) {
    scene->MaterialHandler->Material = material;
    scene->MaterialHandler->PrepareMaterial();
    if (material->PassCount != 1) return "none";
    const Ts3dPass& pass = material->Passes[0];
    std::string kinds;
    for (int32_t i = 0; i < pass.StageCount; i++)
        kinds += std::to_string(pass.Stages[i].Kind) + ",";
    if (kinds == "0,") return material->BlendKind == bkBlended ? "plain blended" : "plain opaque";
    if (kinds == "3,") return "bump";
    if (kinds == "0,5,") return "diffuse texture";
    if (kinds == "0,7,") return "reflection";
    if (kinds == "3,5,") return "bump with diffuse texture";
    if (kinds == "0,5,7,") return "diffuse texture with reflection";
    return "none";
}
