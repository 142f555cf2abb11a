// The number box's range rules while typing and on leaving it, and the
// coloured list: its rows, finding, scrolling, the header and the keys.
#include <QFocusEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "WidgetTest.h"
#include "widgets/OrgListCtrl.h"
#include "widgets/RangeEdit.h"

namespace {

void LeaveBox(CRangeEdit& edit) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(&edit, &out);
}

}  // namespace

class RangeEditTest : public QObject {
    Q_OBJECT
private slots:
    void typing_data() {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("inRange");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("afterLeaving");
        QTest::newRow("below minimum waits") << 20 << 8192 << "9"
                                             << "9" << false << 20 << "20";
        QTest::newRow("above maximum at once") << 20 << 8192 << "9000"
                                               << "8192" << true << 8192 << "8192";
        QTest::newRow("in range") << 20 << 8192 << "640"
                                  << "640" << true << 640 << "640";
        QTest::newRow("minus alone reads 0") << -90 << 90 << "-"
                                             << "-" << true << 0 << "-";
        QTest::newRow("negative below minimum") << -90 << 90 << "-95"
                                                << "-95" << false << -90 << "-90";
        QTest::newRow("letters read 0") << 20 << 8192 << "x"
                                        << "x" << false << 20 << "20";
        QTest::newRow("number then letters") << 20 << 8192 << "99k"
                                             << "99k" << true << 99 << "99k";
    }
    void typing() {
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, inRange);
        QFETCH(int, value);
        QFETCH(QString, afterLeaving);
        CRangeEdit edit;
        edit.SetRange(minimum, maximum);
        edit.SetInt(minimum);
        edit.selectAll();
        QTest::keyClicks(&edit, typed);
        QCOMPARE(edit.text(), shown);
        QCOMPARE(edit.IsInRange(), inRange);
        QCOMPARE(edit.GetInt(), value);
        LeaveBox(edit);
        QCOMPARE(edit.text(), afterLeaving);
    }

    // Clearing the box gives the minimum at once; the caret stays where
    // the user was, within the new text.
    void emptyAndCaret() {
        CRangeEdit edit;
        edit.SetRange(20, 8192);
        edit.SetInt(300);
        edit.setCursorPosition(3);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QString("3"));
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QCOMPARE(edit.text(), QString("20"));
        QCOMPARE(edit.cursorPosition(), 0);
        edit.SetRange(0, 100);
        edit.SetInt(99);
        edit.setCursorPosition(2);
        QTest::keyClick(&edit, Qt::Key_9);
        QCOMPARE(edit.text(), QString("100"));
        QCOMPARE(edit.cursorPosition(), 3);
    }

    // SetInt does not clamp a small value; the change rule still caps a
    // large one, so the box never shows more than the maximum.
    void setInt() {
        CRangeEdit edit;
        edit.SetRange(20, 8192);
        edit.SetInt(9);
        QCOMPARE(edit.text(), QString("9"));
        edit.SetInt(9000);
        QCOMPARE(edit.text(), QString("8192"));
    }

    void digitsOnly() {
        CRangeEdit edit;
        edit.SetRange(0, 500);
        edit.SetDigitsOnly(true);
        edit.clear();
        QTest::keyClicks(&edit, "-1a2");
        QCOMPARE(edit.text(), QString("12"));
    }
};
KYTO_WIDGET_TEST(RangeEditTest);

class OrgListCtrlTest : public QObject {
    Q_OBJECT
private slots:
    void rowsAndFinding() {
        COrgListCtrl list;
        list.InsertColumn(0, "ID", 56);
        list.InsertColumn(1, "Name", 208);
        QCOMPARE(list.AddRow({}, 1), -1);
        QCOMPARE(list.AddRow({"1", "Ann"}, 101), 0);
        QCOMPARE(list.AddRow({"2", "ann", "dropped"}, 102), 1);
        QCOMPARE(list.AddRow({"3"}, 103), 2);
        QCOMPARE(list.RowCount(), 3);
        QCOMPARE(list.Text(2, 1), QString());
        QCOMPARE(list.FindRowByText(1, "ann"), 1);
        QCOMPARE(list.FindRowByText(1, "Ann"), 0);
        QCOMPARE(list.FindRowByText(1, "ANN"), -1);
        QCOMPARE(list.FindRowByText(5, "Ann"), -1);
        QCOMPARE(list.FindRowByData(103), 2);
        QCOMPARE(list.FindRowByData(7), -1);
    }

    // Column 1 "NG" draws the row in red, "OK" in blue; a selected row
    // takes the selection colours instead; other texts no colour.
    void resultColours() {
        COrgListCtrl list;
        list.InsertColumn(0, "No", 60);
        list.InsertColumn(1, "Result", 60);
        QFont font = list.font();
        font.setPixelSize(16);
        list.setFont(font);
        list.AddRow({"MMMM", "NG"}, 0);
        list.AddRow({"MMMM", "OK"}, 1);
        list.AddRow({"MMMM", "ng"}, 2);
        list.resize(160, 120);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        auto countIn = [&](int row, QColor color) {
            const QImage image = list.viewport()->grab().toImage();
            const QRect rect = list.visualRect(list.Model()->index(row, 0));
            int n = 0;
            for (int y = rect.top(); y <= rect.bottom(); ++y) {
                for (int x = 0; x < 120; ++x) {
                    n += image.pixelColor(x, y) == color;
                }
            }
            return n;
        };
        const QColor red(255, 0, 0), blue(0, 0, 255);
        QVERIFY(countIn(0, red) > 0);
        QVERIFY(countIn(1, blue) > 0);
        QCOMPARE(countIn(1, red), 0);
        QCOMPARE(countIn(2, red), 0);
        QCOMPARE(countIn(2, blue), 0);
        list.SelectRow(0);
        QCOMPARE(countIn(0, red), 0);
        QVERIFY(countIn(0, list.palette().color(QPalette::Highlight)) > 0);
    }

    // The least scrolling: a row below comes in as the last visible row, a
    // row above as the first; -1 and rows that are not there change nothing.
    void ensureRowVisible() {
        COrgListCtrl list;
        list.InsertColumn(0, "ID", 60);
        for (int i = 0; i < 100; ++i) {
            list.AddRow({QString::number(i)}, i);
        }
        list.resize(120, 150);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        auto rect = [&](int row) { return list.visualRect(list.Model()->index(row, 0)); };
        const int height = list.viewport()->height();
        list.EnsureRowVisible(50);
        QVERIFY(rect(50).top() >= 0 && rect(50).bottom() < height);
        QVERIFY(rect(51).bottom() >= height);
        list.EnsureRowVisible(10);
        QCOMPARE(rect(10).top(), 0);
        const int scrolled = list.verticalScrollBar()->value();
        list.EnsureRowVisible(-1);
        list.EnsureRowVisible(1000);
        list.EnsureRowVisible(12);
        QCOMPARE(list.verticalScrollBar()->value(), scrolled);
    }

    // Rows are as high as the font's text plus one pixel, measured again
    // when the font changes.
    void rowHeightFollowsFont() {
        COrgListCtrl list;
        list.InsertColumn(0, "ID", 60);
        list.AddRow({"1"}, 1);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        auto rowHeight = [&] { return list.visualRect(list.Model()->index(0, 0)).height(); };
        QCOMPARE(rowHeight(), QFontMetrics(list.font()).boundingRect("List").height() + 1);
        QFont big = list.font();
        big.setPixelSize(40);
        list.setFont(big);
        QTRY_COMPARE(rowHeight(), QFontMetrics(big).boundingRect("List").height() + 1);
    }

    // Dragging a divider does not resize; a release on the header is
    // reported in header coordinates.
    void header() {
        COrgListCtrl list;
        list.InsertColumn(0, "ID", 56);
        list.InsertColumn(1, "Name", 208);
        list.resize(300, 120);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QSignalSpy spy(&list, &COrgListCtrl::headerReleased);
        QWidget* headerViewport = list.header()->viewport();
        const int y = list.header()->height() / 2;
        QTest::mousePress(headerViewport, Qt::LeftButton, {}, QPoint(55, y));
        QMouseEvent drag(QEvent::MouseMove, QPointF(120, y),
                         headerViewport->mapToGlobal(QPointF(120, y)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(headerViewport, &drag);
        QTest::mouseRelease(headerViewport, Qt::LeftButton, {}, QPoint(120, y));
        QCOMPARE(list.header()->sectionSize(0), 56);
        QTest::mouseDClick(headerViewport, Qt::LeftButton, {}, QPoint(56, y));
        QCOMPARE(list.header()->sectionSize(0), 56);
        QVERIFY(spy.count() >= 1);
        QCOMPARE(spy.at(0).at(0).toPoint(), QPoint(120, y));
    }

    // Other keys go to the parent window (posted); arrows move in the list.
    void keys() {
        struct Parent : QWidget {
            QList<int> pressed, released;
            void keyPressEvent(QKeyEvent* e) override { pressed.append(e->key()); }
            void keyReleaseEvent(QKeyEvent* e) override { released.append(e->key()); }
        } parent;
        auto* list = new COrgListCtrl(&parent);
        list->InsertColumn(0, "ID", 60);
        list->AddRow({"1"}, 1);
        list->AddRow({"2"}, 2);
        list->setCurrentIndex(list->Model()->index(0, 0));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(parent.pressed.size(), 0);  // posted, not sent
        QTRY_COMPARE(parent.pressed, QList<int>{Qt::Key_Delete});
        QTRY_COMPARE(parent.released, QList<int>{Qt::Key_Delete});
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentIndex().row(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(parent.pressed.size(), 1);
    }
};
KYTO_WIDGET_TEST(OrgListCtrlTest);

#include "RangeAndListTest.moc"
