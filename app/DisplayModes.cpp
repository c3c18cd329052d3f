#include "app/DisplayModes.h"

#include "platform/Format.h"

#include <SDL.h>

#include <algorithm>
#include <tuple>

std::vector<TDisplaySetting> EnumerateDisplayModes() {
    std::vector<TDisplaySetting> modes;
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return modes;
    int count = SDL_GetNumDisplayModes(0);
    for (int n = 0; n < count; ++n) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, n, &m) != 0) break; // the enumeration ends at the first failure
        TDisplaySetting s;
        s.modeNumber = n;
        s.width = m.w;
        s.height = m.h;
        s.bitsPerPixel = static_cast<int32_t>(SDL_BITSPERPIXEL(m.format));
        s.refreshRate = m.refresh_rate;
        modes.push_back(s);
    }
    return modes;
}

bool OffersSize(const std::vector<TDisplaySetting>& modes, int32_t width, int32_t height, std::string& why) {
    why.clear();
    std::vector<std::pair<int32_t, int32_t>> sizes;
    for (const TDisplaySetting& m : modes) {
        if (m.width == width && m.height == height) return true;
        if (std::find(sizes.begin(), sizes.end(), std::make_pair(m.width, m.height)) == sizes.end())
            sizes.emplace_back(m.width, m.height);
    }
    if (sizes.empty()) {
        why = "the display lists no modes";
        return false;
    }
    // Nearest by the distance between the two corners, the smaller size
    // first when two are as near.
    auto distance = [&](const std::pair<int32_t, int32_t>& s) {
        double dx = double(s.first) - width, dy = double(s.second) - height;
        return dx * dx + dy * dy;
    };
    std::stable_sort(sizes.begin(), sizes.end(), [&](const auto& a, const auto& b) {
        double da = distance(a), db = distance(b);
        return da != db ? da < db : a < b;
    });
    if (sizes.size() > 3) sizes.resize(3);
    why = sizes.size() == 1 ? "no display mode has this size; the only one is "
                            : "no display mode has this size; the nearest are ";
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (i > 0) why += i + 1 == sizes.size() ? " and " : ", ";
        why += Format("%dx%d", sizes[i].first, sizes[i].second);
    }
    return false;
}

// ---------------------------------------------------------------------------

TDisplaySettings::TDisplaySettings(const std::vector<TDisplaySetting>& reported) {
    for (const TDisplaySetting& m : reported)
        if (m.bitsPerPixel >= 8) modes_.push_back(m);
    // Ascending by width, height, depth and rate, compared as unsigned values
    // (as the platform's mode records hold them).
    auto key = [](const TDisplaySetting& m) {
        return std::make_tuple(static_cast<uint32_t>(m.width), static_cast<uint32_t>(m.height),
                               static_cast<uint32_t>(m.bitsPerPixel), static_cast<uint32_t>(m.refreshRate));
    };
    std::stable_sort(modes_.begin(), modes_.end(),
                     [&](const TDisplaySetting& a, const TDisplaySetting& b) { return key(a) < key(b); });
    const TDisplaySetting* last = nullptr;
    for (TDisplaySetting& m : modes_) {
        if (!last || m.width != last->width || m.height != last->height) {
            sizes_.push_back(&m);
            last = &m;
        }
    }
}

TDisplaySetting* TDisplaySettings::At(int index) {
    if (index < 0 || index >= Count()) return nullptr;
    return &modes_[static_cast<size_t>(index)];
}

const std::vector<TDisplaySetting*>& TDisplaySettings::DepthsOf(const TDisplaySetting& mode) {
    depths_.clear();
    const TDisplaySetting* last = nullptr;
    for (TDisplaySetting& m : modes_) {
        if (m.width != mode.width || m.height != mode.height) continue;
        if (!last || m.bitsPerPixel != last->bitsPerPixel) {
            depths_.push_back(&m);
            last = &m;
        }
    }
    return depths_;
}

const std::vector<TDisplaySetting*>& TDisplaySettings::RatesOf(const TDisplaySetting& mode) {
    rates_.clear();
    for (TDisplaySetting& m : modes_)
        if (m.width == mode.width && m.height == mode.height && m.bitsPerPixel == mode.bitsPerPixel)
            rates_.push_back(&m);
    return rates_;
}

// ---------------------------------------------------------------------------

void TDisplayModePanel::InitModes(const std::string& defaultSize) {
    InitModes(defaultSize, EnumerateDisplayModes());
}

void TDisplayModePanel::InitModes(const std::string& defaultSize,
                                  const std::vector<TDisplaySetting>& reported) {
    settings_ = std::make_unique<TDisplaySettings>(reported);
    sizes_.clear();
    for (TDisplaySetting* m : settings_->UniqueSizes())
        sizes_.push_back({Format("%d x %d", m->width, m->height), m});
    sizeIndex_ = -1;
    for (size_t i = 0; i < sizes_.size(); ++i) {
        if (sizes_[i].text == defaultSize) {
            sizeIndex_ = static_cast<int>(i);
            break;
        }
    }
    if (sizeIndex_ < 0 && !sizes_.empty()) sizeIndex_ = static_cast<int>(sizes_.size() / 2);
    SizeChanged();
}

void TDisplayModePanel::SelectSize(int index) {
    if (index < 0 || index >= static_cast<int>(sizes_.size())) return;
    sizeIndex_ = index;
    SizeChanged();
}

void TDisplayModePanel::SelectDepth(int index) {
    if (index >= 0 && index < static_cast<int>(depths_.size())) depthIndex_ = index;
}

void TDisplayModePanel::SelectRate(int index) {
    if (index >= 0 && index < static_cast<int>(rates_.size())) rateIndex_ = index;
}

// Refills the rate and depth lists for the selected size and selects the
// last entry of each. The rates offered are those of the size's lowest depth.
void TDisplayModePanel::SizeChanged() {
    rates_.clear();
    depths_.clear();
    rateIndex_ = depthIndex_ = -1;
    if (sizeIndex_ < 0) return;
    const TDisplaySetting& size = *sizes_[static_cast<size_t>(sizeIndex_)].mode;
    for (TDisplaySetting* m : settings_->RatesOf(size))
        rates_.push_back({Format("%d", m->refreshRate), m});
    rateIndex_ = static_cast<int>(rates_.size()) - 1;
    for (TDisplaySetting* m : settings_->DepthsOf(size))
        if (m->bitsPerPixel > 8) depths_.push_back({Format("%d", m->bitsPerPixel), m});
    depthIndex_ = static_cast<int>(depths_.size()) - 1;
}

TDisplaySetting TDisplayModePanel::SelectedMode() {
    if (sizeIndex_ < 0) {
        TDisplaySetting fallback;
        fallback.modeNumber = -1;
        fallback.width = 640;
        fallback.height = 480;
        fallback.bitsPerPixel = 32;
        return fallback;
    }
    TDisplaySetting* mode = depthIndex_ >= 0 ? depths_[static_cast<size_t>(depthIndex_)].mode
                                             : sizes_[static_cast<size_t>(sizeIndex_)].mode;
    if (rateIndex_ >= 0) mode->refreshRate = rates_[static_cast<size_t>(rateIndex_)].mode->refreshRate;
    return *mode;
}
