#include "emulator/Scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "emulator/Random.h"

namespace kyto::emu {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kWalkSeconds = 2.0;  // time to walk in from the edge or out to it

double Wave(double t, double period, double phase) {
    return std::sin(kTwoPi * t / period + phase);
}

double Clamp(double v, double lo, double hi) {
    return std::min(hi, std::max(lo, v));
}

int ClampInt(double v, int lo, int hi) {
    return static_cast<int>(
        std::lround(Clamp(v, static_cast<double>(lo), static_cast<double>(hi))));
}

double Smooth(double k) {
    return k * k * (3.0 - 2.0 * k);
}

// Quantities that draw noise, one stream each.
enum Quantity {
    kQBodyX,
    kQBodyY,
    kQBodySize,
    kQBodyConf,
    kQHandX,
    kQHandY = kQHandX + 2,
    kQHandSize = kQHandY + 2,
    kQHandConf = kQHandSize + 2,
    kQFaceX = kQHandConf + 2,
    kQFaceY,
    kQFaceSize,
    kQFaceConf,
    kQYaw,
    kQPitch,
    kQRoll,
    kQDirConf,
    kQAge,
    kQAgeConf,
    kQGenderConf,
    kQGazeYaw,
    kQGazePitch,
    kQBlinkL,
    kQBlinkR,
    kQExprScore,
    kQExprDegree,
    kQExprRest
};

}  // namespace

CScene::CScene(std::uint64_t seed, int people, double frameSeconds)
    : seed_(seed), frameSeconds_(frameSeconds > 0 ? frameSeconds : 0.1) {
    people = std::clamp(people, 0, kMaxPeople);
    for (int i = 0; i < people; ++i) {
        auto u = [&](int k) {
            return UnitOf(HashOf(
                {seed, 0x7E0ull, static_cast<std::uint64_t>(i), static_cast<std::uint64_t>(k)}));
        };
        PersonTraits p;
        p.identity =
            static_cast<std::uint32_t>(HashOf({seed, 0x1D0ull, static_cast<std::uint64_t>(i)}));
        p.age = 18 + static_cast<int>(u(0) * 52);
        p.gender = u(1) < 0.5 ? 1 : 0;
        p.swayPeriod = 8 + 4 * u(2);
        p.swayPhase = kTwoPi * u(3);
        p.yawPeriod = 6 + 4 * u(4);
        p.yawPhase = kTwoPi * u(5);
        p.blinkPeriod = 3 + 3 * u(6);
        p.blinkPhase = p.blinkPeriod * u(7);
        p.exprPeriod = 5 + 4 * u(8);
        p.exprPhase = p.exprPeriod * u(9);
        p.handPeriod = 9 + 6 * u(10);
        p.handPhase = kTwoPi * u(11);
        p.presencePhase = u(12);
        p.skin = 185 + static_cast<int>(u(13) * 35);
        p.hair = 30 + static_cast<int>(u(14) * 60);
        p.clothes = 50 + static_cast<int>(u(15) * 80);
        switch (i) {
            case 0:  // the one in front of the camera: always there, never turned far
                p.homeX = 320 + 20 * (u(16) - 0.5);
                p.homeY = 185;
                p.faceSize = 100 + 10 * u(17);
                p.swayAmp = 25;
                p.yawAmp = 22;
                p.pitchAmp = 8;
                p.rollAmp = 7;
                break;
            case 1:
                p.homeX = 150;
                p.homeY = 215;
                p.faceSize = 78 + 8 * u(17);
                p.swayAmp = 20;
                p.yawAmp = 65;
                p.alwaysPresent = false;
                p.presencePeriod = 24 + 6 * u(18);
                p.presenceDuty = 0.55;
                break;
            case 2:
                p.homeX = 500;
                p.homeY = 200;
                p.faceSize = 68 + 8 * u(17);
                p.swayAmp = 18;
                p.yawAmp = 50;
                p.rollAmp = 22;
                p.alwaysPresent = false;
                p.presencePeriod = 30 + 8 * u(18);
                p.presenceDuty = 0.6;
                break;
            default:
                p.homeX = 80 + 480 * u(16);
                p.homeY = 170 + 50 * u(19);
                p.faceSize = 50 + 20 * u(17);
                p.swayAmp = 15 + 20 * u(20);
                p.yawAmp = 30 + 40 * u(21);
                p.rollAmp = 5 + 15 * u(22);
                p.alwaysPresent = false;
                p.presencePeriod = 20 + 20 * u(18);
                p.presenceDuty = 0.4 + 0.3 * u(23);
                break;
        }
        traits_.push_back(p);
    }
}

double CScene::Noise(std::int64_t frame, int person, int quantity) const {
    return SignedUnitOf(
        HashOf({seed_, static_cast<std::uint64_t>(frame), static_cast<std::uint64_t>(person),
                static_cast<std::uint64_t>(quantity)}));
}

PersonPose CScene::PoseAt(int person, std::int64_t frame) const {
    const PersonTraits& p = traits_[person];
    const double t = TimeOf(frame);
    PersonPose pose;
    double walk = 1.0;  // 1 at home, 0 at the edge of the picture
    if (!p.alwaysPresent) {
        const double cycle = t / p.presencePeriod + p.presencePhase;
        const double since = (cycle - std::floor(cycle)) * p.presencePeriod;
        const double stay = p.presenceDuty * p.presencePeriod;
        if (since >= stay) {
            return pose;
        }
        walk = Smooth(Clamp(std::min(since, stay - since) / kWalkSeconds, 0.0, 1.0));
    }
    pose.present = true;
    const double edge = p.homeX < kRefWidth / 2 ? -0.25 * kRefWidth : 1.25 * kRefWidth;
    const double home = p.homeX + p.swayAmp * Wave(t, p.swayPeriod, p.swayPhase);
    pose.faceX = edge + (home - edge) * walk;
    pose.faceY = p.homeY + 6 * Wave(t, p.swayPeriod * 0.7, p.swayPhase + 1.0);
    pose.faceSize = p.faceSize * (1.0 + 0.06 * Wave(t, p.swayPeriod * 1.3, p.swayPhase + 2.0));
    const double fs = pose.faceSize;

    pose.yaw = p.yawAmp * Wave(t, p.yawPeriod, p.yawPhase);
    if (walk < 1.0) {  // walking people look where they go
        pose.yaw = pose.yaw * walk + (edge < 0 ? -40.0 : 40.0) * (1.0 - walk);
    }
    pose.pitch = p.pitchAmp * Wave(t, p.yawPeriod * 1.6, p.yawPhase * 0.7);
    pose.roll = p.rollAmp * Wave(t, p.yawPeriod * 2.3, p.yawPhase + 1.1);
    pose.gazeYaw = -0.5 * pose.yaw + 15 * Wave(t, 3.1, p.yawPhase);
    pose.gazePitch = -0.4 * pose.pitch + 8 * Wave(t, 4.3, p.swayPhase);

    pose.bodyX = pose.faceX;
    pose.bodyY = pose.faceY + 1.75 * fs;
    pose.bodySize = 2.4 * fs;
    pose.handSize = 0.75 * fs;
    for (int k = 0; k < 2; ++k) {
        const double raise = Clamp(
            1.4 * Wave(t, p.handPeriod, p.handPhase + k * std::numbers::pi * 0.7) - 0.4, 0.0, 1.0);
        pose.handRaise[k] = raise;
        const double side = k == 0 ? -1.0 : 1.0;
        pose.handX[k] = pose.faceX + side * (1.05 + 0.3 * raise) * fs;
        pose.handY[k] = pose.faceY + 2.2 * fs - raise * 2.3 * fs;
    }

    const double inBlink = std::fmod(t + p.blinkPhase, p.blinkPeriod);
    for (int k = 0; k < 2; ++k) {
        const double b = inBlink - 0.03 * k;  // the eyes close not quite together
        pose.eyeOpen[k] = (b >= 0 && b < 0.3) ? std::fabs(b / 0.15 - 1.0) : 1.0;
    }

    const auto phase = static_cast<std::uint64_t>(std::floor((t + p.exprPhase) / p.exprPeriod));
    const std::uint64_t h = HashOf({seed_, 0xE8ull, static_cast<std::uint64_t>(person), phase});
    pose.expression = 1 + static_cast<int>(h % 5);
    pose.expressionStrength = 0.5 + 0.45 * UnitOf(Mix64(h));
    return pose;
}

Observation CScene::Observe(std::int64_t frame, const DetectionSettings& s) const {
    static constexpr int kYawLimit[3] = {30, 60, 90};
    static constexpr int kRollLimit[2] = {15, 45};
    const double sx = s.fullWidth / kRefWidth;
    const double sy = s.fullHeight / kRefHeight;
    const int yawLimit = kYawLimit[std::clamp(s.yawCode, 0, 2)];
    const int rollLimit = kRollLimit[std::clamp(s.rollCode, 0, 1)];
    auto inView = [](double x, double y) {
        return x >= 0 && x < kRefWidth && y >= 0 && y < kRefHeight;
    };
    auto inRange = [](int v, int lo, int hi) { return v >= lo && v <= hi; };

    Observation obs;
    for (int i = 0; i < People(); ++i) {
        const PersonPose pose = PoseAt(i, frame);
        if (!pose.present) {
            continue;
        }
        auto n = [&](int q) { return Noise(frame, i, q); };

        // The body box centre may be below the picture; the shoulders must show.
        if (inView(pose.bodyX, std::min(pose.bodyY, kRefHeight - 1))) {
            Detection d;
            d.x = static_cast<int>(std::lround((pose.bodyX + 1.5 * n(kQBodyX)) * sx));
            d.y = static_cast<int>(std::lround((pose.bodyY + 1.5 * n(kQBodyY)) * sy));
            d.size = static_cast<int>(std::lround(pose.bodySize * (1 + 0.02 * n(kQBodySize)) * sx));
            d.confidence = ClampInt(800 + 120 * n(kQBodyConf), 1, 1000);
            if (d.confidence >= s.bodyThreshold && inRange(d.size, s.bodyMin, s.bodyMax)) {
                obs.bodies.push_back(d);
            }
        }
        for (int k = 0; k < 2; ++k) {
            if (pose.handRaise[k] <= 0.05 || !inView(pose.handX[k], pose.handY[k])) {
                continue;  // a hand down at the side is hidden by the body
            }
            Detection d;
            d.x = static_cast<int>(std::lround((pose.handX[k] + 1.5 * n(kQHandX + k)) * sx));
            d.y = static_cast<int>(std::lround((pose.handY[k] + 1.5 * n(kQHandY + k)) * sy));
            d.size =
                static_cast<int>(std::lround(pose.handSize * (1 + 0.03 * n(kQHandSize + k)) * sx));
            d.confidence =
                ClampInt(350 + 600 * pose.handRaise[k] + 40 * n(kQHandConf + k), 1, 1000);
            if (d.confidence >= s.handThreshold && inRange(d.size, s.handMin, s.handMax)) {
                obs.hands.push_back(d);
            }
        }

        if (!inView(pose.faceX, pose.faceY)) {
            continue;
        }
        FaceObservation f;
        f.person = i;
        f.identity = traits_[i].identity;
        f.yaw = ClampInt(pose.yaw + 2 * n(kQYaw), -90, 90);
        f.pitch = ClampInt(pose.pitch + 2 * n(kQPitch), -90, 90);
        f.roll = ClampInt(pose.roll + 2 * n(kQRoll), -90, 90);
        if (std::abs(f.yaw) > yawLimit || std::abs(f.roll) > rollLimit) {
            continue;
        }
        f.face.x = static_cast<int>(std::lround((pose.faceX + 1.5 * n(kQFaceX)) * sx));
        f.face.y = static_cast<int>(std::lround((pose.faceY + 1.5 * n(kQFaceY)) * sy));
        f.face.size =
            static_cast<int>(std::lround(pose.faceSize * (1 + 0.02 * n(kQFaceSize)) * sx));
        f.face.confidence = ClampInt(
            960 - 5 * std::fabs(pose.yaw) - 3 * std::fabs(pose.roll) + 25 * n(kQFaceConf), 1, 1000);
        if (f.face.confidence < s.faceThreshold || !inRange(f.face.size, s.faceMin, s.faceMax)) {
            continue;
        }
        f.frontality = std::cos(pose.yaw * std::numbers::pi / 180.0);
        f.directionConfidence = ClampInt(500 + 400 * f.frontality + 30 * n(kQDirConf), 1, 1000);
        f.estimable = std::fabs(pose.yaw) <= 45.0;
        const PersonTraits& p = traits_[i];
        f.age = ClampInt(p.age + 3 * n(kQAge), 0, 75);
        f.ageConfidence = ClampInt(350 + 550 * f.frontality + 40 * n(kQAgeConf), 1, 1000);
        f.gender = p.gender;
        f.genderConfidence = ClampInt(550 + 400 * f.frontality + 30 * n(kQGenderConf), 1, 1000);
        f.gazeYaw = ClampInt(pose.gazeYaw + 2 * n(kQGazeYaw), -90, 90);
        f.gazePitch = ClampInt(pose.gazePitch + 2 * n(kQGazePitch), -90, 90);
        f.blinkLeft = ClampInt(140 + 840 * (1 - pose.eyeOpen[0]) + 40 * n(kQBlinkL), 1, 1000);
        f.blinkRight = ClampInt(140 + 840 * (1 - pose.eyeOpen[1]) + 40 * n(kQBlinkR), 1, 1000);

        // Five scores summing to 100, the pose's expression on top.
        const int top = pose.expression - 1;
        const int topScore = ClampInt(100 * pose.expressionStrength + 4 * n(kQExprScore), 40, 100);
        double weights[5];
        double sum = 0;
        for (int k = 0; k < 5; ++k) {
            weights[k] = k == top
                             ? 0
                             : 0.2 + UnitOf(HashOf({seed_, static_cast<std::uint64_t>(frame),
                                                    static_cast<std::uint64_t>(i),
                                                    static_cast<std::uint64_t>(kQExprRest + k)}));
            sum += weights[k];
        }
        int rest = 100 - topScore;
        int given = 0;
        for (int k = 0; k < 5; ++k) {
            if (k == top) {
                f.scores[k] = topScore;
            } else {
                f.scores[k] = static_cast<int>(std::floor(rest * weights[k] / sum));
                given += f.scores[k];
            }
        }
        f.scores[(top + 1) % 5] += rest - given;  // rounding remainder, still below the top
        f.expression = pose.expression;
        static constexpr double kDegreeOf[5] = {0, 70, 35, -70, -60};
        f.degree =
            ClampInt(kDegreeOf[top] * pose.expressionStrength + 8 * n(kQExprDegree), -100, 100);
        obs.faces.push_back(f);
    }
    auto bySize = [](const Detection& a, const Detection& b) { return a.size > b.size; };
    std::stable_sort(obs.bodies.begin(), obs.bodies.end(), bySize);
    std::stable_sort(obs.hands.begin(), obs.hands.end(), bySize);
    std::stable_sort(obs.faces.begin(), obs.faces.end(),
                     [](const FaceObservation& a, const FaceObservation& b) {
                         return a.face.size > b.face.size;
                     });
    return obs;
}

namespace {

struct Canvas {
    GreyImage& image;
    double originX, originY, scale;

    void FillEllipse(double cx, double cy, double rx, double ry, int shade) const {
        const double px = (cx - originX) * scale, py = (cy - originY) * scale;
        const double prx = rx * scale, pry = ry * scale;
        if (prx <= 0 || pry <= 0) {
            return;
        }
        const int x0 = std::max(0, static_cast<int>(std::floor(px - prx)));
        const int x1 = std::min(image.width - 1, static_cast<int>(std::ceil(px + prx)));
        const int y0 = std::max(0, static_cast<int>(std::floor(py - pry)));
        const int y1 = std::min(image.height - 1, static_cast<int>(std::ceil(py + pry)));
        const auto value = static_cast<std::uint8_t>(std::clamp(shade, 0, 255));
        for (int y = y0; y <= y1; ++y) {
            const double dy = (y + 0.5 - py) / pry;
            for (int x = x0; x <= x1; ++x) {
                const double dx = (x + 0.5 - px) / prx;
                if (dx * dx + dy * dy <= 1.0) {
                    image.pixels[static_cast<std::size_t>(y) * image.width + x] = value;
                }
            }
        }
    }
};

int Background(double x, double y) {
    if (x >= 60 && x < 220 && y >= 40 && y < 170) {  // window with its cross bars
        if (std::fabs(x - 140) < 3 || std::fabs(y - 105) < 3 || x < 64 || x >= 216 || y < 44 ||
            y >= 166) {
            return 110;
        }
        return 220;
    }
    if (x >= 545 && x < 615 && y >= 110 && y < 360) {  // door
        return (std::fabs(x - 600) < 4 && std::fabs(y - 240) < 4) ? 180 : 78;
    }
    if (y >= 360) {  // floor
        return 92 + static_cast<int>(22 * (y - 360) / 120);
    }
    return 155 - static_cast<int>(30 * y / 360);
}

}  // namespace

void CScene::RenderView(std::int64_t frame, double originX, double originY, double scale,
                        GreyImage& image) const {
    image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 0);
    for (int py = 0; py < image.height; ++py) {
        for (int px = 0; px < image.width; ++px) {
            const double x = (px + 0.5) / scale + originX;
            const double y = (py + 0.5) / scale + originY;
            // A fixed texture of the room plus a little sensor noise per frame.
            const std::uint64_t texture =
                HashOf({seed_, 0xBAC0ull,
                        static_cast<std::uint64_t>(static_cast<std::int64_t>(std::floor(x / 4))),
                        static_cast<std::uint64_t>(static_cast<std::int64_t>(std::floor(y / 4)))});
            const int grain = static_cast<int>(texture % 9) - 4;
            const int sensor =
                static_cast<int>(HashOf({seed_, static_cast<std::uint64_t>(frame),
                                         static_cast<std::uint64_t>(py) * 4096 + px}) %
                                 5) -
                2;
            image.pixels[static_cast<std::size_t>(py) * image.width + px] =
                static_cast<std::uint8_t>(std::clamp(Background(x, y) + grain + sensor, 0, 255));
        }
    }

    std::vector<std::pair<double, int>> order;  // farther (smaller) people first
    std::vector<PersonPose> poses(traits_.size());
    for (int i = 0; i < People(); ++i) {
        poses[i] = PoseAt(i, frame);
        if (poses[i].present) {
            order.emplace_back(poses[i].faceSize, i);
        }
    }
    std::sort(order.begin(), order.end());
    const Canvas c{image, originX, originY, scale};
    for (const auto& [size, i] : order) {
        const PersonPose& p = poses[i];
        const PersonTraits& t = traits_[i];
        const double fs = p.faceSize;
        const double yawRad = p.yaw * std::numbers::pi / 180.0;
        const double rollRad = p.roll * std::numbers::pi / 180.0;
        // Offsets inside the face turn with the head.
        auto at = [&](double dx, double dy, double& x, double& y) {
            dx += 0.24 * std::sin(yawRad);
            dy -= 0.15 * std::sin(p.pitch * std::numbers::pi / 180.0);
            x = p.faceX + fs * (dx * std::cos(rollRad) - dy * std::sin(rollRad));
            y = p.faceY + fs * (dx * std::sin(rollRad) + dy * std::cos(rollRad));
        };
        // Arms first, so the raised hands show over the shoulders.
        for (int k = 0; k < 2; ++k) {
            const double side = k == 0 ? -1.0 : 1.0;
            const double sx = p.bodyX + side * 0.38 * p.bodySize, sy = p.bodyY - 0.25 * p.bodySize;
            for (int s = 1; s <= 4; ++s) {
                const double f = s / 5.0;
                c.FillEllipse(sx + (p.handX[k] - sx) * f, sy + (p.handY[k] - sy) * f, 0.14 * fs,
                              0.14 * fs, t.clothes - 10);
            }
        }
        c.FillEllipse(p.bodyX, p.bodyY + 0.1 * p.bodySize, 0.42 * p.bodySize, 0.55 * p.bodySize,
                      t.clothes);
        c.FillEllipse(p.faceX, p.faceY + 0.5 * fs, 0.16 * fs, 0.22 * fs, t.skin - 25);  // neck
        for (int k = 0; k < 2; ++k) {
            c.FillEllipse(p.handX[k], p.handY[k], 0.3 * p.handSize, 0.4 * p.handSize, t.skin - 10);
        }
        const double width = 0.75 + 0.25 * std::cos(yawRad);
        c.FillEllipse(p.faceX, p.faceY - 0.1 * fs, 0.47 * fs * width, 0.48 * fs, t.hair);
        c.FillEllipse(p.faceX, p.faceY + 0.03 * fs, 0.40 * fs * width, 0.47 * fs, t.skin);
        double x = 0, y = 0;
        for (int k = 0; k < 2; ++k) {
            const double side = k == 0 ? -1.0 : 1.0;
            if (side * p.yaw < -55) {
                continue;  // the far eye is hidden
            }
            at(side * 0.16, -0.06, x, y);
            c.FillEllipse(x, y, 0.075 * fs, 0.05 * fs * std::max(0.15, p.eyeOpen[k]), 45);
            if (p.eyeOpen[k] > 0.5) {
                double gx = 0, gy = 0;
                at(side * 0.16 + 0.0015 * p.gazeYaw, -0.06 - 0.0015 * p.gazePitch, gx, gy);
                c.FillEllipse(gx, gy, 0.025 * fs, 0.025 * fs, 15);
            }
        }
        at(0.03, 0.1, x, y);
        c.FillEllipse(x, y, 0.04 * fs, 0.07 * fs, t.skin - 45);
        static constexpr double kMouth[5][2] = {
            {0.13, 0.02}, {0.19, 0.055}, {0.08, 0.1}, {0.12, 0.025}, {0.11, 0.035}};
        const auto& m = kMouth[std::clamp(p.expression, 1, 5) - 1];
        at(0, 0.27, x, y);
        c.FillEllipse(x, y, m[0] * fs * width, m[1] * fs, 70);
    }
}

void CScene::Render(std::int64_t frame, int width, int height, GreyImage& image) const {
    image.width = width;
    image.height = height;
    RenderView(frame, 0, 0, width / kRefWidth, image);
}

void CScene::RenderFace(std::int64_t frame, int person, int size, GreyImage& image) const {
    image.width = size;
    image.height = size;
    const PersonPose p = PoseAt(person, frame);
    const double side = std::max(1.0, 1.4 * p.faceSize);
    RenderView(frame, p.faceX - side / 2, p.faceY - side / 2, size / side, image);
}

}  // namespace kyto::emu
