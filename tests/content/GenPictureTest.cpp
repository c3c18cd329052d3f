// The picture writers of the generators, read back by the engine's own
// decoders, and the tileable noise the textures are drawn from.
#include "tools/gen/lib/GenPicture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "data/3dImage.h"
#include "tests/support/TestSupport.h"

namespace {

TGenPicture Sample(int channels) {
    TGenPicture p(32, 16, channels);
    for (int y = 0; y < p.Height(); y++)
        for (int x = 0; x < p.Width(); x++)
            p.Set(x, y,
                  {float(x) / 31.0f, float(y) / 15.0f, 0.5f + 0.3f * std::sin(float(x + 2 * y) * 0.3f)});
    return p;
}

using Writer = void (*)(const TGenPicture&, const std::string&);

struct WriterCase {
    const char* file;
    Writer write;
    int tolerance;        // largest difference of a component after the round trip
    double meanTolerance; // mean difference of the components
};

TEST(GenPicture, EveryWriterRoundTripsThroughTheEngineDecoders) {
    const WriterCase cases[] = {
        {"p.png", SavePng, 0, 0.0},
        {"p.tif", SaveTiff, 0, 0.0},
        {"p.tga", SaveTarga, 0, 0.0},
        // Lossy: colour is stored at half resolution.
        {"p.jpg", [](const TGenPicture& p, const std::string& f) { SaveJpeg(p, f, 95); }, 40, 8.0},
    };
    TempDir dir;
    for (const WriterCase& c : cases)
        for (int channels : {1, 3}) {
            SCOPED_TRACE(std::string(c.file) + " channels " + std::to_string(channels));
            TGenPicture picture = Sample(channels);
            c.write(picture, dir.File(c.file));
            TRefPtr<I3dImage> image = T3dImage::Create();
            image->LoadFromFile(dir.File(c.file));
            ASSERT_EQ(image->GetWidth(), 32);
            ASSERT_EQ(image->GetHeight(), 16);
            int components = image->GetFormat() + 1;
            int worst = 0;
            double sum = 0;
            for (int y = 0; y < 16; y++)
                for (int x = 0; x < 32; x++)
                    for (int k = 0; k < channels; k++) {
                        // The engine keeps the bottom row first; grey pictures
                        // may come back with three equal components.
                        int got = image->GetUInt8(x, 15 - y, components == 1 ? 0 : k, 0);
                        worst = std::max(worst, std::abs(got - int(picture.At(x, y, k))));
                        sum += std::abs(got - int(picture.At(x, y, k)));
                    }
            EXPECT_LE(worst, c.tolerance);
            EXPECT_LE(sum / (32.0 * 16.0 * channels), c.meanTolerance);
        }
}

TEST(GenPicture, AWriterThatCannotWriteNamesTheFileAndLeavesNothing) {
    TempDir dir;
    const std::string missing = dir.File("no/such/folder/p.png");
    for (Writer w : {Writer(SavePng), Writer(SaveTiff), Writer(SaveTarga)}) {
        try {
            w(Sample(3), missing);
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find("p.png"), std::string::npos) << e.what();
        }
        EXPECT_FALSE(FileExists(missing));
        EXPECT_FALSE(FileExists(missing + ".part"));
    }
}

TEST(GenPicture, NoiseRepeatsWithItsPeriodAndStaysInRange) {
    for (int period : {4, 8}) {
        for (float x = 0.05f; x < 4.0f; x += 0.37f)
            for (float y = 0.1f; y < 4.0f; y += 0.41f) {
                EXPECT_NEAR(Noise(x, y, period, 7u), Noise(x + float(period), y, period, 7u), 1e-4f);
                EXPECT_NEAR(Noise(x, y, period, 7u), Noise(x, y - float(period), period, 7u), 1e-4f);
                EXPECT_NEAR(Fractal(x, y, period, 4, 3u), Fractal(x + float(period), y, period, 4, 3u),
                            1e-4f);
                EXPECT_LE(std::fabs(Noise(x, y, period, 7u)), 1.0f);
            }
    }
    // Not flat: different seeds and places give different values.
    EXPECT_NE(Noise(0.3f, 0.7f, 0, 1u), Noise(0.3f, 0.7f, 0, 2u));
    float nearest, second;
    Cells(0.5f, 0.5f, 4, 9u, nearest, second);
    EXPECT_LE(nearest, second);
    EXPECT_LT(nearest, 1.5f);
}

} // namespace
