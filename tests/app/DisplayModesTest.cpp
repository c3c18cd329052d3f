// The chooser's mode lists, driven by injected adapter mode lists: filtering,
// sorting, distinct sizes, depth and rate lists, default selection and the
// mode the chooser hands back.
#include "app/DisplayModes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

namespace {

// Modes in the order an adapter might report them; mode numbers are the
// positions in this list.
std::vector<TDisplaySetting> Reported(std::vector<std::array<int, 4>> list) {
    std::vector<TDisplaySetting> modes;
    for (const auto& m : list) {
        TDisplaySetting s;
        s.modeNumber = static_cast<int32_t>(modes.size());
        s.width = m[0];
        s.height = m[1];
        s.bitsPerPixel = m[2];
        s.refreshRate = m[3];
        modes.push_back(s);
    }
    return modes;
}

std::vector<std::string> Texts(const std::vector<TModeListEntry>& entries) {
    std::vector<std::string> texts;
    for (const TModeListEntry& e : entries)
        texts.push_back(e.text);
    return texts;
}

// Every size at 16 and 32 bits and 60 and 75 Hz, listed from the top down so
// that sorting has work to do.
std::vector<TDisplaySetting> Adapter(std::vector<std::pair<int, int>> sizes) {
    std::vector<std::array<int, 4>> list;
    std::reverse(sizes.begin(), sizes.end());
    for (auto [w, h] : sizes)
        for (int bits : {32, 16})
            for (int rate : {75, 60})
                list.push_back({w, h, bits, rate});
    return Reported(list);
}

} // namespace

TEST(DisplayModes, ThreeSizesAtTwoDepthsAndTwoRatesGiveTheDefaultChoice) {
    TDisplayModePanel panel;
    panel.InitModes(TDisplayModePanel::kDefaultSize, Adapter({{640, 480}, {800, 600}, {1024, 768}}));
    EXPECT_EQ(Texts(panel.Sizes()), (std::vector<std::string>{"640 x 480", "800 x 600", "1024 x 768"}));
    EXPECT_EQ(panel.SizeIndex(), 1);
    EXPECT_EQ(Texts(panel.Rates()), (std::vector<std::string>{"60", "75"}));
    EXPECT_EQ(panel.RateIndex(), 1);
    EXPECT_EQ(Texts(panel.Depths()), (std::vector<std::string>{"16", "32"}));
    EXPECT_EQ(panel.DepthIndex(), 1);
    TDisplaySetting chosen = panel.SelectedMode();
    EXPECT_EQ(chosen.width, 800);
    EXPECT_EQ(chosen.height, 600);
    EXPECT_EQ(chosen.bitsPerPixel, 32);
    EXPECT_EQ(chosen.refreshRate, 75);
}

TEST(DisplayModes, WithoutTheDefaultSizeTheMiddleEntryIsSelected) {
    TDisplayModePanel panel;
    panel.InitModes("800 x 600", Adapter({{640, 480}, {1024, 768}, {1152, 864}, {1280, 1024}, {1600, 1200}}));
    ASSERT_EQ(panel.Sizes().size(), 5u);
    EXPECT_EQ(panel.SizeIndex(), 2);
    EXPECT_EQ(panel.Sizes()[2].text, "1152 x 864");

    panel.InitModes("800 x 600", Adapter({{640, 480}, {1024, 768}, {1280, 1024}, {1600, 1200}}));
    EXPECT_EQ(panel.SizeIndex(), 2);

    // The default found at index 0 counts as found.
    panel.InitModes("800 x 600", Adapter({{800, 600}, {1024, 768}, {1280, 1024}}));
    EXPECT_EQ(panel.SizeIndex(), 0);
    // The match is on the exact text.
    panel.InitModes("800x600", Adapter({{800, 600}, {1024, 768}, {1280, 1024}}));
    EXPECT_EQ(panel.SizeIndex(), 1);
}

TEST(DisplayModes, SortingDistinctSizesAndThe8BitRule) {
    TDisplaySettings settings(Reported({
        {1280, 1024, 32, 60},
        {1280, 720, 32, 60},
        {320, 200, 4, 70}, // below 8 bits: dropped
        {1024, 768, 8, 60},
        {1024, 768, 16, 85},
        {1024, 768, 16, 60},
        {1024, 768, 32, 60},
        {1280, 720, 16, 50},
    }));
    ASSERT_EQ(settings.Count(), 7);
    EXPECT_EQ(settings.At(7), nullptr);
    EXPECT_EQ(settings.At(-1), nullptr);
    // Width, then height, then depth, then rate.
    const int order[][4] = {{1024, 768, 8, 60},  {1024, 768, 16, 60}, {1024, 768, 16, 85},
                            {1024, 768, 32, 60}, {1280, 720, 16, 50}, {1280, 720, 32, 60},
                            {1280, 1024, 32, 60}};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(settings.At(i)->width, order[i][0]);
        EXPECT_EQ(settings.At(i)->height, order[i][1]);
        EXPECT_EQ(settings.At(i)->bitsPerPixel, order[i][2]);
        EXPECT_EQ(settings.At(i)->refreshRate, order[i][3]);
    }
    EXPECT_EQ(settings.At(0)->modeNumber, 3); // the platform's number stays with the mode

    // Each size is represented by its lowest depth at its lowest rate.
    const auto& sizes = settings.UniqueSizes();
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes[0], settings.At(0));
    EXPECT_EQ(sizes[1], settings.At(4));
    EXPECT_EQ(sizes[2], settings.At(6));

    // The depth query takes one mode per depth, the rate query every rate of
    // one depth.
    const auto& depths = settings.DepthsOf(*settings.At(0));
    ASSERT_EQ(depths.size(), 3u);
    EXPECT_EQ(depths[0]->bitsPerPixel, 8);
    EXPECT_EQ(depths[1], settings.At(1));
    EXPECT_EQ(depths[2]->bitsPerPixel, 32);
    const auto& rates = settings.RatesOf(*settings.At(1));
    ASSERT_EQ(rates.size(), 2u);
    EXPECT_EQ(rates[1]->refreshRate, 85);

    // In the panel the 8-bit mode gives a size but no depth entry.
    TDisplayModePanel panel;
    panel.InitModes("1024 x 768", Reported({{1024, 768, 8, 60}, {1024, 768, 16, 60}, {640, 480, 8, 60}}));
    EXPECT_EQ(Texts(panel.Sizes()), (std::vector<std::string>{"640 x 480", "1024 x 768"}));
    EXPECT_EQ(Texts(panel.Depths()), (std::vector<std::string>{"16"}));
    // The rates offered are those of the size's lowest depth (8 bits here).
    EXPECT_EQ(Texts(panel.Rates()), (std::vector<std::string>{"60"}));
}

TEST(DisplayModes, RatesComeFromTheLowestDepthAndTheChoiceCombinesTheLists) {
    TDisplayModePanel panel;
    panel.InitModes("800 x 600", Reported({{800, 600, 16, 60}, {800, 600, 32, 60}, {800, 600, 32, 85}}));
    EXPECT_EQ(Texts(panel.Rates()), (std::vector<std::string>{"60"}));
    EXPECT_EQ(Texts(panel.Depths()), (std::vector<std::string>{"16", "32"}));

    // A depth whose modes have other rates than the list: the combination is
    // returned whether or not the adapter lists it.
    panel.InitModes("800 x 600", Reported({{800, 600, 16, 60}, {800, 600, 16, 75}, {800, 600, 32, 60}}));
    panel.SelectDepth(1);
    panel.SelectRate(1);
    TDisplaySetting chosen = panel.SelectedMode();
    EXPECT_EQ(chosen.bitsPerPixel, 32);
    EXPECT_EQ(chosen.refreshRate, 75);
    EXPECT_EQ(chosen.modeNumber, 2);
    // Out-of-range picks change nothing.
    panel.SelectDepth(5);
    panel.SelectRate(-1);
    EXPECT_EQ(panel.DepthIndex(), 1);
    EXPECT_EQ(panel.RateIndex(), 1);
}

TEST(DisplayModes, PickingAnotherSizeRefillsDepthsAndRates) {
    TDisplayModePanel panel;
    panel.InitModes("800 x 600", Reported({{800, 600, 16, 60},
                                           {800, 600, 32, 60},
                                           {1024, 768, 32, 60},
                                           {1024, 768, 32, 70},
                                           {1024, 768, 32, 85}}));
    panel.SelectRate(0);
    panel.SelectSize(1);
    EXPECT_EQ(Texts(panel.Depths()), (std::vector<std::string>{"32"}));
    EXPECT_EQ(Texts(panel.Rates()), (std::vector<std::string>{"60", "70", "85"}));
    EXPECT_EQ(panel.RateIndex(), 2);
    TDisplaySetting chosen = panel.SelectedMode();
    EXPECT_EQ(chosen.width, 1024);
    EXPECT_EQ(chosen.refreshRate, 85);
    panel.SelectSize(7); // ignored
    EXPECT_EQ(panel.SizeIndex(), 1);
}

TEST(DisplayModes, EmptyListsStillGiveAMode) {
    TDisplayModePanel panel;
    panel.InitModes("800 x 600", {});
    EXPECT_TRUE(panel.Sizes().empty());
    EXPECT_EQ(panel.SizeIndex(), -1);
    TDisplaySetting chosen = panel.SelectedMode();
    EXPECT_EQ(chosen.modeNumber, -1);
    EXPECT_EQ(chosen.width, 640);
    EXPECT_EQ(chosen.height, 480);

    // Only 8-bit modes: no depth entry, the size's own mode is taken.
    panel.InitModes("800 x 600", Reported({{800, 600, 8, 60}, {800, 600, 8, 72}}));
    EXPECT_TRUE(panel.Depths().empty());
    chosen = panel.SelectedMode();
    EXPECT_EQ(chosen.width, 800);
    EXPECT_EQ(chosen.bitsPerPixel, 8);
    EXPECT_EQ(chosen.refreshRate, 72);
}

TEST(DisplayModes, ASizeNoModeHasNamesTheNearestOnes) {
    const std::vector<TDisplaySetting> modes = {{0, 640, 480, 32, 60},   {1, 800, 600, 16, 60},
                                                {2, 800, 600, 32, 75},   {3, 1024, 768, 32, 60},
                                                {4, 1280, 1024, 32, 60}, {5, 1920, 1080, 32, 60}};
    struct Case {
        int width, height;
        bool offered;
        const char* why;
    } cases[] = {
        {800, 600, true, ""},
        {1000, 700, false, "no display mode has this size; the nearest are 1024x768, 800x600 and 640x480"},
        {600, 400, false, "no display mode has this size; the nearest are 640x480, 800x600 and 1024x768"},
        {4000, 3000, false,
         "no display mode has this size; the nearest are 1920x1080, 1280x1024 and 1024x768"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        std::string why = "stale";
        EXPECT_EQ(OffersSize(modes, c.width, c.height, why), c.offered);
        EXPECT_EQ(why, c.why);
    }
    std::string why;
    EXPECT_FALSE(OffersSize({modes[3]}, 800, 600, why));
    EXPECT_EQ(why, "no display mode has this size; the only one is 1024x768");
    EXPECT_FALSE(OffersSize({}, 800, 600, why));
    EXPECT_EQ(why, "the display lists no modes");
}
