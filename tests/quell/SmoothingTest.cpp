#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "QuellTestSupport.h"

namespace {

double StdDevOfSteps(const std::vector<int>& v) {
    std::vector<double> steps;
    for (std::size_t i = 1; i < v.size(); ++i) {
        steps.push_back(v[i] - v[i - 1]);
    }
    double mean = 0;
    for (double s : steps) {
        mean += s;
    }
    mean /= steps.size();
    double var = 0;
    for (double s : steps) {
        var += (s - mean) * (s - mean);
    }
    return std::sqrt(var / steps.size());
}

struct Walk {
    std::vector<int> inX, inY, outX, outY;
    double worstLag = 0;  // farthest the output strays from the true path
};

// A face walking 2 px per frame to the right with +-4 px of jitter.
Walk JitteryWalk(int steadiness) {
    ScopedQuell q;
    EXPECT_EQ(QuellSetTrSteadiness(q.Handle(), steadiness, steadiness), QUELL_OK);
    Jitter jitter(42);
    Walk w;
    for (int t = 0; t < 200; ++t) {
        const int trueX = 60 + 2 * t;
        const QuellFaceInput f = Face(trueX + jitter.Next(4), 120 + jitter.Next(4), 80);
        const auto r = q.Run(FrameOf({f}));
        EXPECT_EQ(r.faces.size(), 1u);
        if (r.faces.empty()) {
            break;
        }
        w.inX.push_back(f.x);
        w.inY.push_back(f.y);
        w.outX.push_back(r.faces[0].x);
        w.outY.push_back(r.faces[0].y);
        if (t >= 10) {
            w.worstLag =
                std::max(w.worstLag, std::hypot(r.faces[0].x - trueX, r.faces[0].y - 120.0));
        }
    }
    return w;
}

TEST(QuellSmoothing, JitterIsDampedWhileASteadyWalkIsFollowed) {
    const Walk w = JitteryWalk(30);
    const double inX = StdDevOfSteps(w.inX);
    const double outX = StdDevOfSteps(w.outX);
    const double inY = StdDevOfSteps(w.inY);
    const double outY = StdDevOfSteps(w.outY);
    std::printf(
        "frame-to-frame std-dev at steadiness 30: x %.2f -> %.2f (%.0f%% less), "
        "y %.2f -> %.2f (%.0f%% less), worst distance from the true path %.1f px\n",
        inX, outX, 100 * (1 - outX / inX), inY, outY, 100 * (1 - outY / inY), w.worstLag);
    EXPECT_LT(outX, 0.7 * inX);
    EXPECT_LT(outY, 0.7 * inY);
    EXPECT_LT(w.worstLag, 10.0) << "the smoothed face must stay within an eighth of its size";
}

TEST(QuellSmoothing, HigherSteadinessMovesLess) {
    const Walk none = JitteryWalk(0);
    EXPECT_EQ(none.outX, none.inX) << "steadiness 0 passes the detections through";
    const double mid = StdDevOfSteps(JitteryWalk(30).outY);
    const double high = StdDevOfSteps(JitteryWalk(80).outY);
    EXPECT_LT(high, mid);
}

TEST(QuellSmoothing, JumpLargerThanTheFaceIsTakenAtOnce) {
    ScopedQuell q;
    ASSERT_EQ(QuellSetTrSteadiness(q.Handle(), 90, 90), QUELL_OK);
    for (int t = 0; t < 5; ++t) {
        q.Run(FrameOf({Face(100, 100, 60)}));
    }
    // 70 px is more than the 60 px face but within reach of the same track.
    const auto r = q.Run(FrameOf({Face(170, 100, 60)}));
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_EQ(r.faces[0].trackingId, 0);
    EXPECT_EQ(r.faces[0].x, 170);
}

TEST(QuellSmoothing, SmallerRealMoveIsReachedWithinAFewFrames) {
    ScopedQuell q;
    for (int t = 0; t < 5; ++t) {
        q.Run(FrameOf({Face(100, 100, 60)}));
    }
    std::vector<int> xs;
    std::vector<int> sizes;
    for (int t = 0; t < 6; ++t) {
        const auto r = q.Run(FrameOf({Face(130, 100, 75)}));
        ASSERT_EQ(r.faces.size(), 1u);
        xs.push_back(r.faces[0].x);
        sizes.push_back(r.faces[0].size);
    }
    EXPECT_GT(xs[0], 100);
    EXPECT_LT(xs[0], 130) << "a move within the face size is smoothed";
    EXPECT_NEAR(xs.back(), 130, 2);
    EXPECT_NEAR(sizes.back(), 75, 2);
}

}  // namespace
