// The main window's Settings button and accelerator: the settings dialog in
// its settings mode, with the running loop stopped while it is shown, and
// the requests its Maintenance page relays.

#include <QApplication>

#include <cstdint>
#include <string>
#include <vector>

#include "album/AlbumMngr.h"
#include "album/DeviceAlbum.h"
#include "app/AppCore.h"
#include "app/ModuleFiles.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/PortListThread.h"
#include "app/ui/PortReturnWatch.h"
#include "protocol/ResultCodes.h"
#include "settings/Settings.h"
#include "settings/ui/CameraSettingDlg.h"
#include "settings/ui/MaintenanceDlg.h"
#include "settings/ui/SettingDlg.h"
#include "widgets/MessageBox.h"
#include "widgets/WaitDlg.h"

namespace {

std::vector<ResolutionItem> ResolutionItems(const std::vector<Resolution>& list) {
    std::vector<ResolutionItem> items;
    for (const Resolution& r : list) {
        items.push_back(ResolutionItem{r.width, r.height, r.code});
    }
    return items;
}

// An album type exchange as the window sees it.
struct AlbumTypeOutcome {
    DeviceReply reply;
    int type = 0;
};

// What a reconnection hands back to the window.
struct ReconnectOutcome {
    int result = -1;
    int imageWidth = 0;
    std::string port;
    int baud = 0;
    std::string model;
    std::string firmware;
};

// What the settings apply hands back to the window.
struct ApplyOutcome {
    int result = -1;
    int imageWidth = 0;
};

}  // namespace

CSettingDlg* CKytoDemoDlg::SettingDialog() {
    if (settingDlg_ == nullptr) {
        settingDlg_ = new CSettingDlg(this);
        connect(settingDlg_, &CSettingDlg::deleteAllDataRequested, this,
                [this] { OnDeleteAllData(false); });
        connect(settingDlg_, &CSettingDlg::getAlbumTypeRequested, this,
                [this] { OnGetAlbumType(false); });
        connect(settingDlg_, &CSettingDlg::setAlbumTypeRequested, this,
                [this](int type) { OnSetAlbumType(false, type); });
        // "Reset values" of the Execution page: the module's defaults, shown
        // at once and sent only when the dialog is confirmed.
        connect(settingDlg_, &CSettingDlg::settingsResetRequested, this,
                [this] { settingDlg_->SetExecutionValues(core_.Status()->defaults); });
    }
    return settingDlg_;
}

void CKytoDemoDlg::OnSettings() {
    if (runMode_ == kContinuous) {
        StopLoop();
        ShowExecError();
    }
    CSettingDlg& dialog = *SettingDialog();
    const auto status = core_.Status();
    dialog.connection.portName = status->portName;
    dialog.connection.baud = status->baudRate;
    dialog.connection.cameraAngle = status->cameraAngle;
    dialog.connection.autoConnect = status->autoConnect;
    dialog.device =
        DeviceValues{status->cameraAngle, status->cameraResolution, status->autoConnect};
    dialog.SetExecutionValues(status->current);
    dialog.outputLogFlag = status->outputLogFlag;
    dialog.offerConnection = !connected_;
    const int answer =
        dialog.RunDialog(ListPortEntries(status->portName), ResolutionItems(status->resolutions),
                         CSettingDlg::kSettingsMode);
    if (answer == CSettingDlg::kConfirmed) {
        // Only what changed is written, and the core learns it on its own
        // thread, between two jobs.
        const int autoConnect = dialog.device.autoConnect;
        const int outputLog = dialog.outputLogFlag;
        worker_.Post("Save settings", [autoConnect, outputLog](CJobContext& job) {
            CAppCore& core = job.Core();
            if (core.autoConnect != autoConnect) {
                WriteAutoConnect(autoConnect);
                core.autoConnect = autoConnect;
            }
            if (core.outputLogFlag != outputLog) {
                WriteOutputLogFlag(outputLog);
                core.outputLogFlag = outputLog;
            }
            core.PublishStatus();
            return 0;
        });
        frameLogger_.SetFileOutput(outputLog == 1);
        if (connected_) {
            // The device settings go to the module behind the wait dialog
            // (OnApplySettings, when the dialog is shown).
            RunWaitDialog(CWaitDlg::kPleaseWait, UWM_SETTINGS);
        } else {
            // No module: connect again with the port and baud rate shown.
            Reconnect(dialog.connection.portName, dialog.connection.baud, true);
        }
    }
    if (runMode_ == kContinuous && connected_) {
        RestartLoop();
    }
    // A port that came back while the dialog was shown is offered now.
    if (!connected_ && portLost_) {
        WatchForPortReturn();
    }
}

void CKytoDemoDlg::OnApplySettings() {
    const int angle = settingDlg_->device.cameraAngle;
    const int resolution = settingDlg_->device.cameraResolution;
    const DeviceSettings settings = settingDlg_->GetExecutionValues();
    worker_.Post(
        "Apply settings",
        [angle, resolution, settings](CJobContext& job) {
            ApplyOutcome o;
            CAppCore& core = job.Core();
            o.result = core.ApplyChangedSettings(angle, settings, resolution);
            if (o.result == 0) {
                int height = 0;
                core.ImageSizeForResolution(o.imageWidth, height);
            }
            core.PublishStatus();
            return o;
        },
        poster_.Get(),
        [this](JobResult<ApplyOutcome> done) {
            const int result = done.Ran() ? done.value.result : -1;
            CloseWaitDialog();
            if (result != 0) {
                // Box 5000; the module is no longer taken for connected.
                MessageBox::Plain(
                    this, QStringLiteral("Device is not responding.\nPlease verify connection."));
                mainPage_->ReleaseExecuteButtons();
                runMode_ = kIdle;
                mainPage_->SetRunMode(runMode_);
            } else if (done.value.imageWidth > 0) {
                mainPage_->SetFullImageWidth(done.value.imageWidth);
            }
            UpdateTitle(result);
        });
}

void CKytoDemoDlg::OnDeleteAllData(bool fromWaitDialog) {
    if (!fromWaitDialog) {
        // String 5029.
        if (MessageBox::Question(
                settingDlg_,
                tr("Do you really want to delete all data in Device and Application?")) !=
            QMessageBox::Yes) {
            return;
        }
        RunWaitDialog(CWaitDlg::kPleaseWait, UWM_DELETE_ALL_DATA);
        return;
    }
    CAlbumMngr* album = &album_;
    struct Outcome {
        int result = -1;
        std::uint8_t status = 0;
    };
    worker_.Post(
        "Delete all data",
        [album](CJobContext& job) {
            Outcome o;
            CDeviceAlbum device(job.Core().Device());
            o.result = device.ReformatAlbum(o.status);
            if (o.result == 0) {
                // The module took the frame: the local copy goes too, even
                // when its status byte reports a failure.
                album->DeleteAllLocal();
                album->SetRegistCount(0);
            }
            job.Core().PublishStatus();
            return o;
        },
        poster_.Get(),
        [this](JobResult<Outcome> done) {
            const bool ok = done.Ran() && done.value.result == 0 && done.value.status == 0;
            CloseWaitDialog();
            AfterAlbumChange();  // the Album page shows the emptied store
            if (ok) {
                MessageBox::Information(settingDlg_, tr("Delete completed."));  // 2090
            } else {
                MessageBox::Warning(settingDlg_, tr("Failed to delete."));  // 2091
            }
        });
}

void CKytoDemoDlg::OnGetAlbumType(bool fromWaitDialog) {
    if (!fromWaitDialog) {
        RunWaitDialog(CWaitDlg::kPleaseWait, UWM_GET_ALBUM_TYPE);
        return;
    }
    CAlbumMngr* album = &album_;
    worker_.Post(
        "Get Album Type",
        [album](CJobContext& job) {
            AlbumTypeOutcome o;
            o.reply = job.Core().Device().GetAlbumType(o.type);
            if (o.reply.result == kResultOk) {
                album->SetAlbumType(o.type);
            }
            return o;
        },
        poster_.Get(),
        [this](JobResult<AlbumTypeOutcome> done) {
            CloseWaitDialog();
            if (!done.Ran() || !done.value.reply.Ok()) {
                MessageBox::Warning(settingDlg_, QStringLiteral("GetAlbumType: NG"));
                return;
            }
            settingDlg_->albumType = done.value.type;
            if (CMaintenanceDlg* page = settingDlg_->MaintenancePage()) {
                page->ShowAlbumType(done.value.type);
            }
        });
}

void CKytoDemoDlg::OnSetAlbumType(bool fromWaitDialog, int type) {
    if (!fromWaitDialog) {
        RunWaitDialog(CWaitDlg::kPleaseWait, UWM_SET_ALBUM_TYPE, type);
        return;
    }
    CAlbumMngr* album = &album_;
    worker_.Post(
        "Set Album Type",
        [album, type](CJobContext& job) {
            AlbumTypeOutcome o;
            o.type = type;
            o.reply = job.Core().Device().SetAlbumType(type);
            if (o.reply.result == kResultOk) {
                album->SetAlbumType(type);
            }
            return o;
        },
        poster_.Get(),
        [this](JobResult<AlbumTypeOutcome> done) {
            CloseWaitDialog();
            // The page keeps showing the type read last: only Get Album Type
            // tells what the module now has.
            if (!done.Ran() || !done.value.reply.Ok()) {
                MessageBox::Information(settingDlg_, QStringLiteral("SetAlbumType: NG"));
            }
        });
}

CPortReturnWatch* CKytoDemoDlg::PortWatch() {
    if (portWatch_ == nullptr) {
        portWatch_ = new CPortReturnWatch(this);
        connect(portWatch_, &CPortReturnWatch::Returned, this, &CKytoDemoDlg::OnPortReturned);
    }
    return portWatch_;
}

void CKytoDemoDlg::WatchForPortReturn() {
    if (!closing_) {
        PortWatch()->Arm();
    }
}

void CKytoDemoDlg::OnPortReturned(const QString& path) {
    if (closing_ || connected_) {
        return;
    }
    // Behind a modal window (the settings dialog offers its own reconnect)
    // the offer waits until that window has closed.
    if (QApplication::activeModalWidget() != nullptr) {
        return;
    }
    if (MessageBox::Question(this, tr("The device is back on %1.\nDo you want to connect to it "
                                      "again?")
                                       .arg(path)) != QMessageBox::Yes) {
        return;
    }
    Reconnect(path.toStdString(), baud_, false);
}

void CKytoDemoDlg::Reconnect(const std::string& port, int baud, bool applyDialogValues) {
    PortWatch()->Disarm();
    const bool apply = applyDialogValues && settingDlg_ != nullptr;
    const int angle = apply ? settingDlg_->device.cameraAngle : 0;
    const int resolution = apply ? settingDlg_->device.cameraResolution : 0;
    const DeviceSettings settings = apply ? settingDlg_->GetExecutionValues() : DeviceSettings{};
    worker_.Post(
        "Reconnect",
        [port, baud, apply, angle, resolution, settings](CJobContext& job) {
            ReconnectOutcome o;
            CAppCore& core = job.Core();
            o.result = core.ConnectDevice(port, baud);
            if (o.result == 0) {
                // As at start-up: the module may have been reset meanwhile.
                core.ApplyStoredDeviceSettings();
                if (apply) {
                    o.result = core.ApplyChangedSettings(angle, settings, resolution);
                }
                int height = 0;
                core.ImageSizeForResolution(o.imageWidth, height);
            } else if (o.result != kResultCancelled) {
                // Back to 9600 and the link closed, as the start-up loop does.
                core.Disconnect();
            }
            o.port = core.portName;
            o.baud = core.baudRate;
            o.model = core.modelName;
            o.firmware = FirmwareVersionText(core.version);
            core.PublishStatus();
            return o;
        },
        poster_.Get(),
        [this](JobResult<ReconnectOutcome> done) {
            const int result = done.Ran() ? done.value.result : -1;
            CloseWaitDialog();
            portName_ = QString::fromStdString(done.value.port);
            baud_ = done.value.baud;
            if (result == 0) {
                portLost_ = false;
                moduleSilent_ = false;
                modelName_ = QString::fromStdString(done.value.model);
                firmwareVersion_ = QString::fromStdString(done.value.firmware);
                if (done.value.imageWidth > 0) {
                    mainPage_->SetFullImageWidth(done.value.imageWidth);
                }
                PortWatch()->Remember(done.value.port);
            } else {
                MessageBox::Plain(
                    this, QStringLiteral("Device is not responding.\nPlease verify connection."));
            }
            UpdateTitle(result == 0 ? 0 : 1);
        });
    // No message: the job's completion closes the dialog.
    RunWaitDialog(CWaitDlg::kPleaseWait, 0);
    if (!connected_ && portLost_) {
        WatchForPortReturn();
    }
}
