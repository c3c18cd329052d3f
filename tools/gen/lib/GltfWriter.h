// TGltfWriter: writes a glTF 2.0 model (a .gltf text file and its .bin
// buffer) from generated meshes: nodes with their hierarchy, meshes with one
// material each, metal-roughness materials with an optional base-colour
// picture, perspective cameras, point lights (KHR_lights_punctual) and node
// animations. This is the form in which a modelling package hands a scene to
// mirel's importer, so a generator that writes it goes the author's way.
//
// Rotations are given as our TRotation (rows: the images of the axes) and
// stored as glTF's quaternions.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tools/gen/lib/GenMesh.h"

struct TGltfMaterial {
    std::string name;
    float baseColor[4] = {0.8f, 0.8f, 0.8f, 1.0f}; // alpha below 1: blended
    float metallic = 0.0f;
    float roughness = 0.6f;
    float emissive[3] = {0, 0, 0};
    bool doubleSided = false;
    std::string baseColorPicture; // file name beside the model, or empty
};

class TGltfWriter {
public:
    int Material(const TGltfMaterial& material);
    int Mesh(const std::string& name, const TGenMesh& mesh, int material);
    // A node; mesh, camera and light are -1 when the node has none.
    int Node(const std::string& name, const TPose& pose, int parent = -1, int mesh = -1);
    int Camera(const std::string& name, float verticalFovDegrees, float aspect, float nearClip,
               float farClip);
    int PointLight(const std::string& name, const float color[3], float intensity);
    void AttachCamera(int node, int camera);
    void AttachLight(int node, int light);
    // Translation and rotation keys of a node sampled from `pose` every
    // `step` seconds over `seconds` (linear interpolation in between).
    void Animate(int node, float seconds, float step, const std::function<TPose(float time)>& pose);

    // Writes NAME.gltf and NAME.bin into the folder.
    void Save(const std::string& folder, const std::string& name) const;

private:
    int Accessor(const void* data, size_t bytes, int count, const char* type, int componentType, int target,
                 const std::string& minMax = "");

    struct TNodeEntry {
        std::string name;
        TPose pose;
        std::vector<int> children;
        int mesh = -1, camera = -1, light = -1;
        bool root = true;
    };
    std::vector<uint8_t> buffer_;
    std::vector<std::string> bufferViews_, accessors_, meshes_, materials_, images_, cameras_, lights_,
        channels_, samplers_;
    std::vector<TNodeEntry> nodes_;
};
