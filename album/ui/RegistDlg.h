#pragma once

// The Album page: the album file buttons in a row at the top, the live
// preview with the user list beside it, a separator and the picture strip
// underneath. The page and its three children only show the album and
// forward the user's requests as signals; the main window carries them out
// (with the module first) and then feeds the page again.

#include <QWidget>

class CRegPreviewDlg;
class CRegUserDlg;
class CRegistImgPage;
class CStateBmpButton;

class CRegistDlg : public QWidget {
    Q_OBJECT
public:
    // Values of FileRequested.
    enum FileRequest { kOpen = 0, kSave = 1, kWriteToFlash = 2 };

    explicit CRegistDlg(QWidget* parent = nullptr);

    CRegPreviewDlg* Preview() const { return preview_; }
    CRegUserDlg* Users() const { return users_; }
    CRegistImgPage* Pictures() const { return pictures_; }

signals:
    void FileRequested(int request);  // FileRequest
    // The selection of the user list changed to exactly one user (the
    // picture strip is emptied for none or several).
    void UserSelected();

private:
    CStateBmpButton* open_ = nullptr;   // 1087
    CStateBmpButton* save_ = nullptr;   // 1088
    CStateBmpButton* flash_ = nullptr;  // 1089
    CRegPreviewDlg* preview_ = nullptr;
    CRegUserDlg* users_ = nullptr;
    CRegistImgPage* pictures_ = nullptr;
};
