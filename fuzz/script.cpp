// Fuzzes the demo script loader and the script checker: any text loads or
// stops with one of the engine's errors, and is checked without an error of
// its own, never a crash, a hang or unbounded recursion. Includes are
// read from a small archive in memory whose members include each other (one
// pair in a cycle).
#include "data/FlexibleStream.h"
#include "data/ZLBArchiveWriter.h"
#include "demo/ScriptCheck.h"
#include "script/FileXMLParser.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace {

void SetUpArchive() {
    auto source = std::make_shared<TMemoryStream>();
    {
        TZLBArchiveWriter writer(*source);
        auto add = [&](const char* name, const std::string& text) {
            writer.AddMember(name, text.data(), text.size(), false);
        };
        add("a.xml", "<part name=\"a\" start=\"1\" stop=\"2*3\"/><!-- #include \"b.xml\" -->");
        add("b.xml", "<!-- #include \"a.xml\" -->");
        add("c.xml", "<resources location=\"f:p\"><image name=\"i\" value=\"x.png\"/></resources>"
                     "<effect name=\"e\"><property name=\"p\" resource=\"i\"/>"
                     "<control name=\"c\" kind=\"color\" type=\"spline\"><key time=\"0\" value=\"1 2 3 4\"/>"
                     "<key time=\"1\" value=\"255 0 0 0\"/></control></effect>");
        writer.Finish();
    }
    TFlexibleStream::OpenArchiveStream(source, "fuzz.pck");
    TFlexibleStream::SetMode(lmPackage);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (SetUpArchive(), true);
    (void)ready;
    TFileXMLParser script;
    try {
        script.LoadScriptText("fuzz.xml", std::string(reinterpret_cast<const char*>(data), size));
    } catch (const Exception&) {
        // A bad time, number, include or cycle stops loading with a message.
    }
    // The checker reads the same text strictly; the files it names are
    // only opened.
    static const TEffectRegistry registry = [] {
        TEffectRegistry r;
        FillEffectRegistry(r);
        return r;
    }();
    TScriptCheckOptions options;
    options.LoadFiles = false;
    CheckScriptText("fuzz.xml", std::string(reinterpret_cast<const char*>(data), size), registry, options);
    for (const auto& effect : script.Effects()) {
        for (const auto& control : effect->Controls.Items) {
            effect->FindValue(control->Name, -1.0);
            effect->FindValue(control->Name, 0.5);
            effect->FindValue(control->Name, 1e6);
        }
        for (const auto& property : effect->Properties.Items)
            effect->FindValue(property->Name, 0.0);
    }
    return 0;
}
