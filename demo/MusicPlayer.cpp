#include "demo/MusicPlayer.h"

#include "data/FlexibleStream.h"
#include "data/Stream.h"
#include "platform/QuietStandardError.h"
#include "platform/Ticks.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Frames of audio SDL asks for at once: about 46 ms, small enough for the
// reported position to follow what is heard.
constexpr int kDeviceFrames = 2048;

// The platform's high-resolution counter, for the clock-driven position.
class TCounterTicks : public TTickSource {
public:
    int64_t ReadCounter() override { return QueryPerformanceCounter(); }
    int64_t ReadFrequency() override { return QueryPerformanceFrequency(); }
};

TTickSource& CounterTicks() {
    static TCounterTicks ticks;
    return ticks;
}

} // namespace

TBassPlayer::TBassPlayer(TAudioOutput output, TTickSource* ticks) : ticks_(ticks ? *ticks : CounterTicks()) {
    if (output != aoDevice) return;
    // The sound libraries SDL tries in turn complain at length on a machine
    // without sound; start-up reports the outcome in one line.
    TQuietStandardError quiet;
    if (!SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) { // no audio at all: the clock
            deviceError_ = SDL_GetError();
            return;
        }
        ownsAudioInit_ = true;
    }
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = TMp3Decoder::kRate;
    want.format = AUDIO_S16SYS;
    want.channels = TMp3Decoder::kChannels;
    want.samples = kDeviceFrames;
    want.callback = AudioCallback;
    want.userdata = this;
    SDL_AudioSpec have;
    // No changes allowed: SDL converts to whatever the hardware wants, so the
    // callback always deals in 44100 Hz 16-bit stereo.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        deviceError_ = SDL_GetError();
        if (ownsAudioInit_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
        ownsAudioInit_ = false;
        return;
    }
    // The device runs from now on; silence until a stream plays.
    SDL_PauseAudioDevice(device_, 0);
}

TBassPlayer::~TBassPlayer() {
    if (device_ != 0) SDL_CloseAudioDevice(device_); // stops the audio thread first
    device_ = 0;
    if (ownsAudioInit_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    ReleaseStream();
}

void TBassPlayer::Lock() {
    if (device_ != 0) SDL_LockAudioDevice(device_);
}

void TBassPlayer::Unlock() {
    if (device_ != 0) SDL_UnlockAudioDevice(device_);
}

void TBassPlayer::AudioCallback(void* self, uint8_t* stream, int length) {
    static_cast<TBassPlayer*>(self)->FillAudio(stream, length);
}

// Runs on SDL's audio thread with the device lock held.
void TBassPlayer::FillAudio(uint8_t* stream, int length) {
    size_t frames = static_cast<size_t>(length) / TMp3Decoder::kBytesPerFrame;
    size_t got = 0;
    if (playing_ && hasStream_) {
        got = decoder_.Read(reinterpret_cast<int16_t*>(stream), frames);
        positionFrames_ += static_cast<int64_t>(got);
    }
    size_t used = got * TMp3Decoder::kBytesPerFrame;
    std::memset(stream + used, 0, static_cast<size_t>(length) - used);
}

void TBassPlayer::ReleaseStream() {
    Lock();
    playing_ = false;
    hasStream_ = false;
    decoder_.Close();
    positionFrames_ = 0;
    Unlock();
    block_.clear();
    block_.shrink_to_fit();
    lengthBytes_ = 0;
    anchorFrames_ = 0;
}

void TBassPlayer::Load(const std::string& name) {
    std::vector<uint8_t> block;
    {
        TFlexibleStream stream(name);
        int64_t size = stream.GetSize();
        block.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
        stream.SetPosition(0);
        if (!block.empty()) stream.ReadBuffer(block.data(), static_cast<int64_t>(block.size()));
    }
    LoadFromMemory(std::move(block));
}

void TBassPlayer::LoadFromMemory(std::vector<uint8_t> block) {
    // Unlike the audio library the player stands in for, a second load
    // releases the first stream and its memory instead of leaking them.
    ReleaseStream();
    block_ = std::move(block);
    Lock();
    bool ok = decoder_.Open(block_.data(), block_.size());
    hasStream_ = ok;
    Unlock();
    if (!ok) {
        block_.clear();
        return;
    }
    int64_t bytes = decoder_.LengthFrames() * TMp3Decoder::kBytesPerFrame;
    lengthBytes_ = static_cast<uint32_t>(std::min<int64_t>(bytes, UINT32_MAX));
}

bool TBassPlayer::IsPlaying() const {
    return hasStream_ && playing_;
}

int64_t TBassPlayer::ClockFrames() {
    if (!playing_) return anchorFrames_;
    int64_t frequency = std::max<int64_t>(ticks_.ReadFrequency(), 1);
    int64_t elapsed = std::max<int64_t>(ticks_.ReadCounter() - anchorTicks_, 0);
    // Split the product so that long runs cannot overflow 64 bits.
    int64_t frames =
        elapsed / frequency * TMp3Decoder::kRate + elapsed % frequency * TMp3Decoder::kRate / frequency;
    return std::min(anchorFrames_ + frames, decoder_.LengthFrames());
}

void TBassPlayer::Play() {
    if (!hasStream_) return;
    if (device_ != 0) {
        Lock();
        playing_ = true;
        Unlock();
        return;
    }
    if (!playing_) {
        anchorTicks_ = ticks_.ReadCounter();
        playing_ = true;
    }
}

void TBassPlayer::Stop() {
    if (!hasStream_) return;
    if (device_ != 0) {
        Lock();
        playing_ = false;
        Unlock();
        return;
    }
    anchorFrames_ = ClockFrames();
    playing_ = false;
}

uint32_t TBassPlayer::SecondsToBytes(double seconds) {
    if (!(seconds > 0.0)) return 0;                           // negative or not a number: the start
    double bytes = std::nearbyint(seconds * kBytesPerSecond); // ties to even
    if (bytes >= static_cast<double>(UINT32_MAX)) return UINT32_MAX;
    return static_cast<uint32_t>(bytes);
}

void TBassPlayer::SetPosition(double seconds) {
    if (!hasStream_) return;
    SetPositionBytes(SecondsToBytes(seconds));
}

void TBassPlayer::SetPositionBytes(uint32_t bytes) {
    if (!hasStream_) return;
    // Byte positions fall on whole frames; past the end means the end.
    int64_t frame = std::min<int64_t>(bytes / TMp3Decoder::kBytesPerFrame, decoder_.LengthFrames());
    if (device_ != 0) {
        Lock();
        if (decoder_.Seek(frame)) positionFrames_ = decoder_.PositionFrames();
        Unlock();
        return;
    }
    anchorFrames_ = frame;
    anchorTicks_ = ticks_.ReadCounter();
}

uint32_t TBassPlayer::GetPositionBytes() {
    if (!hasStream_) return 0;
    int64_t frames;
    if (device_ != 0) {
        Lock();
        frames = positionFrames_;
        Unlock();
    } else {
        frames = ClockFrames();
    }
    return static_cast<uint32_t>(frames * TMp3Decoder::kBytesPerFrame);
}

double TBassPlayer::GetPosition() {
    if (!hasStream_) return 0.0;
    return BytesToSeconds(GetPositionBytes());
}

bool TBassPlayer::DecodeAll(std::vector<int16_t>& pcm) const {
    pcm.clear();
    if (!hasStream_) return false;
    // A decoder of its own: the playing one belongs to the audio thread.
    TMp3Decoder decoder;
    if (!decoder.Open(block_.data(), block_.size())) return false;
    pcm.resize(static_cast<size_t>(decoder.LengthFrames()) * TMp3Decoder::kChannels);
    size_t got = decoder.Read(pcm.data(), static_cast<size_t>(decoder.LengthFrames()));
    pcm.resize(got * TMp3Decoder::kChannels);
    return true;
}

namespace {

void PutLe(uint8_t* at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

void SaveWaveFile(const std::string& fileName, const std::vector<int16_t>& pcm) {
    uint32_t dataSize = static_cast<uint32_t>(pcm.size() * sizeof(int16_t));
    uint8_t header[44];
    std::memcpy(header, "RIFF", 4);
    PutLe(header + 4, 36 + dataSize, 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutLe(header + 16, 16, 4);                           // format block size
    PutLe(header + 20, 1, 2);                            // PCM
    PutLe(header + 22, TMp3Decoder::kChannels, 2);       // channels
    PutLe(header + 24, TMp3Decoder::kRate, 4);           // sample rate
    PutLe(header + 28, TBassPlayer::kBytesPerSecond, 4); // byte rate
    PutLe(header + 32, TMp3Decoder::kBytesPerFrame, 2);  // block align
    PutLe(header + 34, 16, 2);                           // bits per sample
    std::memcpy(header + 36, "data", 4);
    PutLe(header + 40, dataSize, 4);
    TFileStream file(fileName, TFileStream::fmCreate);
    file.WriteBuffer(header, sizeof(header));
    // Samples are little-endian in the file, as they are in memory here.
    std::vector<uint8_t> bytes(dataSize);
    for (size_t i = 0; i < pcm.size(); ++i)
        PutLe(bytes.data() + 2 * i, static_cast<uint16_t>(pcm[i]), 2);
    if (dataSize) file.WriteBuffer(bytes.data(), dataSize);
}
