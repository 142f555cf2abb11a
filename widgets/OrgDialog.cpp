// Common dialog behaviour: swallowed keys and the posted close request.
#include "widgets/OrgDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>

COrgDialog::COrgDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {}

QEvent::Type COrgDialog::CloseRequestType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void COrgDialog::CloseWithResult(int result) {
    storedResult_ = result;
    PostCloseRequest(this);
}

void COrgDialog::PostCloseRequest(QObject* dialog) {
    if (dialog) {
        QCoreApplication::postEvent(dialog, new QEvent(CloseRequestType()));
    }
}

bool COrgDialog::event(QEvent* event) {
    if (event->type() == CloseRequestType()) {
        if (isVisible()) {
            OnCloseRequest();
        }
        return true;
    }
    return QDialog::event(event);
}

void COrgDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (windowFlags().testFlag(Qt::FramelessWindowHint)) {
        // Without a frame of the window manager the dialog draws its own
        // edge, so it stands out from the window behind it.
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void COrgDialog::OnCloseRequest() {
    done(storedResult_);
}

void COrgDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_F1:
            event->accept();
            return;
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!dialogKeys_) {
                event->accept();
                return;
            }
            break;
        default:
            break;
    }
    QDialog::keyPressEvent(event);
}

void COrgDialog::closeEvent(QCloseEvent* event) {
    // done() hides the dialog without a close event; a close event comes
    // from the window manager (or Alt+F4).
    if (userCanClose_) {
        if (isVisible()) {
            done(storedResult_);
        }
        event->accept();
        return;
    }
    event->ignore();
}
