// NV vertex program → ARB vertex program. A small hand-written scanner and a
// parser for the NV grammar: header, optional position-invariance option,
// instructions "OP dst, src[, src[, src]];", END. Every instruction but RCC has
// an ARB instruction of the same name and meaning.
#include "Mirel3d/Mirel3dOpengl/NvVertexProgramTranslator.h"

#include "platform/Format.h"

#include <cctype>
#include <cstring>

namespace {

struct Token {
    enum Kind { End, Word, Number, Punct } kind = End;
    std::string text;
    int line = 1;
};

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    Token Next() {
        SkipBlanks();
        Token t;
        t.line = line_;
        if (pos_ >= text_.size()) return t;
        char c = text_[pos_];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            size_t start = pos_;
            while (pos_ < text_.size() &&
                   (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
                pos_++;
            t.kind = Token::Word;
            t.text = std::string(text_.substr(start, pos_ - start));
        } else if (std::isdigit(static_cast<unsigned char>(c))) {
            size_t start = pos_;
            while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])))
                pos_++;
            t.kind = Token::Number;
            t.text = std::string(text_.substr(start, pos_ - start));
        } else {
            pos_++;
            t.kind = Token::Punct;
            t.text = std::string(1, c);
        }
        return t;
    }

    int Line() const { return line_; }
    size_t Pos() const { return pos_; }
    void Advance(size_t n) { pos_ += n; }

private:
    void SkipBlanks() {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == '\n') {
                line_++;
                pos_++;
            } else if (c == '#') {
                while (pos_ < text_.size() && text_[pos_] != '\n')
                    pos_++;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                pos_++;
            } else {
                break;
            }
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
};

struct OpcodeInfo {
    const char* name;
    int sources; // number of source operands
    bool scalar; // the source is a scalar (one-component swizzle)
    bool vp11;   // only in VP1.1
};

const OpcodeInfo kOpcodes[] = {
    {"ARL", 1, true, false},  {"MOV", 1, false, false}, {"MUL", 2, false, false}, {"ADD", 2, false, false},
    {"MAD", 3, false, false}, {"RCP", 1, true, false},  {"RSQ", 1, true, false},  {"DP3", 2, false, false},
    {"DP4", 2, false, false}, {"DST", 2, false, false}, {"MIN", 2, false, false}, {"MAX", 2, false, false},
    {"SLT", 2, false, false}, {"SGE", 2, false, false}, {"EXP", 1, true, false},  {"LOG", 1, true, false},
    {"LIT", 1, false, false}, {"DPH", 2, false, true},  {"RCC", 1, true, true},   {"SUB", 2, false, true},
    {"ABS", 1, false, true},
};

struct OutputInfo {
    const char* nv;
    const char* arb;
};

const OutputInfo kOutputs[] = {
    {"HPOS", "result.position"},
    {"COL0", "result.color.primary"},
    {"COL1", "result.color.secondary"},
    {"BFC0", "result.color.back.primary"},
    {"BFC1", "result.color.back.secondary"},
    {"FOGC", "result.fogcoord"},
    {"PSIZ", "result.pointsize"},
    {"TEX0", "result.texcoord[0]"},
    {"TEX1", "result.texcoord[1]"},
    {"TEX2", "result.texcoord[2]"},
    {"TEX3", "result.texcoord[3]"},
    {"TEX4", "result.texcoord[4]"},
    {"TEX5", "result.texcoord[5]"},
    {"TEX6", "result.texcoord[6]"},
    {"TEX7", "result.texcoord[7]"},
};
constexpr int kOutputCount = int(sizeof(kOutputs) / sizeof(kOutputs[0]));

const char* const kInputNames[16] = {"OPOS", "WGHT", "NRML", "COL0", "COL1", "FOGC", nullptr, nullptr,
                                     "TEX0", "TEX1", "TEX2", "TEX3", "TEX4", "TEX5", "TEX6",  "TEX7"};

constexpr int kTemporaries = 12;

class Translator {
public:
    explicit Translator(std::string_view text) : text_(text), scan_(text) {}

    std::string Run() {
        Header();
        Advance();
        if (tok_.kind == Token::Word && tok_.text == "OPTION") {
            if (version_ < 11) Fail("OPTION needs !!VP1.1");
            Advance();
            if (tok_.kind != Token::Word || tok_.text != "NV_position_invariant")
                Fail("unknown option '" + tok_.text + "'");
            positionInvariant_ = true;
            Advance();
            Expect(";");
        }
        for (;;) {
            if (tok_.kind == Token::End) Fail("missing END");
            if (tok_.kind == Token::Word && tok_.text == "END") break;
            Instruction();
        }
        return Assemble();
    }

private:
    [[noreturn]] void Fail(const std::string& what) {
        throw ENvProgramError(Format("line %d: %s", tok_.line, what.c_str()));
    }

    void Advance() { tok_ = scan_.Next(); }

    void Expect(const char* punct) {
        if (tok_.kind != Token::Punct || tok_.text != punct)
            Fail(Format("expected '%s' but found '%s'", punct,
                        tok_.kind == Token::End ? "end of text" : tok_.text.c_str()));
        Advance();
    }

    void Header() {
        if (text_.substr(0, 7) == "!!VP1.0")
            version_ = 10;
        else if (text_.substr(0, 7) == "!!VP1.1")
            version_ = 11;
        else {
            tok_.line = 1;
            if (text_.substr(0, 8) == "!!VSP1.0") Fail("vertex state programs are not supported");
            Fail("the text does not begin with !!VP1.0 or !!VP1.1");
        }
        scan_.Advance(7);
    }

    // A write mask or swizzle after '.': the component letters.
    std::string Components() {
        Advance(); // the '.'
        if (tok_.kind != Token::Word) Fail("expected components after '.'");
        std::string c = tok_.text;
        for (char ch : c)
            if (!std::strchr("xyzw", ch)) Fail("bad component list '" + c + "'");
        Advance();
        return c;
    }

    std::string Destination() {
        std::string name;
        if (tok_.kind == Token::Word && tok_.text.size() >= 2 && tok_.text[0] == 'R' &&
            IsIndex(tok_.text.substr(1))) {
            int r = std::stoi(tok_.text.substr(1));
            if (r >= kTemporaries) Fail("no temporary register " + tok_.text);
            usedTemps_ |= 1u << r;
            name = tok_.text;
            Advance();
        } else if (tok_.kind == Token::Word && tok_.text == "o") {
            Advance();
            Expect("[");
            if (tok_.kind != Token::Word) Fail("expected an output register name");
            int found = -1;
            for (int i = 0; i < kOutputCount; i++)
                if (tok_.text == kOutputs[i].nv) found = i;
            if (found < 0) Fail("no output register o[" + tok_.text + "]");
            if (found == 0 && positionInvariant_) Fail("a position-invariant program must not write o[HPOS]");
            name = kOutputs[found].arb;
            Advance();
            Expect("]");
        } else {
            Fail("expected a temporary or output register but found '" + tok_.text + "'");
        }
        if (tok_.kind == Token::Punct && tok_.text == ".") {
            std::string mask = Components();
            // A write mask names each component at most once, in x y z w order.
            const char* order = "xyzw";
            size_t at = 0;
            for (char ch : mask) {
                const char* p = std::strchr(order + at, ch);
                if (!p) Fail("bad write mask '" + mask + "'");
                at = size_t(p - order) + 1;
            }
            name += "." + mask;
        }
        return name;
    }

    static bool IsIndex(const std::string& s) {
        if (s.empty() || s.size() > 3) return false;
        for (char c : s)
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        return true;
    }

    int Integer(int limit, const char* what) {
        if (tok_.kind != Token::Number || tok_.text.size() > 3) Fail(Format("expected %s", what));
        int n = std::stoi(tok_.text);
        if (n >= limit) Fail(Format("%s %d out of range", what, n));
        Advance();
        return n;
    }

    // A source operand; scalar asks for a one-component swizzle.
    std::string Source(bool scalar) {
        std::string out;
        if (tok_.kind == Token::Punct && tok_.text == "-") {
            out = "-";
            Advance();
        }
        if (tok_.kind == Token::Word && tok_.text.size() >= 2 && tok_.text[0] == 'R' &&
            IsIndex(tok_.text.substr(1))) {
            int r = std::stoi(tok_.text.substr(1));
            if (r >= kTemporaries) Fail("no temporary register " + tok_.text);
            usedTemps_ |= 1u << r;
            out += tok_.text;
            Advance();
        } else if (tok_.kind == Token::Word && tok_.text == "v") {
            Advance();
            Expect("[");
            int index = -1;
            if (tok_.kind == Token::Number) {
                index = Integer(16, "attribute number");
            } else if (tok_.kind == Token::Word) {
                for (int i = 0; i < 16; i++)
                    if (kInputNames[i] && tok_.text == kInputNames[i]) index = i;
                if (index < 0) Fail("no attribute register v[" + tok_.text + "]");
                Advance();
            } else {
                Fail("expected an attribute register");
            }
            Expect("]");
            out += NvAttributeBinding(index);
        } else if (tok_.kind == Token::Word && tok_.text == "c") {
            Advance();
            Expect("[");
            if (tok_.kind == Token::Number) {
                out += Format("c[%d]", Integer(kNvProgramParameters, "parameter register"));
            } else if (tok_.kind == Token::Word && tok_.text == "A0") {
                Advance();
                if (tok_.kind != Token::Punct || tok_.text != ".") Fail("expected A0.x");
                if (Components() != "x") Fail("expected A0.x");
                usesAddress_ = true;
                out += "c[A0.x";
                if (tok_.kind == Token::Punct && (tok_.text == "+" || tok_.text == "-")) {
                    bool minus = tok_.text == "-";
                    Advance();
                    int n = Integer(1000, "offset");
                    if ((!minus && n > 63) || (minus && n > 64))
                        Fail(Format("offset %s%d out of range", minus ? "-" : "+", n));
                    out += Format(" %c %d", minus ? '-' : '+', n);
                }
                out += "]";
            } else {
                Fail("expected a parameter register number or A0.x");
            }
            Expect("]");
        } else {
            Fail("expected a source register but found '" +
                 (tok_.kind == Token::End ? std::string("end of text") : tok_.text) + "'");
        }
        if (tok_.kind == Token::Punct && tok_.text == ".") {
            std::string swz = Components();
            if (swz.size() != 1 && swz.size() != 4)
                Fail("a swizzle has one or four components: '" + swz + "'");
            if (scalar && swz.size() != 1) Fail("a scalar operand takes one component");
            out += "." + swz;
        } else if (scalar) {
            Fail("a scalar operand needs a component (.x, .y, .z or .w)");
        }
        return out;
    }

    void Instruction() {
        if (tok_.kind != Token::Word) Fail("expected an instruction but found '" + tok_.text + "'");
        const OpcodeInfo* op = nullptr;
        for (const OpcodeInfo& o : kOpcodes)
            if (tok_.text == o.name) op = &o;
        if (!op) Fail("unknown instruction '" + tok_.text + "'");
        if (op->vp11 && version_ < 11) Fail(Format("%s needs !!VP1.1", op->name));
        Advance();
        std::string dst;
        if (std::strcmp(op->name, "ARL") == 0) {
            if (tok_.kind != Token::Word || tok_.text != "A0") Fail("ARL writes A0.x");
            Advance();
            if (tok_.kind != Token::Punct || tok_.text != "." || Components() != "x") Fail("ARL writes A0.x");
            usesAddress_ = true;
            dst = "A0.x";
        } else {
            dst = Destination();
        }
        std::string src[3];
        for (int i = 0; i < op->sources; i++) {
            Expect(",");
            src[i] = Source(op->scalar);
        }
        Expect(";");
        if (std::strcmp(op->name, "RCC") == 0) {
            usesRcc_ = true;
            body_ +=
                Format("RCP nvRcc.x, %s;\nABS nvRcc.y, nvRcc.x;\nMAX nvRcc.y, nvRcc.y, nvRccLimits.x;\n"
                       "MIN nvRcc.y, nvRcc.y, nvRccLimits.y;\nSLT nvRcc.z, nvRcc.x, nvInit.x;\n"
                       "MAD nvRcc.z, nvRcc.z, nvRccLimits.z, nvRccLimits.w;\nMUL %s, nvRcc.y, nvRcc.z;\n",
                       src[0].c_str(), dst.c_str());
            return;
        }
        body_ += Format("%s %s", op->name, dst.c_str());
        for (int i = 0; i < op->sources; i++)
            body_ += ", " + src[i];
        body_ += ";\n";
    }

    std::string Assemble() {
        std::string out = "!!ARBvp1.0\n";
        if (positionInvariant_) out += "OPTION ARB_position_invariant;\n";
        out +=
            Format("PARAM c[%d] = { program.env[0..%d] };\n", kNvProgramParameters, kNvProgramParameters - 1);
        out += "PARAM nvInit = {0, 0, 0, 1};\n";
        if (usesRcc_) out += "PARAM nvRccLimits = {5.42101e-20, 1.84467e19, -2, 1};\nTEMP nvRcc;\n";
        if (usesAddress_) out += "ADDRESS A0;\n";
        for (int r = 0; r < kTemporaries; r++)
            if (usedTemps_ & (1u << r)) out += Format("TEMP R%d;\n", r);
        // NV programs start with zero temporaries and address register.
        if (usesAddress_) out += "ARL A0.x, nvInit.x;\n";
        for (int r = 0; r < kTemporaries; r++)
            if (usedTemps_ & (1u << r)) out += Format("MOV R%d, nvInit.x;\n", r);
        for (int i = positionInvariant_ ? 1 : 0; i < kOutputCount; i++)
            out += Format("MOV %s, nvInit;\n", kOutputs[i].arb);
        out += body_;
        out += "END\n";
        return out;
    }

    std::string_view text_;
    Scanner scan_;
    Token tok_;
    int version_ = 10;
    bool positionInvariant_ = false;
    bool usesAddress_ = false;
    bool usesRcc_ = false;
    unsigned usedTemps_ = 0;
    std::string body_;
};

} // namespace

const char* NvAttributeBinding(int index) {
    static const char* const names[16] = {
        "vertex.position",        "vertex.attrib[1]",   "vertex.normal",      "vertex.color",
        "vertex.color.secondary", "vertex.fogcoord",    "vertex.attrib[6]",   "vertex.attrib[7]",
        "vertex.texcoord[0]",     "vertex.texcoord[1]", "vertex.texcoord[2]", "vertex.texcoord[3]",
        "vertex.texcoord[4]",     "vertex.texcoord[5]", "vertex.texcoord[6]", "vertex.texcoord[7]"};
    return index >= 0 && index < 16 ? names[index] : "vertex.position";
}

std::string NvTranslateVertexProgram(std::string_view text) {
    return Translator(text).Run();
}
