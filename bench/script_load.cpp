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
#include <string>
#include <unistd.h>
#include <vector>

namespace {

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
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
    std::vector<char> buffer(text.size() + 16);
    double readBest = 1e9, loadBest = 1e9;
    size_t parts = 0, effects = 0;
    for (int run = 0; run < 7; ++run) {
        double t0 = Seconds();
        {
            TFlexibleStream stream("zumbrix.xml");
            int64_t size = stream.GetSize();
            stream.SetPosition(0);
            stream.ReadBuffer(buffer.data(), size);
        }
        double t1 = Seconds();
        TFileXMLParser script;
        script.LoadScript("zumbrix.xml");
        double t2 = Seconds();
        readBest = std::min(readBest, t1 - t0);
        loadBest = std::min(loadBest, t2 - t1);
        parts = script.Parts().size();
        effects = script.Effects().size();
    }
    std::remove((dir + "/zumbrix.xml").c_str());
    std::remove((dir + "/texts.xml").c_str());
    rmdir(folder);

    std::printf("script: %.2f MB, %zu effects, %zu parts\n", megabytes, effects, parts);
    std::printf("read through flexible stream: %.3f ms per MB\n", readBest * 1000 / megabytes);
    std::printf("load script:                  %.3f ms per MB\n", loadBest * 1000 / megabytes);
    std::printf("load/read ratio: %.1f (target < 20)\n", loadBest / readBest);
    return 0;
}
