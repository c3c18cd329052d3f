#include "tools/gen/lib/SceneKit.h"

#include "platform/Exception.h"

namespace {

void PoseToNode(const TPose& pose, TY3dNode& node) {
    node.Translation[0] = pose.position.x;
    node.Translation[1] = pose.position.y;
    node.Translation[2] = pose.position.z;
    ToFileQuaternion(pose.rotation, node.Rotation);
}

void Copy3(float* to, const float* from) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

} // namespace

TSceneKit::TSceneKit(const float background[3], const float ambient[3]) {
    Copy3(document_.Colors.Background, background);
    Copy3(document_.Colors.Ambient, ambient);
}

int TSceneKit::PictureIndex(const std::string& file) {
    auto found = pictures_.find(file);
    if (found != pictures_.end()) return found->second;
    TY3dPicture picture;
    picture.Header = {10000 + int32_t(document_.Pictures.size()), 0, -1, file};
    picture.Embedded = false; // loaded by name from the archive
    document_.Pictures.push_back(picture);
    int index = int(document_.Pictures.size() - 1);
    pictures_[file] = index;
    return index;
}

void TSceneKit::Material(const std::string& name, const TKitMaterial& k) {
    if (materials_.count(name)) return;
    TY3dMaterial m;
    m.Header = {20000 + int32_t(document_.Materials.size()), 0, -1, name};
    m.TwoSided = k.twoSided;
    for (int c = 0; c < 3; c++) {
        m.Ambient[c] = k.ambient[c] < 0.0f ? k.diffuse[c] : k.ambient[c];
        m.Diffuse[c] = k.diffuse[c];
        m.Specular[c] = k.specular[c];
        m.Emissive[c] = k.emissive[c];
    }
    m.Diffuse[3] = k.opacity;
    m.Glossiness = k.glossiness;
    m.SpecularLevel = 1.0f;
    if (!k.diffuseMap.empty()) m.Maps.push_back({mtDiffuse, PictureIndex(k.diffuseMap), k.diffuseAmount});
    if (!k.bumpMap.empty()) m.Maps.push_back({mtBump, PictureIndex(k.bumpMap), 1.0f});
    if (!k.reflectionMap.empty())
        m.Maps.push_back({mtReflection, PictureIndex(k.reflectionMap), k.reflectionAmount});
    document_.Materials.push_back(m);
    materials_[name] = int(document_.Materials.size() - 1);
}

TY3dObject& TSceneKit::NewObject(const std::string& name, const TPose& pose, int parent) {
    TY3dObject o;
    o.Node.Header = {nextId_++, parent, -1, name};
    PoseToNode(pose, o.Node);
    document_.Objects.push_back(o);
    return document_.Objects.back();
}

int TSceneKit::Mesh(const std::string& name, const TGenMesh& mesh, const std::string& material,
                    const TPose& pose, int parent) {
    auto found = materials_.find(material);
    if (found == materials_.end())
        throw Exception("Scene generator: mesh " + name + " names no material " + material);
    TY3dObject& o = NewObject(name, pose, parent);
    o.What = TY3dObject::okMesh;
    TY3dMesh& m = o.Mesh;
    m.Header = {o.Node.Header.Id, 0, -1, name};
    m.Flags = vfPosition | vfNormal | vfTexCoord;
    m.VertexCount = int32_t(mesh.Vertices.size());
    m.Vertices.reserve(mesh.Vertices.size() * 8);
    for (const TGenVertex& v : mesh.Vertices)
        m.Vertices.insert(m.Vertices.end(), {v.p.x, v.p.y, v.p.z, v.n.x, v.n.y, v.n.z, v.u, v.v});
    m.Indices = mesh.Indices;
    m.Groups.push_back({4, found->second, 0, int32_t(mesh.Indices.size())});
    meshTriangles_[o.Node.Header.Id] = mesh.TriangleCount();
    return o.Node.Header.Id;
}

int TSceneKit::Instance(const std::string& name, int meshNode, const TPose& pose, int parent) {
    TY3dObject& o = NewObject(name, pose, parent);
    o.Node.Header.Reference = meshNode;
    return o.Node.Header.Id;
}

int TSceneKit::Pivot(const std::string& name, const TPose& pose, int parent) {
    return NewObject(name, pose, parent).Node.Header.Id;
}

int TSceneKit::Camera(const std::string& name, const TPose& pose, float fov, float nearClip, float farClip,
                      int parent) {
    TY3dObject& o = NewObject(name, pose, parent);
    o.What = TY3dObject::okCamera;
    o.Camera.Header = {o.Node.Header.Id, 0, -1, name};
    o.Camera.Fov = fov;
    o.Camera.Near = nearClip;
    o.Camera.Far = farClip;
    return o.Node.Header.Id;
}

int TSceneKit::Light(const std::string& name, const TKitLight& k, const TPose& pose, int parent) {
    TY3dObject& o = NewObject(name, pose, parent);
    o.What = TY3dObject::okLight;
    TY3dLight& l = o.Light;
    l.Header = {o.Node.Header.Id, 0, -1, name};
    l.Spot = k.spot;
    Copy3(l.Color, k.color);
    l.Intensity = k.intensity;
    l.AffectsDiffuse = true;
    l.AffectsSpecular = k.specular;
    l.ShadowNear = k.shadowNear;
    l.ShadowFar = k.shadowFar;
    l.Cone = k.cone;
    l.CastsShadows = k.castsShadows;
    return o.Node.Header.Id;
}

void TSceneKit::Animate(int node, int frames, int step, const std::function<TPose(float frame)>& pose) {
    TY3dTrack track;
    track.NodeId = node;
    track.Kind = tkPositionRotationKeys;
    track.FloatsPerKey = 7;
    track.Step = step;
    float previous[4] = {0, 0, 0, 1};
    for (int f = 0; f <= frames; f += step) {
        TPose p = pose(float(f));
        float q[4];
        ToFileQuaternion(p.rotation, q);
        // Keep successive keys in one hemisphere (the loader does as well).
        if (f > 0 && q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] < 0)
            for (float& c : q)
                c = -c;
        std::copy(q, q + 4, previous);
        track.Keys.insert(track.Keys.end(),
                          {p.position.x, p.position.y, p.position.z, q[0], q[1], q[2], q[3]});
    }
    for (TY3dObject& o : document_.Objects)
        if (o.Node.Header.Id == node) o.Track = track;
}

void TSceneKit::Move(int node, int frames, int step, const std::function<V3(float frame)>& position) {
    TY3dTrack track;
    track.NodeId = node;
    track.Kind = tkPositionKeys;
    track.FloatsPerKey = 3;
    track.Step = step;
    for (int f = 0; f <= frames; f += step) {
        V3 p = position(float(f));
        track.Keys.insert(track.Keys.end(), {p.x, p.y, p.z});
    }
    for (TY3dObject& o : document_.Objects)
        if (o.Node.Header.Id == node) o.Track = track;
}

size_t TSceneKit::TriangleCount() const {
    size_t total = 0;
    for (const TY3dObject& o : document_.Objects) {
        int shown = o.Node.Header.Reference < 0 ? o.Node.Header.Id : o.Node.Header.Reference;
        auto found = meshTriangles_.find(shown);
        if (found != meshTriangles_.end()) total += found->second;
    }
    return total;
}
