#pragma once

// Vector in module orientation: x to the right, y upwards.
struct AxisVector {
    int x = 0;
    int y = 0;
};

struct DirectionAxes {
    AxisVector up;     // the face's up axis
    AxisVector right;  // the face's right axis
    AxisVector front;  // towards the viewer
};

// The three axes of a face turned by yaw, pitch and roll (degrees), each of
// the given length. The roll applied is the whole-degree part of the roll
// seen on screen (the yaw/pitch-induced tilt plus the reported roll); every
// component is rounded as the integer part of value + 0.5.
DirectionAxes ComputeDirectionAxes(int length, int yaw, int pitch, int roll);

// Height of the filled part of a blink gauge of height `gaugeHeight` for a
// blink value (0 open = full, 1000 closed = empty), kept within the gauge.
int BlinkFillHeight(int value, int gaugeHeight);
