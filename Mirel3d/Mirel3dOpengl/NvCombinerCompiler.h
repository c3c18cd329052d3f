// Turns a recorded register-combiner state into an ARB_fragment_program text
// that computes what the combiners compute.
//
// The program reads the combiner constants from environment parameters, so
// changing a constant never needs a new program:
//   program.env[0], [1]                     global CONSTANT_COLOR0/1
//   program.env[2 + 2 i], [3 + 2 i]         stage i's per-stage constants (read
//                                           only while per-stage constants are on)
// Everything else that shapes the program (stages, inputs, mappings, outputs,
// texture targets of the units read, fog mode) is in NvCombinerProgramKey.
#pragma once

#include "Mirel3d/Mirel3dOpengl/NvCombinerState.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Texture registers TEXTURE0 ... TEXTURE7: every unit a combiner may name.
constexpr int kNvTextureUnits = 8;
constexpr int kNvCombinerEnvParameters = 2 + 2 * kNvMaxGeneralCombiners;

// What a texture unit samples from: the enabled target with the highest
// priority (cube map, 3D, 2D, 1D), or nothing. ntShadow2D is a 2D depth
// texture with depth comparison on: the register holds the comparison result.
enum NvTextureTarget : uint8_t { ntNone = 0, nt1D, nt2D, nt3D, ntCube, ntShadow2D };
// The fog factor the fog register's alpha holds.
enum NvFogMode : uint8_t { nfOff = 0, nfLinear, nfExp, nfExp2 };

// Which GL state a combiner state reads besides its own.
struct NvCombinerUsage {
    uint8_t textureUnits; // bit i: texture register i is read (bit 0 always: spare0's alpha starts from it)
    bool fog;             // the fog register is read
};
NvCombinerUsage NvCombinerUsageOf(const NvCombinerState& state);

// The state a generated program depends on. Plain bytes: compared with memcmp
// and hashed; members that do not shape the program are zero.
struct NvCombinerProgramKey {
    NvCombinerState state; // constants zeroed, stages past numStages reset to zero
    uint8_t targets[kNvTextureUnits];
    uint8_t fogMode;
    uint8_t shortened; // stages nothing reads and clamps that change nothing left out
    uint8_t pad[2];
};

// Builds the key from the live state and the GL state read for it. With
// `shortened` false the program computes every stage and every clamp (to
// compare frames with the work that changes nothing done).
void NvCombinerMakeKey(NvCombinerProgramKey& key, const NvCombinerState& state,
                       const uint8_t targets[kNvTextureUnits], NvFogMode fogMode, bool shortened = true);
uint64_t NvCombinerKeyHash(const NvCombinerProgramKey& key);
bool NvCombinerKeyEqual(const NvCombinerProgramKey& a, const NvCombinerProgramKey& b);

// The "!!ARBfp1.0" text for a key.
std::string NvCompileCombiners(const NvCombinerProgramKey& key);

// Writes the environment parameters the program reads (kNvCombinerEnvParameters
// vectors of four floats) for a state: per-stage constants fall back to the
// global ones when GL_PER_STAGE_CONSTANTS_NV is off.
void NvCombinerEnvParameters(const NvCombinerState& state, float out[kNvCombinerEnvParameters][4]);
