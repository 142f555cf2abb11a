#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ResultText.h"
#include "protocol/RawDetectResult.h"

namespace {

const std::string kSep = std::string(95, '-') + "\n";

FrameTextInput Input(std::initializer_list<int> functions) {
    FrameTextInput in;
    for (int f : functions) {
        in.functionFlags[f] = 1;
    }
    in.responseTimeMs = 123;
    return in;
}

FaceResult Face(int x, int y, int size, int confidence, int trackingId = -1) {
    FaceResult face;
    face.detect.x = x;
    face.detect.y = y;
    face.detect.size = size;
    face.detect.confidence = confidence;
    face.detect.trackingId = trackingId;
    face.detect.SetValid(true);
    return face;
}

}  // namespace

TEST(ResultText, FaceRequestedWithoutFacesGivesOnlyTheCountLine) {
    CFrameResult result;
    EXPECT_EQ(BuildFrameBlock(Input({kFuncFace, kFuncAge}), result, {}),
              kSep +
                  "Execute Body:Off Hand:Off Face:On Dir.:Off Age:On Gender:Off Gaze:Off "
                  "Blink:Off Expr.:Off Recog.:Off Vefiry:Off\n"
                  "        Stabilization:Off\n"
                  "Result  Response time:123ms  Return code:00\n"
                  "\t Face count:0\n"
                  "\n");
}

TEST(ResultText, FaceAgeVerifySeparatesFacesButNeverEndsWithTheSeparator) {
    CFrameResult result;
    FaceResult first = Face(10, 20, 30, 400);
    first.age.age = 25;
    first.age.confidence = 600;
    first.verify.result = kVerifyMatch;
    first.verify.score = 800;
    FaceResult second = Face(50, 60, 70, 500, 3);
    second.age.age = kNoEstimate;
    second.age.state = kStateSettled;  // never marked when there is no estimate
    result.faces = {first, second};
    FrameTextInput in = Input({kFuncFace, kFuncAge, kFuncVerify});
    in.stabilisation = true;
    in.verifyUserId = 7;
    EXPECT_EQ(BuildFrameBlock(in, result, {}),
              kSep +
                  "Execute Body:Off Hand:Off Face:On Dir.:Off Age:On Gender:Off Gaze:Off "
                  "Blink:Off Expr.:Off Recog.:Off Vefiry:On\n"
                  "        Stabilization:On\n"
                  "Result  Response time:123ms  Return code:00\n"
                  "\t Face count:2\n"
                  "\t    Index:0    \tX:10 Y:20 Size:30 Confidence:400\n"
                  "\t    Age         \tAge:25 Confidence:600\n"
                  "\t    Verify      \tID:7 OK Score:800\n"
                  "\t      --\n"
                  "\t    Index:1    \tX:50 Y:60 Size:70 Confidence:500 TrackingID:3\n"
                  "\t    Age         \tEstimation not possible.\n"
                  "\t    Verify      \tUser ID not selected.\n"
                  "\n");
}

TEST(ResultText, OnlyFaceHasNoSeparatorLines) {
    CFrameResult result;
    result.faces = {Face(1, 2, 3, 4), Face(5, 6, 7, 8)};
    const std::string block = BuildFrameBlock(Input({kFuncFace}), result, {});
    EXPECT_EQ(block.find("\t      --"), std::string::npos);
    EXPECT_NE(block.find("\t    Index:1    \tX:5 Y:6 Size:7 Confidence:8\n\n"), std::string::npos);
}

TEST(ResultText, BodiesShowTrackingIdsHandsNever) {
    CFrameResult result;
    CKytoDetectRes body;
    body.x = 1, body.y = 2, body.size = 3, body.confidence = 4, body.trackingId = 0;
    result.bodies = {body};
    result.hands = {body};
    const std::string block = BuildFrameBlock(Input({kFuncBody, kFuncHand}), result, {});
    EXPECT_NE(block.find("Return code:00\n"
                         "\t Body count:1\n"
                         "\t    Index:0    \tX:1 Y:2 Size:3 Confidence:4 TrackingID:0\n"
                         "\t Hand count:1\n"
                         "\t    Index:0    \tX:1 Y:2 Size:3 Confidence:4\n\n"),
              std::string::npos)
        << block;
}

TEST(ResultText, EstimationLines) {
    struct Case {
        const char* what;
        int function;
        FaceResult face;
        std::string line;
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, int function, auto edit, std::string line) {
        FaceResult face = Face(1, 2, 3, 4);
        edit(face);
        cases.push_back({what, function, face, line});
    };
    add(
        "age settled is marked", kFuncAge,
        [](FaceResult& f) { f.age.age = 30, f.age.confidence = 5, f.age.state = 1; },
        "    Age         \tAge:30 Confidence:5 (*)");
    add(
        "age stabilising is not marked", kFuncAge,
        [](FaceResult& f) { f.age.age = 30, f.age.confidence = 5, f.age.state = 0; },
        "    Age         \tAge:30 Confidence:5");
    add(
        "gender 0 is female", kFuncGender,
        [](FaceResult& f) { f.gender.gender = 0, f.gender.confidence = 9; },
        "    Gender      \tGender:Female Confidence:9");
    add(
        "gender 1 is male, settled", kFuncGender,
        [](FaceResult& f) { f.gender.gender = 1, f.gender.confidence = 9, f.gender.state = 1; },
        "    Gender      \tGender:Male Confidence:9 (*)");
    add(
        "gender not possible", kFuncGender,
        [](FaceResult& f) { f.gender.gender = -128, f.gender.state = 1; },
        "    Gender      \tEstimation not possible.");
    add(
        "no direction result", kFuncDirection, [](FaceResult&) {},
        "    Direction   \tYaw:0 Pitch:0 Roll:0 Confidence:-1");
    add(
        "gaze pitch not possible", kFuncGaze,
        [](FaceResult& f) { f.gaze.yaw = 3, f.gaze.pitch = -128; },
        "    Gaze        \tEstimation not possible.");
    add(
        "blink", kFuncBlink, [](FaceResult& f) { f.blink.left = 300, f.blink.right = 200; },
        "    Blink       \tLeft:300 Right:200");
    add(
        "expression five-score form, first of equal highest", kFuncExpression,
        [](FaceResult& f) {
            f.expression.expression = -128, f.expression.score = -128, f.expression.degree = -20;
            int s[5] = {10, 40, 40, 5, 5};
            std::copy(s, s + 5, f.expression.scores);
        },
        "    Expression  \tExpression:Happiness Score: Neutral:10, Happiness:40, Surprise:40, "
        "Anger:5, Sadness:5 Degree:-20");
    add(
        "expression three-byte form", kFuncExpression,
        [](FaceResult& f) {
            f.expression.expression = 3, f.expression.score = 80, f.expression.degree = 16;
            std::fill(f.expression.scores, f.expression.scores + 5, -128);
        },
        "    Expression  \tExpression:Surprise Score:80 Degree:16");
    add(
        "expression not possible", kFuncExpression,
        [](FaceResult& f) {
            f.expression.expression = -128, f.expression.score = -128;
            std::fill(f.expression.scores, f.expression.scores + 5, -128);
        },
        "    Expression  \tEstimation not possible.");
    add(
        "no expression result", kFuncExpression, [](FaceResult&) {},
        "    Expression  \tExpression: Score:-1 Degree:0");
    add(
        "recognised user without a name", kFuncRecognition,
        [](FaceResult& f) { f.recognition.userId = 42, f.recognition.score = 700; },
        "    Recognition \t Confidence:700");
    add(
        "recognised user with a name, settled", kFuncRecognition,
        [](FaceResult& f) {
            f.recognition.userId = 5, f.recognition.score = 700, f.recognition.state = 1;
        },
        "    Recognition \tAda Confidence:700 (*)");
    add(
        "no registered user matched", kFuncRecognition,
        [](FaceResult& f) { f.recognition.userId = -1, f.recognition.score = 10; },
        "    Recognition \tNot registered Confidence:10");
    add(
        "recognition, nothing registered", kFuncRecognition,
        [](FaceResult& f) { f.recognition.userId = -127, f.recognition.state = 1; },
        "    Recognition \tData not registered.");
    add(
        "verify NG", kFuncVerify, [](FaceResult& f) { f.verify.result = 1, f.verify.score = 12; },
        "    Verify      \tID:9 NG Score:12");
    add(
        "verify nothing registered", kFuncVerify,
        [](FaceResult& f) { f.verify.result = 2, f.verify.score = -127; },
        "    Verify      \tData not registered.");
    add(
        "verify not possible", kFuncVerify,
        [](FaceResult& f) { f.verify.result = 2, f.verify.score = -128; },
        "    Verify      \tRecognition not possible.");

    const std::vector<UserName> names = {{5, "Ada"}, {6, "Bob"}};
    for (const Case& c : cases) {
        CFrameResult result;
        result.faces = {c.face};
        FrameTextInput in = Input({kFuncFace, c.function});
        in.verifyUserId = 9;
        const std::string block = BuildFrameBlock(in, result, names);
        EXPECT_NE(block.find("Confidence:4\n\t" + c.line + "\n\n"), std::string::npos)
            << c.what << "\n"
            << block;
    }
}

TEST(ResultText, StatusLines) {
    CFrameResult result;
    result.faces = {Face(1, 2, 3, 4)};
    struct Case {
        int status;
        int code;
        std::string after;
    } cases[] = {
        {-20, 0x7F, "Return code:7f\nDevice is not responding.\n\n"},
        {-22, 0, "Return code:00\nDevice is not responding.\n\n"},
        {-21, 0, "Return code:00\nCommunication error.\n\n"},
        {-30, 0, "Return code:00\nCommunication error.\n\n"},
        {-31, 0, "Return code:00\nCommunication error.\n\n"},
        {-1, 0, "Return code:00\n\n\n"},
        {0, 0x0A, "Return code:0a\n\n"},  // module error: no results
    };
    for (const Case& c : cases) {
        FrameTextInput in = Input({kFuncFace});
        in.status = c.status;
        in.returnCode = static_cast<std::uint8_t>(c.code);
        in.responseTimeMs = 1500;
        const std::string block = BuildFrameBlock(in, result, {});
        const std::string tail = "Result  Response time:1500ms  " + c.after;
        ASSERT_GE(block.size(), tail.size());
        EXPECT_EQ(block.substr(block.size() - tail.size()), tail) << c.status;
    }
}

TEST(ResultText, VersionHeader) {
    EXPECT_EQ(BuildVersionHeader("0.1.0", "1.2.3.4"),
              kSep + "Kyto Demo\t0.1.0\nFirmware\t1.2.3.4\n");
}

TEST(ResultBlockList, KeepsAtMostTheLimitAndTreatsZeroAsOne) {
    ResultBlockList list(150);
    list.AddHeader("header");
    for (int i = 0; i < 149; ++i) {
        EXPECT_FALSE(list.AddBlock("b" + std::to_string(i)));
    }
    EXPECT_TRUE(list.AddBlock("b149"));  // the 151st block drops the header
    EXPECT_EQ(list.Blocks().size(), 150u);
    EXPECT_EQ(list.Blocks().front(), "b0");

    for (int limit : {0, -5}) {
        ResultBlockList one(limit);
        EXPECT_EQ(one.Limit(), 1);
        one.AddBlock("a");
        one.AddBlock("b");
        ASSERT_EQ(one.Blocks().size(), 1u);
        EXPECT_EQ(one.Blocks().front(), "b");
    }
}
