// The name dialog: one row of ID and name fields above OK and Cancel.

#include "album/ui/NameInputDlg.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <limits>

#include "album/AlbumMngr.h"
#include "album/UserName.h"
#include "widgets/MessageBox.h"
#include "widgets/StateBmpButton.h"

CNameInputDlg::CNameInputDlg(QWidget* parent) : COrgDialog(parent) {
    setObjectName("nameInputDlg");
    setWindowTitle(tr("Input name"));
    SetUserCanClose(true);
    SetStoredResult(kResultCancel);

    idLabel_ = new QLabel(tr("ID"), this);
    idEdit_ = new QLineEdit(this);
    idEdit_->setObjectName("idEdit");
    idEdit_->setAccessibleName(tr("ID"));
    idEdit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    idEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), idEdit_));
    idEdit_->setFixedWidth(48);
    idLabel_->setBuddy(idEdit_);
    nameLabel_ = new QLabel(tr("Name"), this);
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName("nameEdit");
    nameEdit_->setAccessibleName(tr("Name"));
    nameEdit_->setMinimumWidth(240);
    nameLabel_->setBuddy(nameEdit_);
    ok_ = NewDialogButton(tr("OK"), "okButton", this);
    cancel_ = NewDialogButton(tr("Cancel"), "cancelButton", this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    auto* fields = new QHBoxLayout;
    fields->setSpacing(8);
    fields->addWidget(idLabel_);
    fields->addWidget(idEdit_);
    fields->addWidget(nameLabel_);
    fields->addWidget(nameEdit_, 1);
    layout->addLayout(fields);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok_, &QAbstractButton::clicked, this, [this] { TakeInput(false); });
    connect(cancel_, &QAbstractButton::clicked, this, [this] { CloseWithResult(kResultCancel); });
}

void CNameInputDlg::SetInput(const QString& name, int id, bool addMode) {
    name_ = name;
    id_ = id;
    addMode_ = addMode;
    SetStoredResult(kResultCancel);
    const bool shown = id >= 0 && id < 100;
    idEdit_->setText(shown ? QString("%1").arg(id, 2) : QString());
    idEdit_->setReadOnly(!(shown && addMode));
    nameEdit_->setText(name);
}

void CNameInputDlg::AcceptInput() {
    CloseWithResult(kResultOk);
}

void CNameInputDlg::TakeInput(bool fromEnter) {
    name_ = nameEdit_->text();
    const QString idText = idEdit_->text().trimmed();
    if (idText.isEmpty()) {
        id_ = 0;
    } else {
        // Digits too many for an int must not wrap into a valid ID.
        bool ok = false;
        const int value = idText.toInt(&ok);
        id_ = ok ? value : std::numeric_limits<int>::max();
    }
    // The result turns 1 only when the owner accepts the input: a window
    // closed after a refused input must not hand the refused name back.
    emit NameCheckRequested();
    if (fromEnter && isVisible()) {
        nameEdit_->setFocus();
        nameEdit_->selectAll();
    }
}

void CNameInputDlg::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier)) {
        COrgDialog::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            TakeInput(true);
            return;
        case Qt::Key_Escape:
            CloseWithResult(kResultCancel);
            return;
        default:
            COrgDialog::keyPressEvent(event);
    }
}

void CNameInputDlg::showEvent(QShowEvent* event) {
    COrgDialog::showEvent(event);
    nameEdit_->setFocus();
}

int CheckNameInput(const CAlbumMngr& album, const std::string& name, int editedId, bool adding,
                   int id) {
    std::string stored = name;
    if (PrepareUserName(stored) == NameCheck::kLineBreak) {
        return kNameUnstorable;
    }
    if (!album.IsNameFree(stored, adding ? -1 : editedId)) {
        return 2110;
    }
    if (adding && (id < 0 || id >= album.Store().IdCapacity() || album.IsRegistered(id))) {
        return 2111;
    }
    return 0;
}

QString NameCheckText(int code) {
    switch (code) {
        case 2110:
            return QObject::tr("Input name already registered.\nPlease input a new name.");
        case 2111:
            return QObject::tr("Input id already registered.\nPlease input a new name.");
        case kNameUnstorable:
            return QString::fromStdString(NameCheckMessage(NameCheck::kLineBreak));
        default:
            return QString();
    }
}

bool ApplyNameCheck(CNameInputDlg& dialog, const CAlbumMngr& album, int editedId) {
    const int code =
        CheckNameInput(album, dialog.Name().toStdString(), editedId, dialog.AddMode(), dialog.Id());
    if (code != 0) {
        MessageBox::Warning(&dialog, NameCheckText(code));
        return false;
    }
    dialog.AcceptInput();
    return true;
}
