#include "tests/scene/SceneScenes.h"

#include <cmath>

const float kFloorTurn[4] = {0.70710678f, 0.0f, 0.0f, 0.70710678f};

TY3dDocument TShadowScene::Build(bool refracting, float lightCone, bool withBox) const {
    TSceneBuilder b;
    const int32_t grey = b.AddMaterial(ColourMaterial(0.8f, 0.8f, 0.8f));
    TY3dMaterial red = ColourMaterial(0.9f, 0.2f, 0.1f);
    if (refracting)
        red.Maps.push_back({mtRefraction, b.AddPicture(4, 4, [](int32_t, int32_t) { return 0x808080u; }), 1});
    const int32_t box = b.AddMaterial(red);
    const float floorAt[3] = {0, 0, 0}, boxAt[3] = {0, kBoxSize / 2, 0}, origin[3] = {0, 0, 0};
    b.AddMesh(PlaneMesh(20, 20, 40, grey), floorAt, kFloorTurn);
    if (withBox) b.AddMesh(BoxMesh(kBoxSize, kBoxSize, kBoxSize, box), boxAt);
    b.AddCamera(kEye, origin, kCameraFov);
    b.AddLight(kLight, origin, lightCone, true, 1.0f, 2.0f, 40.0f);
    return b.Doc;
}

namespace {
// Heights rising and falling across x: ridges running along y.
uint32_t Ridges(int32_t x, int32_t) {
    const int v = int(std::lround(127.5 + 127.5 * std::sin(x * 2 * M_PI / 16.0)));
    return uint32_t(v * 0x010101);
}
uint32_t Checker(int32_t x, int32_t y) {
    return (((x / 8) + (y / 8)) % 2) ? 0xFFD040 : 0x2040A0;
}
} // namespace

TY3dDocument TMaterialScene::Build(bool redInFront) const {
    TSceneBuilder b;
    TY3dMaterial bumpy = ColourMaterial(0.6f, 0.6f, 0.6f, 1.0f, 0.3f);
    bumpy.Maps.push_back({mtBump, b.AddPicture(64, 64, Ridges), 1.0f});
    const int32_t bump = b.AddMaterial(bumpy);
    const int32_t flat = b.AddMaterial(ColourMaterial(0.6f, 0.6f, 0.6f, 1.0f, 0.3f));
    TY3dMaterial textured = ColourMaterial(1, 1, 1);
    textured.Maps.push_back({mtDiffuse, b.AddPicture(64, 64, Checker), 1.0f});
    const int32_t tex = b.AddMaterial(textured);
    const int32_t red = b.AddMaterial(ColourMaterial(1, 0, 0, 0.5f));
    const int32_t green = b.AddMaterial(ColourMaterial(0, 1, 0, 0.5f));
    const float p1[3] = {-2.2f, 1, 0}, p2[3] = {0, 1, 0}, p3[3] = {2.2f, 1, 0};
    b.AddMesh(PlaneMesh(2, 2, 8, bump), p1);
    b.AddMesh(PlaneMesh(2, 2, 8, flat), p2);
    b.AddMesh(PlaneMesh(2, 2, 8, tex), p3);
    const float q1[3] = {-1, -1.5f, redInFront ? kGreenZ : kRedZ},
                q2[3] = {0, -1.2f, redInFront ? kRedZ : kGreenZ};
    b.AddMesh(PlaneMesh(2.5f, 1.5f, 2, red), q1);
    b.AddMesh(PlaneMesh(2.5f, 1.5f, 2, green), q2);
    const float eye[3] = {0, 0, 8}, at[3] = {0, 0, 0};
    b.AddCamera(eye, at, 60);
    const float light[3] = {-6, 1, 3}, lit[3] = {0, 1, 0};
    b.AddLight(light, lit, 0, false, 1.2f);
    return b.Doc;
}
