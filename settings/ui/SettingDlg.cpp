// The settings dialog's frame: pages built per run, Connect/OK and Cancel.

#include "settings/ui/SettingDlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include "settings/ui/ExecSettingDlg.h"
#include "settings/ui/MaintenanceDlg.h"
#include "settings/ui/QuellSettingDlg.h"

#include "widgets/StateBmpButton.h"

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
    confirm_ = NewDialogButton(tr("Connect"), "confirmButton", this);
    cancel_ = NewDialogButton(tr("Cancel"), "cancelButton", this);
    buttons->addWidget(confirm_);
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(confirm_, &QAbstractButton::clicked, this,
            [this] { CloseWithResult(QDialog::Accepted); });
    connect(cancel_, &QAbstractButton::clicked, this,
            [this] { CloseWithResult(QDialog::Rejected); });
}

namespace {

// Two pages of label/control rows shown one above the other: the rows of
// both start their controls at the same place, and the gap between the
// pages is that of one row group.
void AlignAsOneGrid(QWidget* upper, QWidget* lower) {
    auto* top = qobject_cast<QGridLayout*>(upper->layout());
    auto* bottom = qobject_cast<QGridLayout*>(lower->layout());
    if (top == nullptr || bottom == nullptr) {
        return;
    }
    int labels = 0;
    for (QGridLayout* grid : {top, bottom}) {
        for (int row = 0; row < grid->rowCount(); ++row) {
            if (QLayoutItem* item = grid->itemAtPosition(row, 0)) {
                if (QWidget* w = item->widget()) {
                    labels = std::max(labels, w->sizeHint().width());
                }
            }
        }
    }
    top->setColumnMinimumWidth(0, labels);
    bottom->setColumnMinimumWidth(0, labels);
    QMargins m = top->contentsMargins();
    m.setBottom(0);
    top->setContentsMargins(m);
    m = bottom->contentsMargins();
    m.setTop(0);
    bottom->setContentsMargins(m);
}

}  // namespace

void CSettingDlg::DropPages() {
    // The tab widget owns every page of the settings mode.
    if (tabs_ != nullptr) {
        delete tabs_;
        tabs_ = nullptr;
        devicePage_ = nullptr;
        execPage_ = nullptr;
        quellPage_ = nullptr;
        maintenancePage_ = nullptr;
        logOutput_ = nullptr;
    } else {
        delete connectionPage_;
    }
    connectionPage_ = nullptr;
}

void CSettingDlg::BuildSettingsTabs() {
    tabs_ = new QTabWidget(pageArea_);
    tabs_->setObjectName("settingTabs");
    pageArea_->layout()->addWidget(tabs_);

    auto* general = new QWidget;
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->setContentsMargins(16, 16, 16, 16);
    logOutput_ = new QCheckBox(tr("Log output"), general);
    logOutput_->setObjectName("logOutputBox");
    logOutput_->setChecked(outputLogFlag != 0);
    generalLayout->addWidget(logOutput_);
    generalLayout->addStretch(1);
    tabs_->addTab(general, tr("General"));

    devicePage_ = new CCameraSettingDlg;
    devicePage_->SetDeviceValues(resolutions_, device);
    if (offerConnection) {
        // Port and baud rate above the device values; the page's own
        // "Connect on startup" is the device page's.
        auto* both = new QWidget;
        auto* bothLayout = new QVBoxLayout(both);
        bothLayout->setContentsMargins(0, 0, 0, 0);
        bothLayout->setSpacing(0);
        connectionPage_ = new CConnectSettingDlg(true, both);
        connectionPage_->SetConnectionValues(ports_, connection);
        connectionPage_->SetAdvice(advice_);
        connectionPage_->AutoConnectBox()->hide();
        AlignAsOneGrid(connectionPage_, devicePage_);
        bothLayout->addWidget(connectionPage_);
        bothLayout->addWidget(devicePage_, 1);
        tabs_->addTab(both, tr("Device"));
    } else {
        tabs_->addTab(devicePage_, tr("Device"));
    }
    execPage_ = new CExecSettingDlg;
    execPage_->SetValues(execution_);
    tabs_->addTab(execPage_, tr("Execution"));
    connect(execPage_, &CExecSettingDlg::resetRequested, this,
            &CSettingDlg::settingsResetRequested);
    quellPage_ = new CQuellSettingDlg;
    tabs_->addTab(quellPage_, tr("Stabilization"));
    maintenancePage_ = new CMaintenanceDlg;
    tabs_->addTab(maintenancePage_, tr("Maintenance"));
    connect(maintenancePage_, &CMaintenanceDlg::deleteAllDataRequested, this,
            &CSettingDlg::deleteAllDataRequested);
    connect(maintenancePage_, &CMaintenanceDlg::getAlbumTypeRequested, this,
            &CSettingDlg::getAlbumTypeRequested);
    connect(maintenancePage_, &CMaintenanceDlg::setAlbumTypeRequested, this,
            &CSettingDlg::setAlbumTypeRequested);
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int) {
        if (tabs_->currentWidget() == maintenancePage_) {
            maintenancePage_->ShowAlbumType(albumType);
        }
    });
    tabs_->setCurrentIndex(0);
}

void CSettingDlg::BuildPages() {
    // Every run builds its pages anew from the value members, so a cancelled
    // run leaves nothing behind.
    DropPages();
    if (mode_ == kConnectionMode) {
        connectionPage_ = new CConnectSettingDlg(true, pageArea_);
        pageArea_->layout()->addWidget(connectionPage_);
        connectionPage_->SetConnectionValues(ports_, connection);
        connectionPage_->SetAdvice(advice_);
    } else {
        BuildSettingsTabs();
    }
    if (mode_ == kConnectionMode) {
        confirm_->setText(tr("Connect"));
        setWindowTitle(tr("Connection settings"));
    } else {
        confirm_->setText(tr("OK"));
        setWindowTitle(tr("Settings"));
    }
}

int CSettingDlg::RunDialog(const std::vector<PortEntry>& ports, Mode mode) {
    return RunDialog(ports, resolutions_, mode);
}

int CSettingDlg::RunDialog(const std::vector<PortEntry>& ports,
                           const std::vector<ResolutionItem>& resolutions, Mode mode) {
    ports_ = ports;
    resolutions_ = resolutions;
    mode_ = mode;
    result = kCancelled;
    SetStoredResult(QDialog::Rejected);
    BuildPages();
    exec();
    return result;
}

void CSettingDlg::SetExecutionValues(const DeviceSettings& values) {
    execution_ = values;
    if (execPage_ != nullptr) {
        execPage_->SetValues(values);
    }
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
    // Confirm reads the pages back; Cancel, Escape and closing the window
    // end the run cancelled.
    if (r == QDialog::Accepted) {
        if (mode_ == kConnectionMode && connectionPage_ != nullptr) {
            connection = connectionPage_->GetConnectionValues();
        } else if (tabs_ != nullptr) {
            if (connectionPage_ != nullptr) {
                const ConnectionValues chosen = connectionPage_->GetConnectionValues();
                connection.portName = chosen.portName;
                connection.baud = chosen.baud;
            }
            device = devicePage_->GetDeviceValues();
            execution_ = execPage_->GetValues();
            outputLogFlag = logOutput_->isChecked() ? 1 : 0;
            // The pages that keep their values in the settings files write
            // them only now: a cancelled run leaves the files as they were.
            quellPage_->SaveValues();
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
