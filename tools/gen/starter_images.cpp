// gen_starter_images OUTDIR: the pictures of the starter demo, drawn by code
// and written as run-length-encoded Targa files: "tombrel.tga" (a logo-like
// ring on a gradient), "stripes.tga" (diagonal stripes) and "dots.tga" (a dot
// grid). The script loads them as image resources.
#include "data/3dImage.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

using Shader = void (*)(int x, int y, int size, uint8_t rgb[3]);

void Write(const std::string& path, int size, Shader shade) {
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->Allocate(nullptr, size, 2, 0, 1, size); // RGB, unsigned bytes
    for (int y = 0; y < size; y++)
        for (int x = 0; x < size; x++) {
            uint8_t rgb[3];
            shade(x, y, size, rgb);
            for (int c = 0; c < 3; c++)
                image->SetUInt8(x, y, c, 0, rgb[c]);
        }
    if (!image->SaveToFile(path.c_str(), 0)) throw std::runtime_error("cannot write " + path);
}

void Ring(int x, int y, int size, uint8_t rgb[3]) {
    double u = (x + 0.5) / size - 0.5, v = (y + 0.5) / size - 0.5;
    double r = std::sqrt(u * u + v * v);
    bool ring = r > 0.28 && r < 0.38;
    rgb[0] = uint8_t(ring ? 255 : 40 + 100 * (y / double(size)));
    rgb[1] = uint8_t(ring ? 77 : 20);
    rgb[2] = uint8_t(ring ? 150 : 60 + 120 * (x / double(size)));
}

void Stripes(int x, int y, int, uint8_t rgb[3]) {
    bool on = ((x + y) / 8) % 2 == 0;
    rgb[0] = on ? 234 : 30;
    rgb[1] = on ? 72 : 30;
    rgb[2] = on ? 209 : 30;
}

void Dots(int x, int y, int, uint8_t rgb[3]) {
    int dx = x % 16 - 8, dy = y % 16 - 8;
    uint8_t v = dx * dx + dy * dy < 20 ? 255 : 0;
    rgb[0] = rgb[1] = rgb[2] = v;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_starter_images OUTDIR\n");
        return 2;
    }
    try {
        std::string dir = argv[1];
        Write(dir + "/tombrel.tga", 128, Ring);
        Write(dir + "/stripes.tga", 64, Stripes);
        Write(dir + "/dots.tga", 64, Dots);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
