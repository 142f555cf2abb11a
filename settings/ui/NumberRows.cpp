// Group boxes and rows of number boxes with spins for the settings pages.

#include "settings/ui/NumberRows.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>

#include "settings/ui/SpinButton.h"
#include "widgets/RangeEdit.h"

namespace {

CRangeEdit* NumberBox(QLabel* label, const QString& name, int minimum, int maximum, bool digitsOnly,
                      QWidget* parent, QHBoxLayout* row) {
    auto* box = new CRangeEdit(parent);
    box->SetRange(minimum, maximum);
    box->SetDigitsOnly(digitsOnly);
    // Wide enough for "-1000" and "8192" in any of the usual fonts.
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("-00000")) + 12);
    box->setMaximumWidth(box->minimumWidth());
    box->setAccessibleName(name);
    if (label != nullptr) {
        label->setBuddy(box);
    }
    row->addWidget(box);
    row->addWidget(new CSpinButton(box, parent));
    return box;
}

QHBoxLayout* NewRow() {
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    return row;
}

}  // namespace

NumberGroup MakeNumberGroup(const QString& title, QWidget* parent) {
    NumberGroup g;
    g.box = new QGroupBox(title, parent);
    g.grid = new QGridLayout(g.box);
    g.grid->setContentsMargins(16, 16, 8, 8);
    g.grid->setHorizontalSpacing(4);
    g.grid->setVerticalSpacing(8);
    return g;
}

CRangeEdit* AddNumberRow(NumberGroup& g, const QString& caption, const QString& name, int minimum,
                         int maximum, bool digitsOnly, QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    QHBoxLayout* row = NewRow();
    CRangeEdit* box = NumberBox(label, name, minimum, maximum, digitsOnly, parent, row);
    row->addStretch(1);
    g.grid->addWidget(label, g.row, 0);
    g.grid->addLayout(row, g.row, 1);
    ++g.row;
    return box;
}

void AddRangeRow(NumberGroup& g, const QString& caption, const QString& name, int minimum,
                 int maximum, bool digitsOnly, int indent, CRangeEdit** minBox, CRangeEdit** maxBox,
                 QWidget* parent) {
    auto* label = new QLabel(caption, parent);
    QHBoxLayout* row = NewRow();
    *minBox =
        NumberBox(label, name + QObject::tr(" minimum"), minimum, maximum, digitsOnly, parent, row);
    row->addWidget(new QLabel(QStringLiteral("-"), parent));
    *maxBox = NumberBox(nullptr, name + QObject::tr(" maximum"), minimum, maximum, digitsOnly,
                        parent, row);
    row->addStretch(1);
    label->setIndent(indent);
    g.grid->addWidget(label, g.row, 0);
    g.grid->addLayout(row, g.row, 1);
    ++g.row;
}

void AddHeadingRow(NumberGroup& g, const QString& caption, QWidget* parent) {
    g.grid->addWidget(new QLabel(caption, parent), g.row, 0, 1, 2);
    ++g.row;
}
