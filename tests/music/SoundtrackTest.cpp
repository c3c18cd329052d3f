// The demo's soundtrack as the build renders it: its exact length and its
// drums on the script's beat grid (beat n at 0.4 + n * 0.430 s).
#include "demo/Mp3Decoder.h"
#include "tests/music/MusicTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// RMS of the left channel between two times in seconds.
double Energy(const std::vector<int16_t>& pcm, double from, double to) {
    size_t a = static_cast<size_t>(from * 44100), b = static_cast<size_t>(to * 44100);
    double sum = 0.0;
    for (size_t i = a; i < b; ++i)
        sum += double(pcm[2 * i]) * pcm[2 * i];
    return std::sqrt(sum / double(b - a));
}

} // namespace

TEST(Soundtrack, LastsExactly117SecondsWithTheDrumsOnTheBeatGrid) {
    std::vector<uint8_t> mp3 = ReadFileBytes(std::string(ZUMBRIX_BINARY_DIR) + "/content/music.mp3");
    TMp3Decoder decoder;
    ASSERT_TRUE(decoder.Open(mp3.data(), mp3.size()));
    ASSERT_EQ(decoder.LengthFrames(), 117 * 44100);
    std::vector<int16_t> pcm(size_t(117 * 44100) * 2);
    ASSERT_EQ(decoder.Read(pcm.data(), 117 * 44100), size_t(117 * 44100));

    // Silence until the first beat, and at the very end.
    EXPECT_LT(Energy(pcm, 0.0, 0.35), 50.0);
    EXPECT_LT(Energy(pcm, 116.9, 117.0), 50.0);

    // Where the kick drum plays, every beat starts with a clear attack.
    auto kicks = [](int beat) {
        return (beat >= 16 && beat < 80) || (beat >= 96 && beat < 176) || (beat >= 192 && beat < 256);
    };
    int checked = 0;
    for (int beat = 0; beat < 256; ++beat) {
        if (!kicks(beat)) continue;
        double t = 0.4 + beat * 0.430;
        double attack = Energy(pcm, t, t + 0.03);
        double before = Energy(pcm, t - 0.06, t - 0.03);
        EXPECT_GT(attack, 2.5 * before) << "beat " << beat << " at " << t << " s";
        ++checked;
    }
    EXPECT_EQ(checked, 208);
}
