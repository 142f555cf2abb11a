#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

// The module's Album: registered face data by user ID and data number.
//
// Album types (the value of Set/Get Album Type):
//   0: 100 user IDs (0..99)   with up to 10 data each (0..9)
//   1: 500 user IDs (0..499)  with up to 2 data each  (0..1)
//   2: 1000 user IDs (0..999) with 1 data each        (0)
//
// Album block (the S bytes carried by Save/Load Album), little-endian:
//   0   4  magic "KEAL"
//   4   2  format version (1)
//   6   1  album type
//   7   1  0
//   8   4  number of entries E
//   12  4  entry size (816)
//   16  4  CRC-32 of the whole block with this field taken as 0
//   20  12 zero
//   32  E entries of 816 bytes, ordered by user ID then data number:
//       user ID u16, data number u8, 0, identity u32, 808 feature bytes
// S = 32 + 816 × E, at most 816,032 bytes (1000 entries). The flag byte sent
// beside the block is the album type.
namespace kyto::emu {

struct AlbumLimits {
    int userIds = 100;
    int dataPerUser = 10;
};
// False for an unknown type.
bool LimitsOfType(int albumType, AlbumLimits& limits);

constexpr std::size_t kAlbumHeaderBytes = 32;
constexpr std::size_t kAlbumEntryBytes = 816;
constexpr std::size_t kAlbumFeatureBytes = kAlbumEntryBytes - 8;

struct AlbumEntry {
    std::uint32_t identity = 0;  // who was in front of the camera
    std::vector<std::uint8_t> feature;
};

// Why a block was refused (for the log and the tests).
enum class AlbumError {
    kNone,
    kTooShort,
    kBadMagic,
    kBadVersion,
    kBadType,
    kBadSize,
    kBadChecksum,
    kBadEntry,
    kDuplicateEntry,
    kFlagMismatch
};
const char* AlbumErrorText(AlbumError error);

class CAlbum {
public:
    explicit CAlbum(int albumType = 0);

    int Type() const { return type_; }
    const AlbumLimits& Limits() const { return limits_; }
    // Changing the type repartitions the memory: the album is emptied. Setting
    // the same type keeps it. False for an unknown type.
    bool SetType(int albumType);

    bool InRange(int userId, int dataIndex) const;
    bool IdInRange(int userId) const { return userId >= 0 && userId < limits_.userIds; }

    void Store(int userId, int dataIndex, std::uint32_t identity);
    bool Erase(int userId, int dataIndex);
    int EraseUser(int userId);  // entries removed
    void Clear() { entries_.clear(); }

    bool Empty() const { return entries_.empty(); }
    std::size_t Count() const { return entries_.size(); }
    // Bit j set = data number j of this user is registered.
    unsigned DataMask(int userId) const;
    bool HasUser(int userId) const { return DataMask(userId) != 0; }
    const std::map<std::pair<int, int>, AlbumEntry>& Entries() const { return entries_; }

    // The album block and the flag byte sent with it.
    std::vector<std::uint8_t> Serialize() const;
    std::uint8_t FlagByte() const { return static_cast<std::uint8_t>(type_); }
    // Replaces this album with the block when it is valid; otherwise leaves it
    // unchanged and says why.
    AlbumError Parse(const std::uint8_t* block, std::size_t size, std::uint8_t flag);

private:
    int type_ = 0;
    AlbumLimits limits_;
    std::map<std::pair<int, int>, AlbumEntry> entries_;
};

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

// Feature bytes of a face: stable for a person, with a little variation per
// registration (as two photos of one face never give the same data).
std::vector<std::uint8_t> FeatureOf(std::uint32_t identity, int userId, int dataIndex);

}  // namespace kyto::emu
