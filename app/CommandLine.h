// The zumbrix command line. Besides the screen-saver switches (handed on to
// the screen-saver component untouched), these options serve people who run
// demos on Linux:
//
//   --window WxH                  window mode at this client size, no chooser
//   --fullscreen WxH[xBPP][@HZ]   full screen on this display mode, no chooser
//   --silent                      no music, no chooser
//   --data DIR                    read loose data files from DIR (File mode)
//   --archive FILE                read the data from an archive file
//   --debug                       diagnostics on standard error
//   --benchmark                   draw the whole timeline with a fixed step as
//                                 fast as possible and print frame times
//   --render-frames DIR --fps N   write frame k (demo time k/N) to
//                                 DIR/frame_%05d.tga and the sound to DIR/audio.wav
//   --render-video FILE [--fps N] [--quality Q]
//                                 encode the same frames and the sound into
//                                 one video file (.mp4, .webm, .mkv)
//   --loops N                     --benchmark: play the timeline N times
//   --start T                     begin at demo time T (checked against the
//                                 script's end by start-up)
//   --paused                      open paused (clock and music)
//   --duration T                  offline runs: draw only T seconds of demo time
//   --list, --help, --version
//
// xscreensaver's -root and -window-id ID are also accepted with two dashes,
// as xscreensaver 6 passes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TCommandLine {
    bool help = false;
    bool version = false;
    bool list = false;

    bool chooser = true;    // show the mode chooser
    bool windowMode = true; // window (true) or full screen
    int32_t width = 640, height = 480;
    int32_t bitsPerPixel = 0, refreshRate = 0; // 0: keep the display's
    bool sizeGiven = false;
    bool silent = false;

    std::string dataDir;     // File mode from this folder
    std::string archiveFile; // Package mode from this archive
    bool debug = false;

    bool benchmark = false;
    std::string renderDir; // offline rendering into this folder
    double fps = 0.0;      // frames per second of the offline rendering
    double start = 0.0;    // demo time to begin at
    bool paused = false;   // open paused, the music held with the clock
    double duration = 0.0; // offline runs: seconds of demo time to draw (0: to the end)
    int32_t loops = 1;     // --benchmark: times the timeline is played
    std::string videoFile; // offline encoding into this video file
    int32_t quality = 7;   // --render-video: 1 (smallest) to 10 (best)

    std::vector<std::string> screenSaverArgs; // everything that is no option

    // --benchmark, --render-frames or --render-video: no dialog, no sound output.
    bool Offline() const { return benchmark || !renderDir.empty() || !videoFile.empty(); }
};

// Reads the arguments (without the program name). Raises EPlatformError with
// a message for unknown options, missing or malformed values, values the
// demo cannot honour and contradicting combinations. A start after the end
// of the timeline is refused by start-up, which knows the script's end.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// "640x480" → width, height. False when malformed or not positive.
bool ParseWindowSize(const std::string& text, int32_t& width, int32_t& height);
// "WxH[xBPP][@HZ]" → the four fields (0 for the parts not given).
bool ParseDisplayMode(const std::string& text, int32_t& width, int32_t& height, int32_t& bits, int32_t& rate);

// Whether a video file name ends in a container --render-video writes
// (.mp4, .webm, .mkv, any letter case).
bool VideoContainerKnown(const std::string& file);

extern const char* const kZumbrixUsage;
