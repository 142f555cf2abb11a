#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "album/AlbumDevice.h"
#include "album/AlbumMngr.h"
#include "album/AlbumQuestions.h"
#include "base/ImageData.h"

// Status byte of an operation before any module answered.
inline constexpr std::uint8_t kNoAnswerStatus = 0x20;

// RegisterData: the module registered the face (status 0), but the store
// could not keep its picture or description. The module now holds a datum
// the store lacks; the next consistency check finds the difference.
inline constexpr int kResultRegisteredNotStored = -60;
// LoadAlbumFile: the module took the file's album, but the new store could
// not be swapped in; the old store stays and differs from the module.
inline constexpr int kResultLoadedNotStored = -61;

// Face pictures of one user for the Album page, in entry order, converted to
// 24-bit colour; data number -1 marks an unused place.
struct PictureList {
    struct Item {
        int dataNumber = -1;
        CImageData picture;
    };
    std::array<Item, 10> items;
    int Count() const;
};

// What the consistency check at connection did.
enum class CheckOutcome {
    kEqual,              // module and application agree
    kPushedLocal,        // the application's album was sent to the module and flashed
    kRebuiltFromDevice,  // the store was rebuilt from the module's album
    kFailed,             // the check failed and the user gave up
    kPushFailed,         // the module did not take the application's album (or its flash
                         // write); the module's album is unchanged or unflashed
    kExportFailed,       // the album file the user chose could not be written; nothing
                         // was rebuilt
    kRebuildFailed,      // the rebuild from the module failed part-way; the previous
                         // store, counter and album image are in place
};
// True for the outcomes after which module and application agree.
inline bool CheckSucceeded(CheckOutcome outcome) {
    return outcome == CheckOutcome::kEqual || outcome == CheckOutcome::kPushedLocal ||
           outcome == CheckOutcome::kRebuiltFromDevice;
}

// The album operations that involve the module. Every change goes to the
// module first; the store is changed only after the module confirmed it.
// Each operation returns the command result and leaves the module's status
// byte in `status` (0x20 until a module answered).
class CAlbumSync {
public:
    CAlbumSync(IAlbumDevice& device, CAlbumMngr& album) : device_(device), album_(album) {}

    // 0 equal, 1 different, anything else a failure (-1: no local image).
    int CheckAlbum(std::uint8_t& status);
    // Saves the module's album as ./DB/kylxx.kyb and writes it to flash.
    int Commit(std::uint8_t& status);
    // Commit; on failure the questions hear of it and ./DBBack is restored.
    int CommitOrRestore(IAlbumQuestions& questions, std::uint8_t& status);
    // Asks first; a "no" leaves everything as it is (result 0).
    int CommitWithQuestion(IAlbumQuestions& questions, std::uint8_t& status);
    int PushLocalAlbum(std::uint8_t& status);
    // Asks the module which data every ID holds, then puts a store of those
    // users (default names, today's date, blank pictures) in place of the
    // current one as a whole. 0; -1 when a query or a write failed, and
    // kResultCancelled when stopped: the previous store, counter and album
    // image then stay as they were. Progress: one step per ID.
    int RebuildFromDevice(std::uint8_t& status);
    // Save Album, then the album file; nothing is written unless the module
    // gave its album. kResultCancelled when stopped.
    int SaveAlbumFile(const std::string& path, std::uint8_t& status);
    // The album file's store is built beside the current one, its album sent
    // to the module (Load Album), then the new store is swapped in (also
    // when the module refused the album, which the next check notices). A
    // file that cannot be read or stored changes nothing (-1; the album's
    // LastImportFailure says why); stopped before the module took the album,
    // store and module stay as they were (kResultCancelled); the module took
    // it but the store could not be swapped: kResultLoadedNotStored.
    int LoadAlbumFile(const std::string& path, std::uint8_t& status);

    // Registration, then the picture into the store: 0 with the module's
    // status (0 = registered and stored); the command's failure; -1 for an
    // unknown user or one without a free data number (nothing sent); or
    // kResultRegisteredNotStored.
    int RegisterData(int id, std::uint8_t& status);
    int DeleteUserEverywhere(int id, std::uint8_t& status);
    int DeleteDataEverywhere(int id, int dataNumber, std::uint8_t& status);
    int DeleteAllEverywhere(std::uint8_t& status);
    // Reformat Album, then the local store whenever the module took the
    // command (even with a failure status).
    int DeleteAllData(std::uint8_t& status);
    int GetAlbumType(int& type, std::uint8_t& status);
    int SetAlbumType(int type, std::uint8_t& status);

    // -1 when the user is unknown.
    int BuildPictureList(int id, PictureList& list) const;

    // ---- The check after connecting, in steps ------------------------------
    // A window interleaves them with its questions, each step a job of the
    // device worker: CheckAlbum (0 equal: Backup and done; 1 different: ask;
    // anything else: offer to retry), then, with the user's answer, one of
    // the two below. Each makes the Backup itself when it succeeded and
    // leaves everything for the next check when it did not.
    //
    // The application's album goes to the module (Load Album, then Write
    // Album to Flash): kPushedLocal or kPushFailed.
    CheckOutcome ResolveWithApplication(std::uint8_t& status);
    // The module's album is taken: first the application's album is saved
    // to `exportFile` (when not empty; a failure stops here with
    // kExportFailed), then the store is rebuilt from the module
    // (kRebuildFailed) and ./DB/kydev.kyb becomes the local album image.
    CheckOutcome ResolveWithModule(const std::string& exportFile, std::uint8_t& status);

    // All steps with the answers of `questions` (the command line, tests).
    // `status` (optional) receives the status byte of the failing step.
    CheckOutcome StartupCheck(IAlbumQuestions& questions, std::uint8_t* status = nullptr);
    // The check at exit: when the albums differ, ask and commit, then remove
    // ./DBBack. Returns the CheckAlbum result.
    int ExitCheck(IAlbumQuestions& questions);

private:
    IAlbumDevice& device_;
    CAlbumMngr& album_;
};
