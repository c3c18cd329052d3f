// Operations on RGBA colours with 0..1 float components.
#pragma once

#include "scene/math/MathTypes.h"

class TColors {
public:
    static constexpr TColor4 White = {1.0f, 1.0f, 1.0f, 1.0f};
    static constexpr TColor4 Black = {0.0f, 0.0f, 0.0f, 1.0f};

    static TColor4 MakeColor(float r, float g, float b, float a);

    // Writes (c.r*s, c.g*s, c.b*s) into out and leaves out.a as it was: the
    // caller sets alpha itself.
    static void Scale(const TColor4& c, float s, TColor4& out);

    // Component-wise product of all four components.
    static TColor4 Modulate(const TColor4& a, const TColor4& b);

    // min(1, 0.3412 r + 0.498 g + 0.161 b): the brightness weights the system
    // uses everywhere it judges a colour. Alpha is ignored.
    static float Luminance(const TColor4& c);
    static float Luminance(float r, float g, float b);

    // (l, l, l, c.a) with l = Luminance(c).
    static TColor4 Grey(const TColor4& c);
};
