// The console overlay with the demo's own font (built by mirel from
// DejaVu Sans): the glyph table read through the chunk reader, where lines
// and glyphs land on screen, and a rendered console compared with a
// reviewed reference image.
#include "tests/demo/DemoTestSupport.h"

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "data/FlexibleStream.h"
#include "demo/Console.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

struct ConsoleFixture : ::testing::Test {
    void SetUp() override {
        TFlexibleStream::ResetSettings();
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(BuiltContent("content"));
    }
    void TearDown() override { TFlexibleStream::ResetSettings(); }

    // Draws the lines alone on a black frame and reads it back.
    std::vector<uint8_t> Render(DemoWindow& w, TConsole* console, const std::vector<std::string>& lines) {
        I3dContext* c = w.Context();
        c->ResetViewport();
        c->SetClearValues({1, {0, 0, 0, 0}, {0, 0, 0, 0}, 1.0, 0});
        c->Clear(7);
        console->Clear();
        console->AddLines(lines);
        console->Draw();
        return w.ReadBack();
    }
};

// Rows (counted from the top) and columns that hold a lit pixel.
struct Lit {
    int top = 1 << 30, bottom = -1, left = 1 << 30, right = -1;
};
Lit LitArea(const std::vector<uint8_t>& rgba, int width, int height, int fromRow = 0, int toRow = 1 << 30) {
    Lit lit;
    for (int y = 0; y < height; y++) {
        int row = height - 1 - y; // from the top
        if (row < fromRow || row >= toRow) continue;
        for (int x = 0; x < width; x++)
            if (rgba[(size_t(y) * size_t(width) + size_t(x)) * 4] > 64) {
                lit.top = std::min(lit.top, row);
                lit.bottom = std::max(lit.bottom, row);
                lit.left = std::min(lit.left, x);
                lit.right = std::max(lit.right, x);
            }
    }
    return lit;
}

#define NEED_CONSOLE(w, console)                                                                             \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error();                                                              \
    TRefPtr<TConsole> console = TConsole::LoadFromFile((w).Rendering(), "niceFont.noc");                     \
    ASSERT_TRUE(console)

TEST_F(ConsoleFixture, FontIsReadThroughTheChunkReaderIntoTheGlyphTable) {
    DemoWindow w;
    NEED_CONSOLE(w, console);
    EXPECT_FLOAT_EQ(console->LineAdvance(), 30.0f);
    EXPECT_FLOAT_EQ(console->FontSize(), 30.0f);
    ASSERT_NE(console->FontTexture(), nullptr);
    // Codes 32..128 have cells; the others stay all zero.
    for (int c = 32; c <= 128; c++)
        EXPECT_GT(console->Glyph(c).aspect, 0.0f) << c;
    for (int c : {0, 31, 129, 200, 255}) {
        const TConsoleGlyph& g = console->Glyph(c);
        EXPECT_EQ(g.aspect, 0.0f);
        EXPECT_EQ(g.before + g.body + g.after, 0.0f);
    }
    // The pen advance of a line is the sum of the glyphs' advances.
    const TConsoleGlyph& bang = console->Glyph('!');
    EXPECT_FLOAT_EQ(console->PenAfter("!!", 2), 2 * (bang.before + bang.body + bang.after) * 30.0f);
}

TEST_F(ConsoleFixture, AFileWithoutAFontChunkMakesNoConsole) {
    DemoWindow w;
    if (!w.Ok()) GTEST_SKIP() << w.Error();
    // The device keeps no console then; its statistics go to the debug channel.
    TempDir dir;
    std::vector<uint8_t> file;
    TChunkHeader other;
    other.magic = kChunkMagic;
    other.kind = FourCC("NOPE");
    other.version = kFontChunkVersion;
    other.size = 20;
    other.totalSize = 20;
    WriteChunkHeader(file, other);
    WriteFileBytes(dir.File("other.noc"), file);
    TFlexibleStream::SetDataRoot(dir.Path());
    EXPECT_FALSE(TConsole::LoadFromFile(w.Rendering(), "other.noc"));
    w.Device()->LoadConsoleFont("other.noc");
    EXPECT_EQ(w.Device()->GetConsole(), nullptr);
}

TEST_F(ConsoleFixture, LinesStartThirtyPixelsApartFromTheTopLeftCorner) {
    DemoWindow w(200, 120);
    NEED_CONSOLE(w, console);
    auto frame = Render(w, console.Get(), {"H", "H", "H"});
    for (int line = 0; line < 3; line++) {
        Lit lit = LitArea(frame, 200, 120, 30 * line, 30 * line + 30);
        ASSERT_GE(lit.bottom, 0) << "line " << line << " draws nothing";
        // The glyph lies inside its line's band and inside its own quad.
        const TConsoleGlyph& g = console->Glyph('H');
        EXPECT_GE(lit.left, int(std::floor(g.before * 30.0f)) - 1);
        EXPECT_LE(lit.right, int(std::ceil(g.before * 30.0f + 30.0f / g.aspect)) + 1);
    }
    EXPECT_LT(LitArea(frame, 200, 120, 90).bottom, 0); // nothing below the third line
}

TEST_F(ConsoleFixture, EachGlyphStartsWhereThePreviousOneAdvancedTo) {
    DemoWindow w(200, 40);
    NEED_CONSOLE(w, console);
    auto one = Render(w, console.Get(), {"l"});
    auto two = Render(w, console.Get(), {"ll"});
    Lit first = LitArea(one, 200, 40);
    Lit both = LitArea(two, 200, 40);
    ASSERT_GE(first.right, 0);
    float advance = console->PenAfter("l", 1);
    EXPECT_NEAR(both.right - first.right, advance, 1.0f);
}

TEST_F(ConsoleFixture, ACodeOutsideTheFontAdvancesByNothingAndDrawsNothing) {
    DemoWindow w(200, 40);
    NEED_CONSOLE(w, console);
    auto plain = Render(w, console.Get(), {"AB"});
    auto mixed = Render(w, console.Get(),
                        {"A\xC8\x01"
                         "B"});
    EXPECT_EQ(plain, mixed);
    EXPECT_FLOAT_EQ(console->PenAfter("A\xC8"
                                      "B",
                                      3),
                    console->PenAfter("AB", 2));
}

TEST_F(ConsoleFixture, AnEmptyConsoleLeavesMatricesAndBlendingAsTheyWere) {
    DemoWindow w;
    NEED_CONSOLE(w, console);
    I3dContext* c = w.Context();
    c->LoadIdentity(mkProjection);
    c->Perspective(mkProjection, 60.0f, 1.0f, 1.0f, 100.0f);
    c->LoadIdentity(mkModelview);
    c->TranslateMatrix(mkModelview, 1.0f, 2.0f, 3.0f);
    T3dMatrix projection, modelview, after;
    c->GetMatrix(mkProjection, projection);
    c->GetMatrix(mkModelview, modelview);
    console->Clear();
    console->Draw();
    c->GetMatrix(mkProjection, after);
    EXPECT_EQ(std::memcmp(&after, &projection, sizeof after), 0);
    c->GetMatrix(mkModelview, after);
    EXPECT_EQ(std::memcmp(&after, &modelview, sizeof after), 0);
    EXPECT_FALSE(GL.glIsEnabled(GL_BLEND));
    EXPECT_EQ(GL.glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(ConsoleFixture, RenderedConsoleMatchesTheReviewedReference) {
    DemoWindow w(480, 120);
    NEED_CONSOLE(w, console);
    Render(w, console.Get(),
           {"FPS:59.940,  Time:12.346", "   H = Help ( you would know )", "Zumbrix from Tombrel!"});
    // Written through the capture path: the back buffer as 32-bit Targa.
    TRefPtr<I3dImage> image;
    w.Rendering()->CreateContextImage(w.Context(), 0, 3, image);
    image->ReadFromContext(rkBack);
    if (const char* folder = ReferenceOutputFolder()) {
        ASSERT_TRUE(image->SaveToFile((std::string(folder) + "/console.tga").c_str(), 0));
        GTEST_SKIP() << "reference written for review";
    }
    TempDir dir;
    ASSERT_TRUE(image->SaveToFile(dir.File("console.tga").c_str(), 0));
    RgbaPicture got, reference;
    ASSERT_TRUE(LoadPicture(dir.File("console.tga"), got));
    ASSERT_TRUE(LoadPicture(ReferencePath("console.tga"), reference));
    PictureDifference d = ComparePictures(got, reference);
    ASSERT_TRUE(d.sameSize);
    // Rasterisation may differ by a little at glyph edges between drivers.
    EXPECT_LE(d.maxDifference, 48);
    EXPECT_LE(d.meanDifference, 0.5);
}

} // namespace
