// mirel image info / convert / normalmap and mirel chunks on real files.
#include "data/3dImage.h"
#include "scene/chunks/NoiceLoader.h"
#include "tests/images/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

TEST(MirelImage, InfoReportsLayoutAndFirstBytes) {
    TempDir dir;
    TTestPicture p = MakeGradient(5, 3, 3);
    WriteFileBytes(dir.File("p.png"), EncodePng(p));
    CommandResult r = RunMirel({"image", "info", dir.File("p.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // First bytes: the bottom row's first pixels, red first.
    std::string first = std::to_string(p.At(0, 2, 0)) + ", " + std::to_string(p.At(0, 2, 1)) + ", " +
                        std::to_string(p.At(0, 2, 2)) + ", " + std::to_string(p.At(1, 2, 0));
    EXPECT_NE(
        r.out.find("\"width\": 5, \"height\": 3, \"depth\": 1, \"format\": 2, \"type\": 0, \"first\": [" +
                   first),
        std::string::npos)
        << r.out;
    r = RunMirel({"image", "info", dir.File("nothing.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Couldn't open the file named"), std::string::npos) << r.err;
}

TEST(MirelImage, ConvertToTargaAndRaw) {
    TempDir dir;
    TTestPicture p = MakeGradient(6, 4, 4);
    WriteFileBytes(dir.File("p.png"), EncodePng(p));
    CommandResult r = RunMirel({"image", "convert", dir.File("p.png"), dir.File("p.tga")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = RunMirel({"image", "convert", dir.File("p.tga"), dir.File("p.raw"), "--raw"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    TRefPtr<T3dImage> a(new T3dImage()), b(new T3dImage());
    a->LoadFromFile(dir.File("p.png"));
    b->LoadFromFile(dir.File("p.raw"));
    ASSERT_EQ(b->DataBytes(), a->DataBytes());
    EXPECT_EQ(std::memcmp(a->GetData(), b->GetData(), a->DataBytes()), 0);
    // A file no decoder takes: the JPEG error, and no output left behind.
    WriteFileText(dir.File("junk.png"), "junk");
    r = RunMirel({"image", "convert", dir.File("junk.png"), dir.File("junk.tga")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(FileExists(dir.File("junk.tga")));
}

TEST(MirelImage, NormalMapOfAFlatPictureIsStraightUp) {
    TempDir dir;
    TTestPicture p = MakeGradient(8, 8, 1);
    std::fill(p.pixels.begin(), p.pixels.end(), 100);
    WriteFileBytes(dir.File("h.png"), EncodePng(p));
    CommandResult r = RunMirel({"image", "normalmap", dir.File("h.png"), dir.File("n.tga"), "--scale", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    TRefPtr<T3dImage> n(new T3dImage());
    n->LoadFromFile(dir.File("n.tga"));
    EXPECT_EQ(n->GetFormat(), ifThree);
    EXPECT_EQ(n->GetUInt8(3, 3, 0, 0), 128); // 0.5 * 255 = 127.5 -> 128
    EXPECT_EQ(n->GetUInt8(3, 3, 2, 0), 255);
    EXPECT_EQ(RunMirel({"image", "normalmap", dir.File("h.png")}).exitCode, 2);
}

TEST(MirelChunks, PrintsTheTreeAndFailsOnBadSizes) {
    TempDir dir;
    // A material with one map child, then a chunk whose total size loops back.
    std::vector<uint8_t> file;
    WriteChunkHeader(file, {kChunkMagic, FourCC("MTRL"), 0x0102, 4, 48});
    file.insert(file.end(), 4, 0);
    WriteChunkHeader(file, {kChunkMagic, FourCC("MMAP"), 0x0102, 4, 24});
    file.insert(file.end(), 4, 0);
    WriteFileBytes(dir.File("ok.y3d"), file);
    CommandResult r = RunMirel({"chunks", dir.File("ok.y3d")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "0 GOAT MTRL 0x0102 4 48\n  24 GOAT MMAP 0x0102 4 24\n");
    WriteChunkHeader(file, {kChunkMagic, FourCC("HLPR"), 0x0101, 0, 8});
    file.insert(file.end(), 4, 0);
    WriteFileBytes(dir.File("bad.y3d"), file);
    r = RunMirel({"chunks", dir.File("bad.y3d")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("smaller than its header"), std::string::npos) << r.err;
}
