#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "album/AlbumImage.h"
#include "album/RegUserInfoMngr.h"
#include "album/UserName.h"

class CImageData;

// Album image files, relative to the working directory and shared by all
// modules.
inline constexpr const char* kDbFolder = "./DB";
inline constexpr const char* kDbBackFolder = "./DBBack";
inline constexpr const char* kLocalAlbumFile = "./DB/kylxx.kyb";
inline constexpr const char* kDeviceAlbumFile = "./DB/kydev.kyb";
inline constexpr const char* kDefaultAlbumFile = "./kyd00.kyb";

// The album object: owns the registered-user store and keeps the local album
// image files, album files (.kyl), their backup and the registration
// counter. Everything here is local; the operations that also talk to the
// module live in CAlbumSync.
class CAlbumMngr {
public:
    // Creates ./DB.
    explicit CAlbumMngr(int idCapacity = 1000, int dataCapacity = 10);
    virtual ~CAlbumMngr() = default;

    CRegUserInfoMngr& Store() { return store_; }
    const CRegUserInfoMngr& Store() const { return store_; }

    // Opens the store in a module's device folder and reads the registration
    // counter from its Device.ini; returns the store's load result.
    int OpenFolder(const std::string& folder);
    const std::string& Folder() const { return folder_; }

    // ---- Local album image -------------------------------------------------
    bool LocalAlbumExists() const;
    // ./DB/kylxx.kyb, or ./kyd00.kyb when that does not exist.
    int ReadLocalAlbum(AlbumImage& image) const;
    int CopyDeviceAlbum();
    // Removes every user and ./DB/kylxx.kyb.
    int DeleteAllLocal();
    // ./DB copied to ./DBBack and RegistCount to RegistCountBack; each file
    // is replaced atomically.
    void Backup();
    // The reverse, when ./DBBack exists; otherwise nothing.
    void Restore();

    // ---- Album files -------------------------------------------------------
    int ExportAlbumFile(const AlbumImage& image, const std::string& path);
    int ImportAlbumFile(const std::string& path, AlbumImage& image);
    // Names shortened by the last export (the field holds 128 code units).
    int LastCutNames() const { return lastCutNames_; }

    // IDs in the order an album file lists its users (the rows of the
    // user list); entries beyond the given rows become -1.
    void SetUserOrder(const std::vector<int>& rows);
    const std::vector<int>& UserOrder() const { return userOrder_; }

    // ---- Progress of an album file operation --------------------------------
    enum class Phase { kNone, kTime, kCount };
    void StartTimePhase(int startValue, int expectedMs);
    void StartCountPhase(int startValue);
    void EndPhase();
    // Percentage for the progress bar; safe to call from another thread.
    double AlbumProgress() const;

    // ---- Registration counter ----------------------------------------------
    int RegistCount() const { return registCount_; }
    void SetRegistCount(int count);  // also written to Device.ini
    void ReloadRegistCount();

    int AlbumType() const { return albumType_; }
    void SetAlbumType(int type) { albumType_ = type; }

    // ---- User operations offered to the windows -----------------------------
    // Lowest unused ID and its default name "USER_%04d"; -1 when all are used.
    int ProposeNewUser(std::string& name) const;
    // The new ID, or -1. The name must have passed PrepareUserName.
    int AddNewUser(const std::string& name, int id);
    int RenameUser(int id, const std::string& name);
    bool IsNameFree(const std::string& name, int id) const;
    bool IsRegistered(int id) const;
    int TotalDataCount() const { return store_.TotalDataCount(); }

private:
    CRegUserInfoMngr store_;
    std::string folder_;
    std::vector<int> userOrder_;
    int albumType_ = 0;
    int registCount_ = 0;
    int lastCutNames_ = 0;

    std::atomic<int> progressTotal_{0};
    std::atomic<int> progressDone_{0};
    std::atomic<int> phase_{0};
    std::atomic<int> startValue_{0};
    std::atomic<int> expectedMs_{1};
    std::atomic<std::int64_t> phaseStartMs_{0};
    mutable std::atomic<double> lastPercent_{0.0};
};
