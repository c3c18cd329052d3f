// Shadow maps: each shadow-casting light's depth view, and its projection
// onto what the camera sees.
#include <cmath>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/PixelWork.h"
#include "scene/render/SceneRenderSupport.h"

namespace {

// The matrix gluPerspective makes, in OpenGL element order.
TMatrix4 PerspectiveMatrix(float fovY, float aspect, float zNear, float zFar) {
    const double f = 1.0 / std::tan(double(fovY) * M_PI / 360.0);
    TMatrix4 m = {};
    m.m[0] = float(f / aspect);
    m.m[5] = float(f);
    m.m[10] = float((zFar + zNear) / double(zNear - zFar));
    m.m[11] = -1.0f;
    m.m[14] = float(2.0 * zFar * zNear / double(zNear - zFar));
    return m;
}

TMatrix4 ScaleMatrix(float s) {
    TMatrix4 m = TMatrix::Identity();
    m.m[0] = m.m[5] = m.m[10] = s;
    return m;
}

const float kPlanes[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
const float kNoPlane[4] = {0, 0, 0, 0};
const T3dTexGenCoord kCoords[4] = {gcS, gcT, gcR, gcQ};

} // namespace

void Ts3dScene::RenderShadowMap(Ts3dLight* light) {
    TPushedContext pushed(Device.Get(), light->ShadowTarget.Get());
    PixelWorkCountPass();
    TPixelWorkScope work(pwShadowMaps, ScreenPixels());
    ClearOrDrawBackground();
    light->ShadowNearUsed = light->ShadowNear;
    light->ShadowFarUsed = light->ShadowFar;
    I3dContext* c = Context();
    c->LoadIdentity(mkProjection);
    const float a = c->GetAspect();
    c->Perspective(mkProjection, 2.0f * light->CutOff / a, 1.0f, light->ShadowNearUsed, light->ShadowFarUsed);
    c->LoadIdentity(mkModelview);
    GL.glPolygonOffset(1.1f, 4.0f);
    GL.glEnable(GL_POLYGON_OFFSET_FILL);
    ViewMatrix = light->Node->FrameWorld;
    RenderView(true);
    GL.glDisable(GL_POLYGON_OFFSET_FILL);
    GL.glPolygonOffset(0.0f, 0.0f);
    light->ShadowTexture->UpdateArea(0, 0);
}

// Only the light's depths matter: positions only, back faces culled, no
// lighting. Every stream is unbound first, so no array of the object drawn
// before is read past this object's vertices.
void Ts3dScene::RenderDepthOnly(Ts3dList<Ts3dObject>& list) {
    I3dContext* c = Context();
    GL.glEnable(GL_CULL_FACE);
    c->EnableLighting(false);
    for (Ts3dObject* object : list) {
        if (!object->Visible || object->Geometry->PositionStream < 0) continue;
        c->LoadMatrix(mkModelview, ToT3dMatrix(object->Node->ModelView));
        Device->SetObjectBuffer(object->Geometry->VertexBuffer.Get());
        Device->ResetStreams();
        Device->SetStream(object->Geometry->PositionStream, 0);
        Device->SelectIndexList(0);
        Device->DrawFaceList(object->Geometry->Faces.Get());
    }
    Device->ResetStreams();
}

// The projection of a light's shadow map: eye-linear coordinates given under
// the camera's view are world positions, and the texture matrix takes them
// through the light's view and perspective into the map's 0..1 range. The
// map is put on a unit by BindShadowMap when a pass starts: the unit after
// the ones the pass's combiner set-up uses.
void Ts3dScene::SetupShadowProjection(Ts3dLight* light) {
    ShadowLight = light->ShadowTexture ? light : nullptr;
    ShadowUnit = 0;
    ShadowView = TMatrix::Invert(Camera->Node->World);
    const float a = light->ShadowTarget ? light->ShadowTarget->GetAspect() : 1.0f;
    const TMatrix4 projection =
        PerspectiveMatrix(light->CutOff * 2.0f / a, a, light->ShadowNearUsed, light->ShadowFarUsed);
    ShadowTextureMatrix = TMatrix::Multiply(
        TMatrix::Multiply(TMatrix::Multiply(TMatrix::Invert(light->Node->FrameWorld), projection),
                          ScaleMatrix(0.5f)),
        TMatrix::Translation(0.5f, 0.5f, 0.5f));
    Context()->LoadIdentity(mkModelview);
}

bool Ts3dScene::BindShadowMap(int32_t unit) {
    if (!ShadowLight || !ShadowLight->ShadowTexture) return false;
    I3dContext* c = Context();
    T3dCapabilities caps{};
    c->GetCapabilities(caps);
    if (unit < 1 || unit > 8 || unit > caps.TextureUnits) {
        ReleaseShadowUnit();
        return false;
    }
    I3dTexture* texture = ShadowLight->ShadowTexture.Get();
    c->SetTexture(unit, texture);
    if (unit == ShadowUnit) return true;
    if (ShadowUnit != 0) ReleaseShadowUnit();
    texture->SetDepthCompare(cfLessEqual);
    c->LoadMatrix(mkModelview, ToT3dMatrix(ShadowView));
    for (int i = 0; i < 4; i++)
        c->SetCoordGeneration(unit, kCoords[i], tgEyeLinear, kPlanes[i]);
    c->SetRGBMode(unit, csTexture, coSrcColor, csPrimaryColor, coSrcColor, csNone, coNone, cmModulate, 1.0f);
    c->SetCombineColor(unit, {0.0f, 0.0f, 0.0f, 1.0f});
    c->SetAlphaMode(unit, csPrevious, coSrcAlpha, csConstant, coSrcAlpha, csTexture, coSrcAlpha,
                    cmInterpolate, 1.0f);
    c->LoadMatrix(T3dMatrixKind(mkTexture0 + unit - 1), ToT3dMatrix(ShadowTextureMatrix));
    c->LoadIdentity(mkModelview);
    ShadowUnit = unit;
    return true;
}

void Ts3dScene::ReleaseShadowUnit() {
    if (ShadowUnit == 0) return;
    I3dContext* c = Context();
    c->SetTexture(ShadowUnit, nullptr);
    for (T3dTexGenCoord coord : kCoords)
        c->SetCoordGeneration(ShadowUnit, coord, tgOff, kNoPlane);
    c->LoadIdentity(T3dMatrixKind(mkTexture0 + ShadowUnit - 1));
    ShadowUnit = 0;
}

void Ts3dScene::ReleaseShadowMaps() {
    for (Ts3dLight* light : ShadowLights) {
        light->ShadowTexture.Reset();
        light->ShadowTarget.Reset();
    }
}
