// Pixel formats: T3dPixelformat describes one frame-buffer configuration,
// T3dPixelformats is an owned list with a stable merge sort by key codes and
// the window choice, T3dOpenglPixelformats enumerates the GLX frame-buffer
// configurations of a display.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Mirel3d/Mirel3dBase/Mirel3dTypes.h"

struct T3dPixelformat {
    bool Stereo = false;
    bool DrawToWindow = false;
    bool DrawToBitmap = false;
    bool DoubleBuffer = false;
    bool Accelerated = false;
    int32_t AlphaBits = 0;
    int32_t ColorBits = 0;
    int32_t StencilBits = 0;
    int32_t Index = 0; // 1-based number of the format
    int32_t DepthBits = 0;
    // Channel sizes handed to SDL when the format is chosen.
    int32_t RedBits = 0, GreenBits = 0, BlueBits = 0;
};

struct T3dOpenglPixelformat : T3dPixelformat {};

// Sort key codes; the key applied last is the most significant.
enum T3dPixelformatKey : uint8_t {
    pfkColorBits = 0,    // larger first
    pfkDepthBits = 1,    // larger first
    pfkDoubleBuffer = 2, // double-buffered first
    pfkStereo = 3,       // stereo first
    pfkMono = 4,         // non-stereo first
    pfkAccelerated = 5,  // accelerated first
    pfkSoftware = 6,     // non-accelerated first
    pfkStencilBits = 7,  // larger first
    pfkAlphaBits = 8,    // larger first
};

// <0 when a goes before b under the key, >0 when after, 0 when equal.
int ComparePixelformats(const T3dPixelformat& a, const T3dPixelformat& b, uint8_t key);

class T3dPixelformats {
public:
    virtual ~T3dPixelformats() = default;
    void Add(const T3dPixelformat& format) { Items.push_back(format); }
    int32_t Count() const { return int32_t(Items.size()); }
    const T3dPixelformat& Item(int32_t i) const { return Items[size_t(i)]; }
    // One full stable sort per key, in the order given.
    void Sort(const uint8_t* keys, int count);
    // Ranks for a window: keys 8, 7, 1, 0, then stereo or mono, then double
    // buffering when asked for, then software or accelerated. Returns the
    // position 0 format's Index, or 0 for an empty list. Nothing is removed.
    int32_t ChooseForWindow(const T3dDeviceMode& mode);

protected:
    std::vector<T3dPixelformat> Items;

private:
    void MergeSort(int first, int last, uint8_t key, std::vector<T3dPixelformat>& temp);
};

class T3dOpenglPixelformats : public T3dPixelformats {
public:
    // Enumerates the frame-buffer configurations of an X display (a Display*)
    // and screen, in the order GLX lists them, numbered from 1.
    void Enumerate(void* display, int screen);
};
