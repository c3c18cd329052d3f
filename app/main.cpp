// zumbrix: the demo. Creates the main window (which runs the whole start-up)
// and runs the message loop until the demo ends; --benchmark and
// --render-frames run the timeline offline instead, --list prints the
// members of the built-in archive.
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "data/Stream.h"
#include "data/ZLBArchive.h"
#include "demo/Application.h"
#include "platform/Resources.h"

#include <cstdio>
#include <string>
#include <vector>

#ifndef ZUMBRIX_VERSION
#define ZUMBRIX_VERSION "0.1.0"
#endif

namespace {

int ListArchive() {
    const TResourceBlock* block = FindResource("PCK", "FILES");
    if (!block) {
        std::fprintf(stderr, "The executable carries no archive \"FILES\"\n");
        return 1;
    }
    TReadOnlyMemoryStream stream(block->data, static_cast<int64_t>(block->size));
    TZLBArchive archive;
    archive.OpenStream(stream);
    PrintArchiveListing(archive, stdout);
    return 0;
}

int Play(const TCommandLine& commandLine) {
    const bool offline = commandLine.benchmark || !commandLine.renderDir.empty();
    TApplication& app = Application();
    // Offline runs report on standard error only and end on errors.
    if (offline) app.SetMessageBoxes(false);
    int result = 0;
    {
        TMainWindow window(commandLine);
        bool started = window.Create();
        if (offline) {
            if (!started) return 1;
            result = commandLine.benchmark ? window.RunBenchmark() : window.RunRenderFrames();
        } else {
            window.Run();
        }
    }
    // SDL's video part stays up until the process ends: shutting it down
    // unloads the GL driver, which only hides what the driver still holds.
    return result;
}

} // namespace

int main(int argc, char** argv) {
    try {
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
