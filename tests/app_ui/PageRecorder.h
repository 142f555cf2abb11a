#pragma once

// A stand-in main window for page tests: records every window message posted
// to it.

#include <QObject>
#include <cstdint>
#include <vector>

#include "app/ui/WindowMessages.h"

class CMessageRecorder : public QObject {
public:
    struct Seen {
        WindowMessage message;
        QObject* sender;
        std::int64_t value;
    };
    std::vector<Seen> seen;

    std::vector<WindowMessage> Messages() const {
        std::vector<WindowMessage> list;
        for (const Seen& s : seen) {
            list.push_back(s.message);
        }
        return list;
    }

protected:
    bool event(QEvent* e) override {
        if (auto* m = CWindowMessage::From(e)) {
            seen.push_back({m->Message(), m->Sender(), m->Value()});
            return true;
        }
        return QObject::event(e);
    }
};
