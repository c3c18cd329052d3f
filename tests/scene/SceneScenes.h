// The small scenes the scene tests draw.
#pragma once

#include "tests/scene/SceneTestSupport.h"

// Turns a plane from facing +z to facing +y (a floor).
extern const float kFloorTurn[4];

// A red box (size 2) on a 20 x 20 grey floor under a shadow-casting spot
// light, seen from above and in front. `refracting` gives the box a
// refraction map (it then wants a cube map); cone 0 makes the light omni.
struct TShadowScene {
    static constexpr float kLight[3] = {-4.0f, 11.0f, -5.0f};
    static constexpr float kEye[3] = {0.0f, 9.0f, 14.0f};
    TY3dDocument Build(bool refracting = false, float cone = 70.0f) const;
};

// Three quads side by side (bump-mapped, flat, diffuse-textured) lit from the
// left, and below them two blended quads, the red one behind the green one
// (or in front with `redInFront`).
TY3dDocument MaterialScene(bool redInFront = false);
