// T3dContext: the device-independent base of every rendering context. Besides
// the reference count it keeps the light and texture-unit slot tables used by
// AllocLight / AllocTextureUnit. Index 0 means "none"; slots are 1 to 8.
#pragma once

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"

class T3dContext : public TInterfacedObject, public I3dContext {
public:
    int32_t AllocLight() override;
    void FreeLight(int32_t light) override;
    void FreeAllLights() override;
    int32_t AllocTextureUnit() override;
    void FreeTextureUnit(int32_t unit) override;
    void FreeAllTextureUnits() override;

protected:
    bool LightTaken[9] = {};       // 1 to 8
    bool TextureUnitTaken[9] = {}; // 1 to 8; only 1 to 5 are handed out
};
