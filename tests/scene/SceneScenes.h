// The small scenes the rendering tests draw, built with the scene writer.
#pragma once

#include "tests/scene/SceneTestSupport.h"

// Turns a plane from facing +z to facing +y (a floor).
extern const float kFloorTurn[4];

// A red box on a grey floor under a shadow-casting spot light, seen from
// above and in front. `refracting` gives the box a refraction map (so it
// wants a cube map of its surroundings); `lightCone` 0 makes the light omni.
struct TShadowScene {
    static constexpr float kBoxSize = 2.0f;
    static constexpr float kLight[3] = {-4.0f, 11.0f, -5.0f};
    static constexpr float kEye[3] = {0.0f, 9.0f, 14.0f};
    static constexpr float kCameraFov = 60.0f;
    TY3dDocument Build(bool refracting = false, float lightCone = 70.0f, bool withBox = true) const;
};

// Three quads side by side (bump-mapped, flat, diffuse-textured) lit from the
// left, and below them two blended quads, the red one behind the green one
// (or in front with `redInFront`).
struct TMaterialScene {
    static constexpr float kRedZ = 0.5f, kGreenZ = 1.5f;
    TY3dDocument Build(bool redInFront = false) const;
};
