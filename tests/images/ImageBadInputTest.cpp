// Damaged and hostile pictures: every one gives a clear error (and false from
// TryLoadFromFile), quickly, without reading or allocating beyond reason.
#include "data/3dImage.h"
#include "data/FlexibleStream.h"
#include "data/PictureDecoder.h"
#include "tests/images/ImageTestUtil.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// Loads bytes from a file; returns the error text, or "" on success.
std::string LoadError(const std::vector<uint8_t>& bytes) {
    TempDir dir;
    WriteFileBytes(dir.File("bad"), bytes);
    TRefPtr<T3dImage> image(new T3dImage());
    bool ok = image->TryLoadFromFile(dir.File("bad").c_str());
    try {
        image->LoadFromFile(dir.File("bad"));
    } catch (const std::exception& e) {
        EXPECT_FALSE(ok);
        return e.what();
    }
    EXPECT_TRUE(ok);
    return "";
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t keep) {
    bytes.resize(std::min(keep, bytes.size()));
    return bytes;
}

} // namespace

TEST(ImageBadInput, TruncatedFilesOfEveryFormatFail) {
    TTestPicture p = MakeGradient(40, 30, 3);
    const std::string pnm = "P6 40 30 255\n" + std::string(p.pixels.begin(), p.pixels.end());
    std::vector<std::pair<const char*, std::vector<uint8_t>>> files = {
        {"png", EncodePng(p)},
        {"jpeg", EncodeJpeg(p)},
        {"tiff", EncodeTiff(p)},
        {"psd", EncodePsd(p)},
        {"gif", EncodeGif(40, 30, std::vector<uint8_t>(1200, 3), false)},
        {"tga", MakeTarga(2, 40, 30, 24, 0, {}, 0, 0, 0, p.pixels)},
        {"tga-rle", MakeTarga(10, 40, 30, 24, 0, {}, 0, 0, 0, {0xFF, 1, 2, 3})},
        {"pnm", std::vector<uint8_t>(pnm.begin(), pnm.end())},
        {"pcx",
         [&] {
             std::vector<uint8_t> h(128, 0);
             h[0] = 0x0A, h[1] = 5, h[2] = 0, h[3] = 8, h[8] = 39, h[10] = 29, h[65] = 3, h[66] = 40;
             h.insert(h.end(), p.pixels.begin(), p.pixels.end());
             return h;
         }()},
        {"sgi",
         [&] {
             std::vector<uint8_t> h(512, 0);
             h[0] = 0x01, h[1] = 0xDA, h[3] = 1, h[5] = 3, h[7] = 40, h[9] = 30, h[11] = 3;
             h.insert(h.end(), p.pixels.begin(), p.pixels.end());
             return h;
         }()},
    };
    for (auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        for (size_t keep : {bytes.size() / 2, size_t(30), size_t(9), size_t(3), size_t(0)}) {
            SCOPED_TRACE(keep);
            EXPECT_NE(LoadError(Cut(bytes, keep)), "");
        }
    }
}

TEST(ImageBadInput, HugeSizesAreRefusedBeforeAllocating) {
    // Targa headers claiming 65535 x 65535 with no pixel data.
    EXPECT_NE(LoadError(MakeTarga(2, 65535, 65535, 32, 0, {}, 0, 0, 0, {1, 2, 3, 4})).find("out of range"),
              std::string::npos);
    EXPECT_NE(LoadError(MakeTarga(10, 30000, 30000, 32, 0, {}, 0, 0, 0, {0xFF, 1, 2, 3, 4})), "");
    // Raw images: negative, oversized and short.
    auto raw = [](int32_t w, int32_t h, int32_t d, size_t pixels) {
        std::vector<uint8_t> b = {'m', '3', 'd', 'T', 'e', 'x'};
        for (int32_t v : {w, h, d})
            for (int i = 0; i < 4; i++)
                b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
        b.resize(b.size() + pixels, 0);
        return b;
    };
    EXPECT_NE(LoadError(raw(-1, 4, 1, 64)).find("out of range"), std::string::npos);
    EXPECT_NE(LoadError(raw(32768, 32768, 2, 0)).find("out of range"), std::string::npos);
    EXPECT_NE(LoadError(raw(40000, 1, 1, 0)).find("out of range"), std::string::npos);
    EXPECT_EQ(LoadError(raw(16384, 16384, 1, 0)), "Stream read error");
    EXPECT_EQ(LoadError(raw(2, 2, 1, 16)), "");
    // PNM and PNG headers with enormous sizes.
    std::string pnm = "P5 99999 99999 255\n";
    EXPECT_NE(LoadError(std::vector<uint8_t>(pnm.begin(), pnm.end())), "");
    pnm = "P5 10000 10000 255\n";
    EXPECT_NE(LoadError(std::vector<uint8_t>(pnm.begin(), pnm.end())).find("truncated"), std::string::npos);
    std::vector<uint8_t> png = EncodePng(MakeGradient(2, 2, 3));
    png[16] = 0x7F; // width 0x7F000002 in IHDR (the CRC no longer matches either)
    EXPECT_NE(LoadError(png), "");
}

TEST(ImageBadInput, UnknownContentIsAJpegError) {
    std::string text = "this is not a picture at all";
    std::string error = LoadError(std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(error.rfind("JPEG error", 0), 0u) << error;
    EXPECT_EQ(LoadError({}).rfind("JPEG error", 0), 0u);
}

TEST(ImageBadInput, MissingFileFailsThroughTheFlexibleStream) {
    TRefPtr<T3dImage> image(new T3dImage());
    EXPECT_FALSE(image->TryLoadFromFile("/nonexistent/zumbrix/picture.png"));
    EXPECT_FALSE(image->TryLoadFromFile(nullptr));
    EXPECT_THROW(image->LoadFromFile("/nonexistent/zumbrix/picture.png"), EFlexibleStreamError);
}

TEST(ImageBadInput, CorruptedBytesNeverCrash) {
    // Flip bytes through the headers and data of valid files; whatever the
    // outcome, it must be a clean result or a clean error.
    TTestPicture p = MakeGradient(16, 16, 3);
    std::vector<std::vector<uint8_t>> files = {
        EncodePng(p),
        EncodeJpeg(p),
        EncodeTiff(p),
        EncodePsd(p),
        EncodeGif(16, 16, std::vector<uint8_t>(256, 5), true),
        MakeTarga(10, 16, 16, 24, 0, {}, 0, 0, 0, {0xFF, 1, 2, 3, 0xFF, 4, 5, 6})};
    uint32_t seed = 12345;
    for (const auto& original : files)
        for (int round = 0; round < 40; round++) {
            std::vector<uint8_t> bytes = original;
            for (int k = 0; k < 3; k++) {
                seed = seed * 1103515245 + 12345;
                size_t at = (seed >> 8) % std::min<size_t>(bytes.size(), 64 + round * 8);
                bytes[at] ^= static_cast<uint8_t>(1 + (seed >> 24) % 255);
            }
            TReadOnlyMemoryStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
            TRefPtr<T3dImage> image(new T3dImage());
            try {
                image->LoadFromStream(stream);
                EXPECT_GE(image->GetWidth(), 1);
            } catch (const std::exception&) {
            }
        }
}
