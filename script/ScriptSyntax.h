// What the demo script loader understands, as tables: the elements with
// their attributes and where each may stand, the resource tags and the kinds
// they make, the control kinds and types. The loader reads its names from
// here, the script checker compares what an author wrote against them, and
// the test of docs/script-reference.md makes sure every name is documented.
#pragma once

#include "demo/core/Anim.h"
#include "script/ScriptModel.h"

#include <cstdint>
#include <span>
#include <string_view>

// Where an element is read.
enum TScriptPlace : uint8_t {
    spTop,       // at the top level of a script file
    spResources, // inside the resource section
    spEffect,    // inside an effect
    spControl,   // inside a control: every tag there is a key
};

struct TScriptElementInfo {
    std::string_view Name;
    TScriptPlace Place;
    std::span<const std::string_view> Attributes;
    // Read up to an end tag (resources, effect, control): written as an
    // empty-element tag it still reads on and takes in what follows.
    bool HasContent;
};

namespace script_syntax {
inline constexpr std::string_view kResourcesAttributes[] = {"location"};
inline constexpr std::string_view kFileAttributes[] = {"name", "value"};
inline constexpr std::string_view kTextureAttributes[] = {"name", "value", "smooth", "repeat", "fullscreen"};
inline constexpr std::string_view kBinaryAttributes[] = {"name", "value", "singleuse"};
inline constexpr std::string_view kEffectAttributes[] = {"name", "class"};
inline constexpr std::string_view kPropertyAttributes[] = {"name", "value", "resource"};
inline constexpr std::string_view kControlAttributes[] = {"name", "kind", "type", "repeat"};
inline constexpr std::string_view kKeyAttributes[] = {"time", "value"};
inline constexpr std::string_view kPartAttributes[] = {"name", "start", "stop", "prepare", "unprepare"};
inline constexpr std::string_view kTimelineAttributes[] = {"end"};
} // namespace script_syntax

// The name of a key tag as the scripts write it (any tag inside a control is a key).
inline constexpr std::string_view kKeyTag = "key";
// The wrapper element of the main script: read past like any other unknown
// top-level tag, but written on purpose.
inline constexpr std::string_view kRootTag = "demo";

inline constexpr TScriptElementInfo kScriptElements[] = {
    {"resources", spTop, script_syntax::kResourcesAttributes, true},
    {"effect", spTop, script_syntax::kEffectAttributes, true},
    {"part", spTop, script_syntax::kPartAttributes, false},
    {"timeline", spTop, script_syntax::kTimelineAttributes, false},
    {"demo", spTop, {}, false},
    {"image", spResources, script_syntax::kFileAttributes, false},
    {"texture", spResources, script_syntax::kTextureAttributes, false},
    {"cubetexture", spResources, script_syntax::kTextureAttributes, false},
    {"mp3", spResources, script_syntax::kFileAttributes, false},
    {"consolefont", spResources, script_syntax::kFileAttributes, false},
    {"binary", spResources, script_syntax::kBinaryAttributes, false},
    {"property", spEffect, script_syntax::kPropertyAttributes, false},
    {"control", spEffect, script_syntax::kControlAttributes, true},
    {"key", spControl, script_syntax::kKeyAttributes, false},
};

// The element of that name read at that place, or null.
inline const TScriptElementInfo* FindScriptElement(std::string_view name, TScriptPlace place) {
    for (const TScriptElementInfo& element : kScriptElements)
        if (element.Place == place && (element.Name == name || place == spControl)) return &element;
    return nullptr;
}

// The resource tags and the kind of resource each makes.
struct TResourceTagInfo {
    std::string_view Name;
    TResourceKind Kind;
};
inline constexpr TResourceTagInfo kResourceTags[] = {
    {"image", rkImage}, {"texture", rkTexture},         {"cubetexture", rkCubeTexture},
    {"mp3", rkMp3},     {"consolefont", rkConsoleFont}, {"binary", rkBinary},
};

// Control kinds: how many values a key carries and the kind code. A name the
// table does not know reads as "float".
struct TControlKindInfo {
    std::string_view Name;
    int Count;
    uint8_t Code;
};
inline constexpr TControlKindInfo kControlKinds[] = {
    {"float", 1, ckFloat}, {"color", 4, ckColor}, {"pos", 3, ckPos}, {"euler", 3, ckEuler}};

// Control types and the interpolation each selects. A name the table does
// not know reads as "hold".
struct TControlTypeInfo {
    std::string_view Name;
    uint8_t AnimKind;
};
inline constexpr TControlTypeInfo kControlTypes[] = {
    {"hold", akHold}, {"linear", akLinear}, {"spline", akCardinalSpline}};
