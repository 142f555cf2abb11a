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
    kPushedLocal,        // the application's album was sent to the module
    kRebuiltFromDevice,  // the store was rebuilt from the module's album
    kFailed,             // the check failed and the user gave up
};

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
    int RebuildFromDevice(std::uint8_t& status);
    int SaveAlbumFile(const std::string& path, std::uint8_t& status);
    int LoadAlbumFile(const std::string& path, std::uint8_t& status);

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

    // The check after connecting, with the user's choices; Backup on success.
    CheckOutcome StartupCheck(IAlbumQuestions& questions);
    // The check at exit: when the albums differ, ask and commit, then remove
    // ./DBBack. Returns the CheckAlbum result.
    int ExitCheck(IAlbumQuestions& questions);

private:
    IAlbumDevice& device_;
    CAlbumMngr& album_;
};
