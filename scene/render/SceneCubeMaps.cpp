// Dynamic cube maps: the scene around a reflecting or refracting object,
// drawn face by face into the cube texture of its material.
#include <algorithm>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/PixelWork.h"
#include "scene/render/SceneRenderSupport.h"

// One off-screen target (with a depth buffer) of ReflectMapSize square is the
// drawing target of all six faces; each face is copied into the texture.
TRefPtr<I3dTexture> Ts3dScene::CreateCubeTexture() {
    TRefPtr<I3dTexture> texture;
    TRefPtr<I3dContext> main;
    Device->GetMainContext(main);
    T3dCapabilities caps{};
    if (I3dContext* c = Context()) c->GetCapabilities(caps);
    const int32_t size = std::min(
        {ReflectMapSize, kLargestMap, caps.MaxCubeMapSize, caps.MaxViewportWidth, caps.MaxViewportHeight});
    if (size <= 0 || !main) return texture;
    TRefPtr<I3dContext> target;
    Device->CreateBufferContext(main->GetWindow(), size, size, 1, ckPbuffer, 0x10, 0, target);
    if (!target) return texture;
    Device->CreateContextTexture(target.Get(), tfRGBA, texture, 4);
    if (texture) texture->Upload();
    return texture;
}

void Ts3dScene::RenderCubeFaces(Ts3dObject* object, I3dTexture* texture, int32_t firstFace,
                                int32_t lastFace) {
    struct TRotation {
        float angle, x, y, z;
    };
    // Per face: the rotations applied, in order, to the translation.
    static const TRotation kFaces[6][2] = {
        {{90, 0, -1, 0}, {180, 0, 0, 1}}, {{90, 0, 1, 0}, {180, 0, 0, 1}}, {{90, 1, 0, 0}, {0, 0, 0, 0}},
        {{90, -1, 0, 0}, {0, 0, 0, 0}},   {{180, 1, 0, 0}, {0, 0, 0, 0}},  {{180, 0, 0, 1}, {0, 0, 0, 0}},
    };
    // The object's own surface is not part of what it reflects; it is drawn
    // again however the faces end.
    struct THidden {
        Ts3dObject* o;
        ~THidden() { o->Visible = true; }
    } hidden{object};
    object->Visible = false;
    const TMatrix4& world = object->Node->FrameWorld;
    for (int32_t f = std::max(firstFace, 0); f <= std::min(lastFace, 5); f++) {
        texture->SetCubeFace(uint8_t(f));
        TPixelWorkScope work(pwCubeMaps, ScreenPixels());
        TMatrix4 m = TMatrix::Translate(TMatrix::Identity(), world.m[12], world.m[13], world.m[14]);
        for (const TRotation& r : kFaces[f])
            if (r.angle != 0.0f) m = TMatrix::Rotate(m, r.angle, r.x, r.y, r.z);
        ViewMatrix = m;
        GL.glEnable(GL_CULL_FACE);
        ClearOrDrawBackground();
        I3dContext* c = Context();
        c->LoadIdentity(mkProjection);
        c->Perspective(mkProjection, 90.0f, 1.0f, 0.1f, 10000.0f);
        ViewMatrix = m;
        RenderView(false);
        texture->UpdateArea(0, 0);
    }
}
