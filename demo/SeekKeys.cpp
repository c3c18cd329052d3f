#include "demo/SeekKeys.h"

#include "demo/DemoDevice.h"

const char* const kSeekHelpLines[6] = {
    "  ---------------------------",       "   Left/Right = Seek 1 s (Shift: 10 s)",
    "   Home = Back to the start",         "   PgUp/PgDn = Previous/next part",
    "   L = Loop this part (again: stop)", "   T = Position bar",
};

bool SeekKeyDown(int key, bool shift, TDemo3dDevice& device) {
    const double now = device.Timer()->GetTime();
    const double step = shift ? 10.0 : 1.0;
    switch (key) {
    case vkLeft:
        device.Seek(now - step);
        return true;
    case vkRight:
        device.Seek(now + step);
        return true;
    case vkHome:
        device.Seek(0.0);
        return true;
    case vkPrior:
        // Before the first part's start: the demo's start.
        device.Seek(device.PreviousPartStart(now).value_or(0.0));
        return true;
    case vkNext:
        if (std::optional<double> next = device.NextPartStart(now)) device.Seek(*next);
        return true;
    case vkL:
        if (device.Looping())
            device.StopLooping();
        else
            device.LoopPartAt(now);
        return true;
    default:
        return false;
    }
}
