// The settings dialog's pages on their own: what they read from and write
// to the settings files, their resets, the spin buttons and the names the
// accessibility tools see.

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "TempDir.h"
#include "settings/Settings.h"
#include "settings/ui/CameraSettingDlg.h"
#include "settings/ui/ExecSettingDlg.h"
#include "settings/ui/MaintenanceDlg.h"
#include "settings/ui/QuellSettingDlg.h"
#include "settings/ui/SettingDlg.h"
#include "settings/ui/SpinButton.h"
#include "widgets/OrgComboBox.h"
#include "widgets/RangeEdit.h"
#include "widgets/StateBmpButton.h"

namespace {

std::string ReadAll(const char* path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const char* path, const std::string& text) {
    std::ofstream(path) << text;
}

DeviceSettings SomeSettings() {
    DeviceSettings s;
    const int thresholds[5] = {500, 510, 520, 0, 1000};
    std::copy(thresholds, thresholds + 5, s.thresholds);
    s.ranges[0] = {40, 8192};
    s.ranges[1] = {50, 900};
    s.ranges[2] = {64, 800};
    s.yawCode = 2;
    s.rollCode = 1;
    return s;
}

void LoseFocus(QWidget* w) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &out);
}

}  // namespace

class SettingsPageTests : public QObject {
    Q_OBJECT

private slots:
    // A missing file shows the defaults, and confirming writes all fourteen
    // keys (never the two steadiness keys, which the page does not edit).
    void StabilizationSaveWritesEveryKeyWithDefaults() {
        TempDir dir;
        CQuellSettingDlg page;
        page.SaveValues();
        const std::string ini = ReadAll("Application.ini");
        for (const char* key :
             {"QuellPeThreshold=300", "QuellPeAngleUDMin=-15", "QuellPeAngleUDMax=20",
              "QuellPeAngleLRMin=-20", "QuellPeAngleLRMax=20", "QuellPeFrame=10",
              "QuellFrThreshold=300", "QuellFrAngleUDMin=-15", "QuellFrAngleUDMax=20",
              "QuellFrAngleLRMin=-20", "QuellFrAngleLRMax=20", "QuellFrFrame=5", "QuellFrRatio=60",
              "QuellRetryCount=2"}) {
            QVERIFY2(ini.find(key) != std::string::npos, key);
        }
        QVERIFY(ini.find("Steadiness") == std::string::npos);
    }

    // Stored numbers are shown as they are; what is saved is clamped to each
    // box's range, and the keys the page does not edit keep their values.
    void StabilizationShowsStoredAndSavesClamped() {
        TempDir dir;
        WriteAll("Application.ini",
                 "[Application]\nQuellPeFrame=50\nQuellFrAngleUDMin=-7\n"
                 "QuellRetryCount=301\nQuellPosSteadiness=11\n");
        CQuellSettingDlg page;
        QCOMPARE(page.Values().frAngleUDMin, -7);
        page.SaveValues();
        const QuellSettings stored = ReadQuellSettings();
        QCOMPARE(stored.peFrame, 20);
        QCOMPARE(stored.frAngleUDMin, -7);
        QCOMPARE(stored.retryCount, 300);
        QCOMPARE(stored.posSteadiness, 11);
    }

    // Reset puts the fixed numbers into the boxes but writes nothing: a
    // dialog cancelled afterwards leaves the file as it was.
    void StabilizationResetDoesNotSave() {
        TempDir dir;
        const std::string before = "[Application]\nQuellPeFrame=3\nQuellFrRatio=99\n";
        WriteAll("Application.ini", before);
        CQuellSettingDlg page;
        QCOMPARE(page.Values().peFrame, 3);
        QTest::mouseClick(page.ResetButton(), Qt::LeftButton);
        QCOMPARE(page.Values().peFrame, 10);
        QCOMPARE(page.Values().frRatio, 60);
        QCOMPARE(page.Values().frAngleLRMin, -20);
        QCOMPARE(ReadAll("Application.ini"), before);
    }

    // The spin moves the value one step and stops at the range's ends; the
    // arrow keys in the box do the same.
    void SpinStepsInsideTheRange() {
        TempDir dir;
        CQuellSettingDlg page;
        CRangeEdit* box = page.peFrame();  // 1 to 20, shows 10
        auto* spin = page.findChild<CSpinButton*>();
        QVERIFY(spin != nullptr);
        QCOMPARE(spin->Buddy(), box);
        spin->Step(1);
        QCOMPARE(box->text(), QString("11"));
        box->SetInt(20);
        spin->Step(1);
        QCOMPARE(box->text(), QString("20"));
        box->SetInt(1);
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->text(), QString("1"));
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(box->text(), QString("2"));
    }

    // Every number box has a distinct accessible name, and every labelled
    // box is its label's buddy.
    void StabilizationBoxesHaveNames() {
        TempDir dir;
        CQuellSettingDlg page;
        QStringList names;
        for (CRangeEdit* box : page.findChildren<CRangeEdit*>()) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box);
            QVERIFY(iface != nullptr);
            const QString name = iface->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty(), qPrintable(box->text()));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names << name;
        }
        QCOMPARE(names.size(), 14);
        int buddies = 0;
        for (QLabel* label : page.findChildren<QLabel*>()) {
            buddies += label->buddy() != nullptr ? 1 : 0;
        }
        QCOMPARE(buddies, 10);  // the maximum boxes share their row's label
        QCOMPARE(QAccessible::queryAccessibleInterface(page.ResetButton())->text(QAccessible::Name),
                 QString("Reset values"));
    }

    // The settings mode's tabs, in order, named by their captions; Cancel
    // after changes on two pages saves nothing and keeps the values.
    void SettingsModeCancelSavesNothing() {
        TempDir dir;
        const std::string before = "[Application]\nQuellPeFrame=3\n";
        WriteAll("Application.ini", before);
        CSettingDlg dialog;
        dialog.outputLogFlag = 0;
        dialog.device.autoConnect = 1;
        QStringList captions;
        QTimer::singleShot(0, &dialog, [&] {
            QTabBar* bar = dialog.Tabs()->tabBar();
            for (int i = 0; i < bar->count(); ++i) {
                captions << bar->tabText(i);
            }
            dialog.Tabs()->setCurrentWidget(dialog.StabilizationPage());
            dialog.StabilizationPage()->peFrame()->SetInt(15);
            QTest::mouseClick(dialog.StabilizationPage()->ResetButton(), Qt::LeftButton);
            dialog.LogOutputBox()->setChecked(true);
            dialog.DevicePage()->AutoConnectBox()->setChecked(false);
            QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        });
        QCOMPARE(dialog.RunDialog({}, CSettingDlg::kSettingsMode), int(CSettingDlg::kCancelled));
        QCOMPARE(captions,
                 (QStringList{"General", "Device", "Execution", "Stabilization", "Maintenance"}));
        QCOMPARE(ReadAll("Application.ini"), before);
        QCOMPARE(dialog.outputLogFlag, 0);
        QCOMPARE(dialog.device.autoConnect, 1);
        QCOMPARE(dialog.windowTitle(), QString("Settings"));
        QCOMPARE(dialog.ConfirmButton()->text(), QString("OK"));
    }

    // Assistive technology sees a name on every control of every tab that
    // a user can reach.
    void SettingsModeNamesEveryOperableControl() {
        TempDir dir;
        CSettingDlg dialog;
        QStringList unnamed;
        QTimer::singleShot(0, &dialog, [&] {
            for (QWidget* w : dialog.findChildren<QWidget*>()) {
                // Static text (a label is read by its text) and the drop-down
                // lists' pop-ups (their items carry the names) are no controls.
                if (w->focusPolicy() == Qt::NoFocus || qobject_cast<QTabWidget*>(w) != nullptr ||
                    qobject_cast<QLabel*>(w) != nullptr || w->window() != &dialog) {
                    continue;
                }
                QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
                if (iface == nullptr || iface->text(QAccessible::Name).trimmed().isEmpty()) {
                    unnamed << QString::fromLatin1(w->metaObject()->className()) + " " +
                                   w->objectName();
                }
            }
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        dialog.RunDialog({}, CSettingDlg::kSettingsMode);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
    }

    // OK writes the fourteen stabilisation keys even when their tab was
    // never opened, and hands back the general and device values. A second
    // run of the same dialog starts from the members again, not from the
    // widgets of the first run.
    void SettingsModeOkWritesEveryPage() {
        TempDir dir;
        WriteAll("Application.ini", "[Application]\nQuellFrRatio=70\n");
        CSettingDlg dialog;
        QTimer::singleShot(0, &dialog, [&] {
            dialog.LogOutputBox()->setChecked(true);
            QTest::mouseClick(dialog.ConfirmButton(), Qt::LeftButton);
        });
        QCOMPARE(dialog.RunDialog({}, CSettingDlg::kSettingsMode), int(CSettingDlg::kConfirmed));
        QCOMPARE(dialog.outputLogFlag, 1);
        const std::string ini = ReadAll("Application.ini");
        for (const char* key :
             {"QuellPeThreshold=300", "QuellPeAngleUDMin=-15", "QuellPeAngleUDMax=20",
              "QuellPeAngleLRMin=-20", "QuellPeAngleLRMax=20", "QuellPeFrame=10",
              "QuellFrThreshold=300", "QuellFrAngleUDMin=-15", "QuellFrAngleUDMax=20",
              "QuellFrAngleLRMin=-20", "QuellFrAngleLRMax=20", "QuellFrFrame=5", "QuellFrRatio=70",
              "QuellRetryCount=2"}) {
            QVERIFY2(ini.find(key) != std::string::npos, key);
        }
        dialog.outputLogFlag = 0;
        bool shownUnchecked = false;
        QTimer::singleShot(0, &dialog, [&] {
            shownUnchecked = !dialog.LogOutputBox()->isChecked();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        QCOMPARE(dialog.RunDialog({}, CSettingDlg::kSettingsMode), int(CSettingDlg::kCancelled));
        QVERIFY(shownUnchecked);
    }

    // The Execution page's boxes correct what is typed: above the maximum at
    // once, an emptied box at once, below the minimum only when the focus
    // leaves (the user may still be typing) -- but a value read before that
    // is already clamped.
    void ExecutionBoxesCorrectTyping() {
        CExecSettingDlg page;
        page.SetValues(SomeSettings());
        struct Case {
            const char* name;
            CRangeEdit* box;
            const char* typed;
            const char* whileTyping;
            int read;
            const char* afterFocusOut;
        };
        const Case cases[] = {
            {"threshold above the maximum", page.ThresholdBox(0), "1500", "1000", 1000, "1000"},
            {"threshold emptied", page.ThresholdBox(1), "", "1", 1, "1"},
            {"size below the minimum", page.SizeMinBox(0), "5", "5", 20, "20"},
            {"recognition threshold may be 0", page.ThresholdBox(3), "0", "0", 0, "0"},
        };
        for (const Case& c : cases) {
            // Typed over the selected old value, as a user does.
            c.box->selectAll();
            if (*c.typed == '\0') {
                QTest::keyClick(c.box, Qt::Key_Backspace);
            } else {
                QTest::keyClicks(c.box, c.typed);
            }
            QVERIFY2(c.box->text() == c.whileTyping, c.name);
            const DeviceSettings read = page.GetValues();
            const int value = c.box == page.SizeMinBox(0)     ? read.ranges[0].min
                              : c.box == page.ThresholdBox(0) ? read.thresholds[0]
                              : c.box == page.ThresholdBox(1) ? read.thresholds[1]
                                                              : read.thresholds[3];
            QVERIFY2(value == c.read, c.name);
            LoseFocus(c.box);
            QVERIFY2(c.box->text() == c.afterFocusOut, c.name);
        }
        // A size minimum above its maximum passes as it is.
        page.SizeMinBox(1)->SetInt(1000);
        page.SizeMaxBox(1)->SetInt(30);
        QCOMPARE(page.GetValues().ranges[1], CRange(1000, 30));
        QCOMPARE(page.GetValues().yawCode, 2);
        QCOMPARE(page.GetValues().rollCode, 1);
    }

    // With one resolution there is nothing to choose: the row goes and the
    // check box moves up under "Camera angle". A stored value that no item
    // has comes back unchanged rather than as the first item.
    void DevicePageHidesASingleResolution() {
        CCameraSettingDlg page;
        page.show();
        const std::vector<ResolutionItem> two = {{640, 480, 1}, {320, 240, 2}};
        page.SetDeviceValues(two, DeviceValues{1, 2, 1});
        page.layout()->activate();
        QVERIFY(page.ResolutionList()->isVisible());
        QCOMPARE(page.ResolutionList()->currentText(), QString("320x240"));
        const int checkWithTwo = page.AutoConnectBox()->y();

        page.SetDeviceValues({{640, 480, 1}}, DeviceValues{3, 1, 0});
        page.layout()->activate();
        QVERIFY(!page.ResolutionList()->isVisible());
        QVERIFY(!page.ResolutionLabel()->isVisible());
        QVERIFY(page.AutoConnectBox()->y() < checkWithTwo);
        QVERIFY(page.AutoConnectBox()->y() > page.AngleList()->y());
        const DeviceValues read = page.GetDeviceValues();
        QCOMPARE(read.cameraAngle, 3);
        QCOMPARE(read.cameraResolution, 1);
        QCOMPARE(read.autoConnect, 0);

        page.SetDeviceValues(two, DeviceValues{7, 0, 1});
        QCOMPARE(page.GetDeviceValues().cameraAngle, 7);
        QCOMPARE(page.GetDeviceValues().cameraResolution, 0);
    }

    // "Reset values" on the Execution page asks the owner; its answer is
    // shown at once. Defaults that could not be read (all -1) fill every box
    // with -1 and leave the angle lists as they were. OK hands back the
    // page's values, Cancel the ones the owner set.
    void ExecutionResetGoesThroughTheOwner() {
        TempDir dir;
        CSettingDlg dialog;
        dialog.SetExecutionValues(SomeSettings());
        int resets = 0;
        connect(&dialog, &CSettingDlg::settingsResetRequested, &dialog, [&] {
            ++resets;
            dialog.SetExecutionValues(DeviceSettings{});
        });
        QStringList texts;
        QString yaw;
        QTimer::singleShot(0, &dialog, [&] {
            dialog.Tabs()->setCurrentWidget(dialog.ExecutionPage());
            QTest::mouseClick(dialog.ExecutionPage()->ResetButton(), Qt::LeftButton);
            for (int i = 0; i < 5; ++i) {
                texts << dialog.ExecutionPage()->ThresholdBox(i)->text();
            }
            for (int i = 0; i < 3; ++i) {
                texts << dialog.ExecutionPage()->SizeMinBox(i)->text()
                      << dialog.ExecutionPage()->SizeMaxBox(i)->text();
            }
            yaw = dialog.ExecutionPage()->YawList()->currentText();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        QCOMPARE(dialog.RunDialog({}, CSettingDlg::kSettingsMode), int(CSettingDlg::kCancelled));
        QCOMPARE(resets, 1);
        QCOMPARE(texts, QStringList(11, "-1"));
        QCOMPARE(yaw, QString::fromUtf8("±90°"));
        // The reset replaced the dialog's execution values; the owner sets
        // them again before every run.
        dialog.SetExecutionValues(SomeSettings());
        QTimer::singleShot(0, &dialog, [&] {
            dialog.ExecutionPage()->ThresholdBox(2)->SetInt(333);
            dialog.ExecutionPage()->RollList()->SelectByData(0);
            QTest::mouseClick(dialog.ConfirmButton(), Qt::LeftButton);
        });
        QCOMPARE(dialog.RunDialog({}, CSettingDlg::kSettingsMode), int(CSettingDlg::kConfirmed));
        QCOMPARE(dialog.GetExecutionValues().thresholds[2], 333);
        QCOMPARE(dialog.GetExecutionValues().thresholds[0], 500);
        QCOMPARE(dialog.GetExecutionValues().rollCode, 0);
    }

    // The album type buttons: ShowAlbumType checks exactly one, an unknown
    // type none, and "Set Album Type" sends the checked type, 0 when none is.
    // Selecting the Maintenance tab shows the type the dialog keeps.
    void MaintenanceAlbumTypeButtons() {
        TempDir dir;
        CSettingDlg dialog;
        dialog.albumType = 1;
        QSignalSpy sets(&dialog, &CSettingDlg::setAlbumTypeRequested);
        QSignalSpy gets(&dialog, &CSettingDlg::getAlbumTypeRequested);
        QList<bool> shownOnTab;
        QList<QList<bool>> checked;
        QTimer::singleShot(0, &dialog, [&] {
            CMaintenanceDlg* page = dialog.MaintenancePage();
            const auto state = [page] {
                return QList<bool>{page->AlbumTypeButton(0)->isChecked(),
                                   page->AlbumTypeButton(1)->isChecked(),
                                   page->AlbumTypeButton(2)->isChecked()};
            };
            dialog.Tabs()->setCurrentWidget(page);
            shownOnTab = state();
            for (int type : {0, 2, 7}) {
                page->ShowAlbumType(type);
                checked << state();
                page->SetAlbumTypeButton()->click();
            }
            page->AlbumTypeButton(1)->click();
            page->SetAlbumTypeButton()->click();
            page->GetAlbumTypeButton()->click();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
        dialog.RunDialog({}, CSettingDlg::kSettingsMode);
        QCOMPARE(shownOnTab, (QList<bool>{false, true, false}));
        QCOMPARE(checked, (QList<QList<bool>>{
                              {true, false, false}, {false, false, true}, {false, false, false}}));
        QCOMPARE(sets.count(), 4);
        QList<int> types;
        for (const QList<QVariant>& args : sets) {
            types << args.at(0).toInt();
        }
        QCOMPARE(types, (QList<int>{0, 2, 0, 1}));
        QCOMPARE(gets.count(), 1);
    }
};

QTEST_MAIN(SettingsPageTests)
#include "SettingsPageTests.moc"
