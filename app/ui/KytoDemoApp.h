#pragma once

// The application object: everything between the process start and the main
// window, and the order things end in. Start-up: the port list thread, the
// accelerators from the shortcut settings, the core (settings, then the
// stored connection when AutoConnect is 1), the connection dialog until a
// module answers or the user gives up, then the main window. After the main
// window: the port list thread ends, the worker is joined and the module
// disconnected (back to 9600 baud, link closed).
//
// The working directory is the data folder already (main enters it).

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

class CAlbumMngr;
class CAppCore;
class CDeviceWorker;
class CKytoDemoDlg;
class CPortListThread;
class CSettingDlg;

class CKytoDemoApp : public QObject {
    Q_OBJECT
public:
    struct Options {
        // Connection waits (200 ms before, 500 ms before each Get Version);
        // tests shorten them.
        int delayBeforeConnectMs = 200;
        int delayBeforeVersionMs = 500;
        int portListIntervalMs = 500;
        // Called with the new core before it loads anything (tests watch
        // its frames).
        std::function<void(CAppCore&)> prepareCore;
        // Connect to this port at start whatever is stored (kyto-demo --port).
        std::string port;
    };

    CKytoDemoApp();
    explicit CKytoDemoApp(Options options);
    ~CKytoDemoApp() override;

    // Up to the main window shown: 0, or -1 when the user gave up at the
    // connection dialog (box 5010 was shown; the program ends).
    int Start();
    // The whole program: Start, the event loop until the main window has
    // finished, then Finish. The process's exit status.
    int Run();
    // After the main window has finished: ends the threads and disconnects.
    void Finish();

    CAppCore* Core() const { return core_.get(); }
    CDeviceWorker* Worker() const { return worker_.get(); }
    CKytoDemoDlg* MainWindow() const { return window_.get(); }
    // Finish sent the module back to 9600 baud and closed its link.
    bool DisconnectedAtExit() const { return disconnectedAtExit_; }
    // Only while the start-up connection loop runs.
    CSettingDlg* ConnectionDialog() const { return connectionDlg_.get(); }

signals:
    // The main window's shutdown sequence is done (Run leaves its loop).
    void MainWindowFinished();

private:
    // On the worker; 0 connected, else the failing result (the link closed
    // again with the module sent back to 9600 baud). openError: errno of a
    // port that did not open.
    int Connect(const std::string& port, int baud, int autoConnect, int& openError);
    void ApplyStoredDeviceSettings();
    int ConnectionLoop();
    // Runs `work` on the worker and waits for it with a local event loop.
    template <class Work>
    auto RunOnWorker(const char* name, Work work);

    Options options_;
    std::unique_ptr<CPortListThread> portList_;
    std::unique_ptr<CAppCore> core_;
    std::unique_ptr<CAlbumMngr> album_;
    std::unique_ptr<CDeviceWorker> worker_;
    std::unique_ptr<CSettingDlg> connectionDlg_;
    std::unique_ptr<CKytoDemoDlg> window_;
    bool finished_ = false;
    bool disconnectedAtExit_ = false;
    // The stored port, which the port list thread adds to its list when the
    // scan does not show it.
    std::mutex storedPortMutex_;
    std::string storedPort_;
};
