// Saving: run-length-encoded Targa files that read back upright and open in
// ImageMagick, and raw files with their byte conversion.
#include "data/3dImage.h"
#include "data/PictureDecoder.h"
#include "tests/images/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TRefPtr<T3dImage> LoadFile(const std::string& path) {
    TRefPtr<T3dImage> image(new T3dImage());
    image->LoadFromFile(path);
    return image;
}

bool HaveIdentify() {
    return FileExists("/usr/bin/identify");
}

} // namespace

TEST(ImageSave, TargaRoundTripsUprightForEveryFormat) {
    TempDir dir;
    TTestPicture p = MakeGradient(37, 11, 4);
    WriteFileBytes(dir.File("in.png"), EncodePng(p));
    auto rgba = LoadFile(dir.File("in.png"));
    ASSERT_TRUE(rgba->SaveToFile(dir.File("out.tga").c_str(), 0));
    std::vector<uint8_t> file = ReadFileBytes(dir.File("out.tga"));
    EXPECT_EQ(file[2], 10);    // run-length-encoded true colour
    EXPECT_EQ(file[16], 32);   // bits per pixel
    EXPECT_EQ(file[17], 0x28); // eight alpha bits, top-left origin
    auto back = LoadFile(dir.File("out.tga"));
    EXPECT_EQ(back->GetFormat(), ifFour);
    EXPECT_EQ(std::memcmp(back->GetData(), rgba->GetData(), rgba->DataBytes()), 0);

    // One component: colour-mapped with a grey palette, read back as indices.
    TRefPtr<T3dImage> grey(new T3dImage());
    grey->Allocate(nullptr, 300, ifOne, ctUInt8, 1, 3);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 300; x++)
            grey->SetUInt8(x, y, 0, 0, static_cast<uint8_t>(x < 150 ? 7 : x + y));
    grey->SaveToFile(dir.File("grey.tga").c_str(), 0);
    file = ReadFileBytes(dir.File("grey.tga"));
    EXPECT_EQ(file[1], 1);
    EXPECT_EQ(file[2], 9);
    EXPECT_LT(file.size(), 18 + 768 + 3 * 300u); // the constant half compresses
    back = LoadFile(dir.File("grey.tga"));
    EXPECT_EQ(std::memcmp(back->GetData(), grey->GetData(), grey->DataBytes()), 0);

    // Two components: red and green, blue 0.
    TRefPtr<T3dImage> two(new T3dImage());
    two->Allocate(nullptr, 2, ifTwo, ctUInt8, 1, 1);
    std::memcpy(two->GetData(), "\x10\x20\x30\x40", 4);
    two->SaveToFile(dir.File("two.tga").c_str(), 0);
    back = LoadFile(dir.File("two.tga"));
    EXPECT_EQ(back->GetFormat(), ifThree);
    EXPECT_EQ(back->GetUInt8(1, 0, 0, 0), 0x30);
    EXPECT_EQ(back->GetUInt8(1, 0, 1, 0), 0x40);
    EXPECT_EQ(back->GetUInt8(1, 0, 2, 0), 0);

    // Other kinds write nothing.
    EXPECT_TRUE(two->SaveToFile(dir.File("none").c_str(), 5));
    EXPECT_FALSE(FileExists(dir.File("none")));
}

TEST(ImageSave, TargaFilesOpenInImageMagick) {
    if (!HaveIdentify()) GTEST_SKIP() << "ImageMagick's identify is not installed";
    TempDir dir;
    TTestPicture p = MakeGradient(64, 20, 3);
    WriteFileBytes(dir.File("in.png"), EncodePng(p));
    auto image = LoadFile(dir.File("in.png"));
    image->SaveToFile(dir.File("rgb.tga").c_str(), 0);
    TRefPtr<T3dImage> grey(new T3dImage());
    grey->Allocate(nullptr, 5, ifOne, ctUInt8, 1, 9);
    std::memset(grey->GetData(), 99, 45);
    grey->SaveToFile(dir.File("grey.tga").c_str(), 0);
    CommandResult r =
        RunProgram("/usr/bin/identify", {"-format", "%w %h %m\n", dir.File("rgb.tga"), dir.File("grey.tga")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "64 20 TGA\n5 9 TGA\n");
    // ImageMagick sees the top-left pixel of the original picture top left.
    r = RunProgram("/usr/bin/convert", {dir.File("rgb.tga"), "-format",
                                        "%[fx:round(255*p{0,0}.r)] %[fx:round(255*p{63,19}.b)]", "info:"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(p.At(0, 0, 0)) + " " + std::to_string(p.At(63, 19, 2)));
}

TEST(ImageSave, RawFilesConvertFloatsToBytes) {
    TempDir dir;
    TRefPtr<T3dImage> image(new T3dImage());
    image->Allocate(nullptr, 2, ifFour, ctFloat32, 2, 1);
    const float values[16] = {0.0f, 1.0f, 0.5f, -1.0f, 0.25f, 2.0f, 0.5f, 1.0f,
                              0.1f, 0.2f, 0.3f, 0.4f,  0.9f,  0.8f, 0.7f, 0.6f};
    std::memcpy(image->GetData(), values, sizeof values);
    image->SaveToFile(dir.File("f.raw").c_str(), 1);
    std::vector<uint8_t> file = ReadFileBytes(dir.File("f.raw"));
    ASSERT_EQ(file.size(), 18u + 16);
    EXPECT_EQ(std::memcmp(file.data(), "m3dTex\x02\0\0\0\x01\0\0\0\x02\0\0\0", 18), 0);
    const uint8_t expected[8] = {0, 255, 128, 0, 64, 255, 128, 255}; // rounded, clamped
    EXPECT_EQ(std::memcmp(file.data() + 18, expected, 8), 0);
    auto back = LoadFile(dir.File("f.raw"));
    EXPECT_EQ(back->GetDepth(), 2);
    EXPECT_EQ(back->GetUInt8(0, 0, 0, 1), 26); // 0.1 * 255 = 25.5 -> 26
    // Byte images round-trip exactly; three components get an opaque alpha.
    TRefPtr<T3dImage> rgb(new T3dImage());
    rgb->Allocate(nullptr, 1, ifThree, ctUInt8, 1, 1);
    std::memcpy(rgb->GetData(), "\x05\x06\x07", 3);
    rgb->SaveToFile(dir.File("b.raw").c_str(), 1);
    file = ReadFileBytes(dir.File("b.raw"));
    EXPECT_EQ(std::memcmp(file.data() + 18, "\x05\x06\x07\xFF", 4), 0);
}
