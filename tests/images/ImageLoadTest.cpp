// Loading pictures by content: every decoder with real files written by the
// format's own library (or byte by byte for the formats we read ourselves),
// the raw format, the JPEG fallback and the row order of the result.
#include "data/3dImage.h"
#include "data/PictureDecoder.h"
#include "tests/images/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tiffio.h>

namespace {

TRefPtr<T3dImage> LoadBytes(const std::vector<uint8_t>& bytes, const std::string& name = "picture.bin") {
    TempDir dir;
    WriteFileBytes(dir.File(name), bytes);
    TRefPtr<T3dImage> image(new T3dImage());
    image->LoadFromFile(dir.File(name));
    return image;
}

// The image holds the picture upright: image row 0 is the picture's bottom
// row, components in red, green, blue, alpha order.
void ExpectPicture(T3dImage& image, const TTestPicture& p, int tolerance = 0) {
    ASSERT_EQ(image.GetWidth(), p.width);
    ASSERT_EQ(image.GetHeight(), p.height);
    ASSERT_EQ(image.GetDepth(), 1);
    ASSERT_EQ(image.GetComponentType(), ctUInt8);
    ASSERT_EQ(image.Components(), p.channels == 2 ? 4 : p.channels);
    int bad = 0;
    for (int y = 0; y < p.height && bad < 5; y++)
        for (int x = 0; x < p.width && bad < 5; x++)
            for (int c = 0; c < p.channels; c++) {
                int got = image.GetUInt8(x, p.height - 1 - y, c, 0), want = p.At(x, y, c);
                if (std::abs(got - want) > tolerance) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " component " << c << ": " << got
                                  << " != " << want;
                    bad++;
                }
            }
}

// A true-colour Targa of a picture, stored bottom row first, blue first.
std::vector<uint8_t> RawTarga(const TTestPicture& p) {
    std::vector<uint8_t> pixels;
    for (int y = p.height - 1; y >= 0; y--)
        for (int x = 0; x < p.width; x++) {
            pixels.insert(pixels.end(), {p.At(x, y, 2), p.At(x, y, 1), p.At(x, y, 0)});
            if (p.channels == 4) pixels.push_back(p.At(x, y, 3));
        }
    return MakeTarga(2, p.width, p.height, p.channels * 8, p.channels == 4 ? 8 : 0, {}, 0, 0, 0, pixels);
}

} // namespace

TEST(ImageLoad, Rgb512PicturesLoadUprightInEveryShippedFormat) {
    TTestPicture p = MakeGradient(512, 512, 3);
    const uint8_t bottomLeftRed = p.At(0, 511, 0);
    // JPEG is lossy: its expected pixels are what libjpeg itself decodes.
    std::vector<uint8_t> jpeg = EncodeJpeg(p, 90);
    struct {
        const char* name;
        std::vector<uint8_t> bytes;
        int format;
        TTestPicture expected;
    } cases[] = {{"png", EncodePng(p), pfPng, p},
                 {"tga", RawTarga(p), pfTarga, p},
                 {"tiff", EncodeTiff(p), pfTiff, p},
                 {"jpeg", jpeg, pfJpeg, DecodeJpegDirect(jpeg)}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = LoadBytes(c.bytes);
        EXPECT_EQ(image->LastFormat(), c.format);
        EXPECT_EQ(image->GetFormat(), ifThree);
        EXPECT_EQ(static_cast<const uint8_t*>(image->GetData())[0], c.expected.At(0, 511, 0));
        ExpectPicture(*image, c.expected);
    }
    EXPECT_EQ(p.At(0, 511, 0), bottomLeftRed);
}

TEST(ImageLoad, ContentDecidesNotTheName) {
    TTestPicture p = MakeGradient(9, 5, 3);
    auto image = LoadBytes(EncodePng(p), "really-a-png.jpg");
    EXPECT_EQ(image->LastFormat(), pfPng);
    ExpectPicture(*image, p);
}

TEST(ImageLoad, RawFormatLoadsWithoutFlip) {
    std::vector<uint8_t> bytes = {'m', '3', 'd', 'T', 'e', 'x', 2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
    for (int i = 0; i < 16; i++)
        bytes.push_back(static_cast<uint8_t>(i));
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
    TRefPtr<T3dImage> image(new T3dImage());
    image->LoadFromStream(stream);
    EXPECT_EQ(image->LastFormat(), -1);
    EXPECT_EQ(image->GetWidth(), 2);
    EXPECT_EQ(image->GetHeight(), 1);
    EXPECT_EQ(image->GetDepth(), 2);
    EXPECT_EQ(image->GetFormat(), ifFour);
    for (int i = 0; i < 16; i++)
        EXPECT_EQ(static_cast<const uint8_t*>(image->GetData())[i], i);
}

TEST(ImageLoad, PngVariants) {
    TTestPicture rgba = MakeGradient(13, 7, 4), grey = MakeGradient(13, 7, 1),
                 greyAlpha = MakeGradient(13, 7, 2);
    ExpectPicture(*LoadBytes(EncodePng(rgba)), rgba);
    ExpectPicture(*LoadBytes(EncodePng(rgba, true)), rgba); // interlaced
    ExpectPicture(*LoadBytes(EncodePng(grey)), grey);
    // Grey with alpha becomes RGBA with the level in all three colours.
    auto image = LoadBytes(EncodePng(greyAlpha));
    EXPECT_EQ(image->GetFormat(), ifFour);
    EXPECT_EQ(image->GetUInt8(3, 6, 2, 0), greyAlpha.At(3, 0, 0));
    EXPECT_EQ(image->GetUInt8(3, 6, 3, 0), greyAlpha.At(3, 0, 1));
    // Palette pictures become their colours (entry i is i * 3, 255 - i, i),
    // also at 4 and 1 bits.
    std::vector<uint8_t> indices(10 * 3);
    for (size_t i = 0; i < indices.size(); i++)
        indices[i] = static_cast<uint8_t>(i % 16);
    image = LoadBytes(EncodePalettePng(10, 3, 4, indices));
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(7, 2, 0, 0), indices[7] * 3);
    EXPECT_EQ(image->GetUInt8(7, 2, 1, 0), 255 - indices[7]);
    EXPECT_EQ(image->GetUInt8(7, 0, 2, 0), indices[2 * 10 + 7]);
    for (auto& v : indices)
        v &= 1;
    image = LoadBytes(EncodePalettePng(10, 3, 1, indices));
    EXPECT_EQ(image->GetUInt8(9, 0, 1, 0), 255 - indices[29]);
    // Low-depth grey becomes grey levels; 16-bit samples are rounded to the
    // nearest 8-bit value (0xFF00 is nearer 254 than 255).
    image = LoadBytes(EncodeGreyPng(4, 1, 4, {0, 5, 10, 15}));
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 0x55);
    EXPECT_EQ(image->GetUInt8(3, 0, 0, 0), 0xFF);
    image = LoadBytes(EncodeGreyPng(2, 1, 16, {0x1234, 0xFF00}));
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 0x12);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 254);
}

TEST(ImageLoad, JpegVariants) {
    // Grey JPEG pictures are drawn onto a colour picture.
    std::vector<uint8_t> bytes = EncodeJpeg(MakeGradient(16, 8, 1), 90);
    TTestPicture grey = DecodeJpegDirect(bytes);
    ASSERT_EQ(grey.channels, 1);
    auto image = LoadBytes(bytes);
    EXPECT_EQ(image->GetFormat(), ifThree);
    for (int y = 0; y < 8; y++)
        for (int x = 0; x < 16; x++)
            for (int c = 0; c < 3; c++)
                ASSERT_EQ(image->GetUInt8(x, 7 - y, c, 0), grey.At(x, y, 0));
}

TEST(ImageLoad, TiffVariants) {
    TTestPicture rgba = MakeGradient(10, 6, 4), grey = MakeGradient(10, 6, 1), rgb = MakeGradient(10, 6, 3);
    ExpectPicture(*LoadBytes(EncodeTiff(rgba)), rgba);
    ExpectPicture(*LoadBytes(EncodeTiff(grey)), grey);
    // 16-bit samples go through the general reader and come back as 8 bits.
    ExpectPicture(*LoadBytes(EncodeTiff(rgb, 16)), rgb);
    auto image = LoadBytes(EncodeTiff(grey, 8, true)); // palette: entry i is i, 255 - i, 0
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(4, 5, 0, 0), grey.At(4, 0, 0));
    EXPECT_EQ(image->GetUInt8(4, 5, 1, 0), 255 - grey.At(4, 0, 0));
}

// The sample layouts of TIFF files: each case is written with libtiff and must
// load as the picture it holds, one byte per pixel for grey levels at any
// depth, the palette's colours for indices, alpha straight (unassociated)
// whatever the layout.
TEST(ImageLoad, TiffLayouts) {
    struct {
        const char* name;
        int channels;
        TTiffLayoutOptions o;
    } cases[] = {
        {"1-bit grey", 1, {.bits = 1}},
        {"2-bit grey", 1, {.bits = 2}},
        {"4-bit grey", 1, {.bits = 4, .compression = COMPRESSION_LZW}},
        {"1-bit Group 4", 1, {.bits = 1, .compression = COMPRESSION_CCITTFAX4}},
        {"1-bit min-is-white", 1, {.bits = 1, .minIsWhite = true, .compression = COMPRESSION_PACKBITS}},
        {"8-bit min-is-white", 1, {.minIsWhite = true}},
        {"16-bit grey", 1, {.bits = 16}},
        {"1-bit palette", 1, {.bits = 1, .palette = true}},
        {"4-bit palette", 1, {.bits = 4, .palette = true}},
        {"8-bit palette", 1, {.palette = true, .compression = COMPRESSION_LZW}},
        {"16-bit RGB", 3, {.bits = 16, .compression = COMPRESSION_ADOBE_DEFLATE}},
        {"uncompressed RGB tiles of 768 bytes", 3, {.tileWidth = 16, .tileHeight = 16}},
        {"uncompressed grey tiles of 256 bytes", 1, {.tileWidth = 16, .tileHeight = 16}},
        {"tiled RGBA", 4, {.compression = COMPRESSION_LZW, .tileWidth = 16, .tileHeight = 16}},
        {"16-bit RGBA", 4, {.bits = 16}},
        {"planar RGBA", 4, {.planar = true}},
        {"planar tiled 16-bit grey and alpha",
         2,
         {.bits = 16, .tileWidth = 16, .tileHeight = 32, .planar = true}},
        {"associated alpha", 4, {.associated = true}},
        {"planar associated alpha", 4, {.compression = COMPRESSION_LZW, .planar = true, .associated = true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TTestPicture source = MakeGradient(37, 21, c.channels);
        // What the image must hold: levels scaled to 0..255, indices as
        // their palette colours, grey and alpha as RGBA, premultiplied
        // colours divided out.
        TTestPicture expected = source;
        expected.channels = c.o.palette ? 3 : c.channels == 2 ? 4 : c.channels;
        expected.pixels.clear();
        const unsigned maximum = (1u << c.o.bits) - 1;
        for (int y = 0; y < source.height; y++)
            for (int x = 0; x < source.width; x++) {
                const unsigned a = c.channels % 2 == 0 ? source.At(x, y, c.channels - 1) : 255;
                for (int k = 0; k < expected.channels; k++) {
                    unsigned v = c.o.palette       ? source.At(x, y, 0)
                                 : c.channels == 2 ? source.At(x, y, k == 3 ? 1 : 0)
                                                   : source.At(x, y, k);
                    if (c.o.bits < 8)
                        v = c.o.palette ? v >> (8 - c.o.bits) : (v >> (8 - c.o.bits)) * 255 / maximum;
                    if (c.o.palette) v = k == 0 ? v : k == 1 ? 255 - v : 0; // entry i: i, 255 - i, 0
                    if (c.o.associated && k < 3 && a != 0)
                        v = std::min(255u, ((v * a + 127) / 255 * 255 + a / 2) / a);
                    if (c.o.associated && k < 3 && a == 0) v = 0;
                    expected.pixels.push_back(static_cast<uint8_t>(v));
                }
            }
        TRefPtr<T3dImage> image;
        try {
            image = LoadBytes(EncodeTiffLayout(source, c.o));
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        EXPECT_EQ(image->LastFormat(), pfTiff);
        ExpectPicture(*image, expected);
    }
}

TEST(ImageLoad, GifAndPsdAndPnm) {
    std::vector<uint8_t> indices(11 * 19);
    for (size_t i = 0; i < indices.size(); i++)
        indices[i] = static_cast<uint8_t>((i * 7) % 16);
    for (bool interlaced : {false, true}) {
        auto image = LoadBytes(EncodeGif(11, 19, indices, interlaced));
        EXPECT_EQ(image->LastFormat(), pfGif);
        EXPECT_EQ(image->GetFormat(), ifThree); // entry i: i * 16, i, 7
        for (int y = 0; y < 19; y++)
            for (int x = 0; x < 11; x++) {
                ASSERT_EQ(image->GetUInt8(x, 18 - y, 0, 0), indices[y * 11 + x] * 16);
                ASSERT_EQ(image->GetUInt8(x, 18 - y, 1, 0), indices[y * 11 + x]);
                ASSERT_EQ(image->GetUInt8(x, 18 - y, 2, 0), 7);
            }
    }
    TTestPicture rgb = MakeGradient(7, 4, 3), rgba = MakeGradient(7, 4, 4);
    // The composite of a PSD file is matted with white by its alpha; opaque
    // pixels keep their colour exactly.
    for (size_t i = 3; i < rgba.pixels.size(); i += 4)
        rgba.pixels[i] = 255;
    auto image = LoadBytes(EncodePsd(rgb));
    EXPECT_EQ(image->LastFormat(), pfPsd);
    ExpectPicture(*image, rgb);
    ExpectPicture(*LoadBytes(EncodePsd(rgba)), rgba);
    ExpectPicture(*LoadBytes(EncodePsd(rgba, true)), rgba);
    ExpectPicture(*LoadBytes(EncodePsd(rgb, true)), rgb);
    // Half-transparent pixels: the stored composite is matted with white and
    // the matte is taken out again.
    TTestPicture matted = rgba;
    for (size_t i = 0; i < matted.pixels.size(); i += 4) {
        int a = 128;
        for (int c = 0; c < 3; c++)
            matted.pixels[i + c] =
                static_cast<uint8_t>((rgba.pixels[i + c] * a + (255 - a) * 255 + 127) / 255);
        matted.pixels[i + 3] = static_cast<uint8_t>(a);
        rgba.pixels[i + 3] = static_cast<uint8_t>(a);
    }
    for (bool rle : {false, true})
        ExpectPicture(*LoadBytes(EncodePsd(matted, rle)), rgba, 2);

    // P6 with a comment, P3 with maximum value 15, P5 with 16-bit samples.
    std::string p6 = "P6\n# made by a test\n2 1\n255\n";
    std::vector<uint8_t> bytes(p6.begin(), p6.end());
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5, 6});
    image = LoadBytes(bytes);
    EXPECT_EQ(image->LastFormat(), pfPnm);
    EXPECT_EQ(image->GetUInt8(1, 0, 2, 0), 6);
    std::string p3 = "P3 1 2 15  15 0 0\n 0 15 0";
    image = LoadBytes(std::vector<uint8_t>(p3.begin(), p3.end()));
    EXPECT_EQ(image->GetUInt8(0, 1, 0, 0), 255); // top row is the last image row
    EXPECT_EQ(image->GetUInt8(0, 0, 1, 0), 255);
    std::string p5 = "P5 2 1 65535\n";
    bytes.assign(p5.begin(), p5.end());
    bytes.insert(bytes.end(), {0x80, 0x00, 0xFF, 0xFF});
    image = LoadBytes(bytes);
    EXPECT_EQ(image->GetFormat(), ifOne);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 128);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 255);
    // Bitmaps become grey levels: 1 is black.
    std::string p1 = "P1 3 1 101";
    image = LoadBytes(std::vector<uint8_t>(p1.begin(), p1.end()));
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 0);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 255);
    std::string p4 = "P4 9 1\n";
    bytes.assign(p4.begin(), p4.end());
    bytes.insert(bytes.end(), {0x80, 0x80});
    image = LoadBytes(bytes);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 0);
    EXPECT_EQ(image->GetUInt8(8, 0, 0, 0), 0);
    EXPECT_EQ(image->GetUInt8(7, 0, 0, 0), 255);
}

TEST(ImageLoad, TargaVariants) {
    // 2 x 2 colour-mapped, top-left origin: indices with a map starting at 1
    // (index 1 is red 30, index 2 red 60).
    std::vector<uint8_t> map = {10, 20, 30, 40, 50, 60};
    auto image = LoadBytes(MakeTarga(1, 2, 2, 8, 0x20, map, 1, 2, 24, {1, 2, 2, 1}));
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(0, 1, 0, 0), 30);
    EXPECT_EQ(image->GetUInt8(1, 1, 0, 0), 60);
    EXPECT_EQ(image->GetUInt8(1, 1, 2, 0), 40);
    // Same picture run-length encoded, the run crossing from row 0 into row 1.
    image = LoadBytes(MakeTarga(9, 2, 2, 8, 0x20, map, 1, 2, 24, {0x00, 1, 0x81, 2, 0x00, 1}));
    EXPECT_EQ(image->GetUInt8(0, 1, 0, 0), 30);
    EXPECT_EQ(image->GetUInt8(1, 1, 0, 0), 60);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 60);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 30);
    // 16-bit colour-mapped indices are looked up into colours.
    image = LoadBytes(MakeTarga(1, 1, 1, 16, 0, map, 0, 2, 24, {1, 0}));
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 60);
    // 15- and 16-bit true colour become RGB bytes: pure red, then green.
    for (int bits : {15, 16}) {
        image = LoadBytes(MakeTarga(2, 2, 1, bits, 0, {}, 0, 0, 0, {0x00, 0x7C, 0xE0, 0x03}));
        EXPECT_EQ(image->GetFormat(), ifThree);
        EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 255);
        EXPECT_EQ(image->GetUInt8(0, 0, 1, 0), 0);
        EXPECT_EQ(image->GetUInt8(1, 0, 1, 0), 255);
    }
    // 32-bit, run-length encoded, right-to-left: bytes blue, green, red, alpha.
    image = LoadBytes(MakeTarga(10, 3, 1, 32, 0x18, {}, 0, 0, 0, {0x81, 1, 2, 3, 4, 0x00, 5, 6, 7, 8}));
    EXPECT_EQ(image->GetFormat(), ifFour);
    EXPECT_EQ(image->GetUInt8(2, 0, 0, 0), 3);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 7);
    EXPECT_EQ(image->GetUInt8(0, 0, 3, 0), 8);
    // Grey, raw and encoded; grey with alpha becomes RGBA.
    image = LoadBytes(MakeTarga(3, 2, 1, 8, 0, {}, 0, 0, 0, {9, 200}));
    EXPECT_EQ(image->GetFormat(), ifOne);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 200);
    image = LoadBytes(MakeTarga(11, 3, 1, 8, 0, {}, 0, 0, 0, {0x82, 77}));
    EXPECT_EQ(image->GetUInt8(2, 0, 0, 0), 77);
    image = LoadBytes(MakeTarga(3, 1, 1, 16, 0, {}, 0, 0, 0, {90, 30}));
    EXPECT_EQ(image->GetFormat(), ifFour);
    EXPECT_EQ(image->GetUInt8(0, 0, 1, 0), 90);
    EXPECT_EQ(image->GetUInt8(0, 0, 3, 0), 30);
}

TEST(ImageLoad, FromBitmapConversions) {
    TRefPtr<T3dImage> image(new T3dImage());
    TBitmap bitmap;
    // 4-bit with a colour palette: its colours (entry i red 255, blue i);
    // with a transparent entry, RGBA.
    bitmap.SetSize(3, 1, 4);
    for (uint8_t i = 0; i < 16; i++)
        bitmap.Palette().push_back({i, 0, 255, 255});
    bitmap.Row(0)[0] = 0x1F;
    bitmap.Row(0)[1] = 0xA0;
    image->FromBitmap(&bitmap);
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 255);
    EXPECT_EQ(image->GetUInt8(0, 0, 2, 0), 1);
    EXPECT_EQ(image->GetUInt8(1, 0, 2, 0), 15);
    EXPECT_EQ(image->GetUInt8(2, 0, 2, 0), 10);
    bitmap.Palette()[15].alpha = 0;
    image->FromBitmap(&bitmap);
    EXPECT_EQ(image->GetFormat(), ifFour);
    EXPECT_EQ(image->GetUInt8(0, 0, 3, 0), 255);
    EXPECT_EQ(image->GetUInt8(1, 0, 3, 0), 0);
    // 1-bit with a grey palette: levels.
    bitmap.SetSize(2, 1, 1);
    bitmap.Palette() = {{0, 0, 0, 255}, {200, 200, 200, 255}};
    bitmap.Row(0)[0] = 0x40;
    image->FromBitmap(&bitmap);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 0);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 200);
    // 24-bit: rows kept in order (no flip), blue and red swapped.
    bitmap.SetSize(1, 2, 24);
    std::memcpy(bitmap.Row(0), "\x01\x02\x03", 3);
    std::memcpy(bitmap.Row(1), "\x04\x05\x06", 3);
    image->FromBitmap(&bitmap);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 3);
    EXPECT_EQ(image->GetUInt8(0, 1, 2, 0), 4);
    // Unknown depths change nothing.
    bitmap.SetSize(5, 5, 12);
    image->FromBitmap(&bitmap);
    EXPECT_EQ(image->GetWidth(), 1);
}

namespace {

// A PCX file: header, then the given (already encoded) scan-line data.
std::vector<uint8_t> MakePcx(int width, int height, int bits, int planes, int lineBytes, bool rle,
                             const std::vector<uint8_t>& data) {
    std::vector<uint8_t> h(128, 0);
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = rle ? 1 : 0;
    h[3] = static_cast<uint8_t>(bits);
    h[8] = static_cast<uint8_t>(width - 1);
    h[10] = static_cast<uint8_t>(height - 1);
    for (int i = 0; i < 48; i++)
        h[16 + i] = static_cast<uint8_t>(i * 5); // header palette
    h[65] = static_cast<uint8_t>(planes);
    h[66] = static_cast<uint8_t>(lineBytes);
    h.insert(h.end(), data.begin(), data.end());
    return h;
}

// An SGI file: 512-byte header and the given data after it.
std::vector<uint8_t> MakeSgi(bool rle, int bpc, int dimension, int w, int h, int z,
                             const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out(512, 0);
    out[0] = 0x01;
    out[1] = 0xDA;
    out[2] = rle ? 1 : 0;
    out[3] = static_cast<uint8_t>(bpc);
    out[5] = static_cast<uint8_t>(dimension);
    out[7] = static_cast<uint8_t>(w);
    out[9] = static_cast<uint8_t>(h);
    out[11] = static_cast<uint8_t>(z);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

} // namespace

TEST(ImageLoad, PcxVariants) {
    // 8-bit palette, run-length encoded, palette at the end (entry i is 3i,
    // 3i + 1, 3i + 2): its colours.
    // Rows 7 7 7 9 and C5 C5 4 5 (a literal C5 needs a run of one).
    std::vector<uint8_t> file = MakePcx(4, 2, 8, 1, 4, true, {0xC3, 7, 9, 0xC2, 0xC5, 4, 5});
    file.push_back(0x0C);
    for (int i = 0; i < 768; i++)
        file.push_back(static_cast<uint8_t>(i));
    auto image = LoadBytes(file);
    EXPECT_EQ(image->LastFormat(), pfPcx);
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(0, 1, 0, 0), 21);
    EXPECT_EQ(image->GetUInt8(3, 1, 0, 0), 27);
    EXPECT_EQ(image->GetUInt8(0, 0, 1, 0), 3 * 0xC5 % 256 + 1);
    EXPECT_EQ(image->GetUInt8(3, 0, 2, 0), 17);
    // Three planes of 8 bits: colour, planes red, green, blue per line.
    image = LoadBytes(MakePcx(2, 1, 8, 3, 2, false, {10, 11, 20, 21, 30, 31}));
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 11);
    EXPECT_EQ(image->GetUInt8(1, 0, 2, 0), 31);
    // Four planes of one bit: 16-colour indices into the header's palette
    // (entry i is 15i, 15i + 5, 15i + 10).
    image = LoadBytes(MakePcx(3, 1, 1, 4, 2, false, {0x80, 0, 0x40, 0, 0x20, 0, 0xE0, 0}));
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 15 * (1 + 8));
    EXPECT_EQ(image->GetUInt8(1, 0, 1, 0), 15 * (2 + 8) + 5);
    EXPECT_EQ(image->GetUInt8(2, 0, 2, 0), 15 * (4 + 8) + 10);
    // A run that would fill more than the picture, then truncation.
    EXPECT_EQ(LoadBytes(MakePcx(2, 1, 8, 1, 2, true, {0xFF, 3}))->GetUInt8(1, 0, 0, 0), 3);
    TRefPtr<T3dImage> bad(new T3dImage());
    std::vector<uint8_t> cut = MakePcx(40, 40, 8, 3, 40, true, {0xC2, 1});
    TReadOnlyMemoryStream stream(cut.data(), static_cast<int64_t>(cut.size()));
    EXPECT_THROW(bad->LoadFromStream(stream), EInvalidGraphic);
}

TEST(ImageLoad, SgiVariants) {
    // Verbatim RGB, planes one after another, rows bottom first.
    auto image = LoadBytes(MakeSgi(false, 1, 3, 2, 2, 3, {1, 2, 3, 4, 11, 12, 13, 14, 21, 22, 23, 24}));
    EXPECT_EQ(image->LastFormat(), pfSgi);
    EXPECT_EQ(image->GetFormat(), ifThree);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 1); // bottom row stays row 0
    EXPECT_EQ(image->GetUInt8(1, 1, 0, 0), 4);
    EXPECT_EQ(image->GetUInt8(1, 1, 2, 0), 24);
    // Run-length grey: tables of row starts and lengths, then the rows.
    auto rleGrey = [](const std::vector<uint8_t>& row0, const std::vector<uint8_t>& row1) {
        std::vector<uint8_t> tables(16, 0);
        uint32_t start0 = 512 + 16, start1 = start0 + static_cast<uint32_t>(row0.size());
        for (int i = 0; i < 4; i++) {
            tables[i] = static_cast<uint8_t>(start0 >> (24 - 8 * i));
            tables[4 + i] = static_cast<uint8_t>(start1 >> (24 - 8 * i));
        }
        tables[11] = static_cast<uint8_t>(row0.size());
        tables[15] = static_cast<uint8_t>(row1.size());
        tables.insert(tables.end(), row0.begin(), row0.end());
        tables.insert(tables.end(), row1.begin(), row1.end());
        return MakeSgi(true, 1, 2, 3, 2, 1, tables);
    };
    image = LoadBytes(rleGrey({0x03, 50, 0x00}, {0x82, 60, 61, 0x01, 62, 0x00}));
    EXPECT_EQ(image->GetFormat(), ifOne);
    EXPECT_EQ(image->GetUInt8(2, 0, 0, 0), 50);
    EXPECT_EQ(image->GetUInt8(1, 1, 0, 0), 61);
    EXPECT_EQ(image->GetUInt8(2, 1, 0, 0), 62);
    // A row that ends before the width is filled is damaged.
    EXPECT_THROW(LoadBytes(rleGrey({0x03, 50, 0x00}, {0x82, 60, 61, 0x00})), EInvalidGraphic);
    // 16-bit verbatim grey keeps the high byte.
    image = LoadBytes(MakeSgi(false, 2, 1, 2, 1, 1, {0x12, 0x34, 0xAB, 0xCD}));
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 0x12);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 0xAB);
}

// Palette pictures decode to their colours, RGB, or RGBA when the palette
// carries transparency (PNG's tRNS, GIF's transparent index): the pixels of
// the same picture in true colour. A grey palette keeps one component, the
// grey level, so a height map gives the same normal map either way.
TEST(ImageLoad, PalettePicturesDecodeToTheirColours) {
    const int w = 13, h = 7;
    std::vector<uint8_t> indices(size_t(w) * h);
    for (size_t i = 0; i < indices.size(); i++)
        indices[i] = static_cast<uint8_t>((i * 5 + i / w) % 4);
    using Colours = std::vector<std::array<uint8_t, 4>>;
    const Colours opaque = {{200, 10, 20, 255}, {0, 128, 255, 255}, {7, 7, 7, 255}, {255, 255, 0, 255}};
    Colours seeThrough = opaque;
    seeThrough[2] = {0, 0, 0, 0};
    seeThrough[3][3] = 128;
    for (const Colours& colours : {opaque, seeThrough}) {
        const int channels = colours == opaque ? 3 : 4;
        TTestPicture expected{w, h, channels, {}};
        for (uint8_t index : indices)
            expected.pixels.insert(expected.pixels.end(), colours[index].begin(),
                                   colours[index].begin() + channels);
        SCOPED_TRACE(channels);
        ExpectPicture(*LoadBytes(EncodeIndexedPng(w, h, indices, colours)), expected);
    }

    // A grey palette in shuffled order: the grey levels, one component; the
    // normal map of the height map is that of the grey picture.
    Colours greys(256);
    for (int i = 0; i < 256; i++) {
        const uint8_t level = static_cast<uint8_t>((i * 37 + 11) % 256);
        greys[size_t(i)] = {level, level, level, 255};
    }
    TTestPicture heights = MakeGradient(16, 8, 1);
    std::vector<uint8_t> levelIndices;
    for (uint8_t level : heights.pixels)
        levelIndices.push_back(static_cast<uint8_t>(
            std::find_if(greys.begin(), greys.end(), [&](const auto& c) { return c[0] == level; }) -
            greys.begin()));
    auto palette = LoadBytes(EncodeIndexedPng(16, 8, levelIndices, greys)),
         grey = LoadBytes(EncodePng(heights));
    ExpectPicture(*palette, heights);
    TRefPtr<T3dImage> fromPalette(new T3dImage()), fromGrey(new T3dImage());
    fromPalette->MakeNormalMap(palette.Get(), 5.0f);
    fromGrey->MakeNormalMap(grey.Get(), 5.0f);
    EXPECT_EQ(std::memcmp(fromPalette->GetData(), fromGrey->GetData(), 16 * 8 * 3 * sizeof(float)), 0);

    // ImageMagick's palette PNG and GIF of a picture of four colours and
    // transparent pixels decode to the pixels of its true-colour PNG (a
    // transparent pixel's colour aside, which GIF does not keep).
    if (RunProgram("/bin/sh", {"-c", "command -v convert"}).exitCode != 0)
        GTEST_SKIP() << "ImageMagick (convert) is not installed";
    TempDir dir;
    std::vector<uint8_t> rgba;
    for (uint8_t index : indices) {
        const auto& c = index == 3 ? std::array<uint8_t, 4>{0, 0, 0, 0} : opaque[index];
        rgba.insert(rgba.end(), c.begin(), c.end());
    }
    WriteFileBytes(dir.File("source.rgba"), rgba);
    const std::string source =
        "-size " + std::to_string(w) + "x" + std::to_string(h) + " -depth 8 rgba:" + dir.File("source.rgba");
    ASSERT_EQ(RunProgram("/bin/sh", {"-c", "convert " + source + " PNG32:" + dir.File("true.png") +
                                               " && convert " + source + " PNG8:" + dir.File("palette.png") +
                                               " && convert " + source + " " + dir.File("palette.gif")})
                  .exitCode,
              0);
    TRefPtr<T3dImage> truth(new T3dImage());
    truth->LoadFromFile(dir.File("true.png"));
    ASSERT_EQ(truth->Components(), 4);
    for (const char* name : {"palette.png", "palette.gif"}) {
        SCOPED_TRACE(name);
        TRefPtr<T3dImage> image(new T3dImage());
        image->LoadFromFile(dir.File(name));
        ASSERT_EQ(image->Components(), 4);
        ASSERT_EQ(image->GetWidth(), w);
        ASSERT_EQ(image->GetHeight(), h);
        int bad = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const int alpha = truth->GetUInt8(x, y, 3, 0);
                for (int c = alpha == 0 ? 3 : 0; c < 4; c++)
                    bad += image->GetUInt8(x, y, c, 0) != truth->GetUInt8(x, y, c, 0);
            }
        EXPECT_EQ(bad, 0);
    }
}
