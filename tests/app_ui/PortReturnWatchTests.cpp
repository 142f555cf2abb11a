// Noticing that a vanished serial port is back, on folders of the test's
// own that play /dev and /dev/serial/by-id: at the same path, and under the
// same by-id name at another path (an adapter in another USB socket), also
// when the by-id folder itself went away with the last adapter.

#include <QSignalSpy>
#include <QTest>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "app/ui/PortReturnWatch.h"

namespace fs = std::filesystem;

class PortReturnWatchTests : public QObject {
    Q_OBJECT

private slots:
    void SamePathOrSameByIdName_data() {
        QTest::addColumn<bool>("byId");
        QTest::addColumn<bool>("byIdFolderGoes");
        QTest::newRow("same path") << false << false;
        QTest::newRow("same by-id name, new path") << true << false;
        QTest::newRow("by-id folder made again") << true << true;
    }
    void SamePathOrSameByIdName() {
        QFETCH(bool, byId);
        QFETCH(bool, byIdFolderGoes);
        TempDir dir;
        const fs::path dev = fs::current_path() / "dev";
        const fs::path byIdFolder = dev / "serial" / "by-id";
        fs::create_directories(byIdFolder);
        const std::string port = (dev / "ttyUSB0").string();
        std::ofstream(port).put('x');
        if (byId) {
            fs::create_symlink("../../ttyUSB0", byIdFolder / "usb-Kyto_A1-if00");
        }
        CPortReturnWatch watch(nullptr, byIdFolder.string());
        watch.Remember(port);
        QCOMPARE(watch.ById(), byId ? std::string("usb-Kyto_A1-if00") : std::string());

        // Unplugged.
        fs::remove(port);
        if (byId) {
            fs::remove(byIdFolder / "usb-Kyto_A1-if00");
        }
        if (byIdFolderGoes) {
            fs::remove_all(dev / "serial");
        }
        QSignalSpy returned(&watch, &CPortReturnWatch::Returned);
        watch.Arm();
        QVERIFY(watch.Armed());
        // Something else appears: not the port.
        std::ofstream((dev / "ttyS4").string()).put('x');
        QVERIFY(!returned.wait(200));

        // Plugged in again.
        if (byId) {
            fs::create_directories(byIdFolder);
            std::ofstream((dev / "ttyUSB1").string()).put('x');
            fs::create_symlink("../../ttyUSB1", byIdFolder / "usb-Kyto_A1-if00");
        } else {
            std::ofstream(port).put('x');
        }
        QVERIFY(returned.count() == 1 || returned.wait(5000));
        QCOMPARE(returned.count(), 1);
        const std::string expected = byId ? (byIdFolder / "usb-Kyto_A1-if00").string() : port;
        QCOMPARE(returned.at(0).at(0).toString().toStdString(), expected);
        QVERIFY(!watch.Armed());
    }

    // A port that is back by the time the watch is armed is reported at once.
    void AlreadyBackWhenArmed() {
        TempDir dir;
        const std::string port = (fs::current_path() / "ttyACM0").string();
        std::ofstream(port).put('x');
        CPortReturnWatch watch(nullptr, (fs::current_path() / "by-id").string());
        watch.Remember(port);
        QSignalSpy returned(&watch, &CPortReturnWatch::Returned);
        watch.Arm();
        QCOMPARE(returned.count(), 1);
    }
};

QTEST_MAIN(PortReturnWatchTests)
#include "PortReturnWatchTests.moc"
