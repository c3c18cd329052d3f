// Helpers of the scene loader tests: a data folder with the vertex programs a scene
// loads, a small sample scene as file records, and loading bytes into a scene.
#pragma once

#include <memory>
#include <vector>

#include "scene/loader/SmartY3dLoader.h"
#include "scene/loader/Y3dFile.h"
#include "tests/support/TestSupport.h"

// A scratch data folder holding a minimal text for every vertex program a
// scene loads; while it lives, names are looked up there (File mode).
class TSceneDataFolder {
public:
    TSceneDataFolder();
    ~TSceneDataFolder();
    const TempDir& Dir() const { return dir_; }

private:
    TempDir dir_;
};

// A mesh of `quads` unit quads in the xy plane side by side along x, with
// positions, normals (0, 0, 1) and texture coordinates, one triangle-list
// group using material `material`.
TY3dMesh QuadMesh(int32_t id, const char* name, int32_t quads = 1, int32_t material = 0);

// A node record with the given ids and translation.
TY3dNode Node(int32_t id, int32_t parent, int32_t reference, float x = 0, float y = 0, float z = 0);

// A small scene: a mesh node, an instancing child node with a track, a camera,
// a spot light, two embedded pictures, an opaque textured material and a
// transparent two-sided bump material.
TY3dDocument SampleDocument();

// Loads file bytes with a new loader on `device`.
std::unique_ptr<TSmartY3dLoader> LoadBytes(I3dDevice* device, const std::vector<uint8_t>& bytes,
                                           const std::string& name = "test.y3d");
