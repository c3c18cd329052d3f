// TBaseVertexBuffer (one vertex stream) and TBaseIndexBuffer (one list of
// 32-bit indices) in system memory. Memory passed in by a caller stays the
// caller's; memory the buffer allocates itself is freed with it.
#pragma once

#include <memory>

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"

// Bytes of one component by data type 0 to 9.
int32_t VertexComponentSize(uint8_t dataType);

class TBaseVertexBuffer : public TInterfacedObject, public I3dVertexBuffer {
public:
    void SetDataType(uint8_t dataType) override;
    void Reserved4() override {}
    void SetComponents(uint8_t components) override { Components = components; }
    uint8_t GetComponents() override { return Components; }
    void SetGLPointer(void* pointer) override { GLPointer = pointer; }
    void* GetGLPointer() override { return GLPointer; }
    void SetData(void* data) override { Data = static_cast<uint8_t*>(data); }
    void* GetData() override { return Data; }
    void Reserved11() override {}
    void Reserved12() override {}
    void SetCount(int32_t count) override { Count = count; }
    int32_t GetCount() override { return Count; }
    void SetStride(int32_t stride) override { Stride = stride; }
    int32_t GetStride() override { return Stride; }
    void* ElementAddress(int32_t index) override { return Data + ptrdiff_t(index) * Stride; }
    void* ElementAddress2(int32_t index) override { return Data + ptrdiff_t(index) * Stride; }
    void* ElementAddress3(int32_t index) override { return Data + ptrdiff_t(index) * Stride; }
    void* ByteAddress(int32_t index) override { return Data + index; }
    void* WordAddress(int32_t index) override { return Data + 2 * ptrdiff_t(index); }
    void* DwordAddress(int32_t index) override { return Data + 4 * ptrdiff_t(index); }
    void Reserved23() override {}

    uint8_t GetDataType() const { return DataType; }
    int32_t GetElementSize() const { return ElementSize; }
    // Gives the buffer a zero-filled block of its own of `bytes` bytes.
    void AllocateOwned(size_t bytes);

private:
    uint8_t DataType = 0;
    uint8_t Components = 0;
    int32_t ElementSize = 1;
    int32_t Count = 0;
    int32_t Stride = 0;
    uint8_t* Data = nullptr;
    void* GLPointer = nullptr;
    std::unique_ptr<uint8_t[]> Owned;
};

class TBaseIndexBuffer : public TInterfacedObject, public I3dIndexBuffer {
public:
    void SetGLPointer(void* pointer) override { GLPointer = pointer; }
    void* GetGLPointer() override { return GLPointer; }
    void SetData(void* data) override { Data = static_cast<uint32_t*>(data); }
    void* GetData() override { return Data; }
    void Reserved7() override {}
    void Reserved8() override {}
    void SetCount(int32_t count) override { Count = count; }
    int32_t GetCount() override { return Count; }
    uint32_t* IndexAddress(int32_t index) override { return Data + index; }
    void Reserved12() override {}

    void AllocateOwned(size_t count);

private:
    int32_t Count = 0;
    uint32_t* Data = nullptr;
    void* GLPointer = nullptr;
    std::unique_ptr<uint32_t[]> Owned;
};
