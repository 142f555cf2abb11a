// The data folder rule and the first-start copy of the shipped configuration
// files (see DataFolder.h).
#include "base/DataFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/InstallLayout.h"

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> g_copyCounter{0};

bool HoldsShippedFiles(const fs::path& folder) {
    if (folder.empty()) {
        return false;
    }
    if (ShippedConfigurationFiles().empty()) {
        return true;
    }
    std::error_code ec;
    for (const std::string& name : ShippedConfigurationFiles()) {
        if (fs::is_regular_file(folder / name, ec)) {
            return true;
        }
    }
    return false;
}

// Where the files missing from a data folder come from: beside the program
// (build folder, unpacked archive) or the installed data folder.
fs::path ShippedSource(const DataFolderHost& host) {
    if (HoldsShippedFiles(host.executableFolder)) {
        return host.executableFolder;
    }
    if (HoldsShippedFiles(host.installedDataFolder)) {
        return host.installedDataFolder;
    }
    return {};
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir) {
        return user->pw_dir;
    }
    return {};
}

bool CopyBytes(int from, int to) {
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, buffer + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            done += w;
        }
    }
}

// Puts `temp` in place as `target` unless `target` exists: one atomic step,
// so neither a half-copied file nor a replaced one can ever be seen. Returns 0,
// EEXIST when the target was there, or another errno.
int PublishWithoutReplacing(const std::string& temp, const std::string& target) {
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without RENAME_NOREPLACE: a hard link fails the same way.
    if (::link(temp.c_str(), target.c_str()) != 0) {
        return errno;
    }
    ::unlink(temp.c_str());
    return 0;
}

// Copies `source` to `target` unless `target` exists. 0 copied, EEXIST
// already there, or the errno of the failure.
int CopyWithoutReplacing(const fs::path& source, const fs::path& target) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return errno;
    }
    const fs::path temp = target.parent_path() / ("." + target.filename().string() + ".copy-" +
                                                  std::to_string(::getpid()) + "-" +
                                                  std::to_string(g_copyCounter.fetch_add(1)));
    const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    bool ok = CopyBytes(in, out);
    int error = ok ? 0 : errno;
    ::close(in);
    if (ok && ::fsync(out) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(out) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok) {
        error = PublishWithoutReplacing(temp.string(), target.string());
    }
    if (error != 0) {
        ::unlink(temp.c_str());
    }
    return error;
}

}  // namespace

const std::vector<std::string>& ShippedConfigurationFiles() {
    static const std::vector<std::string> kFiles = {KYTO_SHIPPED_FILES};
    return kFiles;
}

DataFolderHost DataFolderHost::FromProcess() {
    DataFolderHost host;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    host.executableFolder = ec ? fs::current_path(ec) : self.parent_path();
    host.installedDataFolder =
        (host.executableFolder / KYTO_INSTALLED_DATA_FROM_BIN).lexically_normal();
    if (const char* xdg = std::getenv("XDG_DATA_HOME")) {
        host.xdgDataHome = xdg;
    }
    host.home = HomeFolder();
    host.isWritable = [](const fs::path& folder) {
        return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
    };
    return host;
}

DataFolderPlan PlanDataFolder(const std::string& givenDir, const DataFolderHost& host) {
    DataFolderPlan plan;
    if (!givenDir.empty()) {
        plan.kind = DataFolderKind::kGiven;
        plan.folder = givenDir;
        plan.shippedFrom = ShippedSource(host);
        return plan;
    }
    // Holding the shipped files is what tells a portable folder from an
    // installed bin/: root may write to /usr/bin, but must not keep its
    // settings and logs there.
    if (HoldsShippedFiles(host.executableFolder) && host.isWritable &&
        host.isWritable(host.executableFolder)) {
        plan.kind = DataFolderKind::kProgramFolder;
        plan.folder = host.executableFolder;
        return plan;
    }
    plan.kind = DataFolderKind::kUserFolder;
    plan.shippedFrom = ShippedSource(host);
    // A relative $XDG_DATA_HOME is invalid and ignored, as the base
    // directory rules ask.
    fs::path base;
    if (!host.xdgDataHome.empty() && fs::path(host.xdgDataHome).is_absolute()) {
        base = host.xdgDataHome;
    } else if (!host.home.empty()) {
        base = fs::path(host.home) / ".local" / "share";
    } else {
        plan.error =
            "no home folder to keep the data in (HOME is not set): give one with --data-dir DIR";
        return plan;
    }
    plan.folder = base / KYTO_DATA_FOLDER_NAME;
    return plan;
}

DataFolderEntry EnterDataFolder(const DataFolderPlan& plan) {
    DataFolderEntry entry;
    if (!plan.error.empty()) {
        entry.error = plan.error;
        return entry;
    }
    std::error_code ec;
    fs::create_directories(plan.folder, ec);
    if (ec || !fs::is_directory(plan.folder, ec)) {
        entry.error = "cannot use the data folder " + plan.folder.string() + ": " +
                      (ec ? ec.message() : "not a folder");
        return entry;
    }
    if (!plan.shippedFrom.empty()) {
        for (const std::string& name : ShippedConfigurationFiles()) {
            const fs::path source = plan.shippedFrom / name;
            const fs::path target = plan.folder / name;
            if (!fs::is_regular_file(source, ec) ||
                fs::symlink_status(target, ec).type() != fs::file_type::not_found) {
                continue;
            }
            const int error = CopyWithoutReplacing(source, target);
            if (error == 0) {
                entry.copied.push_back(name);
            } else if (error != EEXIST) {
                entry.warnings.push_back("could not copy " + source.string() +
                                         " into the data folder: " + std::strerror(error));
            }
        }
    }
    fs::current_path(plan.folder, ec);
    if (ec) {
        entry.error = "cannot use the data folder " + plan.folder.string() + ": " + ec.message();
        return entry;
    }
    entry.ok = true;
    return entry;
}

std::string DescribeDataFolderRule() {
    return "Data folder (settings, logs, module data): the folder given with --data-dir DIR; "
           "otherwise the program's own folder when it holds the shipped configuration files "
           "and is writable (a build folder or an unpacked archive); otherwise "
           "$XDG_DATA_HOME/" KYTO_DATA_FOLDER_NAME " (default ~/.local/share/" KYTO_DATA_FOLDER_NAME
           "). Shipped configuration files the folder lacks are copied into it at start; files "
           "already there are never replaced.";
}
