// Display modes for the mode chooser: the list of modes the display reports,
// its derived lists (distinct sizes, colour depths of a size, refresh rates of
// a size and depth), and the chooser panel's three lists built from them.
//
// Everything here works on a list of modes handed in, so the rules can be
// exercised with any adapter's list; EnumerateDisplayModes reads the real one
// from SDL.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One display mode.
struct TDisplaySetting {
    int32_t modeNumber = 0; // the index under which the platform enumerated it
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    int32_t refreshRate = 0;
};

// The modes of display 0 as SDL reports them, in SDL's order, with their
// enumeration index as mode number (bits per pixel of the mode's format).
// Empty when the video subsystem is not available.
std::vector<TDisplaySetting> EnumerateDisplayModes();

// Whether some mode has the size width × height. When none has, explains
// it in why: "no display mode has this size; the nearest are 1024x768,
// 800x600 and 640x480" (up to three distinct sizes, nearest first).
bool OffersSize(const std::vector<TDisplaySetting>& modes, int32_t width, int32_t height, std::string& why);

// The display's modes (at least 8 bits per pixel) sorted by width, height,
// bits per pixel and refresh rate, with the derived lists. The derived lists
// point into the owned list and stay valid as long as the object.
class TDisplaySettings {
public:
    // Takes the modes as the platform enumerated them, in its order.
    explicit TDisplaySettings(const std::vector<TDisplaySetting>& reported);
    TDisplaySettings(const TDisplaySettings&) = delete;
    TDisplaySettings& operator=(const TDisplaySettings&) = delete;

    int Count() const { return static_cast<int>(modes_.size()); }
    // The mode at index in sorted order; nullptr outside the list.
    TDisplaySetting* At(int index);

    // One mode per distinct width × height: the one with the lowest depth and,
    // within it, the lowest rate.
    const std::vector<TDisplaySetting*>& UniqueSizes() const { return sizes_; }
    // The modes of mode's size, one per colour depth (the lowest rate of each).
    const std::vector<TDisplaySetting*>& DepthsOf(const TDisplaySetting& mode);
    // The modes of mode's size and depth, one per refresh rate.
    const std::vector<TDisplaySetting*>& RatesOf(const TDisplaySetting& mode);

private:
    std::vector<TDisplaySetting> modes_;
    std::vector<TDisplaySetting*> sizes_;
    std::vector<TDisplaySetting*> depths_;
    std::vector<TDisplaySetting*> rates_;
};

// One entry of a drop-down list: its text and the mode it carries.
struct TModeListEntry {
    std::string text;
    TDisplaySetting* mode = nullptr;
};

// The chooser's display-mode panel: three lists (sizes, colour depths,
// refresh rates) and their selections. Index -1 means nothing is selected.
class TDisplayModePanel {
public:
    // The default size the chooser asks for.
    static constexpr const char* kDefaultSize = "800 x 600";

    TDisplayModePanel() = default;
    TDisplayModePanel(const TDisplayModePanel&) = delete;
    TDisplayModePanel& operator=(const TDisplayModePanel&) = delete;

    // Fills the lists from the display's modes (from SDL) and selects the
    // entry whose text is defaultSize, or the middle entry when none is.
    void InitModes(const std::string& defaultSize);
    // The same from a given list of modes in the platform's order.
    void InitModes(const std::string& defaultSize, const std::vector<TDisplaySetting>& reported);

    // Picks another size (index into Sizes()) and refills the other lists.
    void SelectSize(int index);
    // Picking a depth or a rate refills nothing.
    void SelectDepth(int index);
    void SelectRate(int index);

    // The selected size at the selected depth with the selected rate. The
    // depth entry's mode record takes the rate (it is changed in place).
    // Without a depth entry (every mode of the size has 8 bits per pixel) the
    // size's own mode is taken instead; without any mode at all the result is
    // 640 × 480 at 32 bits with rate 0 and mode number -1.
    TDisplaySetting SelectedMode();

    const std::vector<TModeListEntry>& Sizes() const { return sizes_; }
    const std::vector<TModeListEntry>& Depths() const { return depths_; }
    const std::vector<TModeListEntry>& Rates() const { return rates_; }
    int SizeIndex() const { return sizeIndex_; }
    int DepthIndex() const { return depthIndex_; }
    int RateIndex() const { return rateIndex_; }

private:
    void SizeChanged();

    std::unique_ptr<TDisplaySettings> settings_;
    std::vector<TModeListEntry> sizes_, depths_, rates_;
    int sizeIndex_ = -1, depthIndex_ = -1, rateIndex_ = -1;
};
