// The store's loader on a UserInfo.dat of any content (the input), with a
// User.dat naming it and descriptions for data numbers 0..9 present: IDs
// and data numbers out of range must never index past the used-slot arrays.
//
// The store reads its files through one hook; here it serves them from
// memory, decoded by the same text reader, so an input costs no file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "album/RegUserInfoMngr.h"
#include "base/TextLines.h"

namespace {

const std::string kFolder = "/store";
const std::string kUserList = kFolder + "/RegistData/User.dat";
const std::string kUserDirectory = kFolder + "/RegistData/005/";

class CMemoryStore : public CRegUserInfoMngr {
public:
    CMemoryStore(const std::uint8_t* userInfo, std::size_t size)
        : userInfo_(userInfo), size_(size) {}

protected:
    int ReadLines(const std::string& path, std::vector<std::string>& lines) const override {
        lines.clear();
        if (path == kUserList) {
            lines = {"005", "5"};
            return 0;
        }
        if (path.compare(0, kUserDirectory.size(), kUserDirectory) != 0) {
            return -1;
        }
        const std::string name = path.substr(kUserDirectory.size());
        if (name == "UserInfo.dat") {
            DecodeTextLines(userInfo_, size_, lines);
            return 0;
        }
        // Descriptions "00.dat" .. "09.dat".
        if (name.size() == 6 && name[0] == '0' && name[1] >= '0' && name[1] <= '9' &&
            name.compare(2, 4, ".dat") == 0) {
            lines = {std::string(1, name[1]), "2024/01/01", "64", "64"};
            return 0;
        }
        return -1;
    }

private:
    const std::uint8_t* userInfo_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CMemoryStore store(data, size);
    store.Load(kFolder);
    for (const RegUserEntry& user : store.ListUsers()) {
        if (user.id < 0 || user.id >= store.IdCapacity() || user.dataCount > 10) {
            std::abort();
        }
        CUserInfo info;
        if (store.GetUser(user.id, info) != 0) {
            std::abort();
        }
        for (const RegDataInfo& entry : info.data) {
            if (!info.SlotUsed(entry.dataNumber)) {
                std::abort();
            }
        }
    }
    return 0;
}
