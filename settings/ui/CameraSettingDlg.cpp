// The Device settings page: camera angle, camera resolution, start-up
// connection.

#include "settings/ui/CameraSettingDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

#include "widgets/OrgComboBox.h"

namespace {

const char* const kAngles[] = {"0°", "90°", "180°", "270°"};  // strings 1500..1503

}  // namespace

void FillCameraAngleList(COrgComboBox& list) {
    for (int i = 0; i < 4; ++i) {
        list.AddItem(QString::fromUtf8(kAngles[i]), i);
    }
}

CCameraSettingDlg::CCameraSettingDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("cameraSettingPage");
    auto* angleLabel = new QLabel(tr("Camera angle"), this);  // 1066
    angleList_ = new COrgComboBox(this);
    angleList_->setObjectName("cameraAngleList");
    FillCameraAngleList(*angleList_);
    angleLabel->setBuddy(angleList_);
    angleList_->setAccessibleName(tr("Camera angle"));

    resolutionLabel_ = new QLabel(tr("Camera resolution"), this);
    resolutionList_ = new COrgComboBox(this);
    resolutionList_->setObjectName("cameraResolutionList");
    resolutionList_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    resolutionLabel_->setBuddy(resolutionList_);
    resolutionList_->setAccessibleName(tr("Camera resolution"));

    autoConnect_ = new QCheckBox(tr("Connect on startup"), this);
    autoConnect_->setObjectName("autoConnectCheck");

    // A hidden row takes no room in the grid, so the check box moves up
    // under "Camera angle" by itself.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(8);
    grid->addWidget(angleLabel, 0, 0);
    grid->addWidget(angleList_, 0, 1, Qt::AlignLeft);
    grid->addWidget(resolutionLabel_, 1, 0);
    grid->addWidget(resolutionList_, 1, 1, Qt::AlignLeft);
    grid->addItem(new QSpacerItem(0, 16), 2, 0);
    grid->addWidget(autoConnect_, 3, 0, 1, 2);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(4, 1);
    resolutionLabel_->hide();
    resolutionList_->hide();
}

void CCameraSettingDlg::SetDeviceValues(const std::vector<ResolutionItem>& resolutions,
                                        const DeviceValues& values) {
    values_ = values;
    resolutionList_->clear();
    for (const ResolutionItem& r : resolutions) {
        resolutionList_->AddItem(QStringLiteral("%1x%2").arg(r.width).arg(r.height), r.code);
    }
    // A stored value that no item has leaves its list without a selection,
    // so that confirming sends it back unchanged instead of the first item.
    if (angleList_->SelectByData(values.cameraAngle) < 0) {
        angleList_->setCurrentIndex(-1);
    }
    if (resolutionList_->SelectByData(values.cameraResolution) < 0) {
        resolutionList_->setCurrentIndex(-1);
    }
    const bool choice = resolutionList_->count() > 1;
    resolutionLabel_->setVisible(choice);
    resolutionList_->setVisible(choice);
    autoConnect_->setChecked(values.autoConnect == 1);
}

DeviceValues CCameraSettingDlg::GetDeviceValues() const {
    DeviceValues values = values_;
    if (angleList_->currentIndex() >= 0) {
        values.cameraAngle = static_cast<int>(angleList_->SelectedData());
    }
    if (resolutionList_->currentIndex() >= 0) {
        values.cameraResolution = static_cast<int>(resolutionList_->SelectedData());
    }
    values.autoConnect = autoConnect_->isChecked() ? 1 : 0;
    return values;
}
