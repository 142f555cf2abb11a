#pragma once

// The list of rows with columns (report view) that draws its rows itself: a
// row whose column 1 reads exactly "NG" is drawn in red, "OK" in blue, unless
// it is selected; columns keep the widths the owner gives them; a mouse
// release on the header is reported with its point in header coordinates
// (headerReleased, sent at once). It is a QTreeView over a QStandardItemModel,
// so selection, focus, scrolling and accessibility are the platform's.
// Navigation keys move through the list as usual; every other key press and
// release is posted to the parent window instead of being handled here.
//
//     list->InsertColumn(0, "ID", 56);
//     list->InsertColumn(1, "Name", 208);
//     int row = list->AddRow({"12", "Ann"}, 12);

#include <QStandardItemModel>
#include <QStringList>
#include <QTreeView>

class COrgListCtrl : public QTreeView {
    Q_OBJECT
public:
    explicit COrgListCtrl(QWidget* parent = nullptr);

    // A column with its title and fixed width in pixels.
    void InsertColumn(int column, const QString& title, int width);
    int ColumnCount() const { return model_->columnCount(); }

    // Appends a row with the cells as column texts (extra cells beyond the
    // columns are dropped) and the item data; -1 for an empty cell list,
    // else the row's index.
    int AddRow(const QStringList& cells, qint64 data);
    // The first row whose text in column equals text exactly (case
    // matters); -1 when none.
    int FindRowByText(int column, const QString& text) const;
    int FindRowByData(qint64 data) const;
    // Scrolls so that the row is visible; nothing for -1 or a row that is
    // not there.
    void EnsureRowVisible(int row);

    int RowCount() const { return model_->rowCount(); }
    QString Text(int row, int column) const;
    void SetText(int row, int column, const QString& text);
    qint64 Data(int row) const;
    void SetData(int row, qint64 data);
    void RemoveRow(int row);
    void Clear();  // all rows; the columns stay
    // Selected rows in ascending order.
    QList<int> SelectedRows() const;
    void SelectRow(int row, bool selected = true);
    QStandardItemModel* Model() const { return model_; }

    // The row colour rule for a column 1 text: red for "NG", blue for "OK",
    // no colour of its own otherwise.
    static QColor ResultColor(const QString& column1Text);

signals:
    // The mouse button was released on the header at pos (header
    // coordinates).
    void headerReleased(QPoint pos);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool IsNavigationKey(const QKeyEvent* event);
    bool PostToParent(QKeyEvent* event);

    QStandardItemModel* model_;
};
