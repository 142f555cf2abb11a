// The Album tab as a user meets it, against kyto-emu: a person registered
// from the live picture is recognised on the Main tab, survives an album
// file saved, every user deleted and the file opened again; a save cut
// short at 9600 baud changes nothing; refused registrations add nothing;
// moves and renames keep each row's name. Real windows (offscreen), the
// real core, boxes and file dialogs answered by their seams.

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "TempDir.h"
#include "album/AlbumMngr.h"
#include "album/ui/AlbumProgressDlg.h"
#include "album/ui/IDSelectDlg.h"
#include "album/ui/NameInputDlg.h"
#include "album/ui/RegPreviewDlg.h"
#include "album/ui/RegUserDlg.h"
#include "album/ui/RegistDlg.h"
#include "album/ui/RegistImgPage.h"
#include "app/AlbumJobs.h"
#include "app/AppCore.h"
#include "app/ui/ExecuteDlg.h"
#include "app/ui/KytoDemoApp.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/ResultLogDlg.h"
#include "base/DataFolder.h"
#include "emulator/harness/EmuProcess.h"
#include "protocol/CommandTable.h"
#include "protocol/KytoProtocol.h"
#include "settings/ui/SettingDlg.h"
#include "widgets/FileDialog.h"
#include "widgets/MessageBox.h"
#include "widgets/OrgListCtrl.h"
#include "widgets/ProgressDlg.h"
#include "widgets/StateBmpButton.h"
#include "widgets/WaitDlg.h"

namespace {

// Runs `handler` from the nested event loop once a widget of type T shows.
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

// Pictures of the windows for a look, when KYTO_ALBUM_SHOTS names a folder.
void Shot(QWidget* w, const char* name) {
    const QString folder = qEnvironmentVariable("KYTO_ALBUM_SHOTS");
    if (!folder.isEmpty()) {
        w->grab().save(folder + "/" + name + ".png");
    }
}

QStringList BoxTexts() {
    QStringList texts;
    for (const MessageBox::Record& r : MessageBox::Shown()) {
        texts << r.text;
    }
    return texts;
}

std::vector<int> RowIds(const CRegUserDlg& list) {
    return list.RowOrder();
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// CRC-32 (the emulator's album block check).
std::uint32_t Crc32(const std::vector<std::uint8_t>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int k = 0; k < 4; ++k) {
        v[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(x >> (8 * k));
    }
}

// An album image file (.kyb, also the emulator's flash file) holding
// `entries` data of users 0, 1, ...: a few blocks that take seconds at 9600.
std::vector<std::uint8_t> AlbumImageFile(int entries) {
    std::vector<std::uint8_t> block(32 + 816 * static_cast<std::size_t>(entries), 0);
    block[0] = 'K';
    block[1] = 'E';
    block[2] = 'A';
    block[3] = 'L';
    block[4] = 1;
    Put32(block, 8, static_cast<std::uint32_t>(entries));
    Put32(block, 12, 816);
    for (int e = 0; e < entries; ++e) {
        const std::size_t at = 32 + 816 * static_cast<std::size_t>(e);
        block[at] = static_cast<std::uint8_t>(e);
        Put32(block, at + 4, 1000u + static_cast<std::uint32_t>(e));
        for (std::size_t k = 8; k < 816; ++k) {
            block[at + k] = static_cast<std::uint8_t>(k * 7 + static_cast<std::size_t>(e));
        }
    }
    Put32(block, 16, Crc32(block));
    std::vector<std::uint8_t> file(8 + block.size(), 0);
    Put32(file, 0, static_cast<std::uint32_t>(block.size()));
    std::copy(block.begin(), block.end(), file.begin() + 8);
    return file;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

#define START_CONNECTED(...)          \
    StartConnected(__VA_ARGS__);      \
    if (QTest::currentTestFailed()) { \
        return;                       \
    }

class AlbumTabTests : public QObject {
    Q_OBJECT

    std::unique_ptr<TempDir> dir_;
    // The module's flash file, outside the data folder; removed after each test.
    std::string flash_;
    std::unique_ptr<CEmuProcess> emu_;
    std::unique_ptr<CKytoDemoApp> app_;
    std::function<void()> beforeStart_;
    // Called on the worker when a Save Album command is sent.
    std::function<void()> saveAlbumSent_;
    std::mutex sentMutex_;

    class CSaveAlbumWatch : public IFrameObserver {
    public:
        explicit CSaveAlbumWatch(AlbumTabTests& test) : test_(test) {}
        void OnFrame(int direction, const std::string&, int length,
                     const std::uint8_t* bytes) override {
            if (direction == 1 && length >= 2 && bytes[1] == kCmdSaveAlbum) {
                std::lock_guard lock(test_.sentMutex_);
                if (test_.saveAlbumSent_) {
                    test_.saveAlbumSent_();
                }
            }
        }

    private:
        AlbumTabTests& test_;
    };
    CSaveAlbumWatch watch_{*this};

    // Face and recognition on; short waits.
    void StartConnected(std::vector<std::string> emuOptions, int baud = 921600) {
        emu_ = std::make_unique<CEmuProcess>(emuOptions);
        QVERIFY2(emu_->Start(), emu_->Error().c_str());
        dir_ = std::make_unique<TempDir>();
        const DataFolderEntry entry =
            EnterDataFolder(PlanDataFolder(dir_->Path().string(), DataFolderHost::FromProcess()));
        QVERIFY2(entry.ok, entry.error.c_str());
        std::ofstream("Application.ini")
            << "[Application]\nCOMPortName=" << emu_->PortPath() << "\nBaudRate=" << baud
            << "\nAutoConnect=1\n[ActiveFunction]\nFunction=516\n[Retry]\nSettingTime=1\n";
        if (beforeStart_) {
            beforeStart_();
        }
        CKytoDemoApp::Options o;
        o.delayBeforeConnectMs = 0;
        o.delayBeforeVersionMs = 20;
        o.portListIntervalMs = 50;
        o.prepareCore = [this](CAppCore& core) { core.Device().SetFrameObserver(&watch_); };
        app_ = std::make_unique<CKytoDemoApp>(o);
        CWhenShown<CSettingDlg> cancel([](CSettingDlg* d) { d->CancelButton()->click(); });
        QCOMPARE(app_->Start(), 0);
        QVERIFY(app_->MainWindow() != nullptr);
        QSignalSpy ready(app_->MainWindow(), &CKytoDemoDlg::Ready);
        QVERIFY(ready.wait(30000));
        QTRY_VERIFY_WITH_TIMEOUT(Window().WaitDialog()->isHidden(), 30000);
    }

    CKytoDemoDlg& Window() { return *app_->MainWindow(); }
    CRegistDlg& Page() { return *Window().RegistPage(); }
    CRegUserDlg& Users() { return *Page().Users(); }
    QAbstractButton* Button(const char* name) { return Page().findChild<QAbstractButton*>(name); }

    // Presses a button of the page and waits until its handler is done (no
    // wait or progress dialog left, and the boxes it showed recorded).
    void Press(const char* name, int boxes) {
        const int before = static_cast<int>(MessageBox::Shown().size());
        QAbstractButton* b = Button(name);
        QVERIFY2(b != nullptr && b->isEnabled(), name);
        b->click();
        QTRY_VERIFY_WITH_TIMEOUT(MessageBox::Shown().size() >= before + boxes, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(
            Window().WaitDialog()->isHidden() && Window().ProgressDialog()->isHidden(), 30000);
    }

    // Add User with this name, taking the proposed ID.
    void AddUser(const QString& name) {
        CWhenShown<CNameInputDlg> fill([name](CNameInputDlg* d) {
            d->findChild<QLineEdit*>("nameEdit")->setText(name);
            Shot(d, "name-input");
            d->findChild<QAbstractButton*>("okButton")->click();
        });
        Button("addUserButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(fill.Count(), 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(Window().NameDialog()->isHidden(), 10000);
    }

    // One frame on the Main tab; the result text.
    void ExecuteOnce(QString& text) {
        Window().MainTabButton()->click();
        CResultLogDlg& log = Window().MainPage()->ResultLog();
        const int blocks = log.BlockCount();
        Window().MainPage()->ExecutePage().ExecuteOnceButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(log.BlockCount() > blocks, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(Window().Mode(), int(CKytoDemoDlg::kIdle), 20000);
        text = log.Text();
    }
    // The block of one new frame (the pane shows the newest block first).
    QString LastFrame() {
        QString text;
        ExecuteOnce(text);
        const qsizetype first = text.indexOf("Response time:");
        const qsizetype end = text.indexOf("-----", first);
        return first < 0 ? text : text.mid(first, end < 0 ? -1 : end - first);
    }

    void CloseAndFinish() {
        QSignalSpy finished(app_.get(), &CKytoDemoApp::MainWindowFinished);
        QTimer::singleShot(0, &Window(), [this] { Window().close(); });
        QVERIFY(finished.wait(60000));
        app_->Finish();
    }

private slots:
    void init() {
        MessageBox::Reset();
        MessageBox::SetTestMode(true);
        FileDialog::Reset();
        FileDialog::SetTestMode(true);
    }
    void cleanup() {
        if (!flash_.empty()) {
            std::filesystem::remove(flash_);
            flash_.clear();
        }
        beforeStart_ = nullptr;
        app_.reset();
        emu_.reset();
        dir_.reset();
    }

    // Register from the live picture, recognised; saved, all deleted,
    // opened again, recognised again.
    void RegisteredPersonSurvivesSaveDeleteAllAndOpen() {
        START_CONNECTED({"--no-line-timing", "--people", "1", "--seed", "5", "--exit-with-parent"});
        Window().AlbumTabButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(Page().Preview()->Images() > 0, 20000);

        AddUser("Alice");
        QCOMPARE(RowIds(Users()), (std::vector<int>{0}));
        Users().SelectUser(0);
        Press("registerButton", 1);
        Press("registerButton", 1);
        QCOMPARE(BoxTexts(), (QStringList{"Registration successful.", "Registration successful."}));
        QCOMPARE(Page().Pictures()->Count(), 2);
        QCOMPARE(Users().List()->Text(0, 2), QString("     2"));
        QVERIFY(Window().LoopRunning());  // the live picture came back
        QTRY_VERIFY_WITH_TIMEOUT(Page().Preview()->Images() > 2, 20000);
        Shot(&Window(), "album-tab");

        QVERIFY(LastFrame().contains("Recognition \tAlice"));

        Window().AlbumTabButton()->click();
        const QString file = QString::fromStdString((dir_->Path() / "people.kyl").string());
        FileDialog::SetNextFileName(file);
        Press("albumSaveButton", 1);
        QCOMPARE(BoxTexts().last(), QString("Album saved."));
        QVERIFY(std::filesystem::exists(file.toStdString()));

        MessageBox::SetNextAnswer(QMessageBox::Yes);
        Press("deleteAllUsersButton", 2);
        QCOMPARE(BoxTexts().last(), QString("Delete completed."));
        QCOMPARE(Users().List()->RowCount(), 0);
        const QString afterDelete = LastFrame();
        QVERIFY2(!afterDelete.contains("Alice"), qPrintable(afterDelete));

        Window().AlbumTabButton()->click();
        MessageBox::SetNextAnswer(QMessageBox::No);  // 5030: do not save first
        FileDialog::SetNextFileName(file);
        Press("albumOpenButton", 2);
        QCOMPARE(BoxTexts().mid(5), (QStringList{"Save the current Album?", "Album loaded."}));
        QCOMPARE(RowIds(Users()), (std::vector<int>{0}));
        QCOMPARE(Users().List()->Text(0, 1), QString("Alice"));
        QVERIFY(LastFrame().contains("Recognition \tAlice"));
        CloseAndFinish();
    }

    // Two faces in view: 2082 and nothing added. Then the moves: user 2
    // moved above user 1 and user 1 renamed; every row keeps its own name,
    // and the Main tab's names follow.
    void RefusedRegistrationAndMovesThenRename() {
        START_CONNECTED({"--no-line-timing", "--people", "0", "--exit-with-parent"});
        for (const QString name : {"u0", "u1", "u2"}) {
            AddUser(name);
        }
        QCOMPARE(RowIds(Users()), (std::vector<int>{0, 1, 2}));
        Users().SelectUser(1);
        Press("registerButton", 1);
        QCOMPARE(BoxTexts(), QStringList{"Registration failed:\nFace not found."});
        QCOMPARE(Users().List()->Text(1, 2), QString("     0"));
        QCOMPARE(Window().AlbumJobs().Users()->totalData, 0);

        Users().SelectUser(2);
        Button("moveUpButton")->click();
        QTRY_COMPARE(RowIds(Users()), (std::vector<int>{0, 2, 1}));
        Users().SelectUser(1);
        CWhenShown<CNameInputDlg> rename([](CNameInputDlg* d) {
            d->findChild<QLineEdit*>("nameEdit")->setText("renamed");
            d->findChild<QAbstractButton*>("okButton")->click();
        });
        Button("changeNameButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(rename.Count(), 1, 10000);
        QTRY_COMPARE(Users().List()->Text(2, 1), QString("renamed"));
        QCOMPARE(RowIds(Users()), (std::vector<int>{0, 2, 1}));
        QCOMPARE(Users().List()->Text(1, 1), QString("u2"));

        // The ID selection of Verify lists the same users.
        CIDSelectDlg* ids = Window().IdSelectDialog();
        QCOMPARE(ids->List()->RowCount(), 3);
        ids->show();
        Shot(ids, "id-select");
        ids->hide();

        // Open, keeping the current album first in a file that cannot be
        // written: the Open stops there, the album in use stays.
        MessageBox::SetNextAnswer(QMessageBox::Yes);
        FileDialog::SetNextFileName(
            QString::fromStdString((dir_->Path() / "no-such-folder" / "keep.kyl").string()));
        FileDialog::SetNextFileName(QString::fromStdString((dir_->Path() / "other.kyl").string()));
        Press("albumOpenButton", 2);
        QVERIFY(BoxTexts().last().startsWith("Cannot save "));
        QCOMPARE(FileDialog::Requests().size(), 1);  // no Open dialog
        QCOMPARE(RowIds(Users()), (std::vector<int>{0, 2, 1}));

        // Two rows: Delete User takes both.
        Users().List()->clearSelection();
        Users().List()->SelectRow(0);
        Users().List()->SelectRow(2);
        QVERIFY(!Button("changeNameButton")->isEnabled());
        QVERIFY(!Button("registerButton")->isEnabled());
        MessageBox::SetNextAnswer(QMessageBox::Yes);
        Press("deleteUserButton", 2);
        QCOMPARE(BoxTexts().last(), QString("Delete completed."));
        QCOMPARE(RowIds(Users()), (std::vector<int>{2}));
        CloseAndFinish();
    }

    // The module's album changed while we were away (here: it holds two
    // users, ours none). Yes sends ours to the module and its flash; No
    // keeps ours in the chosen file and takes the module's users. The No
    // row asks the module about all 1000 IDs, one command per 100 ms send
    // slot (over a minute), so it runs only when KYTO_SLOW_TESTS is set;
    // the steps themselves are covered against a scripted module in
    // tests/album.
    void ConnectionCheckAsksWhenTheModuleChanged_data() {
        QTest::addColumn<bool>("preferApplication");
        QTest::newRow("Yes: the application's album") << true;
        if (qEnvironmentVariableIsSet("KYTO_SLOW_TESTS")) {
            QTest::newRow("No: the module's album") << false;
        }
    }
    void ConnectionCheckAsksWhenTheModuleChanged() {
        QFETCH(bool, preferApplication);
        const std::vector<std::uint8_t> moduleAlbum = AlbumImageFile(2);
        flash_ = (std::filesystem::temp_directory_path() /
                  ("kyto-flash-check-" + std::to_string(getpid()) + ".kyb"))
                     .string();
        const std::string& flash = flash_;
        WriteFile(flash, moduleAlbum);
        std::string kept;
        beforeStart_ = [&] {
            kept = (dir_->Path() / "ours.kyl").string();
            MessageBox::SetNextAnswer(preferApplication ? QMessageBox::Yes : QMessageBox::No);
            FileDialog::SetNextFileName(QString::fromStdString(kept));
        };
        START_CONNECTED(
            {"--no-line-timing", "--people", "0", "--state", flash, "--exit-with-parent"});
        QVERIFY(BoxTexts().value(0).startsWith(
            "Registration data in Device and Application do not match."));
        QCOMPARE(MessageBox::Shown().at(0).icon, QMessageBox::Question);
        QVERIFY(std::filesystem::exists(kDbBackFolder));
        if (preferApplication) {
            // The module's flash now holds the application's (empty) album.
            QCOMPARE(FileBytes(flash), FileBytes(kDefaultAlbumFile));
            QCOMPARE(Users().List()->RowCount(), 0);
            QVERIFY(!std::filesystem::exists(kept));
            // Write to FlashROM asks, then keeps the module's album here too.
            std::filesystem::remove(kLocalAlbumFile);
            MessageBox::SetNextAnswer(QMessageBox::Yes);
            Press("albumFlashButton", 1);
            QCOMPARE(BoxTexts().last(), QString("Write the current Album to FlashROM in Device?"));
            QCOMPARE(FileBytes(kLocalAlbumFile), FileBytes(flash));
        } else {
            QCOMPARE(FileBytes(flash), moduleAlbum);
            QVERIFY(std::filesystem::exists(kept));
            QCOMPARE(RowIds(Users()), (std::vector<int>{0, 1}));
            QCOMPARE(Users().List()->Text(1, 1), QString("USER_0001"));
            QCOMPARE(Users().List()->Text(1, 2), QString("     1"));
            QCOMPARE(FileBytes(kLocalAlbumFile), moduleAlbum);
        }
        const qsizetype boxes = BoxTexts().size();
        CloseAndFinish();
        QCOMPARE(BoxTexts().size(), boxes);  // at exit both sides agree
    }

    // At 9600 baud the module's album takes seconds to arrive; Cancel in
    // the middle leaves no file, and the local album and the module's flash
    // as they were.
    void CancelledSaveAt9600ChangesNothing() {
        const std::vector<std::uint8_t> album = AlbumImageFile(2);
        // The module's flash and the local album agree, so the check at
        // connection has nothing to ask.
        flash_ = (std::filesystem::temp_directory_path() /
                  ("kyto-flash-" + std::to_string(getpid()) + ".kyb"))
                     .string();
        const std::string& flash = flash_;
        WriteFile(flash, album);
        beforeStart_ = [&album] { WriteFile(kLocalAlbumFile, album); };
        START_CONNECTED({"--people", "0", "--state", flash, "--exit-with-parent"}, 9600);
        QVERIFY2(MessageBox::Shown().isEmpty(), qPrintable(BoxTexts().join(" | ")));

        const std::string file = (dir_->Path() / "cut.kyl").string();
        FileDialog::SetNextFileName(QString::fromStdString(file));
        // Cancel once the Save Album command has gone out: its answer takes
        // seconds to arrive at this rate.
        CAlbumProgressDlg* progress = Window().ProgressDialog();
        std::unique_lock lock(sentMutex_);
        saveAlbumSent_ = [progress] {
            QMetaObject::invokeMethod(
                progress, [progress] { progress->CancelButton()->click(); }, Qt::QueuedConnection);
        };
        lock.unlock();
        CWhenShown<CAlbumProgressDlg> shown([](CAlbumProgressDlg*) {});
        Button("albumSaveButton")->click();
        QTRY_COMPARE_WITH_TIMEOUT(shown.Count(), 1, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(progress->isHidden(), 20000);
        QVERIFY(!progress->CancelButton()->isEnabled());
        QVERIFY(!std::filesystem::exists(file));
        QCOMPARE(FileBytes(kLocalAlbumFile), album);
        QCOMPARE(FileBytes(flash), album);
        QVERIFY2(MessageBox::Shown().isEmpty(), qPrintable(BoxTexts().join(" | ")));
        // The module still answers, and its album still equals ours: the
        // check at exit asks nothing.
        {
            std::lock_guard clear(sentMutex_);
            saveAlbumSent_ = nullptr;
        }
        CloseAndFinish();
        QVERIFY2(MessageBox::Shown().isEmpty(), qPrintable(BoxTexts().join(" | ")));
        QCOMPARE(FileBytes(flash), album);
    }
};

QTEST_MAIN(AlbumTabTests)
#include "AlbumTabTests.moc"
