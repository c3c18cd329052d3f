// mirel scene import: turns a model that assimp reads (glTF 2.0, Wavefront
// OBJ with its .mtl, and whatever else assimp knows) into the plain records of
// a scene file (scene/loader/Y3dFile.h), which the writer then saves.
//
// What is carried over: the node hierarchy (one IPRS node per model node,
// translation and rotation; scales are baked into the meshes below them),
// triangulated meshes with positions, normals (flat ones when the model has
// none) and the first texture-coordinate set, materials with their colours,
// shininess, two-sidedness, transparency and the diffuse, bump and
// reflection maps, pictures by reference or embedded, perspective cameras,
// point and spot lights, and node animations sampled into CTRL tracks. What
// cannot be carried over is named in a warning, and so is what assimp drops
// while reading. A model without a camera or a light gets one, so that it
// can be seen; an orthographic camera becomes a perspective one showing the
// same extent. Refused: numbers that are not finite, a model with nothing to
// draw, glTF 1.0 (which assimp reads wrongly).
#pragma once

#include <string>
#include <vector>

#include "scene/loader/Y3dFile.h"

struct TSceneImportOptions {
    double Fps = 30.0;          // node animations are sampled at this rate; key i lies at frame i
    bool EmbedTextures = false; // embed referenced pictures instead of naming them
    bool Shadows = true;        // spot lights cast shadows
    float Background[3] = {0.0f, 0.0f, 0.0f};
    float Ambient[3] = {0.2f, 0.2f, 0.2f}; // the scene's global ambient light
    bool AmbientGiven = false;             // Ambient was given: the model's ambient lights do not add to it
    float LightScale = 1.0f;               // multiplies every light's intensity
    bool DefaultCamera = true;             // a model without a camera gets one framing it (else refused)
    bool DefaultLight = true;              // a model without a light gets one (else refused)
    bool AllowEmpty = false;               // a model with nothing to draw is kept (else refused)
};

struct TSceneImportResult {
    TY3dDocument Document;
    std::vector<std::string> Warnings; // what could not be carried over, one line each
    // What the summary line tells.
    int32_t Nodes = 0;
    int32_t Meshes = 0;
    int32_t Cameras = 0;
    int32_t Lights = 0;
    int32_t AnimatedNodes = 0;
    int32_t LastFrame = 0; // frame of the last animation key (0 without animation)
};

// Reads the model file. Raises Exception, naming the file, when it cannot be
// read or holds something unusable (a picture that cannot be decoded, a
// number that is not finite), or lacks what the options require.
TSceneImportResult ImportScene(const std::string& path, const TSceneImportOptions& options);
