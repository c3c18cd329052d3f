// T3dOpenglStoreageArea: saved rectangles of the frame buffer. The window
// system's buffer regions do not exist on this platform (the BufferRegion
// flag stays 0), so the device never makes one; an area made directly has
// no region and every save or restore reports failure with its message.
#pragma once

#include "Mirel3d/Mirel3dBase/Mirel3dInterfaces.h"

class T3dOpenglStoreageArea : public TInterfacedObject, public I3dStorageArea {
public:
    T3dOpenglStoreageArea(void* region, I3dDevice* device) : Region(region), Device(device) {}

    void SaveRegion(int32_t x, int32_t y, int32_t width, int32_t height) override;
    void RestoreRegion(int32_t x, int32_t y, int32_t width, int32_t height, int32_t sourceX,
                       int32_t sourceY) override;
    void SaveAll() override;
    void RestoreAll() override;

    void* GetRegion() const { return Region; }

private:
    void* Region;
    TRefPtr<I3dDevice> Device;
};
