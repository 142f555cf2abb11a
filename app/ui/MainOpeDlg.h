#pragma once

// The main operation page (the Main tab): the image panel at the top left,
// the execute page to its right and the result text pane across the bottom.
// The page holds the user's choices for every frame (the snapshot the
// execution loop reads) and the latest-frame slot the loop reports into;
// each fresh packet is painted in the panel and its block added to the pane
// on the window thread. A painter slower than the module skips frames; the
// daily log gets every frame from the core's frame logger, not from here.
//
// The page posts to the main window (its message target, window() unless
// set): UWM_EXEC_ONCE, UWM_EXEC_START, UWM_EXEC_STOP (sender: the execute
// page), UWM_SETTINGS (sender: this page), UWM_LOG_MENU (sender: the result
// pane, value: the screen point) and UWM_VERIFY_ID (as the ID selection
// sent it). It handles UWM_FULL_SCREEN itself and passes UWM_PLACE_ID_SELECT
// on to the execute page.
//
//   CMainOpeDlg page(core, this);
//   CExecutionLoop loop(page.Choices(), sinkChain);  // chain: logger, page.FrameSink()
//   page.SetRunMode(1); page.ReleaseExecuteButtons(); page.AddVersionHeader(...);
// The page must outlive every run that reports into its slot: stop the
// loops before destroying it.

#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/ExecutionChoices.h"
#include "app/FramePacket.h"
#include "app/LatestFrameSlot.h"
#include "app/ResultText.h"

class CAppCore;
class CExecuteDlg;
class CImageDlg;
class CResultLogDlg;
class QFrame;
class QVBoxLayout;

class CMainOpeDlg : public QWidget {
    Q_OBJECT

public:
    CMainOpeDlg(CAppCore& core, QWidget* parent = nullptr);
    ~CMainOpeDlg() override;

    // What every frame reads (function flags, image type, stabilisation,
    // "Display image", verify user ID); written by the page's controls.
    CChoicesSnapshot& Choices() { return choices_; }
    // Where the execution loop reports (on the worker): keeps the newest
    // packet and wakes the page.
    IFrameSink& FrameSink() { return slot_; }
    CLatestFrameSlot& FrameSlot() { return slot_; }

    // Window thread: paints the packet in the panel and adds its block to
    // the pane. Packets from the slot arrive here by themselves.
    void ReportFrame(const FramePacketPtr& packet);

    // Sets the execute page from the core's published settings (function
    // flags, image size, stabilisation) and the verify user ID.
    void SetFromCoreStatus();
    void SetFromSettings(const std::uint8_t functionFlags[11], int imageSizeCode,
                         bool stabilisation);
    void AddVersionHeader(const std::string& applicationVersion,
                          const std::string& firmwareVersion);
    // The registered users: names for the panel's labels and the pane.
    void UpdateUserList(const std::vector<UserName>& users);
    // The user ID Verify compares against (-1 none).
    void SetVerifyId(int userId);
    // Width of the module's full image, for the overlay scale.
    void SetFullImageWidth(int width);

    // The run mode of the main window (-1 idle, 0 once, 1 continuous, 103
    // live image); the continuous button shows pressed in mode 1.
    void SetRunMode(int mode);
    // Shows the execute buttons released (after a failure).
    void ReleaseExecuteButtons();
    // Without a module the execute buttons are disabled.
    void SetConnected(bool connected);

    // Accelerator commands: 3000 full screen, 3001 execute once, 3002
    // execute continuously, as if the button had been pressed. The main
    // window calls it only while the Main tab is shown.
    void RunAccelerator(int command);
    // The image panel as a full-screen window of its own, or back.
    void ToggleFullScreen();
    bool PanelFullScreen() const { return panelDetached_; }

    CImageDlg& ImagePanel() const { return *panel_; }
    CExecuteDlg& ExecutePage() const { return *execute_; }
    CResultLogDlg& ResultLog() const { return *log_; }

    // Where the page's messages go; null: the page's window.
    void SetMessageTarget(QObject* target) { messageTarget_ = target; }

signals:
    // A packet was shown (panel given the frame, block added).
    void FrameShown(std::uint64_t sequence);

protected:
    bool event(QEvent* event) override;

private:
    struct Waker;  // wakes the page from the worker while the page lives

    CAppCore& core_;
    CChoicesSnapshot choices_;
    CLatestFrameSlot slot_;
    std::shared_ptr<Waker> waker_;
    CImageDlg* panel_ = nullptr;
    QWidget* panelPlace_ = nullptr;  // keeps the panel's room while it is full screen
    QVBoxLayout* panelPlaceLayout_ = nullptr;
    QFrame* separator_ = nullptr;
    CExecuteDlg* execute_ = nullptr;
    CResultLogDlg* log_ = nullptr;
    bool panelDetached_ = false;
    QObject* messageTarget_ = nullptr;
};
