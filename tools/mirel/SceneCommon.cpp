#include "tools/mirel/SceneCommon.h"

#include <map>

#include "platform/Exception.h"

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
