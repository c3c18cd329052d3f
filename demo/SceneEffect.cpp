#include "demo/SceneEffect.h"

#include <cmath>

#include "platform/Format.h"
#include "scene/loader/SmartY3dLoader.h"

TRefPtr<IDemoEffect> TSceneLoadTest::CreateInstance() {
    return TRefPtr<IDemoEffect>(new TSceneLoadTest());
}

TSceneLoadTest::~TSceneLoadTest() = default;

Ts3dScene* TSceneLoadTest::Scene() const {
    return loader_ ? loader_->Scene() : nullptr;
}

int32_t RoundIndex(double value) {
    const double r = std::nearbyint(value);
    return (r >= -2147483648.0 && r <= 2147483647.0) ? int32_t(r) : -1;
}

void TSceneLoadTest::Load() {
    TDemoEffect::Load();
    const TValueRecord* name = FindValue(kSceneName.Name);
    if (!name || name->Kind != vkText || !name->Text)
        throw Exception(
            Format("The scene effect %s names no scene file (property \"name\")", GetName().c_str()));
    loader_ = std::make_unique<TSmartY3dLoader>(device_.Get());
    loader_->RegisterSceneHandlers();
    loader_->Load(name->Text);
    Ts3dScene* scene = loader_->Scene();
    if (FindValue(kSceneReflectMapSize.Name))
        scene->ReflectMapSize = RoundIndex(GetFloatValue(kSceneReflectMapSize.Name));
    if (FindValue(kSceneShadowMapSize.Name))
        scene->ShadowMapSize = RoundIndex(GetFloatValue(kSceneShadowMapSize.Name));
    scene->ShadowsEnabled = true;
    scene->ReflectionsEnabled = false;
    scene->BumpEnabled = true;
    scene->Background = QueryAs<I3dImage>(GetInterfaceValue(kSceneBackground.Name));
    // "loop" is looked for once: a value asked for and not found is reported
    // on the debug channel, which must not hear of it in every frame of a
    // scene that does not loop.
    loopGiven_ = FindValue(kSceneLoop.Name) != nullptr;
    TRefPtr<I3dContext> main;
    device_->GetMainContext(main);
    device_->MakeContextCurrent(main.Get());
}

void TSceneLoadTest::Start() {
    TDemoEffect::Start();
    if (Ts3dScene* scene = Scene()) scene->Prepare();
}

void TSceneLoadTest::Render(bool first) {
    TDemoEffect::Render(first);
    Ts3dScene* scene = Scene();
    if (!scene) return;
    scene->SelectCamera(RoundIndex(GetFloatValue(kSceneCamera.Name)));
    double frame = double(GetFloatValue(kSceneFps.Name)) * LocalTime;
    // "loop" (in scene frames), when positive: the scene frame is taken
    // modulo it, so that a short animation repeats over a long part.
    const double loop = loopGiven_ ? GetFloatValue(kSceneLoop.Name) : 0.0;
    if (loop > 0.0) {
        frame = std::fmod(frame, loop);
        if (frame < 0.0) frame += loop;
    }
    scene->Time = frame;
    scene->Render();
}

void TSceneLoadTest::Stop() {
    TDemoEffect::Stop();
    if (Ts3dScene* scene = Scene()) scene->ReleaseShadowMaps();
}
