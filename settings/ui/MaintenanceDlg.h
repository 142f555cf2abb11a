#pragma once

// The Maintenance page of the settings dialog: "Delete all data" erases the
// registration data in the module and in the application at once, and the
// album type (how the module divides its recognition memory between users
// and their data) is read or set. The page only asks; the main window runs
// each request behind its wait dialog.

#include <QWidget>

class CStateBmpButton;
class QButtonGroup;
class QPushButton;
class QRadioButton;

class CMaintenanceDlg : public QWidget {
    Q_OBJECT
public:
    explicit CMaintenanceDlg(QWidget* parent = nullptr);

    // Checks the button of album type 0, 1 or 2; any other value clears all
    // three.
    void ShowAlbumType(int type);
    // The type "Set Album Type" sends: 2 when its button is checked, else 1
    // when that one is, else 0 (also when none is checked).
    int ChosenAlbumType() const;

    CStateBmpButton* DeleteAllButton() const { return deleteAll_; }
    QRadioButton* AlbumTypeButton(int type) const { return types_[type]; }
    QPushButton* SetAlbumTypeButton() const { return setType_; }
    QPushButton* GetAlbumTypeButton() const { return getType_; }

signals:
    void deleteAllDataRequested();
    void getAlbumTypeRequested();
    void setAlbumTypeRequested(int type);

private:
    CStateBmpButton* deleteAll_ = nullptr;  // 1082
    QRadioButton* types_[3] = {};           // 3012..3014
    QButtonGroup* typeGroup_ = nullptr;
    QPushButton* setType_ = nullptr;  // 3015
    QPushButton* getType_ = nullptr;  // 3016
};
