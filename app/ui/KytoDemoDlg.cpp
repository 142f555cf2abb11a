// The main window's frame: pages and tabs, the banner and the version box,
// the title, the accelerators and the keyboard, the screenshot.

#include "app/ui/KytoDemoDlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSaveFile>
#include <QShortcut>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "album/ui/RegistDlg.h"
#include "app/AppCore.h"
#include "app/ui/Banner.h"
#include "app/ui/MainOpeDlg.h"
#include "app/ui/WindowMessages.h"
#include "widgets/ButtonFaces.h"
#include "widgets/MessageBox.h"
#include "widgets/StateBmpButton.h"
#include "widgets/WaitDlg.h"

namespace {

// Frames go to the logs first (every frame, on the worker), then to the
// page's latest-frame slot (the painter may skip frames).
class CSinkChain : public IFrameSink {
public:
    CSinkChain(IFrameSink& first, IFrameSink& second) : first_(first), second_(second) {}
    void OnFrame(const FramePacketPtr& packet) override {
        first_.OnFrame(packet);
        second_.OnFrame(packet);
    }

private:
    IFrameSink& first_;
    IFrameSink& second_;
};

}  // namespace

QString CKytoDemoDlg::ApplicationVersion() {
    return QStringLiteral(KYTO_VERSION);
}

CKytoDemoDlg::CKytoDemoDlg(CAppCore& core, CDeviceWorker& worker, CAlbumMngr& album,
                           std::vector<Accelerator> accelerators, QWidget* parent)
    : QWidget(parent, Qt::Window),
      core_(core),
      worker_(worker),
      album_(album),
      poster_(this),
      accelerators_(std::move(accelerators)) {
    setObjectName("kytoDemoDlg");
    setWindowTitle(tr("Kyto Demo"));
    debugLog_.Open();
    frameLogger_.SetDebugLog(&debugLog_);
    BuildWindow();
    executionSink_ = std::make_unique<CSinkChain>(frameLogger_, mainPage_->FrameSink());
    executionLoop_ = std::make_unique<CExecutionLoop>(mainPage_->Choices(), *executionSink_);
    liveSink_ = std::make_unique<CLatestFrameSlot>([this] {
        // The newest live image goes to the Album page's preview.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (auto* slot = static_cast<CLatestFrameSlot*>(liveSink_.get())) {
                    if (FramePacketPtr packet = slot->Take()) {
                        ++liveImages_;
                        OnLiveImage(packet);
                    }
                }
            },
            Qt::QueuedConnection);
    });
    liveLoop_ = std::make_unique<CLiveImageLoop>(*liveSink_);
    connect(mainPage_, &CMainOpeDlg::FrameShown, this, [this] { emit FrameShown(); });
}

CKytoDemoDlg::~CKytoDemoDlg() {
    // A loop still running reports into the page and the logger: end it and
    // wait for the worker to let go before they go.
    if (runJob_ != 0) {
        worker_.Cancel(runJob_);
        worker_.WaitIdle(10000);
    }
    debugLog_.Close();
}

void CKytoDemoDlg::BuildWindow() {
    auto* top = new QGridLayout(this);
    top->setContentsMargins(4, 4, 4, 4);
    top->setHorizontalSpacing(8);
    top->setVerticalSpacing(4);

    // Tab buttons 1043 and 1044 side by side at the left.
    auto* tabRow = new QHBoxLayout;
    tabRow->setSpacing(2);
    mainTab_ = new CStateBmpButton(tr("Main"), this);
    mainTab_->setObjectName("mainTabButton");
    albumTab_ = new CStateBmpButton(tr("Album"), this);
    albumTab_->setObjectName("albumTabButton");
    tabs_ = new QButtonGroup(this);
    tabs_->setExclusive(true);
    for (CStateBmpButton* b : {mainTab_, albumTab_}) {
        // Bitmap 179: column 1 selected, column 0 not.
        b->SetFace(ButtonFace(FaceId::kTab));
        b->SetColumnCount(2);
        b->setCheckable(true);
        b->setFocusPolicy(Qt::TabFocus);
        b->setMinimumWidth(96);
        connect(b, &QAbstractButton::toggled, b, [b](bool on) { b->SetColumn(on ? 1 : 0); });
        tabs_->addButton(b);
        tabRow->addWidget(b);
    }
    mainTab_->setChecked(true);
    tabRow->addStretch(1);
    // toggled, not clicked: assistive technology toggles without a click.
    connect(mainTab_, &QAbstractButton::toggled, this, [this](bool on) {
        if (on) {
            OnMainTab();
        }
    });
    connect(albumTab_, &QAbstractButton::toggled, this, [this](bool on) {
        if (on) {
            OnAlbumTab();
        }
    });

    banner_ = new CBanner(this);
    connect(banner_, &CBanner::Clicked, this, &CKytoDemoDlg::ShowVersionBox);

    pages_ = new QStackedWidget(this);
    mainPage_ = new CMainOpeDlg(core_, pages_);
    BuildAlbumPage(pages_);
    pages_->addWidget(mainPage_);
    pages_->addWidget(AlbumPage());
    pages_->setCurrentWidget(mainPage_);

    top->addLayout(tabRow, 0, 0, Qt::AlignLeft | Qt::AlignBottom);
    top->addWidget(banner_, 0, 1, Qt::AlignRight | Qt::AlignTop);
    top->addWidget(pages_, 1, 0, 1, 2);
    top->setColumnStretch(0, 1);
    top->setRowStretch(1, 1);

    // The pages' requests come as posted messages (OnWindowMessage).
    mainPage_->SetMessageTarget(this);
    AttachIdSelect();

    wait_ = new CWaitDlg(this);
    wait_->setObjectName("waitDlg");
    // The dialog is shown: its configured message comes back as a posted
    // message from the dialog, handled inside its modal run.
    connect(wait_, &CWaitDlg::notified, this, [this](int message, qintptr value) {
        PostWindowMessage(this, static_cast<WindowMessage>(message), wait_, value);
    });

    for (const Accelerator& a : accelerators_) {
        auto* shortcut = new QShortcut(a.keys, this);
        // The image panel may be a window of its own (full screen): the keys
        // work there too, but never behind a modal dialog.
        shortcut->setContext(Qt::ApplicationShortcut);
        const AcceleratorCommand command = a.command;
        connect(shortcut, &QShortcut::activated, this,
                [this, command] { RunAccelerator(command); });
    }
}

QWidget* CKytoDemoDlg::AlbumPage() const {
    return RegistPage();
}

bool CKytoDemoDlg::MainTabSelected() const {
    return mainTab_->isChecked();
}

QWidget* CKytoDemoDlg::Banner() const {
    return banner_;
}

void CKytoDemoDlg::RunAccelerator(AcceleratorCommand command) {
    if (QApplication::activeModalWidget() != nullptr || closing_) {
        return;
    }
    if (MainTabSelected()) {
        mainPage_->RunAccelerator(command);
    }
    activateWindow();
    setFocus();
}

void CKytoDemoDlg::OnMainTab() {
    if (pages_->currentWidget() == mainPage_) {
        return;
    }
    if (runMode_ == kLiveImage) {
        StopLoop();
    }
    runMode_ = savedRunMode_;
    if (runMode_ == kOnce) {
        // A single frame was done before the tab changed.
        runMode_ = kIdle;
    }
    if (runMode_ == kContinuous && !connected_) {
        runMode_ = kIdle;  // the module went away while the Album tab was shown
    }
    mainPage_->SetRunMode(runMode_);
    if (runMode_ == kContinuous) {
        StartExecution(CExecutionLoop::kContinuous);
    }
    pages_->setCurrentWidget(mainPage_);
}

void CKytoDemoDlg::OnAlbumTab() {
    if (pages_->currentWidget() == AlbumPage()) {
        return;
    }
    if (runMode_ == kOnce || runMode_ == kContinuous) {
        StopLoop();
        ShowExecError();
    }
    savedRunMode_ = runMode_;
    runMode_ = kLiveImage;
    if (connected_) {
        StartLiveImage();
    }
    pages_->setCurrentWidget(AlbumPage());
}

void CKytoDemoDlg::UpdateTitle(int failed) {
    // String 101 "%s %s", then 102 " - %s:%dbaud" and 103 " - F/W %s", or
    // 110 "Not connected." without a separator.
    QString title = QStringLiteral("%1 %2").arg(tr("Kyto Demo"), ApplicationVersion());
    if (failed == 0) {
        title += QStringLiteral(" - %1:%2baud").arg(portName_).arg(baud_);
        title += QStringLiteral(" - F/W %1").arg(firmwareVersion_);
        connected_ = true;
    } else {
        title += tr("Not connected.");
        connected_ = false;
    }
    setWindowTitle(title);
    mainPage_->SetConnected(connected_);
}

void CKytoDemoDlg::ShowVersionBox() {
    if (closing_ || QApplication::activeModalWidget() != nullptr) {
        return;
    }
    const int mode = runMode_;
    if (mode == kContinuous || mode == kLiveImage) {
        StopLoop();
        if (mode == kContinuous) {
            ShowExecError();
        }
    }
    worker_.Post(
        "Get Version",
        [](CJobContext& job) {
            VersionInfo info;
            const DeviceReply reply = job.Core().Device().GetVersion(info);
            return std::make_pair(reply, info);
        },
        poster_.Get(),
        [this, mode](JobResult<std::pair<DeviceReply, VersionInfo>> done) {
            if (!done.Ran() || !done.value.first.Ok()) {
                MessageBox::Warning(this,
                                    tr("Device is not responding.\nPlease verify connection."));
            } else {
                // String 5050; the model name without its trailing blanks.
                const QString model =
                    QString::fromStdString(ModelNameFromVersion(done.value.second.model));
                const QString firmware =
                    QString::fromStdString(FirmwareVersionText(done.value.second));
                MessageBox::Information(
                    this, QStringLiteral("%1 Firmware version\n    %2").arg(model, firmware));
            }
            if (!closing_ && runMode_ == mode) {
                RestartLoop();
            }
        });
}

void CKytoDemoDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Escape do nothing in this window (Escape would close it).
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

void CKytoDemoDlg::closeEvent(QCloseEvent* event) {
    if (finished_) {
        event->accept();
        return;
    }
    // The shutdown sequence runs first; it closes the window when done.
    event->ignore();
    if (!closing_) {
        BeginClose();
    }
}

bool CKytoDemoDlg::SaveScreenshot(const QString& path) {
    // Written beside the target and renamed over it: a script that finds the
    // file never reads half a picture, and a failed write leaves the old one.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && grab().save(&file, "PNG") && file.commit();
}
