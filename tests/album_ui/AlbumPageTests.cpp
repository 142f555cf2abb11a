// The Album page on its own: the user list's button states and sort cycle,
// moves, the picture strip's selection, and the names assistive technology
// finds the controls by.

#include <QAbstractButton>
#include <QAccessible>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include "album/ui/RegPreviewDlg.h"
#include "album/ui/RegUserDlg.h"
#include "album/ui/RegistDlg.h"
#include "album/ui/RegistImgPage.h"
#include "base/ImageData.h"
#include "widgets/OrgListCtrl.h"

namespace {

QString AccessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

QAbstractButton* Button(QWidget* page, const char* name) {
    return page->findChild<QAbstractButton*>(name);
}

std::vector<RegUserEntry> Users() {
    return {{5, "Eve", 2}, {2, "Bob", 10}, {9, "Ann", 0}, {3, "Cid", 2}};
}

}  // namespace

class AlbumPageTests : public QObject {
    Q_OBJECT

private slots:
    // Which buttons a selection allows: one user (Register only while it
    // has room for data, ↑/↓ only where it can move), several (only Delete
    // User), none.
    void ButtonsFollowTheSelection_data() {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<QString>("enabled");  // rename delete register up down
        QTest::newRow("none") << QList<int>{} << "00000";
        QTest::newRow("first, two data") << QList<int>{0} << "11101";
        QTest::newRow("ten data") << QList<int>{1} << "11011";
        QTest::newRow("last") << QList<int>{3} << "11110";
        QTest::newRow("two rows") << QList<int>{0, 2} << "01000";
    }
    void ButtonsFollowTheSelection() {
        QFETCH(QList<int>, rows);
        QFETCH(QString, enabled);
        CRegUserDlg list;
        list.SetUsers(Users());
        QSignalSpy selection(&list, &CRegUserDlg::SelectionChanged);
        for (int r : rows) {
            list.List()->SelectRow(r);
        }
        QString got;
        for (const char* name : {"changeNameButton", "deleteUserButton", "registerButton",
                                 "moveUpButton", "moveDownButton"}) {
            got += Button(&list, name)->isEnabled() ? '1' : '0';
        }
        QCOMPARE(got, enabled);
        QVERIFY(Button(&list, "addUserButton")->isEnabled());
        QVERIFY(Button(&list, "deleteAllUsersButton")->isEnabled());
        if (!rows.isEmpty()) {
            QCOMPARE(selection.last().at(0).toInt(), rows.size());
        }
        QCOMPARE(list.SelectedId(), rows.size() == 1 ? Users()[rows[0]].id : -1);

        list.Clear();
        QVERIFY(Button(&list, "addUserButton")->isEnabled());
        QVERIFY(!Button(&list, "deleteAllUsersButton")->isEnabled());
        QVERIFY(!Button(&list, "deleteUserButton")->isEnabled());
    }

    // ID: ascending, descending, ascending; a click on the name then sorts
    // names ascending; data counts compare as numbers; outside the columns
    // nothing changes. The selection stays on its user.
    void HeaderSortCycle() {
        QCOMPARE(NextUserSortMode(UserSortMode::kNone, 10), UserSortMode::kIdAscending);
        QCOMPARE(NextUserSortMode(UserSortMode::kIdAscending, 55), UserSortMode::kIdDescending);
        QCOMPARE(NextUserSortMode(UserSortMode::kIdDescending, 0), UserSortMode::kIdAscending);
        QCOMPARE(NextUserSortMode(UserSortMode::kIdAscending, 56), UserSortMode::kNameAscending);
        QCOMPARE(NextUserSortMode(UserSortMode::kNameAscending, 263),
                 UserSortMode::kNameDescending);
        QCOMPARE(NextUserSortMode(UserSortMode::kNameDescending, 264),
                 UserSortMode::kCountAscending);
        QCOMPARE(NextUserSortMode(UserSortMode::kCountAscending, 343),
                 UserSortMode::kCountDescending);
        QCOMPARE(NextUserSortMode(UserSortMode::kIdDescending, 344), UserSortMode::kIdDescending);

        CRegUserDlg list;
        list.SetUsers(Users());
        list.SelectUser(9);
        list.SortByHeader(10);
        QCOMPARE(list.RowOrder(), (std::vector<int>{2, 3, 5, 9}));
        list.SortByHeader(10);
        QCOMPARE(list.RowOrder(), (std::vector<int>{9, 5, 3, 2}));
        list.SortByHeader(10);
        QCOMPARE(list.RowOrder(), (std::vector<int>{2, 3, 5, 9}));
        list.SortByHeader(100);
        QCOMPARE(list.RowOrder(), (std::vector<int>{9, 2, 3, 5}));
        list.SortByHeader(300);
        QCOMPARE(list.RowOrder(), (std::vector<int>{9, 3, 5, 2}));  // 0, 2, 2, 10
        QCOMPARE(list.SelectedIds(), (std::vector<int>{9}));
        // The next listing is sorted the same way.
        list.SetUsers({{1, "Zed", 1}, {9, "Ann", 0}});
        QCOMPARE(list.RowOrder(), (std::vector<int>{9, 1}));
        list.ResetSort();
        list.SetUsers({{1, "Zed", 1}, {9, "Ann", 0}});
        QCOMPARE(list.RowOrder(), (std::vector<int>{1, 9}));
    }

    // A click on the header sorts, like the owner's call does.
    void HeaderClickSorts() {
        CRegUserDlg list;
        list.SetUsers(Users());
        list.show();
        QHeaderView* header = list.List()->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 20, header->height() / 2));
        QCOMPARE(list.SortMode(), UserSortMode::kNameAscending);
        QCOMPARE(list.RowOrder(), (std::vector<int>{9, 2, 3, 5}));
    }

    // ↑ and ↓ swap rows, keep the moved user selected and stop at the ends.
    void MovesSwapRowsAndStopAtTheEnds() {
        CRegUserDlg list;
        list.SetUsers(Users());
        QVERIFY(list.MoveUser(2, -1));
        QCOMPARE(list.RowOrder(), (std::vector<int>{2, 5, 9, 3}));
        QCOMPARE(list.SelectedIds(), (std::vector<int>{2}));
        QVERIFY(!Button(&list, "moveUpButton")->isEnabled());
        QVERIFY(!list.MoveUser(2, -1));
        QVERIFY(!list.MoveUser(3, 1));
        QVERIFY(list.MoveUser(9, 1));
        QCOMPARE(list.RowOrder(), (std::vector<int>{2, 5, 3, 9}));
        QVERIFY(!Button(&list, "moveDownButton")->isEnabled());
        list.SetDataCount(5, 10);
        QCOMPARE(list.List()->Text(1, 2), QString("    10"));
    }

    // Pictures in entry order, one selectable by a click on its cell (none
    // between cells); Delete needs a selected picture, Delete All any.
    void StripSelectionAndButtons() {
        CRegistImgPage strip;
        QAbstractButton* del = Button(&strip, "deletePictureButton");
        QAbstractButton* all = Button(&strip, "deleteAllPicturesButton");
        QVERIFY(!del->isEnabled() && !all->isEnabled());
        std::vector<StripPicture> pictures;
        for (int n : {0, 3, 4}) {
            QImage image(64, 64, QImage::Format_RGB32);
            image.fill(QColor(n * 40, 0, 0));
            pictures.push_back({n, image});
        }
        strip.SetPictures(pictures);
        QVERIFY(!del->isEnabled() && all->isEnabled());
        QCOMPARE(CRegistImgPage::CellAt(8, 3), 0);
        QCOMPARE(CRegistImgPage::CellAt(76, 3), -1);  // the gap between cells
        QCOMPARE(CRegistImgPage::CellAt(80, 3), 1);
        QCOMPARE(CRegistImgPage::CellAt(8 + 72 * 3, 3), -1);  // beyond the pictures
        strip.show();
        QTest::mouseClick(strip.Surface(), Qt::LeftButton, {}, QPoint(8 + 144 + 10, 40));
        QCOMPARE(strip.SelectedCell(), 2);
        QCOMPARE(strip.SelectedDataNumber(), 4);
        QVERIFY(del->isEnabled());
        QSignalSpy requests(&strip, &CRegistImgPage::DeleteRequested);
        del->click();
        all->click();
        QCOMPARE(requests.count(), 2);
        QCOMPARE(requests.at(0).at(0).toInt(), int(CRegistImgPage::kDelete));
        QCOMPARE(requests.at(1).at(0).toInt(), int(CRegistImgPage::kDeleteAll));
        strip.Reset();
        QCOMPARE(strip.SelectedDataNumber(), -1);
        QVERIFY(!del->isEnabled() && !all->isEnabled());
    }

    // The module's grey picture reaches the preview; one of a format it
    // cannot show leaves the last one.
    void PreviewShowsTheModulesPicture() {
        CRegPreviewDlg preview;
        CImageData grey;
        grey.Init(160, 120, kFormatGrey8, false);
        std::fill(grey.Pixels(), grey.Pixels() + grey.Size(), std::uint8_t{200});
        preview.SetImage(grey);
        QCOMPARE(preview.Images(), 1);
        QCOMPARE(QColor(preview.Shown().pixel(80, 80)), QColor(200, 200, 200));
        QCOMPARE(QColor(preview.Shown().pixel(80, 5)), QColor(128, 128, 128));  // the band above
        CImageData odd;
        odd.Init(4, 4, kFormatRgb565, false);
        preview.SetImage(odd);
        QCOMPARE(preview.Images(), 1);
    }

    // Every button by its caption, the three named views, and the requests
    // of the file buttons.
    void AccessibleNamesAndFileRequests() {
        CRegistDlg page;
        page.show();
        QStringList unnamed;
        for (QAbstractButton* b : page.findChildren<QAbstractButton*>()) {
            if (AccessibleName(b).isEmpty()) {
                unnamed << b->objectName();
            }
            if (!b->text().isEmpty() && b->text() != "↑" && b->text() != "↓") {
                QCOMPARE(AccessibleName(b), b->text());
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        QCOMPARE(AccessibleName(page.Users()->List()), QString("Users"));
        QCOMPARE(AccessibleName(page.Pictures()->Surface()), QString("Pictures"));
        QCOMPARE(AccessibleName(page.Preview()), QString("Live image"));
        QSignalSpy files(&page, &CRegistDlg::FileRequested);
        for (const char* name : {"albumOpenButton", "albumSaveButton", "albumFlashButton"}) {
            Button(&page, name)->click();
        }
        QCOMPARE(files.count(), 3);
        QCOMPARE(files.at(2).at(0).toInt(), int(CRegistDlg::kWriteToFlash));
        QCOMPARE(Button(&page, "albumFlashButton")->text(), QString("Write to FlashROM"));
    }
};

QTEST_MAIN(AlbumPageTests)
#include "AlbumPageTests.moc"
