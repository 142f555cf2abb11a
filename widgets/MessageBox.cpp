// Message boxes and the seam that answers them in tests.
#include "widgets/MessageBox.h"

#include <QGuiApplication>
#include <deque>
#include <mutex>

namespace {

struct Seam {
    std::mutex mutex;
    bool testMode = false;
    std::deque<MessageBox::Button> answers;
    QList<MessageBox::Record> shown;
};

Seam& TheSeam() {
    static Seam seam;
    return seam;
}

MessageBox::Button EscapeAnswer(MessageBox::Buttons buttons, MessageBox::Button defaultButton) {
    for (MessageBox::Button b : {QMessageBox::Cancel, QMessageBox::No, QMessageBox::Ok}) {
        if (buttons.testFlag(b)) {
            return b;
        }
    }
    return defaultButton;
}

}  // namespace

MessageBox::Button MessageBox::Information(QWidget* parent, const QString& text, Buttons buttons,
                                           Button defaultButton) {
    return Show(parent, QMessageBox::Information, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::Warning(QWidget* parent, const QString& text, Buttons buttons,
                                       Button defaultButton) {
    return Show(parent, QMessageBox::Warning, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::Question(QWidget* parent, const QString& text, Buttons buttons,
                                        Button defaultButton) {
    return Show(parent, QMessageBox::Question, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::Critical(QWidget* parent, const QString& text, Buttons buttons,
                                        Button defaultButton) {
    return Show(parent, QMessageBox::Critical, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::Plain(QWidget* parent, const QString& text, Buttons buttons,
                                     Button defaultButton) {
    return Show(parent, QMessageBox::NoIcon, text, buttons, defaultButton);
}

MessageBox::Button MessageBox::Show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                    Buttons buttons, Button defaultButton) {
    {
        Seam& seam = TheSeam();
        std::lock_guard lock(seam.mutex);
        if (!seam.answers.empty() || seam.testMode) {
            Record record{text, icon, buttons, QMessageBox::NoButton, false};
            if (!seam.answers.empty()) {
                record.answer = seam.answers.front();
                record.answered = true;
                seam.answers.pop_front();
            } else {
                record.answer = EscapeAnswer(buttons, defaultButton);
            }
            seam.shown.append(record);
            return record.answer;
        }
    }
    QMessageBox box(icon, QGuiApplication::applicationDisplayName(), text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(defaultButton);
    }
    return static_cast<Button>(box.exec());
}

void MessageBox::SetNextAnswer(Button answer) {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    seam.answers.push_back(answer);
}

void MessageBox::SetTestMode(bool enabled) {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    seam.testMode = enabled;
}

QList<MessageBox::Record> MessageBox::Shown() {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    return seam.shown;
}

void MessageBox::ClearShown() {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    seam.shown.clear();
}

int MessageBox::PendingAnswers() {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    return static_cast<int>(seam.answers.size());
}

void MessageBox::Reset() {
    Seam& seam = TheSeam();
    std::lock_guard lock(seam.mutex);
    seam.testMode = false;
    seam.answers.clear();
    seam.shown.clear();
}
