// TGeomStuff: geometry generators and the tangent-space builder. A class used
// only as a namespace of static operations. All storage goes through the
// object-buffer, stream, index-list and face-list interfaces of the device.
#pragma once

#include <vector>

#include "Mirel3d/Mirel3dBase/Mirel3dBase.h"

// Format bits: which streams a generator appends, in this order.
enum : int32_t {
    gfPositions = 0x01, // 3 floats
    gfNormals = 0x02,   // 3 floats
    gfTexCoords = 0x20, // 2 floats (the sphere: components[2] floats)
};

class TGeomStuff {
public:
    // A flat grid in the xy plane centred on the origin, one triangle strip per
    // column of cells. When `buffer` is empty a new object buffer is made on
    // `device`; otherwise the streams and the index list are added to it.
    // Segment counts below 1 are taken as 1.
    static void GeneratePlane(I3dDevice* device, int32_t format, const std::vector<int32_t>& components,
                              TRefPtr<I3dObjectBuffer>& buffer, I3dFaceList* faces, float width, float height,
                              int32_t segmentsX, int32_t segmentsY);

    // A UV sphere around the z axis: a top fan, one strip per ring pair and a
    // bottom fan. Rings and segments below 3 are taken as 3.
    static void GenerateSphere(I3dDevice* device, int32_t format, const std::vector<int32_t>& components,
                               TRefPtr<I3dObjectBuffer>& buffer, I3dFaceList* faces, float radius,
                               int32_t segments, int32_t rings);

    // Per-vertex tangent, binormal and smoothed normal from the triangles of
    // the face list. Every index entry and vertex number is checked against
    // the streams first: one outside raises EIndexOutOfRange and nothing is
    // modified.
    static void BuildTangentSpace(I3dVertexBuffer* positions, I3dVertexBuffer* normals,
                                  I3dVertexBuffer* texCoords, I3dVertexBuffer* binormals,
                                  I3dVertexBuffer* tangents, I3dIndexBuffer* indices, I3dFaceList* faces);
};
