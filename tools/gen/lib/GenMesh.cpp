#include "tools/gen/lib/GenMesh.h"

#include <algorithm>
#include <map>
#include <tuple>

uint32_t TGenMesh::Add(const TGenVertex& vertex) {
    Vertices.push_back(vertex);
    return uint32_t(Vertices.size() - 1);
}

void TGenMesh::Triangle(uint32_t a, uint32_t b, uint32_t c) {
    const TGenVertex &va = Vertices[a], &vb = Vertices[b], &vc = Vertices[c];
    V3 face = Cross(vb.p - va.p, vc.p - va.p);
    // Slivers at poles and on axes add nothing but work for the rasteriser.
    float scale = std::max({Length(vb.p - va.p), Length(vc.p - va.p), 1e-12f});
    if (Length(face) < 1e-7f * scale * scale) return;
    if (Dot(face, va.n + vb.n + vc.n) < 0.0f) std::swap(b, c);
    Indices.insert(Indices.end(), {a, b, c});
}

void TGenMesh::Append(const TGenMesh& other) {
    uint32_t base = uint32_t(Vertices.size());
    Vertices.insert(Vertices.end(), other.Vertices.begin(), other.Vertices.end());
    for (uint32_t i : other.Indices)
        Indices.push_back(base + i);
}

TGenMesh& TGenMesh::Place(const TRotation& rotation, V3 offset) {
    for (TGenVertex& v : Vertices) {
        v.p = Apply(v.p, rotation) + offset;
        v.n = Apply(v.n, rotation);
    }
    return *this;
}

TGenMesh& TGenMesh::Scale(V3 f) {
    for (TGenVertex& v : Vertices) {
        v.p = {v.p.x * f.x, v.p.y * f.y, v.p.z * f.z};
        v.n = Normalize({v.n.x / f.x, v.n.y / f.y, v.n.z / f.z});
    }
    return *this;
}

TGenMesh& TGenMesh::ScaleUv(float su, float sv) {
    for (TGenVertex& v : Vertices) {
        v.u *= su;
        v.v *= sv;
    }
    return *this;
}

TGenMesh& TGenMesh::SmoothNormals() {
    // Vertices at one place, found through their rounded coordinates.
    std::map<std::tuple<long, long, long>, V3> sums;
    auto key = [](V3 p) {
        return std::make_tuple(std::lround(p.x * 1e4f), std::lround(p.y * 1e4f), std::lround(p.z * 1e4f));
    };
    for (size_t t = 0; t + 2 < Indices.size(); t += 3) {
        const V3 &a = Vertices[Indices[t]].p, &b = Vertices[Indices[t + 1]].p,
                 &c = Vertices[Indices[t + 2]].p;
        V3 face = Cross(b - a, c - a); // its length is twice the area
        for (int k = 0; k < 3; k++) {
            V3& sum = sums[key(Vertices[Indices[t + size_t(k)]].p)];
            sum = sum + face;
        }
    }
    for (TGenVertex& v : Vertices) {
        auto found = sums.find(key(v.p));
        if (found != sums.end() && Length(found->second) > 0.0f) v.n = Normalize(found->second);
    }
    return *this;
}

TGenMesh Surface(int nu, int nv, const std::function<TGenVertex(float s, float t)>& at) {
    TGenMesh m;
    nu = std::max(nu, 1);
    nv = std::max(nv, 1);
    m.Vertices.reserve(size_t(nu + 1) * size_t(nv + 1));
    for (int j = 0; j <= nv; j++)
        for (int i = 0; i <= nu; i++)
            m.Add(at(float(i) / float(nu), float(j) / float(nv)));
    auto index = [&](int i, int j) { return uint32_t(j * (nu + 1) + i); };
    for (int j = 0; j < nv; j++)
        for (int i = 0; i < nu; i++) {
            m.Triangle(index(i, j), index(i + 1, j), index(i + 1, j + 1));
            m.Triangle(index(i, j), index(i + 1, j + 1), index(i, j + 1));
        }
    return m;
}

std::vector<TProfilePoint> RoundCorners(const std::vector<TProfilePoint>& profile, float radius, int steps) {
    if (profile.size() < 3 || radius <= 0.0f || steps < 1) return profile;
    std::vector<TProfilePoint> out;
    out.push_back(profile.front());
    for (size_t i = 1; i + 1 < profile.size(); i++) {
        V3 prev{profile[i - 1].r, profile[i - 1].y, 0}, here{profile[i].r, profile[i].y, 0},
            next{profile[i + 1].r, profile[i + 1].y, 0};
        V3 a = prev - here, b = next - here;
        float la = Length(a), lb = Length(b);
        if (la < 1e-6f || lb < 1e-6f) {
            out.push_back(profile[i]);
            continue;
        }
        a = a * (1.0f / la);
        b = b * (1.0f / lb);
        float cosAngle = std::clamp(Dot(a, b), -1.0f, 1.0f);
        float angle = std::acos(cosAngle); // inner angle at the corner
        if (angle > kGenPi * 0.97f) {      // straight on: nothing to round
            out.push_back(profile[i]);
            continue;
        }
        // Distance from the corner to where the arc touches each edge.
        float tangentLength = radius / std::tan(angle * 0.5f);
        float limit = 0.5f * std::min(la, lb);
        float r = radius;
        if (tangentLength > limit) {
            tangentLength = limit;
            r = tangentLength * std::tan(angle * 0.5f);
        }
        V3 start = here + a * tangentLength, end = here + b * tangentLength;
        V3 bisector = Normalize(a + b);
        V3 centre = here + bisector * (r / std::sin(angle * 0.5f));
        V3 from = start - centre, to = end - centre;
        float sweep = std::acos(std::clamp(Dot(Normalize(from), Normalize(to)), -1.0f, 1.0f));
        // Turn `from` towards `to` in the plane of the profile.
        float sign = (from.x * to.y - from.y * to.x) >= 0.0f ? 1.0f : -1.0f;
        for (int k = 0; k <= steps; k++) {
            float t = sweep * float(k) / float(steps) * sign;
            float c = std::cos(t), s = std::sin(t);
            V3 p = centre + V3{from.x * c - from.y * s, from.x * s + from.y * c, 0};
            out.push_back({std::max(p.x, 0.0f), p.y});
        }
    }
    out.push_back(profile.back());
    return out;
}

TGenMesh Lathe(const std::vector<TProfilePoint>& input, int segments, float vLength) {
    // Drop repeated points; what remains has edges of some length.
    std::vector<TProfilePoint> profile;
    for (const TProfilePoint& p : input)
        if (profile.empty() || std::hypot(p.r - profile.back().r, p.y - profile.back().y) > 1e-6f)
            profile.push_back(p);
    TGenMesh m;
    if (profile.size() < 2) return m;
    // Outward normal of each edge in the (r, y) plane.
    std::vector<V3> edgeNormal;
    for (size_t i = 0; i + 1 < profile.size(); i++) {
        float dr = profile[i + 1].r - profile[i].r, dy = profile[i + 1].y - profile[i].y;
        edgeNormal.push_back(Normalize(V3{dy, -dr, 0}));
    }
    // Rings: a profile point with its normal; a sharp corner gives two rings
    // at the same place with the normals of its two edges.
    struct Ring {
        float r, y, nr, ny, v;
        bool joinsPrevious;
    };
    std::vector<Ring> rings;
    float length = 0.0f;
    for (size_t i = 0; i < profile.size(); i++) {
        if (i > 0) length += std::hypot(profile[i].r - profile[i - 1].r, profile[i].y - profile[i - 1].y);
        float v = length / vLength;
        if (i == 0 || i + 1 == profile.size()) {
            V3 n = edgeNormal[i == 0 ? 0 : i - 1];
            rings.push_back({profile[i].r, profile[i].y, n.x, n.y, v, i > 0});
            continue;
        }
        V3 n1 = edgeNormal[i - 1], n2 = edgeNormal[i];
        if (Dot(n1, n2) < std::cos(Radians(50.0f))) {
            rings.push_back({profile[i].r, profile[i].y, n1.x, n1.y, v, true});
            rings.push_back({profile[i].r, profile[i].y, n2.x, n2.y, v, false});
        } else {
            V3 n = Normalize(n1 + n2);
            rings.push_back({profile[i].r, profile[i].y, n.x, n.y, v, true});
        }
    }
    segments = std::max(segments, 3);
    const uint32_t perRing = uint32_t(segments + 1);
    for (const Ring& ring : rings)
        for (int k = 0; k <= segments; k++) {
            float a = 2.0f * kGenPi * float(k) / float(segments);
            float c = std::cos(a), s = -std::sin(a);
            m.Add({{ring.r * c, ring.y, ring.r * s},
                   {ring.nr * c, ring.ny, ring.nr * s},
                   float(k) / segments,
                   ring.v});
        }
    for (size_t j = 1; j < rings.size(); j++) {
        if (!rings[j].joinsPrevious) continue;
        uint32_t lower = uint32_t(j - 1) * perRing, upper = uint32_t(j) * perRing;
        for (uint32_t k = 0; k < uint32_t(segments); k++) {
            m.Triangle(lower + k, lower + k + 1, upper + k + 1);
            m.Triangle(lower + k, upper + k + 1, upper + k);
        }
    }
    return m;
}

TGenMesh Sphere(float radius, int segments, int rings) {
    return Surface(segments, rings, [&](float s, float t) {
        float lon = 2.0f * kGenPi * s, lat = kGenPi * (t - 0.5f);
        V3 n{std::cos(lat) * std::cos(lon), std::sin(lat), -std::cos(lat) * std::sin(lon)};
        return TGenVertex{n * radius, n, s, t};
    });
}

TGenMesh Torus(float ringRadius, float tubeRadius, int segments, int sides) {
    return Surface(segments, sides, [&](float s, float t) {
        float phi = 2.0f * kGenPi * s, theta = 2.0f * kGenPi * t;
        V3 d{std::cos(phi), 0, -std::sin(phi)};
        V3 n = d * std::cos(theta) + V3{0, 1, 0} * std::sin(theta);
        return TGenVertex{d * ringRadius + n * tubeRadius, n, s, t};
    });
}

namespace {

// Coordinates along one axis of a rounded box: bevel steps at both ends,
// a few even steps across the flat middle.
std::vector<float> BoxAxis(float half, float radius, int bevelSteps) {
    std::vector<float> out;
    float inner = half - radius;
    int middle = std::clamp(int(2.0f * inner / std::max(radius, 1e-3f) / 2.0f), 2, 8);
    for (int k = 0; k < bevelSteps; k++)
        out.push_back(-half + radius * float(k) / float(bevelSteps));
    for (int k = 0; k < middle; k++)
        out.push_back(-inner + 2.0f * inner * float(k) / float(middle));
    for (int k = 0; k <= bevelSteps; k++)
        out.push_back(inner + radius * float(k) / float(bevelSteps));
    return out;
}

float Component(const V3& v, int axis) {
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}
void SetComponent(V3& v, int axis, float value) {
    (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = value;
}

} // namespace

TGenMesh RoundedBox(V3 size, float radius, int bevelSteps, float uvUnit) {
    V3 half = size * 0.5f;
    radius = std::clamp(radius, 1e-3f, std::min({half.x, half.y, half.z}));
    bevelSteps = std::max(bevelSteps, 1);
    V3 inner = half - V3{radius, radius, radius};
    TGenMesh m;
    for (int axis = 0; axis < 3; axis++)
        for (float sign : {-1.0f, 1.0f}) {
            int b = (axis + 1) % 3, c = (axis + 2) % 3;
            std::vector<float> lb = BoxAxis(Component(half, b), radius, bevelSteps);
            std::vector<float> lc = BoxAxis(Component(half, c), radius, bevelSteps);
            TGenMesh face;
            for (float qc : lc)
                for (float qb : lb) {
                    V3 q;
                    SetComponent(q, axis, sign * Component(half, axis));
                    SetComponent(q, b, qb);
                    SetComponent(q, c, qc);
                    V3 clamped{std::clamp(q.x, -inner.x, inner.x), std::clamp(q.y, -inner.y, inner.y),
                               std::clamp(q.z, -inner.z, inner.z)};
                    V3 n = Normalize(q - clamped);
                    face.Add({clamped + n * radius, n, qb / uvUnit, qc / uvUnit});
                }
            uint32_t nb = uint32_t(lb.size());
            for (uint32_t j = 0; j + 1 < lc.size(); j++)
                for (uint32_t i = 0; i + 1 < nb; i++) {
                    uint32_t a = j * nb + i;
                    face.Triangle(a, a + 1, a + nb + 1);
                    face.Triangle(a, a + nb + 1, a + nb);
                }
            m.Append(face);
        }
    return m;
}

TGenMesh Tube(const std::function<V3(float t)>& curve, float radius, int segments, int sides) {
    segments = std::max(segments, 3);
    sides = std::max(sides, 3);
    const size_t count = size_t(segments);
    std::vector<V3> point(count), tangent(count), normal(count);
    for (int i = 0; i < segments; i++)
        point[size_t(i)] = curve(float(i) / float(segments));
    for (int i = 0; i < segments; i++)
        tangent[size_t(i)] =
            Normalize(point[size_t((i + 1) % segments)] - point[size_t((i + segments - 1) % segments)]);
    // Carry a normal along the curve (parallel transport)...
    V3 seed = std::fabs(tangent[0].y) < 0.9f ? V3{0, 1, 0} : V3{1, 0, 0};
    normal[0] = Normalize(seed - tangent[0] * Dot(seed, tangent[0]));
    for (int i = 1; i < segments; i++) {
        V3 n = normal[size_t(i - 1)];
        normal[size_t(i)] = Normalize(n - tangent[size_t(i)] * Dot(n, tangent[size_t(i)]));
    }
    // ...and spread the twist it gathered over the loop evenly along it.
    V3 last =
        Normalize(normal[size_t(segments - 1)] - tangent[0] * Dot(normal[size_t(segments - 1)], tangent[0]));
    float twist = std::atan2(Dot(Cross(last, normal[0]), tangent[0]), Dot(last, normal[0]));
    TGenMesh m;
    for (int i = 0; i <= segments; i++) {
        size_t k = size_t(i % segments);
        float turn = twist * float(i) / float(segments);
        V3 n0 = normal[k], b0 = Cross(tangent[k], n0);
        V3 n = n0 * std::cos(turn) + b0 * std::sin(turn);
        V3 b = Cross(tangent[k], n);
        for (int j = 0; j <= sides; j++) {
            float a = 2.0f * kGenPi * float(j) / float(sides);
            V3 dir = n * std::cos(a) + b * std::sin(a);
            m.Add({point[k] + dir * radius, dir, float(i) / float(segments), float(j) / float(sides)});
        }
    }
    uint32_t per = uint32_t(sides + 1);
    for (uint32_t i = 0; i < uint32_t(segments); i++)
        for (uint32_t j = 0; j < uint32_t(sides); j++) {
            uint32_t a = i * per + j;
            m.Triangle(a, a + per, a + per + 1);
            m.Triangle(a, a + per + 1, a + 1);
        }
    return m;
}

V3 TorusKnotPoint(int p, int q, float ringRadius, float tubeRadius, float t) {
    float a = 2.0f * kGenPi * t;
    float r = ringRadius + tubeRadius * std::cos(float(q) * a);
    return {r * std::cos(float(p) * a), tubeRadius * std::sin(float(q) * a), -r * std::sin(float(p) * a)};
}

TGenMesh Gear(int teeth, float rootRadius, float tipRadius, float holeRadius, float thickness,
              float chamfer) {
    teeth = std::max(teeth, 3);
    // The outline: per tooth a root stretch, a flank up, the tip, a flank
    // down; angles as fractions of one tooth's share of the circle.
    const float shape[][2] = {{0.0f, 0},  {0.12f, 0}, {0.30f, 1}, {0.41f, 1},
                              {0.52f, 1}, {0.70f, 0}, {0.85f, 0}};
    std::vector<V3> outline;
    for (int t = 0; t < teeth; t++)
        for (const auto& s : shape) {
            float a = 2.0f * kGenPi * (float(t) + s[0]) / float(teeth);
            float r = s[1] > 0.5f ? tipRadius : rootRadius;
            outline.push_back({r * std::cos(a), 0, -r * std::sin(a)});
        }
    const size_t n = outline.size();
    std::vector<V3> edgeNormal(n);
    for (size_t i = 0; i < n; i++)
        edgeNormal[i] = Normalize(Cross(outline[(i + 1) % n] - outline[i], V3{0, 1, 0}));
    // The outline moved inwards by the chamfer (mitred corners).
    std::vector<V3> inset(n);
    for (size_t i = 0; i < n; i++) {
        V3 n1 = edgeNormal[(i + n - 1) % n], n2 = edgeNormal[i];
        float d = std::max(1.0f + Dot(n1, n2), 0.3f);
        inset[i] = outline[i] - (n1 + n2) * (chamfer / d);
    }
    const float top = thickness * 0.5f, side = top - chamfer;
    TGenMesh m;
    auto quad = [&](V3 a, V3 b, V3 c, V3 d, V3 normal) {
        uint32_t ia = m.Add({a, normal, a.x, a.z}), ib = m.Add({b, normal, b.x, b.z});
        uint32_t ic = m.Add({c, normal, c.x, c.z}), id = m.Add({d, normal, d.x, d.z});
        m.Triangle(ia, ib, ic);
        m.Triangle(ia, ic, id);
    };
    const V3 up{0, 1, 0};
    for (size_t i = 0; i < n; i++) {
        size_t j = (i + 1) % n;
        V3 en = edgeNormal[i];
        auto at = [](V3 p, float y) { return V3{p.x, y, p.z}; };
        // The wall, flat per edge for crisp teeth, and the two chamfers.
        quad(at(outline[i], -side), at(outline[j], -side), at(outline[j], side), at(outline[i], side), en);
        quad(at(outline[i], side), at(outline[j], side), at(inset[j], top), at(inset[i], top),
             Normalize(en + up));
        quad(at(inset[i], -top), at(inset[j], -top), at(outline[j], -side), at(outline[i], -side),
             Normalize(en - up));
        // The faces: from the axle hole out to the chamfered outline.
        auto hole = [&](size_t k, float y) {
            V3 d = Normalize(V3{outline[k].x, 0, outline[k].z});
            return V3{d.x * holeRadius, y, d.z * holeRadius};
        };
        quad(hole(i, top), at(inset[i], top), at(inset[j], top), hole(j, top), up);
        quad(hole(i, -top), hole(j, -top), at(inset[j], -top), at(inset[i], -top), -up);
        // The axle hole, facing the axis.
        V3 hi = hole(i, 0), hj = hole(j, 0);
        uint32_t a = m.Add({hole(i, -top), -Normalize(hi), 0, 0}),
                 b = m.Add({hole(j, -top), -Normalize(hj), 0, 0});
        uint32_t c = m.Add({hole(j, top), -Normalize(hj), 0, 1}),
                 d = m.Add({hole(i, top), -Normalize(hi), 0, 1});
        m.Triangle(a, b, c);
        m.Triangle(a, c, d);
    }
    return m;
}

TGenMesh Grid(float width, float depth, int nx, int nz, float uvUnit,
              const std::function<float(float x, float z)>& height) {
    const float e = 1e-3f * std::max(width, depth);
    return Surface(nx, nz, [&](float s, float t) {
        float x = (s - 0.5f) * width, z = (t - 0.5f) * depth;
        if (!height) return TGenVertex{{x, 0, z}, {0, 1, 0}, x / uvUnit, -z / uvUnit};
        float dx = (height(x + e, z) - height(x - e, z)) / (2 * e);
        float dz = (height(x, z + e) - height(x, z - e)) / (2 * e);
        return TGenVertex{{x, height(x, z), z}, Normalize(V3{-dx, 1, -dz}), x / uvUnit, -z / uvUnit};
    });
}

TGenMesh Crystal(float radius, float height, float tip, int sides) {
    sides = std::max(sides, 3);
    TGenMesh m;
    auto face = [&](V3 a, V3 b, V3 c) {
        V3 n = Normalize(Cross(b - a, c - a));
        uint32_t ia = m.Add({a, n, 0, 0}), ib = m.Add({b, n, 1, 0}), ic = m.Add({c, n, 0.5f, 1});
        m.Triangle(ia, ib, ic);
    };
    const float bottomTip = tip * 0.4f;
    for (int i = 0; i < sides; i++) {
        auto corner = [&](int k, float y) {
            float a = 2.0f * kGenPi * float(k) / float(sides);
            return V3{radius * std::cos(a), y, -radius * std::sin(a)};
        };
        V3 b0 = corner(i, bottomTip), b1 = corner(i + 1, bottomTip);
        V3 t0 = corner(i, bottomTip + height), t1 = corner(i + 1, bottomTip + height);
        // The wall, its two triangles sharing one flat normal.
        face(b0, b1, t1);
        face(b0, t1, t0);
        face(t0, t1, {0, bottomTip + height + tip, 0});
        face(b1, b0, {0, 0, 0});
    }
    return m;
}

TGenMesh Ribbon(float radius, float width, int halfTurns, int segments, int across) {
    return Surface(segments, across, [&](float s, float t) {
        float phi = 2.0f * kGenPi * s;
        V3 d{std::cos(phi), 0, -std::sin(phi)}, along{-std::sin(phi), 0, -std::cos(phi)};
        float twist = 0.5f * float(halfTurns) * phi;
        V3 w = d * std::cos(twist) + V3{0, 1, 0} * std::sin(twist);
        V3 p = d * radius + w * (width * (t - 0.5f));
        return TGenVertex{p, Normalize(Cross(along, w)), s * 6.0f, t};
    });
}
