// The message-box and file-dialog seams: answers in order, what was asked
// recorded, nothing left to block a test; and the pipe filter form.
#include <QTest>

#include "WidgetTest.h"
#include "widgets/FileDialog.h"
#include "widgets/MessageBox.h"

class SeamTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() {
        MessageBox::Reset();
        FileDialog::Reset();
    }

    void queuedAnswersAreUsedInOrderAndRecorded() {
        MessageBox::SetNextAnswer(QMessageBox::No);
        MessageBox::SetNextAnswer(QMessageBox::Ok);
        QCOMPARE(MessageBox::Question(nullptr, "Write the Album?"), QMessageBox::No);
        QCOMPARE(MessageBox::Warning(nullptr, "Communication error."), QMessageBox::Ok);
        QCOMPARE(MessageBox::PendingAnswers(), 0);
        const QList<MessageBox::Record> shown = MessageBox::Shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].text, QString("Write the Album?"));
        QCOMPARE(shown[0].icon, QMessageBox::Question);
        QCOMPARE(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(shown[0].answered);
        QCOMPARE(shown[1].icon, QMessageBox::Warning);
    }

    void testModeBox_data() {
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("answer");
        QTest::newRow("yes/no") << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::No);
        QTest::newRow("ok/cancel")
            << int(QMessageBox::Ok | QMessageBox::Cancel) << int(QMessageBox::Cancel);
        QTest::newRow("ok") << int(QMessageBox::Ok) << int(QMessageBox::Ok);
    }
    // In test mode an unanswered box never shows: it takes the cautious
    // answer and is recorded as unanswered so the test can notice it.
    void testModeBox() {
        QFETCH(int, buttons);
        QFETCH(int, answer);
        MessageBox::SetTestMode(true);
        QCOMPARE(int(MessageBox::Show(nullptr, QMessageBox::Question, "?",
                                      MessageBox::Buttons(buttons), QMessageBox::NoButton)),
                 answer);
        QCOMPARE(MessageBox::Shown().size(), 1);
        QVERIFY(!MessageBox::Shown()[0].answered);
    }

    void fileAnswersAndRequests() {
        FileDialog::SetNextFileName("/tmp/a.kyl");
        FileDialog::SetNextFileName("");
        QCOMPARE(FileDialog::GetOpenFileName(nullptr, "Open", "/tmp/prev.kyl", "Album File(*.kyl)"),
                 QString("/tmp/a.kyl"));
        QCOMPARE(FileDialog::GetSaveFileName(nullptr, "Save", "/tmp", "*.kyl"), QString());
        FileDialog::SetTestMode(true);
        QCOMPARE(FileDialog::GetExistingDirectory(nullptr, "Folder", "/tmp"), QString());
        const QList<FileDialog::Request> requests = FileDialog::Requests();
        QCOMPARE(requests.size(), 3);
        QCOMPARE(requests[0].kind, FileDialog::Kind::kOpen);
        QCOMPARE(requests[0].dir, QString("/tmp/prev.kyl"));
        QCOMPARE(requests[0].filter, QString("Album File(*.kyl)"));
        QVERIFY(requests[1].answered);
        QCOMPARE(requests[1].kind, FileDialog::Kind::kSave);
        QVERIFY(!requests[2].answered);
    }

    void filterFromPipes_data() {
        QTest::addColumn<QString>("pipes");
        QTest::addColumn<QString>("filter");
        QTest::newRow("album") << "Album File(*.kyl)|*.kyl||"
                               << "Album File(*.kyl)";
        QTest::newRow("patterns added") << "Logs|*.log;*.txt||"
                                        << "Logs (*.log *.txt)";
        QTest::newRow("two") << "A(*.a)|*.a|B|*.b||"
                             << "A(*.a);;B (*.b)";
        QTest::newRow("no end") << "A(*.a)|*.a"
                                << "A(*.a)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void filterFromPipes() {
        QFETCH(QString, pipes);
        QFETCH(QString, filter);
        QCOMPARE(FileDialog::FilterFromPipes(pipes), filter);
    }
};
KYTO_WIDGET_TEST(SeamTest);

#include "SeamTest.moc"
