// The GL set-up the NV emulation tests share: one hidden SDL window with a
// compatibility context, the engine's entry-point table loaded and probed with
// ZUMBRIX_EMULATE_NV=1, and an off-screen RGBA target to read pixels back from.
#pragma once

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"

#include <gtest/gtest.h>

#include <vector>

constexpr int kNvTargetSize = 64;

struct NvGlExtras {
    PFNGLGENPROGRAMSARBPROC glGenProgramsARB;
    PFNGLBINDPROGRAMARBPROC glBindProgramARB;
    PFNGLDELETEPROGRAMSARBPROC glDeleteProgramsARB;
    PFNGLPROGRAMSTRINGARBPROC glProgramStringARB;
    PFNGLCLAMPCOLORARBPROC glClampColorARB;
    PFNGLSECONDARYCOLOR3UBEXTPROC glSecondaryColor3ubEXT;
    PFNGLFOGCOORDFEXTPROC glFogCoordfEXT;
};

// Null when there is no display to open a window on.
const NvGlExtras* NvGlContext();

// Binds a kNvTargetSize square framebuffer object (8-bit RGBA or 32-bit float
// RGBA), sets the viewport and a pixel-exact orthographic projection with
// identity model-view, and clears it to zero.
void NvBindTarget(bool floatTarget);
// Reads the bound target as floats, row 0 at the bottom.
std::vector<float> NvReadTarget();
// Resets the state the tests change: combiners off, vertex programs off,
// texturing off on units 0-3, arrays off, fog off, flat colour.
void NvResetState();

#define NV_REQUIRE_GL()                                                                                      \
    const NvGlExtras* ext = NvGlContext();                                                                   \
    if (!ext) GTEST_SKIP() << "no display";                                                                  \
    (void)ext
