#pragma once

// A drop-down list whose items carry integer data (a code, a baud rate) and
// are selected by it.

#include <QComboBox>

class COrgComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit COrgComboBox(QWidget* parent = nullptr);

    void AddItem(const QString& text, qint64 data) { addItem(text, QVariant::fromValue(data)); }
    // Selects the first item whose data equals data and returns its index;
    // -1, and the selection unchanged, when no item has it.
    int SelectByData(qint64 data);
    // The index of the first item with that data, -1 when none.
    int FindData(qint64 data) const;
    // The data of the selected item, or fallback when nothing is selected.
    qint64 SelectedData(qint64 fallback = -1) const;
    QString GetText() const { return currentText(); }
};
