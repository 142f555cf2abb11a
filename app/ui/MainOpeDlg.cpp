// The main operation page: its three parts, the frame hand-over from the
// worker and the full-screen image.
#include "app/ui/MainOpeDlg.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <map>
#include <mutex>

#include "app/AppCore.h"
#include "app/ui/ExecuteDlg.h"
#include "app/ui/ResultLogDlg.h"
#include "app/ui/WindowMessages.h"
#include "display/ui/ImageDlg.h"

namespace {

// Posted to the page when the slot turned fresh (internal to the page).
const QEvent::Type kFrameReadyEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

// The slot's notification runs on the worker; the page may be gone by then.
// The waker is shared with the notification and forgotten by the page under
// its lock, so a late frame posts to nobody instead of to a freed window.
struct CMainOpeDlg::Waker {
    std::mutex mutex;
    QObject* target = nullptr;
    void Wake() {
        std::lock_guard<std::mutex> lock(mutex);
        if (target != nullptr) {
            QCoreApplication::postEvent(target, new QEvent(kFrameReadyEvent));
        }
    }
};

CMainOpeDlg::CMainOpeDlg(CAppCore& core, QWidget* parent)
    : QWidget(parent), core_(core), waker_(std::make_shared<Waker>()) {
    setObjectName(QStringLiteral("mainOperationPage"));
    waker_->target = this;
    slot_.SetNotify([waker = waker_] { waker->Wake(); });

    // Created in this order: image panel, execute page, result text pane.
    panelPlace_ = new QWidget(this);
    panelPlaceLayout_ = new QVBoxLayout(panelPlace_);
    panelPlaceLayout_->setContentsMargins(0, 0, 0, 0);
    panel_ = new CImageDlg(panelPlace_);
    panelPlaceLayout_->addWidget(panel_);
    execute_ = new CExecuteDlg(choices_, this);
    log_ = new CResultLogDlg(this);
    log_->setMinimumHeight(200);
    // Panel and execute page get the same height; the panel's width follows.
    panel_->SetPreferredHeight(execute_->sizeHint().height());

    separator_ = new QFrame(this);  // 1080
    separator_->setObjectName(QStringLiteral("pageSeparator"));
    separator_->setFrameShape(QFrame::VLine);
    separator_->setFrameShadow(QFrame::Sunken);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(8, 8, 0, 0);
    top->setSpacing(0);
    top->addWidget(panelPlace_, 1);
    top->addWidget(separator_);
    top->addSpacing(4);
    top->addWidget(execute_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 6, 8);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addWidget(log_, 1);

    connect(panel_, &CImageDlg::LeaveFullScreenRequested, this, [this] {
        if (panelDetached_) {
            ToggleFullScreen();
        }
    });
}

CMainOpeDlg::~CMainOpeDlg() {
    {
        std::lock_guard<std::mutex> lock(waker_->mutex);
        waker_->target = nullptr;
    }
    slot_.SetNotify({});
    if (panelDetached_) {
        delete panel_;  // a window of its own has no parent to delete it
    }
}

bool CMainOpeDlg::event(QEvent* event) {
    if (event->type() == kFrameReadyEvent) {
        if (FramePacketPtr packet = slot_.Take()) {
            ReportFrame(packet);
        }
        return true;
    }
    if (CWindowMessage* message = CWindowMessage::From(event)) {
        QObject* target = messageTarget_ != nullptr ? messageTarget_ : window();
        switch (message->Message()) {
            case UWM_EXEC_ONCE:
            case UWM_EXEC_START:
            case UWM_EXEC_STOP:
            case UWM_LOG_MENU:
            case UWM_VERIFY_ID:
                if (target != this) {
                    PostWindowMessage(target, message->Message(), message->Sender(),
                                      message->Value());
                }
                return true;
            case UWM_SETTINGS:
                if (target != this) {
                    PostWindowMessage(target, UWM_SETTINGS, this, message->Value());
                }
                return true;
            case UWM_FULL_SCREEN:
                ToggleFullScreen();
                return true;
            case UWM_PLACE_ID_SELECT:
                execute_->PlaceIdSelect();
                return true;
            default:
                break;
        }
    }
    return QWidget::event(event);
}

void CMainOpeDlg::ReportFrame(const FramePacketPtr& packet) {
    if (!packet) {
        return;
    }
    panel_->SetFrame(packet);
    // The picture first: the text of a long pane takes longer to lay out
    // than the frame takes to paint, and the picture is what the eye follows.
    if (panel_->isVisible()) {
        panel_->repaint();
    }
    log_->AddFrameResult(*packet);
    emit FrameShown(packet->sequence);
}

void CMainOpeDlg::SetFromCoreStatus() {
    const std::shared_ptr<const CoreStatus> status = core_.Status();
    if (!status) {
        return;
    }
    SetFromSettings(status->functionFlags, status->imageSizeCode, status->stabilisation);
    SetVerifyId(status->verifyUserId);
}

void CMainOpeDlg::SetFromSettings(const std::uint8_t functionFlags[11], int imageSizeCode,
                                  bool stabilisation) {
    execute_->SetFromSettings(functionFlags, imageSizeCode, stabilisation);
}

void CMainOpeDlg::AddVersionHeader(const std::string& applicationVersion,
                                   const std::string& firmwareVersion) {
    log_->AddVersionHeader(applicationVersion, firmwareVersion);
}

void CMainOpeDlg::UpdateUserList(const std::vector<UserName>& users) {
    auto names = std::make_shared<std::map<int, std::string>>();
    for (const UserName& user : users) {
        (*names)[user.userId] = user.name;
    }
    panel_->SetUserNameLookup([names](int userId) {
        const auto found = names->find(userId);
        return found != names->end() ? found->second : std::string();
    });
    log_->SetUserNames(users);
}

void CMainOpeDlg::SetVerifyId(int userId) {
    choices_.SetVerifyUserId(userId);
}

void CMainOpeDlg::SetFullImageWidth(int width) {
    panel_->SetFullImageWidth(width);
}

void CMainOpeDlg::SetRunMode(int mode) {
    execute_->SetRunMode(mode);
}

void CMainOpeDlg::ReleaseExecuteButtons() {
    execute_->ReleaseExecuteButtons();
}

void CMainOpeDlg::SetConnected(bool connected) {
    execute_->SetConnected(connected);
}

void CMainOpeDlg::RunAccelerator(int command) {
    switch (command) {
        case ID_ACCEL_FULL_SCREEN:
            execute_->FullScreenButton()->click();
            break;
        case ID_ACCEL_PICTURE:
            execute_->ExecuteOnceButton()->click();
            break;
        case ID_ACCEL_VIDEO:
            execute_->ExecuteContinuousButton()->click();
            break;
        default:
            break;
    }
}

void CMainOpeDlg::ToggleFullScreen() {
    if (panelDetached_) {
        panel_->setParent(panelPlace_);
        panelPlaceLayout_->addWidget(panel_);
        panel_->showNormal();
        panel_->show();
        panelPlace_->setMinimumSize(0, 0);
        panelDetached_ = false;
        window()->activateWindow();
        return;
    }
    // The place keeps its size so the page does not jump while the picture
    // is away.
    panelPlace_->setMinimumSize(panelPlace_->size());
    panelPlaceLayout_->removeWidget(panel_);
    panel_->setParent(nullptr, Qt::Window);
    panel_->setWindowTitle(window()->windowTitle());
    panel_->showFullScreen();
    panel_->setFocus();
    panelDetached_ = true;
}
