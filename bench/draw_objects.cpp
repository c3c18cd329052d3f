// Draws 10,000 small objects through the device (SetObjectBuffer, SetStream,
// SelectIndexList, DrawFaceList) and, side by side, the same arrays with raw
// GL calls, and compares the CPU time of the two. Runs on whatever display
// is there (Xvfb with llvmpipe in the suite); rendering is kept to a 4 x 4
// window so the GL work is small next to the call overhead being measured.
#include <SDL.h>
#include <cstdio>
#include <ctime>
#include <vector>

#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "scene/geometry/GeomStuff.h"

namespace {

double CpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

constexpr int kObjects = 10000;
constexpr int kRounds = 5;

struct Object {
    TRefPtr<I3dObjectBuffer> buffer;
    TRefPtr<I3dFaceList> faces;
};

} // namespace

int main() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "no display: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, 4, 4, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return 1;
    int status = 0;
    {
        TRefPtr<T3dOpenGLDevice> device(new T3dOpenGLDevice());
        TRefPtr<I3dContext> context;
        device->CreateWindowContext(window, 4, 4, 1, ckWindow, context);
        context->LoadIdentity(mkProjection);
        context->Ortho(mkProjection, -2, 2, 2, -2, -2, 2);
        context->LoadIdentity(mkModelview);

        // 10,000 small spheres (positions and normals), each its own buffer.
        std::vector<Object> objects(kObjects);
        for (Object& o : objects) {
            o.faces = CreateFaceList();
            TGeomStuff::GenerateSphere(device.Get(), 0x03, {3, 3}, o.buffer, o.faces.Get(), 0.01f, 4, 4);
            o.buffer->Commit();
        }
        // What the raw path needs per object: the pointers and the groups.
        struct Raw {
            const void* positions;
            const void* normals;
            const uint32_t* indices;
            std::vector<T3dFaceGroup> groups;
            int32_t vertexCount;
        };
        std::vector<Raw> raw(kObjects);
        for (int i = 0; i < kObjects; i++) {
            auto* vb = objects[size_t(i)].buffer->GetVertexBuffers();
            raw[size_t(i)].positions = vb->Items[0]->GetGLPointer();
            raw[size_t(i)].normals = vb->Items[1]->GetGLPointer();
            raw[size_t(i)].vertexCount = vb->Items[0]->GetCount();
            raw[size_t(i)].indices = static_cast<const uint32_t*>(
                objects[size_t(i)].buffer->GetIndexBuffers()->Items[0]->GetGLPointer());
            I3dFaceList* f = objects[size_t(i)].faces.Get();
            for (int g = 0; g < f->GetCount(); g++)
                raw[size_t(i)].groups.push_back(*static_cast<const T3dFaceGroup*>(f->ElementAddress(g)));
        }
        const GLenum modes[] = {GL_POINTS,         GL_LINES,        GL_LINE_STRIP, GL_LINE_LOOP, GL_TRIANGLES,
                                GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUADS,      GL_QUAD_STRIP};

        auto deviceFrame = [&]() {
            for (Object& o : objects) {
                device->SetObjectBuffer(o.buffer.Get());
                device->SetStream(0, 0);
                device->SetStream(1, 1);
                device->SelectIndexList(0);
                device->DrawFaceList(o.faces.Get());
            }
            GL.glFinish();
        };
        auto rawFrame = [&]() {
            GL.glEnableClientState(GL_VERTEX_ARRAY);
            GL.glEnableClientState(GL_NORMAL_ARRAY);
            for (Raw& r : raw) {
                GL.glVertexPointer(3, GL_FLOAT, 12, r.positions);
                GL.glNormalPointer(GL_FLOAT, 12, r.normals);
                GL.glLockArraysEXT(0, r.vertexCount);
                for (const T3dFaceGroup& g : r.groups)
                    GL.glDrawElements(modes[g.Primitive], g.IndexCount, GL_UNSIGNED_INT,
                                      r.indices + g.FirstIndex);
                GL.glUnlockArraysEXT();
            }
            GL.glFinish();
        };
        // Warm up both, then alternate rounds so drift affects both alike.
        deviceFrame();
        rawFrame();
        double deviceTime = 0, rawTime = 0;
        for (int round = 0; round < kRounds; round++) {
            double t0 = CpuSeconds();
            deviceFrame();
            double t1 = CpuSeconds();
            rawFrame();
            double t2 = CpuSeconds();
            deviceTime += t1 - t0;
            rawTime += t2 - t1;
        }
        device->ResetStreams();
        std::printf("objects per frame: %d, frames: %d\n", kObjects, kRounds);
        std::printf("device path: %.3f ms CPU per frame\n", deviceTime * 1000.0 / kRounds);
        std::printf("raw GL path: %.3f ms CPU per frame\n", rawTime * 1000.0 / kRounds);
        std::printf("device/raw CPU time ratio: %.3f\n", deviceTime / rawTime);
        context.Reset();
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
