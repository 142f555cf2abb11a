// Selection by item data.
#include "widgets/OrgComboBox.h"

COrgComboBox::COrgComboBox(QWidget* parent) : QComboBox(parent) {}

int COrgComboBox::FindData(qint64 data) const {
    for (int i = 0; i < count(); ++i) {
        bool ok = false;
        const qint64 value = itemData(i).toLongLong(&ok);
        if (ok && value == data) {
            return i;
        }
    }
    return -1;
}

int COrgComboBox::SelectByData(qint64 data) {
    const int index = FindData(data);
    if (index >= 0) {
        setCurrentIndex(index);
    }
    return index;
}

qint64 COrgComboBox::SelectedData(qint64 fallback) const {
    bool ok = false;
    const qint64 value = currentData().toLongLong(&ok);
    return ok ? value : fallback;
}
