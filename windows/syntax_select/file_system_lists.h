// The three lists of the syntax selection dialog: the mounted file systems by
// their root paths (DriveList), a classic directory list showing the current
// directory with its parents above and its subdirectories below, each level
// indented (DirectoryList), and the files of one directory that are not
// hidden (FileList). Paths are absolute and use "/". The directory list is a
// list, not a tree, so that a screen reader meets no column header in it.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QStringList>

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

class DirectoryList : public QListWidget {
    Q_OBJECT
public:
    explicit DirectoryList(QWidget* parent);
    QString Path() const { return path_; }
    // Makes path the current directory and emits Change; returns false and
    // changes nothing when the directory cannot be read.
    bool SetPath(const QString& path);
    // The current directory's row: its parents from the root down stand
    // above it, its subdirectories below it.
    int CurrentDirectoryRow() const { return currentRow_; }

signals:
    void Change();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Rebuild();
    // Scrolls so that the current directory and its subdirectories are in
    // view, with as many of its parents above them as fit.
    void ShowCurrentWithSubdirectories();
    void Open(QListWidgetItem* item);

    QString path_;
    int currentRow_ = 0;
};

class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent);
    QString Path() const { return path_; }
    // Lists the directory's files, none selected.
    void SetPath(const QString& path);

signals:
    // A file was picked by the keyboard (Enter or Space on the current file).
    void KeyPick(QListWidgetItem* item);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString path_;
};

} // namespace kalvero
