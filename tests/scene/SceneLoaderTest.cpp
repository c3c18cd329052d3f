// The scene file loader: files written by our writer (and bytes edited by
// hand) load into the scene the format describes, and damaged files are
// refused with a message naming the chunk.
#include "tests/scene/LoaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "scene/math/Quaternion.h"
#include "scene/model/Scene.h"
#include "tests/support/SharedGlWindow.h"

namespace {

class SceneLoaderTest : public SharedGlWindowTest {
protected:
    std::unique_ptr<TSmartY3dLoader> Load(const TY3dDocument& d) { return LoadBytes(Device(), WriteY3d(d)); }
    // The message Load raises for these bytes ("" when it loads).
    std::string LoadError(const std::vector<uint8_t>& bytes) {
        try {
            LoadBytes(Device(), bytes);
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

    TSceneDataFolder data_;
};

// Offset of chunk number `skip` of `kind` (its header), children included.
size_t ChunkOffset(const std::vector<uint8_t>& file, uint32_t kind, int skip = 0) {
    TReadOnlyMemoryStream stream(file.data(), int64_t(file.size()));
    size_t found = std::string::npos;
    WalkChunks(stream, [&](int, int64_t offset, const TChunkHeader& h) {
        if (h.kind == kind && skip-- == 0) found = size_t(offset);
    });
    return found;
}

void Poke32(std::vector<uint8_t>& file, size_t at, int32_t value) {
    std::memcpy(&file[at], &value, 4);
}

TEST_F(SceneLoaderTest, SampleSceneLinksEverything) {
    auto loader = Load(SampleDocument());
    Ts3dScene* scene = loader->Scene();
    // Colours keep alpha 0.
    EXPECT_FLOAT_EQ(scene->BackgroundColor.b, 0.3f);
    EXPECT_FLOAT_EQ(scene->BackgroundColor.a, 0.0f);
    EXPECT_FLOAT_EQ(scene->AmbientColor.r, 0.05f);

    // Node 4 instances mesh 1: two objects share one geometry.
    ASSERT_EQ(scene->Objects.Count(), 2);
    Ts3dObject* box = scene->Objects.Items(0);
    Ts3dObject* copy = scene->Objects.Items(1);
    EXPECT_EQ(box->Geometry, copy->Geometry);
    EXPECT_EQ(box->Name, "node1");
    EXPECT_EQ(box->Material, loader->Materials[0]);
    EXPECT_EQ(scene->Materials.Count(), 1); // one material, listed once
    EXPECT_EQ(loader->Materials[0]->Objects.Count(), 2);

    // The track replaced node 4 and follows its parent, node 1.
    auto* track = dynamic_cast<Ts3dAnimPosition*>(copy->Node);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->Parent, box->Node);
    EXPECT_EQ(track->ParentId, 1);
    TMatrix4 atFive = track->GetWorldMatrix(5.0); // halfway between the keys at 0 and 10
    EXPECT_NEAR(atFive.m[12], 1.0f + 2.5f, 1e-4f);
    EXPECT_NEAR(atFive.m[13], 2.0f, 1e-4f);

    // Camera 0 selected; the spot light's word table.
    ASSERT_EQ(scene->Cameras.Count(), 1);
    EXPECT_EQ(scene->Camera, scene->Cameras.Items(0));
    EXPECT_FLOAT_EQ(scene->Camera->Fov, 45.0f);
    ASSERT_EQ(scene->Lights.Count(), 1);
    Ts3dLight* light = scene->Lights.Items(0);
    EXPECT_FLOAT_EQ(light->CutOff, 30.0f);
    EXPECT_FLOAT_EQ(light->Exponent, 128.0f / std::sqrt(60.0f / 8.0f));
    EXPECT_FLOAT_EQ(light->Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(light->Diffuse.a, 0.0f);
    EXPECT_TRUE(light->CastsShadows);
    EXPECT_FLOAT_EQ(light->ShadowNear, 80.0f);

    // Pictures: 3 and 4 channels; textures made for both.
    ASSERT_EQ(loader->Images.size(), 2u);
    EXPECT_EQ(loader->Images[0]->GetFormat(), ifThree);
    EXPECT_EQ(loader->Images[1]->GetFormat(), ifFour);
    EXPECT_EQ(loader->Images[0]->GetUInt8(1, 0, 0, 0), 15);
    ASSERT_EQ(loader->Textures.size(), 2u);
    EXPECT_EQ(loader->Materials[0]->DiffuseTexture, loader->Textures[0]);
    EXPECT_FLOAT_EQ(loader->Materials[0]->DiffuseAmount, 0.75f);
    EXPECT_EQ(loader->Materials[0]->BlendKind, bkOpaque);
    // The transparent two-sided bump material: its normal map is a texture of its own.
    TLoaderMaterial* glass = loader->Materials[1];
    EXPECT_EQ(glass->BlendKind, bkBlended);
    EXPECT_EQ(glass->TwoSided, 2);
    ASSERT_TRUE(glass->BumpTexture);
    EXPECT_NE(glass->BumpTexture, loader->Textures[1]);
}

TEST_F(SceneLoaderTest, GeometryStreamsBoundsAndTangentSpace) {
    TY3dDocument d;
    TY3dObject plain, bumped, bare;
    plain.What = bumped.What = bare.What = TY3dObject::okMesh;
    plain.Node = Node(1, 0, -1);
    plain.Mesh = QuadMesh(1, "Plain", 3, 0);
    // Only the first quad is referenced: bounds come from its vertices.
    plain.Mesh.Groups[0].Count = 6;
    bumped.Node = Node(2, 0, -1);
    bumped.Mesh = QuadMesh(2, "Bumped", 1, 1);
    bare.Node = Node(3, 0, -1);
    bare.Mesh = QuadMesh(3, "NoCoords", 1, 1);
    bare.Mesh.Flags = vfPosition | vfNormal;
    bare.Mesh.Vertices.clear();
    for (int i = 0; i < 4; i++)
        bare.Mesh.Vertices.insert(bare.Mesh.Vertices.end(), {float(i & 1), float(i >> 1), 0, 0, 0, 1});
    d.Objects = {plain, bumped, bare};
    d.Pictures = SampleDocument().Pictures;
    d.Materials.resize(2);
    d.Materials[1].Maps.push_back({mtBump, 1, 1.0f});
    auto loader = Load(d);

    Ts3dGeometryDef* g = loader->Geometries[0];
    EXPECT_EQ(g->StreamCount(), 3);
    EXPECT_EQ(g->TexCoordStream, 2);
    EXPECT_EQ(g->BumpTexCoordStream, -1);
    EXPECT_FLOAT_EQ(g->BoxMax.x, 1.0f);
    EXPECT_FLOAT_EQ(g->BoxCenter.x, 0.5f);
    EXPECT_NEAR(g->SphereRadius, std::sqrt(0.5f), 1e-6f);

    // A bump material adds binormal and tangent streams and fills them.
    Ts3dGeometryDef* b = loader->Geometries[1];
    EXPECT_EQ(b->StreamCount(), 5);
    EXPECT_EQ(b->BumpTexCoordStream, 2);
    EXPECT_EQ(b->BinormalStream, 3);
    EXPECT_EQ(b->TangentStream, 4);
    auto vec = [](I3dVertexBuffer* s, int i) { return *static_cast<const TVector3*>(s->ElementAddress(i)); };
    EXPECT_NEAR(vec(b->Stream(4), 0).x, -1.0f, 1e-5f); // u runs along +x: tangent -x
    EXPECT_NEAR(vec(b->Stream(3), 0).y, 1.0f, 1e-5f);

    // Without texture coordinates there is no tangent space, whatever the material.
    Ts3dGeometryDef* n = loader->Geometries[2];
    EXPECT_EQ(n->StreamCount(), 4); // positions, normals, and the two unfilled streams
    EXPECT_EQ(n->BumpTexCoordStream, -1);
    EXPECT_FLOAT_EQ(vec(n->Stream(3), 0).x, 0.0f);
}

TEST_F(SceneLoaderTest, TwoSidedMaterialDoublesIndicesOnce) {
    TY3dDocument d;
    TY3dObject mesh, second;
    mesh.What = TY3dObject::okMesh;
    mesh.Node = Node(1, 0, -1);
    mesh.Mesh = QuadMesh(1, "Sheet");
    second.Node = Node(2, 0, 1); // a second instance of the same mesh
    d.Objects = {mesh, second};
    d.Materials.resize(1);
    d.Materials[0].TwoSided = true;
    auto loader = Load(d);
    Ts3dGeometryDef* g = loader->Geometries[0];
    I3dIndexBuffer* indices = g->Indices();
    ASSERT_EQ(indices->GetCount(), 12);
    // The second half is the first reversed, drawn by an added triangle-list group.
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(*indices->IndexAddress(6 + i), *indices->IndexAddress(5 - i));
    ASSERT_EQ(g->Faces->GetCount(), 2);
    const auto* added = static_cast<const T3dFaceGroup*>(g->Faces->ElementAddress(1));
    EXPECT_EQ(added->FirstIndex, 6);
    EXPECT_EQ(added->IndexCount, 6);
    EXPECT_EQ(added->Primitive, pkTriangles);
}

TEST_F(SceneLoaderTest, QuaternionKeysKeepContinuousSigns) {
    TY3dDocument d;
    TY3dObject o;
    o.Node = Node(5, 0, -1);
    const float s = std::sqrt(0.5f);
    // q, -q, q again; the first with a vector part that is not unit length.
    o.Track = TY3dTrack{5,    tkPositionRotationKeys,
                        true, 7,
                        1,    {0, 0, 0, 0, 0, 0.5f, s, 0, 0, 0, 0, 0, -s, -s, 0, 0, 0, 0, 0, s, s}};
    d.Objects.push_back(o);
    auto loader = Load(d);
    ASSERT_EQ(loader->Tracks.size(), 1u);
    const TAnimKeyList& keys = loader->Tracks[0]->RotationTrack.Keys;
    ASSERT_EQ(keys.Count(), 3);
    for (int i = 0; i < 3; i++) {
        EXPECT_NEAR(keys.Get(i)->Values[2].Value, s, 1e-5) << "key " << i;
        EXPECT_NEAR(keys.Get(i)->Values[3].Value, s, 1e-5) << "key " << i;
    }
    EXPECT_EQ(loader->Tracks[0]->PositionTrack.Kind, akCardinalSpline);
}

// A track's declared key size costs nothing when it has no keys, and floats
// beyond what its kind reads are passed over.
TEST_F(SceneLoaderTest, TrackKeySizes) {
    TY3dDocument d;
    TY3dObject empty, wide;
    empty.Node = Node(1, 0, -1);
    empty.Track = TY3dTrack{1, tkPositionRotationKeys, true, 0x7fffffff, 1, {}};
    wide.Node = Node(2, 0, -1);
    wide.Track = TY3dTrack{2, tkPositionKeys, true, 5, 1, {1, 2, 3, 99, 99, 4, 5, 6, 99, 99}};
    d.Objects = {empty, wide};
    auto loader = Load(d);
    ASSERT_EQ(loader->Tracks.size(), 2u);
    EXPECT_EQ(loader->Tracks[0]->PositionTrack.Keys.Count(), 0);
    const TAnimKeyList& keys = loader->Tracks[1]->PositionTrack.Keys;
    ASSERT_EQ(keys.Count(), 2);
    EXPECT_EQ(keys.Get(1)->Values[0].Value, 4.0);
    EXPECT_EQ(keys.Get(1)->Values[2].Value, 6.0);
}

TEST_F(SceneLoaderTest, NodeTransformsAndParents) {
    TY3dDocument d;
    TY3dObject parent, child, orphan, positionOnly;
    parent.Node = Node(1, 0, -1, 10, 0, 0);
    // 90 degrees about z: x becomes y.
    parent.Node.Rotation[2] = std::sqrt(0.5f);
    parent.Node.Rotation[3] = std::sqrt(0.5f);
    child.Node = Node(2, 1, -1, 1, 0, 0);
    orphan.Node = Node(3, 99, -1, 0, 0, 7); // names no node: no parent
    positionOnly.Node = Node(4, 0, -1);
    positionOnly.Track = TY3dTrack{4, tkPositionKeys, true, 3, 2, {0, 0, 0, 4, 0, 0}};
    d.Objects = {parent, child, orphan, positionOnly};
    auto loader = Load(d);
    ASSERT_EQ(loader->Nodes.size(), 4u);
    TMatrix4 world = loader->Nodes[1]->GetWorldMatrix(0.0);
    TVector3 origin = TMatrix::TransformPoint({0, 0, 0}, world);
    EXPECT_NEAR(origin.x, 10.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(origin.y), 1.0f, 1e-5f); // the parent's rotation turns the child's offset
    EXPECT_EQ(loader->Nodes[2]->Parent, nullptr);
    EXPECT_FLOAT_EQ(loader->Nodes[2]->GetWorldMatrix(0.0).m[14], 7.0f);
    auto* track = dynamic_cast<Ts3dAnimPosition*>(loader->Nodes[3]);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->PositionTrack.Kind, akTcbSpline);
    EXPECT_NEAR(track->GetWorldMatrix(1.0).m[12], 2.0f, 1e-4f);
    // A track without rotation keys: identity rotation.
    EXPECT_FLOAT_EQ(track->GetWorldMatrix(1.0).m[0], 1.0f);
}

// Chunks a loader passes over, and the few bytes at the end it ignores.
TEST_F(SceneLoaderTest, SkipsWhatItDoesNotKnow) {
    TY3dDocument d = SampleDocument();
    d.Objects[2].What = TY3dObject::okHelper; // an HLPR chunk instead of the camera
    d.Objects[2].Helper = {2, 0, -1, "Group"};
    std::vector<uint8_t> file = WriteY3d(d);
    // An MMAP chunk of version 1.1 is unknown: its material gets no map from it.
    size_t map = ChunkOffset(file, kChunkMap, 0);
    ASSERT_NE(map, std::string::npos);
    Poke32(file, map + 8, kVersion11);
    file.insert(file.end(), 20, 0xEE); // 20 stray bytes
    auto loader = LoadBytes(Device(), file);
    EXPECT_EQ(loader->Scene()->Cameras.Count(), 0);
    EXPECT_EQ(loader->Scene()->Objects.Count(), 2);
    EXPECT_EQ(loader->Materials[0]->DiffuseIndex, -1);
    EXPECT_FALSE(loader->Materials[0]->DiffuseTexture);
}

TEST_F(SceneLoaderTest, MaterialRules) {
    struct Case {
        const char* name;
        float alpha;
        float glossiness;
        TY3dMap map;
        uint8_t blendKind;
        float shininess;
    };
    const Case cases[] = {
        {"alpha 0.97 is transparent", 0.97f, 0.2f, {0, 0, 1}, bkBlended, 20.0f},
        {"alpha 1 is opaque", 1.0f, -0.3f, {0, 0, 1}, bkOpaque, 30.0f},
        {"shininess stays within what OpenGL takes", 1.0f, 5.0f, {0, 0, 1}, bkOpaque, 128.0f},
        {"refraction makes the diffuse colour white", 1.0f, 0.1f, {mtRefraction, 0, 1}, bkOpaque, 10.0f},
    };
    for (const Case& c : cases) {
        TY3dDocument d;
        d.Pictures = {SampleDocument().Pictures[0]};
        TY3dMaterial m;
        m.Diffuse[0] = 0.25f;
        m.Diffuse[3] = c.alpha;
        m.Glossiness = c.glossiness;
        if (c.map.Type) m.Maps.push_back(c.map);
        d.Materials.push_back(m);
        auto loader = Load(d);
        TLoaderMaterial* got = loader->Materials[0];
        EXPECT_EQ(got->BlendKind, c.blendKind) << c.name;
        EXPECT_FLOAT_EQ(got->Shininess, c.shininess) << c.name;
        EXPECT_EQ(got->Refract, c.map.Type == mtRefraction) << c.name;
        EXPECT_FLOAT_EQ(got->DiffuseColor.r, c.map.Type == mtRefraction ? 1.0f : 0.25f) << c.name;
    }
}

// Files that must be refused, each with a message that says where and why.
TEST_F(SceneLoaderTest, RefusesDamagedFiles) {
    const std::vector<uint8_t> good = WriteY3d(SampleDocument());
    const size_t mesh = ChunkOffset(good, kChunkMesh);
    const size_t meshCounts = mesh + 20 + 16 + 4 /* "Box" */ - 1 + 28 + 4; // vertex count
    const size_t track = ChunkOffset(good, kChunkTrack);
    const size_t picture = ChunkOffset(good, kChunkPicture);
    const size_t pictureSize = picture + 20 + 16 + std::strlen("C:\\maps\\rgb.tga") + 4;
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"vertex count beyond the chunk", [&](auto& f) { Poke32(f, meshCounts, 100000); },
         "MESH chunk at offset"},
        {"negative index count", [&](auto& f) { Poke32(f, meshCounts + 4, -1); }, "declares 8 vertices, -1"},
        {"index outside the vertices", [&](auto& f) { Poke32(f, meshCounts + 12 + 8 * 8 * 4 + 4, 8); },
         "index 1 is 8, outside its 8 vertices"},
        {"group past the indices", [&](auto& f) { Poke32(f, meshCounts + 12 + 8 * 8 * 4 + 12 * 4 + 12, 13); },
         "group 0 covers indices 0 to 12"},
        {"vertex format without normals", [&](auto& f) { Poke32(f, meshCounts - 4, vfPosition); },
         "lacks positions or normals"},
        {"name longer than the chunk", [&](auto& f) { Poke32(f, mesh + 20 + 12, 1 << 30); }, "its name is"},
        {"track keys beyond the chunk", [&](auto& f) { Poke32(f, track + 20 + 20, 1000); },
         "1000 keys of 7 floats"},
        {"track keys whose size overflows",
         [&](auto& f) {
             Poke32(f, track + 20 + 16, 0x7fffffff);
             Poke32(f, track + 20 + 20, 0x7fffffff);
         },
         "2147483647 keys of 2147483647 floats"},
        {"track keys too short", [&](auto& f) { Poke32(f, track + 20 + 16, 2); }, "hold 2 floats"},
        {"picture larger than the chunk", [&](auto& f) { Poke32(f, pictureSize, 5000); },
         "a 5000 x 4 picture"},
        {"picture of one byte per pixel", [&](auto& f) { Poke32(f, pictureSize + 8, 1); },
         "1 bytes per pixel"},
        {"picture neither embedded nor named",
         [&](auto& f) {
             Poke32(f, pictureSize - 4, 0); // not embedded, and its name "C:\maps\rgb.tg\" names no file
             f[pictureSize - 5] = '\\';
         },
         "neither embedded nor named"},
        {"old node version", [&](auto& f) { Poke32(f, ChunkOffset(f, kChunkNode) + 8, kVersion11); },
         "prs version prior 2.01 no longer supported"},
        {"parent loop",
         [&](auto& f) {
             Poke32(f, ChunkOffset(f, kChunkNode, 0) + 24, 4); // node 1's parent: node 4, whose parent is 1
         },
         "parent chain"},
        {"truncated inside a mesh", [&](auto& f) { f.resize(mesh + 100); }, "test.y3d"},
        {"map index outside the pictures",
         [&](auto& f) { Poke32(f, ChunkOffset(f, kChunkMap, 1) + 20 + 4, 7); },
         "List index out of bounds (7)"},
    };
    EXPECT_EQ(LoadError(good), "");
    for (const Case& c : cases) {
        std::vector<uint8_t> file = good;
        c.damage(file);
        std::string error = LoadError(file);
        EXPECT_NE(error.find(c.message), std::string::npos) << c.name << ": " << error;
        EXPECT_NE(error.find("test.y3d"), std::string::npos) << c.name << ": " << error;
    }
}

TEST_F(SceneLoaderTest, SelectCameraOutsideTheList) {
    auto loader = Load(SampleDocument());
    try {
        loader->Scene()->SelectCamera(1);
        FAIL() << "no error";
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (1)");
    }
}

TEST_F(SceneLoaderTest, MissingReferencedPictureNamesIt) {
    TY3dDocument d;
    TY3dPicture p;
    p.Header.Name = "D:\\work\\textures\\Missing.JPG";
    d.Pictures.push_back(p);
    std::string error = LoadError(WriteY3d(d));
    EXPECT_NE(error.find("Missing.JPG"), std::string::npos) << error;
    // The same picture found by its file name in the data folder, in another letter case.
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 10, 20, 30};
    WriteFileBytes(data_.Dir().File("missing.jpg"), tga);
    auto loader = LoadBytes(Device(), WriteY3d(d));
    ASSERT_EQ(loader->Images.size(), 1u);
    EXPECT_EQ(loader->Images[0]->GetUInt8(0, 0, 0, 0), 30);
    // A damaged name with zero bytes in it ends at the first, so that the
    // message still says what is wrong after the name.
    d.Pictures[0].Header.Name = std::string("pic.tga\0\0x", 10);
    error = LoadError(WriteY3d(d));
    EXPECT_EQ(error, "test.y3d: Couldn't open the file named pic.tga");
}

} // namespace
