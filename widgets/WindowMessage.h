#pragma once

// The posted window message of this program: a QEvent whose type is the
// message value (the UWM_* values lie inside Qt's user event range) and which
// carries the two message values. The sender is kept apart from wParam so a
// receiver can tell which dialog or page a message came from without casting
// numbers back to pointers. Messages are only ever posted across threads.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>

class CWindowMessage : public QEvent {
public:
    // message: a value in QEvent::User..QEvent::MaxUser (0x1400..0x5410 are).
    CWindowMessage(int message, QObject* sender, qintptr wParam, qintptr lParam)
        : QEvent(static_cast<QEvent::Type>(message)),
          sender_(sender),
          wParam_(wParam),
          lParam_(lParam) {}

    int Message() const { return static_cast<int>(type()); }
    // The window that posted the message (null when it has gone or was none).
    QObject* Sender() const { return sender_.data(); }
    qintptr WParam() const { return wParam_; }
    qintptr LParam() const { return lParam_; }

    // Posts message to receiver; callable from any thread while receiver
    // lives. A message value outside the user event range is refused (false).
    static bool Post(QObject* receiver, int message, QObject* sender, qintptr wParam,
                     qintptr lParam);

    static bool IsWindowMessage(const QEvent* event) {
        return event->type() >= QEvent::User && event->type() <= QEvent::MaxUser;
    }

private:
    QPointer<QObject> sender_;
    qintptr wParam_;
    qintptr lParam_;
};
