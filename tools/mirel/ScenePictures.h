// Pictures as a scene file embeds them: 8-bit RGB or RGBA, rows bottom
// first. The scene importer decodes pictures with the engine's own decoders
// (by content) and turns normal maps into the height maps the engine's bump
// maps are made from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TScenePicture {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Channels = 3; // 3 (RGB) or 4 (RGBA)
    std::vector<uint8_t> Pixels;
};

// Decodes a picture file's bytes (any format the engine reads). Pictures
// with an alpha channel that is not entirely opaque keep it; all others
// become RGB. Raises Exception with the decoder's message.
TScenePicture DecodeScenePicture(const uint8_t* data, size_t size);

// Turns a tangent-space normal map (x right, y up the picture, z out of the
// surface, each as 0..255 for -1..1) into a grey height map whose derived
// normals (as the engine derives them, with its bump scale) come as close
// to the given ones as 8-bit heights allow. Heights are found by solving
// the Poisson equation of the normals' slopes over the tiling picture.
TScenePicture HeightsFromNormals(const TScenePicture& normals, float bumpScale);
