#include "protocol/KytoProtocol.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "base/ByteOrder.h"

namespace {

using Clock = std::chrono::steady_clock;

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
    // A socket whose peer has closed is no link until it is opened again;
    // what it left in the buffer belongs to no command of ours.
    if (link_->PeerClosed()) {
        link_->Clear();
        return kResultNoLink;
    }
    // The line must stay quiet for a while before a command goes out; late
    // bytes of an earlier exchange are dropped and restart the wait. A link
    // that is gone has nothing to wait for: the write fails quietly and the
    // reader reports the missing answer.
    const auto quietPeriod = std::chrono::milliseconds(quietPeriodMs_);
    Clock::time_point quietSince = Clock::now();
    while (quietPeriodMs_ > 0) {
        const int waitMs = std::max(1, MillisUntil(quietSince + quietPeriod));
        const int available = link_->WaitAvailable(1, waitMs);
        if (available == ILinkTransport::kWaitInterrupted) {
            return kResultCancelled;
        }
        if (available == ILinkTransport::kWaitClosed) {
            break;
        }
        if (available > 0) {
            link_->Clear();
            quietSince = Clock::now();
            continue;
        }
        if (Clock::now() - quietSince >= quietPeriod) {
            break;
        }
    }
    if (link_->IsInterrupted()) {
        return kResultCancelled;
    }
    link_->Clear();
    if (observer_ != nullptr) {
        observer_->OnWriteStart(command);
    }
    link_->Write(bytes, length);
    Report(1, command, length, bytes);
    // An interrupt during the write abandons the rest of the frame.
    return link_->IsInterrupted() ? kResultCancelled : kResultOk;
}

int CKytoProtocol::WaitForBytes(int timeLimitMs, int& needed) {
    if (link_ == nullptr) {
        return -1;
    }
    const bool limited = timeLimitMs >= 0;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(std::max(timeLimitMs, 0));
    for (;;) {
        const int available = link_->WaitAvailable(needed, limited ? MillisUntil(deadline) : -1);
        if (available == ILinkTransport::kWaitInterrupted) {
            return kResultCancelled;
        }
        if (available == ILinkTransport::kWaitClosed) {
            return -1;
        }
        if (available >= needed) {
            needed = available;
            return 0;
        }
        if (limited && Clock::now() >= deadline) {
            return -1;
        }
    }
}

int CKytoProtocol::ReadBytes(int timeLimitMs, int& count, std::uint8_t* buffer) {
    int needed = count;
    const int r = WaitForBytes(timeLimitMs, needed);
    if (r != 0) {
        count = 0;
        return r;
    }
    count = link_->Read(buffer, count);
    return 0;
}

int CKytoProtocol::ReadResponse(const std::string& command, int timeLimitMs, int& capacity,
                                std::uint8_t& responseCode, std::uint8_t* payload) {
    int length = 0;
    const int space = payload != nullptr ? std::max(capacity, 0) : 0;
    const int r = ReadResponseInto(command, timeLimitMs, payload, space, length, responseCode);
    // An empty payload leaves the capacity as it was.
    if (r == kResultOk && length > 0) {
        capacity = length;
    }
    return r;
}

int CKytoProtocol::ReadResponseInto(const std::string& command, int timeLimitMs,
                                    std::uint8_t* payload, int space, int& length,
                                    std::uint8_t& responseCode) {
    length = 0;
    if (link_ == nullptr) {
        return kResultNoLink;
    }
    std::uint8_t header[kHeaderSize];
    int count = kHeaderSize;
    const int got = ReadBytes(timeLimitMs, count, header);
    if (got == kResultCancelled) {
        return kResultCancelled;
    }
    if (got != 0) {
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
    const std::uint32_t announced = LoadLe32(header + 2);
    if (announced == 0xFFFFFFFFu || announced > kMaxPayload) {
        Report(-1, command, kHeaderSize, header);
        return kResultBadLength;
    }
    responseCode = header[1];
    length = static_cast<int>(announced);
    if (announced == 0) {
        Report(-1, command, kHeaderSize, header);
        return kResultOk;
    }
    return ReadPayload(timeLimitMs, announced, payload != nullptr ? std::max(space, 0) : 0, payload,
                       command, header);
}

// The payload waits in the link's buffer until all of it has arrived; then at
// most the caller's space is copied out and the rest of the frame is
// consumed, so the caller's buffer is never overrun.
int CKytoProtocol::ReadPayload(int timeLimitMs, std::uint32_t length, int space,
                               std::uint8_t* payload, const std::string& command,
                               const std::uint8_t* header) {
    const int total = static_cast<int>(length);
    int needed = total;
    const int waited = WaitForBytes(timeLimitMs, needed);
    if (waited != 0) {
        Report(-1, command, kHeaderSize, header);
        return waited == kResultCancelled ? kResultCancelled : kResultTimeout;
    }
    const int copied = std::min(total, space);
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
    return total > space ? kResultOverflow : kResultOk;
}

std::uint8_t* CKytoProtocol::ResponseBuffer(std::size_t minCapacity) {
    if (minCapacity > responseCapacity_) {
        responseBuffer_.reset();
        responseBuffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(minCapacity);
        responseCapacity_ = minCapacity;
    }
    return responseBuffer_.get();
}
