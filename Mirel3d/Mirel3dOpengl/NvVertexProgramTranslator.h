// Translation of NV vertex programs ("!!VP1.0" and "!!VP1.1" texts) into
// ARB_vertex_program texts, for drivers that only offer the ARB extension.
//
// c[n] become the environment parameters program.env[n] (through the array
// c[96], so that c[A0.x + n] works); v[n] keep the NV aliasing (0 position,
// 2 normal, 3 and 4 colours, 5 fog coordinate, 8 to 15 texture coordinates,
// every other number the generic attribute of that number); o[NAME] become
// the result bindings. Temporaries start at zero and outputs at (0, 0, 0, 1)
// as in NV programs. RCC, which ARB lacks, becomes RCP with the magnitude
// clamped to [2^-64, 2^64] keeping the sign.
#pragma once

#include "platform/Exception.h"

#include <string>
#include <string_view>

// A text the translator cannot take; the message names the line.
ZUMBRIX_EXCEPTION(ENvProgramError, Exception);

// The number of program parameter registers c[0] .. c[95].
constexpr int kNvProgramParameters = 96;

// The ARB attribute binding of the NV input index (0 .. 15).
const char* NvAttributeBinding(int index);

// Returns the ARB text; raises ENvProgramError("line N: ...") when the text is
// not a vertex program it can translate.
std::string NvTranslateVertexProgram(std::string_view text);
