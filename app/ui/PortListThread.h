#pragma once

// The port list thread of the start-up connection loop: while the connection
// dialog is shown it lists the ports every 500 ms and hands the list to the
// window thread, so that a module plugged in meanwhile appears without the
// user doing anything. Listing may take a while (discovery of a network
// adapter waits for its reply), which is why it is not done on the window
// thread. Between refreshes the thread sleeps on a condition variable.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "settings/ui/ConnectSettingDlg.h"

class CPortListThread {
public:
    using Lister = std::function<std::vector<PortEntry>()>;
    // `deliver` gets each list on the listing thread; it posts it on.
    CPortListThread(Lister lister, std::function<void(std::vector<PortEntry>)> deliver,
                    int intervalMs = 500);
    ~CPortListThread();  // Quit
    CPortListThread(const CPortListThread&) = delete;
    CPortListThread& operator=(const CPortListThread&) = delete;

    // On: a list every interval. Off: returns once no listing is under way,
    // so nothing is delivered after it.
    void SetRefresh(bool on);
    void Quit();

private:
    void Main();

    Lister lister_;
    std::function<void(std::vector<PortEntry>)> deliver_;
    int intervalMs_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool refresh_ = false;
    bool quit_ = false;
    bool busy_ = false;
    std::thread thread_;
};

// The ports of this machine with their labels: what the device link lists
// (LAN when an adapter answers, the serial devices present), and the stored
// port too when it exists but the scan does not show it (the emulator's
// pseudo-terminal, a device of an unusual kind).
std::vector<PortEntry> ListPortEntries(const std::string& storedPort);
