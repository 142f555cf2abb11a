// What the start-up connection dialog tells a user whose port did not open:
// the permission advice (which group, which command) for a port refused for
// lack of permission, a short reason for other open errors. Runs the real
// application object; no module is needed, since no port opens.
//
// The tests run as root, for whom device permissions do not apply. A
// read-only sysfs attribute refuses to open for writing with EACCES even
// for root, so it stands in for a serial device of another group.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

#include "TempDir.h"
#include "app/ui/KytoDemoApp.h"
#include "base/DataFolder.h"
#include "base/PortPermission.h"
#include "link/DeviceLink.h"
#include "settings/ui/ConnectSettingDlg.h"
#include "settings/ui/SettingDlg.h"
#include "widgets/MessageBox.h"
#include "widgets/StateBmpButton.h"

namespace {

constexpr const char* kReadOnlyAttribute = "/sys/devices/system/cpu/online";

// errno of opening `path` the way the serial link opens a port.
int OpenError(const char* path) {
    const int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return 0;
    }
    return errno;
}

// Runs `handler` from the event loop of each connection dialog shown.
class CEachDialog : public QObject {
public:
    explicit CEachDialog(std::function<void(CSettingDlg*, int)> handler)
        : handler_(std::move(handler)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* d = qobject_cast<CSettingDlg*>(watched)) {
                const int run = ++runs_;
                QTimer::singleShot(0, d, [this, d, run] { handler_(d, run); });
            }
        }
        return false;
    }

private:
    std::function<void(CSettingDlg*, int)> handler_;
    int runs_ = 0;
};

}  // namespace

class ConnectionAdviceTests : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir_;

    // The dialog comes first (AutoConnect 0) with `port` chosen; the user
    // connects once, then gives up. Returns the advice shown the second
    // time and whether its label was visible.
    QString AdviceAfterConnecting(const std::string& port, bool& visible) {
        dir_ = std::make_unique<TempDir>();
        const DataFolderEntry entry =
            EnterDataFolder(PlanDataFolder(dir_->Path().string(), DataFolderHost::FromProcess()));
        if (!entry.ok) {
            return QString::fromStdString("data folder: " + entry.error);
        }
        std::ofstream("Application.ini")
            << "[Application]\nCOMPortName=" << port << "\nBaudRate=921600\nAutoConnect=0\n";
        CKytoDemoApp::Options options;
        options.delayBeforeConnectMs = 0;
        options.delayBeforeVersionMs = 0;
        options.portListIntervalMs = 50;
        CKytoDemoApp app(options);
        QString advice = "(no second dialog)";
        visible = false;
        CEachDialog answer([&](CSettingDlg* d, int run) {
            if (run == 1) {
                QVERIFY(d->ConnectionPage()->AdviceLabel()->isHidden());
                // Chosen by hand, as a user types a port the list lacks.
                std::vector<PortEntry> ports = d->ConnectionPage()->Ports();
                ports.push_back(PortEntry{port, port});
                d->ConnectionPage()->SetConnectionValues(ports,
                                                         ConnectionValues{port, 921600, 0, 0});
                d->ConfirmButton()->click();
                return;
            }
            advice = d->ConnectionPage()->AdviceLabel()->text();
            visible = !d->ConnectionPage()->AdviceLabel()->isHidden();
            d->CancelButton()->click();
        });
        const int started = app.Start();
        app.Finish();
        if (started != -1) {
            return "(connected)";
        }
        return advice;
    }

private slots:
    void init() {
        MessageBox::Reset();
        MessageBox::SetTestMode(true);
    }

    void cleanup() { dir_.reset(); }

    void APortRefusedForPermissionGetsTheAdvice() {
        if (OpenError(kReadOnlyAttribute) != EACCES) {
            QSKIP("no read-only sysfs attribute that refuses writing here");
        }
        bool visible = false;
        const QString advice = AdviceAfterConnecting(kReadOnlyAttribute, visible);
        QCOMPARE(advice, QString::fromStdString(DescribePortPermission(kReadOnlyAttribute)));
        QVERIFY(advice.contains(kReadOnlyAttribute));
        QVERIFY(visible);
        QCOMPARE(MessageBox::Shown().size(), qsizetype{2});
        QCOMPARE(MessageBox::Shown().at(0).text,
                 QString("Device is not responding.\nPlease verify connection."));
    }

    // Any other open error names the port and the reason, not the groups.
    void APortThatIsMissingGetsItsReason() {
        const std::string missing = "/dev/kyto-test-missing";
        bool visible = false;
        const QString advice = AdviceAfterConnecting(missing, visible);
        QCOMPARE(advice,
                 QString::fromStdString(missing + ": " + CDeviceLink::DescribeOpenError(ENOENT)));
        QVERIFY(visible);
    }
};

QTEST_MAIN(ConnectionAdviceTests)
#include "ConnectionAdviceTests.moc"
