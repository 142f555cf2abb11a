#pragma once

// The "Please wait." dialog: a captionless modal box with a one- to five-line
// message and a busy indicator, shown while a long operation runs. The user
// cannot close it; it ends on a close request only.
//
// Hand-shake. The owner sets the notify message (a window message value,
// 0 = none), its parameter and the text, then calls Run(). Once the dialog
// is shown it emits notified(message, parameter), once, from an event it
// posted itself, so the owner's handler runs inside the modal run with the
// dialog on screen. The owner starts the work on the device worker and
// returns to the event loop; the window keeps repainting. The work's
// completion calls CloseRequest() (or, from another thread,
// COrgDialog::PostCloseRequest(dialog)) and Run() returns 0. The notify
// message is cleared when it is sent, so showing the dialog again without
// setting it again sends nothing. An owner that handles window messages in
// event() turns the signal into its own posted message, with the dialog as
// sender:
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

#include "widgets/OrgDialog.h"

class CBusyIndicator;

class CWaitDlg : public COrgDialog {
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

    void SetNotify(int message, qintptr parameter);
    void SetNotifyMessage(int message) { notifyMessage_ = message; }
    void SetNotifyParameter(qintptr parameter) { notifyParameter_ = parameter; }
    int NotifyMessage() const { return notifyMessage_; }

    // One of the texts above (an unknown number shows kPleaseWait).
    void SetTextId(int id);
    int TextId() const { return textId_; }
    // Any text; lines after the fifth are shown in the fifth text line.
    void SetText(const QString& text);
    static QString TextOf(int id);

    // Runs the dialog modally; 0 when it ends on a close request.
    int Run();
    // Ends the run: posts the close request (window thread or any thread).
    void CloseRequest() { PostCloseRequest(this); }

    // What is on screen, for the owner's tests.
    int LineCount() const { return lineCount_; }
    QLabel* Line(int index) const;
    CBusyIndicator* BusyIndicator() const { return busy_; }

signals:
    // The dialog is on screen and had a notify message: run the operation.
    void notified(int message, qintptr parameter);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ApplyText();

    int notifyMessage_ = 0;
    qintptr notifyParameter_ = 0;
    int textId_ = kPleaseWait;
    QString text_;
    int lineCount_ = 0;
    std::array<QLabel*, kLineCount> lines_{};
    CBusyIndicator* busy_;
};
