#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "QuellTestSupport.h"

namespace {

// Every entry point, called on one handle with harmless arguments.
std::vector<std::pair<std::string, std::function<int32_t(int32_t)>>> AllCalls() {
    static QuellFrameInput frame{};
    static QuellFaceResult faces[QUELL_MAX_ENTRIES];
    static QuellBodyResult bodies[QUELL_MAX_ENTRIES];
    static int32_t count;
    return {
        {"Clear", [](int32_t h) { return QuellClear(h); }},
        {"SetFrameResult", [](int32_t h) { return QuellSetFrameResult(h, &frame); }},
        {"Execute", [](int32_t h) { return QuellExecute(h); }},
        {"GetFaces", [](int32_t h) { return QuellGetFaces(h, &count, faces); }},
        {"GetBodies", [](int32_t h) { return QuellGetBodies(h, &count, bodies); }},
        {"SetTrRetryCount", [](int32_t h) { return QuellSetTrRetryCount(h, 2); }},
        {"SetTrSteadiness", [](int32_t h) { return QuellSetTrSteadiness(h, 30, 30); }},
        {"SetPeThreshold", [](int32_t h) { return QuellSetPeThreshold(h, 300); }},
        {"SetPeAngle", [](int32_t h) { return QuellSetPeAngle(h, -15, 20, -20, 20); }},
        {"SetPeCompleteFrameCount", [](int32_t h) { return QuellSetPeCompleteFrameCount(h, 10); }},
        {"SetFrThreshold", [](int32_t h) { return QuellSetFrThreshold(h, 300); }},
        {"SetFrAngle", [](int32_t h) { return QuellSetFrAngle(h, -15, 20, -20, 20); }},
        {"SetFrCompleteFrameCount", [](int32_t h) { return QuellSetFrCompleteFrameCount(h, 5); }},
        {"SetFrAccountRatio", [](int32_t h) { return QuellSetFrAccountRatio(h, 60); }},
        {"DeleteHandle", [](int32_t h) { return QuellDeleteHandle(h); }},
    };
}

TEST(QuellHandles, NullUnknownAndDeletedHandlesAreRejectedByEveryCall) {
    const int32_t deleted = QuellCreateHandle(573);
    ASSERT_NE(deleted, 0);
    ASSERT_EQ(QuellDeleteHandle(deleted), QUELL_OK);
    for (const int32_t bad : {0, -1, 987654, deleted}) {
        for (const auto& [name, call] : AllCalls()) {
            EXPECT_EQ(call(bad), QUELL_ERROR_HANDLE) << name << " on handle " << bad;
        }
    }
}

TEST(QuellHandles, EveryCallSucceedsOnALiveHandle) {
    const int32_t h = QuellCreateHandle(573);
    ASSERT_NE(h, 0);
    for (const auto& [name, call] : AllCalls()) {
        EXPECT_EQ(call(h), QUELL_OK) << name;
    }
}

TEST(QuellHandles, MaskWithUnknownBitsGivesNoHandle) {
    EXPECT_EQ(QuellCreateHandle(0x800), 0);
    EXPECT_EQ(QuellCreateHandle(-1), 0);
}

TEST(QuellHandles, HandlesKeepSeparateTracks) {
    ScopedQuell a;
    ScopedQuell b;
    ASSERT_NE(a.Handle(), b.Handle());
    a.Run(FrameOf({Face(50, 50, 40), Face(200, 50, 40)}));
    const auto r = b.Run(FrameOf({Face(120, 120, 40)}));
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_EQ(r.faces[0].trackingId, 0) << "b's first track must not see a's IDs";
}

TEST(QuellHandles, MisuseIsReportedNotTrusted) {
    ScopedQuell q;
    const int32_t h = q.Handle();
    int32_t count = 0;
    QuellFaceResult faces[QUELL_MAX_ENTRIES];
    EXPECT_EQ(QuellExecute(h), QUELL_ERROR_SEQUENCE) << "no frame handed in yet";
    EXPECT_EQ(QuellSetFrameResult(h, nullptr), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellGetFaces(h, nullptr, faces), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellGetFaces(h, &count, nullptr), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellGetBodies(h, &count, nullptr), QUELL_ERROR_ARGUMENT);

    const QuellFrameInput frame = FrameOf({Face(50, 50, 40)});
    ASSERT_EQ(QuellSetFrameResult(h, &frame), QUELL_OK);
    ASSERT_EQ(QuellExecute(h), QUELL_OK);
    EXPECT_EQ(QuellExecute(h), QUELL_ERROR_SEQUENCE) << "the same frame must not count twice";
}

TEST(QuellHandles, SettersRejectValuesOutOfRange) {
    ScopedQuell q;
    const int32_t h = q.Handle();
    EXPECT_EQ(QuellSetTrRetryCount(h, -1), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellSetTrSteadiness(h, 101, 30), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellSetTrSteadiness(h, 30, -1), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellSetPeThreshold(h, 1001), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellSetPeAngle(h, 20, -15, -20, 20), QUELL_ERROR_ARGUMENT) << "min above max";
    EXPECT_EQ(QuellSetFrAngle(h, -15, 20, -200, 20), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellSetPeCompleteFrameCount(h, -1), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellSetFrCompleteFrameCount(h, 256), QUELL_ERROR_ARGUMENT);
    EXPECT_EQ(QuellSetFrAccountRatio(h, 101), QUELL_ERROR_ARGUMENT);
    // The edges of the settings pages are accepted.
    EXPECT_EQ(QuellSetTrRetryCount(h, 300), QUELL_OK);
    EXPECT_EQ(QuellSetFrCompleteFrameCount(h, 0), QUELL_OK);
    EXPECT_EQ(QuellSetFrAccountRatio(h, 0), QUELL_OK);
    EXPECT_EQ(QuellSetPeAngle(h, -90, 90, -90, 90), QUELL_OK);
}

TEST(QuellHandles, CountsFromTheFrameAreClamped) {
    struct Case {
        int32_t faceCount;
        int32_t bodyCount;
        std::size_t faces;
        std::size_t bodies;
    };
    for (const Case c :
         {Case{-5, -1, 0, 0}, Case{1000, 36, 35, 35}, Case{INT32_MIN, INT32_MAX, 0, 35}}) {
        ScopedQuell q;
        QuellFrameInput frame{};
        for (int i = 0; i < QUELL_MAX_ENTRIES; ++i) {
            frame.faces[i] = Face(20 + (i % 7) * 60, 20 + (i / 7) * 60, 30);
            frame.bodies[i] = {20 + (i % 7) * 60, 20 + (i / 7) * 60, 50, 500};
        }
        frame.faceCount = c.faceCount;
        frame.bodyCount = c.bodyCount;
        const auto r = q.Run(frame);
        EXPECT_EQ(r.faces.size(), c.faces) << c.faceCount;
        EXPECT_EQ(r.bodies.size(), c.bodies) << c.bodyCount;
    }
}

TEST(QuellHandles, ClearForgetsTracksAndRestartsIds) {
    ScopedQuell q;
    q.Run(FrameOf({Face(50, 50, 40), Face(200, 50, 40)}));
    ASSERT_EQ(QuellClear(q.Handle()), QUELL_OK);
    int32_t count = -1;
    QuellFaceResult faces[QUELL_MAX_ENTRIES];
    ASSERT_EQ(QuellGetFaces(q.Handle(), &count, faces), QUELL_OK);
    EXPECT_EQ(count, 0);
    const auto r = q.Run(FrameOf({Face(200, 50, 40)}));
    ASSERT_EQ(r.faces.size(), 1u);
    EXPECT_EQ(r.faces[0].trackingId, 0);
}

TEST(QuellHandles, MaskDecidesWhichKindsAreTracked) {
    ScopedQuell facesOnly(QUELL_FUNCTION_FACE);
    const auto r = facesOnly.Run(FrameOf({Face(50, 50, 40)}, {{100, 100, 80, 600}}));
    EXPECT_EQ(r.faces.size(), 1u);
    EXPECT_TRUE(r.bodies.empty());
}

}  // namespace

namespace {

TEST(QuellHandles, ExtremeValuesNeitherCrashNorLeaveTheirRange) {
    ScopedQuell q;
    ASSERT_EQ(QuellSetTrRetryCount(q.Handle(), 1000), QUELL_OK);
    const int32_t extremes[] = {INT32_MIN, -1, 0, 1, INT32_MAX};
    for (const int32_t a : extremes) {
        for (const int32_t b : extremes) {
            QuellFaceInput f = Face(a, b, b == 0 ? INT32_MAX : b);
            f.yaw = a;
            f.pitch = b;
            f.age = a;
            f.ageConfidence = b;
            f.userId = a;
            f.recognitionScore = b;
            const QuellBodyInput body{b, a, a, b};
            const auto r = q.Run(FrameOf({f, Face(a, a, a)}, {body}));
            for (const QuellFaceResult& face : r.faces) {
                EXPECT_GT(face.size, 0);
                EXPECT_TRUE(face.index == 0 || face.index == 1);
            }
            EXPECT_LE(r.bodies.size(), 1u);
        }
    }
}

}  // namespace
