// The progress dialog (bar value, text, the ways the bar moves while it is
// modal) and the album file dialog (pre-selection, restored working folder,
// the seam).
#include <QDir>
#include <QFile>
#include <QListView>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <cmath>
#include <limits>
#include <thread>

#include "WidgetTest.h"
#include "widgets/FileDialog.h"
#include "widgets/OrgFileDlg.h"
#include "widgets/ProgressDlg.h"

class ProgressDlgTest : public QObject {
    Q_OBJECT
private slots:
    void barValue_data() {
        QTest::addColumn<double>("percent");
        QTest::addColumn<int>("value");
        QTest::newRow("57.9") << 57.9 << 57;
        QTest::newRow("0.99") << 0.99 << 0;
        QTest::newRow("100") << 100.0 << 100;
        QTest::newRow("above") << 250.0 << 100;
        QTest::newRow("below") << -3.5 << 0;
        QTest::newRow("nan") << std::nan("") << 0;
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 100;
    }
    void barValue() {
        QFETCH(double, percent);
        QFETCH(int, value);
        CProgressDlg dialog;
        dialog.SetProgress(percent);
        QCOMPARE(dialog.Progress(), value);
        QCOMPARE(dialog.Bar()->value(), value);
    }

    void text_data() {
        QTest::addColumn<int>("textId");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("text");
        QTest::newRow("saving") << int(CProgressDlg::kSaving) << "KytoAlbum.kyl"
                                << "Saving KytoAlbum.kyl.";
        QTest::newRow("loading") << int(CProgressDlg::kLoading) << "a.kyl"
                                 << "Loading a.kyl.";
        QTest::newRow("percent in the name stays") << int(CProgressDlg::kSaving) << "100%s.kyl"
                                                   << "Saving 100%s.kyl.";
        QTest::newRow("markup stays text") << int(CProgressDlg::kSaving) << "<b>x</b>.kyl"
                                           << "Saving <b>x</b>.kyl.";
    }
    void text() {
        QFETCH(int, textId);
        QFETCH(QString, argument);
        QFETCH(QString, text);
        CProgressDlg dialog;
        dialog.SetText(textId, argument);
        QCOMPARE(dialog.Text(), text);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.width() >= 320);
        QVERIFY(dialog.Bar()->y() > 0);
    }

    // While the dialog is modal the bar follows a source it reads on a
    // timer and progress posted from another thread; the notify message is
    // sent once and the close request ends the run.
    void modalRun() {
        CProgressDlg dialog;
        std::atomic<double> source{12.7};
        dialog.SetProgressSource([&] { return source.load(); }, 20);
        int notified = 0;
        std::thread worker;
        connect(&dialog, &CProgressDlg::notified, this, [&](int message, qintptr parameter) {
            ++notified;
            QCOMPARE(message, 0x3910);
            QCOMPARE(parameter, qintptr{1});
            AfterEvents(1, [&] {
                // Shown: the source was read at once.
                QCOMPARE(dialog.Progress(), 12);
                source = 64.2;
                QTRY_COMPARE(dialog.Progress(), 64);
                dialog.SetProgressSource({});
                worker = std::thread([&dialog] {
                    CProgressDlg::PostProgress(&dialog, 99.99);
                    COrgDialog::PostCloseRequest(&dialog);
                });
            });
        });
        dialog.SetNotify(0x3910, 1);
        QCOMPARE(dialog.Run(), 0);
        worker.join();
        QCOMPARE(notified, 1);
        QCOMPARE(dialog.Progress(), 99);
        QCOMPARE(dialog.NotifyMessage(), 0);
    }
};
KYTO_WIDGET_TEST(ProgressDlgTest);

class OrgFileDlgTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { FileDialog::Reset(); }

    // The seam answers the dialog and records its initial path and filter.
    void seamAnswers() {
        COrgFileDlg dialog(true, "/tmp/prev/KytoAlbum.kyl", "Album File(*.kyl)|*.kyl||");
        FileDialog::SetNextFileName("/tmp/chosen.kyl");
        QCOMPARE(dialog.Run(), QString("/tmp/chosen.kyl"));
        const FileDialog::Request request = FileDialog::Requests().value(0);
        QCOMPARE(request.kind, FileDialog::Kind::kOpen);
        QCOMPARE(request.dir, QString("/tmp/prev/KytoAlbum.kyl"));
        QCOMPARE(request.filter, QString("Album File(*.kyl)"));
    }

    // The initial file is selected in each folder that has exactly that
    // name, and nothing in a folder that has not.
    void preselection() {
        QTemporaryDir root;
        QVERIFY(root.isValid());
        QDir dir(root.path());
        dir.mkdir("a");
        dir.mkdir("b");
        for (const char* name : {"a/KytoAlbum.kyl", "a/Other.kyl", "b/kytoalbum.kyl", "b/Z.kyl"}) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        COrgFileDlg dialog(true, dir.filePath("a/KytoAlbum.kyl"), "Album File(*.kyl)|*.kyl||");
        QCOMPARE(dialog.InitialName(), QString("KytoAlbum.kyl"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* view = dialog.findChild<QListView*>("listView");
        QVERIFY(view);
        auto selectedNames = [&] {
            QStringList names;
            for (const QModelIndex& index : view->selectionModel()->selectedRows()) {
                names << index.data().toString();
            }
            return names;
        };
        QTRY_COMPARE(selectedNames(), QStringList{"KytoAlbum.kyl"});
        dialog.setDirectory(dir.filePath("b"));
        QTRY_VERIFY(view->model()->rowCount(view->rootIndex()) == 2);
        QCoreApplication::processEvents();
        QCOMPARE(selectedNames(), QStringList{});
        dialog.setDirectory(dir.filePath("a"));
        QTRY_COMPARE(selectedNames(), QStringList{"KytoAlbum.kyl"});
        dialog.hide();
    }

    void restoresTheWorkingFolder() {
        const QString before = QDir::currentPath();
        QTemporaryDir elsewhere;
        {
            COrgFileDlg dialog(false, "KytoAlbum.kyl", "*.kyl");
            QDir::setCurrent(elsewhere.path());
        }
        QCOMPARE(QDir::currentPath(), before);
    }
};
KYTO_WIDGET_TEST(OrgFileDlgTest);

#include "ProgressAndFileDlgTest.moc"
