// zumbrix: the demo. Creates the main window (which runs the whole start-up)
// and runs the message loop until the demo ends; --benchmark and
// --render-frames and --render-video run the timeline offline instead, --list prints the
// members of the built-in archive.
//
// Exit status: 0 when the demo ended as asked (its end, Escape, closing the
// window, the chooser's cancel, SIGTERM, SIGINT or SIGHUP, the screen-saver
// host taking its window away); 1 for a bad command line, no display, a
// failed start-up or an error shown while playing.
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "data/Stream.h"
#include "data/ZLBArchive.h"
#include "demo/Application.h"
#include "platform/Bundle.h"
#include "platform/Exception.h"
#include "platform/Resources.h"
#include "platform/Signals.h"

#include <SDL.h>

#include <cstdio>
#include <string>
#include <vector>

#ifndef ZUMBRIX_VERSION
#define ZUMBRIX_VERSION "0.1.0"
#endif

namespace {

int ListArchive() {
    // A bundle lists the archive it carries and names itself on failure.
    const TBundle& bundle = ProgramBundle();
    if (!bundle.error.empty()) throw EPlatformError(bundle.error);
    const TResourceBlock* block = FindResource("PCK", "FILES");
    if (!block) {
        std::fprintf(stderr, "The executable carries no archive \"FILES\"\n");
        return 1;
    }
    TReadOnlyMemoryStream stream(block->data, static_cast<int64_t>(block->size));
    TZLBArchive archive;
    try {
        archive.OpenStream(stream);
    } catch (Exception& e) {
        if (bundle.present) e.AddContext(bundle.path + ": ");
        throw;
    }
    PrintArchiveListing(archive, stdout);
    return 0;
}

int Play(const TCommandLine& commandLine) {
    const bool offline = commandLine.Offline();
    TApplication& app = Application();
    // Offline runs report on standard error only and end on errors.
    if (offline) app.SetMessageBoxes(false);
    int result = 0;
    {
        TMainWindow window(commandLine);
        bool started = window.Create();
        if (offline) {
            if (!started) return window.ExitCode();
            result = commandLine.benchmark            ? window.RunBenchmark()
                     : !commandLine.videoFile.empty() ? window.RunRenderVideo()
                                                      : window.RunRenderFrames();
        } else {
            window.Run();
            result = window.ExitCode();
        }
    }
    // SDL's video part stays up until the process ends: shutting it down
    // unloads the GL driver, which only hides what the driver still holds.
    return result;
}

} // namespace

int main(int argc, char** argv) {
    // The program's own handlers: a signal ends every stage in order, as a
    // close request does (SDL's would only post a quit event nobody reads
    // while the chooser or a message box waits).
    InstallTerminationHandlers();
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    try {
        // A bundle's archive takes the built-in one's place (start-up reports
        // a damaged bundle, see TMainWindow::OpenData).
        const TBundle& bundle = ProgramBundle();
        if (bundle.present && bundle.error.empty())
            RegisterResource("PCK", "FILES", bundle.archive, bundle.archiveSize);
        std::vector<std::string> args(argv + 1, argv + argc);
        TCommandLine commandLine = ParseCommandLine(args);
        if (commandLine.help) {
            std::fputs(kZumbrixUsage, stdout);
            return 0;
        }
        if (commandLine.version) {
            std::printf("zumbrix %s\n", ZUMBRIX_VERSION);
            return 0;
        }
        if (commandLine.list) return ListArchive();
        return Play(commandLine);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
