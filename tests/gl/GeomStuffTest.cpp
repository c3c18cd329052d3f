// Plane and sphere generators and the tangent-space builder: pure logic on
// object buffers in system memory.
#include <gtest/gtest.h>

#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglSystemObjectBuffer.h"
#include "scene/geometry/GeomStuff.h"

namespace {

TRefPtr<I3dObjectBuffer> NewBuffer() {
    return TRefPtr<I3dObjectBuffer>(new T3dOpenglSystemObjectBuffer(nullptr));
}
I3dVertexBuffer* StreamOf(I3dObjectBuffer* b, int i) {
    return b->GetVertexBuffers()->Items[size_t(i)].Get();
}
I3dIndexBuffer* IndexOf(I3dObjectBuffer* b) {
    return b->GetIndexBuffers()->Items[0].Get();
}
const float* F(I3dVertexBuffer* s, int i) {
    return static_cast<const float*>(s->ElementAddress(i));
}
const T3dFaceGroup& Group(I3dFaceList* f, int i) {
    return *static_cast<const T3dFaceGroup*>(f->ElementAddress(i));
}

} // namespace

TEST(GeneratePlane, FadeSquare) {
    TRefPtr<I3dObjectBuffer> b = NewBuffer();
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    TGeomStuff::GeneratePlane(nullptr, 0x01, {3}, b, faces.Get(), 2.0f, 2.0f, 1, 1);
    ASSERT_EQ(b->GetVertexBuffers()->Items.size(), 1u);
    I3dVertexBuffer* p = StreamOf(b.Get(), 0);
    ASSERT_EQ(p->GetCount(), 4);
    const float expect[4][3] = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}};
    for (int i = 0; i < 4; i++)
        for (int k = 0; k < 3; k++)
            EXPECT_FLOAT_EQ(F(p, i)[k], expect[i][k]);
    I3dIndexBuffer* idx = IndexOf(b.Get());
    EXPECT_EQ(idx->GetCount(), 16);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(*idx->IndexAddress(i), uint32_t(i));
    ASSERT_EQ(faces->GetCount(), 1);
    EXPECT_EQ(Group(faces.Get(), 0).FirstIndex, 0);
    EXPECT_EQ(Group(faces.Get(), 0).IndexCount, 4);
    EXPECT_EQ(Group(faces.Get(), 0).Primitive, pkTriangleStrip);
}

TEST(GeneratePlane, BackgroundWithTexCoordsAndGrid) {
    TRefPtr<I3dObjectBuffer> b = NewBuffer();
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    TGeomStuff::GeneratePlane(nullptr, 0x21, {3, 2}, b, faces.Get(), 1.0f, 1.0f, 1, 1);
    ASSERT_EQ(b->GetVertexBuffers()->Items.size(), 2u);
    I3dVertexBuffer* t = StreamOf(b.Get(), 1);
    EXPECT_EQ(t->GetStride(), 8);
    EXPECT_FLOAT_EQ(F(t, 3)[0], 1.0f);
    EXPECT_FLOAT_EQ(F(t, 3)[1], 1.0f);
    EXPECT_FLOAT_EQ(F(StreamOf(b.Get(), 0), 0)[0], -0.5f);

    // 3 x 2 cells: 12 vertices, 3 strips of 6 indices.
    TRefPtr<I3dObjectBuffer> g = NewBuffer();
    TRefPtr<I3dFaceList> gf = CreateFaceList();
    TGeomStuff::GeneratePlane(nullptr, 0x03, {3, 3}, g, gf.Get(), 3.0f, 2.0f, 3, 2);
    EXPECT_EQ(StreamOf(g.Get(), 0)->GetCount(), 12);
    EXPECT_FLOAT_EQ(F(StreamOf(g.Get(), 1), 7)[2], 1.0f);
    ASSERT_EQ(gf->GetCount(), 3);
    EXPECT_EQ(Group(gf.Get(), 2).FirstIndex, 12);
    EXPECT_EQ(Group(gf.Get(), 2).IndexCount, 6);
    I3dIndexBuffer* idx = IndexOf(g.Get());
    // Column 1, row 2: vertices 4 * 2 + 1 and + 2.
    EXPECT_EQ(*idx->IndexAddress(6 + 4), 9u);
    EXPECT_EQ(*idx->IndexAddress(6 + 5), 10u);
}

TEST(GenerateSphere, CountsOfTheSceneSphere) {
    TRefPtr<I3dObjectBuffer> b = NewBuffer();
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    TGeomStuff::GenerateSphere(nullptr, 0x03, {3, 3}, b, faces.Get(), 1.0f, 10, 10);
    I3dVertexBuffer* p = StreamOf(b.Get(), 0);
    I3dVertexBuffer* n = StreamOf(b.Get(), 1);
    EXPECT_EQ(p->GetCount(), 90);
    EXPECT_EQ(IndexOf(b.Get())->GetCount(), 178);
    ASSERT_EQ(faces->GetCount(), 9);
    EXPECT_EQ(Group(faces.Get(), 0).Primitive, pkTriangleFan);
    EXPECT_EQ(Group(faces.Get(), 8).Primitive, pkTriangleFan);
    EXPECT_EQ(Group(faces.Get(), 4).Primitive, pkTriangleStrip);
    int total = 0;
    for (int i = 0; i < 9; i++)
        total += Group(faces.Get(), i).IndexCount;
    EXPECT_EQ(total, 178);
    EXPECT_FLOAT_EQ(F(p, 0)[2], 1.0f);
    EXPECT_FLOAT_EQ(F(p, 89)[2], -1.0f);
    for (int i = 0; i < 90; i++) {
        const float* q = F(p, i);
        EXPECT_NEAR(q[0] * q[0] + q[1] * q[1] + q[2] * q[2], 1.0f, 1e-5f);
        EXPECT_NEAR(F(n, i)[0], q[0], 1e-5f);
    }
    // The last vertex of a ring repeats its first.
    EXPECT_NEAR(F(p, 11)[0], F(p, 1)[0], 1e-5f);
    EXPECT_NEAR(F(p, 11)[1], F(p, 1)[1], 1e-5f);
    // Every index lies within the vertices.
    for (int i = 0; i < 178; i++)
        EXPECT_LT(*IndexOf(b.Get())->IndexAddress(i), 90u);
}

TEST(GenerateSphere, SmallCountsBecomeThree) {
    TRefPtr<I3dObjectBuffer> b = NewBuffer();
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    TGeomStuff::GenerateSphere(nullptr, 0x01, {3}, b, faces.Get(), 2.0f, 1, 0);
    // Rings 3: one ring of 4 vertices, two fans, no strip.
    EXPECT_EQ(StreamOf(b.Get(), 0)->GetCount(), 6);
    EXPECT_EQ(faces->GetCount(), 2);
    EXPECT_EQ(IndexOf(b.Get())->GetCount(), 10);
    EXPECT_EQ(*IndexOf(b.Get())->IndexAddress(5), 5u); // bottom pole
    EXPECT_EQ(*IndexOf(b.Get())->IndexAddress(6), 4u); // ring reversed
}

namespace {

// A unit quad in the xy plane with u along +x and v along +y, as two triangles.
struct Quad {
    TRefPtr<I3dObjectBuffer> b = NewBuffer();
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    TRefPtr<I3dVertexBuffer> pos, nrm, uv, bin, tan;
    TRefPtr<I3dIndexBuffer> idx;
    explicit Quad(int vertices = 4) {
        b->AddStream(vertices, 1, pos, nullptr, 2);
        b->AddStream(vertices, 1, nrm, nullptr, 2);
        b->AddStream(vertices, 1, uv, nullptr, 1);
        b->AddStream(vertices, 1, bin, nullptr, 2);
        b->AddStream(vertices, 1, tan, nullptr, 2);
        b->AddIndexList(6, nullptr, idx);
        const float p[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
        for (int i = 0; i < 4; i++) {
            float* q = static_cast<float*>(pos->ElementAddress(i));
            q[0] = p[i][0];
            q[1] = p[i][1];
            float* t = static_cast<float*>(uv->ElementAddress(i));
            t[0] = p[i][0];
            t[1] = p[i][1];
        }
        for (int i = 0; i < vertices; i++)
            static_cast<float*>(nrm->ElementAddress(i))[2] = 1.0f;
        const uint32_t tri[6] = {0, 1, 2, 2, 1, 3};
        for (int i = 0; i < 6; i++)
            *idx->IndexAddress(i) = tri[i];
    }
    void Build() {
        TGeomStuff::BuildTangentSpace(pos.Get(), nrm.Get(), uv.Get(), bin.Get(), tan.Get(), idx.Get(),
                                      faces.Get());
    }
};

void ExpectVec(I3dVertexBuffer* s, int i, float x, float y, float z) {
    const float* v = static_cast<const float*>(s->ElementAddress(i));
    EXPECT_NEAR(v[0], x, 1e-5f) << "element " << i;
    EXPECT_NEAR(v[1], y, 1e-5f) << "element " << i;
    EXPECT_NEAR(v[2], z, 1e-5f) << "element " << i;
}

} // namespace

TEST(BuildTangentSpace, FlatQuadGivesTheTextbookFrame) {
    Quad q;
    q.faces->AddFaceGroup(0, 6, pkTriangles);
    q.Build();
    for (int i = 0; i < 4; i++) {
        ExpectVec(q.tan.Get(), i, -1, 0, 0);
        ExpectVec(q.bin.Get(), i, 0, 1, 0);
        ExpectVec(q.nrm.Get(), i, 0, 0, 1);
    }
}

TEST(BuildTangentSpace, StripFanRemainderAndUnusedVertex) {
    Quad q(5); // vertex 4 is used by no triangle
    static_cast<float*>(q.nrm->ElementAddress(4))[2] = 3.0f;
    // A strip over 0, 1, 2, 3 gives the same two triangles; a list of 2
    // entries and a fan of 2 contribute nothing.
    const uint32_t strip[6] = {0, 1, 2, 3, 0, 1};
    for (int i = 0; i < 6; i++)
        *q.idx->IndexAddress(i) = strip[i];
    q.faces->AddFaceGroup(0, 4, pkTriangleStrip);
    q.faces->AddFaceGroup(4, 2, pkTriangles);
    q.faces->AddFaceGroup(4, 2, pkTriangleFan);
    q.faces->AddFaceGroup(0, 6, pkLines);
    q.Build();
    for (int i = 0; i < 4; i++)
        ExpectVec(q.tan.Get(), i, -1, 0, 0);
    ExpectVec(q.tan.Get(), 4, 0, 0, 0);
    ExpectVec(q.bin.Get(), 4, 0, 0, 0);
    ExpectVec(q.nrm.Get(), 4, 0, 0, 1);
}

TEST(BuildTangentSpace, IndicesOutsideTheStreamsAreRejectedBeforeAnyChange) {
    Quad q;
    *q.idx->IndexAddress(5) = 4; // only 4 vertices
    q.faces->AddFaceGroup(0, 6, pkTriangles);
    try {
        q.Build();
        FAIL() << "no error";
    } catch (const EIndexOutOfRange& e) {
        EXPECT_NE(std::string(e.what()).find("Index 4"), std::string::npos) << e.what();
    }
    ExpectVec(q.nrm.Get(), 0, 0, 0, 1); // untouched
    ExpectVec(q.tan.Get(), 0, 0, 0, 0);

    Quad r;
    r.faces->AddFaceGroup(2, 6, pkTriangles); // entries 2..7 of 6
    EXPECT_THROW(r.Build(), EIndexOutOfRange);
    Quad s;
    s.faces->AddFaceGroup(-3, 3, pkTriangleFan);
    EXPECT_THROW(s.Build(), EIndexOutOfRange);
}
