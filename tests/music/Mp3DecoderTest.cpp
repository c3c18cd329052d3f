// The MP3 decoder on files made by our own soundtrack generator: exact
// length, alignment with the rendered samples, sample-exact seeking, and
// blocks that hold no MP3.
#include "demo/Mp3Decoder.h"
#include "tests/music/MusicTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<int16_t> DecodeWhole(TMp3Decoder& decoder) {
    std::vector<int16_t> pcm(static_cast<size_t>(decoder.LengthFrames() + 100) * 2);
    size_t got = decoder.Read(pcm.data(), pcm.size() / 2);
    pcm.resize(got * 2);
    return pcm;
}

} // namespace

TEST(Mp3Decoder, LengthIsExactAndDecodedAudioLinesUpWithTheRenderedSamples) {
    const TestSoundtrack& track = GetTestSoundtrack(3.0);
    TMp3Decoder decoder;
    ASSERT_TRUE(decoder.Open(track.mp3.data(), track.mp3.size()));
    // Gapless decoding: the encoder's delay and padding are gone.
    EXPECT_EQ(decoder.LengthFrames(), 3 * 44100);
    ASSERT_EQ(track.rendered.size(), 3u * 44100 * 2);

    std::vector<int16_t> pcm = DecodeWhole(decoder);
    ASSERT_EQ(pcm.size(), track.rendered.size());
    EXPECT_EQ(decoder.PositionFrames(), 3 * 44100);
    int16_t more[8];
    EXPECT_EQ(decoder.Read(more, 4), 0u);

    // Same timing as the rendered samples: the coding error is small against
    // the signal, while a shift of a few samples would not be.
    const size_t from = 44100 * 2; // past the silent lead-in, into the drums
    const size_t count = 44100;
    double signal = Rms(track.rendered.data() + from, count);
    ASSERT_GT(signal, 500.0);
    double error = RmsDifference(pcm.data() + from, track.rendered.data() + from, count);
    EXPECT_LT(error, signal * 0.2);
    double shifted = RmsDifference(pcm.data() + from + 2 * 8, track.rendered.data() + from, count);
    EXPECT_GT(shifted, error * 2.0);
}

TEST(Mp3Decoder, SeekingLandsOnTheRequestedSample) {
    const TestSoundtrack& track = GetTestSoundtrack(3.0);
    TMp3Decoder decoder;
    ASSERT_TRUE(decoder.Open(track.mp3.data(), track.mp3.size()));
    std::vector<int16_t> whole = DecodeWhole(decoder);

    for (int64_t frame : {int64_t(44100), int64_t(66151), int64_t(1152 * 40 + 7), int64_t(3 * 44100 - 500)}) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(decoder.Seek(frame));
        EXPECT_EQ(decoder.PositionFrames(), frame);
        std::vector<int16_t> part(2 * 400);
        ASSERT_EQ(decoder.Read(part.data(), 400), 400u);
        const int16_t* expected = whole.data() + 2 * frame;
        double signal = Rms(expected, part.size());
        EXPECT_LE(RmsDifference(part.data(), expected, part.size()), signal * 0.01 + 2.0);
    }

    // Backwards, to the start, and past the end (clamped).
    ASSERT_TRUE(decoder.Seek(0));
    std::vector<int16_t> head(2 * 1000);
    ASSERT_EQ(decoder.Read(head.data(), 1000), 1000u);
    EXPECT_LE(RmsDifference(head.data(), whole.data(), head.size()), 2.0);
    ASSERT_TRUE(decoder.Seek(10 * 44100));
    EXPECT_EQ(decoder.PositionFrames(), 3 * 44100);
    EXPECT_EQ(decoder.Read(head.data(), 10), 0u);
}

TEST(Mp3Decoder, RejectsBlocksWithoutMp3AudioAndSurvivesTruncation) {
    TMp3Decoder decoder;
    EXPECT_FALSE(decoder.Open(nullptr, 0));
    std::vector<uint8_t> noise(20000);
    uint32_t x = 12345;
    for (uint8_t& b : noise) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    // Random bytes can contain what looks like frame headers; whatever the
    // decoder makes of them, it must not claim more than it can deliver.
    if (decoder.Open(noise.data(), noise.size())) {
        std::vector<int16_t> pcm(static_cast<size_t>(decoder.LengthFrames() + 10) * 2);
        EXPECT_LE(static_cast<int64_t>(decoder.Read(pcm.data(), pcm.size() / 2)), decoder.LengthFrames());
    }
    std::vector<uint8_t> text(5000, 'a');
    EXPECT_FALSE(decoder.Open(text.data(), text.size()));
    EXPECT_FALSE(decoder.IsOpen());
    EXPECT_EQ(decoder.LengthFrames(), 0);

    // Half a file: the length comes from the frames actually present.
    const TestSoundtrack& track = GetTestSoundtrack(3.0);
    std::vector<uint8_t> half(track.mp3.begin(), track.mp3.begin() + track.mp3.size() / 2);
    ASSERT_TRUE(decoder.Open(half.data(), half.size()));
    EXPECT_GT(decoder.LengthFrames(), 44100 / 2);
    EXPECT_LT(decoder.LengthFrames(), 3 * 44100);
    std::vector<int16_t> pcm(3 * 44100 * 2);
    size_t got = decoder.Read(pcm.data(), 3 * 44100);
    EXPECT_LE(static_cast<int64_t>(got), decoder.LengthFrames());
    EXPECT_GT(got, 0u);
}
