#pragma once

// The notice dialog: a captionless modal box with a text, the acknowledgement
// check box "上記の内容を承知する。" (I acknowledge the above) and an OK
// button. Run() returns kAcknowledged when the box was ticked at OK, else
// kNotAcknowledged; the user cannot close it another way.

#include <QString>

#include "widgets/OrgDialog.h"

class QCheckBox;
class QLabel;
class CStateBmpButton;

class CNotesDlg : public COrgDialog {
    Q_OBJECT
public:
    enum Result { kAcknowledged = 1, kNotAcknowledged = 2 };

    explicit CNotesDlg(QWidget* parent = nullptr);

    // The notice; shown as plain text, wrapped.
    void SetText(const QString& text);
    int Run();

    QCheckBox* AcknowledgeBox() const { return acknowledge_; }
    CStateBmpButton* OkButton() const { return ok_; }

private:
    QLabel* text_;
    QCheckBox* acknowledge_;  // control 1081
    CStateBmpButton* ok_;     // control 1068
};
