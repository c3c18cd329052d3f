// Speed of the script checker on the shipped demo, from the built data folder
// (build/data): checking the script with all its resources and scene files,
// side by side with what cannot be avoided: loading the script (as `mirel
// script` does) plus loading those resources and scene files alone
// (pictures decoded, the soundtrack opened and scanned, the font read, every
// scene file built on the same OpenGL device). Each figure is the best of
// several runs, taken in alternation; the last line is the ratio the checker
// is judged by (target at most 1.5).
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "bench/BenchSupport.h"
#include "data/3dImage.h"
#include "data/ConsoleFont.h"
#include "data/FlexibleStream.h"
#include "demo/DemoEffect.h"
#include "demo/Mp3Decoder.h"
#include "demo/ScriptCheck.h"
#include "scene/loader/SmartY3dLoader.h"
#include "script/FileXMLParser.h"

#include <SDL.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

// The script as mirel script loads it, then every file it names, loaded.
void LoadAlone(I3dDevice* device) {
    TFlexibleStream::SetPath("");
    TFileXMLParser script;
    script.LoadScript("zumbrix.xml");
    TResources* resources = script.GetResources();
    TFlexibleStream::SetPath(resources->Path);
    for (const auto& r : resources->Items) {
        switch (r->Kind) {
        case rkImage:
        case rkTexture: {
            TRefPtr<I3dImage> image(new T3dImage());
            image->LoadFromFile(r->Value);
            break;
        }
        case rkMp3: {
            TFlexibleStream stream(r->Value);
            std::vector<uint8_t> block(static_cast<size_t>(stream.GetSize()));
            stream.SetPosition(0);
            stream.ReadBuffer(block.data(), static_cast<int64_t>(block.size()));
            TMp3Decoder decoder;
            decoder.Open(block.data(), block.size());
            break;
        }
        case rkConsoleFont: {
            TConsoleFont font;
            LoadConsoleFontFile(r->Value, font);
            break;
        }
        default:
            break;
        }
    }
    std::set<std::string> scenes;
    for (const auto& effect : script.Effects()) {
        if (effect->ClassName != "TSceneLoadTest") continue;
        for (const auto& p : effect->Properties.Items)
            if (p->Name == "name" && scenes.insert(p->Text).second) {
                TSmartY3dLoader loader(device);
                loader.RegisterSceneHandlers();
                loader.Load(p->Text);
            }
    }
    TFlexibleStream::SetPath("");
}

} // namespace

int main() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    SetWindowGLAttributes();
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return 1;
    int status = 0;
    {
        TRefPtr<T3dOpenGLDevice> device(new T3dOpenGLDevice());
        TRefPtr<I3dContext> context;
        device->CreateWindowContext(window, 64, 64, 1, ckWindow, context);
        device->MakeContextCurrent(context.Get());
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(std::string(ZUMBRIX_BINARY_DIR) + "/data");

        TEffectRegistry registry;
        FillEffectRegistry(registry);
        TScriptCheckOptions options;
        options.Device = device.Get();
        size_t findings = 0;
        double alone = 1e30, check = 1e30;
        // Taken in turns, each first every other run, so that neither gains
        // from what the other left in the caches.
        auto runAlone = [&] { alone = std::min(alone, Best(1, [&] { LoadAlone(device.Get()); })); };
        auto runCheck = [&] {
            check = std::min(
                check, Best(1, [&] { findings = CheckScript("zumbrix.xml", registry, options).size(); }));
        };
        for (int run = 0; run < 6; run++) {
            if (run % 2) {
                runCheck();
                runAlone();
            } else {
                runAlone();
                runCheck();
            }
        }
        std::printf("script and its files loaded alone   %8.1f ms\n", alone * 1e3);
        std::printf("script --check with every file      %8.1f ms (%zu findings)\n", check * 1e3, findings);
        std::printf("check / load alone                  %8.2f (target at most 1.5)\n", check / alone);
        if (findings != 0) status = 1;
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
