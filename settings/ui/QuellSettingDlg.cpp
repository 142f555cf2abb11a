// The Stabilization settings page: boxes, reset and save.

#include "settings/ui/QuellSettingDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "settings/ui/SpinButton.h"
#include "widgets/RangeEdit.h"
#include "widgets/StateBmpButton.h"

namespace {

// A box with its spin; the label is the box's buddy and gives it its name.
CRangeEdit* NumberBox(QLabel* label, const QString& name, int minimum, int maximum, bool digitsOnly,
                      QWidget* parent, QHBoxLayout* row) {
    auto* box = new CRangeEdit(parent);
    box->SetRange(minimum, maximum);
    box->SetDigitsOnly(digitsOnly);
    box->setFixedWidth(56);
    box->setAccessibleName(name);
    if (label != nullptr) {
        label->setBuddy(box);
    }
    row->addWidget(box);
    row->addWidget(new CSpinButton(box, parent));
    return box;
}

struct Group {
    QGroupBox* box;
    QGridLayout* grid;
    int row = 0;
};

Group MakeGroup(const QString& title, QWidget* parent) {
    Group g{new QGroupBox(title, parent), nullptr};
    g.grid = new QGridLayout(g.box);
    g.grid->setContentsMargins(16, 16, 8, 8);
    g.grid->setHorizontalSpacing(4);
    g.grid->setVerticalSpacing(8);
    return g;
}

// One labelled box with its spin in the next row of the group.
CRangeEdit* AddSingle(Group& g, const QString& caption, const QString& name, int minimum,
                      int maximum, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    CRangeEdit* box = NumberBox(label, name, minimum, maximum, true, parent, row);
    row->addStretch(1);
    g.grid->addWidget(label, g.row, 0);
    g.grid->addLayout(row, g.row, 1);
    ++g.row;
    return box;
}

// "Pitch" or "Yaw", indented: minimum box, spin, "-", maximum box, spin.
void AddAngle(Group& g, const QString& caption, const QString& prefix, CRangeEdit** minBox,
              CRangeEdit** maxBox, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    *minBox = NumberBox(label, prefix + " " + caption + QObject::tr(" minimum"), -90, 90, false,
                        parent, row);
    row->addWidget(new QLabel(QStringLiteral("-"), parent));
    *maxBox = NumberBox(nullptr, prefix + " " + caption + QObject::tr(" maximum"), -90, 90, false,
                        parent, row);
    row->addStretch(1);
    label->setIndent(8);
    g.grid->addWidget(label, g.row, 0);
    g.grid->addLayout(row, g.row, 1);
    ++g.row;
}

void AddHeading(Group& g, const QString& caption, QWidget* parent) {
    g.grid->addWidget(new QLabel(caption, parent), g.row, 0, 1, 2);
    ++g.row;
}

}  // namespace

CQuellSettingDlg::CQuellSettingDlg(QWidget* parent) : QWidget(parent) {
    const QString pe = tr("Age/Gender");
    const QString fr = tr("Recognition");

    Group age = MakeGroup(tr("Age/Gender Estimation"), this);
    peFrame_ =
        AddSingle(age, tr("Complete Frame Count"), pe + tr(" Complete Frame Count"), 1, 20, this);
    peThreshold_ = AddSingle(age, tr("Stabilizing Threshold"), pe + tr(" Stabilizing Threshold"), 1,
                             1000, this);
    AddHeading(age, tr("Stabilizing Angle"), this);
    AddAngle(age, tr("Pitch"), pe, &peUDMin_, &peUDMax_, this);
    AddAngle(age, tr("Yaw"), pe, &peLRMin_, &peLRMax_, this);
    age.grid->setRowStretch(age.row, 1);

    Group face = MakeGroup(tr("Face Recognition"), this);
    frFrame_ =
        AddSingle(face, tr("Complete Frame Count"), fr + tr(" Complete Frame Count"), 0, 20, this);
    frThreshold_ = AddSingle(face, tr("Stabilizing Threshold"), fr + tr(" Stabilizing Threshold"),
                             0, 1000, this);
    AddHeading(face, tr("Stabilizing Angle"), this);
    AddAngle(face, tr("Pitch"), fr, &frUDMin_, &frUDMax_, this);
    AddAngle(face, tr("Yaw"), fr, &frLRMin_, &frLRMax_, this);
    frRatio_ = AddSingle(face, tr("Account Ratio"), tr("Account Ratio"), 0, 100, this);

    Group common = MakeGroup(tr("Common Parameter"), this);
    retry_ = AddSingle(common, tr("Max Retry Count"), tr("Max Retry Count"), 0, 300, this);

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
