#pragma once

// The connection page of the settings dialog: port, baud rate and "Connect
// on startup" (and the camera angle, kept but hidden). The port list shows
// each port's label (PortLabels.h) and keeps the port names themselves; a
// port list thread refreshes it while the dialog is shown.

#include <QWidget>

#include <string>
#include <vector>

#include "widgets/OrgComboBox.h"

class QCheckBox;
class QLabel;

// One entry of the port list: the name that is stored and opened, and what
// the list shows for it.
struct PortEntry {
    std::string name;
    std::string label;
    bool operator==(const PortEntry&) const = default;
};

struct ConnectionValues {
    std::string portName;
    int baud = 921600;
    int cameraAngle = 0;
    int autoConnect = 0;
};

class CConnectSettingDlg : public QWidget {
    Q_OBJECT
public:
    // connectionMode: the start-up dialog, where the port and the baud rate
    // are read back; in the settings dialog only the angle and the check are.
    CConnectSettingDlg(bool connectionMode, QWidget* parent = nullptr);

    void SetConnectionValues(const std::vector<PortEntry>& ports, const ConnectionValues& values);
    ConnectionValues GetConnectionValues() const;
    // A new port list: nothing happens when it equals the current one;
    // otherwise the list is refilled and the port shown before stays chosen
    // when it is still there.
    void RefreshPorts(const std::vector<PortEntry>& ports);
    // Why the last port could not be opened and what helps (empty hides it).
    void SetAdvice(const QString& text);

    const std::vector<PortEntry>& Ports() const { return ports_; }
    COrgComboBox* PortList() const { return portList_; }
    COrgComboBox* BaudList() const { return baudList_; }
    QCheckBox* AutoConnectBox() const { return autoConnect_; }
    QLabel* AdviceLabel() const { return advice_; }

private:
    void FillPortList(const QString& selectPrefix);

    bool connectionMode_;
    std::vector<PortEntry> ports_;
    ConnectionValues values_;
    COrgComboBox* portList_;   // 1064
    COrgComboBox* baudList_;   // 1065
    QLabel* angleLabel_;       // 1066
    COrgComboBox* angleList_;  // 1067
    QCheckBox* autoConnect_;   // 1086
    QLabel* advice_;
};

// Selects the first item whose text begins with `prefix` (letter case
// ignored), else the first item; -1 when the list is empty.
int SelectByPrefix(QComboBox& list, const QString& prefix);
