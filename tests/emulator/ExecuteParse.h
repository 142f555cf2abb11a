#pragma once

#include <cstdint>
#include <vector>

// The test's own reading of an Execute payload, written from the documented
// layout and kept apart from the emulator's encoder, so that the two check
// each other.
struct ParsedBox {
    int x, y, size, confidence;
};
struct ParsedFace {
    ParsedBox face{-1, -1, -1, -1};
    int yaw = 0, pitch = 0, roll = 0, dirConf = -1;
    int age = -1, ageConf = -1, gender = -1, genderConf = -1;
    int gazeYaw = 0, gazePitch = 0;
    int blinkL = -1, blinkR = -1;
    int expr = -1, exprScore = -1, degree = 0;
    int scores[5] = {-1, -1, -1, -1, -1};
    int recUser = 0, recScore = 0, verValue = 0, verScore = 0;
};
struct ParsedExecute {
    bool ok = false;  // consumed exactly the whole payload
    std::vector<ParsedBox> bodies, hands;
    std::vector<ParsedFace> faces;
    int imageWidth = 0, imageHeight = 0;
    std::vector<std::uint8_t> image;
};

inline ParsedExecute ParseExecute(const std::vector<std::uint8_t>& p, unsigned flags, int imageType,
                                  bool extended) {
    ParsedExecute r;
    std::size_t at = 0;
    auto need = [&](std::size_t n) { return at + n <= p.size(); };
    auto i8 = [&]() { return static_cast<int>(static_cast<std::int8_t>(p[at++])); };
    auto i16 = [&]() {
        const int v = static_cast<std::int16_t>(p[at] | (p[at + 1] << 8));
        at += 2;
        return v;
    };
    auto box = [&]() {
        ParsedBox b;
        b.x = i16();
        b.y = i16();
        b.size = i16();
        b.confidence = i16();
        return b;
    };
    if (!need(4)) {
        return r;
    }
    const int nb = p[0], nh = p[1], nf = p[2];
    at = 4;
    for (int i = 0; i < nb; ++i) {
        if (!need(8))
            return r;
        r.bodies.push_back(box());
    }
    for (int i = 0; i < nh; ++i) {
        if (!need(8))
            return r;
        r.hands.push_back(box());
    }
    for (int i = 0; i < nf; ++i) {
        ParsedFace f;
        if (flags & 0x004) {
            if (!need(8))
                return r;
            f.face = box();
        }
        if (flags & 0x008) {
            if (!need(8))
                return r;
            f.yaw = i16();
            f.pitch = i16();
            f.roll = i16();
            f.dirConf = i16();
        }
        if (flags & 0x010) {
            if (!need(3))
                return r;
            f.age = i8();
            f.ageConf = i16();
        }
        if (flags & 0x020) {
            if (!need(3))
                return r;
            f.gender = i8();
            f.genderConf = i16();
        }
        if (flags & 0x040) {
            if (!need(2))
                return r;
            f.gazeYaw = i8();
            f.gazePitch = i8();
        }
        if (flags & 0x080) {
            if (!need(4))
                return r;
            f.blinkL = i16();
            f.blinkR = i16();
        }
        if (flags & 0x100) {
            if (!need(extended ? 6 : 3))
                return r;
            if (extended) {
                for (int& s : f.scores)
                    s = i8();
            } else {
                f.expr = i8();
                f.exprScore = i8();
            }
            f.degree = i8();
        }
        if (flags & 0x200) {
            if (!need(4))
                return r;
            f.recUser = i16();
            f.recScore = i16();
        }
        if (flags & 0x400) {
            if (!need(4))
                return r;
            f.verValue = i16();
            f.verScore = i16();
        }
        r.faces.push_back(f);
    }
    if (imageType != 0) {
        if (!need(4))
            return r;
        r.imageWidth = i16();
        r.imageHeight = i16();
        const std::size_t n = static_cast<std::size_t>(r.imageWidth) * r.imageHeight;
        if (!need(n))
            return r;
        r.image.assign(p.begin() + static_cast<long>(at), p.begin() + static_cast<long>(at + n));
        at += n;
    }
    r.ok = at == p.size();
    return r;
}
