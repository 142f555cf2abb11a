#pragma once

// The progress dialog of an album file save or load, with a Cancel button:
// the transfer can take minutes at a low baud rate, and the user may end it.
// Cancel only reports the wish (CancelRequested); the owner ends the job
// through the core, whose completion then closes the dialog as usual.

#include "widgets/ProgressDlg.h"

class CStateBmpButton;

class CAlbumProgressDlg : public CProgressDlg {
    Q_OBJECT
public:
    explicit CAlbumProgressDlg(QWidget* parent = nullptr);

    // Before each run: Cancel enabled again.
    void Prepare();
    CStateBmpButton* CancelButton() const { return cancel_; }

signals:
    void CancelRequested();

private:
    CStateBmpButton* cancel_ = nullptr;
};
