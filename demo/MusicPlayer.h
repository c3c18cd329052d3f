// The music player: plays the soundtrack, an MP3 file held in memory, and
// reports and sets the playback position in seconds.
//
// TBassPlayer decodes with libmpg123 (TMp3Decoder) and plays through SDL
// audio. Positions are exchanged with the output in bytes of decoded audio at
// 176400 bytes per second (44100 Hz, 2 channels, 2 bytes per sample), exactly
// as the demo's timing expects, and with the rest of the system in seconds.
//
// Without an audio device (no sound hardware, or the silent output chosen
// for offline rendering and benchmarks) the player still loads and scans the
// music, and its position runs on the clock alone while it plays: the demo
// keeps its timing and is never stopped by missing sound. With SDL's dummy
// driver the stream is decoded in real time as with a real device.
#pragma once

#include "demo/Mp3Decoder.h"
#include "demo/core/HiResTimer.h"
#include "platform/RefCounted.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class IMusicPlayer : public virtual IInterface {
public:
    virtual void Play() = 0;                        // plays the stream, if any, from its position
    virtual void Stop() = 0;                        // stops it, keeping the position
    virtual void Load(const std::string& name) = 0; // reads the named file (flexible stream)
    virtual void SetPosition(double seconds) = 0;   // no stream: nothing
    virtual double GetPosition() = 0;               // no stream: 0.0

protected:
    ~IMusicPlayer() override = default;
};

// Where the player sends its sound.
enum TAudioOutput : uint8_t {
    aoDevice = 0, // the default SDL audio device; the clock when there is none
    aoSilent = 1, // no device at all: the position runs on the clock
};

class TBassPlayer : public TInterfacedObject, public IMusicPlayer {
public:
    static constexpr uint32_t kBytesPerSecond = 176400;

    // Opens the audio output. Failing to open a device is not an error: the
    // player then plays silently on the clock read from ticks (which must
    // outlive the player; null: the platform's high-resolution counter).
    explicit TBassPlayer(TAudioOutput output = aoDevice, TTickSource* ticks = nullptr);
    ~TBassPlayer() override;

    void Play() override;
    void Stop() override;
    // Raises EFlexibleStreamError ("Couldn't open the file named %s") when the
    // file cannot be opened. A file that holds no playable MP3 leaves the
    // player without a stream. A second load replaces the first stream.
    void Load(const std::string& name) override;
    void SetPosition(double seconds) override;
    double GetPosition() override;

    // Takes the whole MP3 file as a block (what Load does after reading).
    void LoadFromMemory(std::vector<uint8_t> block);

    bool HasStream() const { return hasStream_; }
    bool HasAudioDevice() const { return device_ != 0; }
    // Why no audio device could be opened (the audio system's own words),
    // "" when one was or none was asked for.
    const std::string& AudioDeviceError() const { return deviceError_; }
    bool IsPlaying() const;
    // Stream length in bytes of decoded audio (0 without a stream).
    uint32_t GetLengthBytes() const { return lengthBytes_; }
    // The position in bytes, as the output counts it.
    uint32_t GetPositionBytes();
    void SetPositionBytes(uint32_t bytes);

    // Decodes the whole stream from the start as interleaved 16-bit stereo at
    // 44100 Hz (for writing the sound track of an offline rendering). Leaves
    // the playback position alone. Returns false without a stream.
    bool DecodeAll(std::vector<int16_t>& pcm) const;

    // The byte conversions: seconds × 176400 rounded to the nearest integer
    // (ties to even), limited to the 32-bit range; bytes / 176400.0.
    static uint32_t SecondsToBytes(double seconds);
    static double BytesToSeconds(uint32_t bytes) { return bytes / static_cast<double>(kBytesPerSecond); }

private:
    static void AudioCallback(void* self, uint8_t* stream, int length);
    void FillAudio(uint8_t* stream, int length);
    void ReleaseStream();
    int64_t ClockFrames(); // the clock-driven position, in frames
    void Lock();
    void Unlock();

    TTickSource& ticks_;
    uint32_t device_ = 0;        // SDL audio device; 0 = play on the clock
    std::string deviceError_;    // why there is none
    bool ownsAudioInit_ = false; // the player initialised SDL's audio part
    bool hasStream_ = false;     // the "stream handle" of the player
    uint32_t lengthBytes_ = 0;   // kept for reference
    std::vector<uint8_t> block_; // the whole music file; lives as long as the stream
    TMp3Decoder decoder_;

    // Shared with the audio thread (under Lock).
    bool playing_ = false;
    int64_t positionFrames_ = 0; // next frame to be heard (device output)

    // The clock-driven position (no device).
    int64_t anchorFrames_ = 0; // position when the clock was last anchored
    int64_t anchorTicks_ = 0;  // counter value at that moment
};

// Writes 16-bit stereo samples at 44100 Hz as a RIFF WAVE file.
void SaveWaveFile(const std::string& fileName, const std::vector<int16_t>& pcm);
