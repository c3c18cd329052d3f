// gen_dusk_model OUTDIR: the model of the demo's last scene, "dusk", written
// as glTF 2.0 (dusk.gltf with its buffer dusk.bin), the way a modelling
// package would hand it over; the build imports it with mirel's scene
// importer, the author's path.
//
// A rocky island floats in the evening air: a meadow on its flat top, a
// marble arch and a cluster of glowing crystals on the meadow, small rocks
// circling it. A warm light from the setting sun, a cool one from the sky,
// and a camera drifting round; the sky itself is the picture the script puts
// behind the scene.
#include "tools/gen/lib/GenPicture.h"
#include "tools/gen/lib/GltfWriter.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr float kSeconds = 50.0f; // animations cover the longest part with room to spare
constexpr float kKeyStep = 1.0f / 3.0f;

// Smooth noise on the unit sphere, from three planar noises.
float SphereNoise(V3 d, float scale, uint32_t seed) {
    return (Fractal(d.x * scale + 5.1f, d.y * scale, 0, 3, seed) +
            Fractal(d.y * scale, d.z * scale + 7.3f, 0, 3, seed + 1) +
            Fractal(d.z * scale + 3.7f, d.x * scale, 0, 3, seed + 2)) /
           3.0f;
}

// A rock: a lumpy ball cut flat at `top`, its lower half drawn out
// `stretch` times as deep and narrowing to a point, as floating islands are.
TGenMesh Rock(float radius, float top, float stretch, uint32_t seed, int segments, int rings) {
    TGenMesh m = ::Surface(segments, rings, [&](float s, float t) {
        float lon = 2.0f * kGenPi * s, lat = kGenPi * (t - 0.5f);
        V3 d{std::cos(lat) * std::cos(lon), std::sin(lat), -std::cos(lat) * std::sin(lon)};
        V3 p = d * (1.0f + 0.3f * SphereNoise(d, 2.5f, seed));
        if (p.y > top) p.y = top;
        if (p.y < 0.0f) {
            float narrow = 1.0f + 0.8f * d.y; // 1 at the rim, 0.2 at the bottom
            p = {p.x * narrow, p.y * stretch, p.z * narrow};
        }
        return TGenVertex{p * radius, d, s * 4.0f, t * 2.0f};
    });
    return m.SmoothNormals();
}

// Half a torus standing upright in the xy plane: an arch.
TGenMesh Arch(float span, float thickness, int segments, int sides) {
    return ::Surface(segments, sides, [&](float s, float t) {
        float phi = kGenPi * s, theta = 2.0f * kGenPi * t;
        V3 d{std::cos(phi), std::sin(phi), 0};
        V3 n = d * std::cos(theta) + V3{0, 0, 1} * std::sin(theta);
        return TGenVertex{d * span + n * thickness, n, s * 3.0f, t};
    });
}

// A material of one colour.
TGltfMaterial Surface(const char* name, V3 colour, float roughness, V3 glow = {}) {
    TGltfMaterial m;
    m.name = name;
    m.baseColor[0] = colour.x;
    m.baseColor[1] = colour.y;
    m.baseColor[2] = colour.z;
    m.roughness = roughness;
    m.emissive[0] = glow.x;
    m.emissive[1] = glow.y;
    m.emissive[2] = glow.z;
    return m;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen_dusk_model OUTDIR\n");
        return 2;
    }
    try {
        TGltfWriter w;
        TGltfMaterial rock = Surface("rock", {0.42f, 0.33f, 0.3f}, 0.9f);
        TGltfMaterial meadow = Surface("meadow", {0.3f, 0.5f, 0.22f}, 0.95f);
        TGltfMaterial marble = Surface("marble", {1, 1, 1}, 0.4f);
        marble.baseColorPicture = "marble.jpg";
        TGltfMaterial violet = Surface("violet crystal", {0.6f, 0.35f, 0.95f}, 0.15f, {0.18f, 0.06f, 0.3f});
        TGltfMaterial cyan = Surface("cyan crystal", {0.35f, 0.85f, 0.95f}, 0.15f, {0.05f, 0.22f, 0.26f});
        const int rockMaterial = w.Material(rock), meadowMaterial = w.Material(meadow);
        const int marbleMaterial = w.Material(marble);
        const int violetMaterial = w.Material(violet), cyanMaterial = w.Material(cyan);

        // The island, bobbing slowly; everything on it is its child.
        const int islandMesh = w.Mesh("island", Rock(2.6f, 0.3f, 1.8f, 17u, 72, 36), rockMaterial);
        const int island = w.Node("island", At({0, 0.6f, 0}), -1, islandMesh);
        w.Animate(island, kSeconds, kKeyStep, [](float t) {
            return TPose{{0, 0.6f + 0.12f * std::sin(t * 0.9f), 0}, AxisAngle({0, 1, 0}, t * 5.0f)};
        });
        TGenMesh grass = Lathe(RoundCorners({{1.95f, -0.06f}, {1.9f, 0.0f}, {0, 0.0f}}, 0.03f, 2), 64);
        w.Node("meadow", At({0, 0.8f, 0}), island, w.Mesh("meadow", grass, meadowMaterial));
        w.Node("arch", {{-0.4f, 0.78f, -0.6f}, AxisAngle({0, 1, 0}, 20)}, island,
               w.Mesh("arch", Arch(1.25f, 0.2f, 48, 16), marbleMaterial));

        // Crystals: two shapes shown by several nodes each, leaning out.
        const int tall = w.Mesh("crystal", Crystal(0.22f, 1.1f, 0.4f, 6), violetMaterial);
        const int small = w.Mesh("crystal-small", Crystal(0.16f, 0.55f, 0.3f, 6), cyanMaterial);
        const struct {
            int mesh;
            float x, z, lean, turn;
        } crystals[] = {{tall, 1.0f, 0.4f, 8, 0},       {tall, 1.35f, 0.05f, 22, 70},
                        {small, 0.75f, 0.85f, 28, 150}, {small, 1.55f, 0.7f, 30, 230},
                        {tall, -1.6f, 0.8f, 15, 300},   {small, -1.3f, 1.2f, 26, 40}};
        int index = 0;
        for (const auto& c : crystals) {
            TRotation r = Multiply(AxisAngle({1, 0, 0}, c.lean), AxisAngle({0, 1, 0}, c.turn));
            w.Node("crystal" + std::to_string(index++), {{c.x, 0.74f, c.z}, r}, island, c.mesh);
        }

        // Small rocks circling the island on a turning ring.
        const int ring = w.Node("ring", At({0, 0.4f, 0}));
        w.Animate(ring, kSeconds, kKeyStep, [](float t) {
            return TPose{{0, 0.4f, 0}, Multiply(AxisAngle({0, 1, 0}, -t * 9.0f), AxisAngle({0, 0, 1}, 8))};
        });
        const int pebble = w.Mesh("pebble", Rock(0.35f, 0.35f, 1.6f, 29u, 24, 12), rockMaterial);
        for (int i = 0; i < 5; i++) {
            float a = 72.0f * float(i) + 10.0f;
            V3 at{4.6f * std::cos(Radians(a)), 0.5f * std::sin(Radians(a * 3.0f)),
                  -4.6f * std::sin(Radians(a))};
            w.Node("pebble" + std::to_string(i), {at, AxisAngle({0.3f, 1, 0.2f}, a * 2.0f)}, ring, pebble);
        }

        // Light: warm and low from the sunset on the right, cool from above.
        const float warm[3] = {1.0f, 0.62f, 0.38f}, cool[3] = {0.45f, 0.5f, 0.85f};
        w.AttachLight(w.Node("sun", At({9, 2.5f, 5})), w.PointLight("sun", warm, 1.0f));
        w.AttachLight(w.Node("sky", At({-6, 9, 7})), w.PointLight("sky", cool, 0.55f));

        // Two cameras: the first drifts round the island, looking up at it
        // against the sky; the second starts among the crystals and pulls
        // back and up, away from the island (the demo's last shot).
        const int drift = w.Node("drift", LookAt({0, 1.0f, 14}, {0, 0.5f, 0}));
        w.AttachCamera(drift, w.Camera("drift", 42.0f, 4.0f / 3.0f, 0.5f, 100.0f));
        w.Animate(drift, kSeconds, kKeyStep, [](float t) {
            float a = Radians(-35.0f + 2.5f * t);
            float r = 13.5f - 2.5f * std::sin(t / kSeconds * kGenPi);
            V3 eye{r * std::sin(a), 2.2f + 0.06f * t, r * std::cos(a)};
            return LookAt(eye, {0, 0.3f, 0});
        });
        const int away = w.Node("away", LookAt({2.2f, 2.0f, 3.2f}, {1.0f, 1.2f, 0.4f}));
        w.AttachCamera(away, w.Camera("away", 45.0f, 4.0f / 3.0f, 0.2f, 100.0f));
        w.Animate(away, kSeconds, kKeyStep, [](float t) {
            float k = Smoothstep(0.0f, 14.0f, t); // 0 close up, 1 far away
            V3 eye = Lerp(V3{2.6f, 1.7f, 3.4f}, V3{-3.0f, 5.5f, 17.0f}, k);
            V3 target = Lerp(V3{1.1f, 1.25f, 0.5f}, V3{0, 0.0f, 0}, k);
            return LookAt(eye, target);
        });

        w.Save(argv[1], "dusk");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen_dusk_model: %s\n", e.what());
        return 1;
    }
    return 0;
}
