// Ts3dMaterial: how a surface is lit and textured, and the render passes the
// material handler planned for it.
#pragma once

#include "scene/math/Colors.h"
#include "scene/model/SceneBase.h"

class Ts3dObject;

// Stage kinds of a pass record.
enum : uint8_t {
    skPlain = 0,          // plain vertex lighting
    skBump = 3,           // per-pixel bump lighting
    skDiffuseTexture = 5, // diffuse texture
    skReflection2D = 7,   // 2D (sphere-map) reflection texture
    skReflectionCube = 11 // cube reflection texture
};
// Stage roles.
enum : uint8_t { srFirst = 0, srDiffuse = 4, srReflection = 5 };

// Material kinds (BlendKind).
enum : uint8_t { bkBlended = 2, bkOpaque = 3 };

struct Ts3dPassStage {
    uint8_t Kind = 0;
    uint8_t Role = 0;
};

// One render pass: up to 18 stages, their count and a flag byte.
struct Ts3dPass {
    static constexpr int32_t kMaxStages = 18;
    Ts3dPassStage Stages[kMaxStages];
    int32_t StageCount = 0;
    uint8_t Flag = 0;
};

class Ts3dMaterial : public Ts3dBase {
public:
    void Hook() override {}

    bool Mirror = false;             // planar mirror (set only by the loader's flatness rule)
    bool EnvironmentReflect = false; // wants a dynamic cube map of its surroundings
    bool Refract = false;            // refraction material; also wants a dynamic cube map
    uint8_t BlendKind = bkOpaque;
    uint8_t TwoSided = 0; // 2 when two-sided
    TColor4 AmbientColor = {0.2f, 0.2f, 0.2f, 1.0f};
    TColor4 DiffuseColor = {0.8f, 0.8f, 0.8f, 1.0f};
    TColor4 SpecularColor = {0.0f, 0.0f, 0.0f, 1.0f};
    TColor4 EmissiveColor = {0.0f, 0.0f, 0.0f, 1.0f};
    float Shininess = 0.0f;
    TRefPtr<I3dTexture> DiffuseTexture;
    float DiffuseAmount = 1.0f;
    TRefPtr<I3dTexture> BumpTexture; // normal map
    TRefPtr<I3dTexture> CubeTexture; // dynamic cube map
    TRefPtr<I3dTexture> ReflectionTexture;
    float ReflectionAmount = 1.0f;
    int32_t PassCount = 0;
    std::vector<Ts3dPass> Passes;
    Ts3dList<Ts3dObject> Objects; // objects drawn with this material
};

// The material the scene loader makes: the four texture-map indices of the
// file (into the loader's texture list; -1 when absent).
class TLoaderMaterial : public Ts3dMaterial {
public:
    int32_t DiffuseIndex = -1;
    int32_t BumpIndex = -1;
    int32_t ReflectionIndex = -1;
    int32_t RefractionIndex = -1;
};
