#include "tools/mirel/SceneCommon.h"

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "data/FlexibleStream.h"
#include "platform/Exception.h"
#include "platform/Format.h"
#include "platform/Resources.h"
#include "scene/chunks/NoiceLoader.h"

namespace {

struct SceneCommand {
    const char* usage;
    MirelRun run;
};

std::map<std::string, SceneCommand>& SceneCommands() {
    static std::map<std::string, SceneCommand> commands;
    return commands;
}

std::string SceneUsage() {
    std::string usage;
    for (const auto& [name, command] : SceneCommands()) {
        if (!usage.empty()) usage += "\n       ";
        usage += command.usage;
    }
    return usage.empty() ? "scene SUBCOMMAND ..." : usage;
}

int Scene(const MirelArgs& args) {
    if (args.empty()) return MirelUsage(SceneUsage().c_str());
    auto it = SceneCommands().find(args[0]);
    if (it == SceneCommands().end()) return MirelUsage(SceneUsage().c_str());
    return it->second.run(MirelArgs(args.begin() + 1, args.end()));
}

MirelCommandRegistration reg("scene", "scene import|dump|render ... (mirel scene for details)", Scene);

} // namespace

MirelSceneRegistration::MirelSceneRegistration(const char* name, const char* usage, MirelRun run) {
    SceneCommands()[name] = {usage, run};
}

THiddenGL::THiddenGL(int32_t width, int32_t height) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        throw Exception(std::string("Couldn't open a window: ") + SDL_GetError());
    SetWindowGLAttributes();
    window_ = SDL_CreateWindow("mirel", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                               SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window_) throw Exception(std::string("Couldn't open a window: ") + SDL_GetError());
    try {
        device_ = new T3dOpenGLDevice();
        device_->CreateWindowContext(window_, width, height, 1, ckWindow, context_);
        if (!context_) throw Exception("Couldn't create an OpenGL context");
        device_->MakeContextCurrent(context_.Get());
    } catch (...) {
        context_.Reset();
        device_.Reset();
        SDL_DestroyWindow(window_);
        throw;
    }
}

THiddenGL::~THiddenGL() {
    context_.Reset();
    device_.Reset();
    if (window_) SDL_DestroyWindow(window_);
}

std::vector<uint8_t> OpenSceneFile(const std::string& file, const std::string& dataDir,
                                   const std::string& archive) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        throw Exception(Format("%s is a folder, not a scene file", file.c_str()));
    const bool onDisk = std::filesystem::exists(file, error);

    TFlexibleStream::ResetSettings();
    if (!archive.empty()) {
        TFlexibleStream::OpenArchiveFile(archive);
        TFlexibleStream::SetMode(lmPackage);
    } else {
        const std::string folder = std::filesystem::path(file).parent_path().string();
        TFlexibleStream::SetDataRoot(dataDir.empty() ? folder : dataDir);
        TFlexibleStream::SetMode(lmFile);
    }
    if (const TResourceBlock* carried = FindResource("PCK", "FILES"))
        TFlexibleStream::SetFallbackArchive(
            std::make_shared<TReadOnlyMemoryStream>(carried->data, int64_t(carried->size)));

    std::vector<uint8_t> bytes;
    if (onDisk || (archive.empty() && dataDir.empty())) {
        bytes = ReadWholeFile(file);
    } else {
        TFlexibleStream stream(file);
        if (!stream.HasSource()) throw Exception(Format("Couldn't open the file named %s", file.c_str()));
        bytes.resize(size_t(stream.GetSize()));
        if (!bytes.empty()) stream.ReadBuffer(bytes.data(), int64_t(bytes.size()));
    }
    // Unknown chunks are skipped, so any file would load as an empty scene;
    // a scene file begins with a chunk.
    if (bytes.size() < size_t(kChunkHeaderSize) || std::memcmp(bytes.data(), "TAOG", 4) != 0)
        throw Exception(Format("%s is not a scene file (it does not begin with a chunk)", file.c_str()));
    return bytes;
}
