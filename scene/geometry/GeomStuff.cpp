#include "scene/geometry/GeomStuff.h"

#include <algorithm>
#include <cmath>

#include "platform/Format.h"
#include "scene/math/ExtendedMatrix.h"
#include "scene/math/Vector.h"

namespace {

constexpr uint8_t kFloat = 1; // data type of float streams

TVector3& Vec3(I3dVertexBuffer* s, int32_t i) {
    return *static_cast<TVector3*>(s->ElementAddress(i));
}
TVector2& Vec2(I3dVertexBuffer* s, int32_t i) {
    return *static_cast<TVector2*>(s->ElementAddress(i));
}

// Creates the buffer on the device when the caller passed none.
void EnsureBuffer(I3dDevice* device, TRefPtr<I3dObjectBuffer>& buffer) {
    if (!buffer) {
        if (!device) throw Exception("No device to create the vertex buffer on");
        device->CreateObjectBuffer(buffer);
    }
}

// Appends a zero-filled float stream of n elements of `floats` components.
TRefPtr<I3dVertexBuffer> AddFloatStream(I3dObjectBuffer* buffer, int32_t n, int32_t floats) {
    TRefPtr<I3dVertexBuffer> stream;
    buffer->AddStream(n, kFloat, stream, nullptr, uint8_t(std::clamp(floats, 1, 4) - 1));
    return stream;
}

} // namespace

void TGeomStuff::GeneratePlane(I3dDevice* device, int32_t format, const std::vector<int32_t>&,
                               TRefPtr<I3dObjectBuffer>& buffer, I3dFaceList* faces, float width,
                               float height, int32_t segmentsX, int32_t segmentsY) {
    segmentsX = std::max(1, segmentsX);
    segmentsY = std::max(1, segmentsY);
    EnsureBuffer(device, buffer);
    int32_t columns = segmentsX + 1;
    int32_t n = columns * (segmentsY + 1);
    TRefPtr<I3dVertexBuffer> positions, normals, texCoords;
    if (format & gfPositions) positions = AddFloatStream(buffer.Get(), n, 3);
    if (format & gfNormals) normals = AddFloatStream(buffer.Get(), n, 3);
    if (format & gfTexCoords) texCoords = AddFloatStream(buffer.Get(), n, 2);
    TRefPtr<I3dIndexBuffer> indices;
    buffer->AddIndexList(4 * n, nullptr, indices);

    for (int32_t i = 0; i <= segmentsY; i++) {
        for (int32_t j = 0; j <= segmentsX; j++) {
            int32_t k = columns * i + j;
            float u = float(j) / float(segmentsX), v = float(i) / float(segmentsY);
            if (positions)
                Vec3(positions.Get(), k) = {-width / 2 + width * u, -height / 2 + height * v, 0.0f};
            if (normals) Vec3(normals.Get(), k) = {0.0f, 0.0f, 1.0f};
            if (texCoords) Vec2(texCoords.Get(), k) = {u, v};
        }
    }
    // One strip per column of cells, running up the rows.
    for (int32_t s = 0; s < segmentsX; s++) {
        for (int32_t i = 0; i <= segmentsY; i++) {
            int32_t entry = 2 * (segmentsY + 1) * s + 2 * i;
            *indices->IndexAddress(entry) = uint32_t(columns * i + s);
            *indices->IndexAddress(entry + 1) = uint32_t(columns * i + s + 1);
        }
        if (faces) faces->AddFaceGroupEx(2 * (segmentsY + 1) * s, 2 * (segmentsY + 1), pkTriangleStrip, -1);
    }
}

void TGeomStuff::GenerateSphere(I3dDevice* device, int32_t format, const std::vector<int32_t>& components,
                                TRefPtr<I3dObjectBuffer>& buffer, I3dFaceList* faces, float radius,
                                int32_t segments, int32_t rings) {
    const int32_t R = std::max(3, rings), S = std::max(3, segments);
    const int32_t n = (R - 2) * (S + 1) + 2;
    EnsureBuffer(device, buffer);
    TRefPtr<I3dVertexBuffer> positions, normals, texCoords;
    if (format & gfPositions) positions = AddFloatStream(buffer.Get(), n, 3);
    if (format & gfNormals) normals = AddFloatStream(buffer.Get(), n, 3);
    if (format & gfTexCoords)
        texCoords = AddFloatStream(buffer.Get(), n, components.size() > 2 ? components[2] : 2);
    const int32_t indexCount = 2 * (S + 2) + (R - 3) * (2 * S + 2);
    TRefPtr<I3dIndexBuffer> indices;
    buffer->AddIndexList(indexCount, nullptr, indices);

    // Vertices: the poles, then rings 1..R-2 of S+1 vertices each (the last
    // one of a ring repeats its first). Texture coordinates, when asked for,
    // are (phi / 2pi, theta / pi).
    const double pi = 3.14159265358979323846;
    auto put = [&](int32_t k, const TVector3& p, const TVector3& nrm, float u, float v) {
        if (positions) Vec3(positions.Get(), k) = p;
        if (normals) Vec3(normals.Get(), k) = nrm;
        if (texCoords) {
            float* t = static_cast<float*>(texCoords->ElementAddress(k));
            t[0] = u;
            if (texCoords->GetComponents() >= 1) t[1] = v;
        }
    };
    put(0, {0.0f, 0.0f, radius}, {0.0f, 0.0f, 1.0f}, 0.0f, 0.0f);
    put(n - 1, {0.0f, 0.0f, -radius}, {0.0f, 0.0f, -1.0f}, 0.0f, 1.0f);
    int32_t k = 1;
    for (int32_t c = 1; c <= R - 2; c++) {
        float theta = float(pi * c / (R - 1));
        for (int32_t d = 0; d <= S; d++) {
            float phi = float(2.0 * pi * d / S);
            TVector3 p = TVector::FromSpherical(radius, phi, theta);
            put(k++, p, TVector::Normalize(p), float(d) / float(S), float(c) / float(R - 1));
        }
    }

    int32_t e = 0;
    auto index = [&](int32_t v) { *indices->IndexAddress(e++) = uint32_t(v); };
    // Top fan.
    index(0);
    for (int32_t d = 0; d <= S; d++)
        index(1 + d);
    // Strips between rings c and c + 1.
    for (int32_t c = 1; c <= R - 3; c++)
        for (int32_t d = 0; d <= S; d++) {
            index((S + 1) * (c - 1) + 1 + d);
            index((S + 1) * c + 1 + d);
        }
    // Bottom fan over the last ring in reverse order.
    index(n - 1);
    for (int32_t d = 0; d <= S; d++)
        index((S + 1) * (R - 3) + 1 + (S - d));

    if (faces) {
        faces->AddFaceGroupEx(0, S + 2, pkTriangleFan, -1);
        for (int32_t c = 1; c <= R - 3; c++)
            faces->AddFaceGroupEx(S + 2 + (c - 1) * (2 * S + 2), 2 * S + 2, pkTriangleStrip, -1);
        faces->AddFaceGroupEx(S + 2 + (R - 3) * (2 * S + 2), S + 2, pkTriangleFan, -1);
    }
}

namespace {

// Calls fn(entryA, entryB, entryC) with the index-entry numbers of every
// triangle of the face list, in order.
template <class Fn> void ForEachTriangle(I3dFaceList* faces, Fn fn) {
    int32_t groups = faces->GetCount();
    for (int32_t g = 0; g < groups; g++) {
        const T3dFaceGroup& group = *static_cast<const T3dFaceGroup*>(faces->ElementAddress(g));
        int32_t first = group.FirstIndex, count = group.IndexCount;
        switch (group.Primitive) {
        case pkTriangles:
            for (int32_t t = 0; t < count / 3; t++)
                fn(first + 3 * t, first + 3 * t + 1, first + 3 * t + 2);
            break;
        case pkTriangleStrip:
            for (int32_t t = 0; t <= count - 3; t++) {
                if (t % 2 == 0)
                    fn(first + t + 1, first + t, first + t + 2);
                else
                    fn(first + t, first + t + 1, first + t + 2);
            }
            break;
        case pkTriangleFan:
            for (int32_t t = 1; t <= count - 2; t++)
                fn(first, first + t, first + t + 1);
            break;
        default:
            break;
        }
    }
}

} // namespace

void TGeomStuff::BuildTangentSpace(I3dVertexBuffer* positions, I3dVertexBuffer* normals,
                                   I3dVertexBuffer* texCoords, I3dVertexBuffer* binormals,
                                   I3dVertexBuffer* tangents, I3dIndexBuffer* indices, I3dFaceList* faces) {
    if (!positions || !normals || !texCoords || !binormals || !tangents || !indices || !faces)
        throw Exception("BuildTangentSpace needs five streams, an index list and a face list");
    // Vertex numbers must address an element of every stream.
    const int32_t vertices = std::min({positions->GetCount(), normals->GetCount(), texCoords->GetCount(),
                                       binormals->GetCount(), tangents->GetCount()});
    const int32_t entries = indices->GetCount();
    auto vertexAt = [&](int32_t entry) -> int32_t {
        if (entry < 0 || entry >= entries)
            throw EIndexOutOfRange(Format(
                "Face group index entry %d lies outside the index list of %d entries", entry, entries));
        uint32_t v = *indices->IndexAddress(entry);
        if (v >= uint32_t(vertices))
            throw EIndexOutOfRange(
                Format("Index %u (entry %d) lies outside the streams of %d vertices", v, entry, vertices));
        return int32_t(v);
    };
    // Check everything before changing anything.
    ForEachTriangle(faces, [&](int32_t a, int32_t b, int32_t c) {
        vertexAt(a);
        vertexAt(b);
        vertexAt(c);
    });

    // The streams are addressed directly in the loops below (the same
    // element addresses ElementAddress gives).
    auto data = [](I3dVertexBuffer* s) { return static_cast<uint8_t*>(s->ElementAddress(0)); };
    uint8_t* const pData = data(positions);
    uint8_t* const nData = data(normals);
    uint8_t* const uvData = data(texCoords);
    uint8_t* const bData = data(binormals);
    uint8_t* const tData = data(tangents);
    const ptrdiff_t pStride = positions->GetStride(), nStride = normals->GetStride();
    const ptrdiff_t uvStride = texCoords->GetStride(), bStride = binormals->GetStride();
    const ptrdiff_t tStride = tangents->GetStride();
    auto at3 = [](uint8_t* data, ptrdiff_t stride, int32_t i) -> TVector3& {
        return *reinterpret_cast<TVector3*>(data + stride * i);
    };
    auto at2 = [](uint8_t* data, ptrdiff_t stride, int32_t i) -> TVector2& {
        return *reinterpret_cast<TVector2*>(data + stride * i);
    };
    const uint32_t* index = entries > 0 ? indices->IndexAddress(0) : nullptr;

    ForEachTriangle(faces, [&](int32_t ea, int32_t eb, int32_t ec) {
        const int32_t corner[3] = {int32_t(index[ea]), int32_t(index[eb]), int32_t(index[ec])};
        const int32_t a = corner[0], b = corner[1], c = corner[2];
        // The basis of the triangle, turned per corner towards that corner's
        // current normal (which already holds the sums of earlier triangles).
        const TMatrix3 basis = TExtendedMatrix::TangentBasisUnoriented(
            at3(pData, pStride, a), at3(pData, pStride, b), at3(pData, pStride, c), at2(uvData, uvStride, a),
            at2(uvData, uvStride, b), at2(uvData, uvStride, c));
        for (int32_t v : corner) {
            TVector3& nr = at3(nData, nStride, v);
            TMatrix3 m = TExtendedMatrix::OrientTangentBasis(basis, nr);
            TVector3& t = at3(tData, tStride, v);
            TVector3& bn = at3(bData, bStride, v);
            t = {t.x + m.m[0], t.y + m.m[3], t.z + m.m[6]};
            bn = {bn.x + m.m[1], bn.y + m.m[4], bn.z + m.m[7]};
            nr = {nr.x + m.m[2], nr.y + m.m[5], nr.z + m.m[8]};
        }
    });

    const int32_t count = normals->GetCount();
    for (int32_t v = 0; v < count; v++) {
        TVector3 N = TVector::Normalize(Vec3(normals, v));
        if (v < tangents->GetCount() && v < binormals->GetCount()) {
            TVector3 t = TVector::Normalize(Vec3(tangents, v));
            TVector3 B = TVector::Normalize(TVector::Cross(t, N));
            TVector3 T = TVector::Cross(N, B);
            Vec3(binormals, v) = B;
            Vec3(tangents, v) = T;
        }
        Vec3(normals, v) = N;
    }
}
