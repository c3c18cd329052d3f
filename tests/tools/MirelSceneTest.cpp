// mirel scene import and mirel scene dump, run as an author runs them: the
// tests write small glTF and OBJ models, import them and check what the
// scene loader makes of the result.
#include "tests/support/TestSupport.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include "data/3dImage.h"
#include "data/Stream.h"
#include "scene/loader/Y3dFile.h"

namespace {

// ---- writing models ----

std::string Base64(const std::vector<uint8_t>& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t n = uint32_t(bytes[i]) << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0) |
                           (i + 2 < bytes.size() ? bytes[i + 2] : 0);
        for (size_t k = 0; k < 4; k++)
            out += i + k <= bytes.size() ? digits[(n >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

// A glTF 2.0 file with its one buffer inline: accessors are added from
// values, the rest of the document is given as JSON text.
class GltfModel {
public:
    // An accessor of floats ("SCALAR", "VEC2", "VEC3", "VEC4"); min and
    // max are written for positions.
    int Floats(const std::vector<float>& values, const char* type, int perElement, bool bounds = false) {
        std::string extra;
        if (bounds) extra = ",\"min\":[-1,-1,-1],\"max\":[1,1,1]";
        return Add(values.data(), values.size() * 4, 5126, values.size() / size_t(perElement), type, extra);
    }
    int Indices(const std::vector<uint16_t>& values) {
        return Add(values.data(), values.size() * 2, 5123, values.size(), "SCALAR", "");
    }
    std::string Text(const std::string& rest) const {
        return "{\"asset\":{\"version\":\"2.0\"}," + rest + ",\"accessors\":[" + accessors_ +
               "],\"bufferViews\":[" + views_ +
               "],\"buffers\":[{\"byteLength\":" + std::to_string(buffer_.size()) +
               ",\"uri\":\"data:application/octet-stream;base64," + Base64(buffer_) + "\"}]}";
    }

private:
    int Add(const void* data, size_t bytes, int component, size_t count, const char* type,
            const std::string& extra) {
        const int index = count_++;
        const std::string sep = index ? "," : "";
        views_ += sep + "{\"buffer\":0,\"byteOffset\":" + std::to_string(buffer_.size()) +
                  ",\"byteLength\":" + std::to_string(bytes) + "}";
        accessors_ += sep + "{\"bufferView\":" + std::to_string(index) +
                      ",\"componentType\":" + std::to_string(component) +
                      ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"" + extra + "}";
        const uint8_t* p = static_cast<const uint8_t*>(data);
        buffer_.insert(buffer_.end(), p, p + bytes);
        while (buffer_.size() % 4)
            buffer_.push_back(0);
        return index;
    }
    std::vector<uint8_t> buffer_;
    std::string accessors_, views_;
    int count_ = 0;
};

const std::vector<float> kCubeCorners = {-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1,
                                         -1, -1, 1,  1, -1, 1,  1, 1, 1,  -1, 1, 1};
const std::vector<uint16_t> kCubeTriangles = {0, 2, 1, 0, 3, 2, 4, 5, 6, 4, 6, 7, 0, 1, 5, 0, 5, 4,
                                              2, 3, 7, 2, 7, 6, 1, 2, 6, 1, 6, 5, 0, 4, 7, 0, 7, 3};

// A 24-bit uncompressed Targa picture, every pixel the same colour.
void WriteTarga(const std::string& path, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> bytes = {0,
                                  0,
                                  2,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  0,
                                  uint8_t(width),
                                  uint8_t(width >> 8),
                                  uint8_t(height),
                                  uint8_t(height >> 8),
                                  24,
                                  0};
    for (int i = 0; i < width * height; i++)
        bytes.insert(bytes.end(), {b, g, r});
    WriteFileBytes(path, bytes);
}

// The nine vertex-program texts every scene loads, as placeholders.
void WriteVertexPrograms(const TempDir& dir) {
    for (const char* name :
         {"vpBumpReflect3", "vpBumpDiffuseTex0", "vpBumpSpecularTex0", "vpBumpDiffuseWithShadowTexture",
          "vpBumpSpecularWithShadowTexture", "vpPlainRefraction", "vpPlainRefractionWithShadow",
          "vpAnsiotropicLight", "vpBumpDiffuseAndSpecular"})
        WriteFileText(dir.File(std::string(name) + ".txt"),
                      "!!VP1.1\nOPTION NV_position_invariant;\nMOV o[COL0], v[3];\nEND\n");
}

// ---- reading the dump ----

// The line of list `list` whose item has "name":"NAME" (one item per line).
std::string Item(const std::string& dump, const std::string& list, const std::string& name) {
    const size_t start = dump.find("\"" + list + "\":[");
    const size_t end = dump.find("\n]", start);
    const size_t at = dump.find("\"name\":\"" + name + "\"", start);
    if (start == std::string::npos || at == std::string::npos || at > end) return "";
    const size_t lineStart = dump.rfind('\n', at) + 1;
    return dump.substr(lineStart, dump.find('\n', at) - lineStart);
}

// The numbers of member `key` of an item (one number or an array); NaN
// when it has no such member.
std::vector<double> Numbers(const std::string& item, const std::string& key) {
    std::vector<double> out;
    size_t at = item.find("\"" + key + "\":");
    if (at == std::string::npos) return {NAN}; // never equal to anything
    const char* p = item.c_str() + at + key.size() + 3;
    const bool list = *p == '[';
    if (list) p++;
    do {
        char* end;
        out.push_back(std::strtod(p, &end));
        p = end;
    } while (list && *p++ == ',');
    return out;
}

// ---- expected transforms, as glTF defines them (column vectors) ----

using Mat = std::array<double, 16>; // column-major, as glTF stores matrices

Mat Trs(const std::array<double, 3>& t, const std::array<double, 4>& q, double s = 1.0) {
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    return {s * (1 - 2 * y * y - 2 * z * z),
            s * (2 * x * y + 2 * w * z),
            s * (2 * x * z - 2 * w * y),
            0,
            s * (2 * x * y - 2 * w * z),
            s * (1 - 2 * x * x - 2 * z * z),
            s * (2 * y * z + 2 * w * x),
            0,
            s * (2 * x * z + 2 * w * y),
            s * (2 * y * z - 2 * w * x),
            s * (1 - 2 * x * x - 2 * y * y),
            0,
            t[0],
            t[1],
            t[2],
            1};
}

Mat Times(const Mat& a, const Mat& b) {
    Mat m{};
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++)
            for (int k = 0; k < 4; k++)
                m[size_t(4 * c + r)] += a[size_t(4 * k + r)] * b[size_t(4 * c + k)];
    return m;
}

// A point moved by a matrix in the 16-value element order (translation at 12-14).
std::array<double, 3> Apply(const double* m, const std::array<double, 3>& p) {
    std::array<double, 3> out;
    for (int j = 0; j < 3; j++)
        out[size_t(j)] = p[0] * m[j] + p[1] * m[4 + j] + p[2] * m[8 + j] + m[12 + j];
    return out;
}

std::array<double, 4> AboutAxis(int axis, double degrees) {
    std::array<double, 4> q = {0, 0, 0, std::cos(degrees * M_PI / 360.0)};
    q[size_t(axis)] = std::sin(degrees * M_PI / 360.0);
    return q;
}

std::string Numbers(const std::array<double, 4>& q) {
    char text[128];
    std::snprintf(text, sizeof text, "[%.9g,%.9g,%.9g,%.9g]", q[0], q[1], q[2], q[3]);
    return text;
}

// The test scene: a scaled, turned parent with a child, a node spinning
// about y while it rises, two cameras, a spot light and a point light.
const std::array<double, 4> kParentTurn = AboutAxis(2, 90), kChildTurn = AboutAxis(0, 30),
                            kCameraTurn = AboutAxis(1, 20), kSpotTurn = AboutAxis(0, -90);

std::string TestScene() {
    GltfModel m;
    const int corners = m.Floats(kCubeCorners, "VEC3", 3, true);
    const int triangles = m.Indices(kCubeTriangles);
    const int times = m.Floats({0.0f, 0.5f, 1.0f}, "SCALAR", 1);
    std::vector<float> turns;
    for (double degrees : {0.0, 90.0, 180.0})
        for (double v : AboutAxis(1, degrees))
            turns.push_back(float(v));
    const int spins = m.Floats(turns, "VEC4", 4);
    const int rises = m.Floats({0, 0, -5, 0, 2, -5, 0, 4, -5}, "VEC3", 3);
    auto primitive = [&](int material) {
        return "{\"name\":\"Cube" + std::to_string(material) +
               "\",\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(corners) +
               "},\"indices\":" + std::to_string(triangles) + ",\"material\":" + std::to_string(material) +
               "}]}";
    };
    return m.Text(
        "\"scene\":0,\"scenes\":[{\"nodes\":[0,3,4,5,6]}],"
        "\"nodes\":[{\"name\":\"Parent\",\"translation\":[1,2,3],\"rotation\":" +
        Numbers(kParentTurn) +
        ",\"scale\":[2,2,2],\"children\":[1,2]},"
        "{\"name\":\"Child\",\"mesh\":1,\"translation\":[1,0,0],\"rotation\":" +
        Numbers(kChildTurn) +
        "},"
        "{\"name\":\"Spinner\",\"mesh\":0,\"translation\":[0,0,-5]},"
        "{\"name\":\"Cam\",\"camera\":0,\"translation\":[0,1,10],\"rotation\":" +
        Numbers(kCameraTurn) +
        "},"
        "{\"name\":\"Cam2\",\"camera\":1},"
        "{\"name\":\"Spot\",\"translation\":[0,5,0],\"rotation\":" +
        Numbers(kSpotTurn) +
        ",\"extensions\":{\"KHR_lights_punctual\":{\"light\":0}}},"
        "{\"name\":\"Bulb\",\"extensions\":{\"KHR_lights_punctual\":{\"light\":1}}}],"
        "\"cameras\":[{\"type\":\"perspective\",\"perspective\":{\"yfov\":0.6,\"aspectRatio\":1.5,"
        "\"znear\":0.5,\"zfar\":250}},{\"type\":\"perspective\",\"perspective\":{\"yfov\":0.6,\"znear\":1}}],"
        "\"extensionsUsed\":[\"KHR_lights_punctual\"],\"extensions\":{\"KHR_lights_punctual\":{\"lights\":["
        "{\"type\":\"spot\",\"color\":[1,0.5,0.5],\"spot\":{\"outerConeAngle\":0.4}},{\"type\":\"point\"}]}},"
        "\"meshes\":[" +
        primitive(0) + "," + primitive(1) +
        "],"
        "\"materials\":[{\"name\":\"Glass\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[1,0,0,0.5],"
        "\"roughnessFactor\":0.5},\"alphaMode\":\"BLEND\",\"doubleSided\":true},"
        "{\"name\":\"Paint\",\"pbrMetallicRoughness\":{\"baseColorFactor\":[0,1,0,0.5]}}],"
        "\"animations\":[{\"channels\":[{\"sampler\":0,\"target\":{\"node\":2,\"path\":\"rotation\"}},"
        "{\"sampler\":1,\"target\":{\"node\":2,\"path\":\"translation\"}}],\"samplers\":[{\"input\":" +
        std::to_string(times) + ",\"output\":" + std::to_string(spins) +
        "},{\"input\":" + std::to_string(times) + ",\"output\":" + std::to_string(rises) + "}]}]");
}

// The glTF world matrix of a node of the test scene at a frame (30 per second).
Mat ExpectedWorld(const std::string& node, double frame) {
    const Mat parent = Trs({1, 2, 3}, kParentTurn, 2.0);
    if (node == "Child") return Times(parent, Trs({1, 0, 0}, kChildTurn));
    if (node == "Cam") return Trs({0, 1, 10}, kCameraTurn);
    if (node == "Spot") return Trs({0, 5, 0}, kSpotTurn);
    // Spinner: 180 degrees and 4 units up over 30 frames, then still.
    const double f = std::min(frame, 30.0) / 30.0;
    return Times(parent, Trs({0, 4 * f, -5}, AboutAxis(1, 180 * f)));
}

class MirelScene : public ::testing::Test {
protected:
    void SetUp() override { WriteVertexPrograms(dir); }
    CommandResult Dump(const std::string& file, const std::vector<std::string>& more = {}) {
        std::vector<std::string> args = {"scene", "dump", file};
        args.insert(args.end(), more.begin(), more.end());
        return RunMirel(args);
    }
    TempDir dir;
};

} // namespace

TEST_F(MirelScene, GltfHierarchyAnimationCamerasLightsAndMaterials) {
    WriteFileText(dir.File("scene.gltf"), TestScene());
    CommandResult import = RunMirel({"scene", "import", dir.File("scene.gltf"), dir.File("scene.y3d")});
    ASSERT_EQ(import.exitCode, 0) << import.err;
    EXPECT_NE(import.out.find("1 animated nodes over frames 0 to 30"), std::string::npos) << import.out;

    // Every corner of each cube lands where glTF puts it, at every time;
    // the parent's scale is baked into the meshes' vertices.
    for (double frame : {0.0, 10.0, 15.0, 30.0, 45.0}) {
        CommandResult dump = Dump(dir.File("scene.y3d"), {"--time", std::to_string(frame)});
        ASSERT_EQ(dump.exitCode, 0) << dump.err;
        for (const char* name : {"Child", "Spinner"}) {
            SCOPED_TRACE(std::string(name) + " at frame " + std::to_string(frame));
            const std::string object = Item(dump.out, "objects", name);
            const std::vector<double> world = Numbers(object, "world");
            ASSERT_EQ(world.size(), 16u);
            const size_t geometry = size_t(Numbers(object, "geometry")[0]);
            const size_t lineStart = dump.out.find("\"geometries\":[") + 15;
            std::string mesh = dump.out.substr(lineStart);
            for (size_t i = 0; i < geometry; i++)
                mesh = mesh.substr(mesh.find('\n') + 1);
            for (const char* corner : {"boxMin", "boxMax"}) {
                const std::vector<double> local = Numbers(mesh, corner);
                ASSERT_EQ(local.size(), 3u);
                const double sign = std::strcmp(corner, "boxMax") == 0 ? 1.0 : -1.0;
                const auto expected = Apply(ExpectedWorld(name, frame).data(), {sign, sign, sign});
                const auto actual = Apply(world.data(), {local[0], local[1], local[2]});
                for (size_t j = 0; j < 3; j++)
                    EXPECT_NEAR(actual[j], expected[j], 1e-4) << corner << " " << j;
            }
        }
    }

    CommandResult dump = Dump(dir.File("scene.y3d"));
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    // Cameras: glTF's vertical angle times the aspect ratio (4:3 without
    // one), in degrees; they look along their node's -z, as in glTF.
    EXPECT_NEAR(Numbers(Item(dump.out, "cameras", "Cam"), "fov")[0], 0.6 * 1.5 * 180 / M_PI, 1e-4);
    EXPECT_NEAR(Numbers(Item(dump.out, "cameras", "Cam2"), "fov")[0], 0.6 * 4 / 3 * 180 / M_PI, 1e-4);
    EXPECT_EQ(Numbers(Item(dump.out, "cameras", "Cam"), "near")[0], 0.5);
    EXPECT_EQ(Numbers(Item(dump.out, "cameras", "Cam"), "far")[0], 250);
    for (const char* node : {"Cam", "Spot"}) {
        const std::string list = node[0] == 'C' ? "cameras" : "lights";
        const std::vector<double> world = Numbers(Item(dump.out, list, node), "world");
        const Mat expected = ExpectedWorld(node, 0);
        ASSERT_EQ(world.size(), 16u) << node;
        for (size_t i = 0; i < 16; i++)
            EXPECT_NEAR(world[i], expected[i], 1e-5) << node << " " << i;
    }
    EXPECT_EQ(dump.out.find("\"camera\":0,"), dump.out.find("\"camera\":")) << dump.out;

    // Lights: the spot's cut-off is glTF's outer cone angle; it casts
    // shadows, the point light does not.
    const std::string spot = Item(dump.out, "lights", "Spot"), bulb = Item(dump.out, "lights", "Bulb");
    EXPECT_NEAR(Numbers(spot, "cutoff")[0], 0.4 * 180 / M_PI, 1e-4);
    EXPECT_NE(spot.find("\"castsShadows\":true"), std::string::npos);
    EXPECT_EQ(Numbers(spot, "diffuse"), (std::vector<double>{1, 0.5, 0.5, 0}));
    EXPECT_EQ(Numbers(bulb, "cutoff")[0], 180);
    EXPECT_NE(bulb.find("\"castsShadows\":false"), std::string::npos);
    EXPECT_LT(Numbers(spot, "shadowNear")[0], Numbers(spot, "shadowFar")[0]);

    // Materials: blended with a base-colour alpha below 1, unless glTF says
    // opaque; two-sided; the shininess of roughness 0.5.
    const std::string glass = Item(dump.out, "materials", "Glass"),
                      paint = Item(dump.out, "materials", "Paint");
    EXPECT_EQ(Numbers(glass, "blendKind")[0], 2);
    EXPECT_EQ(Numbers(glass, "diffuse"), (std::vector<double>{1, 0, 0, 0.5}));
    EXPECT_NE(glass.find("\"twoSided\":true"), std::string::npos);
    EXPECT_NEAR(Numbers(glass, "shininess")[0], 30, 1e-4);
    EXPECT_EQ(Numbers(paint, "blendKind")[0], 3);
    EXPECT_NE(paint.find("\"twoSided\":false"), std::string::npos);
    // The two-sided mesh draws its triangles twice.
    EXPECT_EQ(Numbers(Item(dump.out, "geometries", "Cube0"), "indices")[0], 72);
    EXPECT_EQ(Numbers(Item(dump.out, "geometries", "Cube1"), "indices")[0], 36);

    CommandResult noShadows =
        RunMirel({"scene", "import", dir.File("scene.gltf"), dir.File("plain.y3d"), "--no-shadows"});
    ASSERT_EQ(noShadows.exitCode, 0) << noShadows.err;
    EXPECT_NE(Item(Dump(dir.File("plain.y3d")).out, "lights", "Spot").find("\"castsShadows\":false"),
              std::string::npos);
}

TEST_F(MirelScene, GltfFeaturesThatCannotBeCarriedOverAreNamed) {
    GltfModel m;
    const int corners = m.Floats(kCubeCorners, "VEC3", 3, true);
    const int triangles = m.Indices(kCubeTriangles);
    const int uv = m.Floats(std::vector<float>(16, 0.5f), "VEC2", 2);
    const int colours = m.Floats(std::vector<float>(32, 1.0f), "VEC4", 4);
    const int offsets = m.Floats(std::vector<float>(24, 0.1f), "VEC3", 3);
    const std::string model = m.Text(
        "\"scenes\":[{\"nodes\":[0,1]}],\"nodes\":[{\"name\":\"Thing\",\"mesh\":0},{\"name\":\"Sun\","
        "\"extensions\":{\"KHR_lights_punctual\":{\"light\":0}}}],"
        "\"extensionsUsed\":[\"KHR_lights_punctual\"],\"extensions\":{\"KHR_lights_punctual\":{\"lights\":["
        "{\"type\":\"directional\"}]}},"
        "\"meshes\":[{\"name\":\"Thing\",\"primitives\":[{\"attributes\":{\"POSITION\":" +
        std::to_string(corners) + ",\"TEXCOORD_0\":" + std::to_string(uv) +
        ",\"TEXCOORD_1\":" + std::to_string(uv) + ",\"COLOR_0\":" + std::to_string(colours) +
        "},\"targets\":[{\"POSITION\":" + std::to_string(offsets) +
        "}],\"indices\":" + std::to_string(triangles) +
        ",\"material\":0}]}],"
        "\"materials\":[{\"name\":\"Leaf\",\"alphaMode\":\"MASK\"}]");
    WriteFileText(dir.File("odd.gltf"), model);
    CommandResult import = RunMirel({"scene", "import", dir.File("odd.gltf"), dir.File("odd.y3d")});
    ASSERT_EQ(import.exitCode, 0) << import.err;
    for (const char* expected : {"mesh Thing: only the first of its 2 texture-coordinate sets",
                                 "mesh Thing: its vertex colours", "mesh Thing: its 1 morph targets",
                                 "material Leaf: its alpha mask", "light Sun: directional lights"})
        EXPECT_NE(import.err.find(std::string("warning: ") + dir.File("odd.gltf") + ": " + expected),
                  std::string::npos)
            << expected << "\n"
            << import.err;
    // Flat normals for a mesh without any: four corners per cube face.
    CommandResult dump = Dump(dir.File("odd.y3d"));
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    const std::string thing = Item(dump.out, "geometries", "Thing");
    EXPECT_EQ(Numbers(thing, "vertices")[0], 24);
    EXPECT_EQ(Numbers(thing, "streams"), (std::vector<double>{3, 3, 2}));
}

TEST_F(MirelScene, ObjMaterialsAndPicturesByReferenceOrEmbedded) {
    WriteFileText(dir.File("box.obj"), "mtllib box.mtl\no Box\n"
                                       "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\n"
                                       "v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
                                       "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nusemtl Wood\n"
                                       "f 1/1 4/4 3/3 2/2\nf 5/1 6/2 7/3 8/4\nf 1/1 2/2 6/3 5/4\n"
                                       "f 3/1 4/2 8/3 7/4\nf 2/1 3/2 7/3 6/4\nf 1/1 5/2 8/3 4/4\n");
    WriteFileText(dir.File("box.mtl"),
                  "newmtl Wood\nKa 0.1 0.2 0.3\nKd 0.5 0.25 0.125\nKs 1 1 1\nNs 50\n"
                  "d 0.75\nmap_Kd wood.tga\nbump grain.tga\nrefl -type sphere sky.tga\n");
    WriteTarga(dir.File("wood.tga"), 4, 2, 200, 100, 50);
    WriteTarga(dir.File("grain.tga"), 8, 8, 128, 128, 128);
    WriteTarga(dir.File("sky.tga"), 2, 2, 0, 0, 255);

    struct Case {
        const char* what;
        std::vector<std::string> options;
        bool picturesBeside; // the dump finds the pictures in the scene's folder
    };
    for (const Case& c :
         std::vector<Case>{{"by reference", {}, true}, {"embedded", {"--embed-textures"}, false}}) {
        SCOPED_TRACE(c.what);
        TempDir out;
        WriteVertexPrograms(out);
        if (c.picturesBeside)
            for (const char* picture : {"wood.tga", "grain.tga", "sky.tga"})
                WriteFileBytes(out.File(picture), ReadFileBytes(dir.File(picture)));
        std::vector<std::string> args = {"scene", "import", dir.File("box.obj"), out.File("box.y3d")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CommandResult import = RunMirel(args);
        ASSERT_EQ(import.exitCode, 0) << import.err;
        CommandResult dump = Dump(out.File("box.y3d"));
        ASSERT_EQ(dump.exitCode, 0) << dump.err;

        const std::string wood = Item(dump.out, "materials", "Wood");
        EXPECT_EQ(Numbers(wood, "blendKind")[0], 2);
        EXPECT_EQ(Numbers(wood, "diffuse"), (std::vector<double>{0.5, 0.25, 0.125, 0.75}));
        EXPECT_EQ(Numbers(wood, "ambient"), (std::vector<double>{0.1, 0.2, 0.3, 0.75}));
        EXPECT_EQ(Numbers(wood, "specular"), (std::vector<double>{1, 1, 1, 1}));
        EXPECT_EQ(Numbers(wood, "shininess")[0], 50);
        EXPECT_NE(wood.find("\"maps\":{\"diffuse\":0,\"bump\":1,\"reflection\":2,\"refraction\":-1}"),
                  std::string::npos)
            << wood;
        // The pass planned for it: bump, diffuse texture, 2D reflection.
        EXPECT_NE(wood.find("\"stages\":[[3,0],[5,4],[7,5]]"), std::string::npos) << wood;
        for (auto [name, width, height] :
             {std::tuple{"wood.tga", 4, 2}, {"grain.tga", 8, 8}, {"sky.tga", 2, 2}}) {
            const std::string picture = Item(dump.out, "images", name);
            EXPECT_EQ(Numbers(picture, "width")[0], width) << name;
            EXPECT_EQ(Numbers(picture, "height")[0], height) << name;
            EXPECT_EQ(Numbers(picture, "channels")[0], 3) << name;
        }
        // Quads cut into triangles; the bump map gives tangent space.
        const std::string box = Item(dump.out, "geometries", "Box");
        EXPECT_EQ(Numbers(box, "indices")[0], 36);
        EXPECT_EQ(Numbers(box, "streams"), (std::vector<double>{3, 3, 2, 3, 3}));
        EXPECT_EQ(Numbers(box, "bumpTexCoordStream")[0], 2);
    }
    // By reference, a scene without its pictures beside it does not load.
    TempDir bare;
    WriteVertexPrograms(bare);
    ASSERT_EQ(RunMirel({"scene", "import", dir.File("box.obj"), bare.File("box.y3d")}).exitCode, 0);
    CommandResult missing = Dump(bare.File("box.y3d"));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("wood.tga"), std::string::npos) << missing.err;
}

TEST_F(MirelScene, PicturesADataFolderLacksComeFromTheArchiveMirelCarries) {
    // checker.tga is one of the demo's own pictures, packed into mirel.
    TY3dDocument document;
    TY3dPicture picture;
    picture.Header = {1, 0, -1, "textures\\checker.tga"};
    document.Pictures.push_back(picture);
    SaveY3dFile(document, dir.File("striped.y3d"));
    CommandResult dump = Dump(dir.File("striped.y3d"), {"--data", dir.Path()});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;

    TFileStream file(std::string(ZUMBRIX_BINARY_DIR) + "/content/checker.tga", TFileStream::fmOpenRead);
    TRefPtr<I3dImage> checker = T3dImage::Create();
    checker->LoadFromStream(file);
    const std::string item = Item(dump.out, "images", "textures\\\\checker.tga");
    EXPECT_EQ(Numbers(item, "width")[0], checker->GetWidth()) << dump.out;
    EXPECT_EQ(Numbers(item, "height")[0], checker->GetHeight());
}

TEST_F(MirelScene, FailuresNameTheFileAndLeaveNothingBehind) {
    WriteFileText(dir.File("scene.gltf"), TestScene());
    // An animation a billion seconds long would need tens of billions of keys.
    GltfModel endless;
    const int times = endless.Floats({0.0f, 1e9f}, "SCALAR", 1);
    const int places = endless.Floats({0, 0, 0, 1, 0, 0}, "VEC3", 3);
    WriteFileText(
        dir.File("endless.gltf"),
        endless.Text("\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"name\":\"N\"}],\"animations\":[{"
                     "\"channels\":[{\"sampler\":0,\"target\":{\"node\":0,\"path\":\"translation\"}}],"
                     "\"samplers\":[{\"input\":" +
                     std::to_string(times) + ",\"output\":" + std::to_string(places) + "}]}]"));
    WriteFileText(dir.File("junk.gltf"), "{ this is not glTF");
    WriteTarga(dir.File("picture.tga"), 2, 2, 1, 2, 3);
    ASSERT_EQ(RunMirel({"scene", "import", dir.File("scene.gltf"), dir.File("good.y3d")}).exitCode, 0);
    std::vector<uint8_t> half = ReadFileBytes(dir.File("good.y3d"));
    half.resize(half.size() / 2);
    WriteFileBytes(dir.File("half.y3d"), half);

    struct Case {
        std::vector<std::string> args;
        std::string named;  // the file the message names
        std::string output; // must not exist afterwards
    };
    const std::string out = dir.File("out.y3d"), nowhere = dir.File("no/such/folder/out.y3d");
    for (const Case& c : std::vector<Case>{
             {{"import", dir.File("missing.gltf"), out}, dir.File("missing.gltf"), out},
             {{"import", dir.Path(), out}, dir.Path(), out},
             {{"import", dir.File("junk.gltf"), out}, dir.File("junk.gltf"), out},
             {{"import", dir.File("endless.gltf"), out}, dir.File("endless.gltf"), out},
             {{"import", dir.File("scene.gltf"), nowhere}, nowhere, nowhere},
             {{"dump", dir.File("missing.y3d")}, dir.File("missing.y3d"), ""},
             {{"dump", dir.File("picture.tga")}, dir.File("picture.tga"), ""},
             {{"dump", dir.Path()}, dir.Path(), ""},
             {{"dump", dir.File("half.y3d")}, dir.File("half.y3d"), ""},
         }) {
        std::vector<std::string> args = {"scene"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(args[1] + " " + args[2]);
        CommandResult r = RunMirel(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        if (!c.output.empty()) {
            EXPECT_FALSE(FileExists(c.output));
            EXPECT_FALSE(FileExists(c.output + ".partial"));
        }
    }
}

// ---- what import adds, warns about and refuses ----

namespace {

// A binary glTF file of a glTF document: the bytes of its one inline buffer
// (as GltfModel writes it) move into the file's binary chunk.
std::vector<uint8_t> Glb(std::string json, uint32_t version = 2) {
    std::vector<uint8_t> bin;
    const std::string uri = ",\"uri\":\"data:application/octet-stream;base64,";
    if (const size_t at = json.find(uri); at != std::string::npos) {
        const size_t end = json.find('"', at + uri.size());
        static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        uint32_t bits = 0;
        int count = 0;
        for (size_t i = at + uri.size(); i < end && json[i] != '='; i++) {
            bits = bits << 6 | uint32_t(digits.find(json[i]));
            if ((count += 6) >= 8) bin.push_back(uint8_t(bits >> (count -= 8)));
        }
        json.erase(at, end + 1 - at);
    }
    while (json.size() % 4)
        json += ' ';
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            out.push_back(uint8_t(v >> (8 * i)));
    };
    out.insert(out.end(), {'g', 'l', 'T', 'F'});
    put(version);
    put(uint32_t(20 + json.size() + (bin.empty() ? 0 : 8 + bin.size())));
    put(uint32_t(json.size()));
    put(version == 1 ? 0 : 0x4E4F534A); // JSON
    out.insert(out.end(), json.begin(), json.end());
    if (!bin.empty()) {
        put(uint32_t(bin.size()));
        put(0x004E4942); // BIN
        out.insert(out.end(), bin.begin(), bin.end());
    }
    return out;
}

// A cube, on a node "Box" given further members `node`, as a glTF document
// with more top-level members, primitive members and a second root node.
std::string CubeModel(const std::string& node, const std::string& more = "",
                      const std::string& primitiveMore = "", const std::string& otherNode = "") {
    GltfModel m;
    const int corners = m.Floats(kCubeCorners, "VEC3", 3, true);
    const int triangles = m.Indices(kCubeTriangles);
    return m.Text("\"scenes\":[{\"nodes\":[0" + std::string(otherNode.empty() ? "" : ",1") +
                  "]}],\"nodes\":[{\"name\":\"Box\",\"mesh\":0" + node + "}" +
                  (otherNode.empty() ? "" : "," + otherNode) +
                  "],\"meshes\":[{\"name\":\"Box\",\"primitives\":[{\"attributes\":{\"POSITION\":" +
                  std::to_string(corners) + "},\"indices\":" + std::to_string(triangles) + primitiveMore +
                  "}]}]" + more);
}

// Where a rendered frame is not black: the box round those pixels (top row 0).
struct LitArea {
    int width = 0, height = 0;
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    int count = 0;
};

LitArea Lit(const std::string& png) {
    TRefPtr<T3dImage> image(new T3dImage());
    TFileStream file(png, TFileStream::fmOpenRead);
    image->LoadFromStream(file);
    LitArea a;
    a.width = image->GetWidth();
    a.height = image->GetHeight();
    for (int y = 0; y < a.height; y++)
        for (int x = 0; x < a.width; x++) {
            const int row = a.height - 1 - y;
            if (std::max({image->GetUInt8(x, row, 0, 0), image->GetUInt8(x, row, 1, 0),
                          image->GetUInt8(x, row, 2, 0)}) <= 12)
                continue;
            a.count++;
            a.left = std::min(a.left, x), a.right = std::max(a.right, x);
            a.top = std::min(a.top, y), a.bottom = std::max(a.bottom, y);
        }
    return a;
}

std::vector<std::string> RenderArgs(const TempDir& dir, const std::string& y3d, const std::string& png) {
    return {"scene", "render", dir.File(y3d), dir.File(png), "--data", dir.Path(), "--size", "160x120"};
}

} // namespace

// A model without camera and light gets both, each with a warning: the
// camera frames the whole model, wherever it lies and however large it is,
// and the light lights it.
TEST_F(MirelScene, ModelsWithoutCameraOrLightAreSeenWhole) {
    WriteFileText(dir.File("far.gltf"), CubeModel(",\"translation\":[40,-12,7],\"scale\":[3,3,3]"));
    WriteFileBytes(dir.File("far.glb"), Glb(CubeModel(",\"translation\":[0,300,0],\"scale\":[50,1,50]")));
    WriteFileText(dir.File("plank.obj"),
                  "o Plank\n"
                  "v 96 -0.5 -1\nv 104 -0.5 -1\nv 104 0.5 -1\nv 96 0.5 -1\n"
                  "v 96 -0.5 1\nv 104 -0.5 1\nv 104 0.5 1\nv 96 0.5 1\n"
                  "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 3 4 8 7\nf 2 3 7 6\nf 1 5 8 4\n");
    const bool display = std::getenv("DISPLAY") != nullptr;
    for (const auto& [model, options, shadows] :
         {std::tuple{"far.gltf", std::vector<std::string>{}, true},
          {"far.glb", std::vector<std::string>{}, true},
          {"plank.obj", std::vector<std::string>{"--no-shadows"}, false}}) {
        SCOPED_TRACE(model);
        std::vector<std::string> args = {"scene", "import", dir.File(model), dir.File("seen.y3d")};
        args.insert(args.end(), options.begin(), options.end());
        CommandResult import = RunMirel(args);
        ASSERT_EQ(import.exitCode, 0) << import.err;
        for (const char* expected :
             {": the model has no camera; one is added", ": the model has no light; a white"})
            EXPECT_NE(import.err.find(std::string("warning: ") + dir.File(model) + expected),
                      std::string::npos)
                << import.err;
        EXPECT_NE(import.out.find("1 cameras, 1 lights"), std::string::npos) << import.out;
        CommandResult dump = Dump(dir.File("seen.y3d"));
        ASSERT_EQ(dump.exitCode, 0) << dump.err;
        EXPECT_NE(Item(dump.out, "lights", "default light")
                      .find(shadows ? "\"castsShadows\":true" : "\"castsShadows\":false"),
                  std::string::npos)
            << dump.out;
        if (!display) continue;
        CommandResult render = RunMirel(RenderArgs(dir, "seen.y3d", std::string(model) + ".png"));
        ASSERT_EQ(render.exitCode, 0) << render.err;
        // The model lies inside the frame, clear of its edges, and fills a
        // good part of it.
        const LitArea a = Lit(dir.File(std::string(model) + ".png"));
        EXPECT_GT(a.left, 0);
        EXPECT_GT(a.top, 0);
        EXPECT_LT(a.right, a.width - 1);
        EXPECT_LT(a.bottom, a.height - 1);
        EXPECT_GT(std::max(double(a.right - a.left + 1) / a.width, double(a.bottom - a.top + 1) / a.height),
                  0.4);
        EXPECT_GT(a.count, a.width * a.height / 10);
    }
    // Refused instead when asked, in one line naming the file and what to do.
    for (const auto& [option, expected] :
         {std::pair{"--no-default-camera", "the model has no camera; add one to it, or import it without "
                                           "--no-default-camera to get one that frames the scene\n"},
          {"--no-default-light",
           "the model has no light; add one to it, or import it without --no-default-light to get one\n"}}) {
        CommandResult r =
            RunMirel({"scene", "import", dir.File("far.gltf"), dir.File("refused.y3d"), option});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, dir.File("far.gltf") + ": " + expected);
        EXPECT_FALSE(FileExists(dir.File("refused.y3d")));
    }
}

// A scene file without a camera or a light: rendering it says which file
// lacks what and how to mend it, after the list's own index error.
TEST_F(MirelScene, SceneFilesWithoutCameraOrLightSayWhatIsMissing) {
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
    for (const auto& [kind, name, option] :
         {std::tuple{TY3dObject::okCamera, "camera", "--no-default-camera"},
          {TY3dObject::okLight, "light", "--no-default-light"}}) {
        SCOPED_TRACE(name);
        // A triangle, and the one of camera and light that is not missing.
        TY3dDocument d;
        TY3dObject box;
        box.Node.Header = {1, 0, -1, "Box"};
        box.What = TY3dObject::okMesh;
        box.Mesh.Header = {1, 0, -1, "Box"};
        box.Mesh.Flags = vfPosition | vfNormal;
        box.Mesh.Vertices = {0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 1};
        box.Mesh.VertexCount = 3;
        box.Mesh.Indices = {0, 1, 2};
        box.Mesh.Groups.push_back({4, -1, 0, 3});
        d.Objects.push_back(box);
        TY3dObject other;
        other.Node.Header = {2, 0, -1, "Other"};
        other.Node.Translation[2] = 5;
        if (kind == TY3dObject::okCamera) {
            other.What = TY3dObject::okLight;
            other.Light.Header = {2, 0, -1, "Other"};
        } else {
            other.What = TY3dObject::okCamera;
            other.Camera.Header = {2, 0, -1, "Other"};
        }
        d.Objects.push_back(other);
        SaveY3dFile(d, dir.File("lacking.y3d"));
        CommandResult r = RunMirel(RenderArgs(dir, "lacking.y3d", "lacking.png"));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, dir.File("lacking.y3d") + ": List index out of bounds (0): the scene has no " +
                             name + "; add one to the model or import it again without " + option + "\n");
    }
}

// Whatever does not come over is named in a warning: faces assimp drops,
// texture transforms, scale animations, orthographic cameras.
TEST_F(MirelScene, LossesAreNamed) {
    GltfModel torn;
    const int quad = torn.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3", 3, true);
    // A triangle past the vertices and an incomplete last one.
    const int indices = torn.Indices({0, 1, 2, 0, 2, 9, 1, 2});
    WriteFileText(
        dir.File("torn.gltf"),
        torn.Text("\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{"
                  "\"attributes\":{\"POSITION\":" +
                  std::to_string(quad) + "},\"indices\":" + std::to_string(indices) + "}]}]"));
    WriteTarga(dir.File("t.tga"), 2, 2, 10, 20, 30);
    WriteFileText(dir.File("moved.gltf"),
                  CubeModel("",
                            ",\"materials\":[{\"name\":\"Painted\",\"pbrMetallicRoughness\":{"
                            "\"baseColorTexture\":{\"index\":0,\"extensions\":{\"KHR_texture_transform\":{"
                            "\"offset\":[0.5,0],\"scale\":[2,2]}}}}}],\"textures\":[{\"source\":0}],"
                            "\"images\":[{\"uri\":\"t.tga\"}],\"extensionsUsed\":[\"KHR_texture_transform\"]",
                            ",\"material\":0"));
    GltfModel grows;
    const int corners = grows.Floats(kCubeCorners, "VEC3", 3, true);
    const int triangles = grows.Indices(kCubeTriangles);
    const int times = grows.Floats({0.0f, 1.0f}, "SCALAR", 1);
    const int sizes = grows.Floats({1, 1, 1, 2, 2, 2}, "VEC3", 3);
    WriteFileText(
        dir.File("grows.gltf"),
        grows.Text("\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"name\":\"Box\",\"mesh\":0}],\"meshes\":[{"
                   "\"primitives\":[{\"attributes\":{\"POSITION\":" +
                   std::to_string(corners) + "},\"indices\":" + std::to_string(triangles) +
                   "}]}],\"animations\":[{\"channels\":[{\"sampler\":0,\"target\":{\"node\":0,\"path\":"
                   "\"scale\"}}],\"samplers\":[{\"input\":" +
                   std::to_string(times) + ",\"output\":" + std::to_string(sizes) + "}]}]"));
    // An orthographic camera 5 in front of the cube, showing 4 by 3.
    const std::string orthographic = ",\"cameras\":[{\"type\":\"orthographic\",\"orthographic\":{\"xmag\":2,"
                                     "\"ymag\":1.5,\"znear\":0.1,\"zfar\":50}}]",
                      flatCamera = "{\"name\":\"Flat\",\"camera\":0,\"translation\":[0,0,5]}";
    WriteFileText(dir.File("flat.gltf"), CubeModel("", orthographic, "", flatCamera));

    for (const auto& [model, expected] :
         {std::pair{"torn.gltf", "assimp, while reading: Some faces had out-of-range indices"},
          {"torn.gltf",
           "assimp, while reading: The number of vertices was not compatible with the TRIANGLES mode"},
          {"moved.gltf", "material Painted: the texture transform of its diffuse map"},
          {"grows.gltf", "node Box: its scale animation is not carried over"},
          {"flat.gltf",
           "camera Flat: it is orthographic; it becomes a perspective camera that shows the same 4 by 3 "
           "at 5 in front of it"}}) {
        CommandResult import = RunMirel({"scene", "import", dir.File(model), dir.File("lossy.y3d")});
        ASSERT_EQ(import.exitCode, 0) << import.err;
        EXPECT_NE(import.err.find(std::string("warning: ") + dir.File(model) + ": " + expected),
                  std::string::npos)
            << import.err;
    }
    // The last key frame, for the scene effect's "loop".
    ASSERT_EQ(RunMirel({"scene", "import", dir.File("grows.gltf"), dir.File("grows.y3d")}).exitCode, 0);
    EXPECT_NE(Dump(dir.File("grows.y3d")).out.find("\"lastFrame\":30,"), std::string::npos);
    EXPECT_NE(Dump(dir.File("lossy.y3d")).out.find("\"lastFrame\":0,"), std::string::npos);

    // The orthographic camera shows, in perspective, the same 4 by 3 at the
    // cube's centre: a 2 by 1.5 face there fills half the frame each way.
    if (!std::getenv("DISPLAY")) return;
    WriteFileText(dir.File("flat.gltf"),
                  CubeModel(",\"scale\":[1,0.75,0.001]", orthographic, "", flatCamera));
    ASSERT_EQ(RunMirel({"scene", "import", dir.File("flat.gltf"), dir.File("flat.y3d")}).exitCode, 0);
    CommandResult render = RunMirel(RenderArgs(dir, "flat.y3d", "flat.png"));
    ASSERT_EQ(render.exitCode, 0) << render.err;
    const LitArea a = Lit(dir.File("flat.png"));
    EXPECT_NEAR(a.left, 40, 2);
    EXPECT_NEAR(a.right, 119, 2);
    EXPECT_NEAR(a.top, 30, 2);
    EXPECT_NEAR(a.bottom, 89, 2);
}

// Refused in one line naming the file, with nothing written: numbers that
// are not finite, a model with nothing to draw, glTF 1.0 in either form.
TEST_F(MirelScene, UnusableModelsAreRefused) {
    // A cube with the given corners and texture coordinates.
    auto cubeWith = [](const std::vector<float>& corners, const std::vector<float>& uv) {
        GltfModel m;
        const int positions = m.Floats(corners, "VEC3", 3, true);
        const int triangles = m.Indices(kCubeTriangles);
        const int coords = m.Floats(uv, "VEC2", 2);
        return m.Text("\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"name\":\"Box\",\"mesh\":0}],"
                      "\"meshes\":[{\"name\":\"Box\",\"primitives\":[{\"attributes\":{\"POSITION\":" +
                      std::to_string(positions) + ",\"TEXCOORD_0\":" + std::to_string(coords) +
                      "},\"indices\":" + std::to_string(triangles) + "}]}]");
    };
    std::vector<float> corners = kCubeCorners, coords(16, 0.5f);
    corners[4] = INFINITY;
    WriteFileText(dir.File("infinite.gltf"), cubeWith(corners, coords));
    coords[3] = NAN;
    WriteFileText(dir.File("unmapped.gltf"), cubeWith(kCubeCorners, coords));
    GltfModel runaway;
    const int cube = runaway.Floats(kCubeCorners, "VEC3", 3, true);
    const int triangles = runaway.Indices(kCubeTriangles);
    const int times = runaway.Floats({0.0f, 1.0f}, "SCALAR", 1);
    const int places = runaway.Floats({0, 0, 0, 0, INFINITY, 0}, "VEC3", 3);
    WriteFileText(
        dir.File("runaway.gltf"),
        runaway.Text("\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"name\":\"Box\",\"mesh\":0}],\"meshes\":[{"
                     "\"primitives\":[{\"attributes\":{\"POSITION\":" +
                     std::to_string(cube) + "},\"indices\":" + std::to_string(triangles) +
                     "}]}],\"animations\":[{\"name\":\"Run\",\"channels\":[{\"sampler\":0,\"target\":{"
                     "\"node\":0,\"path\":\"translation\"}}],\"samplers\":[{\"input\":" +
                     std::to_string(times) + ",\"output\":" + std::to_string(places) + "}]}]"));
    WriteFileText(dir.File("empty.gltf"),
                  "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],"
                  "\"nodes\":[{\"name\":\"Nothing\"}]}");
    const std::string old =
        "{\"asset\":{\"version\":\"1.0\"},\"scene\":\"s\",\"scenes\":{\"s\":{\"nodes\":[]}}}";
    WriteFileText(dir.File("old.gltf"), old);
    WriteFileBytes(dir.File("old.glb"), Glb(old, 1));

    const std::string out = dir.File("out.y3d");
    for (const auto& [model, expected] :
         {std::pair{
              "infinite.gltf",
              ": a number that is not finite (an infinity or not a number) in the positions of mesh Box"},
          {"unmapped.gltf", ": a number that is not finite (an infinity or not a number) in the texture "
                            "coordinates of mesh Box"},
          {"runaway.gltf", ": a number that is not finite (an infinity or not a number) in the keys of node "
                           "Box in animation Run"},
          {"empty.gltf", ": the model has nothing to draw"},
          {"old.gltf",
           ": it is a glTF 1.0 model, which cannot be imported correctly; convert it to glTF 2.0"},
          {"old.glb",
           ": it is a glTF 1.0 model, which cannot be imported correctly; convert it to glTF 2.0"}}) {
        SCOPED_TRACE(model);
        CommandResult r = RunMirel({"scene", "import", dir.File(model), out});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err.rfind(dir.File(model) + expected, 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(FileExists(out));
    }
    // An empty model is kept when asked, with a warning.
    CommandResult kept = RunMirel({"scene", "import", dir.File("empty.gltf"), out, "--allow-empty"});
    EXPECT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_NE(kept.err.find("warning: " + dir.File("empty.gltf") + ": the model has nothing to draw"),
              std::string::npos)
        << kept.err;
}
