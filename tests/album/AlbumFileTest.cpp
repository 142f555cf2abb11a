#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "AlbumTestUtil.h"
#include "StoreCheck.h"
#include "album/AlbumFile.h"
#include "album/AlbumImage.h"
#include "album/AlbumMngr.h"
#include "album/AlbumTransfer.h"
#include "album/PictureFile.h"
#include "base/AtomicFile.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

const std::string kFolder = "./KYTO-EMU/1";

Bytes ImageBlock(std::size_t n, std::uint8_t attribute) {
    Bytes out;
    PutI32(out, static_cast<std::int32_t>(n));
    out.push_back(attribute);
    out.insert(out.end(), {0, 0, 0});
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(static_cast<std::uint8_t>(i * 7));
    }
    return out;
}

void PutUser(Bytes& out, int id, const std::u16string& name, int entries) {
    PutI32(out, id);
    PutUnits(out, name, 128);
    PutI32(out, entries);
}

void PutEntry(Bytes& out, int number, const std::u16string& date, std::uint8_t seed) {
    PutI32(out, number);
    PutUnits(out, date, 16);
    PutI32(out, 64);
    PutI32(out, 64);
    PutI32(out, 0x21000044);
    for (int i = 0; i < 4096; ++i) {
        out.push_back(static_cast<std::uint8_t>(seed + i));
    }
}

// Two users with 1 and 3 entries and a 1000-byte album image, built field by
// field.
Bytes FixtureAlbumFile() {
    Bytes out = ImageBlock(1000, 0x5A);
    PutI32(out, 2);
    PutI32(out, 17);
    PutUser(out, 42, u"Ann", 1);
    PutEntry(out, 0, u"2024/01/02", 1);
    PutUser(out, 7, u"B\u00f6b", 3);
    PutEntry(out, 0, u"2024/02/03", 2);
    PutEntry(out, 3, u"2024/02/04", 3);
    PutEntry(out, 9, u"2024/02/05", 4);
    return out;
}

AlbumFileEntry Entry(int number, const std::string& date, std::uint8_t fill) {
    AlbumFileEntry entry;
    entry.dataNumber = number;
    entry.date = date;
    InitBlankPicture(entry.picture);
    for (std::size_t i = 0; i < entry.picture.Size(); ++i) {
        entry.picture.Pixels()[i] = fill;
    }
    return entry;
}

}  // namespace

TEST(AlbumImageFile, HandBuiltFileReadsAndWritesBackIdentically) {
    TempDir dir;
    Bytes file = ImageBlock(32, 0x03);
    file[5] = 0xAB;  // reserved bytes survive the round trip
    WriteAll("given.kyb", file);
    AlbumImage image;
    ASSERT_EQ(ReadAlbumImageFile("given.kyb", image), 0);
    EXPECT_EQ(image.Length(), 32u);
    EXPECT_EQ(image.attribute, 0x03);
    ASSERT_EQ(WriteAlbumImageFile("copy.kyb", image), 0);
    EXPECT_EQ(ReadAll("copy.kyb"), file);
}

TEST(AlbumImageFile, ShortFilesAndSmallImagesAreRefused) {
    TempDir dir;
    AlbumImage image;
    image.data.assign(31, 1);
    EXPECT_EQ(WriteAlbumImageFile("small.kyb", image), -1);
    EXPECT_FALSE(fs::exists("small.kyb"));

    AlbumImage before;
    before.data.assign(40, 9);
    struct Case {
        const char* what;
        Bytes bytes;
    };
    Bytes lengthTooBig = ImageBlock(32, 0);
    lengthTooBig[1] = 0x10;  // N = 4128, the file holds 32
    Bytes short39 = ImageBlock(32, 0);
    short39.resize(39);
    Bytes hugeLength = ImageBlock(32, 0);
    hugeLength[3] = 0xFF;
    const std::vector<Case> cases = {
        {"39 bytes", short39},
        {"length beyond file", lengthTooBig},
        {"negative length", hugeLength},
    };
    for (const Case& c : cases) {
        AlbumImage out = before;
        EXPECT_EQ(ParseAlbumImageFile(c.bytes.data(), c.bytes.size(), out), -1) << c.what;
        EXPECT_EQ(out, before) << c.what;
    }
}

TEST(AlbumFileFormat, HandBuiltFileParsesAndEncodesIdentically) {
    const Bytes file = FixtureAlbumFile();
    ASSERT_EQ(file.size(), 18120u);
    AlbumFileData data;
    ASSERT_EQ(ParseAlbumFile(file.data(), file.size(), data), 0);
    EXPECT_EQ(data.image.Length(), 1000u);
    EXPECT_EQ(data.image.attribute, 0x5A);
    EXPECT_EQ(data.registCount, 17);
    ASSERT_EQ(data.users.size(), 2u);
    EXPECT_EQ(data.users[0].id, 42);
    EXPECT_EQ(data.users[1].name,
              "B\xC3\xB6"
              "b");
    ASSERT_EQ(data.users[1].entries.size(), 3u);
    EXPECT_EQ(data.users[1].entries[2].dataNumber, 9);
    EXPECT_EQ(data.users[1].entries[2].date, "2024/02/05");
    EXPECT_EQ(data.users[1].entries[2].picture.Pixels()[0], 4);
    EXPECT_EQ(AlbumFileSize(data), 18120u);
    EXPECT_EQ(EncodeAlbumFile(data, {42, 7}), file);
    // The order decides the sequence; users it does not name follow.
    const Bytes reordered = EncodeAlbumFile(data, {7, -1});
    AlbumFileData back;
    ASSERT_EQ(ParseAlbumFile(reordered.data(), reordered.size(), back), 0);
    ASSERT_EQ(back.users.size(), 2u);
    EXPECT_EQ(back.users[0].id, 7);
    EXPECT_EQ(back.users[1].id, 42);
    // An order naming a user twice writes it once, and the file keeps its size.
    EXPECT_EQ(EncodeAlbumFile(data, {42, 42, 7, 7}), file);
}

TEST(AlbumFileFormat, NamesFillTheFieldAndLongOnesAreCut) {
    AlbumFileData data;
    data.AddUser(1, std::string(128, 'n'));
    data.AddUser(2, std::string(127, 'a') + "\xF0\x9D\x84\x9E");  // pair would straddle the end
    data.AddEntry(3, Entry(0, "x", 0));                           // no such user: ignored
    data.image.data.assign(32, 0);
    int cut = -1;
    const Bytes file = EncodeAlbumFile(data, {}, &cut);
    EXPECT_EQ(cut, 1);
    // Name field of user 1: 128 units, no terminating zero.
    EXPECT_EQ(file[16 + 32 + 4 + 254], 'n');
    AlbumFileData back;
    ASSERT_EQ(ParseAlbumFile(file.data(), file.size(), back), 0);
    EXPECT_EQ(back.users[0].name, std::string(128, 'n'));
    EXPECT_EQ(back.users[1].name, std::string(127, 'a'));
}

// A file that claims more than it holds is refused before anything changes.
TEST(AlbumFileFormat, TruncatedOrLyingFilesAreRefused) {
    const Bytes good = FixtureAlbumFile();
    auto with = [&](std::size_t offset, std::int32_t value) {
        Bytes b = good;
        const auto v = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i) {
            b[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
        return b;
    };
    const std::size_t users = 16 + 1000;
    const std::size_t firstEntry = users + 264;
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"header only", Bytes(good.begin(), good.begin() + 15)},
        {"cut in the image", Bytes(good.begin(), good.begin() + 500)},
        {"cut in the last picture", Bytes(good.begin(), good.end() - 1)},
        {"negative image length", with(0, -1)},
        {"image length beyond file", with(0, 0x7FFFFFF0)},
        {"huge user count", with(1008, 0x7FFFFFFF)},
        {"negative user count", with(1008, -3)},
        {"huge entry count", with(users + 260, 0x01000000)},
        {"negative entry count", with(users + 260, -1)},
        {"picture wider than its field", with(firstEntry + 36, 65)},
        {"absurd picture", with(firstEntry + 36, 0x7FFFFFFF)},
    };
    for (const Case& c : cases) {
        AlbumFileData data;
        data.registCount = 99;
        data.AddUser(5, "keep");
        EXPECT_EQ(ParseAlbumFile(c.bytes.data(), c.bytes.size(), data), -1) << c.what;
        EXPECT_EQ(data.registCount, 99) << c.what;
        ASSERT_EQ(data.users.size(), 1u) << c.what;
    }
}

class AlbumFolder : public ::testing::Test {
protected:
    void SetUp() override { album_.OpenFolder(kFolder); }
    CImageData Picture(std::uint8_t fill) { return Entry(0, "", fill).picture; }
    std::vector<int> StoreOrder() {
        std::vector<int> ids;
        for (const auto& user : album_.Store().ListUsers()) {
            ids.push_back(user.id);
        }
        return ids;
    }

    TempDir dir_;
    CAlbumMngr album_;
};

TEST_F(AlbumFolder, ExportFollowsTheRowsAndImportKeepsTheirOrder) {
    for (int id : {2, 5, 9}) {
        ASSERT_EQ(album_.AddNewUser("user" + std::to_string(id), id), id);
        ASSERT_EQ(album_.Store().AddDataWithDate(id, 1, "2024/03/04",
                                                 Picture(static_cast<std::uint8_t>(id))),
                  0);
    }
    album_.SetUserOrder({5, 2, 9});
    AlbumImage image;
    image.attribute = 2;
    image.data.assign(64, 0x33);
    ASSERT_EQ(album_.ExportAlbumFile(image, "out.kyl"), 0);
    EXPECT_EQ(fs::file_size("out.kyl"), 16u + 64 + 3 * 264 + 3 * 4144);
    EXPECT_EQ(album_.AlbumProgress(), 0.0);  // no phase was started

    album_.DeleteAllLocal();
    ASSERT_TRUE(album_.Store().Empty());
    AlbumImage loaded;
    ASSERT_EQ(album_.ImportAlbumFile("out.kyl", loaded), 0);
    EXPECT_EQ(loaded, image);
    EXPECT_EQ(StoreOrder(), (std::vector<int>{5, 2, 9}));
    EXPECT_EQ(ReadRegistCount(kFolder), 3);
    AlbumImage local;
    ASSERT_EQ(ReadAlbumImageFile(kLocalAlbumFile, local), 0);
    EXPECT_EQ(local, image);

    // The store on disk says the same after a restart, pictures and dates included.
    CAlbumMngr again;
    again.OpenFolder(kFolder);
    CImageData picture;
    ASSERT_EQ(again.Store().ReadPicture(kFolder, 9, 1, picture), 0);
    EXPECT_EQ(picture.Pixels()[0], 9);
    EXPECT_EQ(ReadAll(fs::path(kFolder) / "RegistData/009/01.dat"),
              AsciiTextFile({"1", "2024/03/04", "64", "64"}));
    std::vector<int> ids;
    for (const auto& user : again.Store().ListUsers()) {
        ids.push_back(user.id);
    }
    EXPECT_EQ(ids, (std::vector<int>{5, 2, 9}));
}

TEST_F(AlbumFolder, HandBuiltAlbumFileImportsAndExportsIdentically) {
    WriteAll("given.kyl", FixtureAlbumFile());
    AlbumImage image;
    ASSERT_EQ(album_.ImportAlbumFile("given.kyl", image), 0);
    EXPECT_EQ(StoreOrder(), (std::vector<int>{42, 7}));
    EXPECT_EQ(album_.Store().TotalDataCount(), 4);
    album_.SetUserOrder({42, 7});
    ASSERT_EQ(album_.ExportAlbumFile(image, "again.kyl"), 0);
    EXPECT_EQ(ReadAll("again.kyl"), FixtureAlbumFile());
}

TEST_F(AlbumFolder, ImportRemakesAMissingDbFolder) {
    WriteAll("given.kyl", FixtureAlbumFile());
    fs::remove_all(kDbFolder);
    AlbumImage image;
    ASSERT_EQ(album_.ImportAlbumFile("given.kyl", image), 0);
    AlbumImage local;
    ASSERT_EQ(ReadAlbumImageFile(kLocalAlbumFile, local), 0);
    EXPECT_EQ(local, image);
}

TEST_F(AlbumFolder, BrokenAlbumFileChangesNothing) {
    ASSERT_EQ(album_.AddNewUser("stay", 4), 4);
    Bytes file = FixtureAlbumFile();
    file.resize(file.size() - 100);
    WriteAll("broken.kyl", file);
    AlbumImage image;
    image.data.assign(40, 1);
    EXPECT_EQ(album_.ImportAlbumFile("broken.kyl", image), -1);
    EXPECT_EQ(album_.ImportAlbumFile("missing.kyl", image), -1);
    EXPECT_EQ(StoreOrder(), (std::vector<int>{4}));
    EXPECT_EQ(image.data.size(), 40u);
}

// The store, counter and album image before a failed import, and the check
// that all three are still there, in memory and on disk.
class ImportFailures : public AlbumFolder {
protected:
    void SetUp() override {
        AlbumFolder::SetUp();
        for (int id : {4, 8}) {
            ASSERT_EQ(album_.AddNewUser("stay" + std::to_string(id), id), id);
            ASSERT_EQ(album_.Store().AddDataWithDate(id, 2, "2023/05/06", Picture(0x44)), 0);
        }
        album_.SetRegistCount(7);
        old_.attribute = 3;
        old_.data.assign(64, 0x21);
        ASSERT_EQ(WriteAlbumImageFile(kLocalAlbumFile, old_), 0);
    }
    void ExpectOldStateKept(const std::string& what) {
        EXPECT_EQ(StoreOrder(), (std::vector<int>{4, 8})) << what;
        EXPECT_EQ(album_.RegistCount(), 7) << what;
        EXPECT_EQ(ReadRegistCount(kFolder), 7) << what;
        AlbumImage local;
        ASSERT_EQ(ReadAlbumImageFile(kLocalAlbumFile, local), 0) << what;
        EXPECT_EQ(local, old_) << what;
        CAlbumMngr again;
        again.OpenFolder(kFolder);
        std::vector<int> ids;
        for (const auto& user : again.Store().ListUsers()) {
            ids.push_back(user.id);
            EXPECT_EQ(user.dataCount, 1) << what;
        }
        EXPECT_EQ(ids, (std::vector<int>{4, 8})) << what;
        CImageData picture;
        EXPECT_EQ(again.Store().ReadPicture(kFolder, 8, 2, picture), 0) << what;
        EXPECT_FALSE(fs::exists(std::string(kFolder) + "/.import")) << what;
        EXPECT_FALSE(fs::exists(kStagedAlbumFile)) << what;
    }
    AlbumImage old_;
};

TEST_F(ImportFailures, AnyFailedWriteKeepsTheOldStoreWhole) {
    WriteBigAlbum("big.kyl", 100, 20);
    const struct {
        const char* what;
        WriteFault fault;
    } cases[] = {
        {"no room for the first file", {".import", 0, false}},
        {"disk full after a few users", {".import", 60000, false}},
        {"disk full at the last users", {".import", 800000, false}},  // of about 835,000
        {"the flush of the new store", {".import", 1u << 30, true}},
        {"the album image", {"kylxx", 0, false}},
        {"the registration counter", {"Device.ini", 0, false}},
    };
    for (const auto& c : cases) {
        {
            ScopedWriteFault fault(c.fault);
            AlbumImage image;
            image.data.assign(10, 9);
            EXPECT_EQ(album_.ImportAlbumFile("big.kyl", image), -1) << c.what;
            EXPECT_GT(WriteFaultHits(), 0) << c.what;
            EXPECT_EQ(album_.LastImportFailure(), ImportFailure::kWriteFailed) << c.what;
            EXPECT_EQ(image.data.size(), 10u) << c.what;
        }
        ExpectOldStateKept(c.what);
    }
    AlbumImage image;
    ASSERT_EQ(album_.ImportAlbumFile("big.kyl", image), 0);
    EXPECT_EQ(album_.Store().ListUsers().size(), 20u);
}

TEST_F(ImportFailures, AlbumLargerThanTheModulesAreaIsRefusedFirst) {
    AlbumFileData data;
    data.AddUser(1, "new");
    data.image.data.assign(kAlbumAreaSize + 1, 0x5A);
    WriteAll("huge.kyl", EncodeAlbumFile(data, {}));
    AlbumImage image;
    EXPECT_EQ(album_.ImportAlbumFile("huge.kyl", image), -1);
    EXPECT_EQ(album_.LastImportFailure(), ImportFailure::kAlbumTooLarge);
    ExpectOldStateKept("oversized album");

    data.image.data.resize(kAlbumAreaSize);  // the whole area fits
    WriteAll("full.kyl", EncodeAlbumFile(data, {}));
    ASSERT_EQ(album_.ImportAlbumFile("full.kyl", image), 0);
    EXPECT_EQ(StoreOrder(), (std::vector<int>{1}));
    EXPECT_EQ(image.data.size(), kAlbumAreaSize);
}

TEST_F(ImportFailures, FilesThatAreNoAlbumFilesAreNotRead) {
    // A FIFO would block a plain open; a directory or a device is no file.
    ASSERT_EQ(::mkfifo("pipe.kyl", 0600), 0);
    fs::create_directory("folder.kyl");
    const struct {
        const char* path;
        ImportFailure why;
    } cases[] = {
        {"pipe.kyl", ImportFailure::kUnreadable},
        {"folder.kyl", ImportFailure::kUnreadable},
        {"/dev/zero", ImportFailure::kUnreadable},
        {"missing.kyl", ImportFailure::kUnreadable},
    };
    for (const auto& c : cases) {
        AlbumImage image;
        EXPECT_EQ(album_.ImportAlbumFile(c.path, image), -1) << c.path;
        EXPECT_EQ(album_.LastImportFailure(), c.why) << c.path;
    }
    ExpectOldStateKept("not album files");
}

TEST_F(AlbumFolder, ImportedNamesLoseLineBreaksAndBadRecordsAreSkipped) {
    AlbumFileData data;
    data.image.data.assign(32, 0);
    data.AddUser(3, "Ann\r\nLee");
    data.AddEntry(3, Entry(12, "2024/01/01", 1));  // data number past the slots
    data.AddEntry(3, Entry(4, "2024/01/01", 1));
    data.AddEntry(3, Entry(4, "2024/01/02", 2));  // repeated slot
    data.AddUser(1000, "too big");
    data.AddUser(3, "again");
    const Bytes bytes = EncodeAlbumFile(data, {});
    WriteAll("odd.kyl", bytes);
    AlbumImage image;
    ASSERT_EQ(album_.ImportAlbumFile("odd.kyl", image), 0);
    const auto users = album_.Store().ListUsers();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].name, "AnnLee");
    EXPECT_EQ(users[0].dataCount, 1);
}

TEST_F(AlbumFolder, LocalAlbumImageFallsBackToTheShippedDefault) {
    AlbumImage fallback;
    fallback.data.assign(48, 0x11);
    ASSERT_EQ(WriteAlbumImageFile(kDefaultAlbumFile, fallback), 0);
    AlbumImage image;
    ASSERT_FALSE(album_.LocalAlbumExists());
    ASSERT_EQ(album_.ReadLocalAlbum(image), 0);
    EXPECT_EQ(image, fallback);

    AlbumImage device;
    device.data.assign(48, 0x22);
    ASSERT_EQ(WriteAlbumImageFile(kDeviceAlbumFile, device), 0);
    ASSERT_EQ(album_.CopyDeviceAlbum(), 0);
    ASSERT_EQ(album_.ReadLocalAlbum(image), 0);
    EXPECT_EQ(image, device);
    album_.DeleteAllLocal();
    EXPECT_FALSE(album_.LocalAlbumExists());
}

TEST_F(AlbumFolder, RestoreBringsBackTheBackup) {
    AlbumImage first;
    first.data.assign(40, 1);
    ASSERT_EQ(WriteAlbumImageFile(kLocalAlbumFile, first), 0);
    album_.SetRegistCount(6);
    album_.Backup();
    EXPECT_EQ(ReadRegistCountBack(kFolder), 6);

    AlbumImage second;
    second.data.assign(40, 2);
    ASSERT_EQ(WriteAlbumImageFile(kLocalAlbumFile, second), 0);
    WriteAll("DB/extra.kyb", {1, 2, 3});
    album_.SetRegistCount(9);
    album_.Restore();
    AlbumImage image;
    ASSERT_EQ(ReadAlbumImageFile(kLocalAlbumFile, image), 0);
    EXPECT_EQ(image, first);
    EXPECT_FALSE(fs::exists("DB/extra.kyb"));
    EXPECT_EQ(album_.RegistCount(), 6);
    EXPECT_EQ(ReadRegistCount(kFolder), 6);

    fs::remove_all(kDbBackFolder);
    album_.SetRegistCount(9);
    album_.Restore();  // nothing to restore from
    EXPECT_EQ(ReadRegistCount(kFolder), 9);
    EXPECT_TRUE(fs::exists(kLocalAlbumFile));
}

TEST_F(AlbumFolder, ProgressRunsInTwoHalves) {
    album_.StartTimePhase(0, 60000);
    const double early = album_.AlbumProgress();
    EXPECT_GE(early, 0.0);
    EXPECT_LT(early, 50.0);
    album_.StartTimePhase(50, 1);
    EXPECT_LE(album_.AlbumProgress(), 100.0);  // an overrun estimate stops at the end
    album_.EndPhase();
    EXPECT_EQ(album_.AlbumProgress(), 100.0);
}
