// The procedural meshes the scenes are built from: closed shapes enclose the
// volume their measures say, every triangle faces the way its normals point,
// and nothing refers outside the vertex list.
#include "tools/gen/lib/GenMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

// Volume enclosed by a closed triangle mesh (divergence theorem); positive
// when the triangles face outwards.
double Volume(const TGenMesh& m) {
    double v = 0;
    for (size_t t = 0; t + 2 < m.Indices.size(); t += 3) {
        const V3 &a = m.Vertices[m.Indices[t]].p, &b = m.Vertices[m.Indices[t + 1]].p,
                 &c = m.Vertices[m.Indices[t + 2]].p;
        v += Dot(a, Cross(b, c)) / 6.0;
    }
    return v;
}

struct ShapeCase {
    const char* name;
    TGenMesh mesh;
    double volume; // expected enclosed volume, or 0 for open shapes
    double tolerance;
};

std::vector<ShapeCase> Shapes() {
    const float pi = kGenPi;
    // A closed cylinder as a lathe: bottom cap, wall, top cap, sharp edges.
    TGenMesh cylinder = Lathe({{0, 0}, {1, 0}, {1, 2}, {0, 2}}, 64);
    return {
        {"sphere", Sphere(1.5f, 64, 32), 4.0 / 3.0 * pi * 1.5 * 1.5 * 1.5, 0.01},
        {"torus", Torus(2.0f, 0.5f, 96, 48), 2.0 * pi * pi * 2.0 * 0.5 * 0.5, 0.01},
        // A rounded box: the box less its edges and corners rounded off.
        {"rounded box", RoundedBox({2, 3, 4}, 0.5f, 8),
         2.0 * 3 * 4 - (8 - 4.0 / 3.0 * pi) * 0.125 - (4 - pi) * 0.25 * (1 + 2 + 3), 0.01},
        {"lathe cylinder", cylinder, pi * 1 * 1 * 2, 0.01},
        {"tube", Tube([](float t) { return TorusKnotPoint(2, 3, 1.2f, 0.5f, t); }, 0.2f, 256, 16), 0, 0},
        {"gear", Gear(16, 1.0f, 1.25f, 0.25f, 0.3f, 0.05f), 0, 0},
        {"crystal", Crystal(0.3f, 1.0f, 0.4f, 6), 0, 0},
        {"grid", Grid(4, 4, 8, 8, 1.0f, [](float x, float z) { return 0.2f * std::sin(x) * std::cos(z); }), 0,
         0},
        {"ribbon", Ribbon(2.0f, 0.5f, 1, 64, 4), 0, 0},
    };
}

TEST(GenMesh, ShapesAreWellFormedAndFaceTheirNormals) {
    for (const ShapeCase& c : Shapes()) {
        SCOPED_TRACE(c.name);
        const TGenMesh& m = c.mesh;
        ASSERT_GT(m.TriangleCount(), 10u);
        ASSERT_EQ(m.Indices.size() % 3, 0u);
        for (uint32_t i : m.Indices)
            ASSERT_LT(i, m.Vertices.size());
        for (const TGenVertex& v : m.Vertices)
            ASSERT_NEAR(Length(v.n), 1.0f, 1e-3f);
        int against = 0;
        for (size_t t = 0; t < m.Indices.size(); t += 3) {
            const TGenVertex &a = m.Vertices[m.Indices[t]], &b = m.Vertices[m.Indices[t + 1]],
                             &d = m.Vertices[m.Indices[t + 2]];
            V3 face = Cross(b.p - a.p, d.p - a.p);
            ASSERT_GT(Length(face), 0.0f) << "a triangle without area at " << t;
            if (Dot(face, a.n + b.n + d.n) <= 0.0f) against++;
        }
        EXPECT_EQ(against, 0) << "triangles facing against their normals";
        if (c.volume > 0) {
            EXPECT_NEAR(Volume(m), c.volume, c.volume * c.tolerance);
        }
    }
}

TEST(GenMesh, SolidShapesPointTheirNormalsOutwards) {
    // The sphere's normals point away from its centre, the torus's away
    // from the ring through its tube.
    for (const TGenVertex& v : Sphere(2.0f, 24, 12).Vertices)
        EXPECT_GT(Dot(v.n, v.p), 0.0f);
    for (const TGenVertex& v : Torus(2.0f, 0.5f, 24, 12).Vertices) {
        V3 ring = Normalize(V3{v.p.x, 0, v.p.z}) * 2.0f;
        EXPECT_GT(Dot(v.n, v.p - ring), 0.0f);
    }
}

TEST(GenMesh, RoundedCornersKeepTheEndsAndStayInsideTheCorner) {
    std::vector<TProfilePoint> square = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    std::vector<TProfilePoint> round = RoundCorners(square, 0.2f, 4);
    ASSERT_EQ(round.size(), 2u + 2u * 5u);
    EXPECT_EQ(round.front().r, 0.0f);
    EXPECT_EQ(round.back().y, 1.0f);
    for (const TProfilePoint& p : round) {
        EXPECT_LE(p.r, 1.0f + 1e-5f);
        EXPECT_LE(p.y, 1.0f + 1e-5f);
        EXPECT_GE(p.y, -1e-5f);
    }
    // The first arc runs from (0.8, 0) to (1, 0.2) round the centre (0.8, 0.2).
    EXPECT_NEAR(round[1].r, 0.8f, 1e-4f);
    EXPECT_NEAR(round[5].y, 0.2f, 1e-4f);
    for (int k = 1; k <= 5; k++)
        EXPECT_NEAR(std::hypot(round[size_t(k)].r - 0.8f, round[size_t(k)].y - 0.2f), 0.2f, 1e-4f);
    // A radius larger than the edges allow is clipped to half an edge.
    for (const TProfilePoint& p : RoundCorners(square, 5.0f, 4))
        EXPECT_TRUE(std::isfinite(p.r) && std::isfinite(p.y));
}

TEST(GenMesh, SmoothNormalsAgreeAcrossASeam) {
    // A sphere has a seam where u wraps round: the vertices on both sides
    // lie at one place and must end with one normal, pointing outwards.
    TGenMesh m = Sphere(1.0f, 16, 8);
    for (TGenVertex& v : m.Vertices)
        v.n = {0, 1, 0}; // forget them
    m.SmoothNormals();
    for (const TGenVertex& v : m.Vertices)
        if (std::fabs(v.p.y) < 0.99f) {
            EXPECT_GT(Dot(v.n, v.p), 0.9f) << v.p.x << " " << v.p.y << " " << v.p.z;
        }
}

TEST(GenMesh, PlacingRotatesNormalsAndScalingKeepsThemUnit) {
    TGenMesh m = Grid(2, 2, 1, 1);
    m.Place(AxisAngle({1, 0, 0}, 90), {0, 0, -3});
    for (const TGenVertex& v : m.Vertices) {
        EXPECT_NEAR(v.n.z, 1.0f, 1e-6f); // the floor turned into a wall facing +z
        EXPECT_NEAR(v.p.z, -3.0f, 1e-6f);
    }
    TGenMesh s = Sphere(1.0f, 8, 4);
    s.Scale({2, 1, 1});
    for (const TGenVertex& v : s.Vertices)
        EXPECT_NEAR(Length(v.n), 1.0f, 1e-5f);
}

} // namespace
