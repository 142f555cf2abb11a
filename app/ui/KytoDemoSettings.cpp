// The main window's Settings button and accelerator: the settings dialog in
// its settings mode, with the running loop stopped while it is shown.

#include "app/AppCore.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/PortListThread.h"
#include "settings/Settings.h"
#include "settings/ui/SettingDlg.h"

CSettingDlg* CKytoDemoDlg::SettingDialog() {
    if (settingDlg_ == nullptr) {
        settingDlg_ = new CSettingDlg(this);
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
