#pragma once

// The settings dialog. In its connection mode it is the start-up dialog that
// asks for the port and the baud rate before the program has a module
// (caption "Connection settings", confirm button "Connect", only the
// connection page). In its settings mode the main window opens it with the
// tabbed pages (caption "Settings", confirm button "OK"); confirming saves
// what the pages keep in the settings files, cancelling saves nothing.
//
//   CSettingDlg dialog;
//   dialog.connection = {port, baud, angle, autoConnect};
//   if (dialog.RunDialog(ports, CSettingDlg::kConnectionMode) == CSettingDlg::kConfirmed) ...

#include "widgets/OrgDialog.h"

#include <vector>

class QKeyEvent;

#include "settings/Settings.h"
#include "settings/ui/CameraSettingDlg.h"
#include "settings/ui/ConnectSettingDlg.h"

class CStateBmpButton;
class CExecSettingDlg;
class CQuellSettingDlg;
class CMaintenanceDlg;
class QCheckBox;
class QTabWidget;

class CSettingDlg : public COrgDialog {
    Q_OBJECT
public:
    enum Mode { kSettingsMode = 0, kConnectionMode = 1 };
    enum Result { kConfirmed = 1, kCancelled = 2 };

    explicit CSettingDlg(QWidget* parent = nullptr);

    // Copies the ports, builds the pages for `mode` from the value members,
    // runs the dialog modally and returns kConfirmed or kCancelled.
    int RunDialog(const std::vector<PortEntry>& ports, Mode mode);
    // The settings mode also shows the resolutions the model offers.
    int RunDialog(const std::vector<PortEntry>& ports,
                  const std::vector<ResolutionItem>& resolutions, Mode mode);

    // The execution values; shown at once when the Execution page exists
    // (the owner's answer to resetRequested).
    void SetExecutionValues(const DeviceSettings& values);
    const DeviceSettings& GetExecutionValues() const { return execution_; }

    // The port list thread's new list, while the dialog is shown (window
    // thread: the thread posts it here).
    void RefreshPorts(const std::vector<PortEntry>& ports);
    // Shown under the lists: why the last port did not open, what helps.
    void SetAdvice(const QString& text);

    // The connection page of the current run (null between runs).
    CConnectSettingDlg* ConnectionPage() const { return connectionPage_; }
    // The settings mode's tabs and pages (null in the connection mode).
    QTabWidget* Tabs() const { return tabs_; }
    CCameraSettingDlg* DevicePage() const { return devicePage_; }
    CExecSettingDlg* ExecutionPage() const { return execPage_; }
    CQuellSettingDlg* StabilizationPage() const { return quellPage_; }
    CMaintenanceDlg* MaintenancePage() const { return maintenancePage_; }
    QCheckBox* LogOutputBox() const { return logOutput_; }
    CStateBmpButton* ConfirmButton() const { return confirm_; }
    CStateBmpButton* CancelButton() const { return cancel_; }
    int CurrentMode() const { return mode_; }

    // Values, read and written by the owner around RunDialog: the
    // connection mode edits `connection`, the settings mode `device`, the
    // execution values and the log flag.
    ConnectionValues connection;
    DeviceValues device;
    // Settings mode without a module (the port vanished or an apply
    // failed): the Device tab shows the port and the baud rate too, and
    // confirming hands them back in `connection` to connect again.
    bool offerConnection = false;
    int outputLogFlag = 0;
    // The album type the Maintenance page shows when its tab is selected
    // (-1: not known).
    int albumType = -1;
    int result = kCancelled;

signals:
    // Relayed from the Maintenance page to the main window.
    void deleteAllDataRequested();
    void getAlbumTypeRequested();
    void setAlbumTypeRequested(int type);
    // Relayed from the Execution page's "Reset values".
    void settingsResetRequested();

protected:
    void done(int r) override;
    // Enter confirms and Escape cancels in this dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildPages();
    void BuildSettingsTabs();
    void DropPages();

    int mode_ = kConnectionMode;
    std::vector<PortEntry> ports_;
    std::vector<ResolutionItem> resolutions_;
    DeviceSettings execution_;
    QString advice_;
    CConnectSettingDlg* connectionPage_ = nullptr;
    QWidget* pageArea_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    CCameraSettingDlg* devicePage_ = nullptr;
    CExecSettingDlg* execPage_ = nullptr;
    CQuellSettingDlg* quellPage_ = nullptr;
    CMaintenanceDlg* maintenancePage_ = nullptr;
    QCheckBox* logOutput_ = nullptr;
    CStateBmpButton* confirm_ = nullptr;  // 1068
    CStateBmpButton* cancel_ = nullptr;   // 1069
};
