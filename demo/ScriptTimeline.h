// Builds a demo's timeline from its script: the effects the script defines,
// made through the effect registry and loaded, and one part per script part.
// Start-up does this once; tests build their timelines the same way.
#pragma once

#include "demo/DemoEffect.h"
#include "script/FileXMLParser.h"

#include <vector>

class TDemo3dDevice;

// Makes the effects the script entry's class names (none for a class this
// program lacks), gives each the entry's name, properties and controls, adds
// it to the device and loads it. An error while loading passes on with the
// script file the effect is written in named in front. Returns the effects
// made.
std::vector<TRefPtr<IDemoEffect>> AddScriptEffect(const TEffectRegistry& registry, TDemo3dDevice& device,
                                                  TEffect& entry);

// Adds a part for each part of the script whose effect the device holds, in
// script order, and gives the device the script's end (its own
// <timeline end>, or the default). A part naming an effect the script does
// not define (or one of a class this program lacks) has nothing to draw and
// is left out.
void AddScriptParts(TDemo3dDevice& device, const TFileXMLParser& script);
