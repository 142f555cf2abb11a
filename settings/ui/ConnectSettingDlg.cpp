// The connection page: its lists, the selection rules and the refresh.

#include "settings/ui/ConnectSettingDlg.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "settings/ui/CameraSettingDlg.h"
#include "widgets/OrgComboBox.h"

namespace {

const int kBaudRates[] = {9600, 38400, 115200, 230400, 460800, 921600};  // strings 2050..2055

}  // namespace

int SelectByPrefix(QComboBox& list, const QString& prefix) {
    if (list.count() == 0) {
        return -1;
    }
    int chosen = 0;
    for (int i = 0; i < list.count(); ++i) {
        if (list.itemText(i).startsWith(prefix, Qt::CaseInsensitive)) {
            chosen = i;
            break;
        }
    }
    list.setCurrentIndex(chosen);
    return chosen;
}

CConnectSettingDlg::CConnectSettingDlg(bool connectionMode, QWidget* parent)
    : QWidget(parent), connectionMode_(connectionMode) {
    auto* grid = new QGridLayout;
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(8);

    auto* portLabel = new QLabel(tr("Port"), this);  // 1062
    portList_ = new COrgComboBox(this);
    portList_->setObjectName("portList");
    portList_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    portList_->setMinimumContentsLength(12);
    portLabel->setBuddy(portList_);
    portList_->setAccessibleName(tr("Port"));

    auto* baudLabel = new QLabel(tr("Baud rate"), this);  // 1063
    baudList_ = new COrgComboBox(this);
    baudList_->setObjectName("baudList");
    for (const int rate : kBaudRates) {
        baudList_->AddItem(QString::number(rate), rate);
    }
    baudLabel->setBuddy(baudList_);
    baudList_->setAccessibleName(tr("Baud rate"));

    angleLabel_ = new QLabel(tr("Camera angle"), this);
    angleList_ = new COrgComboBox(this);
    angleList_->setObjectName("cameraAngleList");
    FillCameraAngleList(*angleList_);
    angleLabel_->setBuddy(angleList_);
    angleList_->setAccessibleName(tr("Camera angle"));
    // Kept so that the angle travels unchanged through the dialog.
    angleLabel_->hide();
    angleList_->hide();

    autoConnect_ = new QCheckBox(tr("Connect on startup"), this);
    autoConnect_->setObjectName("autoConnectCheck");

    advice_ = new QLabel(this);
    advice_->setObjectName("portAdvice");
    advice_->setTextFormat(Qt::PlainText);
    advice_->setWordWrap(true);
    advice_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    advice_->hide();

    grid->addWidget(portLabel, 0, 0);
    grid->addWidget(portList_, 0, 1);
    grid->addWidget(baudLabel, 1, 0);
    grid->addWidget(baudList_, 1, 1, Qt::AlignLeft);
    grid->addWidget(angleLabel_, 2, 0);
    grid->addWidget(angleList_, 2, 1, Qt::AlignLeft);
    grid->addItem(new QSpacerItem(0, 16), 3, 0);
    grid->addWidget(autoConnect_, 4, 0, 1, 2);
    grid->addWidget(advice_, 5, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    // On a settings tab, taller than the rows, they stay together at the top.
    grid->setRowStretch(6, 1);
    setLayout(grid);
}

void CConnectSettingDlg::FillPortList(const QString& selectPrefix) {
    portList_->clear();
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        portList_->AddItem(QString::fromStdString(ports_[i].label), static_cast<qint64>(i));
    }
    SelectByPrefix(*portList_, selectPrefix);
}

void CConnectSettingDlg::SetConnectionValues(const std::vector<PortEntry>& ports,
                                             const ConnectionValues& values) {
    values_ = values;
    ports_ = ports;
    FillPortList(QString::fromStdString(values.portName));
    baudList_->SelectByData(values.baud);
    angleList_->SelectByData(values.cameraAngle);
    autoConnect_->setChecked(values.autoConnect == 1);
}

ConnectionValues CConnectSettingDlg::GetConnectionValues() const {
    ConnectionValues values = values_;
    if (connectionMode_) {
        const QVariant data = portList_->currentData();
        if (data.isValid() && data.toInt() >= 0 &&
            static_cast<std::size_t>(data.toInt()) < ports_.size()) {
            values.portName = ports_[static_cast<std::size_t>(data.toInt())].name;
        } else {
            // No port to choose from: an empty name, whose open fails and
            // brings the dialog back.
            values.portName.clear();
        }
        if (baudList_->currentIndex() >= 0) {
            values.baud = baudList_->currentData().toInt();
        }
    }
    if (angleList_->currentIndex() >= 0) {
        values.cameraAngle = angleList_->currentData().toInt();
    }
    values.autoConnect = autoConnect_->isChecked() ? 1 : 0;
    return values;
}

void CConnectSettingDlg::RefreshPorts(const std::vector<PortEntry>& ports) {
    if (ports == ports_) {
        return;
    }
    // The port chosen before, by its name: its label may have changed (a
    // by-id link that udev made meanwhile).
    QString shown;
    const QVariant data = portList_->currentData();
    if (data.isValid() && data.toInt() >= 0 &&
        static_cast<std::size_t>(data.toInt()) < ports_.size()) {
        shown = QString::fromStdString(ports_[static_cast<std::size_t>(data.toInt())].name);
    }
    const bool open = portList_->view() != nullptr && portList_->view()->isVisible();
    ports_ = ports;
    FillPortList(shown);
    if (open) {
        portList_->hidePopup();
        portList_->showPopup();
    }
}

void CConnectSettingDlg::SetAdvice(const QString& text) {
    advice_->setText(text);
    advice_->setVisible(!text.isEmpty());
}
