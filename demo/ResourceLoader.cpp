#include "demo/ResourceLoader.h"

#include "data/FlexibleStream.h"
#include "demo/MusicPlayer.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The names the six faces of a cube texture are formatted with, in order.
const char* const kCubeFaceNames[6] = {"posx", "negx", "posy", "negy", "posz", "negz"};

// Replaces the one text placeholder of a cube-texture pattern.
std::string FormatFaceName(const std::string& pattern, const char* face) {
    size_t at = pattern.find("%s");
    if (at == std::string::npos) return pattern;
    return pattern.substr(0, at) + face + pattern.substr(at + 2);
}

void LoadImage(I3dDevice* device, TResource& resource) {
    TRefPtr<I3dImage> image;
    device->CreateImage(image);
    image->TryLoadFromFile(resource.Value.c_str());
    resource.Record.SetInterface(vkImage, TRefPtr<IInterface>(image.Get()));
}

void LoadTexture(I3dDevice* device, TResource& resource) {
    // Always smooth, whatever the resource says; its repeat flag picks the wrap mode.
    auto& texture = static_cast<TTextureResource&>(resource);
    TRefPtr<I3dTexture> made;
    device->LoadTexture(resource.Value.c_str(), 0, 0, 0, mmBuild, true,
                        texture.Repeat ? wmRepeat : wmClampToEdge, tfNone, tkNone, false, made);
    resource.Record.SetInterface(vkTexture, TRefPtr<IInterface>(made.Get()));
    if (made) made->Upload();
}

void LoadCubeTexture(I3dDevice* device, TResource& resource) {
    TRefPtr<I3dContext> current;
    device->GetCurrentContext(current);
    T3dCapabilities caps{};
    if (current) current->GetCapabilities(caps);
    T3dTextureParams params;
    int faces = caps.CubeMaps ? 6 : 1;
    for (int i = 0; i < faces; i++) {
        const char* face = caps.CubeMaps ? kCubeFaceNames[i] : "negz";
        TRefPtr<I3dImage> image;
        device->CreateImage(image);
        image->TryLoadFromFile(FormatFaceName(resource.Value, face).c_str());
        params.Images[i] = TRefPtr<IFlexibleImage>(image.Get());
    }
    params.FaceCount = faces;
    params.MipMode = mmBuild;
    params.Wrap = wmClamp;
    params.Smooth = true;
    params.Format = tfRGB;
    params.Kind = caps.CubeMaps ? tkCubeMap : tk2D;
    TRefPtr<I3dTexture> made;
    device->CreateTexture(params, made);
    resource.Record.SetInterface(caps.CubeMaps ? vkCubeTexture : vkTexture, TRefPtr<IInterface>(made.Get()));
    if (made) made->Upload();
}

void LoadBinary(TResource& resource) {
    TFlexibleStream stream(resource.Value);
    int64_t size = stream.GetSize();
    auto bytes = std::make_shared<std::vector<uint8_t>>(size_t(std::max<int64_t>(size, 0)));
    if (size > 0) stream.ReadBuffer(bytes->data(), size);
    resource.Record.SetData(bytes);
}

} // namespace

bool LoadScriptResources(IDemo3dDevice* demo, TResources& resources, const TResourceProgress& progress) {
    I3dDevice* device = demo->GetDevice();
    const int count = int(resources.Items.size());
    for (int i = 0; i < count; i++) {
        TResource& resource = *resources.Items[size_t(i)];
        if (progress && !progress(i + 1, count, resource)) return false;
        switch (resource.Kind) {
        case rkImage:
            LoadImage(device, resource);
            break;
        case rkTexture:
            LoadTexture(device, resource);
            break;
        case rkCubeTexture:
            LoadCubeTexture(device, resource);
            break;
        case rkMp3:
            // Without a player (silent) the music is left alone.
            if (IMusicPlayer* player = demo->GetMusicPlayer()) player->Load(resource.Value);
            break;
        case rkConsoleFont:
            demo->LoadConsoleFont(resource.Value);
            break;
        case rkBinary:
            LoadBinary(resource);
            break;
        default:
            break;
        }
    }
    return true;
}
