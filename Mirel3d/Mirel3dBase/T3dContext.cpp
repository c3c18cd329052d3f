#include "Mirel3d/Mirel3dBase/T3dContext.h"

// The first free light slot 1 to 8, taken; 0 when all are taken.
int32_t T3dContext::AllocLight() {
    for (int32_t i = 1; i <= 8; i++) {
        if (!LightTaken[i]) {
            LightTaken[i] = true;
            return i;
        }
    }
    return 0;
}

void T3dContext::FreeLight(int32_t light) {
    if (light >= 1 && light <= 8) LightTaken[light] = false;
}

void T3dContext::FreeAllLights() {
    for (int32_t i = 1; i <= 8; i++)
        LightTaken[i] = false;
}

// Units 1 to 5 are handed out whatever the hardware offers.
int32_t T3dContext::AllocTextureUnit() {
    for (int32_t i = 1; i <= 5; i++) {
        if (!TextureUnitTaken[i]) {
            TextureUnitTaken[i] = true;
            return i;
        }
    }
    return 0;
}

void T3dContext::FreeTextureUnit(int32_t unit) {
    if (unit >= 1 && unit <= 8) TextureUnitTaken[unit] = false;
}

void T3dContext::FreeAllTextureUnits() {
    for (int32_t i = 1; i <= 8; i++)
        TextureUnitTaken[i] = false;
}
