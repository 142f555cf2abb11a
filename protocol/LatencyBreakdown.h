// Where a detection frame's response time goes: the wait for the link's send
// slot, the wire time of the request and of the answer at the line rate, the
// module's own time and the host's. The times come from the frame observer,
// so nothing is measured while nobody asks.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "protocol/KytoProtocol.h"

using SteadyTime = std::chrono::steady_clock::time_point;

// The moments of one command exchange as the framing layer saw them.
struct ExchangeTimes {
    SteadyTime writeStart;   // the frame handed to the link (after the quiet line)
    SteadyTime writeEnd;     // the link took it: the send slot came and the bytes left
    SteadyTime responseEnd;  // the whole answer was read
    int requestBytes = 0;
    int responseBytes = 0;  // header included
};

// Milliseconds; the five members add up to the frame's response time.
struct LatencyBreakdown {
    double gridWaitMs = 0;      // waiting for the serial link's 100 ms send grid
    double requestWireMs = 0;   // the command on the line at the line rate
    double moduleMs = 0;        // answer start minus request end
    double responseWireMs = 0;  // the answer on the line at the line rate
    double hostMs = 0;          // the rest: choices, a verify-ID exchange, the quiet line, reading,
                                // decoding and stabilisation

    double TotalMs() const {
        return gridWaitMs + requestWireMs + moduleMs + responseWireMs + hostMs;
    }
};

// Time of `bytes` on a line at `baud` with 10 bits a byte (start, 8 data,
// stop); 0 for a rate that is not positive.
double WireTimeMs(int bytes, int baud);

// Splits the frame that ran from `started` to `finished` around its
// detection exchange. The wire times come from the line rate; where the
// observed exchange is shorter than they say (a line without timing, or a
// request the far end took before its last byte was due) they shrink to what
// was observed, so the sum stays the frame's time and no member is negative.
LatencyBreakdown BreakDown(const ExchangeTimes& exchange, SteadyTime started, SteadyTime finished,
                           int baud);

// Median and 95th percentile (nearest rank) of a run's values; 0 for none.
struct PercentileSummary {
    double median = 0;
    double p95 = 0;
};
PercentileSummary Summarise(std::vector<double> values);

// A frame observer that remembers the times of the latest detection exchange
// (Execute or ExecuteEx) and passes every frame on to another observer (the
// trace), so both can watch one link.
class CExchangeClock : public IFrameObserver {
public:
    explicit CExchangeClock(IFrameObserver* next = nullptr) : next_(next) {}
    // Set before the clock is attached to a link.
    void SetNext(IFrameObserver* next) { next_ = next; }

    void OnWriteStart(const std::string& command) override;
    void OnFrame(int direction, const std::string& command, int length,
                 const std::uint8_t* bytes) override;

    // The latest complete detection exchange since the last call, if any.
    std::optional<ExchangeTimes> TakeDetection();

private:
    static bool IsDetection(const std::string& command);

    IFrameObserver* next_;
    std::mutex mutex_;
    ExchangeTimes pending_;
    bool sending_ = false;
    bool sent_ = false;
    std::optional<ExchangeTimes> done_;
};
