// mirel vp translate / check on good and bad program texts.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const char* kGood =
    "!!VP1.1 OPTION NV_position_invariant;\n# light vector\nADD R0, c[16], -v[OPOS];\n"
    "DP3 R1.x, R0, R0;\nRSQ R1.x, R1.x;\nMUL o[TEX1], R0, R1.x;\nMOV o[TEX0], v[TEX0];\nEND\n";
const char* kBad =
    "!!VP1.1 OPTION NV_position_invariant;\nADD R0, c[16], -v[OPOS];\nMUL o[TEX1], R0, R1.xy;\nEND\n";

} // namespace

TEST(MirelVp, TranslatePrintsTheArbTextOrTheLine) {
    TempDir dir;
    WriteFileText(dir.File("good.txt"), kGood);
    WriteFileText(dir.File("bad.txt"), kBad);
    CommandResult ok = RunMirel({"vp", "translate", dir.File("good.txt")});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(ok.out.rfind("!!ARBvp1.0\nOPTION ARB_position_invariant;\n", 0), 0u) << ok.out;
    EXPECT_NE(ok.out.find("RSQ R1.x, R1.x;"), std::string::npos);
    CommandResult bad = RunMirel({"vp", "translate", dir.File("bad.txt")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("bad.txt: line 3: a swizzle has one or four components: 'xy'"), std::string::npos)
        << bad.err;
    EXPECT_EQ(RunMirel({"vp", "translate"}).exitCode, 2);
    EXPECT_EQ(RunMirel({"vp", "translate", dir.File("missing.txt")}).exitCode, 1);
}

TEST(MirelVp, CheckLoadsInAHiddenContext) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    TempDir dir;
    WriteFileText(dir.File("good.txt"), kGood);
    WriteFileText(dir.File("bad.txt"), kBad);
    CommandResult ok = RunMirel({"vp", "check", dir.File("good.txt")});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_NE(ok.out.find("good.txt: ok"), std::string::npos) << ok.out;
    CommandResult bad = RunMirel({"vp", "check", dir.File("bad.txt")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("line 3: a swizzle has one or four components"), std::string::npos) << bad.err;
}
