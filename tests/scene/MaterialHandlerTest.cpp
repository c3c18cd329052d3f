// The material handler on real OpenGL: the passes it plans, the combiner
// set-up each pass record selects (what the recorded combiner state computes
// by the CPU combiner model, and what a drawn quad shows, against the
// set-up's formula), the shadow factor, and the lazy switching-off.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cmath>
#include <functional>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"
#include "scene/material/NV2xMaterialHandler.h"
#include "tests/nv/CombinerReference.h"
#include "tests/scene/SceneTestSupport.h"

namespace {

struct TColour {
    float r, g, b, a;
};

TRefPtr<I3dTexture> SolidTexture(I3dDevice* device, TColour c, T3dTextureKind kind = tk2D) {
    TRefPtr<I3dImage> image;
    device->CreateImage(image);
    image->Allocate(nullptr, 1, 3, 0, 1, 1);
    const float v[4] = {c.r, c.g, c.b, c.a};
    for (int k = 0; k < 4; k++)
        image->SetUInt8(0, 0, k, 0, uint8_t(std::lround(v[k] * 255)));
    T3dTextureParams p;
    p.Images[0] = image.Get();
    p.FaceCount = 1;
    p.MipMode = mmNone;
    p.Wrap = wmRepeat;
    p.Smooth = false;
    p.Format = tfRGBA;
    p.Kind = kind;
    if (kind == tkCubeMap)
        for (int f = 1; f < 6; f++)
            p.Images[f] = image.Get();
    TRefPtr<I3dTexture> texture;
    device->CreateTexture(p, texture);
    texture->Upload();
    return texture;
}

// What the texture units hold where the quad is drawn (as the combiners read
// them), and the two vertex colours.
struct TInputs {
    TColour primary = {0.6f, 0.5f, 0.4f, 1.0f};
    TColour secondary = {0.1f, 0.2f, 0.3f, 1.0f};
    TColour tex[5] = {};
};

// The quantisation of an 8-bit texel.
float Q(float v) {
    return std::round(v * 255.0f) / 255.0f;
}
TColour Q(TColour c) {
    return {Q(c.r), Q(c.g), Q(c.b), Q(c.a)};
}

float Clamp(float v) {
    return std::min(1.0f, std::max(0.0f, v));
}

// A unit vector and how the normalisation cube map stores it.
TColour Direction(float x, float y, float z) {
    float l = std::sqrt(x * x + y * y + z * z);
    return {0.5f * x / l + 0.5f, 0.5f * y / l + 0.5f, 0.5f * z / l + 0.5f, 1.0f};
}
float Dot(TColour a, TColour b) { // of two expanded texels, clamped at 0
    return std::max(0.0f, (2 * a.r - 1) * (2 * b.r - 1) + (2 * a.g - 1) * (2 * b.g - 1) +
                              (2 * a.b - 1) * (2 * b.b - 1));
}

// One row: the material, what the units hold, and the set-up's colour.
struct TSetupCase {
    const char* name;
    TCombinerSetup setup;
    bool blended, diffuse, reflection, bump;
    std::function<TColour(const TInputs&, const Ts3dMaterial&, const Ts3dLight&)> expected;
};

const TColour kDiffuse = {0.7f, 0.5f, 0.9f, 0.8f};
const TColour kSpecular = {0.4f, 0.6f, 0.2f, 1.0f};
constexpr float kAmount = 0.25f;
constexpr float kReflection = 0.5f;

const TSetupCase kCases[] = {
    {"plain opaque", suPlainOpaque, false, false, false, false,
     [](const TInputs& in, const Ts3dMaterial&, const Ts3dLight&) {
         return TColour{Clamp(in.primary.r + in.secondary.r), Clamp(in.primary.g + in.secondary.g),
                        Clamp(in.primary.b + in.secondary.b), 1};
     }},
    // Drawn blended over black: the colour times its alpha.
    {"plain blended", suPlainBlended, true, false, false, false,
     [](const TInputs& in, const Ts3dMaterial& m, const Ts3dLight&) {
         const float a = Clamp(m.DiffuseColor.a + in.secondary.b);
         auto c = [&](float p, float d, float s, float sp) { return Clamp(p * d + s * sp) * a; };
         return TColour{c(in.primary.r, m.DiffuseColor.r, in.secondary.r, m.SpecularColor.r),
                        c(in.primary.g, m.DiffuseColor.g, in.secondary.g, m.SpecularColor.g),
                        c(in.primary.b, m.DiffuseColor.b, in.secondary.b, m.SpecularColor.b), 1};
     }},
    {"diffuse texture", suDiffuseTexture, false, true, false, false,
     [](const TInputs& in, const Ts3dMaterial& m, const Ts3dLight&) {
         const TColour t = in.tex[0];
         auto c = [&](float p, float d, float tx, float s, float sp) {
             return Clamp(p * d * (1 - m.DiffuseAmount) + p * tx * m.DiffuseAmount + s * sp);
         };
         return TColour{c(in.primary.r, m.DiffuseColor.r, t.r, in.secondary.r, m.SpecularColor.r),
                        c(in.primary.g, m.DiffuseColor.g, t.g, in.secondary.g, m.SpecularColor.g),
                        c(in.primary.b, m.DiffuseColor.b, t.b, in.secondary.b, m.SpecularColor.b), 1};
     }},
    {"reflection", suReflection, false, false, true, false,
     [](const TInputs& in, const Ts3dMaterial& m, const Ts3dLight&) {
         const TColour t = in.tex[0];
         auto c = [&](float p, float tx, float s) { return Clamp(p + tx * m.ReflectionAmount + s); };
         return TColour{c(in.primary.r, t.r, in.secondary.r), c(in.primary.g, t.g, in.secondary.g),
                        c(in.primary.b, t.b, in.secondary.b), 1};
     }},
    // The reflection is added at full strength here.
    {"diffuse texture with reflection", suDiffuseWithReflection, false, true, true, false,
     [](const TInputs& in, const Ts3dMaterial& m, const Ts3dLight&) {
         const TColour t = in.tex[0], r = in.tex[1];
         auto c = [&](float p, float d, float tx, float rf, float s) {
             return Clamp(Clamp(p * d * (1 - m.DiffuseAmount) + p * tx * m.DiffuseAmount + rf) + s);
         };
         return TColour{c(in.primary.r, m.DiffuseColor.r, t.r, r.r, in.secondary.r),
                        c(in.primary.g, m.DiffuseColor.g, t.g, r.g, in.secondary.g),
                        c(in.primary.b, m.DiffuseColor.b, t.b, r.b, in.secondary.b), 1};
     }},
    // (N.L) diffuse + (N.H)^8 specular, both coloured by the first light.
    {"bump", suBump, false, false, false, true,
     [](const TInputs& in, const Ts3dMaterial& m, const Ts3dLight& l) {
         const float nl = Dot(in.tex[0], in.tex[1]), nh = Dot(in.tex[0], in.tex[2]);
         const float p8 = std::pow(nh, 8.0f);
         auto c = [&](float d, float ld, float s, float ls) { return Clamp(nl * d * ld + p8 * s * ls); };
         return TColour{c(m.DiffuseColor.r, l.Diffuse.r, m.SpecularColor.r, l.Specular.r),
                        c(m.DiffuseColor.g, l.Diffuse.g, m.SpecularColor.g, l.Specular.g),
                        c(m.DiffuseColor.b, l.Diffuse.b, m.SpecularColor.b, l.Specular.b), 1};
     }},
    // Diffuse only: the mix of colour and texture times (N.L) light diffuse.
    {"bump with diffuse texture", suBumpWithDiffuseTexture, false, true, false, true,
     [](const TInputs& in, const Ts3dMaterial& m, const Ts3dLight& l) {
         const float nl = Dot(in.tex[0], in.tex[1]);
         const TColour t = in.tex[3];
         auto c = [&](float d, float tx, float ld) {
             return Clamp((d * (1 - m.DiffuseAmount) + tx * m.DiffuseAmount) * Clamp(nl * ld));
         };
         return TColour{c(m.DiffuseColor.r, t.r, l.Diffuse.r), c(m.DiffuseColor.g, t.g, l.Diffuse.g),
                        c(m.DiffuseColor.b, t.b, l.Diffuse.b), 1};
     }},
};

class SetupFixture {
public:
    explicit SetupFixture(TSceneWindow& w) : w_(w) {
        scene_.Device = w.Device();
        scene_.Create();
        scene_.CreateResources();
        light_.Diffuse = {0.9f, 0.8f, 0.7f, 1};
        light_.Specular = {1.0f, 0.9f, 0.5f, 1};
        scene_.CurrentLight = &light_;
    }
    Ts3dScene& Scene() { return scene_; }
    Ts3dLight& Light() { return light_; }

    // Fills the material for a row and the inputs the quad's units hold.
    void Configure(const TSetupCase& row, Ts3dMaterial& m, TInputs& in) {
        I3dDevice* d = w_.Device();
        m.BlendKind = row.blended ? bkBlended : bkOpaque;
        m.AmbientColor = {0.1f, 0.1f, 0.1f, 1};
        m.DiffuseColor = {kDiffuse.r, kDiffuse.g, kDiffuse.b, kDiffuse.a};
        m.SpecularColor = {kSpecular.r, kSpecular.g, kSpecular.b, kSpecular.a};
        m.DiffuseAmount = kAmount;
        m.ReflectionAmount = kReflection;
        int unit = 0;
        if (row.bump) {
            // A normal tilted towards +x, the light along +z, the half-angle
            // vector between them.
            in.tex[0] = Q(Direction(0.5f, 0.0f, 1.0f));
            m.BumpTexture = SolidTexture(d, in.tex[0]);
            in.tex[1] = Direction(0.0f, 0.0f, 1.0f);
            in.tex[2] = Direction(0.3f, 0.0f, 1.0f);
            unit = 3;
        }
        if (row.diffuse) {
            in.tex[unit] = Q(TColour{0.9f, 0.3f, 0.6f, 0.75f});
            m.DiffuseTexture = SolidTexture(d, in.tex[unit]);
            unit++;
        }
        if (row.reflection) {
            in.tex[unit] = Q(TColour{0.2f, 0.4f, 0.1f, 1.0f});
            m.ReflectionTexture = SolidTexture(d, in.tex[unit]);
        }
    }

    // Begins the material's pass and draws a quad over the window with the
    // inputs' colours; the L and H directions go to units 2 and 3.
    uint32_t Draw(Ts3dMaterial& m, const TInputs& in) {
        GlTestWindow& gl = w_.Gl();
        gl.Use2D();
        gl.Context()->Clear(7);
        Ts3dMaterialHandler* h = scene_.MaterialHandler.get();
        h->Material = &m;
        h->PrepareMaterial();
        h->BeginFrame();
        h->BeginPass(0);
        GL.glColor4f(in.primary.r, in.primary.g, in.primary.b, in.primary.a);
        GL.glSecondaryColor3fEXT(in.secondary.r, in.secondary.g, in.secondary.b);
        auto dir = [](const TColour& c, int i) { return 2 * (i == 0 ? c.r : i == 1 ? c.g : c.b) - 1; };
        GL.glMultiTexCoord3fARB(GL_TEXTURE1_ARB, dir(in.tex[1], 0), dir(in.tex[1], 1), dir(in.tex[1], 2));
        GL.glMultiTexCoord3fARB(GL_TEXTURE2_ARB, dir(in.tex[2], 0), dir(in.tex[2], 1), dir(in.tex[2], 2));
        GL.glBegin(GL_QUADS);
        GL.glVertex2f(0, 0);
        GL.glVertex2f(float(gl.Width()), 0);
        GL.glVertex2f(float(gl.Width()), float(gl.Height()));
        GL.glVertex2f(0, float(gl.Height()));
        GL.glEnd();
        if (const NvCombinerState* state = NvEmulationCombinerState()) recorded_ = *state;
        const uint32_t pixel = gl.Pixel(gl.Width() / 2, gl.Height() / 2);
        h->EndFrame();
        return pixel;
    }
    const NvCombinerState& Recorded() const { return recorded_; }

private:
    TSceneWindow& w_;
    Ts3dScene scene_;
    Ts3dLight light_;
    NvCombinerState recorded_{};
};

CombinerFragment Fragment(const TInputs& in, int units) {
    CombinerFragment f = {};
    f.primary = {{in.primary.r, in.primary.g, in.primary.b, in.primary.a}};
    f.secondary = {{in.secondary.r, in.secondary.g, in.secondary.b, 1}};
    for (int u = 0; u < units; u++) {
        f.texture[u] = {{in.tex[u].r, in.tex[u].g, in.tex[u].b, in.tex[u].a}};
        f.textureOn[u] = true;
    }
    f.fogFactor = 1;
    return f;
}

void ExpectPixel(uint32_t pixel, const TColour& want, int tolerance, const std::string& what) {
    EXPECT_NEAR(Red(pixel), want.r * 255, tolerance) << what;
    EXPECT_NEAR(Green(pixel), want.g * 255, tolerance) << what;
    EXPECT_NEAR(Blue(pixel), want.b * 255, tolerance) << what;
}

#define NEED_EMULATED_COMBINERS(w)                                                                           \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error();                                                              \
    if (!NvCombinersEmulated()) GTEST_SKIP() << "the driver's own combiners: no recorded state to read"

} // namespace

TEST(MaterialHandler, PlansOnePassWithTheStagesOfItsTextures) {
    TSceneFolder folder;
    TSceneWindow w(8, 8, folder);
    if (!w.Ok()) GTEST_SKIP() << w.Error();
    TRefPtr<I3dTexture> flat = SolidTexture(w.Device(), {1, 1, 1, 1});
    TRefPtr<I3dTexture> cube = SolidTexture(w.Device(), {1, 1, 1, 1}, tkCubeMap);
    struct {
        bool bump, diffuse;
        I3dTexture* reflection;
        std::vector<std::pair<int, int>> stages;
        TCombinerSetup setup;
    } rows[] = {
        {false, false, nullptr, {{0, 0}}, suPlainOpaque},
        {true, false, nullptr, {{3, 0}}, suBump},
        {false, true, nullptr, {{0, 0}, {5, 4}}, suDiffuseTexture},
        {false, false, flat.Get(), {{0, 0}, {7, 5}}, suReflection},
        {false, false, cube.Get(), {{0, 0}, {11, 5}}, suReflection},
        {false, true, flat.Get(), {{0, 0}, {5, 4}, {7, 5}}, suDiffuseWithReflection},
        {true, true, nullptr, {{3, 0}, {5, 4}}, suBumpWithDiffuseTexture},
        // No row of the set-up table: nothing is set up.
        {true, false, flat.Get(), {{3, 0}, {7, 5}}, suNone},
        {true, true, flat.Get(), {{3, 0}, {5, 4}, {7, 5}}, suNone},
    };
    Ts3dNV2xMaterialHandler handler;
    for (const auto& row : rows) {
        Ts3dMaterial m;
        if (row.bump) m.BumpTexture = flat;
        if (row.diffuse) m.DiffuseTexture = flat;
        m.ReflectionTexture = row.reflection;
        handler.Material = &m;
        handler.PrepareMaterial();
        ASSERT_EQ(m.PassCount, 1);
        const Ts3dPass& pass = m.Passes[0];
        std::vector<std::pair<int, int>> got;
        for (int32_t i = 0; i < pass.StageCount; i++)
            got.push_back({pass.Stages[i].Kind, pass.Stages[i].Role});
        EXPECT_EQ(got, row.stages);
        EXPECT_EQ(SetupOfPass(pass, bkOpaque), row.setup);
        std::vector<Ts3dPassStage> planned = PlannedStages(m);
        EXPECT_EQ(int32_t(planned.size()), pass.StageCount);
    }
}

TEST(MaterialHandler, EverySetupComputesItsFormula) {
    TSceneFolder folder;
    TSceneWindow w(16, 16, folder);
    NEED_EMULATED_COMBINERS(w);
    SetupFixture fixture(w);
    for (const TSetupCase& row : kCases) {
        Ts3dMaterial m;
        TInputs in;
        fixture.Configure(row, m, in);
        const uint32_t pixel = fixture.Draw(m, in);
        auto* handler = static_cast<Ts3dNV2xMaterialHandler*>(fixture.Scene().MaterialHandler.get());
        EXPECT_EQ(handler->LastSetup(), row.setup) << row.name;
        const TColour want = row.expected(in, m, fixture.Light());
        // The recorded combiner state, run through the CPU model.
        Rgba model = ReferenceCombiners(fixture.Recorded(), Fragment(in, 5));
        if (row.blended)
            for (int i = 0; i < 3; i++)
                model.v[i] *= model.v[3];
        EXPECT_NEAR(model.v[0], want.r, 0.02) << row.name;
        EXPECT_NEAR(model.v[1], want.g, 0.02) << row.name;
        EXPECT_NEAR(model.v[2], want.b, 0.02) << row.name;
        // The same on the screen (the cube map's texels are near, not exact).
        ExpectPixel(pixel, want, row.bump ? 8 : 3, row.name);
    }
}

// In a shadow-casting light's passes every set-up's colour is multiplied by
// the unit after its own (here a grey texture stands in for the comparison).
TEST(MaterialHandler, ShadowPassesMultiplyEverySetupByTheMap) {
    TSceneFolder folder;
    TSceneWindow w(16, 16, folder);
    NEED_EMULATED_COMBINERS(w);
    SetupFixture fixture(w);
    Ts3dLight shadowLight;
    constexpr float kShade = 0.4f;
    shadowLight.ShadowTexture = SolidTexture(w.Device(), {kShade, kShade, kShade, 1});
    for (const TSetupCase& row : kCases) {
        Ts3dMaterial m;
        TInputs in;
        fixture.Configure(row, m, in);
        fixture.Scene().ShadowLight = &shadowLight;
        const uint32_t pixel = fixture.Draw(m, in);
        auto* handler = static_cast<Ts3dNV2xMaterialHandler*>(fixture.Scene().MaterialHandler.get());
        EXPECT_TRUE(handler->LastPassShadowed()) << row.name;
        EXPECT_EQ(fixture.Scene().ShadowUnit, UnitsOfSetup(row.setup) + 1) << row.name;
        fixture.Scene().ReleaseShadowUnit();
        fixture.Scene().ShadowLight = nullptr;
        TColour want = row.expected(in, m, fixture.Light());
        want = {want.r * Q(kShade), want.g * Q(kShade), want.b * Q(kShade), 1};
        TInputs shaded = in;
        shaded.tex[UnitsOfSetup(row.setup)] = Q(TColour{kShade, kShade, kShade, 1});
        Rgba model = ReferenceCombiners(fixture.Recorded(), Fragment(shaded, 5));
        if (row.blended)
            for (int i = 0; i < 3; i++)
                model.v[i] *= model.v[3];
        EXPECT_NEAR(model.v[0], want.r, 0.02) << row.name;
        EXPECT_NEAR(model.v[1], want.g, 0.02) << row.name;
        EXPECT_NEAR(model.v[2], want.b, 0.02) << row.name;
        ExpectPixel(pixel, want, row.bump ? 8 : 3, row.name);
    }
}

// A material that fits no set-up keeps the combiner state of the one
// before; blending and per-stage constants go off at the next pass or at
// the frame's end, not before.
TEST(MaterialHandler, SwitchesOffLazilyAndKeepsStateForUnknownStages) {
    TSceneFolder folder;
    TSceneWindow w(8, 8, folder);
    NEED_EMULATED_COMBINERS(w);
    SetupFixture fixture(w);
    Ts3dMaterialHandler* h = fixture.Scene().MaterialHandler.get();
    TRefPtr<I3dTexture> texture = SolidTexture(w.Device(), {1, 1, 1, 1});
    Ts3dMaterial blended, opaque, unknown;
    blended.BlendKind = bkBlended;
    unknown.BumpTexture = texture;
    unknown.ReflectionTexture = texture;
    for (Ts3dMaterial* m : {&blended, &opaque, &unknown}) {
        h->Material = m;
        h->PrepareMaterial();
    }
    struct {
        Ts3dMaterial* material; // null: the frame ends
        bool blend, perStage;
    } steps[] = {
        {&blended, true, true},  {&unknown, false, false}, {&blended, true, true},
        {nullptr, false, false}, {&opaque, false, false},
    };
    h->BeginFrame();
    for (const auto& step : steps) {
        if (step.material) {
            h->Material = step.material;
            h->BeginPass(0);
        } else {
            h->EndFrame();
        }
        EXPECT_EQ(GL.glIsEnabled(GL_BLEND) != 0, step.blend);
        EXPECT_EQ(GL.glIsEnabled(GL_PER_STAGE_CONSTANTS_NV) != 0, step.perStage);
    }
    // The opaque set-up's state stays for the material without one.
    const NvCombinerState before = *NvEmulationCombinerState();
    h->Material = &unknown;
    h->BeginPass(0);
    const NvCombinerState after = *NvEmulationCombinerState();
    EXPECT_EQ(static_cast<Ts3dNV2xMaterialHandler*>(h)->LastSetup(), suNone);
    EXPECT_EQ(std::memcmp(&before.final, &after.final, sizeof before.final), 0);
    EXPECT_EQ(std::memcmp(&before.stage, &after.stage, sizeof before.stage), 0);
    h->EndFrame();
}
