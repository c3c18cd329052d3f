// The console font format: reading the FONT chunk payload by its own counts,
// exact and short header sizes, damaged files, and the font builder and
// inspection commands of mirel.
#include "data/ConsoleFont.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TConsoleFont SmallFont() {
    TConsoleFont font;
    font.first = 65;
    font.last = 67;
    font.bytesPerPixel = 3;
    font.width = 4;
    font.height = 2;
    for (int i = 0; i < 3; i++)
        font.glyphs.push_back({0.25f * i, 1.0f, 0.25f * (i + 1), 0.0f, 0.1f, 0.5f, -0.05f, 2.0f + i});
    for (int i = 0; i < 24; i++)
        font.pixels.push_back(static_cast<uint8_t>(i * 10));
    return font;
}

bool LoadBytes(const std::vector<uint8_t>& bytes, TConsoleFont& font) {
    TReadOnlyMemoryStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
    return LoadConsoleFontStream(stream, font);
}

void SetWord(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++)
        bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

} // namespace

TEST(ConsoleFont, ExactAndShortHeaderSizesReadTheSame) {
    std::vector<uint8_t> bytes = EncodeConsoleFont(SmallFont());
    ASSERT_EQ(bytes.size(), 20u + 20 + 3 * 32 + 24);
    EXPECT_EQ(std::memcmp(bytes.data(), "TAOGTNOF", 8), 0);
    EXPECT_EQ(bytes[16] | (bytes[17] << 8), static_cast<int>(bytes.size()));
    TConsoleFont exact;
    ASSERT_TRUE(LoadBytes(bytes, exact));
    // Sizes 32 bytes short, as in the demo's original font file.
    SetWord(bytes, 12, static_cast<uint32_t>(bytes.size() - 20 - 32));
    SetWord(bytes, 16, static_cast<uint32_t>(bytes.size() - 32));
    TConsoleFont shortSizes;
    ASSERT_TRUE(LoadBytes(bytes, shortSizes));
    for (const TConsoleFont* f : {&exact, &shortSizes}) {
        EXPECT_EQ(f->first, 65);
        EXPECT_EQ(f->last, 67);
        EXPECT_EQ(f->glyphs.size(), 3u);
        EXPECT_EQ(f->glyphs[2].aspect, 4.0f);
        EXPECT_EQ(f->glyphs[1].after, -0.05f);
        EXPECT_EQ(f->pixels, SmallFont().pixels);
        EXPECT_EQ(f->Glyph(66), &f->glyphs[1]);
        EXPECT_EQ(f->Glyph(68), nullptr);
    }
    TRefPtr<I3dImage> image = exact.MakeImage();
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(1, 1, 2, 0), (4 * 1 + 1) * 30 + 20); // row 0 is the first stored row
}

TEST(ConsoleFont, DamagedFilesFailClearly) {
    std::vector<uint8_t> bytes = EncodeConsoleFont(SmallFont());
    TConsoleFont font;
    // Ends inside the payload.
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1);
    EXPECT_THROW(LoadBytes(cut, font), EReadError);
    // Negative and enormous counts: refused before anything is allocated.
    std::vector<uint8_t> bad = bytes;
    SetWord(bad, 24, 10); // last < first
    EXPECT_THROW(LoadBytes(bad, font), EImageError);
    bad = bytes;
    SetWord(bad, 24, 0x7FFFFFFF);
    EXPECT_THROW(LoadBytes(bad, font), EImageError);
    bad = bytes;
    SetWord(bad, 32, 10000);
    SetWord(bad, 36, 10000);
    EXPECT_THROW(LoadBytes(bad, font), EReadError);
    bad = bytes;
    SetWord(bad, 28, 0xFFFFFFFF); // bytes per pixel -1
    EXPECT_THROW(LoadBytes(bad, font), EImageError);
    // Another version of the chunk is skipped: no glyphs, no picture.
    bad = bytes;
    SetWord(bad, 8, 0x0102);
    TConsoleFont none;
    EXPECT_FALSE(LoadBytes(bad, none));
    EXPECT_TRUE(none.glyphs.empty());
}

TEST(ConsoleFontTools, BuildInfoAndChunks) {
    if (!FileExists(kDejaVu)) GTEST_SKIP() << "DejaVu Sans is not installed";
    TempDir dir;
    std::string out = dir.File("niceFont.noc");
    CommandResult r = RunMirel({"font", "build", kDejaVu, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<uint8_t> bytes = ReadFileBytes(out);
    EXPECT_EQ(bytes.size(), 40u + 97 * 32 + 512 * 128 * 3);
    TConsoleFont font;
    TFileStream stream(out, TFileStream::fmOpenRead);
    ASSERT_TRUE(LoadConsoleFontStream(stream, font));
    EXPECT_EQ(font.first, 32);
    EXPECT_EQ(font.last, 128);
    EXPECT_EQ(font.width, 512);
    EXPECT_EQ(font.height, 128);
    // Every glyph's cell lies inside the picture and is as tall as it is wide
    // times its aspect; letters have ink, the space has none.
    for (int code = 32; code <= 128; code++) {
        const TConsoleGlyph& g = *font.Glyph(code);
        ASSERT_GE(g.left, 0.0f);
        ASSERT_LE(g.right, 1.0f);
        ASSERT_LT(g.left, g.right);
        ASSERT_GT(g.top, g.bottom);
        ASSERT_GE(g.bottom, 0.0f);
        float cellWidth = (g.right - g.left) * 512, cellHeight = (g.top - g.bottom) * 128;
        ASSERT_NEAR(g.aspect, cellHeight / cellWidth, 1e-3);
        ASSERT_NEAR(g.body, 1.0f / g.aspect, 1e-5);
        auto ink = [&]() {
            int sum = 0;
            for (int y = static_cast<int>(g.bottom * 128 + 0.5f); y < static_cast<int>(g.top * 128 + 0.5f);
                 y++)
                for (int x = static_cast<int>(g.left * 512 + 0.5f);
                     x < static_cast<int>(g.right * 512 + 0.5f); x++)
                    sum += font.pixels[(static_cast<size_t>(y) * 512 + x) * 3];
            return sum;
        };
        if (code == ' ') {
            EXPECT_EQ(ink(), 0);
        } else if (code >= '!' && code <= '~') {
            EXPECT_GT(ink(), 0) << code;
        }
    }
    // Advances: "m" is wider than "i", and text advances by positive amounts.
    auto advance = [&](int c) { return font.Glyph(c)->before + font.Glyph(c)->body + font.Glyph(c)->after; };
    EXPECT_GT(advance('m'), advance('i'));
    EXPECT_GT(advance(' '), 0.0f);
    // Grey pixels: red = green = blue.
    for (size_t i = 0; i < font.pixels.size(); i += 3)
        ASSERT_EQ(font.pixels[i], font.pixels[i + 2]);

    r = RunMirel({"font", "info", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        r.out.rfind(
            "{\"first\": 32, \"last\": 128, \"bpp\": 3, \"width\": 512, \"height\": 128, \"glyphs\": [[", 0),
        0u)
        << r.out;
    r = RunMirel({"chunks", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0 GOAT FONT 0x0101 " + std::to_string(bytes.size() - 20) + " " +
                         std::to_string(bytes.size()) + "\n");

    // Options: a smaller range at a fixed size, and a size that cannot fit.
    r = RunMirel({"font", "build", kDejaVu, dir.File("small.noc"), "--px", "12", "--first", "48", "--last",
                  "57", "--width", "128", "--height", "32"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    TConsoleFont small;
    TFileStream smallStream(dir.File("small.noc"), TFileStream::fmOpenRead);
    ASSERT_TRUE(LoadConsoleFontStream(smallStream, small));
    EXPECT_EQ(small.glyphs.size(), 10u);
    r = RunMirel(
        {"font", "build", kDejaVu, dir.File("big.noc"), "--px", "90", "--width", "64", "--height", "64"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(FileExists(dir.File("big.noc")));
    r = RunMirel({"font", "info", dir.File("missing.noc")});
    EXPECT_EQ(r.exitCode, 1);
}
