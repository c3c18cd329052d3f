// Ts3dObject: one drawable instance of a geometry, placed by a node and drawn
// with a material.
#pragma once

#include <memory>

#include "scene/model/SceneGeometry.h"
#include "scene/model/SceneMaterial.h"
#include "scene/model/ScenePositional.h"

class Ts3dObject : public Ts3dBase {
public:
    // An object with an empty geometry of its own.
    Ts3dObject();
    // An object instancing `geometry` (not owned: the scene's store keeps it).
    explicit Ts3dObject(Ts3dGeometryDef* geometry);

    // Builds the geometry.
    void Build();

    TVector3 EyeCenter = {0, 0, 0}; // bounding-sphere centre in eye space of the current view
    float Radius = 0.0f;
    Ts3dMaterial* Material = nullptr;
    Ts3dPositional* Node = nullptr;
    bool Visible = true; // off while the object's own cube map is rendered
    bool Flat = false;   // all normals parallel
    Ts3dGeometryDef* Geometry = nullptr;

private:
    std::unique_ptr<Ts3dGeometryDef> ownGeometry_;
};
