// The adapter against a scripted library: what it hands in, how it writes
// the answers back, and what it does with answers it cannot trust.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "RawFrame.h"
#include "app/StabilisationAdapter.h"
#include "protocol/ResultRecords.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {

struct FakeQuell {
    std::vector<std::string> calls;
    int32_t nextHandle = 7;
    std::string failing;  // name of the call that returns -1
    QuellFrameInput input{};
    std::vector<QuellFaceResult> faces;
    std::vector<QuellBodyResult> bodies;
    int32_t reportedFaceCount = -1;  // -1: the size of faces
    std::vector<int32_t> configured;
};

FakeQuell* fake = nullptr;

int32_t Record(const std::string& name, std::vector<int32_t> args = {}) {
    fake->calls.push_back(name);
    fake->configured.insert(fake->configured.end(), args.begin(), args.end());
    return fake->failing == name ? -1 : 0;
}

const QuellEntryPoints kFake{
    [](int32_t) {
        fake->calls.push_back("create");
        return fake->failing == "create" ? 0 : fake->nextHandle++;
    },
    [](int32_t h) { return Record("delete:" + std::to_string(h)); },
    [](int32_t h) { return Record("clear:" + std::to_string(h)); },
    [](int32_t, const void* in) {
        fake->input = *static_cast<const QuellFrameInput*>(in);
        return Record("set");
    },
    [](int32_t) { return Record("execute"); },
    [](int32_t, int32_t* count, void* area) {
        auto* out = static_cast<QuellFaceResult*>(area);
        for (std::size_t i = 0; i < fake->faces.size() && i < QUELL_MAX_ENTRIES; ++i) {
            out[i] = fake->faces[i];
        }
        *count = fake->reportedFaceCount >= 0 ? fake->reportedFaceCount
                                              : static_cast<int32_t>(fake->faces.size());
        return Record("faces");
    },
    [](int32_t, int32_t* count, void* area) {
        auto* out = static_cast<QuellBodyResult*>(area);
        for (std::size_t i = 0; i < fake->bodies.size(); ++i) {
            out[i] = fake->bodies[i];
        }
        *count = static_cast<int32_t>(fake->bodies.size());
        return Record("bodies");
    },
    [](int32_t, int32_t n) { return Record("retry", {n}); },
    [](int32_t, int32_t p, int32_t s) {
        return Record("steadiness", {p, s});
    },
    [](int32_t, int32_t t) { return Record("peThreshold", {t}); },
    [](int32_t, int32_t a, int32_t b, int32_t c, int32_t d) {
        return Record("peAngle", {a, b, c, d});
    },
    [](int32_t, int32_t n) { return Record("peFrames", {n}); },
    [](int32_t, int32_t t) { return Record("frThreshold", {t}); },
    [](int32_t, int32_t a, int32_t b, int32_t c, int32_t d) {
        return Record("frAngle", {a, b, c, d});
    },
    [](int32_t, int32_t n) { return Record("frFrames", {n}); },
    [](int32_t, int32_t r) { return Record("frRatio", {r}); },
};

QuellFaceResult FaceAnswer(int index, int id, int x, int y, int size) {
    QuellFaceResult r{};
    r.index = index;
    r.trackingId = id;
    r.x = x;
    r.y = y;
    r.size = size;
    return r;
}

class AdapterTest : public ::testing::Test {
protected:
    AdapterTest() { fake = &quell; }
    ~AdapterTest() override {
        adapter.EndStabilisation();
        fake = nullptr;
    }

    // One face with every estimate the adapter looks at, plus one body.
    static RawDetectResult OneFace() {
        RawDetectResult raw;
        raw.bodyCount = 1;
        raw.bodyRecords = {Rec8(50, 60, 70, 800)};
        raw.faceCount = 1;
        raw.faceRecords = {Rec8(100, 110, 40, 900)};
        raw.directionRecords = {Rec8(5, -3, 1, 700)};
        raw.ageRecords = {Rec3(34, 600)};
        raw.genderRecords = {Rec3(1, 650)};
        raw.recognitionRecords = {Rec4(12, 480)};
        return raw;
    }

    TempDir dir;
    FakeQuell quell;
    CStabilisationAdapter adapter{kFake};
    IdArrays ids;
    Flags all =
        Flags().On(kFuncBody).On(kFuncFace).On(kFuncAge).On(kFuncGender).On(kFuncRecognition);
};

TEST_F(AdapterTest, FirstFrameMakesAndConfiguresTheHandleFromTheSettings) {
    WriteIniInt("Application", "QuellRetryCount", kApplicationIni, 9);
    WriteIniInt("Application", "QuellPeAngleLRMax", kApplicationIni, 33);
    WriteIniInt("Application", "QuellFrRatio", kApplicationIni, 75);
    RawDetectResult raw = OneFace();
    adapter.StabiliseFrame(raw, all.f, ids.bodies, ids.faces);
    const std::vector<std::string> expected = {
        "create",  "retry",    "steadiness", "peThreshold", "peAngle", "peFrames", "frThreshold",
        "frAngle", "frFrames", "frRatio",    "set",         "execute", "faces",    "bodies"};
    EXPECT_EQ(quell.calls, expected);
    const std::vector<int32_t> values = {9,  30,  30,  300, -15, 20, -20, 33,
                                         10, 300, -15, 20,  -20, 20, 5,   75};
    EXPECT_EQ(quell.configured, values);
    EXPECT_EQ(adapter.Handle(), 7);

    quell.calls.clear();
    adapter.StabiliseFrame(raw, all.f, ids.bodies, ids.faces);
    EXPECT_EQ(quell.calls, (std::vector<std::string>{"set", "execute", "faces", "bodies"}));
}

TEST_F(AdapterTest, EachConfigurationGroupStopsAtItsOwnFailure) {
    quell.failing = "peAngle";
    RawDetectResult raw = OneFace();
    adapter.StabiliseFrame(raw, all.f, ids.bodies, ids.faces);
    const std::vector<std::string> expected = {
        "create",   "retry",   "steadiness", "peThreshold", "peAngle", "frThreshold", "frAngle",
        "frFrames", "frRatio", "set",        "execute",     "faces",   "bodies"};
    EXPECT_EQ(quell.calls, expected);
}

TEST_F(AdapterTest, EndingARunClearsAndDeletesAndTheNextFrameStartsAFreshHandle) {
    RawDetectResult raw = OneFace();
    adapter.StabiliseFrame(raw, all.f, ids.bodies, ids.faces);
    adapter.EndStabilisation();
    EXPECT_FALSE(adapter.Running());
    ASSERT_GE(quell.calls.size(), 2u);
    EXPECT_EQ(quell.calls[quell.calls.size() - 2], "clear:7");
    EXPECT_EQ(quell.calls.back(), "delete:7");
    adapter.EndStabilisation();  // nothing left to end
    EXPECT_EQ(quell.calls.back(), "delete:7");
    adapter.StabiliseFrame(raw, all.f, ids.bodies, ids.faces);
    EXPECT_EQ(adapter.Handle(), 8);
}

TEST_F(AdapterTest, AFailedCreationStillRunsButIsNeverDeleted) {
    quell.failing = "create";
    RawDetectResult raw = OneFace();
    adapter.StabiliseFrame(raw, all.f, ids.bodies, ids.faces);
    EXPECT_TRUE(adapter.Running());
    EXPECT_EQ(adapter.Handle(), 0);
    adapter.EndStabilisation();
    EXPECT_EQ(quell.calls.back(), "clear:0");
}

TEST_F(AdapterTest, FrameInputFollowsTheFunctionFlags) {
    RawDetectResult raw = OneFace();
    raw.faceCount = 2;  // header says two, one face block arrived
    raw.ageRecords = {Rec3(0x80, -128)};
    adapter.StabiliseFrame(raw, all.f, ids.bodies, ids.faces);
    const QuellFrameInput& in = quell.input;
    EXPECT_EQ(in.bodyCount, 1);
    EXPECT_EQ(in.bodies[0].x, 50);
    EXPECT_EQ(in.bodies[0].confidence, 800);
    EXPECT_EQ(in.faceCount, 2);
    const QuellFaceInput& f = in.faces[0];
    EXPECT_EQ(f.x, 100);
    EXPECT_EQ(f.confidence, 900);
    EXPECT_EQ(f.yaw, 5);
    EXPECT_EQ(f.pitch, -3);
    EXPECT_EQ(f.directionConfidence, 700);
    EXPECT_EQ(f.age, 128) << "the age byte is taken as unsigned";
    EXPECT_EQ(f.ageConfidence, -128);
    EXPECT_EQ(f.gender, 1);
    EXPECT_EQ(f.genderConfidence, 650);
    EXPECT_EQ(f.userId, 12);
    EXPECT_EQ(f.recognitionScore, 480);
    EXPECT_EQ(in.faces[1].size, 0) << "no data for the face that did not arrive";
    EXPECT_EQ(in.faces[1].ageConfidence, -128);

    // Body detection, age and gender off; recognition alone still wants the direction.
    Flags some = Flags().On(kFuncFace).On(kFuncRecognition);
    raw = OneFace();
    adapter.StabiliseFrame(raw, some.f, ids.bodies, ids.faces);
    EXPECT_EQ(quell.input.bodyCount, 1);
    EXPECT_EQ(quell.input.bodies[0].size, 0);
    EXPECT_EQ(quell.input.faces[0].yaw, 5);
    EXPECT_EQ(quell.input.faces[0].age, -128);
    EXPECT_EQ(quell.input.faces[0].genderConfidence, -128);
    EXPECT_EQ(quell.input.faces[0].userId, 12);

    // Face detection on alone: no direction.
    Flags faceOnly = Flags().On(kFuncFace);
    adapter.StabiliseFrame(raw, faceOnly.f, ids.bodies, ids.faces);
    EXPECT_EQ(quell.input.faces[0].yaw, 0);
    EXPECT_EQ(quell.input.faces[0].directionConfidence, 0);
    EXPECT_EQ(quell.input.faces[0].userId, -128);
}

TEST_F(AdapterTest, MarksTellBeingStabilisedFromSettled) {
    struct Case {
        int state;
        int ageConfidence;  // raw field after the adapter
        int age;            // raw byte after the adapter
        int recognitionScore;
        int userId;
        int decodedState;  // after SetRaw
    };
    for (const Case c : {Case{0, 10600, 34, 10480, 12, 0}, Case{1, 20600, 41, 20480, 3, 1},
                         Case{2, 20600, 41, 20480, 3, 1}}) {
        quell.faces = {FaceAnswer(0, 5, 101, 111, 42)};
        quell.faces[0].ageState = c.state;
        quell.faces[0].age = 41;
        quell.faces[0].genderState = c.state;
        quell.faces[0].gender = 0;
        quell.faces[0].recognitionState = c.state;
        quell.faces[0].userId = 3;
        RawDetectResult raw = OneFace();
        IdArrays frameIds;
        adapter.StabiliseFrame(raw, all.f, frameIds.bodies, frameIds.faces);

        EXPECT_EQ(Le16At(raw.ageRecords[0].data() + 1), static_cast<int16_t>(c.ageConfidence));
        EXPECT_EQ(raw.ageRecords[0][0], c.age);
        EXPECT_EQ(Le16At(raw.recognitionRecords[0].data() + 2),
                  static_cast<int16_t>(c.recognitionScore));
        EXPECT_EQ(Le16At(raw.recognitionRecords[0].data()), c.userId);
        EXPECT_EQ(frameIds.faces[0], 5);

        CFrameResult frame;
        ToFrameResult(raw, frame);
        ASSERT_EQ(frame.faces.size(), 1u);
        const FaceResult& face = frame.faces[0];
        EXPECT_EQ(face.detect.x, 101);
        EXPECT_EQ(face.detect.size, 42);
        EXPECT_EQ(face.detect.confidence, 900);
        EXPECT_EQ(face.age.state, c.decodedState);
        EXPECT_EQ(face.age.confidence, 600);
        EXPECT_EQ(face.age.age, c.age);
        EXPECT_EQ(face.gender.state, c.decodedState);
        EXPECT_EQ(face.gender.gender, c.state >= 1 ? 0 : 1);
        EXPECT_EQ(face.recognition.state, c.decodedState);
        EXPECT_EQ(face.recognition.score, 480);
        EXPECT_EQ(face.recognition.userId, c.userId);
    }
}

TEST_F(AdapterTest, MarksWrapAtSixteenBits) {
    quell.faces = {FaceAnswer(0, 0, 100, 110, 40)};
    quell.faces[0].ageState = 1;
    quell.faces[0].age = 30;
    RawDetectResult raw = OneFace();
    raw.ageRecords = {Rec3(34, 30000)};
    raw.genderRecords = {Rec3(1, -20000)};
    raw.recognitionRecords = {Rec4(12, 32767)};
    adapter.StabiliseFrame(raw, all.f, ids.bodies, ids.faces);
    // 30000 + 20000 = 50000 -> 0xC350; -20000 + 10000; 32767 + 10000 = 42767 -> 0xA70F.
    EXPECT_EQ(raw.ageRecords[0][1], 0x50);
    EXPECT_EQ(raw.ageRecords[0][2], 0xC3);
    EXPECT_EQ(Le16At(raw.genderRecords[0].data() + 1), -10000);
    EXPECT_EQ(raw.recognitionRecords[0][2], 0x0F);
    EXPECT_EQ(raw.recognitionRecords[0][3], 0xA7);
}

TEST_F(AdapterTest, IndexesOutsideTheRawListsAreIgnored) {
    RawDetectResult raw = OneFace();
    raw.faceCount = 2;
    raw.faceRecords.push_back(Rec8(200, 210, 50, 910));
    raw.bodyRecords.push_back(Rec8(150, 160, 90, 810));
    raw.bodyCount = 2;
    // Face 1 has no age, gender or recognition record.
    quell.faces = {FaceAnswer(-1, 90, 1, 1, 1), FaceAnswer(2, 91, 1, 1, 1),
                   FaceAnswer(35, 92, 1, 1, 1), FaceAnswer(1, 93, 201, 211, 51)};
    quell.faces[3].ageState = 1;
    quell.faces[3].age = 99;
    quell.reportedFaceCount = 4;
    QuellBodyResult badBody{};
    badBody.index = 2;
    badBody.trackingId = 80;
    QuellBodyResult goodBody{};
    goodBody.index = 0;
    goodBody.trackingId = 81;
    goodBody.x = 52;
    goodBody.y = 61;
    goodBody.size = 71;
    quell.bodies = {badBody, goodBody};
    const RawDetectResult before = raw;

    adapter.StabiliseFrame(raw, all.f, ids.bodies, ids.faces);
    // Only two face results are considered (two raw face records), and both
    // address nothing; the later valid one is outside that range.
    EXPECT_EQ(raw.faceRecords, before.faceRecords);
    EXPECT_EQ(raw.ageRecords, before.ageRecords);
    EXPECT_EQ(raw.recognitionRecords, before.recognitionRecords);
    for (int i = 0; i < 36; ++i) {
        EXPECT_EQ(ids.faces[i], i == 35 ? 4242 : -1) << i;
    }
    EXPECT_EQ(ids.bodies[0], 81);
    EXPECT_EQ(ids.bodies[1], -1);
    EXPECT_EQ(ids.bodies[35], 4242);
    EXPECT_EQ(Le16At(raw.bodyRecords[0].data()), 52);
    EXPECT_EQ(Le16At(raw.bodyRecords[0].data() + 6), 800) << "body confidence is kept";
    EXPECT_EQ(raw.bodyRecords[1], before.bodyRecords[1]);

    // A face result for the second face, which has no estimate records.
    quell.faces = {FaceAnswer(1, 93, 201, 211, 51)};
    quell.faces[0].ageState = 1;
    quell.reportedFaceCount = 500;  // more than the area holds
    raw = before;
    IdArrays frameIds;
    adapter.StabiliseFrame(raw, all.f, frameIds.bodies, frameIds.faces);
    EXPECT_EQ(frameIds.faces[1], 93);
    EXPECT_EQ(Le16At(raw.faceRecords[1].data()), 201);
    EXPECT_EQ(raw.ageRecords, before.ageRecords) << "face 1 has no age record to mark";
    EXPECT_EQ(frameIds.faces[35], 4242);
}

TEST_F(AdapterTest, AFailingFrameLeavesTheRawResultAsSent) {
    for (const std::string failing : {"set", "execute", "faces", "bodies"}) {
        quell.failing = failing;
        quell.faces = {FaceAnswer(0, 3, 1, 2, 3)};
        RawDetectResult raw = OneFace();
        const RawDetectResult before = raw;
        IdArrays frameIds;
        adapter.StabiliseFrame(raw, all.f, frameIds.bodies, frameIds.faces);
        EXPECT_EQ(raw.faceRecords, before.faceRecords) << failing;
        EXPECT_EQ(raw.ageRecords, before.ageRecords) << failing;
        EXPECT_EQ(frameIds.faces[0], -1) << failing;
    }
}

}  // namespace
