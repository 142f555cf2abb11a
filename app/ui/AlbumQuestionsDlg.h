#pragma once

// The album operations' questions (album/AlbumQuestions.h) asked with
// message boxes. The operations run on the device worker; each question is
// carried to the window thread and the worker waits for the answer, while
// the window thread (in the wait dialog's modal run) shows the box.

#include <QPointer>
#include <QWidget>

#include "album/AlbumQuestions.h"

class CAlbumQuestionsDlg : public IAlbumQuestions {
public:
    // parent: the window the boxes belong to; it lives on the window thread.
    explicit CAlbumQuestionsDlg(QWidget* parent) : parent_(parent) {}

    bool PreferApplicationAlbum() override;
    std::string AlbumFileToSave() override;
    bool RetryCheck(std::uint8_t status) override;
    bool ConfirmCommit() override;
    void CommitFailed(std::uint8_t status) override;

private:
    template <class F>
    auto OnWindowThread(F f);

    QPointer<QWidget> parent_;
};
