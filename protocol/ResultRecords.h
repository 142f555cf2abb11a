#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Detection results of one Execute frame. Every record fills itself from the
// raw little-endian bytes of its kind (see RawDetectResult.h); everything
// downstream (overlay, text log, log files) only reads them.

// Special values shared with the display.
enum : int {
    kNoEstimate = -128,        // age, gender, expression, recognition: the module gave no estimate
    kNoDataRegistered = -127,  // recognition / verify: nothing registered
    kNoUserMatched = -1,       // recognition user ID: no registered user matched
};

// Verify verdicts (CKytoVerifyRes::result).
enum : int { kVerifyMatch = 0, kVerifyNoMatch = 1, kVerifyNoVerdict = 2 };

// Stabilisation state of age, gender and recognition records.
enum : int { kStatePlain = -1, kStateStabilising = 0, kStateSettled = 1 };

class CKytoResBase {
public:
    virtual ~CKytoResBase() = default;
    // Fills the record from its raw bytes. Returns -1 (record stays unfilled)
    // when raw is null, else marks the record filled and returns 0.
    virtual int SetRaw(const std::uint8_t* raw);
    virtual std::uint8_t IsValid() const { return valid_; }
    // For code that builds records by hand (tests, fixtures).
    void SetValid(bool valid) { valid_ = valid ? 1 : 0; }

protected:
    std::uint8_t valid_ = 0;
};

// Body, hand and face rectangles: 8 bytes x, y, size, confidence (int16).
class CKytoDetectRes : public CKytoResBase {
public:
    int SetRaw(const std::uint8_t* raw) override;  // tracking ID untouched
    int x = -1;
    int y = -1;
    int size = -1;
    int confidence = -1;
    int trackingId = -1;
};

// 8 bytes: yaw, pitch, roll, confidence (int16).
class CKytoDirectRes : public CKytoResBase {
public:
    int SetRaw(const std::uint8_t* raw) override;
    int yaw = 0;
    int pitch = 0;
    int roll = 0;
    int confidence = -1;
};

// 3 bytes: age int8, confidence int16; stabilisation marks decoded from the
// confidence (+10,000 stabilising, +20,000 settled).
class CKytoAgeRes : public CKytoResBase {
public:
    int SetRaw(const std::uint8_t* raw) override;
    int age = -1;
    int confidence = -1;
    int state = kStatePlain;
};

// 3 bytes: gender int8 (1 male, 0 female), confidence int16; marks as age.
class CKytoGenderRes : public CKytoResBase {
public:
    int SetRaw(const std::uint8_t* raw) override;
    int gender = -1;
    int confidence = -1;
    int state = kStatePlain;
};

// 2 bytes: yaw int8, pitch int8.
class CKytoGazeRes : public CKytoResBase {
public:
    int SetRaw(const std::uint8_t* raw) override;
    int yaw = 0;
    int pitch = 0;
};

// 4 bytes: left int16, right int16.
class CKytoBlinkRes : public CKytoResBase {
public:
    int SetRaw(const std::uint8_t* raw) override;
    int left = -1;
    int right = -1;
};

// 8 bytes (built by the decoder from the 3- or 6-byte wire form): byte 0 top
// expression code, byte 1 its score (-128 in the five-score form), bytes 2..6
// the scores of neutral, happiness, surprise, anger, sadness, byte 7 degree;
// all int8.
class CKytoExpressionRes : public CKytoResBase {
public:
    int SetRaw(const std::uint8_t* raw) override;
    int expression = -1;
    int score = -1;
    int degree = 0;
    int scores[5] = {-1, -1, -1, -1, -1};
};

// 4 bytes: user ID int16, score int16; the marks apply to the score.
class CKytoRecognitionRes : public CKytoResBase {
public:
    int SetRaw(const std::uint8_t* raw) override;
    int userId = -1;
    int score = -1;
    int state = kStatePlain;
};

// 4 bytes: value int16 (0 match, -1 no match, anything else no verdict),
// score int16 (for no verdict: -128 no estimate, -127 nothing registered,
// other values no user selected).
class CKytoVerifyRes : public CKytoResBase {
public:
    int SetRaw(const std::uint8_t* raw) override;
    int result = kVerifyNoVerdict;
    int score = -1;
};

// Everything known about one face; a fresh record has all members at their
// defaults and unfilled.
struct FaceResult {
    CKytoDetectRes detect;
    CKytoDirectRes direction;
    CKytoAgeRes age;
    CKytoGenderRes gender;
    CKytoGazeRes gaze;
    CKytoBlinkRes blink;
    CKytoExpressionRes expression;
    CKytoRecognitionRes recognition;
    CKytoVerifyRes verify;
};

// One frame. The camera image does not travel here; it goes into the
// caller's image object.
class CFrameResult {
public:
    std::vector<CKytoDetectRes> bodies;  // response order, or by tracking ID when stabilised
    std::vector<CKytoDetectRes> hands;   // response order
    std::vector<FaceResult> faces;       // response order, or by tracking ID when stabilised
    std::string sendInfo;                // link send info after a failure, else empty
    std::string recvInfo;                // link receive info after a failure, else empty

    int BodyCount() const { return static_cast<int>(bodies.size()); }
    int HandCount() const { return static_cast<int>(hands.size()); }
    int FaceCount() const { return static_cast<int>(faces.size()); }

    // Face field accessors: 0 and the member's values, or -1 with every
    // output -1 when the index is outside the list or the member is unfilled.
    int GetFaceDetect(int index, int& x, int& y, int& size, int& confidence, int& trackingId) const;
    int GetFaceDirection(int index, int& yaw, int& pitch, int& roll, int& confidence) const;
    int GetFaceAge(int index, int& age, int& confidence, int& state) const;
    int GetFaceGender(int index, int& gender, int& confidence, int& state) const;
    int GetFaceGaze(int index, int& yaw, int& pitch) const;
    int GetFaceBlink(int index, int& left, int& right) const;
    int GetFaceExpression(int index, int& expression, int& score, int& degree, int scores[5]) const;
    int GetFaceRecognition(int index, int& userId, int& score, int& state) const;
    int GetFaceVerify(int index, int& result, int& score) const;

private:
    const FaceResult* FaceAt(int index) const;
};

// Rectangle of a detection: centre x, y and size give left/top/right/bottom
// (half = size / 2); all four are -1 when x and y are both -1 or size is -1.
void GetRect(const CKytoDetectRes& detect, int& left, int& top, int& right, int& bottom);

// Orders a list by the tracking IDs the stabiliser gave its positions
// (ids[i] for list position i, -1 = untracked; positions past 35 count as
// untracked) with a selection sort, then stamps each record with its ID.
// Untracked records come first. Bodies and faces are sorted separately;
// hands never.
void SortByTrackingId(std::vector<CKytoDetectRes>& list, const int ids[35]);
void SortByTrackingId(std::vector<FaceResult>& list, const int ids[35]);
