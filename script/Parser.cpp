// The expression compiler: classifies the text into terms and builds the step
// list.
//
// A term is tested against these forms in order; the first that fits decides:
//   number, variable, negation ("-" before a bracketed term, variable, power or
//   function call), addition "+", subtraction "-", multiplication "*",
//   integer quotient "DIV", integer remainder "MOD", division "/", power "^",
//   one-argument call NAME(x), two-argument call NAME(x,y).
// A binary form is split at the first candidate operator (left to right, not
// at either end, brackets balanced on both sides) where both sides are
// operands of the kinds the form allows (tables below). A term that is one
// pair of brackets around a valid term is a bracketed term; as an operand it
// stands for its inside.
//
// Classification is memoised per substring, and candidates that cannot
// succeed are skipped by what valid operands can contain (see the notes at
// each form), so compiling is close to linear in the text. A work budget and
// a recursion bound keep even hostile texts quick: they fail as too complex or
// too deeply nested.
#include "script/Parser.h"
#include "script/ParserSteps.h"
#include "script/DecimalText.h"

#include "platform/Format.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <unordered_map>

namespace {

enum TTermKind : uint8_t {
    tkInvalid,
    tkNumber,
    tkVariable,
    tkBracketed,
    tkNegation,
    tkAdd,
    tkSub,
    tkMul,
    tkIntDiv,
    tkMod,
    tkDiv,
    tkPower,
    tkFunc1,
    tkFunc2,
};

constexpr unsigned Bit(TTermKind k) {
    return 1u << k;
}

// Which operand kinds each form accepts.
constexpr unsigned kAnyValid = ~Bit(tkInvalid) & ((1u << (tkFunc2 + 1)) - 1);
constexpr unsigned kCall = Bit(tkFunc1) | Bit(tkFunc2);
constexpr unsigned kSimple = Bit(tkNumber) | Bit(tkVariable) | Bit(tkBracketed) | kCall;
constexpr unsigned kQuotients = Bit(tkIntDiv) | Bit(tkMod) | Bit(tkDiv);
constexpr unsigned kNegRest = Bit(tkBracketed) | Bit(tkVariable) | Bit(tkPower) | kCall;
constexpr unsigned kAddLeft = kAnyValid & ~Bit(tkAdd);
constexpr unsigned kAddRight = kAnyValid & ~Bit(tkNegation);
constexpr unsigned kSubLeft = kAnyValid & ~Bit(tkAdd);
constexpr unsigned kSubRight = kSimple | Bit(tkMul) | kQuotients | Bit(tkPower);
constexpr unsigned kMulLeft = kSimple | Bit(tkNegation) | kQuotients | Bit(tkPower);
constexpr unsigned kMulRight = kSubRight;
constexpr unsigned kDivLeft = kMulLeft;
constexpr unsigned kDivRight = kSimple | Bit(tkPower);
constexpr unsigned kPowOperand = kSimple;

constexpr int kMaxBracketDepth = 256;                                 // brackets inside each other
constexpr int kMaxOperators = kParserMaxNesting * kParserMaxPerLevel; // more can never compile
constexpr int kMaxRecursion = 1500;                                   // classification depth
constexpr size_t kWorkBudget = 40000000;                              // characters examined while classifying

constexpr double kPi = 3.14159265358979323846;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

struct TMatch {
    TTermKind kind = tkInvalid;
    uint8_t opLen = 0;      // length of the operator at split
    int32_t split = -1;     // operator (or comma) position of a binary form
    int32_t paren = -1;     // first "(" of a function call
    int32_t lastSplit = -1; // the last split examined, for the error text
    uint8_t lastOpLen = 0;
    int32_t lastLo = 0, lastHi = 0; // the part the last split divided
};

} // namespace

class TCustomParser::TCompiler {
public:
    explicit TCompiler(TCustomParser& parser) : parser_(parser) {}

    // Compiles text (upper case, trimmed, brackets counted) into the parser.
    void Run(std::string text);

private:
    TMatch Classify(int32_t lo, int32_t hi);
    TMatch Compute(int32_t lo, int32_t hi);
    bool IsNumber(int32_t lo, int32_t hi) const;
    double NumberValue(int32_t lo, int32_t hi) const;
    double* Variable(int32_t lo, int32_t hi) const;
    bool BinaryLooking(int32_t p) const;
    bool Keyword(int32_t p, const char* word) const {
        return p + 3 <= n_ && s_[p] == word[0] && s_[p + 1] == word[1] && s_[p + 2] == word[2];
    }
    bool Fits(int32_t lo, int32_t hi, unsigned kinds) { return (kinds & Bit(Classify(lo, hi).kind)) != 0; }
    double* CompileTerm(int32_t lo, int32_t hi, int depth);
    [[noreturn]] void SyntaxError(int32_t lo, int32_t hi, const TMatch& m) const;

    // Classification results per substring: a flat table stamped with the
    // compile's generation for short texts, a hash map for long ones.
    static constexpr int32_t kFlatStride = 129;
    struct TFlatEntry {
        uint32_t generation = 0;
        TMatch match;
    };

    TCustomParser& parser_;
    std::string s_;
    int32_t n_ = 0;
    std::vector<int32_t> prefix_; // bracket depth before each character
    std::vector<TFlatEntry> flat_;
    uint32_t generation_ = 0;
    std::unordered_map<uint64_t, TMatch> memo_;
    size_t work_ = 0;
    int recursion_ = 0;
    std::vector<TStep> levels_[kParserMaxNesting + 1];
};

// A "+" or "-" that can only be a binary operator: it follows a digit, a
// letter, "." or ")", but is not the sign of an exponent (after a digit or
// "." and "E") and does not follow the keywords DIV or MOD. Operands that a
// subtraction, a multiplication or a quotient accepts on their right contain
// none of these outside brackets, which lets the split loops skip candidates.
bool TCustomParser::TCompiler::BinaryLooking(int32_t p) const {
    if (p < 1 || (s_[p] != '+' && s_[p] != '-')) return false;
    char before = s_[p - 1];
    if (!IsDigit(before) && !IsUpper(before) && before != '.' && before != ')') return false;
    if (before == 'E' && p >= 2 && (IsDigit(s_[p - 2]) || s_[p - 2] == '.')) return false;
    if (p >= 3 && (Keyword(p - 3, "DIV") || Keyword(p - 3, "MOD"))) return false;
    return true;
}

bool TCustomParser::TCompiler::IsNumber(int32_t lo, int32_t hi) const {
    int32_t len = hi - lo;
    if ((len == 2 && s_.compare(lo, 2, "PI") == 0) || (len == 3 && s_.compare(lo, 3, "-PI") == 0))
        return true;
    int32_t i = lo;
    if (i < hi && (s_[i] == '+' || s_[i] == '-')) ++i;
    int32_t digits = 0;
    while (i < hi && IsDigit(s_[i]))
        ++i, ++digits;
    if (i < hi && s_[i] == '.') {
        ++i;
        while (i < hi && IsDigit(s_[i]))
            ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < hi && s_[i] == 'E') {
        ++i;
        if (i < hi && (s_[i] == '+' || s_[i] == '-')) ++i;
        int32_t expDigits = 0;
        while (i < hi && IsDigit(s_[i]))
            ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    return i == hi;
}

double TCustomParser::TCompiler::NumberValue(int32_t lo, int32_t hi) const {
    bool negative = s_[lo] == '-';
    int32_t start = (s_[lo] == '-' || s_[lo] == '+') ? lo + 1 : lo;
    if (hi - start == 2 && s_.compare(start, 2, "PI") == 0) return negative ? -kPi : kPi;
    double value = 0;
    auto r = std::from_chars(s_.data() + start, s_.data() + hi, value);
    if (r.ec == std::errc::result_out_of_range) {
        // Either too large for a double (an error) or so small it is zero.
        long double wide = 0;
        auto w = std::from_chars(s_.data() + start, s_.data() + hi, wide);
        bool tooLarge =
            w.ec == std::errc() ? std::fabs(wide) > 1 : s_.find("E-", start) >= static_cast<size_t>(hi);
        if (tooLarge) throw EOverflow("Floating point overflow");
        value = 0;
    }
    return negative ? -value : value;
}

double* TCustomParser::TCompiler::Variable(int32_t lo, int32_t hi) const {
    auto it = parser_.variables_.find(std::string_view(s_).substr(lo, hi - lo));
    return it == parser_.variables_.end() ? nullptr : it->second;
}

TMatch TCustomParser::TCompiler::Classify(int32_t lo, int32_t hi) {
    bool flat = n_ < kFlatStride;
    size_t slot = static_cast<size_t>(lo) * kFlatStride + static_cast<size_t>(hi);
    uint64_t key = static_cast<uint64_t>(lo) * static_cast<uint64_t>(n_ + 1) + static_cast<uint64_t>(hi);
    if (flat) {
        if (flat_[slot].generation == generation_) return flat_[slot].match;
    } else {
        auto found = memo_.find(key);
        if (found != memo_.end()) return found->second;
    }
    if (recursion_ >= kMaxRecursion) throw ETooManyNestings("Expression contains too many nestings");
    if (++work_ > kWorkBudget) throw EExpressionTooComplex("Expression is too complex");
    ++recursion_;
    TMatch m;
    try {
        m = Compute(lo, hi);
    } catch (...) {
        --recursion_;
        throw;
    }
    --recursion_;
    if (flat)
        flat_[slot] = {generation_, m};
    else
        memo_[key] = m;
    return m;
}

TMatch TCustomParser::TCompiler::Compute(int32_t lo, int32_t hi) {
    TMatch m;
    if (hi <= lo) return m;
    // Quick rejections: no valid term ends with an operator or "(", begins
    // with an operator other than a sign, or begins with two minus signs
    // (a negation's operand never begins with one).
    char head = s_[lo], tail = s_[hi - 1];
    if (tail == '+' || tail == '-' || tail == '*' || tail == '/' || tail == '^' || tail == ',' || tail == '(')
        return m;
    if (head == '*' || head == '/' || head == '^' || head == ',' || head == ')') return m;
    if (head == '-' && hi - lo >= 2 && s_[lo + 1] == '-') return m;
    work_ += 8 * static_cast<size_t>(hi - lo);
    if (work_ > kWorkBudget) throw EExpressionTooComplex("Expression is too complex");
    const int32_t base = prefix_[lo];
    const bool balanced = prefix_[hi] == base;
    auto level0 = [&](int32_t p) { return prefix_[p] == base; };
    auto examine = [&](int32_t lo2, int32_t hi2, int32_t k, int len) {
        m.lastSplit = k;
        m.lastOpLen = static_cast<uint8_t>(len);
        m.lastLo = lo2;
        m.lastHi = hi2;
    };

    // One pair of brackets around a valid term.
    if (hi - lo > 2 && s_[lo] == '(' && s_[hi - 1] == ')' && prefix_[hi - 1] == prefix_[lo + 1] &&
        Classify(lo + 1, hi - 1).kind != tkInvalid) {
        m.kind = tkBracketed;
        return m;
    }
    // 1, 2: number, variable.
    if (IsNumber(lo, hi)) {
        m.kind = tkNumber;
        return m;
    }
    if (Variable(lo, hi)) {
        m.kind = tkVariable;
        return m;
    }
    // 3: negation.
    if (s_[lo] == '-' && hi - lo >= 2) {
        if (Fits(lo + 1, hi, kNegRest)) {
            m.kind = tkNegation;
            return m;
        }
    }

    // Level-0 landmarks used to skip hopeless candidates.
    int32_t firstBinaryPlus = -1, lastBinary = -1, firstStar = -1, lastBarrier = -1, firstCaret = -1;
    int32_t firstParen = -1;
    for (int32_t p = lo; p < hi; ++p) {
        char c = s_[p];
        if (c == '(' && firstParen < 0) firstParen = p;
        if (!level0(p)) continue;
        bool binary = BinaryLooking(p);
        if (binary) {
            lastBinary = p;
            if (c == '+' && firstBinaryPlus < 0) firstBinaryPlus = p;
        }
        if (c == '*' && firstStar < 0) firstStar = p;
        if (c == '^' && firstCaret < 0) firstCaret = p;
        if (binary || c == '*' || c == '/' || Keyword(p, "DIV") || Keyword(p, "MOD")) lastBarrier = p;
    }

    if (balanced) {
        // 4: addition. A left operand (anything but an addition) holds no
        // binary-looking "+" outside brackets: only "+" up to the first such
        // one can split.
        for (int32_t k = lo + 1; k <= hi - 2; ++k) {
            if (s_[k] != '+' || !level0(k)) continue;
            if (firstBinaryPlus >= 0 && k > firstBinaryPlus) break;
            examine(lo, hi, k, 1);
            if (Fits(lo, k, kAddLeft) && Fits(k + 1, hi, kAddRight)) {
                m.kind = tkAdd;
                m.split = k;
                m.opLen = 1;
                return m;
            }
        }
        // 5: subtraction; its right operand holds no binary-looking sign, so
        // only a "-" at or after the last one can split.
        for (int32_t k = std::max(lo + 1, lastBinary); k <= hi - 2; ++k) {
            if (s_[k] != '-' || !level0(k)) continue;
            examine(lo, hi, k, 1);
            if (Fits(k + 1, hi, kSubRight) && Fits(lo, k, kSubLeft)) {
                m.kind = tkSub;
                m.split = k;
                m.opLen = 1;
                return m;
            }
        }
        // 6: multiplication; its left operand holds no "*" outside brackets,
        // so only the first "*" can split.
        if (firstStar > lo && firstStar < hi - 1) {
            examine(lo, hi, firstStar, 1);
            if (Fits(lo, firstStar, kMulLeft) && Fits(firstStar + 1, hi, kMulRight)) {
                m.kind = tkMul;
                m.split = firstStar;
                m.opLen = 1;
                return m;
            }
        }
        // 7, 8, 9: DIV, MOD, "/". Their right operand holds no sign, "*",
        // "/", DIV or MOD outside brackets, so only an operator after the
        // last of those can split.
        struct {
            const char* text;
            int len;
            TTermKind kind;
        } quotients[] = {{"DIV", 3, tkIntDiv}, {"MOD", 3, tkMod}, {"/", 1, tkDiv}};
        for (const auto& q : quotients) {
            for (int32_t k = std::max(lo + 1, lastBarrier - q.len + 1); k + q.len <= hi - 1; ++k) {
                if (!level0(k) || (q.len == 1 ? s_[k] != '/' : !Keyword(k, q.text))) continue;
                examine(lo, hi, k, q.len);
                if (Fits(k + q.len, hi, kDivRight) && Fits(lo, k, kDivLeft)) {
                    m.kind = q.kind;
                    m.split = k;
                    m.opLen = static_cast<uint8_t>(q.len);
                    return m;
                }
            }
        }
        // 10: power; neither operand holds a "^" outside brackets.
        if (firstCaret > lo && firstCaret < hi - 1) {
            examine(lo, hi, firstCaret, 1);
            if (Fits(lo, firstCaret, kPowOperand) && Fits(firstCaret + 1, hi, kPowOperand)) {
                m.kind = tkPower;
                m.split = firstCaret;
                m.opLen = 1;
                return m;
            }
        }
    }

    // 11, 12: function calls.
    if (firstParen > lo) {
        std::string_view name = std::string_view(s_).substr(lo, firstParen - lo);
        if (parser_.functions1_.find(name) != parser_.functions1_.end() &&
            Classify(firstParen, hi).kind == tkBracketed) {
            m.kind = tkFunc1;
            m.paren = firstParen;
            return m;
        }
        if (parser_.functions2_.find(name) != parser_.functions2_.end() && s_[hi - 1] == ')') {
            // The comma: a valid operand holds no comma outside brackets, so
            // only the first one at the inside's level can split.
            int32_t inLo = firstParen + 1, inHi = hi - 1;
            int32_t inBase = prefix_[inLo];
            if (prefix_[inHi] == inBase) {
                for (int32_t k = inLo + 1; k <= inHi - 2; ++k) {
                    if (s_[k] != ',' || prefix_[k] != inBase) continue;
                    examine(inLo, inHi, k, 1);
                    if (Classify(inLo, k).kind != tkInvalid && Classify(k + 1, inHi).kind != tkInvalid) {
                        m.kind = tkFunc2;
                        m.paren = firstParen;
                        m.split = k;
                        m.opLen = 1;
                        return m;
                    }
                    break;
                }
            }
        }
    }
    return m;
}

void TCustomParser::TCompiler::SyntaxError(int32_t lo, int32_t hi, const TMatch& m) const {
    if (m.lastSplit < 0)
        throw ESyntaxError(Format("Error parsing expression:\r%s", s_.substr(lo, hi - lo).c_str()));
    std::string left = s_.substr(m.lastLo, m.lastSplit - m.lastLo);
    std::string right = s_.substr(m.lastSplit + m.lastOpLen, m.lastHi - m.lastSplit - m.lastOpLen);
    throw ESyntaxError(Format("Error parsing expression:\r%s\r%s", left.c_str(), right.c_str()));
}

double* TCustomParser::TCompiler::CompileTerm(int32_t lo, int32_t hi, int depth) {
    TMatch m = Classify(lo, hi);
    switch (m.kind) {
    case tkInvalid:
        SyntaxError(lo, hi, m);
    case tkNumber:
        parser_.slots_.push_back(NumberValue(lo, hi));
        return &parser_.slots_.back();
    case tkVariable:
        return Variable(lo, hi);
    case tkBracketed:
        return CompileTerm(lo + 1, hi - 1, depth); // brackets add no level
    default:
        break;
    }

    // An operation: a step one level deeper than the term that holds it.
    int level = depth + 1;
    if (level > kParserMaxNesting) throw ETooManyNestings("Expression contains too many nestings");
    if (levels_[level].size() >= static_cast<size_t>(kParserMaxPerLevel))
        throw EExpressionTooComplex("Expression is too complex");
    size_t index = levels_[level].size();
    levels_[level].emplace_back();
    parser_.slots_.push_back(0.0);
    TStep step;
    step.Result = &parser_.slots_.back();

    switch (m.kind) {
    case tkNegation:
        step.Routine = StepNeg;
        step.A = CompileTerm(lo + 1, hi, level);
        break;
    case tkAdd:
    case tkSub:
    case tkMul:
    case tkIntDiv:
    case tkMod:
    case tkDiv:
        step.A = CompileTerm(lo, m.split, level);
        step.B = CompileTerm(m.split + m.opLen, hi, level);
        step.Routine = m.kind == tkAdd      ? StepAdd
                       : m.kind == tkSub    ? StepSub
                       : m.kind == tkMul    ? StepMul
                       : m.kind == tkIntDiv ? StepIntDiv
                       : m.kind == tkMod    ? StepMod
                                            : StepDiv;
        break;
    case tkPower: {
        step.A = CompileTerm(lo, m.split, level);
        int32_t expLo = m.split + 1;
        step.B = CompileTerm(expLo, hi, level);
        step.Routine = StepPower;
        // A whole-number literal exponent picks a multiplying step.
        if (Classify(expLo, hi).kind == tkNumber) {
            double e = *step.B;
            if (e == std::trunc(e) && std::fabs(e) <= 9007199254740992.0) {
                step.Exponent = static_cast<int64_t>(e);
                step.Routine = e == 2 ? StepSquare : e == 3 ? StepCube : e == 4 ? StepFourth : StepIntPower;
            }
        }
        break;
    }
    case tkFunc1:
        step.Routine = StepFunc1;
        step.Func1 = parser_.functions1_.find(std::string_view(s_).substr(lo, m.paren - lo))->second;
        step.A = CompileTerm(m.paren + 1, hi - 1, level);
        break;
    case tkFunc2:
        step.Routine = StepFunc2;
        step.Func2 = parser_.functions2_.find(std::string_view(s_).substr(lo, m.paren - lo))->second;
        step.A = CompileTerm(m.paren + 1, m.split, level);
        step.B = CompileTerm(m.split + 1, hi - 1, level);
        break;
    default:
        throw EParserInternalError("TParser internal error");
    }
    levels_[level][index] = step;
    return step.Result;
}

void TCustomParser::TCompiler::Run(std::string text) {
    s_ = std::move(text);
    n_ = static_cast<int32_t>(s_.size());
    prefix_.resize(s_.size() + 1);
    int32_t running = 0;
    for (int32_t i = 0; i < n_; ++i) {
        prefix_[i] = running;
        if (s_[i] == '(')
            ++running;
        else if (s_[i] == ')')
            --running;
    }
    prefix_[n_] = running;
    memo_.clear();
    work_ = 0;
    recursion_ = 0;
    for (auto& level : levels_)
        level.clear();
    if (n_ < kFlatStride) {
        // Rows up to the text's length; the table only grows.
        size_t need = static_cast<size_t>(n_ + 1) * kFlatStride;
        if (flat_.size() < need) flat_.resize(need);
        if (++generation_ == 0) { // wrapped: forget every stamp
            for (TFlatEntry& e : flat_)
                e.generation = 0;
            generation_ = 1;
        }
    }
    // Every constant and every operation takes at least one character.
    parser_.slots_.reserve(2 * s_.size() + 2);

    // Limits that a compilable text can never exceed; checked up front so
    // that hostile texts fail at once.
    if (s_.size() > kParserMaxLength) throw EExpressionTooComplex("Expression is too complex");
    int depth = 0, maxDepth = 0, operators = 0;
    for (int32_t p = 0; p < n_; ++p) {
        char c = s_[p];
        if (c == '(') {
            maxDepth = std::max(maxDepth, ++depth);
            if (p > 0 && IsUpper(s_[p - 1])) ++operators; // a function call
        } else if (c == ')') {
            --depth;
        } else if (c == '*' || c == '/' || c == '^' || BinaryLooking(p) || Keyword(p, "DIV") ||
                   Keyword(p, "MOD")) {
            ++operators;
        }
    }
    if (maxDepth > kMaxBracketDepth) throw ETooManyNestings("Expression contains too many nestings");
    if (operators > kMaxOperators) throw EExpressionTooComplex("Expression is too complex");

    // Strip brackets around the whole text.
    int32_t lo = 0, hi = n_;
    while (Classify(lo, hi).kind == tkBracketed)
        ++lo, --hi;

    double* root = CompileTerm(lo, hi, 0);
    if (levels_[1].empty()) {
        // A single constant or variable: one pass-through step.
        TStep pass;
        pass.Routine = StepPass;
        pass.Result = root;
        parser_.steps_.push_back(pass);
    }
    for (int level = kParserMaxNesting; level >= 1; --level)
        for (const TStep& step : levels_[level])
            parser_.steps_.push_back(step);
    parser_.root_ = root;
}

TCustomParser::TCustomParser() = default;
TCustomParser::~TCustomParser() = default;

void TCustomParser::AddVariable(const std::string& name, double* storage) {
    std::string upper = name;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    variables_[upper] = storage;
}

void TCustomParser::AddFunctionOneParam(const std::string& name, TParserFunc1 function) {
    std::string upper = name;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    functions1_[upper] = function;
}

void TCustomParser::AddFunctionTwoParam(const std::string& name, TParserFunc2 function) {
    std::string upper = name;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    functions2_[upper] = function;
}

std::vector<std::string> TCustomParser::VariableNames() const {
    std::vector<std::string> names;
    for (const auto& entry : variables_)
        names.push_back(entry.first);
    return names;
}

std::vector<std::string> TCustomParser::FunctionNames(int arguments) const {
    std::vector<std::string> names;
    if (arguments == 1)
        for (const auto& entry : functions1_)
            names.push_back(entry.first);
    if (arguments == 2)
        for (const auto& entry : functions2_)
            names.push_back(entry.first);
    return names;
}

void TCustomParser::Clear() {
    steps_.clear();
    slots_.clear();
    root_ = nullptr;
}

void TCustomParser::Compile(const std::string& text) {
    // Upper case (ASCII letters only), then trim spaces (code 32 only).
    std::string s = text;
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    size_t first = s.find_first_not_of(' ');
    if (first == std::string::npos) return; // only spaces: nothing to compile
    s = s.substr(first, s.find_last_not_of(' ') - first + 1);
    if (s.find(' ') != std::string::npos) throw EExpressionHasBlanks("Expression has blanks");
    size_t opens = 0, closes = 0;
    for (char c : s) {
        if (c == '(')
            ++opens;
        else if (c == ')')
            ++closes;
    }
    if (opens > closes) throw EMissMatchingBracket("Missing brackets in expression (\")\")");
    if (closes > opens) throw EMissMatchingBracket("Missing brackets in expression (\"(\")");
    if (!compiler_) compiler_ = std::make_unique<TCompiler>(*this);
    compiler_->Run(std::move(s));
}

void TCustomParser::SetExpression(const std::string& text) {
    Clear();
    expression_ = text;
    if (text.empty()) return;
    try {
        Compile(text);
    } catch (const EMathParserError& error) {
        Clear();
        if (!OnParserError) throw;
        OnParserError(*this, error);
    } catch (...) {
        Clear();
        throw;
    }
}

TParserFloat TCustomParser::GetValue() {
    if (!root_) return 0;
    for (const TStep& step : steps_)
        step.Routine(step);
    return *root_;
}

namespace {

// The quick evaluator's view of a plain text: numbers and the operators
// between them.
struct TQuickText {
    static constexpr int kMaxNumbers = 64;
    double numbers[kMaxNumbers];
    char ops[kMaxNumbers]; // ops[i] joins numbers[i] and numbers[i + 1]
    int count = 0;
    int perLevel[kParserMaxNesting + 2] = {};
    bool failed = false; // a limit or an arithmetic fault: leave it to the compiler
};

// Splits like the compiler does for such texts: an addition at its first "+",
// else a subtraction at its last "-", else a multiplication at its first
// "*", else a division at its last "/". Each operation sits one level below
// the term that holds it; a limit that would be exceeded sets failed. The
// value is returned in extended precision but rounded to a double, as every
// compiled step stores one.
TParserFloat QuickEval(TQuickText& q, int first, int last, int depth) {
    int level = depth + 1;
    if (level > kParserMaxNesting || ++q.perLevel[level] > kParserMaxPerLevel) {
        q.failed = true;
        return 0;
    }
    // One pass finds the split: the first "+" decides at once.
    int split = -1, lastMinus = -1, firstStar = -1, lastSlash = -1;
    for (int i = first; i < last; ++i) {
        char c = q.ops[i];
        if (c == '+') {
            split = i;
            break;
        }
        if (c == '-')
            lastMinus = i;
        else if (c == '*')
            firstStar = firstStar < 0 ? i : firstStar;
        else
            lastSlash = i;
    }
    if (split < 0) split = lastMinus >= 0 ? lastMinus : firstStar >= 0 ? firstStar : lastSlash;
    TParserFloat a = split == first ? TParserFloat(q.numbers[first]) : QuickEval(q, first, split, level);
    TParserFloat b = split + 1 == last ? TParserFloat(q.numbers[last]) : QuickEval(q, split + 1, last, level);
    if (q.failed) return 0;
    TParserFloat r;
    switch (q.ops[split]) {
    case '+':
        r = a + b;
        break;
    case '-':
        r = a - b;
        break;
    case '*':
        r = a * b;
        break;
    default:
        if (b == 0) {
            q.failed = true;
            return 0;
        }
        r = a / b;
        break;
    }
    // Also false for a NaN.
    if (!(std::fabs(r) <= static_cast<TParserFloat>(DBL_MAX))) {
        q.failed = true;
        return 0;
    }
    return static_cast<double>(r);
}

} // namespace

bool TCustomParser::QuickValue(std::string_view text, double& value) {
    TQuickText q;
    const char* p = text.data();
    const char* end = p + text.size();
    for (;;) {
        // A number: digits with an optional "." fraction (or "." and digits).
        TDecimalScan number = ScanDecimal(p, end);
        if (number.Digits == 0 || q.count == TQuickText::kMaxNumbers) return false;
        double v = number.Value;
        if (!number.Exact) {
            auto r = std::from_chars(p, number.End, v);
            if (r.ec != std::errc() || r.ptr != number.End) return false;
        }
        p = number.End;
        q.numbers[q.count] = v;
        if (p == end) break;
        char c = *p;
        if (c != '+' && c != '-' && c != '*' && c != '/') return false;
        q.ops[q.count++] = c;
        ++p;
    }
    if (q.count == 0) {
        value = q.numbers[0];
        return true;
    }
    TParserFloat result = QuickEval(q, 0, q.count, 0);
    if (q.failed) return false;
    value = static_cast<double>(result);
    return true;
}
