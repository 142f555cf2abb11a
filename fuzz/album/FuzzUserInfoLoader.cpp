// The store's loader on a UserInfo.dat of any content (the input), with a
// User.dat naming it and descriptions for data numbers 0..9 present: IDs
// and data numbers out of range must never index past the used-slot arrays.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "album/RegUserInfoMngr.h"
#include "settings/FileOperate.h"

namespace {

// Never destroyed, so that the clean-up at exit can still read it.
const std::string& Folder() {
    static const std::string& folder = *new std::string([] {
        char tmpl[] = "/tmp/kyto-fuzz-userinfo.XXXXXX";
        const std::string root = mkdtemp(tmpl) ? tmpl : "/tmp/kyto-fuzz-userinfo";
        const std::string dir = root + "/RegistData/005";
        std::filesystem::create_directories(dir);
        CFileOperate::WriteTextLines(root + "/RegistData/User.dat", {"005", "5"});
        for (int n = 0; n < 10; ++n) {
            CFileOperate::WriteTextLines(dir + "/0" + std::to_string(n) + ".dat",
                                         {std::to_string(n), "2024/01/01", "64", "64"});
        }
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(Folder(), ec);
        });
        return root;
    }());
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& folder = Folder();
    {
        std::ofstream out(folder + "/RegistData/005/UserInfo.dat",
                          std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    CRegUserInfoMngr store;
    store.Load(folder);
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
