#pragma once

// The behaviour every dialog of this program shares: F1 does nothing, Enter
// and Escape do nothing (a dialog whose Enter and Escape act as OK and Cancel
// says so with SetDialogKeys(true)), and a dialog ends through a posted close
// request, after its result has been stored, so that the handler that asked
// for the close finishes before the modal run returns. Derive windows that
// are run modally from this class instead of QDialog.

#include <QDialog>
#include <QEvent>

class COrgDialog : public QDialog {
    Q_OBJECT
public:
    explicit COrgDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // true: Enter and Escape act as QDialog has them (default button,
    // reject). false (default): both keys are swallowed.
    void SetDialogKeys(bool enabled) { dialogKeys_ = enabled; }
    // true: the window manager's close button ends the dialog with the
    // stored result. false (default for frameless dialogs): it is ignored.
    void SetUserCanClose(bool enabled) { userCanClose_ = enabled; }

    // The result the next close request ends the dialog with (0 at start).
    void SetStoredResult(int result) { storedResult_ = result; }
    int StoredResult() const { return storedResult_; }

    // Stores the result, then posts the dialog a close request.
    void CloseWithResult(int result);
    // Posts the close request to dialog (a COrgDialog). Safe from any
    // thread while the dialog lives. A request that reaches a dialog which
    // is not shown is dropped, so a late request cannot end a later run.
    static void PostCloseRequest(QObject* dialog);
    void PostCloseRequest() { PostCloseRequest(this); }

    // The type of the posted close request.
    static QEvent::Type CloseRequestType();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Called on the close request before the dialog ends; the default ends
    // it with the stored result.
    virtual void OnCloseRequest();

private:
    bool dialogKeys_ = false;
    bool userCanClose_ = false;
    int storedResult_ = 0;
};
