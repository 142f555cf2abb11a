#pragma once

#include <cstdint>
#include <string>

// The user's answers the album operations need. The windows ask with message
// boxes and file dialogs; the command line takes them from its options.
class IAlbumQuestions {
public:
    virtual ~IAlbumQuestions() = default;
    // Module and application albums differ: true = the application's data
    // overwrites the module's, false = the module's data is taken.
    virtual bool PreferApplicationAlbum() = 0;
    // Before the module's data is taken: the album file to save the
    // application's album to, or "" for none.
    virtual std::string AlbumFileToSave() = 0;
    // The check failed with this status byte: true = try again.
    virtual bool RetryCheck(std::uint8_t status) = 0;
    // Write the current Album to the module's flash memory?
    virtual bool ConfirmCommit() = 0;
    // The commit failed with this status byte (the local album is restored).
    virtual void CommitFailed(std::uint8_t status) = 0;
};
