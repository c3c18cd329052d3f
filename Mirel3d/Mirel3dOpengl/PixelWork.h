// Counting a frame's pixel work: how many fragments each kind of pass wrote
// (occlusion queries around the passes), how many passes were begun and how
// many draw calls were made. The benchmark turns it on; otherwise a scope
// costs one test of a flag, and passes and draw calls are plain counters.
//
// A scope opened while another is open adds to the outer one: a shadow map
// or cube face counts everything drawn into it as its own work, whichever
// passes draw it.
#pragma once

#include <cstdint>

enum TPixelWorkKind : int32_t {
    pwOpaque = 0, // the main view's opaque passes, every light group
    pwBlended,    // the main view's blended passes, every light group
    pwBackground, // the main view's background picture
    pwConsole,    // the console overlay
    pwFades,      // fades and blinks over the picture
    pwShadowMaps, // shadow maps, counted per map pixel
    pwCubeMaps,   // reflection cube faces, counted per face pixel
    pwKindCount
};

// One frame's (or a sum of frames') counts.
struct TPixelWorkCounts {
    uint64_t Fragments[pwKindCount] = {};
    // The pixels of the targets the scopes of each kind drew into: the
    // screen for the main view and the overlays, the map for a shadow map or
    // cube face (once per scope).
    uint64_t TargetPixels[pwKindCount] = {};
    // The outermost scopes of each kind (a shadow map drawn, a cube face).
    uint64_t Scopes[pwKindCount] = {};
    uint64_t Passes = 0;
    uint64_t DrawCalls = 0;
    uint64_t Frames = 0;

    void Add(const TPixelWorkCounts& other);
    // Fragments of the main view (opaque, blended, background) per screen
    // pixel and frame.
    double MainViewPerPixel(uint64_t screenPixels) const;
    // Fragments of one kind per pixel of its targets (0 when none drawn).
    double PerTargetPixel(TPixelWorkKind kind) const;
};

// Turns counting on or off. On needs the current context's occlusion
// queries; it returns whether fragments can be counted (passes and draw
// calls are counted either way once on).
bool PixelWorkEnable(bool on);
bool PixelWorkEnabled();

// Whether the renderer draws the work that changes no pixel too (later
// light groups the depth test discards, fades that are fully transparent,
// cube maps nothing samples...), as it did before it learned to leave that
// work out. Off, unless ZUMBRIX_DRAW_ALL_WORK=1 is in the environment: the
// frames must be the same either way, and comparing them shows it.
bool DrawAllWork();
void SetDrawAllWork(bool on);

// One pass begun (any kind: a material's pass, a fade, the console...).
void PixelWorkCountPass();

// Counts the fragments written while it lives to `kind`; `targetPixels` is
// the size of what it draws into.
class TPixelWorkScope {
public:
    TPixelWorkScope(TPixelWorkKind kind, uint64_t targetPixels);
    ~TPixelWorkScope();
    TPixelWorkScope(const TPixelWorkScope&) = delete;
    TPixelWorkScope& operator=(const TPixelWorkScope&) = delete;

private:
    bool open_ = false;
};

// The frame's counts since the last call; waits for the queries' results
// (call it once the frame is drawn, outside its timing).
TPixelWorkCounts PixelWorkTakeFrame();

// The counters of the current frame so far, without waiting for fragment
// counts: passes and draw calls (what tests of the renderer compare).
uint64_t PixelWorkPassesSoFar();
uint64_t PixelWorkDrawCallsSoFar();
