// Latency of the main operation page and the pane's memory:
//  1. paint latency: a producer thread stands in for the device worker and
//     publishes a detection packet (320 x 240 image, three faces with every
//     estimation) into the page's latest-frame slot, stamped when it is
//     handed over; the time until the image panel has painted that packet
//     (window thread, offscreen) is recorded, one frame at a time;
//  2. flood: the producer publishes as fast as it can for two seconds; the
//     page paints what it can and the slot drops the rest;
//  3. the result pane's resident memory while 100,000 blocks pass through it.
// Usage: bench_pages [frames [blocks]]   (defaults 2000 and 100000)

#include <time.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "app/AppCore.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/ResultLogDlg.h"
#include "display/ui/ImageDlg.h"
#include "protocol/RawDetectResult.h"

namespace {

using Clock = std::chrono::steady_clock;

std::shared_ptr<FramePacket> MakeFrame(std::uint64_t sequence) {
    auto packet = std::make_shared<FramePacket>();
    packet->sequence = sequence;
    packet->image.Init(320, 240, kFormatGrey8, true);
    for (std::size_t i = 0; i < packet->image.Size(); ++i) {
        packet->image.Pixels()[i] = static_cast<std::uint8_t>((i * 7 + sequence) & 0xFF);
    }
    packet->image.SetImageSize(320, 240);
    std::fill(packet->functionFlags, packet->functionFlags + 11, 1);
    packet->functionFlags[kFuncVerify] = 0;
    packet->responseTimeMs = 120;
    for (int i = 0; i < 3; ++i) {
        FaceResult face;
        face.detect = {};
        face.detect.x = 120 + 180 * i + static_cast<int>(sequence % 7);
        face.detect.y = 240;
        face.detect.size = 100;
        face.detect.confidence = 800;
        face.detect.SetValid(true);
        face.direction.yaw = 10 * i;
        face.direction.pitch = 5;
        face.direction.confidence = 500;
        face.direction.SetValid(true);
        face.age.age = 30 + i;
        face.age.confidence = 500;
        face.age.SetValid(true);
        face.gender.gender = i & 1;
        face.gender.confidence = 500;
        face.gender.SetValid(true);
        face.gaze.yaw = 5;
        face.gaze.pitch = -5;
        face.gaze.SetValid(true);
        face.blink.left = 300;
        face.blink.right = 400;
        face.blink.SetValid(true);
        face.recognition.userId = i;
        face.recognition.score = 700;
        face.recognition.SetValid(true);
        packet->result.faces.push_back(face);
    }
    return packet;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t i =
        std::min(values.size() - 1, static_cast<std::size_t>(p * (values.size() - 1) + 0.5));
    return values[i];
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    const int blocks = argc > 2 ? std::max(1000, std::atoi(argv[2])) : 100000;
    TempDir dir;
    CAppCore core;
    CMainOpeDlg page(core);
    page.resize(page.sizeHint());
    page.show();
    page.UpdateUserList({{0, "Alice"}, {1, "Bob"}, {2, "Carol"}});
    app.processEvents();

    // 1. One frame at a time: hand-over to the end of its painting.
    std::mutex mutex;
    std::condition_variable painted;
    std::uint64_t lastPainted = 0;
    std::vector<double> latencyMs;
    QObject::connect(&page.ImagePanel(), &CImageDlg::FramePainted, [&](std::uint64_t sequence) {
        const FramePacketPtr frame = page.ImagePanel().Frame();
        if (frame && frame->sequence == sequence) {
            latencyMs.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - frame->finished).count());
        }
        std::lock_guard<std::mutex> lock(mutex);
        lastPainted = sequence;
        painted.notify_all();
    });
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (int i = 1; i <= frames; ++i) {
            auto packet = MakeFrame(static_cast<std::uint64_t>(i));
            packet->finished = Clock::now();
            page.FrameSink().OnFrame(packet);
            std::unique_lock<std::mutex> lock(mutex);
            painted.wait(lock, [&] { return lastPainted >= static_cast<std::uint64_t>(i); });
        }
        done = true;
    });
    while (!done) {
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    producer.join();
    std::printf("paint latency (%d frames, hand-over to end of painting, window %dx%d):\n", frames,
                page.ImagePanel().width(), page.ImagePanel().height());
    std::printf("  median %.3f ms, p99 %.3f ms, max %.3f ms\n", Percentile(latencyMs, 0.5),
                Percentile(latencyMs, 0.99), Percentile(latencyMs, 1.0));

    // 2. Flood: the slot keeps the newest packet, the painter takes what it can.
    const std::uint64_t publishedBefore = page.FrameSlot().Published();
    const std::uint64_t droppedBefore = page.FrameSlot().Dropped();
    std::uint64_t shown = 0;
    QObject::connect(&page, &CMainOpeDlg::FrameShown, [&](std::uint64_t) { ++shown; });
    done = false;
    std::thread flood([&] {
        const auto end = Clock::now() + std::chrono::seconds(2);
        std::uint64_t sequence = 1000000;
        while (Clock::now() < end) {
            auto packet = MakeFrame(++sequence);
            packet->finished = Clock::now();
            page.FrameSink().OnFrame(packet);
        }
        done = true;
    });
    while (!done) {
        app.processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    flood.join();
    app.processEvents();
    std::printf("flood (2 s): published %llu, shown %llu, dropped by the slot %llu\n",
                static_cast<unsigned long long>(page.FrameSlot().Published() - publishedBefore),
                static_cast<unsigned long long>(shown),
                static_cast<unsigned long long>(page.FrameSlot().Dropped() - droppedBefore));

    // 3. The pane over many frames.
    CResultLogDlg& pane = page.ResultLog();
    const FramePacketPtr frame = MakeFrame(1);
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = ThreadCpuSeconds();
    long atThousand = 0;
    for (int i = 1; i <= blocks; ++i) {
        pane.AddFrameResult(*frame);
        if (i % 1000 == 0) {
            app.processEvents();
        }
        if (i == 1000) {
            atThousand = ResidentKiB();
        }
        if (i == 1000 || i == 10000 || i == blocks) {
            std::printf("pane after %6d blocks: %d kept, resident %ld KiB\n", i, pane.BlockCount(),
                        ResidentKiB());
        }
    }
    // CPU time of the window thread says what a block costs whatever else
    // the machine runs; the wall time grows with the load.
    std::printf("pane: %.1f us per block (%.1f us of CPU), growth from 1k to %d blocks %ld KiB\n",
                timer.nsecsElapsed() / 1000.0 / blocks,
                (ThreadCpuSeconds() - cpuStart) * 1e6 / blocks, blocks, ResidentKiB() - atThousand);
    return 0;
}
