// The list's rows, their drawing, the header report and the key hand-over.
#include "widgets/OrgListCtrl.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int kDataRole = Qt::UserRole + 1;

// Row height: the height of the text "List" in the list's font, plus 1.
class RowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(option.fontMetrics.boundingRect(QStringLiteral("List")).height() + 1);
        return size;
    }
};

}  // namespace

COrgListCtrl::COrgListCtrl(QWidget* parent) : QTreeView(parent) {
    model_ = new QStandardItemModel(0, 0, this);
    setModel(model_);
    setItemDelegate(new RowDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionResizeMode(QHeaderView::Fixed);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    header()->viewport()->installEventFilter(this);
}

void COrgListCtrl::InsertColumn(int column, const QString& title, int width) {
    column = std::clamp(column, 0, model_->columnCount());
    model_->insertColumn(column);
    model_->setHeaderData(column, Qt::Horizontal, title);
    header()->resizeSection(column, width);
}

int COrgListCtrl::AddRow(const QStringList& cells, qint64 data) {
    if (cells.isEmpty()) {
        return -1;
    }
    const int columns = std::max(1, model_->columnCount());
    QList<QStandardItem*> items;
    for (int c = 0; c < columns; ++c) {
        auto* item = new QStandardItem(c < cells.size() ? cells[c] : QString());
        item->setEditable(false);
        items.append(item);
    }
    items[0]->setData(QVariant::fromValue(data), kDataRole);
    model_->appendRow(items);
    return model_->rowCount() - 1;
}

int COrgListCtrl::FindRowByText(int column, const QString& text) const {
    if (column < 0 || column >= model_->columnCount()) {
        return -1;
    }
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (Text(row, column) == text) {
            return row;
        }
    }
    return -1;
}

int COrgListCtrl::FindRowByData(qint64 data) const {
    for (int row = 0; row < model_->rowCount(); ++row) {
        if (Data(row) == data) {
            return row;
        }
    }
    return -1;
}

void COrgListCtrl::EnsureRowVisible(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        return;
    }
    // The least scrolling that shows the row: up to it when above the
    // first visible row, down until it is the last one when below.
    scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
}

QString COrgListCtrl::Text(int row, int column) const {
    const QStandardItem* item = model_->item(row, column);
    return item ? item->text() : QString();
}

void COrgListCtrl::SetText(int row, int column, const QString& text) {
    if (QStandardItem* item = model_->item(row, column)) {
        item->setText(text);
    }
}

qint64 COrgListCtrl::Data(int row) const {
    const QStandardItem* item = model_->item(row, 0);
    return item ? item->data(kDataRole).toLongLong() : 0;
}

void COrgListCtrl::SetData(int row, qint64 data) {
    if (QStandardItem* item = model_->item(row, 0)) {
        item->setData(QVariant::fromValue(data), kDataRole);
    }
}

void COrgListCtrl::RemoveRow(int row) {
    if (row >= 0 && row < model_->rowCount()) {
        model_->removeRow(row);
    }
}

void COrgListCtrl::Clear() {
    model_->removeRows(0, model_->rowCount());
}

QList<int> COrgListCtrl::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void COrgListCtrl::SelectRow(int row, bool selected) {
    if (row < 0 || row >= model_->rowCount()) {
        return;
    }
    selectionModel()->select(model_->index(row, 0), (selected ? QItemSelectionModel::Select
                                                              : QItemSelectionModel::Deselect) |
                                                        QItemSelectionModel::Rows);
}

QColor COrgListCtrl::ResultColor(const QString& column1Text) {
    if (column1Text == QLatin1String("NG")) {
        return QColor(255, 0, 0);
    }
    if (column1Text == QLatin1String("OK")) {
        return QColor(0, 0, 255);
    }
    return QColor();
}

void COrgListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const int row = index.row();
    const bool selected = selectionModel()->isRowSelected(row, QModelIndex());
    const bool focused = hasFocus() && currentIndex().row() == row;
    QColor background;
    QColor text;
    if (!isEnabled()) {
        background = palette().color(QPalette::Disabled, QPalette::Button);
        text = palette().color(QPalette::Disabled, QPalette::WindowText);
    } else if (selected) {
        background = palette().color(QPalette::Highlight);
        text = palette().color(QPalette::HighlightedText);
    } else {
        background = palette().color(QPalette::Base);
        text = ResultColor(Text(row, 1));
        if (!text.isValid()) {
            text = palette().color(QPalette::Text);
        }
    }
    QRect rowRect = option.rect;
    rowRect.setLeft(0);
    rowRect.setRight(viewport()->width() - 1);
    painter->fillRect(rowRect, background);
    if (focused) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rowRect;
        focus.backgroundColor = background;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, this);
    }
    painter->save();
    painter->setPen(text);
    for (int column = 0; column < model_->columnCount(); ++column) {
        if (header()->isSectionHidden(column)) {
            continue;
        }
        const QRect cell(header()->sectionViewportPosition(column), option.rect.top(),
                         header()->sectionSize(column), option.rect.height());
        const QRect inner = cell.adjusted(1, 1, -1, -1);
        const QModelIndex cellIndex = model_->index(row, column);
        QRect textRect = inner;
        const QIcon icon = cellIndex.data(Qt::DecorationRole).value<QIcon>();
        if (!icon.isNull()) {
            const int side = inner.height();
            icon.paint(painter, QRect(inner.left(), inner.top(), side, side));
            textRect.setLeft(inner.left() + side + 2);
        }
        painter->setClipRect(inner);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          cellIndex.data(Qt::DisplayRole).toString());
        painter->setClipping(false);
    }
    painter->restore();
}

bool COrgListCtrl::IsNavigationKey(const QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Space:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return true;
        case Qt::Key_A:
            return event->modifiers() == Qt::ControlModifier;
        default:
            return false;
    }
}

bool COrgListCtrl::PostToParent(QKeyEvent* event) {
    if (IsNavigationKey(event) || !parentWidget()) {
        return false;
    }
    QCoreApplication::postEvent(parentWidget(), event->clone());
    event->accept();
    return true;
}

void COrgListCtrl::keyPressEvent(QKeyEvent* event) {
    if (!PostToParent(event)) {
        QTreeView::keyPressEvent(event);
    }
}

void COrgListCtrl::keyReleaseEvent(QKeyEvent* event) {
    if (!PostToParent(event)) {
        QTreeView::keyReleaseEvent(event);
    }
}

void COrgListCtrl::changeEvent(QEvent* event) {
    QTreeView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        scheduleDelayedItemsLayout();  // the rows measure themselves again
    }
}

bool COrgListCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header()->viewport() && event->type() == QEvent::MouseButtonRelease) {
        emit headerReleased(static_cast<QMouseEvent*>(event)->position().toPoint());
    }
    return QTreeView::eventFilter(watched, event);
}
