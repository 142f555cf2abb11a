#pragma once

// The user's choices that every detection frame reads: written by the window
// thread whenever a control changes, read by the device worker at the start
// of each frame. Each read returns one consistent set, never half of one
// change and half of another.

#include <cstdint>
#include <mutex>

// The eleven function flags (body, hand, face, direction, age, gender, gaze,
// blink, expression, recognition, verify; 1 = on), the image type (0 none,
// 1 320 x 240, 2 160 x 120), the stabilisation flag, the image panel's
// "Display image" box and the user ID Verify compares against (-1 none).
struct ExecutionChoices {
    std::uint8_t functionFlags[11] = {};
    int imageType = 1;
    bool stabilisation = false;
    bool displayImage = true;
    int verifyUserId = -1;
};

class CChoicesSnapshot {
public:
    CChoicesSnapshot() = default;
    explicit CChoicesSnapshot(const ExecutionChoices& initial) : choices_(initial) {}

    // Any thread. Current() is what the next frame uses.
    ExecutionChoices Current() const;
    // Bumped by every change; lets a reader tell whether anything changed.
    std::uint64_t Version() const;

    // Window thread (any thread is safe). Each call is one change.
    void Set(const ExecutionChoices& choices);
    void SetFunctionFlags(const std::uint8_t flags[11]);
    void SetFunction(int index, bool on);
    void SetImageType(int imageType);
    void SetStabilisation(bool on);
    void SetDisplayImage(bool on);
    void SetVerifyUserId(int userId);

private:
    template <class Change>
    void Modify(Change change);

    mutable std::mutex mutex_;
    ExecutionChoices choices_;
    std::uint64_t version_ = 0;
};
