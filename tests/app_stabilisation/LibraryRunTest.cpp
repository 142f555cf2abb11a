// The adapter together with the real stabilisation library, as a run of
// frames sees it.
#include <gtest/gtest.h>

#include "../support/TempDir.h"
#include "RawFrame.h"
#include "app/StabilisationAdapter.h"
#include "protocol/ResultRecords.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {

RawDetectResult FaceWithAge(int x, int age) {
    RawDetectResult raw;
    raw.faceCount = 1;
    raw.faceRecords = {Rec8(x, 120, 60, 900)};
    raw.directionRecords = {Rec8(0, 0, 0, 700)};
    raw.ageRecords = {Rec3(age, 600)};
    return raw;
}

TEST(StabilisationRun, AgeIsMarkedAsBeingStabilisedUntilItSettles) {
    TempDir dir;
    WriteIniInt("Application", "QuellPeFrame", kApplicationIni, 3);
    CStabilisationAdapter adapter;
    const Flags flags = Flags().On(kFuncFace).On(kFuncAge);
    const int ages[] = {30, 50, 34, 70};
    for (int t = 0; t < 4; ++t) {
        RawDetectResult raw = FaceWithAge(100 + t, ages[t]);
        IdArrays ids;
        adapter.StabiliseFrame(raw, flags.f, ids.bodies, ids.faces);
        EXPECT_EQ(ids.faces[0], 0);
        CFrameResult frame;
        ToFrameResult(raw, frame);
        SortByTrackingId(frame.faces, ids.faces);
        ASSERT_EQ(frame.faces.size(), 1u);
        const CKytoAgeRes& age = frame.faces[0].age;
        EXPECT_EQ(age.confidence, 600);
        EXPECT_EQ(age.state, t < 2 ? kStateStabilising : kStateSettled) << "frame " << t;
        EXPECT_EQ(age.age, t < 2 ? ages[t] : 34) << "frame " << t;
        EXPECT_EQ(frame.faces[0].detect.trackingId, 0);
    }
}

TEST(StabilisationRun, BodiesAreTrackedWhenNoFaceIsThere) {
    TempDir dir;
    CStabilisationAdapter adapter;
    const Flags flags = Flags().On(kFuncBody).On(kFuncFace).On(kFuncAge);
    for (int t = 0; t < 5; ++t) {
        RawDetectResult raw;
        raw.bodyCount = 2;
        // The device lists the two bodies in changing order.
        raw.bodyRecords = {Rec8(300 - t, 100, 80, 700), Rec8(60 + t, 100, 90, 700)};
        if (t % 2 == 1) {
            std::swap(raw.bodyRecords[0], raw.bodyRecords[1]);
        }
        IdArrays ids;
        adapter.StabiliseFrame(raw, flags.f, ids.bodies, ids.faces);
        CFrameResult frame;
        ToFrameResult(raw, frame);
        SortByTrackingId(frame.bodies, ids.bodies);
        EXPECT_TRUE(frame.faces.empty());
        ASSERT_EQ(frame.bodies.size(), 2u);
        EXPECT_EQ(frame.bodies[0].trackingId, 0);
        EXPECT_EQ(frame.bodies[1].trackingId, 1);
        EXPECT_GT(frame.bodies[0].x, 250) << "ID 0 stays with the body on the right, frame " << t;
        EXPECT_LT(frame.bodies[1].x, 100) << "frame " << t;
        EXPECT_EQ(ids.faces[0], -1);
    }
}

TEST(StabilisationRun, EndingTheRunStartsTrackingAfresh) {
    TempDir dir;
    CStabilisationAdapter adapter;
    const Flags flags = Flags().On(kFuncFace);
    for (int t = 0; t < 2; ++t) {
        RawDetectResult raw = FaceWithAge(100, 30);
        raw.faceCount = 2;
        raw.faceRecords.push_back(Rec8(250, 120, 60, 900));
        IdArrays ids;
        adapter.StabiliseFrame(raw, flags.f, ids.bodies, ids.faces);
    }
    const int32_t first = adapter.Handle();
    adapter.EndStabilisation();
    RawDetectResult raw = FaceWithAge(250, 30);
    IdArrays ids;
    adapter.StabiliseFrame(raw, flags.f, ids.bodies, ids.faces);
    EXPECT_NE(adapter.Handle(), first);
    EXPECT_EQ(ids.faces[0], 0) << "a new run numbers its tracks from the start";
    EXPECT_EQ(QuellClear(first), QUELL_ERROR_HANDLE) << "the old handle is gone";
}

}  // namespace
