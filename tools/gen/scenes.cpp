// gen_scenes OUTDIR [--stats]: the demo's generated scenes, each written as
// a scene file by our own exporter:
//   relief.y3d     carved stone, scales and hammered copper lit per pixel by
//                  a lamp that wanders in front of them (bump maps)
//   stage.y3d      a marble column, crates and a stone block on a tiled
//                  floor under a swinging spot light that casts shadows
//   glass.y3d      tinted glass vases, a bowl, a ball, panes and a twisted
//                  band around a red knot, on a chequered floor (blended,
//                  two-sided, drawn back to front)
//   chrome.y3d     a chrome knot and balls, a gold ring and a glazed vase on
//                  marble (sphere-map reflections, with and without colour)
//   clockwork.y3d  an orrery over a ring of meshing gears: arms, planets and
//                  moons in a hierarchy of animated nodes, many of them
//                  showing one shared mesh, filmed by four cameras
// Scene time runs at 30 frames per second of part time (the script's "fps");
// every animation covers kFrames frames. With --stats each file's triangle
// count is printed.
#include "tools/gen/lib/SceneKit.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kFrames = 1500; // 50 seconds at 30 frames per second
constexpr int kStep = 10;     // one key every third of a second
const V3 kUp{0, 1, 0};

float Sin(float degrees) {
    return std::sin(Radians(degrees));
}
float Cos(float degrees) {
    return std::cos(Radians(degrees));
}
// A point on a horizontal circle around the y axis at `degrees` (0 on +x,
// turning counter-clockwise seen from above).
V3 Around(float radius, float degrees, float height) {
    return {radius * Cos(degrees), height, -radius * Sin(degrees)};
}
// A node turning about `axis` at `degreesPerFrame`, standing at `position`.
std::function<TPose(float)> Spin(V3 position, V3 axis, float degreesPerFrame, float phase = 0.0f,
                                 const TRotation& tilt = {}) {
    return [=](float f) {
        return TPose{position, Multiply(AxisAngle(axis, phase + degreesPerFrame * f), tilt)};
    };
}

TKitMaterial Plain(float r, float g, float b, float specular = 0.3f, float gloss = 0.3f) {
    TKitMaterial m;
    m.diffuse[0] = r;
    m.diffuse[1] = g;
    m.diffuse[2] = b;
    m.specular[0] = m.specular[1] = m.specular[2] = specular;
    m.glossiness = gloss;
    return m;
}

// ---------------------------------------------------------------------------
// Carved relief under a wandering lamp.

TSceneKit Relief() {
    const float background[3] = {0.02f, 0.02f, 0.05f}, ambient[3] = {0.1f, 0.1f, 0.12f};
    TSceneKit kit(background, ambient);

    TKitMaterial stone = Plain(0.9f, 0.78f, 0.62f, 0.25f, 0.3f);
    stone.bumpMap = "wall_height.png";
    kit.Material("stone", stone);
    TKitMaterial scales = Plain(0.35f, 0.8f, 0.55f, 0.9f, 0.5f);
    scales.bumpMap = "scales_height.png";
    kit.Material("scales", scales);
    TKitMaterial copper = Plain(0.95f, 0.55f, 0.32f, 1.0f, 0.6f);
    copper.bumpMap = "hammered_height.png";
    kit.Material("copper", copper);
    TKitMaterial lamp = Plain(0, 0, 0, 0, 0);
    lamp.emissive[0] = 1.0f;
    lamp.emissive[1] = 0.92f;
    lamp.emissive[2] = 0.75f;
    kit.Material("lamp", lamp);
    TKitMaterial tiles = Plain(1, 1, 1, 0.3f, 0.3f);
    tiles.diffuseMap = "tiles.jpg";
    tiles.bumpMap = "tiles_height.png";
    kit.Material("tiles", tiles);

    // The wall, and a ledge along its foot.
    TGenMesh wall = Grid(18, 10, 36, 20, 4.5f);
    wall.Place(AxisAngle({1, 0, 0}, 90));
    kit.Mesh("wall", wall, "stone", At({0, 2.0f, -3.0f}));
    kit.Mesh("ledge", RoundedBox({18, 0.8f, 2.2f}, 0.15f, 3, 2.0f), "tiles", At({0, -2.6f, -2.0f}));

    // Three pieces on the ledge, turning slowly.
    TGenMesh torus = Torus(1.25f, 0.5f, 64, 28);
    torus.ScaleUv(10, 3);
    int t = kit.Mesh("torus", torus, "scales", At({-4.2f, 0.0f, -1.6f}));
    kit.Animate(t, kFrames, kStep,
                Spin({-4.2f, -0.3f, -1.6f}, {0.3f, 1, 0.2f}, 0.35f, 0, AxisAngle({1, 0, 0}, 70)));
    int box = kit.Mesh("block", RoundedBox({2.0f, 2.0f, 2.0f}, 0.3f, 4, 1.0f), "copper", At({0, 0, 0}));
    kit.Animate(box, kFrames, kStep, Spin({0.2f, -1.0f, -1.7f}, kUp, 0.25f, 20));
    std::vector<TProfilePoint> urnProfile = RoundCorners({{0, 0},
                                                          {0.7f, 0},
                                                          {0.72f, 0.12f},
                                                          {0.42f, 0.3f},
                                                          {0.95f, 1.0f},
                                                          {1.05f, 1.55f},
                                                          {0.72f, 2.2f},
                                                          {0.42f, 2.5f},
                                                          {0.6f, 2.72f},
                                                          {0.58f, 2.8f},
                                                          {0, 2.8f}},
                                                         0.09f, 3);
    TGenMesh urn = Lathe(urnProfile, 56, 1.0f);
    urn.ScaleUv(8, 2.5f);
    int u = kit.Mesh("urn", urn, "scales", At({4.0f, -2.2f, -1.6f}));
    kit.Animate(u, kFrames, kStep, Spin({4.0f, -2.2f, -1.6f}, kUp, -0.3f));

    // The lamp: a light wandering in front of the wall with a glowing bead
    // on it, so that the viewer sees where the light comes from.
    TKitLight light;
    light.color[0] = 1.0f;
    light.color[1] = 0.93f;
    light.color[2] = 0.8f;
    int l = kit.Light("lamp", light, At({0, 1, 1}));
    kit.Move(l, kFrames, kStep, [](float f) {
        float a = f * 0.9f;
        return V3{5.5f * Sin(a), 0.6f + 1.6f * Sin(a * 1.7f + 40), 0.9f + 0.9f * Cos(a * 1.3f)};
    });
    kit.Mesh("bead", Sphere(0.12f, 16, 8), "lamp", At({0, 0, 0}), l);

    int camera = kit.Camera("camera", LookAt({-3, 1.5f, 9}, {0, 0, -1.5f}), 55, 0.5f, 100);
    kit.Animate(camera, kFrames, kStep, [](float f) {
        float s = f / float(kFrames);
        V3 eye{-4.0f + 8.0f * s, 1.8f - 0.8f * s + 0.3f * Sin(f * 0.5f), 8.5f - 2.0f * Sin(s * 180)};
        return LookAt(eye, {eye.x * 0.3f, -0.4f, -2.0f});
    });
    return kit;
}

// ---------------------------------------------------------------------------
// A spot light swinging over a tiled stage.

TSceneKit Stage() {
    const float background[3] = {0.01f, 0.01f, 0.02f}, ambient[3] = {0.22f, 0.22f, 0.26f};
    TSceneKit kit(background, ambient);

    TKitMaterial floor = Plain(1, 1, 1, 0.2f, 0.2f);
    floor.diffuseMap = "tiles.jpg";
    kit.Material("floor", floor);
    TKitMaterial marble = Plain(1, 1, 1, 0.4f, 0.4f);
    marble.diffuseMap = "marble.jpg";
    kit.Material("marble", marble);
    TKitMaterial wood = Plain(1, 1, 1, 0.1f, 0.2f);
    wood.diffuseMap = "wood.tif";
    kit.Material("wood", wood);
    TKitMaterial block = Plain(0.9f, 0.85f, 0.8f, 0.2f, 0.2f);
    block.diffuseMap = "marble.jpg";
    block.bumpMap = "wall_height.png";
    kit.Material("block", block);

    kit.Mesh("floor", Grid(24, 24, 40, 40, 4.0f), "floor", At({0, 0, 0}));

    std::vector<TProfilePoint> column = RoundCorners({{0, 0},
                                                      {0.95f, 0},
                                                      {0.95f, 0.3f},
                                                      {0.75f, 0.38f},
                                                      {0.62f, 0.55f},
                                                      {0.5f, 0.7f},
                                                      {0.44f, 3.3f},
                                                      {0.58f, 3.5f},
                                                      {0.85f, 3.62f},
                                                      {0.85f, 3.85f},
                                                      {0, 3.85f}},
                                                     0.06f, 3);
    TGenMesh columnMesh = Lathe(column, 48, 1.5f);
    columnMesh.ScaleUv(2, 1);
    kit.Mesh("column", columnMesh, "marble", At({-1.2f, 0, -1.6f}));
    TGenMesh ball = Sphere(0.75f, 40, 20);
    ball.ScaleUv(2, 1);
    int b = kit.Mesh("ball", ball, "marble", At({0, 0, 0}));
    kit.Animate(b, kFrames, kStep, Spin({-1.2f, 4.6f, -1.6f}, {0.2f, 1, 0}, 0.5f));

    int crate = kit.Mesh("crate", RoundedBox({1.5f, 1.5f, 1.5f}, 0.1f, 2, 1.5f), "wood",
                         {{1.6f, 0.75f, 0.4f}, AxisAngle(kUp, 25)});
    kit.Instance("crate2", crate,
                 {{2.2f, 0.6f, -1.5f}, Multiply(AxisAngle(kUp, -10), AxisAngle({1, 0, 0}, 0))});
    kit.Instance("crate3", crate, {{1.8f, 2.25f, -0.2f}, AxisAngle(kUp, 50)});
    TGenMesh stone = RoundedBox({2.4f, 1.2f, 1.4f}, 0.15f, 3, 1.6f);
    kit.Mesh("stone", stone, "block", {{-2.6f, 0.6f, 1.2f}, AxisAngle(kUp, -20)});
    TGenMesh knot = Tube([](float t) { return TorusKnotPoint(2, 3, 0.55f, 0.25f, t); }, 0.14f, 144, 10);
    knot.ScaleUv(6, 1);
    int k = kit.Mesh("knot", knot, "wood", At({0, 0, 0}));
    kit.Animate(k, kFrames, kStep, Spin({-2.6f, 1.85f, 1.2f}, kUp, 0.8f));

    TKitLight spot;
    spot.spot = true;
    spot.cone = 110;
    spot.castsShadows = true;
    spot.intensity = 2.2f;
    spot.color[0] = 1.0f;
    spot.color[1] = 0.94f;
    spot.color[2] = 0.82f;
    spot.shadowNear = 4.0f;
    spot.shadowFar = 30.0f;
    int light = kit.Light("spot", spot, LookAt({-5, 9, -4}, {0, 0, 0}));
    kit.Animate(light, kFrames, kStep, [](float f) {
        float a = f * 0.6f;
        V3 from = Around(7.5f, 220 + 30 * Sin(a), 8.5f);
        return LookAt(from, {0.4f * Sin(a * 2), 0.5f, 0.3f * Cos(a)});
    });

    int camera = kit.Camera("camera", LookAt({0, 4, 11}, {0, 1, 0}), 55, 0.5f, 100);
    kit.Animate(camera, kFrames, kStep, [](float f) {
        V3 eye = Around(12.5f - 1.5f * Sin(f * 0.3f), -110 + 0.08f * f, 6.0f - 1.0f * Sin(f * 0.2f));
        return LookAt(eye, {0, 1.6f, 0});
    });
    return kit;
}

// ---------------------------------------------------------------------------
// Glass.

TSceneKit Glass() {
    const float background[3] = {0.05f, 0.06f, 0.1f}, ambient[3] = {0.3f, 0.3f, 0.34f};
    TSceneKit kit(background, ambient);

    TKitMaterial checker = Plain(1, 1, 1, 0.2f, 0.3f);
    checker.diffuseMap = "checker.tga";
    kit.Material("checker", checker);
    kit.Material("red", Plain(0.85f, 0.1f, 0.12f, 0.8f, 0.7f));
    TKitMaterial wood = Plain(1, 1, 1, 0.1f, 0.2f);
    wood.diffuseMap = "wood.tif";
    kit.Material("wood", wood);
    auto glass = [&](const char* name, float r, float g, float b, float opacity) {
        TKitMaterial m = Plain(r, g, b, 1.0f, 0.9f);
        m.opacity = opacity;
        m.twoSided = true;
        kit.Material(name, m);
    };
    glass("cyan", 0.3f, 0.85f, 0.95f, 0.4f);
    glass("amber", 1.0f, 0.65f, 0.2f, 0.45f);
    glass("magenta", 0.95f, 0.3f, 0.75f, 0.4f);
    glass("green", 0.4f, 0.95f, 0.45f, 0.45f);
    glass("pane", 0.6f, 0.75f, 1.0f, 0.3f);

    kit.Mesh("floor", Grid(32, 32, 16, 16, 8.0f), "checker", At({0, 0, 0}));
    TGenMesh pedestal = Lathe(RoundCorners({{0, 0},
                                            {1.3f, 0},
                                            {1.3f, 0.22f},
                                            {0.95f, 0.32f},
                                            {0.7f, 0.9f},
                                            {1.05f, 1.05f},
                                            {1.05f, 1.25f},
                                            {0, 1.25f}},
                                           0.05f, 3),
                              48, 1.0f);
    pedestal.ScaleUv(2, 1);
    kit.Mesh("pedestal", pedestal, "wood", At({0, 0, 0}));
    TGenMesh knot = Tube([](float t) { return TorusKnotPoint(3, 2, 0.75f, 0.35f, t); }, 0.2f, 180, 12);
    int k = kit.Mesh("knot", knot, "red", At({0, 0, 0}));
    kit.Animate(k, kFrames, kStep, Spin({0, 2.3f, 0}, {0.2f, 1, 0.1f}, 0.6f));

    // The glass stands in a ring round the knot, so that from any side some
    // of it is between the camera and what lies behind.
    TGenMesh vase = Lathe(RoundCorners({{0, 0.02f},
                                        {0.6f, 0.02f},
                                        {0.78f, 0.4f},
                                        {0.92f, 1.4f},
                                        {0.5f, 2.5f},
                                        {0.42f, 2.9f},
                                        {0.62f, 3.2f}},
                                       0.15f, 3),
                          36);
    kit.Mesh("vase", vase, "cyan", At(Around(3.3f, -50, 0)));
    int small =
        kit.Mesh("vase-small", TGenMesh(vase).Scale({0.6f, 0.6f, 0.6f}), "amber", At(Around(3.5f, 160, 0)));
    kit.Instance("vase2", small, At(Around(3.6f, 60, 0)));
    TGenMesh bowl = Lathe(
        RoundCorners({{0, 0.02f}, {0.5f, 0.02f}, {1.15f, 0.3f}, {1.55f, 0.9f}, {1.62f, 1.1f}}, 0.1f, 3), 40);
    kit.Mesh("bowl", bowl, "amber", At(Around(3.4f, -135, 0)));
    int ball = kit.Mesh("ball", Sphere(0.75f, 28, 14), "magenta", At({0, 0, 0}));
    kit.Move(ball, kFrames, kStep,
             [](float f) { return Around(2.6f, -95 + 10 * Sin(f * 0.5f), 1.7f + 0.5f * Sin(f * 1.2f)); });
    int band = kit.Mesh("band", Ribbon(1.75f, 0.55f, 1, 96, 3), "green", At({0, 0, 0}));
    kit.Animate(band, kFrames, kStep, Spin({0, 2.4f, 0}, {0.15f, 1, 0}, -0.4f, 0, AxisAngle({1, 0, 0}, 15)));
    TGenMesh pane = RoundedBox({2.2f, 3.0f, 0.08f}, 0.04f, 2, 1.0f);
    kit.Mesh("pane", pane, "pane", {Around(4.6f, 15, 1.5f), AxisAngle(kUp, 15 + 90)});
    kit.Instance("pane2",
                 kit.Mesh("pane-b", pane, "pane", {Around(4.8f, 205, 1.5f), AxisAngle(kUp, 205 + 90)}),
                 {Around(4.7f, 110, 1.5f), AxisAngle(kUp, 110 + 90)});

    TKitLight key;
    key.intensity = 0.9f;
    kit.Light("key", key, At({5, 9, 6}));
    TKitLight rim;
    rim.color[0] = 0.45f;
    rim.color[1] = 0.55f;
    rim.color[2] = 1.0f;
    rim.intensity = 0.7f;
    kit.Light("rim", rim, At({-7, 4, -6}));

    int camera = kit.Camera("camera", LookAt({0, 3.5f, 9}, {0, 1.3f, 0}), 55, 0.5f, 100);
    kit.Animate(camera, kFrames, kStep, [](float f) {
        float s = f / kFrames;
        V3 eye =
            Around(10.0f - 1.0f * std::sin(s * 2 * kGenPi), -125 + 0.14f * f, 4.2f + 0.8f * Sin(f * 0.6f));
        return LookAt(eye, {0, 1.2f, 0});
    });
    return kit;
}

// ---------------------------------------------------------------------------
// Chrome, gold and glaze.

TSceneKit Chrome() {
    const float background[3] = {0.04f, 0.04f, 0.05f}, ambient[3] = {0.25f, 0.25f, 0.25f};
    TSceneKit kit(background, ambient);

    TKitMaterial marble = Plain(1, 1, 1, 0.3f, 0.5f);
    marble.diffuseMap = "marble.jpg";
    kit.Material("marble", marble);
    TKitMaterial chrome = Plain(0.06f, 0.06f, 0.07f, 1.0f, 0.9f);
    chrome.reflectionMap = "studio.tga";
    chrome.reflectionAmount = 0.95f;
    kit.Material("chrome", chrome);
    TKitMaterial gold = Plain(0.22f, 0.14f, 0.03f, 0.9f, 0.7f);
    gold.specular[2] = 0.4f;
    gold.reflectionMap = "sunset.tga";
    gold.reflectionAmount = 0.9f;
    kit.Material("gold", gold);
    TKitMaterial glaze = Plain(1, 1, 1, 0.8f, 0.8f);
    glaze.diffuseMap = "ceramic.tif";
    glaze.reflectionMap = "glaze.tga";
    kit.Material("glaze", glaze);

    kit.Mesh("floor", Grid(30, 30, 15, 15, 6.0f), "marble", At({0, 0, 0}));

    TGenMesh knot = Tube([](float t) { return TorusKnotPoint(2, 3, 1.3f, 0.55f, t); }, 0.32f, 256, 18);
    int k = kit.Mesh("knot", knot, "chrome", At({0, 0, 0}));
    kit.Animate(k, kFrames, kStep, Spin({0, 2.3f, 0}, {0.3f, 1, 0.2f}, 0.5f));

    int ball = kit.Mesh("ball", Sphere(0.6f, 36, 18), "chrome", At({3.2f, 0.6f, 1.8f}));
    kit.Instance("ball2", ball, At({-3.4f, 0.6f, 1.2f}));
    int hop = kit.Instance("ball3", ball, At({0, 0, 0}));
    kit.Move(hop, kFrames, kStep, [](float f) {
        float a = f * 1.5f;
        return V3{1.8f * Cos(a * 0.3f), 0.6f + 1.4f * std::fabs(Sin(a * 2.0f)), 3.3f + 0.6f * Sin(a * 0.3f)};
    });

    int ring = kit.Mesh("ring", Torus(1.1f, 0.28f, 64, 24), "gold", At({0, 0, 0}));
    kit.Animate(ring, kFrames, kStep, Spin({3.6f, 1.5f, -1.8f}, {1, 0, 0.3f}, 0.9f, 0, AxisAngle(kUp, 30)));

    TGenMesh vase = Lathe(RoundCorners({{0, 0},
                                        {0.5f, 0},
                                        {0.56f, 0.1f},
                                        {0.92f, 0.8f},
                                        {1.02f, 1.3f},
                                        {0.8f, 2.0f},
                                        {0.42f, 2.5f},
                                        {0.38f, 2.8f},
                                        {0.52f, 3.0f},
                                        {0.44f, 3.0f},
                                        {0.3f, 2.7f},
                                        {0, 2.7f}},
                                       0.08f, 3),
                          56, 3.2f);
    int v = kit.Mesh("vase", vase, "glaze", At({0, 0, 0}));
    kit.Animate(v, kFrames, kStep, Spin({-3.2f, 0, -1.6f}, kUp, -0.4f));

    TKitLight key;
    key.intensity = 0.9f;
    kit.Light("key", key, At({4, 8, 7}));
    TKitLight fill;
    fill.color[0] = 0.7f;
    fill.color[1] = 0.75f;
    fill.color[2] = 0.9f;
    fill.intensity = 0.5f;
    fill.specular = false;
    kit.Light("fill", fill, At({-8, 5, 2}));

    int camera = kit.Camera("camera", LookAt({0, 3, 10}, {0, 1.5f, 0}), 55, 0.5f, 100);
    kit.Animate(camera, kFrames, kStep, [](float f) {
        float s = f / kFrames;
        V3 eye = Around(10.5f - 2.5f * s, -60 - 0.12f * f, 4.0f + 1.5f * Sin(s * 180));
        return LookAt(eye, {0, 1.9f, 0});
    });
    return kit;
}

// ---------------------------------------------------------------------------
// Clockwork: an orrery turning over a ring of meshing gears.

// Gears of one tooth size: the pitch (arc per tooth) is the same for all, so
// any two of them mesh.
constexpr float kToothPitch = 0.47f;
float PitchRadius(int teeth) {
    return float(teeth) * kToothPitch / (2.0f * kGenPi);
}
TGenMesh MeshingGear(int teeth, float thickness) {
    float r = PitchRadius(teeth);
    return Gear(teeth, r - 0.13f, r + 0.13f, 0.22f, thickness, 0.05f);
}
// Where the middle of a tooth and of a gap lie, in teeth from a tooth's
// start (the outline of Gear).
constexpr float kToothMiddle = 0.41f, kGapMiddle = 0.91f;

TSceneKit Clockwork() {
    const float background[3] = {0.05f, 0.035f, 0.03f}, ambient[3] = {0.22f, 0.2f, 0.18f};
    TSceneKit kit(background, ambient);

    kit.Material("brass", Plain(0.85f, 0.62f, 0.25f, 0.9f, 0.6f));
    kit.Material("bronze", Plain(0.8f, 0.5f, 0.28f, 0.6f, 0.4f));
    TKitMaterial steel = Plain(0.85f, 0.87f, 0.9f, 0.7f, 0.6f);
    steel.diffuseMap = "brushed.jpg";
    kit.Material("steel", steel);
    TKitMaterial sun = Plain(1.0f, 0.7f, 0.3f, 0.2f, 0.2f);
    sun.emissive[0] = 0.85f;
    sun.emissive[1] = 0.45f;
    sun.emissive[2] = 0.1f;
    kit.Material("sun", sun);
    TKitMaterial marble = Plain(1, 1, 1, 0.4f, 0.4f);
    marble.diffuseMap = "marble.jpg";
    kit.Material("marble", marble);
    TKitMaterial ceramic = Plain(1, 1, 1, 0.5f, 0.5f);
    ceramic.diffuseMap = "ceramic.tif";
    kit.Material("ceramic", ceramic);
    TKitMaterial wood = Plain(1, 1, 1, 0.1f, 0.2f);
    wood.diffuseMap = "wood.tif";
    kit.Material("wood", wood);

    // The base: a turned plate of steel.
    TGenMesh plate =
        Lathe(RoundCorners({{0, 0}, {6.5f, 0}, {6.5f, 0.35f}, {6.2f, 0.5f}, {0, 0.5f}}, 0.12f, 3), 72, 2);
    plate.ScaleUv(6, 1);
    kit.Mesh("plate", plate, "steel", At({0, -0.5f, 0}));

    // A ring of six gears around the axle, each turning against its
    // neighbours; one mesh shown by all six nodes.
    const int teeth = 16;
    const float radius = PitchRadius(teeth);
    const float ringRadius = 2.0f * radius / (2.0f * Sin(30)); // neighbours touch at their pitch circles
    const float toothDegrees = 360.0f / float(teeth);
    const float speed = 1.2f; // degrees per frame
    int gear = 0;
    float phase = 0.0f;
    for (int i = 0; i < 6; i++) {
        V3 centre = Around(ringRadius, 60.0f * float(i), 0.2f);
        V3 next = Around(ringRadius, 60.0f * float(i + 1), 0.2f);
        float sign = i % 2 ? -1.0f : 1.0f;
        std::string name = "gear" + std::to_string(i);
        int node = i == 0 ? kit.Mesh(name, MeshingGear(teeth, 0.3f), "brass", At(centre))
                          : kit.Instance(name, gear, At(centre));
        if (i == 0) gear = node;
        kit.Animate(node, kFrames, kStep, Spin(centre, kUp, sign * speed, phase));
        // The next gear's phase puts a gap where this one's tooth meets it.
        V3 d = next - centre;
        float towards = std::atan2(-d.z, d.x) * 180.0f / kGenPi;
        phase = 2.0f * towards + 180.0f - (kToothMiddle + kGapMiddle) * toothDegrees - phase;
    }
    // A large wheel standing behind, driven by a small one on the ring.
    const int bigTeeth = 40;
    float bigRadius = PitchRadius(bigTeeth);
    V3 bigCentre{0, bigRadius + 0.1f, -ringRadius - radius - bigRadius - 0.6f};
    int wheel = kit.Mesh("wheel", MeshingGear(bigTeeth, 0.35f), "bronze", At(bigCentre));
    kit.Animate(
        wheel, kFrames, kStep,
        Spin(bigCentre, {0, 0, 1}, speed * float(teeth) / float(bigTeeth), 0, AxisAngle({1, 0, 0}, 90)));
    V3 pinion{0, bigCentre.y - bigRadius - radius, bigCentre.z};
    int p = kit.Instance("pinion", gear, At(pinion));
    kit.Animate(p, kFrames, kStep,
                Spin(pinion, {0, 0, 1}, -speed, 0.5f * toothDegrees, AxisAngle({1, 0, 0}, 90)));

    // The axle with the sun on top.
    TGenMesh axle =
        Lathe(RoundCorners({{0, 0}, {0.45f, 0}, {0.3f, 0.25f}, {0.22f, 2.3f}, {0, 2.3f}}, 0.05f, 2), 32);
    kit.Mesh("axle", axle, "brass", At({0, 0, 0}));
    kit.Mesh("sun", Sphere(0.9f, 40, 20), "sun", At({0, 3.1f, 0}));

    // Three arms turning round the axle at their own speeds, each carrying
    // a planet that spins; the first planet has a moon on an arm of its own,
    // the third rises and falls on its arm.
    struct Arm {
        float length, height, speed, phase;
        const char* material;
        float size;
    };
    const Arm arms[3] = {{3.2f, 2.1f, 0.9f, 0, "marble", 0.5f},
                         {4.6f, 2.5f, 0.55f, 130, "ceramic", 0.62f},
                         {5.8f, 1.7f, 0.35f, 250, "wood", 0.42f}};
    int moon = 0;
    int pivots[3];
    for (int i = 0; i < 3; i++) {
        const Arm& a = arms[i];
        std::string n = std::to_string(i);
        pivots[i] = kit.Pivot("arm" + n, At({0, a.height, 0}));
        kit.Animate(pivots[i], kFrames, kStep, Spin({0, a.height, 0}, kUp, a.speed, a.phase));
        kit.Mesh("rod" + n, RoundedBox({a.length, 0.09f, 0.09f}, 0.035f, 2), "brass",
                 At({a.length * 0.5f, 0, 0}), pivots[i]);
        TGenMesh ball = Sphere(a.size, 32, 16);
        ball.ScaleUv(2, 1);
        int planet = kit.Mesh("planet" + n, ball, a.material, At({a.length, 0, 0}), pivots[i]);
        if (i == 2) {
            kit.Move(planet, kFrames, kStep, [a](float f) { return V3{a.length, 0.45f * Sin(f * 2.0f), 0}; });
        } else {
            kit.Animate(planet, kFrames, kStep, Spin({a.length, 0, 0}, {0.2f, 1, 0}, 2.0f));
        }
        if (i == 0) {
            int orbit = kit.Pivot("moon-arm", At({a.length, 0, 0}), pivots[i]);
            kit.Animate(orbit, kFrames, kStep, Spin({a.length, 0, 0}, {0.3f, 1, 0}, 3.0f));
            moon = kit.Mesh("moon", Sphere(0.15f, 20, 10), "steel", At({0.95f, 0, 0}), orbit);
            kit.Instance("moon2", moon, At({-0.8f, 0.2f, 0.3f}), orbit);
        }
    }
    // Small moons round the second planet show the first moon's mesh.
    int orbit2 = kit.Pivot("moon-arm2", At({arms[1].length, 0, 0}), pivots[1]);
    kit.Animate(orbit2, kFrames, kStep, Spin({arms[1].length, 0, 0}, kUp, -2.2f));
    for (int m = 0; m < 3; m++)
        kit.Instance("moon-b" + std::to_string(m), moon, At(Around(1.1f, 120.0f * float(m), 0.1f * float(m))),
                     orbit2);

    // Light from the sun, and a cool light from above the viewer.
    TKitLight sunLight;
    sunLight.color[0] = 1.0f;
    sunLight.color[1] = 0.8f;
    sunLight.color[2] = 0.55f;
    kit.Light("sunlight", sunLight, At({0, 3.1f, 0}));
    TKitLight sky;
    sky.color[0] = 0.55f;
    sky.color[1] = 0.65f;
    sky.color[2] = 0.9f;
    sky.intensity = 0.6f;
    kit.Light("skylight", sky, At({4, 12, 9}));

    // Four cameras: wide and circling; riding on the middle arm behind its
    // planet; straight down from above; low among the gears.
    int wide = kit.Camera("wide", LookAt({0, 6, 12}, {0, 1.5f, 0}), 60, 0.5f, 100);
    kit.Animate(wide, kFrames, kStep, [](float f) {
        return LookAt(Around(12.5f, -125 + f * 0.05f, 5.5f + 1.5f * Sin(f * 0.3f)), {0, 1.6f, -0.5f});
    });
    kit.Camera("rider", LookAt({arms[1].length + 2.6f, 0.9f, 1.3f}, {0, 0.5f, 0}), 65, 0.3f, 100, pivots[1]);
    kit.Camera("top", LookAt({0, 15, 0.01f}, {0, 0, 0}, {0, 0, -1}), 60, 1.0f, 100);
    kit.Camera("low", LookAt({5.0f, 0.8f, 3.5f}, {0, 2.4f, 0}), 70, 0.3f, 100);
    return kit;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--stats") != 0) || argc > 3) {
        std::fprintf(stderr, "usage: gen_scenes OUTDIR [--stats]\n");
        return 2;
    }
    const std::string out = argv[1];
    const bool stats = argc == 3;
    try {
        struct Entry {
            const char* file;
            TSceneKit (*make)();
        };
        const Entry scenes[] = {{"relief.y3d", Relief},
                                {"stage.y3d", Stage},
                                {"glass.y3d", Glass},
                                {"chrome.y3d", Chrome},
                                {"clockwork.y3d", Clockwork}};
        for (const Entry& e : scenes) {
            TSceneKit kit = e.make();
            kit.Save(out + "/" + e.file);
            if (stats) std::printf("%s: %zu triangles\n", e.file, kit.TriangleCount());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen_scenes: %s\n", e.what());
        return 1;
    }
    return 0;
}
