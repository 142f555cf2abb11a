#pragma once

// The Maintenance page of the settings dialog: "Delete all data" erases the
// registration data in the module and in the application at once. The page
// only asks; the main window runs the request behind its wait dialog.

#include <QWidget>

class CStateBmpButton;

class CMaintenanceDlg : public QWidget {
    Q_OBJECT
public:
    explicit CMaintenanceDlg(QWidget* parent = nullptr);

    CStateBmpButton* DeleteAllButton() const { return deleteAll_; }

signals:
    void deleteAllDataRequested();

private:
    CStateBmpButton* deleteAll_ = nullptr;  // 1082
};
