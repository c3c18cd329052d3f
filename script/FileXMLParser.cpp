// The demo script loader: dispatches the scanner's parts to the readers of
// the resource section, effects, properties, controls and parts.
#include "script/FileXMLParser.h"

#include "data/FlexibleStream.h"
#include "platform/DebugSink.h"
#include "platform/Format.h"
#include "script/ScriptSyntax.h"
#include "script/XmlParser.h"

#include <cmath>
#include <algorithm>

namespace {

bool IsTag(const TXmlParser& scanner) {
    return scanner.CurPartType() == ptStartTag || scanner.CurPartType() == ptEmptyTag;
}

// Names of data files are compared by their letters without regard to case,
// and "\" and "/" both separate folders.
std::string IncludeKey(const std::string& name) {
    std::string key = name;
    for (char& c : key) {
        if (c == '\\')
            c = '/';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

// The i-th field of a text whose fields are separated by single spaces (two
// spaces in a row make an empty field); empty when there are fewer fields.
std::string_view Field(std::string_view text, int index) {
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        size_t space = text.find(' ', start);
        if (space == std::string_view::npos) return {};
        start = space + 1;
    }
    size_t end = text.find(' ', start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

// The line (from 1) of a byte of a text.
int LineOf(const char* text, size_t offset) {
    int line = 1;
    for (size_t i = 0; i < offset && text[i]; ++i)
        if (text[i] == '\n') ++line;
    return line;
}

} // namespace

TFileXMLParser::TFileXMLParser() : errors_(new TErrors) {
    // Numbers are converted with "." as the decimal separator whatever the
    // locale: every conversion here is locale-independent.
}

TEffect* TFileXMLParser::FindEffect(const std::string& name) const {
    for (const auto& effect : effects_)
        if (effect->Name == name) return effect.get();
    return nullptr;
}

void TFileXMLParser::LoadScript(const std::string& name) {
    // Refuse a file already being read: following it would never end.
    std::string key = IncludeKey(name);
    for (size_t i = 0; i < includeChain_.size(); ++i) {
        if (IncludeKey(includeChain_[i]) != key) continue;
        std::string chain;
        for (size_t j = i; j < includeChain_.size(); ++j)
            chain += includeChain_[j] + " -> ";
        throw EScriptError(Format("Include cycle: %s%s", chain.c_str(), name.c_str()));
    }
    if (includeChain_.size() >= kMaxIncludeDepth)
        throw EScriptError(Format("Includes nested too deeply at %s", name.c_str()));

    std::string text;
    {
        TFlexibleStream stream(name);
        int64_t size = stream.GetSize();
        stream.SetPosition(0);
        text.resize(static_cast<size_t>(size));
        if (size > 0) stream.ReadBuffer(text.data(), size);
    }
    LoadScriptText(name, std::move(text));
}

void TFileXMLParser::LoadScriptText(const std::string& name, std::string text) {
    if (includeChain_.empty()) {
        errorFile_.clear();
        errorLine_ = 0;
    }
    files_.push_back(name);
    includeChain_.push_back(name);
    try {
        Scan(std::move(text));
    } catch (Exception& e) {
        includeChain_.pop_back();
        // The innermost script names itself; the files that include it do not
        // name themselves again.
        if (!errorNamed_ && e.Message().find(name) == std::string::npos) e.AddContext(name + ": ");
        errorNamed_ = !includeChain_.empty();
        throw;
    } catch (...) {
        includeChain_.pop_back();
        throw;
    }
    includeChain_.pop_back();
}

void TFileXMLParser::Scan(std::string text) {
    TXmlParser scanner;
    scanner.TakeBuffer(std::move(text)); // the text ends at its first zero byte
    scanner.Rewind();
    try {
        ScanParts(scanner);
    } catch (...) {
        // The innermost file being scanned says where: the line of the part
        // the scanner stood on.
        if (errorFile_.empty() && !includeChain_.empty()) {
            errorFile_ = includeChain_.back();
            size_t end = std::min(scanner.CurStart(), scanner.Size());
            errorLine_ = 1 + int(std::count(scanner.Buffer(), scanner.Buffer() + end, '\n'));
        }
        throw;
    }
}

void TFileXMLParser::ScanParts(TXmlParser& scanner) {
    while (scanner.Next()) {
        switch (scanner.CurPartType()) {
        case ptComment:
            ReadInclude(scanner);
            break;
        case ptStartTag:
        case ptEmptyTag: {
            std::string_view tag = scanner.CurName();
            if (tag == "resources")
                ReadResources(scanner);
            else if (tag == "effect")
                ReadEffect(scanner);
            else if (tag == "part")
                ReadPart(scanner);
            else if (tag == "timeline")
                ReadTimeline(scanner);
            else
                DebugOutput(Format("Fel tag namn: %s", std::string(tag).c_str()));
            break;
        }
        default:
            break; // text, end tags, processing instructions, CDATA
        }
    }
}

void TFileXMLParser::ReadInclude(TXmlParser& scanner) {
    // The comment's raw text from "<!--" up to, not including, its final ">".
    std::string_view raw(scanner.Buffer() + scanner.CurStart(), scanner.CurFinal() - scanner.CurStart());
    if (raw.find("#include") == std::string_view::npos) return;
    std::string name;
    size_t open = raw.find('"');
    if (open != std::string_view::npos) {
        size_t close = raw.find('"', open + 1);
        name = std::string(raw.substr(open + 1, close == std::string_view::npos ? std::string_view::npos
                                                                                : close - open - 1));
    }
    LoadScript(name);
}

void TFileXMLParser::ReadResources(TXmlParser& scanner) {
    auto section = std::make_unique<TResources>();
    // "kind:path[:...]": the kind before the first colon, the path up to a
    // second colon or the end.
    std::string_view location = scanner.CurAttr().Value("location");
    size_t colon = location.find(':');
    section->LocationKind = location.substr(0, colon);
    if (colon != std::string::npos) {
        size_t second = location.find(':', colon + 1);
        section->Path =
            location.substr(colon + 1, second == std::string::npos ? std::string::npos : second - colon - 1);
        if (!section->Path.empty() && section->Path.back() != '\\') section->Path += '\\';
    }
    while (scanner.Next()) {
        if (scanner.CurPartType() == ptEndTag) break; // the first end tag of any name
        if (!IsTag(scanner)) continue;
        std::string_view tag = scanner.CurName();
        std::unique_ptr<TResource> resource;
        for (const TResourceTagInfo& info : kResourceTags) {
            if (tag != info.Name) continue;
            switch (info.Kind) {
            case rkImage:
                resource = std::make_unique<TImageResource>();
                break;
            case rkTexture:
                resource = std::make_unique<TTextureResource>();
                break;
            case rkCubeTexture:
                resource = std::make_unique<TCubeTextureResource>();
                break;
            case rkMp3:
                resource = std::make_unique<Tmp3Resource>();
                break;
            case rkConsoleFont:
                resource = std::make_unique<TConsoleFontResource>();
                break;
            case rkBinary:
                resource = std::make_unique<TBinaryResource>();
                break;
            }
        }
        if (!resource) continue;
        const TAttrList& attrs = scanner.CurAttr();
        resource->Name = attrs.Value("name");
        resource->Value = attrs.Value("value");
        if (auto* texture = dynamic_cast<TTextureResource*>(resource.get())) {
            // Absent means true; present, only exactly "true" is true.
            auto flag = [&](const char* n) {
                std::string_view v = attrs.Value(n);
                return v.empty() || v == "true";
            };
            texture->Smooth = flag("smooth");
            texture->Repeat = flag("repeat");
            texture->Fullscreen = flag("fullscreen");
        }
        section->Items.push_back(std::move(resource));
    }
    resources_ = section.get();
    sections_.push_back(std::move(section));
}

void TFileXMLParser::ReadEffect(TXmlParser& scanner) {
    auto effect = std::make_unique<TEffect>();
    effect->Name = scanner.CurAttr().Value("name");
    effect->ClassName = scanner.CurAttr().Value("class");
    effect->Resources = resources_;
    effect->Errors = errors_.Get();
    if (!includeChain_.empty()) effect->File = includeChain_.back();
    while (scanner.Next()) {
        if (scanner.CurPartType() == ptEndTag) {
            if (scanner.CurName() == "effect") break; // other end tags inside are ignored
            continue;
        }
        if (!IsTag(scanner)) continue;
        if (scanner.CurName() == "property")
            ReadProperty(scanner, *effect);
        else if (scanner.CurName() == "control")
            ReadControl(scanner, *effect);
    }
    effects_.push_back(std::move(effect));
}

void TFileXMLParser::ReadProperty(TXmlParser& scanner, TEffect& effect) {
    auto property = std::make_unique<TProperty>();
    const TAttrList& attrs = scanner.CurAttr();
    property->Name = attrs.Value("name");
    property->Text = attrs.Value("value");
    if (!property->Text.empty()) {
        property->IsText = true;
        property->OwnRecord.SetText(property->Text.c_str());
    } else {
        property->ResourceName = attrs.Value("resource");
        TRefPtr<IResource> found;
        if (effect.Resources) effect.Resources->Find(property->ResourceName, found, 0.0);
        if (found) {
            property->Reported = found->GetValue();
        } else {
            // Also when no resource section was read before the effect.
            errors_->AddError(Format("The resource %s cant be found", property->ResourceName.c_str()));
            property->OwnRecord.SetText(property->Text.c_str());
        }
    }
    effect.Properties.Items.push_back(std::move(property));
}

void TFileXMLParser::ReadControl(TXmlParser& scanner, TEffect& effect) {
    auto control = std::make_unique<TControl>();
    const TAttrList& attrs = scanner.CurAttr();
    control->Name = attrs.Value("name");
    int valueCount = 1;
    std::string_view kind = attrs.Value("kind");
    for (const TControlKindInfo& row : kControlKinds)
        if (kind == row.Name) {
            valueCount = row.Count;
            control->Kind = row.Code;
        }
    uint8_t animKind = akHold;
    std::string_view type = attrs.Value("type");
    for (const TControlTypeInfo& row : kControlTypes)
        if (type == row.Name) animKind = row.AnimKind;

    TAnim& anim = control->Anim;
    anim.AutoTangents = true;
    anim.SetValueCount(valueCount);
    anim.Kind = animKind;
    std::string_view repeat = attrs.Value("repeat");
    if (!repeat.empty()) {
        anim.SetRepeat(true);
        try {
            anim.SetRepeatStart(static_cast<float>(StrToFloat(repeat)));
        } catch (Exception& e) {
            NameWhere(e, scanner, "control repeat", repeat);
            throw;
        }
    }

    // Every tag up to the first end tag of any name is a key.
    while (scanner.Next()) {
        if (scanner.CurPartType() == ptEndTag) break;
        if (!IsTag(scanner)) continue;
        const TAttrList& keyAttrs = scanner.CurAttr();
        TAnimKey* key = anim.AddKey();
        std::string_view time = keyAttrs.Value("time");
        try {
            key->Time = EvaluateTime(time);
        } catch (Exception& e) {
            NameWhere(e, scanner, "key time", time);
            throw;
        }
        std::string_view values = keyAttrs.Value("value");
        // Colours written without a decimal point are bytes (0-255).
        bool scaleBytes = control->Kind == ckColor && values.find('.') == std::string_view::npos;
        try {
            for (int i = 0; i < valueCount && i < key->ValueCount; ++i) {
                double v = StrToFloat(Field(values, i));
                key->Values[i].Value = scaleBytes ? v / 255.0 : v;
            }
        } catch (Exception& e) {
            NameWhere(e, scanner, "key value", values);
            throw;
        }
    }
    effect.Controls.Items.push_back(std::move(control));
}

float TFileXMLParser::EvaluateTime(std::string_view text) {
    // All spaces go; the buffer keeps its storage from one time to the next.
    expression_.resize(text.size());
    size_t length = 0;
    for (char c : text)
        if (c != ' ') expression_[length++] = c;
    expression_.resize(length);
    if (length == 0) return 0.0f;
    double value = 0;
    if (TCustomParser::QuickValue(expression_, value)) return static_cast<float>(value);
    parser_.SetExpression(expression_);
    return static_cast<float>(static_cast<double>(parser_.GetValue()));
}

void TFileXMLParser::ReadPart(TXmlParser& scanner) {
    auto part = std::make_unique<TPart>();
    const TAttrList& attrs = scanner.CurAttr();
    part->Name = attrs.Value("name");
    auto time = [&](const char* attribute) {
        std::string_view text = attrs.Value(attribute);
        try {
            return EvaluateTime(text);
        } catch (Exception& e) {
            NameWhere(e, scanner, std::string("part ") + attribute, text);
            throw;
        }
    };
    part->Start = time("start");
    part->Stop = time("stop");
    std::string_view prepare = attrs.Value("prepare");
    part->Prepare = prepare.empty() ? part->Start : time("prepare");
    std::string_view unprepare = attrs.Value("unprepare");
    if (!unprepare.empty())
        part->Unprepare = time("unprepare");
    else
        part->Unprepare = part->Stop > part->Start ? part->Stop : -100.0f;
    parts_.push_back(std::move(part));
}

void TFileXMLParser::ReadTimeline(TXmlParser& scanner) {
    // The frame loop, the offline runs and the track bar all count on an end
    // that lies after the start of the demo: anything else is refused here,
    // where the file it is written in gets named.
    std::string_view text = scanner.CurAttr().Value("end");
    if (text.empty()) {
        EScriptError e("<timeline> declares no end (end=\"seconds\")");
        NameWhere(e, scanner, "timeline end", text);
        throw e;
    }
    float end = 0.0f;
    try {
        end = EvaluateTime(text);
    } catch (Exception& e) {
        NameWhere(e, scanner, "timeline end", text);
        throw;
    }
    if (!std::isfinite(end) || !(end > 0.0f)) {
        EScriptError e(Format("The timeline's end must be a positive number of seconds, not %g", double(end)));
        NameWhere(e, scanner, "timeline end", text);
        throw e;
    }
    endTime_ = end;
    endDeclared_ = true;
}

void TFileXMLParser::NameWhere(Exception& e, const TXmlParser& scanner, std::string_view attribute,
                               std::string_view text) const {
    // "zumbrix.xml:41: part start "2**0.5": ": the file, the line of the
    // element, which of its attributes and what it says.
    std::string where = includeChain_.empty() ? std::string() : includeChain_.back();
    where += Format(":%d: ", LineOf(scanner.Buffer(), scanner.CurStart()));
    where += std::string(attribute) + " \"" + std::string(text) + "\": ";
    e.AddContext(where);
}
