#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
// The album image of an import or rebuild, written before the new store is
// swapped in and renamed over ./DB/kylxx.kyb after it.
inline constexpr const char* kStagedAlbumFile = "./DB/.kylxx.import.kyb";

// The largest valid album file: the whole album area and 1000 users with 10
// face data each (16 + 816,032 + 1000 x 264 + 10,000 x 4144 bytes).
inline constexpr std::size_t kMaxAlbumFileSize = 16 + 816032 + 1000 * 264 + 10000 * 4144;

// Why the last import of an album file did not replace the store.
enum class ImportFailure {
    kNone,
    kNoFolder,       // no module connected: there is no store to replace
    kUnreadable,     // the file could not be read (missing, not a regular file, too large)
    kNotAlbumFile,   // its contents are not an album file
    kAlbumTooLarge,  // its album image exceeds the module's album area
    kWriteFailed,    // a file of the new store could not be written (disk full?)
    kStopped,        // stopped by the owner before it was complete
};
// One sentence for the user, e.g. "a file of the new store could not be written".
const char* ImportFailureText(ImportFailure failure);

// A user of a store built as a whole (album file import, rebuild from the
// module).
struct StoreUser {
    int id = -1;
    std::string name;
    std::vector<NewDataEntry> entries;  // pictures owned by the caller
};

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
    // Replaces the store, the registration counter and ./DB/kylxx.kyb from
    // an album file. The new store is built beside the live one and swapped
    // in as a whole once every file of it is written: any failure (see
    // LastImportFailure) leaves the old store, counter and album image as
    // they were and returns -1. An album image larger than the module's
    // album area is refused before anything is written.
    int ImportAlbumFile(const std::string& path, AlbumImage& image);
    // The two halves of ImportAlbumFile, for a caller that sends the album
    // to the module in between: PrepareImport builds the new store beside
    // the live one (nothing live changes) and hands out the file's album
    // image; FinishImport swaps it in; AbandonImport throws it away. Both
    // return 0 / -1 (LastImportFailure says why).
    int PrepareImport(const std::string& path, AlbumImage& image);
    int FinishImport();
    void AbandonImport();
    ImportFailure LastImportFailure() const { return importFailure_; }

    // Puts a store made of `users` in place of the current one, built beside
    // it and swapped in whole, with `registCount` as the counter and, when
    // given, `image` as ./DB/kylxx.kyb (without one, ./DB/kylxx.kyb is
    // removed). Users with IDs outside the store's range are passed over.
    // 0, or -1 with store, counter and album image unchanged.
    int ReplaceStore(const std::vector<StoreUser>& users, int registCount,
                     const std::optional<AlbumImage>& image);

    // Asked between the steps of a long local operation (import, rebuild);
    // true ends it as a failure that changes nothing. Set by the thread that
    // runs the operations, before it runs them.
    void SetStopCheck(std::function<bool()> stop) { stop_ = std::move(stop); }
    bool StopRequested() const { return stop_ && stop_(); }
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
    // A count phase over the whole bar (0..100), `total` items, e.g. the
    // IDs a rebuild asks the module about; AdvanceProgress counts one.
    void StartStepPhase(int total);
    void AdvanceProgress() { ++progressDone_; }
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
    int BuildStaged(const std::vector<StoreUser>& users, bool countProgress);
    int SwapInStaged(int registCount, const std::optional<AlbumImage>& image);
    std::string StagingFolder() const { return folder_ + "/.import"; }

    CRegUserInfoMngr store_;
    std::string folder_;
    std::vector<int> userOrder_;
    int albumType_ = 0;
    int registCount_ = 0;
    int lastCutNames_ = 0;
    ImportFailure importFailure_ = ImportFailure::kNone;
    // The import between PrepareImport and FinishImport.
    bool importPrepared_ = false;
    int importRegistCount_ = 0;
    AlbumImage importImage_;
    std::function<bool()> stop_;
    std::unique_ptr<CRegUserInfoMngr> staged_;  // the store being built beside the live one

    std::atomic<int> progressTotal_{0};
    std::atomic<int> progressDone_{0};
    std::atomic<int> phase_{0};
    std::atomic<int> startValue_{0};
    std::atomic<int> span_{50};
    std::atomic<int> expectedMs_{1};
    std::atomic<std::int64_t> phaseStartMs_{0};
    mutable std::atomic<double> lastPercent_{0.0};
};
