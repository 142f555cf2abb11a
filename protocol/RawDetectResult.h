#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/ResultRecords.h"

class CImageData;

// Execution flag bits of the Execute request, one per function in the order
// of the 11 function flags (body, hand, face, direction, age, gender, gaze,
// blink, expression, recognition, verify).
enum : std::uint16_t {
    kExecBody = 0x0001,
    kExecHand = 0x0002,
    kExecFace = 0x0004,
    kExecDirection = 0x0008,
    kExecAge = 0x0010,
    kExecGender = 0x0020,
    kExecGaze = 0x0040,
    kExecBlink = 0x0080,
    kExecExpression = 0x0100,
    kExecRecognition = 0x0200,
    kExecVerify = 0x0400,
};

// Indexes into the 11 function flags.
enum : int {
    kFuncBody = 0,
    kFuncHand,
    kFuncFace,
    kFuncDirection,
    kFuncAge,
    kFuncGender,
    kFuncGaze,
    kFuncBlink,
    kFuncExpression,
    kFuncRecognition,
    kFuncVerify,
    kFuncCount
};

// Image types of the Execute request.
enum : int { kImageNone = 0, kImageQvga = 1, kImageSmall = 2 };

// Pixel bytes the module sends for an image type (0 for none or unknown).
std::size_t ImageBytesForType(int imageType);

// Records of one Execute response, as raw little-endian bytes per kind, in
// response order. Filled by DecodeExecute; the stabiliser may edit them in
// place before ToFrameResult turns them into a CFrameResult.
struct RawDetectResult {
    std::uint8_t bodyCount = 0;  // counts from the response header
    std::uint8_t handCount = 0;
    std::uint8_t faceCount = 0;
    std::vector<std::array<std::uint8_t, 8>> bodyRecords;
    std::vector<std::array<std::uint8_t, 8>> handRecords;
    std::vector<std::array<std::uint8_t, 8>> faceRecords;  // face rectangle
    std::vector<std::array<std::uint8_t, 8>> directionRecords;
    std::vector<std::array<std::uint8_t, 3>> ageRecords;
    std::vector<std::array<std::uint8_t, 3>> genderRecords;
    std::vector<std::array<std::uint8_t, 2>> gazeRecords;
    std::vector<std::array<std::uint8_t, 4>> blinkRecords;
    std::vector<std::array<std::uint8_t, 8>>
        expressionRecords;  // 8-byte layout of CKytoExpressionRes
    std::vector<std::array<std::uint8_t, 4>> recognitionRecords;
    std::vector<std::array<std::uint8_t, 4>> verifyRecords;
    std::uint16_t imageWidth = 0;  // 0 when no image block was decoded
    std::uint16_t imageHeight = 0;
    // The caller's image buffer the pixels are copied into (may be null) and
    // its size in bytes.
    std::uint8_t* imagePixels = nullptr;
    std::size_t imageCapacity = 0;

    // Empties every list and the counts; keeps the image buffer and the
    // lists' storage.
    void Clear();
    // Points the image buffer at the image object's pixels.
    void AttachImage(CImageData& image);
};

// Stage 1: payload bytes to raw lists. Each record is taken only when the
// remaining bytes hold it whole; otherwise decoding stops and keeps what it
// has. extendedForm selects the six-byte expression form of ExecuteEx. The
// image block (type 1 or 2) is taken only when the payload holds the type's
// full size plus 4; at most min(W x H, the type's size, imageCapacity) pixels
// are copied. Returns the number of payload bytes consumed.
std::size_t DecodeExecute(std::size_t length, const std::uint8_t* payload, std::uint16_t flags,
                          int imageType, bool extendedForm, RawDetectResult& raw);

// Stage 2: raw lists to the records of a frame (clears the three lists and
// the info texts first). Face i gets member k from entry i of list k when it
// exists, else that member stays unfilled.
void ToFrameResult(const RawDetectResult& raw, CFrameResult& result);

// Execution flags from the 11 function flags (1 = on). With stabilisation on,
// age, gender or recognition also request the face direction, which the
// stabiliser needs; the function flags themselves are not changed.
std::uint16_t BuildExecutionFlags(const std::uint8_t functionFlags[11], bool stabilisation);

// Verify on without a selected user: one verify record "no verdict, no user
// selected" (value 100, score -1) per face of the header count.
void AppendVerifyFiller(RawDetectResult& raw);
