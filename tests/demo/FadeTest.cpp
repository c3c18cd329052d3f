// Effects built from real script text: named values (controls before
// properties, text and colour conversion) and the fade's colours read back
// from the frame buffer.
#include "tests/demo/DemoTestSupport.h"

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/PixelWork.h"
#include "demo/Console.h"
#include "data/FlexibleStream.h"
#include "demo/Fade.h"
#include "demo/ScriptTimeline.h"
#include "script/FileXMLParser.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

#define NEED_WINDOW(w)                                                                                       \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error()

// A script's effects created through the registry and added to the device;
// its parts added to the timeline.
struct ScriptedDemo {
    TFileXMLParser script;
    TEffectRegistry registry;

    void Load(TDemo3dDevice* device, const std::string& text) {
        script.LoadScriptText("test.xml", text);
        FillEffectRegistry(registry);
        for (const auto& entry : script.Effects())
            AddScriptEffect(registry, *device, *entry);
        AddScriptParts(*device, script);
    }
};

// Reads one pixel of every frame right before it is presented.
struct FrameProbe {
    DemoWindow* window;
    uint32_t pixel = 0;
    static void Read(void* self, IDemo3dDevice*) {
        auto* p = static_cast<FrameProbe*>(self);
        p->pixel = p->window->Pixel(8, 8);
    }
    void Install() { window->Device()->SetOnOverlay({&FrameProbe::Read, this}); }
};

int R(uint32_t p) {
    return int(p & 0xFF);
}
int G(uint32_t p) {
    return int((p >> 8) & 0xFF);
}
int B(uint32_t p) {
    return int((p >> 16) & 0xFF);
}
bool Near(uint32_t p, int r, int g, int b, int tolerance = 2) {
    return std::abs(R(p) - r) <= tolerance && std::abs(G(p) - g) <= tolerance &&
           std::abs(B(p) - b) <= tolerance;
}
#define EXPECT_RGB(p, r, g, b) EXPECT_TRUE(Near(p, r, g, b)) << "got " << R(p) << " " << G(p) << " " << B(p)

TEST(EffectValues, ControlsComeBeforePropertiesAndTextsAndColoursConvert) {
    DemoWindow w;
    NEED_WINDOW(w);
    ScriptedDemo demo;
    demo.Load(w.Device(), R"(
        <effect name="e" class="TFade">
          <property name="speed" value="30.0"/>
          <property name="color" value="12"/>
          <control name="color" kind="color"><key time="0" value="255 77 150 100"/></control>
          <control name="level" kind="float" type="linear">
            <key time="0" value="0"/><key time="10" value="5"/></control>
        </effect>
        <part name="e" start="2" stop="50"/>)");
    auto* fade = dynamic_cast<TFade*>(w.Device()->FindEffect("e"));
    ASSERT_NE(fade, nullptr);
    const TValueRecord* color = fade->FindValue("color");
    ASSERT_NE(color, nullptr);
    EXPECT_EQ(color->Kind, vkColor); // the control, not the property
    EXPECT_FLOAT_EQ(fade->GetFloatValue("speed"), 30.0f);
    EXPECT_FLOAT_EQ(fade->GetFloatValue("color"), 1.0f); // the red component
    EXPECT_EQ(fade->FindValue("missing"), nullptr);
    EXPECT_FLOAT_EQ(fade->GetFloatValue("missing"), 0.0f);
    EXPECT_EQ(fade->GetInterfaceValue("missing"), nullptr);
    // Values are looked up at the clock's time minus the part start.
    fade->SetPartStart(2.0);
    w.Timer()->SetTime(6.0);
    EXPECT_FLOAT_EQ(fade->GetFloatValue("level"), 2.0f);
}

TEST(Fade, OnlyLivePartDrawsItsColourOverAClearedFrame) {
    DemoWindow w;
    NEED_WINDOW(w);
    ScriptedDemo demo;
    demo.Load(w.Device(), R"(
        <effect name="pink" class="TFade">
          <control name="color" kind="color"><key time="0" value="1 0.302 0.588 0.5"/></control>
        </effect>
        <part name="pink" start="0" stop="10"/>)");
    FrameProbe probe{&w};
    probe.Install();
    w.FrameAt(1.0, 0.01f);
    EXPECT_RGB(probe.pixel, 128, 39, 75); // half the colour over black
}

TEST(Fade, AlphaZeroLeavesTheFrameAndFullAlphaReplacesIt) {
    DemoWindow w;
    NEED_WINDOW(w);
    ScriptedDemo demo;
    demo.Load(w.Device(), R"(
        <effect name="red" class="TFade">
          <control name="color" kind="color"><key time="0" value="255 0 0 255"/></control></effect>
        <effect name="clear" class="TFade">
          <control name="color" kind="color"><key time="0" value="0 0 255 0"/></control></effect>
        <effect name="green" class="TFade">
          <control name="color" kind="color"><key time="0" value="0 255 0 255"/></control></effect>
        <part name="red" start="0" stop="10"/>
        <part name="clear" start="0" stop="10"/>
        <part name="green" start="5" stop="10"/>)");
    FrameProbe probe{&w};
    probe.Install();
    w.FrameAt(1.0, 0.01f);
    EXPECT_RGB(probe.pixel, 255, 0, 0);
    w.FrameAt(6.0, 0.01f);
    EXPECT_RGB(probe.pixel, 0, 255, 0);
}

// A fade of alpha 0 changes no pixel, so it is not drawn at all: the frame
// is the same, with one full-screen pass fewer.
TEST(Fade, AFullyTransparentFadeIsLeftOut) {
    DemoWindow w;
    NEED_WINDOW(w);
    ScriptedDemo demo;
    demo.Load(w.Device(), R"(
        <effect name="half" class="TFade">
          <control name="color" kind="color"><key time="0" value="255 0 0 128"/></control></effect>
        <effect name="clear" class="TFade">
          <control name="color" kind="color"><key time="0" value="0 0 255 0"/></control></effect>
        <part name="half" start="0" stop="10"/>
        <part name="clear" start="0" stop="10"/>)");
    FrameProbe probe{&w};
    probe.Install();
    TPixelWorkCounts work[2];
    uint32_t pixel[2] = {};
    for (int all = 0; all < 2; all++) {
        SetDrawAllWork(all == 1);
        PixelWorkEnable(true);
        PixelWorkTakeFrame();
        w.FrameAt(1.0 + all, 0.01f);
        work[all] = PixelWorkTakeFrame();
        pixel[all] = probe.pixel;
        PixelWorkEnable(false);
    }
    SetDrawAllWork(false);
    EXPECT_EQ(pixel[0], pixel[1]);
    EXPECT_RGB(pixel[0], 128, 0, 0);
    EXPECT_EQ(work[0].Passes + 1, work[1].Passes);
    EXPECT_EQ(work[0].Scopes[pwFades], 1u);
    EXPECT_EQ(work[1].Scopes[pwFades], 2u);
    EXPECT_LT(work[0].Fragments[pwFades], work[1].Fragments[pwFades]);
}

TEST(Fade, SplineColourRisesHoldsAndFallsWithThePartsLocalTime) {
    DemoWindow w;
    NEED_WINDOW(w);
    ScriptedDemo demo;
    demo.Load(w.Device(), R"(
        <effect name="f" class="TFade">
          <control name="color" kind="color" type="spline">
            <key time="0" value="255 77 150 0"/>
            <key time="1" value="255 77 150 255"/>
            <key time="3" value="255 77 150 255"/>
            <key time="5" value="255 77 150 0"/>
          </control></effect>
        <part name="f" start="10" stop="20"/>)");
    FrameProbe probe{&w};
    probe.Install();
    const struct {
        double local;
        int r, g, b;
    } expected[] = {
        {0.0, 0, 0, 0}, {1.0, 255, 77, 150}, {2.0, 255, 77, 150}, {3.0, 255, 77, 150}, {5.0, 0, 0, 0}};
    for (const auto& e : expected) {
        w.FrameAt(10.0 + e.local, 0.01f);
        EXPECT_RGB(probe.pixel, e.r, e.g, e.b) << " at local time " << e.local;
    }
    // Between the keys the alpha lies strictly between.
    w.FrameAt(10.5, 0.01f);
    EXPECT_GT(R(probe.pixel), 10);
    EXPECT_LT(R(probe.pixel), 250);
}

TEST(Fade, WithoutAColourControlItDrawsNothingButStillClearsWhenFirst) {
    DemoWindow w;
    NEED_WINDOW(w);
    ScriptedDemo demo;
    demo.Load(w.Device(), R"(
        <effect name="blue" class="TFade">
          <control name="color" kind="color"><key time="0" value="0 0 255 255"/></control></effect>
        <effect name="plain" class="TFade"><property name="colour" value="1"/></effect>
        <effect name="number" class="TFade">
          <control name="color" kind="float"><key time="0" value="1"/></control></effect>
        <part name="blue" start="5" stop="10"/>
        <part name="plain" start="0" stop="10"/>
        <part name="number" start="0" stop="10"/>)");
    FrameProbe probe{&w};
    probe.Install();
    // Paint the back buffer white: "plain" is the first part and clears it.
    w.Context()->SetClearValues({1, {1, 1, 1, 1}, {0, 0, 0, 0}, 1.0, 0});
    w.Context()->Clear(1);
    w.Context()->SetClearValues({1, {0, 0, 0, 0}, {0, 0, 0, 0}, 1.0, 0});
    w.FrameAt(1.0, 0.01f);
    EXPECT_RGB(probe.pixel, 0, 0, 0);
    w.FrameAt(6.0, 0.01f); // blue first; the two without colour leave it
    EXPECT_RGB(probe.pixel, 0, 0, 255);
}

TEST(Fade, RenderRestoresTheStateItFound) {
    DemoWindow w;
    NEED_WINDOW(w);
    ScriptedDemo demo;
    demo.Load(w.Device(), R"(
        <effect name="f" class="TFade">
          <control name="color" kind="color"><key time="0" value="255 255 255 128"/></control></effect>
        <part name="f" start="0" stop="10"/>)");
    I3dContext* c = w.Context();
    IDemoEffect* fade = w.Device()->FindEffect("f");
    fade->SetPartStart(0.0);
    // The usual state between effects: depth test and writes on, no blending.
    c->SetDepthMode(dmReadWrite);
    c->SetBlendMode(bfZero, bfZero);
    fade->Render(false);
    GLboolean depthWrite = GL_FALSE;
    GL.glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrite);
    EXPECT_FALSE(GL.glIsEnabled(GL_BLEND));
    EXPECT_TRUE(GL.glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(depthWrite);
    // Any other state comes back as it was: the whole attribute state is
    // saved around the drawing.
    c->SetDepthMode(dmReadOnly);
    c->SetBlendMode(bfOne, bfOne);
    fade->Render(false);
    GL.glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrite);
    EXPECT_TRUE(GL.glIsEnabled(GL_BLEND));
    EXPECT_FALSE(depthWrite);
    EXPECT_EQ(GL.glGetError(), GLenum(GL_NO_ERROR));
}

TEST(Fade, LeavesTheContextsRecordOfMatrixModeAndUnitTrue) {
    // The attribute stack brings back GL's matrix mode and active unit; the
    // context must know them afterwards, or the console's push of the
    // model-view matrix lands on another stack and its pop underflows.
    DemoWindow w;
    NEED_WINDOW(w);
    ScriptedDemo demo;
    demo.Load(w.Device(), R"(
        <effect name="f" class="TFade">
          <control name="color" kind="color"><key time="0" value="0 0 0 128"/></control></effect>
        <part name="f" start="0" stop="10"/>)");
    I3dContext* c = w.Context();
    IDemoEffect* fade = w.Device()->FindEffect("f");
    fade->SetPartStart(0.0);
    for (T3dMatrixKind before : {mkProjection, mkTexture2, mkModelview}) {
        SCOPED_TRACE(int(before));
        c->LoadIdentity(before); // a scene leaves some matrix current
        fade->Render(false);
        EXPECT_EQ(c->GetMatrixMode(), before);
        c->PushMatrix(mkModelview);
        c->PushMatrix(mkProjection);
        c->PopMatrix(mkProjection);
        EXPECT_NO_THROW(c->PopMatrix(mkModelview));
    }
}

TEST(Fade, DrawsTheSameColourAfterTheConsoleSwitchedTheCombinersBackOn) {
    DemoWindow w;
    NEED_WINDOW(w);
    ScriptedDemo demo;
    demo.Load(w.Device(), R"(
        <effect name="f" class="TFade">
          <control name="color" kind="color"><key time="0" value="0 200 100 255"/></control></effect>
        <part name="f" start="0" stop="10"/>)");
    // The console switches the register-combiner stage back on at the end
    // of its drawing.
    TFlexibleStream::ResetSettings();
    TFlexibleStream::SetDataRoot(BuiltContent("content"));
    TRefPtr<TConsole> console = TConsole::LoadFromFile(w.Rendering(), "niceFont.noc");
    TFlexibleStream::ResetSettings();
    ASSERT_TRUE(console);
    w.Device()->AddText("||||||||||||||||||||||||||||||||||||");
    w.Device()->SetConsole(console.Get());
    FrameProbe probe{&w};
    probe.Install();
    w.FrameAt(1.0, 0.01f);
    w.FrameAt(1.1, 0.01f);
    EXPECT_RGB(probe.pixel, 0, 200, 100);
    probe.pixel = 0;
    // Where the console's text lies, it was drawn over the fade.
    w.Device()->SetOnOverlay({[](void* p, IDemo3dDevice*) {
                                  auto* pr = static_cast<FrameProbe*>(p);
                                  pr->pixel = 0;
                                  for (int x = 0; x < 60; x++)
                                      pr->pixel = std::max(pr->pixel, pr->window->Pixel(x, 64 - 15) & 0xFF);
                              },
                              &probe});
    w.FrameAt(1.2, 0.01f);
    EXPECT_GT(probe.pixel, 200u);
}

} // namespace
