#include "Mirel3d/Mirel3dOpengl/T3dOpenglStoreageArea.h"

#include "platform/Exception.h"

void T3dOpenglStoreageArea::SaveRegion(int32_t, int32_t, int32_t, int32_t) {
    throw Exception("SaveBufferError");
}

void T3dOpenglStoreageArea::RestoreRegion(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    throw Exception("RestoreBufferError");
}

// The whole drawing area of the device's current context.
void T3dOpenglStoreageArea::SaveAll() {
    TRefPtr<I3dContext> current;
    if (Device) Device->GetCurrentContext(current);
    SaveRegion(0, 0, current ? current->GetWidth() : 0, current ? current->GetHeight() : 0);
}

void T3dOpenglStoreageArea::RestoreAll() {
    TRefPtr<I3dContext> current;
    if (Device) Device->GetCurrentContext(current);
    RestoreRegion(0, 0, current ? current->GetWidth() : 0, current ? current->GetHeight() : 0, 0, 0);
}
