#include "Mirel3d/Mirel3dBase/T3dBuffers.h"

int32_t VertexComponentSize(uint8_t dataType) {
    static const int32_t sizes[10] = {1, 4, 1, 2, 4, 1, 2, 4, 4, 8};
    return dataType < 10 ? sizes[dataType] : 4;
}

void TBaseVertexBuffer::SetDataType(uint8_t dataType) {
    DataType = dataType;
    ElementSize = VertexComponentSize(dataType);
}

void TBaseVertexBuffer::AllocateOwned(size_t bytes) {
    Owned.reset(new uint8_t[bytes > 0 ? bytes : 1]());
    Data = Owned.get();
}

void TBaseIndexBuffer::AllocateOwned(size_t count) {
    Owned.reset(new uint32_t[count > 0 ? count : 1]());
    Data = Owned.get();
}
