// Start-up, the connection loop and the end of the program.

#include "app/ui/KytoDemoApp.h"

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <cerrno>
#include <clocale>
#include <optional>

#include "album/AlbumMngr.h"
#include "app/AppCore.h"
#include "app/DeviceWorker.h"
#include "app/ui/Accelerators.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/PortListThread.h"
#include "app/ui/WindowPoster.h"
#include "base/PortPermission.h"
#include "link/DeviceLink.h"
#include "settings/Settings.h"
#include "settings/ui/SettingDlg.h"
#include "widgets/MessageBox.h"

CKytoDemoApp::CKytoDemoApp() : CKytoDemoApp(Options{}) {}

CKytoDemoApp::CKytoDemoApp(Options options) : options_(options) {}

CKytoDemoApp::~CKytoDemoApp() {
    Finish();
}

template <class Work>
auto CKytoDemoApp::RunOnWorker(const char* name, Work work) {
    using R = std::invoke_result_t<Work&, CJobContext&>;
    CWindowPoster poster(this);
    QEventLoop loop;
    std::optional<JobResult<R>> result;
    worker_->Post(name, std::move(work), poster.Get(), [&](JobResult<R> done) {
        result = std::move(done);
        loop.quit();
    });
    if (!result) {
        loop.exec();
    }
    return std::move(*result);
}

int CKytoDemoApp::Connect(const std::string& port, int baud, int autoConnect, int& openError) {
    struct Attempt {
        int result = -1;
        int openError = 0;
    };
    const JobResult<Attempt> done =
        RunOnWorker("Connect", [port, baud, autoConnect](CJobContext& job) {
            CAppCore& core = job.Core();
            if (autoConnect >= 0 && autoConnect != core.autoConnect) {
                core.autoConnect = autoConnect;
                WriteAutoConnect(autoConnect);
            }
            Attempt attempt;
            attempt.result = core.ConnectDevice(port, baud);
            const CDeviceLink* link = core.Device().Link();
            attempt.openError = link != nullptr ? link->LastOpenError() : 0;
            if (attempt.result != 0) {
                // FE 0E 01 00 00 without waiting for an answer, then the link
                // is closed: the module is back at 9600 for the next try.
                core.Disconnect();
            }
            core.PublishStatus();
            return attempt;
        });
    openError = done.value.openError;
    return done.Ran() ? done.value.result : -1;
}

void CKytoDemoApp::ApplyStoredDeviceSettings() {
    // The result is not checked: the module is connected either way.
    RunOnWorker("Apply device settings", [](CJobContext& job) {
        job.Core().ApplyStoredDeviceSettings();
        job.Core().PublishStatus();
    });
}

int CKytoDemoApp::Start() {
    // English dates in the error log ("%c"), whatever the user's locale;
    // Qt's own formatting follows the user's locale regardless.
    std::setlocale(LC_ALL, "C");

    connectionDlg_.reset();
    portList_ = std::make_unique<CPortListThread>(
        [this] {
            std::string stored;
            {
                std::lock_guard lock(storedPortMutex_);
                stored = storedPort_;
            }
            return ListPortEntries(stored);
        },
        [this](std::vector<PortEntry> ports) {
            QMetaObject::invokeMethod(
                this,
                [this, ports = std::move(ports)] {
                    if (connectionDlg_) {
                        connectionDlg_->RefreshPorts(ports);
                    }
                },
                Qt::QueuedConnection);
        },
        options_.portListIntervalMs);

    std::vector<Accelerator> accelerators = ReadAccelerators();

    core_ = std::make_unique<CAppCore>();
    album_ = std::make_unique<CAlbumMngr>();
    CAlbumMngr* album = album_.get();
    CAppCore* core = core_.get();
    core_->SetDeviceFolderHook([album, core](const std::string& folder) {
        album->OpenFolder(folder);
        core->registeredUsers = static_cast<int>(album->Store().ListUsers().size());
        return 0;
    });
    core_->SetConnectDelays(options_.delayBeforeConnectMs, options_.delayBeforeVersionMs);
    if (options_.prepareCore) {
        options_.prepareCore(*core_);
    }
    core_->LoadSettings();
    worker_ = std::make_unique<CDeviceWorker>(*core_);
    worker_->Start();

    const auto status = core_->Status();
    int result = 1;
    if (!options_.port.empty()) {
        int openError = 0;
        result = Connect(options_.port, status->baudRate, -1, openError);
    } else if (!status->portName.empty() && status->autoConnect == 1) {
        int openError = 0;
        result = Connect(status->portName, status->baudRate, -1, openError);
    }
    if (result == 0) {
        ApplyStoredDeviceSettings();
    } else if (ConnectionLoop() != 0) {
        return -1;
    }

    window_ = std::make_unique<CKytoDemoDlg>(*core_, *worker_, *album_, std::move(accelerators));
    connect(window_.get(), &CKytoDemoDlg::Finished, this, &CKytoDemoApp::MainWindowFinished);
    window_->show();
    window_->Initialise();
    return 0;
}

int CKytoDemoApp::ConnectionLoop() {
    connectionDlg_ = std::make_unique<CSettingDlg>();
    const auto status = core_->Status();
    connectionDlg_->connection.portName = status->portName;
    connectionDlg_->connection.baud = status->baudRate;
    connectionDlg_->connection.cameraAngle = status->cameraAngle;
    connectionDlg_->connection.autoConnect = status->autoConnect;
    int result = -1;
    for (;;) {
        const std::string stored = connectionDlg_->connection.portName;
        {
            std::lock_guard lock(storedPortMutex_);
            storedPort_ = stored;
        }
        const std::vector<PortEntry> ports = ListPortEntries(stored);
        portList_->SetRefresh(true);
        const int answer = connectionDlg_->RunDialog(ports, CSettingDlg::kConnectionMode);
        // Returns once the thread lists no more, so no list arrives late.
        portList_->SetRefresh(false);
        if (answer != CSettingDlg::kConfirmed) {
            // String 5010.
            MessageBox::Information(
                nullptr,
                tr("Connection with Device was interrupted.\nApplication will terminate."));
            result = -1;
            break;
        }
        const ConnectionValues values = connectionDlg_->connection;
        int openError = 0;
        result = Connect(values.portName, values.baud, values.autoConnect, openError);
        if (result == 0) {
            ApplyStoredDeviceSettings();
            break;
        }
        // Box 5000, and in the dialog why the port did not open when it
        // did not (permission advice names the group and the command).
        QString advice;
        if (openError == EACCES || openError == EPERM) {
            advice = QString::fromStdString(DescribePortPermission(values.portName));
        } else if (openError != 0) {
            advice =
                tr("%1: %2").arg(QString::fromStdString(values.portName),
                                 QString::fromStdString(CDeviceLink::DescribeOpenError(openError)));
        }
        connectionDlg_->SetAdvice(advice);
        MessageBox::Plain(nullptr, tr("Device is not responding.\nPlease verify connection."));
    }
    connectionDlg_.reset();
    return result;
}

int CKytoDemoApp::Run() {
    if (Start() != 0) {
        Finish();
        return 1;
    }
    QEventLoop loop;
    connect(this, &CKytoDemoApp::MainWindowFinished, &loop, &QEventLoop::quit,
            Qt::QueuedConnection);
    loop.exec();
    Finish();
    return 0;
}

void CKytoDemoApp::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (portList_) {
        portList_->Quit();
    }
    window_.reset();
    if (worker_) {
        worker_->Quit();  // joined; the core is this thread's again
    }
    if (core_) {
        const bool connected = core_->Device().IsConnected();
        core_->Disconnect();
        disconnectedAtExit_ = connected && !core_->Device().IsConnected();
    }
    worker_.reset();
    album_.reset();
    core_.reset();
}
