#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "AlbumTestUtil.h"
#include "album/AlbumFile.h"
#include "album/PictureFile.h"
#include "album/RegUserInfoMngr.h"
#include "base/ImageData.h"
#include "settings/FileOperate.h"

// Checks used after a process was killed while it wrote the store.

// Fill value of the pictures of WriteBigAlbum: names user and data number.
inline std::uint8_t PictureFill(int id, int number) {
    return static_cast<std::uint8_t>(id * 10 + number);
}

// An album file of `users` users (IDs from `firstId`) with 10 entries each.
inline void WriteBigAlbum(const std::string& path, int firstId, int users,
                          const AlbumImage* image = nullptr) {
    AlbumFileData data;
    if (image) {
        data.image = *image;
    } else {
        data.image.data.assign(4000, 0x42);
    }
    for (int u = 0; u < users; ++u) {
        const int id = firstId + u;
        data.AddUser(id, "person " + std::to_string(id));
        for (int n = 0; n < 10; ++n) {
            AlbumFileEntry entry;
            entry.dataNumber = n;
            entry.date = "2024/01/01";
            InitBlankPicture(entry.picture);
            std::fill(entry.picture.Pixels(), entry.picture.Pixels() + entry.picture.Size(),
                      PictureFill(id, n));
            data.AddEntry(id, std::move(entry));
        }
    }
    WriteAll(path, EncodeAlbumFile(data, {}));
}

// Every file of the store under `folder` is whole: User.dat reads, every
// UserInfo.dat has its three lines, every description its four, every
// picture its 12-byte header and 4096 pixels. Hidden temporary files of
// writes that never finished are passed over.
inline void ExpectWholeFiles(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path root = fs::path(folder) / "RegistData";
    if (!fs::exists(root)) {
        return;
    }
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        if (name[0] == '.') {
            continue;
        }
        std::vector<std::string> lines;
        if (name == "User.dat") {
            EXPECT_EQ(CFileOperate::ReadTextLines(entry.path().string(), lines), 0);
        } else if (name == "UserInfo.dat") {
            ASSERT_EQ(CFileOperate::ReadTextLines(entry.path().string(), lines), 0);
            EXPECT_EQ(lines.size(), 3u) << entry.path();
        } else if (name.size() == 6 && name.substr(2) == ".dat") {
            ASSERT_EQ(CFileOperate::ReadTextLines(entry.path().string(), lines), 0);
            EXPECT_EQ(lines.size(), 4u) << entry.path();
        } else {
            EXPECT_EQ(entry.file_size(), 12u + 4096u) << entry.path();
        }
    }
}

// The store loads without leaving out any user that User.dat names, and
// every picture reads back with the fill value `fill` gives for it.
inline void ExpectLoadableStore(const std::string& folder,
                                const std::function<std::uint8_t(int, int)>& fill = PictureFill) {
    std::vector<std::string> listed;
    CFileOperate::ReadTextLines(folder + "/RegistData/User.dat", listed);
    CRegUserInfoMngr store;
    store.Load(folder);
    EXPECT_EQ(store.ListUsers().size(), listed.size());
    for (const RegUserEntry& user : store.ListUsers()) {
        CUserInfo info;
        ASSERT_EQ(store.GetUser(user.id, info), 0);
        for (const RegDataInfo& datum : info.data) {
            CImageData picture;
            ASSERT_EQ(store.ReadPicture(folder, user.id, datum.dataNumber, picture), 0);
            EXPECT_EQ(picture.Pixels()[4095], fill(user.id, datum.dataNumber));
        }
    }
}
