#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "album/AlbumDevice.h"
#include "album/AlbumQuestions.h"
#include "base/ImageData.h"

// A scripted module: keeps an album image and answers each command with the
// result and status set for it (default 0/0), logging the command names.
class FakeAlbumDevice : public IAlbumDevice {
public:
    struct Answer {
        int result = 0;
        std::uint8_t status = 0;
    };
    AlbumImage module;
    std::map<int, std::uint16_t> masks;  // registered data per user
    std::map<std::string, Answer> answers;
    std::map<std::string, std::vector<Answer>> queued;  // used first, one per call
    std::vector<std::string> calls;
    std::uint8_t faceFill = 0x77;
    int albumType = 0;

    int GetVersion(std::uint8_t& status) override { return Reply("GetVersion", status); }
    int SaveAlbum(AlbumImage& image, std::uint8_t& status) override {
        const int r = Reply("SaveAlbum", status);
        if (r == 0 && status == 0) {
            image = module;
        }
        return r;
    }
    int LoadAlbum(const AlbumImage& image, std::uint8_t& status) override {
        const int r = Reply("LoadAlbum", status);
        if (r == 0 && status == 0) {
            module = image;
        }
        return r;
    }
    int WriteAlbumToFlash(std::uint8_t& status) override { return Reply("WriteFlash", status); }
    int ReformatAlbum(std::uint8_t& status) override { return Reply("Reformat", status); }
    int GetRegisteredData(int id, std::uint16_t& mask, std::uint8_t& status) override {
        const int r = Reply("GetRegisteredData", status);
        const auto it = masks.find(id);
        mask = it == masks.end() ? 0 : it->second;
        return r;
    }
    int Register(int id, int dataNumber, int, CImageData& picture, std::uint8_t& status) override {
        const int r =
            Reply("Register " + std::to_string(id) + " " + std::to_string(dataNumber), status);
        if (r == 0 && status == 0) {
            std::memset(picture.Pixels(), faceFill, picture.Size());
        }
        return r;
    }
    int DeleteData(int id, int dataNumber, int, std::uint8_t& status) override {
        return Reply("DeleteData " + std::to_string(id) + " " + std::to_string(dataNumber), status);
    }
    int DeleteUser(int id, int, std::uint8_t& status) override {
        return Reply("DeleteUser " + std::to_string(id), status);
    }
    int DeleteAll(int, std::uint8_t& status) override { return Reply("DeleteAll", status); }
    int GetAlbumType(int& type, std::uint8_t& status) override {
        type = albumType;
        return Reply("GetAlbumType", status);
    }
    int SetAlbumType(int type, std::uint8_t& status) override {
        const int r = Reply("SetAlbumType", status);
        if (r == 0 && status == 0) {
            albumType = type;
        }
        return r;
    }
    int SaveAlbumMs() override { return 1000; }
    int LoadAlbumMs() override { return 1000; }

    bool Called(const std::string& name) const {
        for (const std::string& call : calls) {
            if (call == name) {
                return true;
            }
        }
        return false;
    }

private:
    int Reply(const std::string& name, std::uint8_t& status) {
        calls.push_back(name);
        const std::string key = name.substr(0, name.find(' '));
        Answer answer;
        auto q = queued.find(key);
        if (q != queued.end() && !q->second.empty()) {
            answer = q->second.front();
            q->second.erase(q->second.begin());
        } else if (answers.count(key)) {
            answer = answers[key];
        }
        if (answer.result == 0) {
            status = answer.status;
        }
        return answer.result;
    }
};

// Answers given in advance; records what was asked.
class ScriptedQuestions : public IAlbumQuestions {
public:
    bool preferApplication = false;
    std::string saveFile;
    int retries = 0;
    bool confirm = true;
    std::vector<std::string> asked;
    int failedStatus = -1;

    bool PreferApplicationAlbum() override {
        asked.push_back("prefer");
        return preferApplication;
    }
    std::string AlbumFileToSave() override {
        asked.push_back("save");
        return saveFile;
    }
    bool RetryCheck(std::uint8_t) override {
        asked.push_back("retry");
        return retries-- > 0;
    }
    bool ConfirmCommit() override {
        asked.push_back("commit");
        return confirm;
    }
    void CommitFailed(std::uint8_t status) override { failedStatus = status; }
};
