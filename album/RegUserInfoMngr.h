#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "album/StoreWriter.h"
#include "album/UserInfo.h"

class CImageData;

// One face datum handed to AddUserWithEntries (album file import).
struct NewDataEntry {
    int dataNumber = -1;
    std::string date;
    const CImageData* picture = nullptr;
};

// The registered-user store of one module: names, dates and face pictures of
// the users in the module's Album, kept under <folder>/RegistData. It never
// talks to the module; callers change it only after the module confirmed.
// Results are 0 on success and -1 on failure unless stated otherwise.
class CRegUserInfoMngr {
public:
    CRegUserInfoMngr(int idCapacity = 1000, int dataCapacity = 10);
    virtual ~CRegUserInfoMngr() = default;
    CRegUserInfoMngr(const CRegUserInfoMngr&) = delete;
    CRegUserInfoMngr& operator=(const CRegUserInfoMngr&) = delete;

    // Opens the store in a device folder; -1 when User.dat could not be read
    // (the store is then empty).
    int Load(const std::string& folder);

    int AddUser(int id, const std::string& name);
    int AddData(int id, int dataNumber, const CImageData& picture);
    int AddDataWithDate(int id, int dataNumber, const std::string& date, const CImageData& picture);
    // Adds a user with all its entries, writing each of its files once
    // (album file import). Entries that AddDataWithDate would refuse are
    // skipped; when the user exists already the entries are added to it.
    int AddUserWithEntries(int id, const std::string& name,
                           const std::vector<NewDataEntry>& entries);
    int Rename(int id, const std::string& name);
    int DeleteData(int id, int dataNumber);
    int DeleteUser(int id);
    // Removes every user: User.dat is emptied first, then the directories
    // are deleted, so an interruption leaves a store that loads.
    int DeleteAllUsers();

    std::vector<RegUserEntry> ListUsers() const;
    int GetUser(int id, CUserInfo& out) const;
    // Lowest free data number of the user; -1 when all are used, -2 when the
    // ID is unknown.
    int FreeDataSlot(int id) const;
    int ReadPicture(const std::string& folder, int id, int dataNumber, CImageData& out) const;

    int TotalDataCount() const;
    bool IsUsedId(int id) const;
    bool Empty() const { return users_.empty(); }
    int IdCapacity() const { return idCapacity_; }
    int DataCapacity() const { return dataCapacity_; }
    const std::string& Folder() const { return folder_; }
    const std::vector<int>& IdList() const { return idList_; }

    // Batch mode for bulk writes (see CStoreWriter); EndBatch also writes
    // User.dat when a rewrite was put off during the batch.
    void BeginBatch(bool direct = false);
    int EndBatch();

    // Takes over the users of another store (same capacities) whose tree has
    // been moved into this store's folder; this store's folder stays.
    void AdoptUsers(CRegUserInfoMngr& other);

    // Paths of the store's files.
    std::string UserListPath() const;
    std::string UserDirectory(int id) const;
    std::string UserInfoPath(int id) const;
    static std::string PicturePath(const std::string& folder, int id, int dataNumber);
    std::string DataInfoPath(int id, int dataNumber) const;

protected:
    // Reads one of the store's text files (User.dat, UserInfo.dat, a data
    // description) when loading; the fuzz target serves them from memory.
    virtual int ReadLines(const std::string& path, std::vector<std::string>& lines) const;

private:
    CUserInfo* Find(int id);
    const CUserInfo* Find(int id) const;
    bool ValidId(int id) const { return id >= 0 && id < idCapacity_; }
    int LoadUser(int id, CUserInfo& user) const;
    int WriteUserList();
    int WriteUserInfo(const CUserInfo& user);
    int WritePictureFiles(int id, const RegDataInfo& entry, const CImageData& picture);

    int idCapacity_;
    int dataCapacity_;
    std::string folder_;
    std::vector<std::unique_ptr<CUserInfo>> users_;
    std::vector<std::uint8_t> usedIds_;
    std::vector<int> idList_;
    CStoreWriter writer_;
    bool userListPending_ = false;
};
