#include "scene/math/Colors.h"

TColor4 TColors::MakeColor(float r, float g, float b, float a) {
    return {r, g, b, a};
}

void TColors::Scale(const TColor4& c, float s, TColor4& out) {
    float r = c.r * s, g = c.g * s, b = c.b * s;
    out.r = r;
    out.g = g;
    out.b = b;
}

TColor4 TColors::Modulate(const TColor4& a, const TColor4& b) {
    return {a.r * b.r, a.g * b.g, a.b * b.b, a.a * b.a};
}

float TColors::Luminance(float r, float g, float b) {
    float l = static_cast<float>(0.3412 * r + 0.498 * g + 0.161 * b);
    return l < 1.0f ? l : 1.0f;
}

float TColors::Luminance(const TColor4& c) {
    return Luminance(c.r, c.g, c.b);
}

TColor4 TColors::Grey(const TColor4& c) {
    float l = Luminance(c);
    return {l, l, l, c.a};
}
