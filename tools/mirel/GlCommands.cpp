// mirel glinfo: opens a hidden window with the rendering device and prints,
// as JSON, the context's capability record and every capability flag of the
// extension probe with its usable / advertised bits.
#include "tools/mirel/Mirel.h"

#include <SDL.h>
#include <cstdio>
#include <string>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"

namespace {

const char* kGlInfoUsage = "glinfo";

std::string Bool(bool b) {
    return b ? "true" : "false";
}

int GlInfo(const MirelArgs& args) {
    if (!args.empty()) return MirelUsage(kGlInfoUsage);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return MirelFail(std::string("Couldn't open a window: ") + SDL_GetError());
    SetWindowGLAttributes();
    SDL_Window* window = SDL_CreateWindow("mirel glinfo", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return MirelFail(std::string("Couldn't open a window: ") + SDL_GetError());
    std::string out;
    int status = 0;
    {
        TRefPtr<T3dOpenGLDevice> device(new T3dOpenGLDevice());
        TRefPtr<I3dContext> context;
        try {
            device->CreateWindowContext(window, 64, 64, 1, ckWindow, context);
        } catch (const std::exception& e) {
            status = MirelFail(e.what());
        }
        if (status == 0) {
            T3dCapabilities caps{};
            context->GetCapabilities(caps);
            auto text = [](const char* s) { return JsonString(s ? s : ""); };
            out += "{\n  \"capabilities\": {\n";
            out += "    \"Vendor\": " + text(caps.Vendor) + ",\n";
            out += "    \"Renderer\": " + text(caps.Renderer) + ",\n";
            out += "    \"Version\": " + text(caps.Version) + ",\n";
            out += "    \"BlendMatrices\": " + std::to_string(caps.BlendMatrices) + ",\n";
            out += "    \"TextureUnits\": " + std::to_string(caps.TextureUnits) + ",\n";
            out += "    \"MaxTextureSize\": " + std::to_string(caps.MaxTextureSize) + ",\n";
            out += "    \"MaxCubeMapSize\": " + std::to_string(caps.MaxCubeMapSize) + ",\n";
            out += "    \"MaxViewportWidth\": " + std::to_string(caps.MaxViewportWidth) + ",\n";
            out += "    \"MaxViewportHeight\": " + std::to_string(caps.MaxViewportHeight) + ",\n";
            out += "    \"Max3DTextureSize\": [" + std::to_string(caps.Max3DTextureSize[0]) + ", " +
                   std::to_string(caps.Max3DTextureSize[1]) + ", " +
                   std::to_string(caps.Max3DTextureSize[2]) + "],\n";
            out += "    \"Combiners\": " + Bool(caps.Combiners) + ",\n";
            out += "    \"Dot3\": " + Bool(caps.Dot3) + ",\n";
            out += "    \"VolumeTextures\": " + Bool(caps.VolumeTextures) + ",\n";
            out += "    \"CubeMaps\": " + Bool(caps.CubeMaps) + ",\n";
            out += "    \"VertexPrograms\": " + Bool(caps.VertexPrograms) + ",\n";
            out += "    \"TextureShaders\": " + Bool(caps.TextureShaders) + ",\n";
            out += "    \"ShadowTextures\": " + Bool(caps.ShadowTextures) + ",\n";
            out += "    \"RenderToTexture\": " + Bool(caps.RenderToTexture) + ",\n";
            out += "    \"RenderToDepthTexture\": " + Bool(caps.RenderToDepthTexture) + "\n";
            out += "  },\n  \"flags\": {\n";
            T3dGLFlagInfo flags[64];
            int n = GetGLFlagList(flags, 64);
            for (int i = 0; i < n; i++) {
                uint8_t v = flags[i].Value;
                out += std::string("    ") + JsonString(flags[i].Name) +
                       ": {\"value\": " + std::to_string(v) + ", \"usable\": " + Bool(Usable(v)) +
                       ", \"advertised\": " + Bool(Advertised(v)) + "}" + (i + 1 < n ? ",\n" : "\n");
            }
            T3dPixelformats* formats = device->GetPixelFormats(window);
            out += "  },\n  \"pixel_format\": " +
                   std::to_string(QueryAs<I3dOpenglContext>(context)->GetPixelFormatIndex()) +
                   ",\n  \"pixel_formats\": " + std::to_string(formats ? formats->Count() : 0) + "\n}\n";
        }
        context.Reset();
    }
    SDL_DestroyWindow(window);
    if (status == 0) std::fputs(out.c_str(), stdout);
    return status;
}

MirelCommandRegistration reg("glinfo", kGlInfoUsage, GlInfo);

} // namespace
