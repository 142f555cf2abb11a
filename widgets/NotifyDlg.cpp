// The notify hand-shake of the wait and progress dialogs.
#include "widgets/NotifyDlg.h"

#include <QCoreApplication>

namespace {

// The dialog's message to itself that it has become visible.
QEvent::Type ShownType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace

CNotifyDlg::CNotifyDlg(QWidget* parent) : COrgDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setModal(true);
}

void CNotifyDlg::SetNotify(int message, qintptr parameter) {
    notifyMessage_ = message;
    notifyParameter_ = parameter;
}

void CNotifyDlg::showEvent(QShowEvent* event) {
    COrgDialog::showEvent(event);
    if (notifyMessage_ != 0) {
        QCoreApplication::postEvent(this, new QEvent(ShownType()));
    }
}

bool CNotifyDlg::event(QEvent* event) {
    if (event->type() == ShownType()) {
        // Cleared before sending: each run sends at most once, however
        // often the dialog is shown.
        const int message = notifyMessage_;
        const qintptr parameter = notifyParameter_;
        notifyMessage_ = 0;
        notifyParameter_ = 0;
        if (message != 0) {
            emit notified(message, parameter);
        }
        return true;
    }
    return COrgDialog::event(event);
}
