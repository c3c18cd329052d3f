// mirel scene render FILE OUT: one frame of a scene, drawn as the scene
// effect draws it (shadows on, reflections off, bump mapping on) into an
// off-screen target, written as a Targa file, or PNG when OUT ends in ".png".
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/FlexibleStream.h"
#include "platform/Exception.h"
#include "platform/Format.h"
#include "scene/loader/SmartY3dLoader.h"
#include "script/ScriptDocument.h"
#include "tools/mirel/SceneCommon.h"

namespace {

const char* kRenderUsage =
    "scene render FILE OUT [--data DIR | --archive PCK] [--size WxH] [--camera N] [--time T]\n"
    "                  [--shadow-map-size N] [--reflect-map-size N] [--reflections] [--no-shadows]\n"
    "                  [--background IMAGE]";

struct TRenderOptions {
    std::string file, out, dataDir, archive, background;
    int32_t width = 640, height = 480;
    int32_t camera = 0;
    double time = 0.0;
    int32_t shadowMapSize = 512;
    int32_t reflectMapSize = -1; // the scene's own default
    bool reflections = false;
    bool shadows = true;
};

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t n = std::strlen(suffix);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; i++)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
    return true;
}

bool ParseInt(const std::string& text, int32_t& out) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || v < -2147483647L || v > 2147483647L) return false;
    out = int32_t(v);
    return true;
}

bool ParseSize(const std::string& text, int32_t& w, int32_t& h) {
    size_t x = text.find('x');
    if (x == std::string::npos) return false;
    return ParseInt(text.substr(0, x), w) && ParseInt(text.substr(x + 1), h) && w > 0 && h > 0 &&
           w <= 16384 && h <= 16384;
}

// Returns false on a usage error.
bool ParseOptions(const MirelArgs& args, TRenderOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool more = i + 1 < args.size();
        if (a == "--data" && more) {
            o.dataDir = args[++i];
        } else if (a == "--archive" && more) {
            o.archive = args[++i];
        } else if (a == "--size" && more) {
            if (!ParseSize(args[++i], o.width, o.height)) return false;
        } else if (a == "--camera" && more) {
            if (!ParseInt(args[++i], o.camera)) return false;
        } else if (a == "--time" && more) {
            o.time = StrToFloat(args[++i]);
        } else if (a == "--shadow-map-size" && more) {
            if (!ParseInt(args[++i], o.shadowMapSize)) return false;
        } else if (a == "--reflect-map-size" && more) {
            if (!ParseInt(args[++i], o.reflectMapSize)) return false;
        } else if (a == "--background" && more) {
            o.background = args[++i];
        } else if (a == "--reflections") {
            o.reflections = true;
        } else if (a == "--no-shadows") {
            o.shadows = false;
        } else if (a.rfind("--", 0) != 0 && o.file.empty()) {
            o.file = a;
        } else if (a.rfind("--", 0) != 0 && o.out.empty()) {
            o.out = a;
        } else {
            return false;
        }
    }
    return !o.file.empty() && !o.out.empty() && (o.dataDir.empty() || o.archive.empty());
}

// Where the scene file and what it references come from; returns the name
// the scene is opened by.
std::string SelectDataSource(const TRenderOptions& o) {
    TFlexibleStream::ResetSettings();
    if (!o.archive.empty()) {
        TFlexibleStream::OpenArchiveFile(o.archive);
        TFlexibleStream::SetMode(lmPackage);
        return o.file;
    }
    TFlexibleStream::SetMode(lmFile);
    if (!o.dataDir.empty()) {
        TFlexibleStream::SetDataRoot(o.dataDir);
        return o.file;
    }
    // The scene's own folder holds what it references.
    size_t slash = o.file.find_last_of('/');
    if (slash == std::string::npos) return o.file;
    TFlexibleStream::SetPath(o.file.substr(0, slash + 1));
    return o.file.substr(slash + 1);
}

// RGBA rows bottom first, as read back, written as an upright PNG.
void WritePng(const std::string& path, const std::vector<uint8_t>& rgba, int32_t w, int32_t h) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(w);
    image.height = png_uint_32(h);
    image.format = PNG_FORMAT_RGBA;
    // A negative row stride reads the rows from the last one up.
    const png_int_32 stride = -png_int_32(w * 4);
    WriteThroughTemporary(path, [&](const std::string& temp) {
        if (!png_image_write_to_file(&image, temp.c_str(), 0, rgba.data(), stride, nullptr))
            throw Exception(Format("Cannot write file \"%s\": %s", path.c_str(), image.message));
    });
}

void WriteTarga(const std::string& path, std::vector<uint8_t>& rgba, int32_t w, int32_t h) {
    TRefPtr<I3dImage> image = T3dImage::Create();
    void* pixels = std::malloc(rgba.size());
    if (!pixels) throw Exception("Out of memory");
    std::memcpy(pixels, rgba.data(), rgba.size());
    image->Allocate(pixels, w, ifFour, ctUInt8, 1, h);
    WriteThroughTemporary(path, [&](const std::string& temp) { image->SaveToFile(temp.c_str(), 0); });
}

int Render(const MirelArgs& args) {
    TRenderOptions o;
    if (!ParseOptions(args, o)) return MirelUsage(kRenderUsage);
    const std::string sceneName = SelectDataSource(o);

    THiddenGL gl(64, 64);
    I3dDevice* device = gl.Device();
    // The frame is drawn into an off-screen target of the asked size, made
    // the device's main context: the scene (like the demo) draws into the
    // main context and returns to it after its own off-screen views.
    TRefPtr<I3dContext> target;
    device->CreateBufferContext(gl.Window(), o.width, o.height, 1, ckPbuffer, 0x18, 0, target);
    if (!QueryAs<I3dOpenglContext>(target)->GetPbuffer())
        throw Exception("This OpenGL driver has no off-screen targets (framebuffer objects)");
    TRefPtr<I3dContext> window;
    device->GetMainContext(window);
    device->SetMainContext(target.Get());
    device->PushContext(target.Get());

    std::vector<uint8_t> rgba(size_t(o.width) * size_t(o.height) * 4);
    {
        TSmartY3dLoader loader(device);
        loader.RegisterSceneHandlers();
        loader.Load(sceneName);
        Ts3dScene* scene = loader.Scene();
        if (o.reflectMapSize >= 0) scene->ReflectMapSize = o.reflectMapSize;
        scene->ShadowMapSize = o.shadowMapSize;
        scene->ShadowsEnabled = o.shadows;
        scene->ReflectionsEnabled = o.reflections;
        scene->BumpEnabled = true;
        if (!o.background.empty()) {
            TRefPtr<I3dImage> picture;
            device->CreateImage(picture);
            picture->LoadFromFile(o.background);
            scene->Background = picture;
        }
        device->MakeContextCurrent(target.Get());
        scene->Prepare();
        scene->SelectCamera(o.camera);
        scene->Time = o.time;
        scene->Render();
        target->ReadBack(0, 0, o.width, o.height, rgba.data());
        // The picture as the screen shows it: opaque.
        for (size_t i = 3; i < rgba.size(); i += 4)
            rgba[i] = 255;
        scene->ReleaseShadowMaps();
    }
    device->PopContext();
    device->SetMainContext(window.Get());
    TFlexibleStream::ResetSettings();

    if (EndsWith(o.out, ".png"))
        WritePng(o.out, rgba, o.width, o.height);
    else
        WriteTarga(o.out, rgba, o.width, o.height);
    return 0;
}

MirelSceneRegistration renderCommand("render", kRenderUsage, Render);

} // namespace
