// Start-up speed of the demo: zumbrix's own start-up (from the end of the
// mode chooser to the first frame drawn, as `zumbrix --benchmark` prints it)
// against what cannot be avoided: opening the demo archive (its CRC pass),
// inflating every member, decoding every picture, scanning the soundtrack
// and reading every scene file. Each figure is the best of several runs; the
// last line is the ratio start-up is judged by (target at most 1.5).
#include "data/3dImage.h"
#include "data/ZLBArchive.h"
#include "demo/Mp3Decoder.h"
#include "bench/BenchSupport.h"
#include "platform/Ticks.h"
#include "scene/chunks/NoiceLoader.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool EndsWith(const std::string& s, const char* end) {
    const size_t n = std::strlen(end);
    return s.size() >= n && s.compare(s.size() - n, n, end) == 0;
}

} // namespace

int main() {
    const std::string archivePath = std::string(ZUMBRIX_BINARY_DIR) + "/app/FILES.pck";
    const std::vector<uint8_t> archiveBytes = ReadFileBytes(archivePath);

    // The work every start-up has to do with the data, alone.
    double alone = 1e30;
    size_t pictures = 0, scenes = 0;
    for (int run = 0; run < 5; run++) {
        const int64_t t0 = QueryPerformanceCounter();
        TReadOnlyMemoryStream source(archiveBytes.data(), int64_t(archiveBytes.size()));
        TZLBArchive archive;
        archive.OpenStream(source);
        pictures = scenes = 0;
        for (int i = 0; i < archive.EntryCount(); i++) {
            const TZLBEntry entry = archive.GetEntry(i);
            TMemoryStream member;
            archive.ExtractStream(member, i);
            const std::string name = entry.Name();
            member.SetPosition(0);
            if (EndsWith(name, ".jpg") || EndsWith(name, ".png") || EndsWith(name, ".tga") ||
                EndsWith(name, ".tif")) {
                TRefPtr<I3dImage> image = T3dImage::Create();
                image->LoadFromStream(member);
                pictures++;
            } else if (EndsWith(name, ".mp3")) {
                TMp3Decoder mp3;
                mp3.Open(member.Memory(), size_t(member.Size()));
            } else if (EndsWith(name, ".y3d")) {
                WalkChunks(member, [](int, int64_t, const TChunkHeader&) {});
                scenes++;
            }
        }
        alone = std::min(alone, Seconds(QueryPerformanceCounter() - t0));
    }

    // zumbrix's start-up, as it measures it itself.
    double startup = 1e30;
    for (int run = 0; run < 5; run++) {
        CommandResult r = RunProgram(ZUMBRIX_PATH, {"--benchmark", "--duration", "0.01"});
        double ms = 0, first = 0;
        const size_t at = r.out.find("start-up: ");
        if (r.exitCode != 0 || at == std::string::npos ||
            std::sscanf(r.out.c_str() + at, "start-up: %lf ms, then the first frame %lf ms", &ms, &first) !=
                2) {
            std::fprintf(stderr, "bench_startup: zumbrix --benchmark failed:\n%s%s", r.out.c_str(),
                         r.err.c_str());
            return 1;
        }
        startup = std::min(startup, (ms + first) / 1e3);
    }

    std::printf("archive: %zu bytes, %zu pictures, %zu scene files\n", archiveBytes.size(), pictures, scenes);
    std::printf("inflate every member, decode pictures, scan music, read scenes: %8.1f ms\n", alone * 1e3);
    std::printf("zumbrix start-up to the first frame:                          %8.1f ms\n", startup * 1e3);
    std::printf("ratio start-up / inflating and decoding alone: %.2f (target <= 1.5)\n", startup / alone);
    return 0;
}
