// The main operation page and its execute and function selection pages: the
// choices every frame reads, the messages the buttons post, the full-screen
// panel, and what assistive technology sees.

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <string>
#include <vector>

#include "PageRecorder.h"
#include "TempDir.h"
#include "app/AppCore.h"
#include "app/ui/ExecFuncSelectDlg.h"
#include "app/ui/ExecuteDlg.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/ResultLogDlg.h"
#include "display/ui/ImageDlg.h"
#include "protocol/RawDetectResult.h"
#include "widgets/OrgComboBox.h"
#include "widgets/OrgRichEdit.h"

namespace {

// Posted messages travel execute page → main operation page → main window.
void Deliver() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::sendPostedEvents();
    }
}

std::string Flags(const std::uint8_t flags[11]) {
    std::string text;
    for (int i = 0; i < 11; ++i) {
        text += flags[i] ? '1' : '0';
    }
    return text;
}

std::string SnapshotFlags(const CChoicesSnapshot& choices) {
    return Flags(choices.Current().functionFlags);
}

std::string ButtonFlags(const CExecFuncSelectDlg& page) {
    std::uint8_t flags[11];
    page.ButtonFlags(flags);
    return Flags(flags);
}

// A main operation page on an unconnected core, shown, posting to a
// recording main window.
struct ShownPage {
    TempDir dir;
    CAppCore core;
    CMessageRecorder window;
    CMainOpeDlg page{core};
    ShownPage() {
        page.SetMessageTarget(&window);
        page.show();
    }
};

}  // namespace

class PageTests : public QObject {
    Q_OBJECT

private slots:
    // Each row clicks function buttons in order and checks what the next
    // frame requests, what the buttons show and whether the ID selection
    // of Verify is shown.
    void FunctionSelectionReachesTheSnapshot() {
        struct Case {
            const char* name;
            std::vector<int> clicks;
            const char* requested;  // body ... verify as the snapshot holds them
            const char* pressed;    // as the buttons show
            bool idSelectShown;
        } cases[] = {
            {"body and hand", {kFuncBody, kFuncHand}, "11000000000", "11000000000", false},
            {"face and age", {kFuncFace, kFuncAge}, "00101000000", "00101000000", false},
            {"face released keeps the estimations pressed but requests none",
             {kFuncFace, kFuncAge, kFuncGaze, kFuncFace},
             "00000000000",
             "00001010000",
             false},
            {"verify releases recognition",
             {kFuncFace, kFuncRecognition, kFuncVerify},
             "00100000001",
             "00100000001",
             true},
            {"recognition releases verify and hides the ID selection",
             {kFuncFace, kFuncVerify, kFuncRecognition},
             "00100000010",
             "00100000010",
             false},
            {"face released hides the ID selection",
             {kFuncFace, kFuncVerify, kFuncFace},
             "00000000000",
             "00000000001",
             false},
            {"face pressed again shows it again",
             {kFuncFace, kFuncVerify, kFuncFace, kFuncFace},
             "00100000001",
             "00100000001",
             true},
        };
        for (const Case& c : cases) {
            CChoicesSnapshot choices;
            QWidget idSelect;
            CExecuteDlg page(choices);
            page.SetIdSelectDialog(&idSelect);
            page.show();
            QVERIFY(QTest::qWaitForWindowExposed(&page));
            CExecFuncSelectDlg* functions = page.FunctionPage();
            for (int index : c.clicks) {
                QAbstractButton* button = functions->Button(index);
                QVERIFY2(button->isEnabled(), c.name);
                QTest::mouseClick(button, Qt::LeftButton);
            }
            QCOMPARE(SnapshotFlags(choices), std::string(c.requested));
            QCOMPARE(ButtonFlags(*functions), std::string(c.pressed));
            QVERIFY2(idSelect.isVisible() == c.idSelectShown, c.name);
            // The estimation buttons are usable exactly while Face is pressed.
            const bool face = functions->Button(kFuncFace)->isChecked();
            for (int i = kFuncDirection; i <= kFuncVerify; ++i) {
                QVERIFY2(functions->Button(i)->isEnabled() == face, c.name);
            }
        }
    }

    void ImageSizeAndStabilisationReachTheSnapshot() {
        CChoicesSnapshot choices;
        CExecuteDlg page(choices);
        QCOMPARE(choices.Current().imageType, int{kImageQvga});  // first item at creation
        QComboBox* size = page.ImageSizeBox();
        const struct {
            const char* text;
            int code;
        } items[] = {{"320x240", 1}, {"160x120", 2}, {"No image", 0}};
        QCOMPARE(size->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(size->itemText(i), QString::fromLatin1(items[i].text));
            size->setCurrentIndex(i);
            QCOMPARE(choices.Current().imageType, items[i].code);
        }
        page.StabilisationBox()->setChecked(true);
        QVERIFY(choices.Current().stabilisation);
        page.StabilisationBox()->setChecked(false);
        QVERIFY(!choices.Current().stabilisation);
    }

    void StoredSettingsSetTheButtonsAndTheSnapshot() {
        CChoicesSnapshot choices;
        QWidget idSelect;
        CExecuteDlg page(choices);
        page.SetIdSelectDialog(&idSelect);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const std::uint8_t stored[11] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 1};
        page.SetFromSettings(stored, kImageSmall, true);
        QCOMPARE(SnapshotFlags(choices), std::string("10110000001"));
        QCOMPARE(choices.Current().imageType, int{kImageSmall});
        QVERIFY(choices.Current().stabilisation);
        QCOMPARE(page.ImageSizeBox()->currentText(), QStringLiteral("160x120"));
        QVERIFY(idSelect.isVisible());  // Face and Verify stored
        // The ID selection follows the page: hidden with it, back with it.
        page.hide();
        QVERIFY(!idSelect.isVisible());
        page.show();
        QVERIFY(idSelect.isVisible());

        // Stored without Face: the estimations are disabled and not requested.
        const std::uint8_t noFace[11] = {0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0};
        page.SetFromSettings(noFace, kImageNone, false);
        QCOMPARE(SnapshotFlags(choices), std::string("00000000000"));
        QVERIFY(!page.FunctionPage()->Button(kFuncAge)->isEnabled());
        QVERIFY(page.FunctionPage()->Button(kFuncAge)->isChecked());
    }

    // The buttons post to the main window through the main operation page;
    // the page keeps the full-screen message for itself.
    void ButtonsPostTheirMessages() {
        ShownPage shown;
        QVERIFY(QTest::qWaitForWindowExposed(&shown.page));
        CMainOpeDlg& page = shown.page;
        CMessageRecorder& window = shown.window;
        CExecuteDlg& execute = page.ExecutePage();

        QTest::mouseClick(execute.ExecuteContinuousButton(), Qt::LeftButton);
        QVERIFY(execute.ExecuteContinuousButton()->isChecked());
        QTest::mouseClick(execute.ExecuteContinuousButton(), Qt::LeftButton);
        QTest::mouseClick(execute.ExecuteContinuousButton(), Qt::LeftButton);
        // Execute once shows the continuous button released (the main window
        // stops the run) without asking for a stop itself.
        QTest::mouseClick(execute.ExecuteOnceButton(), Qt::LeftButton);
        QVERIFY(!execute.ExecuteContinuousButton()->isChecked());
        QTest::mouseClick(execute.SettingsButton(), Qt::LeftButton);
        Deliver();
        const std::vector<WindowMessage> expected = {UWM_EXEC_START, UWM_EXEC_STOP, UWM_EXEC_START,
                                                     UWM_EXEC_ONCE, UWM_SETTINGS};
        QCOMPARE(window.Messages(), expected);
        for (std::size_t i = 0; i < 4; ++i) {
            QCOMPARE(window.seen[i].sender, static_cast<QObject*>(&execute));
        }
        QCOMPARE(window.seen[4].sender, static_cast<QObject*>(&page));  // replaced by the page

        // Showing states asks nothing.
        window.seen.clear();
        page.SetRunMode(1);
        QVERIFY(execute.ExecuteContinuousButton()->isChecked());
        page.ReleaseExecuteButtons();
        QVERIFY(!execute.ExecuteContinuousButton()->isChecked());
        page.SetRunMode(-1);
        Deliver();
        QVERIFY(window.seen.empty());

        // Accelerators press the buttons: picture = once, video = continuous.
        page.RunAccelerator(ID_ACCEL_PICTURE);
        page.RunAccelerator(ID_ACCEL_VIDEO);
        Deliver();
        QCOMPARE(window.Messages(), (std::vector<WindowMessage>{UWM_EXEC_ONCE, UWM_EXEC_START}));

        // Without a module there is nothing to execute.
        page.SetConnected(false);
        QVERIFY(!execute.ExecuteOnceButton()->isEnabled());
        QVERIFY(!execute.ExecuteContinuousButton()->isEnabled());
        QVERIFY(execute.SettingsButton()->isEnabled());
    }

    void FullScreenTakesThePanelOutAndAKeyBringsItBack() {
        ShownPage shown;
        QVERIFY(QTest::qWaitForWindowExposed(&shown.page));
        CMainOpeDlg& page = shown.page;
        CMessageRecorder& window = shown.window;
        const QSize before = page.size();
        QTest::mouseClick(page.ExecutePage().FullScreenButton(), Qt::LeftButton);
        Deliver();
        QVERIFY(page.PanelFullScreen());
        QVERIFY(page.ImagePanel().isWindow());
        QCOMPARE(page.size(), before);  // the page keeps the panel's room
        QVERIFY(window.seen.empty());   // handled by the page
        QTest::keyClick(&page.ImagePanel(), Qt::Key_Space);
        QVERIFY(!page.PanelFullScreen());
        QVERIFY(!page.ImagePanel().isWindow());
        QVERIFY(page.ImagePanel().isVisible());
        page.RunAccelerator(ID_ACCEL_FULL_SCREEN);
        Deliver();
        QVERIFY(page.PanelFullScreen());
        // Closing the full-screen window gives the panel back, too.
        page.ImagePanel().close();
        QVERIFY(!page.PanelFullScreen());
    }

    // Every control a user can operate has a name; number boxes and
    // drop-down lists have their label as buddy.
    void EveryOperableControlHasAnAccessibleName() {
        ShownPage shown;
        QVERIFY(QTest::qWaitForWindowExposed(&shown.page));
        CMainOpeDlg& page = shown.page;
        const QList<QWidget*> widgets = page.findChildren<QWidget*>();
        const QList<QLabel*> labels = page.findChildren<QLabel*>();
        int checked = 0;
        for (QWidget* w : widgets) {
            const bool operable =
                qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) ||
                qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QPlainTextEdit*>(w);
            if (!operable || !w->isVisibleTo(&page)) {
                continue;
            }
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
            QVERIFY(face != nullptr);
            QVERIFY2(!face->text(QAccessible::Name).isEmpty(), qPrintable(w->objectName()));
            if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w)) {
                bool hasBuddy = false;
                for (QLabel* label : labels) {
                    hasBuddy = hasBuddy || label->buddy() == w;
                }
                QVERIFY2(hasBuddy, qPrintable(w->objectName()));
            }
            ++checked;
        }
        QVERIFY(checked >= 16);  // 11 functions, stabilisation, size, 4 buttons, log
        QCOMPARE(QAccessible::queryAccessibleInterface(page.ExecutePage().ExecuteOnceButton())
                     ->text(QAccessible::Name),
                 QStringLiteral("Execute once"));
        QCOMPARE(QAccessible::queryAccessibleInterface(page.ResultLog().TextControl())
                     ->text(QAccessible::Name),
                 QStringLiteral("Result log"));
    }
};

int RunPageTests(int argc, char** argv) {
    PageTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "PageTests.moc"
