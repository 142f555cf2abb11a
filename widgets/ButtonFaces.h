#pragma once

// The button faces of the program's windows, drawn in code so they are sharp
// at any size and scale, in one consistent style. Each is a COrgBitmap strip
// with the four state rows (normal, pressed or checked, disabled, unused);
// the numbers are the bitmap resources the windows name.

#include "widgets/OrgBitmap.h"

enum class FaceId {
    kPushButton = 149,           // OK, Cancel, Connect, Reset values, ...: one column
    kFunctionToggle = 148,       // function ON/OFF buttons (96 × 24): one column, on bar
    kPanelToggle = 151,          // the image panel's toggle buttons (96 × 24): one column
    kTab = 179,                  // Main / Album tabs: column 0 unselected, 1 selected
    kExecuteOnce = 183,          // picture: play
    kExecuteContinuously = 182,  // picture: play in a loop
    kSettings = 163,             // picture: gear
    kFullScreen = 162,           // picture: four corners
};

// The face strip of that resource (never null).
COrgBitmap ButtonFace(FaceId id);
// By resource number; null for a number that is no button face.
COrgBitmap ButtonFace(int resourceId);
