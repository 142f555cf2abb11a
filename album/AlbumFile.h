#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "album/AlbumImage.h"
#include "base/ImageData.h"

// Contents of an album file (.kyl): the module's album image, the users with
// their names and face data, and the registration counter.
struct AlbumFileEntry {
    int dataNumber = -1;
    std::string date;
    CImageData picture;
};

struct AlbumFileUser {
    int id = -1;
    std::string name;
    std::vector<AlbumFileEntry> entries;
};

struct AlbumFileData {
    std::vector<AlbumFileUser> users;
    AlbumImage image;
    int registCount = 0;

    void AddUser(int id, const std::string& name);
    // Ignored when no user has the ID.
    void AddEntry(int id, AlbumFileEntry entry);
    std::size_t TotalEntries() const;
};

// Record sizes of the album file layout.
inline constexpr std::size_t kAlbumFileHeaderSize = 16;  // plus the image data
inline constexpr std::size_t kUserRecordSize = 264;
inline constexpr std::size_t kNameUnits = 128;
inline constexpr std::size_t kDataRecordSize = 4144;
inline constexpr std::size_t kDateUnits = 16;
inline constexpr std::size_t kRecordPixels = 4096;

// Size of the file EncodeAlbumFile makes for this content.
std::size_t AlbumFileSize(const AlbumFileData& data);

// Builds the file. Users come in the order of `order` (IDs; -1 and IDs of
// no user are passed over); users the order does not name follow in their
// own order, and no user is written twice. Names longer than the 128-unit
// field are cut without splitting a surrogate pair; their number goes to
// *cutNames when given.
std::vector<std::uint8_t> EncodeAlbumFile(const AlbumFileData& data, const std::vector<int>& order,
                                          int* cutNames = nullptr);

// Parses a whole file. A file shorter than its counts and lengths say, or
// with negative counts or a picture larger than its 4096-byte field, is rejected
// (-1) and `data` is left as it was.
int ParseAlbumFile(const std::uint8_t* bytes, std::size_t size, AlbumFileData& data);
