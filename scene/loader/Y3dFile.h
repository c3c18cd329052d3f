// The contents of a scene file (.y3d) as plain records, chunk by chunk: what
// our own exporter (the writer) takes and what authoring tools build. The
// loader reads files straight into the scene model; these records only
// describe what a file holds.
//
// A scene file is a flat sequence of chunks: SCNE first, then per object its
// node (IPRS), its object chunk (MESH, CAMR, LGHT or HLPR) and, when
// animated, its track (CTRL); the pictures (TXTR) and materials (MTRL, with
// their MMAP children) come last.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scene/chunks/NoiceLoader.h"

// Chunk kinds of scene files.
constexpr uint32_t kChunkScene = FourCC("SCNE");
constexpr uint32_t kChunkNode = FourCC("IPRS");
constexpr uint32_t kChunkTrack = FourCC("CTRL");
constexpr uint32_t kChunkMesh = FourCC("MESH");
constexpr uint32_t kChunkCamera = FourCC("CAMR");
constexpr uint32_t kChunkLight = FourCC("LGHT");
constexpr uint32_t kChunkMaterial = FourCC("MTRL");
constexpr uint32_t kChunkMap = FourCC("MMAP");
constexpr uint32_t kChunkPicture = FourCC("TXTR");
constexpr uint32_t kChunkHelper = FourCC("HLPR");

constexpr uint32_t kVersion11 = 0x0101;
constexpr uint32_t kVersion12 = 0x0102;
constexpr uint32_t kVersion201 = 0x0201;
constexpr uint32_t kVersion202 = 0x0202;

// Vertex format flags of a mesh.
enum : int32_t { vfPosition = 0x02, vfNormal = 0x08, vfTexCoord = 0x40 };
// Floats per vertex for a set of format flags.
constexpr int32_t VertexFloats(int32_t flags) {
    return 3 * ((flags & vfPosition) != 0) + 3 * ((flags & vfNormal) != 0) + 2 * ((flags & vfTexCoord) != 0);
}

// Texture-map types of MMAP.
enum : int32_t { mtDiffuse = 1, mtBump = 4, mtReflection = 5, mtRefraction = 6 };
// Track kinds of CTRL.
enum : int32_t { tkPositionKeys = 2, tkPositionRotationKeys = 4 };

// Starts the data of IPRS, MESH, CAMR, LGHT, MTRL, TXTR (and HLPR).
struct TY3dNodeHeader {
    int32_t Id = 0;
    int32_t Parent = 0;     // 0 = none
    int32_t Reference = -1; // negative: the node's own id
    std::string Name;
};

struct TY3dSceneColors {
    float Background[3] = {0, 0, 0};
    float Ambient[3] = {0, 0, 0};
};

// A node's fixed transform: translation and rotation (quaternion x, y, z, w);
// version 2.02 adds the object's pivot.
struct TY3dNode {
    TY3dNodeHeader Header;
    uint32_t Version = kVersion202;
    float Translation[3] = {0, 0, 0};
    float Rotation[4] = {0, 0, 0, 1};
    float Scale[3] = {1, 1, 1}; // stored, not interpreted
    float PivotTranslation[3] = {0, 0, 0};
    float PivotRotation[4] = {0, 0, 0, 1};
};

// An animation track of a node: kind 2 keys are positions (3 floats), kind 4
// keys a position and a quaternion x, y, z, w (7 floats). Key i lies at
// frame i * Step.
struct TY3dTrack {
    int32_t NodeId = 0;
    int32_t Kind = tkPositionRotationKeys;
    bool HasKeys = true;
    int32_t FloatsPerKey = 7;
    int32_t Step = 1;
    std::vector<float> Keys; // key count * FloatsPerKey floats
};

struct TY3dGroup {
    int32_t Primitive = 4; // 4 triangles, 5 strip, 6 fan
    int32_t Material = 0;  // index of the MTRL chunk in file order
    int32_t First = 0;
    int32_t Count = 0;
};

struct TY3dMesh {
    TY3dNodeHeader Header;
    float Pivot[7] = {0, 0, 0, 0, 0, 0, 1}; // translation, quaternion x, y, z, w
    int32_t Flags = vfPosition | vfNormal | vfTexCoord;
    int32_t VertexCount = 0;
    std::vector<float> Vertices; // VertexCount * VertexFloats(Flags)
    std::vector<uint32_t> Indices;
    std::vector<TY3dGroup> Groups;
};

struct TY3dCamera {
    TY3dNodeHeader Header;
    float Fov = 45.0f; // horizontal, degrees
    float Far = 1000.0f;
    float Near = 1.0f;
    float TargetDistance = 160.0f;
};

struct TY3dLight {
    TY3dNodeHeader Header;
    bool Spot = false;
    float Color[3] = {1, 1, 1};
    float Intensity = 1.0f;
    bool AffectsDiffuse = true;
    bool AffectsSpecular = true;
    float ShadowNear = 80.0f;
    float ShadowFar = 200.0f;
    float Cone = 45.0f; // full spot cone, degrees
    bool CastsShadows = false;
};

struct TY3dMap {
    int32_t Type = mtDiffuse;
    int32_t Texture = 0; // index of the TXTR chunk in file order
    float Amount = 1.0f;
};

struct TY3dMaterial {
    TY3dNodeHeader Header;
    uint32_t Version = kVersion12;
    bool TwoSided = false;
    float Ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float Diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f}; // alpha below 1: transparent
    float Specular[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float Emissive[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float Glossiness = 0.1f;    // shininess = |glossiness| * 100
    float SpecularLevel = 1.0f; // multiplies the specular colour
    std::vector<TY3dMap> Maps;
};

// A picture: embedded pixels (rows bottom first, RGB or RGBA bytes) or a
// file reference by name.
struct TY3dPicture {
    TY3dNodeHeader Header; // Name: the picture's file path
    bool Embedded = false;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BytesPerPixel = 3; // 3 or 4
    int32_t BitsPerChannel = 8;
    std::vector<uint8_t> Pixels;
};

// One object of the file: its node, what the node carries (nothing for a node
// that only instances another node's mesh by its reference id) and its track.
struct TY3dObject {
    enum Kind { okNodeOnly, okMesh, okCamera, okLight, okHelper };
    Kind What = okNodeOnly;
    TY3dNode Node;
    TY3dMesh Mesh;
    TY3dCamera Camera;
    TY3dLight Light;
    TY3dNodeHeader Helper;
    std::optional<TY3dTrack> Track;
};

struct TY3dDocument {
    TY3dSceneColors Colors;
    std::vector<TY3dObject> Objects;
    std::vector<TY3dPicture> Pictures;
    std::vector<TY3dMaterial> Materials;
};

// The file's bytes, in the exported order.
std::vector<uint8_t> WriteY3d(const TY3dDocument& document);
// Writes the file through a temporary file in the same folder, so that a
// failed write leaves no partial file behind.
void SaveY3dFile(const TY3dDocument& document, const std::string& path);
