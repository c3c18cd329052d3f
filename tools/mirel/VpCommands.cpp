// mirel vp translate FILE: prints the ARB_vertex_program text that an NV
// vertex program becomes on drivers without NV_vertex_program.
// mirel vp check FILE: loads the program into a hidden GL context through the
// rendering device (natively or through the emulation) and reports the result.
#include "tools/mirel/Mirel.h"
#include "tools/mirel/MirelInput.h"

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"
#include "Mirel3d/Mirel3dOpengl/NvVertexProgramTranslator.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "platform/Format.h"

#include <SDL.h>
#include <cstdio>
#include <string>

namespace {

const char* kVpUsage = "vp translate FILE | vp check FILE";

int Translate(const std::string& file) {
    std::vector<uint8_t> text = ReadInputFile(file);
    try {
        std::string arb = NvTranslateVertexProgram(
            std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
        std::fwrite(arb.data(), 1, arb.size(), stdout);
        return 0;
    } catch (const ENvProgramError& e) {
        return MirelFail(Format("%s: %s", file.c_str(), e.what()));
    }
}

int Check(const std::string& file) {
    std::vector<uint8_t> text = ReadInputFile(file);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return MirelFail(Format("%s: Couldn't open a window: %s", file.c_str(), SDL_GetError()));
    SDL_Window* window = SDL_CreateWindow("mirel vp", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 16,
                                          16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return MirelFail(Format("%s: Couldn't open a window: %s", file.c_str(), SDL_GetError()));
    int status = 0;
    {
        TRefPtr<T3dOpenGLDevice> device(new T3dOpenGLDevice());
        TRefPtr<I3dContext> context;
        TRefPtr<I3dVertexProgram> program;
        try {
            device->CreateWindowContext(window, 16, 16, 1, ckWindow, context);
            if (!Usable(GLFlags.VertexProgram))
                throw Exception("This driver runs no vertex programs (neither NV nor ARB)");
            device->CreateVertexProgram(program);
            if (!program) throw Exception("The device made no vertex program");
            program->LoadProgram(text.data(), int32_t(text.size()));
            std::printf("%s: ok (%s)\n", file.c_str(), NvVertexProgramsEmulated() ? "emulated" : "native");
        } catch (const std::exception& e) {
            status = MirelFail(Format("%s: %s", file.c_str(), e.what()));
        }
    }
    SDL_DestroyWindow(window);
    return status;
}

int Vp(const MirelArgs& args) {
    if (args.size() != 2) return MirelUsage(kVpUsage);
    if (args[0] == "translate") return Translate(args[1]);
    if (args[0] == "check") return Check(args[1]);
    return MirelUsage(kVpUsage);
}

MirelCommandRegistration reg("vp", kVpUsage, Vp);

} // namespace
