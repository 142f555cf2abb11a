#include "album/AlbumFile.h"

#include <algorithm>
#include <cstring>

#include "album/PictureFile.h"
#include "base/ByteOrder.h"
#include "base/TextCodec.h"

namespace {

// Writes text as UTF-16LE into a zero-filled field of maxUnits code units;
// false when it had to be cut (never between the halves of a pair).
bool PutText(std::uint8_t* field, const std::string& text, std::size_t maxUnits) {
    std::u16string units = Utf8ToUtf16(text);
    bool cut = false;
    if (units.size() > maxUnits) {
        std::size_t keep = maxUnits;
        if (keep > 0 && units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF) {
            --keep;
        }
        units.resize(keep);
        cut = true;
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        StoreLe16(field + 2 * i, units[i]);
    }
    return !cut;
}

// Text up to the first zero code unit within the field.
std::string GetText(const std::uint8_t* field, std::size_t maxUnits) {
    std::size_t n = 0;
    while (n < maxUnits && (field[2 * n] != 0 || field[2 * n + 1] != 0)) {
        ++n;
    }
    return Utf16BytesToUtf8(field, 2 * n, false);
}

}  // namespace

void AlbumFileData::AddUser(int id, const std::string& name) {
    AlbumFileUser user;
    user.id = id;
    user.name = name;
    users.push_back(std::move(user));
}

void AlbumFileData::AddEntry(int id, AlbumFileEntry entry) {
    for (AlbumFileUser& user : users) {
        if (user.id == id) {
            user.entries.push_back(std::move(entry));
            return;
        }
    }
}

std::size_t AlbumFileData::TotalEntries() const {
    std::size_t total = 0;
    for (const AlbumFileUser& user : users) {
        total += user.entries.size();
    }
    return total;
}

std::size_t AlbumFileSize(const AlbumFileData& data) {
    return kAlbumFileHeaderSize + data.image.data.size() + kUserRecordSize * data.users.size() +
           kDataRecordSize * data.TotalEntries();
}

std::vector<std::uint8_t> EncodeAlbumFile(const AlbumFileData& data, const std::vector<int>& order,
                                          int* cutNames) {
    std::vector<std::uint8_t> bytes(AlbumFileSize(data), 0);
    std::uint8_t* p = bytes.data();
    StoreLe32(p, static_cast<std::int32_t>(data.image.data.size()));
    p[4] = data.image.attribute;
    p += 8;
    if (!data.image.data.empty()) {
        std::memcpy(p, data.image.data.data(), data.image.data.size());
        p += data.image.data.size();
    }
    StoreLe32(p, static_cast<std::int32_t>(data.users.size()));
    StoreLe32(p + 4, data.registCount);
    p += 8;

    // Sequence of users to write: the order first, then the rest.
    std::vector<const AlbumFileUser*> sequence;
    std::vector<bool> taken(data.users.size(), false);
    auto take = [&](std::size_t index) {
        if (!taken[index]) {
            taken[index] = true;
            sequence.push_back(&data.users[index]);
        }
    };
    for (int id : order) {
        if (id < 0) {
            continue;
        }
        for (std::size_t i = 0; i < data.users.size(); ++i) {
            if (data.users[i].id == id) {
                take(i);
                break;
            }
        }
    }
    for (std::size_t i = 0; i < data.users.size(); ++i) {
        take(i);
    }

    int cut = 0;
    for (const AlbumFileUser* user : sequence) {
        StoreLe32(p, user->id);
        if (!PutText(p + 4, user->name, kNameUnits)) {
            ++cut;
        }
        StoreLe32(p + 260, static_cast<std::int32_t>(user->entries.size()));
        p += kUserRecordSize;
        for (const AlbumFileEntry& entry : user->entries) {
            StoreLe32(p, entry.dataNumber);
            PutText(p + 4, entry.date, kDateUnits);
            StoreLe32(p + 36, entry.picture.Width());
            StoreLe32(p + 40, entry.picture.Height());
            StoreLe32(p + 44, static_cast<std::int32_t>(entry.picture.Format()));
            // A picture smaller than the field leaves the rest zero.
            const std::size_t pixels = std::min(entry.picture.Size(), kRecordPixels);
            if (pixels > 0) {
                std::memcpy(p + 48, entry.picture.Pixels(), pixels);
            }
            p += kDataRecordSize;
        }
    }
    if (cutNames) {
        *cutNames = cut;
    }
    return bytes;
}

int ParseAlbumFile(const std::uint8_t* bytes, std::size_t size, AlbumFileData& data) {
    if (bytes == nullptr || size < kAlbumFileHeaderSize) {
        return -1;
    }
    const std::int32_t length = LoadLeI32(bytes);
    if (length < 0 || static_cast<std::size_t>(length) > size - kAlbumFileHeaderSize) {
        return -1;
    }
    AlbumFileData parsed;
    parsed.image.attribute = bytes[4];
    parsed.image.data.assign(bytes + 8, bytes + 8 + length);
    std::size_t pos = 8 + static_cast<std::size_t>(length);
    const std::int32_t userCount = LoadLeI32(bytes + pos);
    parsed.registCount = LoadLeI32(bytes + pos + 4);
    pos += 8;
    // Every user record takes at least 264 bytes: a count the rest of the
    // file cannot hold is refused before anything is allocated.
    if (userCount < 0 || static_cast<std::size_t>(userCount) > (size - pos) / kUserRecordSize) {
        return -1;
    }
    parsed.users.reserve(static_cast<std::size_t>(userCount));
    for (std::int32_t u = 0; u < userCount; ++u) {
        if (size - pos < kUserRecordSize) {
            return -1;
        }
        AlbumFileUser user;
        user.id = LoadLeI32(bytes + pos);
        user.name = GetText(bytes + pos + 4, kNameUnits);
        const std::int32_t entryCount = LoadLeI32(bytes + pos + 260);
        pos += kUserRecordSize;
        if (entryCount < 0 ||
            static_cast<std::size_t>(entryCount) > (size - pos) / kDataRecordSize) {
            return -1;
        }
        user.entries.resize(static_cast<std::size_t>(entryCount));
        for (AlbumFileEntry& entry : user.entries) {
            const std::uint8_t* r = bytes + pos;
            entry.dataNumber = LoadLeI32(r);
            entry.date = GetText(r + 4, kDateUnits);
            const int width = LoadLeI32(r + 36);
            const int height = LoadLeI32(r + 40);
            const auto format = static_cast<std::uint32_t>(LoadLeI32(r + 44));
            std::size_t pixels = 0;
            // A picture larger than its 4096-byte field cannot be in the file.
            if (!PictureByteSize(width, height, format, pixels) || pixels > kRecordPixels) {
                return -1;
            }
            entry.picture.Init(width, height, format, kPicturePacked);
            const std::size_t copy = std::min(pixels, entry.picture.Size());
            if (copy > 0) {
                std::memcpy(entry.picture.Pixels(), r + 48, copy);
            }
            pos += kDataRecordSize;
        }
        parsed.users.push_back(std::move(user));
    }
    data = std::move(parsed);
    return 0;
}
