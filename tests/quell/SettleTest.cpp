#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QuellTestSupport.h"

namespace {

QuellFaceInput Estimated(int age, int gender, int pitch = 0, int yaw = 0, int confidence = 600) {
    QuellFaceInput f = Face(160, 120, 60);
    f.pitch = pitch;
    f.yaw = yaw;
    f.age = age;
    f.ageConfidence = confidence;
    f.gender = gender;
    f.genderConfidence = confidence;
    return f;
}

QuellFaceInput Recognised(int userId, int score, int pitch = 0, int yaw = 0) {
    QuellFaceInput f = Face(160, 120, 60);
    f.pitch = pitch;
    f.yaw = yaw;
    f.userId = userId;
    f.recognitionScore = score;
    return f;
}

QuellFaceResult RunOne(const ScopedQuell& q, const QuellFaceInput& f) {
    const auto r = q.Run(FrameOf({f}));
    EXPECT_EQ(r.faces.size(), 1u);
    return r.faces.empty() ? QuellFaceResult{} : r.faces[0];
}

TEST(QuellSettle, AgeAndGenderSettleAtTheCompleteFrameCountAndNotBefore) {
    struct Case {
        int frames;
        std::vector<int> ages;
        std::vector<int> genders;
        int age;
        int gender;
    };
    const Case cases[] = {
        {1, {33}, {0}, 33, 0},
        {3, {30, 90, 35}, {1, 0, 1}, 35, 1},
        {4, {20, 22, 21, 60}, {1, 0, 0, 1}, 22, 1},  // gender tie: the latest sample wins
        {10, {40, 41, 39, 38, 40, 70, 42, 40, 41, 10}, {0, 0, 0, 1, 0, 1, 1, 0, 0, 0}, 40, 0},
    };
    for (const Case& c : cases) {
        ScopedQuell q;
        ASSERT_EQ(QuellSetPeCompleteFrameCount(q.Handle(), c.frames), QUELL_OK);
        for (int i = 0; i < c.frames; ++i) {
            const QuellFaceResult r = RunOne(q, Estimated(c.ages[i], c.genders[i]));
            const bool last = i + 1 == c.frames;
            EXPECT_EQ(r.ageState, last ? 1 : 0) << c.frames << " frames, sample " << i;
            EXPECT_EQ(r.genderState, last ? 1 : 0) << c.frames << " frames, sample " << i;
            EXPECT_EQ(r.ageFrames, i + 1);
            EXPECT_EQ(r.age, last ? c.age : c.ages[i]);
            EXPECT_EQ(r.gender, last ? c.gender : c.genders[i]);
        }
        // Settled values hold while the frames keep changing.
        const QuellFaceResult r = RunOne(q, Estimated(5, 1 - c.gender));
        EXPECT_EQ(r.ageState, 1);
        EXPECT_EQ(r.age, c.age);
        EXPECT_EQ(r.gender, c.gender);
    }
}

TEST(QuellSettle, OnlyFramesInsideTheWindowAndAboveTheThresholdCount) {
    ScopedQuell q;
    const int32_t h = q.Handle();
    ASSERT_EQ(QuellSetPeCompleteFrameCount(h, 3), QUELL_OK);
    ASSERT_EQ(QuellSetPeAngle(h, -15, 20, -20, 25), QUELL_OK);
    ASSERT_EQ(QuellSetPeThreshold(h, 300), QUELL_OK);
    const std::vector<std::pair<std::string, QuellFaceInput>> ignored = {
        {"pitch above", Estimated(30, 1, 21, 0)},
        {"pitch below", Estimated(30, 1, -16, 0)},
        {"yaw above", Estimated(30, 1, 0, 26)},
        {"yaw below", Estimated(30, 1, 0, -21)},
        {"confidence below", Estimated(30, 1, 0, 0, 299)},
        {"no estimate", Estimated(128, 128)},
        {"function off", Estimated(30, 1, 0, 0, -128)},
    };
    // Two counted frames on the window's edges, then every kind of ignored frame.
    RunOne(q, Estimated(30, 1, 20, 25, 300));
    RunOne(q, Estimated(30, 1, -15, -20, 300));
    for (const auto& [why, face] : ignored) {
        const QuellFaceResult r = RunOne(q, face);
        EXPECT_EQ(r.ageState, 0) << why;
        EXPECT_EQ(r.genderState, 0) << why;
        EXPECT_EQ(r.ageFrames, 2) << why;
    }
    const QuellFaceResult r = RunOne(q, Estimated(31, 1));
    EXPECT_EQ(r.ageState, 1);
    EXPECT_EQ(r.age, 30);
}

TEST(QuellSettle, RecognitionSettlesOnlyWhenOneUserReachesTheRatio) {
    struct Case {
        std::string name;
        int ratio;
        std::vector<std::pair<int, int>> frames;  // user ID, score
        int settlesAtFrame;                       // -1: never within the frames
        int user;
    };
    const Case cases[] = {
        {"three of five", 60, {{3, 500}, {3, 500}, {7, 500}, {7, 500}, {3, 500}}, 4, 3},
        {"two of five, then the window moves",
         60,
         {{3, 500}, {7, 500}, {3, 500}, {7, 500}, {9, 500}, {3, 500}, {3, 500}},
         6,
         3},
        {"never enough", 60, {{1, 500}, {2, 500}, {1, 500}, {2, 500}, {3, 500}, {1, 500}}, -1, 0},
        {"all required", 100, {{4, 500}, {4, 500}, {4, 500}, {4, 500}, {5, 500}}, -1, 0},
        {"weak scores mean nobody", 60, {{4, 100}, {4, 100}, {4, 100}, {4, 100}, {4, 100}}, 4, -1},
        {"no estimate is not a sample",
         60,
         {{5, 500}, {-128, 0}, {5, 500}, {-127, 0}, {5, 500}, {5, 500}, {5, 500}},
         6,
         5},
    };
    for (const Case& c : cases) {
        ScopedQuell q;
        ASSERT_EQ(QuellSetFrCompleteFrameCount(q.Handle(), 5), QUELL_OK);
        ASSERT_EQ(QuellSetFrAccountRatio(q.Handle(), c.ratio), QUELL_OK);
        ASSERT_EQ(QuellSetFrThreshold(q.Handle(), 300), QUELL_OK);
        for (int i = 0; i < static_cast<int>(c.frames.size()); ++i) {
            const auto [user, score] = c.frames[i];
            const QuellFaceResult r = RunOne(q, Recognised(user, score));
            const bool settled = c.settlesAtFrame >= 0 && i >= c.settlesAtFrame;
            EXPECT_EQ(r.recognitionState, settled ? 1 : 0) << c.name << ", frame " << i;
            EXPECT_EQ(r.userId, settled ? c.user : user) << c.name << ", frame " << i;
        }
    }
}

TEST(QuellSettle, RecognitionIgnoresFramesOutsideItsOwnWindow) {
    ScopedQuell q;
    const int32_t h = q.Handle();
    ASSERT_EQ(QuellSetFrCompleteFrameCount(h, 2), QUELL_OK);
    ASSERT_EQ(QuellSetFrAngle(h, -5, 5, -5, 5), QUELL_OK);
    RunOne(q, Recognised(8, 600));
    EXPECT_EQ(RunOne(q, Recognised(8, 600, 10, 0)).recognitionState, 0);
    EXPECT_EQ(RunOne(q, Recognised(8, 600, 0, -10)).recognitionState, 0);
    EXPECT_EQ(RunOne(q, Recognised(8, 600, 0, 5)).recognitionState, 1);
}

TEST(QuellSettle, ANewTrackStartsCollectingAfresh) {
    ScopedQuell q;
    const int32_t h = q.Handle();
    ASSERT_EQ(QuellSetPeCompleteFrameCount(h, 1), QUELL_OK);
    ASSERT_EQ(QuellSetTrRetryCount(h, 0), QUELL_OK);
    EXPECT_EQ(RunOne(q, Estimated(50, 1)).ageState, 1);
    q.Run(FrameOf({}));
    ASSERT_EQ(QuellSetPeCompleteFrameCount(h, 2), QUELL_OK);
    const QuellFaceResult r = RunOne(q, Estimated(20, 0));
    EXPECT_EQ(r.trackingId, 1);
    EXPECT_EQ(r.ageState, 0);
    EXPECT_EQ(r.age, 20);
}

TEST(QuellSettle, FunctionsMissingFromTheMaskStayUnsettled) {
    ScopedQuell q(QUELL_FUNCTION_FACE | QUELL_FUNCTION_AGE);
    ASSERT_EQ(QuellSetPeCompleteFrameCount(q.Handle(), 1), QUELL_OK);
    QuellFaceInput f = Estimated(40, 1, 70, 70);  // no direction function: angles not judged
    f.userId = 3;
    f.recognitionScore = 900;
    const QuellFaceResult r = RunOne(q, f);
    EXPECT_EQ(r.ageState, 1);
    EXPECT_EQ(r.genderState, 0);
    EXPECT_EQ(r.gender, 1);
    EXPECT_EQ(r.recognitionState, 0);
    EXPECT_EQ(r.userId, 3);
}

}  // namespace
