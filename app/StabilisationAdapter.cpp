#include "app/StabilisationAdapter.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "settings/Settings.h"

namespace {

// Body, face, direction, age, gender and recognition in the bit layout of the
// execution flags.
constexpr int32_t kQuellFunctionMask = 573;

// Added to a confidence (score) once for "being stabilised" and once more for
// "settled"; the records decode the marks again.
constexpr int kStabilisingMark = 10000;

constexpr int32_t kOff = -128;  // estimate fields of a function that is off

void AddMark(std::uint8_t* p) {
    StoreLe16(p, LoadLeI16(p) + kStabilisingMark);
}

// A result index the adapter may use: it must address a raw record and a
// slot of the tracking-ID array.
bool Addresses(int32_t index, std::size_t records) {
    return index >= 0 && static_cast<std::size_t>(index) < records && index < QUELL_MAX_ENTRIES;
}

}  // namespace

const QuellEntryPoints& LibraryQuellEntryPoints() {
    static const QuellEntryPoints entryPoints{
        QuellCreateHandle,      QuellDeleteHandle,    QuellClear,
        QuellSetFrameResult,    QuellExecute,         QuellGetFaces,
        QuellGetBodies,         QuellSetTrRetryCount, QuellSetTrSteadiness,
        QuellSetPeThreshold,    QuellSetPeAngle,      QuellSetPeCompleteFrameCount,
        QuellSetFrThreshold,    QuellSetFrAngle,      QuellSetFrCompleteFrameCount,
        QuellSetFrAccountRatio,
    };
    return entryPoints;
}

CStabilisationAdapter::CStabilisationAdapter(const QuellEntryPoints& quell) : quell_(quell) {}

CStabilisationAdapter::~CStabilisationAdapter() {
    EndStabilisation();
}

void CStabilisationAdapter::StartRun() {
    holder_ = std::make_unique<QuellHolder>();
    const int32_t h = holder_->handle = quell_.createHandle(kQuellFunctionMask);
    const QuellSettings s = ReadQuellSettings();
    // Three independent groups, each stopping at its first failure; what was
    // set before a failure stays in use and nothing is reported.
    (void)(quell_.setTrRetryCount(h, s.retryCount) == 0 &&
           quell_.setTrSteadiness(h, s.posSteadiness, s.sizeSteadiness) == 0);
    (void)(quell_.setPeThreshold(h, s.peThreshold) == 0 &&
           quell_.setPeAngle(h, s.peAngleUDMin, s.peAngleUDMax, s.peAngleLRMin, s.peAngleLRMax) ==
               0 &&
           quell_.setPeCompleteFrameCount(h, s.peFrame) == 0);
    (void)(quell_.setFrThreshold(h, s.frThreshold) == 0 &&
           quell_.setFrAngle(h, s.frAngleUDMin, s.frAngleUDMax, s.frAngleLRMin, s.frAngleLRMax) ==
               0 &&
           quell_.setFrCompleteFrameCount(h, s.frFrame) == 0 &&
           quell_.setFrAccountRatio(h, s.frRatio) == 0);
}

void CStabilisationAdapter::StabiliseFrame(RawDetectResult& raw,
                                           const std::uint8_t functionFlags[11], int bodyIds[35],
                                           int faceIds[35]) {
    if (!holder_) {
        StartRun();
    }

    const bool bodyOn = functionFlags[kFuncBody] != 0;
    const bool faceOn = functionFlags[kFuncFace] != 0;
    const bool ageOn = functionFlags[kFuncAge] != 0;
    const bool genderOn = functionFlags[kFuncGender] != 0;
    const bool recognitionOn = functionFlags[kFuncRecognition] != 0;

    QuellFrameInput& in = input_;
    std::memset(&in, 0, sizeof in);
    in.bodyCount = raw.bodyCount;
    in.faceCount = raw.faceCount;
    if (bodyOn) {
        const std::size_t n = std::min<std::size_t>(raw.bodyRecords.size(), QUELL_MAX_ENTRIES);
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint8_t* r = raw.bodyRecords[i].data();
            in.bodies[i] = {LoadLeI16(r), LoadLeI16(r + 2), LoadLeI16(r + 4), LoadLeI16(r + 6)};
        }
    }
    for (std::size_t j = 0; j < QUELL_MAX_ENTRIES; ++j) {
        QuellFaceInput& f = in.faces[j];
        if (faceOn && j < raw.faceRecords.size()) {
            const std::uint8_t* r = raw.faceRecords[j].data();
            f.x = LoadLeI16(r);
            f.y = LoadLeI16(r + 2);
            f.size = LoadLeI16(r + 4);
            f.confidence = LoadLeI16(r + 6);
        }
        if ((ageOn || genderOn || recognitionOn) && j < raw.directionRecords.size()) {
            const std::uint8_t* r = raw.directionRecords[j].data();
            f.yaw = LoadLeI16(r);
            f.pitch = LoadLeI16(r + 2);
            f.roll = LoadLeI16(r + 4);
            f.directionConfidence = LoadLeI16(r + 6);
        }
        // A function that is on but whose record did not arrive counts as
        // "no estimate", like a function that is off.
        f.age = f.ageConfidence = kOff;
        if (ageOn && j < raw.ageRecords.size()) {
            f.age = raw.ageRecords[j][0];  // unsigned, 0 to 255
            f.ageConfidence = LoadLeI16(raw.ageRecords[j].data() + 1);
        }
        f.gender = f.genderConfidence = kOff;
        if (genderOn && j < raw.genderRecords.size()) {
            f.gender = raw.genderRecords[j][0];
            f.genderConfidence = LoadLeI16(raw.genderRecords[j].data() + 1);
        }
        f.userId = f.recognitionScore = kOff;
        if (recognitionOn && j < raw.recognitionRecords.size()) {
            f.userId = LoadLeI16(raw.recognitionRecords[j].data());
            f.recognitionScore = LoadLeI16(raw.recognitionRecords[j].data() + 2);
        }
    }

    const int32_t h = holder_->handle;
    int32_t faceCount = 0;
    int32_t bodyCount = 0;
    if (quell_.setFrameResult(h, &in) != 0 || quell_.execute(h) != 0 ||
        quell_.getFaces(h, &faceCount, holder_->faceResults.data()) != 0 ||
        quell_.getBodies(h, &bodyCount, holder_->bodyResults.data()) != 0) {
        return;  // the frame stays as the module sent it
    }
    WriteBack(raw, faceCount, bodyCount, bodyIds, faceIds);
}

void CStabilisationAdapter::WriteBack(RawDetectResult& raw, int faceCount, int bodyCount,
                                      int bodyIds[35], int faceIds[35]) const {
    // The areas hold 35 results, whatever count the library reports.
    bodyCount = std::clamp(bodyCount, 0, QUELL_MAX_ENTRIES);
    faceCount = std::clamp(faceCount, 0, QUELL_MAX_ENTRIES);

    const int bodies = std::min<std::size_t>(bodyCount, raw.bodyRecords.size());
    for (int i = 0; i < bodies; ++i) {
        const QuellBodyResult& r = holder_->bodyResults[i];
        if (!Addresses(r.index, raw.bodyRecords.size())) {
            continue;
        }
        std::uint8_t* rec = raw.bodyRecords[r.index].data();
        StoreLe16(rec, r.x);
        StoreLe16(rec + 2, r.y);
        StoreLe16(rec + 4, r.size);
        bodyIds[r.index] = r.trackingId;
    }

    const int faces = std::min<std::size_t>(faceCount, raw.faceRecords.size());
    for (int i = 0; i < faces; ++i) {
        const QuellFaceResult& r = holder_->faceResults[i];
        if (!Addresses(r.index, raw.faceRecords.size())) {
            continue;
        }
        const std::size_t k = static_cast<std::size_t>(r.index);
        std::uint8_t* rec = raw.faceRecords[k].data();
        StoreLe16(rec, r.x);
        StoreLe16(rec + 2, r.y);
        StoreLe16(rec + 4, r.size);
        faceIds[k] = r.trackingId;

        if (k < raw.ageRecords.size()) {
            std::uint8_t* age = raw.ageRecords[k].data();
            AddMark(age + 1);
            if (r.ageState >= 1) {
                age[0] = static_cast<std::uint8_t>(r.age);
                AddMark(age + 1);
            }
        }
        if (k < raw.genderRecords.size()) {
            std::uint8_t* gender = raw.genderRecords[k].data();
            AddMark(gender + 1);
            if (r.genderState >= 1) {
                gender[0] = static_cast<std::uint8_t>(r.gender);
                AddMark(gender + 1);
            }
        }
        if (k < raw.recognitionRecords.size()) {
            std::uint8_t* recognition = raw.recognitionRecords[k].data();
            AddMark(recognition + 2);
            if (r.recognitionState >= 1) {
                StoreLe16(recognition, r.userId);
                AddMark(recognition + 2);
            }
        }
    }
}

void CStabilisationAdapter::EndStabilisation() {
    if (!holder_) {
        return;
    }
    quell_.clear(holder_->handle);
    if (holder_->handle != 0) {
        quell_.deleteHandle(holder_->handle);
    }
    holder_.reset();
}
