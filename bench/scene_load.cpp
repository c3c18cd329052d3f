// Scene loading speed on a 20 MB scene file made by our writer (many meshes,
// pictures embedded), side by side with what cannot be avoided:
//   loading the file into a scene (through the flexible streams, with its
//   textures uploaded)  vs  reading the same bytes and making the same
//   pictures alone.
// Also counts the heap allocations a load makes, which must follow the
// number of chunks, not the number of vertices. Each time is the best of
// several runs; the last line is the ratio the loader is judged by (target at
// most 1.5).
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "data/FlexibleStream.h"
#include "bench/BenchSupport.h"
#include "platform/Ticks.h"
#include "scene/loader/SmartY3dLoader.h"
#include "scene/loader/Y3dFile.h"
#include "scene/material/NV2xMaterialHandler.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <unistd.h>

namespace {

std::atomic<long> gAllocations{0};

// A bumpy sheet of (n + 1)^2 vertices as one triangle list.
TY3dMesh Sheet(int32_t id, int32_t n, int32_t material) {
    TY3dMesh m;
    m.Header = {id, 0, -1, "sheet" + std::to_string(id)};
    m.Flags = vfPosition | vfNormal | vfTexCoord;
    for (int32_t y = 0; y <= n; y++)
        for (int32_t x = 0; x <= n; x++) {
            float u = float(x) / float(n), v = float(y) / float(n);
            float h = 0.1f * std::sin(7.0f * u + float(id)) * std::cos(5.0f * v);
            const float vertex[8] = {u, v, h, 0, 0, 1, u, v};
            m.Vertices.insert(m.Vertices.end(), vertex, vertex + 8);
        }
    m.VertexCount = (n + 1) * (n + 1);
    for (int32_t y = 0; y < n; y++)
        for (int32_t x = 0; x < n; x++) {
            uint32_t a = uint32_t(y * (n + 1) + x), b = a + 1, c = a + uint32_t(n + 1), d = c + 1;
            for (uint32_t i : {a, b, c, c, b, d})
                m.Indices.push_back(i);
        }
    m.Groups.push_back({4, material, 0, int32_t(m.Indices.size())});
    return m;
}

TY3dDocument BigScene() {
    TY3dDocument d;
    const int32_t kMaterials = 12;
    for (int32_t i = 0; i < 150; i++) {
        TY3dObject o;
        o.What = TY3dObject::okMesh;
        o.Node.Header = {i + 1, 0, -1, "node" + std::to_string(i)};
        o.Node.Translation[0] = float(i % 10);
        o.Node.Translation[1] = float(i / 10);
        o.Mesh = Sheet(i + 1, 44, i % kMaterials);
        d.Objects.push_back(o);
    }
    for (int32_t i = 0; i < kMaterials; i++) {
        TY3dPicture p;
        p.Header = {1000 + i, 0, -1, "picture" + std::to_string(i) + ".tga"};
        p.Embedded = true;
        p.Width = p.Height = 256;
        p.BytesPerPixel = i % 2 ? 4 : 3;
        p.Pixels.resize(size_t(256 * 256 * p.BytesPerPixel));
        for (size_t k = 0; k < p.Pixels.size(); k++)
            p.Pixels[k] = uint8_t((k * 7 + k / 997 + size_t(i)) & 0xFF);
        d.Pictures.push_back(p);
        TY3dMaterial m;
        m.Header = {2000 + i, 0, -1, "material" + std::to_string(i)};
        m.Maps.push_back({mtDiffuse, i, 1.0f});
        if (i % 4 == 0) m.Maps.push_back({mtBump, (i + 1) % kMaterials, 1.0f});
        d.Materials.push_back(m);
    }
    return d;
}

} // namespace

void* operator new(size_t size) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

int main() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "bench_scene_load needs a display: %s\n", SDL_GetError());
        return 1;
    }
    SetWindowGLAttributes();
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) {
        std::fprintf(stderr, "bench_scene_load needs a display: %s\n", SDL_GetError());
        return 1;
    }
    int status = 0;
    {
        TRefPtr<T3dOpenGLDevice> device(new T3dOpenGLDevice());
        TRefPtr<I3dContext> context;
        device->CreateWindowContext(window, 64, 64, 1, ckWindow, context);

        // The data folder: the scene file and the vertex programs a scene loads.
        char folder[] = "/tmp/bench_scene_XXXXXX";
        if (!mkdtemp(folder)) return 1;
        const char* text = "!!VP1.1\nOPTION NV_position_invariant;\nMOV o[COL0], v[3];\nEND\n";
        std::ofstream(std::string(folder) + "/" + kBumpProgramFile) << text;
        for (const char* name : kSceneProgramFiles)
            std::ofstream(std::string(folder) + "/" + name) << text;
        const TY3dDocument document = BigScene();
        SaveY3dFile(document, std::string(folder) + "/big.y3d");
        TFlexibleStream::SetMode(lmFile);
        TFlexibleStream::SetDataRoot(folder);
        const int64_t size = int64_t(std::filesystem::file_size(std::string(folder) + "/big.y3d"));
        std::printf("scene file: %.1f MB, %zu meshes, %zu embedded pictures\n", double(size) / 1e6,
                    document.Objects.size(), document.Pictures.size());

        // Baseline: the bytes read through the same streams into fresh
        // memory (as the loader reads them), and the pictures made from their
        // pixels.
        double baseline = Best(7, [&] {
            std::unique_ptr<uint8_t[]> bytes(new uint8_t[size_t(size)]);
            TFlexibleStream stream("big.y3d");
            stream.ReadBuffer(bytes.get(), size);
            for (const TY3dPicture& p : document.Pictures) {
                TRefPtr<I3dImage> image = T3dImage::Create();
                void* pixels = std::malloc(p.Pixels.size());
                std::copy(p.Pixels.begin(), p.Pixels.end(), static_cast<uint8_t*>(pixels));
                image->Allocate(pixels, p.Width, uint8_t(p.BytesPerPixel == 4 ? ifFour : ifThree), ctUInt8, 1,
                                p.Height);
            }
        });
        long allocations = 0;
        double load = Best(7, [&] {
            long before = gAllocations.load();
            TSmartY3dLoader loader(device.Get());
            loader.RegisterSceneHandlers();
            loader.Load("big.y3d");
            allocations = gAllocations.load() - before;
        });
        // What every load costs whatever the file holds: the scene's own
        // resources (normalisation cube map, vertex programs, sphere).
        SaveY3dFile(TY3dDocument{}, std::string(folder) + "/empty.y3d");
        double empty = Best(7, [&] {
            TSmartY3dLoader loader(device.Get());
            loader.RegisterSceneHandlers();
            loader.Load("empty.y3d");
        });
        std::filesystem::remove_all(folder);
        long vertices = 0;
        for (const TY3dObject& o : document.Objects)
            vertices += o.Mesh.VertexCount;
        std::printf("read bytes + make pictures: %8.2f ms\n", baseline * 1e3);
        std::printf("load scene:                 %8.2f ms (%.1f MB/s)\n", load * 1e3,
                    double(size) / 1e6 / load);
        std::printf("load an empty scene:        %8.2f ms (the scene's own resources)\n", empty * 1e3);
        std::printf("allocations per load: %ld (%ld vertices, %zu chunks)\n", allocations, vertices,
                    document.Objects.size() * 2 + document.Pictures.size() + document.Materials.size() * 2 +
                        1);
        std::printf("ratio load / read bytes and make pictures: %.2f (target <= 1.5)\n", load / baseline);
    }
    SDL_DestroyWindow(window);
    return status;
}
