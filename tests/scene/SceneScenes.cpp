#include "tests/scene/SceneScenes.h"

#include <cmath>

const float kFloorTurn[4] = {0.70710678f, 0.0f, 0.0f, 0.70710678f};

TY3dDocument TShadowScene::Build(bool refracting, float cone) const {
    TSceneBuilder b;
    const int32_t grey = b.AddMaterial(ColourMaterial(0.8f, 0.8f, 0.8f));
    TY3dMaterial red = ColourMaterial(0.9f, 0.2f, 0.1f);
    if (refracting)
        red.Maps.push_back({mtRefraction, b.AddPicture(4, 4, [](int32_t, int32_t) { return 0u; }), 1});
    const int32_t box = b.AddMaterial(red);
    const float floorAt[3] = {0, 0, 0}, boxAt[3] = {0, 1, 0};
    b.AddMesh(PlaneMesh(20, 20, 40, grey), floorAt, kFloorTurn);
    b.AddMesh(BoxMesh(2, box), boxAt);
    b.AddCamera(kEye, floorAt, 60);
    b.AddLight(kLight, floorAt, cone, true);
    return b.Doc;
}

TY3dDocument TBumpShadowScene::Build(bool diffuseTexture) const {
    TSceneBuilder b;
    TY3dMaterial floor = ColourMaterial(1, 1, 1);
    floor.Maps.push_back({mtDiffuse, b.AddPicture(4, 4, [](int32_t, int32_t) { return 0xA0A0A0u; }), 1.0f});
    TY3dMaterial bumpy = ColourMaterial(0.8f, 0.8f, 0.8f, 1.0f, 0.3f);
    bumpy.Maps.push_back({mtBump, b.AddPicture(4, 4, [](int32_t, int32_t) { return 0x808080u; }), 1.0f});
    if (diffuseTexture)
        bumpy.Maps.push_back(
            {mtDiffuse, b.AddPicture(4, 4, [](int32_t, int32_t) { return 0xE0C0A0u; }), 1.0f});
    const int32_t materials[3] = {b.AddMaterial(floor), b.AddMaterial(bumpy),
                                  b.AddMaterial(ColourMaterial(0.2f, 0.4f, 0.9f))};
    const float floorAt[3] = {0, 0, 0}, boxAt[3] = {0, 1, 0}, top[3] = {0, 2, 0};
    b.AddMesh(PlaneMesh(20, 20, 40, materials[0]), floorAt, kFloorTurn);
    b.AddMesh(BoxMesh(2, materials[1]), boxAt);
    b.AddMesh(BoxMesh(kBlockerSize, materials[2]), kBlocker);
    b.AddCamera(kEye, top, 60);
    b.AddLight(kLight, floorAt, 70, true);
    return b.Doc;
}

TY3dDocument MaterialScene(bool redInFront) {
    TSceneBuilder b;
    TY3dMaterial bumpy = ColourMaterial(0.6f, 0.6f, 0.6f, 1.0f, 0.3f);
    // Heights sin(2 pi x / 16): ridges along y.
    bumpy.Maps.push_back(
        {mtBump,
         b.AddPicture(64, 64,
                      [](int32_t x, int32_t) {
                          return uint32_t(std::lround(127.5 + 127.5 * std::sin(x * M_PI / 8.0))) * 0x010101u;
                      }),
         1.0f});
    TY3dMaterial textured = ColourMaterial(1, 1, 1);
    textured.Maps.push_back(
        {mtDiffuse,
         b.AddPicture(64, 64,
                      [](int32_t x, int32_t y) { return ((x / 8 + y / 8) % 2) ? 0xFFD040u : 0x2040A0u; }),
         1.0f});
    const int32_t materials[5] = {b.AddMaterial(bumpy),
                                  b.AddMaterial(ColourMaterial(0.6f, 0.6f, 0.6f, 1.0f, 0.3f)),
                                  b.AddMaterial(textured), b.AddMaterial(ColourMaterial(1, 0, 0, 0.5f)),
                                  b.AddMaterial(ColourMaterial(0, 1, 0, 0.5f))};
    const float at[5][3] = {{-2.2f, 1, 0},
                            {0, 1, 0},
                            {2.2f, 1, 0},
                            {-1, -1.5f, redInFront ? 1.5f : 0.5f},
                            {0, -1.2f, redInFront ? 0.5f : 1.5f}};
    for (int i = 0; i < 5; i++)
        b.AddMesh(i < 3 ? PlaneMesh(2, 2, 8, materials[i]) : PlaneMesh(2.5f, 1.5f, 2, materials[i]), at[i]);
    const float eye[3] = {0, 0, 8}, origin[3] = {0, 0, 0}, light[3] = {-6, 1, 3};
    b.AddCamera(eye, origin, 60);
    b.AddLight(light, origin, 0, false);
    return b.Doc;
}
