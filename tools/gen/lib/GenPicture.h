// Pictures drawn by the content generators, and the writers that store them
// as JPEG (libjpeg), PNG (libpng), TIFF (libtiff) and run-length Targa (the
// engine's own image writer). Rows are kept top row first, as the files
// store them; the engine turns them bottom up when it loads them.
//
// Also the tileable noise the textures are made of: gradient noise on a
// lattice that repeats, so that a texture drawn with a period that divides
// its size wraps without a seam.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TRgb {
    float r = 0, g = 0, b = 0;
};
TRgb Mix(TRgb a, TRgb b, float t);
inline TRgb Rgb(float r, float g, float b) {
    return {r, g, b};
}

class TGenPicture {
public:
    // channels: 1 (grey) or 3 (RGB).
    TGenPicture(int width, int height, int channels);
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Channels() const { return channels_; }
    const std::vector<uint8_t>& Pixels() const { return pixels_; }

    // Colours in 0..1, clamped; a grey picture takes the mean of r, g, b.
    void Set(int x, int y, TRgb colour);
    void SetGrey(int x, int y, float value);
    uint8_t At(int x, int y, int channel) const {
        return pixels_[(size_t(y) * size_t(width_) + size_t(x)) * size_t(channels_) + size_t(channel)];
    }

private:
    int width_, height_, channels_;
    std::vector<uint8_t> pixels_; // top row first
};

// Writers; each raises an Exception naming the file when it cannot write.
void SaveJpeg(const TGenPicture& picture, const std::string& path, int quality = 88);
void SavePng(const TGenPicture& picture, const std::string& path);
void SaveTiff(const TGenPicture& picture, const std::string& path);
void SaveTarga(const TGenPicture& picture, const std::string& path);

// Gradient noise in about -1..1 with a lattice that repeats every `period`
// cells in x and y (0: no repetition).
float Noise(float x, float y, int period, uint32_t seed);
// Sum of `octaves` noises, each twice as fine and half as strong; the
// period doubles with each octave so the sum still repeats.
float Fractal(float x, float y, int period, int octaves, uint32_t seed);
// Distance to the nearest and the second nearest of one jittered point per
// cell of a grid that repeats every `period` cells (cellular noise).
void Cells(float x, float y, int period, uint32_t seed, float& nearest, float& second);
float Smoothstep(float edge0, float edge1, float x);
