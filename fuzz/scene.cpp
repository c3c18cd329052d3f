// Feeds any byte string to the scene file loader as a whole file, then
// evaluates every node at a few times: nothing may crash, hang or allocate
// beyond what the file's size allows; a refused file raises the engine's
// errors only. Needs a display (Xvfb) for the OpenGL context textures are
// uploaded in. With FUZZ_SCENE_SAY=1 in the environment it prints why each
// refused input was refused (to read what a corpus exercises, and how the
// messages read).
#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"
#include "data/FlexibleStream.h"
#include "scene/loader/SmartY3dLoader.h"
#include "scene/material/NV2xMaterialHandler.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <fstream>
#include <string>

namespace {

TRefPtr<T3dOpenGLDevice>* gDevice = nullptr;

// A hidden window with the rendering device, and a data folder with a small
// text for every vertex program a scene loads.
void Init() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "fuzz_scene needs a display: %s\n", SDL_GetError());
        std::exit(1);
    }
    SetWindowGLAttributes();
    SDL_Window* window = SDL_CreateWindow("fuzz", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        std::fprintf(stderr, "fuzz_scene needs a display: %s\n", SDL_GetError());
        std::exit(1);
    }
    gDevice = new TRefPtr<T3dOpenGLDevice>(new T3dOpenGLDevice());
    TRefPtr<I3dContext> context;
    (*gDevice)->CreateWindowContext(window, 64, 64, 1, ckWindow, context);
    // A scene's own resources (the normalisation cube map, the scene's vertex
    // programs) do not depend on the file, yet made for every input they took
    // most of each run. Without the two capabilities the scene leaves them
    // out; the loader reads and links every file as before.
    GLFlags.VertexProgram = 0;
    GLFlags.CubeMap = 0;
    if (auto* gl = dynamic_cast<T3dOpenglContext*>(context.Get())) gl->ReadCapabilities();

    char folder[] = "/tmp/fuzz_scene_XXXXXX";
    if (!mkdtemp(folder)) std::exit(1);
    const char* text = "!!VP1.1\nOPTION NV_position_invariant;\nMOV o[COL0], v[3];\nEND\n";
    std::ofstream(std::string(folder) + "/" + kBumpProgramFile) << text;
    for (const char* name : kSceneProgramFiles)
        std::ofstream(std::string(folder) + "/" + name) << text;
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetDataRoot(folder);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!gDevice) Init();
    TSmartY3dLoader loader(gDevice->Get());
    loader.RegisterSceneHandlers();
    TReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
    try {
        loader.LoadFromStream(stream, "fuzz.y3d");
        for (Ts3dPositional* node : loader.Nodes)
            for (double time : {0.0, 7.5, -3.0, 1e6})
                node->GetWorldMatrix(time);
    } catch (const Exception& e) {
        if (std::getenv("FUZZ_SCENE_SAY")) std::fprintf(stderr, "%s\n", e.Message().c_str());
    }
    return 0;
}
