// The settings dialog's frame: pages built per run, Connect/OK and Cancel.

#include "settings/ui/SettingDlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CSettingDlg::CSettingDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("settingDlg");
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
    confirm_ = new QPushButton(tr("Connect"), this);
    confirm_->setObjectName("confirmButton");
    confirm_->setDefault(true);  // Enter confirms
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName("cancelButton");
    buttons->addWidget(confirm_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(confirm_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
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
