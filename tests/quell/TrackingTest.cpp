#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "QuellTestSupport.h"

namespace {

int IdOfOnlyFace(const ScopedQuell::Results& r) {
    EXPECT_EQ(r.faces.size(), 1u);
    return r.faces.empty() ? -1 : r.faces[0].trackingId;
}

TEST(QuellTracking, IdSurvivesAGapUpToTheRetryCountAndIsRenewedAfter) {
    struct Case {
        int retry;
        int gap;
        bool kept;
    };
    for (const Case c : {Case{2, 1, true}, Case{2, 2, true}, Case{2, 3, false}, Case{0, 1, false},
                         Case{10, 10, true}, Case{10, 11, false}}) {
        ScopedQuell q;
        ASSERT_EQ(QuellSetTrRetryCount(q.Handle(), c.retry), QUELL_OK);
        const int before = IdOfOnlyFace(q.Run(FrameOf({Face(100, 100, 50)})));
        IdOfOnlyFace(q.Run(FrameOf({Face(102, 100, 50)})));
        for (int i = 0; i < c.gap; ++i) {
            EXPECT_TRUE(q.Run(FrameOf({})).faces.empty());
        }
        const int after = IdOfOnlyFace(q.Run(FrameOf({Face(104, 101, 50)})));
        if (c.kept) {
            EXPECT_EQ(after, before) << "retry " << c.retry << " gap " << c.gap;
        } else {
            EXPECT_GT(after, before) << "retry " << c.retry << " gap " << c.gap;
        }
    }
}

TEST(QuellTracking, TwoFacesCrossingKeepTheirIds) {
    ScopedQuell q;
    Jitter jitter(7);
    int idA = -1;
    int idB = -1;
    for (int t = 0; t <= 30; ++t) {
        // A walks right, B walks left on the same line: at frame 14 A is at
        // 190 and B at 200, at frame 15 they have swapped places exactly, so
        // only the motion tells who is who.
        QuellFaceInput a = Face(50 + 10 * t + jitter.Next(2), 120 + jitter.Next(2), 60);
        QuellFaceInput b = Face(340 - 10 * t + jitter.Next(2), 120 + jitter.Next(2), 60);
        // The device's order carries no meaning: swap it every other frame.
        const bool swapped = t % 2 == 1;
        const auto r = q.Run(swapped ? FrameOf({b, a}) : FrameOf({a, b}));
        ASSERT_EQ(r.faces.size(), 2u);
        const QuellFaceResult& ra = r.faces[swapped ? 1 : 0];
        const QuellFaceResult& rb = r.faces[swapped ? 0 : 1];
        EXPECT_EQ(ra.index, swapped ? 1 : 0);
        if (t == 0) {
            idA = ra.trackingId;
            idB = rb.trackingId;
            ASSERT_NE(idA, idB);
        }
        EXPECT_EQ(ra.trackingId, idA) << "frame " << t;
        EXPECT_EQ(rb.trackingId, idB) << "frame " << t;
        EXPECT_NEAR(ra.x, a.x, 8) << "frame " << t;
        EXPECT_NEAR(rb.x, b.x, 8) << "frame " << t;
    }
}

TEST(QuellTracking, NewFacesGetIncreasingIdsAndFarJumpsAreNewFaces) {
    ScopedQuell q;
    ASSERT_EQ(QuellSetTrRetryCount(q.Handle(), 0), QUELL_OK);
    auto r = q.Run(FrameOf({Face(50, 50, 40), Face(250, 50, 40)}));
    ASSERT_EQ(r.faces.size(), 2u);
    EXPECT_EQ(r.faces[0].trackingId, 0);
    EXPECT_EQ(r.faces[1].trackingId, 1);
    // A third face arrives while the first leaves far across the image.
    r = q.Run(FrameOf({Face(250, 52, 40), Face(50, 200, 40)}));
    ASSERT_EQ(r.faces.size(), 2u);
    EXPECT_EQ(r.faces[0].trackingId, 1);
    EXPECT_EQ(r.faces[1].trackingId, 2);
}

TEST(QuellTracking, FullTrackTableMakesRoomForNewFaces) {
    ScopedQuell q;
    ASSERT_EQ(QuellSetTrRetryCount(q.Handle(), 100), QUELL_OK);
    std::vector<QuellFaceInput> first;
    std::vector<QuellFaceInput> second;
    for (int i = 0; i < QUELL_MAX_ENTRIES; ++i) {
        first.push_back(Face(30 + (i % 7) * 60, 30 + (i / 7) * 60, 30));
        second.push_back(Face(1030 + (i % 7) * 60, 30 + (i / 7) * 60, 30));
    }
    q.Run(FrameOf(first));
    // 35 remembered tracks, all unseen now: 35 new faces still get tracks.
    const auto r = q.Run(FrameOf(second));
    ASSERT_EQ(r.faces.size(), 35u);
    std::set<int> ids;
    for (const QuellFaceResult& f : r.faces) {
        EXPECT_GE(f.trackingId, 35);
        ids.insert(f.trackingId);
    }
    EXPECT_EQ(ids.size(), 35u);
}

TEST(QuellTracking, BodiesAreTrackedWithTheirOwnIdsAndIndexes) {
    ScopedQuell q;
    // Entries of zero size (left unfilled by the caller) are not detections.
    QuellFrameInput frame = FrameOf({}, {{0, 0, 0, 0}, {100, 100, 80, 600}, {220, 100, 80, 600}});
    auto r = q.Run(frame);
    ASSERT_EQ(r.bodies.size(), 2u);
    EXPECT_EQ(r.bodies[0].index, 1);
    EXPECT_EQ(r.bodies[1].index, 2);
    EXPECT_EQ(r.bodies[0].trackingId, 0);
    EXPECT_EQ(r.bodies[1].trackingId, 1);
    EXPECT_EQ(r.bodies[0].x, 100);
    EXPECT_EQ(r.bodies[0].size, 80);
    frame = FrameOf({Face(100, 60, 30)}, {{222, 101, 80, 600}, {101, 99, 80, 600}});
    r = q.Run(frame);
    ASSERT_EQ(r.bodies.size(), 2u);
    EXPECT_EQ(r.bodies[0].trackingId, 1);
    EXPECT_EQ(r.bodies[1].trackingId, 0);
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_EQ(r.faces[0].trackingId, 0) << "faces count their IDs apart from bodies";
}

}  // namespace
