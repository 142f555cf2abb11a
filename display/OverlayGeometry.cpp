#include "display/OverlayGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kRadPerDeg = std::numbers::pi / 180.0;

int RoundHalfUp(double value) {
    return static_cast<int>(value + 0.5);
}

}  // namespace

DirectionAxes ComputeDirectionAxes(int length, int yaw, int pitch, int roll) {
    const double y = yaw * kRadPerDeg;
    const double p = pitch * kRadPerDeg;
    const double r0 = std::atan2(-std::sin(p) * std::sin(y), std::cos(y));
    const double r = static_cast<int>(r0 / kRadPerDeg + roll) * kRadPerDeg;
    const double l = length;
    const double sy = std::sin(y), cy = std::cos(y);
    const double sp = std::sin(p), cp = std::cos(p);
    const double sr = std::sin(r), cr = std::cos(r);

    DirectionAxes axes;
    axes.up = {RoundHalfUp(l * cp * sr), RoundHalfUp(l * cp * cr)};
    axes.right = {RoundHalfUp(l * (cr * cy - sr * sp * sy)),
                  RoundHalfUp(l * (-sr * cy - cr * sp * sy))};
    axes.front = {RoundHalfUp(l * (cr * sy + sr * cy * sp)),
                  RoundHalfUp(l * (cr * cy * sp - sr * sy))};
    return axes;
}

int BlinkFillHeight(int value, int gaugeHeight) {
    const int fill = (1000 - value) / 10 * gaugeHeight / 100;
    return std::clamp(fill, 0, std::max(gaugeHeight, 0));
}
