// The wait and notice dialogs: the notify hand-shake, the text lines, the
// window staying alive during a modal run, and the keys that must not end it.
#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "WidgetTest.h"
#include "widgets/BusyIndicator.h"
#include "widgets/NotesDlg.h"
#include "widgets/ProgressDlg.h"
#include "widgets/StateBmpButton.h"
#include "widgets/WaitDlg.h"

namespace {
constexpr int kStopLoop = 0x2410;
constexpr int kSettings = 0x3450;

struct Notify {
    int message;
    qintptr parameter;
};

// Records what the dialog sends and lets a test react to it as an owner.
struct NotifyRecorder {
    explicit NotifyRecorder(CWaitDlg& dialog) {
        QObject::connect(&dialog, &CWaitDlg::notified, [this](int message, qintptr parameter) {
            sent.push_back({message, parameter});
            if (onNotify) {
                onNotify();
            }
        });
    }
    int Count(int message) const {
        return static_cast<int>(std::count_if(
            sent.begin(), sent.end(), [message](const Notify& n) { return n.message == message; }));
    }
    std::vector<Notify> sent;
    std::function<void()> onNotify;
};

QString AccessibleName(QObject* object) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QString();
}
}  // namespace

class WaitDlgTest : public QObject {
    Q_OBJECT
private slots:
    void init() { owner_ = std::make_unique<QWidget>(); }
    void cleanup() { owner_.reset(); }

    // Each run sends its notify message once, while on screen, with the
    // configured parameter; a later run without new values sends nothing
    // and lasts until it is closed.
    void handshakePostsOncePerConfiguration() {
        CWaitDlg dialog(owner_.get());
        NotifyRecorder owner(dialog);
        bool visibleAtNotify = false;
        owner.onNotify = [&] {
            visibleAtNotify = dialog.isVisible();
            dialog.CloseRequest();
        };
        dialog.SetNotify(kStopLoop, 1234);
        QCOMPARE(dialog.Run(), 0);
        QCOMPARE(owner.sent.size(), size_t{1});
        QCOMPARE(owner.sent[0].message, kStopLoop);
        QCOMPARE(owner.sent[0].parameter, qintptr{1234});
        QVERIFY(visibleAtNotify);
        QCOMPARE(dialog.NotifyMessage(), 0);

        // Shown again with nothing set: no message; only a close ends it.
        bool stillOpen = false;
        AfterEvents(4, [&] {
            stillOpen = dialog.isVisible();
            dialog.CloseRequest();
        });
        QCOMPARE(dialog.Run(), 0);
        QVERIFY(stillOpen);
        QCOMPARE(owner.sent.size(), size_t{1});

        // Configured again: sends again.
        dialog.SetNotify(kSettings, 0);
        QCOMPARE(dialog.Run(), 0);
        QCOMPARE(owner.Count(kSettings), 1);
    }

    // The owner does the work on another thread, whose end posts the close:
    // the run ends, and the window thread went on painting meanwhile.
    void workerClosesWhileWindowKeepsRunning() {
        CWaitDlg dialog(owner_.get());
        NotifyRecorder owner(dialog);
        std::thread worker;
        std::promise<void> release;
        int stepsAtStart = -1;
        owner.onNotify = [&] {
            stepsAtStart = dialog.BusyIndicator()->Step();
            QObject* target = &dialog;
            worker = std::thread([done = release.get_future(), target] {
                done.wait();
                COrgDialog::PostCloseRequest(target);
            });
            // Lets the worker finish only after the indicator has moved on,
            // which needs the window thread's timers and paints to run.
            AfterEvents(1, [&] {
                (void)QTest::qWaitFor(
                    [&] { return dialog.BusyIndicator()->Step() >= stepsAtStart + 3; }, 5000);
                release.set_value();
            });
        };
        dialog.SetNotify(kStopLoop, 0);
        QCOMPARE(dialog.Run(), 0);
        worker.join();
        QVERIFY(dialog.BusyIndicator()->Step() >= stepsAtStart + 3);
    }

    // Escape, Enter, F1 and the window manager's close leave the dialog up.
    void userCannotEndIt() {
        CWaitDlg dialog(owner_.get());
        bool stillOpen = false;
        AfterEvents(2, [&] {
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_F1}) {
                QTest::keyClick(&dialog, key);
            }
            dialog.close();
            stillOpen = dialog.isVisible();
            dialog.CloseRequest();
        });
        QCOMPARE(dialog.Run(), 0);
        QVERIFY(stillOpen);
    }

    // A close request that arrives while no run is active (a late one) is
    // dropped; it must not end the next run at once.
    void lateCloseRequestDoesNotEndNextRun() {
        CWaitDlg dialog(owner_.get());
        dialog.CloseRequest();
        QCoreApplication::processEvents();
        bool stillOpen = false;
        AfterEvents(3, [&] {
            stillOpen = dialog.isVisible();
            dialog.CloseRequest();
        });
        dialog.Run();
        QVERIFY(stillOpen);
    }

    void textLines_data() {
        QTest::addColumn<int>("textId");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("5200") << int(CWaitDlg::kPleaseWait) << QStringList{"Please wait."};
        QTest::newRow("5201") << int(CWaitDlg::kRunning)
                              << QStringList{"Running...", "Please wait."};
        QTest::newRow("5202") << int(CWaitDlg::kTerminating)
                              << QStringList{"Terminating...", "Do not turn off the Kyto."};
    }
    // The text's lines in order, one per text control, the rest hidden.
    void textLines() {
        QFETCH(int, textId);
        QFETCH(QStringList, lines);
        CWaitDlg dialog(owner_.get());
        dialog.SetTextId(textId);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.LineCount(), lines.size());
        for (int i = 0; i < CWaitDlg::kLineCount; ++i) {
            QLabel* line = dialog.Line(i);
            if (i < lines.size()) {
                QCOMPARE(line->text(), lines[i]);
                QVERIFY(line->isVisible());
                QVERIFY(line->font().bold());
                QVERIFY(line->width() >= 208);
                if (i > 0) {
                    QVERIFY(line->y() > dialog.Line(i - 1)->y());
                }
            } else {
                QVERIFY(line->isHidden());
            }
        }
        QVERIFY(dialog.height() >= 64);
        dialog.hide();
    }

    // More lines than text controls lose nothing; markup stays text.
    void longAndMarkupTexts() {
        CWaitDlg dialog(owner_.get());
        dialog.SetText("1\n2\n3\n4\n5\n<b>6</b>");
        QCOMPARE(dialog.LineCount(), CWaitDlg::kLineCount);
        QCOMPARE(dialog.Line(4)->text(), QString("5\n<b>6</b>"));
        QCOMPARE(dialog.Line(4)->textFormat(), Qt::PlainText);
    }

private:
    std::unique_ptr<QWidget> owner_;
};
KYTO_WIDGET_TEST(WaitDlgTest);

class NotesDlgTest : public QObject {
    Q_OBJECT
private slots:
    void result_data() {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("result");
        QTest::newRow("unticked") << false << int(CNotesDlg::kNotAcknowledged);
        QTest::newRow("ticked") << true << int(CNotesDlg::kAcknowledged);
    }
    // Clicking OK ends the run with the check box's answer; Escape and
    // Enter before that do nothing.
    void result() {
        QFETCH(bool, ticked);
        QFETCH(int, result);
        CNotesDlg dialog;
        dialog.SetText("Notice");
        bool stillOpen = false;
        AfterEvents(2, [&] {
            QTest::keyClick(&dialog, Qt::Key_Escape);
            QTest::keyClick(&dialog, Qt::Key_Return);
            stillOpen = dialog.isVisible();
            if (ticked) {
                QTest::mouseClick(dialog.AcknowledgeBox(), Qt::LeftButton);
            }
            QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        });
        QCOMPARE(dialog.Run(), result);
        QVERIFY(stillOpen);
    }

    void accessibleNames() {
        CNotesDlg dialog;
        QCOMPARE(AccessibleName(dialog.AcknowledgeBox()), QString("上記の内容を承知する。"));
        QCOMPARE(AccessibleName(dialog.OkButton()), QString("OK"));
    }
};
KYTO_WIDGET_TEST(NotesDlgTest);

// Every dialog and every control in it that takes the focus has a name for
// assistive technology.
class DialogAccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void everyOperableControlIsNamed() {
        std::vector<std::unique_ptr<QDialog>> dialogs;
        dialogs.push_back(std::make_unique<CWaitDlg>());
        dialogs.push_back(std::make_unique<CNotesDlg>());
        dialogs.push_back(std::make_unique<CProgressDlg>());
        for (auto& dialog : dialogs) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            const QString dialogName = AccessibleName(dialog.get());
            QVERIFY2(!dialogName.isEmpty(), dialog->metaObject()->className());
            for (QWidget* child : dialog->findChildren<QWidget*>()) {
                if (child->isVisible() && child->focusPolicy() != Qt::NoFocus) {
                    QVERIFY2(!AccessibleName(child).isEmpty(),
                             qPrintable(dialogName + ": " + child->metaObject()->className()));
                }
            }
            dialog->hide();
        }
    }
};
KYTO_WIDGET_TEST(DialogAccessibilityTest);

#include "DialogTest.moc"
