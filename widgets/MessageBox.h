#pragma once

// The one way the windows show a message box, so that window tests can answer
// boxes instead of blocking on them. The icon says what the box is: the
// information icon for success, the exclamation (warning) icon for failures,
// the question icon for questions, none for plain boxes. Texts are plain
// text, never markup (they may hold module or user names).
//
// Test seam: SetNextAnswer(button) queues the answer of the next box; the box
// is then not shown, its text, icon and buttons are recorded (Shown()) and
// the queued answer returned. With SetTestMode(true) no box is ever shown: an
// unanswered one is recorded with answered = false and returns its escape
// answer (Cancel, else No, else Ok, else its default button). Window thread.
//
//     MessageBox::SetTestMode(true);
//     MessageBox::SetNextAnswer(QMessageBox::Yes);
//     window.DoSomethingThatAsks();
//     QCOMPARE(MessageBox::Shown().at(0).text, "Write the Album?");

#include <QList>
#include <QMessageBox>
#include <QString>

class MessageBox {
public:
    using Button = QMessageBox::StandardButton;
    using Buttons = QMessageBox::StandardButtons;

    static Button Information(QWidget* parent, const QString& text,
                              Buttons buttons = QMessageBox::Ok,
                              Button defaultButton = QMessageBox::NoButton);
    static Button Warning(QWidget* parent, const QString& text, Buttons buttons = QMessageBox::Ok,
                          Button defaultButton = QMessageBox::NoButton);
    static Button Question(QWidget* parent, const QString& text,
                           Buttons buttons = QMessageBox::Yes | QMessageBox::No,
                           Button defaultButton = QMessageBox::NoButton);
    static Button Critical(QWidget* parent, const QString& text, Buttons buttons = QMessageBox::Ok,
                           Button defaultButton = QMessageBox::NoButton);
    static Button Plain(QWidget* parent, const QString& text, Buttons buttons = QMessageBox::Ok,
                        Button defaultButton = QMessageBox::NoButton);
    // The box with any icon; the title is the application's display name.
    static Button Show(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                       Buttons buttons, Button defaultButton);

    // ---- Test seam ----------------------------------------------------------
    struct Record {
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Buttons buttons;
        Button answer = QMessageBox::NoButton;
        bool answered = false;  // a queued answer was used
    };
    // Queues the answer of the next box (one per call, in order).
    static void SetNextAnswer(Button answer);
    static void SetTestMode(bool enabled);
    // Boxes answered by the seam or met in test mode, oldest first.
    static QList<Record> Shown();
    static void ClearShown();
    // Answers still queued.
    static int PendingAnswers();
    // Test mode off, no answers queued, nothing recorded.
    static void Reset();
};
