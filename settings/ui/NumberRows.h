#pragma once

// The rows the number pages of the settings dialog are built from: a group
// box with a grid, and in it rows of a caption with one range-limited box
// and its spin, or with a minimum and a maximum box ("min - max"). Each box
// has the caption's label as buddy and an accessible name of its own, since
// the same caption appears in several groups.

#include <QString>

class CRangeEdit;
class QGridLayout;
class QGroupBox;
class QWidget;

struct NumberGroup {
    QGroupBox* box = nullptr;
    QGridLayout* grid = nullptr;
    int row = 0;
};

NumberGroup MakeNumberGroup(const QString& title, QWidget* parent);

// A caption with one box and its spin in the next row of the group.
CRangeEdit* AddNumberRow(NumberGroup& g, const QString& caption, const QString& name, int minimum,
                         int maximum, bool digitsOnly, QWidget* parent);

// A caption with a minimum box, its spin, "-", a maximum box and its spin;
// the boxes are named "<name> minimum" and "<name> maximum". indent moves
// the caption right (the stabilisation angles sit under their heading).
void AddRangeRow(NumberGroup& g, const QString& caption, const QString& name, int minimum,
                 int maximum, bool digitsOnly, int indent, CRangeEdit** minBox, CRangeEdit** maxBox,
                 QWidget* parent);

// A caption alone across the row.
void AddHeadingRow(NumberGroup& g, const QString& caption, QWidget* parent);
