// The ID selection dialog: search by ID text before name, the header sort
// cycle keeping the mark, the mark moved only from column 0, Confirm, and
// the names and look of its controls.

#include <QAccessible>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include "album/ui/IDSelectDlg.h"
#include "widgets/OrgListCtrl.h"
#include "widgets/StateBmpButton.h"

namespace {

QString AccessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

// A user named "007" besides the user with ID 7, and two users of one name.
std::vector<RegUserEntry> Users() {
    return {{12, "Bob", 1}, {7, "Ann", 2}, {3, "007", 1}, {25, "Bob", 1}, {40, "bob", 1}};
}

QList<int> RowIds(const COrgListCtrl* list) {
    QList<int> ids;
    for (int row = 0; row < list->RowCount(); ++row) {
        ids.append(static_cast<int>(list->Data(row)));
    }
    return ids;
}

QList<int> Ids(const std::vector<RegUserEntry>& users) {
    QList<int> ids;
    for (const RegUserEntry& user : users) {
        ids.append(user.id);
    }
    return ids;
}

int MarkedRow(const COrgListCtrl* list) {
    for (int row = 0; row < list->RowCount(); ++row) {
        if (list->Model()->item(row, 0)->data(Qt::AccessibleTextRole).toString() == "Marked") {
            return row;
        }
    }
    return -1;
}

void ClickHeader(COrgListCtrl* list, int column) {
    QHeaderView* header = list->header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
}

void ClickCell(COrgListCtrl* list, int row, int column) {
    const QRect rect = list->visualRect(list->Model()->index(row, column));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

}  // namespace

class IdSelectTests : public QObject {
    Q_OBJECT
private slots:
    // The sort rules on their own: each click from each state.
    void sortRules_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("state");
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<int>("next");
        QTest::newRow("ID first click: descending") << 1 << 0 << QList<int>{40, 25, 12, 7, 3} << 1;
        QTest::newRow("ID second click: ascending") << 1 << 1 << QList<int>{3, 7, 12, 25, 40} << 0;
        QTest::newRow("ID from a name sort: ascending")
            << 1 << 2 << QList<int>{3, 7, 12, 25, 40} << 0;
        // Code unit order: digits before capitals before small letters;
        // the two Bobs by ascending ID in both directions.
        QTest::newRow("name first click: ascending") << 2 << 0 << QList<int>{3, 7, 12, 25, 40} << 2;
        QTest::newRow("name second click: descending")
            << 2 << 2 << QList<int>{40, 12, 25, 7, 3} << 3;
        QTest::newRow("name from descending: ascending")
            << 2 << 3 << QList<int>{3, 7, 12, 25, 40} << 2;
        QTest::newRow("column 0 changes nothing") << 0 << 1 << QList<int>{12, 7, 3, 25, 40} << 1;
    }
    void sortRules() {
        QFETCH(int, column);
        QFETCH(int, state);
        QFETCH(QList<int>, ids);
        QFETCH(int, next);
        std::vector<RegUserEntry> users = Users();
        const IdSortState result =
            SortUsersByColumn(users, column, static_cast<IdSortState>(state));
        QCOMPARE(Ids(users), ids);
        QCOMPARE(static_cast<int>(result), next);
    }

    // A name outside the basic plane sorts by its UTF-16 code units: its
    // leading surrogate (U+D83D) comes before U+FF21, although the code point
    // and its UTF-8 bytes come after.
    void nameSortUsesCodeUnits() {
        std::vector<RegUserEntry> users = {{1, "\xF0\x9F\x98\x80", 1}, {2, "\xEF\xBC\xA1", 1}};
        SortUsersByColumn(users, 2, IdSortState::kNone);
        QCOMPARE(Ids(users), (QList<int>{1, 2}));
    }

    void search_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("selectedId");  // -1: nothing selected
        QTest::newRow("ID 7") << "7" << 7;
        QTest::newRow("007 is no ID text, it is a name") << "007" << 3;
        QTest::newRow("name, first of two") << "Bob" << 12;
        QTest::newRow("name case matters") << "bob" << 40;
        QTest::newRow("no such row") << "Zed" << -1;
        QTest::newRow("part of a name is no match") << "An" << -1;
    }
    void search() {
        QFETCH(QString, text);
        QFETCH(int, selectedId);
        CIDSelectDlg dialog;
        dialog.SetUsers(Users());
        dialog.SetMarkedId(25);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        COrgListCtrl* list = dialog.List();
        list->SelectRow(list->FindRowByData(40));  // a selection a miss takes away
        list->setCurrentIndex(list->Model()->index(list->FindRowByData(40), 1));
        auto* edit = dialog.findChild<QLineEdit*>("searchEdit");
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(dialog.isVisible());  // Enter searches, it does not close
        const QList<int> selected = list->SelectedRows();
        if (selectedId < 0) {
            QVERIFY(selected.isEmpty());
        } else {
            QCOMPARE(selected.size(), 1);
            QCOMPARE(static_cast<int>(list->Data(selected.at(0))), selectedId);
            QCOMPARE(list->currentIndex().row(), selected.at(0));
            QVERIFY(list->hasFocus());
        }
        QCOMPARE(dialog.MarkedId(), 25);  // a search never moves the mark
        QCOMPARE(static_cast<int>(list->Data(MarkedRow(list))), 25);
    }

    void emptySearchDoesNothing() {
        CIDSelectDlg dialog;
        dialog.SetUsers(Users());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.List()->SelectRow(1);
        QTest::mouseClick(dialog.findChild<QToolButton*>("searchButton"), Qt::LeftButton);
        QCOMPARE(dialog.List()->SelectedRows(), (QList<int>{1}));
    }

    // The sort cycle through the header, the mark following its user.
    void headerSortKeepsTheMark() {
        CIDSelectDlg dialog;
        dialog.SetUsers(Users());
        dialog.SetMarkedId(7);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        COrgListCtrl* list = dialog.List();
        ClickHeader(list, 1);
        QCOMPARE(RowIds(list), (QList<int>{40, 25, 12, 7, 3}));
        QCOMPARE(dialog.SortState(), IdSortState::kIdDescending);
        QCOMPARE(MarkedRow(list), 3);
        QCOMPARE(list->SelectedRows(), (QList<int>{3}));
        ClickHeader(list, 1);
        QCOMPARE(RowIds(list), (QList<int>{3, 7, 12, 25, 40}));
        ClickHeader(list, 2);
        ClickHeader(list, 2);
        QCOMPARE(RowIds(list), (QList<int>{40, 12, 25, 7, 3}));
        QCOMPARE(dialog.SortState(), IdSortState::kNameDescending);
        QCOMPARE(MarkedRow(list), 3);
        ClickHeader(list, 0);
        QCOMPARE(dialog.SortState(), IdSortState::kNameDescending);
        // A new listing is shown in its own order, the mark kept.
        dialog.SetUsers({{7, "Ann", 1}, {1, "Zoe", 1}});
        QCOMPARE(RowIds(list), (QList<int>{7, 1}));
        QCOMPARE(MarkedRow(list), 0);
    }

    // Only a click in column 0 moves the mark; Confirm commits it.
    void markAndConfirm() {
        CIDSelectDlg dialog;
        QSignalSpy confirmed(&dialog, &CIDSelectDlg::VerifyIdConfirmed);
        dialog.SetUsers(Users());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* committed = dialog.findChild<QLabel*>("committedId");
        auto* confirm = dialog.findChild<CStateBmpButton*>("confirmButton");
        QCOMPARE(committed->text(), QString());
        // Nothing marked: Confirm hands over -1.
        QTest::mouseClick(confirm, Qt::LeftButton);
        QCOMPARE(confirmed.takeFirst().at(0).toInt(), -1);

        COrgListCtrl* list = dialog.List();
        ClickCell(list, 2, 2);  // the name column selects only
        QCOMPARE(list->SelectedRows(), (QList<int>{2}));
        QCOMPARE(dialog.MarkedId(), -1);
        QCOMPARE(MarkedRow(list), -1);
        ClickCell(list, 1, 0);
        QCOMPARE(dialog.MarkedId(), 7);
        QCOMPARE(MarkedRow(list), 1);
        QCOMPARE(committed->text(), QString());  // not before Confirm
        QTest::mouseClick(confirm, Qt::LeftButton);
        QCOMPARE(confirmed.takeFirst().at(0).toInt(), 7);
        QCOMPARE(dialog.CommittedId(), 7);
        QCOMPARE(committed->text(), QString("7"));
        // Reset from outside when the verify user is deleted.
        dialog.SetCommittedId(-1);
        dialog.SetMarkedId(-1);
        QCOMPARE(committed->text(), QString());
        QCOMPARE(MarkedRow(list), -1);
    }

    void accessibilityAndLook() {
        CIDSelectDlg dialog;
        dialog.SetUsers(Users());
        dialog.SetMarkedId(12);
        dialog.SetCommittedId(12);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QString("ID Select"));
        QCOMPARE(AccessibleName(dialog.findChild<QLineEdit*>("searchEdit")),
                 QString("Search text"));
        QCOMPARE(AccessibleName(dialog.findChild<QToolButton*>("searchButton")), QString("Search"));
        QCOMPARE(AccessibleName(dialog.List()), QString("Users"));
        QCOMPARE(AccessibleName(dialog.findChild<CStateBmpButton*>("confirmButton")),
                 QString("Confirm"));
        QCOMPARE(dialog.List()->Model()->headerData(1, Qt::Horizontal).toString(), QString("ID"));
        QCOMPARE(dialog.List()->Model()->headerData(2, Qt::Horizontal).toString(), QString("Name"));
        const QString shot = qEnvironmentVariable("KYTO_ALBUM_UI_SHOTS");
        if (!shot.isEmpty()) {
            QVERIFY(dialog.grab().save(shot + "/id_select.png"));
        }
    }
};

QTEST_MAIN(IdSelectTests)
#include "IdSelectTests.moc"
