// The device worker's contract: one job at a time in posting order on its
// own thread, one completion per job on the poster the caller chose, the
// stop hand-shake, cancel and the jobs that never ran.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CompletionQueue.h"
#include "TempDir.h"
#include "app/AppCore.h"
#include "app/DeviceWorker.h"

namespace {

class WorkerTest : public ::testing::Test {
protected:
    WorkerTest() : worker_(core_) { worker_.Start(); }

    // Events in the order they happened, from any thread.
    void Note(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    TempDir dir_;
    CAppCore core_;
    CompletionQueue window_;  // outlives the worker, whose thread posts into it
    CDeviceWorker worker_;
    std::mutex mutex_;
    std::vector<std::string> events_;
};

// A job that holds the worker until it is stopped (a loop's shape).
auto UntilStopped() {
    return [](CJobContext& job) {
        int steps = 0;
        while (job.Pause(60000)) {
            ++steps;
        }
        return steps;
    };
}

}  // namespace

TEST_F(WorkerTest, RunsJobsOneAtATimeInPostingOrderOnItsOwnThread) {
    std::atomic<int> running{0};
    std::atomic<int> overlaps{0};
    std::vector<int> order;  // written by the worker only
    std::vector<std::thread::id> threads;
    constexpr int kJobs = 40;
    std::vector<std::future<JobResult<int>>> done;
    for (int i = 0; i < kJobs; ++i) {
        done.push_back(worker_.Submit("job", [&, i](CJobContext&) {
            if (running.fetch_add(1) != 0) {
                ++overlaps;
            }
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
            std::this_thread::yield();
            running.fetch_sub(1);
            return i * 2;
        }));
    }
    for (int i = 0; i < kJobs; ++i) {
        const JobResult<int> r = done[static_cast<std::size_t>(i)].get();
        EXPECT_EQ(r.end, JobEnd::kFinished);
        EXPECT_EQ(r.value, i * 2);
    }
    EXPECT_EQ(overlaps.load(), 0);
    ASSERT_EQ(order.size(), static_cast<std::size_t>(kJobs));
    for (int i = 0; i < kJobs; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
        EXPECT_EQ(threads[static_cast<std::size_t>(i)], threads[0]);
    }
    EXPECT_NE(threads[0], std::this_thread::get_id());
    EXPECT_TRUE(worker_.WaitIdle(10000));
    EXPECT_FALSE(worker_.IsBusy());
}

TEST_F(WorkerTest, CompletionRunsOnThePostersThreadAfterTheJob) {
    std::thread::id jobThread;
    std::thread::id completionThread;
    int value = 0;
    worker_.Post(
        "answer",
        [&](CJobContext& job) {
            jobThread = std::this_thread::get_id();
            EXPECT_TRUE(worker_.OnWorkerThread());
            EXPECT_EQ(worker_.CurrentJob(), job.Id());
            return std::string("forty-two");
        },
        window_.MakePoster(),
        [&](JobResult<std::string> r) {
            completionThread = std::this_thread::get_id();
            EXPECT_EQ(r.end, JobEnd::kFinished);
            EXPECT_FALSE(r.portLost);
            value = static_cast<int>(r.value.size());
        });
    ASSERT_EQ(window_.RunPending(), 1);
    EXPECT_EQ(value, 9);
    EXPECT_EQ(completionThread, std::this_thread::get_id());
    EXPECT_NE(jobThread, completionThread);
    EXPECT_FALSE(worker_.OnWorkerThread());
}

// The window's stop: request, then the worker's answer (the loop ends after
// its step), then the completion on the window thread closes the wait
// dialog. Work posted meanwhile waits for the loop.
TEST_F(WorkerTest, StopIsAnsweredByTheLoopsCompletionBeforeQueuedWorkRuns) {
    std::promise<void> looping;
    const JobId loop = worker_.Post(
        "loop",
        [&](CJobContext& job) {
            looping.set_value();
            const int steps = UntilStopped()(job);
            Note("loop answered");
            return steps;
        },
        window_.MakePoster(),
        [&](JobResult<int> r) {
            EXPECT_EQ(r.end, JobEnd::kFinished);
            Note("loop completion");
        });
    worker_.Post(
        "settings", [&](CJobContext&) { Note("settings ran"); }, window_.MakePoster(),
        [&](JobResult<void>) { Note("settings completion"); });
    looping.get_future().wait();
    EXPECT_EQ(window_.RunPending(50), 0);  // nothing ends by itself

    Note("stop requested");
    EXPECT_TRUE(worker_.RequestStop(loop));
    while (Events().size() < 5) {
        ASSERT_GT(window_.RunPending(), 0);
    }
    const std::vector<std::string> events = Events();
    auto at = [&events](const char* event) {
        return std::find(events.begin(), events.end(), event) - events.begin();
    };
    EXPECT_LT(at("stop requested"), at("loop answered"));
    EXPECT_LT(at("loop answered"), at("loop completion"));
    EXPECT_LT(at("loop answered"), at("settings ran"));
    EXPECT_LT(at("loop completion"), at("settings completion"));
    // A stop for a loop that has ended changes nothing.
    EXPECT_FALSE(worker_.RequestStop(loop));
}

TEST_F(WorkerTest, CancelEndsTheJobInFlightAndTheNextJobRunsNormally) {
    auto blocked = worker_.Submit("blocked", [](CJobContext& job) {
        // Waits as an exchange with a silent module would (a minute).
        const bool wholeWait = job.Pause(60000);
        return wholeWait ? 1 : (job.Cancelled() ? 2 : 3);
    });
    auto after = worker_.Submit("after", [](CJobContext& job) { return job.Cancelled() ? 0 : 1; });
    while (worker_.CurrentJob() == 0) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(worker_.CancelCurrent());
    ASSERT_EQ(blocked.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const JobResult<int> cancelled = blocked.get();
    EXPECT_EQ(cancelled.end, JobEnd::kCancelled);
    EXPECT_EQ(cancelled.value, 2);
    const JobResult<int> next = after.get();
    EXPECT_EQ(next.end, JobEnd::kFinished);
    EXPECT_EQ(next.value, 1);               // the cancel did not reach it
    EXPECT_FALSE(worker_.CancelCurrent());  // idle: nothing to cancel
}

TEST_F(WorkerTest, JobsThatNeverRunStillCompleteOnceAsDropped) {
    std::promise<void> holding;
    auto holder = worker_.Submit("holder", [&](CJobContext& job) {
        holding.set_value();
        return UntilStopped()(job);
    });
    holding.get_future().wait();
    std::vector<int> completions;
    std::vector<JobId> queued;
    for (int i = 0; i < 3; ++i) {
        queued.push_back(worker_.Post(
            "queued", [i](CJobContext&) { return i; }, window_.MakePoster(),
            [&completions, i](JobResult<int> r) {
                EXPECT_EQ(r.end, JobEnd::kDropped);
                EXPECT_FALSE(r.Ran());
                completions.push_back(i);
            }));
    }
    // Stopping a queued job drops it at once; the others stay queued.
    EXPECT_TRUE(worker_.RequestStop(queued[1]));
    ASSERT_EQ(window_.RunPending(), 1);
    EXPECT_EQ(completions, (std::vector<int>{1}));

    // Quitting cancels the running job and drops the rest, in order.
    worker_.Quit();
    EXPECT_EQ(holder.get().end, JobEnd::kCancelled);
    while (completions.size() < 3) {
        ASSERT_GT(window_.RunPending(), 0);
    }
    EXPECT_EQ(completions, (std::vector<int>{1, 0, 2}));
    // After Quit every post is dropped at once.
    EXPECT_EQ(worker_.Submit("late", [](CJobContext&) { return 5; }).get().end, JobEnd::kDropped);
}

TEST_F(WorkerTest, AJobThatThrowsFailsAloneAndTheWorkerCarriesOn) {
    auto thrower = worker_.Submit(
        "thrower", [](CJobContext&) -> int { throw std::runtime_error("out of memory, say"); });
    auto next = worker_.Submit("next", [](CJobContext&) { return 7; });
    EXPECT_EQ(thrower.get().end, JobEnd::kFailed);
    const JobResult<int> r = next.get();
    EXPECT_EQ(r.end, JobEnd::kFinished);
    EXPECT_EQ(r.value, 7);
}

TEST_F(WorkerTest, TheCoreStatusIsPublishedAfterEachJob) {
    EXPECT_EQ(worker_.Status()->portName, "");
    worker_.Submit("set port", [](CJobContext& job) { job.Core().portName = "/dev/ttyX"; }).get();
    EXPECT_EQ(worker_.Status()->portName, "/dev/ttyX");
    EXPECT_FALSE(worker_.Status()->connected);
}
