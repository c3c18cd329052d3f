// zumbrix: the demo. Until the demo runtime is in place it can list the
// archive it carries.
#include "data/Stream.h"
#include "data/ZLBArchive.h"
#include "platform/Resources.h"

#include <cstdio>
#include <cstring>

namespace {

const char* kHelp =
    "usage: zumbrix [--list] [--help]\n"
    "\n"
    "Zumbrix plays a real-time audiovisual demo: a timeline of fades and\n"
    "animated 3D scenes in sync with its soundtrack, all of it carried inside\n"
    "this executable as the packed archive \"FILES\".\n"
    "\n"
    "  --list   print the members of the built-in archive (index, name, size,\n"
    "           stored size, deflated/stored, CRC-32)\n"
    "  --help   this text\n"
    "\n"
    "Playback itself arrives with the demo runtime; this build does not yet play.\n";

int ListArchive() {
    const TResourceBlock* block = FindResource("PCK", "FILES");
    if (!block) {
        std::fprintf(stderr, "The executable carries no archive \"FILES\"\n");
        return 1;
    }
    TReadOnlyMemoryStream stream(block->data, static_cast<int64_t>(block->size));
    TZLBArchive archive;
    archive.OpenStream(stream);
    for (int i = 0; i < archive.EntryCount(); ++i) {
        TZLBEntry e = archive.GetEntry(i);
        std::printf("%d\t%s\t%u\t%u\t%s\t%08x\n", i, e.Name().c_str(), e.size, e.storedSize,
                    e.stored ? "stored" : "deflated", e.crc);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--list") == 0) return ListArchive();
            if (std::strcmp(argv[i], "--help") == 0) {
                std::fputs(kHelp, stdout);
                return 0;
            }
            std::fprintf(stderr, "zumbrix: unknown option '%s'\n\n%s", argv[i], kHelp);
            return 2;
        }
        std::fputs(kHelp, stdout);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
