#include "demo/ResourceLoader.h"

#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "demo/MusicPlayer.h"
#include "platform/Format.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// The names the six faces of a cube texture are formatted with, in order.
const char* const kCubeFaceNames[6] = {"posx", "negx", "posy", "negy", "posz", "negz"};

// Loads a picture the demo can go on without: a picture that cannot be read
// leaves the image empty, as it always has, but the viewer is told which
// file and why, instead of seeing a scene quietly lose its background.
void LoadPictureOrNotice(I3dImage* image, const std::string& name, bool mustLoad) {
    try {
        image->LoadFromFile(name);
    } catch (const std::exception& e) {
        if (mustLoad) throw;
        Application().ShowNotice(Format("The picture %s was not loaded: %s", name.c_str(), e.what()));
    }
}

// Replaces the one text placeholder of a cube-texture pattern.
std::string FormatFaceName(const std::string& pattern, const char* face) {
    size_t at = pattern.find("%s");
    if (at == std::string::npos) return pattern;
    return pattern.substr(0, at) + face + pattern.substr(at + 2);
}

void LoadImage(I3dDevice* device, TResource& resource, bool mustLoad) {
    TRefPtr<I3dImage> image;
    device->CreateImage(image);
    LoadPictureOrNotice(image.Get(), resource.Value, mustLoad);
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

void LoadCubeTexture(I3dDevice* device, TResource& resource, bool mustLoad) {
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
        LoadPictureOrNotice(image.Get(), FormatFaceName(resource.Value, face), mustLoad);
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

// Loads one resource by its kind.
void LoadResource(IDemo3dDevice* demo, I3dDevice* device, TResource& resource, bool mustLoad) {
    switch (resource.Kind) {
    case rkImage:
        LoadImage(device, resource, mustLoad);
        break;
    case rkTexture:
        LoadTexture(device, resource);
        break;
    case rkCubeTexture:
        LoadCubeTexture(device, resource, mustLoad);
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

} // namespace

void LoadScriptResource(IDemo3dDevice* demo, TResource& resource, bool picturesMustLoad) {
    try {
        LoadResource(demo, demo->GetDevice(), resource, picturesMustLoad);
    } catch (Exception& e) {
        // The decoders report what is wrong; this says with which file.
        if (e.Message().find(resource.Value) == std::string::npos) e.AddContext(resource.Value + ": ");
        throw;
    }
}

bool LoadScriptResources(IDemo3dDevice* demo, TResources& resources, const TResourceProgress& progress) {
    const int count = int(resources.Items.size());
    for (int i = 0; i < count; i++) {
        TResource& resource = *resources.Items[size_t(i)];
        if (progress && !progress(i + 1, count, resource)) return false;
        LoadScriptResource(demo, resource);
    }
    return true;
}
