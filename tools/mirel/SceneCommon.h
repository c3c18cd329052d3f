// What the scene commands of mirel share: the "scene" command with its own
// subcommands (each source file registers the ones it implements), a hidden
// OpenGL window with the rendering device, and the data source referenced
// pictures and vertex programs are found in.
#pragma once

#include <SDL.h>

#include <string>
#include <vector>

#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "tools/mirel/Mirel.h"

// Registers "mirel scene NAME ...": run gets the arguments after NAME.
struct MirelSceneRegistration {
    MirelSceneRegistration(const char* name, const char* usage, MirelRun run);
};

// A hidden window of the given size with the rendering device and its main
// context made current. Raises Exception when no window or context can be had.
class THiddenGL {
public:
    THiddenGL(int32_t width = 64, int32_t height = 64);
    ~THiddenGL();
    THiddenGL(const THiddenGL&) = delete;
    THiddenGL& operator=(const THiddenGL&) = delete;

    I3dDevice* Device() const { return device_.Get(); }
    I3dContext* Context() const { return context_.Get(); }
    SDL_Window* Window() const { return window_; }

private:
    SDL_Window* window_ = nullptr;
    TRefPtr<T3dOpenGLDevice> device_;
    TRefPtr<I3dContext> context_;
};

// Reads the scene file a command names and selects where what it refers to
// (pictures, vertex programs) is found: the given archive, the given folder,
// or the scene file's own folder; what those lack comes from the archive
// mirel carries. A FILE that does not exist on disk is looked up by name in
// the given archive or folder. Raises an Exception naming the file when it is
// a folder, cannot be read or does not begin with a chunk.
std::vector<uint8_t> OpenSceneFile(const std::string& file, const std::string& dataDir,
                                   const std::string& archive);
