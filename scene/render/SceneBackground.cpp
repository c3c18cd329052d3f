// The scene's background: a clear to the background colour, or a picture
// drawn over the whole frame on a screen-filling quad.
#include <cmath>

#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "scene/geometry/GeomStuff.h"
#include "scene/render/SceneRenderSupport.h"

namespace {

// The edge a texture needs for an image edge: the edge itself when it is a
// power of two, else the next power of two above it.
int32_t TextureEdge(int32_t edge) {
    if (edge <= 1) return 1;
    int32_t exponent = int32_t(std::trunc(std::log2(double(edge))));
    if ((int64_t(1) << exponent) != edge) exponent++;
    return int32_t(int64_t(1) << std::min(exponent, 30));
}

} // namespace

// The picture is copied into an image of the texture's power-of-two size
// (the picture itself stays as it was: the script's image resource may serve
// other scenes), and the quad's texture coordinates cover only the picture's
// own part of the texture, so the picture fills the frame. The texture,
// material and quad are made once per picture.
void Ts3dScene::PrepareBackground() {
    if (!Background) {
        BackgroundTexture.Reset();
        BackgroundSource = nullptr;
        return;
    }
    if (BackgroundSource == Background.Get() && BackgroundTexture) return;
    const int32_t w = Background->GetWidth(), h = Background->GetHeight();
    const int32_t tw = TextureEdge(w), th = TextureEdge(h);
    TRefPtr<I3dImage> image;
    Device->CreateImage(image);
    image->CopyFrom(Background.Get());
    image->ResizeCanvas(tw, th, 1);

    T3dTextureParams p;
    p.Width = tw;
    p.Height = th;
    p.Depth = 1;
    p.FaceCount = 1;
    p.MipLevels = 1;
    p.MipMode = mmNone;
    p.Wrap = wmClampToEdge;
    p.Smooth = true;
    p.Format = tfNone;
    p.Kind = tk2D;
    p.Images[0] = image.Get();
    Device->CreateTexture(p, BackgroundTexture);
    BackgroundTexture->Upload();
    BackgroundSource = Background.Get();

    if (!BackgroundMaterial) BackgroundMaterial = Own(std::make_unique<Ts3dMaterial>());
    BackgroundMaterial->Device = Device;
    BackgroundMaterial->EmissiveColor = TColors::White;
    BackgroundMaterial->DiffuseTexture = BackgroundTexture;
    BackgroundMaterial->DiffuseAmount = 1.0f;
    MaterialHandler->Material = BackgroundMaterial;
    MaterialHandler->PrepareMaterial();

    if (!BackgroundObject) {
        BackgroundObject = Own(std::make_unique<Ts3dObject>());
        BackgroundObject->Device = Device;
        Ts3dGeometryDef* g = BackgroundObject->Geometry;
        TGeomStuff::GeneratePlane(Device.Get(), gfPositions | gfTexCoords, {3, 2}, g->VertexBuffer,
                                  g->Faces.Get(), 1.0f, 1.0f, 1, 1);
        g->Build();
    }
    // Texture coordinates 0..1 become 0..(picture / texture).
    I3dVertexBuffer* coords = BackgroundObject->Geometry->Stream(1);
    const int32_t n = coords ? coords->GetCount() : 0;
    for (int32_t i = 0; i < n; i++) {
        float* uv = static_cast<float*>(coords->ElementAddress(i));
        uv[0] = uv[0] > 0.5f ? float(w) / float(tw) : 0.0f;
        uv[1] = uv[1] > 0.5f ? float(h) / float(th) : 0.0f;
    }
}

void Ts3dScene::ClearOrDrawBackground() {
    I3dContext* c = Context();
    if (!BackgroundTexture || !BackgroundObject) {
        T3dClearValues v{};
        v.Flags = 1;
        v.Color = ToT3dColor(BackgroundColor);
        c->SetClearValues(v);
        c->Clear(7);
        return;
    }
    MaterialHandler->Material = BackgroundMaterial;
    MaterialHandler->SetupObject(BackgroundObject);
    MaterialHandler->BeginPass(0);
    Device->ResetStreams();
    c->Clear(6);
    Ts3dGeometryDef* g = BackgroundObject->Geometry;
    Device->SetObjectBuffer(g->VertexBuffer.Get());
    Device->SelectIndexList(0);
    Device->SetStream(0, 0);
    Device->SetStream(1, 5);
    c->SetTexture(1, BackgroundTexture.Get());
    c->SetRGBMode(1, csTexture, coSrcColor, csNone, coNone, csNone, coNone, cmReplace, 1.0f);
    // The picture's own colours: unlit white, whatever lighting the last
    // view left on.
    c->EnableLighting(false);
    c->SetColor({1.0f, 1.0f, 1.0f, 1.0f});
    c->SetDepthMode(dmOff);
    c->LoadIdentity(mkProjection);
    c->Ortho(mkProjection, -0.5f, 0.5f, 0.5f, -0.5f, -1.0f, 1.0f);
    c->LoadIdentity(mkModelview);
    c->SetBlendMode(bfOne, bfZero);
    Device->DrawFaceList(g->Faces.Get());
    c->SetDepthMode(dmReadWrite);
    Device->ResetStreams();
}
