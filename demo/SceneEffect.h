// TSceneLoadTest: the effect kind scripts name "TSceneLoadTest". It shows one
// animated 3D scene from a scene file: loaded when the effect is added,
// prepared whenever a part using it starts, and drawn every frame through the
// camera its "camera" control names at scene time "fps" x local time (modulo
// "loop" when that is positive).
//
// Values read: "name" (the scene file), "ReflectMapSize" and "ShadowMapSize"
// (only when present), "background" (an image resource, or none), and every
// frame "camera", "fps" and "loop" (when given).
#pragma once

#include <memory>

#include "demo/DemoEffect.h"

class TSmartY3dLoader;
class Ts3dScene;

// The named values the scene effect reads.
inline constexpr TEffectValueInfo kSceneName{"name", evText, true};
inline constexpr TEffectValueInfo kSceneReflectMapSize{"ReflectMapSize", evNumber, false};
inline constexpr TEffectValueInfo kSceneShadowMapSize{"ShadowMapSize", evNumber, false};
inline constexpr TEffectValueInfo kSceneBackground{"background", evImage, false};
inline constexpr TEffectValueInfo kSceneCamera{"camera", evNumber, false};
inline constexpr TEffectValueInfo kSceneFps{"fps", evNumber, false};
inline constexpr TEffectValueInfo kSceneLoop{"loop", evNumber, false};
inline constexpr TEffectValueInfo kSceneEffectValues[] = {
    kSceneName, kSceneReflectMapSize, kSceneShadowMapSize, kSceneBackground, kSceneCamera, kSceneFps,
    kSceneLoop};

class TSceneLoadTest : public TDemoEffect {
public:
    static TRefPtr<IDemoEffect> CreateInstance();

    // Loads the scene file and configures the scene: the sizes when given,
    // shadows on, reflections off, bump mapping on, the background picture.
    void Load() override;
    // Prepares the scene (each time a part using it starts).
    void Start() override;
    // Selects the camera, sets the scene time and renders the scene.
    void Render(bool first) override;
    // Releases the scene's shadow maps.
    void Stop() override;

    // The loaded scene (null before Load).
    Ts3dScene* Scene() const;

protected:
    ~TSceneLoadTest() override;

private:
    std::unique_ptr<TSmartY3dLoader> loader_;
    bool loopGiven_ = false; // the script gives "loop" (a property or a control)
};

// Rounds to the nearest integer, ties to even; values outside the 32-bit
// range (and NaN) give -1, an index no list has.
int32_t RoundIndex(double value);
