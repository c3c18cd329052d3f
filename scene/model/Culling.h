// The culler: decides which of the scene's objects the current view shows.
#pragma once

#include "scene/model/SceneBase.h"

class Ts3dScene;
class Ts3dObject;

class Ts3dCulling {
public:
    virtual ~Ts3dCulling() = default;
    // Fills the scene's Visible list.
    virtual void Cull() = 0;

    Ts3dScene* Scene = nullptr;
    I3dDevice* Device = nullptr;
    Ts3dList<Ts3dObject>* Objects = nullptr; // the scene's lists
    Ts3dList<Ts3dObject>* Visible = nullptr;
};

// Culls by bounding sphere against the six planes of the current projection.
class Ts3dFrustumCulling : public Ts3dCulling {
public:
    void Cull() override;

    // The planes of the last Cull, in eye space: normal (x, y, z) and offset w.
    TVector4 Planes[6] = {};
};
