// Ts3dGeometryDef: a mesh in device buffers, shared by every object that
// instances it, with its bounds and optional tangent space.
#pragma once

#include <memory>

#include "scene/math/Matrix.h"
#include "scene/model/SceneBase.h"

class Ts3dGeometryDef : public Ts3dBase {
public:
    // An empty face list; no buffer yet, no streams.
    Ts3dGeometryDef();

    // Builds tangent space when all five stream numbers are set, finishes the
    // vertex buffer, and computes the per-group and overall bounds and spheres
    // from the vertices the face groups reference (stream 0 as positions).
    virtual void Build();

    // The index list the face groups draw from (list 0), or null.
    I3dIndexBuffer* Indices() const;
    // Stream `index` of the vertex buffer, or null when there is none.
    I3dVertexBuffer* Stream(int32_t index) const;
    int32_t StreamCount() const;

    TMatrix4 PivotMatrix = TMatrix::Identity(); // from the file; not used for drawing
    int32_t MaterialIndex = -1;                 // index into the loader's material list
    int32_t PositionStream = -1;
    int32_t NormalStream = -1;
    int32_t TexCoordStream = -1;
    int32_t BumpTexCoordStream = -1; // -1: no tangent space
    int32_t TangentStream = 0;
    int32_t BinormalStream = 0;
    TVector3 BoxCenter = {0, 0, 0};
    TVector3 BoxMin = {0, 0, 0};
    TVector3 BoxMax = {0, 0, 0};
    TVector3 SphereCenter = {0, 0, 0};
    float SphereRadius = 0.0f;
    TRefPtr<I3dObjectBuffer> VertexBuffer;
    TRefPtr<I3dFaceList> Faces;

    // Memory that streams of VertexBuffer point into (the interleaved vertex
    // block a scene file's mesh is read into); the buffer does not own it.
    std::unique_ptr<float[]> VertexBlock;
    // Set once the loader has doubled the indices of a two-sided material and
    // added tangent space, so that a mesh instanced by several nodes is not
    // doubled or given tangent streams again.
    bool Linked = false;
};
