// mirel eval / xml / script: evaluate an expression, list a document's
// scanner parts, dump a demo script's document model.
#include "tools/mirel/Mirel.h"
#include "tools/mirel/MirelInput.h"
#include "tools/mirel/SceneCommon.h"

#include "data/FlexibleStream.h"
#include "demo/DemoEffect.h"
#include "demo/ScriptCheck.h"
#include "platform/Format.h"
#include "script/FileXMLParser.h"
#include "script/Parser.h"
#include "script/XmlParser.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// The expression is the input: an empty one is refused; the evaluator's
// own messages say what is wrong with any other.
int Eval(const MirelArgs& args) {
    if (args.size() != 1) return MirelUsage("eval EXPR");
    if (args[0].find_first_not_of(" \t\r\n") == std::string::npos)
        return MirelFail("The expression is empty");
    TParser parser;
    parser.SetExpression(args[0]);
    double value = static_cast<double>(parser.GetValue());
    if (value == 0) value = 0; // print a negative zero as 0
    std::printf("%.17g\n", value);
    return 0;
}

// The parts are collected and printed only once the whole text is scanned.
int Xml(const MirelArgs& args) {
    if (args.size() != 1) return MirelUsage("xml FILE");
    std::vector<uint8_t> bytes = ReadInputFile(args[0]);
    CheckMarkupText(args[0], bytes);
    TXmlParser scanner;
    scanner.SetBuffer(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    scanner.Rewind();
    std::string line, out;
    while (scanner.Next()) {
        line = "{\"kind\": " + JsonString(XmlPartTypeName(scanner.CurPartType()));
        line += ", \"name\": " + JsonString(scanner.CurName());
        line += ", \"content\": " + JsonString(scanner.CurContent());
        line +=
            Format(", \"start\": %zu, \"final\": %zu, \"attrs\": [", scanner.CurStart(), scanner.CurFinal());
        const TAttrList& attrs = scanner.CurAttr();
        for (size_t i = 0; i < attrs.Count(); ++i) {
            if (i) line += ", ";
            line += "[" + JsonString(attrs[i].Name) + ", " + JsonString(attrs[i].Value) + "]";
        }
        line += "]}\n";
        out += line;
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

const char* kScriptUsage =
    "script FILE [--data DIR | --archive PCK] [--value EFFECT NAME T | --check [--strict]]";

std::string RecordJson(const TValueRecord* record) {
    if (!record) return "null";
    switch (record->Kind) {
    case vkFloat:
        return Format("{\"kind\": 2, \"float\": %s}", JsonFloat(record->Floats[0]).c_str());
    case vkColor:
        return Format("{\"kind\": 6, \"color\": [%s, %s, %s, %s]}", JsonFloat(record->Floats[0]).c_str(),
                      JsonFloat(record->Floats[1]).c_str(), JsonFloat(record->Floats[2]).c_str(),
                      JsonFloat(record->Floats[3]).c_str());
    case vkText:
        return "{\"kind\": 3, \"text\": " + JsonString(record->Text ? record->Text : "") + "}";
    default:
        return Format("{\"kind\": %d}", record->Kind);
    }
}

const char* ControlKindText(uint8_t kind) {
    switch (kind) {
    case ckColor:
        return "color";
    case ckPos:
        return "pos";
    case ckEuler:
        return "euler";
    default:
        return "float";
    }
}

const char* ControlTypeText(uint8_t animKind) {
    switch (animKind) {
    case akLinear:
        return "linear";
    case akCardinalSpline:
        return "spline";
    default:
        return "hold";
    }
}

std::string ModelJson(const TFileXMLParser& script) {
    std::string out = "{\"resources\": ";
    if (const TResources* section = script.GetResources()) {
        out += "{\"location_kind\": " + JsonString(section->LocationKind) +
               ", \"path\": " + JsonString(section->Path) + ", \"items\": [";
        for (size_t i = 0; i < section->Items.size(); ++i) {
            const TResource& r = *section->Items[i];
            out += i ? ", " : "";
            out += "{\"kind\": " + JsonString(ResourceKindName(r.Kind)) +
                   ", \"name\": " + JsonString(r.Name) + ", \"value\": " + JsonString(r.Value);
            if (auto* t = dynamic_cast<const TTextureResource*>(&r))
                out += Format(", \"smooth\": %s, \"repeat\": %s, \"fullscreen\": %s",
                              t->Smooth ? "true" : "false", t->Repeat ? "true" : "false",
                              t->Fullscreen ? "true" : "false");
            out += "}";
        }
        out += "]}";
    } else {
        out += "null";
    }
    out += ", \"effects\": [";
    for (size_t e = 0; e < script.Effects().size(); ++e) {
        const TEffect& effect = *script.Effects()[e];
        out += e ? ", " : "";
        out += "{\"name\": " + JsonString(effect.Name) + ", \"class\": " + JsonString(effect.ClassName) +
               ", \"properties\": [";
        for (size_t i = 0; i < effect.Properties.Items.size(); ++i) {
            const TProperty& p = *effect.Properties.Items[i];
            out += i ? ", " : "";
            out += "{\"name\": " + JsonString(p.Name) + ", ";
            out +=
                p.IsText ? "\"value\": " + JsonString(p.Text) : "\"resource\": " + JsonString(p.ResourceName);
            out += "}";
        }
        out += "], \"controls\": [";
        for (size_t i = 0; i < effect.Controls.Items.size(); ++i) {
            const TControl& c = *effect.Controls.Items[i];
            out += i ? ", " : "";
            out += "{\"name\": " + JsonString(c.Name) + ", \"kind\": " + JsonString(ControlKindText(c.Kind)) +
                   ", \"type\": " + JsonString(ControlTypeText(c.Anim.Kind)) +
                   ", \"repeat\": " + (c.Anim.Repeat ? JsonFloat(c.Anim.RepeatStart) : std::string("null")) +
                   ", \"keys\": [";
            for (int32_t k = 0; k < c.Anim.Keys.Count(); ++k) {
                const TAnimKey* key = c.Anim.Keys.Get(k);
                out += k ? ", " : "";
                out += "{\"time\": " + JsonFloat(key->Time) + ", \"values\": [";
                for (size_t v = 0; v < key->Values.size(); ++v)
                    out += (v ? ", " : "") + JsonFloat(static_cast<float>(key->Values[v].Value));
                out += "]}";
            }
            out += "]}";
        }
        out += "]}";
    }
    out += "], \"parts\": [";
    for (size_t i = 0; i < script.Parts().size(); ++i) {
        const TPart& p = *script.Parts()[i];
        out += i ? ", " : "";
        out += "{\"name\": " + JsonString(p.Name) + ", \"prepare\": " + JsonFloat(p.Prepare) +
               ", \"start\": " + JsonFloat(p.Start) + ", \"stop\": " + JsonFloat(p.Stop) +
               ", \"unprepare\": " + JsonFloat(p.Unprepare) + "}";
    }
    out += "], \"end\": " + JsonFloat(script.EndTime()) + ", \"end_declared\": ";
    out += script.EndDeclared() ? "true" : "false";
    out += ", \"errors\": [";
    const std::vector<std::string>& lines = script.Errors()->Lines();
    for (size_t i = 0; i < lines.size(); ++i)
        out += (i ? ", " : "") + JsonString(lines[i]);
    out += "]}\n";
    return out;
}

// The findings of --check, one line each on standard output; the exit
// status says whether they fail the check.
int CheckScriptFile(const std::string& file, const std::string& text, bool fromArchive, bool strict) {
    TEffectRegistry registry;
    FillEffectRegistry(registry);
    TScriptCheckOptions options;
    // Scene files are built as the demo builds them, on a hidden window's
    // device; without a display they are only opened.
    // (SDL finds a video driver even without an X11 or Wayland display, but
    // GLU cannot work on what it gives.)
    std::unique_ptr<THiddenGL> gl;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    try {
        if ((!x11 || !*x11) && (!wayland || !*wayland)) throw Exception("no X11 or Wayland display");
        gl = std::make_unique<THiddenGL>();
        options.Device = gl->Device();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: no OpenGL display (%s): scene files are only opened, not loaded\n",
                     file.c_str(), OneLineMessage(e.what()).c_str());
    }
    std::vector<TScriptFinding> findings =
        fromArchive ? CheckScript(file, registry, options) : CheckScriptText(file, text, registry, options);
    std::string out;
    for (const TScriptFinding& finding : findings)
        out += finding.Text() + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return FindingsFail(findings, strict) ? 1 : 0;
}

int Script(const MirelArgs& args) {
    std::string file, dataDir, archive, effectName, valueName, timeText;
    bool value = false, check = false, strict = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--data" && i + 1 < args.size()) {
            dataDir = args[++i];
        } else if (args[i] == "--archive" && i + 1 < args.size()) {
            archive = args[++i];
        } else if (args[i] == "--value" && i + 3 < args.size()) {
            value = true;
            effectName = args[++i];
            valueName = args[++i];
            timeText = args[++i];
        } else if (args[i] == "--check") {
            check = true;
        } else if (args[i] == "--strict") {
            strict = true;
        } else if (file.empty() && args[i].rfind("--", 0) != 0) {
            file = args[i];
        } else {
            return MirelUsage(kScriptUsage);
        }
    }
    if (file.empty() || (!dataDir.empty() && !archive.empty()) || (check && value) || (strict && !check))
        return MirelUsage(kScriptUsage);
    double time = 0;
    if (value) time = StrToFloat(timeText);

    // Where what the script loads comes from: the archive, the data folder,
    // or the script's own folder. The script itself is the file as given,
    // except with an archive, where it is one of the archive's members.
    TFlexibleStream::ResetSettings();
    const bool fromArchive = !archive.empty();
    if (fromArchive) {
        RunNamingFile(archive, [&] {
            TFlexibleStream::OpenArchiveFile(archive);
            return 0;
        });
        TFlexibleStream::SetMode(lmPackage);
    } else {
        size_t slash = file.find_last_of('/');
        TFlexibleStream::SetMode(lmFile);
        if (!dataDir.empty())
            TFlexibleStream::SetDataRoot(dataDir);
        else if (slash != std::string::npos)
            TFlexibleStream::SetDataRoot(file.substr(0, slash + 1));
    }

    std::string text;
    if (!fromArchive) {
        std::vector<uint8_t> bytes = ReadInputFile(file);
        // The checker reports broken markup itself, with its place.
        if (!check) CheckMarkupText(file, bytes);
        text.assign(bytes.begin(), bytes.end());
    }
    if (check) return CheckScriptFile(file, text, fromArchive, strict);

    TFileXMLParser script;
    RunNamingFile(file, [&] {
        if (fromArchive) {
            TFlexibleStream stream(file);
            std::vector<uint8_t> bytes(static_cast<size_t>(stream.GetSize()));
            stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
            CheckMarkupText(file, bytes);
            script.LoadScript(file);
        } else {
            script.LoadScriptText(file, std::move(text));
        }
        return 0;
    });
    if (!value) {
        std::string json = ModelJson(script);
        std::fwrite(json.data(), 1, json.size(), stdout);
        return 0;
    }
    TEffect* effect = script.FindEffect(effectName);
    if (!effect) return MirelFail(Format("The effect %s cant be found", effectName.c_str()));
    std::printf("%s\n", RecordJson(effect->FindValue(valueName, time)).c_str());
    return 0;
}

MirelCommandRegistration scriptCommand("script", kScriptUsage, Script);
MirelCommandRegistration evalCommand("eval", "eval EXPR", Eval);
MirelCommandRegistration xmlCommand("xml", "xml FILE", Xml);

} // namespace
