#pragma once

// The Device page of the settings dialog: the camera angle, the camera
// resolution (one entry per resolution the connected model offers; the row
// is hidden when there is nothing to choose) and "Connect on startup".

#include <QWidget>

#include <vector>

class COrgComboBox;
class QCheckBox;
class QLabel;

// One camera resolution the model offers, with the code Set Camera
// Resolution takes.
struct ResolutionItem {
    int width = 0;
    int height = 0;
    int code = 0;
};

struct DeviceValues {
    int cameraAngle = 0;
    int cameraResolution = 0;
    int autoConnect = 0;
};

// Fills a list with the four camera angles, item data the angle code 0..3
// (the connection page keeps one too, hidden).
void FillCameraAngleList(COrgComboBox& list);

class CCameraSettingDlg : public QWidget {
    Q_OBJECT
public:
    explicit CCameraSettingDlg(QWidget* parent = nullptr);

    // Refills the resolution list, selects the items whose data equal the
    // angle and the resolution code (a code no item has leaves the list as
    // it is), hides the resolution row unless there are two or more, and
    // sets the check box.
    void SetDeviceValues(const std::vector<ResolutionItem>& resolutions,
                         const DeviceValues& values);
    DeviceValues GetDeviceValues() const;

    COrgComboBox* AngleList() const { return angleList_; }
    COrgComboBox* ResolutionList() const { return resolutionList_; }
    QLabel* ResolutionLabel() const { return resolutionLabel_; }
    QCheckBox* AutoConnectBox() const { return autoConnect_; }

private:
    DeviceValues values_;
    COrgComboBox* angleList_ = nullptr;       // 1067
    QLabel* resolutionLabel_ = nullptr;       // 1087
    COrgComboBox* resolutionList_ = nullptr;  // 1068
    QCheckBox* autoConnect_ = nullptr;        // 1086
};
