#pragma once

// A window that records the window messages posted to it and can answer one
// of them with a reaction, as an owner of the wait dialog does.

#include <QWidget>
#include <functional>
#include <vector>

#include "widgets/WindowMessage.h"

struct RecordedMessage {
    int message;
    QObject* sender;
    qintptr wParam;
    qintptr lParam;
};

class MessageRecorder : public QWidget {
public:
    std::vector<RecordedMessage> messages;
    std::function<void(const RecordedMessage&)> onMessage;

    int Count(int message) const {
        int n = 0;
        for (const RecordedMessage& m : messages) {
            n += m.message == message;
        }
        return n;
    }

protected:
    bool event(QEvent* event) override {
        if (CWindowMessage::IsWindowMessage(event)) {
            auto* m = static_cast<CWindowMessage*>(event);
            messages.push_back({m->Message(), m->Sender(), m->WParam(), m->LParam()});
            if (onMessage) {
                onMessage(messages.back());
            }
            return true;
        }
        return QWidget::event(event);
    }
};
