// mirel script --check from the command line, the shipped script checked
// clean, the messages of a script error on one line and in a message box,
// zumbrix's check at start-up, and docs/script-reference.md naming
// everything the loader, the evaluator and the effect registry know.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "data/FlexibleStream.h"
#include "demo/DemoEffect.h"
#include "platform/DebugSink.h"
#include "platform/Format.h"
#include "script/FileXMLParser.h"
#include "script/Parser.h"
#include "script/ScriptSyntax.h"
#include "tests/support/TestSupport.h"

#include <fstream>
#include <sstream>

using ::testing::HasSubstr;

namespace {

const std::string kArchive = std::string(ZUMBRIX_BINARY_DIR) + "/app/FILES.pck";

TEST(ScriptCheckCommand, TheShippedScriptChecksClean) {
    // From the sources with the built data folder, and from the archive.
    CommandResult loose = RunMirel({"script", SourcePath("content/zumbrix.xml"), "--data",
                                    std::string(ZUMBRIX_BINARY_DIR) + "/data", "--check", "--strict"});
    EXPECT_EQ(loose.exitCode, 0) << loose.out << loose.err;
    EXPECT_EQ(loose.out, "");
    CommandResult packed = RunMirel({"script", "zumbrix.xml", "--archive", kArchive, "--check", "--strict"});
    EXPECT_EQ(packed.exitCode, 0) << packed.out << packed.err;
    EXPECT_EQ(packed.out, "");
}

TEST(ScriptCheckCommand, ExitStatusCountsErrorsAndWithStrictWarnings) {
    TempDir dir;
    const std::string fade = R"(<effect name="f" class="TFade"><control name="color" kind="color">
<key value="0 0 0 0"/></control></effect>
)";
    WriteFileText(dir.File("warn.xml"), fade + "<part name=\"f\"/><demo/>\n<p art name=\"f\"/>\n");
    CommandResult warn = RunMirel({"script", dir.File("warn.xml"), "--check"});
    EXPECT_EQ(warn.exitCode, 0) << warn.err;
    EXPECT_EQ(warn.out, dir.File("warn.xml") +
                            ":4:1: warning: unknown tag <p> at the top level: the loader skips it (did you "
                            "mean <part>?)\n");
    EXPECT_EQ(RunMirel({"script", dir.File("warn.xml"), "--check", "--strict"}).exitCode, 1);

    WriteFileText(dir.File("err.xml"), fade + "<part name=\"g\"/><part name=\"f\"/>\n");
    CommandResult err = RunMirel({"script", dir.File("err.xml"), "--check"});
    EXPECT_EQ(err.exitCode, 1);
    EXPECT_THAT(err.out, HasSubstr(dir.File("err.xml") + ":3:1: error: the part names no effect"));
    // The same script loads without a word: the loader stays lenient.
    EXPECT_EQ(RunMirel({"script", dir.File("err.xml")}).exitCode, 0);
}

TEST(ScriptCheckCommand, DataFolderIsForWhatTheScriptLoadsOnly) {
    TempDir dir, data;
    WriteFileText(data.File("main.xml"), "<part name=\"x\"/>");
    WriteFileText(dir.File("main.xml"), "<!-- #include \"sub.xml\" -->");
    WriteFileText(data.File("sub.xml"), "<part name=\"y\" start=\"1\"/>");
    // FILE as given: the one in dir, its include from the data folder.
    CommandResult r = RunMirel({"script", dir.File("main.xml"), "--data", data.Path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\"name\": \"y\""));
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("\"name\": \"x\"")));
    // A FILE that is not there (relative to the current folder) is not
    // looked for in the data folder.
    r = RunMirel({"script", "main-of-nobody.xml", "--data", data.Path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("main-of-nobody.xml"));
}

TEST(ScriptErrorMessages, NameFileLineAndAttributeOnOneLineOrInABox) {
    TempDir dir;
    WriteFileText(dir.File("bad.xml"), "<effect name=\"f\" class=\"TFade\">\n<control name=\"color\">\n"
                                       "<key time=\"2**0.5\" value=\"0\"/>\n</control></effect>\n");
    CommandResult r = RunMirel({"script", dir.File("bad.xml")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, dir.File("bad.xml") + ":3: key time \"2**0.5\": Error parsing expression: 2; *0.5\n");

    // In-process: the message keeps the evaluator's carriage returns; a
    // message box shows them as line breaks, one-line outputs as "; ".
    TFlexibleStream::ResetSettings();
    TFileXMLParser script;
    std::string message;
    try {
        script.LoadScriptText("zumbrix.xml", "<part name=\"a\"/>\n<part name=\"b\" start=\"(1\" />");
    } catch (const Exception& e) {
        message = e.Message();
    }
    EXPECT_EQ(message, "zumbrix.xml:2: part start \"(1\": Missing brackets in expression (\")\")");
    try {
        script.LoadScriptText("zumbrix.xml", "<part stop=\"1+\"/>");
    } catch (const Exception& e) {
        message = e.Message();
    }
    EXPECT_EQ(message, "zumbrix.xml:1: part stop \"1+\": Error parsing expression:\r1+");
    EXPECT_EQ(MessageBoxText(message), "zumbrix.xml:1: part stop \"1+\": Error parsing expression:\n1+");
    EXPECT_EQ(OneLineMessage(message), "zumbrix.xml:1: part stop \"1+\": Error parsing expression: 1+");
    EXPECT_EQ(OneLineMessage("a\rb\r\nc\r"), "a; b; c");
}

TEST(ScriptErrorMessages, ZumbrixReportsCheckFindingsAndLoadErrorsOnStandardError) {
    TempDir data, out;
    WriteFileText(data.File("zumbrix.xml"), "<effect name=\"f\" class=\"TFdae\"></effect>\n"
                                            "<part name=\"f\" start=\"2**0.5\"/>\n");
    CommandResult r =
        RunZumbrix({"--data", data.Path(), "--render-frames", out.Path(), "--fps", "1", "--duration", "1"});
    if (r.err.find("display") != std::string::npos && r.exitCode == 1 &&
        r.err.find("zumbrix.xml") == std::string::npos)
        GTEST_SKIP() << r.err;
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err,
                HasSubstr("zumbrix.xml:1:18: error: unknown effect class \"TFdae\" (did you mean TFade?)"));
    EXPECT_THAT(
        r.err,
        HasSubstr("zumbrix.xml:2:16: error: part start \"2**0.5\": Error parsing expression: 2; *0.5\n"));
    // Then the loader's own message, on one line.
    EXPECT_THAT(r.err,
                HasSubstr("zumbrix.xml:2: part start \"2**0.5\": Error parsing expression: 2; *0.5 (data"));
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
}

TEST(ScriptErrorMessages, TheDebugLineOfAnUnknownTagNamesIt) {
    TFlexibleStream::ResetSettings();
    SetDebugOutputEnabled(true);
    ::testing::internal::CaptureStderr();
    TFileXMLParser script;
    script.LoadScriptText("main.xml", "<demo><p art name=\"x\"/></demo>");
    std::string err = ::testing::internal::GetCapturedStderr();
    SetDebugOutputEnabled(false);
    EXPECT_EQ(err, "Fel tag namn: demo\nFel tag namn: p\n");
}

// Every name a script can use appears in the reference as `name`.
TEST(ScriptReference, NamesEverythingTheProgramKnows) {
    std::ifstream file(SourcePath("docs/script-reference.md"));
    std::stringstream text;
    text << file.rdbuf();
    const std::string doc = text.str();
    ASSERT_FALSE(doc.empty());
    std::vector<std::string> missing;
    // Written as `name`, or as a tag in code: `<name>`, `<name .../>`.
    auto need = [&](std::string_view name) {
        const std::string plain = "`" + std::string(name) + "`", tag = "`<" + std::string(name);
        bool found = doc.find(plain) != std::string::npos;
        for (size_t at = doc.find(tag); !found && at != std::string::npos; at = doc.find(tag, at + 1)) {
            char next = at + tag.size() < doc.size() ? doc[at + tag.size()] : '\0';
            found = next == ' ' || next == '>' || next == '/';
        }
        if (!found) missing.emplace_back(name);
    };
    for (const TScriptElementInfo& element : kScriptElements) {
        need(element.Name);
        for (std::string_view attribute : element.Attributes)
            need(attribute);
    }
    for (const TResourceTagInfo& tag : kResourceTags)
        need(tag.Name);
    for (const TControlKindInfo& kind : kControlKinds)
        need(kind.Name);
    for (const TControlTypeInfo& type : kControlTypes)
        need(type.Name);
    TEffectRegistry registry;
    FillEffectRegistry(registry);
    for (const TDemoEffectClass& c : registry.Classes()) {
        need(c.Name);
        for (const TEffectValueInfo& value : c.Values)
            need(value.Name);
    }
    TParser parser;
    for (int arguments : {1, 2})
        for (const std::string& name : parser.FunctionNames(arguments))
            need(name);
    for (const std::string& name : parser.VariableNames())
        need(name);
    for (const char* keyword : {"PI", "DIV", "MOD"})
        need(keyword);
    EXPECT_TRUE(missing.empty()) << "docs/script-reference.md lacks: " << ::testing::PrintToString(missing);
    EXPECT_GE(parser.FunctionNames(1).size(), 24u);
    EXPECT_EQ(parser.FunctionNames(2).size(), 6u);
    EXPECT_EQ(parser.VariableNames().size(), 8u);
}

} // namespace
