// TSceneKit: assembles a scene file from generated meshes the way an
// exporter would write it. Nodes get ids in the order they are added; a mesh
// node carries its own mesh, an instance node shows the mesh of another node
// (by reference id), cameras and lights sit on nodes of their own. Pictures
// and materials are collected by name and written last.
//
// Animation is given as functions of the scene frame and sampled into the
// file's key tracks every `step` frames.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "scene/loader/Y3dFile.h"
#include "tools/gen/lib/GenMesh.h"

// A material in the colours and maps a modelling package would export.
struct TKitMaterial {
    float diffuse[3] = {0.8f, 0.8f, 0.8f};
    float opacity = 1.0f;            // below 1: blended, drawn back to front
    float ambient[3] = {-1, -1, -1}; // negative: the diffuse colour
    float specular[3] = {0, 0, 0};
    float emissive[3] = {0, 0, 0};
    float glossiness = 0.3f; // shininess / 100
    bool twoSided = false;
    std::string diffuseMap, bumpMap, reflectionMap; // picture file names
    float diffuseAmount = 1.0f, reflectionAmount = 1.0f;
};

struct TKitLight {
    float color[3] = {1, 1, 1};
    float intensity = 1.0f;
    bool spot = false;
    float cone = 60.0f; // full cone, degrees
    bool castsShadows = false;
    float shadowNear = 1.0f, shadowFar = 100.0f;
    bool specular = true;
};

class TSceneKit {
public:
    TSceneKit(const float background[3], const float ambient[3]);

    // Materials by name; the first definition counts.
    void Material(const std::string& name, const TKitMaterial& material);
    // A node with its own mesh drawn with the named material; returns its id.
    int Mesh(const std::string& name, const TGenMesh& mesh, const std::string& material, const TPose& pose,
             int parent = 0);
    // A node that shows the mesh of node `meshNode`.
    int Instance(const std::string& name, int meshNode, const TPose& pose, int parent = 0);
    // A node with nothing on it (a pivot for children).
    int Pivot(const std::string& name, const TPose& pose, int parent = 0);
    int Camera(const std::string& name, const TPose& pose, float fovDegrees, float nearClip, float farClip,
               int parent = 0);
    int Light(const std::string& name, const TKitLight& light, const TPose& pose, int parent = 0);

    // Position and rotation keys sampled from `pose` at frames 0, step, ...,
    // up to `frames`.
    void Animate(int node, int frames, int step, const std::function<TPose(float frame)>& pose);
    // Position keys only.
    void Move(int node, int frames, int step, const std::function<V3(float frame)>& position);

    // Triangles of every drawn node (instances count their mesh again).
    size_t TriangleCount() const;
    const TY3dDocument& Document() const { return document_; }
    void Save(const std::string& path) const { SaveY3dFile(document_, path); }

private:
    TY3dObject& NewObject(const std::string& name, const TPose& pose, int parent);
    int PictureIndex(const std::string& file);

    TY3dDocument document_;
    std::map<std::string, int> materials_; // name -> index of the MTRL chunk
    std::map<std::string, int> pictures_;  // file -> index of the TXTR chunk
    std::map<int, size_t> meshTriangles_;  // node id -> triangles of its mesh
    int nextId_ = 1;
};
