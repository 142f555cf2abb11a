// The device worker's thread, queue and stop/cancel hand-shake.
#include "app/DeviceWorker.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include "app/AppCore.h"
#include "link/DeviceLink.h"

// Stop and cancel flags of one job, and the wait its Pause uses.
struct CJobContext::Control {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> stop{false};
    std::atomic<bool> cancel{false};

    void Raise(bool withCancel) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
            if (withCancel) {
                cancel = true;
            }
        }
        changed.notify_all();
    }
};

Poster InlinePoster() {
    return [](std::function<void()> completion) { completion(); };
}

// ---- CJobContext --------------------------------------------------------------

bool CJobContext::StopRequested() const {
    return control_.stop.load();
}

bool CJobContext::Cancelled() const {
    return control_.cancel.load();
}

bool CJobContext::Pause(int ms) {
    std::unique_lock<std::mutex> lock(control_.mutex);
    if (ms <= 0) {
        return !control_.stop;
    }
    return !control_.changed.wait_for(lock, std::chrono::milliseconds(ms),
                                      [this] { return control_.stop.load(); });
}

bool CJobContext::PortLost() const {
    CDeviceMngr& device = core_.Device();
    return device.IsConnected() && device.Link() && !device.Link()->IsPresent();
}

// ---- CDeviceWorker --------------------------------------------------------------

CDeviceWorker::CDeviceWorker(CAppCore& core) : core_(core) {}

CDeviceWorker::~CDeviceWorker() {
    Quit();
}

void CDeviceWorker::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (started_ || quit_) {
        return;
    }
    started_ = true;
    // The connection sequence's waits end at once when its job is cancelled.
    core_.SetPause([this](int ms) { return PauseCurrent(ms); });
    thread_ = std::thread(&CDeviceWorker::ThreadMain, this);
}

void CDeviceWorker::Quit() {
    std::deque<Job> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (quit_ && !thread_.joinable()) {
            return;
        }
        quit_ = true;
        if (current_) {
            current_->Raise(true);
            CancelExchange();
        }
        if (!started_) {
            dropped.swap(queue_);  // no thread to hand them to
        }
    }
    wake_.notify_all();
    for (Job& job : dropped) {
        job.finish(JobOutcome{JobEnd::kDropped, false});
    }
    if (thread_.joinable()) {
        thread_.join();
        core_.SetPause({});
    }
    idle_.notify_all();
}

JobId CDeviceWorker::Enqueue(std::string name, std::function<void(CJobContext&)> run,
                             std::function<void(const JobOutcome&)> finish) {
    Job job;
    job.name = std::move(name);
    job.run = std::move(run);
    job.finish = std::move(finish);
    job.control = std::make_shared<CJobContext::Control>();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job.id = nextId_++;
        if (!quit_) {
            const JobId id = job.id;
            queue_.push_back(std::move(job));
            wake_.notify_one();
            return id;
        }
    }
    // Too late: the worker has quit.
    job.finish(JobOutcome{JobEnd::kDropped, false});
    return job.id;
}

void CDeviceWorker::ThreadMain() {
    workerThread_ = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (queue_.empty()) {
            break;  // quit with nothing left
        }
        Job job = std::move(queue_.front());
        queue_.pop_front();
        if (quit_) {
            // Dropped in order, after the job that was running.
            lock.unlock();
            job.finish(JobOutcome{JobEnd::kDropped, false});
            lock.lock();
            continue;
        }
        currentId_ = job.id;
        current_ = job.control;
        lock.unlock();
        RunJob(job);
        lock.lock();
        idle_.notify_all();
    }
    workerThread_ = std::thread::id{};
}

void CDeviceWorker::RunJob(Job& job) {
    JobOutcome outcome;
    {
        CJobContext context(core_, job.id, job.name, *job.control);
        try {
            job.run(context);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "device job \"%s\" failed: %s\n", job.name.c_str(), e.what());
            outcome.end = JobEnd::kFailed;
        } catch (...) {
            std::fprintf(stderr, "device job \"%s\" failed\n", job.name.c_str());
            outcome.end = JobEnd::kFailed;
        }
    }
    outcome.portLost = CheckPortLost();
    core_.PublishStatus();
    {
        // Under the lock, so that a cancel aimed at this job can no longer
        // reach the next one.
        std::lock_guard<std::mutex> lock(mutex_);
        if (job.control->cancel) {
            if (outcome.end == JobEnd::kFinished) {
                outcome.end = JobEnd::kCancelled;
            }
            ClearCancel();
        }
        currentId_ = 0;
        current_.reset();
    }
    job.finish(outcome);
}

bool CDeviceWorker::CheckPortLost() {
    CDeviceMngr& device = core_.Device();
    if (!device.IsConnected()) {
        return false;
    }
    const bool lost = device.Link() && !device.Link()->IsPresent();
    if (!lost) {
        portLostReported_ = false;
        return false;
    }
    if (!portLostReported_) {
        portLostReported_ = true;
        Poster poster;
        std::function<void()> listener;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            poster = portLostPoster_;
            listener = portLostListener_;
        }
        if (poster && listener) {
            poster(listener);
        }
    }
    return true;
}

bool CDeviceWorker::PauseCurrent(int ms) {
    std::shared_ptr<CJobContext::Control> control;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        control = current_;
    }
    if (!control || !OnWorkerThread()) {
        // Outside a job (start-up on the caller's thread): a plain wait.
        if (ms > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
        return true;
    }
    std::unique_lock<std::mutex> lock(control->mutex);
    if (ms <= 0) {
        return !control->stop;
    }
    return !control->changed.wait_for(lock, std::chrono::milliseconds(ms),
                                      [&] { return control->stop.load(); });
}

bool CDeviceWorker::StopJob(JobId id, bool cancel) {
    Job dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (id != 0 && id == currentId_) {
            current_->Raise(cancel);
            if (cancel) {
                CancelExchange();
            }
            return true;
        }
        auto it = queue_.begin();
        while (it != queue_.end() && it->id != id) {
            ++it;
        }
        if (it == queue_.end()) {
            return false;
        }
        dropped = std::move(*it);
        queue_.erase(it);
    }
    dropped.finish(JobOutcome{JobEnd::kDropped, false});
    idle_.notify_all();
    return true;
}

bool CDeviceWorker::RequestStop(JobId id) {
    return StopJob(id, false);
}

bool CDeviceWorker::Cancel(JobId id) {
    return StopJob(id, true);
}

bool CDeviceWorker::RequestStopCurrent() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_) {
        return false;
    }
    current_->Raise(false);
    return true;
}

bool CDeviceWorker::CancelCurrent() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_) {
        return false;
    }
    current_->Raise(true);
    CancelExchange();
    return true;
}

bool CDeviceWorker::IsBusy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return currentId_ != 0 || !queue_.empty();
}

JobId CDeviceWorker::CurrentJob() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return currentId_;
}

bool CDeviceWorker::WaitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto idle = [this] { return currentId_ == 0 && queue_.empty(); };
    if (timeoutMs < 0) {
        idle_.wait(lock, idle);
        return true;
    }
    return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
}

bool CDeviceWorker::OnWorkerThread() const {
    return workerThread_.load() == std::this_thread::get_id();
}

std::shared_ptr<const CoreStatus> CDeviceWorker::Status() const {
    return core_.Status();
}

void CDeviceWorker::SetPortLostListener(Poster poster, std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(mutex_);
    portLostPoster_ = std::move(poster);
    portLostListener_ = std::move(listener);
}

void CDeviceWorker::CancelExchange() {
    // Called under mutex_ while a job runs; the device manager's cancel is
    // safe from any thread and does not wait.
    core_.Device().Cancel();
}

void CDeviceWorker::ClearCancel() {
    // On the worker, after the cancelled job has returned.
    core_.Device().ResumeAfterCancel();
}
