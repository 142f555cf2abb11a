#include "quell/TrackSet.h"

#include <algorithm>
#include <bit>
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

// Half away from zero; the values are averages of 32-bit inputs and fit.
int Round(double v) {
    return static_cast<int>(v < 0 ? v - 0.5 : v + 0.5);
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
    const double gain = FollowGain(std::sqrt(dx * dx + dy * dy), t.size, positionSteadiness_);
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

void CTrackSet::Match(Track& t, const Detection& d) const {
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

void CTrackSet::Update(const Detection* dets, int count, TrackOutput* out) {
    count = std::clamp(count, 0, kMaxTracks);

    // The detections side by side in float, padded to 35 with entries that
    // fail every gate, so that the pair loop below has no branches and
    // vectorises.
    alignas(16) std::array<float, kMaxTracks> gx{}, gy{}, gs;
    gs.fill(-1.0f);
    for (int di = 0; di < count; ++di) {
        gx[di] = static_cast<float>(dets[di].x);
        gy[di] = static_cast<float>(dets[di].y);
        gs[di] = dets[di].size > 0 ? static_cast<float>(dets[di].size) : -1.0f;
    }

    // Candidate pairs, each as one key: the cost's float bits (a positive
    // float orders like its bit pattern) above the track and detection
    // numbers, so that equal costs still order the same way every time.
    std::array<std::uint64_t, kMaxTracks * kMaxTracks> candidates;
    int candidateCount = 0;
    for (int ti = 0; ti < kMaxTracks; ++ti) {
        const Track& t = tracks_[ti];
        if (!t.used) {
            continue;
        }
        const double ahead = t.missed + 1;
        const float px = static_cast<float>(t.rawX + t.vx * ahead);
        const float py = static_cast<float>(t.rawY + t.vy * ahead);
        const float trackSize = static_cast<float>(t.rawSize);
        const float minSize = static_cast<float>(t.rawSize / kMaxSizeRatio);
        const float maxSize = static_cast<float>(t.rawSize * kMaxSizeRatio);
        constexpr float kGate2 = static_cast<float>(kGateSizes * kGateSizes);
        constexpr float kSizeWeight = static_cast<float>(kSizeCostWeight);
        alignas(16) std::array<float, kMaxTracks> cost;
        alignas(16) std::array<std::int32_t, kMaxTracks> inside;
        for (int di = 0; di < kMaxTracks; ++di) {
            const float ex = gx[di] - px;
            const float ey = gy[di] - py;
            const float distance2 = ex * ex + ey * ey;
            const float reference = std::max(gs[di], trackSize);
            // Branch-free on purpose (the loop vectorises); the casts keep the
            // bitwise and from reading as a mistaken logical one.
            inside[di] = static_cast<std::int32_t>(gs[di] >= minSize) &
                         static_cast<std::int32_t>(gs[di] <= maxSize) &
                         static_cast<std::int32_t>(distance2 <= kGate2 * reference * reference);
            // Both terms in units of the larger size; the size term is at
            // most 0.6 inside the ratio gate.
            cost[di] =
                (std::sqrt(distance2) + kSizeWeight * std::fabs(gs[di] - trackSize)) / reference;
        }
        std::uint64_t insideBits = 0;
        for (int di = 0; di < kMaxTracks; ++di) {
            insideBits |= std::uint64_t(inside[di] & 1) << di;
        }
        for (; insideBits != 0; insideBits &= insideBits - 1) {
            const int di = std::countr_zero(insideBits);
            candidates[candidateCount++] =
                (std::uint64_t{std::bit_cast<std::uint32_t>(cost[di])} << 16) |
                static_cast<std::uint64_t>(ti << 8) | static_cast<std::uint64_t>(di);
        }
    }

    // Greedy association, cheapest pair first. Instead of sorting, rounds
    // take every pair that is the cheapest for both its track and its
    // detection: that is exactly the pair the cheapest-first order would
    // take next for them, and each round takes at least the overall
    // cheapest one.
    std::array<bool, kMaxTracks> trackTaken{};
    for (int di = 0; di < count; ++di) {
        out[di] = TrackOutput{};
    }
    constexpr std::uint64_t kNone = ~std::uint64_t{0};
    while (candidateCount > 0) {
        std::array<std::uint64_t, kMaxTracks> bestOfTrack;
        std::array<std::uint64_t, kMaxTracks> bestOfDet;
        bestOfTrack.fill(kNone);
        bestOfDet.fill(kNone);
        for (int c = 0; c < candidateCount; ++c) {
            const std::uint64_t key = candidates[c];
            const int ti = static_cast<int>((key >> 8) & 0xFF);
            const int di = static_cast<int>(key & 0xFF);
            bestOfTrack[ti] = std::min(bestOfTrack[ti], key);
            bestOfDet[di] = std::min(bestOfDet[di], key);
        }
        int kept = 0;
        for (int c = 0; c < candidateCount; ++c) {
            const std::uint64_t key = candidates[c];
            const int ti = static_cast<int>((key >> 8) & 0xFF);
            const int di = static_cast<int>(key & 0xFF);
            if (bestOfTrack[ti] == key && bestOfDet[di] == key) {
                trackTaken[ti] = true;
                out[di].slot = ti;
                Match(tracks_[ti], dets[di]);
            }
        }
        for (int c = 0; c < candidateCount; ++c) {
            const std::uint64_t key = candidates[c];
            const int ti = static_cast<int>((key >> 8) & 0xFF);
            const int di = static_cast<int>(key & 0xFF);
            candidates[kept] = key;
            kept += !trackTaken[ti] && out[di].slot < 0;
        }
        candidateCount = kept;
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
