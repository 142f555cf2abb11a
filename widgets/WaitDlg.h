#pragma once

// The "Please wait." dialog: a captionless modal box with a one- to five-line
// message and a busy indicator, shown while a long operation runs. The user
// cannot close it; it ends on a close request only.
//
// The hand-shake is CNotifyDlg's (widgets/NotifyDlg.h). An owner that
// handles window messages in event() turns the signal into its own posted
// message, with the dialog as sender:
//
//     connect(wait_, &CWaitDlg::notified, this, [this](int message, qintptr value) {
//         PostWindowMessage(this, WindowMessage(message), wait_, value);
//     });
//     wait_->SetNotify(UWM_SETTINGS, 0);
//     wait_->SetTextId(CWaitDlg::kPleaseWait);
//     wait_->Run();
//     ...  // on UWM_SETTINGS from wait_: worker.Post(..., [this](auto) {
//          //     wait_->CloseRequest(); });

#include <QLabel>
#include <QString>
#include <array>

#include "widgets/NotifyDlg.h"

class CBusyIndicator;

class CWaitDlg : public CNotifyDlg {
    Q_OBJECT
public:
    // The texts the dialog shows, by their string numbers.
    enum TextId {
        kPleaseWait = 5200,   // "Please wait."
        kRunning = 5201,      // "Running...\nPlease wait."
        kTerminating = 5202,  // "Terminating...\nDo not turn off the Kyto."
    };
    static constexpr int kLineCount = 5;

    explicit CWaitDlg(QWidget* parent = nullptr);

    // One of the texts above (an unknown number shows kPleaseWait).
    void SetTextId(int id);
    int TextId() const { return textId_; }
    // Any text; lines after the fifth are shown in the fifth text line.
    void SetText(const QString& text);
    static QString TextOf(int id);

    // What is on screen, for the owner's tests.
    int LineCount() const { return lineCount_; }
    QLabel* Line(int index) const;
    CBusyIndicator* BusyIndicator() const { return busy_; }

private:
    void ApplyText();

    int textId_ = kPleaseWait;
    QString text_;
    int lineCount_ = 0;
    std::array<QLabel*, kLineCount> lines_{};
    CBusyIndicator* busy_;
};
