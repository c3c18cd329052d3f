#include <gtest/gtest.h>

#include "tests/support/GlTestWindow.h"

TEST(GlSmoke, ClearReadsBack) {
    GlTestWindow w(32, 32);
    ASSERT_TRUE(w.Ok()) << w.Error();
    T3dClearValues v{};
    v.Flags = 1;
    v.Color = {1.0f, 0.0f, 0.0f, 1.0f};
    w.Context()->SetClearValues(v);
    w.Context()->Clear(1);
    EXPECT_TRUE(NearColor(w.Pixel(5, 5), 255, 0, 0)) << std::hex << w.Pixel(5, 5);
}
