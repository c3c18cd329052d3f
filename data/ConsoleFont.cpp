#include "data/ConsoleFont.h"

#include "data/FlexibleStream.h"
#include "platform/Format.h"

#include <cstring>

namespace {

int32_t ReadInt(TStream& stream) {
    uint8_t b[4];
    stream.ReadBuffer(b, 4);
    return static_cast<int32_t>(uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
                                (uint32_t(b[3]) << 24));
}

void PutWord(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& out, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    PutWord(out, v);
}

int64_t Remaining(TStream& stream) {
    return stream.GetSize() - stream.GetPosition();
}

} // namespace

const TConsoleGlyph* TConsoleFont::Glyph(int32_t code) const {
    if (code < first || code > last || glyphs.empty()) return nullptr;
    size_t i = static_cast<size_t>(code - first);
    return i < glyphs.size() ? &glyphs[i] : nullptr;
}

TRefPtr<I3dImage> TConsoleFont::MakeImage() const {
    TRefPtr<I3dImage> image = T3dImage::Create();
    if (bytesPerPixel < 1 || bytesPerPixel > 4 || width < 1 || height < 1) return image;
    image->Allocate(nullptr, width, static_cast<uint8_t>(bytesPerPixel - 1), ctUInt8, 1, height);
    std::memcpy(image->GetData(), pixels.data(),
                std::min(pixels.size(), static_cast<size_t>(width) * height * bytesPerPixel));
    return image;
}

void ReadConsoleFontPayload(TStream& stream, TConsoleFont& font) {
    int32_t first = ReadInt(stream), last = ReadInt(stream), bpp = ReadInt(stream);
    int32_t width = ReadInt(stream), height = ReadInt(stream);
    if (last < first || static_cast<int64_t>(last) - first >= 65536)
        throw EImageError(Format("Font character range %d to %d is invalid", first, last));
    if (bpp < 1 || bpp > 4) throw EImageError(Format("Font picture has %d bytes per pixel", bpp));
    uint64_t pixelBytes = ImageBytes(width, height, 1, bpp, 1);
    if (pixelBytes == 0)
        throw EImageError(Format("Font picture size %d x %d is out of range", width, height));
    const int64_t count = static_cast<int64_t>(last) - first + 1;
    // Everything the counts promise must be there before anything is allocated.
    if (Remaining(stream) < count * 32 + static_cast<int64_t>(pixelBytes))
        throw EReadError("Stream read error");

    std::vector<float> records(static_cast<size_t>(count) * 8);
    stream.ReadBuffer(records.data(), count * 32);
    font.first = first;
    font.last = last;
    font.bytesPerPixel = bpp;
    font.width = width;
    font.height = height;
    font.glyphs.resize(static_cast<size_t>(count));
    for (int64_t i = 0; i < count; i++) {
        const float* r = records.data() + i * 8;
        font.glyphs[i] = {r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]};
    }
    font.pixels.resize(static_cast<size_t>(pixelBytes));
    stream.ReadBuffer(font.pixels.data(), static_cast<int64_t>(pixelBytes));
}

void RegisterConsoleFontHandler(TNoiceLoader& loader, TConsoleFont& font) {
    loader.RegisterChunkHandler(kChunkMagic, kFontChunkKind, kFontChunkVersion,
                                [&font](TStream& stream, const TChunkHeader&, TChunkContext context) {
                                    ReadConsoleFontPayload(stream, font);
                                    return context;
                                });
}

bool LoadConsoleFontStream(TStream& stream, TConsoleFont& font) {
    TNoiceLoader loader;
    bool found = false;
    loader.RegisterChunkHandler(kChunkMagic, kFontChunkKind, kFontChunkVersion,
                                [&](TStream& s, const TChunkHeader&, TChunkContext context) {
                                    ReadConsoleFontPayload(s, font);
                                    found = true;
                                    return context;
                                });
    loader.LoadStream(stream);
    return found;
}

bool LoadConsoleFontFile(const std::string& name, TConsoleFont& font) {
    TFlexibleStream stream(name);
    return LoadConsoleFontStream(stream, font);
}

std::vector<uint8_t> EncodeConsoleFont(const TConsoleFont& font) {
    const size_t count = font.glyphs.size();
    const uint32_t ownData = static_cast<uint32_t>(20 + count * 32 + font.pixels.size());
    std::vector<uint8_t> out;
    out.reserve(ownData + 20);
    WriteChunkHeader(out, {kChunkMagic, kFontChunkKind, kFontChunkVersion, ownData, ownData + 20});
    PutWord(out, static_cast<uint32_t>(font.first));
    PutWord(out, static_cast<uint32_t>(font.last));
    PutWord(out, static_cast<uint32_t>(font.bytesPerPixel));
    PutWord(out, static_cast<uint32_t>(font.width));
    PutWord(out, static_cast<uint32_t>(font.height));
    for (const TConsoleGlyph& g : font.glyphs)
        for (float f : {g.left, g.top, g.right, g.bottom, g.before, g.body, g.after, g.aspect})
            PutFloat(out, f);
    out.insert(out.end(), font.pixels.begin(), font.pixels.end());
    return out;
}
