// gen_soundtrack: renders the demo's soundtrack with a small synthesiser and
// encodes it to MP3 with libmp3lame.
//
//   gen_soundtrack OUTPUT.mp3 [--seconds S] [--wav OUTPUT.wav]
//
// The piece runs 117 seconds at 44100 Hz in stereo (or S seconds). It is made
// of drums, a bass line, pad chords and an arpeggio, all placed on the beat
// grid the demo script uses for its parts: beat n starts at 0.4 + n * 0.430
// seconds. Everything is computed from the note lists below with our own
// noise generator, so the output is the same on every run.
//
// The MP3 carries a LAME information frame, so decoders that honour it (mpg123
// does) give back exactly the rendered number of samples: the encoder's delay
// and padding are trimmed away.
#include <lame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
constexpr double kFirstBeat = 0.4; // seconds: where beat 0 starts
constexpr double kBeat = 0.430;    // seconds per beat
constexpr double kDefaultSeconds = 117.0;

// Start of beat n (may be fractional) in seconds.
double BeatTime(double n) {
    return kFirstBeat + n * kBeat;
}

// Pitch of a MIDI note number in Hz.
double NoteHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// A deterministic white-noise source (32-bit xorshift), values in [-1, 1).
struct Noise {
    uint32_t state;
    explicit Noise(uint32_t seed) : state(seed ? seed : 1u) {}
    float Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(static_cast<int32_t>(state)) / 2147483648.0f;
    }
};

// The stereo mix being rendered, as two float channels.
struct Mix {
    std::vector<float> left, right;
    explicit Mix(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t Frames() const { return left.size(); }
};

// First and one-past-last frame of a sound starting at `start` lasting
// `length` seconds, clipped to the mix.
bool Span(const Mix& mix, double start, double length, size_t& first, size_t& last) {
    if (start < 0.0) start = 0.0;
    double end = start + length;
    first = static_cast<size_t>(start * kRate);
    last = std::min(static_cast<size_t>(end * kRate), mix.Frames());
    return first < last;
}

// ----------------------------------------------------------------------------
// Instruments. Each renders one note straight into the mix.

void Kick(Mix& mix, double start, float gain) {
    size_t first, last;
    if (!Span(mix, start, 0.45, first, last)) return;
    double phase = 0.0;
    for (size_t i = first; i < last; ++i) {
        double t = static_cast<double>(i - first) / kRate;
        double hz = 45.0 + 110.0 * std::exp(-t * 28.0); // fast downward sweep
        phase += hz / kRate;
        double amp = std::exp(-t * 7.0) * (t < 0.002 ? t / 0.002 : 1.0);
        float s = static_cast<float>(std::sin(2.0 * kPi * phase) * amp) * gain;
        mix.left[i] += s;
        mix.right[i] += s;
    }
}

void Snare(Mix& mix, double start, float gain, Noise& noise) {
    size_t first, last;
    if (!Span(mix, start, 0.3, first, last)) return;
    float prev = 0.0f;
    for (size_t i = first; i < last; ++i) {
        double t = static_cast<double>(i - first) / kRate;
        float n = noise.Next();
        float high = n - prev; // crude high-pass: first difference
        prev = n;
        double body = std::sin(2.0 * kPi * 185.0 * t) * std::exp(-t * 30.0);
        double amp = std::exp(-t * 16.0);
        float s = static_cast<float>((0.55 * high + 0.35 * n) * amp + 0.5 * body) * gain;
        mix.left[i] += s * 0.95f;
        mix.right[i] += s;
    }
}

void HiHat(Mix& mix, double start, float gain, double decay, float pan, Noise& noise) {
    size_t first, last;
    if (!Span(mix, start, decay * 6.0, first, last)) return;
    float prev = 0.0f, prev2 = 0.0f;
    for (size_t i = first; i < last; ++i) {
        double t = static_cast<double>(i - first) / kRate;
        float n = noise.Next();
        float high = n - 2.0f * prev + prev2; // second difference: brighter still
        prev2 = prev;
        prev = n;
        float s = static_cast<float>(high * 0.25 * std::exp(-t / decay)) * gain;
        mix.left[i] += s * (1.0f - pan);
        mix.right[i] += s * (1.0f + pan);
    }
}

// A plucked saw bass through a one-pole low-pass whose cutoff follows the
// envelope.
void Bass(Mix& mix, double start, double length, int note, float gain) {
    size_t first, last;
    if (!Span(mix, start, length + 0.05, first, last)) return;
    double hz = NoteHz(note);
    double phase = 0.0;
    float lp = 0.0f, lp2 = 0.0f;
    for (size_t i = first; i < last; ++i) {
        double t = static_cast<double>(i - first) / kRate;
        phase += hz / kRate;
        phase -= std::floor(phase);
        double saw = 2.0 * phase - 1.0;
        double sub = std::sin(2.0 * kPi * phase); // fundamental, for weight
        double env = t < 0.004 ? t / 0.004 : std::exp(-(t - 0.004) * 5.0);
        if (t > length) env *= std::max(0.0, 1.0 - (t - length) / 0.05);
        double cutoff = 180.0 + 1400.0 * std::exp(-t * 14.0);
        float a = static_cast<float>(1.0 - std::exp(-2.0 * kPi * cutoff / kRate));
        lp += a * (static_cast<float>(saw) - lp);
        lp2 += a * (lp - lp2);
        float s = static_cast<float>((lp2 * 0.8 + sub * 0.45) * env) * gain;
        mix.left[i] += s;
        mix.right[i] += s;
    }
}

// A pad chord: two slightly detuned saws per note, one per side, through a
// two-pole low-pass, with a slow attack and release.
void Pad(Mix& mix, double start, double length, const int* notes, int count, float gain, double bright) {
    const double release = 0.35;
    size_t first, last;
    if (!Span(mix, start, length + release, first, last)) return;
    std::vector<double> phaseL(count, 0.0), phaseR(count, 0.0);
    for (int k = 0; k < count; ++k) {
        phaseL[k] = 0.13 * k;
        phaseR[k] = 0.57 * k;
    }
    float l1 = 0, l2 = 0, r1 = 0, r2 = 0;
    float a = static_cast<float>(1.0 - std::exp(-2.0 * kPi * (400.0 + 2200.0 * bright) / kRate));
    for (size_t i = first; i < last; ++i) {
        double t = static_cast<double>(i - first) / kRate;
        double sl = 0.0, sr = 0.0;
        for (int k = 0; k < count; ++k) {
            double hz = NoteHz(notes[k]);
            phaseL[k] += hz * 0.9965 / kRate;
            phaseR[k] += hz * 1.0035 / kRate;
            phaseL[k] -= std::floor(phaseL[k]);
            phaseR[k] -= std::floor(phaseR[k]);
            sl += 2.0 * phaseL[k] - 1.0;
            sr += 2.0 * phaseR[k] - 1.0;
        }
        double env = std::min(1.0, t / 0.25);
        if (t > length) env *= std::max(0.0, 1.0 - (t - length) / release);
        l1 += a * (static_cast<float>(sl) - l1);
        l2 += a * (l1 - l2);
        r1 += a * (static_cast<float>(sr) - r1);
        r2 += a * (r1 - r2);
        mix.left[i] += static_cast<float>(l2 * env) * gain;
        mix.right[i] += static_cast<float>(r2 * env) * gain;
    }
}

// A short square-wave pluck for the arpeggio.
void Pluck(Mix& mix, double start, int note, float gain, float pan) {
    size_t first, last;
    if (!Span(mix, start, 0.25, first, last)) return;
    double hz = NoteHz(note);
    double phase = 0.0;
    float lp = 0.0f;
    for (size_t i = first; i < last; ++i) {
        double t = static_cast<double>(i - first) / kRate;
        phase += hz / kRate;
        phase -= std::floor(phase);
        float sq = phase < 0.5 ? 1.0f : -1.0f;
        lp += 0.25f * (sq - lp);
        float s = static_cast<float>(lp * std::exp(-t * 14.0) * std::min(1.0, t / 0.002)) * gain;
        mix.left[i] += s * (1.0f - pan);
        mix.right[i] += s * (1.0f + pan);
    }
}

// ----------------------------------------------------------------------------
// The arrangement, in beats of the script's grid (4 beats to a bar).

// The chord of each bar: A minor, F major, C major, G major, over and over.
struct Chord {
    int root;     // bass note (MIDI)
    int notes[4]; // pad voicing (MIDI)
};
const Chord kChords[4] = {
    {45, {57, 60, 64, 69}}, // Am
    {41, {57, 60, 65, 69}}, // F
    {48, {55, 60, 64, 67}}, // C
    {43, {55, 59, 62, 67}}, // G
};

// Which instruments play in the bar starting at `beat`.
struct Section {
    bool kick, snare, hats, bass, pads, arp;
    float level; // overall level of the bar (fades)
};

Section SectionAt(int beat) {
    if (beat < 16) return {false, false, beat >= 8, false, true, false, 1.0f}; // intro: pads
    if (beat < 32) return {true, false, true, true, true, false, 1.0f};        // kick and bass enter
    if (beat < 80) return {true, true, true, true, true, false, 1.0f};         // full groove
    if (beat < 96) return {false, false, true, true, true, true, 1.0f};        // breakdown
    if (beat < 176) return {true, true, true, true, true, true, 1.0f};         // peak
    if (beat < 192) return {false, false, false, true, true, true, 1.0f};      // second break
    if (beat < 240) return {true, true, true, true, true, true, 1.0f};         // last peak
    if (beat < 256) return {true, false, true, true, true, false, 1.0f};       // outro
    return {false, false, false, false, true, false, 1.0f};                    // final chord
}

void Arrange(Mix& mix, double seconds) {
    Noise noise(0x2545F491u);
    int beats = static_cast<int>(std::ceil((seconds - kFirstBeat) / kBeat)) + 1;
    for (int beat = 0; beat < beats; ++beat) {
        double t = BeatTime(beat);
        if (t >= seconds) break;
        Section s = SectionAt(beat);
        int bar = beat / 4;
        const Chord& chord = kChords[bar % 4];
        int inBar = beat % 4;

        if (s.kick) Kick(mix, t, 0.9f);
        if (s.snare && (inBar == 1 || inBar == 3)) Snare(mix, t, 0.45f, noise);
        if (s.hats) {
            HiHat(mix, t, 0.18f, 0.012, -0.3f, noise);
            HiHat(mix, t + kBeat * 0.5, 0.3f, beat >= 96 ? 0.05 : 0.02, 0.3f, noise);
        }
        if (s.bass) {
            // Eighth notes on the root, jumping an octave on the off-beat.
            Bass(mix, t, kBeat * 0.4, chord.root - 12 + (inBar == 3 ? 7 : 0), 0.5f);
            Bass(mix, t + kBeat * 0.5, kBeat * 0.4, chord.root, 0.42f);
        }
        if (s.pads && inBar == 0) {
            bool last = beat >= 256;
            double length = last ? std::max(0.5, seconds - t - 1.2) : 4 * kBeat - 0.05;
            Pad(mix, t, length, chord.notes, 4, 0.07f, beat >= 96 && beat < 240 ? 0.8 : 0.3);
        }
        if (s.arp) {
            // Sixteenth notes climbing through the chord, alternating sides.
            for (int k = 0; k < 4; ++k) {
                int note = chord.notes[(inBar + k) % 4] + 12;
                Pluck(mix, t + k * kBeat * 0.25, note, 0.09f, (k & 1) ? 0.4f : -0.4f);
            }
        }
    }

    // A ping-pong echo of three eighths gives the mix some room.
    size_t delay = static_cast<size_t>(kBeat * 0.75 * kRate);
    for (size_t i = delay; i < mix.Frames(); ++i) {
        mix.left[i] += 0.22f * mix.right[i - delay];
        mix.right[i] += 0.22f * mix.left[i - delay];
    }

    // Fade out over the last two seconds so the piece ends in silence.
    size_t frames = mix.Frames();
    size_t fade = std::min(frames, static_cast<size_t>(2.0 * kRate));
    for (size_t i = frames - fade; i < frames; ++i) {
        float g = static_cast<float>(frames - i) / static_cast<float>(fade);
        mix.left[i] *= g * g;
        mix.right[i] *= g * g;
    }
}

// Scales the mix to a peak just below full scale and converts it to
// interleaved 16-bit samples.
std::vector<int16_t> ToPcm(const Mix& mix) {
    float peak = 1e-6f;
    for (size_t i = 0; i < mix.Frames(); ++i)
        peak = std::max(peak, std::max(std::fabs(mix.left[i]), std::fabs(mix.right[i])));
    float scale = 0.89f / peak;
    std::vector<int16_t> pcm(mix.Frames() * 2);
    for (size_t i = 0; i < mix.Frames(); ++i) {
        pcm[2 * i] = static_cast<int16_t>(std::lrint(mix.left[i] * scale * 32767.0f));
        pcm[2 * i + 1] = static_cast<int16_t>(std::lrint(mix.right[i] * scale * 32767.0f));
    }
    return pcm;
}

// ----------------------------------------------------------------------------
// Output.

std::vector<uint8_t> EncodeMp3(const std::vector<int16_t>& pcm) {
    lame_global_flags* lame = lame_init();
    if (!lame) throw std::runtime_error("lame_init failed");
    lame_set_in_samplerate(lame, kRate);
    lame_set_out_samplerate(lame, kRate);
    lame_set_num_channels(lame, 2);
    lame_set_mode(lame, JOINT_STEREO);
    lame_set_brate(lame, 160);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1); // the LAME frame: exact length for decoders
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        throw std::runtime_error("lame_init_params failed");
    }

    std::vector<uint8_t> out;
    const int chunk = 1152 * 32;
    std::vector<uint8_t> buffer(static_cast<size_t>(1.25 * chunk + 7200));
    int frames = static_cast<int>(pcm.size() / 2);
    for (int at = 0; at < frames; at += chunk) {
        int n = std::min(chunk, frames - at);
        int got = lame_encode_buffer_interleaved(lame, const_cast<short*>(pcm.data() + 2 * at), n,
                                                 buffer.data(), static_cast<int>(buffer.size()));
        if (got < 0) {
            lame_close(lame);
            throw std::runtime_error("lame_encode_buffer_interleaved failed");
        }
        out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    int got = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    if (got > 0) out.insert(out.end(), buffer.begin(), buffer.begin() + got);

    // The LAME frame was written as a placeholder at the start of the stream;
    // now that the totals are known, put the final one in its place.
    std::vector<uint8_t> tag(4096);
    size_t tagSize = lame_get_lametag_frame(lame, tag.data(), tag.size());
    if (tagSize > 0 && tagSize <= out.size()) std::memcpy(out.data(), tag.data(), tagSize);
    lame_close(lame);
    return out;
}

void WriteFile(const std::string& path, const void* data, size_t size) {
    std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot create " + temp);
    bool ok = std::fwrite(data, 1, size, f) == size;
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        throw std::runtime_error("cannot write " + path);
    }
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void WriteWav(const std::string& path, const std::vector<int16_t>& pcm) {
    std::vector<uint8_t> out;
    uint32_t dataSize = static_cast<uint32_t>(pcm.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    PutLe(out, 36 + dataSize, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(out, 16, 4);
    PutLe(out, 1, 2); // PCM
    PutLe(out, 2, 2);
    PutLe(out, kRate, 4);
    PutLe(out, kRate * 4, 4);
    PutLe(out, 4, 2);
    PutLe(out, 16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    PutLe(out, dataSize, 4);
    for (int16_t s : pcm)
        PutLe(out, static_cast<uint16_t>(s), 2);
    WriteFile(path, out.data(), out.size());
}

const char* kUsage = "usage: gen_soundtrack OUTPUT.mp3 [--seconds S] [--wav OUTPUT.wav]\n";

} // namespace

int main(int argc, char** argv) {
    std::string output, wav;
    double seconds = kDefaultSeconds;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--seconds" && i + 1 < argc) {
            char* end = nullptr;
            seconds = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(seconds > 0.0 && seconds <= 3600.0)) {
                std::fprintf(stderr, "gen_soundtrack: --seconds wants a length between 0 and 3600\n");
                return 2;
            }
        } else if (arg == "--wav" && i + 1 < argc) {
            wav = argv[++i];
        } else if (output.empty() && !arg.empty() && arg[0] != '-') {
            output = arg;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (output.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        Mix mix(static_cast<size_t>(std::llround(seconds * kRate)));
        Arrange(mix, seconds);
        std::vector<int16_t> pcm = ToPcm(mix);
        std::vector<uint8_t> mp3 = EncodeMp3(pcm);
        WriteFile(output, mp3.data(), mp3.size());
        if (!wav.empty()) WriteWav(wav, pcm);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen_soundtrack: %s\n", e.what());
        return 1;
    }
    return 0;
}
