// T3dValueList: a growable array of fixed-size elements made of 32-bit
// values; T3dFaceList: a value list of face groups (64 values per element, the
// first 16 hold a T3dFaceGroup).
#pragma once

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"

class T3dValueList : public TInterfacedObject, public virtual I3dValueList {
public:
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void SetCapacity(int32_t elements) override;
    void SetCount(int32_t elements) override;
    void SetValueCount(int32_t valuesPerElement) override;
    T3dValueArray& GetValues() override { return Values; }
    int32_t GetCapacity() override;
    int32_t GetCount() override;
    int32_t GetValueCount() override { return ValueCount; }
    void* ElementAddress(int32_t index) override;
    void SetElement(int32_t index, const void* source) override;
    void InsertValues(int32_t position, int32_t number) override;
    void Add(const void* source) override;
    void Clear() override { SetCount(0); }
    int32_t AddUnique(const void* source) override;

protected:
    int32_t Capacity = 0;   // in values
    int32_t Count = 0;      // in values
    int32_t ValueCount = 0; // values per element
    T3dValueArray Values;
};

class T3dFaceList : public T3dValueList, public I3dFaceList {
public:
    T3dFaceList() { ValueCount = 64; }
    void AddFaceGroupRecord(const T3dFaceGroup& group) override;
    void AddFaceGroupEx(int32_t firstIndex, int32_t indexCount, T3dPrimitiveKind primitive,
                        int32_t) override {
        AddFaceGroup(firstIndex, indexCount, primitive);
    }
    void AddFaceGroup(int32_t firstIndex, int32_t indexCount, T3dPrimitiveKind primitive) override;
    // The group record of element i (no check: i < GetCount()).
    const T3dFaceGroup& Group(int32_t i) { return *static_cast<const T3dFaceGroup*>(ElementAddress(i)); }
};

// A new, empty face list (the factory the loader and the scene use).
TRefPtr<I3dFaceList> CreateFaceList();
