#include "cli/AlbumCommand.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <thread>

#include "album/AlbumSync.h"
#include "album/DeviceAlbum.h"
#include "album/UserName.h"
#include "app/AppCore.h"
#include "cli/CliCommon.h"
#include "protocol/ResultCodes.h"

namespace {

// What every album command works with once connected. The core, the album
// and the sync belong to the worker from the connection on; the command's
// body runs there as one job, so that a stop signal cancels its exchange.
struct AlbumSession {
    CAppCore core;
    std::optional<CAlbumMngr> album;
    std::optional<CDeviceAlbum> device;
    std::optional<CAlbumSync> sync;
    std::optional<CCliWorker> worker;  // last: quits before the rest goes
    // What a stop signal during the body leaves behind, told on standard
    // error; a body sets it before an operation that changes something.
    std::string interruptedState = "nothing was changed";
};

// Enters the data folder, connects, opens the module's store.
int OpenSession(const GlobalOptions& global, AlbumSession& session) {
    if (int status = EnterDataFolder(global); status != kExitOk) {
        return status;
    }
    session.core.LoadSettings();
    if (int status = AttachTrace(global, session.core); status != kExitOk) {
        return status;
    }
    session.album.emplace();
    session.core.SetDeviceFolderHook([&session](const std::string& folder) {
        session.album->OpenFolder(folder);
        return 0;
    });
    std::string port;
    int baud = 0;
    if (int status = ResolvePort(global, session.core, port, baud); status != kExitOk) {
        return status;
    }
    session.worker.emplace(session.core);
    session.worker->Start();
    if (int status = ConnectForCommand(*session.worker, port, baud); status != kExitOk) {
        return status;
    }
    session.device.emplace(session.core.Device());
    session.sync.emplace(*session.device, *session.album);
    return kExitOk;
}

std::string Hex2(std::uint8_t status) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02X", status);
    return buffer;
}

// Reports a module command that did not succeed; true when it did.
bool Succeeded(const char* what, int result, std::uint8_t status) {
    if (result == 0 && status == 0) {
        return true;
    }
    std::cerr << "kyto: " << what << " failed (result " << result << ", error code " << Hex2(status)
              << ")\n";
    return false;
}

// What an interrupted change of the module's Album may have left.
constexpr const char* kCutShortChange =
    "the command was cut short: the module may have carried it out without the local store "
    "(`kyto album check` compares them)";

// Answers for the commit after a registration and for `flash`.
class CliQuestions : public IAlbumQuestions {
public:
    bool PreferApplicationAlbum() override { return true; }
    std::string AlbumFileToSave() override { return ""; }
    bool RetryCheck(std::uint8_t) override { return false; }
    bool ConfirmCommit() override { return true; }
    void CommitFailed(std::uint8_t status) override {
        std::cerr << "kyto: Cannot save the Album. (error code " << Hex2(status)
                  << "); the last saved album was restored\n";
    }
};

// A progress bar on standard error while an album file operation runs, when
// standard error is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(const CAlbumMngr& album) : album_(album) {
        if (isatty(STDERR_FILENO)) {
            thread_ = std::thread([this] { Run(); });
        }
    }
    ~ProgressBar() {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                done_ = true;
            }
            wake_.notify_all();
            thread_.join();
            Draw();
            std::cerr << "\n";
        }
    }

private:
    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            Draw();
            wake_.wait_for(lock, std::chrono::milliseconds(100));
        }
    }
    void Draw() {
        const int percent = static_cast<int>(album_.AlbumProgress());
        const int filled = percent * 40 / 100;
        std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
                  << std::string(static_cast<std::size_t>(40 - filled), ' ') << "] " << percent
                  << "%" << std::flush;
    }

    const CAlbumMngr& album_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
};

// Checks a name typed on the command line; false (usage error) when refused.
bool PrepareName(std::string& name, const CAlbumMngr& album, int id) {
    const NameCheck check = PrepareUserName(name);
    if (check == NameCheck::kLineBreak) {
        std::cerr << "kyto: " << NameCheckMessage(check) << "\n";
        return false;
    }
    if (check == NameCheck::kCut) {
        std::cerr << "kyto: " << NameCheckMessage(check) << "\n";
    }
    if (!album.IsNameFree(name, id)) {
        std::cerr << "kyto: the name \"" << name << "\" is already used by another user\n";
        return false;
    }
    return true;
}

const char* RegistrationFailure(std::uint8_t status) {
    switch (status) {
        case 1:
            return "Registration failed: Face not found.";
        case 2:
            return "Registration failed: Multiple faces in image.";
        default:
            return "Registration unsuccessful.";
    }
}

// Registers a leaf command that runs `body` inside a connected session, as
// a job of the device worker. `check` (optional) validates the arguments
// before anything is connected.
void AddLeaf(CliRegistry& registry, CLI::App* leaf, std::function<int(AlbumSession&)> body,
             std::function<int()> check = nullptr) {
    GlobalOptions& global = registry.Global();
    const std::string name = "album " + leaf->get_name();
    registry.Add(leaf, [&global, body, check, name]() -> int {
        if (check) {
            if (int status = check(); status != kExitOk) {
                return status;
            }
        }
        AlbumSession session;
        if (int status = OpenSession(global, session); status != kExitOk) {
            return status;
        }
        const JobResult<int> run =
            RunJob(*session.worker, name, [&session, &body](CJobContext& job) {
                // Long local steps (building a store) ask between their items.
                session.album->SetStopCheck([&job] { return job.StopRequested(); });
                const int status = body(session);
                session.album->SetStopCheck(nullptr);
                return status;
            });
        RunJob(
            *session.worker, "Disconnect", [](CJobContext& job) { job.Core().Disconnect(); },
            StopMode::kFinish);
        // A body that finished its work before the signal came has done
        // what was asked; anything else was cut short.
        if (StopSignal() != 0 && (!run.Ran() || run.value != kExitOk)) {
            return InterruptedExit(session.interruptedState +
                                   "; the module was sent back to 9600 baud and the port closed");
        }
        return run.value;
    });
}

}  // namespace

void AddAlbumCommand(CliRegistry& registry) {
    CLI::App* album = registry.App().add_subcommand(
        "album", "registered users and the module's Album (names, face data, album files)");
    album->require_subcommand(1);

    AddLeaf(registry, album->add_subcommand("list", "print ID, name and data count per user"),
            [](AlbumSession& s) {
                for (const RegUserEntry& user : s.album->Store().ListUsers()) {
                    std::cout << user.id << "\t" << user.name << "\t" << user.dataCount << "\n";
                }
                return int{kExitOk};
            });

    auto addId = std::make_shared<std::optional<int>>();
    auto addName = std::make_shared<std::string>();
    CLI::App* add = album->add_subcommand("add", "add a user (default: lowest free ID, USER_nnnn)");
    add->add_option_function<int>(
        "--id", [addId](const int& v) { *addId = v; }, "user ID 0..999");
    add->add_option("name", *addName, "the user's name");
    AddLeaf(registry, add, [addId, addName](AlbumSession& s) {
        std::string name;
        const int proposed = s.album->ProposeNewUser(name);
        const int id = addId->value_or(proposed);
        if (!addName->empty()) {
            name = *addName;
        } else if (id != proposed) {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "USER_%04d", id);
            name = buffer;  // the default name of the chosen ID
        }
        if (id < 0 || id >= s.album->Store().IdCapacity() || s.album->IsRegistered(id)) {
            std::cerr << "kyto: user ID " << id << " is not free (0..999, unused)\n";
            return int{kExitUsage};
        }
        if (!PrepareName(name, *s.album, -1)) {
            return int{kExitUsage};
        }
        if (s.album->AddNewUser(name, id) < 0) {
            std::cerr << "kyto: the user could not be stored\n";
            return int{kExitFailed};
        }
        std::cout << id << "\t" << name << "\n";
        return int{kExitOk};
    });

    auto renameId = std::make_shared<int>(-1);
    auto renameName = std::make_shared<std::string>();
    CLI::App* rename = album->add_subcommand("rename", "change a user's name");
    rename->add_option("id", *renameId, "user ID")->required();
    rename->add_option("name", *renameName, "new name")->required();
    AddLeaf(registry, rename, [renameId, renameName](AlbumSession& s) {
        if (!s.album->IsRegistered(*renameId)) {
            std::cerr << "kyto: no user " << *renameId << "\n";
            return int{kExitUsage};
        }
        std::string name = *renameName;
        if (!PrepareName(name, *s.album, *renameId)) {
            return int{kExitUsage};
        }
        if (s.album->RenameUser(*renameId, name) != 0) {
            std::cerr << "kyto: the name could not be stored\n";
            return int{kExitFailed};
        }
        return int{kExitOk};
    });

    auto registerId = std::make_shared<int>(-1);
    CLI::App* reg = album->add_subcommand(
        "register", "register the face in front of the camera for a user, then write to flash");
    reg->add_option("id", *registerId, "user ID")->required();
    AddLeaf(registry, reg, [registerId](AlbumSession& s) {
        const int id = *registerId;
        if (!s.album->IsRegistered(id)) {
            std::cerr << "kyto: no user " << id << " (add it first)\n";
            return int{kExitUsage};
        }
        if (s.album->Store().FreeDataSlot(id) < 0) {
            std::cerr << "kyto: user " << id << " already has 10 face data\n";
            return int{kExitFailed};
        }
        s.interruptedState =
            "the registration was cut short: the module may hold the face datum without the "
            "local store (`kyto album check` compares them)";
        std::uint8_t status = kNoAnswerStatus;
        const int result = s.sync->RegisterData(id, status);
        if (IsCancelled(result)) {
            return int{kExitFailed};  // stopped: the caller tells what was left
        }
        if (result == kResultRegisteredNotStored) {
            std::cerr << "kyto: the module registered the face for user " << id
                      << ", but its picture could not be stored in the data folder (is the disk "
                         "full?): the module now holds a face datum the local store lacks. Run "
                         "`kyto album check`, or delete the user's data and register again.\n";
            return int{kExitFailed};
        }
        if (result != 0) {
            std::cerr << "kyto: Device is not responding. Please verify connection. (result "
                      << result << ")\n";
            return int{kExitFailed};
        }
        if (status != 0) {
            std::cerr << "kyto: " << RegistrationFailure(status) << "\n";
            return int{kExitFailed};
        }
        CliQuestions questions;
        std::uint8_t commit = kNoAnswerStatus;
        s.sync->CommitOrRestore(questions, commit);
        std::cout << "Registration successful.\n";
        return int{kExitOk};
    });

    auto deleteId = std::make_shared<int>(-1);
    CLI::App* del = album->add_subcommand("delete", "delete a user in the module and locally");
    del->add_option("id", *deleteId, "user ID")->required();
    AddLeaf(registry, del, [deleteId](AlbumSession& s) {
        s.interruptedState = kCutShortChange;
        std::uint8_t status = kNoAnswerStatus;
        const int result = s.sync->DeleteUserEverywhere(*deleteId, status);
        if (result == -1 && !s.album->IsRegistered(*deleteId)) {
            std::cerr << "kyto: no user " << *deleteId << "\n";
            return int{kExitUsage};
        }
        return Succeeded("Delete User", result, status) ? int{kExitOk} : int{kExitFailed};
    });

    auto dataId = std::make_shared<int>(-1);
    auto dataNumber = std::make_shared<int>(-1);
    CLI::App* delData =
        album->add_subcommand("delete-data", "delete one face datum (N, or -1 for all)");
    delData->add_option("id", *dataId, "user ID")->required();
    delData->add_option("n", *dataNumber, "data number 0..9, -1 for all")->required();
    AddLeaf(
        registry, delData,
        [dataId, dataNumber](AlbumSession& s) {
            if (!s.album->IsRegistered(*dataId)) {
                std::cerr << "kyto: no user " << *dataId << "\n";
                return int{kExitUsage};
            }
            s.interruptedState = kCutShortChange;
            std::uint8_t status = kNoAnswerStatus;
            const int result = s.sync->DeleteDataEverywhere(*dataId, *dataNumber, status);
            return Succeeded("Delete Data", result, status) ? int{kExitOk} : int{kExitFailed};
        },
        [dataNumber]() {
            if (*dataNumber < -1 || *dataNumber > 9) {
                std::cerr << "kyto: the data number must be 0..9 or -1\n";
                return int{kExitUsage};
            }
            return int{kExitOk};
        });

    AddLeaf(registry,
            album->add_subcommand("delete-all",
                                  "erase all registration data in the module and locally"),
            [](AlbumSession& s) {
                s.interruptedState = kCutShortChange;
                std::uint8_t status = kNoAnswerStatus;
                const int result = s.sync->DeleteAllData(status);
                return Succeeded("Delete all data", result, status) ? int{kExitOk}
                                                                    : int{kExitFailed};
            });

    auto saveFile = std::make_shared<std::string>();
    CLI::App* save = album->add_subcommand("save", "save the module's Album and the users to FILE");
    save->add_option("file", *saveFile, "album file (.kyl)")->required();
    AddLeaf(registry, save, [saveFile](AlbumSession& s) {
        std::vector<int> rows;
        for (const RegUserEntry& user : s.album->Store().ListUsers()) {
            rows.push_back(user.id);
        }
        s.album->SetUserOrder(rows);
        s.interruptedState = "no album file was written";
        std::uint8_t status = kNoAnswerStatus;
        int result = 0;
        {
            ProgressBar bar(*s.album);
            result = s.sync->SaveAlbumFile(*saveFile, status);
        }
        if (IsCancelled(result)) {
            return int{kExitFailed};  // stopped: the caller tells what was left
        }
        if (result != 0 || status != 0) {
            std::cerr << "kyto: Cannot save " << *saveFile << ". (error code " << Hex2(status)
                      << ", result " << result << ")\n";
            return int{kExitFailed};
        }
        if (s.album->LastCutNames() > 0) {
            std::cerr << "kyto: " << s.album->LastCutNames()
                      << " name(s) longer than 128 characters were shortened in the file\n";
        }
        std::cout << "Album saved.\n";
        return int{kExitOk};
    });

    auto loadFile = std::make_shared<std::string>();
    CLI::App* load =
        album->add_subcommand("load", "replace the users and the module's Album from FILE");
    load->add_option("file", *loadFile, "album file (.kyl)")->required();
    AddLeaf(registry, load, [loadFile](AlbumSession& s) {
        s.interruptedState =
            "the load was stopped before the module took the album: the users and the module's "
            "album are as they were";
        std::uint8_t status = kNoAnswerStatus;
        int result = 0;
        {
            ProgressBar bar(*s.album);
            result = s.sync->LoadAlbumFile(*loadFile, status);
        }
        if (IsCancelled(result)) {
            return int{kExitFailed};  // stopped: the caller tells what was left
        }
        if (result != 0 || status != 0) {
            std::cerr << "kyto: Cannot open " << *loadFile << ". (error code " << Hex2(status)
                      << ", result " << result << ")\n";
            const ImportFailure why = s.album->LastImportFailure();
            if (result == kResultLoadedNotStored) {
                std::cerr << "kyto: the module took the file's album, but the users could not "
                             "be replaced: "
                          << ImportFailureText(why)
                          << "; the old users stay and differ from the module's album\n";
            } else if (why != ImportFailure::kNone) {
                std::cerr << "kyto: nothing was changed: " << ImportFailureText(why) << "\n";
            } else if (result != 0 || status != 0) {
                std::cerr << "kyto: the users were replaced from the file, but the module did "
                             "not take its album; `kyto album check` compares them\n";
            }
            return int{kExitFailed};
        }
        std::cout << "Album loaded.\n";
        return int{kExitOk};
    });

    AddLeaf(registry,
            album->add_subcommand("flash", "write the module's Album to its flash memory"),
            [](AlbumSession& s) {
                s.interruptedState =
                    "writing the Album to flash was cut short: the module's flash memory may hold "
                    "the previous Album";
                CliQuestions questions;
                std::uint8_t status = kNoAnswerStatus;
                const int result = s.sync->CommitOrRestore(questions, status);
                return result == 0 && status == 0 ? int{kExitOk} : int{kExitFailed};
            });

    AddLeaf(registry,
            album->add_subcommand("check", "compare the module's Album with the local copy"),
            [](AlbumSession& s) {
                std::uint8_t status = kNoAnswerStatus;
                const int result = s.sync->CheckAlbum(status);
                if ((result == 0 || result == 1) && status == 0) {
                    std::cout << (result == 0 ? "equal" : "different") << "\n";
                    return int{kExitOk};
                }
                std::cerr << "kyto: Cannot load the Album. (error code " << Hex2(status)
                          << ", result " << result << ")\n";
                return int{kExitFailed};
            });

    auto typeArgs = std::make_shared<std::vector<std::string>>();
    CLI::App* type = album->add_subcommand("type", "get or set the album type (0, 1, 2)");
    type->add_option("args", *typeArgs, "get | set 0|1|2");
    AddLeaf(
        registry, type,
        [typeArgs](AlbumSession& s) {
            const std::vector<std::string>& args = *typeArgs;
            std::uint8_t status = kNoAnswerStatus;
            if (args.empty() || (args.size() == 1 && args[0] == "get")) {
                int value = 0;
                const int result = s.sync->GetAlbumType(value, status);
                if (!Succeeded("GetAlbumType", result, status)) {
                    return int{kExitFailed};
                }
                std::cout << value << "\n";
                return int{kExitOk};
            }
            if (args.size() == 2 && args[0] == "set" &&
                (args[1] == "0" || args[1] == "1" || args[1] == "2")) {
                const int result = s.sync->SetAlbumType(args[1][0] - '0', status);
                return Succeeded("SetAlbumType", result, status) ? int{kExitOk} : int{kExitFailed};
            }
            return int{kExitUsage};
        },
        [typeArgs]() {
            const std::vector<std::string>& args = *typeArgs;
            const bool get = args.empty() || (args.size() == 1 && args[0] == "get");
            const bool set = args.size() == 2 && args[0] == "set" &&
                             (args[1] == "0" || args[1] == "1" || args[1] == "2");
            if (!get && !set) {
                std::cerr << "kyto: use 'album type get' or 'album type set 0|1|2'\n";
                return int{kExitUsage};
            }
            return int{kExitOk};
        });
}
