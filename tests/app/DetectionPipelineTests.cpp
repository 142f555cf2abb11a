// The detection pipeline on the in-memory transport: choices saved and
// remembered, the table limit after a change, ExecuteEx when Execute is
// missing, the verify filler, the stabiliser between decoding and the frame
// result, and the link info of a failed frame.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "../protocol/MemoryModule.h"
#include "../support/TempDir.h"
#include "app/DetectionPipeline.h"
#include "base/ByteOrder.h"
#include "base/ImageData.h"
#include "link/DeviceLink.h"
#include "protocol/DeviceMngr.h"
#include "protocol/ResultCodes.h"
#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Detect(int x, int y, int size, int conf) {
    Bytes out;
    for (int v : {x, y, size, conf}) {
        AppendLe16(out, v);
    }
    return out;
}

// Payload with `faces` faces of rectangle (+ direction) + age, x = 10 * index.
Bytes FacesWithAge(int faces, bool direction = false) {
    Bytes p = {0, 0, static_cast<std::uint8_t>(faces), 0};
    for (int i = 0; i < faces; ++i) {
        const Bytes d = Detect(10 * i, 5, 30, 900);
        p.insert(p.end(), d.begin(), d.end());
        if (direction) {
            const Bytes dir = Detect(1, 2, 3, 4);
            p.insert(p.end(), dir.begin(), dir.end());
        }
        p.insert(p.end(), {static_cast<std::uint8_t>(20 + i), 0x64, 0x00});
    }
    return p;
}

class RecordingStabiliser : public IStabiliser {
public:
    void StabiliseFrame(RawDetectResult& raw, const std::uint8_t functionFlags[11], int bodyIds[35],
                        int faceIds[35]) override {
        ++frames;
        lastAge = functionFlags[4];
        for (std::size_t i = 0; i < raw.faceRecords.size() && i < raw.ageRecords.size(); ++i) {
            faceIds[i] = 50 - static_cast<int>(i);  // reverse the order
            raw.ageRecords[i][1] = 0x74;            // 100 + 10,000: being stabilised
            raw.ageRecords[i][2] = 0x27;
        }
        (void)bodyIds;
    }
    void EndStabilisation() override { ++ends; }
    int frames = 0;
    int ends = 0;
    int lastAge = -1;
};

class PipelineMemory : public ::testing::Test {
protected:
    void SetUp() override {
        mngr = std::make_unique<CDeviceMngr>();
        mngr->UseTransport(module.Transport());
        mngr->SetSupportedCommands({0x03, 0x04, 0x10, 0x20, 0x21});
    }
    int Execute(std::initializer_list<int> on, int limit = 5000, int imageType = 0,
                bool stabilise = false, bool verifyNotSelected = false) {
        std::uint8_t flags[11] = {};
        for (int i : on) {
            flags[i] = 1;
        }
        frame = CFrameResult{};
        const DeviceReply reply = pipeline.ExecuteFrame(*mngr, flags, limit, imageType, stabilise,
                                                        verifyNotSelected, image, frame);
        rc = reply.status;
        return reply.result;
    }

    TempDir dir;
    MemoryModule module;
    std::unique_ptr<CDeviceMngr> mngr;
    CDetectionPipeline pipeline;
    CImageData image;
    CFrameResult frame;
    std::uint8_t rc = 0xAA;
};

}  // namespace

TEST_F(PipelineMemory, ExecuteSavesChangedChoicesAndDecodes) {
    module.Answer(Response(0, FacesWithAge(2)));
    ASSERT_EQ(Execute({2, 4}, 5000, 1), kResultOk);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(module.Frames().at(0), (Bytes{0xFE, 0x03, 0x03, 0x00, 0x14, 0x00, 0x01}));
    ASSERT_EQ(frame.faces.size(), 2u);
    EXPECT_EQ(frame.faces[1].detect.x, 10);
    EXPECT_EQ(frame.faces[1].age.age, 21);
    EXPECT_EQ(image.Width(), 320);
    EXPECT_EQ(image.ImageWidth(), 0);  // no image block came

    std::uint8_t saved[11];
    ReadFunctionFlags(saved);
    EXPECT_EQ(saved[2], 1);
    EXPECT_EQ(saved[4], 1);
    EXPECT_EQ(ReadExecuteImage(), 1);
    EXPECT_EQ(ReadQuellFlag(), 0);
}

TEST_F(PipelineMemory, ExecuteExWhenExecuteIsMissingAndNothingWhenBothAre) {
    mngr->SetSupportedCommands({0x04});
    Bytes p = {0, 0, 1, 0};
    const Bytes d = Detect(1, 2, 3, 4);
    p.insert(p.end(), d.begin(), d.end());
    p.insert(p.end(), {0x00, 0x64, 0x00, 0x00, 0x00, 0x10});
    module.Answer(Response(0, p));
    ASSERT_EQ(Execute({2, 8}), kResultOk);
    EXPECT_EQ(module.Frames().at(0)[1], 0x04);
    ASSERT_EQ(frame.faces.size(), 1u);
    EXPECT_EQ(frame.faces[0].expression.scores[1], 100);
    EXPECT_EQ(frame.faces[0].expression.score, -128);

    mngr->SetSupportedCommands({});
    module.Forget();
    ASSERT_EQ(Execute({2, 8}), kResultOk);
    EXPECT_TRUE(module.Frames().empty());
    EXPECT_TRUE(frame.faces.empty());
}

TEST_F(PipelineMemory, VerifyWithoutUserLeavesTheBitOutAndFillsTheVerdict) {
    Bytes p = {0, 0, 2, 0};
    for (int i = 0; i < 2; ++i) {
        const Bytes d = Detect(i, 0, 10, 10);
        p.insert(p.end(), d.begin(), d.end());
    }
    module.Answer(Response(0, p));
    ASSERT_EQ(Execute({2, 10}, 5000, 0, false, true), kResultOk);
    const Bytes request = module.Frames().at(0);
    EXPECT_EQ(request[4] | (request[5] << 8), 0x0004);
    EXPECT_EQ(pipeline.LastFunctionFlags()[10], 0);
    ASSERT_EQ(frame.faces.size(), 2u);
    for (const FaceResult& f : frame.faces) {
        EXPECT_EQ(f.verify.result, kVerifyNoVerdict);
        EXPECT_EQ(f.verify.score, -1);
    }
}

TEST_F(PipelineMemory, ModuleErrorSkipsDecodingAndKeepsLinkInfo) {
    module.Answer(Response(0x07, FacesWithAge(1)));
    ASSERT_EQ(Execute({2, 4}), kResultOk);
    EXPECT_EQ(rc, 0x07);
    EXPECT_TRUE(frame.faces.empty());
    EXPECT_EQ(frame.sendInfo, mngr->Link()->SendInfo());
    EXPECT_EQ(frame.recvInfo, mngr->Link()->RecvInfo());
}

// An answer with an empty payload must not show the previous frame again.
TEST_F(PipelineMemory, EmptyAnswerIsAnEmptyFrame) {
    module.Answer(Response(0, FacesWithAge(3)));
    ASSERT_EQ(Execute({2, 4}), kResultOk);
    ASSERT_EQ(frame.faces.size(), 3u);
    module.Answer(Response(0));
    ASSERT_EQ(Execute({2, 4}), kResultOk);
    EXPECT_TRUE(frame.faces.empty());
}

// Any change of choices makes the frame use the table limit (1 s without
// files), never the caller's adaptive one.
TEST_F(PipelineMemory, ChangedChoicesUseTheTableLimit) {
    module.Answer(Response(0, FacesWithAge(1)), 150);
    EXPECT_EQ(Execute({2}, 1), kResultOk);  // first frame: everything is new
    module.Answer(Response(0, FacesWithAge(1)), 150);
    EXPECT_EQ(Execute({2}, 1), kResultTimeout);  // unchanged: the 1 ms limit holds
    module.Answer(Response(0, FacesWithAge(1)), 150);
    EXPECT_EQ(Execute({2}, 1, 2), kResultOk);  // image type changed
    module.Answer(Response(0, FacesWithAge(1)), 150);
    EXPECT_EQ(Execute({2}, 1, 2, true), kResultOk);  // stabilisation changed
}

TEST_F(PipelineMemory, StabiliserRunsBetweenTheStagesAndOrdersFaces) {
    auto owned = std::make_unique<RecordingStabiliser>();
    RecordingStabiliser* stab = owned.get();
    pipeline.SetStabiliser(std::move(owned));

    module.Answer(Response(0, FacesWithAge(3, true)));
    ASSERT_EQ(Execute({2, 4}, 5000, 0, true), kResultOk);
    // Age while stabilising asks the module for the direction as well.
    EXPECT_EQ(module.Frames().at(0)[4], 0x1C);
    EXPECT_EQ(stab->frames, 1);
    EXPECT_EQ(stab->lastAge, 1);
    ASSERT_EQ(frame.faces.size(), 3u);
    EXPECT_EQ(frame.faces[0].detect.trackingId, 48);
    EXPECT_EQ(frame.faces[0].detect.x, 20);
    EXPECT_EQ(frame.faces[2].detect.trackingId, 50);
    EXPECT_EQ(frame.faces[0].age.state, kStateStabilising);
    EXPECT_EQ(frame.faces[0].age.confidence, 100);

    const int endsBefore = stab->ends;
    module.Answer(Response(0, FacesWithAge(1)));
    ASSERT_EQ(Execute({2, 4}, 5000, 0, false), kResultOk);
    EXPECT_EQ(stab->frames, 1);             // off: not called
    EXPECT_EQ(stab->ends, endsBefore + 1);  // switching it off ends the tracking
    EXPECT_EQ(frame.faces[0].detect.trackingId, -1);
}
