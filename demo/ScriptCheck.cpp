#include "demo/ScriptCheck.h"

#include "data/3dImage.h"
#include "data/ConsoleFont.h"
#include "data/FlexibleStream.h"
#include "demo/Mp3Decoder.h"
#include "platform/Format.h"
#include "scene/loader/SmartY3dLoader.h"
#include "script/FileXMLParser.h"
#include "script/Parser.h"
#include "script/ScriptSyntax.h"
#include "script/XmlParser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>

namespace {

// The names of the cube faces a cube-texture pattern is formatted with.
const char* const kCubeFaces[6] = {"posx", "negx", "posy", "negy", "posz", "negz"};

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// A place in a script file.
struct TWhere {
    int File = 0; // index into the files read, in the order they were first read
    int Line = 0;
    int Column = 0;
};

struct TCheckedResource {
    std::string Tag;
    TResourceKind Kind = rkImage;
    std::string Name, Value;
    TWhere Where;
};

struct TCheckedSection {
    std::vector<TCheckedResource> Items;
    std::string Path; // the location's path, as the loader reads it
    TWhere Where;
};

struct TCheckedValue {
    std::string Name;
    bool IsControl = false;
    // Properties: the value text, or the resource named.
    std::string Text, Resource;
    // Controls: the kind code (ckFloat for an unknown kind) and key count.
    uint8_t ControlKind = ckFloat;
    int Keys = 0;
    TWhere Where;
};

struct TCheckedEffect {
    std::string Name, ClassName;
    const TDemoEffectClass* Class = nullptr;
    int Section = -1; // the resource section current when it was read
    std::vector<TCheckedValue> Values;
    bool Used = false;
    TWhere Where;
};

class TChecker {
public:
    TChecker(const TEffectRegistry& registry, const TScriptCheckOptions& options)
        : registry_(registry), options_(options) {
        for (const TDemoEffectClass& c : registry.Classes())
            classNames_.emplace_back(c.Name);
    }

    void ReadFile(const std::string& name, const TWhere* includedAt);
    void ReadText(const std::string& name, std::string text);
    std::vector<TScriptFinding> Finish();

private:
    // One open element of the file being read.
    struct TOpen {
        std::string Name;
        size_t Offset;
        TScriptPlace Inside; // the place its content is read in
        bool HasContent;     // resources, effect, control
    };

    void Add(const TWhere& where, TFindingSeverity severity, std::string message) {
        findings_.push_back({where, severity, std::move(message)});
    }
    TWhere At(size_t offset) const;
    TWhere AtAttribute(const TXmlParser& scanner, std::string_view attributeName) const;
    TScriptPlace Place() const;

    void Comment(TXmlParser& scanner, TScriptPlace place);
    void StartTag(TXmlParser& scanner, bool empty);
    void EndTag(TXmlParser& scanner);
    void CloseAll(const std::string& reason);
    void Attributes(TXmlParser& scanner, const TScriptElementInfo& element);

    void Resources(TXmlParser& scanner);
    void Resource(TXmlParser& scanner);
    void Effect(TXmlParser& scanner);
    void Property(TXmlParser& scanner);
    void Control(TXmlParser& scanner);
    void Key(TXmlParser& scanner);
    void Part(TXmlParser& scanner);
    void Timeline(TXmlParser& scanner);
    // Evaluates an expression attribute as the loader does; false (with a
    // finding naming the attribute) when it fails.
    bool Expression(TXmlParser& scanner, const char* element, const char* attribute, double& value);

    void CheckEffects();
    void CheckFiles();
    void CheckFile(const TWhere& where, const std::string& what, const std::function<void()>& load);
    const TCheckedResource* FindResource(int section, std::string_view name) const;

    const TEffectRegistry& registry_;
    TScriptCheckOptions options_;
    std::vector<std::string> classNames_;
    TParser parser_;
    std::string expression_;

    struct TFinding {
        TWhere Where;
        TFindingSeverity Severity;
        std::string Message;
    };
    std::vector<TFinding> findings_;
    std::vector<std::string> files_;        // every file read, in order
    std::vector<std::string> includeChain_; // the files being read, outermost first

    // The file being read.
    int file_ = 0;
    const char* buffer_ = nullptr;
    std::vector<size_t> lineStarts_;
    std::vector<TOpen> open_;

    std::vector<TCheckedSection> sections_;
    std::vector<TCheckedEffect> effects_;
    std::unordered_map<std::string, size_t> effectsByName_; // the first effect of each name
    struct TCheckedPart {
        std::string Name;
        TWhere Where;
    };
    std::vector<TCheckedPart> parts_;
};

TWhere TChecker::At(size_t offset) const {
    auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    size_t line = static_cast<size_t>(next - lineStarts_.begin()); // from 1
    return {file_, static_cast<int>(line), static_cast<int>(offset - lineStarts_[line - 1] + 1)};
}

TWhere TChecker::AtAttribute(const TXmlParser& scanner, std::string_view attributeName) const {
    const TAttrList& attrs = scanner.CurAttr();
    for (size_t i = 0; i < attrs.Count(); ++i) {
        const char* name = attrs[i].Name.data();
        if (attrs[i].Name == attributeName && name >= scanner.Buffer() &&
            name < scanner.Buffer() + scanner.Size())
            return At(static_cast<size_t>(name - scanner.Buffer()));
    }
    return At(scanner.CurStart());
}

TScriptPlace TChecker::Place() const {
    for (auto it = open_.rbegin(); it != open_.rend(); ++it)
        if (it->HasContent) return it->Inside;
    return spTop;
}

void TChecker::ReadFile(const std::string& name, const TWhere* includedAt) {
    std::string text;
    try {
        TFlexibleStream stream(name);
        int64_t size = stream.GetSize();
        stream.SetPosition(0);
        text.resize(static_cast<size_t>(size));
        if (size > 0) stream.ReadBuffer(text.data(), size);
    } catch (const std::exception& e) {
        if (!includedAt) throw;
        Add(*includedAt, fsError,
            Format("#include %s: %s", Quoted(name).c_str(), OneLineMessage(e.what()).c_str()));
        return;
    }
    ReadText(name, std::move(text));
}

void TChecker::ReadText(const std::string& name, std::string text) {
    // The state of the including file is put aside while the included one is read.
    int outerFile = file_;
    const char* outerBuffer = buffer_;
    std::vector<size_t> outerLines = std::move(lineStarts_);
    std::vector<TOpen> outerOpen = std::move(open_);

    file_ = static_cast<int>(files_.size());
    files_.push_back(name);
    includeChain_.push_back(name);
    TXmlParser scanner;
    scanner.TakeBuffer(std::move(text));
    scanner.Rewind();
    buffer_ = scanner.Buffer();
    lineStarts_.assign(1, 0);
    for (size_t i = 0; i < scanner.Size(); ++i)
        if (buffer_[i] == '\n') lineStarts_.push_back(i + 1);
    open_.clear();

    while (scanner.Next()) {
        switch (scanner.CurPartType()) {
        case ptComment:
            Comment(scanner, Place());
            break;
        case ptStartTag:
            StartTag(scanner, false);
            break;
        case ptEmptyTag:
            StartTag(scanner, true);
            break;
        case ptEndTag:
            EndTag(scanner);
            break;
        default:
            break;
        }
    }
    for (const TOpen& element : open_)
        Add(At(element.Offset), fsError, Format("<%s> is never closed", element.Name.c_str()));

    includeChain_.pop_back();
    file_ = outerFile;
    buffer_ = outerBuffer;
    lineStarts_ = std::move(outerLines);
    open_ = std::move(outerOpen);
}

void TChecker::Comment(TXmlParser& scanner, TScriptPlace place) {
    std::string_view raw(scanner.Buffer() + scanner.CurStart(), scanner.CurFinal() - scanner.CurStart());
    size_t directive = raw.find("#include");
    if (directive == std::string_view::npos) return;
    TWhere where = At(scanner.CurStart() + directive);
    if (place != spTop) {
        Add(where, fsWarning,
            "#include inside an element is not followed: includes work only at the top level");
        return;
    }
    std::string name;
    size_t open = raw.find('"');
    if (open == std::string_view::npos) {
        Add(where, fsError, "#include names no file: write the file name in double quotes");
        return;
    }
    size_t close = raw.find('"', open + 1);
    name = std::string(
        raw.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1));
    auto key = [](std::string text) {
        for (char& c : text) {
            if (c == '\\') c = '/';
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return text;
    };
    for (const std::string& reading : includeChain_)
        if (key(reading) == key(name)) {
            Add(where, fsError, Format("#include %s: the file includes itself", Quoted(name).c_str()));
            return;
        }
    if (includeChain_.size() >= kMaxIncludeDepth) {
        Add(where, fsError, Format("#include %s: includes nested too deeply", Quoted(name).c_str()));
        return;
    }
    ReadFile(name, &where);
}

void TChecker::StartTag(TXmlParser& scanner, bool empty) {
    std::string tag(scanner.CurName());
    TScriptPlace place = Place();
    TWhere where = At(scanner.CurStart());

    // A top-level element while a resource section, an effect or a control
    // is still open: its end tag is missing, and the loader reads on past
    // this element, skipping it.
    if (place != spTop) {
        const TScriptElementInfo* top = FindScriptElement(tag, spTop);
        if (top && tag != kRootTag) {
            for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
                if (!it->HasContent) continue;
                Add(At(it->Offset), fsError,
                    Format("<%s> is not closed before the <%s> at %d:%d: the loader reads that into it "
                           "and skips it",
                           it->Name.c_str(), tag.c_str(), where.Line, where.Column));
            }
            // Go on as the author meant: the open elements end here.
            while (!open_.empty() && Place() != spTop)
                open_.pop_back();
            place = spTop;
        }
    }

    const TScriptElementInfo* element = FindScriptElement(tag, place);
    if (!element) {
        std::vector<std::string> names;
        for (const TScriptElementInfo& e : kScriptElements)
            if (e.Place == place) names.emplace_back(e.Name);
        std::string nearest = NearestName(tag, names);
        const char* in = place == spTop         ? "at the top level"
                         : place == spResources ? "in resources"
                                                : "in an effect";
        std::string message = Format("unknown tag <%s> %s: the loader skips it", tag.c_str(), in);
        if (!nearest.empty()) message += Format(" (did you mean <%s>?)", nearest.c_str());
        Add(where, fsWarning, message);
    } else {
        if (place == spControl && tag != kKeyTag)
            Add(where, fsWarning, Format("<%s> inside a control is read as a <key>", tag.c_str()));
        Attributes(scanner, *element);
    }

    if (element && element->HasContent && empty) {
        Add(where, fsError,
            Format("<%s .../> is written as an empty element, but the loader reads it on to %s, taking in "
                   "what follows: write <%s ...> and </%s>",
                   tag.c_str(), tag == "effect" ? "the next </effect>" : "the next end tag", tag.c_str(),
                   tag.c_str()));
    }
    if (!empty && (place == spResources || place == spControl)) {
        Add(where, fsError,
            Format("<%s> in %s must be an empty element (<%s .../>): the loader ends the %s at the first end "
                   "tag",
                   tag.c_str(), place == spResources ? "resources" : "a control", tag.c_str(),
                   place == spResources ? "resource section" : "control"));
    }

    if (element) {
        if (place == spTop && element->Name == "resources")
            Resources(scanner);
        else if (place == spTop && element->Name == "effect")
            Effect(scanner);
        else if (place == spTop && element->Name == "part")
            Part(scanner);
        else if (place == spTop && element->Name == "timeline")
            Timeline(scanner);
        else if (place == spResources)
            Resource(scanner);
        else if (place == spEffect && element->Name == "property")
            Property(scanner);
        else if (place == spEffect && element->Name == "control")
            Control(scanner);
        else if (place == spControl)
            Key(scanner);
    }

    if (!empty) {
        TOpen opened{tag, scanner.CurStart(), place, false};
        if (element && element->HasContent) {
            opened.HasContent = true;
            opened.Inside = tag == "resources" ? spResources : tag == "effect" ? spEffect : spControl;
        }
        open_.push_back(opened);
    }
}

void TChecker::EndTag(TXmlParser& scanner) {
    std::string tag(scanner.CurName());
    TWhere where = At(scanner.CurStart());
    auto match = std::find_if(open_.rbegin(), open_.rend(), [&](const TOpen& e) { return e.Name == tag; });
    if (match == open_.rend()) {
        Add(where, fsError, Format("</%s> closes no open element", tag.c_str()));
        return;
    }
    size_t keep = static_cast<size_t>(open_.rend() - match) - 1;
    for (size_t i = open_.size(); i-- > keep + 1;)
        Add(At(open_[i].Offset), fsError,
            Format("<%s> is not closed before the </%s> at %d:%d", open_[i].Name.c_str(), tag.c_str(),
                   where.Line, where.Column));
    open_.resize(keep);
}

void TChecker::Attributes(TXmlParser& scanner, const TScriptElementInfo& element) {
    const TAttrList& attrs = scanner.CurAttr();
    std::vector<std::string> names(element.Attributes.begin(), element.Attributes.end());
    for (size_t i = 0; i < attrs.Count(); ++i) {
        std::string_view name = attrs[i].Name;
        if (std::find(element.Attributes.begin(), element.Attributes.end(), name) != element.Attributes.end())
            continue;
        std::string message = Format("<%s> has no attribute %s: the loader ignores it",
                                     std::string(scanner.CurName()).c_str(), std::string(name).c_str());
        std::string nearest = NearestName(name, names);
        if (!nearest.empty()) message += Format(" (did you mean %s?)", nearest.c_str());
        Add(AtAttribute(scanner, name), fsWarning, message);
    }
}

void TChecker::Resources(TXmlParser& scanner) {
    if (!sections_.empty()) {
        const TWhere& before = sections_.back().Where;
        Add(At(scanner.CurStart()), fsWarning,
            Format("a second resource section: it replaces the one at %s:%d:%d for everything after it, and "
                   "only its resources are loaded",
                   files_[static_cast<size_t>(before.File)].c_str(), before.Line, before.Column));
    }
    // "kind:path[:...]": the path between the first and a second colon, with
    // a trailing backslash (as the loader reads it).
    std::string_view location = scanner.CurAttr().Value("location");
    std::string path;
    size_t colon = location.find(':');
    if (colon != std::string_view::npos) {
        size_t second = location.find(':', colon + 1);
        path = location.substr(colon + 1, second == std::string_view::npos ? std::string_view::npos
                                                                           : second - colon - 1);
        if (!path.empty() && path.back() != '\\') path += '\\';
    }
    sections_.push_back({{}, path, At(scanner.CurStart())});
}

void TChecker::Resource(TXmlParser& scanner) {
    const TAttrList& attrs = scanner.CurAttr();
    TCheckedResource resource;
    resource.Tag = scanner.CurName();
    for (const TResourceTagInfo& info : kResourceTags)
        if (info.Name == resource.Tag) resource.Kind = info.Kind;
    resource.Name = attrs.Value("name");
    resource.Value = attrs.Value("value");
    resource.Where = At(scanner.CurStart());
    if (resource.Value.empty())
        Add(resource.Where, fsError, Format("<%s> names no file (value)", resource.Tag.c_str()));
    if (resource.Kind == rkTexture || resource.Kind == rkCubeTexture) {
        for (const char* flag : {"smooth", "repeat", "fullscreen"}) {
            std::string_view v = attrs.Value(flag);
            if (!v.empty() && v != "true" && v != "false")
                Add(AtAttribute(scanner, flag), fsWarning,
                    Format("%s=%s reads as false: write true or false", flag, Quoted(v).c_str()));
        }
        if (resource.Kind == rkCubeTexture && resource.Value.find("%s") == std::string::npos)
            Add(resource.Where, fsError,
                Format("cube texture %s has no %%s in its file name for the face names (posx ... negz)",
                       Quoted(resource.Value).c_str()));
    }
    sections_.back().Items.push_back(std::move(resource));
}

void TChecker::Effect(TXmlParser& scanner) {
    TCheckedEffect effect;
    effect.Name = scanner.CurAttr().Value("name");
    effect.ClassName = scanner.CurAttr().Value("class");
    effect.Class = registry_.Find(effect.ClassName);
    effect.Section = static_cast<int>(sections_.size()) - 1;
    effect.Where = At(scanner.CurStart());
    if (effect.Name.empty()) Add(effect.Where, fsWarning, "the effect has no name: no part can use it");
    if (!effect.Name.empty()) {
        auto [first, added] = effectsByName_.emplace(effect.Name, effects_.size());
        if (!added) {
            const TWhere& other = effects_[first->second].Where;
            Add(effect.Where, fsWarning,
                Format("a second effect named %s (the first at %s:%d:%d): parts use the first",
                       Quoted(effect.Name).c_str(), files_[static_cast<size_t>(other.File)].c_str(),
                       other.Line, other.Column));
        }
    }
    if (effect.ClassName.empty()) {
        Add(effect.Where, fsError,
            "the effect has no class: nothing is made of it and its parts are dropped");
    } else if (!effect.Class) {
        Add(AtAttribute(scanner, "class"), fsError,
            Format(
                "unknown effect class %s (did you mean %s?): nothing is made of it and its parts are dropped",
                Quoted(effect.ClassName).c_str(), NearestName(effect.ClassName, classNames_).c_str()));
    }
    effects_.push_back(std::move(effect));
}

void TChecker::Property(TXmlParser& scanner) {
    const TAttrList& attrs = scanner.CurAttr();
    TCheckedValue value;
    value.Name = attrs.Value("name");
    value.Text = attrs.Value("value");
    value.Resource = attrs.Value("resource");
    value.Where = At(scanner.CurStart());
    if (value.Text.empty() && value.Resource.empty())
        Add(value.Where, fsWarning,
            "the property has neither value nor resource: it reports the first resource written without a "
            "name");
    else if (!value.Text.empty() && !value.Resource.empty())
        Add(AtAttribute(scanner, "resource"), fsWarning,
            "the property has both value and resource: the value is used");
    if (!effects_.empty()) effects_.back().Values.push_back(std::move(value));
}

void TChecker::Control(TXmlParser& scanner) {
    const TAttrList& attrs = scanner.CurAttr();
    TCheckedValue value;
    value.IsControl = true;
    value.Name = attrs.Value("name");
    value.Where = At(scanner.CurStart());
    std::string_view kind = attrs.Value("kind");
    if (!kind.empty()) {
        bool known = false;
        std::vector<std::string> names;
        for (const TControlKindInfo& row : kControlKinds) {
            names.emplace_back(row.Name);
            if (row.Name == kind) {
                known = true;
                value.ControlKind = row.Code;
            }
        }
        if (!known)
            Add(AtAttribute(scanner, "kind"), fsError,
                Format("unknown control kind %s (did you mean %s?): the loader makes it a float control",
                       Quoted(kind).c_str(), NearestName(kind, names).c_str()));
    }
    std::string_view type = attrs.Value("type");
    if (!type.empty()) {
        bool known = false;
        std::vector<std::string> names;
        for (const TControlTypeInfo& row : kControlTypes) {
            names.emplace_back(row.Name);
            if (row.Name == type) known = true;
        }
        if (!known)
            Add(AtAttribute(scanner, "type"), fsError,
                Format("unknown control type %s (did you mean %s?): the loader makes it hold its keys",
                       Quoted(type).c_str(), NearestName(type, names).c_str()));
    }
    std::string_view repeat = attrs.Value("repeat");
    if (!repeat.empty() && type == "spline")
        Add(AtAttribute(scanner, "repeat"), fsWarning,
            "a spline control does not repeat: it holds its last key");
    if (!repeat.empty()) {
        try {
            StrToFloat(repeat);
        } catch (const std::exception& e) {
            Add(AtAttribute(scanner, "repeat"), fsError,
                Format("control repeat %s: %s", Quoted(repeat).c_str(), OneLineMessage(e.what()).c_str()));
        }
    }
    if (!effects_.empty()) effects_.back().Values.push_back(std::move(value));
}

void TChecker::Key(TXmlParser& scanner) {
    TCheckedValue* control = nullptr;
    if (!effects_.empty() && !effects_.back().Values.empty() && effects_.back().Values.back().IsControl)
        control = &effects_.back().Values.back();
    double time = 0;
    Expression(scanner, "key", "time", time);
    std::string_view values = scanner.CurAttr().Value("value");
    uint8_t kind = control ? control->ControlKind : uint8_t(ckFloat);
    if (control) control->Keys++;
    int needed = 1;
    const char* kindName = "float";
    for (const TControlKindInfo& row : kControlKinds)
        if (row.Code == kind) {
            needed = row.Count;
            kindName = row.Name.data();
        }
    TWhere where = AtAttribute(scanner, "value");
    if (values.empty()) {
        Add(where, fsError,
            Format("the key has no value: a %s control needs %d number%s", kindName, needed,
                   needed > 1 ? "s" : ""));
        return;
    }
    // Fields are separated by single spaces, as the loader reads them.
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        size_t space = values.find(' ', start);
        fields.push_back(
            values.substr(start, space == std::string_view::npos ? std::string_view::npos : space - start));
        if (space == std::string_view::npos) break;
        start = space + 1;
    }
    if (static_cast<int>(fields.size()) != needed) {
        Add(where, fsError,
            Format("key value %s has %zu field%s: a %s control needs %d, separated by single spaces",
                   Quoted(values).c_str(), fields.size(), fields.size() == 1 ? "" : "s", kindName, needed));
        return;
    }
    for (std::string_view field : fields) {
        try {
            StrToFloat(field);
        } catch (const std::exception& e) {
            Add(where, fsError,
                Format("key value %s: %s", Quoted(values).c_str(), OneLineMessage(e.what()).c_str()));
            return;
        }
    }
}

void TChecker::Part(TXmlParser& scanner) {
    TCheckedPart part{std::string(scanner.CurAttr().Value("name")), At(scanner.CurStart())};
    double value = 0;
    for (const char* attribute : {"start", "stop", "prepare", "unprepare"})
        Expression(scanner, "part", attribute, value);
    if (part.Name.empty()) Add(part.Where, fsError, "the part names no effect (name): it is dropped");
    parts_.push_back(std::move(part));
}

void TChecker::Timeline(TXmlParser& scanner) {
    double end = 0;
    std::string_view text = scanner.CurAttr().Value("end");
    if (text.empty()) {
        Add(At(scanner.CurStart()), fsWarning, "the timeline gives no end: the demo keeps its 117 seconds");
        return;
    }
    if (Expression(scanner, "timeline", "end", end) && !(end > 0 && std::isfinite(end)))
        Add(AtAttribute(scanner, "end"), fsError,
            Format("timeline end %s is %g: the end must be a positive number of seconds",
                   Quoted(text).c_str(), end));
}

bool TChecker::Expression(TXmlParser& scanner, const char* element, const char* attribute, double& value) {
    std::string_view text = scanner.CurAttr().Value(attribute);
    expression_.clear();
    for (char c : text)
        if (c != ' ') expression_ += c;
    value = 0;
    if (expression_.empty()) return true;
    if (TCustomParser::QuickValue(expression_, value)) return true;
    try {
        parser_.SetExpression(expression_);
        value = static_cast<double>(parser_.GetValue());
        return true;
    } catch (const std::exception& e) {
        Add(AtAttribute(scanner, attribute), fsError,
            Format("%s %s %s: %s", element, attribute, Quoted(text).c_str(),
                   OneLineMessage(e.what()).c_str()));
        return false;
    }
}

const TCheckedResource* TChecker::FindResource(int section, std::string_view name) const {
    if (section < 0) return nullptr;
    for (const TCheckedResource& r : sections_[static_cast<size_t>(section)].Items)
        if (r.Name == name) return &r;
    return nullptr;
}

void TChecker::CheckEffects() {
    std::vector<std::string> names; // of the effects, for the nearest name
    for (const TCheckedPart& part : parts_) {
        auto effect = effectsByName_.find(part.Name);
        if (effect != effectsByName_.end()) {
            effects_[effect->second].Used = true;
            continue;
        }
        if (part.Name.empty()) continue;
        if (names.empty())
            for (const TCheckedEffect& e : effects_)
                if (!e.Name.empty()) names.push_back(e.Name);
        std::string message =
            Format("the part names no effect: no effect is called %s", Quoted(part.Name).c_str());
        if (!names.empty()) message += Format(" (did you mean %s?)", NearestName(part.Name, names).c_str());
        Add(part.Where, fsError, message + "; the part is dropped");
    }

    for (const TCheckedEffect& effect : effects_) {
        if (!effect.Used && !effect.Name.empty())
            Add(effect.Where, fsWarning,
                Format("the effect %s is used by no part", Quoted(effect.Name).c_str()));
        if (!effect.Class) continue;
        std::vector<std::string> reads;
        for (const TEffectValueInfo& info : effect.Class->Values)
            reads.emplace_back(info.Name);
        for (const TCheckedValue& value : effect.Values) {
            const char* what = value.IsControl ? "control" : "property";
            auto info = std::find_if(effect.Class->Values.begin(), effect.Class->Values.end(),
                                     [&](const TEffectValueInfo& i) { return value.Name == i.Name; });
            if (info == effect.Class->Values.end()) {
                std::string message = Format("%s %s: %s never reads it", what, Quoted(value.Name).c_str(),
                                             effect.ClassName.c_str());
                if (!reads.empty())
                    message += Format(" (did you mean %s?)", NearestName(value.Name, reads).c_str());
                Add(value.Where, fsWarning, message);
                continue;
            }
            // The value must be of the form the class reads it in.
            switch (info->Kind) {
            case evColor:
                if (!value.IsControl || value.ControlKind != ckColor)
                    Add(value.Where, fsError,
                        Format("%s reads %s as a colour: write it as a control with kind=\"color\"",
                               effect.ClassName.c_str(), Quoted(value.Name).c_str()));
                break;
            case evNumber:
                if (value.IsControl && value.ControlKind != ckFloat)
                    Add(value.Where, fsWarning,
                        Format("%s reads %s as a number: a control of another kind than float gives %s",
                               effect.ClassName.c_str(), Quoted(value.Name).c_str(),
                               value.ControlKind == ckColor ? "its red" : "no value"));
                else if (!value.IsControl && !value.Text.empty())
                    try {
                        StrToFloat(value.Text);
                    } catch (const std::exception& e) {
                        Add(value.Where, fsError,
                            Format("property %s: %s", Quoted(value.Name).c_str(),
                                   OneLineMessage(e.what()).c_str()));
                    }
                break;
            case evText:
                if (value.IsControl || value.Text.empty())
                    Add(value.Where, fsError,
                        Format("%s reads %s as a text: write it as a property with a value",
                               effect.ClassName.c_str(), Quoted(value.Name).c_str()));
                break;
            case evImage:
                if (value.IsControl || value.Resource.empty() || !value.Text.empty())
                    Add(value.Where, fsError,
                        Format("%s reads %s as an image: write it as a property with resource=\"NAME\" "
                               "naming an "
                               "image resource",
                               effect.ClassName.c_str(), Quoted(value.Name).c_str()));
                break;
            }
        }
        // Resource references, as the loader resolves them.
        for (const TCheckedValue& value : effect.Values) {
            if (value.IsControl || !value.Text.empty()) continue;
            const TCheckedResource* found = FindResource(effect.Section, value.Resource);
            if (!found) {
                Add(value.Where, fsError, Format("The resource %s cant be found", value.Resource.c_str()));
                continue;
            }
            auto info = std::find_if(effect.Class->Values.begin(), effect.Class->Values.end(),
                                     [&](const TEffectValueInfo& i) { return value.Name == i.Name; });
            if (info != effect.Class->Values.end() && info->Kind == evImage && found->Kind != rkImage)
                Add(value.Where, fsError,
                    Format("%s %s is a <%s>, not an <image>: %s gets no picture", Quoted(value.Name).c_str(),
                           Quoted(value.Resource).c_str(), found->Tag.c_str(), effect.ClassName.c_str()));
        }
        for (const TEffectValueInfo& info : effect.Class->Values) {
            if (!info.Needed) continue;
            bool given = std::any_of(effect.Values.begin(), effect.Values.end(),
                                     [&](const TCheckedValue& v) { return v.Name == info.Name; });
            if (!given)
                Add(effect.Where, fsError,
                    Format("the %s effect %s has no %s", effect.ClassName.c_str(),
                           Quoted(effect.Name).c_str(), Quoted(info.Name).c_str()));
        }
        for (const TCheckedValue& value : effect.Values)
            if (value.IsControl && value.Keys == 0)
                Add(value.Where, fsWarning,
                    Format("control %s has no keys: its value stays 0", Quoted(value.Name).c_str()));
    }
}

void TChecker::CheckFile(const TWhere& where, const std::string& what, const std::function<void()>& load) {
    try {
        load();
    } catch (const std::exception& e) {
        std::string message = OneLineMessage(e.what());
        Add(where, fsError, message.find(what) == std::string::npos ? what + ": " + message : message);
    }
}

void TChecker::CheckFiles() {
    // Start-up loads the last section's resources, from its location, and
    // the scene files from there as well.
    const std::string path = TFlexibleStream::Settings().path;
    if (!sections_.empty()) TFlexibleStream::SetPath(sections_.back().Path);
    auto open = [](const std::string& name) {
        TFlexibleStream stream(name);
        stream.GetSize(); // an archive member that is missing says so here
    };
    auto picture = [](const std::string& name) {
        TRefPtr<I3dImage> image(new T3dImage());
        image->LoadFromFile(name);
    };
    if (!sections_.empty()) {
        for (const TCheckedResource& r : sections_.back().Items) {
            if (r.Value.empty()) continue;
            const std::string& file = r.Value;
            if (!options_.LoadFiles) {
                if (r.Kind == rkCubeTexture) {
                    for (const char* face : kCubeFaces) {
                        std::string name = r.Value;
                        size_t at = name.find("%s");
                        if (at != std::string::npos) name.replace(at, 2, face);
                        CheckFile(r.Where, name, [&] { open(name); });
                    }
                } else {
                    CheckFile(r.Where, file, [&] { open(file); });
                }
                continue;
            }
            switch (r.Kind) {
            case rkImage:
            case rkTexture:
                CheckFile(r.Where, file, [&] { picture(file); });
                break;
            case rkCubeTexture:
                for (const char* face : kCubeFaces) {
                    std::string name = r.Value;
                    size_t at = name.find("%s");
                    if (at != std::string::npos) name.replace(at, 2, face);
                    CheckFile(r.Where, name, [&] { picture(name); });
                }
                break;
            case rkMp3:
                CheckFile(r.Where, file, [&] {
                    TFlexibleStream stream(file);
                    std::vector<uint8_t> block(static_cast<size_t>(std::max<int64_t>(stream.GetSize(), 0)));
                    stream.SetPosition(0);
                    if (!block.empty()) stream.ReadBuffer(block.data(), static_cast<int64_t>(block.size()));
                    TMp3Decoder decoder;
                    if (!decoder.Open(block.data(), block.size()))
                        throw Exception(file + ": holds no MP3 audio the player can decode");
                });
                break;
            case rkConsoleFont:
                CheckFile(r.Where, file, [&] {
                    TConsoleFont font;
                    if (!LoadConsoleFontFile(file, font))
                        throw Exception(file + ": holds no console font (no FONT chunk of version 0x0101)");
                });
                break;
            case rkBinary:
                CheckFile(r.Where, file, [&] { open(file); });
                break;
            }
        }
    }

    // Scene files, each once.
    std::set<std::string> scenes;
    for (const TCheckedEffect& effect : effects_) {
        if (!effect.Class) continue;
        for (const TCheckedValue& value : effect.Values) {
            if (value.IsControl || value.Text.empty()) continue;
            auto info = std::find_if(effect.Class->Values.begin(), effect.Class->Values.end(),
                                     [&](const TEffectValueInfo& i) { return value.Name == i.Name; });
            // The scene effect's text value is the scene file it loads.
            if (info == effect.Class->Values.end() || info->Kind != evText) continue;
            if (!scenes.insert(value.Text).second) continue;
            const std::string& file = value.Text;
            if (options_.LoadFiles && options_.Device) {
                CheckFile(value.Where, file, [&] {
                    TSmartY3dLoader loader(options_.Device);
                    loader.RegisterSceneHandlers();
                    loader.Load(file);
                });
            } else {
                CheckFile(value.Where, file, [&] { open(file); });
            }
        }
    }
    TFlexibleStream::SetPath(path);
}

std::vector<TScriptFinding> TChecker::Finish() {
    CheckEffects();
    CheckFiles();
    std::stable_sort(findings_.begin(), findings_.end(), [](const TFinding& a, const TFinding& b) {
        if (a.Where.File != b.Where.File) return a.Where.File < b.Where.File;
        if (a.Where.Line != b.Where.Line) return a.Where.Line < b.Where.Line;
        return a.Where.Column < b.Where.Column;
    });
    std::vector<TScriptFinding> out;
    out.reserve(findings_.size());
    for (TFinding& f : findings_)
        out.push_back({files_[static_cast<size_t>(f.Where.File)], f.Where.Line, f.Where.Column, f.Severity,
                       std::move(f.Message)});
    return out;
}

} // namespace

std::string TScriptFinding::Text() const {
    return Format("%s:%d:%d: %s: %s", File.c_str(), Line, Column, Severity == fsError ? "error" : "warning",
                  Message.c_str());
}

std::vector<TScriptFinding> CheckScript(const std::string& name, const TEffectRegistry& registry,
                                        const TScriptCheckOptions& options) {
    TChecker checker(registry, options);
    checker.ReadFile(name, nullptr);
    return checker.Finish();
}

std::vector<TScriptFinding> CheckScriptText(const std::string& name, std::string text,
                                            const TEffectRegistry& registry,
                                            const TScriptCheckOptions& options) {
    TChecker checker(registry, options);
    checker.ReadText(name, std::move(text));
    return checker.Finish();
}

void ReportScriptFindings(const std::vector<TScriptFinding>& findings) {
    std::string out;
    for (const TScriptFinding& finding : findings)
        out += finding.Text() + "\n";
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

bool FindingsFail(const std::vector<TScriptFinding>& findings, bool strict) {
    return std::any_of(findings.begin(), findings.end(),
                       [&](const TScriptFinding& f) { return strict || f.Severity == fsError; });
}

std::string NearestName(std::string_view name, const std::vector<std::string>& candidates) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    std::string best;
    size_t bestDistance = SIZE_MAX;
    std::vector<size_t> row, previous;
    for (const std::string& candidate : candidates) {
        // The edit distance, one row at a time.
        previous.resize(candidate.size() + 1);
        row.resize(candidate.size() + 1);
        for (size_t j = 0; j <= candidate.size(); ++j)
            previous[j] = j;
        for (size_t i = 1; i <= name.size(); ++i) {
            row[0] = i;
            for (size_t j = 1; j <= candidate.size(); ++j) {
                size_t change = previous[j - 1] + (lower(name[i - 1]) == lower(candidate[j - 1]) ? 0 : 1);
                row[j] = std::min({previous[j] + 1, row[j - 1] + 1, change});
            }
            std::swap(row, previous);
        }
        if (previous[candidate.size()] < bestDistance) {
            bestDistance = previous[candidate.size()];
            best = candidate;
        }
    }
    return best;
}
