#pragma once

// The Stabilization page of the settings dialog: the fourteen parameters of
// the stabilisation library kept in ./Application.ini, section "Application".
// It reads them when it is made and writes them only when the settings
// dialog is confirmed (SaveValues), so a reset followed by Cancel changes
// nothing on disk.

#include <QWidget>

#include "settings/Settings.h"

class CRangeEdit;
class CStateBmpButton;

class CQuellSettingDlg : public QWidget {
    Q_OBJECT
public:
    explicit CQuellSettingDlg(QWidget* parent = nullptr);

    // Writes every box's clamped value to its key.
    void SaveValues();
    // The boxes' clamped values (the steadiness keys as stored).
    QuellSettings Values() const;
    // Puts the fixed default numbers into the boxes without saving.
    void ResetValues();

    CStateBmpButton* ResetButton() const { return reset_; }
    CRangeEdit* peFrame() const { return peFrame_; }

private:
    void Show(const QuellSettings& s);

    QuellSettings read_;  // keeps the keys this page does not edit
    CRangeEdit* peFrame_ = nullptr;
    CRangeEdit* peThreshold_ = nullptr;
    CRangeEdit* peUDMin_ = nullptr;
    CRangeEdit* peUDMax_ = nullptr;
    CRangeEdit* peLRMin_ = nullptr;
    CRangeEdit* peLRMax_ = nullptr;
    CRangeEdit* frFrame_ = nullptr;
    CRangeEdit* frRatio_ = nullptr;
    CRangeEdit* frThreshold_ = nullptr;
    CRangeEdit* frUDMin_ = nullptr;
    CRangeEdit* frUDMax_ = nullptr;
    CRangeEdit* frLRMin_ = nullptr;
    CRangeEdit* frLRMax_ = nullptr;
    CRangeEdit* retry_ = nullptr;
    CStateBmpButton* reset_ = nullptr;
};
