// The effect base classes every effect kind derives from, and the registry
// by which a class name from the demo script selects an effect kind.
//
// TBaseDemoEffect keeps what an effect receives: its device (and through it
// the rendering device, the demo clock and the demo scene), its properties
// and animated controls from the script, and the start time of the part that
// is rendering it. TDemoEffect adds the name and the hooks, all empty except
// Render, which computes LocalTime; an effect kind overrides the hooks it
// needs and calls TDemoEffect::Render first.
#pragma once

#include "demo/DemoInterfaces.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

class TBaseDemoEffect : public TInterfacedObject, public virtual IBaseDemoEffect {
public:
    void Attach(IDemo3dDevice* device) override;
    void SetProperties(IResources* properties) override { properties_ = properties; }
    void SetControls(IResources* controls) override { controls_ = controls; }
    const TValueRecord* FindValue(const char* name) override;
    void SetPartStart(double start) override { partStart_ = start; }

    IDemo3dDevice* Owner() const { return owner_; }
    I3dDevice* Device() const { return device_.Get(); }
    ITimer* Timer() const { return timer_.Get(); }
    IDemo3dScene* Scene() const { return scene_.Get(); }
    double PartStart() const { return partStart_; }

protected:
    ~TBaseDemoEffect() override = default;

    // The owner holds this effect in its list for the whole run, so the back
    // reference is not counted (a counted one would keep both alive forever).
    IDemo3dDevice* owner_ = nullptr;
    TRefPtr<I3dDevice> device_;
    TRefPtr<ITimer> timer_;
    TRefPtr<IDemo3dScene> scene_;
    IResources* properties_ = nullptr; // views of the script document, which
    IResources* controls_ = nullptr;   // outlives every effect
    double partStart_ = 0.0;
};

class TDemoEffect : public TBaseDemoEffect, public IDemoEffect {
public:
    TDemoEffect() = default;

    void Load() override {}
    void Prepare() override {}
    void Start() override {}
    void Update() override {}
    // Sets LocalTime = the clock's time - the part start.
    void Render(bool first) override;
    void AfterRender() override {}
    void Stop() override {}
    void Unprepare() override {}
    void SetName(const std::string& name) override { name_ = name; }
    const std::string& GetName() override { return name_; }

    // The named value as a float: a text value converted ("." as decimal
    // separator; text that is no number raises EConvertError), otherwise the
    // first four bytes of the value (a float, or a colour's red). A name that
    // is not found gives 0.0.
    float GetFloatValue(const char* name);
    // The named value's interface reference (image, texture), or null.
    TRefPtr<IInterface> GetInterfaceValue(const char* name);

    double LocalTime = 0.0;

protected:
    ~TDemoEffect() override = default;

private:
    std::string name_;
};

// What an effect class expects of one of the named values it reads.
enum TEffectValueKind : uint8_t {
    evText,   // a text property
    evNumber, // a number: a property's text, or a float control
    evColor,  // a colour: a control of kind "color"
    evImage,  // a property naming an image resource
};

// One named value an effect class reads. Each class keeps a table of these
// and reads its values by the names in it, so the table is the list of what
// the class reads: the script checker and the script reference rely on it.
struct TEffectValueInfo {
    const char* Name;
    TEffectValueKind Kind;
    bool Needed; // the effect cannot do its work without it
};

// An effect class as the registry knows it: its name, the class-level
// operation that creates an instance and the named values it reads.
struct TDemoEffectClass {
    const char* Name;
    TRefPtr<IDemoEffect> (*CreateInstance)();
    std::span<const TEffectValueInfo> Values;
};

// The ordered list of effect classes start-up creates effects from.
class TEffectRegistry {
public:
    void Register(const char* name, TRefPtr<IDemoEffect> (*createInstance)(),
                  std::span<const TEffectValueInfo> values = {});
    // One new effect for each registered class whose name equals className
    // exactly (in registry order). A name that matches no class gives none.
    std::vector<TRefPtr<IDemoEffect>> Create(const std::string& className) const;
    const std::vector<TDemoEffectClass>& Classes() const { return classes_; }
    // The class of that name, or null.
    const TDemoEffectClass* Find(std::string_view className) const;

private:
    std::vector<TDemoEffectClass> classes_;
};

// Fills the registry with the system's effect classes, in this order: the
// scene effect "TSceneLoadTest", then the fade "TFade".
void FillEffectRegistry(TEffectRegistry& registry);
