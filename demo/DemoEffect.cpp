#include "demo/DemoEffect.h"

#include "demo/Fade.h"
#include "demo/SceneEffect.h"
#include "platform/DebugSink.h"

#include <cstdlib>
#include <cstring>

void TBaseDemoEffect::Attach(IDemo3dDevice* device) {
    owner_ = device;
    device_ = device ? device->GetDevice() : nullptr;
    timer_ = nullptr;
    if (device_) device_->GetTimer(timer_);
    scene_ = device ? device->GetScene() : nullptr;
}

const TValueRecord* TBaseDemoEffect::FindValue(const char* name) {
    // Computed afresh from the clock: the local time of the part that set
    // the part start last.
    double t = (timer_ ? timer_->GetTime() : 0.0) - partStart_;
    const TValueRecord* result = nullptr;
    if (controls_) result = FindResourceValue(controls_, name, t);
    if (!result && properties_) result = FindResourceValue(properties_, name, t);
    if (!result) DebugOutput(name);
    return result;
}

void TDemoEffect::Render(bool) {
    LocalTime = (timer_ ? timer_->GetTime() : 0.0) - partStart_;
}

float TDemoEffect::GetFloatValue(const char* name) {
    const TValueRecord* value = FindValue(name);
    if (!value) return 0.0f;
    if (value->Kind == vkText) return ValueTextToFloat(value);
    float f;
    std::memcpy(&f, ValueBytes(value), sizeof f);
    return f;
}

TRefPtr<IInterface> TDemoEffect::GetInterfaceValue(const char* name) {
    const TValueRecord* value = FindValue(name);
    if (!value) return nullptr;
    return ValueInterface(value);
}

void TEffectRegistry::Register(const char* name, TRefPtr<IDemoEffect> (*createInstance)(),
                               std::span<const TEffectValueInfo> values) {
    classes_.push_back({name, createInstance, values});
}

const TDemoEffectClass* TEffectRegistry::Find(std::string_view className) const {
    for (const TDemoEffectClass& c : classes_)
        if (className == c.Name) return &c;
    return nullptr;
}

std::vector<TRefPtr<IDemoEffect>> TEffectRegistry::Create(const std::string& className) const {
    std::vector<TRefPtr<IDemoEffect>> made;
    for (const TDemoEffectClass& c : classes_) {
        if (className != c.Name) continue;
        if (!c.CreateInstance) {
            // A class whose implementation is not built into this program.
            DebugOutput("Effect class " + className + " is not available in this build");
            continue;
        }
        TRefPtr<IDemoEffect> effect = c.CreateInstance();
        if (effect) made.push_back(effect);
    }
    return made;
}

void FillEffectRegistry(TEffectRegistry& registry) {
    registry.Register("TSceneLoadTest", &TSceneLoadTest::CreateInstance, kSceneEffectValues);
    registry.Register("TFade", &TFade::CreateInstance, kFadeValues);
}
