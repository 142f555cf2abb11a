// The Maintenance page: the delete-all button and its caution text.

#include "settings/ui/MaintenanceDlg.h"

#include <QHBoxLayout>
#include <QLabel>
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
    layout->addStretch(1);

    connect(deleteAll_, &QAbstractButton::clicked, this, &CMaintenanceDlg::deleteAllDataRequested);
}
