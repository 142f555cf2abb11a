#include "cli/FrameJson.h"

#include <cmath>

#include "protocol/RawDetectResult.h"

using Json = nlohmann::ordered_json;

const char* const kFunctionNames[11] = {"body",       "hand",        "face",  "direction",
                                        "age",        "gender",      "gaze",  "blink",
                                        "expression", "recognition", "verify"};

namespace {

Json Detection(const CKytoDetectRes& d) {
    return Json{{"x", d.x},
                {"y", d.y},
                {"size", d.size},
                {"confidence", d.confidence},
                {"tracking_id", d.trackingId}};
}

Json Detections(const std::vector<CKytoDetectRes>& list) {
    Json out = Json::array();
    for (const CKytoDetectRes& d : list) {
        out.push_back(Detection(d));
    }
    return out;
}

// The member of one estimation, or null when the module delivered none.
template <typename Record, typename Build>
Json Member(const Record& record, Build build) {
    return record.IsValid() ? build(record) : Json(nullptr);
}

Json Face(const FaceResult& face, const std::uint8_t* f) {
    Json out = Detection(face.detect);
    if (f[kFuncDirection]) {
        out["direction"] = Member(face.direction, [](const CKytoDirectRes& r) {
            return Json{
                {"yaw", r.yaw}, {"pitch", r.pitch}, {"roll", r.roll}, {"confidence", r.confidence}};
        });
    }
    if (f[kFuncAge]) {
        out["age"] = Member(face.age, [](const CKytoAgeRes& r) {
            return Json{{"age", r.age}, {"confidence", r.confidence}, {"state", r.state}};
        });
    }
    if (f[kFuncGender]) {
        out["gender"] = Member(face.gender, [](const CKytoGenderRes& r) {
            return Json{{"gender", r.gender}, {"confidence", r.confidence}, {"state", r.state}};
        });
    }
    if (f[kFuncGaze]) {
        out["gaze"] = Member(face.gaze, [](const CKytoGazeRes& r) {
            return Json{{"yaw", r.yaw}, {"pitch", r.pitch}};
        });
    }
    if (f[kFuncBlink]) {
        out["blink"] = Member(face.blink, [](const CKytoBlinkRes& r) {
            return Json{{"left", r.left}, {"right", r.right}};
        });
    }
    if (f[kFuncExpression]) {
        out["expression"] = Member(face.expression, [](const CKytoExpressionRes& r) {
            return Json{{"expression", r.expression},
                        {"score", r.score},
                        {"degree", r.degree},
                        {"scores", Json(std::vector<int>(r.scores, r.scores + 5))}};
        });
    }
    if (f[kFuncRecognition]) {
        out["recognition"] = Member(face.recognition, [](const CKytoRecognitionRes& r) {
            return Json{{"user_id", r.userId}, {"score", r.score}, {"state", r.state}};
        });
    }
    if (f[kFuncVerify]) {
        out["verify"] = Member(face.verify, [](const CKytoVerifyRes& r) {
            return Json{{"result", r.result}, {"score", r.score}};
        });
    }
    return out;
}

}  // namespace

Json TimingToJson(const LatencyBreakdown& t) {
    const auto us = [](double ms) { return std::round(ms * 1000.0) / 1000.0; };
    return Json{{"grid_wait_ms", us(t.gridWaitMs)},
                {"request_wire_ms", us(t.requestWireMs)},
                {"module_ms", us(t.moduleMs)},
                {"response_wire_ms", us(t.responseWireMs)},
                {"host_ms", us(t.hostMs)}};
}

Json FrameToJson(const JsonFrameInput& in, const CFrameResult& result) {
    Json functions = Json::array();
    for (int i = 0; i < 11; ++i) {
        if (in.functionFlags[i]) {
            functions.push_back(kFunctionNames[i]);
        }
    }
    Json faces = Json::array();
    for (const FaceResult& face : result.faces) {
        faces.push_back(Face(face, in.functionFlags));
    }
    Json image = nullptr;
    if (in.imageWidth > 0 && in.imageHeight > 0) {
        image = Json{{"width", in.imageWidth}, {"height", in.imageHeight}};
    }
    return Json{{"frame", in.frame},
                {"time", in.time},
                {"status", in.status},
                {"return_code", in.returnCode},
                {"response_ms", in.responseMs},
                {"timing", in.timing ? TimingToJson(*in.timing) : Json(nullptr)},
                {"functions", functions},
                {"stabilization", in.stabilisation},
                {"image", image},
                {"bodies", Detections(result.bodies)},
                {"hands", Detections(result.hands)},
                {"faces", faces}};
}

std::string LocalIsoTime(std::int64_t unixMs) {
    const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    char zone[8];
    std::strftime(zone, sizeof zone, "%z", &local);  // +hhmm
    std::string z = zone;
    if (z.size() == 5) {
        z = z.substr(0, 3) + ":" + z.substr(3, 2);  // ISO 8601: +hh:mm
    }
    char millis[8];
    std::snprintf(millis, sizeof millis, ".%03d", static_cast<int>(unixMs % 1000));
    return std::string(date) + millis + z;
}
