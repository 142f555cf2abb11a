#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "quell/Quell.h"

// A handle that configures itself like the application's defaults and is
// deleted at the end of the test.
class ScopedQuell {
public:
    explicit ScopedQuell(int mask = 573) : handle_(QuellCreateHandle(mask)) {}
    ~ScopedQuell() {
        if (handle_ != 0) {
            QuellDeleteHandle(handle_);
        }
    }
    ScopedQuell(const ScopedQuell&) = delete;
    ScopedQuell& operator=(const ScopedQuell&) = delete;

    int32_t Handle() const { return handle_; }

    struct Results {
        std::vector<QuellFaceResult> faces;
        std::vector<QuellBodyResult> bodies;
    };

    // Runs one frame and returns what the library reports for it.
    Results Run(const QuellFrameInput& frame) const {
        Results r;
        EXPECT_EQ(QuellSetFrameResult(handle_, &frame), QUELL_OK);
        EXPECT_EQ(QuellExecute(handle_), QUELL_OK);
        QuellFaceResult faces[QUELL_MAX_ENTRIES];
        QuellBodyResult bodies[QUELL_MAX_ENTRIES];
        int32_t count = -1;
        EXPECT_EQ(QuellGetFaces(handle_, &count, faces), QUELL_OK);
        EXPECT_GE(count, 0);
        EXPECT_LE(count, QUELL_MAX_ENTRIES);
        r.faces.assign(faces, faces + count);
        count = -1;
        EXPECT_EQ(QuellGetBodies(handle_, &count, bodies), QUELL_OK);
        EXPECT_GE(count, 0);
        EXPECT_LE(count, QUELL_MAX_ENTRIES);
        r.bodies.assign(bodies, bodies + count);
        return r;
    }

private:
    int32_t handle_;
};

// A face looking straight at the camera with confident estimates.
inline QuellFaceInput Face(int x, int y, int size) {
    QuellFaceInput f{};
    f.x = x;
    f.y = y;
    f.size = size;
    f.confidence = 700;
    f.directionConfidence = 700;
    f.age = 128;
    f.ageConfidence = -128;
    f.gender = 128;
    f.genderConfidence = -128;
    f.userId = -128;
    f.recognitionScore = -128;
    return f;
}

inline QuellFrameInput FrameOf(const std::vector<QuellFaceInput>& faces,
                               const std::vector<QuellBodyInput>& bodies = {}) {
    QuellFrameInput frame{};
    frame.faceCount = static_cast<int32_t>(faces.size());
    for (std::size_t i = 0; i < faces.size() && i < QUELL_MAX_ENTRIES; ++i) {
        frame.faces[i] = faces[i];
    }
    frame.bodyCount = static_cast<int32_t>(bodies.size());
    for (std::size_t i = 0; i < bodies.size() && i < QUELL_MAX_ENTRIES; ++i) {
        frame.bodies[i] = bodies[i];
    }
    return frame;
}

// Deterministic jitter in [-amplitude, amplitude].
class Jitter {
public:
    explicit Jitter(unsigned seed) : state_(seed) {}
    int Next(int amplitude) {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ >> 16) % (2u * amplitude + 1u)) - amplitude;
    }

private:
    unsigned state_;
};
