// TXmlParser: the forgiving pull scanner that reads demo scripts.
//
// The scanner walks a private, zero-terminated copy of a document and reports
// one part per Next call: a tag, a comment, a piece of text and so on, with its
// name, content, attributes and its first and last byte position. It builds no
// tree, keeps no element stack and never rejects a document: broken markup is
// read by fixed lenient rules (an attribute written without a value is simply
// dropped, an unterminated comment or quote swallows the rest of the text).
// Every part is found in time linear in its length.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// What the current part is.
enum TXmlPartType {
    ptNone,     // before the first part
    ptXmlDecl,  // <?xml ... ?>
    ptPI,       // <?target ... ?>
    ptComment,  // <!-- ... -->
    ptDtdc,     // <!DOCTYPE ...>
    ptCData,    // <![CDATA[ ... ]]>
    ptContent,  // text between tags
    ptStartTag, // <name ...>
    ptEmptyTag, // <name .../>
    ptEndTag,   // </name>
};

// The name used for a part kind in tool output ("start", "comment", ...).
const char* XmlPartTypeName(TXmlPartType type);

// One attribute: a name/value pair. Both are views of the scanned text, or
// of the list's own storage for a value that had to be translated; they stay
// valid until the scanner moves on to the next part.
struct TAttr {
    std::string_view Name;
    std::string_view Value;
};

// The attributes of the current tag, sorted by name in byte order. A name
// written twice has two entries; the first one written is found.
class TAttrList {
public:
    // Empties the list; its storage is kept for the next tag.
    void Clear() {
        count_ = 0;
        kept_ = 0;
    }
    // Appends an entry to fill in; Sort puts the list in order once the tag
    // is read.
    TAttr& Append() {
        if (count_ == items_.size()) items_.emplace_back();
        return items_[count_++];
    }
    void Add(std::string_view name, std::string_view value) { Append() = {name, value}; }
    // Keeps a text for the current tag and returns a view of it (for values
    // that differ from what is written).
    std::string_view Keep(std::string text);
    void Sort();
    // The value of the attribute with exactly this name, or an empty view
    // when the tag has none (an empty value reads the same).
    std::string_view Value(std::string_view name) const;
    size_t Count() const { return count_; }
    const TAttr& operator[](size_t i) const { return items_[i]; }
    TAttr& operator[](size_t i) { return items_[i]; }

private:
    std::vector<TAttr> items_;
    size_t count_ = 0;
    std::deque<std::string> kept_texts_; // a deque: kept texts never move
    size_t kept_ = 0;
};

class TXmlParser {
public:
    TXmlParser() = default;

    // Copies the text (up to its first zero byte) and forgets the previous
    // document. Call Rewind before scanning.
    void SetBuffer(std::string_view text);
    // The same, taking over the text's storage instead of copying it.
    void TakeBuffer(std::string&& text);
    // Positions the scanner before the first part.
    void Rewind();
    // Scans the next part and makes it current; false at the end of the text
    // (the current part is then left as it was).
    bool Next();

    // The current part.
    TXmlPartType CurPartType() const { return curPartType_; }
    // The name views the scanned text; it stays valid until the next part.
    std::string_view CurName() const { return curName_; }
    const std::string& CurContent() const { return curContent_; }
    size_t CurStart() const { return curStart_; }
    size_t CurFinal() const { return curFinal_; }
    const TAttrList& CurAttr() const { return curAttr_; }

    // The scanned text and its length (the terminating zero is at Size()).
    const char* Buffer() const { return buffer_.c_str(); }
    size_t Size() const { return buffer_.size(); }

    // From the XML declaration, if one was scanned: the encoding ("UTF-8" when
    // the declaration names none), the version and the standalone flag.
    const std::string& DocEncoding() const { return encoding_; }
    const std::string& DocVersion() const { return version_; }
    bool DocStandalone() const { return standalone_; }

    // Text content is trimmed and its whitespace runs collapsed while this is
    // on (the default, and the only setting this system uses).
    bool Normalize = true;

private:
    void ScanTag(size_t pos);
    void ScanXmlDecl(size_t pos);
    void ScanPI(size_t pos);
    void ScanComment(size_t pos);
    void ScanDoctype(size_t pos);
    void ScanCData(size_t pos);
    // Returns false when the text is empty after normalisation.
    bool ScanText(size_t pos);
    // Reads attributes from pos; returns where the reading stopped. With
    // process set, values holding references, line breaks, tabs or (in a
    // UTF-8 document) non-ASCII bytes are translated as they are read.
    size_t ReadAttributes(size_t pos, bool process);
    // An attribute value with its references replaced, tabs and line breaks
    // made spaces and, in a UTF-8 document, translated to Windows-1252.
    std::string TranslateAttrValue(std::string_view value) const;
    // The position of the ">" closing a construct whose closing sequence is
    // `close`, searched from `from`; the last character if there is none.
    size_t FindClose(size_t from, std::string_view close) const;
    bool StartsWith(size_t pos, std::string_view prefix) const;

    std::string buffer_;
    size_t next_ = 0; // where the next part starts
    std::string encoding_, version_;
    bool standalone_ = false;
    bool utf8_ = false; // the encoding is exactly "UTF-8": translate to Windows-1252

    TXmlPartType curPartType_ = ptNone;
    std::string_view curName_;
    std::string curContent_;
    size_t curStart_ = 0, curFinal_ = 0;
    TAttrList curAttr_;
};

// Text helpers shared with the loader and tools.
// Tab, line feed, carriage return and space.
inline bool XmlIsWhitespace(unsigned char c) {
    return c == 32 || c == 9 || c == 10 || c == 13;
}
// Replaces the entity references lt, gt, amp, apos, quot and character
// references (&#65; &#x41;) by their characters. A decimal reference that is
// not a number becomes a space; a hexadecimal one becomes hexFallback.
std::string XmlReplaceReferences(std::string_view text, char hexFallback);
// Converts UTF-8 text to Windows-1252; characters it cannot hold become 191.
std::string Utf8ToWindows1252(std::string_view text);
