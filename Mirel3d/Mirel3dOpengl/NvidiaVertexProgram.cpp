#include "Mirel3d/Mirel3dOpengl/NvidiaVertexProgram.h"

#include "platform/DebugSink.h"
#include "platform/Format.h"

#include <strings.h>

namespace {

const char* const kOutputSource[] = {"outVertex",
                                     "outPrimaryColor",
                                     "outSecondaryColor",
                                     "outPrimaryBackColor",
                                     "outSecondaryBackColor",
                                     "outFogCoordinate",
                                     "outPointSize",
                                     "outTextureCoordinate0",
                                     "outTextureCoordinate1",
                                     "outTextureCoordinate2",
                                     "outTextureCoordinate3",
                                     "outTextureCoordinate4",
                                     "outTextureCoordinate5",
                                     "outTextureCoordinate6",
                                     "outTextureCoordinate7"};
const char* const kOutputEmitted[] = {"HPOS", "COL0", "COL1", "BFC0", "BFC1", "FOGC", "PSIZ", "TEX0",
                                      "TEX1", "TEX2", "TEX3", "TEX4", "TEX5", "TEX6", "TEX7"};
const char* const kTemporaries[] = {"R0", "R1", "R2", "R3", "R4", "R5", "R6", "R7", "R8", "R9", "R10", "R11"};
const char* const kOpcodes[] = {"ARL", "MOV", "MUL", "ADD", "MAD", "RCP", "RSQ", "DP3", "DP4",
                                "DST", "MIN", "MAX", "SLT", "SGE", "EXP", "LOG", "LIT"};
const char* const kInputSource[] = {"inVertex",
                                    "inWeight",
                                    "inNormal",
                                    "inPrimaryColor",
                                    "inSecondaryColor",
                                    "inFogCoordinate",
                                    "inPointSize",
                                    "inTextureCoordinate0",
                                    "inTextureCoordinate1",
                                    "inTextureCoordinate2",
                                    "inTextureCoordinate3",
                                    "inTextureCoordinate4",
                                    "inTextureCoordinate5",
                                    "inTextureCoordinate6",
                                    "inTextureCoordinate7"};
const char* const kInputEmitted[] = {"OPOS", "WGHT", "NRML", "COL0", "COL1", "FOGC", "PSIZ", "TEX0",
                                     "TEX1", "TEX2", "TEX3", "TEX4", "TEX5", "TEX6", "TEX7"};
constexpr int kMovOpcode = 1;

template <size_t N> int Find(const char* const (&names)[N], const std::string& word) {
    for (size_t i = 0; i < N; i++)
        if (strcasecmp(names[i], word.c_str()) == 0) return int(i);
    return -1;
}

// Looks a word up: outputs, then temporaries, then opcodes, then inputs.
bool Lookup(const std::string& word, TResultant& r) {
    int i;
    if ((i = Find(kOutputSource, word)) >= 0)
        r.Kind = TNvidiaVertexProgram::rkOutput;
    else if ((i = Find(kTemporaries, word)) >= 0)
        r.Kind = TNvidiaVertexProgram::rkTemporary;
    else if ((i = Find(kOpcodes, word)) >= 0)
        r.Kind = TNvidiaVertexProgram::rkOpcode;
    else if ((i = Find(kInputSource, word)) >= 0)
        r.Kind = TNvidiaVertexProgram::rkInput;
    else
        return false;
    r.Index = i;
    return true;
}

std::string Emit(const TOperationRow& row) {
    const TResultant* dst = nullptr;
    const TResultant* src = nullptr;
    if (row.Operand[0].Kind == TNvidiaVertexProgram::rkOutput &&
        row.Operand[1].Kind != TNvidiaVertexProgram::rkOpcode) {
        dst = &row.Operand[0];
        src = &row.Operand[1];
    } else if (row.Operand[0].Kind == TNvidiaVertexProgram::rkOpcode && row.Operand[0].Index == kMovOpcode) {
        dst = &row.Operand[1];
        src = &row.Operand[2];
    }
    if (!dst) return std::string();
    return Format("MOV %co[%s],%cv[%s];", dst->Sign, TNvidiaVertexProgram::OperandText(*dst).c_str(),
                  src->Sign, TNvidiaVertexProgram::OperandText(*src).c_str());
}

} // namespace

std::string TNvidiaVertexProgram::OperandText(const TResultant& r) {
    std::string name;
    switch (r.Kind) {
    case rkOutput:
        name = kOutputEmitted[r.Index];
        break;
    case rkTemporary:
        name = kTemporaries[r.Index];
        break;
    case rkOpcode:
        name = kOpcodes[r.Index];
        break;
    case rkInput:
        name = kInputEmitted[r.Index];
        break;
    default:
        break;
    }
    if (!r.Swizzle.empty()) name += "." + r.Swizzle;
    return name;
}

std::vector<std::string> TNvidiaVertexProgram::Translate(TStream& source) {
    TStreamTokenizer tok(&source);
    // All characters ordinary, then words of letters only, white space, and
    // '#' as a quote so a comment reads as one quoted token up to the line end.
    tok.ResetSyntax();
    tok.WordChars('a', 'z');
    tok.WordChars('A', 'Z');
    tok.WhiteSpaceChars(0, 32);
    tok.QuoteChar('#');

    std::vector<std::string> lines;
    for (;;) {
        TOperationRow row;
        int slot = 0;
        bool expectSwizzle = false;
        bool any = false;
        int t;
        while ((t = tok.NextToken()) != TStreamTokenizer::ttEndOfStream) {
            if (t == TStreamTokenizer::ttOrdinary && tok.Ordinary == ";") break;
            any = true;
            if (t == TStreamTokenizer::ttWord) {
                if (expectSwizzle) {
                    row.Operand[slot].Swizzle = tok.Word;
                    expectSwizzle = false;
                } else {
                    Lookup(tok.Word, row.Operand[slot]);
                }
            } else if (t == TStreamTokenizer::ttOrdinary) {
                const std::string& o = tok.Ordinary;
                if (o == "(" || o == "," || o == "=") {
                    if (slot <
                        5) // the translator needs three operands; later separators stay on the last slot
                        slot++;
                    expectSwizzle = false;
                } else if (o == "-") {
                    row.Operand[slot].Sign = '-';
                } else if (o == ".") {
                    expectSwizzle = true;
                }
            }
        }
        bool end = t == TStreamTokenizer::ttEndOfStream;
        if (!end || any) lines.push_back(Emit(row));
        if (end) break;
    }
    return lines;
}

void TNvidiaVertexProgram::TranslateToDebug(TStream& source) {
    for (const std::string& line : Translate(source))
        DebugOutput(line);
}
