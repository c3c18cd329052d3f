// Loading the demo script's resources into the demo device, by kind: images,
// textures, cube textures, the music, the console font and raw data blocks.
// Start-up loads the resource section once with it; an effect that brings
// resources of its own (a scene with its pictures) can use it as well.
#pragma once

#include "demo/DemoInterfaces.h"
#include "script/ScriptModel.h"

#include <functional>

// Told before each resource is loaded: its number (1 for the first), how
// many there are, and the resource. Returning false stops the loading there
// (the program is being asked to end); the resources before it stay loaded.
using TResourceProgress = std::function<bool(int number, int count, const TResource& resource)>;

// Loads every resource of the collection in document order into the device
// and stores what each yields in its value record:
//   image         an image loaded from the file                  (kind 7)
//   texture       a texture made from the picture file, uploaded (kind 8)
//   cube texture  six faces from the name pattern ("posx" ... "negz") into a
//                 cube map, or the "negz" face alone as a 2D texture where
//                 the current context has no cube maps          (kind 9 or 8)
//   mp3           loaded into the device's music player, if it has one
//   console font  the device's console (LoadConsoleFont)
//   binary        the whole file as a data block                 (kind 10)
// Errors of the loaders pass on unchanged. Returns false when progress
// stopped the loading, true when every resource was loaded.
bool LoadScriptResources(IDemo3dDevice* device, TResources& resources,
                         const TResourceProgress& progress = {});

// Loads one resource as LoadScriptResources does. At start-up a picture that
// cannot be read leaves an empty image and a notice on standard error (the
// demo plays without it); with picturesMustLoad it is an error naming the
// file, for a reload that must keep the last good version instead.
void LoadScriptResource(IDemo3dDevice* device, TResource& resource, bool picturesMustLoad = false);
