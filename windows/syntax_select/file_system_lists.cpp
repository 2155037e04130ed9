#include "windows/syntax_select/file_system_lists.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QSet>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>

#include <algorithm>

namespace kalvero {

namespace {
constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndentPerLevel = 12; // pixels

// Draws each directory indented by its level below the root.
class IndentedItems : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + Indent(index));
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(Indent(index), 0);
    }

private:
    static int Indent(const QModelIndex& index) {
        return index.data(kLevelRole).toInt() * kIndentPerLevel;
    }
};

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

DirectoryList::DirectoryList(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentedItems(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Opening an entry (double-click or Enter) makes it the current directory.
    connect(this, &QListWidget::itemActivated, this, &DirectoryList::Open);
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
    const auto add = [this](const QIcon& icon, const QString& name, const QString& path,
                            int level) {
        auto* item = new QListWidgetItem(icon, name, this);
        item->setData(kPathRole, path);
        item->setData(kLevelRole, level);
    };

    // The root, then each parent down to the current directory.
    add(open, QStringLiteral("/"), QStringLiteral("/"), 0);
    QString walked;
    const QStringList parts = path_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        walked += QLatin1Char('/') + part;
        add(open, part, walked, count());
    }
    currentRow_ = count() - 1;

    const QStringList subdirectories = QDir(path_).entryList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QString& name : subdirectories)
        add(closed, name, EntryFor(path_, name), currentRow_ + 1);
    setCurrentRow(currentRow_);
    ShowCurrentWithSubdirectories();
}

void DirectoryList::ShowCurrentWithSubdirectories() {
    if (count() == 0)
        return;
    scrollToItem(item(count() - 1));
    // Brought into view from below, the current directory lands at the top.
    scrollToItem(item(currentRow_));
}

void DirectoryList::showEvent(QShowEvent* event) {
    QListWidget::showEvent(event);
    // Until the list is shown, its viewport has no size to scroll in.
    ShowCurrentWithSubdirectories();
}

void DirectoryList::Open(QListWidgetItem* item) {
    if (item)
        SetPath(item->data(kPathRole).toString());
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
}

void FileList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (QListWidgetItem* item = currentItem()) {
            item->setSelected(true);
            emit KeyPick(item);
            return;
        }
        break;
    default:
        break;
    }
    QListWidget::keyPressEvent(event);
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
