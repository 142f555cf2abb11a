#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "QuellTestSupport.h"

namespace {

// Runs on its own handle while other threads open, use and delete theirs;
// each thread must see only its own tracks.
void RunFrames(int x, std::atomic<int>& wrongIds) {
    ScopedQuell q;
    for (int t = 0; t < 300; ++t) {
        const auto r = q.Run(FrameOf({Face(x + t % 3, 100, 50)}));
        if (r.faces.size() != 1 || r.faces[0].trackingId != 0) {
            ++wrongIds;
        }
    }
}

TEST(QuellConcurrency, HandlesOnSeparateThreadsStayApart) {
    std::atomic<int> wrongIds{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back(RunFrames, 60 + 80 * i, std::ref(wrongIds));
    }
    // Meanwhile handles come and go, and calls hit handles just deleted.
    std::thread churn([&stop] {
        while (!stop) {
            const int32_t h = QuellCreateHandle(573);
            const QuellFrameInput frame = FrameOf({Face(10, 10, 20)});
            QuellSetFrameResult(h, &frame);
            QuellDeleteHandle(h);
            EXPECT_EQ(QuellExecute(h), QUELL_ERROR_HANDLE);
        }
    });
    for (std::thread& t : threads) {
        t.join();
    }
    stop = true;
    churn.join();
    EXPECT_EQ(wrongIds, 0);
}

}  // namespace
