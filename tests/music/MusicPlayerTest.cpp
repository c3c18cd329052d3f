// The music player: byte/second conversions, behaviour without a stream,
// silent playback on the clock, real decoding through SDL's dummy audio
// driver, loading by name and the decoded track for offline rendering.
#include "data/FlexibleStream.h"
#include "demo/MusicPlayer.h"
#include "tests/music/MusicTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>

namespace {

// A counter the test moves by hand: 1000 ticks per second.
class ManualTicks : public TTickSource {
public:
    int64_t now = 5000;
    int64_t ReadCounter() override { return now; }
    int64_t ReadFrequency() override { return 1000; }
};

TRefPtr<TBassPlayer> SilentPlayer(ManualTicks& ticks, const TestSoundtrack& track) {
    TRefPtr<TBassPlayer> player(new TBassPlayer(aoSilent, &ticks));
    player->LoadFromMemory(track.mp3);
    return player;
}

} // namespace

TEST(MusicPlayer, ConvertsBetweenSecondsAndBytesAt176400BytesPerSecond) {
    EXPECT_EQ(TBassPlayer::SecondsToBytes(2.5), 441000u);
    EXPECT_EQ(TBassPlayer::SecondsToBytes(1.0), 176400u);
    EXPECT_DOUBLE_EQ(TBassPlayer::BytesToSeconds(176400), 1.0);
    EXPECT_DOUBLE_EQ(TBassPlayer::BytesToSeconds(441000), 2.5);
    // Rounded to the nearest byte, ties to even.
    EXPECT_EQ(TBassPlayer::SecondsToBytes(0.4 / 176400.0), 0u);
    EXPECT_EQ(TBassPlayer::SecondsToBytes(0.6 / 176400.0), 1u);
    EXPECT_EQ(TBassPlayer::SecondsToBytes(0.5 / 176400.0), 0u);
    EXPECT_EQ(TBassPlayer::SecondsToBytes(1.5 / 176400.0), 2u);
    EXPECT_EQ(TBassPlayer::SecondsToBytes(2.5 / 176400.0), 2u);
    // Outside the byte range: the start, or the largest position.
    EXPECT_EQ(TBassPlayer::SecondsToBytes(-3.0), 0u);
    EXPECT_EQ(TBassPlayer::SecondsToBytes(std::numeric_limits<double>::quiet_NaN()), 0u);
    EXPECT_EQ(TBassPlayer::SecondsToBytes(1e12), 0xFFFFFFFFu);
}

TEST(MusicPlayer, WithoutAStreamEveryOperationDoesNothing) {
    ManualTicks ticks;
    for (TAudioOutput output : {aoSilent, aoDevice}) {
        if (output == aoDevice) setenv("SDL_AUDIODRIVER", "dummy", 1);
        TRefPtr<TBassPlayer> player(new TBassPlayer(output, &ticks));
        EXPECT_FALSE(player->HasStream());
        player->SetPosition(2.5);
        player->Play();
        ticks.now += 1000;
        EXPECT_EQ(player->GetPosition(), 0.0);
        EXPECT_FALSE(player->IsPlaying());
        player->Stop();
        EXPECT_EQ(player->GetLengthBytes(), 0u);
        std::vector<int16_t> pcm(4);
        EXPECT_FALSE(player->DecodeAll(pcm));
        EXPECT_TRUE(pcm.empty());
        // A block without MP3 audio leaves the player without a stream.
        player->LoadFromMemory(std::vector<uint8_t>(3000, 'x'));
        EXPECT_FALSE(player->HasStream());
        EXPECT_EQ(player->GetPosition(), 0.0);
    }
}

TEST(MusicPlayer, SilentPlaybackRunsOnTheClock) {
    ManualTicks ticks;
    const TestSoundtrack& track = GetTestSoundtrack(3.0);
    TRefPtr<TBassPlayer> player = SilentPlayer(ticks, track);
    ASSERT_TRUE(player->HasStream());
    EXPECT_FALSE(player->HasAudioDevice());
    EXPECT_EQ(player->GetLengthBytes(), 3u * 176400);

    // Not playing: the clock does not move the position.
    player->SetPosition(0.5);
    ticks.now += 700;
    EXPECT_EQ(player->GetPositionBytes(), 88200u);
    EXPECT_EQ(player->GetPosition(), 0.5);

    player->Play();
    EXPECT_TRUE(player->IsPlaying());
    ticks.now += 1000;
    EXPECT_EQ(player->GetPosition(), 1.5);
    player->Stop();
    ticks.now += 5000;
    EXPECT_EQ(player->GetPosition(), 1.5);

    // Seeking while playing re-anchors; the position never passes the end.
    player->Play();
    player->SetPosition(2.5);
    ticks.now += 250;
    EXPECT_EQ(player->GetPosition(), 2.75);
    ticks.now += 10000;
    EXPECT_EQ(player->GetPosition(), 3.0);
    player->SetPosition(100.0);
    EXPECT_EQ(player->GetPosition(), 3.0);
}

TEST(MusicPlayer, PositionsFallOnWholeSampleFramesAndSeedTheClockExactly) {
    ManualTicks ticks;
    TRefPtr<TBassPlayer> player = SilentPlayer(ticks, GetTestSoundtrack(3.0));
    // 1.2345678 s is 217777.76 bytes, rounded to 217778, which is not on a
    // frame: the position falls back to the frame's first byte.
    player->SetPosition(1.2345678);
    EXPECT_EQ(player->GetPositionBytes(), 217776u);
    EXPECT_DOUBLE_EQ(player->GetPosition(), 217776 / 176400.0);
    // What the demo does at its start: the clock takes the music position,
    // and reading it again gives the same value.
    player->SetPosition(0.0);
    double seeded = player->GetPosition();
    EXPECT_EQ(seeded, 0.0);
    player->SetPositionBytes(176400 * 2 + 3);
    EXPECT_EQ(player->GetPosition(), 2.0);
}

TEST(MusicPlayer, DecodesThroughSdlDummyAudioAndReportsThePosition) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const TestSoundtrack& track = GetTestSoundtrack(3.0);
    TRefPtr<TBassPlayer> player(new TBassPlayer(aoDevice));
    ASSERT_TRUE(player->HasAudioDevice());
    player->LoadFromMemory(track.mp3);
    ASSERT_TRUE(player->HasStream());

    player->SetPosition(1.0);
    EXPECT_EQ(player->GetPosition(), 1.0);
    player->Play();
    // The dummy device consumes audio in real time on its own thread; wait
    // (generously) until it has taken some.
    double position = 1.0;
    for (int i = 0; i < 400 && position == 1.0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        position = player->GetPosition();
    }
    EXPECT_GT(position, 1.0);
    EXPECT_LE(position, 3.0);
    player->Stop();
    double stopped = player->GetPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(player->GetPosition(), stopped);
    EXPECT_EQ(player->GetPositionBytes() % 4, 0u);
    // Seeking while stopped is exact.
    player->SetPosition(2.5);
    EXPECT_EQ(player->GetPositionBytes(), 441000u);
}

TEST(MusicPlayer, LoadsByNameThroughFlexibleStreams) {
    const TestSoundtrack& track = GetTestSoundtrack(3.0);
    const TestSoundtrack& shorter = GetTestSoundtrack(1.0);
    TempDir dir;
    WriteFileBytes(dir.File("Music.mp3"), track.mp3);
    WriteFileBytes(dir.File("short.mp3"), shorter.mp3);
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetPath(dir.Path() + "/");

    ManualTicks ticks;
    TRefPtr<TBassPlayer> player(new TBassPlayer(aoSilent, &ticks));
    player->Load("MUSIC.MP3"); // found without regard to case
    ASSERT_TRUE(player->HasStream());
    EXPECT_EQ(player->GetLengthBytes(), 3u * 176400);
    player->SetPosition(2.0);

    // A second load replaces the stream (and starts at its beginning).
    player->Load("short.mp3");
    EXPECT_EQ(player->GetLengthBytes(), 176400u);
    EXPECT_EQ(player->GetPosition(), 0.0);

    try {
        player->Load("missing.mp3");
        ADD_FAILURE() << "no error for a missing file";
    } catch (const EFlexibleStreamError& e) {
        EXPECT_NE(std::string(e.what()).find("Couldn't open the file named"), std::string::npos) << e.what();
    }
    TFlexibleStream::ResetSettings();
}

TEST(MusicPlayer, DecodesTheWholeTrackForOfflineRenderingAndWritesWave) {
    ManualTicks ticks;
    const TestSoundtrack& track = GetTestSoundtrack(1.0);
    TRefPtr<TBassPlayer> player = SilentPlayer(ticks, track);
    player->SetPosition(0.5);
    std::vector<int16_t> pcm;
    ASSERT_TRUE(player->DecodeAll(pcm));
    ASSERT_EQ(pcm.size(), 44100u * 2);
    EXPECT_EQ(player->GetPosition(), 0.5); // playback position untouched

    TempDir dir;
    SaveWaveFile(dir.File("audio.wav"), pcm);
    std::vector<uint8_t> wav = ReadFileBytes(dir.File("audio.wav"));
    ASSERT_EQ(wav.size(), 44u + pcm.size() * 2);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    auto le32 = [&](size_t at) {
        return wav[at] | wav[at + 1] << 8 | wav[at + 2] << 16 | uint32_t(wav[at + 3]) << 24;
    };
    EXPECT_EQ(le32(4), wav.size() - 8);
    EXPECT_EQ(le32(24), 44100u);
    EXPECT_EQ(le32(28), 176400u);
    EXPECT_EQ(le32(40), pcm.size() * 2);
    size_t mid = 44100; // a sample in the middle, little-endian
    EXPECT_EQ(static_cast<int16_t>(wav[44 + 2 * mid] | wav[45 + 2 * mid] << 8), pcm[mid]);
}
