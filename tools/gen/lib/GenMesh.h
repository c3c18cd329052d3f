// Procedural meshes for the demo's scenes: a triangle list of vertices with
// position, normal and texture coordinates, and the shapes the scenes are
// built from (surfaces of revolution with rounded corners, tori, bevelled
// boxes, tubes along curves, gears, rippled sheets).
//
// Every generator emits triangles counter-clockwise seen from the side the
// normals point to (OpenGL's front face), and drops triangles of zero area
// (the poles of a sphere, the axis of a lathe).
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "tools/gen/lib/GenMath.h"

struct TGenVertex {
    V3 p;
    V3 n;
    float u = 0, v = 0;
};

class TGenMesh {
public:
    std::vector<TGenVertex> Vertices;
    std::vector<uint32_t> Indices; // triangle list

    uint32_t Add(const TGenVertex& vertex);
    // A triangle; it is turned to face the way its vertex normals point, and
    // dropped when it has no area.
    void Triangle(uint32_t a, uint32_t b, uint32_t c);
    void Append(const TGenMesh& other);
    size_t TriangleCount() const { return Indices.size() / 3; }

    // Moves every vertex: rotation, then offset.
    TGenMesh& Place(const TRotation& rotation, V3 offset = {});
    // Scales positions per axis (normals follow the inverse scale).
    TGenMesh& Scale(V3 factors);
    // Multiplies the texture coordinates.
    TGenMesh& ScaleUv(float su, float sv);
    // Normals from the triangles around each vertex (weighted by area);
    // vertices at the same place (the seams of a surface) share theirs.
    TGenMesh& SmoothNormals();
};

// A surface over the unit square: `at`(s, t) gives the vertex for s, t in
// [0, 1] (its u and v are taken as they come). nu x nv cells.
TGenMesh Surface(int nu, int nv, const std::function<TGenVertex(float s, float t)>& at);

// A point of a lathe profile: distance from the y axis and height.
struct TProfilePoint {
    float r, y;
};
// The profile with every inner corner replaced by a circular arc of
// `radius` (clipped to half the shorter neighbouring edge) in `steps` steps:
// the bevelled look of turned and cast objects.
std::vector<TProfilePoint> RoundCorners(const std::vector<TProfilePoint>& profile, float radius, int steps);
// Revolves a profile (listed from bottom to top, so that its outside is on
// the right of the direction of travel) around the y axis in `segments`
// steps. Normals are smooth along the profile; v runs along the profile's
// length (one unit of v per `vLength` of length), u once around.
TGenMesh Lathe(const std::vector<TProfilePoint>& profile, int segments, float vLength = 1.0f);

TGenMesh Sphere(float radius, int segments, int rings);
// A torus around the y axis: ring radius R, tube radius r.
TGenMesh Torus(float ringRadius, float tubeRadius, int segments, int sides);
// A box of the given full size, centred on the origin, whose edges and
// corners are rounded with `radius` in `bevelSteps` steps; texture
// coordinates are planar per face, one unit per `uvUnit`.
TGenMesh RoundedBox(V3 size, float radius, int bevelSteps, float uvUnit = 1.0f);
// A tube of `radius` along a closed curve (`curve`(t) for t in [0, 1), the
// same point at 0 and 1), with frames carried along the curve so that it
// does not twist.
TGenMesh Tube(const std::function<V3(float t)>& curve, float radius, int segments, int sides);
// The (p, q) torus knot on a torus of radii R and r.
V3 TorusKnotPoint(int p, int q, float ringRadius, float tubeRadius, float t);
// A gear lying in the xz plane, `thickness` high along y, centred on the
// origin: `teeth` teeth between rootRadius and tipRadius, an axle hole of
// holeRadius, all outer edges chamfered by `chamfer`.
TGenMesh Gear(int teeth, float rootRadius, float tipRadius, float holeRadius, float thickness, float chamfer);
// A flat grid in the xz plane facing +y, width along x, depth along z,
// optionally displaced along y by height(x, z) (normals follow).
TGenMesh Grid(float width, float depth, int nx, int nz, float uvUnit = 1.0f,
              const std::function<float(float x, float z)>& height = nullptr);
// A crystal: a `sides`-sided prism of `radius` and `height` standing on the
// xz plane, with a pointed tip `tip` high on top and a shorter one below;
// every face flat.
TGenMesh Crystal(float radius, float height, float tip, int sides);
// A twisted band: a Moebius-like ribbon of `width` around a circle of
// `radius`, turning `halfTurns` half turns on the way round.
TGenMesh Ribbon(float radius, float width, int halfTurns, int segments, int across);
