#pragma once

// The one way the windows ask for a file or folder name, so that window tests
// can give the answer instead of a dialog. COrgFileDlg (the album file
// dialog) runs through it too.
//
// Test seam: SetNextFileName(path) queues the answer of the next request (an
// empty path answers as Cancel would); the request is recorded (Requests())
// and no dialog is shown. With SetTestMode(true) no dialog is ever shown and
// an unanswered request is cancelled. Window thread.
//
//     FileDialog::SetNextFileName(dir.filePath("KytoAlbum.kyl"));
//     page.OnOpenAlbumFile();
//     QCOMPARE(FileDialog::Requests().at(0).filter, "Album File(*.kyl)");

#include <QList>
#include <QString>
#include <optional>

class QWidget;

class FileDialog {
public:
    enum class Kind { kOpen, kSave, kDirectory };

    static QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);
    static QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);
    static QString GetExistingDirectory(QWidget* parent, const QString& caption,
                                        const QString& dir);

    // A filter in the pipe form "Album File(*.kyl)|*.kyl||" as a Qt filter
    // list: "Album File(*.kyl)" (the description is kept; its patterns are
    // added in brackets when it does not already show them; ";" between
    // patterns becomes a space).
    static QString FilterFromPipes(const QString& pipes);

    // ---- Test seam ----------------------------------------------------------
    struct Request {
        Kind kind = Kind::kOpen;
        QString caption;
        QString dir;  // the initial folder or path
        QString filter;
        QString answer;
        bool answered = false;  // a queued answer was used
    };
    static void SetNextFileName(const QString& path);
    static void SetTestMode(bool enabled);
    static QList<Request> Requests();
    static void Reset();

    // For dialogs built on this front: records the request and returns the
    // seam's answer, or nothing when a real dialog is to be shown.
    static std::optional<QString> SeamAnswer(Kind kind, const QString& caption, const QString& dir,
                                             const QString& filter);
};
