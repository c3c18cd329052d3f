// Scene rendering against raw GL. A generated scene of 2,000 boxes over 20
// materials (plain, diffuse-textured and bump-mapped) under one
// shadow-casting spot light is written with our writer, loaded and rendered
// with Ts3dScene::Render; side by side the same frame is drawn with raw GL
// calls in the same order: the shadow map's depth pass, then per material
// the same fragment program (the combiners' compiled program), constants
// and textures, and per object its model-view (and for bump materials the
// same vertex-program registers) and its draw. Both paths compute their own
// model-view matrices; the raw path does no culling, sorting or state
// tracking. The window is 64 x 64, so rasterisation is small next to the
// CPU work being compared. Prints the CPU time per frame of each and their
// ratio (target: at most 1.5).
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/NvEmulation.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglTexture.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglVertexProgram.h"
#include "data/FlexibleStream.h"
#include "scene/loader/SmartY3dLoader.h"
#include "scene/loader/Y3dFile.h"
#include "scene/material/NV2xMaterialHandler.h"

namespace {

constexpr int kSize = 64;
constexpr int kColumns = 50, kRows = 40; // 2,000 boxes
constexpr int kMaterials = 20;
constexpr int kRounds = 20;

double CpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// ---- the scene file -------------------------------------------------------

TY3dMesh Box(int32_t material) {
    TY3dMesh m;
    m.Flags = vfPosition | vfNormal | vfTexCoord;
    for (int axis = 0; axis < 3; axis++)
        for (float sign : {1.0f, -1.0f}) {
            const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
            const uint32_t base = uint32_t(m.VertexCount);
            for (auto [u, v] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
                float p[3] = {0, 0, 0}, n[3] = {0, 0, 0};
                p[axis] = sign * 0.4f;
                p[a1] = sign * float(u) * 0.4f;
                p[a2] = float(v) * 0.4f;
                n[axis] = sign;
                for (float f : {p[0], p[1], p[2], n[0], n[1], n[2], (u + 1) / 2.0f, (v + 1) / 2.0f})
                    m.Vertices.push_back(f);
                m.VertexCount++;
            }
            for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u})
                m.Indices.push_back(base + i);
        }
    m.Groups = {{4, material, 0, int32_t(m.Indices.size())}};
    return m;
}

TY3dDocument BuildScene() {
    TY3dDocument doc;
    int32_t id = 1;
    auto header = [&](const std::string& name) {
        TY3dNodeHeader h;
        h.Id = id++;
        h.Name = name;
        return h;
    };
    for (int p = 0; p < 12; p++) {
        TY3dPicture picture;
        picture.Header = header("p" + std::to_string(p) + ".tga");
        picture.Embedded = true;
        picture.Width = picture.Height = 16;
        for (int y = 0; y < 16; y++)
            for (int x = 0; x < 16; x++)
                for (int c = 0; c < 3; c++)
                    picture.Pixels.push_back(uint8_t(((x + y * p + c * 5) * 37) & 0xFF));
        doc.Pictures.push_back(picture);
    }
    for (int m = 0; m < kMaterials; m++) {
        TY3dMaterial material;
        material.Header = header("m" + std::to_string(m));
        material.Diffuse[0] = 0.3f + 0.03f * float(m);
        material.Diffuse[1] = 0.8f - 0.02f * float(m);
        material.Specular[0] = material.Specular[1] = material.Specular[2] = 0.3f;
        if (m >= 8 && m < 16) material.Maps.push_back({mtDiffuse, m - 8, 1.0f});
        if (m >= 16) material.Maps.push_back({mtBump, 8 + (m - 16), 1.0f});
        doc.Materials.push_back(material);
    }
    for (int r = 0; r < kRows; r++)
        for (int c = 0; c < kColumns; c++) {
            TY3dObject o;
            o.What = TY3dObject::okMesh;
            o.Node.Header = header("box");
            o.Node.Translation[0] = float(c) - kColumns / 2.0f;
            o.Node.Translation[2] = float(r) - kRows / 2.0f;
            o.Mesh = Box((r * kColumns + c) % kMaterials);
            o.Mesh.Header = o.Node.Header;
            doc.Objects.push_back(o);
        }
    // Camera and light above, looking down (-z of the node to -y: a quarter
    // turn about x).
    const float down[4] = {0.70710678f, 0, 0, 0.70710678f};
    TY3dObject camera;
    camera.What = TY3dObject::okCamera;
    camera.Node.Header = header("camera");
    camera.Node.Translation[1] = 40;
    std::copy(down, down + 4, camera.Node.Rotation);
    camera.Camera.Header = camera.Node.Header;
    camera.Camera.Fov = 80;
    camera.Camera.Near = 1;
    camera.Camera.Far = 200;
    doc.Objects.push_back(camera);
    TY3dObject light;
    light.What = TY3dObject::okLight;
    light.Node.Header = header("light");
    light.Node.Translation[1] = 45;
    std::copy(down, down + 4, light.Node.Rotation);
    light.Light.Header = light.Node.Header;
    light.Light.Spot = true;
    light.Light.Cone = 120;
    light.Light.CastsShadows = true;
    light.Light.ShadowNear = 10;
    light.Light.ShadowFar = 100;
    doc.Objects.push_back(light);
    return doc;
}

// ---- what the raw path replays --------------------------------------------

struct TUnitState {
    GLenum target = 0; // enabled target, 0: none
    GLint texture = 0;
};

struct TMaterialState {
    GLint fragmentProgram = 0;
    float env[18][4];
    TUnitState units[6];
    int shadowUnit = 0;
    bool bump = false;
};

// The driver's own functions for the raw path (the engine's table routes
// some through the NV emulation's bookkeeping).
struct TRawGL {
    decltype(&glDrawElements) drawElements;
    decltype(&glEnable) enable;
    decltype(&glDisable) disable;
    decltype(&glBindTexture) bindTexture;
    PFNGLACTIVETEXTUREARBPROC activeTexture;
} raw;

PFNGLGETPROGRAMIVARBPROC getProgramiv;
PFNGLGETPROGRAMENVPARAMETERFVARBPROC getEnv;
PFNGLBINDPROGRAMARBPROC bindProgram;
PFNGLPROGRAMENVPARAMETER4FVARBPROC setEnv;

template <class F> void Fetch(F& f, const char* name) {
    f = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

} // namespace

int main() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    SetWindowGLAttributes();
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return 1;
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("zumbrix-bench-scene-" + std::to_string(getpid()));
    fs::create_directories(folder);
    for (const auto& entry : fs::directory_iterator(fs::path(ZUMBRIX_SOURCE_DIR) / "content"))
        if (entry.path().filename().string().rfind("vp", 0) == 0)
            fs::copy_file(entry.path(), folder / entry.path().filename());
    SaveY3dFile(BuildScene(), (folder / "bench.y3d").string());
    TFlexibleStream::SetMode(lmFile);
    TFlexibleStream::SetDataRoot(folder.string());
    {
        TRefPtr<T3dOpenGLDevice> device(new T3dOpenGLDevice());
        TRefPtr<I3dContext> context;
        device->CreateWindowContext(window, kSize, kSize, 1, ckWindow, context);
        Fetch(getProgramiv, "glGetProgramivARB");
        Fetch(getEnv, "glGetProgramEnvParameterfvARB");
        Fetch(bindProgram, "glBindProgramARB");
        Fetch(setEnv, "glProgramEnvParameter4fvARB");
        Fetch(raw.drawElements, "glDrawElements");
        Fetch(raw.enable, "glEnable");
        Fetch(raw.disable, "glDisable");
        Fetch(raw.bindTexture, "glBindTexture");
        Fetch(raw.activeTexture, "glActiveTextureARB");

        TSmartY3dLoader loader(device.Get());
        loader.RegisterSceneHandlers();
        loader.Load("bench.y3d");
        Ts3dScene* scene = loader.Scene();
        scene->ShadowMapSize = 256;
        scene->ReflectionsEnabled = false;
        scene->Prepare();
        scene->SelectCamera(0);
        scene->Time = 0;
        scene->Render();
        if (scene->ShadowLights.Count() != 1 || scene->Visible.Count() != kColumns * kRows) {
            std::fprintf(stderr,
                         "the scene is not set up as the benchmark needs (%d shadow lights, %d visible)\n",
                         scene->ShadowLights.Count(), scene->Visible.Count());
            return 1;
        }
        Ts3dLight* light = scene->ShadowLights.Items(0);
        auto* handler = static_cast<Ts3dNV2xMaterialHandler*>(scene->MaterialHandler.get());

        // Record, per material, the state its pass leaves for the draws.
        std::vector<TMaterialState> states(size_t(scene->OpaqueMaterials.Count()));
        handler->BeginFrame();
        scene->SetupShadowProjection(light);
        for (int32_t i = 0; i < scene->OpaqueMaterials.Count(); i++) {
            Ts3dMaterial* m = scene->OpaqueMaterials.Items(i);
            TMaterialState& s = states[size_t(i)];
            handler->Material = m;
            handler->BeginPass(0);
            NvEmulationBeforeDraw();
            getProgramiv(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &s.fragmentProgram);
            for (int e = 0; e < 18; e++)
                getEnv(GL_FRAGMENT_PROGRAM_ARB, GLuint(e), s.env[e]);
            for (int u = 0; u < 6; u++) {
                GL.glActiveTextureARB(GLenum(GL_TEXTURE0_ARB + u));
                if (GL.glIsEnabled(GL_TEXTURE_CUBE_MAP_ARB)) {
                    s.units[u].target = GL_TEXTURE_CUBE_MAP_ARB;
                    GL.glGetIntegerv(GL_TEXTURE_BINDING_CUBE_MAP_ARB, &s.units[u].texture);
                } else if (GL.glIsEnabled(GL_TEXTURE_2D)) {
                    s.units[u].target = GL_TEXTURE_2D;
                    GL.glGetIntegerv(GL_TEXTURE_BINDING_2D, &s.units[u].texture);
                }
            }
            s.shadowUnit = scene->ShadowUnit;
            s.bump = bool(m->BumpTexture);
        }
        scene->ReleaseShadowUnit();
        scene->ShadowLight = nullptr;
        handler->EndFrame();
        auto* shadowTarget = static_cast<T3dOpenglContext*>(light->ShadowTarget->GetImplementation());
        auto* bumpProgram = static_cast<T3dOpenglVertexProgram*>(handler->BumpProgram.Get());

        auto sceneFrame = [&]() {
            scene->Render();
            GL.glFinish();
        };
        // The raw frame: the same buffers, programs, textures and order.
        auto rawFrame = [&]() {
            // Shadow map: depth pass from the light.
            GL.glBindFramebuffer(GL_FRAMEBUFFER, shadowTarget->GetPbuffer());
            GL.glViewport(0, 0, 256, 256);
            GL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            GL.glMatrixMode(GL_PROJECTION);
            GL.glLoadIdentity();
            GL.gluPerspective(2 * light->CutOff, 1.0, light->ShadowNear, light->ShadowFar);
            GL.glMatrixMode(GL_MODELVIEW);
            GL.glPolygonOffset(1.1f, 4.0f);
            raw.enable(GL_POLYGON_OFFSET_FILL);
            raw.disable(GL_LIGHTING);
            GL.glEnableClientState(GL_VERTEX_ARRAY);
            const TMatrix4 lightView = TMatrix::Invert(light->Node->FrameWorld);
            for (Ts3dObject* o : scene->Objects) {
                const TMatrix4 mv = TMatrix::Multiply(o->Node->FrameWorld, lightView);
                GL.glLoadMatrixf(mv.m);
                I3dVertexBuffer* p = o->Geometry->Stream(0);
                GL.glVertexPointer(3, GL_FLOAT, p->GetStride(), p->GetGLPointer());
                const auto* g = static_cast<const T3dFaceGroup*>(o->Geometry->Faces->ElementAddress(0));
                raw.drawElements(GL_TRIANGLES, g->IndexCount, GL_UNSIGNED_INT,
                                 static_cast<const uint32_t*>(o->Geometry->Indices()->GetGLPointer()) +
                                     g->FirstIndex);
            }
            raw.disable(GL_POLYGON_OFFSET_FILL);
            // The camera's view.
            GL.glBindFramebuffer(GL_FRAMEBUFFER, 0);
            GL.glViewport(0, 0, kSize, kSize);
            GL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
            GL.glMatrixMode(GL_PROJECTION);
            GL.glLoadIdentity();
            GL.gluPerspective(scene->Camera->Fov, 1.0, scene->Camera->Near, scene->Camera->Far);
            GL.glMatrixMode(GL_MODELVIEW);
            const TMatrix4 view = TMatrix::Invert(scene->Camera->Node->FrameWorld);
            GL.glLoadMatrixf(TMatrix::Multiply(light->Node->FrameWorld, view).m);
            const float origin[4] = {0, 0, 0, 1};
            GL.glLightfv(GL_LIGHT0, GL_POSITION, origin);
            raw.enable(GL_LIGHT0);
            raw.enable(GL_LIGHTING);
            raw.enable(GL_FRAGMENT_PROGRAM_ARB);
            int shadowUnit = 0;
            GL.glEnableClientState(GL_NORMAL_ARRAY);
            for (int32_t i = 0; i < scene->OpaqueMaterials.Count(); i++) {
                Ts3dMaterial* m = scene->OpaqueMaterials.Items(i);
                const TMaterialState& s = states[size_t(i)];
                bindProgram(GL_FRAGMENT_PROGRAM_ARB, GLuint(s.fragmentProgram));
                for (int e = 0; e < 18; e++)
                    setEnv(GL_FRAGMENT_PROGRAM_ARB, GLuint(e), s.env[e]);
                for (int u = 0; u < 6; u++) {
                    raw.activeTexture(GLenum(GL_TEXTURE0_ARB + u));
                    raw.disable(GL_TEXTURE_2D);
                    raw.disable(GL_TEXTURE_CUBE_MAP_ARB);
                    if (s.units[u].target) {
                        raw.enable(s.units[u].target);
                        raw.bindTexture(s.units[u].target, GLuint(s.units[u].texture));
                    }
                }
                if (s.shadowUnit != shadowUnit) {
                    // The shadow map's projection moves to the set-up's spare unit.
                    shadowUnit = s.shadowUnit;
                    raw.activeTexture(GLenum(GL_TEXTURE0_ARB + shadowUnit - 1));
                    GL.glLoadMatrixf(TMatrix::Invert(scene->Camera->Node->World).m);
                    static const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
                    static const GLenum switches[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                                                       GL_TEXTURE_GEN_Q};
                    for (int c = 0; c < 4; c++) {
                        float plane[4] = {float(c == 0), float(c == 1), float(c == 2), float(c == 3)};
                        GL.glTexGeni(coords[c], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
                        GL.glTexGenfv(coords[c], GL_EYE_PLANE, plane);
                        raw.enable(switches[c]);
                    }
                    GL.glMatrixMode(GL_TEXTURE);
                    GL.glLoadMatrixf(scene->ShadowTextureMatrix.m);
                    GL.glMatrixMode(GL_MODELVIEW);
                }
                raw.activeTexture(GL_TEXTURE0_ARB);
                if (s.bump) {
                    raw.enable(GL_VERTEX_PROGRAM_ARB);
                    bindProgram(GL_VERTEX_PROGRAM_ARB, bumpProgram->GetProgramId());
                }
                for (Ts3dObject* o : m->Objects) {
                    const TMatrix4 mv = TMatrix::Multiply(o->Node->FrameWorld, view);
                    GL.glLoadMatrixf(mv.m);
                    const Ts3dGeometryDef* g = o->Geometry;
                    I3dVertexBuffer* p = g->Stream(0);
                    I3dVertexBuffer* n = g->Stream(1);
                    GL.glVertexPointer(3, GL_FLOAT, p->GetStride(), p->GetGLPointer());
                    GL.glNormalPointer(GL_FLOAT, n->GetStride(), n->GetGLPointer());
                    if (s.bump) {
                        const TMatrix4 regs[3] = {o->Node->FrameWorld,
                                                  TMatrix::Invert(TMatrix::Transpose(mv)),
                                                  TMatrix::Invert(mv)};
                        for (int r = 0; r < 3; r++)
                            for (int row = 0; row < 4; row++) {
                                const float v[4] = {regs[r].m[row], regs[r].m[row + 4], regs[r].m[row + 8],
                                                    regs[r].m[row + 12]};
                                setEnv(GL_VERTEX_PROGRAM_ARB, GLuint(4 + 4 * r + row), v);
                            }
                    }
                    const auto* group = static_cast<const T3dFaceGroup*>(g->Faces->ElementAddress(0));
                    raw.drawElements(GL_TRIANGLES, group->IndexCount, GL_UNSIGNED_INT,
                                     static_cast<const uint32_t*>(g->Indices()->GetGLPointer()) +
                                         group->FirstIndex);
                }
                if (s.bump) raw.disable(GL_VERTEX_PROGRAM_ARB);
            }
            raw.disable(GL_FRAGMENT_PROGRAM_ARB);
            GL.glDisableClientState(GL_NORMAL_ARRAY);
            GL.glDisableClientState(GL_VERTEX_ARRAY);
            GL.glFinish();
        };

        sceneFrame();
        rawFrame();
        double sceneTime = 0, rawTime = 0;
        for (int round = 0; round < kRounds; round++) {
            scene->Time = round; // the nodes are evaluated afresh each frame
            double t0 = CpuSeconds();
            sceneFrame();
            double t1 = CpuSeconds();
            rawFrame();
            double t2 = CpuSeconds();
            sceneTime += t1 - t0;
            rawTime += t2 - t1;
        }
        std::printf("objects: %d, materials: %d, shadow lights: 1, frames: %d\n", kColumns * kRows,
                    kMaterials, kRounds);
        std::printf("scene Render: %.3f ms CPU per frame\n", sceneTime * 1000.0 / kRounds);
        std::printf("raw GL:       %.3f ms CPU per frame\n", rawTime * 1000.0 / kRounds);
        std::printf("scene/raw CPU time ratio: %.3f (target at most 1.5)\n", sceneTime / rawTime);
        scene->ReleaseShadowMaps();
    }
    TFlexibleStream::ResetSettings();
    fs::remove_all(folder);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
