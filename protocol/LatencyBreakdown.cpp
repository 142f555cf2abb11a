// The latency breakdown of a detection frame and its clock on the frame observer.
#include "protocol/LatencyBreakdown.h"

#include <algorithm>
#include <cmath>

namespace {

double Ms(SteadyTime from, SteadyTime to) {
    return std::max(0.0, std::chrono::duration<double, std::milli>(to - from).count());
}

}  // namespace

double WireTimeMs(int bytes, int baud) {
    if (baud <= 0 || bytes <= 0) {
        return 0;
    }
    return static_cast<double>(bytes) * 10.0 * 1000.0 / static_cast<double>(baud);
}

LatencyBreakdown BreakDown(const ExchangeTimes& x, SteadyTime started, SteadyTime finished,
                           int baud) {
    LatencyBreakdown b;
    const double total = Ms(started, finished);
    // The exchange's moments, kept inside the frame and in order.
    const SteadyTime writeStart = std::clamp(x.writeStart, started, finished);
    const SteadyTime writeEnd = std::clamp(x.writeEnd, writeStart, finished);
    const SteadyTime responseEnd = std::clamp(x.responseEnd, writeEnd, finished);
    b.gridWaitMs = Ms(writeStart, writeEnd);
    // The link hands bytes to the driver, which sends them after the write
    // returned; from then on the line and the module share the time.
    const double exchange = Ms(writeEnd, responseEnd);
    b.requestWireMs = std::min(WireTimeMs(x.requestBytes, baud), exchange);
    b.responseWireMs = std::min(WireTimeMs(x.responseBytes, baud), exchange - b.requestWireMs);
    b.moduleMs = exchange - b.requestWireMs - b.responseWireMs;
    b.hostMs = std::max(0.0, total - b.gridWaitMs - exchange);
    return b;
}

PercentileSummary Summarise(std::vector<double> values) {
    PercentileSummary s;
    if (values.empty()) {
        return s;
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    // Nearest rank: the smallest value with at least 95 % of the values at or below it.
    const auto rank = static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(n)));
    s.p95 = values[std::max<std::size_t>(rank, 1) - 1];
    return s;
}

bool CExchangeClock::IsDetection(const std::string& command) {
    return command == "Execute" || command == "ExecuteEx";
}

void CExchangeClock::OnWriteStart(const std::string& command) {
    const SteadyTime now = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sending_ = IsDetection(command);
        sent_ = false;
        if (sending_) {
            pending_ = ExchangeTimes{};
            pending_.writeStart = now;
        }
    }
    if (next_ != nullptr) {
        next_->OnWriteStart(command);
    }
}

void CExchangeClock::OnFrame(int direction, const std::string& command, int length,
                             const std::uint8_t* bytes) {
    const SteadyTime now = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (sending_ && IsDetection(command)) {
            if (direction > 0) {
                pending_.writeEnd = now;
                pending_.requestBytes = length;
                sent_ = true;
            } else if (sent_) {
                pending_.responseEnd = now;
                pending_.responseBytes = length;
                done_ = pending_;
                sending_ = false;
                sent_ = false;
            }
        }
    }
    if (next_ != nullptr) {
        next_->OnFrame(direction, command, length, bytes);
    }
}

std::optional<ExchangeTimes> CExchangeClock::TakeDetection() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<ExchangeTimes> taken = done_;
    done_.reset();
    return taken;
}
