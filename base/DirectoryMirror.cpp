// Folder copies through the atomic writer.
#include "base/DirectoryMirror.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

int ReadWholeFile(const fs::path& path, std::vector<unsigned char>& out) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    out.clear();
    unsigned char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return -1;
        }
        out.insert(out.end(), chunk, chunk + n);
    }
    ::close(fd);
    return 0;
}

bool IsRealDirectory(const fs::directory_entry& entry) {
    std::error_code ec;
    return entry.is_directory(ec) && !entry.is_symlink(ec);
}

int Mirror(const fs::path& source, const fs::path& destination, MirrorMode mode, FileFlush flush,
           const fs::path& top) {
    std::error_code ec;
    fs::create_directories(destination, ec);
    int result = fs::is_directory(destination, ec) ? 0 : -1;
    if (mode == MirrorMode::kExact) {
        for (fs::directory_iterator it(destination, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code ignored;
            const fs::path twin = source / it->path().filename();
            const bool keep = IsRealDirectory(*it)
                                  ? fs::is_directory(fs::symlink_status(twin, ignored))
                                  : fs::exists(twin, ignored);
            if (!keep) {
                fs::remove_all(it->path(), ignored);
            }
        }
    }
    ec.clear();
    std::vector<unsigned char> bytes;
    for (fs::directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code ignored;
        const fs::path target = destination / it->path().filename();
        if (IsRealDirectory(*it)) {
            // A destination inside the source would otherwise be copied into
            // itself again and again.
            if (!top.empty() && fs::equivalent(it->path(), top, ignored)) {
                continue;
            }
            if (Mirror(it->path(), target, mode, flush, top) != 0) {
                result = -1;
            }
        } else if (it->is_regular_file(ignored)) {
            if (ReadWholeFile(it->path(), bytes) != 0 ||
                WriteFileAtomically(target.string(), bytes.data(), bytes.size(), flush) != 0) {
                result = -1;
            }
        }
    }
    return ec ? -1 : result;
}

}  // namespace

int MirrorDirectory(const std::string& source, const std::string& destination, MirrorMode mode,
                    FileFlush flush) {
    std::error_code ec;
    if (source.empty() || destination.empty() || !fs::is_directory(source, ec)) {
        return -1;
    }
    fs::create_directories(destination, ec);
    const fs::path top = fs::absolute(destination, ec);
    return Mirror(source, destination, mode, flush, top);
}
