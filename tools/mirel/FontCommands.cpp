// mirel font info / build: inspect console font files and build them from a
// TrueType font with FreeType.
#include "tools/mirel/Mirel.h"
#include "tools/mirel/MirelInput.h"

#include "data/ConsoleFont.h"
#include "platform/Format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

const char* kFontUsage = "font info FILE | font build TTF OUT.noc [--px N] [--first 32] [--last 128] "
                         "[--width 512] [--height 128]";

int Info(const MirelArgs& args) {
    if (args.size() != 2) return MirelUsage(kFontUsage);
    TConsoleFont font;
    bool loaded = false;
    RunNamingFile(args[1], [&] { return (loaded = LoadConsoleFontFile(args[1], font)) ? 0 : 1; });
    if (!loaded) return MirelFail(Format("The file %s holds no console font", args[1].c_str()));
    std::string glyphs;
    for (size_t i = 0; i < font.glyphs.size(); i++) {
        const TConsoleGlyph& g = font.glyphs[i];
        glyphs += i ? ", [" : "[";
        const float values[8] = {g.left, g.top, g.right, g.bottom, g.before, g.body, g.after, g.aspect};
        for (int k = 0; k < 8; k++)
            glyphs += (k ? ", " : "") + JsonFloat(values[k]);
        glyphs += "]";
    }
    std::printf(
        "{\"first\": %d, \"last\": %d, \"bpp\": %d, \"width\": %d, \"height\": %d, \"glyphs\": [%s]}\n",
        font.first, font.last, font.bytesPerPixel, font.width, font.height, glyphs.c_str());
    return 0;
}

// The Unicode character of a Windows-1252 code (0 where the code page has none).
uint32_t Cp1252ToUnicode(int code) {
    static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (code >= 0x80 && code < 0xA0) return high[code - 0x80];
    if (code < 0x20 || code == 0x7F) return 0;
    return static_cast<uint32_t>(code);
}

struct TRenderedGlyph {
    int width = 0, rows = 0, left = 0, top = 0;
    float advance = 0; // pixels
    std::vector<uint8_t> coverage;
};

struct TFreeType {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~TFreeType() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

// Renders every code at a pixel size; returns the cell height (line height).
int RenderGlyphs(FT_Face face, int px, int first, int last, std::vector<TRenderedGlyph>& out, int& ascender) {
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(px)))
        throw Exception(Format("Cannot size the font to %d px", px));
    ascender = static_cast<int>(std::ceil(face->size->metrics.ascender / 64.0));
    int descender = static_cast<int>(std::floor(face->size->metrics.descender / 64.0));
    out.assign(static_cast<size_t>(last - first + 1), {});
    for (int code = first; code <= last; code++) {
        uint32_t ch = Cp1252ToUnicode(code);
        FT_UInt index = ch ? FT_Get_Char_Index(face, ch) : 0;
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL))
            throw Exception(Format("Cannot render character %d", code));
        FT_GlyphSlot slot = face->glyph;
        TRenderedGlyph& g = out[code - first];
        g.width = static_cast<int>(slot->bitmap.width);
        g.rows = static_cast<int>(slot->bitmap.rows);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.advance = static_cast<float>(slot->advance.x / 64.0);
        g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
        for (int r = 0; r < g.rows; r++)
            for (int x = 0; x < g.width; x++)
                g.coverage[static_cast<size_t>(r) * g.width + x] =
                    slot->bitmap.buffer[r * slot->bitmap.pitch + x];
    }
    return ascender - descender;
}

// Shelf packing of the cells, left to right, top to bottom, one pixel apart.
// Fills x/y (top-left corners, rows from the top); false when they don't fit.
bool Pack(const std::vector<TRenderedGlyph>& glyphs, int cellHeight, int pad, int width, int height,
          std::vector<int>& xs, std::vector<int>& ys) {
    xs.assign(glyphs.size(), 0);
    ys.assign(glyphs.size(), 0);
    int x = 0, y = 0;
    for (size_t i = 0; i < glyphs.size(); i++) {
        int w = glyphs[i].width + 2 * pad;
        if (w > width) return false;
        if (x + w > width) {
            x = 0;
            y += cellHeight + 1;
        }
        if (y + cellHeight > height) return false;
        xs[i] = x;
        ys[i] = y;
        x += w + 1;
    }
    return true;
}

int Build(const MirelArgs& args) {
    std::vector<std::string> files;
    int px = 0, first = 32, last = 128, width = 512, height = 128;
    for (size_t i = 1; i < args.size(); i++) {
        const std::string& a = args[i];
        int* target = a == "--px"       ? &px
                      : a == "--first"  ? &first
                      : a == "--last"   ? &last
                      : a == "--width"  ? &width
                      : a == "--height" ? &height
                                        : nullptr;
        if (target) {
            if (++i >= args.size()) return MirelUsage(kFontUsage);
            char* end = nullptr;
            long v = std::strtol(args[i].c_str(), &end, 10);
            if (!end || *end || v < 0 || v > 32768)
                return MirelFail(Format("Invalid value \"%s\" for %s", args[i].c_str(), a.c_str()));
            *target = static_cast<int>(v);
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) return MirelUsage(kFontUsage);
    if (first < 0 || last > 255 || first > last)
        return MirelFail("The character range must lie within 0..255");
    if (width < 1 || height < 1 || width > 8192 || height > 8192) return MirelFail("Invalid picture size");
    if (px != 0 && px < 4) return MirelFail("The pixel size must be at least 4");

    TFreeType ft;
    if (FT_Init_FreeType(&ft.library)) return MirelFail("Cannot start FreeType");
    if (FT_New_Face(ft.library, files[0].c_str(), 0, &ft.face))
        return MirelFail(Format("Couldn't open the font named %s", files[0].c_str()));

    const int pad = 1;
    std::vector<TRenderedGlyph> glyphs;
    std::vector<int> xs, ys;
    int cellHeight = 0, ascender = 0;
    // Without --px: the largest size whose glyphs fit the picture. A damaged
    // font fails here, naming its file.
    int size = px ? px : std::min(height, 96);
    for (;; size--) {
        if (size < 4) return MirelFail(Format("The glyphs do not fit into %d x %d pixels", width, height));
        RunNamingFile(files[0], [&] {
            cellHeight = RenderGlyphs(ft.face, size, first, last, glyphs, ascender);
            return 0;
        });
        if (Pack(glyphs, cellHeight, pad, width, height, xs, ys)) break;
        if (px)
            return MirelFail(Format("The glyphs do not fit into %d x %d pixels at %d px", width, height, px));
    }

    // The picture, top row first while drawing: white glyphs on black.
    std::vector<uint8_t> picture(static_cast<size_t>(width) * height, 0);
    TConsoleFont font;
    font.first = first;
    font.last = last;
    font.bytesPerPixel = 3;
    font.width = width;
    font.height = height;
    const float h = static_cast<float>(cellHeight);
    for (size_t i = 0; i < glyphs.size(); i++) {
        const TRenderedGlyph& g = glyphs[i];
        const int cellWidth = g.width + 2 * pad;
        // The glyph's rows sit on the baseline, ascender pixels below the cell's top.
        for (int r = 0; r < g.rows; r++) {
            int y = ys[i] + ascender - g.top + r;
            if (y < ys[i] || y >= ys[i] + cellHeight) continue;
            for (int x = 0; x < g.width; x++)
                picture[static_cast<size_t>(y) * width + xs[i] + pad + x] =
                    g.coverage[static_cast<size_t>(r) * g.width + x];
        }
        // The quad is drawn before * size after the pen and is cellWidth /
        // cellHeight * size wide; the glyph's ink then starts at its bearing
        // and the pen moves by the glyph's advance in all.
        TConsoleGlyph record;
        record.left = static_cast<float>(xs[i]) / width;
        record.right = static_cast<float>(xs[i] + cellWidth) / width;
        record.top = 1.0f - static_cast<float>(ys[i]) / height;
        record.bottom = 1.0f - static_cast<float>(ys[i] + cellHeight) / height;
        record.before = static_cast<float>(g.left - pad) / h;
        record.body = static_cast<float>(cellWidth) / h;
        record.after = (g.advance - static_cast<float>(g.left - pad) - static_cast<float>(cellWidth)) / h;
        record.aspect = h / static_cast<float>(cellWidth);
        font.glyphs.push_back(record);
    }
    // Stored bottom row first, three equal bytes per pixel.
    font.pixels.resize(static_cast<size_t>(width) * height * 3);
    for (int r = 0; r < height; r++) {
        const uint8_t* in = picture.data() + static_cast<size_t>(height - 1 - r) * width;
        uint8_t* out = font.pixels.data() + static_cast<size_t>(r) * width * 3;
        for (int x = 0; x < width; x++)
            out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = in[x];
    }
    std::vector<uint8_t> bytes = EncodeConsoleFont(font);
    WriteFileAtomically(files[1], bytes.data(), bytes.size());
    std::fprintf(stderr, "font: %d px, cell height %d, %zu glyphs\n", size, cellHeight, font.glyphs.size());
    return 0;
}

int Font(const MirelArgs& args) {
    if (args.empty()) return MirelUsage(kFontUsage);
    if (args[0] == "info") return Info(args);
    if (args[0] == "build") return Build(args);
    return MirelUsage(kFontUsage);
}

MirelCommandRegistration font("font", kFontUsage, Font);

} // namespace
