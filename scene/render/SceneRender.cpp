// Scene rendering: preparation when the scene's effect starts, and the frame
// (node matrices, shadow maps, cube maps, background, the camera's view with
// its culling, sorting and one group of passes per light set).
#include <algorithm>
#include <cmath>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/PixelWork.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"
#include "scene/render/SceneRenderSupport.h"

namespace {

// Lights whose cone is this wide or wider cannot be seen through one
// perspective projection: they never get a shadow map.
constexpr float kWidestShadowCutOff = 89.0f;

// The key blended objects are ordered by: eye-space z in millionths.
int64_t DepthKey(const Ts3dObject* o) {
    const double z = double(o->EyeCenter.z) * 1000000.0;
    return std::isfinite(z) ? int64_t(std::llround(std::clamp(z, -9.0e18, 9.0e18))) : 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Preparation

void Ts3dScene::Prepare() {
    PrepareBackground();

    TRefPtr<I3dContext> main;
    Device->GetMainContext(main);
    T3dCapabilities caps{};
    if (I3dContext* c = Context()) c->GetCapabilities(caps);

    // A scene is prepared again each time a part using it starts: the lists
    // are made afresh, and targets that still exist are kept.
    ShadowLights.Clear();
    PlainLights.Clear();
    const bool shadowCaps = caps.ShadowTextures && caps.RenderToDepthTexture;
    const int32_t shadowSize = std::min(
        {ShadowMapSize, kLargestMap, caps.MaxTextureSize, caps.MaxViewportWidth, caps.MaxViewportHeight});
    for (Ts3dLight* light : Lights) {
        const bool shadowed = shadowCaps && ShadowsEnabled && light->CastsShadows && shadowSize > 0 &&
                              light->CutOff <= kWidestShadowCutOff && light->Node && main;
        if (shadowed && !light->ShadowTarget) {
            Device->CreateBufferContext(main->GetWindow(), shadowSize, shadowSize, 1, ckRenderTexture, 0x10,
                                        bindDepth, light->ShadowTarget);
            if (light->ShadowTarget) {
                Device->CreateContextTexture(light->ShadowTarget.Get(), tfDepth, light->ShadowTexture, 0);
                if (light->ShadowTexture) light->ShadowTexture->Upload();
            }
        }
        if (shadowed && light->ShadowTarget && light->ShadowTexture)
            ShadowLights.Add(light);
        else
            PlainLights.Add(light);
    }

    Device->MakeContextCurrent(main.Get());

    // Objects sharing a material next to each other, materials in the order
    // of their first use.
    std::stable_sort(Objects.Raw().begin(), Objects.Raw().end(),
                     [this](Ts3dObject* a, Ts3dObject* b) { return MaterialOrder(a) < MaterialOrder(b); });

    for (Ts3dMaterial* material : Materials)
        PrepareMaterial(material);

    CubeMapObjects.Clear();
    Mirrors.Clear();
    const bool cubeCaps = caps.CubeMaps && caps.RenderToTexture;
    for (Ts3dObject* object : Objects) {
        object->Visible = true;
        Ts3dMaterial* m = object->Material;
        if (!m) continue;
        if (ReflectionsEnabled && (m->EnvironmentReflect || m->Refract)) {
            if (!m->CubeTexture && cubeCaps) m->CubeTexture = CreateCubeTexture();
            // Without a cube texture there is nothing to draw the faces into.
            if (m->CubeTexture) CubeMapObjects.Add(object);
        }
        if (object->Flat && m->Mirror) Mirrors.Add(object);
    }
    UpdateFrameWorlds();
    DrawEveryObject = true;
}

int32_t Ts3dScene::MaterialOrder(const Ts3dObject* object) const {
    const auto& list = Materials.Raw();
    auto it = std::find(list.begin(), list.end(), object->Material);
    return int32_t(it - list.begin());
}

void Ts3dScene::PrepareMaterial(Ts3dMaterial* material) {
    // The attribute stack brings back GL's matrix mode and active texture
    // unit; the context's record of them must come back with them, or its
    // next matrix or texture call lands on another stack or unit.
    T3dOpenglContext* gl = dynamic_cast<T3dOpenglContext*>(Context());
    const T3dGLStateCache saved = gl ? gl->StateCache() : T3dGLStateCache();
    GL.glPushAttrib(0xFFFFF);
    MaterialHandler->Material = material;
    MaterialHandler->PrepareMaterial();
    GL.glPopAttrib();
    if (gl) gl->StateCache() = saved;
}

void Ts3dScene::UpdateFrameWorlds() {
    for (Ts3dObject* object : Objects)
        if (object->Node) object->Node->FrameWorld = object->Node->GetWorldMatrix(Time);
    for (Ts3dLight* light : Lights)
        if (light->Node) light->Node->FrameWorld = light->Node->GetWorldMatrix(Time);
    for (Ts3dcamera* camera : Cameras)
        if (camera->Node) camera->Node->FrameWorld = camera->Node->GetWorldMatrix(Time);
}

// ---------------------------------------------------------------------------
// The frame

void Ts3dScene::Render() {
    // Without a selected camera the first is taken; a scene without cameras
    // raises the camera list's index error.
    if (!Camera) SelectCamera(0);
    if (!Camera->Node) return; // a camera the loader placed nowhere shows nothing
    TFrameGuard frame(MaterialHandler.get());
    UpdateFrameWorlds();
    for (Ts3dLight* light : ShadowLights)
        if (light->ShadowTarget && light->ShadowTexture) RenderShadowMap(light);
    // The dynamic cube maps are drawn only to be compared: no material
    // set-up samples them, so they change no pixel of the frame.
    for (Ts3dObject* object : CubeMapObjects) {
        if (!DrawAllWork()) break;
        I3dTexture* texture = object->Material ? object->Material->CubeTexture.Get() : nullptr;
        if (!texture) continue;
        TRefPtr<I3dContext> target;
        texture->GetSourceContext(target);
        if (!target) continue;
        TPushedContext pushed(Device.Get(), target.Get());
        RenderCubeFaces(object, texture, 0, 5);
    }
    {
        TPixelWorkScope work(pwBackground, ScreenPixels());
        ClearOrDrawBackground();
    }
    ViewMatrix = Camera->Node->FrameWorld;
    I3dContext* c = Context();
    c->LoadIdentity(mkProjection);
    const float a = c->GetAspect();
    c->Perspective(mkProjection, Camera->Fov / a, a, Camera->Near, Camera->Far);
    RenderView(false);
    DrawEveryObject = false;
}

void Ts3dScene::SetViewTransforms(const TMatrix4& view) {
    const TMatrix4 v = TMatrix::Invert(view);
    for (Ts3dObject* object : Objects) {
        if (!object->Node) continue;
        object->Node->ModelView = TMatrix::Multiply(object->Node->FrameWorld, v);
        object->EyeCenter = TMatrix::TransformPoint(object->Geometry->SphereCenter, object->Node->ModelView);
        object->Radius = object->Geometry->SphereRadius;
    }
    for (Ts3dLight* light : Lights)
        if (light->Node) light->Node->ModelView = TMatrix::Multiply(light->Node->FrameWorld, v);
}

void Ts3dScene::RenderView(bool depthOnly) {
    I3dContext* c = Context();
    Visible.Clear();
    SetViewTransforms(ViewMatrix);
    Culler->Cull();
    if (DrawEveryObject && !depthOnly) {
        Visible.Clear();
        for (Ts3dObject* object : Objects)
            if (object->Material && object->Node) Visible.Add(object);
    }
    SwitchLightsOff(c);
    if (depthOnly) {
        RenderDepthOnly(Visible);
    } else {
        SortVisible();
        PassKind = pkFirstLightPass;
        CurrentLight = FirstLight();
        // Every group draws every surface again at the depth the first
        // group wrote, so the depth test (less) discards all that later
        // groups draw: the picture is the first group's, and the others
        // are left out.
        bool drawn = false;
        for (Ts3dLight* light : ShadowLights) {
            if (drawn && !DrawAllWork()) break;
            drawn = true;
            SetupShadowProjection(light);
            SetupLights(light);
            RenderOpaque();
            RenderBlended();
            PassKind = pkLaterLightPass;
            SwitchLightsOff(c);
            ReleaseShadowUnit();
            ShadowLight = nullptr;
        }
        if (!PlainLights.Empty() && (!drawn || DrawAllWork())) {
            SetupLights(nullptr);
            RenderOpaque();
            RenderBlended();
        }
        SwitchLightsOff(c);
        c->FreeAllLights();
    }
    c->FreeAllTextureUnits();
}

// Every light slot off, whether or not the context still counts it as taken:
// the opaque passes free the slots of lights that stay on, so a light of one
// group (or of the last frame's) would otherwise shine into the next.
void Ts3dScene::SwitchLightsOff(I3dContext* c) {
    for (int32_t light = 1; light <= 8; light++)
        c->EnableLight(light, false);
    c->ReleaseLights();
}

void Ts3dScene::SortVisible() {
    OpaqueMaterials.Clear();
    BlendedVisible.Clear();
    for (Ts3dObject* object : Visible) {
        Ts3dMaterial* m = object->Material;
        if (!m) continue;
        if (m->BlendKind == bkBlended) {
            BlendedVisible.Add(object);
        } else if (m->BlendKind == bkOpaque) {
            if (!OpaqueMaterials.Contains(m)) {
                OpaqueMaterials.Add(m);
                m->Objects.Clear();
            }
            m->Objects.Add(object);
        }
    }
    // Farthest first: eye-space z is negative in front of the viewer.
    std::sort(BlendedVisible.Raw().begin(), BlendedVisible.Raw().end(),
              [](const Ts3dObject* a, const Ts3dObject* b) { return DepthKey(a) < DepthKey(b); });
}

void Ts3dScene::SetupLights(Ts3dLight* light) {
    I3dContext* c = Context();
    c->SetLocalViewer(true);
    c->EnableLighting(true);
    auto setUp = [&](Ts3dLight* l) {
        if (!l->Node) return;
        c->LoadMatrix(mkModelview, ToT3dMatrix(l->Node->ModelView));
        const int32_t slot = c->AllocLight();
        if (slot == 0) return; // more lights than OpenGL has
        c->EnableLight(slot, true);
        c->SetSpotCutoff(slot, l->CutOff);
        c->SetSpotExponent(slot, l->Exponent);
        c->SetSpotDirection(slot, {0.0f, 0.0f, -1.0f});
        static const float origin[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        c->SetLightPosition(slot, origin);
        c->SetLightColor(slot, ccAmbient, ToT3dColor(l->Ambient));
        c->SetLightColor(slot, ccDiffuse, ToT3dColor(l->Diffuse));
        c->SetLightColor(slot, ccSpecular, ToT3dColor(l->Specular));
    };
    if (light) {
        setUp(light);
    } else {
        for (Ts3dLight* l : PlainLights)
            setUp(l);
    }
}

// Draws one object with the pass already begun.
void Ts3dScene::DrawObject(Ts3dObject* object, bool setupFirst) {
    I3dContext* c = Context();
    CurrentObject = object;
    c->LoadMatrix(mkModelview, ToT3dMatrix(object->Node->ModelView));
    Device->ResetStreams();
    Device->SetObjectBuffer(object->Geometry->VertexBuffer.Get());
    Device->SetStream(0, 0);
    Device->SelectIndexList(0);
    if (setupFirst) MaterialHandler->SetupObject(object);
}

void Ts3dScene::RenderOpaque() {
    I3dContext* c = Context();
    TPixelWorkScope work(pwOpaque, ScreenPixels());
    c->SetAmbientLight(ToT3dColor(AmbientColor));
    for (Ts3dMaterial* m : OpaqueMaterials) {
        CurrentMaterial = m;
        MaterialHandler->Material = m;
        for (int32_t p = 0; p < m->PassCount; p++) {
            MaterialHandler->BeginPass(p);
            PixelWorkCountPass();
            for (Ts3dObject* object : m->Objects) {
                if (!object->Visible) continue;
                DrawObject(object, true);
                Device->DrawFaceList(object->Geometry->Faces.Get());
            }
            ReleaseUnits();
        }
        Device->ResetStreams();
        c->FreeAllLights();
        c->FreeAllTextureUnits();
    }
}

void Ts3dScene::RenderBlended() {
    PassKind = pkBlendedPass;
    TPixelWorkScope work(pwBlended, ScreenPixels());
    for (Ts3dObject* object : BlendedVisible) {
        DrawObject(object, false);
        CurrentMaterial = object->Material;
        MaterialHandler->Material = object->Material;
        for (int32_t p = 0; p < object->Material->PassCount; p++) {
            MaterialHandler->BeginPass(p);
            PixelWorkCountPass();
            MaterialHandler->SetupObject(object);
            Device->DrawFaceList(object->Geometry->Faces.Get());
        }
    }
    ReleaseUnits();
    Device->ResetStreams();
}

uint64_t Ts3dScene::ScreenPixels() {
    // Only counted work needs the size; the context is asked for nothing
    // otherwise.
    if (!PixelWorkEnabled()) return 0;
    I3dContext* c = Context();
    return c ? uint64_t(std::max(c->GetWidth(), 0)) * uint64_t(std::max(c->GetHeight(), 0)) : 0;
}

void Ts3dScene::ReleaseUnits() {
    I3dContext* c = Context();
    for (int32_t& unit : PassUnits) {
        if (unit == 0) continue;
        c->SetTexture(unit, nullptr);
        c->FreeTextureUnit(unit);
        unit = 0;
    }
}
