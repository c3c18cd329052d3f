#include "app/CommandLine.h"

#include "app/ScreenSaver.h"
#include "platform/Exception.h"
#include "platform/Format.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

const char* const kZumbrixUsage =
    "usage: zumbrix [options] [/s | /c | /p ID | /a ID | --root | --window-id ID]\n"
    "\n"
    "Zumbrix plays a real-time audiovisual demo: a timeline of fades and\n"
    "animated 3D scenes in sync with its soundtrack, all of it carried inside\n"
    "this executable as the packed archive \"FILES\".\n"
    "\n"
    "Without options a small dialog asks for the display mode, window or full\n"
    "screen, and sound. While it plays: Esc quits, Pause pauses, F/S/N set the\n"
    "speed (x5, x0.1, normal), D shows the frame rate, H help, I card\n"
    "information, C writes the frame to \"Zumbrix from Tombrel_NNNNN.tga\".\n"
    "Left/Right seek a second (Shift: ten), Home goes to the start, PgUp/PgDn\n"
    "to the previous/next part, L loops the part, T shows the position bar.\n"
    "\n"
    "  --window WxH                 play in a window of this size (no dialog)\n"
    "  --fullscreen WxH[xBPP][@HZ]  play full screen on this mode (no dialog)\n"
    "  --silent                     play without sound (no dialog)\n"
    "  --data DIR                   read the demo's files from the folder DIR\n"
    "  --archive FILE               read the demo's files from an archive file\n"
    "  --debug                      write diagnostics to standard error\n"
    "  --benchmark                  draw the whole demo with a fixed 1/60 s step\n"
    "                               as fast as possible (640x480 unless --window)\n"
    "                               and print frame-time statistics\n"
    "  --render-frames DIR --fps N  write frame k, drawn at demo time k/N, to\n"
    "                               DIR/frame_00000.tga... and the soundtrack to\n"
    "                               DIR/audio.wav (make a video with ffmpeg)\n"
    "  --render-video FILE          encode the same frames (at --fps N, default 60)\n"
    "                               and the soundtrack into one video file:\n"
    "                               .mp4 or .mkv (H.264 4:2:0 and AAC), .webm (VP9\n"
    "                               and Opus); even --window sizes only\n"
    "  --quality Q                  with --render-video: 1 (smallest file) to 10\n"
    "                               (best picture), default 7\n"
    "  --loops N                    with --benchmark: play the timeline N times,\n"
    "                               printing the resident memory after each\n"
    "  --start T                    begin at demo time T seconds (at most the\n"
    "                               demo's end: 117 s, or what its script's\n"
    "                               <timeline end=\"...\"/> says)\n"
    "  --paused                     open paused, music included (Pause plays)\n"
    "  --duration T                 with --benchmark or --render-frames/-video: draw\n"
    "                               only T seconds of demo time (at most up to\n"
    "                               the demo's end)\n"
    "  --list                       list the members of the built-in archive\n"
    "  --help                       this text\n"
    "  --version                    the program's version\n"
    "\n"
    "Screen-saver switches: /s run, /c settings, /p ID preview in window ID,\n"
    "/a ID password change; for xscreensaver --root (-root) and --window-id ID\n"
    "(-window-id ID): no sound, and the run ends when xscreensaver ends it.\n";

namespace {

bool ParseInt(const std::string& text, int32_t& out) {
    if (text.empty() || text.size() > 9) return false;
    int32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

bool ParseNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    out = v;
    return true;
}

// --render-video: alone among the offline runs, a known container, an even
// size (4:2:0 halves both), 60 frames per second unless asked otherwise.
void CheckVideoOptions(TCommandLine& cl, bool fpsGiven) {
    if (cl.benchmark || !cl.renderDir.empty())
        throw EPlatformError("zumbrix: --render-video excludes --benchmark and --render-frames");
    if (!VideoContainerKnown(cl.videoFile))
        throw EPlatformError(Format("zumbrix: --render-video %s: the name must end in .mp4, .webm or .mkv",
                                    cl.videoFile.c_str()));
    if (cl.width % 2 != 0 || cl.height % 2 != 0)
        throw EPlatformError(
            Format("zumbrix: --render-video needs an even width and height, not %dx%d", cl.width, cl.height));
    if (!fpsGiven) cl.fps = 60.0;
}

} // namespace

bool VideoContainerKnown(const std::string& file) {
    const size_t dot = file.find_last_of('.');
    if (dot == std::string::npos || file.find('/', dot) != std::string::npos) return false;
    std::string ext = file.substr(dot + 1);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = char(c + 32);
    return ext == "mp4" || ext == "webm" || ext == "mkv";
}

bool ParseWindowSize(const std::string& text, int32_t& width, int32_t& height) {
    size_t x = text.find('x');
    if (x == std::string::npos) return false;
    int32_t w, h;
    if (!ParseInt(text.substr(0, x), w) || !ParseInt(text.substr(x + 1), h)) return false;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return false;
    width = w;
    height = h;
    return true;
}

bool ParseDisplayMode(const std::string& text, int32_t& width, int32_t& height, int32_t& bits,
                      int32_t& rate) {
    std::string sizePart = text;
    int32_t r = 0, b = 0;
    size_t at = text.find('@');
    if (at != std::string::npos) {
        if (!ParseInt(text.substr(at + 1), r) || r <= 0) return false;
        sizePart = text.substr(0, at);
    }
    size_t x1 = sizePart.find('x');
    if (x1 == std::string::npos) return false;
    size_t x2 = sizePart.find('x', x1 + 1);
    std::string wh = sizePart;
    if (x2 != std::string::npos) {
        if (!ParseInt(sizePart.substr(x2 + 1), b) || b <= 0) return false;
        wh = sizePart.substr(0, x2);
    }
    int32_t w, h;
    if (!ParseWindowSize(wh, w, h)) return false;
    width = w;
    height = h;
    bits = b;
    rate = r;
    return true;
}

TCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    TCommandLine cl;
    bool fpsGiven = false, durationGiven = false, loopsGiven = false, qualityGiven = false;
    auto value = [&](size_t& i) -> const std::string& {
        if (i + 1 >= args.size()) throw EPlatformError(Format("zumbrix: %s needs a value", args[i].c_str()));
        return args[++i];
    };
    for (size_t i = 0; i < args.size(); i++) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            cl.help = true;
        } else if (a == "--version") {
            cl.version = true;
        } else if (a == "--list") {
            cl.list = true;
        } else if (a == "--window") {
            const std::string& v = value(i);
            if (!ParseWindowSize(v, cl.width, cl.height))
                throw EPlatformError(Format("zumbrix: --window wants WIDTHxHEIGHT, not '%s'", v.c_str()));
            cl.windowMode = true;
            cl.sizeGiven = true;
            cl.chooser = false;
        } else if (a == "--fullscreen") {
            const std::string& v = value(i);
            if (!ParseDisplayMode(v, cl.width, cl.height, cl.bitsPerPixel, cl.refreshRate))
                throw EPlatformError(
                    Format("zumbrix: --fullscreen wants WIDTHxHEIGHT[xBITS][@HZ], not '%s'", v.c_str()));
            cl.windowMode = false;
            cl.sizeGiven = true;
            cl.chooser = false;
        } else if (a == "--silent") {
            cl.silent = true;
            cl.chooser = false;
        } else if (a == "--data") {
            cl.dataDir = value(i);
        } else if (a == "--archive") {
            cl.archiveFile = value(i);
        } else if (a == "--debug") {
            cl.debug = true;
        } else if (a == "--benchmark") {
            cl.benchmark = true;
        } else if (a == "--render-frames") {
            cl.renderDir = value(i);
            if (cl.renderDir.empty()) throw EPlatformError("zumbrix: --render-frames needs a folder");
        } else if (a == "--render-video") {
            cl.videoFile = value(i);
            if (cl.videoFile.empty()) throw EPlatformError("zumbrix: --render-video needs a file name");
        } else if (a == "--quality") {
            const std::string& v = value(i);
            if (!ParseInt(v, cl.quality) || cl.quality < 1 || cl.quality > 10)
                throw EPlatformError(
                    Format("zumbrix: --quality wants a number from 1 to 10, not '%s'", v.c_str()));
            qualityGiven = true;
        } else if (a == "--fps") {
            const std::string& v = value(i);
            if (!ParseNumber(v, cl.fps) || cl.fps <= 0.0 || cl.fps > 1000.0)
                throw EPlatformError(
                    Format("zumbrix: --fps wants a number of frames per second, not '%s'", v.c_str()));
            fpsGiven = true;
        } else if (a == "--start") {
            const std::string& v = value(i);
            if (!ParseNumber(v, cl.start) || cl.start < 0.0)
                throw EPlatformError(Format("zumbrix: --start wants a time in seconds, not '%s'", v.c_str()));
            // Whether the demo lasts that long is known once its script is read.
        } else if (a == "--paused") {
            cl.paused = true;
        } else if (a == "--loops") {
            const std::string& v = value(i);
            if (!ParseInt(v, cl.loops) || cl.loops < 1 || cl.loops > 1000)
                throw EPlatformError(
                    Format("zumbrix: --loops wants a number from 1 to 1000, not '%s'", v.c_str()));
            loopsGiven = true;
        } else if (a == "-root" || a == "--root") {
            cl.screenSaverArgs.push_back(a);
        } else if (a == "-window-id" || a == "--window-id") {
            const std::string& v = value(i);
            uint64_t id = 0;
            if (!ParseWindowId(v, id))
                throw EPlatformError(
                    Format("zumbrix: %s wants an X11 window id (decimal or 0x hexadecimal), not '%s'",
                           a.c_str(), v.c_str()));
            cl.screenSaverArgs.push_back(a);
            cl.screenSaverArgs.push_back(v);
        } else if (a == "--duration") {
            const std::string& v = value(i);
            if (!ParseNumber(v, cl.duration) || cl.duration <= 0.0)
                throw EPlatformError(
                    Format("zumbrix: --duration wants a time in seconds, not '%s'", v.c_str()));
            durationGiven = true;
        } else if (a.size() > 2 && a[0] == '-' && a[1] == '-') {
            throw EPlatformError(Format("zumbrix: unknown option '%s'", a.c_str()));
        } else {
            cl.screenSaverArgs.push_back(a);
        }
    }
    if (!cl.dataDir.empty() && !cl.archiveFile.empty())
        throw EPlatformError("zumbrix: --data and --archive exclude each other");
    if (cl.benchmark && !cl.renderDir.empty())
        throw EPlatformError("zumbrix: --benchmark and --render-frames exclude each other");
    if (!cl.renderDir.empty() && !fpsGiven) throw EPlatformError("zumbrix: --render-frames needs --fps N");
    if (!cl.videoFile.empty()) CheckVideoOptions(cl, fpsGiven);
    if (qualityGiven && cl.videoFile.empty())
        throw EPlatformError("zumbrix: --quality belongs to --render-video");
    if (fpsGiven && cl.renderDir.empty() && cl.videoFile.empty())
        throw EPlatformError("zumbrix: --fps belongs to --render-frames or --render-video");
    if (cl.paused && (cl.benchmark || !cl.renderDir.empty() || !cl.videoFile.empty()))
        throw EPlatformError("zumbrix: --paused belongs to windowed and full-screen runs");
    if (loopsGiven && !cl.benchmark) throw EPlatformError("zumbrix: --loops belongs to --benchmark");
    if (durationGiven && !cl.benchmark && cl.renderDir.empty() && cl.videoFile.empty())
        throw EPlatformError("zumbrix: --duration belongs to --benchmark, --render-frames or --render-video");
    if (cl.benchmark || !cl.renderDir.empty() || !cl.videoFile.empty()) {
        // Offline runs: no dialog and no sound output (a rendering still
        // loads the music, silently, to write the sound track), a window
        // unless asked otherwise.
        cl.chooser = false;
        if (cl.benchmark) cl.silent = true;
        if (!cl.windowMode) throw EPlatformError("zumbrix: offline runs draw into a window, not full screen");
    }
    return cl;
}
