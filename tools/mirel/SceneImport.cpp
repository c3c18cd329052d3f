#include "tools/mirel/SceneImport.h"

#include <assimp/DefaultLogger.hpp>
#include <assimp/GltfMaterial.h>
#include <assimp/Importer.hpp>
#include <assimp/LogStream.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>
#include <unordered_map>

#include "data/FlexibleStream.h"
#include "platform/Exception.h"
#include "platform/Format.h"
#include "scene/loader/SmartY3dLoader.h"
#include "tools/mirel/Mirel.h"
#include "tools/mirel/ScenePictures.h"

namespace {

constexpr double kDegrees = 180.0 / M_PI;
// Assimp's own default for animations that give no rate.
constexpr double kDefaultTicksPerSecond = 25.0;
// The most frames animations are sampled over (an hour at 30 per second).
constexpr int32_t kMaxFrames = 108000;
// The camera added to a model without one: its stored field of view (the
// engine divides it by the screen's aspect ratio, so 4:3 sees 45 degrees
// vertically), how far above the front it looks from, and the room it leaves
// round the scene's bounding sphere.
constexpr double kDefaultFov = 60.0;
constexpr double kDefaultCameraElevation = 20.0 / kDegrees;
constexpr double kDefaultMargin = 1.05;
// The light added to a model without one stands higher and well away, so
// that its spot cone (whose falloff the engine derives from its width) is
// narrow and lights the whole scene evenly enough.
constexpr double kDefaultLightElevation = 40.0 / kDegrees;
constexpr double kDefaultLightDistance = 8.0; // in bounding-sphere radii

// ---- small helpers ----

std::string Name(const aiString& s, const std::string& otherwise) {
    return s.length > 0 ? std::string(s.C_Str()) : otherwise;
}

bool Near(float a, float b, float tolerance = 1e-5f) {
    return std::fabs(a - b) <= tolerance * std::max(1.0f, std::max(std::fabs(a), std::fabs(b)));
}

bool Uniform(const aiVector3D& s) {
    return Near(s.x, s.y) && Near(s.y, s.z);
}

bool IsIdentity(const aiQuaternion& q) {
    return std::fabs(std::fabs(q.w) - 1.0f) < 1e-6f;
}

aiVector3D Times(const aiVector3D& a, const aiVector3D& b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}

// The file name without its folder (either separator).
std::string FileNamePart(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// "%20" and friends of a file URI turned back into bytes.
std::string PercentDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(uint8_t(text[i + 1])) &&
            std::isxdigit(uint8_t(text[i + 2]))) {
            out += char(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A mesh of triangles (polygons have been cut into triangles; lines and
// points stand in meshes of their own).
bool Triangles(const aiMesh* mesh) {
    return (mesh->mPrimitiveTypes & aiPrimitiveType_TRIANGLE) != 0 &&
           (mesh->mPrimitiveTypes & (aiPrimitiveType_POINT | aiPrimitiveType_LINE)) == 0 &&
           mesh->mNumFaces > 0;
}

// The reflection maps of an OBJ model's material libraries ("refl" lines,
// the picture's name last after any options), by material name. Assimp's
// OBJ reader passes over them.
std::map<std::string, std::string> ObjReflectionMaps(const std::string& objPath, const std::string& folder) {
    auto words = [](std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> out;
        std::istringstream in(line);
        for (std::string w; in >> w;)
            out.push_back(w);
        return out;
    };
    std::vector<std::string> libraries;
    std::ifstream obj(objPath);
    for (std::string line; std::getline(obj, line);)
        if (std::vector<std::string> w = words(line); w.size() > 1 && w[0] == "mtllib")
            libraries.insert(libraries.end(), w.begin() + 1, w.end());
    std::map<std::string, std::string> maps;
    for (const std::string& library : libraries) {
        std::ifstream mtl(ResolveDataPath(folder, library));
        std::string material;
        for (std::string line; std::getline(mtl, line);) {
            const std::vector<std::string> w = words(line);
            if (w.size() > 1 && w[0] == "newmtl") material = w[1];
            if (w.size() > 1 && w[0] == "refl") maps.emplace(material, w.back());
        }
    }
    return maps;
}

// ---- what assimp says while reading ----

// Collects assimp's log lines ("Warn,  T0: text").
class TLogCollector : public Assimp::LogStream {
public:
    explicit TLogCollector(std::vector<std::string>& lines) : lines_(lines) {}
    void write(const char* message) override { lines_.emplace_back(message); }

private:
    std::vector<std::string>& lines_;
};

// Assimp's logger for the span of one read (the logger is the process's
// own; it owns and frees the collector).
class TAssimpLog {
public:
    explicit TAssimpLog(std::vector<std::string>& lines) {
        Assimp::DefaultLogger::create("", Assimp::Logger::NORMAL, 0);
        Assimp::DefaultLogger::get()->attachStream(
            new TLogCollector(lines), Assimp::Logger::Info | Assimp::Logger::Warn | Assimp::Logger::Err);
    }
    ~TAssimpLog() { Assimp::DefaultLogger::kill(); }
    TAssimpLog(const TAssimpLog&) = delete;
    TAssimpLog& operator=(const TAssimpLog&) = delete;
};

// A log line split into its severity ("Info", "Warn", "Error") and text.
std::pair<std::string, std::string> LogParts(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    const size_t comma = line.find(',');
    const size_t colon = line.find(": ", comma == std::string::npos ? 0 : comma);
    if (comma == std::string::npos || colon == std::string::npos) return {"", line};
    return {line.substr(0, comma), line.substr(colon + 2)};
}

// The glTF version a binary glTF file declares in its header (0 when it is
// none).
uint32_t GlbVersion(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    uint8_t head[8] = {};
    if (!file.read(reinterpret_cast<char*>(head), 8) || std::memcmp(head, "glTF", 4) != 0) return 0;
    return uint32_t(head[4]) | uint32_t(head[5]) << 8 | uint32_t(head[6]) << 16 | uint32_t(head[7]) << 24;
}

// ---- numbers that are not finite ----

bool Finite(const float* values, size_t count) {
    for (size_t i = 0; i < count; i++)
        if (!std::isfinite(values[i])) return false;
    return true;
}

bool Finite(const aiVector3D* values, size_t count) {
    return !values || Finite(&values[0].x, count * 3);
}

bool Finite(const aiMatrix4x4& m) {
    return Finite(&m.a1, 16);
}

bool FiniteKeys(const aiVectorKey* keys, unsigned count) {
    for (unsigned k = 0; k < count; k++)
        if (!std::isfinite(keys[k].mTime) || !Finite(&keys[k].mValue, 1)) return false;
    return true;
}

bool FiniteKeys(const aiQuatKey* keys, unsigned count) {
    for (unsigned k = 0; k < count; k++) {
        const aiQuaternion& q = keys[k].mValue;
        const float v[4] = {q.w, q.x, q.y, q.z};
        if (!std::isfinite(keys[k].mTime) || !Finite(v, 4)) return false;
    }
    return true;
}

// ---- animation sampling ----

// One node's animation channel, with the rate of the animation it is in.
struct TChannel {
    const aiNodeAnim* Anim = nullptr;
    double TicksPerSecond = kDefaultTicksPerSecond;
};

// The value of keys at `ticks`: the first key before them, the last after
// them, linear interpolation between.
template <class Key, class Value, class Mix>
Value Sample(const Key* keys, unsigned count, double ticks, const Value& rest, Mix mix) {
    if (count == 0) return rest;
    if (ticks <= keys[0].mTime) return keys[0].mValue;
    if (ticks >= keys[count - 1].mTime) return keys[count - 1].mValue;
    const Key* after =
        std::upper_bound(keys, keys + count, ticks, [](double t, const Key& k) { return t < k.mTime; });
    const Key* before = after - 1;
    const double span = after->mTime - before->mTime;
    const float f = span > 0.0 ? float((ticks - before->mTime) / span) : 0.0f;
    return mix(before->mValue, after->mValue, f);
}

aiVector3D MixVectors(const aiVector3D& a, const aiVector3D& b, float f) {
    return a + (b - a) * f;
}

aiQuaternion MixRotations(const aiQuaternion& a, const aiQuaternion& b, float f) {
    aiQuaternion out;
    aiQuaternion::Interpolate(out, a, b, f);
    return out.Normalize();
}

// A node's local transform at one moment.
struct TPose {
    aiVector3D Position;
    aiQuaternion Rotation;
    aiVector3D Scale = {1, 1, 1};
};

TPose RestPose(const aiNode* node) {
    TPose pose;
    node->mTransformation.Decompose(pose.Scale, pose.Rotation, pose.Position);
    return pose;
}

TPose SamplePose(const TChannel& channel, const TPose& rest, double seconds) {
    const aiNodeAnim* a = channel.Anim;
    const double ticks = seconds * channel.TicksPerSecond;
    TPose pose;
    pose.Position = Sample(a->mPositionKeys, a->mNumPositionKeys, ticks, rest.Position, MixVectors);
    pose.Rotation = Sample(a->mRotationKeys, a->mNumRotationKeys, ticks, rest.Rotation, MixRotations);
    pose.Scale = Sample(a->mScalingKeys, a->mNumScalingKeys, ticks, rest.Scale, MixVectors);
    return pose;
}

// The rotation that turns the axes of a camera or light standing in the
// engine's way (looking along -z, y up) into one looking along `look`.
aiQuaternion FrameRotation(aiVector3D look, aiVector3D up) {
    look.Normalize();
    if (up.SquareLength() < 1e-12f || std::fabs((up.Normalize() * look)) > 0.999f)
        up = std::fabs(look.y) < 0.9f ? aiVector3D(0, 1, 0) : aiVector3D(1, 0, 0);
    const aiVector3D z = -look;
    aiVector3D x = up ^ z;
    x.Normalize();
    const aiVector3D y = z ^ x;
    aiMatrix3x3 m(x.x, y.x, z.x, x.y, y.y, z.y, x.z, y.z, z.z);
    return aiQuaternion(m);
}

// ---- the importer ----

class TImporter {
public:
    TImporter(const std::string& path, const TSceneImportOptions& options) : path_(path), options_(options) {
        folder_ = std::filesystem::path(path).parent_path().string();
        std::string extension = std::filesystem::path(path).extension().string();
        for (char& c : extension)
            c = char(std::tolower(uint8_t(c)));
        gltf_ = extension == ".gltf" || extension == ".glb";
        if (extension == ".obj") objReflections_ = ObjReflectionMaps(path, folder_);
    }

    TSceneImportResult Run();

private:
    // One thing a node carries: a mesh, a camera or a light.
    struct TAttachment {
        enum Kind { akMesh, akCamera, akLight } What;
        unsigned Index; // into the model's meshes, cameras or lights
    };

    void Warn(const std::string& text) { result_.Warnings.push_back(text); }

    void Read();
    void RefuseNonFinite() const;
    void RefuseNonFinite(const aiNode* node, int32_t depth) const;
    void CollectAnimations();
    void MeasureScene(const aiNode* node, const aiMatrix4x4& parent, int32_t depth);
    void WriteMaterials();
    void WriteMaterial(const aiMaterial* material, int32_t index);
    // Adds the map of `type` (if the material has one) to y3d, with its amount.
    bool AddMap(const aiMaterial* material, const std::string& name, aiTextureType type, int32_t mapType,
                TY3dMaterial& y3d, bool normals = false);
    void AddMap(const std::string& path, const std::string& name, int32_t mapType, float amount,
                TY3dMaterial& y3d, bool normals);
    int32_t PictureIndex(const std::string& path, const std::string& material, bool normals);
    std::vector<uint8_t> PictureFileBytes(const std::string& path, const std::string& material);
    void WriteNode(const aiNode* node, int32_t parentId, const aiVector3D& parentScale, int32_t depth);
    void WriteAttachment(TY3dObject& object, const TAttachment& attachment, const aiNode* node,
                         const aiVector3D& scale);
    bool NeedsOwnNode(const TAttachment& attachment) const;
    aiVector3D CameraPosition(const aiCamera* camera) const;
    int32_t MeshId(unsigned index, const aiVector3D& scale, int32_t carrierId, bool& isNew);
    TY3dMesh MakeMesh(const aiMesh* mesh, const aiVector3D& scale);
    void WarnAboutMesh(const aiMesh* mesh);
    TY3dCamera MakeCamera(const aiCamera* camera, const aiNode* node);
    // Where a camera added to the scene would stand to see all of it.
    struct TFraming {
        aiVector3D Centre; // of the scene's bounding sphere, in the rest pose
        float Radius = 1.0f;
        aiVector3D Eye; // the camera's place
        float Distance = 1.0f;
    };
    TFraming Framing() const;
    // A node of its own at `at`, looking at `target`, on the root.
    TY3dObject& AddViewNode(const std::string& name, const aiVector3D& at, const aiVector3D& target);
    void AddDefaultViews();
    TY3dLight MakeLight(const aiLight* light);
    void WriteTrack(TY3dObject& object, const aiNode* node, const TChannel& channel, const TPose& rest,
                    const aiVector3D& parentScale);

    std::string path_;
    std::string folder_;
    std::vector<std::string> log_;                      // assimp's log of the read
    bool gltf_ = false;                                 // read as glTF
    std::map<std::string, std::string> objReflections_; // OBJ: material -> reflection map
    TSceneImportOptions options_;
    Assimp::Importer importer_;
    const aiScene* scene_ = nullptr;
    TSceneImportResult result_;
    TY3dDocument& document_ = result_.Document;
    int32_t nextId_ = 1;

    std::map<std::string, TChannel> channels_; // by node name
    std::set<std::string> animatedNames_;      // names whose channel a node took
    int32_t lastFrame_ = 0;
    std::multimap<std::string, unsigned> cameras_, lights_; // by node name
    std::set<unsigned> placedCameras_, placedLights_;
    // Meshes written so far: (mesh index, baked scale) -> the MESH's id.
    std::map<std::tuple<unsigned, float, float, float>, int32_t> meshIds_;
    std::set<unsigned> warnedMeshes_;
    std::map<std::string, int32_t> pictures_;            // by path (and use) -> TXTR index
    std::map<std::string, std::string> referencedNames_; // file name -> path, for clashes
    // The scene's bounds and each light's position, in the rest pose, for
    // the lights' shadow ranges.
    aiVector3D boundsMin_ = {1e30f, 1e30f, 1e30f}, boundsMax_ = {-1e30f, -1e30f, -1e30f};
    std::map<const aiNode*, aiMatrix4x4> worlds_;
};

TSceneImportResult TImporter::Run() {
    Read();
    CollectAnimations();
    MeasureScene(scene_->mRootNode, aiMatrix4x4(), 0);
    document_.Colors.Background[0] = options_.Background[0];
    document_.Colors.Background[1] = options_.Background[1];
    document_.Colors.Background[2] = options_.Background[2];
    std::copy_n(options_.Ambient, 3, document_.Colors.Ambient);
    WriteMaterials();
    WriteNode(scene_->mRootNode, 0, aiVector3D(1, 1, 1), 0);

    for (unsigned i = 0; i < scene_->mNumCameras; i++)
        if (!placedCameras_.count(i))
            Warn(Format("camera %s belongs to no node and is not carried over",
                        scene_->mCameras[i]->mName.C_Str()));
    for (unsigned i = 0; i < scene_->mNumLights; i++)
        if (!placedLights_.count(i) && scene_->mLights[i]->mType != aiLightSource_AMBIENT)
            Warn(Format("light %s belongs to no node and is not carried over",
                        scene_->mLights[i]->mName.C_Str()));
    if (result_.Meshes == 0) {
        if (!options_.AllowEmpty)
            throw Exception(Format("%s: the model has nothing to draw (no triangles in any of its nodes); "
                                   "--allow-empty imports it all the same",
                                   path_.c_str()));
        Warn("the model has nothing to draw (no triangles in any of its nodes); the scene is empty");
    }
    AddDefaultViews();
    result_.LastFrame = lastFrame_;
    return std::move(result_);
}

void TImporter::Read() {
    std::error_code error;
    const auto status = std::filesystem::status(path_, error);
    if (!std::filesystem::exists(status))
        throw Exception(Format("Couldn't open the file named %s", path_.c_str()));
    if (std::filesystem::is_directory(status))
        throw Exception(Format("%s is a folder, not a model file", path_.c_str()));
    // Normals are made here, not by assimp: its generators give shared
    // vertices one normal, so a cube without normals would come out round.
    const unsigned flags = aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_JoinIdenticalVertices |
                           aiProcess_ValidateDataStructure;
    // glTF 1.0 goes through a reader of its own in assimp, which places
    // nodes by their own rotation, drops animations and leaves lights
    // black: such models are refused, before reading (binary files say
    // their version in their header) or by the reader assimp chose.
    const std::string gltf1 =
        Format("%s: it is a glTF 1.0 model, which cannot be imported correctly; convert it to glTF 2.0 "
               "(Blender and the common glTF converters read 1.0 and write 2.0)",
               path_.c_str());
    if (GlbVersion(path_) == 1) throw Exception(gltf1);
    {
        TAssimpLog log(log_);
        scene_ = importer_.ReadFile(path_, flags);
    }
    const std::string gltf1Reader = "matching importer for this file format: glTF Importer.";
    for (const std::string& line : log_)
        if (LogParts(line).second.find(gltf1Reader) != std::string::npos) throw Exception(gltf1);
    if (!scene_ || !scene_->mRootNode)
        throw Exception(Format("%s: %s", path_.c_str(), importer_.GetErrorString()));
    RefuseNonFinite();
    // What assimp left out while reading (faces with indices past the
    // vertices, an incomplete last triangle, ...), each once. Vertices no
    // face uses are no loss (nothing would draw them), and the field of view
    // of an orthographic camera is made here.
    const bool orthographic = std::any_of(scene_->mCameras, scene_->mCameras + scene_->mNumCameras,
                                          [](const aiCamera* c) { return c->mOrthographicWidth > 0.0f; });
    std::set<std::string> said;
    for (const std::string& line : log_) {
        const auto [severity, text] = LogParts(line);
        const bool noLoss = text.find("unreferenced vertices") != std::string::npos ||
                            (orthographic && text.find("aiCamera::mHorizontalFOV") != std::string::npos);
        if ((severity == "Warn" || severity == "Error") && !noLoss && said.insert(text).second)
            Warn("assimp, while reading: " + text);
    }
    for (unsigned i = 0; i < scene_->mNumCameras; i++)
        cameras_.emplace(scene_->mCameras[i]->mName.C_Str(), i);
    for (unsigned i = 0; i < scene_->mNumLights; i++)
        lights_.emplace(scene_->mLights[i]->mName.C_Str(), i);
}

void TImporter::RefuseNonFinite() const {
    auto refuse = [&](const std::string& where) {
        throw Exception(Format("%s: a number that is not finite (an infinity or not a number) in %s; the "
                               "model is refused",
                               path_.c_str(), where.c_str()));
    };
    for (unsigned i = 0; i < scene_->mNumMeshes; i++) {
        const aiMesh* mesh = scene_->mMeshes[i];
        const std::string name = " of mesh " + Name(mesh->mName, Format("%u", i));
        if (!Finite(mesh->mVertices, mesh->mNumVertices)) refuse("the positions" + name);
        if (!Finite(mesh->mNormals, mesh->mNumVertices)) refuse("the normals" + name);
        for (unsigned t = 0; t < AI_MAX_NUMBER_OF_TEXTURECOORDS; t++)
            if (!Finite(mesh->mTextureCoords[t], mesh->mNumVertices))
                refuse("the texture coordinates" + name);
    }
    RefuseNonFinite(scene_->mRootNode, 0);
    for (unsigned a = 0; a < scene_->mNumAnimations; a++) {
        const aiAnimation* animation = scene_->mAnimations[a];
        for (unsigned c = 0; c < animation->mNumChannels; c++) {
            const aiNodeAnim* ch = animation->mChannels[c];
            if (!FiniteKeys(ch->mPositionKeys, ch->mNumPositionKeys) ||
                !FiniteKeys(ch->mRotationKeys, ch->mNumRotationKeys) ||
                !FiniteKeys(ch->mScalingKeys, ch->mNumScalingKeys))
                refuse(Format("the keys of node %s in animation %s", ch->mNodeName.C_Str(),
                              Name(animation->mName, Format("%u", a)).c_str()));
        }
    }
    for (unsigned i = 0; i < scene_->mNumCameras; i++) {
        const aiCamera* c = scene_->mCameras[i];
        const float v[] = {c->mPosition.x, c->mPosition.y,       c->mPosition.z,    c->mLookAt.x,
                           c->mLookAt.y,   c->mLookAt.z,         c->mUp.x,          c->mUp.y,
                           c->mUp.z,       c->mHorizontalFOV,    c->mClipPlaneNear, c->mClipPlaneFar,
                           c->mAspect,     c->mOrthographicWidth};
        if (!Finite(v, std::size(v))) refuse(Format("camera %s", c->mName.C_Str()));
    }
    for (unsigned i = 0; i < scene_->mNumLights; i++) {
        const aiLight* l = scene_->mLights[i];
        const float v[] = {l->mPosition.x,     l->mPosition.y,    l->mPosition.z,     l->mDirection.x,
                           l->mDirection.y,    l->mDirection.z,   l->mColorDiffuse.r, l->mColorDiffuse.g,
                           l->mColorDiffuse.b, l->mAngleOuterCone};
        if (!Finite(v, std::size(v))) refuse(Format("light %s", l->mName.C_Str()));
    }
}

void TImporter::RefuseNonFinite(const aiNode* node, int32_t depth) const {
    if (depth > kMaxNodeDepth) return; // refused by WriteNode
    if (!Finite(node->mTransformation))
        throw Exception(
            Format("%s: a number that is not finite (an infinity or not a number) in the transform "
                   "of node %s; the model is refused",
                   path_.c_str(), Name(node->mName, "(unnamed)").c_str()));
    for (unsigned i = 0; i < node->mNumChildren; i++)
        RefuseNonFinite(node->mChildren[i], depth + 1);
}

TImporter::TFraming TImporter::Framing() const {
    TFraming f;
    if (boundsMin_.x <= boundsMax_.x) {
        f.Centre = (boundsMin_ + boundsMax_) * 0.5f;
        f.Radius = (boundsMax_ - boundsMin_).Length() * 0.5f;
    }
    // A scene that is a single point still gets a sphere to look at.
    if (!(f.Radius > 1e-6f * std::max(1.0f, f.Centre.Length())))
        f.Radius = std::max(1.0f, f.Centre.Length() * 1e-3f);
    // The sphere fills the height of a 4:3 screen, less a margin.
    const double vertical = kDefaultFov * 3.0 / 4.0 / kDegrees;
    f.Distance = float(f.Radius / std::sin(vertical / 2.0) * kDefaultMargin);
    f.Eye = f.Centre + aiVector3D(0.0f, float(std::sin(kDefaultCameraElevation)),
                                  float(std::cos(kDefaultCameraElevation))) *
                           f.Distance;
    return f;
}

TY3dObject& TImporter::AddViewNode(const std::string& name, const aiVector3D& at, const aiVector3D& target) {
    TY3dObject object;
    object.Node.Header = {nextId_++, 0, -1, name};
    const aiQuaternion turn = FrameRotation(target - at, aiVector3D(0, 1, 0));
    object.Node.Translation[0] = at.x;
    object.Node.Translation[1] = at.y;
    object.Node.Translation[2] = at.z;
    object.Node.Rotation[0] = -turn.x;
    object.Node.Rotation[1] = -turn.y;
    object.Node.Rotation[2] = -turn.z;
    object.Node.Rotation[3] = turn.w;
    document_.Objects.push_back(std::move(object));
    result_.Nodes++;
    return document_.Objects.back();
}

void TImporter::AddDefaultViews() {
    const bool camera = result_.Cameras == 0, light = result_.Lights == 0;
    if (camera && !options_.DefaultCamera)
        throw Exception(Format("%s: the model has no camera; add one to it, or import it without "
                               "--no-default-camera to get one that frames the scene",
                               path_.c_str()));
    if (light && !options_.DefaultLight)
        throw Exception(Format("%s: the model has no light; add one to it, or import it without "
                               "--no-default-light to get one",
                               path_.c_str()));
    const TFraming f = Framing();
    if (camera) {
        TY3dObject& object = AddViewNode("default camera", f.Eye, f.Centre);
        object.What = TY3dObject::okCamera;
        object.Camera.Header = {object.Node.Header.Id, 0, -1, object.Node.Header.Name};
        object.Camera.Fov = float(kDefaultFov);
        object.Camera.Far = (f.Distance + f.Radius) * 1.5f;
        object.Camera.Near = std::max((f.Distance - f.Radius) * 0.5f, object.Camera.Far / 1000.0f);
        object.Camera.TargetDistance = f.Distance;
        result_.Cameras++;
        Warn("the model has no camera; one is added that looks at the whole scene from the front and a "
             "little above (--no-default-camera refuses such a model instead)");
    }
    if (light) {
        const float reach = float(kDefaultLightDistance) * f.Radius;
        const aiVector3D at = f.Centre + aiVector3D(0.0f, float(std::sin(kDefaultLightElevation)),
                                                    float(std::cos(kDefaultLightElevation))) *
                                             reach;
        TY3dObject& object = AddViewNode("default light", at, f.Centre);
        object.What = TY3dObject::okLight;
        TY3dLight& l = object.Light;
        l.Header = {object.Node.Header.Id, 0, -1, object.Node.Header.Name};
        l.Spot = options_.Shadows;
        l.CastsShadows = options_.Shadows;
        // The cone holds the bounding sphere with a little room.
        l.Cone = l.Spot ? float(2.0 * std::asin(1.1 / kDefaultLightDistance) * kDegrees) : 180.0f;
        l.ShadowFar = reach + 1.1f * f.Radius;
        l.ShadowNear = std::max(reach - 1.1f * f.Radius, l.ShadowFar / 100.0f);
        result_.Lights++;
        Warn(options_.Shadows ? "the model has no light; a white spot light casting shadows is added above "
                                "the camera (--no-default-light refuses such a model instead)"
                              : "the model has no light; a white omni light is added above the camera "
                                "(--no-default-light refuses such a model instead)");
    }
}

void TImporter::CollectAnimations() {
    double longest = 0.0;
    for (unsigned a = 0; a < scene_->mNumAnimations; a++) {
        const aiAnimation* animation = scene_->mAnimations[a];
        const std::string name = Name(animation->mName, Format("%u", a));
        const double rate =
            animation->mTicksPerSecond > 0.0 ? animation->mTicksPerSecond : kDefaultTicksPerSecond;
        longest = std::max(longest, animation->mDuration / rate);
        for (unsigned c = 0; c < animation->mNumChannels; c++) {
            const aiNodeAnim* channel = animation->mChannels[c];
            const std::string node = channel->mNodeName.C_Str();
            if (!channels_.count(node))
                channels_[node] = {channel, rate};
            else
                Warn(Format("node %s is moved by more than one animation; animation %s is not carried over "
                            "for it",
                            node.c_str(), name.c_str()));
        }
        if (animation->mNumMeshChannels > 0 || animation->mNumMorphMeshChannels > 0)
            Warn(Format("animation %s: its mesh and morph animations are not carried over", name.c_str()));
    }
    // Keys at frames 0 .. lastFrame_, the last at or just after the end.
    if (channels_.empty()) return;
    const double frames = std::ceil(longest * options_.Fps - 1e-6);
    if (!(frames <= kMaxFrames))
        throw Exception(
            Format("%s: its animations last %g seconds, more than %d frames at %g frames per second",
                   path_.c_str(), longest, kMaxFrames, options_.Fps));
    lastFrame_ = std::max(int32_t(frames), 0);
}

void TImporter::MeasureScene(const aiNode* node, const aiMatrix4x4& parent, int32_t depth) {
    if (depth > kMaxNodeDepth) return; // refused by WriteNode
    const aiMatrix4x4 world = parent * node->mTransformation;
    worlds_[node] = world;
    for (unsigned i = 0; i < node->mNumMeshes; i++) {
        const aiMesh* mesh = scene_->mMeshes[node->mMeshes[i]];
        for (unsigned v = 0; v < mesh->mNumVertices; v++) {
            const aiVector3D p = world * mesh->mVertices[v];
            boundsMin_ = {std::min(boundsMin_.x, p.x), std::min(boundsMin_.y, p.y),
                          std::min(boundsMin_.z, p.z)};
            boundsMax_ = {std::max(boundsMax_.x, p.x), std::max(boundsMax_.y, p.y),
                          std::max(boundsMax_.z, p.z)};
        }
    }
    for (unsigned i = 0; i < node->mNumChildren; i++)
        MeasureScene(node->mChildren[i], world, depth + 1);
}

// ---- materials and pictures ----

void TImporter::WriteMaterials() {
    for (unsigned i = 0; i < scene_->mNumMaterials; i++)
        WriteMaterial(scene_->mMaterials[i], int32_t(i));
}

void TImporter::WriteMaterial(const aiMaterial* material, int32_t index) {
    TY3dMaterial y3d;
    aiString nameText;
    material->Get(AI_MATKEY_NAME, nameText);
    const std::string name = Name(nameText, Format("material%d", index));
    y3d.Header = {nextId_++, 0, -1, name};

    aiColor4D diffuse(0.8f, 0.8f, 0.8f, 1.0f);
    material->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
    float alpha = diffuse.a;
    float opacity = 1.0f;
    if (material->Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) alpha = opacity;
    aiString alphaMode;
    if (material->Get(AI_MATKEY_GLTF_ALPHAMODE, alphaMode) == AI_SUCCESS) {
        const std::string mode = alphaMode.C_Str();
        if (mode == "OPAQUE") {
            alpha = 1.0f;
        } else if (mode == "MASK") {
            Warn(Format("material %s: its alpha mask is not carried over; it is drawn opaque", name.c_str()));
            alpha = 1.0f;
        } else if (mode == "BLEND" && alpha >= 1.0f) {
            // Blended for the alpha of its picture: only a diffuse alpha
            // below 1 makes the engine blend a material.
            alpha = 0.999f;
        }
    }
    alpha = std::clamp(alpha, 0.0f, 1.0f);
    y3d.Diffuse[0] = diffuse.r;
    y3d.Diffuse[1] = diffuse.g;
    y3d.Diffuse[2] = diffuse.b;
    y3d.Diffuse[3] = alpha;

    // Without an ambient colour of its own a surface reflects ambient light
    // in its diffuse colour.
    aiColor4D ambient(diffuse.r, diffuse.g, diffuse.b, 1.0f);
    material->Get(AI_MATKEY_COLOR_AMBIENT, ambient);
    y3d.Ambient[0] = ambient.r;
    y3d.Ambient[1] = ambient.g;
    y3d.Ambient[2] = ambient.b;
    y3d.Ambient[3] = alpha;

    aiColor4D emissive(0, 0, 0, 1);
    material->Get(AI_MATKEY_COLOR_EMISSIVE, emissive);
    y3d.Emissive[0] = emissive.r;
    y3d.Emissive[1] = emissive.g;
    y3d.Emissive[2] = emissive.b;
    y3d.Emissive[3] = 1.0f;

    // Shininess: metal-roughness materials (glTF) give a roughness r; the
    // specular exponent whose highlight matches that roughness is
    // 2 / r^4 - 2. Others (OBJ's Ns) give the exponent itself.
    float roughness = -1.0f;
    const bool rough = material->Get(AI_MATKEY_ROUGHNESS_FACTOR, roughness) == AI_SUCCESS;
    float shininess = 0.0f;
    if (rough) {
        const double r = std::clamp(double(roughness), 0.0, 1.0);
        shininess = r < 0.1 ? 128.0f : float(std::min(128.0, 2.0 / std::pow(r, 4.0) - 2.0));
    } else {
        material->Get(AI_MATKEY_SHININESS, shininess);
    }
    y3d.Glossiness = std::clamp(shininess, 0.0f, 128.0f) / 100.0f;
    aiColor4D specular(0, 0, 0, 1);
    if (material->Get(AI_MATKEY_COLOR_SPECULAR, specular) != AI_SUCCESS && rough) {
        // A smooth surface shows highlights even without a specular colour.
        const float level = 0.5f * (1.0f - std::clamp(roughness, 0.0f, 1.0f));
        specular = aiColor4D(level, level, level, 1.0f);
    }
    y3d.Specular[0] = specular.r;
    y3d.Specular[1] = specular.g;
    y3d.Specular[2] = specular.b;
    y3d.Specular[3] = 1.0f;
    float strength = 1.0f;
    if (material->Get(AI_MATKEY_SHININESS_STRENGTH, strength) == AI_SUCCESS) y3d.SpecularLevel = strength;

    int twoSided = 0;
    material->Get(AI_MATKEY_TWOSIDED, twoSided);
    y3d.TwoSided = twoSided != 0;

    // The maps: diffuse (glTF's base colour), bump (a height map, or a
    // normal map turned into one) and reflection.
    if (!AddMap(material, name, aiTextureType_DIFFUSE, mtDiffuse, y3d))
        AddMap(material, name, aiTextureType_BASE_COLOR, mtDiffuse, y3d);
    const bool heights = AddMap(material, name, aiTextureType_HEIGHT, mtBump, y3d);
    if (!heights)
        AddMap(material, name, aiTextureType_NORMALS, mtBump, y3d, true);
    else if (material->GetTextureCount(aiTextureType_NORMALS) > 0)
        Warn(Format("material %s: has a height map and a normal map; the normal map is not carried over",
                    name.c_str()));
    if (!AddMap(material, name, aiTextureType_REFLECTION, mtReflection, y3d))
        if (auto it = objReflections_.find(name); it != objReflections_.end())
            AddMap(it->second, name, mtReflection, 1.0f, y3d, false);

    static const std::pair<aiTextureType, const char*> kOthers[] = {
        {aiTextureType_SPECULAR, "specular"},
        {aiTextureType_AMBIENT, "ambient"},
        {aiTextureType_EMISSIVE, "emissive"},
        {aiTextureType_SHININESS, "shininess"},
        {aiTextureType_OPACITY, "opacity"},
        {aiTextureType_DISPLACEMENT, "displacement"},
        {aiTextureType_LIGHTMAP, "light"},
        {aiTextureType_EMISSION_COLOR, "emission colour"},
        {aiTextureType_METALNESS, "metalness"},
        {aiTextureType_DIFFUSE_ROUGHNESS, "roughness"},
        {aiTextureType_AMBIENT_OCCLUSION, "occlusion"},
        {aiTextureType_SHEEN, "sheen"},
        {aiTextureType_CLEARCOAT, "clear-coat"},
        {aiTextureType_TRANSMISSION, "transmission"},
        {aiTextureType_UNKNOWN, "metal-roughness"},
    };
    std::set<std::string> named; // one warning per picture, whatever its uses
    for (const auto& [type, what] : kOthers) {
        if (material->GetTextureCount(type) == 0) continue;
        aiString path;
        material->GetTexture(type, 0, &path);
        if (!named.insert(path.C_Str()).second) continue;
        Warn(Format("material %s: its %s map (%s) is not carried over", name.c_str(), what, path.C_Str()));
    }
    document_.Materials.push_back(std::move(y3d));
}

bool TImporter::AddMap(const aiMaterial* material, const std::string& name, aiTextureType type,
                       int32_t mapType, TY3dMaterial& y3d, bool normals) {
    const unsigned count = material->GetTextureCount(type);
    if (count == 0) return false;
    aiString path;
    material->GetTexture(type, 0, &path);
    static const std::map<int32_t, const char*> kWhat = {
        {mtDiffuse, "diffuse"}, {mtBump, "bump"}, {mtReflection, "reflection"}};
    const char* what = kWhat.at(mapType);
    if (count > 1)
        Warn(Format("material %s: only the first of its %u %s maps is carried over", name.c_str(), count,
                    what));
    int uvSet = 0;
    if (material->Get(AI_MATKEY_UVWSRC(type, 0), uvSet) == AI_SUCCESS && uvSet != 0)
        Warn(Format("material %s: its %s map uses texture-coordinate set %d; it is drawn with the first set",
                    name.c_str(), what, uvSet));
    aiUVTransform transform;
    if (material->Get(AI_MATKEY_UVTRANSFORM(type, 0), transform) == AI_SUCCESS &&
        (transform.mTranslation.x != 0.0f || transform.mTranslation.y != 0.0f ||
         transform.mScaling.x != 1.0f || transform.mScaling.y != 1.0f || transform.mRotation != 0.0f))
        Warn(Format("material %s: the texture transform of its %s map (offset, scale, rotation) is not "
                    "carried over; the picture is drawn untransformed",
                    name.c_str(), what));
    float amount = 1.0f;
    material->Get(AI_MATKEY_TEXBLEND(type, 0), amount);
    AddMap(path.C_Str(), name, mapType, amount, y3d, normals);
    return true;
}

void TImporter::AddMap(const std::string& path, const std::string& name, int32_t mapType, float amount,
                       TY3dMaterial& y3d, bool normals) {
    TY3dMap map;
    map.Type = mapType;
    map.Texture = PictureIndex(path, name, normals);
    map.Amount = amount;
    y3d.Maps.push_back(map);
}

std::vector<uint8_t> TImporter::PictureFileBytes(const std::string& path, const std::string& material) {
    // As written, with URI escapes undone, and finally by its file name
    // alone (a model made on another machine names folders that are not
    // here); letter case need not match.
    for (const std::string& candidate : {path, PercentDecoded(path), FileNamePart(PercentDecoded(path))}) {
        const std::string file = ResolveDataPath(folder_, candidate);
        std::error_code error;
        if (std::filesystem::is_regular_file(file, error)) return ReadWholeFile(file);
    }
    throw Exception(Format("%s: material %s: Couldn't open the picture %s", path_.c_str(), material.c_str(),
                           path.c_str()));
}

int32_t TImporter::PictureIndex(const std::string& path, const std::string& material, bool normals) {
    const std::string key = path + (normals ? "\n(normals)" : "");
    if (auto it = pictures_.find(key); it != pictures_.end()) return it->second;

    TY3dPicture picture;
    picture.Header = {nextId_++, 0, -1, path};
    const aiTexture* embedded = scene_->GetEmbeddedTexture(path.c_str());
    // A picture inside the model is named "*N" by assimp: its own name, or
    // one made from its number and format, says more.
    if (embedded && path[0] == '*') {
        const std::string hint(embedded->achFormatHint, strnlen(embedded->achFormatHint, HINTMAXTEXTURELEN));
        picture.Header.Name = embedded->mFilename.length > 0 ? std::string(embedded->mFilename.C_Str())
                                                             : Format("picture%s.%s", path.c_str() + 1,
                                                                      hint.empty() ? "bin" : hint.c_str());
    }
    if (embedded || options_.EmbedTextures || normals) {
        TScenePicture pixels;
        try {
            if (embedded && embedded->mHeight > 0) {
                // Uncompressed texels, top row first.
                pixels.Width = int32_t(embedded->mWidth);
                pixels.Height = int32_t(embedded->mHeight);
                pixels.Channels = 4;
                for (int32_t y = pixels.Height - 1; y >= 0; y--)
                    for (int32_t x = 0; x < pixels.Width; x++) {
                        const aiTexel& t = embedded->pcData[size_t(y) * embedded->mWidth + size_t(x)];
                        pixels.Pixels.insert(pixels.Pixels.end(), {t.r, t.g, t.b, t.a});
                    }
            } else if (embedded) {
                pixels =
                    DecodeScenePicture(reinterpret_cast<const uint8_t*>(embedded->pcData), embedded->mWidth);
            } else {
                const std::vector<uint8_t> bytes = PictureFileBytes(path, material);
                pixels = DecodeScenePicture(bytes.data(), bytes.size());
            }
        } catch (const Exception& e) {
            if (std::string(e.what()).rfind(path_ + ":", 0) == 0) throw;
            throw Exception(Format("%s: material %s: picture %s: %s", path_.c_str(), material.c_str(),
                                   path.c_str(), e.what()));
        }
        // The engine makes its bump maps from heights.
        if (normals) pixels = HeightsFromNormals(pixels, kBumpScale);
        picture.Embedded = true;
        picture.Width = pixels.Width;
        picture.Height = pixels.Height;
        picture.BytesPerPixel = pixels.Channels;
        picture.BitsPerChannel = 8;
        picture.Pixels = std::move(pixels.Pixels);
    } else {
        // By reference: the scene finds the picture by its file name in its
        // data (the folder part is dropped when it loads).
        const std::string file = FileNamePart(PercentDecoded(path));
        picture.Header.Name = path;
        auto [it, added] = referencedNames_.emplace(file, path);
        if (!added && it->second != path)
            Warn(Format("pictures %s and %s have the same file name; the scene will find only one of them",
                        it->second.c_str(), path.c_str()));
        std::string found;
        for (const std::string& candidate : {path, PercentDecoded(path)}) {
            std::error_code error;
            const std::string resolved = ResolveDataPath(folder_, candidate);
            if (found.empty() && std::filesystem::is_regular_file(resolved, error)) found = resolved;
        }
        if (found.empty()) {
            Warn(Format("material %s: picture %s is not next to the model; the scene will look for %s in its "
                        "data",
                        material.c_str(), path.c_str(), file.c_str()));
        } else {
            // What the engine will make of it when it loads the scene.
            try {
                const std::vector<uint8_t> bytes = ReadWholeFile(found);
                DecodeScenePicture(bytes.data(), bytes.size());
            } catch (const Exception& e) {
                Warn(Format("picture %s cannot be read by the engine: %s", path.c_str(), e.what()));
            }
        }
    }
    const int32_t index = int32_t(document_.Pictures.size());
    document_.Pictures.push_back(std::move(picture));
    pictures_[key] = index;
    return index;
}

// ---- nodes ----

void TImporter::WriteNode(const aiNode* node, int32_t parentId, const aiVector3D& parentScale,
                          int32_t depth) {
    const std::string name = Name(node->mName, Format("node%d", nextId_));
    // The engine refuses deeper chains of nodes (and a camera, light or
    // extra mesh may add a node below this one).
    if (depth + 2 > kMaxNodeDepth)
        throw Exception(Format("%s: node %s lies more than %d nodes deep, deeper than scenes may be",
                               path_.c_str(), name.c_str(), kMaxNodeDepth - 2));
    const TPose rest = RestPose(node);
    // Channels, cameras and lights find their node by name: the first node
    // of a name takes them.
    const auto channel = channels_.find(node->mName.C_Str());
    const bool animated = channel != channels_.end() && animatedNames_.insert(channel->first).second;
    // The pose the node's scale is taken from: the first frame when animated.
    const TPose pose = animated ? SamplePose(channel->second, rest, 0.0) : rest;

    // The engine's nodes translate and rotate; scales are baked into the
    // meshes. A parent's scale moves the child (its translation grows) and
    // is passed on to everything below, which is exact when the scale is the
    // same on every axis or the child does not rotate.
    const aiVector3D scale = Times(parentScale, pose.Scale);
    bool rotates = !IsIdentity(pose.Rotation);
    if (animated)
        for (unsigned k = 0; k < channel->second.Anim->mNumRotationKeys && !rotates; k++)
            rotates = !IsIdentity(channel->second.Anim->mRotationKeys[k].mValue);
    if (!Uniform(parentScale) && rotates)
        Warn(Format("node %s: it turns inside a parent scaled differently along each axis; the skew this "
                    "makes is not carried over",
                    name.c_str()));

    // What the node carries.
    std::vector<TAttachment> attachments;
    for (unsigned i = 0; i < node->mNumMeshes; i++) {
        const aiMesh* mesh = scene_->mMeshes[node->mMeshes[i]];
        WarnAboutMesh(mesh);
        if (Triangles(mesh)) attachments.push_back({TAttachment::akMesh, node->mMeshes[i]});
    }
    for (auto [it, end] = cameras_.equal_range(node->mName.C_Str()); it != end; ++it)
        if (placedCameras_.insert(it->second).second)
            attachments.push_back({TAttachment::akCamera, it->second});
    for (auto [it, end] = lights_.equal_range(node->mName.C_Str()); it != end; ++it) {
        const aiLight* light = scene_->mLights[it->second];
        if (!placedLights_.insert(it->second).second) continue; // on an earlier node of that name
        if (light->mType == aiLightSource_POINT || light->mType == aiLightSource_SPOT) {
            attachments.push_back({TAttachment::akLight, it->second});
        } else if (light->mType == aiLightSource_AMBIENT) {
            if (!options_.AmbientGiven)
                for (int c = 0; c < 3; c++)
                    document_.Colors.Ambient[c] += (&light->mColorAmbient.r)[c] * options_.LightScale;
        } else {
            Warn(Format("light %s: %s lights are not carried over (the engine has point and spot lights)",
                        light->mName.C_Str(),
                        light->mType == aiLightSource_DIRECTIONAL ? "directional" : "area"));
        }
    }

    // The node itself; a single attachment in the engine's own frame rides
    // on it, several get a child node each.
    TY3dObject object;
    object.Node.Header = {nextId_++, parentId, -1, name};
    const int32_t id = object.Node.Header.Id;
    const aiVector3D position = Times(pose.Position, parentScale);
    object.Node.Translation[0] = position.x;
    object.Node.Translation[1] = position.y;
    object.Node.Translation[2] = position.z;
    // The engine's rotation matrices turn points by the conjugate of the
    // stored quaternion.
    object.Node.Rotation[0] = -pose.Rotation.x;
    object.Node.Rotation[1] = -pose.Rotation.y;
    object.Node.Rotation[2] = -pose.Rotation.z;
    object.Node.Rotation[3] = pose.Rotation.w;
    object.Node.Scale[0] = pose.Scale.x;
    object.Node.Scale[1] = pose.Scale.y;
    object.Node.Scale[2] = pose.Scale.z;
    if (animated) WriteTrack(object, node, channel->second, rest, parentScale);
    const bool single = attachments.size() == 1 && !NeedsOwnNode(attachments[0]);
    if (single) WriteAttachment(object, attachments[0], node, scale);
    document_.Objects.push_back(std::move(object));
    result_.Nodes++;

    if (!single)
        for (const TAttachment& attachment : attachments) {
            TY3dObject child;
            const std::string childName =
                attachment.What == TAttachment::akMesh
                    ? Name(scene_->mMeshes[attachment.Index]->mName, name + " mesh")
                : attachment.What == TAttachment::akCamera
                    ? Name(scene_->mCameras[attachment.Index]->mName, name + " camera")
                    : Name(scene_->mLights[attachment.Index]->mName, name + " light");
            child.Node.Header = {nextId_++, id, -1, childName};
            // A camera or light that does not look along -z (other formats
            // than glTF) is turned by its own node.
            aiVector3D at, look(0, 0, -1), up(0, 1, 0);
            if (attachment.What == TAttachment::akCamera) {
                const aiCamera* c = scene_->mCameras[attachment.Index];
                at = CameraPosition(c), look = c->mLookAt, up = c->mUp;
            } else if (attachment.What == TAttachment::akLight) {
                const aiLight* l = scene_->mLights[attachment.Index];
                at = l->mPosition, look = l->mDirection, up = aiVector3D();
            }
            at = Times(at, scale);
            const aiQuaternion turn = FrameRotation(look, up);
            child.Node.Translation[0] = at.x;
            child.Node.Translation[1] = at.y;
            child.Node.Translation[2] = at.z;
            child.Node.Rotation[0] = -turn.x;
            child.Node.Rotation[1] = -turn.y;
            child.Node.Rotation[2] = -turn.z;
            child.Node.Rotation[3] = turn.w;
            WriteAttachment(child, attachment, node, scale);
            document_.Objects.push_back(std::move(child));
            result_.Nodes++;
        }

    for (unsigned i = 0; i < node->mNumChildren; i++)
        WriteNode(node->mChildren[i], id, scale, depth + 1);
}

// Where a camera stands in its node. A glTF camera stands at its node's
// origin, but assimp also gives it the node's translation as its position.
aiVector3D TImporter::CameraPosition(const aiCamera* camera) const {
    return gltf_ ? aiVector3D() : camera->mPosition;
}

// A camera or light that does not stand at its node's origin looking along
// -z needs a node of its own to turn it.
bool TImporter::NeedsOwnNode(const TAttachment& attachment) const {
    if (attachment.What == TAttachment::akCamera) {
        const aiCamera* c = scene_->mCameras[attachment.Index];
        return CameraPosition(c).SquareLength() > 1e-12f || !Near(c->mLookAt.x, 0) ||
               !Near(c->mLookAt.y, 0) || c->mLookAt.z >= 0 || !Near(c->mUp.x, 0) || c->mUp.y <= 0 ||
               !Near(c->mUp.z, 0);
    }
    if (attachment.What == TAttachment::akLight) {
        const aiLight* l = scene_->mLights[attachment.Index];
        return l->mPosition.SquareLength() > 1e-12f || !Near(l->mDirection.x, 0) ||
               !Near(l->mDirection.y, 0) || l->mDirection.z >= 0;
    }
    return false;
}

void TImporter::WriteAttachment(TY3dObject& object, const TAttachment& attachment, const aiNode* node,
                                const aiVector3D& scale) {
    const int32_t id = object.Node.Header.Id;
    switch (attachment.What) {
    case TAttachment::akMesh: {
        bool isNew = false;
        const int32_t meshId = MeshId(attachment.Index, scale, id, isNew);
        if (isNew) {
            object.What = TY3dObject::okMesh;
            object.Mesh = MakeMesh(scene_->mMeshes[attachment.Index], scale);
            object.Mesh.Header = {id, object.Node.Header.Parent, -1,
                                  Name(scene_->mMeshes[attachment.Index]->mName, object.Node.Header.Name)};
            result_.Meshes++;
        } else {
            object.Node.Header.Reference = meshId; // an instance of a mesh written before
        }
        break;
    }
    case TAttachment::akCamera:
        object.What = TY3dObject::okCamera;
        object.Camera = MakeCamera(scene_->mCameras[attachment.Index], node);
        object.Camera.Header = {id, object.Node.Header.Parent, -1, object.Node.Header.Name};
        result_.Cameras++;
        break;
    case TAttachment::akLight: {
        object.What = TY3dObject::okLight;
        const aiLight* light = scene_->mLights[attachment.Index];
        object.Light = MakeLight(light);
        object.Light.Header = {id, object.Node.Header.Parent, -1, object.Node.Header.Name};
        // Shadows reach from the light to the far side of the scene.
        const aiVector3D at = worlds_[node] * light->mPosition;
        float reach = 0.0f;
        for (int corner = 0; corner < 8; corner++) {
            const aiVector3D c(corner & 1 ? boundsMax_.x : boundsMin_.x,
                               corner & 2 ? boundsMax_.y : boundsMin_.y,
                               corner & 4 ? boundsMax_.z : boundsMin_.z);
            reach = std::max(reach, (c - at).Length());
        }
        if (!(boundsMin_.x <= boundsMax_.x) || !std::isfinite(reach)) reach = 100.0f;
        object.Light.ShadowFar = std::max(1.1f * reach, 1.0f);
        object.Light.ShadowNear = object.Light.ShadowFar / 100.0f;
        result_.Lights++;
        break;
    }
    }
}

int32_t TImporter::MeshId(unsigned index, const aiVector3D& scale, int32_t carrierId, bool& isNew) {
    auto [it, added] = meshIds_.emplace(std::make_tuple(index, scale.x, scale.y, scale.z), carrierId);
    isNew = added;
    return it->second;
}

void TImporter::WarnAboutMesh(const aiMesh* mesh) {
    if (!warnedMeshes_
             .insert(unsigned(std::find(scene_->mMeshes, scene_->mMeshes + scene_->mNumMeshes, mesh) -
                              scene_->mMeshes))
             .second)
        return;
    const std::string name = Name(mesh->mName, "(unnamed)");
    if (!Triangles(mesh))
        Warn(Format("mesh %s: its points and lines are not carried over (the engine draws triangles)",
                    name.c_str()));
    if (mesh->GetNumUVChannels() > 1)
        Warn(Format("mesh %s: only the first of its %u texture-coordinate sets is carried over", name.c_str(),
                    mesh->GetNumUVChannels()));
    if (mesh->GetNumColorChannels() > 0)
        Warn(Format("mesh %s: its vertex colours are not carried over", name.c_str()));
    if (mesh->mNumBones > 0)
        Warn(Format("mesh %s: its skin (%u bones) is not carried over; it is drawn as it rests", name.c_str(),
                    mesh->mNumBones));
    if (mesh->mNumAnimMeshes > 0)
        Warn(
            Format("mesh %s: its %u morph targets are not carried over", name.c_str(), mesh->mNumAnimMeshes));
}

TY3dMesh TImporter::MakeMesh(const aiMesh* mesh, const aiVector3D& scale) {
    const bool uv = mesh->HasTextureCoords(0);
    const bool mirrored = scale.x * scale.y * scale.z < 0.0f;
    // Triangles, each turned the other way when the scale mirrors them.
    std::vector<uint32_t> indices;
    indices.reserve(size_t(mesh->mNumFaces) * 3);
    for (unsigned f = 0; f < mesh->mNumFaces; f++) {
        const aiFace& face = mesh->mFaces[f];
        if (face.mNumIndices != 3) continue;
        indices.push_back(face.mIndices[0]);
        indices.push_back(face.mIndices[mirrored ? 2 : 1]);
        indices.push_back(face.mIndices[mirrored ? 1 : 2]);
    }
    auto position = [&](unsigned v) { return Times(mesh->mVertices[v], scale); };
    auto coords = [&](unsigned v) { return uv ? mesh->mTextureCoords[0][v] : aiVector3D(); };

    TY3dMesh y3d;
    y3d.Flags = vfPosition | vfNormal | (uv ? vfTexCoord : 0);
    const int32_t floats = VertexFloats(y3d.Flags);
    auto put = [&](const aiVector3D& p, const aiVector3D& n, const aiVector3D& t) {
        y3d.Vertices.insert(y3d.Vertices.end(), {p.x, p.y, p.z, n.x, n.y, n.z});
        if (uv) y3d.Vertices.insert(y3d.Vertices.end(), {t.x, t.y});
    };
    if (mesh->HasNormals()) {
        // Normals follow the inverse of the scale.
        for (unsigned v = 0; v < mesh->mNumVertices; v++) {
            aiVector3D n = mesh->mNormals[v];
            n = aiVector3D(scale.x != 0 ? n.x / scale.x : 0, scale.y != 0 ? n.y / scale.y : 0,
                           scale.z != 0 ? n.z / scale.z : 0);
            if (n.SquareLength() > 0) n.Normalize();
            put(position(v), n, coords(v));
        }
        y3d.Indices = std::move(indices);
    } else {
        // Flat normals: every corner gets its face's normal; corners that end
        // up alike are shared again.
        std::unordered_map<std::string, uint32_t> seen;
        for (size_t i = 0; i < indices.size(); i += 3) {
            const aiVector3D a = position(indices[i]), b = position(indices[i + 1]),
                             c = position(indices[i + 2]);
            aiVector3D n = (b - a) ^ (c - a);
            n = n.SquareLength() > 0 ? n.Normalize() : aiVector3D(0, 0, 1);
            for (size_t k = 0; k < 3; k++) {
                const unsigned v = indices[i + k];
                const size_t start = y3d.Vertices.size();
                put(position(v), n, coords(v));
                // Alike: the same position and coordinates, and normals
                // that differ only by rounding (the two triangles of a quad).
                std::string key(reinterpret_cast<const char*>(&y3d.Vertices[start]), size_t(floats) * 4);
                for (int c = 3; c < 6; c++) {
                    const int32_t rounded = int32_t(std::lround(y3d.Vertices[start + size_t(c)] * 65536.0f));
                    std::memcpy(&key[size_t(c) * 4], &rounded, 4);
                }
                auto [it, added] = seen.emplace(key, uint32_t(start / size_t(floats)));
                if (!added) y3d.Vertices.resize(start);
                y3d.Indices.push_back(it->second);
            }
        }
    }
    y3d.VertexCount = int32_t(y3d.Vertices.size() / size_t(floats));
    y3d.Groups.push_back({4, int32_t(mesh->mMaterialIndex), 0, int32_t(y3d.Indices.size())});
    return y3d;
}

TY3dCamera TImporter::MakeCamera(const aiCamera* camera, const aiNode* node) {
    TY3dCamera y3d;
    // Assimp gives glTF's vertical field of view times the camera's aspect
    // ratio (times 1 without one). The engine divides the stored angle by
    // the screen's aspect ratio for its vertical field of view, so it keeps
    // that product, and for a camera without an aspect ratio the product
    // with 4:3: on a screen of the camera's shape the picture is glTF's.
    const double aspect = camera->mAspect > 0.0f ? camera->mAspect : 0.0;
    const double vertical = camera->mHorizontalFOV / (aspect > 0.0 ? aspect : 1.0);
    y3d.Fov = float(vertical * kDegrees * (aspect > 0.0 ? aspect : 4.0 / 3.0));
    y3d.Near = camera->mClipPlaneNear;
    y3d.Far = camera->mClipPlaneFar;
    y3d.TargetDistance = 0.0f;
    if (camera->mOrthographicWidth > 0.0f) {
        // An orthographic camera shows a rectangle of half width w and half
        // height w / aspect. The engine draws in perspective: from the same
        // place, looking the same way, the camera shows the same rectangle
        // at the distance of the scene's centre along its view.
        const double shape = aspect > 0.0 ? aspect : 4.0 / 3.0;
        const double halfHeight = camera->mOrthographicWidth / shape;
        const auto known = worlds_.find(node);
        const aiMatrix4x4 world = known != worlds_.end() ? known->second : aiMatrix4x4();
        const aiVector3D at = world * CameraPosition(camera);
        aiVector3D axis = aiMatrix3x3(world) * camera->mLookAt;
        axis = axis.SquareLength() > 0.0f ? axis.Normalize() : aiVector3D(0, 0, -1);
        const TFraming f = Framing();
        float distance = (f.Centre - at) * axis;
        if (!(distance > 1e-6f * f.Radius)) distance = std::max((f.Centre - at).Length(), f.Radius);
        y3d.Fov = float(2.0 * std::atan(halfHeight / distance) * kDegrees * shape);
        y3d.TargetDistance = distance;
        if (!(y3d.Near > 0.0f && y3d.Near < distance)) y3d.Near = distance / 100.0f;
        if (!(y3d.Far > distance)) y3d.Far = distance + 2.0f * f.Radius;
        Warn(Format(
            "camera %s: it is orthographic; it becomes a perspective camera that shows the same %g by "
            "%g at %g in front of it (the scene's centre)",
            camera->mName.C_Str(), 2.0 * camera->mOrthographicWidth, 2.0 * halfHeight, double(distance)));
    }
    return y3d;
}

TY3dLight TImporter::MakeLight(const aiLight* light) {
    TY3dLight y3d;
    y3d.Spot = light->mType == aiLightSource_SPOT;
    // Colour times intensity as the model gives it; the colour is stored
    // with its brightest component at 1 and the rest as the intensity.
    const float scale = options_.LightScale;
    const aiColor3D c(light->mColorDiffuse.r * scale, light->mColorDiffuse.g * scale,
                      light->mColorDiffuse.b * scale);
    const float intensity = std::max({c.r, c.g, c.b});
    y3d.Intensity = intensity > 0 ? intensity : 0.0f;
    y3d.Color[0] = intensity > 0 ? c.r / intensity : 0.0f;
    y3d.Color[1] = intensity > 0 ? c.g / intensity : 0.0f;
    y3d.Color[2] = intensity > 0 ? c.b / intensity : 0.0f;
    y3d.AffectsDiffuse = true;
    y3d.AffectsSpecular = !light->mColorSpecular.IsBlack();
    if (intensity > 1.0f)
        Warn(Format("light %s: its intensity is %g; the engine's lights do not fade with distance, so it may "
                    "look far brighter than in the model (--light-scale scales every light)",
                    light->mName.C_Str(), double(intensity)));
    // The full cone: glTF's outer cone angle is measured from the axis, so
    // the engine's cut-off (half the cone) equals it.
    y3d.Cone = y3d.Spot ? float(std::min(2.0 * light->mAngleOuterCone * kDegrees, 180.0)) : 180.0f;
    y3d.CastsShadows = y3d.Spot && options_.Shadows;
    return y3d;
}

void TImporter::WriteTrack(TY3dObject& object, const aiNode* node, const TChannel& channel, const TPose& rest,
                           const aiVector3D& parentScale) {
    TY3dTrack track;
    track.NodeId = object.Node.Header.Id;
    track.Kind = tkPositionRotationKeys;
    track.FloatsPerKey = 7;
    track.Step = 1;
    track.Keys.reserve(size_t(lastFrame_ + 1) * 7);
    const aiVector3D firstScale = SamplePose(channel, rest, 0.0).Scale;
    bool scaleChanges = false;
    aiQuaternion previous;
    for (int32_t frame = 0; frame <= lastFrame_; frame++) {
        const TPose pose = SamplePose(channel, rest, frame / options_.Fps);
        scaleChanges = scaleChanges || !Near(pose.Scale.x, firstScale.x, 1e-4f) ||
                       !Near(pose.Scale.y, firstScale.y, 1e-4f) || !Near(pose.Scale.z, firstScale.z, 1e-4f);
        const aiVector3D p = Times(pose.Position, parentScale);
        // Conjugated as the node's rotation is; successive keys in the same
        // hemisphere, so that they turn the short way.
        aiQuaternion q(pose.Rotation.w, -pose.Rotation.x, -pose.Rotation.y, -pose.Rotation.z);
        if (frame > 0 && q.x * previous.x + q.y * previous.y + q.z * previous.z + q.w * previous.w < 0)
            q = aiQuaternion(-q.w, -q.x, -q.y, -q.z);
        previous = q;
        track.Keys.insert(track.Keys.end(), {p.x, p.y, p.z, q.x, q.y, q.z, q.w});
    }
    if (scaleChanges)
        Warn(Format("node %s: its scale animation is not carried over (its scale at frame 0 is kept)",
                    Name(node->mName, "(unnamed)").c_str()));
    object.Track = std::move(track);
    result_.AnimatedNodes++;
}

} // namespace

TSceneImportResult ImportScene(const std::string& path, const TSceneImportOptions& options) {
    TImporter importer(path, options);
    return importer.Run();
}
