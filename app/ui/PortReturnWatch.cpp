// Watching for a vanished serial port to come back.

#include "app/ui/PortReturnWatch.h"

#include <QFileSystemWatcher>
#include <QStringList>

#include <filesystem>
#include <system_error>

#include "settings/ui/PortLabels.h"

namespace {

namespace fs = std::filesystem;

bool Exists(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::exists(path, error);
}

// The nearest folder above `path` (the path's own folder first) that exists.
std::string NearestFolder(const std::string& path) {
    std::error_code error;
    fs::path folder = fs::path(path).parent_path();
    while (!folder.empty() && !fs::is_directory(folder, error)) {
        if (folder == folder.parent_path()) {
            return {};
        }
        folder = folder.parent_path();
    }
    return folder.string();
}

}  // namespace

CPortReturnWatch::CPortReturnWatch(QObject* parent, std::string byIdFolder)
    : QObject(parent), byIdFolder_(std::move(byIdFolder)) {}

void CPortReturnWatch::Remember(const std::string& path) {
    Disarm();
    path_ = path;
    PortFactSources sources;
    sources.byIdFolder = byIdFolder_;
    byIdName_ = LookUpPort(path, sources).byIdName;
}

void CPortReturnWatch::Arm() {
    // Only a device path can come back; the network adapter has none.
    if (armed_ || path_.empty() || path_.find('/') == std::string::npos) {
        return;
    }
    armed_ = true;
    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { Check(); });
    Rewatch();
    // It may be back already.
    Check();
}

void CPortReturnWatch::Disarm() {
    armed_ = false;
    if (watcher_ != nullptr) {
        // Check() runs from the watcher's own signal.
        watcher_->deleteLater();
        watcher_ = nullptr;
    }
}

void CPortReturnWatch::Rewatch() {
    QStringList folders;
    for (const std::string& target :
         {path_, byIdName_.empty() ? std::string() : byIdFolder_ + "/" + byIdName_}) {
        if (target.empty()) {
            continue;
        }
        const QString folder = QString::fromStdString(NearestFolder(target));
        if (!folder.isEmpty() && !folders.contains(folder)) {
            folders << folder;
        }
    }
    const QStringList watched = watcher_->directories();
    if (!watched.isEmpty()) {
        watcher_->removePaths(watched);
    }
    if (!folders.isEmpty()) {
        watcher_->addPaths(folders);
    }
}

void CPortReturnWatch::Check() {
    if (!armed_) {
        return;
    }
    std::string back;
    if (Exists(path_)) {
        back = path_;
    } else if (!byIdName_.empty() && Exists(byIdFolder_ + "/" + byIdName_)) {
        back = byIdFolder_ + "/" + byIdName_;
    }
    if (back.empty()) {
        // A folder on the way may have appeared (udev makes /dev/serial/by-id
        // with the first adapter).
        Rewatch();
        return;
    }
    Disarm();
    emit Returned(QString::fromStdString(back));
}
