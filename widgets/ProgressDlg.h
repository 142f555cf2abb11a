#pragma once

// The progress dialog: a captionless modal box with a message (a file name
// inserted into it) above a progress bar from 0 to 100, shown while an album
// file is loaded or saved. It has the notify hand-shake of CNotifyDlg; the
// user cannot close it.
//
// The bar moves by SetProgress on the window thread, by PostProgress from any
// thread, or by a progress source the dialog reads on a timer while it is
// shown (no busy polling):
//
//     progress_->SetText(CProgressDlg::kSaving, "KytoAlbum.kyl");
//     progress_->SetProgressSource([core] { return core->Album().AlbumProgress(); });
//     progress_->SetNotify(UWM_ALBUM_FILE, 1);
//     progress_->Run();

#include <QBasicTimer>
#include <QString>
#include <functional>

#include "widgets/NotifyDlg.h"

class QLabel;
class QProgressBar;

class CProgressDlg : public CNotifyDlg {
    Q_OBJECT
public:
    // The texts, by their string numbers; each holds one "%s".
    enum TextId {
        kLoading = 5035,  // "Loading %s."
        kSaving = 5036,   // "Saving %s."
    };
    static constexpr int kSourceIntervalMs = 100;

    explicit CProgressDlg(QWidget* parent = nullptr);

    // The text of the number with argument put in place of its "%s".
    void SetText(int textId, const QString& argument);
    // Any format with one "%s".
    void SetTextFormat(const QString& format, const QString& argument);
    static QString TextOf(int textId);
    QString Text() const;

    // The bar shows the percentage's whole part, kept within 0 to 100 (not a
    // number counts as 0).
    void SetProgress(double percent);
    int Progress() const;
    // Posts a SetProgress to dialog; safe from any thread while it lives.
    static void PostProgress(QObject* dialog, double percent);
    // Read every intervalMs while the dialog is shown; an empty function
    // stops the reading.
    void SetProgressSource(std::function<double()> source, int intervalMs = kSourceIntervalMs);

    QProgressBar* Bar() const { return bar_; }

    // The bar value for a percentage.
    static int BarValue(double percent);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QLabel* text_;
    QProgressBar* bar_;
    std::function<double()> source_;
    int sourceIntervalMs_ = kSourceIntervalMs;
    QBasicTimer sourceTimer_;
};
