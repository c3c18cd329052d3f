// Helpers of the content tests: a data folder holding the demo's built
// content with the vertex programs and scripts of content/, and a hidden GL
// window shared by a test suite for loading scenes.
#pragma once

#include <memory>
#include <string>

#include "scene/loader/SmartY3dLoader.h"
#include "tests/support/GlTestWindow.h"
#include "tests/support/TestSupport.h"

// A scratch folder that shows every built content file (scenes, pictures,
// soundtrack) and every text of content/ (vertex programs, scripts), with a
// "data" entry pointing at itself for the scripts' resource location. While
// it lives, names are looked up there (File mode).
class TContentFolder {
public:
    TContentFolder();
    ~TContentFolder();
    const TempDir& Dir() const { return dir_; }
    // Adds a file of another folder under its own name.
    void Add(const std::string& path);

private:
    TempDir dir_;
};

// Loads a scene file by name from the current data folder.
std::unique_ptr<TSmartY3dLoader> LoadScene(I3dDevice* device, const std::string& name);

// The combiner set-up the material handler picks for a material, by the
// stages it plans: "plain opaque", "plain blended", "bump", "diffuse
// texture", "reflection", "bump with diffuse texture", "diffuse texture with
// reflection", or "none" when no set-up fits.
std::string SetupOf(Ts3dScene* scene, Ts3dMaterial* material);
