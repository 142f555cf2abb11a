#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/LatencyBreakdown.h"

namespace {

using std::chrono::microseconds;

SteadyTime At(double ms) {
    return SteadyTime{} + microseconds(static_cast<long long>(ms * 1000.0));
}

// Frame from 0 to `finished`; the exchange as the observer saw it.
struct Case {
    const char* what;
    double writeStart, writeEnd, responseEnd, finished;
    int requestBytes, responseBytes, baud;
    LatencyBreakdown want;
};

}  // namespace

TEST(LatencyBreakdown, MembersComeFromTheExchangeAndTheLineRateAndAddUpToTheFrame) {
    const Case cases[] = {
        // 7 + 19,206 bytes at 921,600 baud: 0.076 ms and 208.398 ms on the line.
        {"line with timing",
         2.0,
         62.0,
         62.0 + 0.076 + 3.0 + 208.398,
         280.0,
         7,
         19206,
         921600,
         {60.0, 0.076, 3.0, 208.398, 280.0 - 60.0 - 0.076 - 3.0 - 208.398}},
        // The answer came faster than the line rate allows (no line timing):
        // the wire times shrink to what was seen, the module gets nothing.
        {"faster than the line",
         1.0,
         1.5,
         3.5,
         5.0,
         7,
         19206,
         921600,
         {0.5, 0.076, 0.0, 1.924, 2.5}},
        // The observer's moments outside the frame are taken at its edges.
        {"moments outside the frame",
         -5.0,
         -1.0,
         30.0,
         20.0,
         10,
         10,
         9600,
         {0.0, 10.0 * 10 * 1000 / 9600.0, 0.0, 20.0 - 10.0 * 10 * 1000 / 9600.0, 0.0}},
        {"no line rate", 0.0, 0.0, 10.0, 12.0, 7, 100, 0, {0.0, 0.0, 10.0, 0.0, 2.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ExchangeTimes x{At(c.writeStart), At(c.writeEnd), At(c.responseEnd), c.requestBytes,
                              c.responseBytes};
        const LatencyBreakdown b = BreakDown(x, At(0), At(c.finished), c.baud);
        EXPECT_NEAR(b.gridWaitMs, c.want.gridWaitMs, 0.002);
        EXPECT_NEAR(b.requestWireMs, c.want.requestWireMs, 0.002);
        EXPECT_NEAR(b.moduleMs, c.want.moduleMs, 0.002);
        EXPECT_NEAR(b.responseWireMs, c.want.responseWireMs, 0.002);
        EXPECT_NEAR(b.hostMs, c.want.hostMs, 0.002);
        EXPECT_NEAR(b.TotalMs(), c.finished, 0.002);
        for (double member :
             {b.gridWaitMs, b.requestWireMs, b.moduleMs, b.responseWireMs, b.hostMs}) {
            EXPECT_GE(member, 0.0);
        }
    }
}

TEST(LatencyBreakdown, WireTimeIsTenBitsAByte) {
    EXPECT_DOUBLE_EQ(WireTimeMs(96, 9600), 100.0);
    EXPECT_NEAR(WireTimeMs(76806, 921600), 833.398, 0.001);
    EXPECT_EQ(WireTimeMs(10, 0), 0.0);
    EXPECT_EQ(WireTimeMs(-1, 9600), 0.0);
}

TEST(LatencyBreakdown, SummaryTakesTheMedianAndTheNearestRank95thPercentile) {
    EXPECT_EQ(Summarise({}).median, 0.0);
    const PercentileSummary odd = Summarise({5, 1, 3});
    EXPECT_EQ(odd.median, 3.0);
    EXPECT_EQ(odd.p95, 5.0);
    EXPECT_EQ(Summarise({4, 1, 3, 2}).median, 2.5);
    std::vector<double> twenty;
    for (int i = 20; i >= 1; --i) {
        twenty.push_back(i);
    }
    // 95 % of 20 values is 19 of them: the 19th smallest, not the largest.
    EXPECT_EQ(Summarise(twenty).p95, 19.0);
    EXPECT_EQ(Summarise({7}).p95, 7.0);
}

namespace {

struct Recorder : IFrameObserver {
    std::vector<std::string> seen;
    void OnWriteStart(const std::string& command) override { seen.push_back("start " + command); }
    void OnFrame(int direction, const std::string& command, int, const std::uint8_t*) override {
        seen.push_back((direction > 0 ? "send " : "receive ") + command);
    }
};

}  // namespace

// The clock keeps only a complete detection exchange and hands every frame
// on, so the trace beside it misses nothing.
TEST(ExchangeClock, KeepsOnlyCompleteDetectionExchangesAndPassesEveryFrameOn) {
    Recorder next;
    CExchangeClock clock(&next);
    const std::uint8_t answer[6] = {0xFE, 0, 0, 0, 0, 0};

    clock.OnWriteStart("Execute");
    clock.OnFrame(1, "Execute", 7, answer);
    // The answer never came (a time-out); a later getter's answer must not
    // pass for it.
    clock.OnWriteStart("Get Version");
    clock.OnFrame(1, "Get Version", 4, answer);
    clock.OnFrame(-1, "Get Version", 6, answer);
    EXPECT_FALSE(clock.TakeDetection().has_value());

    clock.OnWriteStart("ExecuteEx");
    clock.OnFrame(1, "ExecuteEx", 7, answer);
    clock.OnFrame(-1, "ExecuteEx", 6, answer);
    const std::optional<ExchangeTimes> x = clock.TakeDetection();
    ASSERT_TRUE(x.has_value());
    EXPECT_EQ(x->requestBytes, 7);
    EXPECT_EQ(x->responseBytes, 6);
    EXPECT_LE(x->writeStart, x->writeEnd);
    EXPECT_LE(x->writeEnd, x->responseEnd);
    EXPECT_FALSE(clock.TakeDetection().has_value()) << "one exchange is taken once";

    EXPECT_EQ(next.seen,
              (std::vector<std::string>{"start Execute", "send Execute", "start Get Version",
                                        "send Get Version", "receive Get Version",
                                        "start ExecuteEx", "send ExecuteEx", "receive ExecuteEx"}));
}
