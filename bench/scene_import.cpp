// Speed of `mirel scene import` against assimp's own command-line tool
// reading the same model and writing it as OBJ (`assimp export IN OUT.obj`,
// Debian's assimp-utils): a binary glTF of 120 000 triangles in 40 meshes on
// 40 nodes, written here, without camera or light (so the import also adds
// its default ones). The two run alternately, each figure the best of
// several runs; the last line is the ratio import is judged by (target at
// most 1.5).
#include "bench/BenchSupport.h"
#include "tests/support/TestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kMeshes = 40, kColumns = 50, kRows = 30; // 2 * 50 * 30 triangles a mesh

template <class T> void Append(std::vector<uint8_t>& out, const std::vector<T>& values) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(values.data());
    out.insert(out.end(), p, p + values.size() * sizeof(T));
    while (out.size() % 4)
        out.push_back(0);
}

// The model as a binary glTF file: per mesh a wavy sheet with normals and
// texture coordinates, each on a node of its own, turned and placed on a grid.
std::vector<uint8_t> MakeModel() {
    std::vector<uint8_t> bin;
    std::string views, accessors, meshes, nodes;
    int view = 0;
    auto addView = [&](size_t offset, const char* type, int component, size_t count,
                       const std::string& extra) {
        const std::string sep = view ? "," : "";
        views += sep + "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                 ",\"byteLength\":" + std::to_string(bin.size() - offset) + "}";
        accessors += sep + "{\"bufferView\":" + std::to_string(view) +
                     ",\"componentType\":" + std::to_string(component) +
                     ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"" + extra + "}";
        return view++;
    };
    for (int m = 0; m < kMeshes; m++) {
        std::vector<float> positions, normals, uv;
        for (int r = 0; r <= kRows; r++)
            for (int c = 0; c <= kColumns; c++) {
                const float x = float(c) / kColumns * 4 - 2, z = float(r) / kRows * 3 - 1.5f;
                const float y = 0.2f * std::sin(3 * x + float(m)) * std::cos(2 * z);
                const float dx = 0.6f * std::cos(3 * x + float(m)) * std::cos(2 * z),
                            dz = -0.4f * std::sin(3 * x + float(m)) * std::sin(2 * z);
                const float length = std::sqrt(dx * dx + 1 + dz * dz);
                positions.insert(positions.end(), {x, y, z});
                normals.insert(normals.end(), {-dx / length, 1 / length, -dz / length});
                uv.insert(uv.end(), {float(c) / kColumns, float(r) / kRows});
            }
        std::vector<uint16_t> indices;
        for (int r = 0; r < kRows; r++)
            for (int c = 0; c < kColumns; c++) {
                const uint16_t a = uint16_t(r * (kColumns + 1) + c), b = uint16_t(a + 1),
                               d = uint16_t(a + kColumns + 1), e = uint16_t(d + 1);
                indices.insert(indices.end(), {a, d, b, b, d, e});
            }
        const size_t vertices = positions.size() / 3;
        size_t at = bin.size();
        Append(bin, positions);
        const int p = addView(at, "VEC3", 5126, vertices, ",\"min\":[-2,-0.2,-1.5],\"max\":[2,0.2,1.5]");
        at = bin.size();
        Append(bin, normals);
        const int n = addView(at, "VEC3", 5126, vertices, "");
        at = bin.size();
        Append(bin, uv);
        const int t = addView(at, "VEC2", 5126, vertices, "");
        at = bin.size();
        Append(bin, indices);
        const int i = addView(at, "SCALAR", 5123, indices.size(), "");
        const std::string sep = m ? "," : "";
        meshes += sep + "{\"name\":\"Sheet" + std::to_string(m) + "\",\"primitives\":[{\"attributes\":{" +
                  "\"POSITION\":" + std::to_string(p) + ",\"NORMAL\":" + std::to_string(n) +
                  ",\"TEXCOORD_0\":" + std::to_string(t) + "},\"indices\":" + std::to_string(i) +
                  ",\"material\":" + std::to_string(m % 4) + "}]}";
        const float angle = 0.3f * float(m);
        char node[256];
        std::snprintf(
            node, sizeof node,
            "%s{\"name\":\"Node%d\",\"mesh\":%d,\"translation\":[%g,0,%g],\"rotation\":[0,%g,0,%g]}",
            sep.c_str(), m, m, double(m % 8) * 5.0, double(m / 8) * 4.0, std::sin(angle / 2.0),
            std::cos(angle / 2.0));
        nodes += node;
    }
    std::string roots;
    for (int m = 0; m < kMeshes; m++)
        roots += (m ? "," : "") + std::to_string(m);
    std::string json =
        "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[" + roots + "]}],\"nodes\":[" +
        nodes + "],\"meshes\":[" + meshes +
        "],\"materials\":[{\"name\":\"Red\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.8,0.2,0.2,1]}},"
        "{\"name\":\"Green\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.2,0.8,0.2,1]}},"
        "{\"name\":\"Blue\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[0.2,0.2,0.8,1]}},"
        "{\"name\":\"Grey\",\"pbrMetallicRoughness\":{\"roughnessFactor\":0.3}}],"
        "\"accessors\":[" +
        accessors + "],\"bufferViews\":[" + views +
        "],\"buffers\":[{\"byteLength\":" + std::to_string(bin.size()) + "}]}";
    while (json.size() % 4)
        json += ' ';
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v) {
        for (int k = 0; k < 4; k++)
            out.push_back(uint8_t(v >> (8 * k)));
    };
    out.insert(out.end(), {'g', 'l', 'T', 'F'});
    put(2);
    put(uint32_t(12 + 8 + json.size() + 8 + bin.size()));
    put(uint32_t(json.size()));
    put(0x4E4F534A); // JSON
    out.insert(out.end(), json.begin(), json.end());
    put(uint32_t(bin.size()));
    put(0x004E4942); // BIN
    out.insert(out.end(), bin.begin(), bin.end());
    return out;
}

} // namespace

int main() {
    if (RunProgram("/bin/sh", {"-c", "command -v assimp"}).exitCode != 0) {
        std::fprintf(stderr, "bench_scene_import: assimp (Debian's assimp-utils) is not installed\n");
        return 1;
    }
    TempDir dir;
    const std::string model = dir.File("sheets.glb");
    WriteFileBytes(model, MakeModel());

    auto timed = [](const std::string& program, const std::vector<std::string>& args, double& best) {
        const int64_t t0 = QueryPerformanceCounter();
        CommandResult r = RunProgram(program, args);
        const double seconds = Seconds(QueryPerformanceCounter() - t0);
        if (r.exitCode != 0) {
            std::fprintf(stderr, "bench_scene_import: %s failed:\n%s%s", program.c_str(), r.out.c_str(),
                         r.err.c_str());
            return false;
        }
        best = std::min(best, seconds);
        return true;
    };
    double import = 1e30, assimp = 1e30;
    for (int run = 0; run < 5; run++)
        if (!timed(MIREL_PATH, {"scene", "import", model, dir.File("sheets.y3d")}, import) ||
            !timed("/usr/bin/env", {"assimp", "export", model, dir.File("sheets.obj")}, assimp))
            return 1;

    std::printf("model: %d meshes of %d triangles on %d nodes, %zu bytes\n", kMeshes, 2 * kColumns * kRows,
                kMeshes, ReadFileBytes(model).size());
    std::printf("mirel scene import sheets.glb sheets.y3d:  %8.1f ms\n", import * 1e3);
    std::printf("assimp export sheets.glb sheets.obj:       %8.1f ms\n", assimp * 1e3);
    std::printf("ratio import / assimp export: %.2f (target <= 1.5)\n", import / assimp);
    return 0;
}
