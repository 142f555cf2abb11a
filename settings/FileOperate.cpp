#include "settings/FileOperate.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "base/AtomicFile.h"
#include "base/DirectoryMirror.h"
#include "base/TextLines.h"

namespace fs = std::filesystem;

namespace {

// '*' matches any run of characters, '?' exactly one; everything else itself.
bool GlobMatch(const std::string& glob, const std::string& name) {
    std::size_t g = 0;
    std::size_t n = 0;
    std::size_t starG = std::string::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (g < glob.size() && (glob[g] == '?' || glob[g] == name[n])) {
            ++g;
            ++n;
        } else if (g < glob.size() && glob[g] == '*') {
            starG = g++;
            starN = n;
        } else if (starG != std::string::npos) {
            g = starG + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == '*') {
        ++g;
    }
    return g == glob.size();
}

enum class EntryKind { kFile, kDirectory };

int ListEntries(const std::string& pattern, EntryKind kind, std::vector<std::string>& names) {
    const std::size_t slash = pattern.find_last_of('/');
    std::string dir;
    std::string glob;
    if (slash == std::string::npos) {
        dir = ".";
        glob = pattern;
    } else {
        dir = slash == 0 ? "/" : pattern.substr(0, slash);
        glob = pattern.substr(slash + 1);
    }
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) {
        return -1;
    }
    bool found = false;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!GlobMatch(glob, name)) {
            continue;
        }
        std::error_code statError;
        const bool isDirectory = it->is_directory(statError) && !it->is_symlink(statError);
        if ((kind == EntryKind::kDirectory) == isDirectory) {
            names.push_back(name);
            found = true;
        }
    }
    return found ? 0 : -1;
}

std::string Child(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool IsRealDirectory(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int CFileOperate::ReadFileBytes(const std::string& path, std::vector<std::uint8_t>& out,
                                std::size_t maxSize) {
    if (path.empty()) {
        return -1;
    }
    // O_NONBLOCK: opening a FIFO without a writer would wait for one; the
    // type check below refuses it (and devices) right after the open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<std::uintmax_t>(st.st_size) > maxSize) {
        ::close(fd);
        return -1;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t chunk[65536];
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
        // A file that grows while it is read is held to the same cap.
        if (static_cast<std::size_t>(n) > maxSize - bytes.size()) {
            ::close(fd);
            return -1;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    ::close(fd);
    out = std::move(bytes);
    return 0;
}

int CFileOperate::WriteFileBytes(const std::string& path, const void* data, std::size_t size) {
    return WriteFileAtomically(path, data, size);
}

int CFileOperate::ReadTextLines(const std::string& path, std::vector<std::string>& lines) {
    std::vector<std::uint8_t> bytes;
    if (ReadFileBytes(path, bytes, kReadLimitText) != 0) {
        return -1;
    }
    DecodeTextLines(bytes.data(), bytes.size(), lines);
    return 0;
}

int CFileOperate::WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
    const std::vector<std::uint8_t> bytes = EncodeUtf16Lines(lines);
    return WriteFileAtomically(path, bytes.data(), bytes.size());
}

std::vector<std::string> CFileOperate::SplitText(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t at = text.find(separator, pos);
        if (at == std::string::npos) {
            break;
        }
        pieces.push_back(text.substr(pos, at - pos));
        pos = at + 1;
    }
    pieces.push_back(text.substr(pos));
    return pieces;
}

int CFileOperate::ListFiles(const std::string& pattern, std::vector<std::string>& names) {
    return ListEntries(pattern, EntryKind::kFile, names);
}

int CFileOperate::ListDirectories(const std::string& pattern, std::vector<std::string>& names) {
    return ListEntries(pattern, EntryKind::kDirectory, names);
}

void CFileOperate::EnsureDirectory(const std::string& path) {
    if (path.empty() || Exists(path)) {
        return;
    }
    // Parent = everything before the last '/', trailing '/' removed. It is
    // always shorter than the path, so the recursion ends even for a path that
    // can never be created (at "/" or at the working directory).
    std::size_t cut = path.find_last_of('/');
    std::string parent;
    if (cut == std::string::npos) {
        parent = ".";
    } else {
        while (cut > 0 && path[cut - 1] == '/') {
            --cut;
        }
        parent = cut == 0 ? "/" : path.substr(0, cut);
    }
    if (parent.size() < path.size()) {
        EnsureDirectory(parent);
    }
    std::error_code ec;
    fs::create_directory(path, ec);
}

void CFileOperate::CopyDirectoryFiles(const std::string& source, const std::string& destination) {
    std::vector<std::string> files;
    ListFiles(Child(source, "*"), files);
    for (const std::string& name : files) {
        std::error_code ec;
        fs::copy_file(Child(source, name), Child(destination, name),
                      fs::copy_options::overwrite_existing, ec);
    }
}

void CFileOperate::CopyDirectoryTree(const std::string& source, const std::string& destination) {
    if (Exists(source)) {
        MirrorDirectory(source, destination, MirrorMode::kMerge, FileFlush::kNone);
    }
}

void CFileOperate::DeleteDirectoryFiles(const std::string& path) {
    std::vector<std::string> files;
    ListFiles(Child(path, "*"), files);
    for (const std::string& name : files) {
        ::unlink(Child(path, name).c_str());
    }
}

void CFileOperate::DeleteDirectoryTree(const std::string& path) {
    if (!Exists(path)) {
        return;
    }
    if (!IsRealDirectory(path)) {
        // A link to a directory: remove the link, never what it points to.
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            ::unlink(path.c_str());
        }
        return;
    }
    std::vector<std::string> dirs;
    ListDirectories(Child(path, "*"), dirs);
    for (const std::string& name : dirs) {
        DeleteDirectoryTree(Child(path, name));
    }
    DeleteDirectoryFiles(path);
    ::rmdir(path.c_str());
}

std::string CFileOperate::FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool CFileOperate::Exists(const std::string& path) {
    return !path.empty() && ::access(path.c_str(), F_OK) == 0;
}
