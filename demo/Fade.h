// TFade: the effect kind scripts name "TFade". It covers the whole screen
// with one colour whose alpha blends it over what was drawn before it in the
// frame: fades to and from a colour, white blinks on the beat, overlays. The
// colour, alpha included, is the effect's control "color" at the part's
// local time.
//
// A fade without a "color" value (or with a value that is not a colour)
// draws nothing; as the first part of a frame it still clears the frame.
#pragma once

#include "demo/DemoEffect.h"

// The named values the fade reads: its colour.
inline constexpr TEffectValueInfo kFadeColor{"color", evColor, true};
inline constexpr TEffectValueInfo kFadeValues[] = {kFadeColor};

class TFade : public TDemoEffect {
public:
    static TRefPtr<IDemoEffect> CreateInstance();

    // Builds the screen square: a 2 x 2 plane around the origin, one strip
    // of four indices, positions only.
    void Load() override;
    void Render(bool first) override;

    // The colour drawn at the current local time; false when there is none.
    bool CurrentColor(T3dColor& color);

protected:
    ~TFade() override = default;

private:
    TRefPtr<I3dObjectBuffer> planeBuffer_;
    TRefPtr<I3dFaceList> planeFaces_;
};
