// The album file dialog: options, pre-selection and the restored folder.
#include "widgets/OrgFileDlg.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>

#include "widgets/FileDialog.h"

COrgFileDlg::COrgFileDlg(bool open, const QString& initialPath, const QString& filter,
                         QWidget* parent)
    : QFileDialog(parent),
      open_(open),
      initialPath_(initialPath),
      filter_(filter.contains(QLatin1Char('|')) ? FileDialog::FilterFromPipes(filter) : filter),
      savedCurrentDir_(QDir::currentPath()) {
    // The widget-based dialog, so the file list can be reached for the
    // pre-selection; it also behaves the same on every desktop.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    setNameFilter(filter_);
    const QFileInfo initial(initialPath);
    initialName_ = initial.fileName();
    if (!initialPath.isEmpty() && initial.absoluteDir().exists()) {
        setDirectory(initial.absolutePath());
    }
    if (!initialName_.isEmpty()) {
        selectFile(initialName_);
    }
    if (auto* files = findChild<QFileSystemModel*>()) {
        connect(files, &QFileSystemModel::directoryLoaded, this, [this](const QString& folder) {
            if (QDir(folder) == directory()) {
                PreselectIn(folder);
            }
        });
    }
    connect(this, &QFileDialog::directoryEntered, this, &COrgFileDlg::PreselectIn);
}

COrgFileDlg::~COrgFileDlg() {
    QDir::setCurrent(savedCurrentDir_);
}

void COrgFileDlg::PreselectIn(const QString& folder) {
    auto* files = findChild<QFileSystemModel*>();
    const QFileInfo candidate(QDir(folder).filePath(initialName_));
    // The exact name only (case matters).
    const bool present =
        !initialName_.isEmpty() && candidate.exists() && candidate.fileName() == initialName_;
    const QModelIndex source =
        files && present ? files->index(candidate.filePath()) : QModelIndex();
    // The folder's list and detail views (not the side bar of places).
    for (const char* name : {"listView", "treeView"}) {
        auto* view = findChild<QAbstractItemView*>(QLatin1String(name));
        if (!view || !view->selectionModel()) {
            continue;
        }
        view->clearSelection();
        QModelIndex index = source;
        if (auto* proxy = qobject_cast<QAbstractProxyModel*>(view->model())) {
            index = proxy->mapFromSource(source);
        }
        if (index.isValid()) {
            view->selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            view->scrollTo(index);
        }
    }
}

QString COrgFileDlg::Run() {
    if (auto answer =
            FileDialog::SeamAnswer(open_ ? FileDialog::Kind::kOpen : FileDialog::Kind::kSave,
                                   windowTitle(), initialPath_, filter_)) {
        return *answer;
    }
    if (exec() != QDialog::Accepted) {
        return QString();
    }
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}
