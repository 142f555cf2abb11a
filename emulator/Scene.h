#pragma once

#include <cstdint>
#include <vector>

// A synthetic camera view: a room with a few people who walk in and out,
// sway, turn their heads, blink, raise their hands and change expression.
//
// Everything is computed in a 640 × 480 reference frame and scaled to the
// full-image size (detection coordinates) or to the transferred image, so the
// positions reported and the people drawn always line up. Time is the frame
// number times the frame step: the same seed and the same frame give the same
// picture and the same values, however the frames were asked for.
namespace kyto::emu {

constexpr double kRefWidth = 640.0;
constexpr double kRefHeight = 480.0;

struct PersonTraits {
    std::uint32_t identity = 0;
    int age = 30;
    int gender = 1;  // 1 male, 0 female
    double homeX = 320, homeY = 200, faceSize = 100;
    double swayAmp = 20, swayPeriod = 9, swayPhase = 0;
    double yawAmp = 25, yawPeriod = 7, yawPhase = 0;
    double pitchAmp = 8, rollAmp = 6;
    double blinkPeriod = 4, blinkPhase = 0;
    double exprPeriod = 6, exprPhase = 0;
    double handPeriod = 11, handPhase = 0;
    bool alwaysPresent = true;
    double presencePeriod = 30, presenceDuty = 0.6, presencePhase = 0;
    int skin = 200, hair = 60, clothes = 90;
};

// Where a person is and what they do at one instant (reference frame).
struct PersonPose {
    bool present = false;
    double faceX = 0, faceY = 0, faceSize = 0;
    double bodyX = 0, bodyY = 0, bodySize = 0;
    double handX[2] = {0, 0}, handY[2] = {0, 0}, handSize = 0;
    double handRaise[2] = {0, 0};         // 0 down at the side .. 1 fully raised
    double yaw = 0, pitch = 0, roll = 0;  // degrees
    double gazeYaw = 0, gazePitch = 0;
    double eyeOpen[2] = {1, 1};  // 0 closed .. 1 open (left, right)
    int expression = 1;          // 1 neutral, 2 happiness, 3 surprise, 4 anger, 5 sadness
    double expressionStrength = 0.7;
};

struct Detection {
    int x = 0, y = 0, size = 0, confidence = 0;  // full-image coordinates
};

struct FaceObservation {
    int person = 0;
    std::uint32_t identity = 0;
    Detection face;
    int yaw = 0, pitch = 0, roll = 0, directionConfidence = 0;
    bool estimable = true;  // false when the face is turned too far for estimates
    int age = 0, ageConfidence = 0;
    int gender = 0, genderConfidence = 0;
    int gazeYaw = 0, gazePitch = 0;
    int blinkLeft = 0, blinkRight = 0;
    int scores[5] = {0, 0, 0, 0, 0};  // neutral, happiness, surprise, anger, sadness (sum 100)
    int expression = 1;               // code of the top score
    int degree = 0;                   // -100 negative .. 100 positive
    double frontality = 1.0;          // 1 frontal .. 0 turned away, for recognition scores
};

struct Observation {
    std::vector<Detection> bodies;
    std::vector<Detection> hands;
    std::vector<FaceObservation> faces;
};

// The module's detection settings that decide what is reported.
struct DetectionSettings {
    int bodyThreshold = 500, handThreshold = 500, faceThreshold = 500;
    int bodyMin = 30, bodyMax = 8192, handMin = 40, handMax = 8192, faceMin = 64, faceMax = 8192;
    int yawCode = 2;   // 0 ±30°, 1 ±60°, 2 ±90°
    int rollCode = 1;  // 0 ±15°, 1 ±45°
    int fullWidth = 640, fullHeight = 480;
};

// Grey image target: width × height bytes, one per pixel, row by row.
struct GreyImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

class CScene {
public:
    static constexpr int kMaxPeople = 8;

    CScene(std::uint64_t seed, int people, double frameSeconds = 0.1);

    int People() const { return static_cast<int>(traits_.size()); }
    const PersonTraits& Traits(int person) const { return traits_[person]; }
    double TimeOf(std::int64_t frame) const { return static_cast<double>(frame) * frameSeconds_; }

    PersonPose PoseAt(int person, std::int64_t frame) const;

    // What the module reports for this frame under these settings, largest
    // first; the values carry a little measurement noise.
    Observation Observe(std::int64_t frame, const DetectionSettings& settings) const;

    // The camera image scaled to width × height (4:3).
    void Render(std::int64_t frame, int width, int height, GreyImage& image) const;
    // A close-up of one person's face, size × size pixels (the registration picture).
    void RenderFace(std::int64_t frame, int person, int size, GreyImage& image) const;

private:
    // Renders the reference frame mapped by x' = (x - originX) * scale.
    void RenderView(std::int64_t frame, double originX, double originY, double scale,
                    GreyImage& image) const;
    double Noise(std::int64_t frame, int person, int quantity) const;  // [-1, 1)

    std::uint64_t seed_;
    double frameSeconds_;
    std::vector<PersonTraits> traits_;
};

}  // namespace kyto::emu
