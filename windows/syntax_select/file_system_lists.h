// The three lists of the syntax selection dialog: the mounted file systems by
// their root paths (DriveList), a classic directory list showing the current
// directory with its parents above and its subdirectories below
// (DirectoryList), and the files of one directory that are not hidden
// (FileList). Paths are absolute and use "/".
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QStringList>
#include <QTreeWidget>

namespace kalvero {

// The readable mounted file systems' root paths, "/" first, then by name.
QStringList MountRoots();

// The entry for a file picked in a directory: the directory, "/" unless the
// directory already ends in one (the root), and the file name.
QString EntryFor(const QString& directory, const QString& fileName);

class DriveList : public QComboBox {
public:
    explicit DriveList(QWidget* parent);
    // Shows the file system that holds path, without a change notification.
    void ShowDriveOf(const QString& path);
    QString Drive() const { return currentText(); }
};

class DirectoryList : public QTreeWidget {
    Q_OBJECT
public:
    explicit DirectoryList(QWidget* parent);
    QString Path() const { return path_; }
    // Makes path the current directory and emits Change; returns false and
    // changes nothing when the directory cannot be read.
    bool SetPath(const QString& path);

signals:
    void Change();

protected:
    // A classic directory list shows its levels by indentation alone.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
    void showEvent(QShowEvent* event) override;

private:
    void Rebuild();
    // Scrolls so that the current directory and its subdirectories are in
    // view, with as many of its parents above them as fit.
    void ShowCurrentWithSubdirectories();
    void Open(QTreeWidgetItem* item);

    QString path_;
};

class FileList : public QListWidget {
public:
    explicit FileList(QWidget* parent);
    QString Path() const { return path_; }
    // Lists the directory's files, none selected.
    void SetPath(const QString& path);

private:
    QString path_;
};

} // namespace kalvero
