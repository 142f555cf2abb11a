// Whole-file writes: temporary file, optional flush, rename; and the fault
// seam every one of them passes through.
#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>

namespace {

std::atomic<unsigned> g_tempCounter{0};

// ---- The fault seam ---------------------------------------------------------

struct FaultState {
    std::mutex lock;
    bool armed = false;
    WriteFault fault;
    std::size_t used = 0;
    int hits = 0;
};

// Never destroyed: writes on other threads may still look at it at exit.
FaultState& Faults() {
    static FaultState* state = new FaultState();
    return *state;
}

// Cheap test on every write while no fault is armed.
std::atomic<bool> g_faultArmed{false};

bool Matches(const WriteFault& fault, const std::string& path) {
    return fault.pathPart.empty() || path.find(fault.pathPart) != std::string::npos;
}

// How many of `size` bytes a write to `path` may write; sets `fails` when the
// write must fail after them.
std::size_t AllowedBytes(const std::string& path, std::size_t size, bool& fails) {
    fails = false;
    if (!g_faultArmed.load(std::memory_order_acquire)) {
        return size;
    }
    FaultState& s = Faults();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.armed || !Matches(s.fault, path)) {
        return size;
    }
    const std::size_t left = s.fault.bytesAllowed - std::min(s.used, s.fault.bytesAllowed);
    const std::size_t allowed = std::min(size, left);
    s.used += allowed;
    fails = s.fault.bytesAllowed == 0 || allowed < size;
    if (fails) {
        ++s.hits;
    }
    return allowed;
}

bool SyncFails(const std::string& path) {
    if (!g_faultArmed.load(std::memory_order_acquire)) {
        return false;
    }
    FaultState& s = Faults();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.armed || !s.fault.failSync || !Matches(s.fault, path)) {
        return false;
    }
    ++s.hits;
    return true;
}

// ---- Writing ------------------------------------------------------------------

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
        if (n == 0) {
            errno = EIO;
            return false;
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The bytes of one file through the fault seam; `target` is the path the
// caller named (the seam matches on it, not on a temporary name).
bool WriteContent(int fd, const std::string& target, const void* data, std::size_t size) {
    bool fails = false;
    const std::size_t allowed = AllowedBytes(target, size, fails);
    if (!WriteAll(fd, static_cast<const unsigned char*>(data), allowed)) {
        return false;
    }
    if (fails) {
        errno = ENOSPC;
        return false;
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

int WriteFileAtomically(const std::string& path, const void* data, std::size_t size,
                        FileFlush flush) {
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

    bool ok = WriteContent(fd, path, data, size);
    if (ok && flush == FileFlush::kDurable) {
        ok = !SyncFails(path) && ::fsync(fd) == 0;
    }
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(temp.c_str());
        errno = error;
        return -1;
    }
    if (flush == FileFlush::kDurable) {
        SyncDirectory(dir);
    }
    return 0;
}

int WriteFileInPlace(const std::string& path, const void* data, std::size_t size) {
    if (path.empty() || (data == nullptr && size > 0)) {
        return -1;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return -1;
    }
    const bool ok = WriteContent(fd, path, data, size);
    return ::close(fd) == 0 && ok ? 0 : -1;
}

int SyncFileSystem(const std::string& folder) {
    const std::string path = folder.empty() ? "." : folder;
    if (SyncFails(path)) {
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    const int rc = ::syncfs(fd);
    ::close(fd);
    return rc == 0 ? 0 : -1;
}

void ArmWriteFault(const WriteFault& fault) {
    FaultState& s = Faults();
    std::lock_guard<std::mutex> guard(s.lock);
    s.fault = fault;
    s.used = 0;
    s.hits = 0;
    s.armed = true;
    g_faultArmed.store(true, std::memory_order_release);
}

void ClearWriteFault() {
    FaultState& s = Faults();
    std::lock_guard<std::mutex> guard(s.lock);
    s.armed = false;
    g_faultArmed.store(false, std::memory_order_release);
}

int WriteFaultHits() {
    FaultState& s = Faults();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.hits;
}
