// TVideoWriter: encodes frames and sound straight into one video file through
// FFmpeg's libraries. The container follows the file name: .mp4 and .mkv hold
// H.264 and AAC, .webm holds VP9 and Opus; the picture is always 4:2:0
// (yuv420p, BT.709, limited range), which every common player shows.
//
// The file is written under a temporary name beside it and renamed when
// Finish succeeds: a failed or interrupted encoding leaves nothing behind.
// Buffers are made once when the writer opens; adding frames and sound
// allocates nothing of ours.
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <string>

ZUMBRIX_EXCEPTION(EVideoError, Exception);

struct TVideoSettings {
    std::string file;
    int32_t width = 0, height = 0; // even
    double fps = 60.0;
    int32_t quality = 7;        // 1 (smallest file) to 10 (best picture)
    bool audio = true;          // a sound stream (silence where no sound is given)
    int32_t sampleRate = 44100; // of the sound given to AddSound, stereo
};

class TVideoWriter {
public:
    // Opens the encoders and the temporary file. Raises EVideoError naming
    // the file when the container, an encoder or the file is not available.
    explicit TVideoWriter(const TVideoSettings& settings);
    ~TVideoWriter();
    TVideoWriter(const TVideoWriter&) = delete;
    TVideoWriter& operator=(const TVideoWriter&) = delete;

    // One picture of width x height pixels, 4 bytes each in the order B, G,
    // R, A; rows bottom to top (as OpenGL reads them), `stride` bytes apart.
    void AddFrame(const uint8_t* bgra, int32_t stride);
    // Interleaved 16-bit stereo samples at the settings' rate.
    void AddSound(const int16_t* samples, size_t frames);
    // Silence up to the end of the pictures given so far (a soundtrack
    // shorter than the video).
    void PadSoundToPictures();
    // Flushes the encoders, writes the container's index and gives the file
    // its name.
    void Finish();

    int64_t FramesWritten() const;
    // Sound sample frames (at the settings' rate) given so far.
    int64_t SoundFramesGiven() const;
    const char* VideoCodecName() const;
    const char* AudioCodecName() const;

private:
    struct TState;
    TState* state_;
};
