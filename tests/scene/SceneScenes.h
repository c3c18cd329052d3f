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

// A bump-mapped box (size 2, flat normal map, with a diffuse texture or
// without) on a diffuse-textured floor, and a small plain box hanging between
// the top of the bump box and the shadow-casting spot light. The floor's
// material comes first: its pass has the shadow map on another unit than the
// bump pass.
struct TBumpShadowScene {
    static constexpr float kLight[3] = {-4.0f, 11.0f, -5.0f};
    static constexpr float kEye[3] = {0.0f, 6.0f, 3.5f};
    static constexpr float kBlocker[3] = {-0.6f, 3.35f, -0.75f};
    static constexpr float kBlockerSize = 0.5f;
    TY3dDocument Build(bool diffuseTexture) const;
};

// Three quads side by side (bump-mapped, flat, diffuse-textured) lit from the
// left, and below them two blended quads, the red one behind the green one
// (or in front with `redInFront`).
TY3dDocument MaterialScene(bool redInFront = false);
