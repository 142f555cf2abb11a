// The connection sequences of the device manager: connect with the
// baud-rate switch, the orderly disconnect, the resynchronisation after a
// failed frame, and cancelling the exchange in flight. Kept apart from the
// command codec: these talk to the link, not to a command of the module.
#include <chrono>
#include <thread>

#include "link/DeviceLink.h"
#include "protocol/DeviceMngr.h"
#include "protocol/KytoProtocol.h"

namespace {

constexpr int kResyncFallbackMs = 1000;
constexpr int kBaudSwitchSettleMs = 50;

}  // namespace

int BaudIndex(int baud) {
    switch (baud) {
        case 38400:
            return 1;
        case 115200:
            return 2;
        case 230400:
            return 3;
        case 460800:
            return 4;
        case 921600:
            return 5;
        default:
            return 0;
    }
}

// ---- Cancelling ----------------------------------------------------------------

void CDeviceMngr::Cancel() {
    cancelled_ = true;
    link_->Interrupt();
}

void CDeviceMngr::ResumeAfterCancel() {
    cancelled_ = false;
    link_->ResumeAfterInterrupt();
}

// ---- Connection -----------------------------------------------------------

void CDeviceMngr::SendBaudSwitch(int baudIndex) {
    const std::uint8_t frame[5] = {0xFE, kCmdSetBaudRate, 0x01, 0x00,
                                   static_cast<std::uint8_t>(baudIndex)};
    // The baud switch is not shown to the frame observer; no answer is read.
    protocol_->SetObserver(nullptr);
    (void)protocol_->SendFrame(frame, 5, "");
    protocol_->SetObserver(observer_);
}

int CDeviceMngr::Connect(const std::string& port, int baud) {
    if (cancelled_) {
        return kResultCancelled;
    }
    if (connected_ && !usingTransport_) {
        link_->CloseLink();
    }
    connected_ = false;
    if (!link_->OpenLink(port, 9600)) {
        return kResultNoLink;
    }
    SendBaudSwitch(BaudIndex(baud));
    // Give the module a moment to take the frame and change its rate before
    // the port is closed and set to the new one.
    std::this_thread::sleep_for(std::chrono::milliseconds(kBaudSwitchSettleMs));
    link_->CloseLink();
    if (cancelled_) {
        return kResultCancelled;
    }
    if (!link_->OpenLink(port, baud)) {
        return kResultNoLink;
    }
    connected_ = true;
    usingTransport_ = false;
    params_.baud = baud;
    return kResultOk;
}

void CDeviceMngr::Disconnect() {
    // An orderly end: the module must get back to 9600 baud even after a
    // cancelled exchange, or the next connection could not reach it.
    ResumeAfterCancel();
    if (connected_) {
        SendBaudSwitch(0);
        if (!usingTransport_) {
            // As when connecting: the frame must reach the module before the
            // line goes. A network adapter told a new rate by the next
            // connection would otherwise pass the switch on at the wrong
            // rate, and the module would stay at the old one.
            std::this_thread::sleep_for(std::chrono::milliseconds(kBaudSwitchSettleMs));
            link_->CloseLink();
        }
        connected_ = false;
    }
}

void CDeviceMngr::CopyLinkInfo(CFrameResult& result) const {
    result.sendInfo = link_->SendInfo();
    result.recvInfo = link_->RecvInfo();
}

int CDeviceMngr::Resync(int imageType, int timeLimitMs, CFrameResult& result) {
    if (cancelled_) {
        return kResultCancelled;
    }
    if (!connected_) {
        return kResultNoLink;
    }
    if (timeLimitMs == 0) {
        params_.imageType = imageType;
        timeLimitMs = fixedLimitMs_ >= 0 ? fixedLimitMs_ : LookupTimeLimit(kLimitImage);
    }
    // Draining "until a read times out" never ends without a limit.
    if (timeLimitMs < 0) {
        timeLimitMs = kResyncFallbackMs;
    }
    const std::uint8_t zeros[4] = {0, 0, 0, 0};
    int r = protocol_->SendFrame(zeros, 4, "Resync");
    std::uint8_t scratch[6];
    while (r == kResultOk) {
        int count = 6;
        r = protocol_->ReadBytes(timeLimitMs, count, scratch);
    }
    CopyLinkInfo(result);
    return r == kResultCancelled ? kResultCancelled : kResultTimeout;
}
