// The ID selection dialog: the selected-ID line, the search row, the user
// list with its mark and header sorts, and Confirm.

#include "album/ui/IDSelectDlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QStandardItem>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/OrgListCtrl.h"
#include "widgets/StateBmpButton.h"

namespace {

constexpr int kMarkColumn = 0;
constexpr int kIdColumn = 1;
constexpr int kNameColumn = 2;
constexpr int kVisibleRows = 20;

// The state pictures: an empty square for every row, a check mark on the
// marked one.
QIcon StatePicture(bool marked) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    if (marked) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        QPen pen(QColor(0x20, 0x80, 0x20), 2.4);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    }
    return QIcon(pixmap);
}

bool NameBefore(const RegUserEntry& a, const RegUserEntry& b, bool descending) {
    const int order = QString::compare(QString::fromStdString(a.name),
                                       QString::fromStdString(b.name), Qt::CaseSensitive);
    if (order != 0) {
        return descending ? order > 0 : order < 0;
    }
    return a.id < b.id;
}

}  // namespace

IdSortState SortUsersByColumn(std::vector<RegUserEntry>& users, int column, IdSortState state) {
    if (column == kIdColumn) {
        if (state == IdSortState::kNone) {
            std::stable_sort(
                users.begin(), users.end(),
                [](const RegUserEntry& a, const RegUserEntry& b) { return a.id > b.id; });
            return IdSortState::kIdDescending;
        }
        std::stable_sort(users.begin(), users.end(),
                         [](const RegUserEntry& a, const RegUserEntry& b) { return a.id < b.id; });
        return IdSortState::kNone;
    }
    if (column == kNameColumn) {
        const bool descending = state == IdSortState::kNameAscending;
        std::stable_sort(users.begin(), users.end(),
                         [descending](const RegUserEntry& a, const RegUserEntry& b) {
                             return NameBefore(a, b, descending);
                         });
        return descending ? IdSortState::kNameDescending : IdSortState::kNameAscending;
    }
    return state;
}

CIDSelectDlg::CIDSelectDlg(QWidget* owner) : COrgDialog(owner) {
    setObjectName("idSelectDlg");
    setWindowTitle(tr("ID Select"));
    setModal(false);
    SetUserCanClose(true);

    selectedLabel_ = new QLabel(tr("Selected ID\uFF1A"), this);
    committedLabel_ = new QLabel(this);
    committedLabel_->setObjectName("committedId");
    committedLabel_->setAccessibleName(tr("Selected ID"));
    committedLabel_->setFixedWidth(committedLabel_->fontMetrics().horizontalAdvance("00000"));
    searchEdit_ = new QLineEdit(this);
    searchEdit_->setObjectName("searchEdit");
    searchEdit_->setAccessibleName(tr("Search text"));
    searchButton_ = new QToolButton(this);
    searchButton_->setObjectName("searchButton");
    searchButton_->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    searchButton_->setIconSize(QSize(16, 16));
    searchButton_->setToolTip(tr("Search"));
    searchButton_->setAccessibleName(tr("Search"));
    list_ = new COrgListCtrl(this);
    list_->setObjectName("userList");
    list_->setAccessibleName(tr("Users"));
    list_->InsertColumn(kMarkColumn, QString(), 32);
    list_->InsertColumn(kIdColumn, tr("ID"), 48);
    list_->InsertColumn(kNameColumn, tr("Name"), 208);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setIconSize(QSize(16, 16));
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const int rowHeight = std::max(list_->fontMetrics().height() + 4, 18);
    list_->setFixedSize(
        32 + 48 + 208 + 2 * list_->frameWidth() + list_->verticalScrollBar()->sizeHint().width() +
            8,
        list_->header()->sizeHint().height() + kVisibleRows * rowHeight + 2 * list_->frameWidth());
    confirm_ = NewDialogButton(tr("Confirm"), "confirmButton", this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    auto* selected = new QHBoxLayout;
    selected->addStretch(1);
    selected->addWidget(selectedLabel_);
    selected->addWidget(committedLabel_);
    selected->addStretch(1);
    layout->addLayout(selected);
    auto* search = new QHBoxLayout;
    search->addStretch(1);
    search->addWidget(searchEdit_);
    search->addWidget(searchButton_);
    search->addStretch(1);
    layout->addLayout(search);
    layout->addWidget(list_);
    auto* confirm = new QHBoxLayout;
    confirm->addStretch(1);
    confirm->addWidget(confirm_);
    confirm->addStretch(1);
    layout->addLayout(confirm);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(searchButton_, &QAbstractButton::clicked, this, &CIDSelectDlg::Search);
    connect(confirm_, &QAbstractButton::clicked, this, &CIDSelectDlg::Confirm);
    connect(list_, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { OnRowClicked(index.row(), index.column()); });
    connect(list_, &COrgListCtrl::headerReleased, this,
            [this](QPoint pos) { OnHeaderClicked(list_->header()->logicalIndexAt(pos)); });
    ShowCommittedId();
}

void CIDSelectDlg::SetUsers(const std::vector<RegUserEntry>& users) {
    users_ = users;
    working_ = users;
    Refill(users_);
}

void CIDSelectDlg::SetCommittedId(int id) {
    committedId_ = id;
    ShowCommittedId();
}

void CIDSelectDlg::SetMarkedId(int id) {
    markedId_ = id;
    ApplyMark();
}

void CIDSelectDlg::Refill(const std::vector<RegUserEntry>& users) {
    list_->Clear();
    for (const RegUserEntry& user : users) {
        list_->AddRow({QString(), QString::number(user.id), QString::fromStdString(user.name)},
                      user.id);
    }
    ApplyMark();
}

void CIDSelectDlg::ApplyMark() {
    static const QIcon marked = StatePicture(true);
    static const QIcon unmarked = StatePicture(false);
    for (int row = 0; row < list_->RowCount(); ++row) {
        QStandardItem* item = list_->Model()->item(row, kMarkColumn);
        if (item == nullptr) {
            continue;
        }
        const bool isMarked = list_->Data(row) == markedId_;
        item->setIcon(isMarked ? marked : unmarked);
        item->setData(isMarked ? tr("Marked") : QString(), Qt::AccessibleTextRole);
    }
}

void CIDSelectDlg::FocusRow(int row) {
    list_->setFocus();
    list_->clearSelection();
    list_->SelectRow(row);
    list_->setCurrentIndex(list_->Model()->index(row, kIdColumn));
    list_->EnsureRowVisible(row);
}

void CIDSelectDlg::Search() {
    const QString text = searchEdit_->text();
    if (text.isEmpty()) {
        return;
    }
    int row = list_->FindRowByText(kIdColumn, text);
    if (row < 0) {
        row = list_->FindRowByText(kNameColumn, text);
    }
    if (row >= 0) {
        FocusRow(row);
        return;
    }
    const QModelIndex current = list_->currentIndex();
    if (current.isValid()) {
        list_->SelectRow(current.row(), false);
    }
}

void CIDSelectDlg::OnRowClicked(int row, int column) {
    if (row < 0 || row >= list_->RowCount()) {
        return;
    }
    FocusRow(row);
    if (column == kMarkColumn) {
        markedId_ = static_cast<int>(list_->Data(row));
        ApplyMark();
    }
}

void CIDSelectDlg::OnHeaderClicked(int column) {
    if (list_->RowCount() == 0 || (column != kIdColumn && column != kNameColumn)) {
        return;
    }
    const int remembered = markedId_;
    sortState_ = SortUsersByColumn(working_, column, sortState_);
    Refill(working_);
    const int row = list_->FindRowByData(remembered);
    if (row >= 0) {
        FocusRow(row);
    }
}

void CIDSelectDlg::Confirm() {
    committedId_ = markedId_;
    ShowCommittedId();
    emit VerifyIdConfirmed(committedId_);
}

void CIDSelectDlg::ShowCommittedId() {
    committedLabel_->setText(committedId_ == -1 ? QString() : QString::number(committedId_));
}

void CIDSelectDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        Search();  // Enter searches and never closes the dialog
        return;
    }
    COrgDialog::keyPressEvent(event);
}
