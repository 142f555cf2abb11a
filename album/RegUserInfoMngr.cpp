#include "album/RegUserInfoMngr.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "album/PictureFile.h"
#include "album/StoreText.h"
#include "album/UserName.h"
#include "base/ImageData.h"
#include "settings/FileOperate.h"

namespace fs = std::filesystem;

CRegUserInfoMngr::CRegUserInfoMngr(int idCapacity, int dataCapacity)
    : idCapacity_(idCapacity > 0 ? idCapacity : 0),
      dataCapacity_(dataCapacity > 0 ? dataCapacity : 0),
      usedIds_(static_cast<std::size_t>(idCapacity_), 0) {}

std::string CRegUserInfoMngr::UserListPath() const {
    return folder_ + "/RegistData/User.dat";
}

std::string CRegUserInfoMngr::UserDirectory(int id) const {
    return folder_ + "/RegistData/" + ThreeDigits(id);
}

std::string CRegUserInfoMngr::UserInfoPath(int id) const {
    return UserDirectory(id) + "/UserInfo.dat";
}

std::string CRegUserInfoMngr::PicturePath(const std::string& folder, int id, int dataNumber) {
    return folder + "/RegistData/" + ThreeDigits(id) + "/" + TwoDigits(dataNumber);
}

std::string CRegUserInfoMngr::DataInfoPath(int id, int dataNumber) const {
    return PicturePath(folder_, id, dataNumber) + ".dat";
}

CUserInfo* CRegUserInfoMngr::Find(int id) {
    for (auto& user : users_) {
        if (user->id == id) {
            return user.get();
        }
    }
    return nullptr;
}

const CUserInfo* CRegUserInfoMngr::Find(int id) const {
    for (const auto& user : users_) {
        if (user->id == id) {
            return user.get();
        }
    }
    return nullptr;
}

int CRegUserInfoMngr::ReadLines(const std::string& path, std::vector<std::string>& lines) const {
    return CFileOperate::ReadTextLines(path, lines);
}

int CRegUserInfoMngr::Load(const std::string& folder) {
    folder_ = folder;
    users_.clear();
    idList_.clear();
    std::fill(usedIds_.begin(), usedIds_.end(), 0);

    std::vector<std::string> lines;
    const int result = folder_.empty() ? -1 : ReadLines(UserListPath(), lines);
    if (result == 0) {
        for (const std::string& line : lines) {
            const int id = ParseDecimal(line);
            // IDs beyond the capacity would index past the used-ID flags.
            if (!ValidId(id) || std::find(idList_.begin(), idList_.end(), id) != idList_.end()) {
                continue;
            }
            idList_.push_back(id);
        }
    }

    std::vector<int> loaded;
    for (int id : idList_) {
        auto user = std::make_unique<CUserInfo>(dataCapacity_);
        if (LoadUser(id, *user) == 0 && ValidId(user->id) && !Find(user->id)) {
            users_.push_back(std::move(user));
            loaded.push_back(id);
        }
    }
    // Users that failed to load leave the in-memory list; User.dat stays.
    idList_ = std::move(loaded);
    for (const auto& user : users_) {
        usedIds_[static_cast<std::size_t>(user->id)] = 1;
    }
    return result == 0 ? 0 : -1;
}

int CRegUserInfoMngr::LoadUser(int id, CUserInfo& user) const {
    std::vector<std::string> lines;
    if (ReadLines(UserInfoPath(id), lines) != 0 || lines.size() < 3) {
        return -1;
    }
    user.id = ParseDecimal(lines[0]);
    user.name = lines[1];
    user.data.clear();
    user.RebuildSlots();
    for (const std::string& item : CFileOperate::SplitText(lines[2], ',')) {
        if (item.empty()) {
            continue;
        }
        const int dataNumber = ParseDecimal(item);
        // Numbers beyond the capacity, and repeated ones, would break the
        // used-slot array; they are left out.
        if (!user.ValidDataNumber(dataNumber) || user.SlotUsed(dataNumber)) {
            continue;
        }
        std::vector<std::string> info;
        if (ReadLines(DataInfoPath(id, dataNumber), info) != 0) {
            return -1;
        }
        RegDataInfo entry;
        entry.dataNumber = dataNumber;
        entry.width = info.size() > 2 ? ParseDecimal(info[2]) : 0;
        entry.height = info.size() > 3 ? ParseDecimal(info[3]) : 0;
        user.data.push_back(entry);
        user.usedSlots[static_cast<std::size_t>(dataNumber)] = 1;
    }
    return 0;
}

int CRegUserInfoMngr::WriteUserList() {
    if (folder_.empty()) {
        return -1;
    }
    if (writer_.InBatch()) {
        userListPending_ = true;
        return 0;
    }
    CFileOperate::EnsureDirectory(folder_ + "/RegistData");
    std::vector<std::string> lines;
    lines.reserve(idList_.size());
    for (int id : idList_) {
        lines.push_back(ThreeDigits(id));
    }
    return writer_.WriteLines(UserListPath(), lines);
}

int CRegUserInfoMngr::WriteUserInfo(const CUserInfo& user) {
    if (folder_.empty()) {
        return -1;
    }
    CFileOperate::EnsureDirectory(UserDirectory(user.id));
    std::string numbers;
    for (const RegDataInfo& entry : user.data) {
        if (!numbers.empty()) {
            numbers += ',';
        }
        numbers += std::to_string(entry.dataNumber);
    }
    return writer_.WriteLines(UserInfoPath(user.id), {std::to_string(user.id), user.name, numbers});
}

int CRegUserInfoMngr::WritePictureFiles(int id, const RegDataInfo& entry,
                                        const CImageData& picture) {
    if (folder_.empty()) {
        return -1;
    }
    CFileOperate::EnsureDirectory(UserDirectory(id));
    // A picture without pixels leaves no picture file, but the description
    // is written all the same: UserInfo.dat names the datum, and a datum
    // without description would make the whole user unreadable.
    if (picture.Size() > 0) {
        const std::vector<std::uint8_t> bytes = EncodePicture(picture);
        if (writer_.WriteBytes(PicturePath(folder_, id, entry.dataNumber), bytes.data(),
                               bytes.size()) != 0) {
            return -1;
        }
    }
    return writer_.WriteLines(DataInfoPath(id, entry.dataNumber),
                              {std::to_string(entry.dataNumber), entry.date,
                               std::to_string(entry.width), std::to_string(entry.height)});
}

int CRegUserInfoMngr::AddUser(int id, const std::string& name) {
    // A line break would split the one-line name of UserInfo.dat.
    if (!ValidId(id) || Find(id) || HasLineBreak(name)) {
        return -1;
    }
    auto user = std::make_unique<CUserInfo>(dataCapacity_);
    user->id = id;
    user->name = name;
    users_.push_back(std::move(user));
    const int result = WriteUserInfo(*users_.back());
    if (result != 0) {
        return result;
    }
    usedIds_[static_cast<std::size_t>(id)] = 1;
    if (std::find(idList_.begin(), idList_.end(), id) == idList_.end()) {
        idList_.push_back(id);
    }
    return WriteUserList();
}

int CRegUserInfoMngr::AddData(int id, int dataNumber, const CImageData& picture) {
    return AddDataWithDate(id, dataNumber, TodayDate(), picture);
}

int CRegUserInfoMngr::AddDataWithDate(int id, int dataNumber, const std::string& date,
                                      const CImageData& picture) {
    CUserInfo* user = Find(id);
    if (!user || user->DataCount() >= user->dataCapacity || !user->ValidDataNumber(dataNumber) ||
        user->SlotUsed(dataNumber)) {
        return -1;
    }
    RegDataInfo entry;
    entry.dataNumber = dataNumber;
    entry.date = date;
    entry.width = picture.Width();
    entry.height = picture.Height();
    user->data.push_back(entry);
    user->usedSlots[static_cast<std::size_t>(dataNumber)] = 1;
    // The picture and its description go first: a UserInfo.dat naming a
    // datum whose description is missing would make the whole user
    // unreadable after a crash.
    const int result = WritePictureFiles(id, entry, picture);
    if (result != 0) {
        return result;
    }
    return WriteUserInfo(*user);
}

int CRegUserInfoMngr::AddUserWithEntries(int id, const std::string& name,
                                         const std::vector<NewDataEntry>& entries) {
    CUserInfo* user = Find(id);
    bool created = false;
    if (!user) {
        if (!ValidId(id) || HasLineBreak(name)) {
            return -1;
        }
        auto fresh = std::make_unique<CUserInfo>(dataCapacity_);
        fresh->id = id;
        fresh->name = name;
        users_.push_back(std::move(fresh));
        user = users_.back().get();
        created = true;
    }
    int result = 0;
    for (const NewDataEntry& item : entries) {
        if (!item.picture || user->DataCount() >= user->dataCapacity ||
            !user->ValidDataNumber(item.dataNumber) || user->SlotUsed(item.dataNumber)) {
            continue;
        }
        RegDataInfo entry;
        entry.dataNumber = item.dataNumber;
        entry.date = item.date;
        entry.width = item.picture->Width();
        entry.height = item.picture->Height();
        if (WritePictureFiles(id, entry, *item.picture) != 0) {
            result = -1;
            continue;
        }
        user->data.push_back(entry);
        user->usedSlots[static_cast<std::size_t>(item.dataNumber)] = 1;
    }
    if (WriteUserInfo(*user) != 0) {
        return -1;
    }
    if (created) {
        usedIds_[static_cast<std::size_t>(id)] = 1;
        if (std::find(idList_.begin(), idList_.end(), id) == idList_.end()) {
            idList_.push_back(id);
        }
        if (WriteUserList() != 0) {
            return -1;
        }
    }
    return result;
}

int CRegUserInfoMngr::Rename(int id, const std::string& name) {
    CUserInfo* user = Find(id);
    if (!user || HasLineBreak(name)) {
        return -1;
    }
    user->name = name;
    return WriteUserInfo(*user);
}

int CRegUserInfoMngr::DeleteData(int id, int dataNumber) {
    CUserInfo* user = Find(id);
    if (!user) {
        return -1;
    }
    std::error_code ec;
    if (dataNumber != -1) {
        const auto it =
            std::find_if(user->data.begin(), user->data.end(),
                         [&](const RegDataInfo& e) { return e.dataNumber == dataNumber; });
        if (it != user->data.end()) {
            user->data.erase(it);
        }
        user->RebuildSlots();
        const int result = WriteUserInfo(*user);
        if (result != 0) {
            return result;
        }
        if (user->ValidDataNumber(dataNumber)) {
            fs::remove(PicturePath(folder_, id, dataNumber), ec);
            fs::remove(DataInfoPath(id, dataNumber), ec);
        }
        return 0;
    }
    user->data.clear();
    user->RebuildSlots();
    const int result = WriteUserInfo(*user);
    if (result != 0) {
        return result;
    }
    for (fs::directory_iterator it(UserDirectory(id), ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().filename() != "UserInfo.dat") {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
    return 0;
}

int CRegUserInfoMngr::DeleteUser(int id) {
    const auto it = std::find_if(users_.begin(), users_.end(),
                                 [&](const auto& user) { return user->id == id; });
    if (it == users_.end()) {
        return -1;
    }
    users_.erase(it);
    if (!folder_.empty()) {
        CFileOperate::DeleteDirectoryTree(UserDirectory(id));
    }
    if (ValidId(id)) {
        usedIds_[static_cast<std::size_t>(id)] = 0;
    }
    const auto listed = std::find(idList_.begin(), idList_.end(), id);
    if (listed != idList_.end()) {
        idList_.erase(listed);
        WriteUserList();
    }
    return 0;
}

int CRegUserInfoMngr::DeleteAllUsers() {
    std::vector<int> ids;
    for (const auto& user : users_) {
        ids.push_back(user->id);
    }
    users_.clear();
    std::fill(usedIds_.begin(), usedIds_.end(), 0);
    const bool rewrite = !idList_.empty();
    idList_.clear();
    if (rewrite) {
        WriteUserList();
    }
    if (!folder_.empty()) {
        for (int id : ids) {
            CFileOperate::DeleteDirectoryTree(UserDirectory(id));
        }
    }
    return 0;
}

std::vector<RegUserEntry> CRegUserInfoMngr::ListUsers() const {
    std::vector<RegUserEntry> list;
    list.reserve(users_.size());
    for (const auto& user : users_) {
        list.push_back({user->id, user->name, user->DataCount()});
    }
    return list;
}

int CRegUserInfoMngr::GetUser(int id, CUserInfo& out) const {
    const CUserInfo* user = Find(id);
    if (!user) {
        return -1;
    }
    out = *user;
    return 0;
}

int CRegUserInfoMngr::FreeDataSlot(int id) const {
    const CUserInfo* user = Find(id);
    if (!user) {
        return -2;
    }
    for (int slot = 0; slot < user->dataCapacity; ++slot) {
        if (!user->SlotUsed(slot)) {
            return slot;
        }
    }
    return -1;
}

int CRegUserInfoMngr::ReadPicture(const std::string& folder, int id, int dataNumber,
                                  CImageData& out) const {
    std::vector<std::uint8_t> bytes;
    // Far above the 4108 bytes of a face picture; nothing larger is one.
    constexpr std::size_t kMaxPictureFile = 1u << 20;
    if (CFileOperate::ReadFileBytes(PicturePath(folder, id, dataNumber), bytes, kMaxPictureFile) !=
        0) {
        return -1;
    }
    return DecodePicture(bytes.data(), bytes.size(), out);
}

int CRegUserInfoMngr::TotalDataCount() const {
    int total = 0;
    for (const auto& user : users_) {
        total += user->DataCount();
    }
    return total;
}

bool CRegUserInfoMngr::IsUsedId(int id) const {
    return ValidId(id) && usedIds_[static_cast<std::size_t>(id)] != 0;
}

void CRegUserInfoMngr::BeginBatch(bool direct) {
    userListPending_ = false;
    writer_.BeginBatch(direct);
}

void CRegUserInfoMngr::AdoptUsers(CRegUserInfoMngr& other) {
    users_ = std::move(other.users_);
    usedIds_ = std::move(other.usedIds_);
    idList_ = std::move(other.idList_);
    other.users_.clear();
    other.idList_.clear();
    other.usedIds_.assign(static_cast<std::size_t>(other.idCapacity_), 0);
}

int CRegUserInfoMngr::EndBatch() {
    const bool pending = userListPending_;
    userListPending_ = false;
    int result = writer_.EndBatch(folder_);
    // User.dat last: once it names the new users, their files are on disk.
    if (pending && WriteUserList() != 0) {
        result = -1;
    }
    return result;
}
