#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "base/ByteOrder.h"
#include "protocol/ResultRecords.h"

namespace {

std::vector<std::uint8_t> Le16s(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) {
        AppendLe16(out, v);
    }
    return out;
}

// int8 value followed by an int16.
std::vector<std::uint8_t> Byte16(int b, int v) {
    std::vector<std::uint8_t> out = {static_cast<std::uint8_t>(b)};
    const auto tail = Le16s({v});
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

}  // namespace

TEST(ResultRecords, NullRawLeavesEveryKindUnfilledAtItsDefaults) {
    FaceResult face;
    CKytoResBase* members[] = {&face.detect,     &face.direction,   &face.age,
                               &face.gender,     &face.gaze,        &face.blink,
                               &face.expression, &face.recognition, &face.verify};
    for (CKytoResBase* m : members) {
        EXPECT_EQ(m->SetRaw(nullptr), -1);
        EXPECT_EQ(m->IsValid(), 0);
    }
    EXPECT_EQ(face.detect.x, -1);
    EXPECT_EQ(face.detect.trackingId, -1);
    EXPECT_EQ(face.direction.yaw, 0);
    EXPECT_EQ(face.direction.confidence, -1);
    EXPECT_EQ(face.expression.degree, 0);
    EXPECT_EQ(face.expression.scores[4], -1);
    EXPECT_EQ(face.verify.result, kVerifyNoVerdict);
    EXPECT_EQ(face.recognition.state, kStatePlain);
}

TEST(ResultRecords, SignedLittleEndianFields) {
    CKytoDetectRes d;
    d.trackingId = 9;
    const auto raw = Le16s({160, -5, 41, 1000});
    ASSERT_EQ(d.SetRaw(raw.data()), 0);
    EXPECT_EQ(d.IsValid(), 1);
    EXPECT_EQ(d.x, 160);
    EXPECT_EQ(d.y, -5);
    EXPECT_EQ(d.size, 41);
    EXPECT_EQ(d.confidence, 1000);
    EXPECT_EQ(d.trackingId, 9);  // not the record's business

    CKytoGazeRes g;
    const std::uint8_t gaze[2] = {0xF6, 0x0C};
    g.SetRaw(gaze);
    EXPECT_EQ(g.yaw, -10);
    EXPECT_EQ(g.pitch, 12);

    CKytoExpressionRes e;
    const std::uint8_t expr[8] = {0x80, 0x80, 0, 100, 0xFF, 0, 0, 0xF0};
    e.SetRaw(expr);
    EXPECT_EQ(e.expression, -128);
    EXPECT_EQ(e.score, -128);
    EXPECT_EQ(e.scores[1], 100);
    EXPECT_EQ(e.scores[2], -1);
    EXPECT_EQ(e.degree, -16);
}

// The stabiliser adds 10,000 (being stabilised) or 20,000 (settled) to the
// confidence of age and gender and to the recognition score.
TEST(ResultRecords, StabilisationMarks) {
    struct Case {
        int raw;
        int value;
        int state;
    } cases[] = {{500, 500, kStatePlain},
                 {1000, 1000, kStatePlain},
                 {10500, 500, kStateStabilising},
                 {20500, 500, kStateSettled},
                 {-128, -128, kStatePlain}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        CKytoAgeRes age;
        age.SetRaw(Byte16(33, c.raw).data());
        EXPECT_EQ(age.age, 33);
        EXPECT_EQ(age.confidence, c.value);
        EXPECT_EQ(age.state, c.state);

        CKytoGenderRes gender;
        gender.SetRaw(Byte16(1, c.raw).data());
        EXPECT_EQ(gender.confidence, c.value);
        EXPECT_EQ(gender.state, c.state);

        CKytoRecognitionRes rec;
        rec.SetRaw(Le16s({7, c.raw}).data());
        EXPECT_EQ(rec.userId, 7);
        EXPECT_EQ(rec.score, c.value);
        EXPECT_EQ(rec.state, c.state);
    }
}

TEST(ResultRecords, VerifyVerdicts) {
    struct Case {
        int value;
        int result;
    } cases[] = {
        {0, kVerifyMatch}, {-1, kVerifyNoMatch}, {100, kVerifyNoVerdict}, {-128, kVerifyNoVerdict}};
    for (const Case& c : cases) {
        CKytoVerifyRes v;
        v.SetRaw(Le16s({c.value, -127}).data());
        EXPECT_EQ(v.result, c.result) << c.value;
        EXPECT_EQ(v.score, -127);
    }
}

TEST(ResultRecords, GetRect) {
    struct Case {
        int x, y, size;
        int left, top, right, bottom;
    } cases[] = {
        {160, 120, 41, 140, 100, 180, 140},
        {-1, -1, 40, -1, -1, -1, -1},
        {10, 10, -1, -1, -1, -1, -1},
        {-1, 50, 20, -11, 40, 9, 60},  // only both -1 means "no position"
    };
    for (const Case& c : cases) {
        CKytoDetectRes d;
        d.x = c.x;
        d.y = c.y;
        d.size = c.size;
        int l, t, r, b;
        GetRect(d, l, t, r, b);
        EXPECT_EQ(l, c.left);
        EXPECT_EQ(t, c.top);
        EXPECT_EQ(r, c.right);
        EXPECT_EQ(b, c.bottom);
    }
}

TEST(ResultRecords, SortByTrackingIdPutsUntrackedFirstAndStampsIds) {
    std::vector<CKytoDetectRes> bodies(3);
    for (int i = 0; i < 3; ++i) {
        bodies[static_cast<std::size_t>(i)].x = i;  // remember where each came from
    }
    int ids[35];
    std::fill(ids, ids + 35, -1);
    ids[0] = 3;
    ids[1] = -1;
    ids[2] = 5;
    SortByTrackingId(bodies, ids);
    EXPECT_EQ(bodies[0].x, 1);
    EXPECT_EQ(bodies[0].trackingId, -1);
    EXPECT_EQ(bodies[1].x, 0);
    EXPECT_EQ(bodies[1].trackingId, 3);
    EXPECT_EQ(bodies[2].x, 2);
    EXPECT_EQ(bodies[2].trackingId, 5);

    // Faces carry the ID in their rectangle; more records than IDs count as
    // untracked instead of reading past the array.
    std::vector<FaceResult> faces(40);
    for (int i = 0; i < 40; ++i) {
        faces[static_cast<std::size_t>(i)].detect.x = i;
    }
    for (int i = 0; i < 35; ++i) {
        ids[i] = 100 - i;
    }
    SortByTrackingId(faces, ids);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(faces[static_cast<std::size_t>(i)].detect.trackingId, -1);
        EXPECT_EQ(faces[static_cast<std::size_t>(i)].detect.x, 35 + i);
    }
    EXPECT_EQ(faces[5].detect.trackingId, 66);
    EXPECT_EQ(faces[5].detect.x, 34);
    EXPECT_EQ(faces[39].detect.trackingId, 100);
    EXPECT_EQ(faces[39].detect.x, 0);

    // Ties keep the order the selection sort gives them (it is not stable).
    std::fill(ids, ids + 35, -1);
    ids[0] = 2;
    ids[1] = 2;
    ids[2] = 1;
    SortByTrackingId(bodies, ids);  // bodies now hold x = 1, 0, 2
    EXPECT_EQ(bodies[0].x, 2);
    EXPECT_EQ(bodies[1].x, 0);
    EXPECT_EQ(bodies[2].x, 1);
}

namespace {

// The plain selection sort, swapping ID and record whenever a later ID is
// strictly smaller: the order SortByTrackingId must give for any list.
std::vector<int> SelectionSortOrigins(std::size_t n, const int ids[35]) {
    std::vector<int> id(n);
    std::vector<int> from(n);
    for (std::size_t i = 0; i < n; ++i) {
        id[i] = i < 35 ? ids[i] : -1;
        from[i] = static_cast<int>(i);
    }
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t k = i + 1; k < n; ++k) {
            if (id[k] < id[i]) {
                std::swap(id[i], id[k]);
                std::swap(from[i], from[k]);
            }
        }
    }
    return from;
}

}  // namespace

TEST(ResultRecords, SortByTrackingIdGivesTheSelectionSortOrderForAnyIds) {
    // Lengths around the 35 IDs and up to the 255 faces a header can claim;
    // IDs drawn from few values (many ties), from many, and below -1.
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    };
    const std::size_t lengths[] = {0, 1, 2, 3, 7, 34, 35, 36, 60, 255};
    const int spreads[] = {1, 2, 3, 13, 1000};
    for (const std::size_t n : lengths) {
        for (const int spread : spreads) {
            for (int round = 0; round < 20; ++round) {
                int ids[35];
                for (int& v : ids) {
                    v = next() % (spread + 2) - 2;  // -2 .. spread - 1
                }
                std::vector<FaceResult> faces(n);
                std::vector<CKytoDetectRes> bodies(n);
                for (std::size_t i = 0; i < n; ++i) {
                    faces[i].detect.x = static_cast<int>(i);
                    bodies[i].x = static_cast<int>(i);
                }
                SortByTrackingId(faces, ids);
                SortByTrackingId(bodies, ids);
                const std::vector<int> want = SelectionSortOrigins(n, ids);
                for (std::size_t i = 0; i < n; ++i) {
                    const int origin = want[i];
                    const int wantId = origin < 35 ? ids[origin] : -1;
                    ASSERT_EQ(faces[i].detect.x, origin) << "n=" << n << " spread=" << spread;
                    ASSERT_EQ(faces[i].detect.trackingId, wantId);
                    ASSERT_EQ(bodies[i].x, origin) << "n=" << n << " spread=" << spread;
                    ASSERT_EQ(bodies[i].trackingId, wantId);
                }
            }
        }
    }
}

TEST(ResultRecords, FaceAccessorsGiveMinusOneOutsideTheListOrWhenUnfilled) {
    CFrameResult frame;
    frame.faces.resize(1);
    frame.faces[0].age.SetRaw(Byte16(40, 20700).data());
    int age, conf, state;
    EXPECT_EQ(frame.GetFaceAge(0, age, conf, state), 0);
    EXPECT_EQ(age, 40);
    EXPECT_EQ(conf, 700);
    EXPECT_EQ(state, kStateSettled);
    EXPECT_EQ(frame.GetFaceAge(1, age, conf, state), -1);
    EXPECT_EQ(age, -1);
    EXPECT_EQ(frame.GetFaceAge(-1, age, conf, state), -1);
    int yaw = 5, pitch = 5;
    EXPECT_EQ(frame.GetFaceGaze(0, yaw, pitch), -1);  // present but unfilled
    EXPECT_EQ(yaw, -1);
    EXPECT_EQ(pitch, -1);
    int e, s, d, scores[5];
    EXPECT_EQ(frame.GetFaceExpression(3, e, s, d, scores), -1);
    EXPECT_EQ(scores[4], -1);
}
