#pragma once

// The album file dialog: open or save one file of a filter, the file having
// to exist when opening, a question before an existing file is replaced. The
// file of the initial path is selected in the list each time the dialog
// shows a folder that holds a file of exactly that name (nothing is selected
// in a folder without it). The working folder at construction is restored
// when the dialog is destroyed. It runs through the FileDialog seam, so a
// window test gives the answer (widgets/FileDialog.h).
//
//     COrgFileDlg dialog(true, prevSelectFile, "Album File(*.kyl)|*.kyl||", this);
//     const QString path = dialog.Run();  // empty when cancelled

#include <QFileDialog>
#include <QString>

class COrgFileDlg : public QFileDialog {
    Q_OBJECT
public:
    // filter: the pipe form ("Album File(*.kyl)|*.kyl||") or a Qt filter.
    COrgFileDlg(bool open, const QString& initialPath, const QString& filter,
                QWidget* parent = nullptr);
    ~COrgFileDlg() override;

    // The chosen path, or an empty text when the dialog was cancelled.
    QString Run();

    // The name the dialog looks for in every folder it shows.
    QString InitialName() const { return initialName_; }

private:
    void PreselectIn(const QString& folder);

    bool open_;
    QString initialPath_;
    QString filter_;
    QString initialName_;
    QString savedCurrentDir_;
};
