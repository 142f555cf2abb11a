#pragma once

// The Album page's user list: one row per user (ID, name, data count), the
// header sorts, the ↑/↓ moves of the row order and the user buttons. It
// only shows and forwards: every button is a request its owner carries out
// (the main window), which then refills the list from the album. Which
// buttons are enabled is decided in one place (UpdateButtons) from the
// selection and the rows.

#include <QWidget>
#include <vector>

#include "album/UserInfo.h"

class COrgListCtrl;
class QLabel;
class CStateBmpButton;

// Sort modes of the list: -1 as filled, then ascending and descending by
// ID, name and data count.
enum class UserSortMode {
    kNone = -1,
    kIdAscending = 0,
    kIdDescending = 1,
    kNameAscending = 2,
    kNameDescending = 3,
    kCountAscending = 4,
    kCountDescending = 5,
};

// The mode a click on the header at x (header coordinates, columns 56, 208
// and 80 pixels wide) leads to: a second click on the same column turns the
// order round, a click on another column sorts it ascending; outside the
// columns the mode stays.
UserSortMode NextUserSortMode(UserSortMode mode, int headerX);
// Rows sorted by the mode (IDs and data counts as numbers, names code unit
// by code unit); kNone leaves them.
void SortUserRows(std::vector<RegUserEntry>& rows, UserSortMode mode);

class CRegUserDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kIdCapacity = 1000;
    static constexpr int kDataCapacity = 10;
    // Values of UserRequested.
    enum UserRequest { kAddUser = 0, kChangeName = 1, kDeleteUser = 2, kDeleteAll = 3 };

    explicit CRegUserDlg(QWidget* parent = nullptr);

    // Refills from the album's user listing: the rows follow the listing
    // (which is in the album's row order, see RowOrder), then the sort mode;
    // a row that stays keeps its selection.
    void SetUsers(const std::vector<RegUserEntry>& users);
    // All rows removed.
    void Clear();
    // Forgets the sort: the rows follow the next listing as it comes (after
    // an album file was loaded).
    void ResetSort() { sortMode_ = UserSortMode::kNone; }
    // A click on the header at x.
    void SortByHeader(int headerX);
    UserSortMode SortMode() const { return sortMode_; }

    // Moves the row of the user one up (-1) or down (+1); false when it
    // cannot move. The album is not reordered: the row order is what album
    // files follow.
    bool MoveUser(int id, int direction);
    // The row of the user shows this data count.
    void SetDataCount(int id, int count);

    // The IDs of the rows, top to bottom.
    std::vector<int> RowOrder() const;
    // The IDs of the selected rows, top to bottom.
    std::vector<int> SelectedIds() const;
    // The user of the one selected row; -1 when none or several are.
    int SelectedId() const;
    void SelectUser(int id);

    COrgListCtrl* List() const { return list_; }

signals:
    void UserRequested(int request);  // UserRequest
    void RegisterRequested();
    // The selection changed; the number of selected rows.
    void SelectionChanged(int selectedRows);
    // ↑ (-1) or ↓ (+1) for the selected user.
    void MoveRequested(int direction);

private:
    void Refill(const std::vector<RegUserEntry>& rows);
    std::vector<RegUserEntry> Rows() const;
    void UpdateButtons();
    void OnSelectionChanged();

    COrgListCtrl* list_ = nullptr;          // 1056
    CStateBmpButton* add_ = nullptr;        // 1057
    CStateBmpButton* rename_ = nullptr;     // 1058
    CStateBmpButton* delete_ = nullptr;     // 1059
    CStateBmpButton* deleteAll_ = nullptr;  // 1060
    CStateBmpButton* register_ = nullptr;   // 1061
    CStateBmpButton* up_ = nullptr;         // 3001
    CStateBmpButton* down_ = nullptr;       // 3002
    QLabel* steps_ = nullptr;               // 1073, hidden
    UserSortMode sortMode_ = UserSortMode::kNone;
    bool filling_ = false;
};
