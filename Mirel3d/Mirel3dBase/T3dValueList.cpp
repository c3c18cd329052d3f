#include "Mirel3d/Mirel3dBase/T3dValueList.h"

#include <cstring>

#include "data/Stream.h"

static_assert(sizeof(T3dFaceGroup) == 16 * sizeof(uint32_t), "a face group fills 16 values");

// Reads the value count and that many values: the format SaveToStream writes.
// A count that the stream cannot hold is refused by the stream read itself.
void T3dValueList::LoadFromStream(TStream& stream) {
    int32_t count = 0;
    stream.ReadBuffer(&count, 4);
    if (count < 0 || int64_t(count) * 4 > stream.GetSize() - stream.GetPosition())
        throw Exception("Value list count out of range");
    T3dValueArray values(size_t(count), 0);
    if (count > 0) stream.ReadBuffer(values.data(), count * 4);
    int32_t vc = ValueCount > 0 ? ValueCount : 1;
    if (count % vc != 0) throw Exception("Value list count out of range");
    Values = std::move(values);
    Count = count;
    // Keep one spare element, as SetCount does.
    Values.resize(size_t(count + vc), 0);
    Capacity = int32_t(Values.size());
}

void T3dValueList::SaveToStream(TStream& stream) {
    stream.WriteBuffer(&Count, 4);
    if (Count > 0) stream.WriteBuffer(Values.data(), size_t(Count) * 4);
}

void T3dValueList::SetCapacity(int32_t elements) {
    if (elements < 0) elements = 0;
    Capacity = elements * ValueCount;
    Values.resize(size_t(Capacity), 0);
    if (Count > Capacity) Count = Capacity;
}

void T3dValueList::SetCount(int32_t elements) {
    if (elements < 0) elements = 0;
    Count = elements * ValueCount;
    if (elements >= GetCapacity()) SetCapacity(elements + 1);
}

void T3dValueList::SetValueCount(int32_t valuesPerElement) {
    if (ValueCount <= 0)
        ValueCount = valuesPerElement;
    else
        InsertValues(ValueCount, valuesPerElement - ValueCount);
}

int32_t T3dValueList::GetCapacity() {
    return ValueCount > 0 ? Capacity / ValueCount : 0;
}
int32_t T3dValueList::GetCount() {
    return ValueCount > 0 ? Count / ValueCount : 0;
}

void* T3dValueList::ElementAddress(int32_t index) {
    return Values.data() + size_t(index) * size_t(ValueCount);
}

void T3dValueList::SetElement(int32_t index, const void* source) {
    std::memcpy(ElementAddress(index), source, size_t(ValueCount) * 4);
}

// Widens every element by `number` zero values inserted before the value at
// `position` of each element; a position at or past the element's end
// appends the zeros after its last value (what SetValueCount relies on).
void T3dValueList::InsertValues(int32_t position, int32_t number) {
    if (ValueCount <= 0 || number <= 0) return;
    int32_t elements = Capacity / ValueCount;
    int32_t newCount = ValueCount + number;
    T3dValueArray wider(size_t(elements) * size_t(newCount), 0);
    size_t out = 0;
    for (int32_t e = 0; e < elements; e++) {
        for (int32_t j = 0; j < ValueCount; j++) {
            if (j == position) out += size_t(number);
            wider[out++] = Values[size_t(e) * size_t(ValueCount) + size_t(j)];
        }
        if (position >= ValueCount || position < 0) out += size_t(number);
    }
    Count = Count / ValueCount * newCount;
    ValueCount = newCount;
    Values = std::move(wider);
    Capacity = int32_t(Values.size());
}

void T3dValueList::Add(const void* source) {
    int32_t n = GetCount();
    SetCount(n + 1);
    SetElement(n, source);
}

int32_t T3dValueList::AddUnique(const void* source) {
    int32_t n = GetCount();
    for (int32_t i = 0; i < n; i++)
        if (std::memcmp(ElementAddress(i), source, size_t(ValueCount) * 4) == 0) return i;
    Add(source);
    return n;
}

void T3dFaceList::AddFaceGroupRecord(const T3dFaceGroup& group) {
    uint32_t element[64] = {};
    std::memcpy(element, &group, sizeof group);
    Add(element);
}

void T3dFaceList::AddFaceGroup(int32_t firstIndex, int32_t indexCount, T3dPrimitiveKind primitive) {
    T3dFaceGroup g{};
    g.FirstIndex = firstIndex;
    g.IndexCount = indexCount;
    g.Primitive = primitive;
    AddFaceGroupRecord(g);
}

TRefPtr<I3dFaceList> CreateFaceList() {
    return TRefPtr<I3dFaceList>(new T3dFaceList);
}
