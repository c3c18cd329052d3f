// The device's stream and draw operations: the selected object buffer, its
// streams on attribute slots, the selected index list.
#include "Mirel3d/Mirel3dBase/T3dValueList.h"
#include "Mirel3d/Mirel3dOpengl/GLTables.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenGLDevice.h"
#include "Mirel3d/Mirel3dOpengl/T3dOpenglSystemObjectBuffer.h"
#include "platform/Format.h"

void T3dOpenGLDevice::CreateObjectBuffer(TRefPtr<I3dObjectBuffer>& out) {
    out = TRefPtr<I3dObjectBuffer>(new T3dOpenglSystemObjectBuffer(this));
}

void T3dOpenGLDevice::SetObjectBuffer(I3dObjectBuffer* buffer) {
    if (buffer != ObjectBuffer.Get()) {
        ObjectBuffer = buffer;
        ObjectBufferImpl = dynamic_cast<T3dOpenglSystemObjectBuffer*>(buffer);
    }
    if (buffer) buffer->BeginUpdate();
}

void T3dOpenGLDevice::SetStream(int32_t streamIndex, int32_t slot) {
    if (slot < 0 || slot > 28) return;
    SlotBound[slot] = streamIndex >= 0;
    if (ObjectBufferImpl) ObjectBufferImpl->BindStream(streamIndex, slot);
}

// Only the slots the device has bound are unbound: the others have no array
// switched on (a nested view's arrays come back with the outer view's
// record of them).
void T3dOpenGLDevice::ResetStreams() {
    for (int32_t slot = 0; slot <= 28; slot++)
        if (SlotBound[slot]) SetStream(-1, slot);
}

void T3dOpenGLDevice::SelectIndexList(int32_t index) {
    IndexData = nullptr;
    IndexCount = 0;
    if (!ObjectBufferImpl) return;
    if (index < 0 || index >= ObjectBufferImpl->IndexListCount())
        throw EIndexOutOfRange(Format("Index list %d does not exist", index));
    I3dIndexBuffer* list = ObjectBufferImpl->IndexList(index);
    IndexData = static_cast<const uint32_t*>(list->GetGLPointer());
    IndexCount = list->GetCount();
}

// The range must lie within the selected index list.
void T3dOpenGLDevice::DrawElements(T3dPrimitiveKind primitive, int32_t, int32_t, int32_t first,
                                   int32_t count) {
    if (first < 0 || count < 0 || int64_t(first) + count > IndexCount)
        throw EIndexOutOfRange(Format("Indices %d..%d lie outside the index list of %d entries", first,
                                      first + count, IndexCount));
    if (!IndexData || count == 0) return;
    GL.glDrawElements(PrimitiveGL(primitive), count, GL_UNSIGNED_INT, IndexData + first);
}

void T3dOpenGLDevice::DrawFaceGroup(const T3dFaceGroup& g) {
    DrawElements(g.Primitive, 0, 0, g.FirstIndex, g.IndexCount);
}

void T3dOpenGLDevice::DrawFaceList(I3dFaceList* list) {
    if (!list) return;
    int32_t n = list->GetCount();
    bool lock =
        GL.glLockArraysEXT && GL.glUnlockArraysEXT && ObjectBufferImpl && ObjectBufferImpl->StreamCount() > 0;
    if (lock) GL.glLockArraysEXT(0, ObjectBufferImpl->Stream(0)->GetCount());
    for (int32_t i = 0; i < n; i++)
        DrawFaceGroup(*static_cast<const T3dFaceGroup*>(list->ElementAddress(i)));
    if (lock) GL.glUnlockArraysEXT();
    if (ObjectBuffer) ObjectBuffer->EndUpdate();
}

// For debugging: a line from each position along its normal.
void T3dOpenGLDevice::DrawNormals(int32_t positionStream, int32_t normalStream, float length) {
    if (!ObjectBufferImpl) return;
    int32_t streams = ObjectBufferImpl->StreamCount();
    if (positionStream < 0 || positionStream >= streams || normalStream < 0 || normalStream >= streams)
        return;
    I3dVertexBuffer* p = ObjectBufferImpl->Stream(positionStream);
    I3dVertexBuffer* nrm = ObjectBufferImpl->Stream(normalStream);
    int32_t count = std::min(p->GetCount(), nrm->GetCount());
    GL.glBegin(GL_LINES);
    for (int32_t i = 0; i < count; i++) {
        const float* a = static_cast<const float*>(p->ElementAddress(i));
        const float* d = static_cast<const float*>(nrm->ElementAddress(i));
        GL.glVertex3f(a[0], a[1], a[2]);
        GL.glVertex3f(a[0] + length * d[0], a[1] + length * d[1], a[2] + length * d[2]);
    }
    GL.glEnd();
}

void T3dOpenGLDevice::DrawArrays(T3dPrimitiveKind primitive, int32_t first, int32_t count) {
    GL.glDrawArrays(PrimitiveGL(primitive), first, count);
}

void T3dOpenGLDevice::BeginArrays() {
    if (Advertised(GLFlags.CompiledVertexArray)) ArraysLocked = true;
}

void T3dOpenGLDevice::EndArrays() {
    if (Advertised(GLFlags.CompiledVertexArray) && ArraysLocked && GL.glUnlockArraysEXT)
        GL.glUnlockArraysEXT();
}
