// gen_pictures OUTDIR: the pictures of the demo's scenes, drawn by code from
// tileable noise, cells, tiles and gradients, in the four formats the engine
// reads:
//   height maps (made into normal maps by the scene loader)   PNG, grey
//   colour maps                                               JPEG, TIFF, Targa
//   reflection maps (sphere maps of a surrounding)            Targa
//   the sky behind the last scene                             JPEG
// Every picture that a scene repeats over a surface wraps without a seam.
#include "tools/gen/lib/GenPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

namespace {

using Shader = std::function<TRgb(float s, float t)>; // s, t in [0, 1), t down

constexpr float kPi = 3.14159265f;

struct V3d {
    float x, y, z;
};

TGenPicture Draw(int width, int height, int channels, const Shader& shade) {
    TGenPicture p(width, height, channels);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            p.Set(x, y, shade((float(x) + 0.5f) / float(width), (float(y) + 0.5f) / float(height)));
    return p;
}

TRgb Grey(float v) {
    return {v, v, v};
}

float Fract(float v) {
    return v - std::floor(v);
}

// Distance from (s, t) to the border of its cell, in picture widths, in a
// grid of `columns` x `rows` cells where every other row is shifted by half
// a cell (a running bond); also which cell it is.
float BondDistance(float s, float t, int columns, int rows, int& cell) {
    float y = t * float(rows);
    int row = int(std::floor(y));
    float x = s * float(columns) + (row % 2 ? 0.5f : 0.0f);
    int column = int(std::floor(x));
    cell = row * 31 + (column % columns) * 7;
    float dx = std::min(Fract(x), 1.0f - Fract(x)) / float(columns);
    float dy = std::min(Fract(y), 1.0f - Fract(y)) / float(rows);
    return std::min(dx, dy);
}

// ---------------------------------------------------------------------------
// Height maps: bright is high.

// Dressed stone blocks in a running bond with rounded edges and chiselled
// faces, deep mortar joints between them.
TRgb WallHeight(float s, float t) {
    int cell;
    float d = BondDistance(s, t, 2, 4, cell);
    float block = Smoothstep(0.006f, 0.03f, d);
    float chisel = Fractal(s * 8, t * 8, 8, 4, 11u + uint32_t(cell)) * 0.12f;
    float pits = Fractal(s * 32, t * 32, 32, 2, 5u) * 0.05f;
    return Grey(0.12f + block * (0.62f + chisel) + pits);
}

// Overlapping round scales: rows of discs hanging from their centres, each
// row lying over the one above it, every disc thickest at its centre.
TRgb ScalesHeight(float s, float t) {
    const int n = 8;            // scales per row
    const float radius = 0.62f; // in scale widths; rows are half a width apart
    float x = s * n, y = t * n;
    int lowest = int(std::floor(y / 0.5f));
    for (int row = lowest; row >= lowest - 2; row--) { // the lower row covers
        float cy = float(row) * 0.5f;
        float cx = std::floor(x + (row % 2 ? 0.5f : 0.0f)) + 0.5f - (row % 2 ? 0.5f : 0.0f);
        float d = std::hypot(x - cx, y - cy) / radius;
        if (y >= cy && d < 1.0f) return Grey(0.2f + 0.75f * (1.0f - d * d));
    }
    return Grey(0.2f);
}

// Hammered metal: shallow round dents of random size.
TRgb HammeredHeight(float s, float t) {
    float nearest, second;
    Cells(s * 10, t * 10, 10, 7u, nearest, second);
    float dent = 1.0f - Smoothstep(0.0f, 0.55f, nearest);
    float rim = Smoothstep(0.0f, 0.08f, second - nearest);
    return Grey(0.75f - 0.45f * dent * dent + 0.05f * rim + 0.04f * Fractal(s * 16, t * 16, 16, 2, 3u));
}

// Floor tiles: 4 x 4 slabs with bevelled edges and grout.
float TileDistance(float s, float t, int& cell) {
    float x = s * 4, y = t * 4;
    cell = int(std::floor(x)) + 4 * int(std::floor(y));
    return std::min({Fract(x), 1 - Fract(x), Fract(y), 1 - Fract(y)});
}
TRgb TilesHeight(float s, float t) {
    int cell;
    float d = TileDistance(s, t, cell);
    return Grey(0.1f + 0.7f * Smoothstep(0.02f, 0.07f, d) + 0.04f * Fractal(s * 16, t * 16, 16, 3, 9u));
}

// ---------------------------------------------------------------------------
// Colour maps.

TRgb Marble(float s, float t, TRgb base, TRgb vein, uint32_t seed) {
    float warp = Fractal(s * 2, t * 2, 2, 4, seed);
    float v = std::fabs(std::sin((s + t) * 2.0f * kPi + warp * 5.0f));
    float veins = std::pow(1.0f - v, 4.0f) * (0.6f + 0.4f * Fractal(s * 8, t * 8, 8, 2, seed + 5u));
    float cloud = 0.5f + 0.5f * Fractal(s * 8, t * 8, 8, 3, seed + 17u);
    return Mix(Mix(base, Mix(base, vein, 0.25f), cloud), vein, veins);
}

TRgb Tiles(float s, float t) {
    int cell;
    float d = TileDistance(s, t, cell);
    bool dark = ((cell % 4) + (cell / 4)) % 2 == 1;
    TRgb slab = dark ? Marble(s, t, Rgb(0.16f, 0.22f, 0.2f), Rgb(0.55f, 0.6f, 0.55f), 41u)
                     : Marble(s, t, Rgb(0.86f, 0.82f, 0.74f), Rgb(0.45f, 0.4f, 0.36f), 43u);
    TRgb grout = Rgb(0.2f, 0.19f, 0.17f);
    return Mix(grout, slab, Smoothstep(0.02f, 0.04f, d));
}

TRgb WhiteMarble(float s, float t) {
    return Marble(s, t, Rgb(0.9f, 0.88f, 0.85f), Rgb(0.35f, 0.36f, 0.42f), 77u);
}

// Planks of wood: growth rings bent by noise, a grain, a seam between
// planks.
TRgb Wood(float s, float t) {
    const int planks = 4;
    float plank = std::floor(t * planks);
    float local = Fract(t * planks);
    float bend = Fractal(s * 2, t * 2 + plank * 0.3f, 2, 4, 5u + uint32_t(plank));
    float rings = Fract((local + bend * 0.6f) * 7.0f + plank * 0.37f);
    float ring = Smoothstep(0.0f, 0.35f, rings) * (1.0f - Smoothstep(0.6f, 1.0f, rings));
    float grain = Fractal(s * 64, t * 4, 64, 2, 13u) * 0.5f + 0.5f;
    TRgb light = Rgb(0.78f, 0.52f, 0.28f), dark = Rgb(0.48f, 0.27f, 0.12f);
    TRgb c = Mix(dark, light, 0.35f + 0.5f * ring + 0.15f * grain);
    float seam = Smoothstep(0.0f, 0.02f, std::min(local, 1 - local));
    return Mix(Rgb(0.2f, 0.1f, 0.05f), c, seam);
}

// Glazed ceramic: white with cobalt bands, a wave and dots between them.
TRgb Ceramic(float s, float t) {
    TRgb white = Rgb(0.93f, 0.93f, 0.9f), blue = Rgb(0.08f, 0.2f, 0.62f);
    float band = std::fabs(Fract(t * 4.0f) - 0.5f);
    if (band > 0.44f) return blue;
    float wave = std::fabs(Fract(t * 4.0f) - 0.5f + 0.15f * std::sin(s * 2.0f * kPi * 8.0f));
    if (wave < 0.05f) return Mix(blue, white, 0.2f);
    float dx = Fract(s * 16.0f) - 0.5f, dy = Fract(t * 8.0f) - 0.5f;
    if (std::hypot(dx, dy * 2.0f) < 0.14f && band < 0.3f) return blue;
    return Mix(white, Rgb(0.85f, 0.87f, 0.95f), 0.5f + 0.5f * Fractal(s * 4, t * 4, 4, 2, 3u));
}

// Brushed metal: streaks along s.
TRgb Brushed(float s, float t) {
    float streak = Fractal(s * 2, t * 128, 2, 3, 21u) * 0.5f + 0.5f;
    float speck = Fractal(s * 32, t * 32, 32, 2, 23u) * 0.5f + 0.5f;
    float v = 0.55f + 0.25f * streak + 0.08f * speck;
    return Rgb(v, v * 0.98f, v * 0.95f);
}

// A bold two-colour checkerboard for the floor under the glass.
TRgb Checker(float s, float t) {
    bool on = (int(s * 8) + int(t * 8)) % 2 == 0;
    float edge = std::min({Fract(s * 8), 1 - Fract(s * 8), Fract(t * 8), 1 - Fract(t * 8)});
    TRgb a = Rgb(0.92f, 0.9f, 0.86f), b = Rgb(0.16f, 0.2f, 0.3f);
    return Mix(Rgb(0.5f, 0.5f, 0.5f), on ? a : b, Smoothstep(0.0f, 0.02f, edge));
}

// ---------------------------------------------------------------------------
// Reflection maps: a sphere map shows, at (s, t) in the unit disc, what a
// mirror ball reflects towards a viewer looking down -z (y up).

TRgb SphereMapAt(float s, float t, const std::function<TRgb(const V3d&)>& around) {
    float x = 2 * s - 1, y = 1 - 2 * t; // t runs down the picture
    float rr = x * x + y * y;
    if (rr > 1.0f) { // outside the ball: what lies straight behind
        float l = std::sqrt(rr);
        x /= l;
        y /= l;
        rr = 1.0f;
    }
    float z = std::sqrt(std::max(0.0f, 1.0f - rr));
    // Reflect the view direction (0, 0, -1) about the normal (x, y, z).
    V3d r{2 * z * x, 2 * z * y, 2 * z * z - 1};
    return around(r);
}

// A photo studio: dark floor, grey walls, a big soft box overhead and two
// strip lights at the sides.
TRgb Studio(const V3d& r) {
    TRgb c;
    if (r.y < -0.05f) {
        c = Mix(Rgb(0.22f, 0.2f, 0.19f), Rgb(0.06f, 0.06f, 0.07f), std::min(1.0f, -r.y * 2.0f));
    } else {
        c = Mix(Rgb(0.55f, 0.58f, 0.64f), Rgb(0.2f, 0.24f, 0.32f), std::min(1.0f, r.y * 1.6f));
    }
    float horizon = std::exp(-std::fabs(r.y + 0.02f) * 40.0f);
    c = Mix(c, Rgb(0.9f, 0.9f, 0.92f), horizon * 0.6f);
    if (r.y > 0.75f && std::fabs(r.x) < 0.45f) c = Mix(c, Rgb(1, 1, 1), Smoothstep(0.75f, 0.82f, r.y));
    for (float side : {-1.0f, 1.0f}) {
        float a = side * r.x;
        if (a > 0.8f && std::fabs(r.y - 0.15f) < 0.35f)
            c = Mix(c, Rgb(1.0f, 0.97f, 0.9f), Smoothstep(0.8f, 0.86f, a));
    }
    return c;
}

// An evening sky over water: deep blue above, an orange band at the horizon,
// the sun low on the right, dark water with its glitter below.
TRgb Sunset(const V3d& r) {
    TRgb c;
    if (r.y >= 0.0f) {
        c = Mix(Rgb(1.0f, 0.55f, 0.2f), Rgb(0.12f, 0.14f, 0.38f), std::pow(std::min(1.0f, r.y * 1.4f), 0.6f));
    } else {
        c = Mix(Rgb(0.35f, 0.18f, 0.12f), Rgb(0.03f, 0.04f, 0.08f), std::min(1.0f, -r.y * 3.0f));
    }
    float sun = r.x * 0.8f + r.y * 0.15f + r.z * 0.58f;
    c = Mix(c, Rgb(1.0f, 0.95f, 0.75f), Smoothstep(0.94f, 0.985f, sun));
    return c;
}

// A dim room with two bright windows: the gloss on glazed ceramic, which
// adds the reflection on top of the painted colour and so must stay dark
// where nothing shines.
TRgb Glaze(const V3d& r) {
    TRgb c = Mix(Rgb(0.02f, 0.02f, 0.03f), Rgb(0.12f, 0.12f, 0.14f), std::max(0.0f, r.y));
    auto window = [&](float x, float y, float w, float h) {
        float inside =
            Smoothstep(w, w * 0.8f, std::fabs(r.x - x)) * Smoothstep(h, h * 0.8f, std::fabs(r.y - y));
        c = Mix(c, Rgb(0.95f, 0.95f, 1.0f), inside * (r.z > -0.2f ? 1.0f : 0.0f));
    };
    window(-0.45f, 0.35f, 0.16f, 0.22f);
    window(0.5f, 0.25f, 0.1f, 0.3f);
    return c;
}

// ---------------------------------------------------------------------------
// The sky behind the last scene: dusk over a range of hills.
TRgb Sky(float s, float t) {
    float h = 1.0f - t; // 0 at the bottom
    TRgb sky = Mix(Rgb(0.98f, 0.55f, 0.32f), Rgb(0.55f, 0.3f, 0.5f), Smoothstep(0.25f, 0.5f, h));
    sky = Mix(sky, Rgb(0.08f, 0.1f, 0.3f), Smoothstep(0.45f, 1.0f, h));
    // The glow of the sun just set.
    float glow = std::exp(-(std::pow((s - 0.68f) * 2.0f, 2.0f) + std::pow((h - 0.28f) * 4.0f, 2.0f)));
    sky = Mix(sky, Rgb(1.0f, 0.85f, 0.55f), glow * 0.7f);
    // Streaks of cloud.
    float cloud = Fractal(s * 4, h * 24, 4, 5, 31u);
    float amount =
        Smoothstep(0.1f, 0.5f, cloud) * Smoothstep(0.3f, 0.45f, h) * (1.0f - Smoothstep(0.75f, 0.9f, h));
    sky = Mix(sky, Mix(Rgb(0.95f, 0.5f, 0.45f), Rgb(0.3f, 0.2f, 0.4f), Smoothstep(0.4f, 0.8f, h)),
              amount * 0.6f);
    // Stars high up.
    float nearest, second;
    Cells(s * 96, h * 48, 96, 57u, nearest, second);
    float star = (1.0f - Smoothstep(0.0f, 0.06f, nearest)) * Smoothstep(0.6f, 0.9f, h);
    sky = Mix(sky, Rgb(1, 1, 1), star);
    // Two ranges of hills.
    float far = 0.2f + 0.05f * Fractal(s * 6, 0.5f, 6, 4, 61u);
    float nearHills = 0.12f + 0.07f * Fractal(s * 3, 1.5f, 3, 5, 67u);
    if (h < far) sky = Mix(sky, Rgb(0.3f, 0.16f, 0.3f), 0.8f);
    if (h < nearHills) sky = Rgb(0.1f, 0.06f, 0.12f);
    return sky;
}

void Save(const std::string& dir, const std::string& name, const TGenPicture& p) {
    std::string path = dir + "/" + name;
    std::string ext = name.substr(name.rfind('.') + 1);
    if (ext == "jpg")
        SaveJpeg(p, path);
    else if (ext == "png")
        SavePng(p, path);
    else if (ext == "tif")
        SaveTiff(p, path);
    else
        SaveTarga(p, path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_pictures OUTDIR\n");
        return 2;
    }
    const std::string out = argv[1];
    try {
        const int n = 256;
        Save(out, "wall_height.png", Draw(n, n, 1, WallHeight));
        Save(out, "scales_height.png", Draw(n, n, 1, ScalesHeight));
        Save(out, "hammered_height.png", Draw(n, n, 1, HammeredHeight));
        Save(out, "tiles_height.png", Draw(n, n, 1, TilesHeight));
        Save(out, "tiles.jpg", Draw(n, n, 3, Tiles));
        Save(out, "marble.jpg", Draw(n, n, 3, WhiteMarble));
        Save(out, "brushed.jpg", Draw(n, n, 3, Brushed));
        Save(out, "wood.tif", Draw(n, n, 3, Wood));
        Save(out, "ceramic.tif", Draw(n, n, 3, Ceramic));
        Save(out, "checker.tga", Draw(n, n, 3, Checker));
        Save(out, "studio.tga", Draw(n, n, 3, [](float s, float t) { return SphereMapAt(s, t, Studio); }));
        Save(out, "sunset.tga", Draw(n, n, 3, [](float s, float t) { return SphereMapAt(s, t, Sunset); }));
        Save(out, "glaze.tga", Draw(n, n, 3, [](float s, float t) { return SphereMapAt(s, t, Glaze); }));
        Save(out, "sky.jpg", Draw(1024, 512, 3, Sky));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen_pictures: %s\n", e.what());
        return 1;
    }
    return 0;
}
