// The Stabilization settings page: boxes, reset and save.

#include "settings/ui/QuellSettingDlg.h"

#include <QGridLayout>
#include <QGroupBox>

#include "settings/ui/NumberRows.h"
#include "widgets/RangeEdit.h"
#include "widgets/StateBmpButton.h"

CQuellSettingDlg::CQuellSettingDlg(QWidget* parent) : QWidget(parent) {
    const QString pe = tr("Age/Gender");
    const QString fr = tr("Recognition");

    NumberGroup age = MakeNumberGroup(tr("Age/Gender Estimation"), this);
    peFrame_ = AddNumberRow(age, tr("Complete Frame Count"), pe + tr(" Complete Frame Count"), 1,
                            20, true, this);
    peThreshold_ = AddNumberRow(age, tr("Stabilizing Threshold"), pe + tr(" Stabilizing Threshold"),
                                1, 1000, true, this);
    AddHeadingRow(age, tr("Stabilizing Angle"), this);
    AddRangeRow(age, tr("Pitch"), pe + tr(" Pitch"), -90, 90, false, 8, &peUDMin_, &peUDMax_, this);
    AddRangeRow(age, tr("Yaw"), pe + tr(" Yaw"), -90, 90, false, 8, &peLRMin_, &peLRMax_, this);
    age.grid->setRowStretch(age.row, 1);

    NumberGroup face = MakeNumberGroup(tr("Face Recognition"), this);
    frFrame_ = AddNumberRow(face, tr("Complete Frame Count"), fr + tr(" Complete Frame Count"), 0,
                            20, true, this);
    frThreshold_ = AddNumberRow(face, tr("Stabilizing Threshold"),
                                fr + tr(" Stabilizing Threshold"), 0, 1000, true, this);
    AddHeadingRow(face, tr("Stabilizing Angle"), this);
    AddRangeRow(face, tr("Pitch"), fr + tr(" Pitch"), -90, 90, false, 8, &frUDMin_, &frUDMax_,
                this);
    AddRangeRow(face, tr("Yaw"), fr + tr(" Yaw"), -90, 90, false, 8, &frLRMin_, &frLRMax_, this);
    frRatio_ = AddNumberRow(face, tr("Account Ratio"), tr("Account Ratio"), 0, 100, true, this);

    NumberGroup common = MakeNumberGroup(tr("Common Parameter"), this);
    retry_ = AddNumberRow(common, tr("Max Retry Count"), tr("Max Retry Count"), 0, 300, true, this);

    reset_ = NewDialogButton(tr("Reset values"), "resetButton", this);
    reset_->setAccessibleName(tr("Reset values"));
    connect(reset_, &QAbstractButton::clicked, this, &CQuellSettingDlg::ResetValues);

    auto* page = new QGridLayout(this);
    page->setContentsMargins(8, 8, 8, 16);
    page->setSpacing(8);
    page->addWidget(age.box, 0, 0);
    page->addWidget(face.box, 0, 1);
    page->addWidget(common.box, 1, 0);
    page->addWidget(reset_, 1, 1, Qt::AlignRight | Qt::AlignBottom);
    page->setRowStretch(2, 1);
    page->setColumnStretch(2, 1);

    read_ = ReadQuellSettings();
    Show(read_);
}

void CQuellSettingDlg::Show(const QuellSettings& s) {
    peFrame_->SetInt(s.peFrame);
    peThreshold_->SetInt(s.peThreshold);
    peUDMin_->SetInt(s.peAngleUDMin);
    peUDMax_->SetInt(s.peAngleUDMax);
    peLRMin_->SetInt(s.peAngleLRMin);
    peLRMax_->SetInt(s.peAngleLRMax);
    frFrame_->SetInt(s.frFrame);
    frRatio_->SetInt(s.frRatio);
    frThreshold_->SetInt(s.frThreshold);
    frUDMin_->SetInt(s.frAngleUDMin);
    frUDMax_->SetInt(s.frAngleUDMax);
    frLRMin_->SetInt(s.frAngleLRMin);
    frLRMax_->SetInt(s.frAngleLRMax);
    retry_->SetInt(s.retryCount);
}

void CQuellSettingDlg::ResetValues() {
    QuellSettings defaults;
    Show(defaults);
}

QuellSettings CQuellSettingDlg::Values() const {
    QuellSettings s = read_;
    s.peFrame = peFrame_->GetInt();
    s.peThreshold = peThreshold_->GetInt();
    s.peAngleUDMin = peUDMin_->GetInt();
    s.peAngleUDMax = peUDMax_->GetInt();
    s.peAngleLRMin = peLRMin_->GetInt();
    s.peAngleLRMax = peLRMax_->GetInt();
    s.frFrame = frFrame_->GetInt();
    s.frRatio = frRatio_->GetInt();
    s.frThreshold = frThreshold_->GetInt();
    s.frAngleUDMin = frUDMin_->GetInt();
    s.frAngleUDMax = frUDMax_->GetInt();
    s.frAngleLRMin = frLRMin_->GetInt();
    s.frAngleLRMax = frLRMax_->GetInt();
    s.retryCount = retry_->GetInt();
    return s;
}

void CQuellSettingDlg::SaveValues() {
    WriteQuellSettings(Values());
}
