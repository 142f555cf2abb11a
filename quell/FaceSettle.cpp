#include "quell/FaceSettle.h"

#include <algorithm>

namespace quell {

namespace {

// The device's "no estimate" byte (-128) arrives as 128; anything from there
// up is not an age or gender value.
constexpr int kFirstInvalidValue = 128;
constexpr int kNoRecognitionEstimate = -128;
constexpr int kNothingRegistered = -127;
constexpr int kNoUser = -1;

bool IsPeSample(int value, int confidence, const FaceSample& s, const SettleRule& rule) {
    return value >= 0 && value < kFirstInvalidValue && confidence >= rule.threshold &&
           rule.Faces(s.pitch, s.yaw);
}

}  // namespace

void CFaceSettle::Reset() {
    ageCount_ = 0;
    age_ = -1;
    genderCount_ = 0;
    males_ = 0;
    lastGender_ = 0;
    gender_ = -1;
    userCount_ = 0;
    userSettled_ = false;
    user_ = -1;
}

void CFaceSettle::AddAge(const FaceSample& s, const SettleRule& rule, SettledValue& out) {
    const int needed = rule.Needed();
    if (age_ < 0 && IsPeSample(s.age, s.ageConfidence, s, rule)) {
        if (ageCount_ < kMaxSettleFrames) {
            ages_[ageCount_++] = static_cast<std::uint8_t>(s.age);
        }
        if (ageCount_ >= needed) {
            std::array<std::uint8_t, kMaxSettleFrames> sorted = ages_;
            std::nth_element(sorted.begin(), sorted.begin() + ageCount_ / 2,
                             sorted.begin() + ageCount_);
            age_ = sorted[ageCount_ / 2];
        }
    }
    out.frames = ageCount_;
    out.state = age_ >= 0 ? 1 : 0;
    out.value = age_ >= 0 ? age_ : s.age;
}

void CFaceSettle::AddGender(const FaceSample& s, const SettleRule& rule, SettledValue& out) {
    const int needed = rule.Needed();
    if (gender_ < 0 && (s.gender == 0 || s.gender == 1) &&
        IsPeSample(s.gender, s.genderConfidence, s, rule)) {
        ++genderCount_;
        males_ += s.gender;
        lastGender_ = s.gender;
        if (genderCount_ >= needed) {
            const int females = genderCount_ - males_;
            gender_ = males_ > females ? 1 : females > males_ ? 0 : lastGender_;
        }
    }
    out.frames = genderCount_;
    out.state = gender_ >= 0 ? 1 : 0;
    out.value = gender_ >= 0 ? gender_ : s.gender;
}

void CFaceSettle::AddRecognition(const FaceSample& s, const SettleRule& rule, SettledValue& out) {
    const int needed = rule.Needed();
    if (!userSettled_ && s.userId != kNoRecognitionEstimate && s.userId != kNothingRegistered &&
        rule.Faces(s.pitch, s.yaw)) {
        const int named = (s.userId >= 0 && s.score < rule.threshold) ? kNoUser : s.userId;
        users_[userCount_ % needed] = named;
        ++userCount_;
        if (userCount_ >= needed) {
            std::array<std::int32_t, kMaxSettleFrames> sorted = users_;
            std::sort(sorted.begin(), sorted.begin() + needed);
            int best = sorted[0];
            int bestRun = 0;
            for (int i = 0; i < needed;) {
                int j = i;
                while (j < needed && sorted[j] == sorted[i]) {
                    ++j;
                }
                if (j - i > bestRun) {
                    bestRun = j - i;
                    best = sorted[i];
                }
                i = j;
            }
            if (bestRun * 100 >= rule.ratio * needed) {
                userSettled_ = true;
                user_ = best;
            }
        }
    }
    out.frames = std::min(userCount_, needed);
    out.state = userSettled_ ? 1 : 0;
    out.value = userSettled_ ? user_ : s.userId;
}

}  // namespace quell
