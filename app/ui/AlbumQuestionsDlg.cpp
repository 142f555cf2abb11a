// Album questions as message boxes on the window thread.

#include "app/ui/AlbumQuestionsDlg.h"

#include <QMetaObject>
#include <QThread>

#include "settings/Settings.h"
#include "widgets/FileDialog.h"
#include "widgets/MessageBox.h"

template <class F>
auto CAlbumQuestionsDlg::OnWindowThread(F f) {
    using R = decltype(f());
    R answer{};
    QWidget* parent = parent_.data();
    if (parent == nullptr) {
        return answer;
    }
    if (QThread::currentThread() == parent->thread()) {
        return f();
    }
    // The window thread is in an event loop (the wait dialog) while album
    // work runs, so the blocking hand-over cannot wait on itself.
    QMetaObject::invokeMethod(
        parent, [&answer, &f] { answer = f(); }, Qt::BlockingQueuedConnection);
    return answer;
}

namespace {

QString Hex2(std::uint8_t status) {
    return QStringLiteral("%1").arg(status, 2, 16, QChar('0')).toUpper();
}

}  // namespace

bool CAlbumQuestionsDlg::PreferApplicationAlbum() {
    return OnWindowThread([this] {
        // String 5021.
        return MessageBox::Question(
                   parent_, QStringLiteral(
                                "Registration data in Device and Application do not match.\n"
                                "Do you want to choose the data in Application?\n"
                                "  YES:The data in Application will overwrite the data in Device.\n"
                                "   NO:Use the data in Device. Please let me save the data in "
                                "Application.")) == QMessageBox::Yes;
    });
}

std::string CAlbumQuestionsDlg::AlbumFileToSave() {
    return OnWindowThread([this] {
        const QString file = FileDialog::GetSaveFileName(
            parent_, QString(), QString::fromStdString(ReadPrevSelectFile()),
            FileDialog::FilterFromPipes(QStringLiteral("Album File(*.kyl)|*.kyl||")));
        if (!file.isEmpty()) {
            WritePrevSelectFile(file.toStdString());
        }
        return file.toStdString();
    });
}

bool CAlbumQuestionsDlg::RetryCheck(std::uint8_t status) {
    return OnWindowThread([this, status] {
        // String 5211, information icon.
        return MessageBox::Information(
                   parent_,
                   QStringLiteral("Cannot load the Album. (error code %1)\nTry again?")
                       .arg(Hex2(status)),
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    });
}

bool CAlbumQuestionsDlg::ConfirmCommit() {
    return OnWindowThread([this] {
        // String 5022.
        return MessageBox::Question(parent_, QStringLiteral("Write the current Album to "
                                                            "FlashROM in Device?")) ==
               QMessageBox::Yes;
    });
}

void CAlbumQuestionsDlg::CommitFailed(std::uint8_t status) {
    OnWindowThread([this, status] {
        // String 5212.
        MessageBox::Warning(
            parent_, QStringLiteral("Cannot save the Album. (error code %1)").arg(Hex2(status)));
        return 0;
    });
}
