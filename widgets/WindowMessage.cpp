// Posting of window messages.
#include "widgets/WindowMessage.h"

bool CWindowMessage::Post(QObject* receiver, int message, QObject* sender, qintptr wParam,
                          qintptr lParam) {
    if (!receiver || message < QEvent::User || message > QEvent::MaxUser) {
        return false;
    }
    QCoreApplication::postEvent(receiver, new CWindowMessage(message, sender, wParam, lParam));
    return true;
}
