#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>
#include <vector>

#include "ExecuteParse.h"
#include "emulator/Module.h"

using namespace kyto::emu;
using Bytes = std::vector<std::uint8_t>;

namespace {

Response Send(CModule& m, std::uint8_t code, Bytes payload = {}) {
    CommandFrame f;
    f.code = code;
    f.payload = std::move(payload);
    return m.Handle(f);
}

Response Execute(CModule& m, unsigned flags, int imageType, bool extended = false) {
    return Send(m, extended ? kExecuteEx : kExecute,
                {static_cast<std::uint8_t>(flags), static_cast<std::uint8_t>(flags >> 8),
                 static_cast<std::uint8_t>(imageType)});
}

ModuleConfig Config(std::uint64_t seed = 3, int people = 3) {
    ModuleConfig c;
    c.seed = seed;
    c.people = people;
    return c;
}

}  // namespace

TEST(Execute, PayloadLayoutMatchesTheRequestForEveryFunctionAndImage) {
    const struct {
        unsigned flags;
        int imageType;
        bool extended;
        int faceBytes;  // bytes per face block
    } cases[] = {
        {0x0000, 0, false, 0},  {0x0001, 0, false, 0},  {0x0002, 0, false, 0},
        {0x0004, 0, false, 8},  {0x0008, 0, false, 8},  {0x0010, 0, false, 3},
        {0x0020, 0, false, 3},  {0x0040, 0, false, 2},  {0x0080, 0, false, 4},
        {0x0100, 0, false, 3},  {0x0100, 0, true, 6},   {0x0200, 0, false, 4},
        {0x0400, 0, false, 4},  {0x07FF, 0, false, 39}, {0x07FF, 0, true, 42},
        {0x07FF, 1, false, 39}, {0x07FF, 2, true, 42},  {0x0000, 2, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.flags << " image " << c.imageType
                                        << (c.extended ? " ex" : ""));
        CModule m(Config());
        m.SetFrame(0);
        const Response r = Execute(m, c.flags, c.imageType, c.extended);
        ASSERT_EQ(r.code, kOk);
        EXPECT_TRUE(r.frame);
        const ParsedExecute e = ParseExecute(r.payload, c.flags, c.imageType, c.extended);
        ASSERT_TRUE(e.ok) << "payload of " << r.payload.size() << " bytes does not parse exactly";
        EXPECT_EQ(r.payload[3], 0) << "reserved byte";
        const int nb = r.payload[0], nh = r.payload[1], nf = r.payload[2];
        EXPECT_EQ(nb > 0, (c.flags & 1) != 0);
        EXPECT_EQ(nh > 0 || !(c.flags & 2), true);
        EXPECT_EQ(nf > 0, (c.flags & 0x7FC) != 0);
        const std::size_t image = c.imageType == 1 ? 4 + 76800 : c.imageType == 2 ? 4 + 19200 : 0;
        EXPECT_EQ(r.payload.size(),
                  4u + 8u * (nb + nh) + static_cast<std::size_t>(c.faceBytes) * nf + image);
        if (c.imageType != 0) {
            EXPECT_EQ(e.imageWidth, c.imageType == 1 ? 320 : 160);
            EXPECT_EQ(e.imageHeight, c.imageType == 1 ? 240 : 120);
        }
    }
}

TEST(Execute, ValuesArePlausibleForEveryFace) {
    CModule m(Config(11, 8));
    Send(m, kSetFaceAngle, {2, 1});  // widest angles: turned faces come through too
    bool sawNoEstimate = false, sawEstimate = false;
    for (int frame = 0; frame < 300; ++frame) {
        const bool ex = frame % 2 == 1;
        const Response r = Execute(m, 0x01FF, 0, ex);
        const ParsedExecute e = ParseExecute(r.payload, 0x01FF, 0, ex);
        ASSERT_TRUE(e.ok);
        for (const ParsedBox& b : e.bodies) {
            EXPECT_GE(b.confidence, 500);
            EXPECT_LE(b.confidence, 1000);
        }
        for (const ParsedFace& f : e.faces) {
            EXPECT_GE(f.face.x, 0);
            EXPECT_LT(f.face.x, 640);
            EXPECT_GE(f.face.y, 0);
            EXPECT_LT(f.face.y, 480);
            EXPECT_LE(std::abs(f.yaw), 90);
            EXPECT_LE(std::abs(f.roll), 45);
            EXPECT_GE(f.blinkL, 1);
            EXPECT_LE(f.blinkR, 1000);
            if (f.age == -128) {
                sawNoEstimate = true;
                EXPECT_EQ(f.gender, -128);
                EXPECT_EQ(f.degree, -128);
                continue;
            }
            sawEstimate = true;
            EXPECT_GE(f.age, 0);
            EXPECT_LE(f.age, 75);
            EXPECT_TRUE(f.gender == 0 || f.gender == 1);
            EXPECT_GE(f.degree, -100);
            EXPECT_LE(f.degree, 100);
            if (ex) {
                EXPECT_EQ(std::accumulate(std::begin(f.scores), std::end(f.scores), 0), 100);
            } else {
                EXPECT_GE(f.expr, 1);
                EXPECT_LE(f.expr, 5);
                EXPECT_GE(f.exprScore, 40);
                EXPECT_LE(f.exprScore, 100);
            }
        }
    }
    EXPECT_TRUE(sawEstimate);
    EXPECT_TRUE(sawNoEstimate) << "no face ever turned beyond the estimable angle";
}

TEST(Execute, SameSeedSameFramesDifferentSeedDifferentFrames) {
    CModule a(Config(5)), b(Config(5)), c(Config(6));
    bool differs = false;
    for (int i = 0; i < 20; ++i) {
        const Response ra = Execute(a, 0x07FF, 2), rb = Execute(b, 0x07FF, 2),
                       rc = Execute(c, 0x07FF, 2);
        ASSERT_EQ(ra.payload, rb.payload) << "frame " << i;
        differs = differs || ra.payload != rc.payload;
    }
    EXPECT_TRUE(differs);
    // A frame's content depends on its number only, not on what was asked before.
    CModule d(Config(5));
    d.SetFrame(19);
    const Response rd = Execute(d, 0x07FF, 2);
    CModule e(Config(5));
    for (int i = 0; i < 19; ++i) {
        Execute(e, 0x0001, 0);
    }
    EXPECT_EQ(rd.payload, Execute(e, 0x07FF, 2).payload);
}

TEST(Execute, SettingsFilterWhatIsReported) {
    // Counts over many frames of faces, bodies and hands under some settings.
    struct Counts {
        int faces = 0, bodies = 0, hands = 0, maxYaw = 0, maxRoll = 0, minFace = 1 << 30,
            maxFace = 0;
    };
    auto run = [](std::initializer_list<std::pair<std::uint8_t, Bytes>> commands) {
        CModule m(Config(21, 6));
        for (const auto& [code, payload] : commands) {
            EXPECT_EQ(Send(m, code, payload).code, kOk);
        }
        Counts c;
        for (int frame = 0; frame < 400; ++frame) {
            const ParsedExecute e = ParseExecute(Execute(m, 0x000F, 0).payload, 0x000F, 0, false);
            c.faces += static_cast<int>(e.faces.size());
            c.bodies += static_cast<int>(e.bodies.size());
            c.hands += static_cast<int>(e.hands.size());
            for (const ParsedFace& f : e.faces) {
                c.maxYaw = std::max(c.maxYaw, std::abs(f.yaw));
                c.maxRoll = std::max(c.maxRoll, std::abs(f.roll));
                c.minFace = std::min(c.minFace, f.face.size);
                c.maxFace = std::max(c.maxFace, f.face.size);
            }
        }
        return c;
    };
    auto u16s = [](std::initializer_list<int> v) {
        Bytes out;
        for (int x : v) {
            out.push_back(static_cast<std::uint8_t>(x));
            out.push_back(static_cast<std::uint8_t>(x >> 8));
        }
        return out;
    };
    const Counts wide = run({{kSetFaceAngle, {2, 1}},
                             {kSetThreshold, u16s({1, 1, 1, 500})},
                             {kSetSizeRange, u16s({1, 8192, 1, 8192, 1, 8192})}});
    ASSERT_GT(wide.faces, 0);
    ASSERT_GT(wide.hands, 0);
    EXPECT_GT(wide.maxYaw, 60);
    EXPECT_GT(wide.maxRoll, 15);

    const Counts narrow = run({{kSetFaceAngle, {0, 0}}});
    EXPECT_LE(narrow.maxYaw, 30);
    EXPECT_LE(narrow.maxRoll, 15);
    EXPECT_LT(narrow.faces, wide.faces);

    const Counts strict = run({{kSetThreshold, u16s({1000, 1000, 1000, 500})}});
    EXPECT_EQ(strict.faces + strict.bodies + strict.hands, 0);

    const Counts big =
        run({{kSetFaceAngle, {2, 1}}, {kSetSizeRange, u16s({1, 8192, 1, 8192, 90, 8192})}});
    EXPECT_GT(big.faces, 0);
    EXPECT_GE(big.minFace, 90);
    const Counts small =
        run({{kSetFaceAngle, {2, 1}}, {kSetSizeRange, u16s({1, 8192, 1, 8192, 1, 80})}});
    EXPECT_GT(small.faces, 0);
    EXPECT_LE(small.maxFace, 80);

    // Coordinates follow the full-image size of the resolution.
    const Counts large = run({{kSetFaceAngle, {2, 1}}, {kSetCameraResolution, {3}}});
    EXPECT_GT(large.maxFace, wide.maxFace * 2);
}

TEST(Execute, ImageShowsFacesWhereTheyAreReported) {
    // A face is a bright skin ellipse: around each reported face centre,
    // scaled to the image, the picture must be bright and differ from the
    // empty room.
    for (int imageType : {1, 2}) {
        CModule m(Config(4, 3));
        Send(m, kSetCameraResolution, {2});  // 1280 x 960 coordinates, scaled down to the image
        int checked = 0;
        for (int frame = 0; frame < 60; ++frame) {
            ParsedExecute e =
                ParseExecute(Execute(m, 0x0004, imageType).payload, 0x0004, imageType, false);
            ASSERT_TRUE(e.ok);
            GreyImage room;  // the same frame without anybody in it
            CScene(4, 0).Render(frame, e.imageWidth, e.imageHeight, room);
            const double scale = e.imageWidth / 1280.0;
            for (const ParsedFace& f : e.faces) {
                const double cx = f.face.x * scale, cy = f.face.y * scale,
                             size = f.face.size * scale;
                auto mean = [&](double x, double y) {  // mean over a box of 0.4 face sizes
                    int sum = 0, n = 0;
                    for (int yy = static_cast<int>(y - 0.2 * size); yy <= y + 0.2 * size; ++yy) {
                        for (int xx = static_cast<int>(x - 0.2 * size); xx <= x + 0.2 * size;
                             ++xx) {
                            if (xx >= 0 && yy >= 0 && xx < e.imageWidth && yy < e.imageHeight) {
                                sum += e.image[static_cast<std::size_t>(yy) * e.imageWidth + xx];
                                ++n;
                            }
                        }
                    }
                    return n ? sum / n : 0;
                };
                const int face = mean(cx, cy);
                std::swap(e.image, room.pixels);
                const int wall = mean(cx, cy);
                std::swap(e.image, room.pixels);
                EXPECT_GT(face, 150) << "frame " << frame;
                EXPECT_GT(face, wall + 15) << "frame " << frame;
                ++checked;
            }
        }
        EXPECT_GT(checked, 20);
    }
}
