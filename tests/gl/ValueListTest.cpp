// Value lists, face lists, vertex/index buffers and the context slot tables:
// pure logic, no GL context.
#include <gtest/gtest.h>

#include "Mirel3d/Mirel3dBase/T3dBuffers.h"
#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglContext.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglStoreageArea.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglSystemObjectBuffer.h"
#include "data/Stream.h"

TEST(ValueList, SetValueCountOnEmptyListOnlySetsStride) {
    TRefPtr<T3dValueList> l(new T3dValueList);
    l->SetValueCount(3);
    EXPECT_EQ(l->GetValueCount(), 3);
    EXPECT_EQ(l->GetCount(), 0);
}

TEST(ValueList, SetValueCountWidensEveryElementWithZerosAtTheEnd) {
    TRefPtr<T3dValueList> l(new T3dValueList);
    l->SetValueCount(2);
    uint32_t a[2] = {1, 2}, b[2] = {3, 4};
    l->Add(a);
    l->Add(b);
    l->SetValueCount(4);
    ASSERT_EQ(l->GetValueCount(), 4);
    ASSERT_EQ(l->GetCount(), 2);
    const uint32_t* e0 = static_cast<uint32_t*>(l->ElementAddress(0));
    const uint32_t* e1 = static_cast<uint32_t*>(l->ElementAddress(1));
    EXPECT_EQ(e0[0], 1u);
    EXPECT_EQ(e0[1], 2u);
    EXPECT_EQ(e0[2], 0u);
    EXPECT_EQ(e0[3], 0u);
    EXPECT_EQ(e1[0], 3u);
    EXPECT_EQ(e1[1], 4u);
    EXPECT_EQ(e1[2], 0u);
    // Inserting in the middle of each element.
    l->InsertValues(1, 1);
    e0 = static_cast<uint32_t*>(l->ElementAddress(0));
    EXPECT_EQ(l->GetValueCount(), 5);
    EXPECT_EQ(e0[0], 1u);
    EXPECT_EQ(e0[1], 0u);
    EXPECT_EQ(e0[2], 2u);
}

TEST(ValueList, AddUniqueFindsEqualElementAndCapacityStaysAhead) {
    TRefPtr<T3dValueList> l(new T3dValueList);
    l->SetValueCount(3);
    for (uint32_t i = 0; i < 6; i++) {
        uint32_t e[3] = {i, i * 2, i * 3};
        l->Add(e);
        EXPECT_GT(l->GetCapacity(), l->GetCount());
    }
    uint32_t same[3] = {3, 6, 9};
    EXPECT_EQ(l->AddUnique(same), 3);
    EXPECT_EQ(l->GetCount(), 6);
    uint32_t fresh[3] = {3, 6, 10};
    EXPECT_EQ(l->AddUnique(fresh), 6);
    EXPECT_EQ(l->GetCount(), 7);
    l->Clear();
    EXPECT_EQ(l->GetCount(), 0);
}

TEST(ValueList, SaveAndLoadRoundTripAndRejectBadCounts) {
    TRefPtr<T3dValueList> l(new T3dValueList);
    l->SetValueCount(2);
    uint32_t a[2] = {7, 8};
    l->Add(a);
    l->Add(a);
    TMemoryStream stream;
    l->SaveToStream(stream);
    EXPECT_EQ(stream.GetSize(), 4 + 16);
    stream.SetPosition(0);
    TRefPtr<T3dValueList> back(new T3dValueList);
    back->SetValueCount(2);
    back->LoadFromStream(stream);
    EXPECT_EQ(back->GetCount(), 2);
    EXPECT_EQ(static_cast<uint32_t*>(back->ElementAddress(1))[1], 8u);
    // A count larger than the stream holds is refused.
    TMemoryStream bad;
    int32_t huge = 1 << 28;
    bad.WriteBuffer(&huge, 4);
    bad.SetPosition(0);
    EXPECT_THROW(back->LoadFromStream(bad), Exception);
}

TEST(FaceList, GroupsAreSixtyFourValuesWithRecordFirst) {
    TRefPtr<I3dFaceList> faces = CreateFaceList();
    EXPECT_EQ(faces->GetValueCount(), 64);
    faces->AddFaceGroup(5, 12, pkTriangleStrip);
    faces->AddFaceGroupEx(17, 3, pkTriangles, -1);
    ASSERT_EQ(faces->GetCount(), 2);
    const T3dFaceGroup& g = *static_cast<const T3dFaceGroup*>(faces->ElementAddress(1));
    EXPECT_EQ(g.FirstIndex, 17);
    EXPECT_EQ(g.IndexCount, 3);
    EXPECT_EQ(g.Primitive, pkTriangles);
    EXPECT_EQ(g.Bounds[0].x, 0.0f);
    const uint32_t* raw = static_cast<const uint32_t*>(faces->ElementAddress(0));
    for (int i = 16; i < 64; i++)
        EXPECT_EQ(raw[i], 0u);
}

TEST(ObjectBuffer, StreamsIndexListsAndCommit) {
    TRefPtr<T3dOpenglSystemObjectBuffer> ob(new T3dOpenglSystemObjectBuffer(nullptr));
    TRefPtr<I3dVertexBuffer> s;
    ob->AddStream(10, 1, s, nullptr, 2);
    EXPECT_EQ(s->GetComponents(), 2); // three components
    EXPECT_EQ(s->GetStride(), 12);
    EXPECT_EQ(s->GetCount(), 10);
    EXPECT_EQ(s->GetGLPointer(), nullptr);
    EXPECT_EQ(static_cast<float*>(s->ElementAddress(9))[2], 0.0f); // zero-filled, in bounds
    EXPECT_EQ(static_cast<uint8_t*>(s->ElementAddress(2)) - static_cast<uint8_t*>(s->GetData()), 24);
    EXPECT_EQ(static_cast<uint8_t*>(s->WordAddress(3)) - static_cast<uint8_t*>(s->GetData()), 6);
    EXPECT_EQ(static_cast<uint8_t*>(s->DwordAddress(3)) - static_cast<uint8_t*>(s->GetData()), 12);
    float caller[8] = {};
    TRefPtr<I3dVertexBuffer> s2;
    ob->AddStreamStrided(2, 1, s2, caller, 16, 3);
    EXPECT_EQ(s2->GetData(), caller);
    TRefPtr<I3dIndexBuffer> idx;
    ob->AddIndexList(6, nullptr, idx);
    EXPECT_EQ(idx->GetCount(), 6);
    EXPECT_EQ(idx->IndexAddress(5) - static_cast<uint32_t*>(idx->GetData()), 5);
    ob->Commit();
    EXPECT_EQ(s->GetGLPointer(), s->GetData());
    EXPECT_EQ(idx->GetGLPointer(), idx->GetData());
    EXPECT_EQ(ob->GetVertexBuffers()->TotalSize, 10 * 3 * 4 + 2 * 4 * 4);
    EXPECT_EQ(ob->GetVertexBuffers()->Items.size(), 2u);
}

TEST(ContextSlots, LightsAndTextureUnits) {
    TRefPtr<T3dOpenglContext> c(new T3dOpenglContext);
    for (int i = 1; i <= 8; i++)
        EXPECT_EQ(c->AllocLight(), i);
    EXPECT_EQ(c->AllocLight(), 0);
    c->FreeLight(3);
    EXPECT_EQ(c->AllocLight(), 3);
    c->FreeAllLights();
    EXPECT_EQ(c->AllocLight(), 1);
    // Units 1 to 5, then none, whatever the hardware has.
    for (int i = 1; i <= 5; i++)
        EXPECT_EQ(c->AllocTextureUnit(), i);
    EXPECT_EQ(c->AllocTextureUnit(), 0);
    c->FreeTextureUnit(2);
    EXPECT_EQ(c->AllocTextureUnit(), 2);
    c->FreeAllTextureUnits();
    EXPECT_EQ(c->AllocTextureUnit(), 1);
}

TEST(ContextBrackets, SceneAndPolyErrors) {
    TRefPtr<T3dOpenglContext> c(new T3dOpenglContext);
    try {
        c->EndScene();
        FAIL();
    } catch (const EEndsceneExeption& e) {
        EXPECT_STREQ(e.what(), "Called Endscene without a beginscene");
    }
    try {
        c->BeginPoly(pkTriangles);
        FAIL();
    } catch (const ENoSceneException& e) {
        EXPECT_STREQ(e.what(), "Not inside scene");
    }
    try {
        c->EndPoly();
        FAIL();
    } catch (const EEndpolyExeption& e) {
        EXPECT_STREQ(e.what(), "Called endpoly without a beginpoly call");
    }
}

TEST(RefCounting, ObjectsLiveWhileReferenced) {
    static int alive = 0;
    struct Counted : TInterfacedObject, I3dStorageArea {
        Counted() { alive++; }
        ~Counted() override { alive--; }
        void SaveRegion(int32_t, int32_t, int32_t, int32_t) override {}
        void RestoreRegion(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) override {}
        void SaveAll() override {}
        void RestoreAll() override {}
    };
    {
        TRefPtr<I3dStorageArea> a(new Counted);
        EXPECT_EQ(alive, 1);
        TRefPtr<IInterface> b = QueryAs<IInterface>(a);
        a.Reset();
        EXPECT_EQ(alive, 1);
        EXPECT_FALSE(QueryAs<I3dTexture>(b));
    }
    EXPECT_EQ(alive, 0);
}

TEST(StorageArea, WithoutBufferRegionsEverySaveAndRestoreFails) {
    TRefPtr<I3dStorageArea> area(new T3dOpenglStoreageArea(nullptr, nullptr));
    try {
        area->SaveAll();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "SaveBufferError");
    }
    try {
        area->RestoreRegion(0, 0, 4, 4, 0, 0);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "RestoreBufferError");
    }
}

TEST(Interfaces, IdentifiersAreTheSystemsOwn) {
    const TGuid device = {0xC1084F7D, 0xD675, 0x4869, {0xB0, 0x02, 0xC7, 0x9A, 0xC4, 0xE7, 0x1F, 0x96}};
    EXPECT_TRUE(I3dDevice::IID == device);
    EXPECT_FALSE(I3dContext::IID == I3dOpenglContext::IID);
    EXPECT_EQ(I3dValueList::IID.Data1, 0x133EAAB9u);
    EXPECT_EQ(I3dIndexList::IID.Data4[7], 0x36);
}
