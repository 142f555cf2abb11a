#pragma once

#include <array>
#include <cstdint>

namespace quell {

inline constexpr int kMaxSettleFrames = 255;

// Which frames count and how many are needed, for one of the two groups
// (age and gender, or recognition).
struct SettleRule {
    int threshold = 300;
    int pitchMin = -15;
    int pitchMax = 20;
    int yawMin = -20;
    int yawMax = 20;
    int frames = 10;  // 0 is taken as 1
    int ratio = 60;   // percent, recognition only

    bool Faces(int pitch, int yaw) const {
        return pitch >= pitchMin && pitch <= pitchMax && yaw >= yawMin && yaw <= yawMax;
    }
    int Needed() const { return frames < 1 ? 1 : frames; }
};

struct FaceSample {
    int yaw = 0;
    int pitch = 0;
    int age = 128;
    int ageConfidence = -128;
    int gender = 128;
    int genderConfidence = -128;
    int userId = -128;
    int score = -128;
};

struct SettledValue {
    int state = 0;   // 0 collecting, 1 settled
    int frames = 0;  // samples collected so far
    int value = 0;
};

// The settling state of one face track.
class CFaceSettle {
public:
    void Reset();
    void AddAge(const FaceSample& s, const SettleRule& rule, SettledValue& out);
    void AddGender(const FaceSample& s, const SettleRule& rule, SettledValue& out);
    void AddRecognition(const FaceSample& s, const SettleRule& rule, SettledValue& out);

private:
    std::array<std::uint8_t, kMaxSettleFrames> ages_{};
    int ageCount_ = 0;
    int age_ = -1;  // settled value, -1 none yet

    int genderCount_ = 0;
    int males_ = 0;
    int lastGender_ = 0;
    int gender_ = -1;

    std::array<std::int32_t, kMaxSettleFrames> users_{};  // ring of the last samples
    int userCount_ = 0;                                   // samples ever collected
    bool userSettled_ = false;
    int user_ = -1;
};

}  // namespace quell
