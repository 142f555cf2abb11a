#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "link/LinkTransport.h"

// An in-memory transport: the "module" side feeds bytes, the link side reads
// them; what the link writes is collected. Used by tests, benchmarks and the
// fuzz targets to drive the protocol layer without a device.
class CMemoryTransport : public ILinkTransport {
public:
    // capacity bounds the received bytes like the serial buffer does;
    // bytes beyond it are dropped.
    explicit CMemoryTransport(std::size_t capacity = 6291456);

    void Feed(const std::uint8_t* data, std::size_t length);
    void Feed(const std::vector<std::uint8_t>& data) { Feed(data.data(), data.size()); }
    std::vector<std::uint8_t> TakeWritten();
    // Called with each frame written, on the writer's thread, e.g. to feed a
    // scripted answer. Not called while the transport is interrupted.
    void SetOnWrite(std::function<void(const std::uint8_t*, int)> onWrite);
    // The far end has gone (a vanished device): waiters wake with
    // kWaitClosed; Reopen() makes the transport usable again.
    void Close();
    void Reopen();

    int Available() override;
    int Read(std::uint8_t* buffer, int length) override;
    void Clear() override;
    int Write(const std::uint8_t* data, int length) override;
    int WaitAvailable(int needed, int timeoutMs) override;
    void Interrupt() override;
    void ResumeAfterInterrupt() override;

private:
    const std::size_t capacity_;
    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<std::uint8_t> received_;
    std::size_t readIndex_ = 0;
    bool closed_ = false;
    bool interrupted_ = false;
    std::vector<std::uint8_t> written_;
    std::function<void(const std::uint8_t*, int)> onWrite_;
};
