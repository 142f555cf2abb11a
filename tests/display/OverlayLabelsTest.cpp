#include <gtest/gtest.h>

#include <fstream>

#include "../support/TempDir.h"
#include "DisplayFixtures.h"
#include "display/OverlayGeometry.h"
#include "display/OverlayLabels.h"
#include "display/OverlayStyle.h"

namespace {

CKytoExpressionRes Expression(int code, int score, std::initializer_list<int> scores) {
    CKytoExpressionRes e;
    e.expression = code;
    e.score = score;
    int i = 0;
    for (int s : scores) {
        e.scores[i++] = s;
    }
    e.SetValid(true);
    return e;
}

TEST(ExpressionChoiceTest, ScoresWinOverTheCodeOnlyWhenTheyBeatTheScoreByte) {
    const struct {
        CKytoExpressionRes e;
        int index;
    } cases[] = {
        // Five-score form (score byte -128): the best score decides.
        {Expression(2, -128, {10, 70, 5, 5, 10}), 2},
        {Expression(1, -128, {60, 10, 5, 5, 10}), 1},
        {Expression(3, -128, {10, 10, 50, 5, 10}), 3},
        {Expression(4, -128, {10, 10, 5, 50, 10}), 4},
        {Expression(5, -128, {10, 10, 5, 5, 50}), 5},
        // Ties go to the earlier expression.
        {Expression(2, -128, {40, 40, 0, 0, 0}), 1},
        {Expression(-128, -128, {-128, -128, -128, -128, -128}), -128},
        // Three-byte form (scores -128): the code as sent.
        {Expression(3, 80, {-128, -128, -128, -128, -128}), 3},
        {Expression(-128, 0, {-128, -128, -128, -128, -128}), -128},
        // A score above the score byte overrides the code.
        {Expression(3, 40, {-128, -128, -128, -128, 41}), 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.e.expression << " score " << c.e.score);
        EXPECT_EQ(ChooseExpressionIndex(c.e), c.index);
    }
}

struct LabelCase {
    const char* what;
    FaceResult face;
    const char* text;
    QColor textColour;
    QColor backColour;
};

TEST(FaceLabelsTest, TextAndColoursPerKind) {
    OverlayStyle style;
    style.recogStabilising = QColor(1, 2, 3);
    style.ageStabilising = QColor(4, 5, 6);
    style.maleStabilising = QColor(7, 8, 9);
    style.femaleStabilising = QColor(10, 11, 12);
    style.backStabilising = QColor(13, 14, 15);
    const QColor black(0, 0, 0), identity(255, 204, 0), back(13, 14, 15);

    auto recognition = [](int id, int state) {
        FaceResult f;
        f.recognition.userId = id;
        f.recognition.state = state;
        f.recognition.SetValid(true);
        return f;
    };
    auto verify = [](int result, int score) {
        FaceResult f;
        f.verify.result = result;
        f.verify.score = score;
        f.verify.SetValid(true);
        return f;
    };
    auto age = [](int value, int state) {
        FaceResult f;
        f.age.age = value;
        f.age.state = state;
        f.age.SetValid(true);
        return f;
    };
    auto gender = [](int value, int state) {
        FaceResult f;
        f.gender.gender = value;
        f.gender.state = state;
        f.gender.SetValid(true);
        return f;
    };
    auto expression = [](CKytoExpressionRes e) {
        FaceResult f;
        f.expression = e;
        return f;
    };
    const LabelCase cases[] = {
        {"no match", recognition(-1, -1), "Not registered", identity, black},
        {"no estimate", recognition(-128, -1), "?", identity, black},
        {"nothing registered", recognition(-127, 1), "Data not registered", identity, black},
        {"named user", recognition(7, -1), "user-7", identity, black},
        {"user stabilising", recognition(7, 0), "user-7", QColor(1, 2, 3), back},
        {"verify ok", verify(0, 900), "OK", identity, black},
        {"verify ng", verify(1, 100), "NG", identity, black},
        {"verify no estimate", verify(2, -128), "?", identity, black},
        {"verify nothing registered", verify(2, -127), "Data not registered", identity, black},
        {"verify no user", verify(2, -1), "User ID not selected", identity, black},
        {"age", age(35, 1), "35", identity, black},
        {"age unknown", age(-128, -1), "?", identity, black},
        {"age stabilising", age(35, 0), "35", QColor(4, 5, 6), back},
        {"gender unknown", gender(-128, -1), "?", QColor(240, 240, 240), black},
        {"male", gender(1, -1), "Male", QColor(0, 255, 255), black},
        {"male stabilising", gender(1, 0), "Male", QColor(7, 8, 9), back},
        {"female", gender(0, 1), "Female", QColor(246, 173, 198), black},
        {"female stabilising", gender(0, 0), "Female", QColor(10, 11, 12), back},
        {"happiness, five-score form", expression(Expression(2, -128, {10, 70, 5, 5, 10})),
         "Happiness", QColor(240, 240, 0), black},
        {"neutral", expression(Expression(1, 90, {-128, -128, -128, -128, -128})), "Neutral",
         QColor(240, 240, 240), black},
        {"surprise", expression(Expression(3, 90, {-128, -128, -128, -128, -128})), "Surprise",
         QColor(255, 102, 0), black},
        {"anger", expression(Expression(4, 90, {-128, -128, -128, -128, -128})), "Anger",
         QColor(255, 0, 255), black},
        {"sadness", expression(Expression(5, 90, {-128, -128, -128, -128, -128})), "Sadness",
         QColor(0, 255, 255), black},
        {"expression unknown", expression(Expression(-128, 0, {-128, -128, -128, -128, -128})), "?",
         QColor(255, 0, 255), black},
        {"expression code out of range",
         expression(Expression(9, 0, {-128, -128, -128, -128, -128})), "?", QColor(255, 0, 255),
         black},
    };
    const UserNameLookup names = [](int id) { return "user-" + std::to_string(id); };
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(c.what);
        // Verify is asked for alone; every other kind with recognition on.
        std::uint8_t flags[11];
        fixtures::AllFlags(flags, 1);
        if (c.face.verify.IsValid()) {
            flags[kShowRecognition] = 0;
        }
        const auto labels = BuildFaceLabels(c.face, flags, style, names);
        ASSERT_EQ(labels.size(), 1u);
        EXPECT_EQ(labels[0].text, c.text);
        EXPECT_EQ(labels[0].textColour, c.textColour);
        EXPECT_EQ(labels[0].backColour, c.backColour);
    }
}

TEST(FaceLabelsTest, StackOrderAndRecognitionBeforeVerify) {
    FaceResult face = fixtures::Face(100, 100, 50);
    face.recognition.userId = -1;
    face.recognition.SetValid(true);
    face.verify.result = 0;
    face.verify.SetValid(true);
    face.age.age = 30;
    face.age.SetValid(true);
    face.gender.gender = 0;
    face.gender.SetValid(true);
    face.expression.expression = 4;
    face.expression.score = 50;
    face.expression.SetValid(true);

    std::uint8_t flags[11];
    fixtures::AllFlags(flags, 1);
    auto texts = [&] {
        std::vector<std::string> out;
        for (const auto& l : BuildFaceLabels(face, flags, OverlayStyle{}, {})) {
            out.push_back(l.text);
        }
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(texts(), (V{"Not registered", "30", "Female", "Anger"}));
    flags[kShowRecognition] = 0;
    EXPECT_EQ(texts(), (V{"OK", "30", "Female", "Anger"}));
    flags[kShowVerify] = 0;
    flags[kShowGender] = 0;
    EXPECT_EQ(texts(), (V{"30", "Anger"}));

    // A record the frame never filled shows nothing rather than its defaults.
    fixtures::AllFlags(flags, 1);
    FaceResult bare = fixtures::Face(100, 100, 50);
    EXPECT_TRUE(BuildFaceLabels(bare, flags, OverlayStyle{}, {}).empty());
}

TEST(OverlayStyleTest, ReadsDebugIniWithDefaultsAndClamping) {
    TempDir dir;
    OverlayStyle defaults = ReadOverlayStyle("./Debug.ini");
    EXPECT_EQ(defaults.ageStabilising, QColor(128, 102, 0));
    EXPECT_EQ(defaults.maleStabilising, QColor(0, 128, 128));
    EXPECT_EQ(defaults.femaleStabilising, QColor(123, 86, 99));
    EXPECT_EQ(defaults.recogStabilising, QColor(128, 102, 0));
    EXPECT_EQ(defaults.backStabilising, QColor(0, 0, 0));
    EXPECT_EQ(defaults.fontWidth, 0);
    EXPECT_EQ(defaults.fontHeight, -16);

    std::ofstream("Debug.ini") << "[Quell]\nAgeR=1\nAgeG=2\nAgeB=3\nBackR=300\nBackB=-5\n"
                                  "RecogG=77\n[FONT]\nHeight=-24\nWidth=9\n";
    const OverlayStyle style = ReadOverlayStyle("./Debug.ini");
    EXPECT_EQ(style.ageStabilising, QColor(1, 2, 3));
    EXPECT_EQ(style.backStabilising, QColor(255, 0, 0));
    EXPECT_EQ(style.recogStabilising, QColor(128, 77, 0));
    EXPECT_EQ(style.maleStabilising, QColor(0, 128, 128));
    EXPECT_EQ(style.fontHeight, -24);
    EXPECT_EQ(style.fontWidth, 9);
}

TEST(OverlayGeometryTest, AxesFollowTheFormulasWithTheirRounding) {
    const struct {
        int length, yaw, pitch, roll;
        AxisVector up, right, front;
    } cases[] = {
        // Straight ahead: right points right, up points up, front has no length.
        {30, 0, 0, 0, {0, 30}, {30, 0}, {0, 0}},
        {30, 90, 0, 0, {0, 30}, {0, 0}, {30, 0}},
        // -15 + 0.5 keeps its integer part -14.
        {30, 0, 0, 30, {15, 26}, {26, -14}, {0, 0}},
        // The tilt from yaw and pitch (-16.1°) is cut to whole degrees.
        {100, 30, 30, 0, {-23, 83}, {90, 0}, {36, 55}},
        {100, -40, 20, -10, {10, 93}, {78, 14}, {-60, 33}},
        {60, 0, -45, 0, {0, 42}, {60, 0}, {0, -41}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.length << " " << c.yaw << " " << c.pitch << " " << c.roll);
        const DirectionAxes a = ComputeDirectionAxes(c.length, c.yaw, c.pitch, c.roll);
        EXPECT_EQ(a.up.x, c.up.x);
        EXPECT_EQ(a.up.y, c.up.y);
        EXPECT_EQ(a.right.x, c.right.x);
        EXPECT_EQ(a.right.y, c.right.y);
        EXPECT_EQ(a.front.x, c.front.x);
        EXPECT_EQ(a.front.y, c.front.y);
    }
}

TEST(OverlayGeometryTest, BlinkFill) {
    EXPECT_EQ(BlinkFillHeight(500, 50), 25);
    EXPECT_EQ(BlinkFillHeight(0, 50), 50);
    EXPECT_EQ(BlinkFillHeight(1000, 50), 0);
    EXPECT_EQ(BlinkFillHeight(333, 47), 31);  // 66 × 47 / 100
    EXPECT_EQ(BlinkFillHeight(-500, 50), 50);
    EXPECT_EQ(BlinkFillHeight(1500, 50), 0);
}

}  // namespace
