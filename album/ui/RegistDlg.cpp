// The Album page: its arrangement and the hand-on of its children's
// requests.

#include "album/ui/RegistDlg.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "album/ui/RegPreviewDlg.h"
#include "album/ui/RegUserDlg.h"
#include "album/ui/RegistImgPage.h"
#include "widgets/StateBmpButton.h"

CRegistDlg::CRegistDlg(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("albumPage"));
    open_ = NewDialogButton(tr("Open"), "albumOpenButton", this);
    save_ = NewDialogButton(tr("Save"), "albumSaveButton", this);
    flash_ = NewDialogButton(tr("Write to FlashROM"), "albumFlashButton", this);
    connect(open_, &QAbstractButton::clicked, this, [this] { emit FileRequested(kOpen); });
    connect(save_, &QAbstractButton::clicked, this, [this] { emit FileRequested(kSave); });
    connect(flash_, &QAbstractButton::clicked, this, [this] { emit FileRequested(kWriteToFlash); });

    preview_ = new CRegPreviewDlg(this);
    users_ = new CRegUserDlg(this);
    pictures_ = new CRegistImgPage(this);
    connect(users_, &CRegUserDlg::SelectionChanged, this, [this](int selected) {
        if (selected == 1) {
            emit UserSelected();
        } else {
            pictures_->Reset();
        }
    });

    auto* files = new QHBoxLayout;
    files->setSpacing(8);
    files->addWidget(open_);
    files->addWidget(save_);
    files->addWidget(flash_);
    files->addStretch(1);

    auto* separator = new QFrame(this);  // 1080
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* middle = new QHBoxLayout;
    middle->setSpacing(8);
    middle->addWidget(preview_, 0, Qt::AlignTop);
    middle->addWidget(users_, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    layout->addLayout(files);
    layout->addLayout(middle, 1);
    layout->addWidget(separator);
    layout->addWidget(pictures_);
}
