// Feeds any byte string to the NV vertex-program translator, the combiner
// state entry points and the assignment-language translator: nothing may
// crash or hang; a text the translator refuses raises ENvProgramError only.
#include "Mirel3d/Mirel3dOpengl/NvCombinerCompiler.h"
#include "Mirel3d/Mirel3dOpengl/NvCombinerState.h"
#include "Mirel3d/Mirel3dOpengl/NvVertexProgramTranslator.h"
#include "Mirel3d/Mirel3dOpengl/NvidiaVertexProgram.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        NvTranslateVertexProgram(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const ENvProgramError&) {
    }
    TReadOnlyMemoryStream source(data, static_cast<int64_t>(size));
    TNvidiaVertexProgram::Translate(source);
    // The bytes as a sequence of combiner calls (six 16-bit arguments each):
    // whatever is accepted must compile.
    NvCombinerState state;
    NvCombinerStateReset(state);
    for (size_t at = 0; at + 13 <= size; at += 13) {
        uint32_t a[6];
        for (int i = 0; i < 6; i++)
            a[i] = 0x8500u + (uint32_t(data[at + 1 + 2 * i]) | uint32_t(data[at + 2 + 2 * i]) << 8) % 0x80u;
        switch (data[at] % 4) {
        case 0:
            NvCombinerInputSet(state, a[0], a[1] % 2 ? 0x1907u : 0x1906u, a[2], a[3], a[4],
                               a[5] % 3 + 0x1905u);
            break;
        case 1:
            NvCombinerOutputSet(state, a[0], a[1] % 2 ? 0x1907u : 0x1906u, a[2], a[3], a[4], a[5], 0,
                                a[0] & 1, a[1] & 1, a[2] & 1);
            break;
        case 2:
            NvFinalCombinerInputSet(state, a[0], a[1], a[2], a[3] % 3 + 0x1905u);
            break;
        default: {
            float v[4] = {float(a[0] % 10), 0, 0, 0};
            NvCombinerParameterfv(state, a[1], v);
            break;
        }
        }
    }
    uint8_t targets[kNvTextureUnits] = {nt2D, ntCube, nt3D, ntNone};
    NvCombinerProgramKey key;
    NvCombinerMakeKey(key, state, targets, nfLinear);
    NvCompileCombiners(key);
    return 0;
}
