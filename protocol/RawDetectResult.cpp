#include "protocol/RawDetectResult.h"

#include <algorithm>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/ImageData.h"

namespace {

// Reads from the payload only while whole records remain.
class PayloadReader {
public:
    PayloadReader(const std::uint8_t* data, std::size_t length)
        : data_(data), remaining_(data == nullptr ? 0 : length) {}

    template <std::size_t N>
    bool Take(std::vector<std::array<std::uint8_t, N>>& list) {
        if (remaining_ < N) {
            return false;
        }
        std::array<std::uint8_t, N>& record = list.emplace_back();
        std::memcpy(record.data(), data_, N);
        Skip(N);
        return true;
    }
    bool Take(std::uint8_t* out, std::size_t n) {
        if (remaining_ < n) {
            return false;
        }
        std::memcpy(out, data_, n);
        Skip(n);
        return true;
    }
    void Skip(std::size_t n) {
        data_ += n;
        remaining_ -= n;
        consumed_ += n;
    }
    std::size_t Remaining() const { return remaining_; }
    std::size_t Consumed() const { return consumed_; }
    const std::uint8_t* Data() const { return data_; }

private:
    const std::uint8_t* data_;
    std::size_t remaining_;
    std::size_t consumed_ = 0;
};

// Three-byte form: code, score, degree. The bytes the wire does not carry
// (the five scores) read as "no score" so the result shows as sent.
std::array<std::uint8_t, 8> ExpressionFromShort(const std::uint8_t in[3]) {
    return {in[0], in[1], 0x80, 0x80, 0x80, 0x80, 0x80, in[2]};
}

// Six-byte form: five scores, degree. The wire carries no top code; byte 0
// holds the code of the highest score (first one on ties, 1 = neutral ...
// 5 = sadness), or -128 when no score was given, so that readers of the
// single code see the same answer as readers of the scores.
std::array<std::uint8_t, 8> ExpressionFromLong(const std::uint8_t in[6]) {
    int best = -1;
    int bestScore = -128;
    for (int i = 0; i < 5; ++i) {
        const int s = static_cast<std::int8_t>(in[i]);
        if (s > bestScore) {
            bestScore = s;
            best = i;
        }
    }
    const std::uint8_t code = best < 0 ? 0x80 : static_cast<std::uint8_t>(best + 1);
    return {code, 0x80, in[0], in[1], in[2], in[3], in[4], in[5]};
}

bool DecodeFace(PayloadReader& in, std::uint16_t flags, bool extendedForm, RawDetectResult& raw) {
    if ((flags & kExecFace) && !in.Take(raw.faceRecords)) {
        return false;
    }
    if ((flags & kExecDirection) && !in.Take(raw.directionRecords)) {
        return false;
    }
    if ((flags & kExecAge) && !in.Take(raw.ageRecords)) {
        return false;
    }
    if ((flags & kExecGender) && !in.Take(raw.genderRecords)) {
        return false;
    }
    if ((flags & kExecGaze) && !in.Take(raw.gazeRecords)) {
        return false;
    }
    if ((flags & kExecBlink) && !in.Take(raw.blinkRecords)) {
        return false;
    }
    if (flags & kExecExpression) {
        std::uint8_t wire[6];
        const std::size_t n = extendedForm ? 6 : 3;
        if (!in.Take(wire, n)) {
            return false;
        }
        raw.expressionRecords.push_back(extendedForm ? ExpressionFromLong(wire)
                                                     : ExpressionFromShort(wire));
    }
    if ((flags & kExecRecognition) && !in.Take(raw.recognitionRecords)) {
        return false;
    }
    if ((flags & kExecVerify) && !in.Take(raw.verifyRecords)) {
        return false;
    }
    return true;
}

}  // namespace

std::size_t ImageBytesForType(int imageType) {
    switch (imageType) {
        case kImageQvga:
            return 320 * 240;
        case kImageSmall:
            return 160 * 120;
        default:
            return 0;
    }
}

void RawDetectResult::Clear() {
    bodyCount = handCount = faceCount = 0;
    bodyRecords.clear();
    handRecords.clear();
    faceRecords.clear();
    directionRecords.clear();
    ageRecords.clear();
    genderRecords.clear();
    gazeRecords.clear();
    blinkRecords.clear();
    expressionRecords.clear();
    recognitionRecords.clear();
    verifyRecords.clear();
    imageWidth = imageHeight = 0;
}

void RawDetectResult::AttachImage(CImageData& image) {
    imagePixels = image.Pixels();
    imageCapacity = image.Size();
}

std::size_t DecodeExecute(std::size_t length, const std::uint8_t* payload, std::uint16_t flags,
                          int imageType, bool extendedForm, RawDetectResult& raw) {
    PayloadReader in(payload, length);
    std::uint8_t header[4];
    if (!in.Take(header, 4)) {
        return in.Consumed();
    }
    raw.bodyCount = header[0];
    raw.handCount = header[1];
    raw.faceCount = header[2];
    for (int i = 0; i < raw.bodyCount; ++i) {
        if (!in.Take(raw.bodyRecords)) {
            return in.Consumed();
        }
    }
    for (int i = 0; i < raw.handCount; ++i) {
        if (!in.Take(raw.handRecords)) {
            return in.Consumed();
        }
    }
    for (int i = 0; i < raw.faceCount; ++i) {
        if (!DecodeFace(in, flags, extendedForm, raw)) {
            return in.Consumed();
        }
    }
    const std::size_t typeBytes = ImageBytesForType(imageType);
    if (typeBytes == 0 || in.Remaining() < typeBytes + 4) {
        return in.Consumed();
    }
    raw.imageWidth = LoadLe16(in.Data());
    raw.imageHeight = LoadLe16(in.Data() + 2);
    in.Skip(4);
    // The stated geometry may claim more than the type holds or the caller's
    // buffer can take; never copy past either.
    std::size_t pixels = static_cast<std::size_t>(raw.imageWidth) * raw.imageHeight;
    pixels = std::min({pixels, typeBytes, raw.imagePixels ? raw.imageCapacity : 0});
    if (pixels > 0) {
        std::memcpy(raw.imagePixels, in.Data(), pixels);
    }
    in.Skip(typeBytes);
    return in.Consumed();
}

void ToFrameResult(const RawDetectResult& raw, CFrameResult& result) {
    result.bodies.clear();
    result.hands.clear();
    result.faces.clear();
    result.bodies.resize(raw.bodyRecords.size());
    for (std::size_t i = 0; i < raw.bodyRecords.size(); ++i) {
        result.bodies[i].SetRaw(raw.bodyRecords[i].data());
    }
    result.hands.resize(raw.handRecords.size());
    for (std::size_t i = 0; i < raw.handRecords.size(); ++i) {
        result.hands[i].SetRaw(raw.handRecords[i].data());
    }
    result.faces.resize(raw.faceCount);
    auto fill = [](CKytoResBase& member, const auto& list, std::size_t i) {
        if (i < list.size()) {
            member.SetRaw(list[i].data());
        }
    };
    for (std::size_t i = 0; i < raw.faceCount; ++i) {
        FaceResult& face = result.faces[i];
        fill(face.detect, raw.faceRecords, i);
        fill(face.direction, raw.directionRecords, i);
        fill(face.age, raw.ageRecords, i);
        fill(face.gender, raw.genderRecords, i);
        fill(face.gaze, raw.gazeRecords, i);
        fill(face.blink, raw.blinkRecords, i);
        fill(face.expression, raw.expressionRecords, i);
        fill(face.recognition, raw.recognitionRecords, i);
        fill(face.verify, raw.verifyRecords, i);
    }
    result.sendInfo.clear();
    result.recvInfo.clear();
}

std::uint16_t BuildExecutionFlags(const std::uint8_t functionFlags[11], bool stabilisation) {
    std::uint16_t flags = 0;
    for (int i = 0; i < kFuncCount; ++i) {
        if (functionFlags[i] == 1) {
            flags = static_cast<std::uint16_t>(flags | (1u << i));
        }
    }
    if (stabilisation && (flags & (kExecAge | kExecGender | kExecRecognition))) {
        flags |= kExecDirection;
    }
    return flags;
}

void AppendVerifyFiller(RawDetectResult& raw) {
    // value 100 (no verdict), score -1 (no user selected)
    const std::array<std::uint8_t, 4> filler = {100, 0, 0xFF, 0xFF};
    for (int i = 0; i < raw.faceCount; ++i) {
        raw.verifyRecords.push_back(filler);
    }
}
