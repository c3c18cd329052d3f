// The console font file: one chunk (GOAT, FONT, version 0x0101) holding the
// first and last character code, bytes per pixel, the picture size, one
// glyph record per code and the picture's pixels, bottom row first.
#pragma once

#include "data/3dImage.h"
#include "data/Stream.h"
#include "scene/chunks/NoiceLoader.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kFontChunkKind = FourCC("FONT");
constexpr uint32_t kFontChunkVersion = 0x0101;

// Where a glyph lies in the picture and how far it advances.
struct TConsoleGlyph {
    float left, top, right, bottom; // texture coordinates of the glyph's cell
    float before, body, after;      // advances, as fractions of the font size
    float aspect;                   // cell height / cell width, in pixels
};

struct TConsoleFont {
    int32_t first = 0, last = -1;
    int32_t bytesPerPixel = 0;
    int32_t width = 0, height = 0;
    std::vector<TConsoleGlyph> glyphs; // for codes first..last
    std::vector<uint8_t> pixels;       // width * height * bytesPerPixel, bottom row first

    // The glyph of a code, or nullptr outside first..last.
    const TConsoleGlyph* Glyph(int32_t code) const;
    // An image of the picture in the layout the texture upload expects:
    // type 0, format 0/1/2/3 for 1/2/3/4 bytes per pixel, row 0 at the bottom.
    TRefPtr<I3dImage> MakeImage() const;
};

// Reads the FONT chunk's payload from the stream's position. The payload's
// length comes from its own counts, never from the chunk header's sizes.
// Raises EReadError ("Stream read error") when the stream ends inside it and
// EImageError for counts that cannot describe a font (negative or huge).
void ReadConsoleFontPayload(TStream& stream, TConsoleFont& font);

// Registers a handler that reads every FONT chunk of the file into font.
void RegisterConsoleFontHandler(TNoiceLoader& loader, TConsoleFont& font);

// Reads a font file by name (a flexible stream) or from a stream. Returns
// false when the file holds no FONT chunk of version 0x0101.
bool LoadConsoleFontFile(const std::string& name, TConsoleFont& font);
bool LoadConsoleFontStream(TStream& stream, TConsoleFont& font);

// A complete font file with exact header sizes.
std::vector<uint8_t> EncodeConsoleFont(const TConsoleFont& font);
