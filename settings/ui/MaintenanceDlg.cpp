// The Maintenance page: the delete-all button with its caution text, and the
// album type.

#include "settings/ui/MaintenanceDlg.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "widgets/ButtonFaces.h"
#include "widgets/StateBmpButton.h"

CMaintenanceDlg::CMaintenanceDlg(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 24, 16, 16);
    layout->setSpacing(16);

    deleteAll_ = new CStateBmpButton(tr("Delete all data"), this);
    deleteAll_->setObjectName("deleteAllDataButton");
    deleteAll_->SetFace(ButtonFace(FaceId::kPushButton));
    deleteAll_->setFocusPolicy(Qt::StrongFocus);
    deleteAll_->setAccessibleName(tr("Delete all data"));
    auto* row = new QHBoxLayout;
    row->addWidget(deleteAll_);
    row->addStretch(1);
    layout->addLayout(row);

    // 1085: three strings joined.
    auto* caution = new QLabel(
        tr("-CAUTION-\nThe registration data for Face Recognition stored in the Device must\n"
           "match the one stored in the Application.\nProper operation for Face Recognition "
           "will not be guaranteed\n") +
            tr("if a different device or PC is used.\nIn such a case, all the registration "
               "data can be erased in both the device\n") +
            tr("and the PC used with the \"Delete all data\" button.\nPlease note that this will "
               "erase ALL data and that recognition data\nwill need to be registered again."),
        this);
    caution->setTextFormat(Qt::PlainText);
    caution->setObjectName("cautionText");
    layout->addWidget(caution);

    auto* album = new QGroupBox(tr("Album type"), this);
    auto* albumLayout = new QHBoxLayout(album);
    albumLayout->setContentsMargins(16, 16, 16, 8);
    albumLayout->setSpacing(8);
    typeGroup_ = new QButtonGroup(this);
    const char* const captions[3] = {"100-ID x 10-Data", "500-ID x 2-Data", "1000-ID x 1-Data"};
    for (int type = 0; type < 3; ++type) {
        types_[type] = new QRadioButton(tr(captions[type]), album);
        types_[type]->setObjectName(QStringLiteral("albumType%1").arg(type));
        typeGroup_->addButton(types_[type], type);
        albumLayout->addWidget(types_[type]);
    }
    types_[0]->setChecked(true);
    albumLayout->addSpacing(16);
    setType_ = new QPushButton(tr("Set Album Type"), album);
    setType_->setObjectName("setAlbumTypeButton");
    getType_ = new QPushButton(tr("Get Album Type"), album);
    getType_->setObjectName("getAlbumTypeButton");
    albumLayout->addWidget(setType_);
    albumLayout->addWidget(getType_);
    albumLayout->addStretch(1);
    layout->addWidget(album);
    layout->addStretch(1);

    connect(deleteAll_, &QAbstractButton::clicked, this, &CMaintenanceDlg::deleteAllDataRequested);
    connect(getType_, &QAbstractButton::clicked, this, &CMaintenanceDlg::getAlbumTypeRequested);
    connect(setType_, &QAbstractButton::clicked, this,
            [this] { emit setAlbumTypeRequested(ChosenAlbumType()); });
}

void CMaintenanceDlg::ShowAlbumType(int type) {
    if (type >= 0 && type < 3) {
        types_[type]->setChecked(true);
        return;
    }
    // An exclusive group never lets its last checked button go.
    typeGroup_->setExclusive(false);
    for (QRadioButton* b : types_) {
        b->setChecked(false);
    }
    typeGroup_->setExclusive(true);
}

int CMaintenanceDlg::ChosenAlbumType() const {
    if (types_[2]->isChecked()) {
        return 2;
    }
    return types_[1]->isChecked() ? 1 : 0;
}
