#pragma once

// The Album tab's workflows as jobs of the device worker: the comparison
// with the module and its two resolutions, album files saved and loaded,
// the rebuild from the module, registration, deletions and the commit to
// flash. Each job runs the album operation (CAlbumSync) on the worker,
// publishes the user list afterwards and hands one AlbumJobResult to the
// caller's poster. Progress (0..100) is readable from any thread while a
// job runs; Cancel ends the exchange in flight, and the album's stepwise
// operations then leave store and module as they were.
//
// The album itself is guarded by one lock: every job holds it while it
// runs, and the local operations that need no module (add, rename, the row
// order, reading the store for a check or a picture strip) take it on the
// caller's thread. Those run while the Album tab's live image keeps the
// worker busy, so they cannot wait for a job slot; the window only starts
// module work from behind a modal dialog, so it never waits on the lock for
// long.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "album/AlbumSync.h"
#include "app/DeviceWorker.h"
#include "app/UserListSnapshot.h"

class CAlbumMngr;
class IAlbumDevice;

struct AlbumJobResult {
    int result = -1;                               // the operation's result code
    std::uint8_t status = kNoAnswerStatus;         // the module's status byte
    CheckOutcome outcome = CheckOutcome::kFailed;  // the two resolutions
    // DeleteUsers: how many of the users asked for were deleted.
    int deleted = 0;
    int asked = 0;
    // Register: the commit to flash that follows a registration (0 when it
    // did not run); a failed one has restored ./DBBack.
    int commitResult = 0;
    std::uint8_t commitStatus = 0;
    // Register and DeleteData: the user's pictures afterwards.
    std::optional<PictureList> pictures;
    // The user list after the job.
    std::shared_ptr<const UserListSnapshot> users;

    bool Ok() const { return result == 0 && status == 0; }
};

// The time a whole album area (816,032 bytes and its frame, either way)
// spends on the wire at this baud rate, 10 bits a byte, in milliseconds:
// what the progress of a save or load expects its transfer to take.
int AlbumWireTimeMs(int baud);

using AlbumDone = std::function<void(JobResult<AlbumJobResult>)>;
// The module the jobs talk to, made on the worker from the core's device
// manager (tests give a scripted one).
using AlbumDeviceFactory = std::function<std::unique_ptr<IAlbumDevice>(CAppCore&)>;

class CAlbumJobs {
public:
    CAlbumJobs(CDeviceWorker& worker, CAlbumMngr& album, AlbumDeviceFactory device = nullptr);
    CAlbumJobs(const CAlbumJobs&) = delete;
    CAlbumJobs& operator=(const CAlbumJobs&) = delete;

    // ---- Jobs on the device worker (each returns its JobId) ------------------
    // CheckAlbum: result 0 equal, 1 different, anything else a failure.
    JobId Compare(Poster poster, AlbumDone done);
    // The application's album overwrites the module's (Load Album, flash).
    JobId ResolveWithApplication(Poster poster, AlbumDone done);
    // The module's album is taken; first the application's album is saved
    // to exportFile (when not empty) with the users in the order of rows.
    JobId ResolveWithModule(std::string exportFile, std::vector<int> rows, Poster poster,
                            AlbumDone done);
    // Save Album, then the album file with the users in the order of rows.
    JobId SaveFile(std::string path, std::vector<int> rows, Poster poster, AlbumDone done);
    JobId LoadFile(std::string path, Poster poster, AlbumDone done);
    JobId Rebuild(Poster poster, AlbumDone done);
    // Commit (save the module's album locally, write it to flash); a
    // failure restores ./DBBack.
    JobId Commit(Poster poster, AlbumDone done);
    // Registration, then (when the module registered it) the commit.
    JobId Register(int id, Poster poster, AlbumDone done);
    JobId DeleteUsers(std::vector<int> ids, Poster poster, AlbumDone done);
    JobId DeleteAll(Poster poster, AlbumDone done);
    // dataNumber -1: every picture of the user (the user stays).
    JobId DeleteData(int id, int dataNumber, Poster poster, AlbumDone done);

    // Percentage of the running album file operation or rebuild.
    double Progress() const;
    // Ends the job (a queued one never runs); the exchange in flight stops.
    bool Cancel(JobId id) { return worker_.Cancel(id); }

    // ---- Local operations, on the caller's thread under the album lock -------
    // The new ID (AddNewUser's result) or -1.
    int AddUser(const std::string& name, int id);
    int RenameUser(int id, const std::string& name);
    // The row order of the list (moves, sorts): album files list users so.
    void SetRowOrder(const std::vector<int>& rows);
    // -1 when the user is unknown.
    int BuildPictureList(int id, PictureList& list);
    // Reads the album under the lock: f(const CAlbumMngr&).
    template <class F>
    auto WithAlbum(F f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(static_cast<const CAlbumMngr&>(album_));
    }
    // Publishes the user list again (after someone else changed the album,
    // e.g. the check at connection).
    void RefreshUsers();

    std::shared_ptr<const UserListSnapshot> Users() const { return users_.Get(); }

private:
    // Runs body(sync, result) on the worker under the album lock, with the
    // album's stop check tied to the job.
    JobId Run(std::string name, std::function<void(CAlbumSync&, AlbumJobResult&)> body,
              Poster poster, AlbumDone done);

    CDeviceWorker& worker_;
    CAlbumMngr& album_;
    AlbumDeviceFactory device_;
    std::mutex mutex_;
    CUserListPublisher users_;
};
