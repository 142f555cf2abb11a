#include "app/ExecutionLoop.h"

#include <chrono>

#include "settings/Settings.h"

CExecutionLoop::CExecutionLoop(CDeviceMngr& device, IExecutionChoices& choices, IFrameSink& sink)
    : device_(device), choices_(choices), sink_(sink) {}

CExecutionLoop::~CExecutionLoop() {
    Quit();
}

void CExecutionLoop::Start() {
    if (thread_.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = false;
    }
    thread_ = std::thread(&CExecutionLoop::ThreadMain, this);
}

void CExecutionLoop::Quit() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CExecutionLoop::Run(Mode mode) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mode_ = mode;
        runState_ = 1;
    }
    changed_.notify_all();
}

void CExecutionLoop::RequestStop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (runState_ == 0) {
            return;
        }
        runState_ = -1;
    }
    changed_.notify_all();
}

bool CExecutionLoop::IsRunning() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return runState_ != 0;
}

bool CExecutionLoop::WaitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto idle = [this] { return runState_ == 0; };
    if (timeoutMs < 0) {
        changed_.wait(lock, idle);
        return true;
    }
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
}

void CExecutionLoop::SetDeviceFolder(const std::string& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    deviceFolder_ = folder;
}

bool CExecutionLoop::TakeDeviceError(int& code) {
    if (!deviceError_.exchange(false)) {
        return false;
    }
    code = deviceErrorCode_.load();
    return true;
}

void CExecutionLoop::ThreadMain() {
    image_.Init(320, 240, kFormatGrey8, true);
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return quit_ || runState_ != 0; });
            if (quit_) {
                break;
            }
            if (runState_ == -1) {
                // Stopped before the next frame began: nothing to wait for.
                lock.unlock();
                EndRun();
                continue;
            }
        }
        RunFrame();
    }
}

// Ends a run: stabilisation ended, counters reset, listeners told, idle.
// The listeners run before the loop turns idle, so whoever waits for the
// idle state sees their effects.
void CExecutionLoop::EndRun(bool failed, int failure) {
    device_.EndStabilisation();
    // The counter starts afresh with the next run, also after giving up.
    retryCount_ = 0;
    nextTimeLimit_ = 0;
    if (failed && onError_) {
        onError_(failure);
    }
    if (onRunEnded_) {
        onRunEnded_();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        runState_ = 0;
    }
    changed_.notify_all();
}

void CExecutionLoop::RunFrame() {
    using Clock = std::chrono::steady_clock;

    ExecutionChoices choices = choices_.CurrentChoices();
    std::uint8_t* flags = choices.functionFlags;
    for (int i = 0; i < 11; ++i) {
        flags[i] = flags[i] ? 1 : 0;
    }
    if (!flags[kFuncFace]) {
        // The face estimations need the face: off whatever their buttons say.
        for (int i = kFuncDirection; i <= kFuncVerify; ++i) {
            flags[i] = 0;
        }
    }
    std::string folder;
    int mode = kSingleShot;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        folder = deviceFolder_;
        mode = mode_;
    }

    CFrameResult result;
    const Clock::time_point start = Clock::now();
    const int verifyUserId = verifyUserId_.load();
    bool verifyNotSelected = false;
    int status = 0;
    std::uint8_t responseCode = 0;

    if (flags[kFuncVerify]) {
        if (verifyUserId == -1) {
            verifyNotSelected = true;
        } else if (verifyUserId != device_.LastVerifyUserId()) {
            const DeviceReply reply = device_.SetVerifyUserId(verifyUserId);
            responseCode = reply.status;
            if (reply.Ok()) {
                if (!folder.empty()) {
                    WriteVerifyUserId(folder, verifyUserId);
                }
            } else {
                status = -1;
            }
        }
    }
    if (status == 0) {
        frameTimeLimit_.store(nextTimeLimit_);
        const DeviceReply reply =
            device_.ExecuteFrame(flags, nextTimeLimit_, choices.imageType, choices.stabilisation,
                                 verifyNotSelected, image_, result);
        status = reply.result;
        responseCode = reply.status;
    }

    const double elapsedMs =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const int responseTimeMs = static_cast<int>(elapsedMs);
    nextTimeLimit_ = static_cast<int>(2.0 * elapsedMs);
    if (nextTimeLimit_ != 0 && nextTimeLimit_ < 1000) {
        nextTimeLimit_ = 1000;
    }

    bool stopRequested = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested = runState_ == -1;
    }
    // A cancelled exchange is no fault to retry: the owner stopped the module.
    if (stopRequested || status == kResultCancelled) {
        EndRun();
        return;
    }

    if (status != 0) {
        const int limit = ReadSettingTime();
        // A negative limit counts as 0: give up at the first failure.
        if (retryCount_ >= limit) {
            EndRun(true, status);
            return;
        }
        ++retryCount_;
        sink_.ReportFrame(image_, flags, choices.stabilisation, status, responseCode, result,
                          verifyUserId, responseTimeMs);
        const Clock::time_point resyncStart = Clock::now();
        const int imageType = choices.imageType == kImageQvga || choices.imageType == kImageSmall
                                  ? choices.imageType
                                  : kImageNone;
        const int resync = device_.Resync(imageType, nextTimeLimit_, result);
        const int resyncMs = static_cast<int>(
            std::chrono::duration<double, std::milli>(Clock::now() - resyncStart).count());
        sink_.ReportFrame(image_, flags, choices.stabilisation, resync, kResyncResponseCode, result,
                          verifyUserId, resyncMs);
        nextTimeLimit_ = 0;
        return;
    }

    retryCount_ = 0;
    if (responseCode != 0) {
        deviceErrorCode_.store(responseCode);
        deviceError_.store(true);
    }
    sink_.ReportFrame(image_, flags, choices.stabilisation, 0, responseCode, result, verifyUserId,
                      responseTimeMs);
    if (mode == kSingleShot) {
        EndRun();
    }
}
