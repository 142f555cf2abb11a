// Costs of the link and the response reader:
//  - ReadResponse for a 76,853-byte response (header + 320x240 image and
//    results) that is already in the receive buffer, over the serial link
//    (pseudo-terminal), over the in-memory transport, and over the socket
//    link (TCP on 127.0.0.1);
//  - a whole exchange over the socket link: the command out, the 76,853-byte
//    answer in, against a peer that answers at once: what the socket side
//    adds to every frame;
//  - how soon a byte the module sends is seen by a waiter (serial, socket);
//  - how soon an interrupt (CDeviceMngr::Cancel) releases a waiter blocked
//    without limit and a writer whose send has stalled (target < 10 ms);
//  - the CPU an idle connected serial link and socket link use over 5 s.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "link/DeviceLink.h"
#include "link/MemoryTransport.h"
#include "protocol/KytoProtocol.h"
#include "tests/link/LanIni.h"
#include "tests/link/LoopbackPeer.h"
#include "tests/link/PtyModule.h"
#include "tests/support/TempDir.h"

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

// ReadResponse of the frame that `send` puts on the far side of the link,
// once per iteration; only the reading is timed.
template <typename Send>
void ReadResponses(benchmark::State& state, CDeviceLink& link, Send send) {
    CKytoProtocol protocol(&link);
    const auto frame = ResponseFrame();
    for (auto _ : state) {
        state.PauseTiming();
        link.Clear();
        send(frame);
        link.WaitAvailable(kFrameSize, 5000);
        state.ResumeTiming();
        ReadOne(state, protocol);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kFrameSize);
}

// From the far side writing one byte to the link's waiter seeing it: the
// receive thread must hand arriving bytes on well within a millisecond.
template <typename Send>
void MeasureArrival(benchmark::State& state, CDeviceLink& link, Send send) {
    const std::vector<std::uint8_t> one = {0x5A};
    for (auto _ : state) {
        send(one);
        link.WaitAvailable(1, 1000);
        state.PauseTiming();
        link.Clear();
        state.ResumeTiming();
    }
}

void BM_ReadResponseSerial(benchmark::State& state) {
    PtyModule module;
    CDeviceLink link;
    if (!link.OpenLink(module.Path(), 921600)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    ReadResponses(state, link, [&](const std::vector<std::uint8_t>& f) { module.Send(f); });
}
BENCHMARK(BM_ReadResponseSerial)->Unit(benchmark::kMicrosecond);

void BM_ReadResponseMemory(benchmark::State& state) {
    CMemoryTransport transport;
    CDeviceLink link;
    link.SetTransport(&transport);
    ReadResponses(state, link, [&](const std::vector<std::uint8_t>& f) { transport.Feed(f); });
}
BENCHMARK(BM_ReadResponseMemory)->Unit(benchmark::kMicrosecond);

// The socket link to a module played on 127.0.0.1 (the settings alone
// describe it; no discovery).
class SocketModule {
public:
    SocketModule() {
        WriteLanIni({{"DISCOVERYADDRESS", ""},
                     {"TCPIP", "127.0.0.1"},
                     {"PORTNUMBER", std::to_string(listener_.Port())},
                     {"SOCKETMODE", "1"}});
        std::thread accept([this] { peer_ = listener_.Accept(); });
        opened_ = link_.OpenLink("LAN", 921600);
        accept.join();
    }
    bool Ok() const { return opened_ && peer_.Valid(); }
    CDeviceLink& Link() { return link_; }
    int Peer() const { return peer_.Get(); }

private:
    TempDir dir_;
    loopback::Listener listener_;
    CDeviceLink link_;
    loopback::Fd peer_;
    bool opened_ = false;
};

void BM_ReadResponseSocket(benchmark::State& state) {
    SocketModule module;
    if (!module.Ok()) {
        state.SkipWithError("cannot open the socket link");
        return;
    }
    ReadResponses(state, module.Link(),
                  [&](const std::vector<std::uint8_t>& f) { loopback::SendAll(module.Peer(), f); });
}
BENCHMARK(BM_ReadResponseSocket)->Unit(benchmark::kMicrosecond);

// SendFrame (with its quiet period) and ReadResponse of one Execute-sized
// answer; the peer thread answers each command as soon as it has it.
void BM_ExchangeSocket(benchmark::State& state) {
    SocketModule module;
    if (!module.Ok()) {
        state.SkipWithError("cannot open the socket link");
        return;
    }
    CKytoProtocol protocol(&module.Link());
    const auto frame = ResponseFrame();
    std::atomic<bool> stop{false};
    std::thread peer([&] {
        while (!stop) {
            if (loopback::Receive(module.Peer(), 7, 100).size() == 7) {
                loopback::SendAll(module.Peer(), frame);
            }
        }
    });
    const std::uint8_t execute[7] = {0xFE, 0x03, 0x03, 0x00, 0xFF, 0x07, 0x01};
    for (auto _ : state) {
        if (protocol.SendFrame(execute, 7, "Execute") != kResultOk) {
            state.SkipWithError("not sent");
            break;
        }
        ReadOne(state, protocol);
    }
    stop = true;
    peer.join();
}
BENCHMARK(BM_ExchangeSocket)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ArrivalLatency(benchmark::State& state) {
    PtyModule module;
    CDeviceLink link;
    if (!link.OpenLink(module.Path(), 921600)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        return;
    }
    MeasureArrival(state, link, [&](const std::vector<std::uint8_t>& b) { module.Send(b); });
}
BENCHMARK(BM_ArrivalLatency)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ArrivalLatencySocket(benchmark::State& state) {
    SocketModule module;
    if (!module.Ok()) {
        state.SkipWithError("cannot open the socket link");
        return;
    }
    MeasureArrival(state, module.Link(), [&](const std::vector<std::uint8_t>& b) {
        loopback::SendAll(module.Peer(), b);
    });
}
BENCHMARK(BM_ArrivalLatencySocket)->Unit(benchmark::kMicrosecond)->UseRealTime();

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

void MeasureIdle(const char* what) {
    const double before = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - before;
    std::printf(
        "idle connected %s link: %.1f ms CPU over %.2f s = %.3f %% of one core (target < 1 "
        "%%)\n",
        what, cpu * 1000.0, wall, 100.0 * cpu / wall);
}

void MeasureIdleLinks() {
    {
        PtyModule module;
        CDeviceLink link;
        if (link.OpenLink(module.Path(), 921600)) {
            MeasureIdle("serial");
        } else {
            std::printf("idle serial link: cannot open the pseudo-terminal\n");
        }
    }
    SocketModule module;
    if (module.Ok()) {
        MeasureIdle("socket");
    } else {
        std::printf("idle socket link: cannot open it\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Whatever a settings file says, nothing here leaves 127.0.0.0/8.
    setenv("KYTO_LOOPBACK_ONLY", "1", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    MeasureIdleLinks();
    return 0;
}
