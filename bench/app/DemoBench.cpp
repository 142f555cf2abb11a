// The real kyto-demo window (CKytoDemoApp, the real core and worker) against
// kyto-emu with line timing at 921600 baud, measured from inside:
//  1. stall: a 10 ms timer on the window thread records how late each of its
//     ticks comes while the device worker registers faces (one Register
//     exchange after the other, then a Save Album of what they stored) and
//     then applies the device settings, each behind the modal wait dialog as
//     the window runs such work; max and p99 lateness;
//  2. latency: continuous detection (320 x 240, every function but Verify);
//     for each frame the panel paints, the time from the last byte of its
//     Execute response (the framing layer's frame observer, which reports a
//     response once all of it has been read) to the end of that paint;
//     median, p99 and max.
// Usage: bench_demo [frames, default 40 (about 36 s)] [registrations, default 20]
// Offscreen unless QT_QPA_PLATFORM says otherwise (run it under xvfb-run with
// QT_QPA_PLATFORM=xcb for a real X server).

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TempDir.h"
#include "app/AppCore.h"
#include "app/DeviceWorker.h"
#include "app/ui/KytoDemoApp.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/ResultLogDlg.h"
#include "app/ui/WindowMessages.h"
#include "app/ui/WindowPoster.h"
#include "base/DataFolder.h"
#include "display/ui/ImageDlg.h"
#include "emulator/harness/EmuProcess.h"
#include "protocol/CommandTable.h"
#include "protocol/KytoProtocol.h"
#include "widgets/MessageBox.h"
#include "widgets/OrgRichEdit.h"
#include "widgets/WaitDlg.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
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

double LoadAverage() {
    std::ifstream in("/proc/loadavg");
    double one = 0;
    in >> one;
    return one;
}

// When each Execute response was complete (worker thread writes, window
// thread reads).
class CResponseTimes : public IFrameObserver {
public:
    void OnFrame(int direction, const std::string&, int length,
                 const std::uint8_t* bytes) override {
        const Clock::time_point now = Clock::now();
        if (direction == 1 && length >= 2) {
            std::lock_guard lock(mutex_);
            lastSentCode_ = bytes[1];
        } else if (direction == -1) {
            std::lock_guard lock(mutex_);
            if (lastSentCode_ == kCmdExecute || lastSentCode_ == kCmdExecuteEx) {
                executeDone_.push_back(now);
            }
        }
    }
    // The last Execute response complete at or before `t`.
    bool LastBefore(Clock::time_point t, Clock::time_point& out) const {
        std::lock_guard lock(mutex_);
        const auto it = std::upper_bound(executeDone_.begin(), executeDone_.end(), t);
        if (it == executeDone_.begin()) {
            return false;
        }
        out = *std::prev(it);
        return true;
    }

private:
    mutable std::mutex mutex_;
    int lastSentCode_ = -1;
    std::vector<Clock::time_point> executeDone_;
};

// Ticks every 10 ms and records how late each tick came.
class CLatenessTimer {
public:
    void Start() {
        lateness_.clear();
        next_ = Clock::now() + kPeriod;
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(static_cast<int>(kPeriod.count()));
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const Clock::time_point now = Clock::now();
            lateness_.push_back(std::max(0.0, Ms(now - next_)));
            next_ = now + kPeriod;
        });
        timer_.start();
    }
    void Stop() {
        timer_.stop();
        QObject::disconnect(&timer_, nullptr, nullptr, nullptr);
    }
    const std::vector<double>& Lateness() const { return lateness_; }

private:
    static constexpr std::chrono::milliseconds kPeriod{10};
    QTimer timer_;
    Clock::time_point next_;
    std::vector<double> lateness_;
};

// Paint events a widget gets (window thread).
class CPaintCounter : public QObject {
public:
    explicit CPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int Count() const { return count_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count_ += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }

private:
    int count_ = 0;
};

void PrintLateness(const char* what, const std::vector<double>& lateness, double seconds) {
    std::printf("  %-34s %5.1f s, %5zu ticks: p99 %6.2f ms, max %6.2f ms late\n", what, seconds,
                lateness.size(), Percentile(lateness, 0.99), Percentile(lateness, 1.0));
}

// Runs `work` on the worker behind the wait dialog, the window's way: the
// dialog shows, its notification posts the job, the job's completion
// closes it; the window thread stays in the dialog's event loop meanwhile.
template <class Work>
void BehindWaitDialog(CKytoDemoDlg& window, CDeviceWorker& worker, const char* name, Work work) {
    CWaitDlg wait(&window);
    CWindowPoster poster(&wait);
    QObject::connect(&wait, &CWaitDlg::notified, &wait, [&](int, qintptr) {
        worker.Post(name, work, poster.Get(), [&wait](auto) { wait.CloseRequest(); });
    });
    wait.SetNotify(UWM_STOP_LOOP, 0);
    wait.SetTextId(CWaitDlg::kPleaseWait);
    wait.Run();
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qtApp(argc, argv);
    const int frames = argc > 1 ? std::max(5, std::atoi(argv[1])) : 40;
    const int registrations = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    MessageBox::SetTestMode(true);

    // One person in the scene: a registration needs exactly one face.
    CEmuProcess emu({"--seed", "1", "--people", "1", "--exit-with-parent"});
    if (!emu.Start()) {
        std::fprintf(stderr, "bench_demo: %s\n", emu.Error().c_str());
        return 1;
    }
    TempDir dir;
    const DataFolderEntry entry =
        EnterDataFolder(PlanDataFolder(dir.Path().string(), DataFolderHost::FromProcess()));
    if (!entry.ok) {
        std::fprintf(stderr, "bench_demo: %s\n", entry.error.c_str());
        return 1;
    }
    std::ofstream("Application.ini") << "[Application]\nCOMPortName=" << emu.PortPath()
                                     << "\nBaudRate=921600\nAutoConnect=1\n"
                                        "[ActiveFunction]\nFunction=1023\n";

    CResponseTimes responses;
    CKytoDemoApp::Options options;
    options.prepareCore = [&](CAppCore& core) { core.Device().SetFrameObserver(&responses); };
    CKytoDemoApp app(options);
    if (app.Start() != 0 || app.MainWindow() == nullptr) {
        std::fprintf(stderr, "bench_demo: no connection to the emulator\n");
        return 1;
    }
    CKytoDemoDlg& window = *app.MainWindow();
    CDeviceWorker& worker = *app.Worker();
    {
        QEventLoop loop;
        QObject::connect(&window, &CKytoDemoDlg::Ready, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    std::printf(
        "kyto-demo window (%s) against kyto-emu, 921600 baud with line timing; load "
        "average at start %.2f\n",
        qPrintable(QGuiApplication::platformName()), LoadAverage());

    // 1. Stall of the window thread while the worker works.
    std::printf("window thread stall (10 ms timer lateness):\n");
    CLatenessTimer ticks;
    QElapsedTimer clock;
    int stored = 0;
    std::size_t albumBytes = 0;
    clock.start();
    ticks.Start();
    BehindWaitDialog(window, worker, "Register faces", [&, registrations](CJobContext& job) {
        CDeviceMngr& device = job.Core().Device();
        for (int id = 0; id < registrations && !job.StopRequested(); ++id) {
            FacePicture picture;
            int w = 0;
            int h = 0;
            stored += device.Register(id, 0, 1, picture, w, h).Ok() ? 1 : 0;
        }
        std::vector<std::uint8_t> album;
        if (device.SaveAlbum(album).Ok()) {
            albumBytes = album.size();
        }
        return 0;
    });
    ticks.Stop();
    char what[80];
    std::snprintf(what, sizeof what, "%d registrations + Save Album", registrations);
    PrintLateness(what, ticks.Lateness(), clock.elapsed() / 1000.0);
    std::printf("    (%d stored, album answer %zu bytes)\n", stored, albumBytes);

    int applied = -99;
    clock.restart();
    ticks.Start();
    BehindWaitDialog(window, worker, "Apply device settings", [&](CJobContext& job) {
        applied = job.Core().ApplyStoredDeviceSettings();
        return applied;
    });
    ticks.Stop();
    PrintLateness("settings apply", ticks.Lateness(), clock.elapsed() / 1000.0);
    std::printf("    (result %d)\n", applied);

    // 2. Last byte of a response to the end of painting its frame.
    std::vector<double> latency;
    int painted = 0;
    const auto connection = QObject::connect(
        &window.MainPage()->ImagePanel(), &CImageDlg::FramePainted, [&](std::uint64_t sequence) {
            const Clock::time_point end = Clock::now();
            const FramePacketPtr packet = window.MainPage()->ImagePanel().Frame();
            Clock::time_point lastByte;
            if (packet && packet->sequence == sequence && packet->Succeeded() &&
                responses.LastBefore(packet->finished, lastByte)) {
                latency.push_back(Ms(end - lastByte));
            }
            ++painted;
        });
    CPaintCounter panelPaints(&window.MainPage()->ImagePanel());
    CPaintCounter logPaints(window.MainPage()->ResultLog().TextControl()->viewport());
    QEventLoop loop;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (static_cast<int>(latency.size()) >= frames) {
            loop.quit();
        }
    });
    stopper.start(100);
    QTimer::singleShot(frames * 2000 + 20000, &loop, &QEventLoop::quit);
    clock.restart();
    PostWindowMessage(&window, UWM_EXEC_START, nullptr);
    loop.exec();
    QObject::disconnect(connection);
    std::printf(
        "last byte of the Execute response to the end of painting its frame (%zu "
        "frames in %.1f s):\n",
        latency.size(), clock.elapsed() / 1000.0);
    std::printf("  median %.3f ms, p99 %.3f ms, max %.3f ms; load average %.2f\n",
                Percentile(latency, 0.5), Percentile(latency, 0.99), Percentile(latency, 1.0),
                LoadAverage());
    std::printf("  paints per painted frame: image panel %.2f, result log %.2f\n",
                panelPaints.Count() / std::max(1.0, double(painted)),
                logPaints.Count() / std::max(1.0, double(painted)));

    QEventLoop closing;
    QObject::connect(&app, &CKytoDemoApp::MainWindowFinished, &closing, &QEventLoop::quit);
    QTimer::singleShot(0, &window, [&window] { window.close(); });
    QTimer::singleShot(60000, &closing, &QEventLoop::quit);
    closing.exec();
    app.Finish();
    return latency.size() >= static_cast<std::size_t>(frames) ? 0 : 1;
}
