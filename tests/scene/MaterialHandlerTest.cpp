// The material handler's combiner set-ups on real OpenGL: for each, plain and
// in a shadow-casting light's passes, the recorded combiner state run through
// the CPU combiner model and a drawn quad both give the set-up's formula; and
// the lazy switching-off.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"
#include "scene/material/NV2xMaterialHandler.h"
#include "tests/nv/CombinerReference.h"
#include "tests/scene/SceneTestSupport.h"

namespace {

using TColour = std::array<float, 4>;

float Q(float v) { // an 8-bit texel
    return std::round(v * 255.0f) / 255.0f;
}
float Clamp(float v) {
    return std::min(1.0f, std::max(0.0f, v));
}
// A direction as the normalisation cube map stores it.
TColour Direction(float x, float y, float z) {
    const float l = std::sqrt(x * x + y * y + z * z);
    return {0.5f * x / l + 0.5f, 0.5f * y / l + 0.5f, 0.5f * z / l + 0.5f, 1};
}
float Dot(const TColour& a, const TColour& b) { // of two expanded texels, at least 0
    float d = 0;
    for (int i = 0; i < 3; i++)
        d += (2 * a[i] - 1) * (2 * b[i] - 1);
    return std::max(0.0f, d);
}

TRefPtr<I3dTexture> Solid(I3dDevice* device, const TColour& c) {
    TRefPtr<I3dImage> image = T3dImage::Create();
    image->Allocate(nullptr, 1, 3, 0, 1, 1);
    for (int k = 0; k < 4; k++)
        image->SetUInt8(0, 0, k, 0, uint8_t(std::lround(c[size_t(k)] * 255)));
    TRefPtr<I3dTexture> texture;
    device->CreateImageTexture(image.Get(), texture);
    texture->SetMipMode(mmNone);
    texture->Upload();
    return texture;
}

const TColour kPrimary = {0.6f, 0.5f, 0.4f, 1}, kSecondary = {0.1f, 0.2f, 0.3f, 1},
              kDiffuse = {0.7f, 0.5f, 0.9f, 0.8f}, kSpecular = {0.4f, 0.6f, 0.2f, 1},
              kLightDiffuse = {0.9f, 0.8f, 0.7f, 1}, kLightSpecular = {1.0f, 0.9f, 0.5f, 1};
constexpr float kAmount = 0.25f, kReflection = 0.5f;

struct TRow {
    TCombinerSetup setup;
    bool blended, bump, diffuse, reflection;
};
const TRow kRows[] = {
    {suPlainOpaque, false, false, false, false},         {suPlainBlended, true, false, false, false},
    {suDiffuseTexture, false, false, true, false},       {suReflection, false, false, false, true},
    {suDiffuseWithReflection, false, false, true, true}, {suBump, false, true, false, false},
    {suBumpWithDiffuseTexture, false, true, true, false}};

// The set-up's colour channel c from the colours and what units 1-4 hold.
float Expected(TCombinerSetup s, const TColour (&tex)[5], int c) {
    const float p = kPrimary[c], sec = kSecondary[c], d = kDiffuse[c], sp = kSpecular[c], a = kAmount;
    const float mixed = p * d * (1 - a) + p * tex[0][c] * a;
    switch (s) {
    case suPlainOpaque:
        return Clamp(p + sec);
    case suPlainBlended: // drawn blended over black: times its alpha
        return Clamp(p * d + sec * sp) * Clamp(kDiffuse[3] + kSecondary[2]);
    case suDiffuseTexture:
        return Clamp(mixed + sec * sp);
    case suReflection:
        return Clamp(p + tex[0][c] * kReflection + sec);
    case suDiffuseWithReflection: // the reflection at full strength
        return Clamp(Clamp(mixed + tex[1][c]) + sec);
    case suBump: // (N.L) diffuse + (N.H)^8 specular, by the first light
        return Clamp(Dot(tex[0], tex[1]) * d * kLightDiffuse[c] +
                     std::pow(Dot(tex[0], tex[2]), 8.0f) * sp * kLightSpecular[c]);
    default: // bump with diffuse texture: diffuse only
        return Clamp((d * (1 - a) + tex[3][c] * a) * Clamp(Dot(tex[0], tex[1]) * kLightDiffuse[c]));
    }
}

#define NEED_EMULATED_COMBINERS(w)                                                                           \
    if (!(w).Ok()) GTEST_SKIP() << (w).Error();                                                              \
    if (!NvCombinersEmulated()) GTEST_SKIP() << "the driver's own combiners: no recorded state to read"

} // namespace

TEST(MaterialHandler, EverySetupComputesItsFormula) {
    TSceneFolder folder;
    TSceneWindow w(16, 16, folder);
    NEED_EMULATED_COMBINERS(w);
    Ts3dScene scene;
    scene.Device = w.Device();
    scene.Create();
    scene.CreateResources();
    Ts3dLight light, shadowLight;
    light.Diffuse = {kLightDiffuse[0], kLightDiffuse[1], kLightDiffuse[2], 1};
    light.Specular = {kLightSpecular[0], kLightSpecular[1], kLightSpecular[2], 1};
    scene.CurrentLight = &light;
    constexpr float kShade = 0.4f; // a grey texture stands in for the comparison
    shadowLight.ShadowTexture = Solid(w.Device(), {kShade, kShade, kShade, 1});
    auto* handler = static_cast<Ts3dNV2xMaterialHandler*>(scene.MaterialHandler.get());
    for (bool shadowed : {false, true})
        for (const TRow& row : kRows) {
            const std::string what = std::to_string(row.setup) + (shadowed ? " shadowed" : "");
            Ts3dMaterial m;
            m.BlendKind = row.blended ? bkBlended : bkOpaque;
            m.DiffuseColor = {kDiffuse[0], kDiffuse[1], kDiffuse[2], kDiffuse[3]};
            m.SpecularColor = {kSpecular[0], kSpecular[1], kSpecular[2], 1};
            m.DiffuseAmount = kAmount;
            m.ReflectionAmount = kReflection;
            TColour tex[5] = {};
            int unit = 0;
            if (row.bump) { // a normal tilted towards +x; L along +z, H between
                tex[0] = Direction(0.5f, 0, 1);
                for (float& v : tex[0])
                    v = Q(v);
                m.BumpTexture = Solid(w.Device(), tex[0]);
                tex[1] = Direction(0, 0, 1);
                tex[2] = Direction(0.3f, 0, 1);
                unit = 3;
            }
            if (row.diffuse) {
                tex[unit] = {Q(0.9f), Q(0.3f), Q(0.6f), Q(0.75f)};
                m.DiffuseTexture = Solid(w.Device(), tex[unit++]);
            }
            if (row.reflection) {
                tex[unit] = {Q(0.2f), Q(0.4f), Q(0.1f), 1};
                m.ReflectionTexture = Solid(w.Device(), tex[unit]);
            }
            if (shadowed) tex[ShadowUnitOfSetup(row.setup) - 1] = {Q(kShade), Q(kShade), Q(kShade), 1};
            scene.ShadowLight = shadowed ? &shadowLight : nullptr;
            // Begin the pass and draw a quad with the colours (and L, H on
            // units 2 and 3).
            w.Gl().Use2D();
            w.Gl().Context()->Clear(7);
            handler->Material = &m;
            handler->PrepareMaterial();
            handler->BeginFrame();
            handler->BeginPass(0);
            GL.glSecondaryColor3fEXT(kSecondary[0], kSecondary[1], kSecondary[2]);
            for (int u = 1; u <= 2; u++)
                GL.glMultiTexCoord3fARB(GLenum(GL_TEXTURE0_ARB + u), 2 * tex[u][0] - 1, 2 * tex[u][1] - 1,
                                        2 * tex[u][2] - 1);
            w.Gl().FillRect(0, 0, 16, 16, kPrimary[0], kPrimary[1], kPrimary[2]);
            const NvCombinerState state = *NvEmulationCombinerState();
            const uint32_t pixel = w.Gl().Pixel(8, 8);
            handler->EndFrame();
            EXPECT_EQ(handler->LastSetup(), row.setup) << what;
            EXPECT_EQ(scene.ShadowUnit, shadowed ? ShadowUnitOfSetup(row.setup) : 0) << what;
            scene.ReleaseShadowUnit();

            CombinerFragment f = {};
            f.primary = {{kPrimary[0], kPrimary[1], kPrimary[2], kPrimary[3]}};
            f.secondary = {{kSecondary[0], kSecondary[1], kSecondary[2], 1}};
            for (int u = 0; u < 5; u++) {
                f.texture[u] = {{tex[u][0], tex[u][1], tex[u][2], tex[u][3]}};
                f.textureOn[u] = true;
            }
            f.fogFactor = 1;
            const Rgba model = ReferenceCombiners(state, f);
            const int channel[3] = {Red(pixel), Green(pixel), Blue(pixel)};
            for (int c = 0; c < 3; c++) {
                const float want = Expected(row.setup, tex, c) * (shadowed ? Q(kShade) : 1.0f);
                EXPECT_NEAR(model.v[c] * (row.blended ? model.v[3] : 1.0f), want, 0.02) << what << " " << c;
                // The cube map's texels are near the directions, not exact.
                EXPECT_NEAR(channel[c], want * 255, row.bump ? 8 : 3) << what << " " << c;
            }
        }
}

// Blending and per-stage constants go off at the next pass or at the frame's
// end, not before. A material whose stages fit no set-up (a bump map with a
// reflection map) keeps the combiner state of the one before.
TEST(MaterialHandler, SwitchesOffLazilyAndKeepsStateForUnknownStages) {
    TSceneFolder folder;
    TSceneWindow w(8, 8, folder);
    NEED_EMULATED_COMBINERS(w);
    Ts3dScene scene;
    scene.Device = w.Device();
    scene.Create();
    scene.CreateResources();
    auto* h = static_cast<Ts3dNV2xMaterialHandler*>(scene.MaterialHandler.get());
    Ts3dMaterial blended, opaque, unknown;
    blended.BlendKind = bkBlended;
    unknown.BumpTexture = unknown.ReflectionTexture = Solid(w.Device(), {1, 1, 1, 1});
    for (Ts3dMaterial* m : {&blended, &opaque, &unknown}) {
        h->Material = m;
        h->PrepareMaterial();
    }
    h->BeginFrame();
    for (auto [m, on] : {std::pair{&blended, true},
                         {&unknown, false},
                         {&blended, true},
                         {nullptr, false},
                         {&opaque, false}}) {
        if (m) {
            h->Material = m;
            h->BeginPass(0);
        } else {
            h->EndFrame();
        }
        EXPECT_EQ(GL.glIsEnabled(GL_BLEND) != 0, on);
        EXPECT_EQ(GL.glIsEnabled(GL_PER_STAGE_CONSTANTS_NV) != 0, on);
    }
    const NvCombinerState before = *NvEmulationCombinerState();
    h->Material = &unknown;
    h->BeginPass(0);
    EXPECT_EQ(h->LastSetup(), suNone);
    EXPECT_EQ(std::memcmp(&before, NvEmulationCombinerState(), sizeof before), 0);
    h->EndFrame();
}
