#include "demo/Fade.h"

#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/PixelWork.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"
#include "scene/geometry/GeomStuff.h"

#include <cstring>

TRefPtr<IDemoEffect> TFade::CreateInstance() {
    return TRefPtr<IDemoEffect>(new TFade());
}

void TFade::Load() {
    TRefPtr<I3dContext> main;
    device_->GetMainContext(main);
    device_->MakeContextCurrent(main.Get());
    planeBuffer_ = nullptr;
    planeFaces_ = CreateFaceList();
    TGeomStuff::GeneratePlane(device_.Get(), gfPositions, {3}, planeBuffer_, planeFaces_.Get(), 2.0f, 2.0f, 1,
                              1);
    planeBuffer_->Commit();
}

bool TFade::CurrentColor(T3dColor& color) {
    const TValueRecord* value = FindValue(kFadeColor.Name);
    if (!value || value->Kind != vkColor) return false;
    std::memcpy(&color, ValueBytes(value), sizeof color);
    return true;
}

void TFade::Render(bool first) {
    TDemoEffect::Render(first);
    TRefPtr<I3dContext> context;
    device_->GetCurrentContext(context);
    if (!context) return;
    if (first) context->Clear(7);

    T3dColor color;
    if (!CurrentColor(color) || !planeBuffer_) return;
    // Blended with its alpha, a colour of alpha 0 leaves every pixel as it
    // was (a beat's blink spends most of its period there).
    if (!(color.a > 0.0f) && !DrawAllWork()) return;

    // The attribute stack brings back GL's matrix mode and active texture
    // unit; the context's record of them must come back with them, or its
    // next matrix or texture call lands on another stack or unit.
    T3dOpenglContext* gl = dynamic_cast<T3dOpenglContext*>(context.Get());
    const T3dGLStateCache saved = gl ? gl->StateCache() : T3dGLStateCache();
    GL.glPushAttrib(GL_ALL_ATTRIB_BITS);
    context->LoadIdentity(mkProjection);
    // Both axes reversed; the square covers the viewport either way.
    context->Ortho(mkProjection, 1.0f, -1.0f, -1.0f, 1.0f, -1.0f, 1.0f);
    context->LoadIdentity(mkModelview);
    context->EnableLighting(false);
    for (int32_t unit = 1; unit <= 5; unit++)
        context->SetTexture(unit, nullptr);
    context->SetDepthMode(dmOff);
    context->SetBlendMode(bfSrcAlpha, bfInvSrcAlpha);
    context->SetColor(color);

    device_->SetObjectBuffer(planeBuffer_.Get());
    device_->ResetStreams();
    device_->SetStream(0, 0);
    device_->SelectIndexList(0);
    PixelWorkCountPass();
    {
        TPixelWorkScope work(pwFades, uint64_t(context->GetWidth()) * uint64_t(context->GetHeight()));
        device_->DrawFaceList(planeFaces_.Get());
    }
    device_->SetStream(-1, 0);

    context->SetDepthMode(dmReadWrite);
    context->SetBlendMode(bfZero, bfZero);
    GL.glPopAttrib();
    if (gl) gl->StateCache() = saved;
}
