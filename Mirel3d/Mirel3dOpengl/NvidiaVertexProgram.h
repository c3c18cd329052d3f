// TNvidiaVertexProgram: a translator from a small assignment language
// ("outVertex = -inNormal.xyz;", "MOV(outPrimaryColor, inPrimaryColor);")
// into vertex-program move instructions. Its lines go to the debug output
// only; nothing is loaded.
#pragma once

#include "Mirel3d/Mirel3dOpengl/StreamTokenizer.h"

#include <cstdint>
#include <string>
#include <vector>

// One operand of a statement.
struct TResultant {
    uint8_t Kind = 0; // 0 none, 1 temporary register, 2 output, 3 opcode, 4 input
    int32_t Index = 0;
    char Sign = ' '; // ' ' or '-'
    std::string Swizzle;
};

struct TOperationRow {
    TResultant Operand[6];
};

class TNvidiaVertexProgram {
public:
    enum : uint8_t { rkNone = 0, rkTemporary = 1, rkOutput = 2, rkOpcode = 3, rkInput = 4 };

    // Translates the whole text: one line per statement, empty for statements
    // that are not a move. Never fails; unknown words are ignored.
    static std::vector<std::string> Translate(TStream& source);
    // Translates and sends every line to the debug output.
    static void TranslateToDebug(TStream& source);

    // The emitted text of an operand: its name, then "." and the swizzle.
    static std::string OperandText(const TResultant& r);
};
