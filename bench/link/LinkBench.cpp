// Costs of the link and the response reader:
//  - ReadResponse for a 76,853-byte response (header + 320x240 image and
//    results) that is already in the receive buffer, over the serial link
//    (pseudo-terminal) and over the in-memory transport;
//  - how soon a byte the module sends is seen by a waiter;
//  - how soon an interrupt (CDeviceMngr::Cancel) releases a waiter blocked
//    without limit and a writer whose send has stalled (target < 10 ms);
//  - the CPU an idle connected serial link uses over 5 seconds.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "link/DeviceLink.h"
#include "link/MemoryTransport.h"
#include "protocol/KytoProtocol.h"
#include "tests/link/PtyModule.h"

namespace {

constexpr int kFrameSize = 76853;
constexpr int kPayloadSize = kFrameSize - CKytoProtocol::kHeaderSize;

std::vector<std::uint8_t> ResponseFrame() {
    std::vector<std::uint8_t> frame(kFrameSize);
    frame[0] = 0xFE;
    frame[1] = 0x00;
    frame[2] = static_cast<std::uint8_t>(kPayloadSize);
    frame[3] = static_cast<std::uint8_t>(kPayloadSize >> 8);
    frame[4] = static_cast<std::uint8_t>(kPayloadSize >> 16);
    for (int i = CKytoProtocol::kHeaderSize; i < kFrameSize; ++i) {
        frame[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    return frame;
}

void ReadOne(benchmark::State& state, CKytoProtocol& protocol) {
    std::uint8_t* payload = protocol.ResponseBuffer(kPayloadSize);
    int capacity = kPayloadSize;
    std::uint8_t code = 0xFF;
    if (protocol.ReadResponse("Execute", 1000, capacity, code, payload) != kResultOk ||
        capacity != kPayloadSize) {
        state.SkipWithError("response not read");
    }
    benchmark::DoNotOptimize(payload);
}

void BM_ReadResponseSerial(benchmark::State& state) {
    PtyModule module;
    CDeviceLink link;
    if (!link.OpenLink(module.Path(), 921600)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    CKytoProtocol protocol(&link);
    const auto frame = ResponseFrame();
    for (auto _ : state) {
        state.PauseTiming();
        link.Clear();
        module.Send(frame);
        link.WaitAvailable(kFrameSize, 5000);
        state.ResumeTiming();
        ReadOne(state, protocol);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFrameSize);
}
BENCHMARK(BM_ReadResponseSerial)->Unit(benchmark::kMicrosecond);

void BM_ReadResponseMemory(benchmark::State& state) {
    CMemoryTransport transport;
    CDeviceLink link;
    link.SetTransport(&transport);
    CKytoProtocol protocol(&link);
    const auto frame = ResponseFrame();
    for (auto _ : state) {
        state.PauseTiming();
        transport.Clear();
        transport.Feed(frame);
        state.ResumeTiming();
        ReadOne(state, protocol);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFrameSize);
}
BENCHMARK(BM_ReadResponseMemory)->Unit(benchmark::kMicrosecond);

// From the module writing one byte to the link's waiter seeing it: the
// receive thread must hand arriving bytes on well within a millisecond.
void BM_ArrivalLatency(benchmark::State& state) {
    PtyModule module;
    CDeviceLink link;
    if (!link.OpenLink(module.Path(), 921600)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    const std::vector<std::uint8_t> one = {0x5A};
    for (auto _ : state) {
        module.Send(one);
        link.WaitAvailable(1, 1000);
        state.PauseTiming();
        link.Clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ArrivalLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

using Clock = std::chrono::steady_clock;

// From Interrupt() to the blocked thread running again; `block` is what the
// thread does (it must block until the link is interrupted).
template <typename Block>
void MeasureInterrupt(benchmark::State& state, CDeviceLink& link, Block block) {
    for (auto _ : state) {
        std::atomic<bool> started{false};
        Clock::time_point woke;
        std::thread blocked([&] {
            started = true;
            block();
            woke = Clock::now();
        });
        while (!started) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));  // well into the wait
        const Clock::time_point at = Clock::now();
        link.Interrupt();
        blocked.join();
        state.SetIterationTime(std::chrono::duration<double>(woke - at).count());
        link.ResumeAfterInterrupt();
    }
}

void BM_InterruptWakesAWaiter(benchmark::State& state) {
    PtyModule module;
    CDeviceLink link;
    if (!link.OpenLink(module.Path(), 921600)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    MeasureInterrupt(state, link, [&] { link.WaitAvailable(1, -1); });
}
BENCHMARK(BM_InterruptWakesAWaiter)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

void BM_InterruptEndsAStalledSend(benchmark::State& state) {
    PtyModule module;
    module.Stop();  // nobody reads: every send stalls once the terminal is full
    CDeviceLink link;
    if (!link.OpenLink(module.Path(), 921600)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    const std::vector<std::uint8_t> big(1 << 20, 0x5A);
    MeasureInterrupt(state, link, [&] { link.Write(big.data(), static_cast<int>(big.size())); });
}
BENCHMARK(BM_InterruptEndsAStalledSend)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(100);

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void MeasureIdleLink() {
    PtyModule module;
    CDeviceLink link;
    if (!link.OpenLink(module.Path(), 921600)) {
        std::printf("idle link: cannot open the pseudo-terminal\n");
        return;
    }
    const double before = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - before;
    std::printf(
        "idle connected link: %.1f ms CPU over %.2f s = %.3f %% of one core (target < 1 %%)\n",
        cpu * 1000.0, wall, 100.0 * cpu / wall);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    MeasureIdleLink();
    return 0;
}
