#include "demo/DemoKeys.h"

#include "platform/Format.h"

const char* const kHelpLines[11] = {
    "   F = Fast speed ( x 5.0)",
    "   S = Slowmotion ( x 0.1)",
    "   N = Normal",
    "   Pause/Break = Pause",
    "   D = Display FPS and Time",
    "   I = CardInfo",
    "   C = Capture an image",
    "  ---------------------------",
    "   H = Help ( you would know )",
    "  ---------------------------",
    "   esc = Quit demo",
};

const char* const kReloadHelpLine = "   R = Reload the demo's files";

bool TDemoKeys::KeyDown(int key, IDemo3dDevice* device) {
    switch (key) {
    case vkEscape:
        device->Quit();
        return true;
    case vkPause:
        device->TogglePause();
        return true;
    case vkS:
        device->SetSpeed(0.1f);
        return true;
    case vkN:
        device->SetSpeed(1.0f);
        return true;
    case vkF:
        device->SetSpeed(5.0f);
        return true;
    case vkC:
        device->RequestCapture(caption_);
        return true;
    case vkD:
        showStatistics_ = !showStatistics_;
        device->SetShowFps(showStatistics_);
        return true;
    case vkH:
        ToggleHelp(device);
        return true;
    case vkI:
        ToggleCardInfo(device);
        return true;
    default:
        return false;
    }
}

void TDemoKeys::ToggleHelp(IDemo3dDevice* device) {
    if (helpShown_) {
        device->ClearText();
    } else {
        if (cardInfoShown_) device->ClearText();
        for (const char* line : kHelpLines)
            device->AddText(line);
        for (const std::string& line : moreHelp_)
            device->AddText(line);
        if (reloadKey_) device->AddText(kReloadHelpLine);
    }
    helpShown_ = !helpShown_;
    cardInfoShown_ = false;
}

namespace {
// The capabilities of the main context, asked afresh for every line.
T3dCapabilities Capabilities(IDemo3dDevice* device) {
    T3dCapabilities caps{};
    TRefPtr<I3dContext> main;
    device->GetDevice()->GetMainContext(main);
    if (main) main->GetCapabilities(caps);
    return caps;
}
const char* Text(const char* s) {
    return s ? s : "";
}
} // namespace

void TDemoKeys::ToggleCardInfo(IDemo3dDevice* device) {
    if (cardInfoShown_) {
        device->ClearText();
    } else {
        if (helpShown_) device->ClearText();
        device->AddText(Format("  Vendor : %s", Text(Capabilities(device).Vendor)));
        device->AddText(Format("  Renderer : %s", Text(Capabilities(device).Renderer)));
        device->AddText(Format("  Version : %s", Text(Capabilities(device).Version)));
        device->AddText("  ------[support for]---------------------------");
        if (Capabilities(device).Combiners) device->AddText("  Texture Combiners");
        if (Capabilities(device).Dot3) device->AddText("  Dot3 bumpmaps");
        if (Capabilities(device).CubeMaps) device->AddText("  Cubemaps");
        if (Capabilities(device).VolumeTextures) device->AddText("  Volume texture");
        if (Capabilities(device).ShadowTextures) device->AddText("  Shadow texture");
        if (Capabilities(device).RenderToTexture) device->AddText("  Render to texture");
        if (Capabilities(device).RenderToDepthTexture) device->AddText("  Render to depth texture");
    }
    cardInfoShown_ = !cardInfoShown_;
    helpShown_ = false;
}
