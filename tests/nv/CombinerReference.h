// A CPU model of the register combiners, written from the combiner rules
// independently of the fragment-program compiler, for comparing rendered
// pixels with what the combiners compute.
#pragma once

#include "Mirel3d/Mirel3dOpengl/NvCombinerState.h"

struct Rgba {
    float v[4];
};

// The inputs of one fragment.
struct CombinerFragment {
    Rgba primary;
    Rgba secondary;
    Rgba texture[8];   // the unit's texel; ignored when the unit is disabled
    bool textureOn[8]; // the unit has an enabled target
    Rgba fogColor;     // rgb used
    float fogFactor;   // 1 when fog is off
};

// Runs the enabled general stages and the final combiner.
Rgba ReferenceCombiners(const NvCombinerState& state, const CombinerFragment& in);
