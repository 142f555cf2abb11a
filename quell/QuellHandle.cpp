#include "quell/QuellHandle.h"

#include <algorithm>
#include <cstring>

namespace quell {

namespace {

bool InRange(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

}  // namespace

void CQuellHandle::Clear() {
    bodies_.Clear();
    faces_.Clear();
    for (CFaceSettle& s : settle_) {
        s.Reset();
    }
    framePending_ = false;
    bodyResultCount_ = 0;
    faceResultCount_ = 0;
}

void CQuellHandle::SetFrame(const QuellFrameInput& frame) {
    frame_ = frame;
    // The counts come from the device header; never index past the arrays.
    frame_.bodyCount = std::clamp(frame_.bodyCount, 0, QUELL_MAX_ENTRIES);
    frame_.faceCount = std::clamp(frame_.faceCount, 0, QUELL_MAX_ENTRIES);
    framePending_ = true;
}

int CQuellHandle::Execute() {
    if (!framePending_) {
        return QUELL_ERROR_SEQUENCE;
    }
    framePending_ = false;
    bodyResultCount_ = 0;
    faceResultCount_ = 0;
    if (mask_ & QUELL_FUNCTION_BODY) {
        ExecuteBodies();
    }
    if (mask_ & QUELL_FUNCTION_FACE) {
        ExecuteFaces();
    }
    return QUELL_OK;
}

void CQuellHandle::ExecuteBodies() {
    std::array<Detection, kMaxTracks> dets;
    for (int i = 0; i < frame_.bodyCount; ++i) {
        const QuellBodyInput& b = frame_.bodies[i];
        dets[i] = {double(b.x), double(b.y), double(b.size)};
    }
    std::array<TrackOutput, kMaxTracks> out;
    bodies_.Update(dets.data(), frame_.bodyCount, out.data());
    for (int i = 0; i < frame_.bodyCount; ++i) {
        if (out[i].slot < 0) {
            continue;
        }
        QuellBodyResult& r = bodyResults_[bodyResultCount_++];
        r = QuellBodyResult{};
        r.index = i;
        r.trackingId = out[i].trackingId;
        r.x = out[i].x;
        r.y = out[i].y;
        r.size = out[i].size;
    }
}

void CQuellHandle::ExecuteFaces() {
    std::array<Detection, kMaxTracks> dets;
    for (int i = 0; i < frame_.faceCount; ++i) {
        const QuellFaceInput& f = frame_.faces[i];
        dets[i] = {double(f.x), double(f.y), double(f.size)};
    }
    std::array<TrackOutput, kMaxTracks> out;
    faces_.Update(dets.data(), frame_.faceCount, out.data());
    for (int i = 0; i < frame_.faceCount; ++i) {
        if (out[i].slot < 0) {
            continue;
        }
        const QuellFaceInput& f = frame_.faces[i];
        QuellFaceResult& r = faceResults_[faceResultCount_++];
        r = QuellFaceResult{};
        r.index = i;
        r.trackingId = out[i].trackingId;
        r.x = out[i].x;
        r.y = out[i].y;
        r.size = out[i].size;
        r.confidence = f.confidence;
        r.yaw = f.yaw;
        r.pitch = f.pitch;
        r.roll = f.roll;
        r.directionConfidence = f.directionConfidence;
        r.age = f.age;
        r.gender = f.gender;
        r.userId = f.userId;

        CFaceSettle& settle = settle_[out[i].slot];
        if (out[i].fresh) {
            settle.Reset();
        }
        const FaceSample sample{f.yaw,           f.pitch,           f.age,
                                f.ageConfidence, f.gender,          f.genderConfidence,
                                f.userId,        f.recognitionScore};
        // Without the direction function the angle window cannot be judged,
        // so every frame is taken as facing the camera.
        FaceSample judged = sample;
        if (!(mask_ & QUELL_FUNCTION_DIRECTION)) {
            judged.yaw = judged.pitch = 0;
        }
        SettledValue v;
        if (mask_ & QUELL_FUNCTION_AGE) {
            settle.AddAge(judged, pe, v);
            r.ageState = v.state;
            r.ageFrames = v.frames;
            r.age = v.value;
        }
        if (mask_ & QUELL_FUNCTION_GENDER) {
            settle.AddGender(judged, pe, v);
            r.genderState = v.state;
            r.genderFrames = v.frames;
            r.gender = v.value;
        }
        if (mask_ & QUELL_FUNCTION_RECOGNITION) {
            settle.AddRecognition(judged, fr, v);
            r.recognitionState = v.state;
            r.recognitionFrames = v.frames;
            r.userId = v.value;
        }
    }
}

int CQuellHandle::Faces(int* count, void* area) const {
    if (!count || !area) {
        return QUELL_ERROR_ARGUMENT;
    }
    std::memcpy(area, faceResults_.data(), sizeof(QuellFaceResult) * faceResultCount_);
    *count = faceResultCount_;
    return QUELL_OK;
}

int CQuellHandle::Bodies(int* count, void* area) const {
    if (!count || !area) {
        return QUELL_ERROR_ARGUMENT;
    }
    std::memcpy(area, bodyResults_.data(), sizeof(QuellBodyResult) * bodyResultCount_);
    *count = bodyResultCount_;
    return QUELL_OK;
}

int CQuellHandle::SetRetryCount(int frames) {
    if (!InRange(frames, 0, QUELL_MAX_RETRY_COUNT)) {
        return QUELL_ERROR_ARGUMENT;
    }
    bodies_.SetRetryCount(frames);
    faces_.SetRetryCount(frames);
    return QUELL_OK;
}

int CQuellHandle::SetSteadiness(int position, int size) {
    if (!InRange(position, 0, QUELL_MAX_STEADINESS) || !InRange(size, 0, QUELL_MAX_STEADINESS)) {
        return QUELL_ERROR_ARGUMENT;
    }
    bodies_.SetSteadiness(position, size);
    faces_.SetSteadiness(position, size);
    return QUELL_OK;
}

int CQuellHandle::SetThreshold(SettleRule& rule, int threshold) {
    if (!InRange(threshold, 0, QUELL_MAX_THRESHOLD)) {
        return QUELL_ERROR_ARGUMENT;
    }
    rule.threshold = threshold;
    return QUELL_OK;
}

int CQuellHandle::SetAngle(SettleRule& rule, int pitchMin, int pitchMax, int yawMin, int yawMax) {
    const auto angle = [](int a) { return InRange(a, -QUELL_MAX_ANGLE, QUELL_MAX_ANGLE); };
    if (!angle(pitchMin) || !angle(pitchMax) || !angle(yawMin) || !angle(yawMax) ||
        pitchMin > pitchMax || yawMin > yawMax) {
        return QUELL_ERROR_ARGUMENT;
    }
    rule.pitchMin = pitchMin;
    rule.pitchMax = pitchMax;
    rule.yawMin = yawMin;
    rule.yawMax = yawMax;
    return QUELL_OK;
}

int CQuellHandle::SetFrameCount(SettleRule& rule, int frames) {
    if (!InRange(frames, 0, QUELL_MAX_FRAME_COUNT)) {
        return QUELL_ERROR_ARGUMENT;
    }
    rule.frames = frames;
    return QUELL_OK;
}

int CQuellHandle::SetRatio(SettleRule& rule, int ratio) {
    if (!InRange(ratio, 0, QUELL_MAX_RATIO)) {
        return QUELL_ERROR_ARGUMENT;
    }
    rule.ratio = ratio;
    return QUELL_OK;
}

}  // namespace quell
