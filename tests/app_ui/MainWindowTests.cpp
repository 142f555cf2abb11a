// The program as a user meets it: start-up against kyto-emu (connected at
// once, or through the connection dialog), the run modes driven through the
// main window, the module that falls silent or vanishes, the version box,
// and the shutdown order. Real windows (offscreen), the real core, boxes
// answered by the message box seam.

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "app/AppCore.h"
#include "app/ui/ExecuteDlg.h"
#include "app/ui/KytoDemoApp.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/ResultLogDlg.h"
#include "app/ui/WindowMessages.h"
#include "base/DataFolder.h"
#include "emulator/harness/EmuProcess.h"
#include "protocol/CommandTable.h"
#include "protocol/KytoProtocol.h"
#include "settings/Settings.h"
#include "settings/ui/ExecSettingDlg.h"
#include "settings/ui/MaintenanceDlg.h"
#include "settings/ui/QuellSettingDlg.h"
#include "settings/ui/SettingDlg.h"
#include "widgets/BusyIndicator.h"
#include "widgets/FileDialog.h"
#include "widgets/MessageBox.h"
#include "widgets/OrgComboBox.h"
#include "widgets/RangeEdit.h"
#include "widgets/StateBmpButton.h"
#include "widgets/WaitDlg.h"

namespace {

const QString kNotResponding = "Device is not responding.\nPlease verify connection.";
const QString kInterrupted = "Connection with Device was interrupted.\nApplication will terminate.";

// Command codes of every frame the application sends, in order (any
// thread: the worker sends them).
class CSentCommands : public IFrameObserver {
public:
    void OnFrame(int direction, const std::string&, int length,
                 const std::uint8_t* bytes) override {
        if (direction == 1 && length >= 2) {
            std::lock_guard lock(mutex_);
            codes_.push_back(bytes[1]);
        }
    }
    std::vector<int> Codes() const {
        std::lock_guard lock(mutex_);
        return codes_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        codes_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<int> codes_;
};

long Executes(const std::vector<int>& codes) {
    return std::count_if(codes.begin(), codes.end(),
                         [](int c) { return c == kCmdExecute || c == kCmdExecuteEx; });
}

// Runs `handler` once a widget of type T is shown (a modal dialog inside a
// nested event loop), from that loop.
template <class T>
class CWhenShown : public QObject {
public:
    explicit CWhenShown(std::function<void(T*)> handler) : handler_(std::move(handler)) {
        qApp->installEventFilter(this);
    }
    int Count() const { return count_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (T* w = qobject_cast<T*>(watched)) {
                ++count_;
                QTimer::singleShot(0, w, [this, w] { handler_(w); });
            }
        }
        return false;
    }

private:
    std::function<void(T*)> handler_;
    int count_ = 0;
};

QString AccessibleName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface != nullptr ? iface->text(QAccessible::Name) : QString();
}

QStringList BoxTexts() {
    QStringList texts;
    for (const MessageBox::Record& r : MessageBox::Shown()) {
        texts << r.text;
    }
    return texts;
}

}  // namespace

// A helper's failure ends the test function too.
#define START_CONNECTED(...)          \
    StartConnected(__VA_ARGS__);      \
    if (QTest::currentTestFailed()) { \
        return;                       \
    }

class MainWindowTests : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir_;
    std::unique_ptr<CEmuProcess> emu_;
    std::unique_ptr<CKytoDemoApp> app_;
    CSentCommands sent_;
    // Runs in the data folder before the program starts (files to spoil).
    std::function<void()> beforeStart_;
    // The port stored for the start, when not the emulator's own path.
    std::string storedPort_;

    // A data folder with the shipped files, the stored connection and the
    // given extra keys of its Application section; short waits and timeouts so a
    // silent module costs seconds.
    void PrepareFolder(const std::string& port, int autoConnect,
                       const std::string& applicationKeys = {}) {
        dir_ = std::make_unique<TempDir>();
        const DataFolderEntry entry =
            EnterDataFolder(PlanDataFolder(dir_->Path().string(), DataFolderHost::FromProcess()));
        QVERIFY2(entry.ok, entry.error.c_str());
        std::ofstream ini("Application.ini");
        ini << "[Application]\nCOMPortName=" << port
            << "\nBaudRate=921600\nAutoConnect=" << autoConnect << "\n"
            << applicationKeys << "[ActiveFunction]\nFunction=7\n[Retry]\nSettingTime=1\n";
        ini.close();
        std::ofstream("ImgTimeout.ini") << "[QVGA]\n921600=1\n[160x120]\n921600=1\n[NoImage]\n"
                                           "921600=1\n";
    }

    void StartEmulator(std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--no-line-timing", "--seed", "3", "--exit-with-parent"});
        emu_ = std::make_unique<CEmuProcess>(options);
        QVERIFY2(emu_->Start(), emu_->Error().c_str());
    }

    CKytoDemoApp::Options FastOptions() {
        CKytoDemoApp::Options o;
        o.delayBeforeConnectMs = 0;
        o.delayBeforeVersionMs = 20;
        o.portListIntervalMs = 50;
        o.prepareCore = [this](CAppCore& core) { core.Device().SetFrameObserver(&sent_); };
        return o;
    }

    // Started, connected, the album check done.
    void StartConnected(std::vector<std::string> emuOptions = {},
                        const std::string& applicationKeys = {}) {
        StartEmulator(std::move(emuOptions));
        if (QTest::currentTestFailed()) {
            return;
        }
        PrepareFolder(storedPort_.empty() ? emu_->PortPath() : storedPort_, 1, applicationKeys);
        if (beforeStart_) {
            beforeStart_();
        }
        app_ = std::make_unique<CKytoDemoApp>(FastOptions());
        // Should the stored port not connect, the dialog is cancelled at once.
        CWhenShown<CSettingDlg> cancel([](CSettingDlg* d) { d->CancelButton()->click(); });
        QCOMPARE(app_->Start(), 0);
        QVERIFY(app_->MainWindow() != nullptr);
        QSignalSpy readySpy(app_->MainWindow(), &CKytoDemoDlg::Ready);
        QVERIFY(readySpy.wait(20000));
    }

    CKytoDemoDlg& Window() { return *app_->MainWindow(); }

    // Closes the window and waits for its shutdown sequence.
    void CloseAndFinish() {
        QSignalSpy finished(app_.get(), &CKytoDemoApp::MainWindowFinished);
        QTimer::singleShot(0, &Window(), [this] { Window().close(); });
        QVERIFY(finished.wait(30000));
        app_->Finish();
    }

private slots:
    void init() {
        sent_.Clear();
        MessageBox::Reset();
        MessageBox::SetTestMode(true);
        FileDialog::Reset();
        FileDialog::SetTestMode(true);
    }

    void cleanup() {
        beforeStart_ = nullptr;
        storedPort_.clear();
        app_.reset();
        emu_.reset();
        dir_.reset();
    }

    void StartupConnectsToTheStoredPortAndShowsItInTheTitle() {
        START_CONNECTED({"--model", "KYTO-EMU", "--version", "1.2.3", "--revision", "4"});
        const QString title = Window().windowTitle();
        QCOMPARE(title, QString("Kyto Demo %1 - %2:921600baud - F/W 1.2.3.4")
                            .arg(CKytoDemoDlg::ApplicationVersion(),
                                 QString::fromStdString(emu_->PortPath())));
        QVERIFY(Window().Connected());
        QCOMPARE(Window().Mode(), int(CKytoDemoDlg::kIdle));
        QVERIFY2(MessageBox::Shown().isEmpty(), qPrintable(BoxTexts().join(" | ")));
        CloseAndFinish();
        QVERIFY(app_->DisconnectedAtExit());
    }

    // The connection dialog comes when no port is stored, when connecting
    // at start is off, and after the stored port failed; giving up there
    // shows box 5010 and ends without a main window.
    void CancellingTheConnectionDialogEndsTheProgram_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("autoConnect");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("no stored port, AutoConnect 1") << "" << 1 << QStringList{kInterrupted};
        QTest::newRow("AutoConnect 0") << "emulator" << 0 << QStringList{kInterrupted};
        QTest::newRow("stored port missing")
            << "/dev/kyto-test-missing" << 1 << QStringList{kInterrupted};
    }
    void CancellingTheConnectionDialogEndsTheProgram() {
        QFETCH(QString, port);
        QFETCH(int, autoConnect);
        QFETCH(QStringList, boxes);
        StartEmulator();
        PrepareFolder(port == "emulator" ? emu_->PortPath() : port.toStdString(), autoConnect);
        app_ = std::make_unique<CKytoDemoApp>(FastOptions());
        CWhenShown<CSettingDlg> cancel([](CSettingDlg* d) { d->CancelButton()->click(); });
        QCOMPARE(app_->Start(), -1);
        QCOMPARE(cancel.Count(), 1);
        QVERIFY(app_->MainWindow() == nullptr);
        QCOMPARE(BoxTexts(), boxes);
        QCOMPARE(MessageBox::Shown().at(0).icon, QMessageBox::Information);
        // Nothing was sent to the emulator but what a failed open sends.
        QCOMPARE(Executes(sent_.Codes()), 0L);
    }

    // A port that opens but does not answer: box 5000, the dialog again;
    // then the user picks the emulator, which the list offers, and the
    // program starts with "Connect on startup" saved as chosen.
    void FailedConnectionAsksAgainThenConnects() {
        StartEmulator();
        PrepareFolder("/dev/null", 0);
        app_ = std::make_unique<CKytoDemoApp>(FastOptions());
        const std::string emuPort = emu_->PortPath();
        int runs = 0;
        CWhenShown<CSettingDlg> answer([&](CSettingDlg* d) {
            ++runs;
            CConnectSettingDlg* page = d->ConnectionPage();
            if (runs == 1) {
                QCOMPARE(page->PortList()->currentText().left(9), QString("/dev/null"));
                d->ConfirmButton()->click();
                return;
            }
            const auto& ports = page->Ports();
            const auto it = std::find_if(ports.begin(), ports.end(),
                                         [&](const PortEntry& e) { return e.name == emuPort; });
            if (it == ports.end()) {
                // Not listed: choose it by hand as a user would type it.
                PortEntry e{emuPort, emuPort};
                std::vector<PortEntry> list = ports;
                list.push_back(e);
                page->SetConnectionValues(list, ConnectionValues{emuPort, 921600, 0, 1});
            } else {
                page->PortList()->setCurrentIndex(static_cast<int>(it - ports.begin()));
            }
            page->AutoConnectBox()->setChecked(true);
            d->ConfirmButton()->click();
        });
        QCOMPARE(app_->Start(), 0);
        QSignalSpy readySpy(app_->MainWindow(), &CKytoDemoDlg::Ready);
        QVERIFY(readySpy.wait(20000));
        QCOMPARE(runs, 2);
        QCOMPARE(BoxTexts(), QStringList{kNotResponding});
        QVERIFY(Window().Connected());
        QCOMPARE(app_->Core()->Status()->autoConnect, 1);
        CloseAndFinish();
        QCOMPARE(ReadAutoConnect(), 1);
        std::string port;
        int baud = 0;
        ReadComSettings(port, baud);
        QCOMPARE(port, emuPort);
    }

    void ExecuteOnceShowsAFrameAndABlock() {
        START_CONNECTED();
        QSignalSpy shown(&Window(), &CKytoDemoDlg::FrameShown);
        CResultLogDlg& log = Window().MainPage()->ResultLog();
        const int blocksBefore = log.BlockCount();
        Window().MainPage()->ExecutePage().ExecuteOnceButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(Window().Mode(), int(CKytoDemoDlg::kIdle), 20000);
        QVERIFY(!Window().LoopRunning());
        QCOMPARE(log.BlockCount(), blocksBefore + 1);
        QVERIFY(log.Text().contains("Return code:00"));
        QCOMPARE(Executes(sent_.Codes()), 1L);
        CloseAndFinish();
    }

    // Continuous, then Album (the live image runs), then Main: continuous
    // again. Execute once while continuous runs stops it and ends idle.
    void TabsStopAndRestartTheRunningLoop() {
        START_CONNECTED();
        QSignalSpy shown(&Window(), &CKytoDemoDlg::FrameShown);
        Window().MainPage()->ExecutePage().ExecuteContinuousButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 2, 20000);
        QCOMPARE(Window().Mode(), int(CKytoDemoDlg::kContinuous));

        Window().AlbumTabButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(Window().Mode(), int(CKytoDemoDlg::kLiveImage), 20000);
        QVERIFY(Window().LoopRunning());
        QVERIFY(!Window().MainTabSelected());
        const long executes = Executes(sent_.Codes());

        Window().MainTabButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(Window().Mode(), int(CKytoDemoDlg::kContinuous), 20000);
        QVERIFY(Window().MainTabSelected());
        shown.clear();
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 2, 20000);
        QVERIFY(Executes(sent_.Codes()) > executes);

        Window().MainPage()->ExecutePage().ExecuteOnceButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!Window().LoopRunning() && Window().Mode() == CKytoDemoDlg::kIdle,
                                 20000);
        QVERIFY(!Window().MainPage()->ExecutePage().ExecuteContinuousButton()->isChecked());
        CloseAndFinish();
    }

    // A module that stops answering mid-run: box 5000, the execute buttons
    // released, idle; one whose port vanishes: the same, and the title says
    // it is not connected.
    void AModuleThatStopsAnsweringGivesABoxAndReleasedButtons_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("notConnected");
        QTest::newRow("silent") << "--silent-after" << false;
        QTest::newRow("vanished") << "--vanish-after" << true;
    }
    void AModuleThatStopsAnsweringGivesABoxAndReleasedButtons() {
        QFETCH(QString, fault);
        QFETCH(bool, notConnected);
        START_CONNECTED({fault.toStdString(), "40"});
        QAbstractButton* continuous = Window().MainPage()->ExecutePage().ExecuteContinuousButton();
        continuous->click();
        QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::Shown().isEmpty(), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(Window().Mode(), int(CKytoDemoDlg::kIdle), 10000);
        QCOMPARE(BoxTexts(), QStringList{kNotResponding});
        QVERIFY(!Window().LoopRunning());
        QVERIFY(!continuous->isChecked());
        QCOMPARE(Window().windowTitle().endsWith("Not connected."), notConnected);
        if (notConnected) {
            // No separator between the version and the text.
            QCOMPARE(Window().windowTitle(),
                     "Kyto Demo " + CKytoDemoDlg::ApplicationVersion() + "Not connected.");
        }
        CloseAndFinish();
    }

    // Closing during a continuous run: the loop stops before the album
    // comparison (no Execute after the first Save Album), and the module is
    // disconnected at the end.
    void ClosingDuringAContinuousRunStopsItFirst() {
        START_CONNECTED();
        QSignalSpy shown(&Window(), &CKytoDemoDlg::FrameShown);
        Window().MainPage()->ExecutePage().ExecuteContinuousButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 2, 20000);
        const std::size_t before = sent_.Codes().size();
        CloseAndFinish();
        const std::vector<int> codes = sent_.Codes();
        const auto firstSave =
            std::find(codes.begin() + static_cast<long>(before), codes.end(), kCmdSaveAlbum);
        QVERIFY2(firstSave != codes.end(), "no album comparison at exit");
        QCOMPARE(Executes(std::vector<int>(firstSave, codes.end())), 0L);
        QVERIFY(app_->DisconnectedAtExit());
    }

    // The shortcut settings drive the page: Ctrl+Shift+X (from "^_x") runs
    // one frame, as the execute-once button would.
    void ShortcutKeysFromTheSettingsRunTheirCommands() {
        START_CONNECTED({}, "ShotcutKey_Picture=^_x\n");
        QSignalSpy shown(&Window(), &CKytoDemoDlg::FrameShown);
        Window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Window()));
        QTest::keyClick(&Window(), Qt::Key_X, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(Window().Mode(), int(CKytoDemoDlg::kIdle), 20000);
        QCOMPARE(Executes(sent_.Codes()), 1L);
        CloseAndFinish();
    }

    // A module that answers Execute with an error code: the loop records it,
    // and stopping the run shows box 9000 when debug logging is on.
    void ModuleErrorCodeIsShownWhenTheRunStops() {
        StartEmulator({"--disable", "03", "--disable", "04"});
        if (QTest::currentTestFailed()) {
            return;
        }
        PrepareFolder(emu_->PortPath(), 1);
        std::ofstream("Debug.ini") << "[Log]\n";
        app_ = std::make_unique<CKytoDemoApp>(FastOptions());
        QCOMPARE(app_->Start(), 0);
        QSignalSpy ready(app_->MainWindow(), &CKytoDemoDlg::Ready);
        QVERIFY(ready.wait(20000));
        MessageBox::ClearShown();
        QAbstractButton* continuous = Window().MainPage()->ExecutePage().ExecuteContinuousButton();
        continuous->click();
        QTRY_VERIFY_WITH_TIMEOUT(Executes(sent_.Codes()) >= 2, 20000);
        if (Window().Mode() == CKytoDemoDlg::kContinuous) {
            continuous->click();  // stop
        }
        QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::Shown().isEmpty(), 30000);
        const QString text = MessageBox::Shown().constLast().text;
        QVERIFY2(text.startsWith("An error occured with the execute command. (Error code: "),
                 qPrintable(BoxTexts().join(" | ")));
        QVERIFY(text.contains(QDir::currentPath()));
        QTRY_COMPARE_WITH_TIMEOUT(Window().Mode(), int(CKytoDemoDlg::kIdle), 20000);
        CloseAndFinish();
    }

    // While a handler waits for the worker behind the wait dialog, the
    // window thread keeps running: the dialog's busy indicator moves.
    void TheWindowKeepsRunningWhileTheWaitDialogIsShown() {
        START_CONNECTED({"--delay-ms", "600"});
        QSignalSpy shown(&Window(), &CKytoDemoDlg::FrameShown);
        Window().MainPage()->ExecutePage().ExecuteContinuousButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 20000);
        int stepsAtShow = -1;
        int maxAdvance = 0;
        CWhenShown<CWaitDlg> watch([&](CWaitDlg* w) {
            stepsAtShow = w->BusyIndicator()->Step();
            auto* poll = new QTimer(w);
            QObject::connect(poll, &QTimer::timeout, w, [&, w] {
                maxAdvance = std::max(maxAdvance, w->BusyIndicator()->Step() - stepsAtShow);
            });
            QObject::connect(w, &QDialog::finished, poll, &QObject::deleteLater);
            poll->start(20);
        });
        // Stop: the worker answers after the frame in flight (up to 600 ms).
        Window().MainPage()->ExecutePage().ExecuteContinuousButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!Window().LoopRunning(), 20000);
        QVERIFY(watch.Count() >= 1);
        QVERIFY2(maxAdvance >= 2,
                 qPrintable(QString("busy indicator advanced %1").arg(maxAdvance)));
        CloseAndFinish();
    }

    // The banner: a click shows the version box with the module's texts as
    // plain text; a press that moves 6 pixels is no click.
    void BannerClickShowsTheVersionBoxAsPlainText() {
        START_CONNECTED({"--model", "<b>K</b>&", "--version", "2.0.1", "--revision", "7"});
        MessageBox::ClearShown();  // the album check may have asked something
        QWidget* banner = Window().Banner();
        const QPoint p(10, 10);
        QTest::mousePress(banner, Qt::LeftButton, {}, p);
        QMouseEvent move(QEvent::MouseMove, QPointF(p + QPoint(6, 0)),
                         banner->mapToGlobal(QPointF(p + QPoint(6, 0))), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(banner, &move);
        QTest::mouseRelease(banner, Qt::LeftButton, {}, p + QPoint(6, 0));
        QCoreApplication::processEvents();
        QVERIFY2(MessageBox::Shown().isEmpty(), qPrintable(BoxTexts().join(" | ")));

        QTest::mouseClick(banner, Qt::LeftButton, {}, p);
        QTRY_COMPARE_WITH_TIMEOUT(MessageBox::Shown().size(), qsizetype{1}, 20000);
        QCOMPARE(MessageBox::Shown().at(0).text,
                 QString("<b>K</b>& Firmware version\n    2.0.1.7"));
        QCOMPARE(MessageBox::Shown().at(0).icon, QMessageBox::Information);
        // The title shows the firmware; the result pane the module's text as
        // typed, not as markup.
        QVERIFY(Window().windowTitle().endsWith(" - F/W 2.0.1.7"));
        CloseAndFinish();
    }

    // Every control a user can operate, in the main window and its pages,
    // has an accessible name.
    void EveryOperableControlHasAnAccessibleName() {
        START_CONNECTED();
        QStringList unnamed;
        for (QWidget* w : Window().findChildren<QWidget*>()) {
            const bool operable = qobject_cast<QAbstractButton*>(w) != nullptr ||
                                  qobject_cast<QComboBox*>(w) != nullptr || w == Window().Banner();
            if (operable && w->isVisibleTo(&Window()) && AccessibleName(w).isEmpty()) {
                unnamed << QString("%1 (%2)").arg(w->objectName(), w->metaObject()->className());
            }
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        QCOMPARE(AccessibleName(Window().MainTabButton()), QString("Main"));
        QCOMPARE(AccessibleName(Window().AlbumTabButton()), QString("Album"));
        CloseAndFinish();
    }

    // The Settings button stops the continuous run while the settings
    // dialog is shown and restarts it afterwards. Cancel after changes
    // writes nothing; OK writes the log flag and the stabilisation keys.
    void SettingsStopTheRunAndSaveOnlyOnOk() {
        START_CONNECTED();
        QSignalSpy shown(&Window(), &CKytoDemoDlg::FrameShown);
        Window().MainPage()->ExecutePage().ExecuteContinuousButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() >= 1, 20000);
        const auto readIni = [] {
            std::ifstream in("Application.ini");
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        const std::string before = readIni();
        bool confirm = false;
        int runningWhileShown = 0;
        CWhenShown<CSettingDlg> answer([&](CSettingDlg* d) {
            runningWhileShown += Window().LoopRunning() ? 1 : 0;
            QCOMPARE(d->Tabs()->count(), 5);
            d->LogOutputBox()->setChecked(true);
            d->StabilizationPage()->peFrame()->SetInt(17);
            (confirm ? d->ConfirmButton() : d->CancelButton())->click();
        });
        Window().MainPage()->ExecutePage().SettingsButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(answer.Count(), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(Window().LoopRunning(), 20000);
        QCOMPARE(readIni(), before);

        confirm = true;
        Window().MainPage()->ExecutePage().SettingsButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(answer.Count(), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(readIni().find("OutputLogFlag=1") != std::string::npos, 20000);
        QVERIFY(readIni().find("QuellPeFrame=17") != std::string::npos);
        QVERIFY(readIni().find("QuellRetryCount=2") != std::string::npos);
        QVERIFY(readIni().find("AutoConnect=1") != std::string::npos);
        QCOMPARE(runningWhileShown, 0);
        const int frames = static_cast<int>(shown.count());
        QTRY_VERIFY_WITH_TIMEOUT(shown.count() > frames, 20000);
        QCOMPARE(Window().Mode(), int(CKytoDemoDlg::kContinuous));
        QVERIFY(MessageBox::Shown().isEmpty());
        CloseAndFinish();
    }

    // "Delete all data" on the Maintenance page: answered No nothing goes to
    // the module; answered Yes the module's album is reformatted and the
    // local copy and the registration counter go with it.
    void DeleteAllDataAsksFirst() {
        START_CONNECTED();
        std::filesystem::create_directories("DB");
        std::ofstream("DB/kylxx.kyb") << "album";
        const std::string folder = app_->Core()->Status()->deviceFolder;
        QVERIFY(!folder.empty());
        WriteRegistCount(folder, 7);
        std::size_t sentAtNo = 0;
        std::size_t sentAfterNo = 0;
        CWhenShown<CSettingDlg> answer([&](CSettingDlg* d) {
            d->Tabs()->setCurrentWidget(d->MaintenancePage());
            MessageBox::SetNextAnswer(QMessageBox::No);
            sentAtNo = sent_.Codes().size();
            d->MaintenancePage()->DeleteAllButton()->click();
            sentAfterNo = sent_.Codes().size();
            MessageBox::SetNextAnswer(QMessageBox::Yes);
            d->MaintenancePage()->DeleteAllButton()->click();
            d->CancelButton()->click();
        });
        Window().MainPage()->ExecutePage().SettingsButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(answer.Count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(MessageBox::Shown().size(), qsizetype{3}, 20000);
        QCOMPARE(sentAfterNo, sentAtNo);
        const QList<MessageBox::Record> boxes = MessageBox::Shown();
        QVERIFY(boxes.at(0).text.startsWith("Do you really want to delete all data"));
        QCOMPARE(boxes.at(0).answer, QMessageBox::No);
        QCOMPARE(boxes.at(1).answer, QMessageBox::Yes);
        QCOMPARE(boxes.at(2).text, QString("Delete completed."));
        const std::vector<int> codes = sent_.Codes();
        QCOMPARE(std::count(codes.begin(), codes.end(), int(kCmdReformatAlbum)), 1L);
        QVERIFY(!std::filesystem::exists("DB/kylxx.kyb"));
        QCOMPARE(ReadRegistCount(folder), 0);
        CloseAndFinish();
    }

    // Confirming the settings sends only the groups that changed, then Get
    // Version: the roll code alone is one command; nothing changed is Get
    // Version alone. The accepted code is kept in the device's Settings.ini.
    void SettingsSendOnlyWhatChanged() {
        START_CONNECTED();
        const std::string folder = app_->Core()->Status()->deviceFolder;
        const int roll = app_->Core()->Status()->current.rollCode;
        std::size_t mark = 0;
        bool changeRoll = true;
        CWhenShown<CSettingDlg> answer([&](CSettingDlg* d) {
            QCOMPARE(d->Tabs()->indexOf(d->ExecutionPage()), 2);
            mark = sent_.Codes().size();
            if (changeRoll) {
                d->Tabs()->setCurrentWidget(d->ExecutionPage());
                d->ExecutionPage()->RollList()->SelectByData(roll == 0 ? 1 : 0);
            }
            d->ConfirmButton()->click();
        });
        const auto sentSinceMark = [&] {
            const std::vector<int> codes = sent_.Codes();
            return std::vector<int>(codes.begin() + static_cast<long>(std::min(mark, codes.size())),
                                    codes.end());
        };
        Window().MainPage()->ExecutePage().SettingsButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(answer.Count(), 1, 20000);
        const std::vector<int> rollOnly = {kCmdSetFaceAngle, kCmdGetVersion};
        QTRY_COMPARE_WITH_TIMEOUT(sentSinceMark(), rollOnly, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!Window().WaitDialog()->isVisible(), 20000);
        DeviceSettings stored;
        ReadDeviceSettings(folder, stored);
        QCOMPARE(stored.rollCode, roll == 0 ? 1 : 0);
        QVERIFY(!Window().windowTitle().endsWith("Not connected."));

        changeRoll = false;
        Window().MainPage()->ExecutePage().SettingsButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(answer.Count(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(sentSinceMark(), std::vector<int>{kCmdGetVersion}, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!Window().WaitDialog()->isVisible(), 20000);
        QVERIFY(MessageBox::Shown().isEmpty());
        CloseAndFinish();
    }

    // A module that refuses the face angles: the thresholds sent before
    // them stay kept, the face angles do not, box 5000 is shown and the
    // title says "Not connected." straight after the version.
    void AFailedApplyKeepsTheEarlierStepsAndTheTitleSaysNotConnected() {
        START_CONNECTED({"--disable", "09"});
        const std::string folder = app_->Core()->Status()->deviceFolder;
        const int roll = app_->Core()->Status()->current.rollCode;
        CWhenShown<CSettingDlg> answer([&](CSettingDlg* d) {
            d->ExecutionPage()->ThresholdBox(0)->SetInt(777);
            d->ExecutionPage()->RollList()->SelectByData(roll == 0 ? 1 : 0);
            d->ConfirmButton()->click();
        });
        Window().MainPage()->ExecutePage().SettingsButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(answer.Count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(BoxTexts(), QStringList{kNotResponding}, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!Window().WaitDialog()->isVisible(), 20000);
        QCOMPARE(Window().windowTitle(),
                 QString("Kyto Demo %1Not connected.").arg(CKytoDemoDlg::ApplicationVersion()));
        QCOMPARE(Window().Mode(), int(CKytoDemoDlg::kIdle));
        DeviceSettings stored;
        ReadDeviceSettings(folder, stored);
        QCOMPARE(stored.thresholds[0], 777);
        QCOMPARE(stored.rollCode, roll);
        CloseAndFinish();
    }

    // "Reset values" on the Execution page when DefSettings.dat could not be
    // read: every box shows -1, the angle lists keep their choice, and
    // Cancel sends nothing.
    void ExecutionResetWithUnreadableDefaults() {
        beforeStart_ = [] {
            std::filesystem::remove("DefSettings.dat");
            std::filesystem::create_directory("DefSettings.dat");
        };
        START_CONNECTED();
        std::size_t mark = 0;
        QStringList texts;
        QString yaw;
        CWhenShown<CSettingDlg> answer([&](CSettingDlg* d) {
            mark = sent_.Codes().size();
            CExecSettingDlg* page = d->ExecutionPage();
            d->Tabs()->setCurrentWidget(page);
            page->YawList()->SelectByData(2);
            page->ResetButton()->click();
            for (int i = 0; i < 5; ++i) {
                texts << page->ThresholdBox(i)->text();
            }
            texts << page->SizeMinBox(2)->text() << page->SizeMaxBox(2)->text();
            yaw = page->YawList()->currentText();
            d->CancelButton()->click();
        });
        Window().MainPage()->ExecutePage().SettingsButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(answer.Count(), 1, 20000);
        QCOMPARE(texts, QStringList(7, "-1"));
        QCOMPARE(yaw, QString::fromUtf8("±90°"));
        QCOMPARE(sent_.Codes().size(), mark);
        CloseAndFinish();
    }

    // The module's album type as the Maintenance page shows it: read at
    // start, set to another type (the page keeps showing the type read
    // last), and read again.
    void AlbumTypeIsReadAtStartSetAndReadAgain() {
        START_CONNECTED();
        QList<QList<bool>> shown;
        CWhenShown<CSettingDlg> answer([&](CSettingDlg* d) {
            CMaintenanceDlg* page = d->MaintenancePage();
            const auto state = [&] {
                shown << QList<bool>{page->AlbumTypeButton(0)->isChecked(),
                                     page->AlbumTypeButton(1)->isChecked(),
                                     page->AlbumTypeButton(2)->isChecked()};
            };
            d->Tabs()->setCurrentWidget(page);
            state();
            page->AlbumTypeButton(1)->click();
            page->SetAlbumTypeButton()->click();
            d->Tabs()->setCurrentIndex(0);
            d->Tabs()->setCurrentWidget(page);
            state();
            page->GetAlbumTypeButton()->click();
            state();
            d->CancelButton()->click();
        });
        Window().MainPage()->ExecutePage().SettingsButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(answer.Count(), 1, 20000);
        QCOMPARE(shown, (QList<QList<bool>>{
                            {true, false, false}, {true, false, false}, {false, true, false}}));
        const std::vector<int> codes = sent_.Codes();
        QCOMPARE(std::count(codes.begin(), codes.end(), int(kCmdSetAlbumType)), 1L);
        QVERIFY2(MessageBox::Shown().isEmpty(), qPrintable(BoxTexts().join("|")));
        CloseAndFinish();
    }

    // The module's port vanishes during a continuous run and comes back at
    // the same path (a new emulator making the same link). First the offer
    // is declined and the settings dialog, not connected, connects again with
    // the port it shows; the port vanishes once more, and this time the
    // offer is taken. Each time detection runs again.
    void AVanishedPortComesBackAndIsConnectedAgain() {
        const std::filesystem::path linkDir =
            std::filesystem::temp_directory_path() /
            ("kyto-return-" + std::to_string(QCoreApplication::applicationPid()));
        std::filesystem::remove_all(linkDir);
        std::filesystem::create_directories(linkDir);
        const std::string link = (linkDir / "module").string();
        storedPort_ = link;
        const std::vector<std::string> vanishing = {"--link", link, "--vanish-after", "40"};
        START_CONNECTED(vanishing);
        QSignalSpy shown(&Window(), &CKytoDemoDlg::FrameShown);
        const auto loseThePort = [&](int boxes) {
            Window().MainPage()->ExecutePage().ExecuteContinuousButton()->click();
            QTRY_COMPARE_WITH_TIMEOUT(MessageBox::Shown().size(), qsizetype(boxes), 60000);
            QCOMPARE(MessageBox::Shown().last().text, kNotResponding);
            QTRY_VERIFY_WITH_TIMEOUT(Window().windowTitle().endsWith("Not connected."), 10000);
            QTRY_VERIFY_WITH_TIMEOUT(!std::filesystem::exists(link), 10000);
        };
        const auto detectOnce = [&] {
            const auto frames = shown.count();
            Window().MainPage()->ExecutePage().ExecuteOnceButton()->click();
            QTRY_VERIFY_WITH_TIMEOUT(shown.count() > frames, 20000);
        };

        loseThePort(1);
        // Back, and the offer declined (an unanswered box says No).
        StartEmulator(vanishing);
        QTRY_COMPARE_WITH_TIMEOUT(MessageBox::Shown().size(), qsizetype(2), 10000);
        QVERIFY(MessageBox::Shown().last().text.startsWith("The device is back on"));
        QVERIFY(!Window().Connected());
        QString portShown;
        CWhenShown<CSettingDlg> confirm([&](CSettingDlg* d) {
            if (d->ConnectionPage() != nullptr) {
                portShown = d->ConnectionPage()->PortList()->currentText();
            }
            d->ConfirmButton()->click();
        });
        Window().MainPage()->ExecutePage().SettingsButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(confirm.Count(), 1, 20000);
        QVERIFY2(portShown.startsWith(QString::fromStdString(link)), qPrintable(portShown));
        QTRY_VERIFY_WITH_TIMEOUT(Window().Connected(), 20000);
        QVERIFY(Window().windowTitle().contains(QString::fromStdString(link)));
        detectOnce();

        loseThePort(3);
        MessageBox::SetNextAnswer(QMessageBox::Yes);
        StartEmulator({"--link", link});
        QTRY_VERIFY_WITH_TIMEOUT(Window().Connected(), 20000);
        QCOMPARE(MessageBox::Shown().size(), qsizetype(4));
        QVERIFY(MessageBox::Shown().last().text.startsWith("The device is back on"));
        detectOnce();
        CloseAndFinish();
        std::filesystem::remove_all(linkDir);
    }
};

QTEST_MAIN(MainWindowTests)
#include "MainWindowTests.moc"
