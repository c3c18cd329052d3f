// mirel image info / convert / normalmap: load pictures through the image
// layer, inspect them, save them as Targa or raw files, make normal maps.
#include "tools/mirel/Mirel.h"
#include "tools/mirel/MirelInput.h"

#include "data/3dImage.h"
#include "data/PictureDecoder.h"
#include "platform/Format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* kImageUsage =
    "image info FILE | image convert IN OUT [--raw] | image normalmap IN OUT.tga [--scale 5]";

TRefPtr<T3dImage> Load(const std::string& file) {
    TRefPtr<T3dImage> image(new T3dImage());
    RunNamingFile(file, [&] {
        image->LoadFromFile(file);
        return 0;
    });
    return image;
}

// Writes what SaveToFile writes (kind 0 Targa, 1 raw) into a temporary beside
// out, then renames it, so a failure leaves no partial file behind.
int Save(T3dImage& image, const std::string& out, int kind) {
    return RunNamingFile(out, [&] {
        std::vector<uint8_t> bytes = kind == 1 ? image.EncodeRawFile() : image.EncodeTargaFile();
        WriteFileAtomically(out, bytes.data(), bytes.size());
        return 0;
    });
}

int Info(const MirelArgs& args) {
    if (args.size() != 2) return MirelUsage(kImageUsage);
    TRefPtr<T3dImage> image = Load(args[1]);
    const uint8_t* data = static_cast<const uint8_t*>(image->GetData());
    size_t n = std::min<size_t>(8, image->DataBytes());
    std::string first;
    for (size_t i = 0; i < n; i++)
        first += Format("%s%u", i ? ", " : "", data[i]);
    int format = image->LastFormat();
    std::printf(
        "{\"width\": %d, \"height\": %d, \"depth\": %d, \"format\": %d, \"type\": %d, \"first\": [%s], "
        "\"decoder\": %s}\n",
        image->GetWidth(), image->GetHeight(), image->GetDepth(), image->GetFormat(),
        image->GetComponentType(), first.c_str(),
        JsonString(format < 0 ? "m3dTex" : PictureFormatName(format)).c_str());
    return 0;
}

int Convert(const MirelArgs& args) {
    std::vector<std::string> files;
    bool raw = false;
    for (size_t i = 1; i < args.size(); i++) {
        if (args[i] == "--raw")
            raw = true;
        else
            files.push_back(args[i]);
    }
    if (files.size() != 2) return MirelUsage(kImageUsage);
    TRefPtr<T3dImage> image = Load(files[0]);
    return Save(*image, files[1], raw ? 1 : 0);
}

int NormalMap(const MirelArgs& args) {
    std::vector<std::string> files;
    float scale = 5.0f;
    for (size_t i = 1; i < args.size(); i++) {
        if (args[i] == "--scale") {
            if (++i >= args.size()) return MirelUsage(kImageUsage);
            char* end = nullptr;
            scale = std::strtof(args[i].c_str(), &end);
            if (!end || *end) return MirelFail(Format("Invalid scale \"%s\"", args[i].c_str()));
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) return MirelUsage(kImageUsage);
    TRefPtr<T3dImage> heights = Load(files[0]);
    TRefPtr<T3dImage> normals(new T3dImage());
    normals->MakeNormalMap(heights.Get(), scale);
    // The float components as bytes: v * 255, rounded and clamped.
    TRefPtr<T3dImage> bytes(new T3dImage());
    const int32_t w = normals->GetWidth(), h = normals->GetHeight();
    bytes->Allocate(nullptr, w, ifThree, ctUInt8, 1, h);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            for (int c = 0; c < 3; c++) {
                float v = std::nearbyint(normals->GetFloat32(x, y, c, 0) * 255.0f);
                bytes->SetUInt8(x, y, c, 0, static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v));
            }
    return Save(*bytes, files[1], 0);
}

int Image(const MirelArgs& args) {
    if (args.empty()) return MirelUsage(kImageUsage);
    if (args[0] == "info") return Info(args);
    if (args[0] == "convert") return Convert(args);
    if (args[0] == "normalmap") return NormalMap(args);
    return MirelUsage(kImageUsage);
}

MirelCommandRegistration image("image", kImageUsage, Image);

} // namespace
