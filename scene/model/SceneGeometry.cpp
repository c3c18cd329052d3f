#include "scene/model/SceneGeometry.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "scene/geometry/GeomStuff.h"
#include "scene/math/Vector.h"

namespace {

// Per-group bounds are kept in the group record: box minimum, box maximum,
// box centre (also the sphere's centre) and the sphere radius in x.
enum { kGroupBoxMin = 0, kGroupBoxMax = 1, kGroupCenter = 2, kGroupRadius = 3 };

// Squared distance in double precision, as TVector::Length measures.
double Distance2(const TVector3& p, const TVector3& c) {
    TVector3 d = TVector::Subtract(p, c);
    return double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z;
}

} // namespace

Ts3dGeometryDef::Ts3dGeometryDef() : Faces(CreateFaceList()) {}

I3dIndexBuffer* Ts3dGeometryDef::Indices() const {
    if (!VertexBuffer) return nullptr;
    T3dIndexBufferList* lists = VertexBuffer->GetIndexBuffers();
    return lists->Items.empty() ? nullptr : lists->Items[0].Get();
}

I3dVertexBuffer* Ts3dGeometryDef::Stream(int32_t index) const {
    if (!VertexBuffer || index < 0) return nullptr;
    T3dVertexBufferList* streams = VertexBuffer->GetVertexBuffers();
    return size_t(index) < streams->Items.size() ? streams->Items[size_t(index)].Get() : nullptr;
}

int32_t Ts3dGeometryDef::StreamCount() const {
    return VertexBuffer ? int32_t(VertexBuffer->GetVertexBuffers()->Items.size()) : 0;
}

void Ts3dGeometryDef::Build() {
    if (!VertexBuffer) return;
    I3dIndexBuffer* indices = Indices();

    // 1. Tangent space, when the loader has asked for it.
    if (PositionStream >= 0 && NormalStream >= 0 && BumpTexCoordStream >= 0 && TangentStream >= 0 &&
        BinormalStream >= 0) {
        I3dVertexBuffer* positions = Stream(PositionStream);
        I3dVertexBuffer* normals = Stream(NormalStream);
        I3dVertexBuffer* coords = Stream(BumpTexCoordStream);
        I3dVertexBuffer* binormals = Stream(BinormalStream);
        I3dVertexBuffer* tangents = Stream(TangentStream);
        if (positions && normals && coords && binormals && tangents && indices)
            TGeomStuff::BuildTangentSpace(positions, normals, coords, binormals, tangents, indices,
                                          Faces.Get());
    }

    // 2. The buffer hands its memory to OpenGL from now on.
    VertexBuffer->Commit();

    // 3-4. Bounds and spheres from the vertices the groups reference.
    I3dVertexBuffer* positions = Stream(0);
    const int32_t groups = Faces->GetCount();
    if (!positions || !indices) return;
    const int32_t vertexCount = positions->GetCount();
    const int32_t indexCount = indices->GetCount();
    const uint8_t* positionData = static_cast<const uint8_t*>(positions->ElementAddress(0));
    const ptrdiff_t stride = positions->GetStride();
    const uint32_t* index = indexCount > 0 ? indices->IndexAddress(0) : nullptr;
    auto positionOf = [&](uint32_t v) -> const TVector3& {
        return *reinterpret_cast<const TVector3*>(positionData + stride * v);
    };

    // The distinct vertices each group references, each listed once (a
    // group's indices name most vertices several times; the bounds need each
    // only once): group i's are referenced[firsts[i] .. firsts[i + 1]).
    // Index ranges and vertex numbers outside the buffers are skipped: the
    // loader refuses such files, but geometry built by code is not checked.
    std::vector<uint32_t> lastGroup(size_t(vertexCount), 0); // group number + 1 that last listed it
    std::vector<uint32_t> referenced;
    referenced.reserve(size_t(std::min<int64_t>(indexCount, int64_t(vertexCount) * std::max(groups, 1))));
    std::vector<size_t> firsts(size_t(groups) + 1, 0);
    for (int32_t i = 0; i < groups; i++) {
        const auto* g = static_cast<const T3dFaceGroup*>(Faces->ElementAddress(i));
        const int64_t first = std::max<int64_t>(g->FirstIndex, 0);
        const int64_t last = std::min<int64_t>(int64_t(g->FirstIndex) + g->IndexCount, indexCount);
        const uint32_t mark = uint32_t(i) + 1;
        firsts[size_t(i)] = referenced.size();
        for (int64_t k = first; k < last; k++) {
            const uint32_t v = index[k];
            if (v < uint32_t(vertexCount) && lastGroup[v] != mark) {
                lastGroup[v] = mark;
                referenced.push_back(v);
            }
        }
    }
    firsts[size_t(groups)] = referenced.size();
    auto forEachVertex = [&](int32_t group, auto&& visit) {
        for (size_t k = firsts[size_t(group)]; k < firsts[size_t(group) + 1]; k++)
            visit(positionOf(referenced[k]));
    };

    // Pass 1: the box of every group, and of the whole geometry.
    TVector3 boxMin = {1000000.0f, 1000000.0f, 1000000.0f};
    TVector3 boxMax = {-1000000.0f, -1000000.0f, -1000000.0f};
    for (int32_t i = 0; i < groups; i++) {
        auto* g = static_cast<T3dFaceGroup*>(Faces->ElementAddress(i));
        TVector3 lo = {1000000.0f, 1000000.0f, 1000000.0f};
        TVector3 hi = {-1000000.0f, -1000000.0f, -1000000.0f};
        forEachVertex(i, [&](const TVector3& p) {
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        });
        g->Bounds[kGroupBoxMin] = lo;
        g->Bounds[kGroupBoxMax] = hi;
        g->Bounds[kGroupCenter] = TVector::Scale(TVector::Add(lo, hi), 0.5f);
        boxMin = {std::min(boxMin.x, lo.x), std::min(boxMin.y, lo.y), std::min(boxMin.z, lo.z)};
        boxMax = {std::max(boxMax.x, hi.x), std::max(boxMax.y, hi.y), std::max(boxMax.z, hi.z)};
    }
    BoxMin = boxMin;
    BoxMax = boxMax;
    BoxCenter = TVector::Scale(TVector::Add(boxMin, boxMax), 0.5f);
    SphereCenter = BoxCenter;

    // Pass 2: the largest distance from each group's centre and from the
    // geometry's; square roots are taken once, of the largest squares.
    double radius2 = 0.0;
    for (int32_t i = 0; i < groups; i++) {
        auto* g = static_cast<T3dFaceGroup*>(Faces->ElementAddress(i));
        const TVector3 center = g->Bounds[kGroupCenter];
        double group2 = 0.0;
        forEachVertex(i, [&](const TVector3& p) {
            group2 = std::max(group2, Distance2(p, center));
            radius2 = std::max(radius2, Distance2(p, BoxCenter));
        });
        g->Bounds[kGroupRadius] = {float(std::sqrt(group2)), 0.0f, 0.0f};
    }
    SphereRadius = float(std::sqrt(radius2));
}
