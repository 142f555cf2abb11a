#include "album/AlbumMngr.h"

#include <fcntl.h>
#include <stdio.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "album/AlbumFile.h"
#include "album/AlbumTransfer.h"
#include "album/PictureFile.h"
#include "base/AtomicFile.h"
#include "base/DirectoryMirror.h"
#include "settings/FileOperate.h"
#include "settings/Settings.h"

namespace fs = std::filesystem;

namespace {

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Puts `fresh` in the place of `live` in one step; the old tree ends up at
// `fresh` (or, without an atomic exchange on this file system, beside it as
// `fresh`.old after a short moment without `live`).
int SwapDirectories(const std::string& fresh, const std::string& live) {
    std::error_code ec;
    if (!fs::exists(live, ec)) {
        fs::create_directories(fs::path(live).parent_path(), ec);
        return ::rename(fresh.c_str(), live.c_str()) == 0 ? 0 : -1;
    }
    if (::renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, live.c_str(), RENAME_EXCHANGE) == 0) {
        return 0;
    }
    const std::string aside = fresh + ".old";
    if (::rename(live.c_str(), aside.c_str()) != 0) {
        return -1;
    }
    if (::rename(fresh.c_str(), live.c_str()) != 0) {
        ::rename(aside.c_str(), live.c_str());
        return -1;
    }
    return 0;
}

// Puts back what SwapDirectories(fresh, live) replaced.
void UndoSwap(const std::string& fresh, const std::string& live) {
    std::error_code ec;
    if (fs::exists(fresh, ec)) {
        SwapDirectories(fresh, live);  // the old tree waits at `fresh`
        return;
    }
    const std::string aside = fresh + ".old";
    ::rename(live.c_str(), fresh.c_str());
    if (fs::exists(aside, ec)) {
        ::rename(aside.c_str(), live.c_str());
    }
}

}  // namespace

const char* ImportFailureText(ImportFailure failure) {
    switch (failure) {
        case ImportFailure::kNone:
            return "no failure";
        case ImportFailure::kNoFolder:
            return "no module is connected, so there is no store to replace";
        case ImportFailure::kUnreadable:
            return "the file could not be read (missing, not a regular file, or larger than "
                   "any album file)";
        case ImportFailure::kNotAlbumFile:
            return "the file is not a valid album file";
        case ImportFailure::kAlbumTooLarge:
            return "its album is larger than the module's album area (816,032 bytes)";
        case ImportFailure::kWriteFailed:
            return "a file of the new store could not be written (is the disk full?)";
        case ImportFailure::kStopped:
            return "it was stopped before it was complete";
    }
    return "unknown failure";
}

CAlbumMngr::CAlbumMngr(int idCapacity, int dataCapacity)
    : store_(idCapacity, dataCapacity), userOrder_(static_cast<std::size_t>(idCapacity)) {
    for (std::size_t i = 0; i < userOrder_.size(); ++i) {
        userOrder_[i] = static_cast<int>(i);
    }
    CFileOperate::EnsureDirectory(kDbFolder);
}

int CAlbumMngr::OpenFolder(const std::string& folder) {
    AbandonImport();
    folder_ = folder;
    CFileOperate::EnsureDirectory(folder_);
    // What an interrupted import left beside the store.
    std::error_code ec;
    fs::remove_all(StagingFolder(), ec);
    fs::remove(kStagedAlbumFile, ec);
    const int result = store_.Load(folder_);
    ReloadRegistCount();
    return result;
}

bool CAlbumMngr::LocalAlbumExists() const {
    return CFileOperate::Exists(kLocalAlbumFile);
}

int CAlbumMngr::ReadLocalAlbum(AlbumImage& image) const {
    return ReadAlbumImageFile(LocalAlbumExists() ? kLocalAlbumFile : kDefaultAlbumFile, image);
}

int CAlbumMngr::CopyDeviceAlbum() {
    AlbumImage image;
    if (ReadAlbumImageFile(kDeviceAlbumFile, image) != 0) {
        return -1;
    }
    return WriteAlbumImageFile(kLocalAlbumFile, image);
}

int CAlbumMngr::DeleteAllLocal() {
    store_.DeleteAllUsers();
    std::error_code ec;
    fs::remove(kLocalAlbumFile, ec);
    return 0;
}

void CAlbumMngr::Backup() {
    MirrorDirectory(kDbFolder, kDbBackFolder, MirrorMode::kExact);
    if (!folder_.empty()) {
        WriteRegistCountBack(folder_, ReadRegistCount(folder_));
    }
}

void CAlbumMngr::Restore() {
    if (!CFileOperate::Exists(kDbBackFolder)) {
        return;
    }
    MirrorDirectory(kDbBackFolder, kDbFolder, MirrorMode::kExact);
    if (!folder_.empty()) {
        SetRegistCount(ReadRegistCountBack(folder_));
    }
}

int CAlbumMngr::ExportAlbumFile(const AlbumImage& image, const std::string& path) {
    progressTotal_ = store_.TotalDataCount();
    progressDone_ = 0;
    AlbumFileData data;
    data.image = image;
    data.registCount = folder_.empty() ? 0 : ReadRegistCount(folder_);
    for (const RegUserEntry& listed : store_.ListUsers()) {
        CUserInfo user;
        if (store_.GetUser(listed.id, user) != 0) {
            continue;
        }
        data.AddUser(user.id, user.name);
        AlbumFileUser& out = data.users.back();
        out.entries.reserve(user.data.size());
        for (const RegDataInfo& entry : user.data) {
            AlbumFileEntry item;
            item.dataNumber = entry.dataNumber;
            item.date = entry.date;
            // An unreadable picture travels as a blank one.
            InitBlankPicture(item.picture);
            store_.ReadPicture(folder_, user.id, entry.dataNumber, item.picture);
            out.entries.push_back(std::move(item));
            ++progressDone_;
        }
    }
    const std::vector<std::uint8_t> bytes = EncodeAlbumFile(data, userOrder_, &lastCutNames_);
    return WriteFileAtomically(path, bytes.data(), bytes.size()) == 0 ? 0 : -1;
}

int CAlbumMngr::ImportAlbumFile(const std::string& path, AlbumImage& image) {
    AlbumImage fromFile;
    if (PrepareImport(path, fromFile) != 0) {
        return -1;
    }
    if (FinishImport() != 0) {
        return -1;
    }
    image = std::move(fromFile);
    return 0;
}

int CAlbumMngr::PrepareImport(const std::string& path, AlbumImage& image) {
    AbandonImport();
    importFailure_ = ImportFailure::kNone;
    if (folder_.empty()) {
        importFailure_ = ImportFailure::kNoFolder;
        return -1;
    }
    AlbumFileData file;
    {
        std::vector<std::uint8_t> bytes;
        if (CFileOperate::ReadFileBytes(path, bytes, kMaxAlbumFileSize) != 0) {
            importFailure_ = ImportFailure::kUnreadable;
            return -1;
        }
        if (ParseAlbumFile(bytes.data(), bytes.size(), file) != 0) {
            importFailure_ = ImportFailure::kNotAlbumFile;
            return -1;
        }
    }
    // The module could never take it: refused before anything is written.
    if (file.image.data.size() > kAlbumAreaSize) {
        importFailure_ = ImportFailure::kAlbumTooLarge;
        return -1;
    }
    progressTotal_ = static_cast<int>(file.TotalEntries());
    progressDone_ = 0;

    std::vector<StoreUser> users;
    users.reserve(file.users.size());
    for (const AlbumFileUser& user : file.users) {
        StoreUser out;
        out.id = user.id;
        // Names from other sources may carry line breaks, which UserInfo.dat
        // cannot hold.
        out.name = WithoutLineBreaks(user.name);
        out.entries.reserve(user.entries.size());
        for (const AlbumFileEntry& entry : user.entries) {
            out.entries.push_back({entry.dataNumber, entry.date, &entry.picture});
        }
        users.push_back(std::move(out));
    }
    if (BuildStaged(users, true) != 0) {
        return -1;
    }
    importPrepared_ = true;
    importRegistCount_ = file.registCount;
    importImage_ = file.image;
    image = std::move(file.image);
    return 0;
}

int CAlbumMngr::FinishImport() {
    if (!importPrepared_) {
        importFailure_ = ImportFailure::kNoFolder;
        return -1;
    }
    importPrepared_ = false;
    // An image too small for a .kyb file leaves no local album image (the
    // shipped default stands in), as before.
    std::optional<AlbumImage> image;
    if (importImage_.data.size() >= kMinAlbumImageData) {
        image = std::move(importImage_);
    }
    importImage_ = AlbumImage{};
    return SwapInStaged(importRegistCount_, image);
}

void CAlbumMngr::AbandonImport() {
    importPrepared_ = false;
    importImage_ = AlbumImage{};
    staged_.reset();
    if (!folder_.empty()) {
        std::error_code ec;
        fs::remove_all(StagingFolder(), ec);
    }
}

int CAlbumMngr::ReplaceStore(const std::vector<StoreUser>& users, int registCount,
                             const std::optional<AlbumImage>& image) {
    AbandonImport();
    importFailure_ = ImportFailure::kNone;
    if (folder_.empty()) {
        importFailure_ = ImportFailure::kNoFolder;
        return -1;
    }
    if (BuildStaged(users, false) != 0) {
        return -1;
    }
    return SwapInStaged(registCount, image);
}

int CAlbumMngr::BuildStaged(const std::vector<StoreUser>& users, bool countProgress) {
    // The new store is built beside the live one and swapped in as a whole:
    // an interruption leaves either the old store or the new one, and the
    // thousands of files need no flush and no rename each.
    const std::string staging = StagingFolder();
    std::error_code ec;
    fs::remove_all(staging, ec);
    staged_ = std::make_unique<CRegUserInfoMngr>(store_.IdCapacity(), store_.DataCapacity());
    staged_->Load(staging);
    staged_->BeginBatch(true);
    ImportFailure failure = ImportFailure::kNone;
    for (const StoreUser& user : users) {
        if (StopRequested()) {
            failure = ImportFailure::kStopped;
            break;
        }
        // Records the store cannot hold are passed over, not fatal.
        if (user.id < 0 || user.id >= store_.IdCapacity()) {
            continue;
        }
        if (staged_->AddUserWithEntries(user.id, user.name, user.entries) != 0) {
            failure = ImportFailure::kWriteFailed;
            break;
        }
        if (countProgress) {
            progressDone_ += static_cast<int>(user.entries.size());
        }
    }
    if (staged_->EndBatch() != 0 && failure == ImportFailure::kNone) {
        failure = ImportFailure::kWriteFailed;
    }
    // An empty store still gets its (empty) User.dat.
    if (failure == ImportFailure::kNone) {
        CFileOperate::EnsureDirectory(staging + "/RegistData");
        if (!fs::exists(staging + "/RegistData/User.dat", ec) &&
            CFileOperate::WriteTextLines(staging + "/RegistData/User.dat", {}) != 0) {
            failure = ImportFailure::kWriteFailed;
        }
    }
    if (failure != ImportFailure::kNone) {
        importFailure_ = failure;
        staged_.reset();
        fs::remove_all(staging, ec);
        return -1;
    }
    return 0;
}

int CAlbumMngr::SwapInStaged(int registCount, const std::optional<AlbumImage>& image) {
    const std::string staging = StagingFolder();
    const std::string fresh = staging + "/RegistData";
    const std::string live = folder_ + "/RegistData";
    std::error_code ec;
    const auto fail = [&](ImportFailure why) {
        importFailure_ = why;
        staged_.reset();
        fs::remove_all(staging, ec);
        fs::remove(kStagedAlbumFile, ec);
        return -1;
    };
    // Everything that can fail for want of space is written before the
    // swap; afterwards only renames are left. ./DB is made when the album
    // object is, but may have gone since (or the working folder changed).
    if (image) {
        CFileOperate::EnsureDirectory(kDbFolder);
    }
    if (image && WriteAlbumImageFile(kStagedAlbumFile, *image) != 0) {
        return fail(ImportFailure::kWriteFailed);
    }
    const int oldCount = ReadRegistCount(folder_);
    if (WriteRegistCount(folder_, registCount) != 0) {
        return fail(ImportFailure::kWriteFailed);
    }
    if (SwapDirectories(fresh, live) != 0) {
        WriteRegistCount(folder_, oldCount);
        return fail(ImportFailure::kWriteFailed);
    }
    const bool imageInPlace = image ? ::rename(kStagedAlbumFile, kLocalAlbumFile) == 0
                                    : (fs::remove(kLocalAlbumFile, ec), true);
    if (!imageInPlace) {
        UndoSwap(fresh, live);
        WriteRegistCount(folder_, oldCount);
        return fail(ImportFailure::kWriteFailed);
    }
    store_.AdoptUsers(*staged_);
    registCount_ = registCount;
    staged_.reset();
    fs::remove_all(staging, ec);
    return 0;
}

void CAlbumMngr::SetUserOrder(const std::vector<int>& rows) {
    for (std::size_t i = 0; i < userOrder_.size(); ++i) {
        userOrder_[i] = i < rows.size() ? rows[i] : -1;
    }
}

void CAlbumMngr::StartTimePhase(int startValue, int expectedMs) {
    startValue_ = startValue;
    span_ = 50;
    expectedMs_ = expectedMs > 0 ? expectedMs : 1;
    phaseStartMs_ = NowMs();
    phase_ = static_cast<int>(Phase::kTime);
}

void CAlbumMngr::StartStepPhase(int total) {
    progressTotal_ = total;
    progressDone_ = 0;
    startValue_ = 0;
    span_ = 100;
    phase_ = static_cast<int>(Phase::kCount);
}

void CAlbumMngr::StartCountPhase(int startValue) {
    startValue_ = startValue;
    span_ = 50;
    phase_ = static_cast<int>(Phase::kCount);
}

void CAlbumMngr::EndPhase() {
    phase_ = static_cast<int>(Phase::kNone);
    lastPercent_ = 100.0;
}

double CAlbumMngr::AlbumProgress() const {
    double fraction = 0.0;
    switch (static_cast<Phase>(phase_.load())) {
        case Phase::kTime:
            fraction = static_cast<double>(NowMs() - phaseStartMs_) / expectedMs_;
            break;
        case Phase::kCount: {
            const int total = progressTotal_;
            fraction = total > 0 ? static_cast<double>(progressDone_) / total : 0.0;
            break;
        }
        case Phase::kNone:
            return lastPercent_;
    }
    // The time estimate may run out before the module answers; the bar then
    // waits at the end of its half instead of running past it.
    if (fraction > 1.0) {
        fraction = 1.0;
    }
    const double percent = startValue_ + span_ * fraction;
    lastPercent_ = percent;
    return percent;
}

void CAlbumMngr::SetRegistCount(int count) {
    registCount_ = count;
    if (!folder_.empty()) {
        WriteRegistCount(folder_, count);
    }
}

void CAlbumMngr::ReloadRegistCount() {
    registCount_ = folder_.empty() ? 0 : ReadRegistCount(folder_);
}

int CAlbumMngr::ProposeNewUser(std::string& name) const {
    for (int id = 0; id < store_.IdCapacity(); ++id) {
        if (!store_.IsUsedId(id)) {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "USER_%04d", id);
            name = buffer;
            return id;
        }
    }
    name.clear();
    return -1;
}

int CAlbumMngr::AddNewUser(const std::string& name, int id) {
    std::string prepared = name;
    if (id < 0 || id >= store_.IdCapacity() || store_.IsUsedId(id) ||
        PrepareUserName(prepared) == NameCheck::kLineBreak) {
        return -1;
    }
    const int result = store_.AddUser(id, prepared);
    if (result != 0) {
        return result;
    }
    SetRegistCount(registCount_ + 1);
    return id;
}

int CAlbumMngr::RenameUser(int id, const std::string& name) {
    std::string prepared = name;
    if (PrepareUserName(prepared) == NameCheck::kLineBreak) {
        return -1;
    }
    return store_.Rename(id, prepared);
}

bool CAlbumMngr::IsNameFree(const std::string& name, int id) const {
    for (const RegUserEntry& user : store_.ListUsers()) {
        if (user.id != id && user.name == name) {
            return false;
        }
    }
    return true;
}

bool CAlbumMngr::IsRegistered(int id) const {
    for (const RegUserEntry& user : store_.ListUsers()) {
        if (user.id == id) {
            return true;
        }
    }
    return false;
}
