#include "windows/syntax_select/file_system_lists.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <QStyle>

#include <algorithm>

namespace kalvero {

namespace {
constexpr int kPathRole = Qt::UserRole;

// Kernel and pseudo file systems that hold no user files.
bool IsPseudoFileSystem(const QByteArray& type) {
    static const QSet<QByteArray> pseudo = {
        "proc",     "sysfs",    "cgroup",         "cgroup2",    "devpts",
        "mqueue",   "debugfs",  "tracefs",        "securityfs", "pstore",
        "bpf",      "configfs", "fusectl",        "hugetlbfs",  "binfmt_misc",
        "autofs",   "efivarfs", "selinuxfs",      "nsfs",       "rpc_pipefs",
        "devtmpfs", "ramfs",    "fuse.gvfsd-fuse"};
    return pseudo.contains(type);
}

bool IsReadableDirectory(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && info.isReadable() && info.isExecutable();
}
} // namespace

QStringList MountRoots() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!volume.isValid() || !volume.isReady() || IsPseudoFileSystem(volume.fileSystemType()))
            continue;
        if (root != QLatin1String("/") && !IsReadableDirectory(root))
            continue;
        if (!roots.contains(root))
            roots.push_back(root);
    }
    std::sort(roots.begin(), roots.end());
    roots.removeAll(QStringLiteral("/"));
    roots.prepend(QStringLiteral("/"));
    return roots;
}

QString EntryFor(const QString& directory, const QString& fileName) {
    if (directory.endsWith(QLatin1Char('/')))
        return directory + fileName;
    return directory + QLatin1Char('/') + fileName;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    addItems(MountRoots());
}

void DriveList::ShowDriveOf(const QString& path) {
    const QString root = QStorageInfo(path).rootPath();
    const bool blocked = blockSignals(true);
    int index = findText(root);
    if (index < 0 && !root.isEmpty()) {
        addItem(root);
        index = count() - 1;
    }
    setCurrentIndex(index < 0 ? 0 : index);
    blockSignals(blocked);
}

DirectoryList::DirectoryList(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(12);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Opening an entry (double-click or Enter) makes it the current directory.
    connect(this, &QTreeWidget::itemActivated, this, &DirectoryList::Open);
}

bool DirectoryList::SetPath(const QString& path) {
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    if (!IsReadableDirectory(clean))
        return false;
    if (clean == path_)
        return true;
    path_ = clean;
    Rebuild();
    emit Change();
    return true;
}

void DirectoryList::Rebuild() {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

    // The root, then each parent down to the current directory.
    auto* current = new QTreeWidgetItem(this, QStringList(QStringLiteral("/")));
    current->setIcon(0, open);
    current->setData(0, kPathRole, QStringLiteral("/"));
    QString walked;
    const QStringList parts = path_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        walked += QLatin1Char('/') + part;
        auto* item = new QTreeWidgetItem(current, QStringList(part));
        item->setIcon(0, open);
        item->setData(0, kPathRole, walked);
        current->setExpanded(true);
        current = item;
    }

    const QStringList subdirectories = QDir(path_).entryList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QString& name : subdirectories) {
        auto* item = new QTreeWidgetItem(current, QStringList(name));
        item->setIcon(0, closed);
        item->setData(0, kPathRole, EntryFor(path_, name));
    }
    current->setExpanded(true);
    setCurrentItem(current);
    ShowCurrentWithSubdirectories();
}

void DirectoryList::ShowCurrentWithSubdirectories() {
    QTreeWidgetItem* current = currentItem();
    if (!current)
        return;
    if (current->childCount() > 0)
        scrollToItem(current->child(current->childCount() - 1));
    // Brought into view from below, the current directory lands at the top.
    scrollToItem(current);
}

void DirectoryList::showEvent(QShowEvent* event) {
    QTreeWidget::showEvent(event);
    // Until the list is shown, its viewport has no size to scroll in.
    ShowCurrentWithSubdirectories();
}

void DirectoryList::Open(QTreeWidgetItem* item) {
    if (item)
        SetPath(item->data(0, kPathRole).toString());
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
}

void FileList::SetPath(const QString& path) {
    path_ = path;
    clear();
    // Hidden files and special files (devices, sockets, pipes) are left out.
    addItems(QDir(path).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware));
    setCurrentRow(-1);
    clearSelection();
}

} // namespace kalvero
