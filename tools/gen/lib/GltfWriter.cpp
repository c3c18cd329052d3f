#include "tools/gen/lib/GltfWriter.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/Exception.h"

namespace {

constexpr int kFloat = 5126, kUnsignedInt = 5125;
constexpr int kArrayBuffer = 34962, kElementBuffer = 34963;

std::string Num(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", double(v));
    return text;
}

std::string Array(const float* v, int n) {
    std::string s = "[";
    for (int i = 0; i < n; i++)
        s += (i ? "," : "") + Num(v[i]);
    return s + "]";
}

std::string List(const std::vector<std::string>& items) {
    std::string s = "[";
    for (size_t i = 0; i < items.size(); i++)
        s += (i ? ",\n    " : "\n    ") + items[i];
    return s + (items.empty() ? "]" : "\n  ]");
}

// glTF's quaternion (x, y, z, w) of a rotation: it turns column vectors, so
// it is the conjugate of the one a scene file stores for the same rotation.
void GltfQuaternion(const TRotation& r, float q[4]) {
    ToFileQuaternion(r, q);
    q[0] = -q[0];
    q[1] = -q[1];
    q[2] = -q[2];
}

void WriteFile(const std::string& path, const void* data, size_t size) {
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary);
        out.write(static_cast<const char*>(data), std::streamsize(size));
        if (!out.flush()) {
            std::remove(temp.c_str());
            throw Exception("Cannot write " + path);
        }
    }
    std::error_code e;
    std::filesystem::rename(temp, path, e);
    if (e) {
        std::remove(temp.c_str());
        throw Exception("Cannot write " + path + ": " + e.message());
    }
}

} // namespace

int TGltfWriter::Accessor(const void* data, size_t bytes, int count, const char* type, int componentType,
                          int target, const std::string& minMax) {
    while (buffer_.size() % 4)
        buffer_.push_back(0);
    const size_t offset = buffer_.size();
    const uint8_t* p = static_cast<const uint8_t*>(data);
    buffer_.insert(buffer_.end(), p, p + bytes);
    std::string view =
        "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) + ",\"byteLength\":" + std::to_string(bytes);
    if (target) view += ",\"target\":" + std::to_string(target);
    bufferViews_.push_back(view + "}");
    accessors_.push_back("{\"bufferView\":" + std::to_string(bufferViews_.size() - 1) +
                         ",\"componentType\":" + std::to_string(componentType) +
                         ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"" + minMax + "}");
    return int(accessors_.size() - 1);
}

int TGltfWriter::Material(const TGltfMaterial& m) {
    std::string pbr = "\"baseColorFactor\":" + Array(m.baseColor, 4) +
                      ",\"metallicFactor\":" + Num(m.metallic) + ",\"roughnessFactor\":" + Num(m.roughness);
    if (!m.baseColorPicture.empty()) {
        images_.push_back("{\"uri\":\"" + m.baseColorPicture + "\"}");
        pbr += ",\"baseColorTexture\":{\"index\":" + std::to_string(images_.size() - 1) + "}";
    }
    std::string text = "{\"name\":\"" + m.name + "\",\"pbrMetallicRoughness\":{" + pbr + "}";
    if (m.emissive[0] > 0 || m.emissive[1] > 0 || m.emissive[2] > 0)
        text += ",\"emissiveFactor\":" + Array(m.emissive, 3);
    if (m.doubleSided) text += ",\"doubleSided\":true";
    if (m.baseColor[3] < 1.0f) text += ",\"alphaMode\":\"BLEND\"";
    materials_.push_back(text + "}");
    return int(materials_.size() - 1);
}

int TGltfWriter::Mesh(const std::string& name, const TGenMesh& mesh, int material) {
    std::vector<float> positions, normals, uvs;
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (const TGenVertex& v : mesh.Vertices) {
        const float p[3] = {v.p.x, v.p.y, v.p.z};
        for (int c = 0; c < 3; c++) {
            lo[c] = std::min(lo[c], p[c]);
            hi[c] = std::max(hi[c], p[c]);
        }
        positions.insert(positions.end(), p, p + 3);
        normals.insert(normals.end(), {v.n.x, v.n.y, v.n.z});
        uvs.insert(uvs.end(), {v.u, 1.0f - v.v}); // glTF's v runs down the picture
    }
    const int count = int(mesh.Vertices.size());
    int pos = Accessor(positions.data(), positions.size() * 4, count, "VEC3", kFloat, kArrayBuffer,
                       ",\"min\":" + Array(lo, 3) + ",\"max\":" + Array(hi, 3));
    int nor = Accessor(normals.data(), normals.size() * 4, count, "VEC3", kFloat, kArrayBuffer);
    int tex = Accessor(uvs.data(), uvs.size() * 4, count, "VEC2", kFloat, kArrayBuffer);
    int ind = Accessor(mesh.Indices.data(), mesh.Indices.size() * 4, int(mesh.Indices.size()), "SCALAR",
                       kUnsignedInt, kElementBuffer);
    meshes_.push_back(
        "{\"name\":\"" + name + "\",\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(pos) +
        ",\"NORMAL\":" + std::to_string(nor) + ",\"TEXCOORD_0\":" + std::to_string(tex) +
        "},\"indices\":" + std::to_string(ind) + ",\"material\":" + std::to_string(material) + "}]}");
    return int(meshes_.size() - 1);
}

int TGltfWriter::Node(const std::string& name, const TPose& pose, int parent, int mesh) {
    TNodeEntry n;
    n.name = name;
    n.pose = pose;
    n.mesh = mesh;
    n.root = parent < 0;
    nodes_.push_back(n);
    const int id = int(nodes_.size() - 1);
    if (parent >= 0) nodes_[size_t(parent)].children.push_back(id);
    return id;
}

int TGltfWriter::Camera(const std::string& name, float fov, float aspect, float nearClip, float farClip) {
    cameras_.push_back("{\"name\":\"" + name + "\",\"type\":\"perspective\",\"perspective\":{\"yfov\":" +
                       Num(Radians(fov)) + ",\"aspectRatio\":" + Num(aspect) + ",\"znear\":" + Num(nearClip) +
                       ",\"zfar\":" + Num(farClip) + "}}");
    return int(cameras_.size() - 1);
}

int TGltfWriter::PointLight(const std::string& name, const float color[3], float intensity) {
    lights_.push_back("{\"name\":\"" + name + "\",\"type\":\"point\",\"color\":" + Array(color, 3) +
                      ",\"intensity\":" + Num(intensity) + "}");
    return int(lights_.size() - 1);
}

void TGltfWriter::AttachCamera(int node, int camera) {
    nodes_[size_t(node)].camera = camera;
}

void TGltfWriter::AttachLight(int node, int light) {
    nodes_[size_t(node)].light = light;
}

void TGltfWriter::Animate(int node, float seconds, float step, const std::function<TPose(float)>& pose) {
    std::vector<float> times, translations, rotations;
    float previous[4] = {0, 0, 0, 1};
    const int keys = int(seconds / step + 0.5f) + 1;
    for (int k = 0; k < keys; k++) {
        const float t = float(k) * step;
        const TPose p = pose(t);
        float q[4];
        GltfQuaternion(p.rotation, q);
        if (k > 0 && q[0] * previous[0] + q[1] * previous[1] + q[2] * previous[2] + q[3] * previous[3] < 0)
            for (float& c : q)
                c = -c;
        std::memcpy(previous, q, sizeof q);
        times.push_back(t);
        translations.insert(translations.end(), {p.position.x, p.position.y, p.position.z});
        rotations.insert(rotations.end(), q, q + 4);
    }
    const float range[2] = {times.front(), times.back()};
    int input = Accessor(times.data(), times.size() * 4, keys, "SCALAR", kFloat, 0,
                         ",\"min\":[" + Num(range[0]) + "],\"max\":[" + Num(range[1]) + "]");
    int move = Accessor(translations.data(), translations.size() * 4, keys, "VEC3", kFloat, 0);
    int turn = Accessor(rotations.data(), rotations.size() * 4, keys, "VEC4", kFloat, 0);
    for (auto [output, path] : {std::pair{move, "translation"}, std::pair{turn, "rotation"}}) {
        samplers_.push_back("{\"input\":" + std::to_string(input) + ",\"output\":" + std::to_string(output) +
                            ",\"interpolation\":\"LINEAR\"}");
        channels_.push_back("{\"sampler\":" + std::to_string(samplers_.size() - 1) +
                            ",\"target\":{\"node\":" + std::to_string(node) + ",\"path\":\"" + path + "\"}}");
    }
}

void TGltfWriter::Save(const std::string& folder, const std::string& name) const {
    std::vector<std::string> nodes, roots;
    for (size_t i = 0; i < nodes_.size(); i++) {
        const TNodeEntry& n = nodes_[i];
        float q[4];
        GltfQuaternion(n.pose.rotation, q);
        const float t[3] = {n.pose.position.x, n.pose.position.y, n.pose.position.z};
        std::string text =
            "{\"name\":\"" + n.name + "\",\"translation\":" + Array(t, 3) + ",\"rotation\":" + Array(q, 4);
        if (n.mesh >= 0) text += ",\"mesh\":" + std::to_string(n.mesh);
        if (n.camera >= 0) text += ",\"camera\":" + std::to_string(n.camera);
        if (n.light >= 0)
            text += ",\"extensions\":{\"KHR_lights_punctual\":{\"light\":" + std::to_string(n.light) + "}}";
        if (!n.children.empty()) {
            text += ",\"children\":[";
            for (size_t c = 0; c < n.children.size(); c++)
                text += (c ? "," : "") + std::to_string(n.children[c]);
            text += "]";
        }
        nodes.push_back(text + "}");
        if (n.root) roots.push_back(std::to_string(i));
    }
    std::string rootList;
    for (size_t i = 0; i < roots.size(); i++)
        rootList += (i ? "," : "") + roots[i];
    std::vector<std::string> textures;
    for (size_t i = 0; i < images_.size(); i++)
        textures.push_back("{\"source\":" + std::to_string(i) + "}");

    std::string json = "{\n  \"asset\":{\"version\":\"2.0\",\"generator\":\"zumbrix gen_gltf\"},\n";
    if (!lights_.empty())
        json += "  \"extensionsUsed\":[\"KHR_lights_punctual\"],\n  \"extensions\":{\"KHR_lights_punctual\":"
                "{\"lights\":" +
                List(lights_) + "}},\n";
    json += "  \"scene\":0,\n  \"scenes\":[{\"nodes\":[" + rootList + "]}],\n";
    json += "  \"nodes\":" + List(nodes) + ",\n";
    json += "  \"meshes\":" + List(meshes_) + ",\n";
    json += "  \"materials\":" + List(materials_) + ",\n";
    if (!images_.empty()) {
        json += "  \"images\":" + List(images_) + ",\n";
        json += "  \"textures\":" + List(textures) + ",\n";
    }
    if (!cameras_.empty()) json += "  \"cameras\":" + List(cameras_) + ",\n";
    if (!channels_.empty())
        json += "  \"animations\":[{\"name\":\"motion\",\"channels\":" + List(channels_) +
                ",\n  \"samplers\":" + List(samplers_) + "}],\n";
    json += "  \"accessors\":" + List(accessors_) + ",\n";
    json += "  \"bufferViews\":" + List(bufferViews_) + ",\n";
    json += "  \"buffers\":[{\"uri\":\"" + name + ".bin\",\"byteLength\":" + std::to_string(buffer_.size()) +
            "}]\n}\n";

    WriteFile(folder + "/" + name + ".bin", buffer_.data(), buffer_.size());
    WriteFile(folder + "/" + name + ".gltf", json.data(), json.size());
}
