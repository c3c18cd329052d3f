// TFileXMLParser: reads demo scripts into the document model of
// ScriptModel.h.
//
// LoadScript reads one script file through the flexible streams, scans it
// with the lenient scanner and appends what it finds: the resource section,
// effects (with properties and animated controls) and parts, whose times are
// expressions evaluated on the way. A comment holding "#include" followed by
// a quoted file name loads that file in its place; a file that includes
// itself, directly or through others, is rejected with the chain of names.
//
// A top-level <timeline end="EXPR"/> gives the demo its own length (an
// expression as part times are); a script that declares none ends at
// kDefaultTimelineEnd.
#pragma once

#include "script/Parser.h"
#include "script/ScriptModel.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TXmlParser;

// Errors of the script structure itself (an include cycle).
ZUMBRIX_EXCEPTION(EScriptError, Exception);

// The deepest chain of includes a script may build.
constexpr size_t kMaxIncludeDepth = 64;

// The end of a demo whose script declares none, in seconds of demo time.
constexpr float kDefaultTimelineEnd = 117.0f;

class TFileXMLParser {
public:
    TFileXMLParser();
    TFileXMLParser(const TFileXMLParser&) = delete;
    TFileXMLParser& operator=(const TFileXMLParser&) = delete;

    // Reads one script file (and the files it includes). Errors of the
    // streams, the evaluator and number conversion propagate and stop loading.
    void LoadScript(const std::string& name);
    // Reads a script held in memory, as if it were a file named name
    // (includes are still read through the flexible streams).
    void LoadScriptText(const std::string& name, std::string text);

    // The current resource section (the last one read), or null.
    TResources* GetResources() const { return resources_; }
    const TEffectList<TEffect>& Effects() const { return effects_; }
    const TEffectList<TPart>& Parts() const { return parts_; }
    TErrors* Errors() const { return errors_.Get(); }
    // An effect by name (the first with that name), or null.
    TEffect* FindEffect(const std::string& name) const;
    // The demo's end in seconds: the last <timeline end> read, or
    // kDefaultTimelineEnd. Always positive and finite.
    float EndTime() const { return endDeclared_ ? endTime_ : kDefaultTimelineEnd; }
    bool EndDeclared() const { return endDeclared_; }
    // Every script file read so far (the main script and its includes), in
    // the order they were opened.
    const std::vector<std::string>& Files() const { return files_; }
    // Where the last error that stopped loading arose: the script file being
    // scanned and the line (from 1) of the element it was reading; "" and 0
    // when the error arose outside the scan (a file that cannot be opened).
    const std::string& ErrorFile() const { return errorFile_; }
    int ErrorLine() const { return errorLine_; }

private:
    void Scan(std::string text);
    void ScanParts(TXmlParser& scanner);
    void ReadInclude(TXmlParser& scanner);
    void ReadResources(TXmlParser& scanner);
    void ReadEffect(TXmlParser& scanner);
    void ReadProperty(TXmlParser& scanner, TEffect& effect);
    void ReadControl(TXmlParser& scanner, TEffect& effect);
    void ReadPart(TXmlParser& scanner);
    void ReadTimeline(TXmlParser& scanner);
    float EvaluateTime(std::string_view text);
    // Puts "FILE:LINE: element attribute "text": " in front of an error met
    // while reading an attribute ("key time") of the current element.
    void NameWhere(Exception& e, const TXmlParser& scanner, std::string_view attribute,
                   std::string_view text) const;

    TParser parser_;
    std::vector<std::unique_ptr<TResources>> sections_; // every section read (effects keep views)
    TResources* resources_ = nullptr;
    TEffectList<TEffect> effects_;
    TEffectList<TPart> parts_;
    TRefPtr<TErrors> errors_;
    std::vector<std::string> includeChain_; // the files being read, outermost first
    bool errorNamed_ = false;               // an error on its way out already names its file
    std::string expression_;                // reused buffer for time texts
    float endTime_ = kDefaultTimelineEnd;
    bool endDeclared_ = false;
    std::vector<std::string> files_;
    std::string errorFile_;
    int errorLine_ = 0;
};
