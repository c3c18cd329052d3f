// The lenient XML scanner. See XmlParser.h for what it promises.
#include "script/XmlParser.h"

#include <algorithm>
#include <cstring>

namespace {

// Characters that may begin an attribute name: ":", "_", ASCII letters and the
// Latin-1 letters 192-214, 216-246 and 248-255.
bool IsNameStart(unsigned char c) {
    if (c == ':' || c == '_') return true;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return (c >= 192 && c <= 214) || (c >= 216 && c <= 246) || c >= 248;
}

// An attribute name ends at whitespace, "/", "=", ">" or the end of the text.
bool IsAttrNameEnd(unsigned char c) {
    return XmlIsWhitespace(c) || c == '/' || c == '=' || c == '>' || c == 0;
}

// A tag name ends at whitespace, "/", ">" or the end of the text ("=" does not end it).
bool IsTagNameEnd(unsigned char c) {
    return XmlIsWhitespace(c) || c == '/' || c == '>' || c == 0;
}

// Attribute values holding one of these need translating: references,
// tabs and line breaks, and non-ASCII bytes in a UTF-8 document.
inline bool NeedsTranslation(unsigned char c, bool utf8) {
    return c == '&' || c == 9 || c == 10 || c == 13 || (utf8 && c >= 0x80);
}

// Unicode code points of the Windows-1252 bytes 0x80-0x9F (0 where the byte
// is unassigned; those bytes map to the C1 control with the same number).
const unsigned short kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

const unsigned char kNoCharacter = 191; // the inverted question mark

unsigned char CodePointToCp1252(unsigned cp) {
    if (cp < 0x80) return static_cast<unsigned char>(cp);
    if (cp >= 0xA0 && cp <= 0xFF) return static_cast<unsigned char>(cp);
    if (cp >= 0x80 && cp <= 0x9F)
        return kCp1252High[cp - 0x80] == 0 ? static_cast<unsigned char>(cp) : kNoCharacter;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == cp) return static_cast<unsigned char>(0x80 + i);
    return kNoCharacter;
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

const char* XmlPartTypeName(TXmlPartType type) {
    switch (type) {
    case ptXmlDecl:
        return "xml-declaration";
    case ptPI:
        return "processing-instruction";
    case ptComment:
        return "comment";
    case ptDtdc:
        return "doctype";
    case ptCData:
        return "cdata";
    case ptContent:
        return "text";
    case ptStartTag:
        return "start";
    case ptEmptyTag:
        return "empty";
    case ptEndTag:
        return "end";
    case ptNone:
        break;
    }
    return "none";
}

std::string XmlReplaceReferences(std::string_view text, char hexFallback) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c != '&') {
            out += c;
            ++i;
            continue;
        }
        // The reference body runs to the next ";"; a body that meets another
        // "&", whitespace or the end first is no reference. Each character is
        // looked at by at most one such search, so this stays linear.
        size_t j = i + 1;
        while (j < text.size() && text[j] != ';' && text[j] != '&' && !XmlIsWhitespace(text[j]))
            ++j;
        if (j >= text.size() || text[j] != ';') {
            out += c;
            ++i;
            continue;
        }
        std::string_view body = text.substr(i + 1, j - i - 1);
        if (!body.empty() && body[0] == '#') {
            // Character reference: the low 8 bits of the number.
            bool hex = body.size() >= 2 && (body[1] == 'x' || body[1] == 'X');
            std::string_view digits = body.substr(hex ? 2 : 1);
            unsigned value = 0;
            bool valid = !digits.empty();
            for (char d : digits) {
                int v = hex ? HexDigit(d) : (d >= '0' && d <= '9' ? d - '0' : -1);
                if (v < 0) {
                    valid = false;
                    break;
                }
                value = (value * (hex ? 16 : 10) + static_cast<unsigned>(v)) & 0xFF;
            }
            if (valid)
                out += static_cast<char>(value);
            else
                out += hex ? hexFallback : ' ';
        } else if (body == "lt") {
            out += '<';
        } else if (body == "gt") {
            out += '>';
        } else if (body == "amp") {
            out += '&';
        } else if (body == "apos") {
            out += '\'';
        } else if (body == "quot") {
            out += '"';
        } else {
            out.append(text.substr(i, j - i + 1)); // undeclared entity: left as written
        }
        i = j + 1;
    }
    return out;
}

std::string Utf8ToWindows1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < text.size() && IsContinuation(text[i + 1])) {
            unsigned cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
            out += static_cast<char>(CodePointToCp1252(cp));
            i += 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < text.size() && IsContinuation(text[i + 1]) &&
                   IsContinuation(text[i + 2])) {
            unsigned cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                          (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
            out += static_cast<char>(CodePointToCp1252(cp));
            i += 3;
        } else {
            // A longer sequence or a broken one: one replacement character for
            // the lead byte and the continuation bytes that follow it.
            out += static_cast<char>(kNoCharacter);
            ++i;
            while (i < text.size() && IsContinuation(text[i]))
                ++i;
        }
    }
    return out;
}

void TAttrList::Sort() {
    // Byte order; names mostly differ in their first byte, so look there first.
    auto before = [](const TAttr& a, const TAttr& b) {
        if (!a.Name.empty() && !b.Name.empty() && a.Name[0] != b.Name[0])
            return static_cast<unsigned char>(a.Name[0]) < static_cast<unsigned char>(b.Name[0]);
        return a.Name < b.Name;
    };
    if (count_ > 32) {
        std::stable_sort(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(count_), before);
        return;
    }
    // Tags carry few attributes: a stable insertion sort that swaps strings.
    for (size_t i = 1; i < count_; ++i)
        for (size_t j = i; j > 0 && before(items_[j], items_[j - 1]); --j)
            std::swap(items_[j], items_[j - 1]);
}

std::string_view TAttrList::Keep(std::string text) {
    if (kept_ == kept_texts_.size()) kept_texts_.emplace_back();
    std::string& slot = kept_texts_[kept_++];
    slot = std::move(text);
    return slot;
}

std::string_view TAttrList::Value(std::string_view name) const {
    if (count_ <= 8) {
        // Few attributes: a plain scan finds the same (first) entry sooner.
        for (size_t i = 0; i < count_; ++i)
            if (items_[i].Name == name) return items_[i].Value;
        return {};
    }
    auto end = items_.begin() + static_cast<std::ptrdiff_t>(count_);
    auto it = std::lower_bound(items_.begin(), end, name,
                               [](const TAttr& a, std::string_view n) { return a.Name < n; });
    if (it != end && it->Name == name) return it->Value;
    return {};
}

void TXmlParser::SetBuffer(std::string_view text) {
    size_t zero = text.find('\0');
    buffer_.assign(text.substr(0, zero));
    encoding_.clear();
    utf8_ = false;
    version_.clear();
    standalone_ = false;
    Rewind();
}

void TXmlParser::TakeBuffer(std::string&& text) {
    buffer_ = std::move(text);
    size_t zero = buffer_.find('\0');
    if (zero != std::string::npos) buffer_.resize(zero);
    encoding_.clear();
    utf8_ = false;
    version_.clear();
    standalone_ = false;
    Rewind();
}

void TXmlParser::Rewind() {
    next_ = 0;
    curPartType_ = ptNone;
    curName_ = {};
    curContent_.clear();
    curStart_ = curFinal_ = 0;
    curAttr_.Clear();
}

bool TXmlParser::StartsWith(size_t pos, std::string_view prefix) const {
    return buffer_.size() - pos >= prefix.size() &&
           std::memcmp(buffer_.data() + pos, prefix.data(), prefix.size()) == 0;
}

size_t TXmlParser::FindClose(size_t from, std::string_view close) const {
    size_t at = from <= buffer_.size() ? buffer_.find(close, from) : std::string::npos;
    if (at == std::string::npos) return buffer_.empty() ? 0 : buffer_.size() - 1;
    return at + close.size() - 1;
}

bool TXmlParser::Next() {
    const char* b = buffer_.c_str(); // zero-terminated: b[size] == 0
    for (;;) {
        size_t pos = next_;
        if (pos >= buffer_.size()) return false;
        if (b[pos] != '<') {
            if (!ScanText(pos)) continue; // whitespace only: no part, go on
            return true;
        }
        // Only "<?" and "<!" open anything but a tag: one look at the second
        // character keeps plain tags off the prefix comparisons.
        char second = b[pos + 1];
        if (second == '?') {
            if (StartsWith(pos, "<?xml"))
                ScanXmlDecl(pos);
            else
                ScanPI(pos);
        } else if (second == '!' && StartsWith(pos, "<!--")) {
            ScanComment(pos);
        } else if (second == '!' && StartsWith(pos, "<!DOCTYPE")) {
            ScanDoctype(pos);
        } else if (second == '!' && StartsWith(pos, "<![CDATA[")) {
            ScanCData(pos);
        } else {
            ScanTag(pos);
        }
        return true;
    }
}

size_t TXmlParser::ReadAttributes(size_t pos, bool process) {
    // The reading is a small state machine: a name, then anything up to "=",
    // then anything up to an opening quote, then the value up to the same
    // quote. A ">" or the end of the text outside a value ends it at any
    // point; in place of a name, anything but whitespace or a name's first
    // character ends it too.
    const char* b = buffer_.c_str(); // zero-terminated: b[size] == 0
    const char* p = b + pos;
    const bool utf8 = utf8_;
    for (;;) {
        while (XmlIsWhitespace(static_cast<unsigned char>(*p)))
            ++p;
        if (!IsNameStart(static_cast<unsigned char>(*p))) return static_cast<size_t>(p - b);
        const char* name = p;
        while (!IsAttrNameEnd(static_cast<unsigned char>(*p)))
            ++p;
        const char* nameEnd = p;
        for (; *p != '='; ++p)
            if (*p == '>' || *p == 0) return static_cast<size_t>(p - b);
        ++p;
        for (; *p != '"' && *p != '\''; ++p)
            if (*p == '>' || *p == 0) return static_cast<size_t>(p - b);
        const char quote = *p++;
        const char* value = p;
        // Note on the way whether the value holds anything to translate.
        bool plain = true;
        for (; *p != quote && *p != 0; ++p)
            if (NeedsTranslation(static_cast<unsigned char>(*p), utf8)) plain = false;
        TAttr& attr = curAttr_.Append();
        attr.Name = std::string_view(name, static_cast<size_t>(nameEnd - name));
        attr.Value = std::string_view(value, static_cast<size_t>(p - value));
        if (process && !plain) attr.Value = curAttr_.Keep(TranslateAttrValue(attr.Value));
        if (*p == 0) return static_cast<size_t>(p - b); // an unterminated value runs to the end
        ++p;
    }
}

std::string TXmlParser::TranslateAttrValue(std::string_view value) const {
    std::string text = XmlReplaceReferences(value, '\0');
    for (char& c : text)
        if (XmlIsWhitespace(static_cast<unsigned char>(c))) c = ' ';
    if (utf8_) text = Utf8ToWindows1252(text);
    return text;
}

void TXmlParser::ScanTag(size_t pos) {
    const char* b = buffer_.c_str();
    size_t nameStart = pos + 1;
    curPartType_ = ptStartTag;
    if (b[nameStart] == '/') {
        curPartType_ = ptEndTag;
        ++nameStart;
    }
    // The name: its first character whatever it is, then up to a name end.
    size_t nameEnd = nameStart;
    if (b[nameEnd] != 0) {
        ++nameEnd;
        while (!IsTagNameEnd(static_cast<unsigned char>(b[nameEnd])))
            ++nameEnd;
    }
    curName_ = std::string_view(b + nameStart, nameEnd - nameStart);
    curContent_.clear();
    curAttr_.Clear();
    // End tags keep their attribute values as written; one that ends in "/"
    // counts as an empty tag, whose values are translated.
    bool endTag = curPartType_ == ptEndTag;
    size_t stop = ReadAttributes(nameEnd, !endTag);
    if (b[stop] == '/') curPartType_ = ptEmptyTag;
    if (endTag && curPartType_ == ptEmptyTag)
        for (size_t i = 0; i < curAttr_.Count(); ++i) {
            std::string_view& value = curAttr_[i].Value;
            for (char c : value)
                if (NeedsTranslation(static_cast<unsigned char>(c), utf8_)) {
                    value = curAttr_.Keep(TranslateAttrValue(value));
                    break;
                }
        }
    curAttr_.Sort();
    size_t close = stop;
    while (b[close] != '>' && b[close] != 0)
        ++close;
    curStart_ = pos;
    curFinal_ = b[close] == 0 ? buffer_.size() - 1 : close;
    next_ = curFinal_ + 1;
}

void TXmlParser::ScanXmlDecl(size_t pos) {
    curPartType_ = ptXmlDecl;
    curName_ = "xml";
    curContent_.clear();
    curAttr_.Clear();
    ReadAttributes(pos + 5, false);
    curAttr_.Sort();
    for (size_t i = 0; i < curAttr_.Count(); ++i)
        curAttr_[i].Value = curAttr_.Keep(XmlReplaceReferences(curAttr_[i].Value, '\0'));
    encoding_ = curAttr_.Value("encoding");
    if (encoding_.empty()) encoding_ = "UTF-8";
    utf8_ = encoding_ == "UTF-8";
    version_ = curAttr_.Value("version");
    standalone_ = curAttr_.Value("standalone") == "yes";
    curStart_ = pos;
    curFinal_ = FindClose(pos + 2, "?>");
    next_ = curFinal_ + 1;
}

void TXmlParser::ScanPI(size_t pos) {
    const char* b = buffer_.c_str();
    curPartType_ = ptPI;
    curAttr_.Clear();
    curFinal_ = FindClose(pos + 2, "?>");
    // The body lies between "<?" and "?>" (or the end of the text).
    size_t bodyEnd = curFinal_ + 1;
    if (bodyEnd >= 2 && bodyEnd - 2 >= pos + 2 && b[curFinal_] == '>' && b[curFinal_ - 1] == '?')
        bodyEnd -= 2;
    size_t i = pos + 2;
    size_t nameStart = i;
    while (i < bodyEnd && !XmlIsWhitespace(static_cast<unsigned char>(b[i])))
        ++i;
    curName_ = std::string_view(b + nameStart, i - nameStart);
    while (i < bodyEnd && XmlIsWhitespace(static_cast<unsigned char>(b[i])))
        ++i;
    curContent_.assign(b + i, bodyEnd > i ? bodyEnd - i : 0);
    curStart_ = pos;
    next_ = curFinal_ + 1;
}

void TXmlParser::ScanComment(size_t pos) {
    curPartType_ = ptComment;
    curName_ = {};
    curContent_.clear();
    curAttr_.Clear();
    curStart_ = pos;
    curFinal_ = FindClose(pos + 4, "-->");
    next_ = curFinal_ + 1;
}

void TXmlParser::ScanDoctype(size_t pos) {
    const char* b = buffer_.c_str();
    curPartType_ = ptDtdc;
    curContent_.clear();
    curAttr_.Clear();
    size_t i = pos + 9;
    while (XmlIsWhitespace(static_cast<unsigned char>(b[i])))
        ++i;
    size_t nameStart = i;
    while (b[i] != 0 && b[i] != '>' && b[i] != '[' && !XmlIsWhitespace(static_cast<unsigned char>(b[i])))
        ++i;
    curName_ = std::string_view(b + nameStart, i - nameStart);
    // Runs to the first ">" outside quotes and outside an internal subset in
    // square brackets; the subset's declarations are not interpreted.
    char quote = 0;
    bool inSubset = false;
    for (; b[i] != 0; ++i) {
        char c = b[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            inSubset = true;
        } else if (c == ']') {
            inSubset = false;
        } else if (c == '>' && !inSubset) {
            break;
        }
    }
    curStart_ = pos;
    curFinal_ = b[i] == 0 ? buffer_.size() - 1 : i;
    next_ = curFinal_ + 1;
}

void TXmlParser::ScanCData(size_t pos) {
    curPartType_ = ptCData;
    curName_ = {};
    curAttr_.Clear();
    size_t contentStart = pos + 9;
    size_t close = buffer_.find("]]>", contentStart);
    size_t contentEnd = close == std::string::npos ? buffer_.size() : close;
    curContent_.assign(buffer_, contentStart, contentEnd - contentStart);
    curStart_ = pos;
    curFinal_ = close == std::string::npos ? buffer_.size() - 1 : close + 2;
    next_ = curFinal_ + 1;
}

bool TXmlParser::ScanText(size_t pos) {
    // Whitespace between tags is no part: skip it without copying.
    size_t first = pos;
    while (first < buffer_.size() && XmlIsWhitespace(static_cast<unsigned char>(buffer_[first])))
        ++first;
    if (first == buffer_.size() || buffer_[first] == '<') {
        next_ = first;
        return false;
    }
    size_t end = buffer_.find('<', first);
    if (end == std::string::npos) end = buffer_.size();
    next_ = end; // the next part starts at the "<" (or the end)
    std::string text = XmlReplaceReferences(std::string_view(buffer_).substr(pos, end - pos), ' ');
    if (Normalize) {
        std::string normal;
        normal.reserve(text.size());
        bool pendingSpace = false;
        for (char c : text) {
            if (XmlIsWhitespace(static_cast<unsigned char>(c))) {
                pendingSpace = !normal.empty();
            } else {
                if (pendingSpace) normal += ' ';
                pendingSpace = false;
                normal += c;
            }
        }
        text.swap(normal);
    }
    if (text.empty()) return false;
    if (utf8_) text = Utf8ToWindows1252(text);
    curPartType_ = ptContent;
    curName_ = {};
    curContent_.swap(text);
    curAttr_.Clear();
    curStart_ = pos;
    curFinal_ = end - 1;
    return true;
}
