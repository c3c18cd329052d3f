// Loading pictures by content: every decoder with real files written by the
// format's own library (or byte by byte for the formats we read ourselves),
// the raw format, the JPEG fallback and the row order of the result.
#include "data/3dImage.h"
#include "data/PictureDecoder.h"
#include "tests/images/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

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
    // Palette pictures keep their indices, one per byte, also at 4 and 1 bits.
    std::vector<uint8_t> indices(10 * 3);
    for (size_t i = 0; i < indices.size(); i++)
        indices[i] = static_cast<uint8_t>(i % 16);
    image = LoadBytes(EncodePalettePng(10, 3, 4, indices));
    EXPECT_EQ(image->GetFormat(), ifOne);
    EXPECT_EQ(image->GetUInt8(7, 2, 0, 0), indices[7]);
    EXPECT_EQ(image->GetUInt8(7, 0, 0, 0), indices[2 * 10 + 7]);
    for (auto& v : indices)
        v &= 1;
    image = LoadBytes(EncodePalettePng(10, 3, 1, indices));
    EXPECT_EQ(image->GetUInt8(9, 0, 0, 0), indices[29]);
    // Low-depth grey becomes grey levels; 16-bit samples become 8-bit.
    image = LoadBytes(EncodeGreyPng(4, 1, 4, {0, 5, 10, 15}));
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 0x55);
    EXPECT_EQ(image->GetUInt8(3, 0, 0, 0), 0xFF);
    image = LoadBytes(EncodeGreyPng(2, 1, 16, {0x1234, 0xFF00}));
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 0x12);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 0xFF);
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
    auto image = LoadBytes(EncodeTiff(grey, 8, true)); // palette: indices
    EXPECT_EQ(image->GetFormat(), ifOne);
    EXPECT_EQ(image->GetUInt8(4, 5, 0, 0), grey.At(4, 0, 0));
}

TEST(ImageLoad, GifAndPsdAndPnm) {
    std::vector<uint8_t> indices(11 * 19);
    for (size_t i = 0; i < indices.size(); i++)
        indices[i] = static_cast<uint8_t>((i * 7) % 16);
    for (bool interlaced : {false, true}) {
        auto image = LoadBytes(EncodeGif(11, 19, indices, interlaced));
        EXPECT_EQ(image->LastFormat(), pfGif);
        EXPECT_EQ(image->GetFormat(), ifOne);
        for (int y = 0; y < 19; y++)
            for (int x = 0; x < 11; x++)
                ASSERT_EQ(image->GetUInt8(x, 18 - y, 0, 0), indices[y * 11 + x]);
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
    // 2 x 2 colour-mapped, top-left origin: indices with a map starting at 1.
    std::vector<uint8_t> map = {10, 20, 30, 40, 50, 60};
    auto image = LoadBytes(MakeTarga(1, 2, 2, 8, 0x20, map, 1, 2, 24, {1, 2, 2, 1}));
    EXPECT_EQ(image->GetFormat(), ifOne);
    EXPECT_EQ(image->GetUInt8(0, 1, 0, 0), 1);
    EXPECT_EQ(image->GetUInt8(1, 1, 0, 0), 2);
    // Same picture run-length encoded, the run crossing from row 0 into row 1.
    image = LoadBytes(MakeTarga(9, 2, 2, 8, 0x20, map, 1, 2, 24, {0x00, 1, 0x81, 2, 0x00, 1}));
    EXPECT_EQ(image->GetUInt8(0, 1, 0, 0), 1);
    EXPECT_EQ(image->GetUInt8(1, 1, 0, 0), 2);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 2);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 1);
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
    // 4-bit with a colour palette: indices.
    bitmap.SetSize(3, 1, 4);
    bitmap.Palette().assign(16, {0, 0, 255, 255});
    bitmap.Row(0)[0] = 0x1F;
    bitmap.Row(0)[1] = 0xA0;
    image->FromBitmap(&bitmap);
    EXPECT_EQ(image->GetFormat(), ifOne);
    EXPECT_EQ(image->GetUInt8(0, 0, 0, 0), 1);
    EXPECT_EQ(image->GetUInt8(1, 0, 0, 0), 15);
    EXPECT_EQ(image->GetUInt8(2, 0, 0, 0), 10);
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
