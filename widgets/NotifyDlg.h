#pragma once

// The hand-shake of the wait and progress dialogs. The owner sets a notify
// message (0 = none) and its parameter and runs the dialog modally; once the
// dialog is on screen it emits notified(message, parameter) once, from an
// event it posted to itself, so the owner's handler runs inside the modal run
// with the dialog visible. The notify message is cleared when it is sent: a
// dialog shown again without new values sends nothing. The dialog never
// closes by itself; the owner (or the completion of the work) sends the close
// request (COrgDialog::PostCloseRequest) and the run returns 0.

#include "widgets/OrgDialog.h"

class CNotifyDlg : public COrgDialog {
    Q_OBJECT
public:
    explicit CNotifyDlg(QWidget* parent = nullptr);

    void SetNotify(int message, qintptr parameter);
    void SetNotifyMessage(int message) { notifyMessage_ = message; }
    void SetNotifyParameter(qintptr parameter) { notifyParameter_ = parameter; }
    int NotifyMessage() const { return notifyMessage_; }
    qintptr NotifyParameter() const { return notifyParameter_; }

    // Runs the dialog modally; 0 when it ends on a close request.
    int Run() { return exec(); }
    // Ends the run: posts the close request (any thread).
    void CloseRequest() { PostCloseRequest(this); }

signals:
    // The dialog is on screen and had a notify message: run the operation.
    void notified(int message, qintptr parameter);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    int notifyMessage_ = 0;
    qintptr notifyParameter_ = 0;
};
