#pragma once

// The result text pane of the main operation page: one text block per shown
// frame, newest at the top, at most the configured number of blocks, so the
// pane's memory stays flat however long detection runs. Blocks are inserted
// as plain text: names of users and texts of the module may hold '<' or '&'
// and are shown as they are. The pane writes no file: the daily result log
// and the debug logs get every frame from the core's frame logger.

#include <QPoint>
#include <QString>
#include <QWidget>
#include <deque>
#include <string>
#include <vector>

#include "app/FramePacket.h"
#include "app/ResultText.h"

class QMenu;
class COrgRichEdit;

class CResultLogDlg : public QWidget {
    Q_OBJECT

public:
    // blockLimit: the most blocks shown; 0 or less is taken as 1.
    explicit CResultLogDlg(int blockLimit, QWidget* parent = nullptr);
    // The limit from "LimitLogBlock" of Application.ini (150 when missing).
    explicit CResultLogDlg(QWidget* parent = nullptr);
    ~CResultLogDlg() override;

    // Window thread. The block of one detection frame (or of the
    // resynchronisation after a failed one); live images show nothing.
    void AddFrameResult(const FramePacket& packet);
    // The header after connecting: separator, application and firmware
    // lines. Added without the limit check; it counts as a block afterwards.
    void AddVersionHeader(const std::string& applicationVersion,
                          const std::string& firmwareVersion);
    // Names for the Recognition line.
    void SetUserNames(std::vector<UserName> names);

    // The commands of the log menu.
    void CopyAll();
    void CopySelected();
    void Clear();
    bool HasSelection() const;

    // The log menu: "Copy all log(&A)", "Copy selected log(&S)" and "Clear
    // log(&C)". While a loop runs every entry is disabled; otherwise copy
    // selected needs a selection. The caller owns the menu and pops it up.
    QMenu* CreateLogMenu(bool loopRunning, QWidget* parent);

    int BlockCount() const { return static_cast<int>(blocks_.Blocks().size()); }
    int BlockLimit() const { return blocks_.Limit(); }
    const std::deque<std::string>& Blocks() const { return blocks_.Blocks(); }
    QString Text() const;
    COrgRichEdit* TextControl() const { return text_; }

    // Where the pane posts UWM_LOG_MENU (sender: the pane, value: the screen
    // point) on a right click or the menu key in the text; its parent when
    // unset.
    void SetMessageTarget(QObject* target) { messageTarget_ = target; }

private:
    void Insert(const std::string& block);
    void DropOldest();

    COrgRichEdit* text_ = nullptr;
    ResultBlockList blocks_;
    // Document characters each shown block takes, oldest first.
    std::deque<int> lengths_;
    std::vector<UserName> names_;
    QObject* messageTarget_ = nullptr;
};
