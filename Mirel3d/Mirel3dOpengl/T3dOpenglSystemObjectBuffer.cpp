#include "Mirel3d/Mirel3dOpengl/T3dOpenglSystemObjectBuffer.h"

#include "Mirel3d/Mirel3dBase/Mirel3dExceptions.h"
#include "Mirel3d/Mirel3dOpengl/GLEntryPoints.h"
#include "platform/Format.h"

void T3dOpenglSystemObjectBuffer::AddStreamStrided(int32_t count, uint8_t dataType,
                                                   TRefPtr<I3dVertexBuffer>& out, void* memory,
                                                   int32_t stride, uint8_t components) {
    if (count < 0) throw EIndexOutOfRange(Format("Stream element count %d is negative", count));
    TRefPtr<TBaseVertexBuffer> stream(new TBaseVertexBuffer());
    stream->SetDataType(dataType);
    stream->SetComponents(components);
    stream->SetCount(count);
    stream->SetStride(stride);
    if (memory)
        stream->SetData(memory);
    else
        stream->AllocateOwned(size_t(components + 1) * size_t(count) * size_t(stream->GetElementSize()));
    VertexBuffers.Items.push_back(TRefPtr<I3dVertexBuffer>(stream.Get()));
    out = stream.Get();
}

void T3dOpenglSystemObjectBuffer::AddStream(int32_t count, uint8_t dataType, TRefPtr<I3dVertexBuffer>& out,
                                            void* memory, uint8_t components) {
    int32_t stride = VertexComponentSize(dataType) * (components + 1);
    AddStreamStrided(count, dataType, out, memory, stride, components);
}

void T3dOpenglSystemObjectBuffer::AddIndexList(int32_t count, void* memory, TRefPtr<I3dIndexBuffer>& out) {
    if (count < 0) throw EIndexOutOfRange(Format("Index count %d is negative", count));
    TRefPtr<TBaseIndexBuffer> list(new TBaseIndexBuffer());
    list->SetCount(count);
    if (memory)
        list->SetData(memory);
    else
        list->AllocateOwned(size_t(count));
    IndexBuffers.Items.push_back(TRefPtr<I3dIndexBuffer>(list.Get()));
    out = list.Get();
}

void T3dOpenglSystemObjectBuffer::Commit() {
    int64_t total = 0;
    for (auto& s : VertexBuffers.Items) {
        s->SetGLPointer(s->GetData());
        total += int64_t(s->GetCount()) * (s->GetComponents() + 1) * 4;
    }
    for (auto& l : IndexBuffers.Items)
        l->SetGLPointer(l->GetData());
    VertexBuffers.TotalSize = total;
}

// Client array of each attribute slot (0: none).
static GLenum SlotArray(int32_t slot) {
    if (slot == 0) return GL_VERTEX_ARRAY;
    if (slot == 1) return GL_NORMAL_ARRAY;
    if (slot == 3) return GL_COLOR_ARRAY;
    if (slot == 4) return GL_SECONDARY_COLOR_ARRAY_EXT;
    if (slot >= 5 && slot <= 12) return GL_TEXTURE_COORD_ARRAY;
    if (slot >= 13 && slot <= 21) return GLenum(GL_VERTEX_ATTRIB_ARRAY0_NV + slot - 13);
    return 0;
}

void T3dOpenglSystemObjectBuffer::BindStream(int32_t streamIndex, int32_t slot) {
    if (slot < 0 || slot > 28) return;
    GLenum array = SlotArray(slot);
    if (streamIndex < 0) {
        // A slot without a client array has nothing to switch off.
        if (array == 0) return;
        if (slot >= 5 && slot <= 11 && GL.glClientActiveTextureARB)
            GL.glClientActiveTextureARB(GLenum(GL_TEXTURE0_ARB + slot - 5));
        GL.glDisableClientState(array);
        return;
    }
    if (streamIndex >= StreamCount())
        throw EIndexOutOfRange(
            Format("Stream %d does not exist (the buffer has %d)", streamIndex, StreamCount()));
    I3dVertexBuffer* s = Stream(streamIndex);
    GLint size = s->GetComponents() + 1;
    GLsizei stride = s->GetStride();
    const void* pointer = s->GetGLPointer();
    switch (slot) {
    case 0:
        GL.glVertexPointer(size, GL_FLOAT, stride, pointer);
        break;
    case 1:
        GL.glNormalPointer(GL_FLOAT, stride, pointer);
        break;
    case 3:
        GL.glColorPointer(size, GL_FLOAT, stride, pointer);
        break;
    case 5:
    case 6:
    case 7:
    case 8:
        if (GL.glClientActiveTextureARB) GL.glClientActiveTextureARB(GLenum(GL_TEXTURE0_ARB + slot - 5));
        GL.glTexCoordPointer(size, GL_FLOAT, stride, pointer);
        break;
    default:
        if (slot >= 13 && slot <= 21) {
            if (GL.glVertexAttribPointerNV)
                GL.glVertexAttribPointerNV(GLuint(slot - 13), size, GL_FLOAT, stride, pointer);
        } else if (slot >= 22 && slot <= 25) {
            static const GLuint attributes[4] = {0x8659, 0x865A, 0x865B, 0x8650};
            if (GL.glVertexAttribPointerNV)
                GL.glVertexAttribPointerNV(attributes[slot - 22], size, GL_FLOAT, stride, pointer);
        }
        break;
    }
    if (array) GL.glEnableClientState(array);
}
