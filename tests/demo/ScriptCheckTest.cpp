// The script checker: one small script per kind of mistake, the finding it
// gives (file, line, column, severity, message) and what the lenient loader
// still makes of the same script; the effect classes' tables of the values
// they read against what they really ask for.
#include "tests/demo/DemoTestSupport.h"

#include "data/FlexibleStream.h"
#include "demo/Fade.h"
#include "demo/SceneEffect.h"
#include "demo/ScriptCheck.h"
#include "scene/loader/SmartY3dLoader.h"
#include "scene/loader/Y3dFile.h"
#include "script/FileXMLParser.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using ::testing::HasSubstr;

namespace {

// A fade that is used: the base the rows change one thing of.
const char* kFade = R"(<effect name="fade" class="TFade">
<control name="color" kind="color">
<key time="0" value="255 0 0 255"/>
</control>
</effect>
)";
const char* kFadePart = R"(<part name="fade" start="0" stop="1"/>
)";

struct CheckRow {
    const char* label;
    std::string script;                // main.xml
    std::vector<std::string> expected; // "main.xml:L:C: severity: " and a part of the message, per finding
    int effects, parts;                // what the loader makes of it
    bool loadFails;
};

std::vector<CheckRow> Rows() {
    const std::string fade = kFade, part = kFadePart;
    return {
        {"clean", fade + part, {}, 1, 1, false},
        {"missing end of an effect",
         "<effect name=\"a\" class=\"TFade\">\n<control name=\"color\" kind=\"color\"><key value=\"0 0 0 "
         "0\"/></control>\n" +
             fade + "<part name=\"a\"/>" + part,
         {"main.xml:1:1: error: <effect> is not closed before the <effect> at 3:1"},
         1,
         2,
         false},
        {"end tag closing nothing",
         fade + "</part>\n" + part,
         {"main.xml:6:1: error: </part> closes no open element"},
         1,
         1,
         false},
        {"element never closed",
         "<demo>\n" + fade + part,
         {"main.xml:1:1: error: <demo> is never closed"},
         1,
         1,
         false},
        {"effect written as an empty element",
         "<effect name=\"e\" class=\"TFade\"/>\n" + fade + part,
         {"main.xml:1:1: error: <effect .../> is written as an empty element",
          "main.xml:1:1: error: the TFade effect \"e\" has no \"color\"",
          "main.xml:1:1: warning: the effect \"e\" is used by no part"},
         1,
         1,
         false},
        {"unknown top-level tag",
         fade + "<efect name=\"x\"/>\n" + part,
         {"main.xml:6:1: warning: unknown tag <efect> at the top level: the loader skips it (did you mean "
          "<effect>?)"},
         1,
         1,
         false},
        {"unknown resource tag",
         "<resources>\n<imag name=\"p\" value=\"p.tga\"/>\n</resources>\n" + fade + part,
         {"main.xml:2:1: warning: unknown tag <imag> in resources: the loader skips it (did you mean "
          "<image>?)"},
         1,
         1,
         false},
        {"resource written with an end tag",
         "<resources>\n<binary name=\"b\" value=\"b.bin\"></binary>\n</resources>\n" + fade + part,
         {"main.xml:2:1: error: <binary> in resources must be an empty element",
          "main.xml:2:1: error: Couldn't open the file named b.bin"},
         1,
         1,
         false},
        {"attribute the element does not have",
         fade + "<part name=\"fade\" start=\"0\" stpo=\"2\"/>\n",
         {"main.xml:6:29: warning: <part> has no attribute stpo: the loader ignores it (did you mean stop?)"},
         1,
         1,
         false},
        {"unknown effect class",
         "<effect name=\"fade\" class=\"TFdae\">\n<control name=\"color\" kind=\"color\"/>\n</effect>\n" +
             part,
         {"main.xml:1:21: error: unknown effect class \"TFdae\" (did you mean TFade?)",
          "main.xml:2:1: error: <control .../> is written as an empty element"},
         1,
         0,
         false},
        {"property the class never reads",
         "<effect name=\"s\" class=\"TSceneLoadTest\">\n<property name=\"name\" value=\"s.y3d\"/>\n"
         "<property name=\"fsp\" value=\"30\"/>\n</effect>\n<part name=\"s\"/>\n",
         {"main.xml:3:1: warning: property \"fsp\": TSceneLoadTest never reads it (did you mean fps?)"},
         1,
         1,
         false},
        {"control the class never reads",
         "<effect name=\"fade\" class=\"TFade\">\n<control name=\"colour\" kind=\"color\">\n"
         "<key value=\"0 0 0 0\"/>\n</control>\n</effect>\n" +
             part,
         {"main.xml:1:1: error: the TFade effect \"fade\" has no \"color\"",
          "main.xml:2:1: warning: control \"colour\": TFade never reads it (did you mean color?)"},
         1,
         1,
         false},
        {"unknown control kind",
         "<effect name=\"fade\" class=\"TFade\">\n<control name=\"color\" kind=\"colour\">\n"
         "<key value=\"0\"/>\n</control>\n</effect>\n" +
             part,
         {"main.xml:2:23: error: unknown control kind \"colour\" (did you mean color?)",
          "main.xml:2:1: error: TFade reads \"color\" as a colour"},
         1,
         1,
         false},
        {"unknown control type",
         "<effect name=\"fade\" class=\"TFade\">\n<control name=\"color\" kind=\"color\" type=\"splin\">\n"
         "<key value=\"0 0 0 0\"/>\n</control>\n</effect>\n" +
             part,
         {"main.xml:2:36: error: unknown control type \"splin\" (did you mean spline?)"},
         1,
         1,
         false},
        {"repeat on a spline",
         "<effect name=\"fade\" class=\"TFade\">\n<control name=\"color\" kind=\"color\" type=\"spline\" "
         "repeat=\"0\">\n<key value=\"0 0 0 0\"/>\n</control>\n</effect>\n" +
             part,
         {"main.xml:2:50: warning: a spline control does not repeat"},
         1,
         1,
         false},
        {"key value with too few fields",
         "<effect name=\"fade\" class=\"TFade\">\n<control name=\"color\" kind=\"color\">\n"
         "<key time=\"1\" value=\"255 0 0\"/>\n</control>\n</effect>\n" +
             part,
         {"main.xml:3:15: error: key value \"255 0 0\" has 3 fields: a color control needs 4"},
         1,
         1,
         true},
        {"key value with too many fields",
         "<effect name=\"fade\" class=\"TFade\">\n<control name=\"color\" kind=\"color\">\n"
         "<key value=\"1 2 3 4 5\"/>\n</control>\n</effect>\n" +
             part,
         {"main.xml:3:6: error: key value \"1 2 3 4 5\" has 5 fields: a color control needs 4"},
         1,
         1,
         false},
        {"key value that is no number",
         "<effect name=\"s\" class=\"TSceneLoadTest\">\n<property name=\"name\" value=\"s.y3d\"/>\n"
         "<control name=\"camera\">\n<key value=\"one\"/>\n</control>\n</effect>\n<part name=\"s\"/>\n",
         {"main.xml:4:6: error: key value \"one\": 'one' is not a valid floating point value"},
         1,
         1,
         true},
        {"part naming no effect",
         fade + "<part name=\"fdae\"/>\n",
         {"main.xml:1:1: warning: the effect \"fade\" is used by no part",
          "main.xml:6:1: error: the part names no effect: no effect is called \"fdae\" (did you mean fade?)"},
         1,
         1,
         false},
        {"effect no part uses",
         fade,
         {"main.xml:1:1: warning: the effect \"fade\" is used by no part"},
         1,
         0,
         false},
        {"part time that fails",
         fade + "<part name=\"fade\" start=\"2**0.5\"/>\n",
         {"main.xml:6:19: error: part start \"2**0.5\": Error parsing expression: 2; *0.5"},
         1,
         0,
         true},
        {"key time that fails",
         "<effect name=\"fade\" class=\"TFade\">\n<control name=\"color\" kind=\"color\">\n"
         "<key time=\"1/0\" value=\"0 0 0 0\"/>\n</control>\n</effect>\n" +
             part,
         {"main.xml:3:6: error: key time \"1/0\": Floating point division by zero"},
         0,
         0,
         true},
        {"missing resource file",
         "<resources>\n<binary name=\"b\" value=\"gone.bin\"/>\n</resources>\n" + fade + part,
         {"main.xml:2:1: error: Couldn't open the file named"},
         1,
         1,
         false},
        {"picture that cannot be decoded",
         "<resources>\n<image name=\"p\" value=\"bad.jpg\"/>\n</resources>\n" + fade + part,
         {"main.xml:2:1: error: bad.jpg"},
         1,
         1,
         false},
        {"music that cannot be decoded",
         "<resources>\n<mp3 value=\"bad.jpg\"/>\n</resources>\n" + fade + part,
         {"main.xml:2:1: error: bad.jpg: holds no MP3 audio the player can decode"},
         1,
         1,
         false},
        {"missing scene file",
         "<effect name=\"s\" class=\"TSceneLoadTest\">\n<property name=\"name\" value=\"gone.y3d\"/>\n"
         "<property name=\"fps\" value=\"30\"/>\n</effect>\n<part name=\"s\"/>\n",
         {"main.xml:2:1: error: Couldn't open the file named"},
         1,
         1,
         false},
        {"resource that does not exist",
         "<resources>\n</resources>\n<effect name=\"s\" class=\"TSceneLoadTest\">\n"
         "<property name=\"name\" value=\"s.y3d\"/>\n<property name=\"background\" resource=\"sky\"/>\n"
         "</effect>\n<part name=\"s\"/>\n",
         {"main.xml:5:1: error: The resource sky cant be found"},
         1,
         1,
         false},
        {"number property that is no number",
         "<effect name=\"s\" class=\"TSceneLoadTest\">\n<property name=\"name\" value=\"s.y3d\"/>\n"
         "<property name=\"fps\" value=\"fast\"/>\n</effect>\n<part name=\"s\"/>\n",
         {"main.xml:3:1: error: property \"fps\": 'fast' is not a valid floating point value"},
         1,
         1,
         false},
        {"timeline end that is not positive",
         fade + part + "<timeline end=\"10-10\"/>\n",
         {"main.xml:7:11: error: timeline end \"10-10\" is 0"},
         1,
         1,
         true},
        {"include of a missing file",
         "<!-- #include file=\"gone.xml\" -->\n" + fade + part,
         {"main.xml:1:6: error: #include \"gone.xml\": Couldn't open the file named"},
         0,
         0,
         true},
        {"include of itself",
         "<!-- #include \"main.xml\" -->\n" + fade + part,
         {"main.xml:1:6: error: #include \"main.xml\": the file includes itself"},
         0,
         0,
         true},
    };
}

struct ScriptCheck : ::testing::TestWithParam<CheckRow> {
    TempDir dir;
    TEffectRegistry registry;
    void SetUp() override {
        FillEffectRegistry(registry);
        TFlexibleStream::ResetSettings();
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(dir.Path());
        WriteFileText(dir.File("s.y3d"), "a scene file is only opened without a device");
        WriteFileText(dir.File("bad.jpg"), std::string("\xFF\xD8\xFF\xE0 not a picture"));
    }
    void TearDown() override { TFlexibleStream::ResetSettings(); }
};

TEST_P(ScriptCheck, FindsTheMistakeWhereItIsWritten) {
    const CheckRow& row = GetParam();
    WriteFileText(dir.File("main.xml"), row.script);
    std::vector<TScriptFinding> findings = CheckScript("main.xml", registry);
    std::string all;
    for (const TScriptFinding& f : findings)
        all += f.Text() + "\n";
    ASSERT_EQ(findings.size(), row.expected.size()) << all;
    for (const std::string& expected : row.expected) {
        bool found = false;
        for (const TScriptFinding& f : findings)
            found = found || f.Text().rfind(expected, 0) == 0;
        EXPECT_TRUE(found) << "expected " << expected << "\nfound:\n" << all;
    }
    for (const TScriptFinding& f : findings)
        EXPECT_EQ(f.Text().find_first_of("\r\n"), std::string::npos) << f.Text();
    EXPECT_EQ(FindingsFail(findings, false),
              std::any_of(findings.begin(), findings.end(), [](auto& f) { return f.Severity == fsError; }));
    EXPECT_EQ(FindingsFail(findings, true), !findings.empty());

    // The loader is as lenient as ever with the same script.
    TFileXMLParser loader;
    if (row.loadFails) {
        EXPECT_THROW(loader.LoadScript("main.xml"), Exception);
        return;
    }
    ASSERT_NO_THROW(loader.LoadScript("main.xml"));
    EXPECT_EQ(int(loader.Effects().size()), row.effects);
    EXPECT_EQ(int(loader.Parts().size()), row.parts);
}

INSTANTIATE_TEST_SUITE_P(Mistakes, ScriptCheck, ::testing::ValuesIn(Rows()), [](const auto& info) {
    std::string name = info.param.label;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

TEST(ScriptCheckNames, NearestNameIgnoresLetterCase) {
    EXPECT_EQ(NearestName("TFdae", {"TSceneLoadTest", "TFade"}), "TFade");
    EXPECT_EQ(NearestName("shadowmapsize", {"ShadowMapSize", "ReflectMapSize"}), "ShadowMapSize");
    EXPECT_EQ(NearestName("x", {}), "");
}

// An effect class that notes every name it asks for.
template <class Base> class TNoting : public Base {
public:
    std::set<std::string> Asked;
    const TValueRecord* FindValue(const char* name) override {
        Asked.insert(name);
        return Base::FindValue(name);
    }
};

std::set<std::string> TableNames(const TEffectRegistry& registry, const char* className) {
    std::set<std::string> names;
    for (const TEffectValueInfo& info : registry.Find(className)->Values)
        names.insert(info.Name);
    return names;
}

// The table of each class lists exactly the names the class asks for while
// it loads and draws, so the checker's "never reads" cannot drift from it.
TEST(ScriptCheckTables, EachClassReadsExactlyTheNamesInItsTable) {
    DemoWindow window;
    if (!window.Ok()) GTEST_SKIP() << window.Error();
    TEffectRegistry registry;
    FillEffectRegistry(registry);
    TempDir dir;
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetDataRoot(dir.Path());
    // The smallest scene: a triangle, a camera and a light, with the vertex
    // programs a scene load needs.
    CopyVertexPrograms(dir.Path());
    WriteTriangleScene(dir.File("one.y3d"));
    WriteFileText(dir.File("main.xml"), R"(<effect name="s" class="TSceneLoadTest">
        <property name="name" value="one.y3d"/></effect>
        <effect name="f" class="TFade"></effect>)");
    TFileXMLParser script;
    script.LoadScript("main.xml");

    TRefPtr<TNoting<TSceneLoadTest>> scene(new TNoting<TSceneLoadTest>());
    TRefPtr<TNoting<TFade>> fade(new TNoting<TFade>());
    TDemoEffect* effects[2] = {scene.Get(), fade.Get()};
    for (int i = 0; i < 2; i++) {
        TEffect& entry = *script.Effects()[size_t(i)];
        effects[i]->SetName(entry.Name);
        effects[i]->SetProperties(&entry.Properties);
        effects[i]->SetControls(&entry.Controls);
        window.Device()->AddEffect(effects[i]);
        effects[i]->Load();
        effects[i]->Start();
        effects[i]->Render(true);
        effects[i]->Stop();
    }
    EXPECT_EQ(scene->Asked, TableNames(registry, "TSceneLoadTest"));
    EXPECT_EQ(fade->Asked, TableNames(registry, "TFade"));
    TFlexibleStream::ResetSettings();
}

} // namespace
