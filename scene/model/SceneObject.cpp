#include "scene/model/SceneObject.h"

Ts3dObject::Ts3dObject() : ownGeometry_(std::make_unique<Ts3dGeometryDef>()) {
    Geometry = ownGeometry_.get();
}

Ts3dObject::Ts3dObject(Ts3dGeometryDef* geometry) : Geometry(geometry) {}

void Ts3dObject::Build() {
    if (Geometry) Geometry->Build();
}
