#pragma once

// The ID selection dialog: the user picks the registered user whose face
// Verify compares with. Modeless, it lives beside its owner's page; the
// owner feeds it the user listing whenever the album changes and takes the
// confirmed ID from VerifyIdConfirmed. The dialog changes nothing in the
// album itself.
//
// Two marks: the list's selection (where search and clicks land) and the
// marked ID (the picture in column 0, moved only by a click in column 0),
// which Confirm commits.

#include <QString>
#include <vector>

#include "album/UserInfo.h"
#include "widgets/OrgDialog.h"

class COrgListCtrl;
class CStateBmpButton;
class QLabel;
class QLineEdit;
class QToolButton;

// Sort states of the list: as given, ID descending, name ascending, name
// descending.
enum class IdSortState { kNone = 0, kIdDescending = 1, kNameAscending = 2, kNameDescending = 3 };

// Sorts users (stably) for a click on header column 1 (ID) or 2 (name) in
// the given state and returns the next state. ID: descending from state 0,
// else ascending (back to state 0). Name: descending from the ascending
// state, else ascending; names compare code unit by code unit (UTF-16),
// equal names by ascending ID. Other columns change nothing.
IdSortState SortUsersByColumn(std::vector<RegUserEntry>& users, int column, IdSortState state);

class CIDSelectDlg : public COrgDialog {
    Q_OBJECT
public:
    explicit CIDSelectDlg(QWidget* owner = nullptr);

    // A fresh listing: the list is rebuilt in its order and the mark put
    // back on the marked ID.
    void SetUsers(const std::vector<RegUserEntry>& users);
    void SetCommittedId(int id);
    void SetMarkedId(int id);
    int CommittedId() const { return committedId_; }
    int MarkedId() const { return markedId_; }
    IdSortState SortState() const { return sortState_; }

    // The search of the search field's text (the search button and Enter):
    // the first row whose ID text equals it exactly, else the first whose
    // name does, becomes the selected row; nothing found clears the
    // selection of the current row. An empty text does nothing.
    void Search();
    // Commits the marked ID (Confirm).
    void Confirm();

    COrgListCtrl* List() const { return list_; }

signals:
    // Confirm: the committed ID, -1 for none.
    void VerifyIdConfirmed(int id);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Refill(const std::vector<RegUserEntry>& users);
    void ApplyMark();
    void FocusRow(int row);
    void OnRowClicked(int row, int column);
    void OnHeaderClicked(int column);
    void ShowCommittedId();

    QLabel* selectedLabel_ = nullptr;
    QLabel* committedLabel_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QToolButton* searchButton_ = nullptr;
    COrgListCtrl* list_ = nullptr;
    CStateBmpButton* confirm_ = nullptr;
    int committedId_ = -1;
    int markedId_ = -1;
    std::vector<RegUserEntry> users_;
    std::vector<RegUserEntry> working_;
    IdSortState sortState_ = IdSortState::kNone;
};
