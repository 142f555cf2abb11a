#include "album/AlbumSync.h"

#include "album/PictureFile.h"
#include "base/ImgConv.h"
#include "settings/FileOperate.h"
#include "settings/Settings.h"

int PictureList::Count() const {
    int count = 0;
    for (const Item& item : items) {
        if (item.dataNumber != -1) {
            ++count;
        }
    }
    return count;
}

int CAlbumSync::CheckAlbum(std::uint8_t& status) {
    status = kNoAnswerStatus;
    int result = device_.GetVersion(status);
    if (result != 0 || status != 0) {
        return result;
    }
    AlbumImage local;
    if (album_.ReadLocalAlbum(local) != 0) {
        return -1;
    }
    AlbumImage module;
    result = device_.SaveAlbum(module, status);
    if (result != 0 || status != 0) {
        return result;
    }
    WriteAlbumImageFile(kDeviceAlbumFile, module);
    return module == local ? 0 : 1;
}

int CAlbumSync::Commit(std::uint8_t& status) {
    status = kNoAnswerStatus;
    AlbumImage module;
    const int result = device_.SaveAlbum(module, status);
    if (result != 0 || status != 0) {
        return result;
    }
    WriteAlbumImageFile(kLocalAlbumFile, module);
    return device_.WriteAlbumToFlash(status);
}

int CAlbumSync::CommitOrRestore(IAlbumQuestions& questions, std::uint8_t& status) {
    const int result = Commit(status);
    if (result != 0 || status != 0) {
        questions.CommitFailed(status);
        album_.Restore();
    }
    return result;
}

int CAlbumSync::CommitWithQuestion(IAlbumQuestions& questions, std::uint8_t& status) {
    status = kNoAnswerStatus;
    if (!questions.ConfirmCommit()) {
        return 0;
    }
    return CommitOrRestore(questions, status);
}

int CAlbumSync::PushLocalAlbum(std::uint8_t& status) {
    status = kNoAnswerStatus;
    AlbumImage local;
    if (album_.ReadLocalAlbum(local) != 0) {
        return -1;
    }
    return device_.LoadAlbum(local, status);
}

int CAlbumSync::RebuildFromDevice(std::uint8_t& status) {
    status = kNoAnswerStatus;
    CRegUserInfoMngr& store = album_.Store();
    album_.DeleteAllLocal();
    album_.SetRegistCount(0);
    // One flush for the whole rebuild instead of one per file.
    store.BeginBatch();
    int result = 0;
    for (int id = 0; id < store.IdCapacity(); ++id) {
        std::uint16_t mask = 0;
        const int rc = device_.GetRegisteredData(id, mask, status);
        if (rc != 0 || status != 0) {
            result = -1;
            break;
        }
        bool first = true;
        for (int j = 0; j < store.DataCapacity() && j < 16; ++j) {
            if ((mask & (1u << j)) == 0) {
                continue;
            }
            if (first) {
                first = false;
                std::string name;
                album_.ProposeNewUser(name);
                store.AddUser(id, name);
                album_.SetRegistCount(album_.RegistCount() + 1);
            }
            CImageData blank;
            InitBlankPicture(blank);
            store.AddData(id, j, blank);
        }
    }
    store.EndBatch();
    return result;
}

int CAlbumSync::SaveAlbumFile(const std::string& path, std::uint8_t& status) {
    status = kNoAnswerStatus;
    album_.StartTimePhase(0, device_.SaveAlbumMs());
    AlbumImage module;
    int result = device_.SaveAlbum(module, status);
    if (result == 0 && status == 0) {
        album_.StartCountPhase(50);
        result = album_.ExportAlbumFile(module, path);
    }
    album_.EndPhase();
    return result;
}

int CAlbumSync::LoadAlbumFile(const std::string& path, std::uint8_t& status) {
    status = kNoAnswerStatus;
    const int expectedMs = device_.LoadAlbumMs();
    album_.StartCountPhase(0);
    AlbumImage image;
    int result = album_.ImportAlbumFile(path, image);
    if (result == 0) {
        album_.ReloadRegistCount();
        album_.StartTimePhase(50, expectedMs);
        result = device_.LoadAlbum(image, status);
    }
    album_.EndPhase();
    return result;
}

int CAlbumSync::RegisterData(int id, std::uint8_t& status) {
    status = kNoAnswerStatus;
    CRegUserInfoMngr& store = album_.Store();
    const int dataNumber = store.FreeDataSlot(id);
    if (dataNumber < 0) {
        return -1;
    }
    CImageData picture;
    InitBlankPicture(picture);
    const int result = device_.Register(id, dataNumber, store.TotalDataCount(), picture, status);
    if (result == 0 && status == 0) {
        return store.AddData(id, dataNumber, picture);
    }
    return result;
}

int CAlbumSync::DeleteUserEverywhere(int id, std::uint8_t& status) {
    status = kNoAnswerStatus;
    CRegUserInfoMngr& store = album_.Store();
    CUserInfo user;
    if (store.GetUser(id, user) != 0) {
        return -1;
    }
    if (user.DataCount() > 0) {
        const int result = device_.DeleteUser(id, store.TotalDataCount(), status);
        if (result != 0) {
            return result;
        }
        if (status != 0) {
            return 0;
        }
    } else {
        // Nothing to delete on the module: this counts as its confirmation.
        status = 0;
    }
    store.DeleteUser(id);
    if (store.Empty()) {
        album_.SetRegistCount(0);
    }
    return 0;
}

int CAlbumSync::DeleteDataEverywhere(int id, int dataNumber, std::uint8_t& status) {
    status = kNoAnswerStatus;
    CRegUserInfoMngr& store = album_.Store();
    const int count = store.TotalDataCount();
    const int result = dataNumber == -1 ? device_.DeleteUser(id, count, status)
                                        : device_.DeleteData(id, dataNumber, count, status);
    if (result == 0 && status == 0) {
        store.DeleteData(id, dataNumber);
    }
    return result;
}

int CAlbumSync::DeleteAllEverywhere(std::uint8_t& status) {
    status = kNoAnswerStatus;
    const int result = device_.DeleteAll(album_.TotalDataCount(), status);
    if (result != 0) {
        return result;
    }
    if (status == 0) {
        album_.DeleteAllLocal();
        album_.SetRegistCount(0);
    }
    return 0;
}

int CAlbumSync::DeleteAllData(std::uint8_t& status) {
    status = kNoAnswerStatus;
    const int result = device_.ReformatAlbum(status);
    if (result != 0) {
        return result;
    }
    album_.DeleteAllLocal();
    album_.SetRegistCount(0);
    return 0;
}

int CAlbumSync::GetAlbumType(int& type, std::uint8_t& status) {
    status = kNoAnswerStatus;
    int value = 0;
    const int result = device_.GetAlbumType(value, status);
    if (result == 0) {
        album_.SetAlbumType(value);
        type = value;
    }
    return result;
}

int CAlbumSync::SetAlbumType(int type, std::uint8_t& status) {
    status = kNoAnswerStatus;
    const int result = device_.SetAlbumType(type, status);
    if (result == 0) {
        album_.SetAlbumType(type);
    }
    return result;
}

int CAlbumSync::BuildPictureList(int id, PictureList& list) const {
    for (PictureList::Item& item : list.items) {
        item.dataNumber = -1;
    }
    const CRegUserInfoMngr& store = album_.Store();
    CUserInfo user;
    if (store.GetUser(id, user) != 0) {
        return -1;
    }
    std::size_t next = 0;
    for (const RegDataInfo& entry : user.data) {
        if (next >= list.items.size()) {
            break;
        }
        CImageData grey;
        InitBlankPicture(grey);
        if (store.ReadPicture(album_.Folder(), id, entry.dataNumber, grey) != 0) {
            break;
        }
        PictureList::Item& item = list.items[next];
        item.picture.Init(grey.Width(), grey.Height(), kFormatRgb24, false);
        IMGCONVINFO dest = item.picture.Info();
        CImgConv(grey.Width(), grey.Height(), grey.Format(), kFormatRgb24)
            .Convert(grey.Info(), &dest);
        item.dataNumber = entry.dataNumber;
        ++next;
    }
    return 0;
}

CheckOutcome CAlbumSync::StartupCheck(IAlbumQuestions& questions) {
    for (;;) {
        std::uint8_t status = kNoAnswerStatus;
        const int check = CheckAlbum(status);
        if (check == 0 && status == 0) {
            album_.Backup();
            return CheckOutcome::kEqual;
        }
        if (check == 1 && status == 0) {
            CheckOutcome outcome;
            std::uint8_t step = kNoAnswerStatus;
            if (questions.PreferApplicationAlbum()) {
                // Failures of these two commands are not reported: the next
                // check finds the difference again.
                if (PushLocalAlbum(step) == 0 && step == 0) {
                    device_.WriteAlbumToFlash(step);
                }
                outcome = CheckOutcome::kPushedLocal;
            } else {
                const std::string file = questions.AlbumFileToSave();
                if (!file.empty()) {
                    WritePrevSelectFile(file);
                    AlbumImage local;
                    album_.ReadLocalAlbum(local);
                    album_.ExportAlbumFile(local, file);
                }
                RebuildFromDevice(step);
                album_.CopyDeviceAlbum();
                outcome = CheckOutcome::kRebuiltFromDevice;
            }
            album_.Backup();
            return outcome;
        }
        if (!questions.RetryCheck(status)) {
            return CheckOutcome::kFailed;
        }
    }
}

int CAlbumSync::ExitCheck(IAlbumQuestions& questions) {
    std::uint8_t status = kNoAnswerStatus;
    const int check = CheckAlbum(status);
    if (check == 1 && status == 0) {
        std::uint8_t step = kNoAnswerStatus;
        CommitWithQuestion(questions, step);
        CFileOperate::DeleteDirectoryTree(kDbBackFolder);
    }
    return check;
}
