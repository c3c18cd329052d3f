// The diagnostic channel the frame loop reports through: a log line, named
// values and a frame number. Every output switch is off from creation on, so
// in normal runs nothing is written; the frame loop reports regardless and
// never needs to know whether anyone listens.
#pragma once

#include <cstdint>
#include <string_view>

class TDebug {
public:
    // Value kind the frame loop uses for its rates ("FPS", "AverageFPS").
    static constexpr uint8_t kFrameValue = 1;

    TDebug() = default;

    // With the platform switch on, passes the text to the debug sink.
    void Log(std::string_view text);
    // Drops infinite and NaN values first; with the platform switch on, writes
    // "name = value" to the debug sink.
    void SendValue(std::string_view name, uint8_t kind, float value);
    void SetFrame(int32_t frame) { frame_ = frame; }
    int32_t GetFrame() const { return frame_; }

    // Output switches, all false by default. The network and file outputs are
    // not implemented: their switches are kept but write nothing.
    void SetPlatformOutput(bool on) { platformOutput_ = on; }
    void SetNetworkOutput(bool on) { networkOutput_ = on; }
    void SetFileOutput(bool on) { fileOutput_ = on; }
    bool PlatformOutput() const { return platformOutput_; }
    bool NetworkOutput() const { return networkOutput_; }
    bool FileOutput() const { return fileOutput_; }

private:
    bool platformOutput_ = false;
    bool networkOutput_ = false;
    bool fileOutput_ = false;
    int32_t frame_ = 0;
};

// The process-wide channel, created on first use and living until exit.
TDebug& DebugChannel();
