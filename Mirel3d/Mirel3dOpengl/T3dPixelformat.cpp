#include "Mirel3d/Mirel3dOpengl/T3dPixelformat.h"

#include <GL/glx.h>

static int Larger(int32_t a, int32_t b) {
    return a > b ? -1 : a < b ? 1 : 0;
}
static int TrueFirst(bool a, bool b) {
    return a == b ? 0 : a ? -1 : 1;
}

int ComparePixelformats(const T3dPixelformat& a, const T3dPixelformat& b, uint8_t key) {
    switch (key) {
    case pfkColorBits:
        return Larger(a.ColorBits, b.ColorBits);
    case pfkDepthBits:
        return Larger(a.DepthBits, b.DepthBits);
    case pfkDoubleBuffer:
        return TrueFirst(a.DoubleBuffer, b.DoubleBuffer);
    case pfkStereo:
        return TrueFirst(a.Stereo, b.Stereo);
    case pfkMono:
        return TrueFirst(!a.Stereo, !b.Stereo);
    case pfkAccelerated:
        return TrueFirst(a.Accelerated, b.Accelerated);
    case pfkSoftware:
        return TrueFirst(!a.Accelerated, !b.Accelerated);
    case pfkStencilBits:
        return Larger(a.StencilBits, b.StencilBits);
    case pfkAlphaBits:
        return Larger(a.AlphaBits, b.AlphaBits);
    default:
        return 0;
    }
}

// Top-down merge sort of [first, last]: split at floor((first + last) / 2),
// merge taking the left candidate when it compares <= 0, so equal elements
// keep their order.
void T3dPixelformats::MergeSort(int first, int last, uint8_t key, std::vector<T3dPixelformat>& temp) {
    if (first >= last) return;
    int middle = (first + last) >> 1;
    MergeSort(first, middle, key, temp);
    MergeSort(middle + 1, last, key, temp);
    for (int i = first; i <= last; i++)
        temp[size_t(i)] = Items[size_t(i)];
    int l = first, r = middle + 1, out = first;
    while (l <= middle && r <= last) {
        if (ComparePixelformats(temp[size_t(l)], temp[size_t(r)], key) <= 0)
            Items[size_t(out++)] = temp[size_t(l++)];
        else
            Items[size_t(out++)] = temp[size_t(r++)];
    }
    while (l <= middle)
        Items[size_t(out++)] = temp[size_t(l++)];
    while (r <= last)
        Items[size_t(out++)] = temp[size_t(r++)];
}

void T3dPixelformats::Sort(const uint8_t* keys, int count) {
    if (Items.size() < 2) return;
    std::vector<T3dPixelformat> temp(Items.size());
    for (int k = 0; k < count; k++)
        MergeSort(0, int(Items.size()) - 1, keys[k], temp);
}

int32_t T3dPixelformats::ChooseForWindow(const T3dDeviceMode& mode) {
    uint8_t keys[8];
    int n = 0;
    keys[n++] = pfkAlphaBits;
    keys[n++] = pfkStencilBits;
    keys[n++] = pfkDepthBits;
    keys[n++] = pfkColorBits;
    keys[n++] = mode.Stereo ? pfkStereo : pfkMono;
    if (mode.DoubleBuffer > 0) keys[n++] = pfkDoubleBuffer;
    keys[n++] = mode.PreferSoftware ? pfkSoftware : pfkAccelerated;
    Sort(keys, n);
    return Items.empty() ? 0 : Items[0].Index;
}

void T3dOpenglPixelformats::Enumerate(void* displayHandle, int screen) {
    Display* display = static_cast<Display*>(displayHandle);
    if (!display) return;
    int count = 0;
    GLXFBConfig* configs = glXGetFBConfigs(display, screen, &count);
    if (!configs) return;
    for (int i = 0; i < count; i++) {
        auto attr = [&](int name) {
            int value = 0;
            glXGetFBConfigAttrib(display, configs[i], name, &value);
            return value;
        };
        T3dOpenglPixelformat f;
        f.Index = i + 1;
        f.DoubleBuffer = attr(GLX_DOUBLEBUFFER) != 0;
        f.Stereo = attr(GLX_STEREO) != 0;
        int drawable = attr(GLX_DRAWABLE_TYPE);
        f.DrawToWindow = (drawable & GLX_WINDOW_BIT) != 0;
        f.DrawToBitmap = (drawable & GLX_PIXMAP_BIT) != 0;
        f.Accelerated = attr(GLX_CONFIG_CAVEAT) != GLX_SLOW_CONFIG;
        f.RedBits = attr(GLX_RED_SIZE);
        f.GreenBits = attr(GLX_GREEN_SIZE);
        f.BlueBits = attr(GLX_BLUE_SIZE);
        f.AlphaBits = attr(GLX_ALPHA_SIZE);
        f.ColorBits = attr(GLX_BUFFER_SIZE);
        f.DepthBits = attr(GLX_DEPTH_SIZE);
        f.StencilBits = attr(GLX_STENCIL_SIZE);
        Add(f);
    }
    XFree(configs);
}
