#include "album/AlbumSync.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "album/PictureFile.h"
#include "album/StoreText.h"
#include "base/ImgConv.h"
#include "protocol/ResultCodes.h"
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
    const CRegUserInfoMngr& store = album_.Store();
    const int ids = store.IdCapacity();
    // Every question first: a module that stops answering part-way leaves
    // the store as it was.
    album_.StartStepPhase(ids);
    std::vector<std::uint16_t> masks(static_cast<std::size_t>(ids), 0);
    for (int id = 0; id < ids; ++id) {
        if (album_.StopRequested()) {
            album_.EndPhase();
            return kResultCancelled;
        }
        const int rc = device_.GetRegisteredData(id, masks[static_cast<std::size_t>(id)], status);
        if (rc == kResultCancelled) {
            album_.EndPhase();
            return rc;
        }
        if (rc != 0 || status != 0) {
            album_.EndPhase();
            return -1;
        }
        album_.AdvanceProgress();
    }

    CImageData blank;
    InitBlankPicture(blank);
    const std::string today = TodayDate();
    std::vector<StoreUser> users;
    std::vector<bool> taken(static_cast<std::size_t>(ids), false);
    for (int id = 0; id < ids; ++id) {
        const std::uint16_t mask = masks[static_cast<std::size_t>(id)];
        StoreUser user;
        user.id = id;
        for (int j = 0; j < store.DataCapacity() && j < 16; ++j) {
            if ((mask & (1u << j)) != 0) {
                user.entries.push_back({j, today, &blank});
            }
        }
        if (user.entries.empty()) {
            continue;
        }
        // The default name of the lowest ID not yet taken at this moment.
        int lowest = 0;
        while (lowest < ids && taken[static_cast<std::size_t>(lowest)]) {
            ++lowest;
        }
        char name[32];
        std::snprintf(name, sizeof name, "USER_%04d", lowest);
        user.name = name;
        taken[static_cast<std::size_t>(id)] = true;
        users.push_back(std::move(user));
    }
    // The counter counts one per rebuilt user, from 0; ./DB/kylxx.kyb goes.
    const int result =
        album_.ReplaceStore(users, static_cast<int>(users.size()), std::nullopt) == 0 ? 0 : -1;
    album_.EndPhase();
    if (result != 0 && album_.LastImportFailure() == ImportFailure::kStopped) {
        return kResultCancelled;
    }
    return result;
}

int CAlbumSync::SaveAlbumFile(const std::string& path, std::uint8_t& status) {
    status = kNoAnswerStatus;
    album_.StartTimePhase(0, device_.SaveAlbumMs());
    AlbumImage module;
    int result = device_.SaveAlbum(module, status);
    if (result == 0 && status == 0) {
        if (album_.StopRequested()) {
            result = kResultCancelled;
        } else {
            album_.StartCountPhase(50);
            result = album_.ExportAlbumFile(module, path);
        }
    }
    album_.EndPhase();
    return result;
}

int CAlbumSync::LoadAlbumFile(const std::string& path, std::uint8_t& status) {
    status = kNoAnswerStatus;
    const int expectedMs = device_.LoadAlbumMs();
    album_.StartCountPhase(0);
    AlbumImage image;
    if (album_.PrepareImport(path, image) != 0) {
        album_.EndPhase();
        return album_.LastImportFailure() == ImportFailure::kStopped ? kResultCancelled : -1;
    }
    album_.StartTimePhase(50, expectedMs);
    int result = album_.StopRequested() ? kResultCancelled : device_.LoadAlbum(image, status);
    if (result == kResultCancelled) {
        album_.AbandonImport();
        album_.EndPhase();
        return result;
    }
    if (album_.FinishImport() != 0) {
        result = result == 0 && status == 0 ? kResultLoadedNotStored : -1;
    } else {
        album_.ReloadRegistCount();
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
        return store.AddData(id, dataNumber, picture) == 0 ? 0 : kResultRegisteredNotStored;
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

CheckOutcome CAlbumSync::ResolveWithApplication(std::uint8_t& status) {
    if (PushLocalAlbum(status) != 0 || status != 0) {
        return CheckOutcome::kPushFailed;
    }
    if (device_.WriteAlbumToFlash(status) != 0 || status != 0) {
        return CheckOutcome::kPushFailed;
    }
    album_.Backup();
    return CheckOutcome::kPushedLocal;
}

CheckOutcome CAlbumSync::ResolveWithModule(const std::string& exportFile, std::uint8_t& status) {
    status = kNoAnswerStatus;
    if (!exportFile.empty()) {
        WritePrevSelectFile(exportFile);
        AlbumImage local;
        // The user asked for the application's album to be kept: without
        // that file nothing may be thrown away.
        if (album_.ReadLocalAlbum(local) != 0 || album_.ExportAlbumFile(local, exportFile) != 0) {
            return CheckOutcome::kExportFailed;
        }
    }
    if (RebuildFromDevice(status) != 0) {
        return CheckOutcome::kRebuildFailed;
    }
    album_.CopyDeviceAlbum();
    album_.Backup();
    return CheckOutcome::kRebuiltFromDevice;
}

CheckOutcome CAlbumSync::StartupCheck(IAlbumQuestions& questions, std::uint8_t* failedStatus) {
    for (;;) {
        std::uint8_t status = kNoAnswerStatus;
        const int check = CheckAlbum(status);
        if (check == 0 && status == 0) {
            album_.Backup();
            return CheckOutcome::kEqual;
        }
        if (check == 1 && status == 0) {
            std::uint8_t step = kNoAnswerStatus;
            const CheckOutcome outcome = questions.PreferApplicationAlbum()
                                             ? ResolveWithApplication(step)
                                             : ResolveWithModule(questions.AlbumFileToSave(), step);
            if (failedStatus) {
                *failedStatus = step;
            }
            return outcome;
        }
        if (failedStatus) {
            *failedStatus = status;
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
