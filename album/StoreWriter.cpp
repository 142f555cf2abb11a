#include "album/StoreWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

#include "settings/AtomicFile.h"
#include "settings/FileOperate.h"
#include "settings/TextCodec.h"

namespace {

std::atomic<unsigned> g_tempCounter{0};

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

int WriteDirect(const std::string& path, const void* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return -1;
    }
    const bool ok = WriteAll(fd, data, size);
    return ::close(fd) == 0 && ok ? 0 : -1;
}

// Temporary file beside the target, renamed over it; no flush.
int WriteRenamed(const std::string& path, const void* data, std::size_t size) {
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string temp = dir + "." + name + ".tmp-" + std::to_string(::getpid()) + "-b" +
                             std::to_string(g_tempCounter.fetch_add(1));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return -1;
    }
    if (!WriteAll(fd, data, size)) {
        ::close(fd);
        ::unlink(temp.c_str());
        return -1;
    }
    if (::close(fd) != 0 || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return -1;
    }
    return 0;
}

}  // namespace

std::vector<std::uint8_t> CStoreWriter::EncodeLines(const std::vector<std::string>& lines) {
    std::vector<std::uint8_t> bytes{0xFF, 0xFE};
    for (const std::string& line : lines) {
        for (char16_t unit : Utf8ToUtf16(line)) {
            bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
        bytes.insert(bytes.end(), {0x0D, 0x00, 0x0A, 0x00});
    }
    return bytes;
}

int CStoreWriter::WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    if (!batch_) {
        return CFileOperate::WriteTextLines(path, lines);
    }
    const std::vector<std::uint8_t> bytes = EncodeLines(lines);
    return direct_ ? WriteDirect(path, bytes.data(), bytes.size())
                   : WriteRenamed(path, bytes.data(), bytes.size());
}

int CStoreWriter::WriteBytes(const std::string& path, const void* data, std::size_t size) {
    if (!batch_) {
        return WriteFileAtomically(path, data, size);
    }
    return direct_ ? WriteDirect(path, data, size) : WriteRenamed(path, data, size);
}

void CStoreWriter::BeginBatch(bool direct) {
    batch_ = true;
    direct_ = direct;
}

int CStoreWriter::EndBatch(const std::string& folder) {
    batch_ = false;
    direct_ = false;
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    const int rc = ::syncfs(fd);
    ::close(fd);
    return rc == 0 ? 0 : -1;
}
