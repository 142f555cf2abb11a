// The result text pane: newest block on top, the block limit, plain text
// whatever the names hold, the log menu's commands and their enabled states.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <QTextCursor>
#include <memory>
#include <string>
#include <vector>

#include "PageRecorder.h"
#include "app/FrameLogger.h"
#include "app/ui/ResultLogDlg.h"
#include "protocol/RawDetectResult.h"
#include "widgets/OrgRichEdit.h"

namespace {

// A face frame whose face was recognised as `userId`.
FramePacket RecognitionFrame(int userId, int responseMs) {
    FramePacket packet;
    packet.functionFlags[kFuncFace] = 1;
    packet.functionFlags[kFuncRecognition] = 1;
    packet.responseTimeMs = responseMs;
    FaceResult face;
    face.detect.x = 100;
    face.detect.y = 80;
    face.detect.size = 60;
    face.detect.confidence = 700;
    face.detect.SetValid(true);
    face.recognition.userId = userId;
    face.recognition.score = 900;
    face.recognition.SetValid(true);
    packet.result.faces.push_back(face);
    return packet;
}

// What the pane should show: the blocks, newest first.
QString NewestFirst(const std::vector<std::string>& blocks) {
    std::string text;
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
        text += *it;
    }
    return QString::fromStdString(text);
}

QAction* Entry(QMenu& menu, const char* name) {
    return menu.findChild<QAction*>(QString::fromLatin1(name));
}

}  // namespace

class ResultLogTests : public QObject {
    Q_OBJECT

private slots:
    // Newest first, at most `limit` blocks; the header counts once added.
    void KeepsTheNewestBlocksUpToTheLimit() {
        const struct {
            int limit;
            int frames;
            int shown;
        } cases[] = {{3, 5, 3}, {150, 151, 150}, {0, 2, 1}, {-4, 3, 1}};
        for (const auto& c : cases) {
            CResultLogDlg pane(c.limit);
            std::vector<std::string> expected;
            pane.AddVersionHeader("0.1.0", "1.2.3.4");
            expected.push_back(BuildVersionHeader("0.1.0", "1.2.3.4"));
            for (int i = 0; i < c.frames; ++i) {
                const FramePacket packet = RecognitionFrame(-1, 10 + i);
                pane.AddFrameResult(packet);
                expected.push_back(CFrameLogger::BlockOf(packet, {}));
            }
            expected.erase(expected.begin(), expected.end() - c.shown);
            QCOMPARE(pane.BlockCount(), c.shown);
            QCOMPARE(pane.Text(), NewestFirst(expected));
            QCOMPARE(pane.TextControl()->textCursor().position(), 0);
        }
    }

    // Names are shown as they are: markup is not interpreted, and a name of
    // hyphens (the separator's character) does not confuse the cutting of
    // the oldest block.
    void NamesAreShownAsPlainText() {
        CResultLogDlg pane(2);
        const std::vector<UserName> names = {{3, "<b>Bob</b> & <i>"}, {4, std::string(120, '-')}};
        pane.SetUserNames(names);
        std::vector<std::string> blocks;
        for (int userId : {3, 4, 4, 3, 4}) {
            const FramePacket packet = RecognitionFrame(userId, 20);
            pane.AddFrameResult(packet);
            blocks.push_back(CFrameLogger::BlockOf(packet, names));
        }
        blocks.erase(blocks.begin(), blocks.end() - 2);
        QCOMPARE(pane.Text(), NewestFirst(blocks));
        QVERIFY(pane.Text().contains(QStringLiteral("\t<b>Bob</b> & <i> Confidence:900")));
        // Live images are not frames of the log.
        FramePacket live;
        live.kind = FrameKind::kLiveImage;
        pane.AddFrameResult(live);
        QCOMPARE(pane.BlockCount(), 2);
    }

    void CopyAndClear() {
        CResultLogDlg pane(10);
        pane.AddVersionHeader("0.1.0", "<fw>");
        pane.AddFrameResult(RecognitionFrame(-1, 5));
        const QString all = pane.Text();
        QVERIFY(all.contains(QStringLiteral("Firmware\t<fw>\n")));  // the module's text as it is
        QApplication::clipboard()->clear();

        pane.CopyAll();
        QCOMPARE(QApplication::clipboard()->text(), all);
        QVERIFY(!pane.HasSelection());
        QCOMPARE(pane.TextControl()->textCursor().position(), 0);

        // Copy selected: only the selection; nothing without one.
        QTextCursor cursor = pane.TextControl()->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(10, QTextCursor::KeepAnchor);
        pane.TextControl()->setTextCursor(cursor);
        pane.CopySelected();
        QCOMPARE(QApplication::clipboard()->text(), all.left(10));

        pane.Clear();
        QVERIFY(pane.Text().isEmpty());
        QCOMPARE(pane.BlockCount(), 0);
        // Blocks after a clear start a fresh list.
        pane.AddFrameResult(RecognitionFrame(-1, 6));
        QCOMPARE(pane.BlockCount(), 1);
        QCOMPARE(pane.Text(),
                 QString::fromStdString(CFrameLogger::BlockOf(RecognitionFrame(-1, 6), {})));
    }

    void MenuEntriesFollowTheRunAndTheSelection() {
        CResultLogDlg pane(10);
        pane.AddFrameResult(RecognitionFrame(-1, 5));
        const struct {
            bool loopRunning;
            bool selection;
            bool copyAll, copySelected, clear;
        } cases[] = {
            {false, false, true, false, true},
            {false, true, true, true, true},
            {true, true, false, false, false},
        };
        for (const auto& c : cases) {
            QTextCursor cursor = pane.TextControl()->textCursor();
            cursor.setPosition(0);
            if (c.selection) {
                cursor.setPosition(4, QTextCursor::KeepAnchor);
            }
            pane.TextControl()->setTextCursor(cursor);
            std::unique_ptr<QMenu> menu(pane.CreateLogMenu(c.loopRunning, nullptr));
            QCOMPARE(Entry(*menu, "copyAllLog")->isEnabled(), c.copyAll);
            QCOMPARE(Entry(*menu, "copySelectedLog")->isEnabled(), c.copySelected);
            QCOMPARE(Entry(*menu, "clearLog")->isEnabled(), c.clear);
            QCOMPARE(Entry(*menu, "copyAllLog")->text(), QStringLiteral("Copy all log(&A)"));
        }
        std::unique_ptr<QMenu> menu(pane.CreateLogMenu(false, nullptr));
        Entry(*menu, "clearLog")->trigger();
        QCOMPARE(pane.BlockCount(), 0);
    }

    // A right click in the text asks the main window for the menu at the
    // screen point, through the pane's message target.
    void RightClickPostsTheLogMenuMessage() {
        CMessageRecorder window;
        CResultLogDlg pane(10);
        pane.SetMessageTarget(&window);
        pane.resize(400, 200);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        QWidget* viewport = pane.TextControl()->viewport();
        QTest::mouseClick(viewport, Qt::RightButton, {}, QPoint(30, 20));
        QTRY_COMPARE(window.seen.size(), std::size_t{1});
        QCOMPARE(window.seen[0].message, UWM_LOG_MENU);
        QCOMPARE(window.seen[0].sender, static_cast<QObject*>(&pane));
        QCOMPARE(CWindowMessage::UnpackPoint(window.seen[0].value),
                 viewport->mapToGlobal(QPoint(30, 20)));
    }
};

int RunResultLogTests(int argc, char** argv) {
    ResultLogTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "ResultLogTests.moc"
