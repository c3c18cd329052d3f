// T3dOpenglSystemObjectBuffer: the arrays of one geometry in system memory,
// a list of vertex streams and a list of 32-bit index lists, bound to fixed
// attribute slots as client-side vertex arrays.
#pragma once

#include "Mirel3d/Mirel3dBase/T3dBuffers.h"

// The private interface of the object buffer.
class I3dOpenglObjectBuffer : public virtual IInterface {
public:
    // Binds stream `streamIndex` to attribute slot 0..28, or unbinds the
    // slot when streamIndex < 0.
    virtual void BindStream(int32_t streamIndex, int32_t slot) = 0;
};

class T3dOpenglSystemObjectBuffer : public TInterfacedObject,
                                    public I3dObjectBuffer,
                                    public I3dOpenglObjectBuffer {
public:
    explicit T3dOpenglSystemObjectBuffer(I3dDevice* device) : Device(device) {}

    void* Lock() override { return this; }
    void* Reserved4() override { return nullptr; }
    void* Unlock() override { return this; }
    void* Reserved6() override { return nullptr; }
    void* Reserved7() override { return this; }
    T3dVertexBufferList* GetVertexBuffers() override { return &VertexBuffers; }
    T3dIndexBufferList* GetIndexBuffers() override { return &IndexBuffers; }
    void AddStream(int32_t count, uint8_t dataType, TRefPtr<I3dVertexBuffer>& out, void* memory,
                   uint8_t components) override;
    void AddStreamStrided(int32_t count, uint8_t dataType, TRefPtr<I3dVertexBuffer>& out, void* memory,
                          int32_t stride, uint8_t components) override;
    void AddIndexList(int32_t count, void* memory, TRefPtr<I3dIndexBuffer>& out) override;
    void BeginUpdate() override {}
    void EndUpdate() override {}
    void Commit() override;

    void BindStream(int32_t streamIndex, int32_t slot) override;

    int32_t StreamCount() const { return int32_t(VertexBuffers.Items.size()); }
    I3dVertexBuffer* Stream(int32_t i) const { return VertexBuffers.Items[size_t(i)].Get(); }
    int32_t IndexListCount() const { return int32_t(IndexBuffers.Items.size()); }
    I3dIndexBuffer* IndexList(int32_t i) const { return IndexBuffers.Items[size_t(i)].Get(); }
    I3dDevice* GetDevice() const { return Device; }

private:
    I3dDevice* Device; // owner, not counted
    T3dVertexBufferList VertexBuffers;
    T3dIndexBufferList IndexBuffers;
};
