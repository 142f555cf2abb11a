// The main window's run modes: which loop runs on the device worker, how a
// handler stops it behind the wait dialog (request, the worker's answer,
// close), the execution errors, the album checks at start and at exit, and
// the main window initialisation.

#include <QDir>
#include <QMenu>

#include "album/AlbumMngr.h"
#include "album/AlbumSync.h"
#include "album/DeviceAlbum.h"
#include "app/AppCore.h"
#include "app/ResultText.h"
#include "app/ui/AlbumQuestionsDlg.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/PortReturnWatch.h"
#include "app/ui/ResultLogDlg.h"
#include "app/ui/WindowMessages.h"
#include "protocol/ResultCodes.h"
#include "settings/ui/SettingDlg.h"
#include "widgets/MessageBox.h"
#include "widgets/WaitDlg.h"

namespace {

// What the main window initialisation reads from the module.
struct InitialState {
    bool versionOk = false;
    std::string model;
    std::string firmware;
    bool albumTypeOk = false;
    int albumType = 0;
    int imageWidth = 0;
    int imageHeight = 0;
    std::vector<UserName> users;
};

}  // namespace

void CKytoDemoDlg::Initialise() {
    const auto status = core_.Status();
    portName_ = QString::fromStdString(status->portName);
    baud_ = status->baudRate;
    frameLogger_.SetFileOutput(status->outputLogFlag == 1);
    mainPage_->SetFromCoreStatus();
    mainPage_->SetVerifyId(status->verifyUserId);

    CAlbumMngr* album = &album_;
    worker_.Post(
        "Main window start",
        [album](CJobContext& job) {
            InitialState s;
            CAppCore& core = job.Core();
            VersionInfo info;
            if (core.Device().GetVersion(info).Ok()) {
                s.versionOk = true;
                s.model = ModelNameFromVersion(info.model);
                s.firmware = FirmwareVersionText(info);
            }
            int type = 0;
            const DeviceReply albumType = core.Device().GetAlbumType(type);
            if (albumType.result == kResultOk) {
                album->SetAlbumType(type);
            }
            if (albumType.Ok()) {
                s.albumTypeOk = true;
                s.albumType = type;
            }
            core.ImageSizeForResolution(s.imageWidth, s.imageHeight);
            for (const RegUserEntry& user : album->Store().ListUsers()) {
                s.users.push_back(UserName{user.id, user.name});
            }
            return s;
        },
        poster_.Get(),
        [this](JobResult<InitialState> done) {
            const InitialState& s = done.value;
            // A failed Get Version leaves the version texts empty; the window
            // still counts as connected.
            modelName_ = QString::fromStdString(s.model);
            firmwareVersion_ = QString::fromStdString(s.firmware);
            UpdateTitle(0);
            mainPage_->AddVersionHeader(ApplicationVersion().toStdString(), s.firmware);
            frameLogger_.AddVersionHeader(
                BuildVersionHeader(ApplicationVersion().toStdString(), s.firmware));
            if (s.imageWidth > 0) {
                mainPage_->SetFullImageWidth(s.imageWidth);
            }
            PortWatch()->Remember(portName_.toStdString());
            if (s.albumTypeOk) {
                SettingDialog()->albumType = s.albumType;  // for the Maintenance page
            }
            mainPage_->UpdateUserList(s.users);
            frameLogger_.SetUserNames(s.users);
            AfterAlbumChange();
            PostWindowMessage(this, UWM_STARTUP_CHECK, this);
        });
}

bool CKytoDemoDlg::event(QEvent* e) {
    if (auto* message = CWindowMessage::From(e)) {
        return OnWindowMessage(*message);
    }
    return QWidget::event(e);
}

bool CKytoDemoDlg::OnWindowMessage(const CWindowMessage& message) {
    const bool fromWait = message.Sender() == wait_;
    // The wait dialog blocks the user but not posted messages: a request
    // that would start or stop a loop waits until the dialog has closed, so
    // that no loop starts under work that needs the module.
    switch (message.Message()) {
        case UWM_EXEC_ONCE:
        case UWM_EXEC_START:
        case UWM_EXEC_STOP:
        case UWM_SETTINGS:
            if (waitDepth_ > 0 && !fromWait) {
                deferred_.push_back({message.Message(), message.Value()});
                return true;
            }
            break;
        default:
            break;
    }
    switch (message.Message()) {
        case UWM_EXEC_ONCE:
            OnExecOnce();
            return true;
        case UWM_EXEC_START:
            OnExecStart();
            return true;
        case UWM_EXEC_STOP:
            OnExecStop();
            return true;
        case UWM_EXEC_ERROR:
            OnExecError(static_cast<int>(message.Value()));
            return true;
        case UWM_STOP_LOOP:
            // The wait dialog is shown: now the stop request; the loop's end
            // (its completion) closes the dialog.
            if (runJob_ == 0 || !worker_.RequestStop(runJob_)) {
                if (runJob_ == 0) {
                    CloseWaitDialog();
                }
            }
            return true;
        case UWM_SETTINGS:
            if (!fromWait) {
                OnSettings();
            } else {
                OnApplySettings();
            }
            return true;
        case UWM_DELETE_ALL_DATA:
            if (fromWait) {
                OnDeleteAllData(true);
            }
            return true;
        case UWM_GET_ALBUM_TYPE:
            if (fromWait) {
                OnGetAlbumType(true);
            }
            return true;
        case UWM_SET_ALBUM_TYPE:
            if (fromWait) {
                OnSetAlbumType(true, static_cast<int>(message.Value()));
            }
            return true;
        case UWM_STARTUP_CHECK:
            OnStartupCheck(fromWait);
            return true;
        case UWM_SHUTDOWN:
            OnShutdown();
            return true;
        case UWM_LOG_MENU: {
            // Copying or clearing while frames arrive is refused: the
            // entries are greyed while a loop runs.
            QMenu* menu = mainPage_->ResultLog().CreateLogMenu(runJob_ != 0, this);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(message.Point());
            return true;
        }
        case UWM_VERIFY_ID:
            mainPage_->SetVerifyId(static_cast<int>(message.Value()));
            return true;
        case UWM_ALBUM_USER:
        case UWM_ALBUM_REGISTER:
        case UWM_ALBUM_SELECT:
        case UWM_ALBUM_MOVE:
        case UWM_ALBUM_IMAGE_DELETE:
        case UWM_ALBUM_FILE:
            return OnAlbumMessage(message);
        default:
            return false;
    }
}

void CKytoDemoDlg::RunWaitDialog(int textId, int message, std::int64_t value) {
    ++waitDepth_;
    waitCloseRequested_ = false;
    wait_->SetNotify(message, static_cast<qintptr>(value));
    wait_->SetTextId(textId);
    wait_->Run();
    --waitDepth_;
    if (waitDepth_ == 0 && !deferred_.empty()) {
        for (const Deferred& d : deferred_) {
            PostWindowMessage(this, d.message, mainPage_, d.value);
        }
        deferred_.clear();
    }
}

void CKytoDemoDlg::CloseWaitDialog() {
    // One close request per run: a second one could reach the next run.
    if (waitDepth_ > 0 && !waitCloseRequested_) {
        waitCloseRequested_ = true;
        wait_->CloseRequest();
    }
}

void CKytoDemoDlg::StopLoop() {
    if (runJob_ == 0) {
        return;
    }
    RunWaitDialog(CWaitDlg::kPleaseWait, UWM_STOP_LOOP);
}

void CKytoDemoDlg::ShowExecError() {
    if (execErrorFlag_ && debugLog_.Enabled()) {
        // String 9000, with the error log's path below the working folder.
        QString path = QString::fromStdString(debugLog_.ErrorLog().GetPath());
        while (path.startsWith('.') || path.startsWith('/')) {
            path.remove(0, 1);
        }
        const QString code =
            QStringLiteral("%1").arg(execErrorCode_ & 0xFF, 2, 16, QChar('0')).toUpper();
        MessageBox::Plain(this, QStringLiteral("An error occured with the execute command. "
                                               "(Error code: %1)\n\nPlease refer to the log "
                                               "below for details.\n\"%2/%3\"")
                                    .arg(code, QDir::currentPath(), path));
    }
    execErrorFlag_ = false;
}

void CKytoDemoDlg::StartExecution(CExecutionLoop::Mode mode) {
    if (runJob_ != 0) {
        return;
    }
    runIsExecution_ = true;
    runJob_ = executionLoop_->Start(worker_, mode, poster_.Get(),
                                    [this](JobResult<ExecutionEnd> end) { OnExecutionEnded(end); });
}

void CKytoDemoDlg::StartLiveImage() {
    if (runJob_ != 0) {
        return;
    }
    runIsExecution_ = false;
    runJob_ = liveLoop_->Start(worker_, poster_.Get(),
                               [this](JobResult<LiveImageEnd> end) { OnLiveImageEnded(end); });
}

void CKytoDemoDlg::RestartLoop() {
    if (runMode_ == kContinuous) {
        StartExecution(CExecutionLoop::kContinuous);
    } else if (runMode_ == kLiveImage) {
        StartLiveImage();
    }
}

void CKytoDemoDlg::OnExecutionEnded(const JobResult<ExecutionEnd>& end) {
    runJob_ = 0;
    if (end.Ran() && end.value.frames > 0) {
        moduleSilent_ = false;
    }
    if (end.value.deviceErrorCode >= 0) {
        execErrorFlag_ = true;
        execErrorCode_ = end.value.deviceErrorCode;
    }
    CloseWaitDialog();
    if (!end.Ran()) {
        return;
    }
    if (end.value.reason == ExecutionEnd::kGaveUp || end.value.reason == ExecutionEnd::kPortLost ||
        end.portLost) {
        portLost_ = portLost_ || end.portLost || end.value.reason == ExecutionEnd::kPortLost;
        // A vanished port reads as a module that does not answer.
        const int status = end.value.failure != 0 ? end.value.failure : kResultTimeout;
        PostWindowMessage(this, UWM_EXEC_ERROR, nullptr, status);
    }
}

void CKytoDemoDlg::OnLiveImageEnded(const JobResult<LiveImageEnd>& end) {
    runJob_ = 0;
    CloseWaitDialog();
    if (end.Ran() && end.value.reason == LiveImageEnd::kPortLost) {
        portLost_ = true;
        UpdateTitle(1);
        WatchForPortReturn();
    }
}

void CKytoDemoDlg::OnExecOnce() {
    if (closing_) {
        return;
    }
    if (runMode_ == kContinuous && runJob_ != 0) {
        StopLoop();
        ShowExecError();
    }
    if (runMode_ == kLiveImage) {
        StopLoop();
    }
    runMode_ = kOnce;
    mainPage_->SetRunMode(runMode_);
    StartExecution(CExecutionLoop::kSingleShot);
    // No message: the loop closes the dialog after its frame.
    RunWaitDialog(CWaitDlg::kPleaseWait, 0);
    ShowExecError();
    runMode_ = kIdle;
    mainPage_->SetRunMode(runMode_);
}

void CKytoDemoDlg::OnExecStart() {
    if (closing_) {
        return;
    }
    if (runMode_ == kLiveImage) {
        StopLoop();
    }
    runMode_ = kContinuous;
    mainPage_->SetRunMode(runMode_);
    StartExecution(CExecutionLoop::kContinuous);
}

void CKytoDemoDlg::OnExecStop() {
    if (runMode_ == kContinuous && runJob_ != 0) {
        StopLoop();
        ShowExecError();
    }
    runMode_ = kIdle;
    mainPage_->SetRunMode(runMode_);
}

void CKytoDemoDlg::OnExecError(int status) {
    // Boxes 5001 and 5000, plain. Any other status (no link, a vanished
    // port) reads as a module that does not answer rather than an empty box.
    if (IsCommunicationError(status)) {
        MessageBox::Plain(this,
                          QStringLiteral("Communication error.\nPlease lower the Baud rate or "
                                         "change the USB driver settings.\n\nPlease refer to "
                                         "Application manual for details."));
    } else {
        MessageBox::Plain(this,
                          QStringLiteral("Device is not responding.\nPlease verify connection."));
    }
    moduleSilent_ = true;
    mainPage_->ReleaseExecuteButtons();
    runMode_ = kIdle;
    mainPage_->SetRunMode(runMode_);
    if (portLost_) {
        UpdateTitle(1);
        WatchForPortReturn();
    }
}

void CKytoDemoDlg::OnStartupCheck(bool fromWaitDialog) {
    if (!fromWaitDialog) {
        if (connected_ && !closing_) {
            RunWaitDialog(CWaitDlg::kRunning, UWM_STARTUP_CHECK);
        }
        emit Ready();
        return;
    }
    CAlbumMngr* album = &album_;
    auto questions = std::make_shared<CAlbumQuestionsDlg>(this);
    worker_.Post(
        "Album check",
        [album, questions](CJobContext& job) {
            CDeviceAlbum device(job.Core().Device());
            CAlbumSync sync(device, *album);
            return sync.StartupCheck(*questions);
        },
        poster_.Get(),
        [this](JobResult<CheckOutcome>) {
            // The check may have rebuilt the store from the module.
            AfterAlbumChange();
            CloseWaitDialog();
        });
}

void CKytoDemoDlg::BeginClose() {
    closing_ = true;
    if (runJob_ != 0) {
        const bool execution = runIsExecution_;
        StopLoop();
        if (execution) {
            ShowExecError();
        }
    }
    // A module that has just failed to answer would make the comparison
    // wait out the album time limit (many seconds) for nothing.
    if (connected_ && !portLost_ && !moduleSilent_) {
        RunWaitDialog(CWaitDlg::kTerminating, UWM_SHUTDOWN);
    }
    finished_ = true;
    emit Finished();
    close();
}

void CKytoDemoDlg::OnShutdown() {
    CAlbumMngr* album = &album_;
    auto questions = std::make_shared<CAlbumQuestionsDlg>(this);
    worker_.Post(
        "Album check at exit",
        [album, questions](CJobContext& job) {
            CDeviceAlbum device(job.Core().Device());
            CAlbumSync sync(device, *album);
            return sync.ExitCheck(*questions);
        },
        poster_.Get(), [this](JobResult<int>) { CloseWaitDialog(); });
}
