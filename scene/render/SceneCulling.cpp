// View-frustum culling by bounding sphere in eye space.
#include <cmath>

#include "scene/render/SceneRenderSupport.h"

// The six planes come from the rows r0..r3 of the projection matrix P:
// r3 - r0, r3 + r0, r3 + r1, r3 - r1, r3 - r2, r3 + r2, each scaled to a unit
// normal. An object is visible when its sphere reaches inside every plane.
// Objects without a material or a node cannot be drawn and are left out.
void Ts3dFrustumCulling::Cull() {
    I3dContext* c = Scene->Context();
    T3dMatrix p{};
    c->GetMatrix(mkProjection, p);
    auto row = [&](int i) { return TVector4{p.m[i], p.m[4 + i], p.m[8 + i], p.m[12 + i]}; };
    const TVector4 r0 = row(0), r1 = row(1), r2 = row(2), r3 = row(3);
    auto plane = [](const TVector4& a, const TVector4& b, float sign) {
        TVector4 q = {a.x + sign * b.x, a.y + sign * b.y, a.z + sign * b.z, a.w + sign * b.w};
        const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z);
        return length > 0.0f ? TVector4{q.x / length, q.y / length, q.z / length, q.w / length} : q;
    };
    Planes[0] = plane(r3, r0, -1.0f);
    Planes[1] = plane(r3, r0, 1.0f);
    Planes[2] = plane(r3, r1, 1.0f);
    Planes[3] = plane(r3, r1, -1.0f);
    Planes[4] = plane(r3, r2, -1.0f);
    Planes[5] = plane(r3, r2, 1.0f);
    for (Ts3dObject* object : *Objects) {
        if (!object->Material || !object->Node) continue;
        const TVector3& e = object->EyeCenter;
        bool inside = true;
        for (const TVector4& n : Planes)
            if (!(n.x * e.x + n.y * e.y + n.z * e.z + n.w > -object->Radius)) {
                inside = false;
                break;
            }
        if (inside) Visible->Add(object);
    }
}
