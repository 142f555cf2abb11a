// The main window's Settings button and accelerator: the settings dialog in
// its settings mode, with the running loop stopped while it is shown, and
// the requests its Maintenance page relays.

#include <cstdint>

#include "album/AlbumMngr.h"
#include "album/DeviceAlbum.h"
#include "app/AppCore.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/PortListThread.h"
#include "settings/Settings.h"
#include "settings/ui/SettingDlg.h"
#include "widgets/MessageBox.h"
#include "widgets/WaitDlg.h"

CSettingDlg* CKytoDemoDlg::SettingDialog() {
    if (settingDlg_ == nullptr) {
        settingDlg_ = new CSettingDlg(this);
        connect(settingDlg_, &CSettingDlg::deleteAllDataRequested, this,
                [this] { OnDeleteAllData(false); });
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
    dialog.outputLogFlag = status->outputLogFlag;
    const int answer =
        dialog.RunDialog(ListPortEntries(status->portName), CSettingDlg::kSettingsMode);
    if (answer == CSettingDlg::kConfirmed) {
        // Only what changed is written, and the core learns it on its own
        // thread, between two jobs.
        const int autoConnect = dialog.connection.autoConnect;
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
    }
    if (runMode_ == kContinuous && connected_) {
        RestartLoop();
    }
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
            if (ok) {
                MessageBox::Information(settingDlg_, tr("Delete completed."));  // 2090
            } else {
                MessageBox::Warning(settingDlg_, tr("Failed to delete."));  // 2091
            }
        });
}
