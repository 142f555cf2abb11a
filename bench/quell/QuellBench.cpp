// One frame with 35 bodies and 35 faces (direction, age, gender and
// recognition on), through the library alone and through the adapter.
// The positions wobble from frame to frame so that every track is matched
// and smoothed as in a live run.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "app/StabilisationAdapter.h"
#include "quell/Quell.h"

namespace {

constexpr int kCount = QUELL_MAX_ENTRIES;

int Wobble(int frame, int i) {
    return ((frame * 7 + i * 13) % 7) - 3;
}

int GridX(int i) {
    return 25 + (i % 7) * 45;
}
int GridY(int i) {
    return 25 + (i / 7) * 45;
}

void FillInput(QuellFrameInput& in, int frame) {
    in.bodyCount = kCount;
    in.faceCount = kCount;
    for (int i = 0; i < kCount; ++i) {
        in.bodies[i] = {GridX(i) + Wobble(frame, i), GridY(i) + Wobble(frame + 1, i), 40, 700};
        QuellFaceInput& f = in.faces[i];
        f = QuellFaceInput{};
        f.x = GridX(i) + Wobble(frame + 2, i);
        f.y = GridY(i) + Wobble(frame + 3, i);
        f.size = 30;
        f.confidence = 800;
        f.yaw = Wobble(frame, i);
        f.directionConfidence = 700;
        f.age = 30 + i;
        f.ageConfidence = 600;
        f.gender = i % 2;
        f.genderConfidence = 600;
        f.userId = i % 5;
        f.recognitionScore = 500;
    }
}

void Put16(std::uint8_t* p, int v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

std::array<std::uint8_t, 8> Rec8(int a, int b, int c, int d) {
    std::array<std::uint8_t, 8> r{};
    Put16(r.data(), a);
    Put16(r.data() + 2, b);
    Put16(r.data() + 4, c);
    Put16(r.data() + 6, d);
    return r;
}

void FillRaw(RawDetectResult& raw, int frame) {
    QuellFrameInput in{};
    FillInput(in, frame);
    raw.bodyCount = kCount;
    raw.faceCount = kCount;
    raw.bodyRecords.resize(kCount);
    raw.faceRecords.resize(kCount);
    raw.directionRecords.resize(kCount);
    raw.ageRecords.resize(kCount);
    raw.genderRecords.resize(kCount);
    raw.recognitionRecords.resize(kCount);
    for (int i = 0; i < kCount; ++i) {
        const QuellBodyInput& b = in.bodies[i];
        const QuellFaceInput& f = in.faces[i];
        raw.bodyRecords[i] = Rec8(b.x, b.y, b.size, b.confidence);
        raw.faceRecords[i] = Rec8(f.x, f.y, f.size, f.confidence);
        raw.directionRecords[i] = Rec8(f.yaw, f.pitch, f.roll, f.directionConfidence);
        raw.ageRecords[i] = {static_cast<std::uint8_t>(f.age), 0x58, 0x02};
        raw.genderRecords[i] = {static_cast<std::uint8_t>(f.gender), 0x58, 0x02};
        Put16(raw.recognitionRecords[i].data(), f.userId);
        Put16(raw.recognitionRecords[i].data() + 2, f.recognitionScore);
    }
}

void BM_LibraryFrame(benchmark::State& state) {
    const int32_t h = QuellCreateHandle(573);
    std::array<QuellFrameInput, 8> frames{};
    for (int i = 0; i < 8; ++i) {
        FillInput(frames[i], i);
    }
    std::array<QuellFaceResult, kCount> faces;
    std::array<QuellBodyResult, kCount> bodies;
    int frame = 0;
    for (auto _ : state) {
        int32_t faceCount = 0;
        int32_t bodyCount = 0;
        QuellSetFrameResult(h, &frames[frame++ % 8]);
        QuellExecute(h);
        QuellGetFaces(h, &faceCount, faces.data());
        QuellGetBodies(h, &bodyCount, bodies.data());
        benchmark::DoNotOptimize(faces.data());
        benchmark::DoNotOptimize(bodies.data());
        if (faceCount != kCount || bodyCount != kCount) {
            state.SkipWithError("lost a detection");
            break;
        }
    }
    QuellDeleteHandle(h);
}
BENCHMARK(BM_LibraryFrame);

// Restores the device's values, since the adapter edits the raw lists in
// place; BM_RestoreOnly measures this share of BM_AdapterFrame.
void Restore(RawDetectResult& raw, const RawDetectResult& t, int ids[2][35]) {
    raw.bodyRecords = t.bodyRecords;
    raw.faceRecords = t.faceRecords;
    raw.ageRecords = t.ageRecords;
    raw.genderRecords = t.genderRecords;
    raw.recognitionRecords = t.recognitionRecords;
    raw.directionRecords = t.directionRecords;
    for (int k = 0; k < 35; ++k) {
        ids[0][k] = ids[1][k] = -1;
    }
}

template <bool kStabilise>
void AdapterFrame(benchmark::State& state) {
    CStabilisationAdapter adapter;
    std::array<RawDetectResult, 8> templates;
    for (int i = 0; i < 8; ++i) {
        FillRaw(templates[i], i);
    }
    RawDetectResult raw = templates[0];
    const std::uint8_t flags[11] = {1, 0, 1, 1, 1, 1, 0, 0, 0, 1, 0};
    int ids[2][35];
    int frame = 0;
    for (auto _ : state) {
        Restore(raw, templates[frame++ % 8], ids);
        if (kStabilise) {
            adapter.StabiliseFrame(raw, flags, ids[0], ids[1]);
        }
        benchmark::DoNotOptimize(raw.faceRecords.data());
        benchmark::DoNotOptimize(ids);
    }
}

void BM_AdapterFrame(benchmark::State& state) {
    AdapterFrame<true>(state);
}
void BM_RestoreOnly(benchmark::State& state) {
    AdapterFrame<false>(state);
}
BENCHMARK(BM_RestoreOnly);
BENCHMARK(BM_AdapterFrame);

}  // namespace

BENCHMARK_MAIN();
