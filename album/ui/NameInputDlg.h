#pragma once

// The name dialog: a new user gets its name and ID, an existing user a new
// name. The dialog only collects the input; its owner checks it
// (CheckNameInput) when NameCheckRequested arrives and either ends the dialog
// (AcceptInput) or leaves it open after a message.

#include <QString>
#include <string>

#include "widgets/OrgDialog.h"

class CAlbumMngr;
class CStateBmpButton;
class QLabel;
class QLineEdit;

class CNameInputDlg : public COrgDialog {
    Q_OBJECT
public:
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    explicit CNameInputDlg(QWidget* parent = nullptr);

    // Sets up the next run: the name shown, the ID (shown only for 0..99)
    // and whether the ID may be edited (adding a user).
    void SetInput(const QString& name, int id, bool addMode);
    // 1 after the owner accepted the input, 2 otherwise.
    int Result() const { return StoredResult(); }
    // The name and ID shown on opening; after OK those entered.
    QString Name() const { return name_; }
    int Id() const { return id_; }
    bool AddMode() const { return addMode_; }

    // The owner's answer to NameCheckRequested: the input is good, end the
    // dialog with result 1.
    void AcceptInput();

signals:
    // OK or Enter: Name() and Id() hold the input; the owner checks it.
    void NameCheckRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void TakeInput(bool fromEnter);

    QLabel* idLabel_ = nullptr;
    QLineEdit* idEdit_ = nullptr;
    QLabel* nameLabel_ = nullptr;
    QLineEdit* nameEdit_ = nullptr;
    CStateBmpButton* ok_ = nullptr;
    CStateBmpButton* cancel_ = nullptr;
    QString name_;
    int id_ = -1;
    bool addMode_ = false;
};

// The check of the name dialog's input. editedId is the user being renamed,
// -1 while adding. The name is judged as the store would keep it (cut to the
// album file's name field). 0 when the input may be applied, else the
// message to show: 2110 (name taken), 2111 (ID unusable), kNameUnstorable
// (a line break, which the one-line name field cannot carry).
inline constexpr int kNameUnstorable = -1;
int CheckNameInput(const CAlbumMngr& album, const std::string& name, int editedId, bool adding,
                   int id);
// The text of each message CheckNameInput returns.
QString NameCheckText(int code);

// Checks the dialog's input against the album: ends the dialog when it is
// good, else shows the message (exclamation icon) and leaves it open.
// true when the dialog was ended.
bool ApplyNameCheck(CNameInputDlg& dialog, const CAlbumMngr& album, int editedId);
