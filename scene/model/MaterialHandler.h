// Ts3dMaterialHandler: the seam between the scene and the programs that turn
// a material into device state. The scene sets Material before it calls
// BeginPass, SetupObject or PrepareMaterial.
#pragma once

#include <cstdint>

class Ts3dScene;
class Ts3dMaterial;
class Ts3dObject;

class Ts3dMaterialHandler {
public:
    virtual ~Ts3dMaterialHandler() = default;

    virtual void Hook() {}
    // Programs the device for pass `pass` of Material.
    virtual void BeginPass(int32_t pass) { PassIndex = pass; }
    // Programs what is particular to one object (streams, per-object registers).
    virtual void SetupObject(Ts3dObject* object) { Object = object; }
    virtual void Create(Ts3dScene* scene) { Scene = scene; }
    // Plans Material's passes.
    virtual void PrepareMaterial() {}
    virtual void BeginFrame() {}
    virtual void EndFrame() {}

    Ts3dScene* Scene = nullptr;
    int32_t PassIndex = 0;
    Ts3dMaterial* Material = nullptr;
    Ts3dObject* Object = nullptr;
};
