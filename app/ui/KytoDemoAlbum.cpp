// The main window's Album tab: the page and its dialogs, the live preview,
// and every handler of the page's requests. Each operation that touches the
// module stops the live image first (StopLoop), runs its job on the device
// worker behind the "Please wait." dialog or the progress dialog, reports,
// and restarts the live image. Local edits (add, rename, moves) run at once.

#include <QFileInfo>

#include "album/AlbumMngr.h"
#include "album/UserName.h"
#include "album/ui/AlbumProgressDlg.h"
#include "album/ui/IDSelectDlg.h"
#include "album/ui/NameInputDlg.h"
#include "album/ui/RegPreviewDlg.h"
#include "album/ui/RegUserDlg.h"
#include "album/ui/RegistDlg.h"
#include "album/ui/RegistImgPage.h"
#include "app/AlbumJobs.h"
#include "app/ResultText.h"
#include "app/ui/ExecuteDlg.h"
#include "app/ui/KytoDemoDlg.h"
#include "app/ui/MainOpeDlg.h"
#include "protocol/ResultCodes.h"
#include "settings/Settings.h"
#include "widgets/MessageBox.h"
#include "widgets/OrgFileDlg.h"
#include "widgets/OrgListCtrl.h"
#include "widgets/WaitDlg.h"

namespace {

constexpr const char* kAlbumFilter = "Album File(*.kyl)|*.kyl||";

QString Hex2(std::uint8_t status) {
    return QStringLiteral("%1").arg(status, 2, 16, QChar('0')).toUpper();
}

std::vector<RegUserEntry> Entries(const UserListSnapshot& users) {
    std::vector<RegUserEntry> entries;
    for (const UserListRow& row : users.rows) {
        entries.push_back(RegUserEntry{row.id, row.name, row.dataCount});
    }
    return entries;
}

std::vector<StripPicture> StripPictures(const PictureList& list) {
    std::vector<StripPicture> pictures;
    for (const PictureList::Item& item : list.items) {
        if (item.dataNumber < 0) {
            break;
        }
        pictures.push_back(StripPicture{item.dataNumber, ToQImage(item.picture)});
    }
    return pictures;
}

// The file name and extension of a path, for the progress texts.
QString FileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}

}  // namespace

void CKytoDemoDlg::BuildAlbumPage(QWidget* pages) {
    albumJobs_ = std::make_unique<CAlbumJobs>(worker_, album_);
    albumPage_ = new CRegistDlg(pages);
    CRegUserDlg* users = albumPage_->Users();
    // The page's requests come back as posted messages, like the other
    // pages', so a request never runs inside the control's own handler.
    connect(users, &CRegUserDlg::UserRequested, this,
            [this](int request) { PostWindowMessage(this, UWM_ALBUM_USER, albumPage_, request); });
    connect(users, &CRegUserDlg::RegisterRequested, this,
            [this] { PostWindowMessage(this, UWM_ALBUM_REGISTER, albumPage_, 0); });
    connect(albumPage_, &CRegistDlg::UserSelected, this,
            [this] { PostWindowMessage(this, UWM_ALBUM_SELECT, albumPage_, 1); });
    connect(users, &CRegUserDlg::MoveRequested, this, [this](int direction) {
        PostWindowMessage(this, UWM_ALBUM_MOVE, albumPage_, direction < 0 ? 0 : 1);
    });
    connect(users->List(), &COrgListCtrl::headerReleased, this, [this] {
        // The list has sorted itself; album files follow the rows.
        albumJobs_->SetRowOrder(albumPage_->Users()->RowOrder());
    });
    connect(albumPage_->Pictures(), &CRegistImgPage::DeleteRequested, this, [this](int request) {
        PostWindowMessage(this, UWM_ALBUM_IMAGE_DELETE, albumPage_, request);
    });
    connect(albumPage_, &CRegistDlg::FileRequested, this,
            [this](int request) { PostWindowMessage(this, UWM_ALBUM_FILE, albumPage_, request); });

    nameDlg_ = new CNameInputDlg(this);
    connect(nameDlg_, &CNameInputDlg::NameCheckRequested, this, [this] { OnNameCheck(); });

    progress_ = new CAlbumProgressDlg(this);
    connect(progress_, &CNotifyDlg::notified, this, [this](int message, qintptr value) {
        PostWindowMessage(this, static_cast<WindowMessage>(message), progress_, value);
    });
    connect(progress_, &CAlbumProgressDlg::CancelRequested, this, [this] {
        if (albumJob_ != 0) {
            albumJobs_->Cancel(albumJob_);
        } else if (pendingAlbumJob_) {
            pendingAlbumJob_ = nullptr;  // not started yet: it never will
            progress_->CloseRequest();
        }
    });

    // The ID selection of Verify: a window of its own beside the execute
    // page, shown while Face and Verify are on.
    idSelect_ = new CIDSelectDlg(this);
    idSelect_->setWindowFlag(Qt::Tool, true);
    connect(idSelect_, &CIDSelectDlg::VerifyIdConfirmed, this,
            [this](int id) { PostWindowMessage(this, UWM_VERIFY_ID, idSelect_, id); });
}

void CKytoDemoDlg::AttachIdSelect() {
    mainPage_->ExecutePage().SetIdSelectDialog(idSelect_);
}

CRegistDlg* CKytoDemoDlg::RegistPage() const {
    return albumPage_;
}

void CKytoDemoDlg::OnLiveImage(const FramePacketPtr& packet) {
    if (packet && packet->Succeeded()) {
        albumPage_->Preview()->SetImage(packet->image);
    }
}

bool CKytoDemoDlg::OnAlbumMessage(const CWindowMessage& message) {
    const QObject* sender = message.Sender();
    const int value = static_cast<int>(message.Value());
    if (sender == wait_ || sender == progress_) {
        // The dialog is up: the operation it was shown for starts now.
        StartPendingAlbumJob(sender == progress_);
        return true;
    }
    if (sender != albumPage_ || closing_) {
        return true;  // requests from anyone else are ignored
    }
    switch (message.Message()) {
        case UWM_ALBUM_USER:
            switch (value) {
                case CRegUserDlg::kAddUser:
                    OnAlbumAddUser();
                    break;
                case CRegUserDlg::kChangeName:
                    OnAlbumChangeName();
                    break;
                case CRegUserDlg::kDeleteUser:
                    OnAlbumDeleteUsers();
                    break;
                case CRegUserDlg::kDeleteAll:
                    OnAlbumDeleteAll();
                    break;
                default:
                    break;
            }
            break;
        case UWM_ALBUM_REGISTER:
            OnAlbumRegister();
            break;
        case UWM_ALBUM_SELECT:
            OnAlbumSelect();
            break;
        case UWM_ALBUM_MOVE:
            OnAlbumMove(value == 0 ? -1 : 1);
            break;
        case UWM_ALBUM_IMAGE_DELETE:
            OnAlbumImageDelete(value);
            break;
        case UWM_ALBUM_FILE:
            OnAlbumFile(value);
            break;
        default:
            return false;
    }
    return true;
}

// ---- Lists -------------------------------------------------------------------

void CKytoDemoDlg::RefreshAlbumLists() {
    const std::shared_ptr<const UserListSnapshot> users = albumJobs_->Users();
    const std::vector<RegUserEntry> entries = Entries(*users);
    albumPage_->Users()->SetUsers(entries);
    std::vector<UserName> names;
    for (const RegUserEntry& entry : entries) {
        names.push_back(UserName{entry.id, entry.name});
    }
    mainPage_->UpdateUserList(names);
    frameLogger_.SetUserNames(names);
    idSelect_->SetUsers(entries);
    // A verify user that is gone is nobody's any more.
    const int verifyId = mainPage_->Choices().Current().verifyUserId;
    if (verifyId >= 0 && users->Find(verifyId) == nullptr) {
        mainPage_->SetVerifyId(-1);
    }
    if (idSelect_->CommittedId() >= 0 && users->Find(idSelect_->CommittedId()) == nullptr) {
        idSelect_->SetCommittedId(-1);
    }
    if (idSelect_->MarkedId() >= 0 && users->Find(idSelect_->MarkedId()) == nullptr) {
        idSelect_->SetMarkedId(-1);
    }
}

void CKytoDemoDlg::AfterAlbumChange() {
    albumJobs_->RefreshUsers();
    RefreshAlbumLists();
    albumPage_->Pictures()->Reset();
}

void CKytoDemoDlg::ShowPictures(int id, const std::optional<PictureList>& pictures) {
    if (!pictures) {
        albumPage_->Pictures()->Reset();
        return;
    }
    albumPage_->Pictures()->SetPictures(StripPictures(*pictures));
    albumPage_->Users()->SetDataCount(id, pictures->Count());
}

// ---- Jobs behind the wait and progress dialogs --------------------------------

JobResult<AlbumJobResult> CKytoDemoDlg::RunAlbumJob(int message, AlbumPost post) {
    StopLoop();  // the live image gives up the module first
    pendingAlbumJob_ = std::move(post);
    albumJobResult_ = JobResult<AlbumJobResult>{};
    albumJobResult_.end = JobEnd::kDropped;
    RunWaitDialog(CWaitDlg::kPleaseWait, message);
    pendingAlbumJob_ = nullptr;
    return albumJobResult_;
}

void CKytoDemoDlg::ResumeLiveImage() {
    if (!closing_ && connected_ && runMode_ == kLiveImage) {
        RestartLoop();
    }
}

void CKytoDemoDlg::StartPendingAlbumJob(bool progressDialog) {
    if (!pendingAlbumJob_) {
        if (progressDialog) {
            progress_->CloseRequest();
        } else {
            CloseWaitDialog();
        }
        return;
    }
    AlbumPost post = std::move(pendingAlbumJob_);
    pendingAlbumJob_ = nullptr;
    albumJob_ = post(poster_.Get(), [this, progressDialog](JobResult<AlbumJobResult> done) {
        albumJob_ = 0;
        albumJobResult_ = std::move(done);
        if (progressDialog) {
            progress_->CloseRequest();
        } else {
            CloseWaitDialog();
        }
    });
}

// ---- User list -----------------------------------------------------------------

void CKytoDemoDlg::OnNameCheck() {
    const std::string name = nameDlg_->Name().toStdString();
    const int code = albumJobs_->WithAlbum([&](const CAlbumMngr& album) {
        return CheckNameInput(album, name, editedUserId_, nameDlg_->AddMode(), nameDlg_->Id());
    });
    if (code != 0) {
        MessageBox::Warning(nameDlg_, NameCheckText(code));
        return;
    }
    nameDlg_->AcceptInput();
}

void CKytoDemoDlg::OnAlbumAddUser() {
    std::string name;
    const int id = albumJobs_->WithAlbum(
        [&name](const CAlbumMngr& album) { return album.ProposeNewUser(name); });
    editedUserId_ = -1;
    nameDlg_->SetInput(QString::fromStdString(name), id, true);
    nameDlg_->exec();
    if (nameDlg_->Result() != CNameInputDlg::kResultOk) {
        return;
    }
    std::string entered = nameDlg_->Name().toStdString();
    PrepareUserName(entered);
    if (albumJobs_->AddUser(entered, nameDlg_->Id()) >= 0) {
        RefreshAlbumLists();
        albumPage_->Pictures()->Reset();
    }
}

void CKytoDemoDlg::OnAlbumChangeName() {
    const int id = albumPage_->Users()->SelectedId();
    if (id < 0) {
        return;
    }
    const UserListRow* row = albumJobs_->Users()->Find(id);
    editedUserId_ = id;
    nameDlg_->SetInput(row != nullptr ? QString::fromStdString(row->name) : QString(), id, false);
    nameDlg_->exec();
    if (nameDlg_->Result() != CNameInputDlg::kResultOk) {
        return;
    }
    std::string entered = nameDlg_->Name().toStdString();
    PrepareUserName(entered);
    if (albumJobs_->RenameUser(id, entered) >= 0) {
        RefreshAlbumLists();
        albumPage_->Pictures()->Reset();
    }
}

void CKytoDemoDlg::OnAlbumDeleteUsers() {
    const std::vector<int> ids = albumPage_->Users()->SelectedIds();
    if (ids.empty()) {
        return;
    }
    // String 2100. Asked before the live image stops: a "No" costs nothing.
    if (MessageBox::Question(this, tr("Delete selected user?")) != QMessageBox::Yes) {
        return;
    }
    const JobResult<AlbumJobResult> done =
        RunAlbumJob(UWM_ALBUM_USER, [this, ids](Poster poster, AlbumDone finish) {
            return albumJobs_->DeleteUsers(ids, std::move(poster), std::move(finish));
        });
    const int deleted = done.Ran() ? done.value.deleted : 0;
    if (deleted == 0) {
        MessageBox::Warning(this, tr("Failed to delete."));  // 2091
    } else if (deleted == static_cast<int>(ids.size())) {
        MessageBox::Information(this, tr("Delete completed."));  // 2090
    } else {
        MessageBox::Warning(this, tr("Some users couldn't be deleted."));  // 2092
    }
    AfterAlbumChange();
    ResumeLiveImage();
}

void CKytoDemoDlg::OnAlbumDeleteAll() {
    // String 2101.
    if (MessageBox::Question(this, tr("Delete all users?")) != QMessageBox::Yes) {
        return;
    }
    const JobResult<AlbumJobResult> done =
        RunAlbumJob(UWM_ALBUM_USER, [this](Poster poster, AlbumDone finish) {
            return albumJobs_->DeleteAll(std::move(poster), std::move(finish));
        });
    if (!done.Ran() || !done.value.Ok()) {
        MessageBox::Warning(this, tr("Failed to delete."));
    } else {
        MessageBox::Information(this, tr("Delete completed."));
    }
    AfterAlbumChange();
    ResumeLiveImage();
}

void CKytoDemoDlg::OnAlbumRegister() {
    const int id = albumPage_->Users()->SelectedId();
    if (id < 0) {
        return;
    }
    const JobResult<AlbumJobResult> done =
        RunAlbumJob(UWM_ALBUM_REGISTER, [this, id](Poster poster, AlbumDone finish) {
            return albumJobs_->Register(id, std::move(poster), std::move(finish));
        });
    const AlbumJobResult& r = done.value;
    if (!done.Ran() || r.result != 0) {
        MessageBox::Warning(this, tr("Device is not responding.\nPlease verify connection."));
    } else if (r.status == 0) {
        ShowPictures(id, r.pictures);
        if (r.commitResult != 0 || r.commitStatus != 0) {
            // String 5212; the job has put the last saved album back.
            MessageBox::Warning(
                this, tr("Cannot save the Album. (error code %1)").arg(Hex2(r.commitStatus)));
        }
        MessageBox::Information(this, tr("Registration successful."));  // 2080
    } else if (r.status == 1) {
        MessageBox::Warning(this, tr("Registration failed:\nFace not found."));  // 2081
    } else if (r.status == 2) {
        MessageBox::Warning(this, tr("Registration failed:\nMultiple faces in image."));  // 2082
    } else {
        MessageBox::Warning(this, tr("Registration unsuccessful."));  // 2083
    }
    RefreshAlbumLists();
    ResumeLiveImage();
}

void CKytoDemoDlg::OnAlbumSelect() {
    const int id = albumPage_->Users()->SelectedId();
    if (id < 0) {
        return;
    }
    PictureList list;
    if (albumJobs_->BuildPictureList(id, list) == 0) {
        ShowPictures(id, list);
    }
}

void CKytoDemoDlg::OnAlbumMove(int direction) {
    const int id = albumPage_->Users()->SelectedId();
    if (id < 0) {
        return;
    }
    editedUserId_ = id;
    if (albumPage_->Users()->MoveUser(id, direction)) {
        albumJobs_->SetRowOrder(albumPage_->Users()->RowOrder());
    }
}

void CKytoDemoDlg::OnAlbumImageDelete(int request) {
    const int id = albumPage_->Users()->SelectedId();
    if (id < 0) {
        return;
    }
    const bool all = request == CRegistImgPage::kDeleteAll;
    // Strings 2102 and 2103.
    if (MessageBox::Question(this, all ? tr("Delete all images?")
                                       : tr("Delete selected images?")) != QMessageBox::Yes) {
        return;
    }
    const int dataNumber = all ? -1 : albumPage_->Pictures()->SelectedDataNumber();
    if (!all && dataNumber < 0) {
        return;  // no picture selected: nothing would be deleted but the user's all
    }
    const JobResult<AlbumJobResult> done = RunAlbumJob(
        UWM_ALBUM_IMAGE_DELETE, [this, id, dataNumber](Poster poster, AlbumDone finish) {
            return albumJobs_->DeleteData(id, dataNumber, std::move(poster), std::move(finish));
        });
    if (!done.Ran() || !done.value.Ok()) {
        MessageBox::Warning(this, tr("Failed to delete."));
    } else {
        MessageBox::Information(this, tr("Delete completed."));
        ShowPictures(id, done.value.pictures);
    }
    RefreshAlbumLists();
    ResumeLiveImage();
}

// ---- Album files -----------------------------------------------------------------

QString CKytoDemoDlg::AskAlbumFile(bool open) {
    COrgFileDlg dialog(open, QString::fromStdString(ReadPrevSelectFile()),
                       QString::fromLatin1(kAlbumFilter), this);
    const QString path = dialog.Run();
    if (!path.isEmpty()) {
        WritePrevSelectFile(path.toStdString());
    }
    return path;
}

void CKytoDemoDlg::RunAlbumFile(bool load, const QString& path) {
    const std::string file = path.toStdString();
    if (load) {
        pendingAlbumJob_ = [this, file](Poster poster, AlbumDone finish) {
            return albumJobs_->LoadFile(file, std::move(poster), std::move(finish));
        };
    } else {
        const std::vector<int> rows = albumPage_->Users()->RowOrder();
        pendingAlbumJob_ = [this, file, rows](Poster poster, AlbumDone finish) {
            return albumJobs_->SaveFile(file, rows, std::move(poster), std::move(finish));
        };
    }
    albumJobResult_ = JobResult<AlbumJobResult>{};
    albumJobResult_.end = JobEnd::kDropped;
    progress_->Prepare();
    progress_->SetText(load ? CProgressDlg::kLoading : CProgressDlg::kSaving, FileNameOf(path));
    CAlbumJobs* jobs = albumJobs_.get();
    progress_->SetProgressSource([jobs] { return jobs->Progress(); });
    progress_->SetNotify(UWM_ALBUM_FILE, load ? 0 : 1);
    progress_->Run();
    progress_->SetProgressSource({});
    pendingAlbumJob_ = nullptr;

    const JobResult<AlbumJobResult>& done = albumJobResult_;
    const AlbumJobResult& r = done.value;
    const bool cancelled = done.end == JobEnd::kCancelled || r.result == kResultCancelled ||
                           done.end == JobEnd::kDropped;
    if (load) {
        // The rows follow the file's order now.
        albumPage_->Users()->ResetSort();
        AfterAlbumChange();
    }
    if (cancelled) {
        return;  // the user ended it; nothing was changed
    }
    if (load) {
        if (!r.Ok()) {
            MessageBox::Warning(
                this, tr("Cannot open %1. (error code %2)").arg(path, Hex2(r.status)));  // 5033
        } else {
            MessageBox::Information(this, tr("Album loaded."));  // 5031
        }
    } else if (!r.Ok()) {
        MessageBox::Warning(
            this, tr("Cannot save %1. (error code %2)").arg(path, Hex2(r.status)));  // 5034
    } else {
        MessageBox::Information(this, tr("Album saved."));  // 5032
    }
}

void CKytoDemoDlg::OnAlbumFile(int request) {
    if (request == CRegistDlg::kWriteToFlash) {
        // String 5022, then the commit; a failure has restored ./DBBack.
        if (MessageBox::Question(this, tr("Write the current Album to FlashROM in Device?")) !=
            QMessageBox::Yes) {
            return;
        }
        const JobResult<AlbumJobResult> done =
            RunAlbumJob(UWM_ALBUM_FILE, [this](Poster poster, AlbumDone finish) {
                return albumJobs_->Commit(std::move(poster), std::move(finish));
            });
        if (!done.Ran() || !done.value.Ok()) {
            MessageBox::Warning(this,
                                tr("Cannot save the Album. (error code %1)")
                                    .arg(Hex2(done.Ran() ? done.value.status : kNoAnswerStatus)));
        }
        ResumeLiveImage();
        return;
    }
    if (request == CRegistDlg::kSave) {
        const QString path = AskAlbumFile(false);
        if (path.isEmpty()) {
            return;
        }
        StopLoop();
        RunAlbumFile(false, path);
        ResumeLiveImage();
        return;
    }
    if (request != CRegistDlg::kOpen) {
        return;
    }
    // String 5030: the album in use may be kept in a file first.
    const auto answer =
        MessageBox::Question(this, tr("Save the current Album?"),
                             QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) {
        return;
    }
    if (answer == QMessageBox::Yes) {
        const QString savePath = AskAlbumFile(false);
        if (savePath.isEmpty()) {
            return;  // cancelling the save cancels the whole Open
        }
        StopLoop();
        RunAlbumFile(false, savePath);
        if (!albumJobResult_.value.Ok()) {
            ResumeLiveImage();
            return;  // the album in use was not kept: do not replace it
        }
    }
    const QString openPath = AskAlbumFile(true);
    if (!openPath.isEmpty()) {
        StopLoop();
        RunAlbumFile(true, openPath);
    }
    ResumeLiveImage();
}
