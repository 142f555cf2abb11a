#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "ExecuteParse.h"
#include "emulator/Album.h"
#include "emulator/Module.h"
#include "tests/support/TempDir.h"

using namespace kyto::emu;
using Bytes = std::vector<std::uint8_t>;

namespace {

Response Send(CModule& m, std::uint8_t code, Bytes payload = {}) {
    CommandFrame f;
    f.code = code;
    f.payload = std::move(payload);
    return m.Handle(f);
}

Response Register(CModule& m, int id, int data) {
    return Send(m, kRegistration,
                {static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8),
                 static_cast<std::uint8_t>(data)});
}

unsigned Mask(CModule& m, int id) {
    const Response r = Send(m, kGetRegisteredData,
                            {static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8)});
    EXPECT_EQ(r.code, kOk);
    EXPECT_EQ(r.payload.size(), 2u);
    return r.payload.size() == 2 ? r.payload[0] | (r.payload[1] << 8) : 0xFFFF;
}

Bytes U16(int v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
}

ModuleConfig OnePerson(std::uint64_t seed = 1) {
    ModuleConfig c;
    c.seed = seed;
    c.people = 1;
    return c;
}

// Face results of one frame with recognition and verify.
std::vector<ParsedFace> Faces(CModule& m) {
    const Response r = Send(m, kExecute, {0x04, 0x06, 0});
    const ParsedExecute e = ParseExecute(r.payload, 0x0604, 0, false);
    EXPECT_TRUE(e.ok);
    return e.faces;
}

Bytes LoadPayload(const Bytes& savePayload) {
    return savePayload;
}

}  // namespace

TEST(Registration, StoresThePersonInViewAndAnswersTheFacePicture) {
    CModule m(OnePerson());
    const Response r = Register(m, 7, 3);
    ASSERT_EQ(r.code, kOk);
    ASSERT_EQ(r.payload.size(), 4u + 4096u);
    EXPECT_EQ((Bytes(r.payload.begin(), r.payload.begin() + 4)), (Bytes{64, 0, 64, 0}));
    int bright = 0;
    for (std::size_t i = 4; i < r.payload.size(); ++i) {
        bright += r.payload[i] > 170;
    }
    EXPECT_GT(bright, 4096 / 4) << "the close-up should be mostly face";
    EXPECT_EQ(Mask(m, 7), 1u << 3);
    EXPECT_EQ(Mask(m, 8), 0u);
    EXPECT_EQ(Mask(m, 999), 0u) << "IDs beyond the album type are answered, empty";
}

TEST(Registration, StatusTellsNoFaceOrSeveralFaces) {
    ModuleConfig empty = OnePerson();
    empty.people = 0;
    CModule nobody(empty);
    EXPECT_EQ(Register(nobody, 1, 0).code, kNoFace);

    ModuleConfig crowd = OnePerson(2);
    crowd.people = 8;
    CModule m(crowd);
    std::int64_t frame = 0;
    for (; frame < 2000; ++frame) {
        m.SetFrame(frame);
        if (Faces(m).size() >= 2) {
            break;
        }
    }
    ASSERT_LT(frame, 2000);
    m.SetFrame(frame);
    EXPECT_EQ(Register(m, 1, 0).code, kSeveralFaces);
    EXPECT_TRUE(m.Album().Empty());
}

TEST(Recognition, RegisteredPersonIsRecognisedStrangersAreNot) {
    CModule m(OnePerson(1));
    for (const ParsedFace& f : Faces(m)) {
        EXPECT_EQ(f.recUser, -127) << "empty album";
        EXPECT_EQ(f.verValue, -127);
        EXPECT_EQ(f.verScore, -127);
    }
    ASSERT_EQ(Register(m, 5, 0).code, kOk);
    ASSERT_EQ(Send(m, kSetVerifyUserId, U16(5)).code, kOk);
    for (int i = 0; i < 30; ++i) {
        const auto faces = Faces(m);
        ASSERT_EQ(faces.size(), 1u);
        EXPECT_EQ(faces[0].recUser, 5);
        EXPECT_GE(faces[0].recScore, 500);
        EXPECT_EQ(faces[0].verValue, 0) << "verify OK";
    }
    ASSERT_EQ(Send(m, kSetVerifyUserId, U16(6)).code, kOk);
    EXPECT_EQ(Faces(m)[0].verValue, -127) << "no data for the verify user";

    // Another person in front of the camera with that album: not recognised.
    CModule stranger(OnePerson(99));
    CommandFrame load;
    load.code = kLoadAlbum;
    load.payload = Send(m, kSaveAlbum).payload;
    ASSERT_EQ(stranger.Handle(load).code, kOk);
    ASSERT_EQ(Send(stranger, kSetVerifyUserId, U16(5)).code, kOk);
    for (int i = 0; i < 10; ++i) {
        const auto faces = Faces(stranger);
        ASSERT_EQ(faces.size(), 1u);
        EXPECT_EQ(faces[0].recUser, -1);
        EXPECT_LT(faces[0].recScore, 500);
        EXPECT_EQ(faces[0].verValue, -1) << "verify NG";
    }
    // A strict threshold turns the recognised person into "not matched".
    ASSERT_EQ(Send(m, kSetThreshold, {0xF4, 1, 0xF4, 1, 0xF4, 1, 0xE8, 3}).code, kOk);
    EXPECT_EQ(Faces(m)[0].recUser, -1);
}

TEST(AlbumTypes, LimitIdsAndDataNumbers) {
    const struct {
        int type, id, data;
        bool ok;
    } cases[] = {{0, 99, 9, true},  {0, 100, 0, false}, {0, 0, 10, false},
                 {1, 499, 1, true}, {1, 500, 0, false}, {1, 0, 2, false},
                 {2, 999, 0, true}, {2, 0, 1, false},   {2, 1000, 0, false}};
    for (const auto& c : cases) {
        CModule m(OnePerson());
        ASSERT_EQ(Send(m, kSetAlbumType, {static_cast<std::uint8_t>(c.type)}).code, kOk);
        const Response r = Register(m, c.id, c.data);
        EXPECT_EQ(r.code, c.ok ? kOk : kOutOfAlbumRange) << c.type << " " << c.id << " " << c.data;
        const Bytes del = {static_cast<std::uint8_t>(c.id), static_cast<std::uint8_t>(c.id >> 8),
                           static_cast<std::uint8_t>(c.data)};
        EXPECT_EQ(Send(m, kDeleteData, del).code, c.ok ? kOk : kOutOfAlbumRange);
    }
}

TEST(AlbumTypes, ChangingTheTypeEmptiesTheAlbum) {
    CModule m(OnePerson());
    ASSERT_EQ(Register(m, 3, 1).code, kOk);
    ASSERT_EQ(Send(m, kSetAlbumType, {0}).code, kOk);  // same type: kept
    EXPECT_EQ(Mask(m, 3), 2u);
    ASSERT_EQ(Send(m, kSetAlbumType, {1}).code, kOk);
    EXPECT_EQ(Mask(m, 3), 0u);
}

TEST(AlbumCommands, DeleteDataUserAndAll) {
    CModule m(OnePerson());
    for (auto [id, data] : {std::pair{1, 0}, {1, 4}, {2, 0}, {3, 9}}) {
        ASSERT_EQ(Register(m, id, data).code, kOk);
    }
    EXPECT_EQ(Mask(m, 1), 0x11u);
    ASSERT_EQ(Send(m, kDeleteData, {1, 0, 4}).code, kOk);
    EXPECT_EQ(Mask(m, 1), 0x01u);
    ASSERT_EQ(Send(m, kDeleteUser, U16(2)).code, kOk);
    EXPECT_EQ(Mask(m, 2), 0u);
    EXPECT_EQ(Mask(m, 3), 0x200u);
    ASSERT_EQ(Send(m, kDeleteAll).code, kOk);
    EXPECT_TRUE(m.Album().Empty());
}

TEST(AlbumTransfer, SaveThenLoadRestoresTheAlbum) {
    CModule source(OnePerson());
    const Response empty = Send(source, kSaveAlbum);
    ASSERT_EQ(empty.code, kOk);
    ASSERT_GE(empty.payload.size(), 40u);
    EXPECT_EQ(empty.payload[0] | (empty.payload[1] << 8),
              static_cast<int>(empty.payload.size() - 8));
    EXPECT_EQ((Bytes(empty.payload.begin() + 5, empty.payload.begin() + 8)), (Bytes{0, 0, 0}));

    ASSERT_EQ(Send(source, kSetAlbumType, {1}).code, kOk);
    for (auto [id, data] : {std::pair{0, 0}, {0, 1}, {499, 1}}) {
        ASSERT_EQ(Register(source, id, data).code, kOk);
    }
    const Bytes saved = Send(source, kSaveAlbum).payload;
    EXPECT_EQ(saved[4], 1) << "flag byte carries the album type";

    CModule target(OnePerson(7));
    CommandFrame load;
    load.code = kLoadAlbum;
    load.payload = LoadPayload(saved);
    ASSERT_EQ(target.Handle(load).code, kOk);
    EXPECT_EQ(Send(target, kGetAlbumType).payload, Bytes{1});
    EXPECT_EQ(Mask(target, 0), 3u);
    EXPECT_EQ(Mask(target, 499), 2u);
    EXPECT_EQ(Send(target, kSaveAlbum).payload, saved);
}

TEST(AlbumTransfer, MalformedBlocksAreRefusedAndChangeNothing) {
    CModule source(OnePerson());
    ASSERT_EQ(Register(source, 4, 0).code, kOk);
    ASSERT_EQ(Register(source, 5, 0).code, kOk);
    const Bytes good = Send(source, kSaveAlbum).payload;  // S, flag, 000, block
    auto reseal = [](Bytes p) {  // recompute the block checksum after an edit
        p[8 + 16] = p[8 + 17] = p[8 + 18] = p[8 + 19] = 0;
        const std::uint32_t crc = Crc32(p.data() + 8, p.size() - 8);
        for (int i = 0; i < 4; ++i) {
            p[8 + 16 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        }
        return p;
    };
    const std::size_t entry0 = 8 + kAlbumHeaderBytes, entry1 = entry0 + kAlbumEntryBytes;
    struct Case {
        const char* what;
        Bytes payload;
    };
    std::vector<Case> cases;
    auto edit = [&](const char* what, auto change) {
        Bytes p = good;
        change(p);
        cases.push_back({what, p});
    };
    edit("too short", [](Bytes& p) { p.resize(7); });
    edit("size field too large", [](Bytes& p) { p[0] += 1; });
    edit("block cut short", [](Bytes& p) { p.pop_back(); });
    edit("bad magic", [&](Bytes& p) {
        p[8] = 'X';
        p = reseal(p);
    });
    edit("checksum", [&](Bytes& p) { p[entry0 + 100] ^= 1; });
    edit("flag differs from type", [](Bytes& p) { p[4] = 2; });
    edit("unknown type", [&](Bytes& p) {
        p[8 + 6] = 9;
        p[4] = 9;
        p = reseal(p);
    });
    edit("entry beyond type", [&](Bytes& p) {
        p[entry1] = 100;
        p = reseal(p);
    });
    edit("duplicate entry", [&](Bytes& p) {
        p[entry1] = p[entry0];
        p = reseal(p);
    });
    edit("count disagrees", [&](Bytes& p) {
        p[8 + 8] = 3;
        p = reseal(p);
    });

    CModule target(OnePerson(3));
    ASSERT_EQ(Register(target, 9, 2).code, kOk);
    const Bytes before = Send(target, kSaveAlbum).payload;
    for (const Case& c : cases) {
        CommandFrame load;
        load.code = kLoadAlbum;
        load.payload = c.payload;
        EXPECT_EQ(target.Handle(load).code, kBadAlbumBlock) << c.what;
        EXPECT_EQ(Send(target, kSaveAlbum).payload, before) << c.what;
    }
    CommandFrame oversized;
    oversized.code = kLoadAlbum;
    oversized.oversized = true;
    EXPECT_EQ(target.Handle(oversized).code, kBadAlbumBlock);
}

TEST(AlbumFlash, WrittenAlbumSurvivesARestart) {
    TempDir dir;
    ModuleConfig config = OnePerson();
    config.stateFile = "flash.kyb";
    {
        CModule m(config);
        std::string error;
        ASSERT_TRUE(m.RestoreFlash(error)) << "no file yet: empty album";
        ASSERT_EQ(Send(m, kSetAlbumType, {2}).code, kOk);
        ASSERT_EQ(Register(m, 800, 0).code, kOk);
        ASSERT_EQ(Send(m, kWriteFlash).code, kOk);
        ASSERT_EQ(Register(m, 801, 0).code, kOk);  // not written: lost at restart
    }
    {
        CModule m(config);
        std::string error;
        ASSERT_TRUE(m.RestoreFlash(error)) << error;
        EXPECT_EQ(Send(m, kGetAlbumType).payload, Bytes{2});
        EXPECT_EQ(Mask(m, 800), 1u);
        EXPECT_EQ(Mask(m, 801), 0u);
        ASSERT_EQ(Send(m, kReformatAlbum).code, kOk);
    }
    {
        CModule m(config);
        std::string error;
        ASSERT_TRUE(m.RestoreFlash(error)) << error;
        EXPECT_TRUE(m.Album().Empty());
    }
    std::ofstream("flash.kyb", std::ios::binary | std::ios::trunc) << "not an album at all, no";
    CModule broken(config);
    std::string error;
    EXPECT_FALSE(broken.RestoreFlash(error));
    EXPECT_FALSE(error.empty());

    config.stateFile = "missing-folder/flash.kyb";
    CModule unwritable(config);
    EXPECT_EQ(Send(unwritable, kWriteFlash).code, kFlashFailed);
}
