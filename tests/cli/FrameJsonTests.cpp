#include <gtest/gtest.h>

#include "cli/FrameJson.h"
#include "protocol/RawDetectResult.h"

using nlohmann::json;

TEST(FrameJson, RequestedEstimationsOnlyAndNullWhenNotDelivered) {
    CFrameResult result;
    FaceResult face;
    face.detect.x = 10;
    face.detect.SetValid(true);
    face.age.age = 30;
    face.age.confidence = 500;
    face.age.state = 1;
    face.age.SetValid(true);
    result.faces.push_back(face);
    JsonFrameInput in;
    in.frame = 4;
    in.time = "t";
    in.functionFlags[kFuncFace] = 1;
    in.functionFlags[kFuncAge] = 1;
    in.functionFlags[kFuncGaze] = 1;
    const json frame = json::parse(FrameToJson(in, result).dump());
    EXPECT_EQ(frame["functions"], (json{"face", "age", "gaze"}));
    EXPECT_TRUE(frame["image"].is_null());
    const json& f = frame["faces"][0];
    EXPECT_EQ(f["x"], 10);
    EXPECT_EQ(f["tracking_id"], -1);
    EXPECT_EQ(f["age"], (json{{"age", 30}, {"confidence", 500}, {"state", 1}}));
    EXPECT_TRUE(f["gaze"].is_null());
    EXPECT_FALSE(f.contains("direction"));
    // Members in the documented order.
    EXPECT_EQ(FrameToJson(in, result).dump().rfind("{\"frame\":4,\"time\":\"t\",\"status\":0,", 0),
              0u);
}

TEST(FrameJson, LocalTimeHasMillisecondsAndZone) {
    const std::string t = LocalIsoTime(1700000000123LL);
    ASSERT_EQ(t.size(), 29u) << t;
    EXPECT_EQ(t.substr(19, 4), ".123");
    EXPECT_EQ(t[26], ':');
}
