// Decoding of the largest Execute answer: 35 bodies, 35 hands, 35 faces with
// all nine parts and a 320 x 240 image, through both stages (payload to raw
// lists with the image copied, raw lists to the frame result). Target: well
// under 50 us per frame.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "base/ByteOrder.h"
#include "base/ImageData.h"
#include "protocol/RawDetectResult.h"

namespace {

std::vector<std::uint8_t> MaximalPayload(bool extended) {
    std::vector<std::uint8_t> p = {35, 35, 35, 0};
    const auto le16 = [&p](int v) { AppendLe16(p, v); };
    for (int i = 0; i < 70; ++i) {
        for (int v : {i * 4, i * 3, 20 + i, 700}) {
            le16(v);
        }
    }
    for (int i = 0; i < 35; ++i) {
        for (int v : {i * 9, 100, 40, 900, -10, 4, 2, 800}) {  // face, direction
            le16(v);
        }
        p.insert(p.end(), {30, 0xE8, 0x03, 1, 0xF4, 0x01, 0xFB, 0x07, 0x64, 0, 0x32, 0});
        if (extended) {
            p.insert(p.end(), {10, 20, 70, 0, 0, 0xF0});
        } else {
            p.insert(p.end(), {3, 70, 0xF0});
        }
        p.insert(p.end(), {static_cast<std::uint8_t>(i), 0, 0x20, 0x03, 0, 0, 0x58, 0x02});
    }
    le16(320);
    le16(240);
    for (int i = 0; i < 320 * 240; ++i) {
        p.push_back(static_cast<std::uint8_t>(i));
    }
    return p;
}

void BM_DecodeMaximalExecute(benchmark::State& state) {
    const bool extended = state.range(0) != 0;
    const std::vector<std::uint8_t> payload = MaximalPayload(extended);
    CImageData image;
    image.Init(320, 240, kFormatGrey8, true);
    RawDetectResult raw;
    CFrameResult frame;
    for (auto _ : state) {
        raw.Clear();
        raw.AttachImage(image);
        DecodeExecute(payload.size(), payload.data(), 0x07FF, 1, extended, raw);
        ToFrameResult(raw, frame);
        benchmark::DoNotOptimize(frame.faces.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(payload.size()));
}
BENCHMARK(BM_DecodeMaximalExecute)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same with fresh containers per frame, as the execution loop makes a new
// frame result for every frame.
void BM_DecodeMaximalExecuteFreshResult(benchmark::State& state) {
    const std::vector<std::uint8_t> payload = MaximalPayload(false);
    CImageData image;
    image.Init(320, 240, kFormatGrey8, true);
    RawDetectResult raw;
    for (auto _ : state) {
        raw.Clear();
        raw.AttachImage(image);
        DecodeExecute(payload.size(), payload.data(), 0x07FF, 1, false, raw);
        CFrameResult frame;
        ToFrameResult(raw, frame);
        benchmark::DoNotOptimize(frame.faces.data());
    }
}
BENCHMARK(BM_DecodeMaximalExecuteFreshResult)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
