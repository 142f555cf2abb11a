// The start-up connection dialog: what it shows for each port, which port
// it chooses, what it hands back, and its keyboard and accessibility.

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>

#include "TempDir.h"
#include "settings/ui/ConnectSettingDlg.h"
#include "settings/ui/PortLabels.h"
#include "settings/ui/SettingDlg.h"
#include "widgets/StateBmpButton.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
}

std::vector<PortEntry> Entries(std::initializer_list<const char*> names) {
    std::vector<PortEntry> entries;
    for (const char* n : names) {
        entries.push_back(PortEntry{n, n});
    }
    return entries;
}

QString AccessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

}  // namespace

class ConnectionDialogTests : public QObject {
    Q_OBJECT

private slots:
    // A USB adapter as udev and sysfs show it: a by-id link to the device
    // node, the tty's device link into the USB device's interface folder,
    // the USB device folder with its descriptor strings.
    void LabelShowsPathByIdNameAndUsbDescription() {
        TempDir dir;
        const fs::path root = dir.Path();
        const fs::path dev = root / "dev";
        WriteFile(dev / "ttyUSB0", "");
        WriteFile(dev / "ttyS0", "");
        fs::create_directories(dev / "serial/by-id");
        fs::create_symlink("../../ttyUSB0",
                           dev / "serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0");
        const fs::path usb = root / "sys/devices/pci0000:00/usb1/1-1";
        WriteFile(usb / "idVendor", "0403");
        WriteFile(usb / "idProduct", "6001");
        WriteFile(usb / "manufacturer", "FTDI");
        WriteFile(usb / "product", "FT232R\tUSB UART");  // a tab must not break the line
        fs::create_directories(usb / "1-1:1.0/ttyUSB0");
        fs::create_directories(root / "sys/class/tty/ttyUSB0");
        fs::create_symlink(usb / "1-1:1.0/ttyUSB0", root / "sys/class/tty/ttyUSB0/device");
        // A UART without USB: no description, no by-id link.
        fs::create_directories(root / "sys/devices/platform/serial8250/tty/ttyS0");
        fs::create_directories(root / "sys/class/tty/ttyS0");
        fs::create_symlink(root / "sys/devices/platform/serial8250/tty/ttyS0",
                           root / "sys/class/tty/ttyS0/device");

        const PortFactSources sources{(dev / "serial/by-id").string(),
                                      (root / "sys/class/tty").string()};
        const std::string usbPath = (dev / "ttyUSB0").string();
        const PortFacts facts = LookUpPort(usbPath, sources);
        QCOMPARE(facts.byIdName, std::string("usb-FTDI_FT232R_A50285BI-if00-port0"));
        QCOMPARE(facts.usbDescription, std::string("FTDI FT232R USB UART"));
        QCOMPARE(PortLabel(facts),
                 usbPath + "  (usb-FTDI_FT232R_A50285BI-if00-port0; FTDI FT232R USB UART)");

        const std::string uartPath = (dev / "ttyS0").string();
        QCOMPARE(PortLabel(LookUpPort(uartPath, sources)), uartPath);
        QCOMPARE(PortLabel(LookUpPort("LAN", sources)), std::string("LAN"));
        // A missing device: the path alone, nothing thrown.
        QCOMPARE(PortLabel(LookUpPort((dev / "ttyACM7").string(), sources)),
                 (dev / "ttyACM7").string());
    }

    void StoredPortChoosesTheFirstEntryItBegins_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("chosen");
        QTest::newRow("COM1 takes COM10") << "COM1" << 0;
        QTest::newRow("exact later entry") << "com11" << 1;
        QTest::newRow("no match takes the first") << "/dev/ttyUSB3" << 0;
        QTest::newRow("empty takes the first") << "" << 0;
    }
    void StoredPortChoosesTheFirstEntryItBegins() {
        QFETCH(QString, stored);
        QFETCH(int, chosen);
        CConnectSettingDlg page(true);
        page.SetConnectionValues(Entries({"COM10", "COM11"}),
                                 ConnectionValues{stored.toStdString(), 115200, 0, 0});
        QCOMPARE(page.PortList()->currentIndex(), chosen);
        QCOMPARE(page.BaudList()->currentText(), QString("115200"));
    }

    void ValuesComeBackAsPortNamesNotLabels() {
        CConnectSettingDlg page(true);
        std::vector<PortEntry> ports = {
            {"/dev/ttyUSB0", "/dev/ttyUSB0  (usb-FTDI_X-if00-port0; FTDI FT232R USB UART)"},
            {"/dev/ttyUSB1", "/dev/ttyUSB1  (usb-Kyto_Y-if00)"},
        };
        page.SetConnectionValues(ports, ConnectionValues{"/dev/ttyUSB1", 921600, 2, 1});
        QCOMPARE(page.PortList()->currentIndex(), 1);
        page.BaudList()->setCurrentIndex(page.BaudList()->findText("38400"));
        page.AutoConnectBox()->setChecked(false);
        const ConnectionValues v = page.GetConnectionValues();
        QCOMPARE(v.portName, std::string("/dev/ttyUSB1"));
        QCOMPARE(v.baud, 38400);
        QCOMPARE(v.cameraAngle, 2);  // carried through unchanged
        QCOMPARE(v.autoConnect, 0);
    }

    void EmptyPortListGivesAnEmptyName() {
        CConnectSettingDlg page(true);
        page.SetConnectionValues({}, ConnectionValues{"/dev/ttyUSB0", 9600, 0, 1});
        QCOMPARE(page.GetConnectionValues().portName, std::string());
    }

    void RefreshKeepsTheChosenPortWhileItIsThere() {
        CConnectSettingDlg page(true);
        page.SetConnectionValues(Entries({"/dev/ttyACM0", "/dev/ttyUSB0"}),
                                 ConnectionValues{"/dev/ttyUSB0", 921600, 0, 0});
        QCOMPARE(page.PortList()->currentIndex(), 1);
        // A new device before it, and the label of the chosen one grows.
        page.RefreshPorts({{"/dev/ttyACM0", "/dev/ttyACM0"},
                           {"/dev/ttyACM1", "/dev/ttyACM1"},
                           {"/dev/ttyUSB0", "/dev/ttyUSB0  (usb-FTDI_X-if00-port0)"}});
        QCOMPARE(page.PortList()->count(), 3);
        QCOMPARE(page.PortList()->currentIndex(), 2);
        QCOMPARE(page.GetConnectionValues().portName, std::string("/dev/ttyUSB0"));
        // The chosen one unplugged: the first entry.
        page.RefreshPorts(Entries({"/dev/ttyACM0", "/dev/ttyACM1"}));
        QCOMPARE(page.PortList()->currentIndex(), 0);
        // The same list again changes nothing, not even the user's choice.
        page.PortList()->setCurrentIndex(1);
        page.RefreshPorts(Entries({"/dev/ttyACM0", "/dev/ttyACM1"}));
        QCOMPARE(page.PortList()->currentIndex(), 1);
    }

    void PortAdviceIsPlainText() {
        CConnectSettingDlg page(true);
        page.SetAdvice("<b>/dev/ttyUSB0</b> belongs to the group dialout");
        QCOMPARE(page.AdviceLabel()->textFormat(), Qt::PlainText);
        QVERIFY(!page.AdviceLabel()->isHidden());
        page.SetAdvice({});
        QVERIFY(page.AdviceLabel()->isHidden());
    }

    // Connection mode: the caption, "Connect", only port, baud and the check
    // box visible; Enter connects, Escape cancels, and every control a user
    // operates has an accessible name.
    void ConnectionModeShowsOnlyTheConnectionControls() {
        CSettingDlg dialog;
        dialog.connection = ConnectionValues{"/dev/ttyUSB1", 230400, 1, 1};
        QStringList visible;
        QStringList unnamed;
        QString caption;
        QTimer::singleShot(0, &dialog, [&] {
            caption = dialog.windowTitle();
            for (QWidget* w : dialog.findChildren<QWidget*>()) {
                if (!w->isVisible()) {
                    continue;
                }
                if (auto* label = qobject_cast<QLabel*>(w)) {
                    visible << label->text();
                }
                const bool operable = qobject_cast<QAbstractButton*>(w) != nullptr ||
                                      qobject_cast<QComboBox*>(w) != nullptr;
                if (operable && AccessibleName(w).isEmpty()) {
                    unnamed << w->objectName();
                }
            }
            QTest::keyClick(&dialog, Qt::Key_Return);
        });
        const int result = dialog.RunDialog(Entries({"/dev/ttyUSB0", "/dev/ttyUSB1"}),
                                            CSettingDlg::kConnectionMode);
        QCOMPARE(result, int(CSettingDlg::kConfirmed));
        QCOMPARE(caption, QString("Connection settings"));
        QCOMPARE(dialog.ConfirmButton()->text(), QString("Connect"));
        QCOMPARE(visible, (QStringList{"Port", "Baud rate"}));
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        QCOMPARE(dialog.connection.portName, std::string("/dev/ttyUSB1"));
        QCOMPARE(dialog.connection.baud, 230400);

        QTimer::singleShot(0, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
        QCOMPARE(dialog.RunDialog(Entries({"/dev/ttyUSB0"}), CSettingDlg::kConnectionMode),
                 int(CSettingDlg::kCancelled));
        // A cancelled run keeps the values of the last confirmed one.
        QCOMPARE(dialog.connection.portName, std::string("/dev/ttyUSB1"));
    }
};

QTEST_MAIN(ConnectionDialogTests)
#include "ConnectionDialogTests.moc"
