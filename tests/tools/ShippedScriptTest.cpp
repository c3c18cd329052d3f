// The demo's shipped script as mirel shows it from the built archive: six
// scenes, each a scene effect whose file loads, cut on bar lines of the
// soundtrack's beat grid.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <set>

#include "tests/support/TestSupport.h"

namespace {

const std::string kArchive = std::string(ZUMBRIX_BINARY_DIR) + "/app/FILES.pck";

TEST(ShippedScript, ListsSixSceneEffectsWhoseFilesLoad) {
    CommandResult script = RunMirel({"script", "zumbrix.xml", "--archive", kArchive});
    ASSERT_EQ(script.exitCode, 0) << script.err;
    EXPECT_THAT(script.out, ::testing::HasSubstr("\"errors\": []"));
    // Each scene effect names its file first among its properties.
    std::regex scene(
        "\"class\": \"TSceneLoadTest\", \"properties\": \\[\\{\"name\": \"name\", \"value\": \"([^\"]+)\"");
    std::set<std::string> files;
    int effects = 0;
    for (auto it = std::sregex_iterator(script.out.begin(), script.out.end(), scene);
         it != std::sregex_iterator(); ++it) {
        effects++;
        files.insert((*it)[1]);
    }
    EXPECT_GE(effects, 6);
    EXPECT_EQ(files.size(), 6u);
    TempDir dir;
    for (const std::string& file : files) {
        // Out of the archive, then loaded with its pictures and programs.
        CommandResult extract = RunMirel({"extract", kArchive, file, "-o", dir.File(file)});
        ASSERT_EQ(extract.exitCode, 0) << file << ": " << extract.err;
        CommandResult dump = RunMirel({"scene", "dump", dir.File(file), "--archive", kArchive});
        if (dump.exitCode != 0 && dump.err.find("display") != std::string::npos) GTEST_SKIP() << dump.err;
        EXPECT_EQ(dump.exitCode, 0) << file << ": " << dump.err;
        EXPECT_THAT(dump.out, ::testing::HasSubstr("\"lights\":[")) << file;
        EXPECT_THAT(dump.out, ::testing::Not(::testing::HasSubstr("\"lights\":[]"))) << file;
    }
}

TEST(ShippedScript, ScenesAreCutOnBarLines) {
    CommandResult script = RunMirel({"script", "zumbrix.xml", "--archive", kArchive});
    ASSERT_EQ(script.exitCode, 0) << script.err;
    const std::set<std::string> scenes = {"relief",    "stage", "glass",   "chrome",
                                          "clockwork", "dusk",  "farewell"};
    std::regex part("\\{\"name\": \"([^\"]+)\", \"prepare\": [^,]+, \"start\": ([^,]+), \"stop\": ([^,]+),");
    int cuts = 0;
    for (auto it = std::sregex_iterator(script.out.begin(), script.out.end(), part);
         it != std::sregex_iterator(); ++it) {
        if (!scenes.count((*it)[1])) continue;
        for (int k : {2, 3}) {
            double t = std::stod((*it)[k]);
            if (t == 0.0 || t == 117.0) continue; // the ends of the demo
            // Bar n starts at beat 4n: 0.4 + 4n * 0.430 seconds.
            double bars = (t - 0.4) / (4 * 0.430);
            EXPECT_NEAR(bars, std::round(bars), 1e-4) << (*it)[1] << " at " << t << " s";
            cuts++;
        }
    }
    EXPECT_GE(cuts, 12);
}

} // namespace
