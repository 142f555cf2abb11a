#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "link/DeviceLink.h"
#include "protocol/ResultCodes.h"

// Receives a copy of every frame sent (direction 1) and received (-1).
class IFrameObserver {
public:
    virtual ~IFrameObserver() = default;
    virtual void OnFrame(int direction, const std::string& command, int length,
                         const std::uint8_t* bytes) = 0;
    // Just before a command frame is handed to the link, after the quiet
    // line: the link's wait for its send slot starts here.
    virtual void OnWriteStart(const std::string& command) { (void)command; }
};

// Command and response framing over a CDeviceLink.
//
// Command frame: FE, command code, 16-bit payload length, payload.
// Response frame: FE, response code, 32-bit payload length, payload.
// All lengths are little-endian.
//
// One exchange at a time: the object holds no lock; callers must not overlap
// exchanges. Waits block on the link until bytes arrive or the time passes;
// an interrupted link (CDeviceLink::Interrupt) ends them at once with
// kResultCancelled, and a link that closed or vanished ends them at once as a
// time-out.
class CKytoProtocol {
public:
    static constexpr std::uint8_t kSync = 0xFE;
    static constexpr int kHeaderSize = 6;
    // The largest payload the link can ever hold behind a header: the receive
    // buffer fills from its start after the clear before each command.
    static constexpr std::uint32_t kMaxPayload = CDeviceLink::kReceiveBufferSize - kHeaderSize;

    explicit CKytoProtocol(CDeviceLink* link);
    virtual ~CKytoProtocol();
    CKytoProtocol(const CKytoProtocol&) = delete;
    CKytoProtocol& operator=(const CKytoProtocol&) = delete;

    CDeviceLink* Link() const { return link_; }
    void SetObserver(IFrameObserver* observer) { observer_ = observer; }
    // How long the line must be quiet before a command goes out (1 ms). 0
    // sends at once, for transports without a line (in memory: fuzzing and
    // benchmarks), where the wait would only cost time.
    void SetQuietPeriodMs(int ms) { quietPeriodMs_ = ms; }

    // Waits for a quiet line (1 ms without input), discards stray input and
    // transmits the frame. 0 (-1 without link, kResultCancelled when the link
    // is interrupted): a failed transmission shows up as a time-out at the
    // reader.
    int SendFrame(const std::uint8_t* bytes, int length, const std::string& command);
    // 0 once at least `needed` bytes are available (needed is set to the
    // count available), -1 when the time limit passed or the link closed
    // (-1 = no limit, 0 = look once), kResultCancelled when it was
    // interrupted.
    int WaitForBytes(int timeLimitMs, int& needed);
    // 0 with exactly count bytes copied, or -1 (kResultCancelled) as
    // WaitForBytes with count set to 0.
    int ReadBytes(int timeLimitMs, int& count, std::uint8_t* buffer);
    // Reads one response frame: a KytoResult. On 0 the response code is stored
    // and capacity is set to the payload length (left alone for an empty
    // payload). The payload never overruns capacity bytes of the buffer.
    int ReadResponse(const std::string& command, int timeLimitMs, int& capacity,
                     std::uint8_t& responseCode, std::uint8_t* payload);
    // The same with the payload length told apart from the space: `length` is
    // the announced payload length (0 for an empty payload) whenever the
    // header was read; at most `space` bytes land in `payload`, and a longer
    // payload gives kResultOverflow.
    int ReadResponseInto(const std::string& command, int timeLimitMs, std::uint8_t* payload,
                         int space, int& length, std::uint8_t& responseCode);

    // A buffer for large payloads, reused between frames: it only grows and
    // does not keep its contents when it does.
    std::uint8_t* ResponseBuffer(std::size_t minCapacity);
    std::size_t ResponseCapacity() const { return responseCapacity_; }

private:
    void Report(int direction, const std::string& command, int length, const std::uint8_t* bytes);
    int ReadPayload(int timeLimitMs, std::uint32_t length, int space, std::uint8_t* payload,
                    const std::string& command, const std::uint8_t* header);

    CDeviceLink* link_;
    IFrameObserver* observer_ = nullptr;
    int quietPeriodMs_ = 1;
    std::unique_ptr<std::uint8_t[]> responseBuffer_;
    std::size_t responseCapacity_ = 0;
};
