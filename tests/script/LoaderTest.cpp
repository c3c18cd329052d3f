// The demo script loader: scripts written to a scratch folder (or packed into
// an archive) and read through the flexible streams, checked through the
// document model, its views and mirel script.
#include "data/FlexibleStream.h"
#include "data/ZLBArchiveWriter.h"
#include "script/FileXMLParser.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Loader : public ::testing::Test {
protected:
    void SetUp() override {
        TFlexibleStream::ResetSettings();
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetPath(dir.Path() + "/");
    }
    void TearDown() override { TFlexibleStream::ResetSettings(); }

    void Write(const std::string& name, const std::string& text) { WriteFileText(dir.File(name), text); }
    // Loads text as "main.xml".
    void Load(const std::string& text) {
        Write("main.xml", text);
        script.LoadScript("main.xml");
    }
    TEffect& Effect(size_t i) { return *script.Effects().at(i); }
    const TValueRecord* Value(size_t effect, const std::string& name, double t = 0) {
        return Effect(effect).FindValue(name, t);
    }

    TempDir dir;
    TFileXMLParser script;
};

const char* kResources = "<resources location=\"file:data\">"
                         "<mp3 value=\"music.mp3\"/>"
                         "<consolefont value=\"font.noc\"/>"
                         "<consolefontSize value=\"12\"/>"
                         "<image name=\"logo\" value=\"a.png\"/>"
                         "<image name=\"logo\" value=\"b.png\"/>"
                         "<texture name=\"t\" value=\"t.jpg\" smooth=\"false\" repeat=\"TRUE\"/>"
                         "<cubetexture name=\"sky\" value=\"sky%s.jpg\"/>"
                         "<binary name=\"blob\" value=\"b.bin\" singleuse=\"true\"/>"
                         "</resources>\n";

TEST_F(Loader, ResourceSection) {
    Load(kResources);
    TResources* section = script.GetResources();
    ASSERT_NE(section, nullptr);
    EXPECT_EQ(section->LocationKind, "file");
    EXPECT_EQ(section->Path, "data\\");
    ASSERT_EQ(section->Items.size(), 7u); // consolefontSize is skipped
    EXPECT_EQ(section->Items[0]->Kind, rkMp3);
    EXPECT_EQ(section->Items[1]->Kind, rkConsoleFont);
    EXPECT_EQ(section->Items[4]->Kind, rkTexture);
    auto* texture = dynamic_cast<TTextureResource*>(section->Items[4].get());
    ASSERT_NE(texture, nullptr);
    EXPECT_FALSE(texture->Smooth);
    EXPECT_FALSE(texture->Repeat); // only exactly "true" is true
    EXPECT_TRUE(texture->Fullscreen);
    auto* cube = dynamic_cast<TCubeTextureResource*>(section->Items[5].get());
    ASSERT_NE(cube, nullptr);
    EXPECT_TRUE(cube->Repeat);
    EXPECT_EQ(section->Items[6]->Kind, rkBinary);

    // Lookups are exact and find the first of two equal names.
    TRefPtr<IResource> found;
    section->Find("logo", found, 0);
    ASSERT_TRUE(found);
    std::string name;
    found->GetName(name);
    EXPECT_EQ(name, "logo");
    EXPECT_EQ(static_cast<TResource*>(section->Items[2].get())->GetValue(), found->GetValue());
    TRefPtr<IResource> none;
    section->Find("LOGO", none, 0);
    EXPECT_FALSE(none);

    // Other location forms.
    TFileXMLParser other;
    Write("b.xml", "<resources location=\"pck:a\\b\\:ignored\"/><image/></x><resources/>");
    other.LoadScript("b.xml");
    EXPECT_EQ(other.GetResources()->Path, "");
    EXPECT_TRUE(other.GetResources()->Items.empty());
}

TEST_F(Loader, EmptyElementSectionReadsOnToTheNextEndTag) {
    Load("<resources location=\"x:p\\\"/><image name=\"a\"/><image name=\"b\"></image><image name=\"c\"/>");
    ASSERT_EQ(script.GetResources()->Items.size(), 2u); // ended by </image>
    EXPECT_EQ(script.GetResources()->Path, "p\\");
}

TEST_F(Loader, PropertiesAndResourceReferences) {
    Load(std::string(kResources) + "<effect name=\"e\" class=\"TFade\">"
                                   "<property name=\"speed\" value=\"30.0\"/>"
                                   "<property name=\"both\" value=\"text\" resource=\"logo\"/>"
                                   "<property name=\"pic\" value=\"\" resource=\"logo\"/>"
                                   "<property name=\"music\"/>"
                                   "<property name=\"lost\" resource=\"nothere\"/>"
                                   "<other name=\"skipped\"/>"
                                   "</p></effect>");
    ASSERT_EQ(script.Effects().size(), 1u);
    TEffect& e = Effect(0);
    EXPECT_EQ(e.Name, "e");
    EXPECT_EQ(e.ClassName, "TFade");
    ASSERT_EQ(e.Properties.Items.size(), 5u);
    const TValueRecord* speed = Value(0, "speed");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->Kind, vkText);
    EXPECT_STREQ(speed->Text, "30.0");
    EXPECT_FLOAT_EQ(ValueTextToFloat(speed), 30.0f);
    EXPECT_STREQ(Value(0, "both")->Text, "text");
    // A resource reference reports the resource's own record, so it sees what
    // start-up stores there later.
    TResource& logo = *script.GetResources()->Items[2];
    EXPECT_EQ(Value(0, "pic"), &logo.Record);
    logo.Record.SetFloat(2.5f);
    EXPECT_EQ(Value(0, "pic")->Kind, vkFloat);
    // No value and no resource: the empty name finds the first unnamed resource.
    EXPECT_EQ(Value(0, "music"), &script.GetResources()->Items[0]->Record);
    // A missing resource is listed and the property reads as empty text.
    EXPECT_EQ(Value(0, "lost")->Kind, vkText);
    EXPECT_STREQ(Value(0, "lost")->Text, "");
    ASSERT_EQ(script.Errors()->Lines().size(), 1u);
    EXPECT_EQ(script.Errors()->Lines()[0], "The resource nothere cant be found");
    std::string text;
    script.Errors()->GetText(text);
    EXPECT_EQ(text, "The resource nothere cant be found\r\n");
    EXPECT_EQ(Value(0, "absent"), nullptr);
}

TEST_F(Loader, EffectBeforeAnyResourceSection) {
    Load("<effect name=\"early\"><property name=\"p\" resource=\"x\"/></effect>");
    EXPECT_EQ(Effect(0).Resources, nullptr);
    EXPECT_EQ(script.Errors()->Lines().at(0), "The resource x cant be found");
    EXPECT_EQ(Value(0, "p")->Kind, vkText);
}

TEST_F(Loader, ControlsKindsTypesAndKeys) {
    Load("<effect name=\"e\">"
         "<control name=\"jump\"><key time=\"0\" value=\"0\"/><key time=\"1\" value=\"10\"/></control>"
         "<control name=\"c\" kind=\"color\" type=\"linear\">"
         "<key time=\"0\" value=\"255 255 255 100\"/><stop time=\"2\" value=\"0.5 1 1 1\"/></control>"
         "<control name=\"where\" kind=\"pos\" type=\"spline\"><key time=\"0\" value=\"1 2 3\"/></control>"
         "<control name=\"loop\" type=\"linear\" repeat=\"1\">"
         "<key time=\"0\" value=\"0\"/><key time=\"4\" value=\"4\"/></control>"
         "<control name=\"odd\" kind=\"dummy\" type=\"dummy\"><key time=\"1 + 1\" value=\"7 8\"/></control>"
         "<control name=\"empty\" kind=\"float\"></control>"
         "<property name=\"jump\" value=\"shadowed\"/>"
         "</effect>");
    TEffect& e = Effect(0);
    ASSERT_EQ(e.Controls.Items.size(), 6u);

    // No kind and no type: a float control with hold interpolation.
    EXPECT_EQ(e.Controls.Items[0]->Kind, ckFloat);
    EXPECT_EQ(e.Controls.Items[0]->Anim.Kind, akHold);
    EXPECT_TRUE(e.Controls.Items[0]->Anim.AutoTangents);
    EXPECT_EQ(Value(0, "jump", 0.9)->Kind, vkFloat); // the control shadows the property
    EXPECT_EQ(Value(0, "jump", 0.9)->Floats[0], 0.0f);
    EXPECT_EQ(Value(0, "jump", 1.0)->Floats[0], 10.0f);

    // Colour keys without a decimal point are bytes; with one, unscaled.
    const TValueRecord* c = Value(0, "c", 0);
    ASSERT_EQ(c->Kind, vkColor);
    EXPECT_FLOAT_EQ(c->Floats[0], 1.0f);
    EXPECT_FLOAT_EQ(c->Floats[3], 100.0f / 255.0f);
    c = Value(0, "c", 2); // the key tag's name does not matter
    EXPECT_FLOAT_EQ(c->Floats[0], 0.5f);
    EXPECT_FLOAT_EQ(c->Floats[1], 1.0f);
    EXPECT_FLOAT_EQ(Value(0, "c", 1)->Floats[0], 0.75f);

    // pos and euler controls leave their record empty.
    EXPECT_EQ(e.Controls.Items[2]->Anim.Kind, akCardinalSpline);
    EXPECT_EQ(e.Controls.Items[2]->Anim.ValueCount, 3);
    EXPECT_EQ(Value(0, "where", 0)->Kind, vkNone);

    // Repeat with a start of 1 after the last key at 4: 5 reads as 3.
    EXPECT_TRUE(e.Controls.Items[3]->Anim.Repeat);
    EXPECT_FLOAT_EQ(Value(0, "loop", 5.0)->Floats[0], 3.0f);

    // Unknown names fall back to float and hold; the time is an expression.
    EXPECT_EQ(e.Controls.Items[4]->Anim.Kind, akHold);
    EXPECT_EQ(e.Controls.Items[4]->Anim.Keys.Get(0)->Time, 2.0f);
    EXPECT_EQ(Value(0, "odd", 0)->Floats[0], 7.0f);

    // A control without keys reads as 0.
    EXPECT_EQ(Value(0, "empty", 3)->Kind, vkFloat);
    EXPECT_EQ(Value(0, "empty", 3)->Floats[0], 0.0f);
}

TEST_F(Loader, PartsAndTheirDefaults) {
    Load("<part name=\"a\" start=\"1\" stop=\"2\"/>"
         "<part name=\"b\" start=\"5\" stop=\"5\"/>"
         "<part name=\"c\" start=\" 47.17 * 1-1\" stop=\"0.4 + 15*0.430\" prepare=\"0\" "
         "unprepare=\"60\"></part>"
         "<p art name=\"d\" start=\"1\" stop=\"2\"/>"
         "<prop erty name=\"x\"/>"
         "<demo>text</demo>"
         "<part/>");
    ASSERT_EQ(script.Parts().size(), 4u);
    const TPart& a = *script.Parts()[0];
    EXPECT_EQ(a.Prepare, 1.0f);
    EXPECT_EQ(a.Unprepare, 2.0f);
    EXPECT_EQ(script.Parts()[1]->Unprepare, -100.0f);
    const TPart& c = *script.Parts()[2];
    EXPECT_FLOAT_EQ(c.Start, 46.17f);
    EXPECT_FLOAT_EQ(c.Stop, 6.85f);
    EXPECT_EQ(c.Prepare, 0.0f);
    EXPECT_EQ(c.Unprepare, 60.0f);
    const TPart& empty = *script.Parts()[3];
    EXPECT_EQ(empty.Name, "");
    EXPECT_EQ(empty.Start, 0.0f);
    EXPECT_EQ(empty.Unprepare, -100.0f);
}

TEST_F(Loader, TimelineEndIsTheScriptsOwnLength) {
    struct Case {
        const char* text;
        float end;
        bool declared;
    };
    const Case cases[] = {
        {"<part name=\"a\" start=\"1\" stop=\"200\"/>", 117.0f, false},
        {"<timeline end=\"20\"/>", 20.0f, true},
        {"<timeline end=\" 4 * 5 + 0.5 \"/>", 20.5f, true},
        {"<demo><timeline end=\"3\"></timeline></demo>", 3.0f, true},
        {"<timeline end=\"30\"/><timeline end=\"12\"/>", 12.0f, true}, // the last one read
    };
    for (const Case& c : cases) {
        TFileXMLParser loaded;
        Write("main.xml", c.text);
        loaded.LoadScript("main.xml");
        EXPECT_EQ(loaded.EndTime(), c.end) << c.text;
        EXPECT_EQ(loaded.EndDeclared(), c.declared) << c.text;
    }
    // Declared in an included file, it counts as well.
    Write("len.xml", "<timeline end=\"8\"/>");
    Load("<!-- #include \"len.xml\" -->");
    EXPECT_EQ(script.EndTime(), 8.0f);
}

TEST_F(Loader, BadTimelineEndsAreErrorsNamingTheFile) {
    const char* const ends[] = {"0", "-1", "-0.001", "abc", "1+", "(2", "1/0", "1e39", "X"};
    for (const char* end : ends) {
        Write("inner.xml", std::string("<timeline end=\"") + end + "\"/>");
        TFileXMLParser loaded;
        Write("main.xml", "<part/><!-- #include \"inner.xml\" -->");
        try {
            loaded.LoadScript("main.xml");
            ADD_FAILURE() << end << " was taken";
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.what()).rfind("inner.xml:1: timeline end", 0), 0u) << end << ": " << e.what();
        }
    }
    // Present without a value: no end declared, which is a mistake too.
    TFileXMLParser empty;
    Write("e.xml", "<timeline end=\"\"/>");
    try {
        empty.LoadScript("e.xml");
        FAIL();
    } catch (const EScriptError& e) {
        EXPECT_STREQ(e.what(), "e.xml:1: timeline end \"\": <timeline> declares no end (end=\"seconds\")");
    }
    TFileXMLParser zero;
    Write("z.xml", "<timeline end=\"0\"/>");
    try {
        zero.LoadScript("z.xml");
        FAIL();
    } catch (const EScriptError& e) {
        EXPECT_STREQ(e.what(), "z.xml:1: timeline end \"0\": The timeline's end must be a positive number of seconds, not 0");
    }
}

TEST_F(Loader, IncludesLandInPlace) {
    Write("inner.xml", "<part name=\"inner\"/>");
    Write("mid.xml", "<part name=\"mid1\"/><!-- #include file=\"INNER.xml\" --><part name=\"mid2\"/>");
    Load("<part name=\"first\"/><!--#include \"mid.xml\"--><!-- #include file=\"inner.xml\" -->"
         "<!-- include \"nothing.xml\" --><part name=\"last\"/>");
    std::vector<std::string> names;
    for (const auto& p : script.Parts())
        names.push_back(p->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "mid1", "inner", "mid2", "inner", "last"}));
}

TEST_F(Loader, IncludeCyclesAndMissingFilesAreErrors) {
    Write("a.xml", "<!-- #include \"b.xml\" -->");
    Write("b.xml", "<!-- #include \"A.XML\" -->");
    try {
        Load("<!-- #include \"a.xml\" -->");
        FAIL() << "cycle accepted";
    } catch (const EScriptError& e) {
        EXPECT_STREQ(e.what(), "Include cycle: a.xml -> b.xml -> A.XML");
    }
    TFileXMLParser self;
    Write("self.xml", "<!-- #include \"self.xml\" -->");
    EXPECT_THROW(self.LoadScript("self.xml"), EScriptError);

    TFileXMLParser missing;
    Write("m.xml", "<!-- #include \"gone.xml\" -->");
    try {
        missing.LoadScript("m.xml");
        FAIL() << "missing include accepted";
    } catch (const EFlexibleStreamError& e) {
        EXPECT_NE(std::string(e.what()).find("Couldn't open the file named"), std::string::npos);
    }
}

TEST_F(Loader, BadTimesAndValuesStopLoading) {
    try {
        Load("<part start=\"1+\"/>");
        FAIL();
    } catch (const ESyntaxError&) {
    }
    TFileXMLParser fewer;
    Write("f.xml", "<effect><control kind=\"color\"><key value=\"1 2 3\"/></control></effect>");
    try {
        fewer.LoadScript("f.xml");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "f.xml:1: key value \"1 2 3\": '' is not a valid floating point value");
    }
    TFileXMLParser doubleSpace;
    Write("d.xml", "<effect><control kind=\"pos\"><key value=\"1  2 3\"/></control></effect>");
    EXPECT_THROW(doubleSpace.LoadScript("d.xml"), EConvertError);
    TFileXMLParser badRepeat;
    Write("r.xml", "<effect><control repeat=\"x\"></control></effect>");
    try {
        badRepeat.LoadScript("r.xml");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "r.xml:1: control repeat \"x\": 'x' is not a valid floating point value");
    }
    TFileXMLParser divide;
    Write("z.xml", "<part start=\"1/0\"/>");
    EXPECT_THROW(divide.LoadScript("z.xml"), EZeroDivide);
}

TEST_F(Loader, EffectsEndOnlyAtTheirOwnEndTag) {
    Load("<effect name=\"one\"/><property name=\"p\" value=\"1\"/></x><part name=\"swallowed\"/></effect>"
         "<effect name=\"two\"><control name=\"c\"/><property name=\"k\" value=\"2\"/></effect>"
         "<part name=\"after\"/></effect><part name=\"end\"/>");
    ASSERT_EQ(script.Effects().size(), 2u);
    EXPECT_EQ(Effect(0).Properties.Items.size(), 1u);
    // An empty control tag takes the following tags as keys up to an end tag.
    EXPECT_EQ(Effect(1).Controls.Items.at(0)->Anim.Keys.Count(), 1);
    EXPECT_TRUE(Effect(1).Properties.Items.empty());
    ASSERT_EQ(script.Parts().size(), 1u);
    EXPECT_EQ(script.Parts()[0]->Name, "end");
}

TEST_F(Loader, ScriptsFromAnArchive) {
    auto source = std::make_shared<TMemoryStream>();
    {
        TZLBArchiveWriter writer(*source);
        std::string main = "<!-- #include \"sub.xml\" --><part name=\"main\"/><!-- #include \"gone.xml\" -->";
        std::string sub = "<part name=\"sub\"/>";
        writer.AddMember("zumbrix.xml", main.data(), main.size(), false);
        writer.AddMember("sub.xml", sub.data(), sub.size(), true);
        writer.Finish();
    }
    TFlexibleStream::OpenArchiveStream(source, "test.pck");
    TFlexibleStream::SetMode(lmPackage);
    try {
        script.LoadScript("zumbrix.xml");
        FAIL();
    } catch (const EStreamError& e) {
        // The script that includes the missing one says so, and the stream names it.
        EXPECT_STREQ(e.what(), "zumbrix.xml: Must open a stream: the archive holds no file named gone.xml");
    }
    ASSERT_EQ(script.Parts().size(), 2u);
    EXPECT_EQ(script.Parts()[0]->Name, "sub");
}

TEST_F(Loader, LargeScriptsLoad) {
    // A script of many effects and parts with long attribute values loads
    // completely (and quickly: every step is linear in the text).
    std::string text = kResources;
    for (int i = 0; i < 500; ++i) {
        text +=
            "<effect name=\"e" + std::to_string(i) + "\" class=\"TFade\"><property name=\"p\" value=\"" +
            std::string(1000, 'v') +
            "\"/><control name=\"c\" kind=\"color\" type=\"spline\">"
            "<key time=\"0\" value=\"1 2 3 4\"/><key time=\"1.5*2\" value=\"5 6 7 8\"/></control></effect>\n";
        for (int j = 0; j < 5; ++j)
            text += "<part name=\"e" + std::to_string(i) + "\" start=\"0.4+" + std::to_string(j) +
                    "*0.430\" stop=\"47.17+7.5\"/>\n";
    }
    Load(text);
    EXPECT_EQ(script.Effects().size(), 500u);
    EXPECT_EQ(script.Parts().size(), 2500u);
}

TEST_F(Loader, MirelScriptPrintsTheModel) {
    Write("sub.xml", "<part name=\"fade\" start=\"1\" stop=\"2\"/>");
    Write("main.xml",
          std::string(kResources) +
              "<effect name=\"fade\" class=\"TFade\"><property name=\"speed\" value=\"30.0\"/>"
              "<property name=\"pic\" resource=\"logo\"/>"
              "<control name=\"color\" kind=\"color\" type=\"linear\" repeat=\"0.5\">"
              "<key time=\"0\" value=\"255 0 0 255\"/><key time=\"1\" value=\"0 0 0 0\"/></control>"
              "</effect><!-- #include \"sub.xml\" -->");
    CommandResult r = RunMirel({"script", dir.File("main.xml")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("\"location_kind\": \"file\", \"path\": \"data\\\\\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("{\"kind\": \"texture\", \"name\": \"t\", \"value\": \"t.jpg\", \"smooth\": false, "
                         "\"repeat\": false, \"fullscreen\": true}"),
              std::string::npos);
    EXPECT_NE(r.out.find("{\"name\": \"pic\", \"resource\": \"logo\"}"), std::string::npos);
    EXPECT_NE(
        r.out.find(
            "\"type\": \"linear\", \"repeat\": 0.5, \"keys\": [{\"time\": 0, \"values\": [1, 0, 0, 1]}"),
        std::string::npos);
    EXPECT_NE(r.out.find("{\"name\": \"fade\", \"prepare\": 1, \"start\": 1, \"stop\": 2, \"unprepare\": 2}"),
              std::string::npos);
    EXPECT_NE(r.out.find("\"errors\": []"), std::string::npos);

    r = RunMirel({"script", dir.File("main.xml"), "--value", "fade", "color", "0.5"});
    EXPECT_EQ(r.out, "{\"kind\": 6, \"color\": [0.5, 0, 0, 0.5]}\n");
    r = RunMirel({"script", dir.File("main.xml"), "--value", "fade", "speed", "0"});
    EXPECT_EQ(r.out, "{\"kind\": 3, \"text\": \"30.0\"}\n");
    r = RunMirel({"script", dir.File("main.xml"), "--value", "fade", "pic", "0"});
    EXPECT_EQ(r.out, "{\"kind\": 0}\n");
    r = RunMirel({"script", dir.File("main.xml"), "--value", "fade", "nothing", "0"});
    EXPECT_EQ(r.out, "null\n");
    r = RunMirel({"script", dir.File("main.xml"), "--data", dir.Path()});
    EXPECT_EQ(r.exitCode, 0) << r.err;

    Write("bad.xml", "<part start=\"(1\"/>");
    r = RunMirel({"script", dir.File("bad.xml")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, dir.File("bad.xml") + ":1: part start \"(1\": Missing brackets in expression (\")\")\n");
}

TEST(MirelEval, PrintsValueOrMessage) {
    CommandResult r = RunMirel({"eval", "47.17*1-1"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "46.170000000000002\n");
    r = RunMirel({"eval", "1/0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Floating point division by zero\n");
    r = RunMirel({"eval", "1 2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Expression has blanks\n");
}

TEST(MirelXml, OnePartPerLine) {
    TempDir dir;
    WriteFileText(dir.File("a.xml"), "<!-- c --> <a z=\"1\" b='&#65;'>hi</a>");
    CommandResult r = RunMirel({"xml", dir.File("a.xml")});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "{\"kind\": \"comment\", \"name\": \"\", \"content\": \"\", \"start\": 0, \"final\": 9, "
              "\"attrs\": []}\n"
              "{\"kind\": \"start\", \"name\": \"a\", \"content\": \"\", \"start\": 11, \"final\": 29, "
              "\"attrs\": [[\"b\", \"A\"], [\"z\", \"1\"]]}\n"
              "{\"kind\": \"text\", \"name\": \"\", \"content\": \"hi\", \"start\": 30, \"final\": 31, "
              "\"attrs\": []}\n"
              "{\"kind\": \"end\", \"name\": \"a\", \"content\": \"\", \"start\": 32, \"final\": 35, "
              "\"attrs\": []}\n");
}

} // namespace
