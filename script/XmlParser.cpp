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

bool XmlIsWhitespace(unsigned char c) {
    return c == 9 || c == 10 || c == 13 || c == 32;
}

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
    auto before = [](const TAttr& a, const TAttr& b) { return a.Name < b.Name; };
    if (count_ > 32) {
        std::stable_sort(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(count_), before);
        return;
    }
    // Tags carry few attributes: a stable insertion sort that swaps strings.
    for (size_t i = 1; i < count_; ++i)
        for (size_t j = i; j > 0 && before(items_[j], items_[j - 1]); --j)
            std::swap(items_[j], items_[j - 1]);
}

const std::string& TAttrList::Value(std::string_view name) const {
    static const std::string empty;
    if (count_ <= 8) {
        // Few attributes: a plain scan finds the same (first) entry sooner.
        for (size_t i = 0; i < count_; ++i)
            if (items_[i].Name.size() == name.size() && std::string_view(items_[i].Name) == name)
                return items_[i].Value;
        return empty;
    }
    auto end = items_.begin() + static_cast<std::ptrdiff_t>(count_);
    auto it = std::lower_bound(items_.begin(), end, name, [](const TAttr& a, std::string_view n) {
        return std::string_view(a.Name) < n;
    });
    if (it != end && it->Name == name) return it->Value;
    return empty;
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
    curName_.clear();
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
    for (;;) {
        size_t pos = next_;
        if (pos >= buffer_.size()) return false;
        if (buffer_[pos] != '<') {
            if (!ScanText(pos)) continue; // whitespace only: no part, go on
        } else if (StartsWith(pos, "<?xml")) {
            ScanXmlDecl(pos);
        } else if (StartsWith(pos, "<?")) {
            ScanPI(pos);
        } else if (StartsWith(pos, "<!--")) {
            ScanComment(pos);
        } else if (StartsWith(pos, "<!DOCTYPE")) {
            ScanDoctype(pos);
        } else if (StartsWith(pos, "<![CDATA[")) {
            ScanCData(pos);
        } else {
            ScanTag(pos);
        }
        return true;
    }
}

size_t TXmlParser::ReadAttributes(size_t pos) {
    enum { expectName, expectEquals, expectValue } state = expectName;
    const char* b = buffer_.c_str(); // zero-terminated: b[size] == 0
    size_t nameStart = 0, nameEnd = 0;
    for (;;) {
        unsigned char c = static_cast<unsigned char>(b[pos]);
        if (c == '>' || c == 0) return pos;
        switch (state) {
        case expectName:
            if (XmlIsWhitespace(c)) {
                ++pos;
            } else if (IsNameStart(c)) {
                nameStart = pos;
                while (!IsAttrNameEnd(static_cast<unsigned char>(b[pos])))
                    ++pos;
                nameEnd = pos;
                state = expectEquals;
            } else {
                return pos; // "/" or anything else ends the reading
            }
            break;
        case expectEquals:
            if (c == '=') state = expectValue;
            ++pos;
            break;
        case expectValue:
            if (c == '"' || c == '\'') {
                size_t close = buffer_.find(static_cast<char>(c), pos + 1);
                size_t end = close == std::string::npos ? buffer_.size() : close;
                curAttr_.Add(std::string_view(b + nameStart, nameEnd - nameStart),
                             std::string_view(b + pos + 1, end - pos - 1));
                pos = close == std::string::npos ? buffer_.size() : close + 1;
                state = expectName;
            } else {
                ++pos;
            }
            break;
        }
    }
}

void TXmlParser::ProcessAttrValue(std::string& value) const {
    // Most values hold nothing to replace: leave those untouched.
    bool utf8 = utf8_;
    bool plain = true;
    for (char c : value) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '&' || u == 9 || u == 10 || u == 13 || (utf8 && u >= 0x80)) {
            plain = false;
            break;
        }
    }
    if (plain) return;
    value = XmlReplaceReferences(value, '\0');
    for (char& c : value)
        if (XmlIsWhitespace(static_cast<unsigned char>(c))) c = ' ';
    if (utf8) value = Utf8ToWindows1252(value);
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
    curName_.assign(b + nameStart, nameEnd - nameStart);
    curContent_.clear();
    curAttr_.Clear();
    size_t stop = ReadAttributes(nameEnd);
    if (b[stop] == '/') curPartType_ = ptEmptyTag;
    curAttr_.Sort();
    if (curPartType_ != ptEndTag)
        for (size_t i = 0; i < curAttr_.Count(); ++i)
            ProcessAttrValue(curAttr_[i].Value);
    size_t close = buffer_.find('>', stop);
    curStart_ = pos;
    curFinal_ = close == std::string::npos ? buffer_.size() - 1 : close;
    next_ = curFinal_ + 1;
}

void TXmlParser::ScanXmlDecl(size_t pos) {
    curPartType_ = ptXmlDecl;
    curName_ = "xml";
    curContent_.clear();
    curAttr_.Clear();
    ReadAttributes(pos + 5);
    curAttr_.Sort();
    for (size_t i = 0; i < curAttr_.Count(); ++i)
        curAttr_[i].Value = XmlReplaceReferences(curAttr_[i].Value, '\0');
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
    curName_.assign(b + nameStart, i - nameStart);
    while (i < bodyEnd && XmlIsWhitespace(static_cast<unsigned char>(b[i])))
        ++i;
    curContent_.assign(b + i, bodyEnd > i ? bodyEnd - i : 0);
    curStart_ = pos;
    next_ = curFinal_ + 1;
}

void TXmlParser::ScanComment(size_t pos) {
    curPartType_ = ptComment;
    curName_.clear();
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
    curName_.assign(b + nameStart, i - nameStart);
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
    curName_.clear();
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
    curName_.clear();
    curContent_.swap(text);
    curAttr_.Clear();
    curStart_ = pos;
    curFinal_ = end - 1;
    return true;
}
