#include "protocol/KytoProtocol.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "base/ByteOrder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kQuietPeriod = std::chrono::milliseconds(1);

// Whole milliseconds left until deadline, rounded up so that a wait never
// ends before it.
int MillisUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

}  // namespace

CKytoProtocol::CKytoProtocol(CDeviceLink* link) : link_(link) {}

CKytoProtocol::~CKytoProtocol() = default;

void CKytoProtocol::Report(int direction, const std::string& command, int length,
                           const std::uint8_t* bytes) {
    if (observer_ != nullptr) {
        observer_->OnFrame(direction, command, length, bytes);
    }
}

int CKytoProtocol::SendFrame(const std::uint8_t* bytes, int length, const std::string& command) {
    if (link_ == nullptr) {
        return kResultNoLink;
    }
    // The line must stay quiet for a while before a command goes out; late
    // bytes of an earlier exchange are dropped and restart the wait.
    Clock::time_point quietSince = Clock::now();
    for (;;) {
        const int waitMs = std::max(1, MillisUntil(quietSince + kQuietPeriod));
        if (link_->WaitAvailable(1, waitMs) > 0) {
            link_->Clear();
            quietSince = Clock::now();
            continue;
        }
        if (Clock::now() - quietSince >= kQuietPeriod) {
            break;
        }
    }
    link_->Clear();
    link_->Write(bytes, length);
    Report(1, command, length, bytes);
    return kResultOk;
}

int CKytoProtocol::WaitForBytes(int timeLimitMs, int& needed) {
    if (link_ == nullptr) {
        return -1;
    }
    if (timeLimitMs < 0) {
        int available = 0;
        while ((available = link_->WaitAvailable(needed, -1)) < needed) {
        }
        needed = available;
        return 0;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeLimitMs);
    for (;;) {
        const int available = link_->WaitAvailable(needed, MillisUntil(deadline));
        if (available >= needed) {
            needed = available;
            return 0;
        }
        if (Clock::now() >= deadline) {
            return -1;
        }
    }
}

int CKytoProtocol::ReadBytes(int timeLimitMs, int& count, std::uint8_t* buffer) {
    int needed = count;
    if (WaitForBytes(timeLimitMs, needed) != 0) {
        count = 0;
        return -1;
    }
    count = link_->Read(buffer, count);
    return 0;
}

int CKytoProtocol::ReadResponse(const std::string& command, int timeLimitMs, int& capacity,
                                std::uint8_t& responseCode, std::uint8_t* payload) {
    if (link_ == nullptr) {
        return kResultNoLink;
    }
    std::uint8_t header[kHeaderSize];
    int count = kHeaderSize;
    if (ReadBytes(timeLimitMs, count, header) != 0) {
        return kResultTimeout;
    }
    if (count < kHeaderSize) {
        Report(-1, command, count, header);
        return kResultShortHeader;
    }
    if (header[0] != kSync) {
        Report(-1, command, kHeaderSize, header);
        return kResultBadSync;
    }
    // A length no receive buffer could ever hold is as invalid as the marker
    // 0xFFFFFFFF: answering at once beats waiting out the time limit, and
    // nothing is allocated for it. The response code is left alone, as for
    // the marker.
    const std::uint32_t length = LoadLe32(header + 2);
    if (length == 0xFFFFFFFFu || length > kMaxPayload) {
        Report(-1, command, kHeaderSize, header);
        return kResultBadLength;
    }
    responseCode = header[1];
    if (length == 0) {
        Report(-1, command, kHeaderSize, header);
        return kResultOk;
    }
    return ReadPayload(timeLimitMs, length, capacity, payload, command, header);
}

// The payload waits in the link's buffer until all of it has arrived; then at
// most the caller's capacity is copied out and the rest of the frame is
// consumed, so the caller's buffer is never overrun.
int CKytoProtocol::ReadPayload(int timeLimitMs, std::uint32_t length, int& capacity,
                               std::uint8_t* payload, const std::string& command,
                               const std::uint8_t* header) {
    const int total = static_cast<int>(length);
    int needed = total;
    if (WaitForBytes(timeLimitMs, needed) != 0) {
        Report(-1, command, kHeaderSize, header);
        return kResultTimeout;
    }
    const int room = payload != nullptr ? std::max(capacity, 0) : 0;
    const int copied = std::min(total, room);
    if (observer_ != nullptr) {
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(kHeaderSize + total));
        std::memcpy(frame.data(), header, kHeaderSize);
        const int got = link_->Read(frame.data() + kHeaderSize, total);
        if (copied > 0) {
            std::memcpy(payload, frame.data() + kHeaderSize, static_cast<std::size_t>(copied));
        }
        Report(-1, command, kHeaderSize + got, frame.data());
    } else {
        if (copied > 0) {
            link_->Read(payload, copied);
        }
        std::uint8_t sink[4096];
        for (int left = total - copied; left > 0;) {
            const int got = link_->Read(sink, std::min(left, static_cast<int>(sizeof sink)));
            if (got <= 0) {
                break;
            }
            left -= got;
        }
    }
    if (total > room) {
        return kResultOverflow;
    }
    capacity = total;
    return kResultOk;
}

std::uint8_t* CKytoProtocol::ResponseBuffer(std::size_t minCapacity) {
    if (minCapacity > responseCapacity_) {
        responseBuffer_.reset();
        responseBuffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(minCapacity);
        responseCapacity_ = minCapacity;
    }
    return responseBuffer_.get();
}
