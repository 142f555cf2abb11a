#pragma once

/*
 * libquell: frame-to-frame stabilisation of detected bodies and faces.
 *
 * A caller creates a handle, configures it, and then for every frame hands in
 * the detections (QuellSetFrameResult), runs QuellExecute and reads the
 * results back (QuellGetFaces, QuellGetBodies). All functions take and return
 * 32-bit ints; 0 means success, the negative QUELL_ERROR_* codes failure.
 * Handles are independent of each other and may be used from different
 * threads; a null or unknown handle is reported as QUELL_ERROR_HANDLE.
 *
 * How it works
 *
 * Tracking (bodies and faces separately, at most 35 tracks each). Every track
 * remembers its last detection and a damped velocity, which predicts where
 * the detection should be now. Each detection/track pair whose centre
 * distance to the prediction is within two sizes and whose sizes differ by
 * less than a factor of 2.5 is a candidate; its cost is the distance plus
 * half the size difference, both in units of the larger size. Candidates are
 * taken greedily, cheapest
 * first. A track without a detection is kept (not reported) for the retry
 * count of frames and then dropped; a detection without a track opens a new
 * one with the next tracking ID (0, 1, 2 ... per kind, restarting after
 * QuellClear). When all 35 tracks are taken, the one unseen for longest makes
 * room. Detections with a size of 0 or less are ignored.
 *
 * Smoothing. Position and size follow the detection with a gain that depends
 * on the change d relative to the smoothed size S and on the steadiness,
 * k = 1 - (1 - steadiness / 100)^2 (0 follows the detections exactly, 30
 * gives k = 0.51, 100 gives 1): a change within the dead band k * S / 10 is
 * followed by only (1 - k) / 4 of it, a larger one by the fraction
 * (1 - k) + k * |d| / S, and a change larger than S (a jump of more than the
 * face size) is taken at once. A larger steadiness therefore suppresses small
 * wobble more while real moves are still followed.
 *
 * Settling (faces). Age and gender samples are collected from frames whose
 * pitch and yaw lie inside the Pe angle window (bounds included) and whose
 * confidence reaches the Pe threshold; values of 128 and above (the byte of
 * "no estimate" seen as unsigned) are not samples. Once the Pe complete frame
 * count is reached the age becomes the median of the samples and the gender
 * the majority (a tie goes to the latest sample), reported with state 1 and
 * kept for the life of the track. Until then the state is 0 and the value is
 * the frame's own. Recognition collects frames inside the Fr angle window
 * that carry an estimate (user ID not -128 or -127); a user named with a
 * score below the Fr threshold counts as "no registered user" (-1). Over the
 * last Fr complete frame count samples, the most named user is settled as
 * soon as its share reaches the account ratio (percent). A complete frame
 * count of 0 is taken as 1.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QUELL_API __attribute__((visibility("default")))

#define QUELL_MAX_ENTRIES 35

#define QUELL_OK 0
#define QUELL_ERROR_HANDLE (-1)   /* null or unknown handle */
#define QUELL_ERROR_ARGUMENT (-2) /* null pointer or value out of its range */
#define QUELL_ERROR_SEQUENCE (-3) /* QuellExecute without a new frame */

/* Function mask bits (the layout of the execution flags). */
#define QUELL_FUNCTION_BODY 0x0001
#define QUELL_FUNCTION_FACE 0x0004
#define QUELL_FUNCTION_DIRECTION 0x0008
#define QUELL_FUNCTION_AGE 0x0010
#define QUELL_FUNCTION_GENDER 0x0020
#define QUELL_FUNCTION_RECOGNITION 0x0200
#define QUELL_FUNCTION_ALL 0x07FF

/* Ranges accepted by the setters (others give QUELL_ERROR_ARGUMENT). */
#define QUELL_MAX_RETRY_COUNT 1000
#define QUELL_MAX_STEADINESS 100
#define QUELL_MAX_THRESHOLD 1000
#define QUELL_MAX_ANGLE 180
#define QUELL_MAX_FRAME_COUNT 255
#define QUELL_MAX_RATIO 100

typedef struct QuellBodyInput {
    int32_t x;
    int32_t y;
    int32_t size;
    int32_t confidence;
} QuellBodyInput;

typedef struct QuellFaceInput {
    int32_t x;
    int32_t y;
    int32_t size;
    int32_t confidence;
    int32_t yaw;
    int32_t pitch;
    int32_t roll;
    int32_t directionConfidence;
    int32_t age;           /* 0..255, the device byte taken as unsigned */
    int32_t ageConfidence; /* -128 when age estimation is off */
    int32_t gender;        /* 0 female, 1 male; 0..255 as age */
    int32_t genderConfidence;
    int32_t reserved[10]; /* not used */
    int32_t userId;       /* -1 no match, -127 nothing registered, -128 no estimate */
    int32_t recognitionScore;
} QuellFaceInput;

/* One frame as handed in; counts outside 0..35 are clamped. */
typedef struct QuellFrameInput {
    int32_t bodyCount;
    QuellBodyInput bodies[QUELL_MAX_ENTRIES];
    int32_t faceCount;
    QuellFaceInput faces[QUELL_MAX_ENTRIES];
} QuellFrameInput;

/* States: 0 still collecting (value is the frame's own), 1 settled. */
typedef struct QuellFaceResult {
    int32_t index; /* position of the face in this frame's input */
    int32_t trackingId;
    int32_t x;
    int32_t y;
    int32_t size;
    int32_t confidence; /* the frame's own */
    int32_t yaw;
    int32_t pitch;
    int32_t roll;
    int32_t directionConfidence;
    int32_t reserved40;
    int32_t ageState;
    int32_t ageFrames; /* samples collected so far */
    int32_t age;
    int32_t genderState;
    int32_t genderFrames;
    int32_t gender;
    int32_t reserved68[10];
    int32_t recognitionState;
    int32_t recognitionFrames;
    int32_t userId;
} QuellFaceResult;

typedef struct QuellBodyResult {
    int32_t index; /* position of the body in this frame's input */
    int32_t trackingId;
    int32_t reserved8;
    int32_t x;
    int32_t y;
    int32_t size;
} QuellBodyResult;

/* Returns a new handle, or 0 when the mask has bits above bit 10 or too many
 * handles are open. */
QUELL_API int32_t QuellCreateHandle(int32_t functionMask);
QUELL_API int32_t QuellDeleteHandle(int32_t handle);
/* Discards every track and the pending frame; the configuration stays. */
QUELL_API int32_t QuellClear(int32_t handle);

/* Copies one frame (a QuellFrameInput, 3928 bytes). */
QUELL_API int32_t QuellSetFrameResult(int32_t handle, const void* frameInput);
QUELL_API int32_t QuellExecute(int32_t handle);
/* Write *count results of the last QuellExecute into area (room for 35
 * QuellFaceResult / QuellBodyResult), in input order. */
QUELL_API int32_t QuellGetFaces(int32_t handle, int32_t* count, void* area);
QUELL_API int32_t QuellGetBodies(int32_t handle, int32_t* count, void* area);

QUELL_API int32_t QuellSetTrRetryCount(int32_t handle, int32_t retryCount);
QUELL_API int32_t QuellSetTrSteadiness(int32_t handle, int32_t positionSteadiness,
                                       int32_t sizeSteadiness);
QUELL_API int32_t QuellSetPeThreshold(int32_t handle, int32_t threshold);
QUELL_API int32_t QuellSetPeAngle(int32_t handle, int32_t pitchMin, int32_t pitchMax,
                                  int32_t yawMin, int32_t yawMax);
QUELL_API int32_t QuellSetPeCompleteFrameCount(int32_t handle, int32_t frameCount);
QUELL_API int32_t QuellSetFrThreshold(int32_t handle, int32_t threshold);
QUELL_API int32_t QuellSetFrAngle(int32_t handle, int32_t pitchMin, int32_t pitchMax,
                                  int32_t yawMin, int32_t yawMax);
QUELL_API int32_t QuellSetFrCompleteFrameCount(int32_t handle, int32_t frameCount);
QUELL_API int32_t QuellSetFrAccountRatio(int32_t handle, int32_t ratio);

#ifdef __cplusplus
}

#include <cstddef>

static_assert(sizeof(QuellBodyInput) == 16);
static_assert(sizeof(QuellFaceInput) == 96);
static_assert(offsetof(QuellFaceInput, age) == 32);
static_assert(offsetof(QuellFaceInput, userId) == 88);
static_assert(sizeof(QuellFrameInput) == 3928);
static_assert(offsetof(QuellFrameInput, bodies) == 4);
static_assert(offsetof(QuellFrameInput, faceCount) == 564);
static_assert(offsetof(QuellFrameInput, faces) == 568);
static_assert(sizeof(QuellFaceResult) == 120);
static_assert(offsetof(QuellFaceResult, trackingId) == 4);
static_assert(offsetof(QuellFaceResult, x) == 8);
static_assert(offsetof(QuellFaceResult, y) == 12);
static_assert(offsetof(QuellFaceResult, size) == 16);
static_assert(offsetof(QuellFaceResult, ageState) == 44);
static_assert(offsetof(QuellFaceResult, age) == 52);
static_assert(offsetof(QuellFaceResult, genderState) == 56);
static_assert(offsetof(QuellFaceResult, gender) == 64);
static_assert(offsetof(QuellFaceResult, recognitionState) == 108);
static_assert(offsetof(QuellFaceResult, userId) == 116);
static_assert(sizeof(QuellBodyResult) == 24);
static_assert(offsetof(QuellBodyResult, trackingId) == 4);
static_assert(offsetof(QuellBodyResult, x) == 12);
static_assert(offsetof(QuellBodyResult, y) == 16);
static_assert(offsetof(QuellBodyResult, size) == 20);
#endif
