#include "tests/music/MusicTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

TempDir& Scratch() {
    static TempDir dir;
    return dir;
}

std::vector<int16_t> WavSamples(const std::vector<uint8_t>& wav) {
    // gen_soundtrack writes a plain 44-byte header followed by the samples.
    if (wav.size() < 44 || std::memcmp(wav.data() + 36, "data", 4) != 0)
        throw std::runtime_error("unexpected WAVE layout");
    std::vector<int16_t> pcm((wav.size() - 44) / 2);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<int16_t>(wav[44 + 2 * i] | (wav[45 + 2 * i] << 8));
    return pcm;
}

} // namespace

const TestSoundtrack& GetTestSoundtrack(double seconds) {
    static std::map<double, std::unique_ptr<TestSoundtrack>> made;
    auto& slot = made[seconds];
    if (!slot) {
        auto track = std::make_unique<TestSoundtrack>();
        std::string base = Scratch().File("track" + std::to_string(made.size()));
        track->mp3Path = base + ".mp3";
        CommandResult r = RunProgram(GEN_SOUNDTRACK_PATH, {track->mp3Path, "--seconds",
                                                           std::to_string(seconds), "--wav", base + ".wav"});
        if (r.exitCode != 0) throw std::runtime_error("gen_soundtrack failed: " + r.err);
        track->mp3 = ReadFileBytes(track->mp3Path);
        track->rendered = WavSamples(ReadFileBytes(base + ".wav"));
        slot = std::move(track);
    }
    return *slot;
}

double Rms(const int16_t* a, size_t count) {
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i)
        sum += static_cast<double>(a[i]) * a[i];
    return count ? std::sqrt(sum / count) : 0.0;
}

double RmsDifference(const int16_t* a, const int16_t* b, size_t count) {
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) {
        double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    return count ? std::sqrt(sum / count) : 0.0;
}
