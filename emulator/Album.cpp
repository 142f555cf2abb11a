#include "emulator/Album.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "emulator/ByteOrder.h"
#include "emulator/Random.h"

namespace kyto::emu {

namespace {
constexpr std::uint8_t kMagic[4] = {'K', 'E', 'A', 'L'};
constexpr unsigned kFormatVersion = 1;
constexpr std::size_t kCrcOffset = 16;

std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? (0xEDB88320u ^ (c >> 1)) : (c >> 1);
        }
        table[i] = c;
    }
    return table;
}
}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = MakeCrcTable();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

bool LimitsOfType(int albumType, AlbumLimits& limits) {
    switch (albumType) {
        case 0:
            limits = {100, 10};
            return true;
        case 1:
            limits = {500, 2};
            return true;
        case 2:
            limits = {1000, 1};
            return true;
        default:
            return false;
    }
}

const char* AlbumErrorText(AlbumError error) {
    switch (error) {
        case AlbumError::kNone:
            return "ok";
        case AlbumError::kTooShort:
            return "block too short";
        case AlbumError::kBadMagic:
            return "not an album block";
        case AlbumError::kBadVersion:
            return "unknown block version";
        case AlbumError::kBadType:
            return "unknown album type";
        case AlbumError::kBadSize:
            return "size does not match the entry count";
        case AlbumError::kBadChecksum:
            return "checksum mismatch";
        case AlbumError::kBadEntry:
            return "entry outside the album type";
        case AlbumError::kDuplicateEntry:
            return "entry stored twice";
        case AlbumError::kFlagMismatch:
            return "flag byte does not match the album type";
    }
    return "?";
}

std::vector<std::uint8_t> FeatureOf(std::uint32_t identity, int userId, int dataIndex) {
    std::vector<std::uint8_t> feature(kAlbumFeatureBytes);
    for (std::size_t i = 0; i < feature.size(); ++i) {
        const std::uint64_t base = HashOf({0xFACEull, identity, i});
        const std::uint64_t wobble =
            HashOf({0xD1FFull, identity, static_cast<std::uint64_t>(userId),
                    static_cast<std::uint64_t>(dataIndex), i});
        // Mostly the person's own pattern, a few bits of this registration.
        feature[i] = static_cast<std::uint8_t>((base & 0xFF) ^ (wobble & 0x03));
    }
    return feature;
}

CAlbum::CAlbum(int albumType) {
    if (!SetType(albumType)) {
        SetType(0);
    }
}

bool CAlbum::SetType(int albumType) {
    AlbumLimits limits;
    if (!LimitsOfType(albumType, limits)) {
        return false;
    }
    if (albumType != type_) {
        entries_.clear();
    }
    type_ = albumType;
    limits_ = limits;
    return true;
}

bool CAlbum::InRange(int userId, int dataIndex) const {
    return IdInRange(userId) && dataIndex >= 0 && dataIndex < limits_.dataPerUser;
}

void CAlbum::Store(int userId, int dataIndex, std::uint32_t identity) {
    AlbumEntry entry;
    entry.identity = identity;
    entry.feature = FeatureOf(identity, userId, dataIndex);
    entries_[{userId, dataIndex}] = std::move(entry);
}

bool CAlbum::Erase(int userId, int dataIndex) {
    return entries_.erase({userId, dataIndex}) > 0;
}

int CAlbum::EraseUser(int userId) {
    int removed = 0;
    for (auto it = entries_.lower_bound({userId, 0});
         it != entries_.end() && it->first.first == userId;) {
        it = entries_.erase(it);
        ++removed;
    }
    return removed;
}

unsigned CAlbum::DataMask(int userId) const {
    unsigned mask = 0;
    for (auto it = entries_.lower_bound({userId, 0});
         it != entries_.end() && it->first.first == userId; ++it) {
        if (it->first.second >= 0 && it->first.second < 16) {
            mask |= 1u << it->first.second;
        }
    }
    return mask;
}

std::vector<std::uint8_t> CAlbum::Serialize() const {
    std::vector<std::uint8_t> block(kAlbumHeaderBytes + kAlbumEntryBytes * entries_.size(), 0);
    std::uint8_t* h = block.data();
    std::memcpy(h, kMagic, 4);
    h[4] = kFormatVersion & 0xFF;
    h[5] = (kFormatVersion >> 8) & 0xFF;
    h[6] = static_cast<std::uint8_t>(type_);
    SetU32(h + 8, static_cast<std::uint32_t>(entries_.size()));
    SetU32(h + 12, static_cast<std::uint32_t>(kAlbumEntryBytes));
    std::uint8_t* e = h + kAlbumHeaderBytes;
    for (const auto& [key, entry] : entries_) {
        e[0] = static_cast<std::uint8_t>(key.first & 0xFF);
        e[1] = static_cast<std::uint8_t>((key.first >> 8) & 0xFF);
        e[2] = static_cast<std::uint8_t>(key.second);
        SetU32(e + 4, entry.identity);
        std::memcpy(e + 8, entry.feature.data(),
                    std::min(entry.feature.size(), kAlbumFeatureBytes));
        e += kAlbumEntryBytes;
    }
    SetU32(h + kCrcOffset, Crc32(block.data(), block.size()));
    return block;
}

AlbumError CAlbum::Parse(const std::uint8_t* block, std::size_t size, std::uint8_t flag) {
    if (size < kAlbumHeaderBytes) {
        return AlbumError::kTooShort;
    }
    if (std::memcmp(block, kMagic, 4) != 0) {
        return AlbumError::kBadMagic;
    }
    if (GetU16(block + 4) != kFormatVersion || GetU32(block + 12) != kAlbumEntryBytes) {
        return AlbumError::kBadVersion;
    }
    const int type = block[6];
    AlbumLimits limits;
    if (!LimitsOfType(type, limits)) {
        return AlbumError::kBadType;
    }
    if (flag != type) {
        return AlbumError::kFlagMismatch;
    }
    const std::size_t count = GetU32(block + 8);
    if (count > static_cast<std::size_t>(limits.userIds) * limits.dataPerUser ||
        size != kAlbumHeaderBytes + count * kAlbumEntryBytes) {
        return AlbumError::kBadSize;
    }
    std::vector<std::uint8_t> copy(block, block + size);
    SetU32(copy.data() + kCrcOffset, 0);
    if (Crc32(copy.data(), copy.size()) != GetU32(block + kCrcOffset)) {
        return AlbumError::kBadChecksum;
    }
    std::map<std::pair<int, int>, AlbumEntry> entries;
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint8_t* e = block + kAlbumHeaderBytes + k * kAlbumEntryBytes;
        const int userId = static_cast<int>(GetU16(e));
        const int dataIndex = e[2];
        if (userId >= limits.userIds || dataIndex >= limits.dataPerUser) {
            return AlbumError::kBadEntry;
        }
        AlbumEntry entry;
        entry.identity = GetU32(e + 4);
        entry.feature.assign(e + 8, e + kAlbumEntryBytes);
        if (!entries.emplace(std::make_pair(userId, dataIndex), std::move(entry)).second) {
            return AlbumError::kDuplicateEntry;
        }
    }
    type_ = type;
    limits_ = limits;
    entries_ = std::move(entries);
    return AlbumError::kNone;
}

}  // namespace kyto::emu
