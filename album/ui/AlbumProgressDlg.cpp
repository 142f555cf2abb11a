// The album file progress dialog: the shared progress box plus Cancel.

#include "album/ui/AlbumProgressDlg.h"

#include <QBoxLayout>

#include "widgets/StateBmpButton.h"

CAlbumProgressDlg::CAlbumProgressDlg(QWidget* parent) : CProgressDlg(parent) {
    setObjectName(QStringLiteral("albumProgressDlg"));
    cancel_ = NewDialogButton(tr("Cancel"), "albumProgressCancelButton", this);
    if (auto* box = qobject_cast<QBoxLayout*>(layout())) {
        box->addSpacing(12);
        box->addWidget(cancel_, 0, Qt::AlignHCenter);
    }
    // Once is enough: the button stays off until the transfer has ended.
    connect(cancel_, &QAbstractButton::clicked, this, [this] {
        cancel_->setEnabled(false);
        emit CancelRequested();
    });
}

void CAlbumProgressDlg::Prepare() {
    cancel_->setEnabled(true);
    SetProgress(0);
}
