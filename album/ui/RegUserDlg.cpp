// The Album page's user list: rows, sorts, moves and the button states.

#include "album/ui/RegUserDlg.h"

#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/OrgListCtrl.h"
#include "widgets/StateBmpButton.h"

namespace {

constexpr int kIdColumn = 0;
constexpr int kNameColumn = 1;
constexpr int kCountColumn = 2;
constexpr int kIdWidth = 56;
constexpr int kNameWidth = 208;
constexpr int kCountWidth = 80;

QString Padded(int value) {
    return QStringLiteral("%1").arg(value, 6);
}

int CompareNames(const RegUserEntry& a, const RegUserEntry& b) {
    return QString::compare(QString::fromStdString(a.name), QString::fromStdString(b.name),
                            Qt::CaseSensitive);
}

}  // namespace

UserSortMode NextUserSortMode(UserSortMode mode, int headerX) {
    auto cycle = [mode](UserSortMode ascending, UserSortMode descending) {
        return mode == ascending ? descending : ascending;
    };
    if (headerX >= 0 && headerX < kIdWidth) {
        return cycle(UserSortMode::kIdAscending, UserSortMode::kIdDescending);
    }
    if (headerX >= kIdWidth && headerX < kIdWidth + kNameWidth) {
        return cycle(UserSortMode::kNameAscending, UserSortMode::kNameDescending);
    }
    if (headerX >= kIdWidth + kNameWidth && headerX < kIdWidth + kNameWidth + kCountWidth) {
        return cycle(UserSortMode::kCountAscending, UserSortMode::kCountDescending);
    }
    return mode;
}

void SortUserRows(std::vector<RegUserEntry>& rows, UserSortMode mode) {
    auto before = [mode](const RegUserEntry& a, const RegUserEntry& b) {
        switch (mode) {
            case UserSortMode::kIdAscending:
                return a.id < b.id;
            case UserSortMode::kIdDescending:
                return a.id > b.id;
            case UserSortMode::kNameAscending:
                return CompareNames(a, b) < 0;
            case UserSortMode::kNameDescending:
                return CompareNames(a, b) > 0;
            case UserSortMode::kCountAscending:
                return a.dataCount < b.dataCount;
            case UserSortMode::kCountDescending:
                return a.dataCount > b.dataCount;
            case UserSortMode::kNone:
                break;
        }
        return false;
    };
    if (mode != UserSortMode::kNone) {
        std::stable_sort(rows.begin(), rows.end(), before);
    }
}

CRegUserDlg::CRegUserDlg(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("regUserDlg"));
    list_ = new COrgListCtrl(this);
    list_->setObjectName(QStringLiteral("userList"));
    list_->setAccessibleName(tr("Users"));
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->InsertColumn(kIdColumn, tr("ID"), kIdWidth);
    list_->InsertColumn(kNameColumn, tr("Name"), kNameWidth);
    list_->InsertColumn(kCountColumn, tr("Data number"), kCountWidth);
    // The three columns, the frame and a vertical scroll bar.
    list_->setMinimumWidth(kIdWidth + kNameWidth + kCountWidth + 24);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OnSelectionChanged(); });
    connect(list_, &COrgListCtrl::headerReleased, this,
            [this](QPoint pos) { SortByHeader(pos.x()); });

    add_ = NewDialogButton(tr("Add User"), "addUserButton", this);
    rename_ = NewDialogButton(tr("Change Name"), "changeNameButton", this);
    delete_ = NewDialogButton(tr("Delete User"), "deleteUserButton", this);
    deleteAll_ = NewDialogButton(tr("Delete All"), "deleteAllUsersButton", this);
    register_ = NewDialogButton(tr("Register"), "registerButton", this);
    up_ = NewDialogButton(QStringLiteral("↑"), "moveUpButton", this);
    down_ = NewDialogButton(QStringLiteral("↓"), "moveDownButton", this);
    // The arrows say nothing to a screen reader.
    up_->setAccessibleName(tr("Move up"));
    down_->setAccessibleName(tr("Move down"));
    up_->setMinimumWidth(32);
    down_->setMinimumWidth(32);
    connect(add_, &QAbstractButton::clicked, this, [this] { emit UserRequested(kAddUser); });
    connect(rename_, &QAbstractButton::clicked, this, [this] { emit UserRequested(kChangeName); });
    connect(delete_, &QAbstractButton::clicked, this, [this] { emit UserRequested(kDeleteUser); });
    connect(deleteAll_, &QAbstractButton::clicked, this,
            [this] { emit UserRequested(kDeleteAll); });
    connect(register_, &QAbstractButton::clicked, this, [this] { emit RegisterRequested(); });
    connect(up_, &QAbstractButton::clicked, this, [this] { emit MoveRequested(-1); });
    connect(down_, &QAbstractButton::clicked, this, [this] { emit MoveRequested(1); });

    // The steps of a registration, hidden as in the original page.
    steps_ = new QLabel(tr("1. Add user  2. Select user  3. Register  4. Confirm image  "), this);
    steps_->setTextFormat(Qt::PlainText);
    steps_->hide();

    // List on the left, the buttons in a column beside it: user buttons,
    // then Register, then the moves.
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(4);
    for (CStateBmpButton* b : {add_, rename_, delete_, deleteAll_, register_}) {
        // A little air around the longest caption.
        b->setMinimumWidth(std::max(b->minimumWidth(), b->sizeHint().width() + 12));
    }
    for (CStateBmpButton* b : {add_, rename_, delete_, deleteAll_}) {
        buttons->addWidget(b);
    }
    buttons->addSpacing(12);
    buttons->addWidget(register_);
    buttons->addSpacing(12);
    auto* moves = new QHBoxLayout;
    moves->addWidget(up_);
    moves->addWidget(down_);
    buttons->addLayout(moves);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    UpdateButtons();
}

std::vector<RegUserEntry> CRegUserDlg::Rows() const {
    std::vector<RegUserEntry> rows;
    for (int r = 0; r < list_->RowCount(); ++r) {
        RegUserEntry row;
        row.id = static_cast<int>(list_->Data(r));
        row.name = list_->Text(r, kNameColumn).toStdString();
        row.dataCount = list_->Text(r, kCountColumn).trimmed().toInt();
        rows.push_back(std::move(row));
    }
    return rows;
}

void CRegUserDlg::Refill(const std::vector<RegUserEntry>& rows) {
    const std::vector<int> selected = SelectedIds();
    filling_ = true;
    list_->Clear();
    for (const RegUserEntry& row : rows) {
        list_->AddRow({Padded(row.id), QString::fromStdString(row.name), Padded(row.dataCount)},
                      row.id);
    }
    for (int id : selected) {
        const int r = list_->FindRowByData(id);
        if (r >= 0) {
            list_->SelectRow(r);
        }
    }
    filling_ = false;
    UpdateButtons();
    if (SelectedIds() != selected) {
        emit SelectionChanged(static_cast<int>(SelectedIds().size()));
    }
}

void CRegUserDlg::SetUsers(const std::vector<RegUserEntry>& users) {
    std::vector<RegUserEntry> rows = users;
    SortUserRows(rows, sortMode_);
    Refill(rows);
}

void CRegUserDlg::Clear() {
    Refill({});
}

void CRegUserDlg::SortByHeader(int headerX) {
    if (list_->RowCount() == 0) {
        return;
    }
    const UserSortMode next = NextUserSortMode(sortMode_, headerX);
    if (next == sortMode_ && (headerX < 0 || headerX >= kIdWidth + kNameWidth + kCountWidth)) {
        return;
    }
    sortMode_ = next;
    std::vector<RegUserEntry> rows = Rows();
    SortUserRows(rows, sortMode_);
    Refill(rows);
}

bool CRegUserDlg::MoveUser(int id, int direction) {
    const int r = list_->FindRowByData(id);
    const int to = r + (direction < 0 ? -1 : 1);
    if (r < 0 || to < 0 || to >= list_->RowCount()) {
        return false;
    }
    std::vector<RegUserEntry> rows = Rows();
    std::swap(rows[static_cast<std::size_t>(r)], rows[static_cast<std::size_t>(to)]);
    filling_ = true;
    list_->clearSelection();
    filling_ = false;
    Refill(rows);
    SelectUser(id);
    list_->EnsureRowVisible(to);
    return true;
}

void CRegUserDlg::SetDataCount(int id, int count) {
    const int r = list_->FindRowByData(id);
    if (r >= 0) {
        list_->SetText(r, kCountColumn, Padded(count));
    }
    UpdateButtons();
}

std::vector<int> CRegUserDlg::RowOrder() const {
    std::vector<int> ids;
    for (int r = 0; r < list_->RowCount(); ++r) {
        ids.push_back(static_cast<int>(list_->Data(r)));
    }
    return ids;
}

std::vector<int> CRegUserDlg::SelectedIds() const {
    std::vector<int> ids;
    for (int r : list_->SelectedRows()) {
        ids.push_back(static_cast<int>(list_->Data(r)));
    }
    return ids;
}

int CRegUserDlg::SelectedId() const {
    const std::vector<int> ids = SelectedIds();
    return ids.size() == 1 ? ids.front() : -1;
}

void CRegUserDlg::SelectUser(int id) {
    const int r = list_->FindRowByData(id);
    if (r < 0) {
        return;
    }
    list_->clearSelection();
    list_->SelectRow(r);
    list_->setCurrentIndex(list_->Model()->index(r, 0));
}

void CRegUserDlg::OnSelectionChanged() {
    if (filling_) {
        return;
    }
    UpdateButtons();
    emit SelectionChanged(static_cast<int>(list_->SelectedRows().size()));
}

void CRegUserDlg::UpdateButtons() {
    const QList<int> selected = list_->SelectedRows();
    const int rows = list_->RowCount();
    const bool one = selected.size() == 1;
    const int r = one ? selected.front() : -1;
    const bool full = one && list_->Text(r, kCountColumn).trimmed().toInt() >= kDataCapacity;
    add_->setEnabled(rows < kIdCapacity);
    rename_->setEnabled(one);
    delete_->setEnabled(!selected.isEmpty());
    deleteAll_->setEnabled(rows > 0);
    register_->setEnabled(one && !full);
    up_->setEnabled(one && r > 0);
    down_->setEnabled(one && r < rows - 1);
}
