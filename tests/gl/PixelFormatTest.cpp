// Pixel-format ranking and the whole-word extension test: pure logic.
#include <gtest/gtest.h>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/T3dPixelformat.h"

namespace {

T3dPixelformat Fmt(int index, int color, int depth, int stencil, int alpha, bool db, bool stereo,
                   bool accel) {
    T3dPixelformat f;
    f.Index = index;
    f.ColorBits = color;
    f.DepthBits = depth;
    f.StencilBits = stencil;
    f.AlphaBits = alpha;
    f.DoubleBuffer = db;
    f.Stereo = stereo;
    f.Accelerated = accel;
    return f;
}

T3dDeviceMode Mode(int doubleBuffer, bool stereo, bool software) {
    T3dDeviceMode m{};
    m.DoubleBuffer = doubleBuffer;
    m.Stereo = stereo;
    m.PreferSoftware = software;
    return m;
}

} // namespace

TEST(PixelFormats, KeyAppliedLastIsMostSignificant) {
    T3dPixelformats list;
    list.Add(Fmt(1, 32, 16, 0, 0, true, false, true));
    list.Add(Fmt(2, 16, 24, 0, 0, true, false, true));
    // Depth then colour: colour decides, depth breaks ties.
    const uint8_t keys[] = {pfkDepthBits, pfkColorBits};
    list.Sort(keys, 2);
    EXPECT_EQ(list.Item(0).Index, 1);
    const uint8_t keys2[] = {pfkColorBits, pfkDepthBits};
    list.Sort(keys2, 2);
    EXPECT_EQ(list.Item(0).Index, 2);
}

TEST(PixelFormats, SortIsStableAndEqualFormatsKeepLowerNumberFirst) {
    T3dPixelformats list;
    for (int i = 1; i <= 9; i++)
        list.Add(Fmt(i, 32, 24, 8, 8, true, false, true));
    EXPECT_EQ(list.ChooseForWindow(Mode(1, false, false)), 1);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(list.Item(i).Index, i + 1);
    T3dPixelformats empty;
    EXPECT_EQ(empty.ChooseForWindow(Mode(1, false, false)), 0);
}

TEST(PixelFormats, WindowChoiceOrderOfKeys) {
    T3dPixelformats list;
    list.Add(Fmt(1, 32, 24, 8, 8, false, false, true)); // single-buffered
    list.Add(Fmt(2, 32, 24, 8, 8, true, true, true));   // stereo
    list.Add(Fmt(3, 32, 24, 8, 8, true, false, false)); // software
    list.Add(Fmt(4, 32, 24, 8, 8, true, false, true));  // the one a plain window wants
    list.Add(Fmt(5, 32, 24, 0, 8, true, false, true));  // no stencil
    EXPECT_EQ(list.ChooseForWindow(Mode(1, false, false)), 4);
    // Accelerated first wins over everything else.
    T3dPixelformats list2;
    list2.Add(Fmt(1, 32, 24, 8, 8, true, false, false));
    list2.Add(Fmt(2, 16, 0, 0, 0, false, true, true));
    EXPECT_EQ(list2.ChooseForWindow(Mode(1, false, false)), 2);
    EXPECT_EQ(list2.ChooseForWindow(Mode(1, false, true)), 1);
    // Without a double-buffer request, double buffering does not rank.
    T3dPixelformats list3;
    list3.Add(Fmt(1, 32, 24, 8, 8, false, false, true));
    list3.Add(Fmt(2, 32, 24, 8, 8, true, false, true));
    EXPECT_EQ(list3.ChooseForWindow(Mode(0, false, false)), 1);
    T3dPixelformats list4;
    list4.Add(Fmt(1, 32, 24, 8, 8, false, false, true));
    list4.Add(Fmt(2, 32, 24, 8, 8, true, false, true));
    EXPECT_EQ(list4.ChooseForWindow(Mode(1, false, false)), 2);
    // Stereo request puts stereo first; the alpha key ranks below colour.
    T3dPixelformats list5;
    list5.Add(Fmt(1, 32, 24, 8, 8, true, false, true));
    list5.Add(Fmt(2, 24, 24, 8, 0, true, true, true));
    EXPECT_EQ(list5.ChooseForWindow(Mode(1, true, false)), 2);
    EXPECT_EQ(list5.ChooseForWindow(Mode(1, false, false)), 1);
}

TEST(PixelFormats, MergeSortOrdersLargeLists) {
    T3dPixelformats list;
    for (int i = 1; i <= 37; i++)
        list.Add(Fmt(i, (i * 7) % 5 * 8, 0, 0, 0, false, false, true));
    const uint8_t keys[] = {pfkColorBits};
    list.Sort(keys, 1);
    for (int i = 1; i < list.Count(); i++) {
        ASSERT_GE(list.Item(i - 1).ColorBits, list.Item(i).ColorBits);
        if (list.Item(i - 1).ColorBits == list.Item(i).ColorBits) {
            ASSERT_LT(list.Item(i - 1).Index, list.Item(i).Index);
        }
    }
}

TEST(Extensions, WholeWordMatch) {
    const char* list = "GL_ARB_multitexture GL_EXT_texture3D GL_ARB_shadow_ambient GL_ARB_shadow";
    EXPECT_TRUE(HasExtension(list, "GL_ARB_multitexture")); // first word
    EXPECT_TRUE(HasExtension(list, "GL_ARB_shadow"));       // last word, after a longer one
    EXPECT_TRUE(HasExtension(list, "GL_EXT_texture3D"));
    EXPECT_FALSE(HasExtension(list, "GL_ARB_multi")); // beginning of a word
    EXPECT_FALSE(HasExtension(list, "texture3D"));    // end of a word
    EXPECT_FALSE(HasExtension(list, "GL_ARB_shadow_amb"));
    EXPECT_FALSE(HasExtension(list, ""));
    EXPECT_FALSE(HasExtension(list, "GL_ARB_multitexture GL_EXT_texture3D")); // contains a blank
    EXPECT_FALSE(HasExtension(nullptr, "GL_ARB_shadow"));
    EXPECT_TRUE(HasExtension("GL_X", "GL_X"));
}
