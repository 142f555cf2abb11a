// The name dialog: what it shows for each ID and mode, what it hands to its
// owner, that a refused input never comes back as accepted, and the check
// of the input against the album.

#include <QAccessible>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <limits>
#include <memory>

#include "TempDir.h"
#include "album/AlbumMngr.h"
#include "album/ui/NameInputDlg.h"
#include "widgets/MessageBox.h"
#include "widgets/StateBmpButton.h"

namespace {

QString AccessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

}  // namespace

class NameInputTests : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<CAlbumMngr> album_;

    QLineEdit* IdEdit(CNameInputDlg& d) { return d.findChild<QLineEdit*>("idEdit"); }
    QLineEdit* NameEdit(CNameInputDlg& d) { return d.findChild<QLineEdit*>("nameEdit"); }
    CStateBmpButton* Button(CNameInputDlg& d, const char* name) {
        return d.findChild<CStateBmpButton*>(name);
    }

private slots:
    void init() {
        MessageBox::Reset();
        MessageBox::SetTestMode(true);
        dir_ = std::make_unique<TempDir>();
        album_ = std::make_unique<CAlbumMngr>();
        album_->OpenFolder("./KYTO-EMU/1");  // a fresh store: nothing to load
        QCOMPARE(album_->AddNewUser("Alice", 0), 0);
        QCOMPARE(album_->AddNewUser("Bob", 5), 5);
    }
    void cleanup() {
        album_.reset();
        dir_.reset();
        MessageBox::Reset();
    }

    void opening_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("addMode");
        QTest::addColumn<QString>("idText");
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("add 7") << 7 << true << " 7" << false;
        QTest::newRow("add 99") << 99 << true << "99" << false;
        QTest::newRow("add 150 stays empty") << 150 << true << "" << true;
        QTest::newRow("add -1") << -1 << true << "" << true;
        QTest::newRow("rename 5") << 5 << false << " 5" << true;
    }
    void opening() {
        QFETCH(int, id);
        QFETCH(bool, addMode);
        QFETCH(QString, idText);
        QFETCH(bool, readOnly);
        CNameInputDlg dialog;
        dialog.SetInput("USER_0001", id, addMode);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(IdEdit(dialog)->text(), idText);
        QCOMPARE(IdEdit(dialog)->isReadOnly(), readOnly);
        QCOMPARE(NameEdit(dialog)->text(), QString("USER_0001"));
        QTRY_VERIFY(NameEdit(dialog)->hasFocus());
        QCOMPARE(dialog.Result(), CNameInputDlg::kResultCancel);
    }

    // The owner's check of the input; the album holds Alice (0) and Bob (5).
    void check_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("editedId");
        QTest::addColumn<bool>("adding");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("code");
        QTest::newRow("rename to own name") << "Bob" << 5 << false << 5 << 0;
        QTest::newRow("rename to another's name") << "Alice" << 5 << false << 5 << 2110;
        QTest::newRow("name differing in case") << "alice" << 5 << false << 5 << 0;
        QTest::newRow("empty name") << "" << 5 << false << 5 << 0;
        QTest::newRow("add with a free ID") << "Carol" << -1 << true << 7 << 0;
        QTest::newRow("add with a taken name") << "Bob" << -1 << true << 7 << 2110;
        QTest::newRow("add with a used ID") << "Carol" << -1 << true << 5 << 2111;
        QTest::newRow("add with ID 999") << "Carol" << -1 << true << 999 << 0;
        QTest::newRow("add with ID 1000") << "Carol" << -1 << true << 1000 << 2111;
        QTest::newRow("add with a negative ID") << "Carol" << -1 << true << -3 << 2111;
        QTest::newRow("line break") << "Ca\nrol" << -1 << true << 7 << kNameUnstorable;
        // Names are judged as stored: the first 128 units of a long name.
        QTest::newRow("long name cut onto another's")
            << QString(128, 'x') + "tail" << -1 << true << 8 << 2110;
    }
    void check() {
        QFETCH(QString, name);
        QFETCH(int, editedId);
        QFETCH(bool, adding);
        QFETCH(int, id);
        QFETCH(int, code);
        QCOMPARE(album_->AddNewUser(std::string(128, 'x'), 9), 9);
        QCOMPARE(CheckNameInput(*album_, name.toStdString(), editedId, adding, id), code);
        if (code != 0) {
            QVERIFY(!NameCheckText(code).isEmpty());
        }
    }

    // Adding with a proposed ID of 150: the ID field is empty, reads as 0,
    // and 0 is Alice's, so the owner refuses it and the dialog stays open.
    void refusedInputIsNotAccepted() {
        CNameInputDlg dialog;
        connect(&dialog, &CNameInputDlg::NameCheckRequested, &dialog,
                [&] { ApplyNameCheck(dialog, *album_, -1); });
        dialog.SetInput("Carol", 150, true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(Button(dialog, "okButton"), Qt::LeftButton);
        QCOMPARE(dialog.Id(), 0);
        QCOMPARE(MessageBox::Shown().size(), 1);
        QCOMPARE(MessageBox::Shown().at(0).text,
                 QString("Input id already registered.\nPlease input a new name."));
        QCOMPARE(MessageBox::Shown().at(0).icon, QMessageBox::Warning);
        QCoreApplication::processEvents();
        QVERIFY(dialog.isVisible());
        // Closing the window now must not report the refused input as OK.
        dialog.close();
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.Result(), CNameInputDlg::kResultCancel);
    }

    void acceptedInputEndsTheDialog() {
        CNameInputDlg dialog;
        connect(&dialog, &CNameInputDlg::NameCheckRequested, &dialog,
                [&] { ApplyNameCheck(dialog, *album_, -1); });
        dialog.SetInput("USER_0007", 7, true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        NameEdit(dialog)->setText("Carol");
        IdEdit(dialog)->setText("12");
        QTest::keyClick(NameEdit(dialog), Qt::Key_Return);
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.Result(), CNameInputDlg::kResultOk);
        QCOMPARE(dialog.Name(), QString("Carol"));
        QCOMPARE(dialog.Id(), 12);
        QVERIFY(MessageBox::Shown().isEmpty());
    }

    // Enter after a refused name: the dialog stays, the name is selected
    // for typing it again.
    void enterKeepsTheNameSelected() {
        CNameInputDlg dialog;
        connect(&dialog, &CNameInputDlg::NameCheckRequested, &dialog,
                [&] { ApplyNameCheck(dialog, *album_, 5); });
        dialog.SetInput("Bob", 5, false);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        NameEdit(dialog)->setText("Alice");
        QTest::keyClick(NameEdit(dialog), Qt::Key_Return);
        QCOMPARE(MessageBox::Shown().size(), 1);
        QCOMPARE(MessageBox::Shown().at(0).text,
                 QString("Input name already registered.\nPlease input a new name."));
        QVERIFY(dialog.isVisible());
        QVERIFY(NameEdit(dialog)->hasFocus());
        QCOMPARE(NameEdit(dialog)->selectedText(), QString("Alice"));
    }

    // More digits than an int holds must not wrap into a usable ID.
    void overlongIdIsRefused() {
        CNameInputDlg dialog;
        QSignalSpy asked(&dialog, &CNameInputDlg::NameCheckRequested);
        dialog.SetInput("Carol", 7, true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        IdEdit(dialog)->setText("4294967303");  // 2^32 + 7
        QTest::mouseClick(Button(dialog, "okButton"), Qt::LeftButton);
        QCOMPARE(asked.count(), 1);
        QCOMPARE(dialog.Id(), std::numeric_limits<int>::max());
        QCOMPARE(CheckNameInput(*album_, "Carol", -1, true, dialog.Id()), 2111);
    }

    void cancelAndEscape_data() {
        QTest::addColumn<bool>("escape");
        QTest::newRow("Cancel button") << false;
        QTest::newRow("Esc") << true;
    }
    void cancelAndEscape() {
        QFETCH(bool, escape);
        CNameInputDlg dialog;
        QSignalSpy asked(&dialog, &CNameInputDlg::NameCheckRequested);
        dialog.SetInput("Bob", 5, false);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        NameEdit(dialog)->setText("Robert");
        if (escape) {
            QTest::keyClick(NameEdit(dialog), Qt::Key_Escape);
        } else {
            QTest::mouseClick(Button(dialog, "cancelButton"), Qt::LeftButton);
        }
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.Result(), CNameInputDlg::kResultCancel);
        QCOMPARE(dialog.Name(), QString("Bob"));  // the entry is dropped
        QCOMPARE(asked.count(), 0);
    }

    void accessibilityAndLook() {
        CNameInputDlg dialog;
        dialog.SetInput("USER_0007", 7, true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QString("Input name"));
        QCOMPARE(AccessibleName(IdEdit(dialog)), QString("ID"));
        QCOMPARE(AccessibleName(NameEdit(dialog)), QString("Name"));
        QCOMPARE(AccessibleName(Button(dialog, "okButton")), QString("OK"));
        QCOMPARE(AccessibleName(Button(dialog, "cancelButton")), QString("Cancel"));
        const QString shot = qEnvironmentVariable("KYTO_ALBUM_UI_SHOTS");
        if (!shot.isEmpty()) {
            QVERIFY(dialog.grab().save(shot + "/name_input.png"));
        }
    }
};

QTEST_MAIN(NameInputTests)
#include "NameInputTests.moc"
