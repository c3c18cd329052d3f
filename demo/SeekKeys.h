// The author's seeking keys, for windowed and full-screen runs: Left/Right
// seek one second back/forward (ten with Shift), Home goes to 0, Page Up and
// Page Down to the start of the previous/next part, L loops the part at the
// current time (pressed again: stops looping). Every seek moves the music
// with the clock (TDemo3dDevice::Seek).
#pragma once

#include "demo/DemoKeys.h"

class TDemo3dDevice;

// The help page's lines for these keys (and the track bar's T, which the
// main window handles), in the order the page shows them.
extern const char* const kSeekHelpLines[6];

// Acts on one key-down event; returns false for keys it does not handle.
bool SeekKeyDown(int key, bool shift, TDemo3dDevice& device);
