#pragma once

// The main window: the Main and Album tabs over their pages, the banner that
// shows the version box, the title that tells the connection, and the run
// mode: which loop runs on the device worker (execution once or
// continuously, or the Album tab's live image). Every handler that needs the
// module stops the running loop first, behind the "Please wait." dialog
// (StopLoop), and restarts it afterwards. The pages reach the window only by
// posted window messages and queued signals.
//
// The window never waits on the module: device work goes to the worker as a
// job, and its completion comes back as a posted event. What runs "inside
// the wait dialog" is a job posted when the dialog reports that it is shown;
// the job's completion closes the dialog, and the window keeps repainting in
// between.

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AlbumJobs.h"
#include "app/DeviceWorker.h"
#include "app/ExecutionLoop.h"
#include "app/FrameLogger.h"
#include "app/LiveImageLoop.h"
#include "app/ui/Accelerators.h"
#include "app/ui/WindowMessages.h"
#include "app/ui/WindowPoster.h"
#include "logging/DebugLogFileOpe.h"

class CAlbumMngr;
class CAlbumProgressDlg;
class CAppCore;
class CIDSelectDlg;
class CNameInputDlg;
class CRegistDlg;
class CBanner;
class CMainOpeDlg;
class CPortReturnWatch;
class CWaitDlg;
class CSettingDlg;
class CWindowMessage;
class QButtonGroup;
class QLabel;
class CStateBmpButton;
class QStackedWidget;

class CKytoDemoDlg : public QWidget {
    Q_OBJECT
public:
    enum RunMode : int { kIdle = -1, kOnce = 0, kContinuous = 1, kLiveImage = 103 };

    // The core belongs to the worker (started); the album store is the one
    // the core's device folder hook opens. All three outlive the window.
    CKytoDemoDlg(CAppCore& core, CDeviceWorker& worker, CAlbumMngr& album,
                 std::vector<Accelerator> accelerators, QWidget* parent = nullptr);
    ~CKytoDemoDlg() override;

    // Main window initialisation on the worker (version, album type, image
    // size, users); the window is shown meanwhile. Ends with the album check
    // (posted to itself); Ready() is emitted when that is done.
    void Initialise();

    int Mode() const { return runMode_; }
    bool Connected() const { return connected_; }
    bool LoopRunning() const { return runJob_ != 0; }
    bool MainTabSelected() const;
    const QString& FirmwareVersion() const { return firmwareVersion_; }
    const QString& ModelName() const { return modelName_; }
    static QString ApplicationVersion();

    // The title for a connection (failed 0) or without one.
    void UpdateTitle(int failed);
    // Stops the running loop behind the wait dialog; returns at once when
    // none runs.
    void StopLoop();
    // Box 9000 when the execution loop recorded a module error and debug
    // logging is on; clears the record either way.
    void ShowExecError();

    CMainOpeDlg* MainPage() const { return mainPage_; }
    QWidget* AlbumPage() const;
    CRegistDlg* RegistPage() const;
    CAlbumJobs& AlbumJobs() const { return *albumJobs_; }
    CNameInputDlg* NameDialog() const { return nameDlg_; }
    CIDSelectDlg* IdSelectDialog() const { return idSelect_; }
    CAlbumProgressDlg* ProgressDialog() const { return progress_; }
    CWaitDlg* WaitDialog() const { return wait_; }
    CStateBmpButton* MainTabButton() const { return mainTab_; }
    CStateBmpButton* AlbumTabButton() const { return albumTab_; }
    QWidget* Banner() const;

    // The window grabbed into a PNG (the --screenshot option and tests).
    bool SaveScreenshot(const QString& path);

signals:
    void Ready();
    // The shutdown sequence is complete: the loop stopped, the album
    // compared; the owner joins the worker and disconnects.
    void Finished();
    // A frame reached the panel (test and screenshot aid).
    void FrameShown();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // ---- Pages, tabs and banner (KytoDemoDlg.cpp) ----------------------------
    void BuildWindow();
    void OnMainTab();
    void OnAlbumTab();
    void ShowVersionBox();
    void RunAccelerator(AcceleratorCommand command);

    // ---- Settings from the main window (KytoDemoSettings.cpp) ----------------
    void OnSettings();
    // From the wait dialog: the changed device settings sent on the worker,
    // then the title, the box and the run mode.
    void OnApplySettings();
    CSettingDlg* SettingDialog();
    // "Delete all data": the question, then (from the wait dialog) the
    // reformat on the worker and the local store emptied.
    void OnDeleteAllData(bool fromWaitDialog);
    // "Get Album Type" and "Set Album Type": the wait dialog, then (from it)
    // the exchange on the worker and the box on failure.
    void OnGetAlbumType(bool fromWaitDialog);
    void OnSetAlbumType(bool fromWaitDialog, int type);
    // Reconnecting without a restart: the settings dialog's confirm while
    // not connected, or the offer when the vanished port is back. Connects
    // behind the wait dialog, sends the stored device settings (and the
    // dialog's changed ones), and updates the title.
    void Reconnect(const std::string& port, int baud, bool applyDialogValues);
    CPortReturnWatch* PortWatch();
    void WatchForPortReturn();
    void OnPortReturned(const QString& path);

    // ---- Run modes and the wait dialog (KytoDemoRun.cpp) ---------------------
    bool OnWindowMessage(const CWindowMessage& message);
    void OnExecOnce();
    void OnExecStart();
    void OnExecStop();
    void OnExecError(int status);
    void StartExecution(CExecutionLoop::Mode mode);
    void StartLiveImage();
    void OnExecutionEnded(const JobResult<ExecutionEnd>& end);
    void OnLiveImageEnded(const JobResult<LiveImageEnd>& end);
    // Restarts the loop of the mode after a handler that stopped it.
    void RestartLoop();
    // Shows the wait dialog with `text`; `message` (0 none) is what the
    // dialog posts back once shown, with `value`.
    void RunWaitDialog(int textId, int message, std::int64_t value = 0);
    void CloseWaitDialog();
    void OnStartupCheck(bool fromWaitDialog);
    void OnShutdown();
    void BeginClose();

    // ---- The Album tab (KytoDemoAlbum.cpp) -----------------------------------
    using AlbumPost = std::function<JobId(Poster, AlbumDone)>;
    void BuildAlbumPage(QWidget* pages);
    void AttachIdSelect();
    void OnLiveImage(const FramePacketPtr& packet);
    bool OnAlbumMessage(const CWindowMessage& message);
    // The user list, the main page's names, the ID selection and the verify
    // user from the album's published user list.
    void RefreshAlbumLists();
    void AfterAlbumChange();
    void ShowPictures(int id, const std::optional<PictureList>& pictures);
    // Stops the live image, runs the job behind the wait dialog (which
    // posts `message` back once shown) and returns its result.
    JobResult<AlbumJobResult> RunAlbumJob(int message, AlbumPost post);
    void StartPendingAlbumJob(bool progressDialog);
    void ResumeLiveImage();
    void OnNameCheck();
    void OnAlbumAddUser();
    void OnAlbumChangeName();
    void OnAlbumDeleteUsers();
    void OnAlbumDeleteAll();
    void OnAlbumRegister();
    void OnAlbumSelect();
    void OnAlbumMove(int direction);
    void OnAlbumImageDelete(int request);
    void OnAlbumFile(int request);
    QString AskAlbumFile(bool open);
    void RunAlbumFile(bool load, const QString& path);

    CAppCore& core_;
    CDeviceWorker& worker_;
    CAlbumMngr& album_;
    CWindowPoster poster_;
    std::vector<Accelerator> accelerators_;

    CDebugLogFileOpe debugLog_;
    CFrameLogger frameLogger_;
    std::unique_ptr<IFrameSink> executionSink_;  // logger, then the page
    std::unique_ptr<IFrameSink> liveSink_;
    std::unique_ptr<CExecutionLoop> executionLoop_;
    std::unique_ptr<CLiveImageLoop> liveLoop_;

    CMainOpeDlg* mainPage_ = nullptr;
    CRegistDlg* albumPage_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    CStateBmpButton* mainTab_ = nullptr;   // 1043
    CStateBmpButton* albumTab_ = nullptr;  // 1044
    QButtonGroup* tabs_ = nullptr;
    CBanner* banner_ = nullptr;
    CWaitDlg* wait_ = nullptr;
    CSettingDlg* settingDlg_ = nullptr;      // made on first use, reused
    CPortReturnWatch* portWatch_ = nullptr;  // made on first use

    int runMode_ = kIdle;
    int savedRunMode_ = kIdle;
    JobId runJob_ = 0;
    bool runIsExecution_ = false;
    int waitDepth_ = 0;  // wait dialog runs under way
    struct Deferred {
        WindowMessage message;
        std::int64_t value;
    };
    std::vector<Deferred> deferred_;  // loop requests that came during a wait
    bool waitCloseRequested_ = false;
    bool portLost_ = false;
    bool moduleSilent_ = false;  // the last run ended with the module not answering
    bool execErrorFlag_ = false;
    int execErrorCode_ = 0;
    bool connected_ = false;
    bool closing_ = false;
    bool finished_ = false;
    int liveImages_ = 0;

    // The Album tab (KytoDemoAlbum.cpp).
    std::unique_ptr<CAlbumJobs> albumJobs_;
    CNameInputDlg* nameDlg_ = nullptr;
    CIDSelectDlg* idSelect_ = nullptr;
    CAlbumProgressDlg* progress_ = nullptr;
    int editedUserId_ = -1;
    AlbumPost pendingAlbumJob_;  // started when its dialog is shown
    JobId albumJob_ = 0;
    JobResult<AlbumJobResult> albumJobResult_;

    QString modelName_;
    QString firmwareVersion_;
    QString portName_;
    int baud_ = 0;
};
