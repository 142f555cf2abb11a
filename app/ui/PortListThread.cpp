// The port list thread and the port entries it lists.

#include "app/ui/PortListThread.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

#include "link/DeviceLink.h"
#include "settings/ui/PortLabels.h"

CPortListThread::CPortListThread(Lister lister, std::function<void(std::vector<PortEntry>)> deliver,
                                 int intervalMs)
    : lister_(std::move(lister)), deliver_(std::move(deliver)), intervalMs_(intervalMs) {
    thread_ = std::thread([this] { Main(); });
}

CPortListThread::~CPortListThread() {
    Quit();
}

void CPortListThread::SetRefresh(bool on) {
    std::unique_lock lock(mutex_);
    refresh_ = on;
    wake_.notify_all();
    if (!on) {
        idle_.wait(lock, [this] { return !busy_; });
    }
}

void CPortListThread::Quit() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        wake_.notify_all();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void CPortListThread::Main() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (!refresh_) {
            wake_.wait(lock, [this] { return quit_ || refresh_; });
            continue;
        }
        // Wait the interval; a switch off or quit ends the wait early.
        const bool stopped = wake_.wait_for(lock, std::chrono::milliseconds(intervalMs_),
                                            [this] { return quit_ || !refresh_; });
        if (stopped) {
            continue;
        }
        busy_ = true;
        lock.unlock();
        std::vector<PortEntry> ports = lister_();
        lock.lock();
        if (refresh_ && !quit_) {
            deliver_(std::move(ports));
        }
        busy_ = false;
        idle_.notify_all();
    }
    busy_ = false;
    idle_.notify_all();
}

std::vector<PortEntry> ListPortEntries(const std::string& storedPort) {
    CDeviceLink link;
    std::vector<std::string> names = link.ListPorts();
    if (!storedPort.empty() && storedPort.find('/') != std::string::npos &&
        std::find(names.begin(), names.end(), storedPort) == names.end()) {
        std::error_code ec;
        if (std::filesystem::exists(storedPort, ec)) {
            names.push_back(storedPort);
        }
    }
    std::vector<PortEntry> entries;
    entries.reserve(names.size());
    for (const std::string& name : names) {
        entries.push_back(PortEntry{name, PortLabel(LookUpPort(name))});
    }
    return entries;
}
