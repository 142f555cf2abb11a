// The Album tab's workflows as device worker jobs (see AlbumJobs.h).

#include "app/AlbumJobs.h"

#include <utility>

#include "album/AlbumMngr.h"
#include "album/DeviceAlbum.h"
#include "app/AppCore.h"

namespace {

// Reading the store's pictures needs no module; anything else fails as
// without a link.
class NoModule : public IAlbumDevice {
public:
    int GetVersion(std::uint8_t&) override { return -1; }
    int SaveAlbum(AlbumImage&, std::uint8_t&) override { return -1; }
    int LoadAlbum(const AlbumImage&, std::uint8_t&) override { return -1; }
    int WriteAlbumToFlash(std::uint8_t&) override { return -1; }
    int ReformatAlbum(std::uint8_t&) override { return -1; }
    int GetRegisteredData(int, std::uint16_t&, std::uint8_t&) override { return -1; }
    int Register(int, int, int, CImageData&, std::uint8_t&) override { return -1; }
    int DeleteData(int, int, int, std::uint8_t&) override { return -1; }
    int DeleteUser(int, int, std::uint8_t&) override { return -1; }
    int DeleteAll(int, std::uint8_t&) override { return -1; }
    int GetAlbumType(int&, std::uint8_t&) override { return -1; }
    int SetAlbumType(int, std::uint8_t&) override { return -1; }
    int SaveAlbumMs() override { return 1; }
    int LoadAlbumMs() override { return 1; }
};

// The module on the device manager, with the transfers expected to take
// their wire time. The time-out table's entries are limits (a fifth more
// than the wire time, plus five seconds); a bar that ran on them reached
// only a third of its transfer half when a full album had arrived, and
// moved a step only every third of a second at 921600 baud.
class CWireTimedAlbum : public CDeviceAlbum {
public:
    CWireTimedAlbum(CDeviceMngr& device, int baud) : CDeviceAlbum(device), baud_(baud) {}
    int SaveAlbumMs() override { return AlbumWireTimeMs(baud_); }
    int LoadAlbumMs() override { return AlbumWireTimeMs(baud_); }

private:
    int baud_;
};

}  // namespace

int AlbumWireTimeMs(int baud) {
    // The Save Album answer: 6 header bytes, the 8-byte album header and
    // the whole area; Load Album sends about as much.
    constexpr long long kBytes = 6 + 8 + 816032;
    if (baud <= 0) {
        return 1;
    }
    return static_cast<int>((kBytes * 10 * 1000 + baud - 1) / baud);
}

CAlbumJobs::CAlbumJobs(CDeviceWorker& worker, CAlbumMngr& album, AlbumDeviceFactory device)
    : worker_(worker), album_(album), device_(std::move(device)) {
    if (!device_) {
        device_ = [](CAppCore& core) -> std::unique_ptr<IAlbumDevice> {
            return std::make_unique<CWireTimedAlbum>(core.Device(), core.baudRate);
        };
    }
    users_.Refresh(album_);
}

JobId CAlbumJobs::Run(std::string name, std::function<void(CAlbumSync&, AlbumJobResult&)> body,
                      Poster poster, AlbumDone done) {
    return worker_.Post(
        std::move(name),
        [this, body = std::move(body)](CJobContext& job) {
            std::lock_guard<std::mutex> lock(mutex_);
            AlbumJobResult out;
            const std::unique_ptr<IAlbumDevice> device = device_(job.Core());
            CAlbumSync sync(*device, album_);
            // Long local steps (building a store, a rebuild) end early on a
            // stop or cancel and change nothing then.
            album_.SetStopCheck([&job] { return job.StopRequested(); });
            body(sync, out);
            album_.SetStopCheck(nullptr);
            users_.Refresh(album_);
            out.users = users_.Get();
            return out;
        },
        std::move(poster),
        [this, done = std::move(done)](JobResult<AlbumJobResult> r) {
            // A job that never ran still reports the list as it is.
            if (!r.value.users) {
                r.value.users = users_.Get();
            }
            done(std::move(r));
        });
}

JobId CAlbumJobs::Compare(Poster poster, AlbumDone done) {
    return Run(
        "Album compare",
        [](CAlbumSync& sync, AlbumJobResult& out) { out.result = sync.CheckAlbum(out.status); },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::ResolveWithApplication(Poster poster, AlbumDone done) {
    return Run(
        "Album to the module",
        [](CAlbumSync& sync, AlbumJobResult& out) {
            out.outcome = sync.ResolveWithApplication(out.status);
            out.result = CheckSucceeded(out.outcome) ? 0 : -1;
        },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::ResolveWithModule(std::string exportFile, std::vector<int> rows, Poster poster,
                                    AlbumDone done) {
    return Run(
        "Album from the module",
        [this, exportFile = std::move(exportFile), rows = std::move(rows)](CAlbumSync& sync,
                                                                           AlbumJobResult& out) {
            album_.SetUserOrder(rows);
            out.outcome = sync.ResolveWithModule(exportFile, out.status);
            out.result = CheckSucceeded(out.outcome) ? 0 : -1;
        },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::SaveFile(std::string path, std::vector<int> rows, Poster poster, AlbumDone done) {
    return Run(
        "Album file save",
        [this, path = std::move(path), rows = std::move(rows)](CAlbumSync& sync,
                                                               AlbumJobResult& out) {
            album_.SetUserOrder(rows);
            out.result = sync.SaveAlbumFile(path, out.status);
        },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::LoadFile(std::string path, Poster poster, AlbumDone done) {
    return Run(
        "Album file load",
        [this, path = std::move(path)](CAlbumSync& sync, AlbumJobResult& out) {
            out.result = sync.LoadAlbumFile(path, out.status);
            // The rows follow the file's order from now on.
            album_.SetUserOrder({});
        },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::Rebuild(Poster poster, AlbumDone done) {
    return Run(
        "Album rebuild",
        [](CAlbumSync& sync, AlbumJobResult& out) {
            out.result = sync.RebuildFromDevice(out.status);
        },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::Commit(Poster poster, AlbumDone done) {
    return Run(
        "Album commit",
        [this](CAlbumSync& sync, AlbumJobResult& out) {
            out.result = sync.Commit(out.status);
            if (!out.Ok()) {
                album_.Restore();
            }
        },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::Register(int id, Poster poster, AlbumDone done) {
    return Run(
        "Registration",
        [this, id](CAlbumSync& sync, AlbumJobResult& out) {
            out.result = sync.RegisterData(id, out.status);
            if (!out.Ok()) {
                return;
            }
            PictureList list;
            if (sync.BuildPictureList(id, list) == 0) {
                out.pictures = std::move(list);
            }
            // The registration is kept on the module only once its album is
            // in flash; a failed commit puts the last good local copy back.
            out.commitStatus = kNoAnswerStatus;
            out.commitResult = sync.Commit(out.commitStatus);
            if (out.commitResult != 0 || out.commitStatus != 0) {
                album_.Restore();
            }
        },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::DeleteUsers(std::vector<int> ids, Poster poster, AlbumDone done) {
    return Run(
        "Delete users",
        [ids = std::move(ids)](CAlbumSync& sync, AlbumJobResult& out) {
            out.asked = static_cast<int>(ids.size());
            out.result = 0;
            out.status = 0;
            for (int id : ids) {
                std::uint8_t status = kNoAnswerStatus;
                const int result = sync.DeleteUserEverywhere(id, status);
                if (result == 0 && status == 0) {
                    ++out.deleted;
                } else if (out.Ok()) {
                    out.result = result;  // the first failure
                    out.status = status;
                }
            }
        },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::DeleteAll(Poster poster, AlbumDone done) {
    return Run(
        "Delete all users",
        [](CAlbumSync& sync, AlbumJobResult& out) {
            out.result = sync.DeleteAllEverywhere(out.status);
        },
        std::move(poster), std::move(done));
}

JobId CAlbumJobs::DeleteData(int id, int dataNumber, Poster poster, AlbumDone done) {
    return Run(
        "Delete pictures",
        [id, dataNumber](CAlbumSync& sync, AlbumJobResult& out) {
            out.result = sync.DeleteDataEverywhere(id, dataNumber, out.status);
            PictureList list;
            if (sync.BuildPictureList(id, list) == 0) {
                out.pictures = std::move(list);
            }
        },
        std::move(poster), std::move(done));
}

double CAlbumJobs::Progress() const {
    return album_.AlbumProgress();
}

int CAlbumJobs::AddUser(const std::string& name, int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int result = album_.AddNewUser(name, id);
    users_.Refresh(album_);
    return result;
}

int CAlbumJobs::RenameUser(int id, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int result = album_.RenameUser(id, name);
    users_.Refresh(album_);
    return result;
}

void CAlbumJobs::SetRowOrder(const std::vector<int>& rows) {
    std::lock_guard<std::mutex> lock(mutex_);
    album_.SetUserOrder(rows);
    users_.Refresh(album_);
}

int CAlbumJobs::BuildPictureList(int id, PictureList& list) {
    std::lock_guard<std::mutex> lock(mutex_);
    NoModule none;
    return CAlbumSync(none, album_).BuildPictureList(id, list);
}

void CAlbumJobs::RefreshUsers() {
    std::lock_guard<std::mutex> lock(mutex_);
    users_.Refresh(album_);
}
