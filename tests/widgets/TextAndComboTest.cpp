// The log text box (plain-text insertion, the right-click rule) and the
// drop-down list selected by item data.
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include "WidgetTest.h"
#include "widgets/OrgComboBox.h"
#include "widgets/OrgRichEdit.h"

class OrgRichEditTest : public QObject {
    Q_OBJECT
private slots:
    void rightClick_data() {
        QTest::addColumn<QPoint>("move");
        QTest::addColumn<bool>("reported");
        QTest::newRow("no move") << QPoint(0, 0) << true;
        QTest::newRow("5 px right") << QPoint(5, 0) << true;
        QTest::newRow("5 px diagonal") << QPoint(-5, 5) << true;
        QTest::newRow("6 px right") << QPoint(6, 0) << false;
        QTest::newRow("6 px up") << QPoint(0, -6) << false;
    }
    // A right press, a move and the release: a click when the move stayed
    // within 5 pixels on both axes, reported at the release point.
    void rightClick() {
        QFETCH(QPoint, move);
        QFETCH(bool, reported);
        COrgRichEdit edit;
        edit.resize(200, 120);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QSignalSpy spy(&edit, &COrgRichEdit::rightClicked);
        QWidget* viewport = edit.viewport();
        const QPoint press(50, 40);
        QTest::mousePress(viewport, Qt::RightButton, {}, press);
        QMouseEvent moveEvent(QEvent::MouseMove, press + move, viewport->mapToGlobal(press + move),
                              Qt::NoButton, Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &moveEvent);
        // Back to the press point: an armed state lost on the way stays lost.
        QMouseEvent backEvent(QEvent::MouseMove, press, viewport->mapToGlobal(press), Qt::NoButton,
                              Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &backEvent);
        QTest::mouseRelease(viewport, Qt::RightButton, {}, press);
        if (reported) {
            QTRY_COMPARE(spy.count(), 1);
            QCOMPARE(spy.at(0).at(0).toPoint(), press);
        } else {
            QCoreApplication::processEvents();
            QCOMPARE(spy.count(), 0);
        }
        // A left click is never a right click.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, press);
        QCoreApplication::processEvents();
        QCOMPARE(spy.count(), reported ? 1 : 0);
    }

    void menuKeyReportsAClick() {
        COrgRichEdit edit;
        QSignalSpy spy(&edit, &COrgRichEdit::rightClicked);
        QTest::keyClick(&edit, Qt::Key_Menu);
        QTest::keyClick(&edit, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_COMPARE(spy.count(), 2);
    }

    // Markup from the module or a user name stays text.
    void insertsPlainTextOnly() {
        COrgRichEdit edit;
        edit.InsertText("<b>Ann</b> &amp;\n");
        QCOMPARE(edit.toPlainText(), QString("<b>Ann</b> &amp;\n"));
        QVERIFY(edit.isReadOnly());
    }

    // Appended and prepended text, with the given or the stored format; the
    // caret is at the insertion point afterwards.
    void insertAtEndAndStart() {
        COrgRichEdit edit;
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        QTextCharFormat red;
        red.setForeground(Qt::red);
        edit.InsertText("first\n");
        QCOMPARE(edit.document()->firstBlock().charFormat().fontWeight(), int(QFont::Normal));
        edit.SetDefaultFormat(bold);
        edit.InsertText("second\n");
        QCOMPARE(edit.textCursor().position(), 6);
        edit.InsertText("zero\n", 0, red);
        QCOMPARE(edit.textCursor().position(), 0);
        QCOMPARE(edit.toPlainText(), QString("zero\nfirst\nsecond\n"));
        auto formatAt = [&](int position) {
            QTextCursor c(edit.document());
            c.setPosition(position + 1);
            return c.charFormat();
        };
        QCOMPARE(formatAt(0).foreground().color(), QColor(Qt::red));
        QCOMPARE(formatAt(5).fontWeight(), int(QFont::Normal));
        QCOMPARE(formatAt(11).fontWeight(), int(QFont::Bold));
    }

    static QTextCursor CursorAt(COrgRichEdit& edit, int position) {
        QTextCursor cursor(edit.document());
        cursor.setPosition(position);
        return cursor;
    }

    // A log that grows at the top: after every insertion the caret is at
    // the top with nothing selected and the view shows the newest text, also
    // when the user had scrolled away or selected something in between.
    void prependingKeepsCaretAndViewAtTheTop() {
        COrgRichEdit edit;
        edit.resize(240, 120);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        for (int i = 0; i < 60; ++i) {
            edit.InsertText(QStringLiteral("line %1\n").arg(i), 0);
            QCOMPARE(edit.textCursor().position(), 0);
            QVERIFY(!edit.textCursor().hasSelection());
        }
        QVERIFY(edit.toPlainText().startsWith("line 59\nline 58\n"));
        QVERIFY(edit.verticalScrollBar()->maximum() > 20);

        const struct {
            const char* what;
            int scroll;
            int selectTo;
        } cases[] = {{"scrolled down", 20, 0}, {"selection", 0, 10}, {"both", 30, 12}};
        for (const auto& c : cases) {
            if (c.selectTo > 0) {
                // Dragged upwards with the mouse: the caret is back at the
                // top, the selection below it.
                QWidget* viewport = edit.viewport();
                const QPoint from = edit.cursorRect(CursorAt(edit, c.selectTo)).center();
                const QPoint to(1, 1);
                QTest::mousePress(viewport, Qt::LeftButton, {}, from);
                QMouseEvent drag(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton,
                                 Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(viewport, &drag);
                QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
                QVERIFY(edit.textCursor().hasSelection());
                QCOMPARE(edit.textCursor().position(), 0);
            }
            edit.verticalScrollBar()->setValue(c.scroll);
            edit.InsertText(QStringLiteral("%1\n").arg(c.what), 0);
            QCOMPARE(edit.textCursor().position(), 0);
            QVERIFY2(!edit.textCursor().hasSelection(), c.what);
            QVERIFY2(edit.verticalScrollBar()->value() == 0, c.what);
            QVERIFY(edit.toPlainText().startsWith(QStringLiteral("%1\n").arg(c.what)));
        }
    }

    void deleteFromLast_data() {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("left");
        const QString text = "Result A\nExecute B\nResult C\nResults D";
        QTest::newRow("last whole word") << "Result"
                                         << "Result A\nExecute B\n";
        QTest::newRow("only once") << "Execute"
                                   << "Result A\n";
        QTest::newRow("case matters") << "result" << text;
        QTest::newRow("not found") << "Missing" << text;
        QTest::newRow("empty") << "" << text;
    }
    void deleteFromLast() {
        QFETCH(QString, word);
        QFETCH(QString, left);
        COrgRichEdit edit;
        edit.InsertText("Result A\nExecute B\nResult C\nResults D");
        edit.DeleteFromLast(word);
        QCOMPARE(edit.toPlainText(), left);
    }
};
KYTO_WIDGET_TEST(OrgRichEditTest);

class OrgComboBoxTest : public QObject {
    Q_OBJECT
private slots:
    void selectByData() {
        COrgComboBox combo;
        combo.AddItem("320x240", 1);
        combo.AddItem("160x120", 2);
        combo.AddItem("No image", 0);
        combo.AddItem("again", 2);
        combo.setCurrentIndex(0);
        QCOMPARE(combo.SelectByData(2), 1);
        QCOMPARE(combo.GetText(), QString("160x120"));
        QCOMPARE(combo.SelectByData(0), 2);
        QCOMPARE(combo.SelectByData(7), -1);
        QCOMPARE(combo.currentIndex(), 2);
        QCOMPARE(combo.SelectedData(), qint64{0});
        QCOMPARE(combo.SelectByData(921600), -1);
        combo.AddItem("921600", 921600);
        QCOMPARE(combo.SelectByData(921600), 4);
    }
};
KYTO_WIDGET_TEST(OrgComboBoxTest);

#include "TextAndComboTest.moc"
