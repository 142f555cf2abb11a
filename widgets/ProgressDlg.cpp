// The progress dialog: message, bar and the ways the bar is moved.
#include "widgets/ProgressDlg.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimerEvent>
#include <QVBoxLayout>
#include <cmath>

#include "widgets/MessageFont.h"

namespace {

class ProgressEvent : public QEvent {
public:
    explicit ProgressEvent(double percent) : QEvent(Type()), percent(percent) {}
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    const double percent;
};

}  // namespace

CProgressDlg::CProgressDlg(QWidget* parent) : CNotifyDlg(parent) {
    setAccessibleName(tr("Progress"));
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("progressText"));  // control 1091
    text_->setTextFormat(Qt::PlainText);
    text_->setAlignment(Qt::AlignCenter);
    text_->setFont(MessageFont(font()));
    text_->setMinimumWidth(288);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progressBar"));  // control 1090
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 24, 16, 24);
    layout->setSpacing(2);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    SetText(kLoading, QString());
}

QString CProgressDlg::TextOf(int textId) {
    return textId == kSaving ? QStringLiteral("Saving %s.") : QStringLiteral("Loading %s.");
}

void CProgressDlg::SetText(int textId, const QString& argument) {
    SetTextFormat(TextOf(textId), argument);
}

void CProgressDlg::SetTextFormat(const QString& format, const QString& argument) {
    // Only the first "%s" takes the argument, and the argument is not read
    // as a format itself (a file name may hold "%").
    QString text = format;
    const qsizetype at = text.indexOf(QLatin1String("%s"));
    if (at >= 0) {
        text.replace(at, 2, argument);
    }
    text_->setText(text);
    bar_->setAccessibleName(text);
}

QString CProgressDlg::Text() const {
    return text_->text();
}

int CProgressDlg::BarValue(double percent) {
    if (!std::isfinite(percent)) {
        return percent > 0 ? 100 : 0;  // +inf is done; -inf and NaN nothing
    }
    if (percent <= 0) {
        return 0;
    }
    if (percent >= 100) {
        return 100;
    }
    return static_cast<int>(percent);
}

void CProgressDlg::SetProgress(double percent) {
    bar_->setValue(BarValue(percent));
}

int CProgressDlg::Progress() const {
    return bar_->value();
}

void CProgressDlg::PostProgress(QObject* dialog, double percent) {
    if (dialog) {
        QCoreApplication::postEvent(dialog, new ProgressEvent(percent));
    }
}

void CProgressDlg::SetProgressSource(std::function<double()> source, int intervalMs) {
    source_ = std::move(source);
    sourceIntervalMs_ = std::max(10, intervalMs);
    sourceTimer_.stop();
    if (source_ && isVisible()) {
        sourceTimer_.start(sourceIntervalMs_, this);
    }
}

void CProgressDlg::showEvent(QShowEvent* event) {
    if (source_) {
        SetProgress(source_());
        sourceTimer_.start(sourceIntervalMs_, this);
    }
    CNotifyDlg::showEvent(event);
}

void CProgressDlg::hideEvent(QHideEvent* event) {
    sourceTimer_.stop();
    CNotifyDlg::hideEvent(event);
}

void CProgressDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() == sourceTimer_.timerId() && source_) {
        SetProgress(source_());
        return;
    }
    CNotifyDlg::timerEvent(event);
}

bool CProgressDlg::event(QEvent* event) {
    if (event->type() == ProgressEvent::Type()) {
        SetProgress(static_cast<ProgressEvent*>(event)->percent);
        return true;
    }
    return CNotifyDlg::event(event);
}
