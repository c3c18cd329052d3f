// TMp3Decoder: decodes an MP3 file held in memory with libmpg123.
//
// The decoder reads the block through its own read and seek callbacks (no
// file descriptor), scans the whole stream once when it is opened so that
// the length is exact and every seek lands on the requested sample, and
// always delivers 44100 Hz, 2 channels, signed 16-bit samples (mpg123 converts
// other rates and mono itself). Encoder delay and padding are trimmed
// (gapless decoding), so a file made from N samples decodes to N samples.
//
// Positions and lengths are counted in sample frames (one frame = one left
// and one right sample = 4 bytes).
#pragma once

#include <cstddef>
#include <cstdint>

struct mpg123_handle_struct;

class TMp3Decoder {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;
    static constexpr int kBytesPerFrame = 4;

    TMp3Decoder() = default;
    ~TMp3Decoder();
    TMp3Decoder(const TMp3Decoder&) = delete;
    TMp3Decoder& operator=(const TMp3Decoder&) = delete;

    // Opens the MP3 held in data (which must stay untouched until Close).
    // Returns false, leaving the decoder closed, when the block holds no
    // decodable MP3 audio.
    bool Open(const uint8_t* data, size_t size);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

    // Exact length in frames (0 when closed).
    int64_t LengthFrames() const { return length_; }
    // The frame the next Read starts at.
    int64_t PositionFrames() const { return position_; }
    // Moves to frame (clamped to 0 .. length). Returns false when closed or
    // when the decoder refuses.
    bool Seek(int64_t frame);
    // Decodes up to frames frames into out (interleaved left, right). Returns
    // the number of frames written; fewer than asked only at the end.
    size_t Read(int16_t* out, size_t frames);

    // The memory block as the read and seek callbacks see it.
    struct Source {
        const uint8_t* data = nullptr;
        size_t size = 0;
        size_t position = 0;
    };

private:
    mpg123_handle_struct* handle_ = nullptr;
    Source source_;
    int64_t length_ = 0;
    int64_t position_ = 0;
};
