// The notice dialog with its acknowledgement box.
#include "widgets/NotesDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "widgets/ButtonFaces.h"
#include "widgets/StateBmpButton.h"

CNotesDlg::CNotesDlg(QWidget* parent) : COrgDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setModal(true);
    SetStoredResult(kNotAcknowledged);
    setAccessibleName(tr("Notice"));
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("noticeText"));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setMinimumWidth(320);
    acknowledge_ = new QCheckBox(QStringLiteral("上記の内容を承知する。"), this);
    acknowledge_->setObjectName(QStringLiteral("acknowledgeBox"));
    ok_ = new CStateBmpButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->SetFace(ButtonFace(FaceId::kPushButton));
    ok_->SetTransparentColor(0xFF00FF);
    ok_->setMinimumSize(88, 24);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(acknowledge_);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);

    connect(ok_, &QAbstractButton::clicked, this, [this] {
        CloseWithResult(acknowledge_->isChecked() ? kAcknowledged : kNotAcknowledged);
    });
}

void CNotesDlg::SetText(const QString& text) {
    text_->setText(text);
    setAccessibleDescription(text);
}

int CNotesDlg::Run() {
    return exec();
}
