#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "base/ImageData.h"
#include "protocol/DeviceMngr.h"

// The user's choices for one frame: the eleven function flags (body, hand,
// face, direction, age, gender, gaze, blink, expression, recognition,
// verify; 1 = on), the image type (0 none, 1 320 x 240, 2 160 x 120) and the
// stabilisation flag.
struct ExecutionChoices {
    std::uint8_t functionFlags[11] = {};
    int imageType = 1;
    bool stabilisation = false;
};

// Where the loop reads the choices from (the main page, the command line).
// Called on the execution thread at the start of every frame; the answer must
// be one consistent set.
class IExecutionChoices {
public:
    virtual ~IExecutionChoices() = default;
    virtual ExecutionChoices CurrentChoices() = 0;
};

// Where every frame goes. Called on the execution thread; the sink copies what
// it keeps and returns quickly (the loop does not wait for any display).
// A failed frame is reported twice: the failure, then the resynchronisation
// with response code 0x7F and the resync's own duration.
class IFrameSink {
public:
    virtual ~IFrameSink() = default;
    virtual void ReportFrame(const CImageData& image, const std::uint8_t functionFlags[11],
                             bool stabilisation, int status, std::uint8_t responseCode,
                             const CFrameResult& result, int verifyUserId, int responseTimeMs) = 0;
};

// The execution thread: while a run is on, performs detection frames through
// the device manager with an adaptive time limit, reports them, and recovers
// from failed frames by resynchronising, up to the retry limit ("SettingTime"
// of Application.ini). Idle, it sleeps on a condition variable.
class CExecutionLoop {
public:
    enum Mode : int { kSingleShot = 0, kContinuous = 1 };
    static constexpr std::uint8_t kResyncResponseCode = 0x7F;

    CExecutionLoop(CDeviceMngr& device, IExecutionChoices& choices, IFrameSink& sink);
    ~CExecutionLoop();  // Quit()
    CExecutionLoop(const CExecutionLoop&) = delete;
    CExecutionLoop& operator=(const CExecutionLoop&) = delete;

    void Start();  // starts the thread (idle)
    void Quit();   // ends the thread after the current frame and joins it

    // Starts a run. Single shot stops after the first successful frame.
    void Run(Mode mode);
    // Asks a running loop to stop after the current exchange; no effect when idle.
    void RequestStop();
    bool IsRunning() const;
    // Waits until the loop is idle; false when timeoutMs (>= 0) passed first.
    bool WaitIdle(int timeoutMs = -1);

    // The user ID Verify compares against (-1 none) and the device folder
    // whose Settings.ini keeps it once the module accepted it.
    void SetVerifyUserId(int userId) { verifyUserId_.store(userId); }
    int VerifyUserId() const { return verifyUserId_.load(); }
    void SetDeviceFolder(const std::string& folder);

    // Called on the execution thread when a run gave up after the retry
    // limit, with the failing result code (the window posts message 0x2401).
    void SetErrorCallback(std::function<void(int)> callback) { onError_ = std::move(callback); }
    // Called on the execution thread whenever a run ends (the window closes
    // its wait dialog).
    void SetRunEndedCallback(std::function<void()> callback) { onRunEnded_ = std::move(callback); }
    // A frame ended with a non-zero response code: returns true once and the
    // code, then clears the flag.
    bool TakeDeviceError(int& code);

    // The time limit handed to the device for the frame being reported
    // (0 = table limit); meant for the report callback and tests.
    int FrameTimeLimit() const { return frameTimeLimit_.load(); }

private:
    void ThreadMain();
    void RunFrame();
    void EndRun(bool failed = false, int failure = 0);

    CDeviceMngr& device_;
    IExecutionChoices& choices_;
    IFrameSink& sink_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int runState_ = 0;  // 0 idle, -1 stop requested, else running
    int mode_ = kSingleShot;
    bool quit_ = false;
    std::string deviceFolder_;
    std::thread thread_;

    std::atomic<int> verifyUserId_{-1};
    std::atomic<int> frameTimeLimit_{0};
    std::atomic<bool> deviceError_{false};
    std::atomic<int> deviceErrorCode_{0};
    std::function<void(int)> onError_;
    std::function<void()> onRunEnded_;

    // Execution thread only.
    int nextTimeLimit_ = 0;
    int retryCount_ = 0;
    CImageData image_;
};
