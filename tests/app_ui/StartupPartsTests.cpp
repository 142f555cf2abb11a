// The start-up's small parts: the accelerators made from the shortcut
// settings, and the port list thread that refreshes the connection dialog.

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "app/ui/Accelerators.h"
#include "app/ui/PortListThread.h"

class StartupPartsTests : public QObject {
    Q_OBJECT

private slots:
    void ShortcutSettingsBecomeKeySequences_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("letter") << "F" << QKeySequence(Qt::Key_F);
        QTest::newRow("lower case") << "p" << QKeySequence(Qt::Key_P);
        QTest::newRow("ctrl shift") << "^_x" << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X);
        QTest::newRow("shift ctrl, other characters ignored")
            << "_ ^+v" << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V);
        QTest::newRow("first letter wins") << "^ab" << QKeySequence(Qt::CTRL | Qt::Key_A);
        QTest::newRow("only ctrl: none") << "^" << QKeySequence();
        QTest::newRow("digits: none") << "^1" << QKeySequence();
        QTest::newRow("empty: none") << "" << QKeySequence();
    }
    void ShortcutSettingsBecomeKeySequences() {
        QFETCH(QString, setting);
        QFETCH(QKeySequence, keys);
        QCOMPARE(KeysOf(ParseShortcut(setting.toStdString())), keys);
    }

    // While on, a list every interval; switched off, the thread lists no
    // more and Quit ends it at once even in the middle of its interval.
    void PortListThreadRefreshesWhileOn() {
        std::mutex mutex;
        std::condition_variable delivered;
        int lists = 0;
        std::atomic<int> calls{0};
        CPortListThread thread(
            [&calls] {
                ++calls;
                return std::vector<PortEntry>{{"/dev/ttyUSB0", "/dev/ttyUSB0"}};
            },
            [&](std::vector<PortEntry> ports) {
                std::lock_guard lock(mutex);
                QCOMPARE(ports.size(), size_t{1});
                ++lists;
                delivered.notify_all();
            },
            5);
        QCOMPARE(calls.load(), 0);  // off until the dialog is shown
        thread.SetRefresh(true);
        {
            std::unique_lock lock(mutex);
            QVERIFY(delivered.wait_for(lock, std::chrono::seconds(10), [&] { return lists >= 3; }));
        }
        thread.SetRefresh(false);
        const int callsWhenOff = calls.load();
        {
            std::lock_guard lock(mutex);
            // A listing under way when the dialog closed is not delivered;
            // every other one was.
            QVERIFY(callsWhenOff - lists >= 0 && callsWhenOff - lists <= 1);
        }

        CPortListThread slow([] { return std::vector<PortEntry>{}; }, [](std::vector<PortEntry>) {},
                             60000);
        slow.SetRefresh(true);
        QElapsedTimer timer;
        timer.start();
        slow.Quit();
        QVERIFY(timer.elapsed() < 5000);
    }
};

QTEST_GUILESS_MAIN(StartupPartsTests)
#include "StartupPartsTests.moc"
