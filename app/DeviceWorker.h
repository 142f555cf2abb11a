#pragma once

// The device worker: the one thread that talks to the module. Every exchange
// of the application runs here as a job, one job at a time and in the order
// they were posted: connecting, a frame, a registration, an album transfer, a
// settings apply, the execution and live-image loops, disconnecting. The
// window thread never waits on the module: it posts a job and gets its
// completion back on a thread of its choice through a poster (the window's
// posts a Qt event to itself; the command line's resolves a future).
//
//   worker.Post("Get Version",
//       [](CJobContext& job) {
//           VersionInfo info;
//           const DeviceReply reply = job.Core().Device().GetVersion(info);
//           return std::make_pair(reply, info);
//       },
//       windowPoster,
//       [this](JobResult<std::pair<DeviceReply, VersionInfo>> done) { ... });
//
// Every posted job gets exactly one completion, whatever happens to it: it
// ran (kFinished), it was cancelled while it ran (kCancelled), or it never
// ran because it was stopped or cancelled while queued or the worker quit
// first (kDropped). A loop is a job that runs until its StopRequested()
// turns true; its completion is the worker's answer to the stop request, so
// "request, then answer, then close the wait dialog" holds by construction.
//
// Threads: Post, RequestStop, Cancel, CancelCurrent, IsBusy and WaitIdle may
// be called from any thread. Quit and the destructor must not be called from
// a job. While the worker runs, it owns the core (CAppCore) and its device
// manager: nothing else may touch them; other threads read the core's
// published Status().
//
// Idle, the worker sleeps on a condition variable: it costs nothing and
// wakes as soon as a job is posted.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

class CAppCore;
struct CoreStatus;

// Runs a completion on the thread the caller chose. Must not block for long:
// it is called on the worker (or, for a job dropped from the queue, on the
// thread that cancelled it).
using Poster = std::function<void(std::function<void()>)>;

// Runs the completion at once on the calling thread (the worker).
Poster InlinePoster();

using JobId = std::uint64_t;

enum class JobEnd {
    kFinished,   // the job ran to its end (a loop: it stopped on request or by itself)
    kCancelled,  // cancelled while it ran: its exchange in flight was ended
    kDropped,    // it never ran: stopped or cancelled while queued, or the worker quit
    kFailed,     // it threw (a fault in the job); the value is default-constructed
};

struct JobOutcome {
    JobEnd end = JobEnd::kFinished;
    // The serial port vanished (unplugged) while or before the job ran; the
    // window offers to reconnect.
    bool portLost = false;
    bool Ran() const { return end == JobEnd::kFinished || end == JobEnd::kCancelled; }
};

template <class R>
struct JobResult : JobOutcome {
    R value{};
};
template <>
struct JobResult<void> : JobOutcome {};

// What a job sees while it runs on the worker.
class CJobContext {
public:
    CAppCore& Core() const { return core_; }
    JobId Id() const { return id_; }
    const std::string& Name() const { return name_; }
    // The owner asked the job to stop (a loop ends after its current step);
    // also true once it is cancelled.
    bool StopRequested() const;
    bool Cancelled() const;
    // Waits up to ms; false at once (or as soon as it happens) when a stop
    // or a cancel is requested. Jobs use it instead of sleeping.
    bool Pause(int ms);
    // The serial port of the connected module has vanished.
    bool PortLost() const;

    struct Control;  // shared between the job and its owner

private:
    friend class CDeviceWorker;
    CJobContext(CAppCore& core, JobId id, const std::string& name, Control& control)
        : core_(core), id_(id), name_(name), control_(control) {}

    CAppCore& core_;
    JobId id_;
    const std::string& name_;
    Control& control_;
};

class CDeviceWorker {
public:
    explicit CDeviceWorker(CAppCore& core);
    ~CDeviceWorker();  // Quit()
    CDeviceWorker(const CDeviceWorker&) = delete;
    CDeviceWorker& operator=(const CDeviceWorker&) = delete;

    // Starts the thread; from here on the worker owns the core.
    void Start();
    // Cancels the running job, drops the queued ones (each completed with
    // kDropped, in order) and joins the thread. The core is the caller's
    // again afterwards. Jobs posted after Quit complete with kDropped.
    void Quit();

    // Queues `work` (called as work(CJobContext&) on the worker) and returns
    // its ID; when it has ended, done(JobResult<R>) is handed to `poster`.
    template <class Work, class Done>
    JobId Post(std::string name, Work work, Poster poster, Done done);
    // Fire and forget.
    template <class Work>
    JobId Post(std::string name, Work work) {
        return Post(std::move(name), std::move(work), InlinePoster(), [](auto&&) {});
    }
    // The completion as a future (command line, tests).
    template <class Work>
    auto Submit(std::string name, Work work)
        -> std::future<JobResult<std::invoke_result_t<Work&, CJobContext&>>>;

    // Asks the job to stop: a running one sees StopRequested() and ends
    // after its current step, a queued one is dropped. False when the job
    // has already ended (its completion is then already on its way).
    bool RequestStop(JobId id);
    // As RequestStop, and the exchange in flight ends at once (the device
    // manager's cancel); later exchanges of the same job fail at once too.
    bool Cancel(JobId id);
    // RequestStop / Cancel of whatever runs now (a sink stopping its own
    // loop; window closing, user cancel); false when idle.
    bool RequestStopCurrent();
    bool CancelCurrent();

    // A job runs or waits.
    bool IsBusy() const;
    JobId CurrentJob() const;  // 0 when none runs
    // Waits until no job runs or waits; false when timeoutMs (>= 0) passed first.
    bool WaitIdle(int timeoutMs = -1);
    bool OnWorkerThread() const;
    // The core's snapshot, published after every job (any thread).
    std::shared_ptr<const CoreStatus> Status() const;

    // Called (through the poster) once when the worker finds that the port
    // of the connected module has vanished; again only after a job found it
    // present in between.
    void SetPortLostListener(Poster poster, std::function<void()> listener);

private:
    struct Job {
        JobId id = 0;
        std::string name;
        std::function<void(CJobContext&)> run;
        std::function<void(const JobOutcome&)> finish;
        std::shared_ptr<CJobContext::Control> control;
    };

    JobId Enqueue(std::string name, std::function<void(CJobContext&)> run,
                  std::function<void(const JobOutcome&)> finish);
    void ThreadMain();
    void RunJob(Job& job);
    bool CheckPortLost();
    bool PauseCurrent(int ms);
    // The device manager's cancel of the exchange in flight, and its reset
    // before the next job.
    void CancelExchange();
    void ClearCancel();
    bool StopJob(JobId id, bool cancel);

    CAppCore& core_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;  // a job was posted, or quit
    std::condition_variable idle_;  // a job ended
    std::deque<Job> queue_;
    JobId nextId_ = 1;
    JobId currentId_ = 0;
    std::shared_ptr<CJobContext::Control> current_;
    bool started_ = false;
    bool quit_ = false;
    std::thread thread_;
    std::atomic<std::thread::id> workerThread_{};

    Poster portLostPoster_;
    std::function<void()> portLostListener_;
    bool portLostReported_ = false;  // worker thread only
};

// ---- Templates --------------------------------------------------------------

template <class Work, class Done>
JobId CDeviceWorker::Post(std::string name, Work work, Poster poster, Done done) {
    using R = std::invoke_result_t<Work&, CJobContext&>;
    auto result = std::make_shared<JobResult<R>>();
    auto run = [result, work = std::move(work)](CJobContext& job) mutable {
        if constexpr (std::is_void_v<R>) {
            work(job);
        } else {
            result->value = work(job);
        }
    };
    auto finish = [result, poster = std::move(poster),
                   done = std::move(done)](const JobOutcome& outcome) mutable {
        static_cast<JobOutcome&>(*result) = outcome;
        poster([result, done]() mutable { done(std::move(*result)); });
    };
    return Enqueue(std::move(name), std::move(run), std::move(finish));
}

template <class Work>
auto CDeviceWorker::Submit(std::string name, Work work)
    -> std::future<JobResult<std::invoke_result_t<Work&, CJobContext&>>> {
    using R = std::invoke_result_t<Work&, CJobContext&>;
    auto promise = std::make_shared<std::promise<JobResult<R>>>();
    auto future = promise->get_future();
    Post(std::move(name), std::move(work), InlinePoster(),
         [promise](JobResult<R> done) { promise->set_value(std::move(done)); });
    return future;
}
