#pragma once

// The Execution page of the settings dialog: the detection settings the
// module keeps (five thresholds, three size ranges, the face detection
// angles). The page shows and reads values only; "Reset values" asks the
// owner for the module's default settings (resetRequested), which come back
// through SetValues, and nothing is sent or saved before the dialog is
// confirmed.

#include <QWidget>

#include "settings/Settings.h"

class COrgComboBox;
class CRangeEdit;
class CStateBmpButton;

class CExecSettingDlg : public QWidget {
    Q_OBJECT
public:
    explicit CExecSettingDlg(QWidget* parent = nullptr);

    // Every number as decimal text (-1 of an unset value too); each angle
    // list selects the item of its code and keeps its selection when no
    // item has it.
    void SetValues(const DeviceSettings& values);
    // The numbers clamped to their boxes' ranges; the codes of the selected
    // angle items.
    DeviceSettings GetValues() const;

    CRangeEdit* ThresholdBox(int i) const { return thresholds_[i]; }
    CRangeEdit* SizeMinBox(int i) const { return sizeMin_[i]; }
    CRangeEdit* SizeMaxBox(int i) const { return sizeMax_[i]; }
    COrgComboBox* YawList() const { return yaw_; }
    COrgComboBox* RollList() const { return roll_; }
    CStateBmpButton* ResetButton() const { return reset_; }

signals:
    void resetRequested();

private:
    CRangeEdit* thresholds_[5] = {};    // 2015..2019
    CRangeEdit* sizeMin_[3] = {};       // 2030..2032
    CRangeEdit* sizeMax_[3] = {};       // 2035..2037
    COrgComboBox* yaw_ = nullptr;       // 1052
    COrgComboBox* roll_ = nullptr;      // 1053
    CStateBmpButton* reset_ = nullptr;  // 1075
};
