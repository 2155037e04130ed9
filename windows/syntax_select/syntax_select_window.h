// The syntax selection dialog SYNT_SELECT: a drive list, a directory list and
// a file list. Each click on a file appends the file's full path at once to
// the main window's List1; the dialog stays open until EXIT. Each load starts
// at the program's working directory, which the dialog never changes.
#pragma once

#include "windows/common/form_instance.h"
#include "windows/syntax_select/file_system_lists.h"

#include <QWidget>

class QListWidgetItem;
class QPushButton;

namespace kalvero {

class SyntaxSelectWindow : public QWidget {
    Q_OBJECT
public:
    SyntaxSelectWindow();

    DriveList* Drive1 = nullptr;     // the drives
    DirectoryList* Dir1 = nullptr;   // the current folder, its parents and subfolders
    FileList* File1 = nullptr;       // the files of the current folder
    QPushButton* Command1 = nullptr; // EXIT

    void Drive1Change();
    void Dir1Change();
    void File1Click(QListWidgetItem* item);
    void Command1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    void Load();
};

extern FormInstance<SyntaxSelectWindow> SYNT_SELECT;

} // namespace kalvero
