// mirel glinfo end to end: a hidden window, the capability record and the
// probe's flags as JSON.
#include <gtest/gtest.h>

#include <SDL.h>

#include "tests/support/TestSupport.h"

TEST(MirelGlInfo, PrintsCapabilitiesAndFlagsWithBits) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    CommandResult r = RunMirel({"glinfo"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"Renderer\": \""), std::string::npos);
    EXPECT_NE(r.out.find("\"TextureUnits\": "), std::string::npos);
    EXPECT_NE(r.out.find("\"Multitexture\": {\"value\": 6, \"usable\": true, \"advertised\": true}"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\"BufferRegion\": {\"value\": 0, \"usable\": false, \"advertised\": false}"),
              std::string::npos);
    EXPECT_NE(r.out.find("\"Pbuffer\": {\"value\": 2, \"usable\": true, \"advertised\": false}"),
              std::string::npos);
    EXPECT_EQ(r.out.back(), '\n');
    EXPECT_EQ(RunMirel({"glinfo", "extra"}).exitCode, 2);
}
