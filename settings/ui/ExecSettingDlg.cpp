// The Execution settings page: thresholds, detection sizes, detection angles.

#include "settings/ui/ExecSettingDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include "settings/ui/NumberRows.h"
#include "widgets/OrgComboBox.h"
#include "widgets/RangeEdit.h"
#include "widgets/StateBmpButton.h"

namespace {

struct ThresholdRow {
    const char* caption;
    int minimum;
};
// Body, hand, face, recognition, verify: the order of DeviceSettings.
const ThresholdRow kThresholds[5] = {
    {"Human Body", 1}, {"Hand", 1}, {"Face", 1}, {"Recognition", 0}, {"Verify", 0}};
const char* const kSizes[3] = {"Human Body", "Hand", "Face"};
const char* const kYaw[3] = {"±30°", "±60°", "±90°"};  // strings 2000..2002
const char* const kRoll[2] = {"±15°", "±45°"};         // strings 2010, 2011

COrgComboBox* AngleList(QLabel* label, const char* const* items, int count, const char* name,
                        QWidget* parent) {
    auto* list = new COrgComboBox(parent);
    list->setObjectName(name);
    for (int i = 0; i < count; ++i) {
        list->AddItem(QString::fromUtf8(items[i]), i);
    }
    list->setCurrentIndex(0);
    label->setBuddy(list);
    list->setAccessibleName(label->text());
    return list;
}

}  // namespace

CExecSettingDlg::CExecSettingDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("execSettingPage");
    NumberGroup threshold = MakeNumberGroup(tr("Threshold value"), this);
    for (int i = 0; i < 5; ++i) {
        const QString caption = tr(kThresholds[i].caption);
        thresholds_[i] = AddNumberRow(threshold, caption, caption + tr(" threshold"),
                                      kThresholds[i].minimum, 1000, true, this);
    }
    threshold.grid->setRowStretch(threshold.row, 1);

    NumberGroup size = MakeNumberGroup(tr("Detection size"), this);
    for (int i = 0; i < 3; ++i) {
        const QString caption = tr(kSizes[i]);
        AddRangeRow(size, caption, caption + tr(" size"), 20, 8192, false, 0, &sizeMin_[i],
                    &sizeMax_[i], this);
    }
    size.grid->setRowStretch(size.row, 1);

    auto* angle = new QGroupBox(tr("Detection angle"), this);
    auto* angleRow = new QHBoxLayout(angle);
    angleRow->setContentsMargins(16, 16, 8, 16);
    angleRow->setSpacing(4);
    auto* yawLabel = new QLabel(tr("Yaw angle"), angle);    // 1050
    auto* rollLabel = new QLabel(tr("Roll angle"), angle);  // 1051
    yaw_ = AngleList(yawLabel, kYaw, 3, "yawList", angle);
    roll_ = AngleList(rollLabel, kRoll, 2, "rollList", angle);
    angleRow->addWidget(yawLabel);
    angleRow->addWidget(yaw_);
    angleRow->addSpacing(40);
    angleRow->addWidget(rollLabel);
    angleRow->addWidget(roll_);
    angleRow->addStretch(1);

    reset_ = NewDialogButton(tr("Reset values"), "execResetButton", this);
    reset_->setAccessibleName(tr("Reset values"));
    connect(reset_, &QAbstractButton::clicked, this, &CExecSettingDlg::resetRequested);

    auto* page = new QGridLayout(this);
    page->setContentsMargins(8, 8, 8, 16);
    page->setSpacing(8);
    page->addWidget(threshold.box, 0, 0);
    page->addWidget(size.box, 0, 1);
    page->addWidget(angle, 1, 0, 1, 2);
    page->addWidget(reset_, 2, 1, Qt::AlignRight);
    page->setRowStretch(3, 1);
    page->setColumnStretch(2, 1);
}

void CExecSettingDlg::SetValues(const DeviceSettings& values) {
    for (int i = 0; i < 5; ++i) {
        thresholds_[i]->SetInt(values.thresholds[i]);
    }
    for (int i = 0; i < 3; ++i) {
        sizeMin_[i]->SetInt(values.ranges[i].min);
        sizeMax_[i]->SetInt(values.ranges[i].max);
    }
    yaw_->SelectByData(values.yawCode);
    roll_->SelectByData(values.rollCode);
}

DeviceSettings CExecSettingDlg::GetValues() const {
    DeviceSettings values;
    for (int i = 0; i < 5; ++i) {
        values.thresholds[i] = thresholds_[i]->GetInt();
    }
    for (int i = 0; i < 3; ++i) {
        values.ranges[i] = CRange(sizeMin_[i]->GetInt(), sizeMax_[i]->GetInt());
    }
    values.yawCode = static_cast<int>(yaw_->SelectedData(-1));
    values.rollCode = static_cast<int>(roll_->SelectedData(-1));
    return values;
}
