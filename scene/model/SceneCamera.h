// Cameras and lights: scene elements placed by a node. Both look along their
// node's -z axis.
#pragma once

#include "scene/math/Colors.h"
#include "scene/model/ScenePositional.h"

class Ts3dcamera : public Ts3dBase {
public:
    float Fov = 45.0f; // degrees, horizontal: divided by the aspect ratio for the projection
    float Near = 1.0f;
    float Far = 1000.0f;
    float TargetDistance = 0.0f; // kept from the file, not used
    Ts3dPositional* Node = nullptr;
};

class Ts3dLight : public Ts3dBase {
public:
    Ts3dPositional* Node = nullptr; // the light sits at the node origin
    TColor4 Ambient = {0, 0, 0, 1};
    TColor4 Diffuse = {0, 0, 0, 0};
    TColor4 Specular = {0, 0, 0, 0};
    bool CastsShadows = false;
    float CutOff = 180.0f; // spot cut-off in degrees; 180 = omni light
    float Exponent = 0.0f;
    float ShadowNear = 1.0f; // shadow projection as loaded
    float ShadowFar = 1000.0f;
    TRefPtr<I3dContext> ShadowTarget;  // off-screen target of the shadow map
    TRefPtr<I3dTexture> ShadowTexture; // depth texture bound to ShadowTarget
    float ShadowNearUsed = 1.0f;       // copies taken when the shadow map is rendered
    float ShadowFarUsed = 1000.0f;
};

// The light the scene loader makes; adds nothing.
class TLoaderLight : public Ts3dLight {};
