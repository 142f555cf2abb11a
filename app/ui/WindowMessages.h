#pragma once

// The window messages: how the pages, dialogs and the device worker's
// completions talk to the main window. Each is a posted event whose type is
// the message's number and which carries the two values of the message: the
// sender (a window, or none) and one integer. Messages are always posted
// (PostWindowMessage, QCoreApplication::postEvent), never sent, so a
// receiver handles them on its own thread in the order they were posted, and
// a sender never waits for the receiver.
//
//   PostWindowMessage(mainWindow, UWM_EXEC_START, executePage);
//   ...
//   bool CKytoDemoDlg::event(QEvent* e) {
//       if (auto* m = CWindowMessage::From(e)) { return OnWindowMessage(*m); }
//       ...
//   }

#include <QCoreApplication>
#include <QEvent>
#include <QPoint>
#include <QPointer>

#include <cstdint>

// Message numbers. The values sit inside Qt's user event range
// (QEvent::User .. QEvent::MaxUser), which registerEventType fills from the
// top down, far above the highest of these.
enum WindowMessage : int {
    UWM_WAIT_DLG = 0x1400,  // the wait dialog's own message to itself
    UWM_TEXT_RCLICK = 0x1500,
    UWM_STARTUP_CHECK = 0x2400,
    UWM_EXEC_ERROR = 0x2401,
    UWM_STOP_LOOP = 0x2410,
    UWM_SHUTDOWN = 0x2420,
    UWM_EXEC_ONCE = 0x3401,
    UWM_EXEC_START = 0x3402,
    UWM_EXEC_STOP = 0x3404,
    UWM_NAME_CHECK = 0x3410,
    UWM_SETTINGS = 0x3450,
    UWM_FULL_SCREEN = 0x3451,
    UWM_SETTINGS_RESET = 0x3460,
    UWM_ALBUM_USER = 0x3900,
    UWM_ALBUM_REGISTER = 0x3901,
    UWM_ALBUM_SELECT = 0x3902,
    UWM_ALBUM_MOVE = 0x3903,
    UWM_ALBUM_IMAGE_DELETE = 0x3905,
    UWM_ALBUM_FILE = 0x3910,
    UWM_LOG_FRAME = 0x3A00,
    UWM_LOG_MENU = 0x3A10,
    UWM_DELETE_ALL_DATA = 0x3B00,
    UWM_GET_ALBUM_TYPE = 0x3B01,
    UWM_SET_ALBUM_TYPE = 0x3B02,
    UWM_ID_SELECT_SHOW = 0x5400,
    UWM_VERIFY_ID = 0x5401,
    UWM_PLACE_ID_SELECT = 0x5410,
};

static_assert(int{UWM_WAIT_DLG} > int{QEvent::User} &&
              int{UWM_PLACE_ID_SELECT} < int{QEvent::MaxUser});

// Accelerator commands (the shortcut keys) that the main window passes on to
// the main operation page while the Main tab is shown.
enum AcceleratorCommand : int {
    ID_ACCEL_FULL_SCREEN = 3000,
    ID_ACCEL_PICTURE = 3001,
    ID_ACCEL_VIDEO = 3002,
};

class CWindowMessage : public QEvent {
public:
    CWindowMessage(WindowMessage message, QObject* sender, std::int64_t value)
        : QEvent(static_cast<QEvent::Type>(message)), sender_(sender), value_(value) {}

    WindowMessage Message() const { return static_cast<WindowMessage>(type()); }
    // The window that posted the message (the "wParam"), null when none was
    // given or when it has been destroyed since.
    QObject* Sender() const { return sender_.data(); }
    // The message's value (the "lParam").
    std::int64_t Value() const { return value_; }
    // Messages whose value is a point (UWM_TEXT_RCLICK, UWM_LOG_MENU).
    QPoint Point() const { return UnpackPoint(value_); }

    static bool IsWindowMessage(int type) {
        switch (type) {
            case UWM_WAIT_DLG:
            case UWM_TEXT_RCLICK:
            case UWM_STARTUP_CHECK:
            case UWM_EXEC_ERROR:
            case UWM_STOP_LOOP:
            case UWM_SHUTDOWN:
            case UWM_EXEC_ONCE:
            case UWM_EXEC_START:
            case UWM_EXEC_STOP:
            case UWM_NAME_CHECK:
            case UWM_SETTINGS:
            case UWM_FULL_SCREEN:
            case UWM_SETTINGS_RESET:
            case UWM_ALBUM_USER:
            case UWM_ALBUM_REGISTER:
            case UWM_ALBUM_SELECT:
            case UWM_ALBUM_MOVE:
            case UWM_ALBUM_IMAGE_DELETE:
            case UWM_ALBUM_FILE:
            case UWM_LOG_FRAME:
            case UWM_LOG_MENU:
            case UWM_DELETE_ALL_DATA:
            case UWM_GET_ALBUM_TYPE:
            case UWM_SET_ALBUM_TYPE:
            case UWM_ID_SELECT_SHOW:
            case UWM_VERIFY_ID:
            case UWM_PLACE_ID_SELECT:
                return true;
            default:
                return false;
        }
    }
    // The message an event carries, or null for any other event.
    static CWindowMessage* From(QEvent* event) {
        return event != nullptr && IsWindowMessage(event->type())
                   ? static_cast<CWindowMessage*>(event)
                   : nullptr;
    }

    // x in the high 16 bits, y in the low 16 bits, each as a signed 16-bit
    // value so that points left of or above a screen's origin survive.
    static std::int64_t PackPoint(QPoint p) {
        return static_cast<std::int64_t>((static_cast<std::uint32_t>(p.x() & 0xFFFF) << 16) |
                                         static_cast<std::uint32_t>(p.y() & 0xFFFF));
    }
    static QPoint UnpackPoint(std::int64_t value) {
        const auto v = static_cast<std::uint32_t>(value);
        return QPoint(static_cast<std::int16_t>(v >> 16), static_cast<std::int16_t>(v & 0xFFFF));
    }

private:
    QPointer<QObject> sender_;
    std::int64_t value_;
};

// Posts a message to `receiver` (any thread). The receiver's thread handles it
// later; nothing happens if the receiver is destroyed first.
inline void PostWindowMessage(QObject* receiver, WindowMessage message, QObject* sender = nullptr,
                              std::int64_t value = 0) {
    QCoreApplication::postEvent(receiver, new CWindowMessage(message, sender, value));
}
