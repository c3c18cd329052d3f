// Mip chains built on the CPU for drivers that rasterise in software.
//
// Mesa's llvmpipe generates mip levels (GL_GENERATE_MIPMAP) by drawing each
// level from the one above, and compiles a shader for every texture format it
// meets first: several hundred milliseconds of the demo's start-up went there.
// On such a driver a texture uploaded from memory gets its chain built here
// (the same 2 x 2 box filter) and uploaded level by level instead.
#pragma once

#include <cstddef>
#include <cstdint>

// Whether the current GL context rasterises on the CPU (llvmpipe, softpipe,
// swrast); asked once per process.
bool SoftwareRasterizer();

// Whether textures uploaded from memory get CPU-built chains: by default on
// software rasterisers only; SetSoftwareMipChains(1) always, (0) never, (-1)
// back to the default (for tests of both paths).
bool SoftwareMipChains();
void SetSoftwareMipChains(int mode);

// Halves a tightly packed level of `width` x `height` pixels of `components`
// 8-bit (or, with isFloat, 32-bit float) components into `out`, which holds
// the next level: max(1, width / 2) x max(1, height / 2) pixels, each the
// mean of the 2 x 2 block above it (rows and columns past an odd edge repeat
// the last one).
void HalveMipLevel(const void* level, int32_t width, int32_t height, int32_t components, bool isFloat,
                   void* out);

// Bytes of a level of that size.
size_t MipLevelBytes(int32_t width, int32_t height, int32_t components, bool isFloat);
