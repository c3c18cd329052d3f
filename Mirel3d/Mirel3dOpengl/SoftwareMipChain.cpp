#include "Mirel3d/Mirel3dOpengl/SoftwareMipChain.h"

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"

#include <algorithm>
#include <cstring>

bool SoftwareRasterizer() {
    static int answer = -1;
    if (answer < 0) {
        const GLubyte* renderer = GL.glGetString ? GL.glGetString(GL_RENDERER) : nullptr;
        if (!renderer) return false; // no context yet: ask again later
        const char* name = reinterpret_cast<const char*>(renderer);
        answer = (std::strstr(name, "llvmpipe") || std::strstr(name, "softpipe") ||
                  std::strstr(name, "swrast") || std::strstr(name, "Software Rasterizer"))
                     ? 1
                     : 0;
    }
    return answer == 1;
}

namespace {
int gMipChainMode = -1;
}

bool SoftwareMipChains() {
    return gMipChainMode < 0 ? SoftwareRasterizer() : gMipChainMode == 1;
}

void SetSoftwareMipChains(int mode) {
    gMipChainMode = mode;
}

size_t MipLevelBytes(int32_t width, int32_t height, int32_t components, bool isFloat) {
    return size_t(std::max(width, 1)) * size_t(std::max(height, 1)) * size_t(components) *
           (isFloat ? sizeof(float) : 1);
}

namespace {

template <class T, class Mean>
void Halve(const T* in, int32_t width, int32_t height, int32_t components, T* out, Mean mean) {
    const int32_t w = std::max(width / 2, 1), h = std::max(height / 2, 1);
    const size_t row = size_t(width) * size_t(components);
    for (int32_t y = 0; y < h; y++) {
        const T* top = in + size_t(std::min(2 * y, height - 1)) * row;
        const T* bottom = in + size_t(std::min(2 * y + 1, height - 1)) * row;
        for (int32_t x = 0; x < w; x++) {
            const size_t left = size_t(std::min(2 * x, width - 1)) * size_t(components);
            const size_t right = size_t(std::min(2 * x + 1, width - 1)) * size_t(components);
            for (int32_t c = 0; c < components; c++)
                *out++ = mean(top[left + c], top[right + c], bottom[left + c], bottom[right + c]);
        }
    }
}

} // namespace

void HalveMipLevel(const void* level, int32_t width, int32_t height, int32_t components, bool isFloat,
                   void* out) {
    if (isFloat)
        Halve(static_cast<const float*>(level), width, height, components, static_cast<float*>(out),
              [](float a, float b, float c, float d) { return (a + b + c + d) * 0.25f; });
    else
        Halve(
            static_cast<const uint8_t*>(level), width, height, components, static_cast<uint8_t*>(out),
            [](unsigned a, unsigned b, unsigned c, unsigned d) { return uint8_t((a + b + c + d + 2) / 4); });
}
