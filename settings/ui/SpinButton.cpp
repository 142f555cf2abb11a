// Arrow buttons attached to a range-limited number box.

#include "settings/ui/SpinButton.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "widgets/RangeEdit.h"

CSpinButton::CSpinButton(CRangeEdit* buddy, QWidget* parent)
    : QWidget(parent), buddy_(buddy), up_(new QToolButton(this)), down_(new QToolButton(this)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (QToolButton* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(16, 11);
        column->addWidget(button);
    }
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    const QString name = buddy->accessibleName();
    up_->setAccessibleName(name + tr(" up"));
    down_->setAccessibleName(name + tr(" down"));
    connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
    buddy_->installEventFilter(this);
}

void CSpinButton::Step(int delta) {
    const CRange range = buddy_->Range();
    // GetInt clamps, so a box still showing a too-small number starts from
    // its minimum.
    int value = buddy_->GetInt() + delta;
    value = std::max(range.min, std::min(range.max, value));
    buddy_->SetInt(value);
}

bool CSpinButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
