// The picture helpers of the scene importer: decoding into the layout scene
// files embed, and height maps recovered from normal maps.
#include "tools/mirel/ScenePictures.h"

#include <cmath>
#include <gtest/gtest.h>

#include "platform/Exception.h"

namespace {

// A 2 x 2 uncompressed Targa picture of the given depth and row order; the
// first pixel in the file is (10, 20, 30) with alpha 0 (32 bits), the
// others grey.
std::vector<uint8_t> Targa(uint8_t bits, bool topFirst) {
    std::vector<uint8_t> bytes = {0, 0, 2, 0, 0,    0,
                                  0, 0, 0, 0, 0,    0,
                                  2, 0, 2, 0, bits, uint8_t((topFirst ? 0x20 : 0) | (bits == 32 ? 8 : 0))};
    for (int i = 0; i < 4; i++) {
        bytes.insert(bytes.end(), {uint8_t(i ? 99 : 30), uint8_t(i ? 99 : 20), uint8_t(i ? 99 : 10)});
        if (bits == 32) bytes.push_back(i ? 255 : 0);
    }
    return bytes;
}

} // namespace

TEST(ScenePictures, DecodedBottomRowFirstKeepingAlphaOnlyWhereItIsUsed) {
    struct Case {
        uint8_t bits;
        bool topFirst;
        int channels;
        size_t firstPixel; // where the file's first pixel lands, in pixels
    };
    for (const Case& c :
         {Case{24, false, 3, 0}, Case{24, true, 3, 2}, Case{32, false, 4, 0}, Case{32, true, 4, 2}}) {
        SCOPED_TRACE(std::to_string(c.bits) + (c.topFirst ? " top first" : " bottom first"));
        const std::vector<uint8_t> file = Targa(c.bits, c.topFirst);
        const TScenePicture picture = DecodeScenePicture(file.data(), file.size());
        ASSERT_EQ(picture.Width, 2);
        ASSERT_EQ(picture.Height, 2);
        ASSERT_EQ(picture.Channels, c.channels);
        ASSERT_EQ(picture.Pixels.size(), size_t(4 * c.channels));
        const uint8_t* p = &picture.Pixels[c.firstPixel * size_t(c.channels)];
        EXPECT_EQ(p[0], 10);
        EXPECT_EQ(p[1], 20);
        EXPECT_EQ(p[2], 30);
        if (c.channels == 4) {
            EXPECT_EQ(p[3], 0);
        }
    }
    const uint8_t junk[] = {1, 2, 3, 4, 5};
    EXPECT_THROW(DecodeScenePicture(junk, sizeof junk), Exception);
}

TEST(ScenePictures, HeightsComeBackFromTheirNormals) {
    // Tiling bumps of 2 pixels' height, their normals encoded as a normal
    // map is (x right, y up), and the heights recovered from them. Sizes
    // that are powers of two and sizes that are not take different paths.
    for (const std::pair<int, int>& size : {std::pair{32, 16}, std::pair{24, 20}}) {
        const int w = size.first, h = size.second;
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        auto height = [&](double x, double y) {
            return 2.0 * std::sin(2 * M_PI * x / w) * std::cos(2 * M_PI * 2 * y / h);
        };
        TScenePicture normals;
        normals.Width = w;
        normals.Height = h;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const double dx = (height(x + 0.01, y) - height(x - 0.01, y)) / 0.02;
                const double dy = (height(x, y + 0.01) - height(x, y - 0.01)) / 0.02;
                const double length = std::sqrt(dx * dx + dy * dy + 1);
                for (double v : {-dx / length, -dy / length, 1 / length})
                    normals.Pixels.push_back(uint8_t(std::lround((v + 1) * 127.5)));
            }
        const float bumpScale = 5.0f;
        const TScenePicture heights = HeightsFromNormals(normals, bumpScale);
        ASSERT_EQ(heights.Channels, 3);
        ASSERT_EQ(heights.Pixels.size(), size_t(w * h * 3));
        // Byte b is b / 255 * bumpScale pixels high; compare around the mean.
        double meanGot = 0, meanWant = 0;
        for (int i = 0; i < w * h; i++) {
            meanGot += heights.Pixels[size_t(i) * 3] / 255.0 * bumpScale / (w * h);
            meanWant += height(i % w, i / w) / (w * h);
        }
        double worst = 0;
        for (int i = 0; i < w * h; i++) {
            EXPECT_EQ(heights.Pixels[size_t(i) * 3], heights.Pixels[size_t(i) * 3 + 2]);
            const double got = heights.Pixels[size_t(i) * 3] / 255.0 * bumpScale - meanGot;
            worst = std::max(worst, std::fabs(got - (height(i % w, i / w) - meanWant)));
        }
        EXPECT_LT(worst, 0.2);
    }
}
