#pragma once

#include <array>
#include <cstdint>

namespace quell {

inline constexpr int kMaxTracks = 35;

struct Detection {
    double x = 0;
    double y = 0;
    double size = 0;  // 0 or less: not a detection, gets no track
};

struct TrackOutput {
    int slot = -1;  // -1: the detection was ignored
    int trackingId = -1;
    int x = 0;
    int y = 0;
    int size = 0;
    bool fresh = false;  // the track was opened by this detection
};

// Tracks of one kind (bodies or faces): association, retention and smoothing.
class CTrackSet {
public:
    void SetRetryCount(int frames) { retryCount_ = frames; }
    void SetSteadiness(int position, int size) {
        positionSteadiness_ = position;
        sizeSteadiness_ = size;
    }
    void Clear();

    // One frame: out[i] belongs to dets[i]; count is at most kMaxTracks.
    void Update(const Detection* dets, int count, TrackOutput* out);

private:
    struct Track {
        bool used = false;
        int id = -1;
        int missed = 0;                          // frames in a row without a detection
        int matches = 0;                         // detections seen, for the velocity start-up
        double x = 0, y = 0, size = 0;           // smoothed
        double rawX = 0, rawY = 0, rawSize = 0;  // last detection
        double vx = 0, vy = 0;                   // per frame, damped
    };

    void Match(Track& t, const Detection& d) const;
    void Follow(Track& t, const Detection& d) const;
    int OpenTrack(const Detection& d);

    std::array<Track, kMaxTracks> tracks_{};
    int nextId_ = 0;
    int retryCount_ = 2;
    int positionSteadiness_ = 30;
    int sizeSteadiness_ = 30;
};

}  // namespace quell
