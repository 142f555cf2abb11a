#include "settings/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<unsigned> g_tempCounter{0};

// Splits "dir/name" into "dir" (or "." when there is no directory part) and "name".
void SplitPath(const std::string& path, std::string& dir, std::string& name) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        dir = ".";
        name = path;
    } else {
        dir = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

bool WriteAll(int fd, const unsigned char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; not every file system allows it, so a
// failure here does not fail the write.
void SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

int WriteFileAtomically(const std::string& path, const void* data, std::size_t size) {
    if (path.empty() || (data == nullptr && size > 0)) {
        return -1;
    }
    std::string dir;
    std::string name;
    SplitPath(path, dir, name);
    if (name.empty()) {
        return -1;
    }

    // O_EXCL with a name made of pid and a process-wide counter gives every
    // writer its own temporary file; mode 0666 lets the umask decide as it
    // would for a plain create.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = (dir == "/" ? std::string("/") : dir + "/") + "." + name + ".tmp-" +
               std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter.fetch_add(1));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return -1;
        }
    }
    if (fd < 0) {
        return -1;
    }

    // Keep the permissions of a file being replaced.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    }

    bool ok = WriteAll(fd, static_cast<const unsigned char*>(data), size);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return -1;
    }
    SyncDirectory(dir);
    return 0;
}
