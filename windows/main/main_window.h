// The main window MAIN: the list of entries to run, the input mode, the
// output format and the shut-down choice. Its buttons open the syntax
// selection dialog, remove an entry, close the program and start a run; its
// menu opens the help window and the about box.
//
// Run: Command4Click reads the controls into RunSettings and calls StartRun
// with a WindowRunProgress (this window's MinimiseMainWindow and WAIT's
// operations) while a RunInputGuard keeps user input away from the windows.
#pragma once

#include "batch/run_settings.h"
#include "windows/common/form_instance.h"

#include <QMainWindow>

class QAction;
class QCheckBox;
class QGroupBox;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace kalvero {

extern const char* const kNoItemSelectedMessage; // "No Item selected to be removed"

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();

    QPushButton* Command1 = nullptr; // Add Syntax or list of syntaxes
    QPushButton* Command2 = nullptr; // Remove selected item from the list
    QListWidget* List1 = nullptr;    // the entries to run
    QGroupBox* Frame1 = nullptr;     // Input
    QRadioButton* Option1 = nullptr; // Syntax
    QRadioButton* Option2 = nullptr; // Lists of syntaxes
    QGroupBox* Frame2 = nullptr;     // Output
    QRadioButton* Option3 = nullptr; // Viewer (.spo)
    QRadioButton* Option4 = nullptr; // Draft (.rtf)
    QPushButton* Command3 = nullptr; // Cancel
    QPushButton* Command4 = nullptr; // Run
    QRadioButton* Option5 = nullptr; // Text (.txt)
    QCheckBox* Check1 = nullptr;     // shut down after the run
    QAction* Help = nullptr;         // menu: Help
    QAction* Info = nullptr;         // menu: About

    void Command1Click();
    void Command2Click();
    void Command3Click();
    void Command4Click();
    void HelpClick();
    void InfoClick();

    // RunProgress's one operation carried out here.
    void MinimiseMainWindow();
    // Appends an entry at the end of List1 (the selection dialog's picks).
    void AppendEntry(const QString& entry);
    // The settings of a run as the controls stand now.
    RunSettings ReadRunSettings() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenu();
    void CreateControls();
    void SetTabOrder();
    void Load();
};

extern FormInstance<MainWindow> MAIN;

} // namespace kalvero
