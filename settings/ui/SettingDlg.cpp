// The settings dialog's frame: pages built per run, Connect/OK and Cancel.

#include "settings/ui/SettingDlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "widgets/ButtonFaces.h"
#include "widgets/StateBmpButton.h"

namespace {

CStateBmpButton* DialogButton(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new CStateBmpButton(caption, parent);
    button->setObjectName(name);
    button->SetFace(ButtonFace(FaceId::kPushButton));
    button->setFocusPolicy(Qt::StrongFocus);
    button->setMinimumWidth(88);
    return button;
}

}  // namespace

CSettingDlg::CSettingDlg(QWidget* parent) : COrgDialog(parent) {
    setObjectName("settingDlg");
    // Closing the window any other way than the buttons cancels.
    SetUserCanClose(true);
    SetStoredResult(QDialog::Rejected);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 8, 8);
    layout->setSpacing(8);
    pageArea_ = new QWidget(this);
    auto* pageLayout = new QVBoxLayout(pageArea_);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pageArea_);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    confirm_ = DialogButton(tr("Connect"), "confirmButton", this);
    cancel_ = DialogButton(tr("Cancel"), "cancelButton", this);
    buttons->addWidget(confirm_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(confirm_, &QAbstractButton::clicked, this,
            [this] { CloseWithResult(QDialog::Accepted); });
    connect(cancel_, &QAbstractButton::clicked, this,
            [this] { CloseWithResult(QDialog::Rejected); });
}

void CSettingDlg::BuildPages() {
    // Every run builds its pages anew from the value members, so a cancelled
    // run leaves nothing behind.
    delete connectionPage_;
    connectionPage_ = new CConnectSettingDlg(mode_ == kConnectionMode, pageArea_);
    pageArea_->layout()->addWidget(connectionPage_);
    connectionPage_->SetConnectionValues(ports_, connection);
    connectionPage_->SetAdvice(advice_);
    if (mode_ == kConnectionMode) {
        confirm_->setText(tr("Connect"));
        setWindowTitle(tr("Connection settings"));
    } else {
        confirm_->setText(tr("OK"));
        setWindowTitle(tr("Settings"));
    }
}

int CSettingDlg::RunDialog(const std::vector<PortEntry>& ports, Mode mode) {
    ports_ = ports;
    mode_ = mode;
    result = kCancelled;
    SetStoredResult(QDialog::Rejected);
    BuildPages();
    exec();
    return result;
}

void CSettingDlg::RefreshPorts(const std::vector<PortEntry>& ports) {
    ports_ = ports;
    if (connectionPage_ != nullptr && isVisible()) {
        connectionPage_->RefreshPorts(ports);
    }
}

void CSettingDlg::SetAdvice(const QString& text) {
    advice_ = text;
    if (connectionPage_ != nullptr) {
        connectionPage_->SetAdvice(text);
    }
}

void CSettingDlg::done(int r) {
    // Confirm reads the page back; Cancel, Escape and closing the window
    // end the run cancelled.
    if (r == QDialog::Accepted && connectionPage_ != nullptr) {
        const ConnectionValues values = connectionPage_->GetConnectionValues();
        if (mode_ == kConnectionMode) {
            connection = values;
        } else {
            connection.cameraAngle = values.cameraAngle;
            connection.autoConnect = values.autoConnect;
        }
        result = kConfirmed;
    } else {
        result = kCancelled;
    }
    QDialog::done(r);
}

void CSettingDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            CloseWithResult(QDialog::Accepted);
            return;
        case Qt::Key_Escape:
            CloseWithResult(QDialog::Rejected);
            return;
        default:
            COrgDialog::keyPressEvent(event);
    }
}
