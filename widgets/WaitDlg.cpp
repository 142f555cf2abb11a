// The wait dialog: text lines, layout and the notify hand-shake.
#include "widgets/WaitDlg.h"

#include <QStringList>
#include <QVBoxLayout>

#include "widgets/BusyIndicator.h"
#include "widgets/MessageFont.h"

CWaitDlg::CWaitDlg(QWidget* parent) : CNotifyDlg(parent) {
    setAccessibleName(tr("Please wait."));
    const QFont font = MessageFont(this->font());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(0);
    for (QLabel*& line : lines_) {
        line = new QLabel(this);
        line->setTextFormat(Qt::PlainText);
        line->setAlignment(Qt::AlignCenter);
        line->setFont(font);
        line->setMinimumWidth(208);
        layout->addWidget(line);
    }
    busy_ = new CBusyIndicator(this);
    layout->addSpacing(8);
    layout->addWidget(busy_, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumHeight(64);
    text_ = TextOf(textId_);
    ApplyText();
}

QString CWaitDlg::TextOf(int id) {
    switch (id) {
        case kRunning:
            return QStringLiteral("Running...\nPlease wait.");
        case kTerminating:
            return QStringLiteral("Terminating...\nDo not turn off the Kyto.");
        default:
            return QStringLiteral("Please wait.");
    }
}

void CWaitDlg::SetTextId(int id) {
    textId_ = id;
    SetText(TextOf(id));
}

void CWaitDlg::SetText(const QString& text) {
    text_ = text;
    ApplyText();
}

void CWaitDlg::ApplyText() {
    QStringList parts = text_.split(QLatin1Char('\n'));
    while (parts.size() > kLineCount) {
        parts[kLineCount - 1] += QLatin1Char('\n') + parts.takeAt(kLineCount);
    }
    lineCount_ = static_cast<int>(parts.size());
    for (int i = 0; i < kLineCount; ++i) {
        if (i < lineCount_) {
            lines_[i]->setText(parts[i]);
            lines_[i]->show();
        } else {
            lines_[i]->clear();
            lines_[i]->hide();
        }
    }
    setAccessibleDescription(text_);
}

QLabel* CWaitDlg::Line(int index) const {
    return index >= 0 && index < kLineCount ? lines_[index] : nullptr;
}
