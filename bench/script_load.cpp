// Loads a generated demo script of about 1 MB (2,000 effects, 10,000 parts)
// and compares the time per megabyte with the time to merely read the same
// bytes through a flexible stream. Judged: the load/read ratio (target < 20).
#include "data/FlexibleStream.h"
#include "platform/Format.h"
#include "script/FileXMLParser.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// CPU time of this thread (user and system): unlike the wall clock it does
// not count the time other programs on a busy machine take from us.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string MakeScript() {
    std::string text = "<demo>\n<resources location=\"file:data\">\n"
                       "  <mp3 value=\"music.mp3\"/>\n  <consolefont value=\"niceFont.noc\"/>\n"
                       "  <image name=\"logo\" value=\"logo.png\"/>\n"
                       "  <texture name=\"wall\" value=\"wall.jpg\" smooth=\"true\" repeat=\"false\"/>\n"
                       "</resources>\n";
    for (int i = 0; i < 2000; ++i) {
        text += Format("<effect name=\"fx%d\" class=\"%s\">\n", i, i % 2 ? "TFade" : "TSceneLoadTest");
        text += "  <property name=\"scene\" value=\"scene.3ds\"/>\n  <property name=\"tex\" "
                "resource=\"wall\"/>\n";
        text += "  <control name=\"color\" kind=\"color\" type=\"linear\">\n"
                "    <key time=\"0\" value=\"255 255 255 0\"/>\n"
                "    <key time=\"0.4 + 2*0.430\" value=\"0.5 0.25 1.0 1.0\"/>\n  </control>\n";
        text += "</effect>\n";
    }
    for (int i = 0; i < 10000; ++i)
        text += Format("<part name=\"fx%d\" start=\"0.4 + %d*0.430\" stop=\"47.17 + 7.5 + %d * 1.75\"/>\n",
                       i % 2000, i, i % 50);
    text += "<!-- #include file=\"texts.xml\" -->\n</demo>\n";
    return text;
}

} // namespace

int main() {
    char folder[] = "/tmp/zumbrix-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    std::string dir = folder;
    std::string text = MakeScript();
    {
        FILE* f = std::fopen((dir + "/zumbrix.xml").c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        f = std::fopen((dir + "/texts.xml").c_str(), "wb");
        std::fputs("<part name=\"fx0\" start=\"1\" stop=\"2\"/>\n", f);
        std::fclose(f);
    }
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetPath(dir + "/");
    double megabytes = static_cast<double>(text.size()) / (1024.0 * 1024.0);

    // Best of several runs of each, to keep scheduling noise out.
    unsigned checksum = 0;
    double readBest = 1e9, loadBest = 1e9, readCpuBest = 1e9, loadCpuBest = 1e9;
    size_t parts = 0, effects = 0;
    for (int run = 0; run < 15; ++run) {
        double c0 = CpuSeconds();
        double t0 = Seconds();
        {
            // Merely reading: open the file by name, and copy its bytes into a
            // fresh block of memory, as the loader's first step does.
            TFlexibleStream stream("zumbrix.xml");
            int64_t size = stream.GetSize();
            stream.SetPosition(0);
            std::string bytes(static_cast<size_t>(size), '\0');
            stream.ReadBuffer(bytes.data(), size);
            checksum += static_cast<unsigned char>(bytes[static_cast<size_t>(size) / 2]);
        }
        double t1 = Seconds();
        double c1 = CpuSeconds();
        TFileXMLParser script;
        script.LoadScript("zumbrix.xml");
        double t2 = Seconds();
        double c2 = CpuSeconds();
        readCpuBest = std::min(readCpuBest, c1 - c0);
        loadCpuBest = std::min(loadCpuBest, c2 - c1);
        readBest = std::min(readBest, t1 - t0);
        loadBest = std::min(loadBest, t2 - t1);
        parts = script.Parts().size();
        effects = script.Effects().size();
    }
    std::remove((dir + "/zumbrix.xml").c_str());
    std::remove((dir + "/texts.xml").c_str());
    rmdir(folder);

    std::printf("script: %.2f MB, %zu effects, %zu parts (check %u)\n", megabytes, effects, parts, checksum);
    std::printf("read through flexible stream: %.3f ms per MB wall, %.3f ms per MB cpu\n",
                readBest * 1000 / megabytes, readCpuBest * 1000 / megabytes);
    std::printf("load script:                  %.3f ms per MB wall, %.3f ms per MB cpu\n",
                loadBest * 1000 / megabytes, loadCpuBest * 1000 / megabytes);
    std::printf("load/read ratio (wall): %.1f\n", loadBest / readBest);
    std::printf("load/read ratio (cpu): %.1f (target < 20)\n", loadCpuBest / readCpuBest);
    return 0;
}
