// A CPU interpreter of NV vertex programs (VP1.0 / VP1.1), written from the
// instruction definitions, for comparing what the emulation computes.
#pragma once

#include <string>

struct VpVec {
    float v[4];
};

struct VpMachine {
    VpVec in[16];  // v[0..15]
    VpVec c[96];   // c[0..95]
    VpVec out[15]; // HPOS COL0 COL1 BFC0 BFC1 FOGC PSIZ TEX0..TEX7
};

// Runs the program on m.in / m.c and fills m.out. Returns false (with a
// message) when the text is not understood.
bool VpRun(const std::string& text, VpMachine& m, std::string* error = nullptr);
