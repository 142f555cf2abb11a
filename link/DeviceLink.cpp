#include "link/DeviceLink.h"

#include <strings.h>

#include <cerrno>
#include <cstring>

#include "link/KytoLink.h"
#include "link/KytoSocket.h"
#include "link/LanLink.h"
#include "settings/Settings.h"

static_assert(CDeviceLink::kReceiveBufferSize == KYTO_LINK_RECEIVE_BUFFER);
static_assert(ILinkTransport::kWaitClosed == KYTO_WAIT_CLOSED);
static_assert(ILinkTransport::kWaitInterrupted == KYTO_WAIT_INTERRUPTED);

CDeviceLink::CDeviceLink() : lan_(std::make_unique<CLanLink>()) {}

CDeviceLink::~CDeviceLink() {
    CloseLink();
}

bool CDeviceLink::OpenLink(const std::string& name, int baud) {
    baud_ = baud;
    CloseLink();
    if (strcasecmp(name.c_str(), "LAN") == 0) {
        lanKnown_ = true;
        // Connecting may take seconds: an interrupted link does not start.
        lastOpenError_ = interrupted_ ? ECANCELED : lan_->Open(ReadSocketSettings(), baud);
        linkMode_ = lan_->LinkMode();
        if (lastOpenError_ == 0 && interrupted_) {
            sock_interrupt();
        }
        return lastOpenError_ == 0;
    }
    linkMode_ = -1;
    if (name.empty()) {
        lastOpenError_ = ENOENT;
        return false;
    }
    const std::string path = name.find('/') == std::string::npos ? "/dev/" + name : name;
    if (com_init_path(path.c_str(), baud) != 1) {
        lastOpenError_ = com_last_error();
        return false;
    }
    serialOpen_ = true;
    lastOpenError_ = 0;
    // A fresh port starts uninterrupted; an interrupted link stays so.
    if (interrupted_) {
        com_interrupt();
    }
    return true;
}

void CDeviceLink::CloseLink() {
    if (serialOpen_) {
        com_close();
        serialOpen_ = false;
    }
    lan_->Close();
}

std::vector<std::string> CDeviceLink::ListPorts() {
    std::vector<std::string> names;
    lanKnown_ = true;
    if (lan_->Discover(ReadSocketSettings())) {
        names.emplace_back("LAN");
    }
    unsigned char ports[256];
    const int count = com_getActive(ports, static_cast<int>(sizeof ports));
    for (int i = 0; i < count; ++i) {
        char path[4096];
        if (com_port_path(ports[i], path, static_cast<int>(sizeof path)) > 0) {
            names.emplace_back(path);
        }
    }
    return names;
}

std::string CDeviceLink::SendInfo() const {
    if (linkMode_ >= 0 || transport_.load() != nullptr) {
        return {};
    }
    char info[256];
    const int length = com_copy_send_info(info, static_cast<int>(sizeof info));
    return std::string(info, static_cast<std::size_t>(length));
}

std::string CDeviceLink::RecvInfo() const {
    if (linkMode_ >= 0 || transport_.load() != nullptr) {
        return {};
    }
    char info[256];
    const int length = com_copy_recv_info(info, static_cast<int>(sizeof info));
    return std::string(info, static_cast<std::size_t>(length));
}

bool CDeviceLink::IsPresent() const {
    if (transport_.load() != nullptr) {
        return true;
    }
    if (linkMode_ >= 0) {
        return lan_->IsOpen() && sock_is_connected() == 1;
    }
    return serialOpen_ && com_is_present() == 1;
}

bool CDeviceLink::PeerClosed() const {
    return transport_.load() == nullptr && linkMode_ >= 0 && lan_->IsOpen() &&
           sock_is_connected() != 1;
}

void CDeviceLink::SetTransport(ILinkTransport* transport) {
    transport_ = transport;
    if (transport != nullptr && interrupted_) {
        transport->Interrupt();
    }
}

// Which transport the bytes take follows from the link mode alone: negative
// is the serial port, zero or positive the socket.
int CDeviceLink::Available() {
    ILinkTransport* t = transport_;
    if (t) {
        return t->Available();
    }
    return linkMode_ >= 0 ? sock_length() : com_length();
}

int CDeviceLink::Read(std::uint8_t* buffer, int length) {
    ILinkTransport* t = transport_;
    if (t) {
        return t->Read(buffer, length);
    }
    return linkMode_ >= 0 ? sock_read(buffer, length) : com_read(buffer, length);
}

void CDeviceLink::Clear() {
    ILinkTransport* t = transport_;
    if (t) {
        t->Clear();
    } else if (linkMode_ >= 0) {
        sock_clear();
    } else {
        com_clear();
    }
}

int CDeviceLink::Write(const std::uint8_t* data, int length) {
    ILinkTransport* t = transport_;
    if (t) {
        return t->Write(data, length);
    }
    if (linkMode_ >= 0) {
        return length > 0 ? SocketWrite(data, static_cast<unsigned>(length)) : 0;
    }
    return com_write(data, length);
}

int CDeviceLink::WaitAvailable(int needed, int timeoutMs) {
    ILinkTransport* t = transport_;
    if (t) {
        return t->WaitAvailable(needed, timeoutMs);
    }
    return linkMode_ >= 0 ? sock_wait_available(needed, timeoutMs)
                          : com_wait_available(needed, timeoutMs);
}

// The flag is set before the transport is woken, so a waiter that wakes
// sees it; the transports keep their own sticky state for waiters that
// start meanwhile.
void CDeviceLink::Interrupt() {
    interrupted_ = true;
    ILinkTransport* t = transport_;
    if (t) {
        t->Interrupt();
    } else {
        // Both process-wide links: the mode may change under an open that
        // is in progress, and interrupting a closed one only marks it.
        com_interrupt();
        sock_interrupt();
    }
}

void CDeviceLink::ResumeAfterInterrupt() {
    interrupted_ = false;
    ILinkTransport* t = transport_;
    if (t) {
        t->ResumeAfterInterrupt();
    } else {
        com_resume();
        sock_resume();
    }
}

std::string CDeviceLink::DescribeOpenError(int error) {
    switch (error) {
        case 0:
            return "no error";
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return "missing device";
        case EACCES:
        case EPERM:
            return "permission denied (group dialout)";
        case EBUSY:
            return "busy";
        case ENOTTY:
            return "not a serial device";
        case EINVAL:
            return "unsupported baud rate";
        default:
            return std::strerror(error);
    }
}

std::string CDeviceLink::DescribeLanOpenError(int error) {
    return CLanLink::DescribeError(error);
}

std::string CDeviceLink::LanDescription() const {
    return lanKnown_ ? lan_->Describe() : std::string();
}
