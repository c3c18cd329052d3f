// The demo script's document model: the resource section, effects with their
// properties and animated controls, the parts of the timeline and the error
// list. TFileXMLParser (FileXMLParser.h) builds it and owns it; start-up and
// the effects look at it through the views of ScriptDocument.h.
#pragma once

#include "demo/core/Anim.h"
#include "script/ScriptDocument.h"

#include <memory>
#include <string>
#include <vector>

// The loader's error list: message lines in the order they were added.
class TErrors : public TInterfacedObject, public IResourceErrors {
public:
    void AddError(const std::string& message) override { lines_.push_back(message); }
    void GetText(std::string& text) override;
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

// Resource kind codes.
enum TResourceKind : uint8_t {
    rkImage = 0,
    rkTexture = 1,
    rkCubeTexture = 2,
    rkMp3 = 3,
    rkConsoleFont = 4,
    rkBinary = 5,
};

// The element name of a resource kind ("image", "texture", ...).
const char* ResourceKindName(uint8_t kind);

// One entry of the resource section: what to load (Value, a file name) and,
// once start-up has loaded it, the value record it yields.
class TResource : public TModelObject, public IResource {
public:
    explicit TResource(uint8_t kind) : Kind(kind) {}
    TValueRecord* GetValue() override { return &Record; }
    void GetName(std::string& name) override { name = Name; }

    uint8_t Kind;
    std::string Name;
    std::string Value; // the file name (a pattern with one placeholder for cube textures)
    TValueRecord Record;
};

class TImageResource : public TResource {
public:
    TImageResource() : TResource(rkImage) {}
};

class TTextureResource : public TResource {
public:
    TTextureResource() : TResource(rkTexture) {}
    bool Smooth = true;
    bool Repeat = true; // selects the wrap mode at start-up
    bool Fullscreen = true;

protected:
    explicit TTextureResource(uint8_t kind) : TResource(kind) {}
};

class TCubeTextureResource : public TTextureResource {
public:
    TCubeTextureResource() : TTextureResource(rkCubeTexture) {}
};

class Tmp3Resource : public TResource {
public:
    Tmp3Resource() : TResource(rkMp3) {}
};

class TConsoleFontResource : public TResource {
public:
    TConsoleFontResource() : TResource(rkConsoleFont) {}
};

class TBinaryResource : public TResource {
public:
    TBinaryResource() : TResource(rkBinary) {}
};

// The resource section: its location and its resources in document order.
class TResources : public TModelObject, public IResources {
public:
    void Find(const std::string& name, TRefPtr<IResource>& resource, double time) override;

    std::string LocationKind; // stored; nothing reads it
    std::string Path;         // with a trailing backslash when not empty
    std::vector<std::unique_ptr<TResource>> Items;
};

// A named property of an effect: a text, or a reference to a resource whose
// record it then reports (seeing what start-up stores there later).
class TProperty : public TModelObject, public IResource {
public:
    TValueRecord* GetValue() override { return Reported; }
    void GetName(std::string& name) override { name = Name; }

    std::string Name;
    std::string Text;         // the value text (empty when a resource is used)
    std::string ResourceName; // the "resource" attribute when no text was given
    bool IsText = false;
    TValueRecord OwnRecord;              // kind 3 with Text
    TValueRecord* Reported = &OwnRecord; // OwnRecord or the resource's record
};

// Control kinds: what a control's values mean and the record it produces.
enum TControlKindCode : uint8_t { ckFloat = 0, ckColor = 1, ckPos = 2, ckEuler = 3 };

// An animated control: evaluated at the time given with the last Find.
class TControl : public TModelObject, public IResource {
public:
    TValueRecord* GetValue() override;
    void GetName(std::string& name) override { name = Name; }

    std::string Name;
    uint8_t Kind = ckFloat;
    TAnim Anim;
    double Time = 0.0; // from the last Find
    TValueRecord Record;
};

class TProperties : public TModelObject, public IResources {
public:
    void Find(const std::string& name, TRefPtr<IResource>& resource, double time) override;
    std::vector<std::unique_ptr<TProperty>> Items;
};

class TControls : public TModelObject, public IResources {
public:
    // Also stores the time in the control found.
    void Find(const std::string& name, TRefPtr<IResource>& resource, double time) override;
    std::vector<std::unique_ptr<TControl>> Items;
};

// One effect of the script.
class TEffect {
public:
    std::string Name;
    std::string ClassName;
    TProperties Properties;
    TControls Controls;
    IResources* Resources = nullptr; // the resource section when the effect was read
    IResourceErrors* Errors = nullptr;
    std::string File; // the script file the effect is written in, for messages

    // The value record FindValue would return at local time t: controls
    // first, then properties; null when neither has the name.
    const TValueRecord* FindValue(const std::string& name, double t);
};

// One entry of the timeline (seconds).
class TPart {
public:
    std::string Name; // the effect it runs
    float Prepare = 0, Unprepare = 0, Start = 0, Stop = 0;
};

template <class T> using TEffectList = std::vector<std::unique_ptr<T>>;
