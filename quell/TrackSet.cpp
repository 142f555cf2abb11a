#include "quell/TrackSet.h"

#include <algorithm>
#include <cmath>

namespace quell {

namespace {

// A detection may be this many sizes away from the predicted centre and still
// continue a track; beyond that it is somebody else.
constexpr double kGateSizes = 2.0;
constexpr double kMaxSizeRatio = 2.5;
constexpr double kSizeCostWeight = 0.5;
// Share of the newest frame-to-frame move in the velocity estimate; the rest
// is the previous estimate, which keeps jitter out of the prediction.
constexpr double kVelocityGain = 0.5;

int Round(double v) {
    return static_cast<int>(std::lround(v));
}

// The gain rule shared by position and size: change is the distance to the
// detection, reference the smoothed size. Returns the fraction to move by.
double FollowGain(double change, double reference, int steadiness) {
    if (reference <= 0 || change > reference) {
        return 1.0;
    }
    const double loose = 1.0 - steadiness / 100.0;
    const double k = 1.0 - loose * loose;
    if (change <= k * reference / 10.0) {
        // Inside the dead band only creep, so that wobble barely shows but a
        // face that settled a little off its smoothed place still gets there.
        return (1.0 - k) / 4.0;
    }
    return (1.0 - k) + k * change / reference;
}

}  // namespace

void CTrackSet::Clear() {
    tracks_ = {};
    nextId_ = 0;
}

void CTrackSet::Follow(Track& t, const Detection& d) const {
    const double dx = d.x - t.x;
    const double dy = d.y - t.y;
    const double gain = FollowGain(std::hypot(dx, dy), t.size, positionSteadiness_);
    t.x += gain * dx;
    t.y += gain * dy;
    const double ds = d.size - t.size;
    t.size += FollowGain(std::fabs(ds), t.size, sizeSteadiness_) * ds;
}

int CTrackSet::OpenTrack(const Detection& d) {
    int slot = -1;
    for (int i = 0; i < kMaxTracks; ++i) {
        if (!tracks_[i].used) {
            slot = i;
            break;
        }
        // All taken: the longest unseen one gives way. Tracks matched in this
        // frame have missed == 0 and never qualify, and there is always an
        // unmatched one because a frame holds at most kMaxTracks detections.
        if (tracks_[i].missed > 0 && (slot < 0 || tracks_[i].missed > tracks_[slot].missed)) {
            slot = i;
        }
    }
    if (slot < 0) {
        return -1;
    }
    Track& t = tracks_[slot];
    t = Track{};
    t.used = true;
    t.id = nextId_;
    nextId_ = nextId_ == INT32_MAX ? 0 : nextId_ + 1;
    t.matches = 1;
    t.x = t.rawX = d.x;
    t.y = t.rawY = d.y;
    t.size = t.rawSize = d.size;
    return slot;
}

void CTrackSet::Update(const Detection* dets, int count, TrackOutput* out) {
    count = std::clamp(count, 0, kMaxTracks);

    std::array<Candidate, kMaxTracks * kMaxTracks> candidates;
    int candidateCount = 0;
    for (int ti = 0; ti < kMaxTracks; ++ti) {
        const Track& t = tracks_[ti];
        if (!t.used) {
            continue;
        }
        const double ahead = t.missed + 1;
        const double px = t.rawX + t.vx * ahead;
        const double py = t.rawY + t.vy * ahead;
        for (int di = 0; di < count; ++di) {
            const Detection& d = dets[di];
            if (!(d.size > 0)) {
                continue;
            }
            const double ratio = d.size / t.rawSize;
            if (ratio > kMaxSizeRatio || ratio < 1.0 / kMaxSizeRatio) {
                continue;
            }
            const double reference = std::max(d.size, t.rawSize);
            const double distance = std::hypot(d.x - px, d.y - py) / reference;
            if (distance > kGateSizes) {
                continue;
            }
            candidates[candidateCount++] = {distance + kSizeCostWeight * std::fabs(std::log(ratio)),
                                            static_cast<std::int8_t>(ti),
                                            static_cast<std::int8_t>(di)};
        }
    }
    std::sort(candidates.begin(), candidates.begin() + candidateCount,
              [](const Candidate& a, const Candidate& b) {
                  if (a.cost != b.cost) {
                      return a.cost < b.cost;
                  }
                  return a.track != b.track ? a.track < b.track : a.det < b.det;
              });

    std::array<bool, kMaxTracks> trackTaken{};
    for (int di = 0; di < count; ++di) {
        out[di] = TrackOutput{};
    }
    for (int c = 0; c < candidateCount; ++c) {
        const int ti = candidates[c].track;
        const int di = candidates[c].det;
        if (trackTaken[ti] || out[di].slot >= 0) {
            continue;
        }
        trackTaken[ti] = true;
        out[di].slot = ti;

        Track& t = tracks_[ti];
        const Detection& d = dets[di];
        const double frames = t.missed + 1;
        const double stepX = (d.x - t.rawX) / frames;
        const double stepY = (d.y - t.rawY) / frames;
        if (t.matches == 1) {
            t.vx = stepX;
            t.vy = stepY;
        } else {
            t.vx += kVelocityGain * (stepX - t.vx);
            t.vy += kVelocityGain * (stepY - t.vy);
        }
        ++t.matches;
        t.missed = 0;
        t.rawX = d.x;
        t.rawY = d.y;
        t.rawSize = d.size;
        Follow(t, d);
    }

    // Unseen tracks age first so that the slots they free serve new faces.
    for (int ti = 0; ti < kMaxTracks; ++ti) {
        Track& t = tracks_[ti];
        if (t.used && !trackTaken[ti] && ++t.missed > retryCount_) {
            t = Track{};
        }
    }

    for (int di = 0; di < count; ++di) {
        if (out[di].slot < 0 && dets[di].size > 0) {
            out[di].slot = OpenTrack(dets[di]);
            out[di].fresh = out[di].slot >= 0;
        }
        if (out[di].slot >= 0) {
            const Track& t = tracks_[out[di].slot];
            out[di].trackingId = t.id;
            out[di].x = Round(t.x);
            out[di].y = Round(t.y);
            out[di].size = Round(t.size);
        }
    }
}

}  // namespace quell
