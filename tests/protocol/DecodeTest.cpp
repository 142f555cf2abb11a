#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/ByteOrder.h"
#include "protocol/RawDetectResult.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& out, std::initializer_list<int> bytes) {
    for (int b : bytes) {
        out.push_back(static_cast<std::uint8_t>(b));
    }
}

Bytes DetectRecord(int x, int y, int size, int confidence) {
    Bytes out;
    for (int v : {x, y, size, confidence}) {
        AppendLe16(out, v);
    }
    return out;
}

CFrameResult Decode(const Bytes& payload, std::uint16_t flags, int imageType = 0,
                    bool extended = false) {
    RawDetectResult raw;
    DecodeExecute(payload.size(), payload.data(), flags, imageType, extended, raw);
    CFrameResult frame;
    ToFrameResult(raw, frame);
    return frame;
}

constexpr std::uint16_t kAllParts = 0x07FF;

// Every kind at its maximum of 35, every face part, an image of `imageType`
// whose pixels count up.
Bytes MaximalPayload(bool extended, int imageType) {
    Bytes p = {35, 35, 35, 0};
    for (int i = 0; i < 70; ++i) {
        const Bytes r = DetectRecord(i, i + 1, 20 + i, 500 + i);
        p.insert(p.end(), r.begin(), r.end());
    }
    for (int i = 0; i < 35; ++i) {
        const Bytes face = DetectRecord(100 + i, 50, 40, 900);
        p.insert(p.end(), face.begin(), face.end());
        const Bytes dir = DetectRecord(-10, 5, i, 800);
        p.insert(p.end(), dir.begin(), dir.end());
        Append(p, {30 + i, 0xE8, 0x03});  // age, confidence 1000
        Append(p, {1, 0xF4, 0x01});       // gender, 500
        Append(p, {0xFB, 0x07});          // gaze -5, 7
        Append(p, {0x64, 0, 0x32, 0});    // blink 100, 50
        if (extended) {
            Append(p, {10, 20, 70, 0, 0, 0xF0});  // scores, degree -16
        } else {
            Append(p, {3, 70, 0xF0});
        }
        Append(p, {i, 0, 0x20, 0x03});  // user i, score 800
        Append(p, {0, 0, 0x58, 0x02});  // match, score 600
    }
    const std::size_t pixels = ImageBytesForType(imageType);
    if (pixels > 0) {
        AppendLe16(p, imageType == 1 ? 320 : 160);
        AppendLe16(p, imageType == 1 ? 240 : 120);
        for (std::size_t i = 0; i < pixels; ++i) {
            p.push_back(static_cast<std::uint8_t>(i * 7));
        }
    }
    return p;
}

}  // namespace

TEST(Decode, OneBodyNothingElse) {
    Bytes p = {1, 0, 0, 0};
    const Bytes body = DetectRecord(10, 20, 30, 40);
    p.insert(p.end(), body.begin(), body.end());
    const CFrameResult f = Decode(p, kAllParts);
    ASSERT_EQ(f.bodies.size(), 1u);
    EXPECT_EQ(f.bodies[0].size, 30);
    EXPECT_TRUE(f.hands.empty());
    EXPECT_TRUE(f.faces.empty());
}

TEST(Decode, FacesBeyondTheDataStayPresentButUnfilled) {
    Bytes p = {0, 0, 2, 0};
    const Bytes face = DetectRecord(1, 2, 3, 4);
    p.insert(p.end(), face.begin(), face.end());
    const CFrameResult f = Decode(p, 0x0004);
    ASSERT_EQ(f.faces.size(), 2u);
    EXPECT_TRUE(f.faces[0].detect.IsValid());
    EXPECT_EQ(f.faces[0].detect.confidence, 4);
    EXPECT_FALSE(f.faces[1].detect.IsValid());
    EXPECT_EQ(f.faces[1].detect.x, -1);
}

TEST(Decode, ExpressionForms) {
    struct Case {
        bool extended;
        Bytes wire;
        int expression, score, degree;
        int scores[5];
    } cases[] = {
        // Three-byte form: shown as sent, no five scores.
        {false, {0x02, 0x50, 0x10}, 2, 80, 16, {-128, -128, -128, -128, -128}},
        // Six-byte form: the code is the best of the five scores.
        {true, {0x00, 0x64, 0x00, 0x00, 0x00, 0x10}, 2, -128, 16, {0, 100, 0, 0, 0}},
        {true, {0x80, 0x80, 0x80, 0x80, 0x80, 0x00}, -128, -128, 0, {-128, -128, -128, -128, -128}},
        {true, {0x05, 0x05, 0x00, 0x00, 0x01, 0xFF}, 1, -128, -1, {5, 5, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        Bytes p = {0, 0, 1, 0};
        const Bytes face = DetectRecord(1, 2, 3, 4);
        p.insert(p.end(), face.begin(), face.end());
        p.insert(p.end(), c.wire.begin(), c.wire.end());
        const CFrameResult f = Decode(p, 0x0104, 0, c.extended);
        ASSERT_EQ(f.faces.size(), 1u);
        const CKytoExpressionRes& e = f.faces[0].expression;
        ASSERT_TRUE(e.IsValid());
        EXPECT_EQ(e.expression, c.expression);
        EXPECT_EQ(e.score, c.score);
        EXPECT_EQ(e.degree, c.degree);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(e.scores[i], c.scores[i]) << i;
        }
    }
}

TEST(Decode, FacePartsFollowTheRequestedBits) {
    // Face + age + recognition only: 8 + 3 + 4 bytes per face.
    Bytes p = {0, 0, 1, 0};
    const Bytes face = DetectRecord(7, 8, 9, 10);
    p.insert(p.end(), face.begin(), face.end());
    Append(p, {25, 0x2C, 0x01, 0x05, 0x00, 0x10, 0x27});
    const CFrameResult f = Decode(p, 0x0214);
    ASSERT_EQ(f.faces.size(), 1u);
    EXPECT_EQ(f.faces[0].age.age, 25);
    EXPECT_EQ(f.faces[0].age.confidence, 300);
    EXPECT_FALSE(f.faces[0].direction.IsValid());
    EXPECT_EQ(f.faces[0].recognition.userId, 5);
    EXPECT_EQ(f.faces[0].recognition.score, 0);  // 10,000: stabilising
    EXPECT_EQ(f.faces[0].recognition.state, kStateStabilising);
}

TEST(Decode, ImageNeedsTheWholeBlockOfItsType) {
    for (const std::size_t extra : {std::size_t{0}, std::size_t{1}}) {
        Bytes p = {1, 0, 0, 0};
        const Bytes body = DetectRecord(1, 1, 1, 1);
        p.insert(p.end(), body.begin(), body.end());
        AppendLe16(p, 160);
        AppendLe16(p, 120);
        for (int i = 0; i < 19200; ++i) {
            p.push_back(static_cast<std::uint8_t>(i));
        }
        p.resize(p.size() - 1 + extra);  // 19,203 or 19,204 bytes after the records
        std::vector<std::uint8_t> image(19200, 0xEE);
        RawDetectResult raw;
        raw.imagePixels = image.data();
        raw.imageCapacity = image.size();
        DecodeExecute(p.size(), p.data(), 0x0001, 2, false, raw);
        EXPECT_EQ(raw.bodyRecords.size(), 1u);
        if (extra == 1) {
            EXPECT_EQ(raw.imageWidth, 160);
            EXPECT_EQ(raw.imageHeight, 120);
            EXPECT_EQ(image[0], 0);
            EXPECT_EQ(image[19199], static_cast<std::uint8_t>(19199));
        } else {
            EXPECT_EQ(raw.imageWidth, 0);
            EXPECT_EQ(image[0], 0xEE);
        }
    }
}

// A module that claims a larger picture than the requested type must not
// write past the caller's buffer, nor past what the type carries.
TEST(Decode, OversizedImageIsCutToTheBuffer) {
    struct Case {
        int type, width, height;
        std::size_t capacity;
        std::size_t expectCopied;
    } cases[] = {
        {1, 640, 480, 76800, 76800},  // claims 307,200 pixels
        {2, 320, 240, 19200, 19200},
        {1, 320, 240, 1000, 1000},  // caller buffer smaller than the type
        {2, 100, 10, 19200, 1000},  // smaller picture: only its pixels
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type * 1000 + c.width);
        const std::size_t typeBytes = ImageBytesForType(c.type);
        Bytes p = {0, 0, 0, 0};
        AppendLe16(p, c.width);
        AppendLe16(p, c.height);
        const std::size_t stated = static_cast<std::size_t>(c.width) * c.height;
        p.resize(p.size() + std::max(stated, typeBytes) + 64, 0x5A);
        std::vector<std::uint8_t> image(c.capacity + 16, 0x11);  // 16 guard bytes
        RawDetectResult raw;
        raw.imagePixels = image.data();
        raw.imageCapacity = c.capacity;
        DecodeExecute(p.size(), p.data(), 0, c.type, false, raw);
        EXPECT_EQ(raw.imageWidth, c.width);
        EXPECT_LE(c.expectCopied, typeBytes);
        for (std::size_t i = 0; i < image.size(); ++i) {
            ASSERT_EQ(image[i], i < c.expectCopied ? 0x5A : 0x11) << i;
        }
    }
}

// Cutting a full frame anywhere never fails and keeps exactly the complete
// records before the cut.
TEST(Decode, TruncatedAtEveryLengthKeepsCompleteRecords) {
    // Number of records of `stride` bytes starting at `base` whose bytes up to
    // `end` (within the record) lie before the cut.
    const auto complete = [](std::size_t len, std::size_t base, std::size_t stride,
                             std::size_t end) -> std::size_t {
        if (len < base + end) {
            return 0;
        }
        return std::min<std::size_t>(35, (len - base - end) / stride + 1);
    };
    for (const bool extended : {false, true}) {
        SCOPED_TRACE(extended);
        const Bytes full = MaximalPayload(extended, 2);
        const std::size_t face = extended ? 42 : 39;
        const std::size_t faces = 4 + 70 * 8;
        const std::size_t expr = extended ? 6 : 3;
        RawDetectResult whole;
        DecodeExecute(full.size(), full.data(), kAllParts, 2, extended, whole);
        ASSERT_EQ(whole.verifyRecords.size(), 35u);

        std::vector<std::uint8_t> image(19200);
        for (std::size_t len = 0; len <= full.size(); ++len) {
            const Bytes cut(full.begin(), full.begin() + static_cast<long>(len));
            RawDetectResult raw;
            raw.imagePixels = image.data();
            raw.imageCapacity = image.size();
            DecodeExecute(cut.size(), cut.data(), kAllParts, 2, extended, raw);
            CFrameResult frame;
            ToFrameResult(raw, frame);

            ASSERT_EQ(raw.bodyRecords.size(), complete(len, 4, 8, 8)) << len;
            ASSERT_EQ(raw.handRecords.size(), complete(len, 4 + 280, 8, 8)) << len;
            ASSERT_EQ(raw.faceRecords.size(), complete(len, faces, face, 8)) << len;
            ASSERT_EQ(raw.directionRecords.size(), complete(len, faces, face, 16)) << len;
            ASSERT_EQ(raw.ageRecords.size(), complete(len, faces, face, 19)) << len;
            ASSERT_EQ(raw.blinkRecords.size(), complete(len, faces, face, 28)) << len;
            ASSERT_EQ(raw.expressionRecords.size(), complete(len, faces, face, 28 + expr)) << len;
            ASSERT_EQ(raw.verifyRecords.size(), complete(len, faces, face, face)) << len;
            ASSERT_EQ(raw.imageWidth, len == full.size() ? 160 : 0) << len;
            ASSERT_EQ(frame.faces.size(), len >= 4 ? 35u : 0u) << len;
            // What was kept is exactly what the whole frame holds.
            for (std::size_t i = 0; i < raw.expressionRecords.size(); ++i) {
                ASSERT_EQ(raw.expressionRecords[i], whole.expressionRecords[i]);
            }
            if (!raw.verifyRecords.empty()) {
                ASSERT_EQ(raw.verifyRecords.back(),
                          whole.verifyRecords[raw.verifyRecords.size() - 1]);
            }
        }
    }
}

TEST(Decode, ExecutionFlags) {
    struct Case {
        std::initializer_list<int> on;
        bool stabilisation;
        std::uint16_t flags;
    } cases[] = {
        {{0, 2}, false, 0x0005},
        {{2, 4}, true, 0x001C},  // age needs the direction while stabilising
        {{2, 4}, false, 0x0014},
        {{2, 5}, true, 0x002C},
        {{2, 9}, true, 0x020C},
        {{2, 6, 7, 8}, true, 0x01C4},  // no stabilised value: no direction
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, false, 0x07FF},
    };
    for (const Case& c : cases) {
        std::uint8_t functions[11] = {};
        for (int i : c.on) {
            functions[i] = 1;
        }
        EXPECT_EQ(BuildExecutionFlags(functions, c.stabilisation), c.flags);
    }
}

TEST(Decode, VerifyFillerMarksEveryFaceAsNoUserSelected) {
    Bytes p = {0, 0, 2, 0};
    for (int i = 0; i < 2; ++i) {
        const Bytes face = DetectRecord(i, 0, 10, 10);
        p.insert(p.end(), face.begin(), face.end());
    }
    RawDetectResult raw;
    DecodeExecute(p.size(), p.data(), 0x0004, 0, false, raw);
    AppendVerifyFiller(raw);
    CFrameResult frame;
    ToFrameResult(raw, frame);
    ASSERT_EQ(frame.faces.size(), 2u);
    for (const FaceResult& f : frame.faces) {
        EXPECT_TRUE(f.verify.IsValid());
        EXPECT_EQ(f.verify.result, kVerifyNoVerdict);
        EXPECT_EQ(f.verify.score, -1);
    }
}
