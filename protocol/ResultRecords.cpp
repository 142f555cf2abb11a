#include "protocol/ResultRecords.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "base/ByteOrder.h"

namespace {

int Int8At(const std::uint8_t* p) {
    return static_cast<std::int8_t>(p[0]);
}

// The stabilisation adapter adds 10,000 to the confidence for a value being
// stabilised and 20,000 for a settled one; undo that and keep the state.
void ApplyMarks(int& confidence, int& state) {
    if (confidence > 1000) {
        confidence -= 10000;
        state = kStateStabilising;
        if (confidence > 1000) {
            confidence -= 10000;
            state = kStateSettled;
        }
    }
}

}  // namespace

int CKytoResBase::SetRaw(const std::uint8_t* raw) {
    if (raw == nullptr) {
        return -1;
    }
    valid_ = 1;
    return 0;
}

int CKytoDetectRes::SetRaw(const std::uint8_t* raw) {
    if (CKytoResBase::SetRaw(raw) != 0) {
        return -1;
    }
    x = LoadLeI16(raw);
    y = LoadLeI16(raw + 2);
    size = LoadLeI16(raw + 4);
    confidence = LoadLeI16(raw + 6);
    return 0;
}

int CKytoDirectRes::SetRaw(const std::uint8_t* raw) {
    if (CKytoResBase::SetRaw(raw) != 0) {
        return -1;
    }
    yaw = LoadLeI16(raw);
    pitch = LoadLeI16(raw + 2);
    roll = LoadLeI16(raw + 4);
    confidence = LoadLeI16(raw + 6);
    return 0;
}

int CKytoAgeRes::SetRaw(const std::uint8_t* raw) {
    if (CKytoResBase::SetRaw(raw) != 0) {
        return -1;
    }
    age = Int8At(raw);
    confidence = LoadLeI16(raw + 1);
    state = kStatePlain;
    ApplyMarks(confidence, state);
    return 0;
}

int CKytoGenderRes::SetRaw(const std::uint8_t* raw) {
    if (CKytoResBase::SetRaw(raw) != 0) {
        return -1;
    }
    gender = Int8At(raw);
    confidence = LoadLeI16(raw + 1);
    state = kStatePlain;
    ApplyMarks(confidence, state);
    return 0;
}

int CKytoGazeRes::SetRaw(const std::uint8_t* raw) {
    if (CKytoResBase::SetRaw(raw) != 0) {
        return -1;
    }
    yaw = Int8At(raw);
    pitch = Int8At(raw + 1);
    return 0;
}

int CKytoBlinkRes::SetRaw(const std::uint8_t* raw) {
    if (CKytoResBase::SetRaw(raw) != 0) {
        return -1;
    }
    left = LoadLeI16(raw);
    right = LoadLeI16(raw + 2);
    return 0;
}

int CKytoExpressionRes::SetRaw(const std::uint8_t* raw) {
    if (CKytoResBase::SetRaw(raw) != 0) {
        return -1;
    }
    expression = Int8At(raw);
    score = Int8At(raw + 1);
    for (int i = 0; i < 5; ++i) {
        scores[i] = Int8At(raw + 2 + i);
    }
    degree = Int8At(raw + 7);
    return 0;
}

int CKytoRecognitionRes::SetRaw(const std::uint8_t* raw) {
    if (CKytoResBase::SetRaw(raw) != 0) {
        return -1;
    }
    userId = LoadLeI16(raw);
    score = LoadLeI16(raw + 2);
    state = kStatePlain;
    ApplyMarks(score, state);
    return 0;
}

int CKytoVerifyRes::SetRaw(const std::uint8_t* raw) {
    if (CKytoResBase::SetRaw(raw) != 0) {
        return -1;
    }
    const int value = LoadLeI16(raw);
    result = value == 0 ? kVerifyMatch : (value == -1 ? kVerifyNoMatch : kVerifyNoVerdict);
    score = LoadLeI16(raw + 2);
    return 0;
}

const FaceResult* CFrameResult::FaceAt(int index) const {
    if (index < 0 || index >= static_cast<int>(faces.size())) {
        return nullptr;
    }
    return &faces[static_cast<std::size_t>(index)];
}

int CFrameResult::GetFaceDetect(int index, int& x, int& y, int& size, int& confidence,
                                int& trackingId) const {
    const FaceResult* f = FaceAt(index);
    if (f == nullptr || !f->detect.IsValid()) {
        x = y = size = confidence = trackingId = -1;
        return -1;
    }
    x = f->detect.x;
    y = f->detect.y;
    size = f->detect.size;
    confidence = f->detect.confidence;
    trackingId = f->detect.trackingId;
    return 0;
}

int CFrameResult::GetFaceDirection(int index, int& yaw, int& pitch, int& roll,
                                   int& confidence) const {
    const FaceResult* f = FaceAt(index);
    if (f == nullptr || !f->direction.IsValid()) {
        yaw = pitch = roll = confidence = -1;
        return -1;
    }
    yaw = f->direction.yaw;
    pitch = f->direction.pitch;
    roll = f->direction.roll;
    confidence = f->direction.confidence;
    return 0;
}

int CFrameResult::GetFaceAge(int index, int& age, int& confidence, int& state) const {
    const FaceResult* f = FaceAt(index);
    if (f == nullptr || !f->age.IsValid()) {
        age = confidence = state = -1;
        return -1;
    }
    age = f->age.age;
    confidence = f->age.confidence;
    state = f->age.state;
    return 0;
}

int CFrameResult::GetFaceGender(int index, int& gender, int& confidence, int& state) const {
    const FaceResult* f = FaceAt(index);
    if (f == nullptr || !f->gender.IsValid()) {
        gender = confidence = state = -1;
        return -1;
    }
    gender = f->gender.gender;
    confidence = f->gender.confidence;
    state = f->gender.state;
    return 0;
}

int CFrameResult::GetFaceGaze(int index, int& yaw, int& pitch) const {
    const FaceResult* f = FaceAt(index);
    if (f == nullptr || !f->gaze.IsValid()) {
        yaw = pitch = -1;
        return -1;
    }
    yaw = f->gaze.yaw;
    pitch = f->gaze.pitch;
    return 0;
}

int CFrameResult::GetFaceBlink(int index, int& left, int& right) const {
    const FaceResult* f = FaceAt(index);
    if (f == nullptr || !f->blink.IsValid()) {
        left = right = -1;
        return -1;
    }
    left = f->blink.left;
    right = f->blink.right;
    return 0;
}

int CFrameResult::GetFaceExpression(int index, int& expression, int& score, int& degree,
                                    int scores[5]) const {
    const FaceResult* f = FaceAt(index);
    const bool ok = f != nullptr && f->expression.IsValid();
    expression = ok ? f->expression.expression : -1;
    score = ok ? f->expression.score : -1;
    degree = ok ? f->expression.degree : -1;
    for (int i = 0; i < 5; ++i) {
        scores[i] = ok ? f->expression.scores[i] : -1;
    }
    return ok ? 0 : -1;
}

int CFrameResult::GetFaceRecognition(int index, int& userId, int& score, int& state) const {
    const FaceResult* f = FaceAt(index);
    if (f == nullptr || !f->recognition.IsValid()) {
        userId = score = state = -1;
        return -1;
    }
    userId = f->recognition.userId;
    score = f->recognition.score;
    state = f->recognition.state;
    return 0;
}

int CFrameResult::GetFaceVerify(int index, int& result, int& score) const {
    const FaceResult* f = FaceAt(index);
    if (f == nullptr || !f->verify.IsValid()) {
        result = score = -1;
        return -1;
    }
    result = f->verify.result;
    score = f->verify.score;
    return 0;
}

void GetRect(const CKytoDetectRes& detect, int& left, int& top, int& right, int& bottom) {
    if ((detect.x == -1 && detect.y == -1) || detect.size == -1) {
        left = top = right = bottom = -1;
        return;
    }
    const int half = detect.size / 2;
    left = detect.x - half;
    right = detect.x + half;
    top = detect.y - half;
    bottom = detect.y + half;
}

namespace {

CKytoDetectRes& DetectOf(CKytoDetectRes& r) {
    return r;
}
CKytoDetectRes& DetectOf(FaceResult& r) {
    return r.detect;
}

// Pass i of the selection sort: every later position whose ID is strictly
// smaller than the ID now at i swaps ID and origin with i. The pass ends as
// soon as the running ID is the smallest one left: nothing later is
// strictly smaller, so the rest of the pass could swap nothing. (The fuzz
// build leaves this scan out of its coverage feedback, see
// fuzz/coverage-ignore.txt: it would only slow every input down.)
void SelectionPass(int* id, std::size_t* origin, std::size_t i, std::size_t n, int smallest) {
    for (std::size_t k = i + 1; k < n && id[i] != smallest; ++k) {
        if (id[k] < id[i]) {
            std::swap(id[i], id[k]);
            std::swap(origin[i], origin[k]);
        }
    }
}

// The selection sort: for position i, every later position k whose ID is
// strictly smaller than the ID now at i swaps ID and record with i. It works
// on the IDs and the records' original places; each record is then moved
// once, in place, so a long list (a faulty answer may claim 255 faces)
// costs integer swaps, not swaps of whole records. The order is the one the sort gives,
// ties included.
//
// The sorted IDs say which ID each pass ends with, so that a pass can stop
// there: a long list of mostly untracked records then costs a short scan
// per position instead of a scan of the whole rest, and a list already in
// order (every list without stabilisation, where all IDs are -1) only gets
// its IDs stamped.
template <typename Record>
void SortRecords(std::vector<Record>& list, const int ids[35]) {
    const std::size_t n = list.size();
    const std::size_t tracked = std::min<std::size_t>(n, 35);
    std::vector<int> id(n, -1);
    std::copy(ids, ids + tracked, id.begin());
    if (std::is_sorted(id.begin(), id.end())) {
        for (std::size_t i = 0; i < n; ++i) {
            DetectOf(list[i]).trackingId = id[i];
        }
        return;
    }
    // The IDs in sorted order: those of the first 35 positions merged with
    // the -1 of every later one.
    std::vector<int> least(n, -1);
    std::vector<int> head(ids, ids + tracked);
    std::sort(head.begin(), head.end());
    std::merge(head.begin(), head.end(), id.begin() + static_cast<std::ptrdiff_t>(tracked),
               id.end(), least.begin());

    std::vector<std::size_t> from(n);
    for (std::size_t i = 0; i < n; ++i) {
        from[i] = i;
    }
    for (std::size_t i = 0; i < n; ++i) {
        SelectionPass(id.data(), from.data(), i, n, least[i]);
    }
    // Each record moves once, along the cycles of the permutation (a done
    // place is marked by from[i] == i).
    for (std::size_t start = 0; start < n; ++start) {
        if (from[start] == start) {
            continue;
        }
        Record carried = std::move(list[start]);
        std::size_t at = start;
        while (from[at] != start) {
            const std::size_t next = from[at];
            list[at] = std::move(list[next]);
            from[at] = at;
            at = next;
        }
        list[at] = std::move(carried);
        from[at] = at;
    }
    for (std::size_t i = 0; i < n; ++i) {
        DetectOf(list[i]).trackingId = id[i];
    }
}

}  // namespace

void SortByTrackingId(std::vector<CKytoDetectRes>& list, const int ids[35]) {
    SortRecords(list, ids);
}

void SortByTrackingId(std::vector<FaceResult>& list, const int ids[35]) {
    SortRecords(list, ids);
}
