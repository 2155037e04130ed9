#include "windows/syntax_select/syntax_select_window.h"

#include "windows/common/placement.h"
#include "windows/common/twips.h"
#include "windows/common/window_setup.h"
#include "windows/common/wrapping_controls.h"
#include "windows/main/main_window.h"

#include <QCloseEvent>
#include <QDir>

namespace kalvero {

FormInstance<SyntaxSelectWindow> SYNT_SELECT;

SyntaxSelectWindow::SyntaxSelectWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("SYNT_SELECT"));
    setWindowTitle(QStringLiteral("Syntax Selection "));
    SetUpWindow(*this);
    SetClientSizeInTwips(*this, 4845, 5430);
    CreateControls();
    Load();
}

void SyntaxSelectWindow::CreateControls() {
    Drive1 = new DriveList(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    // No label stands beside the lists; their names say what they list.
    Drive1->setAccessibleName(QStringLiteral("Drives"));
    Drive1->view()->setAccessibleName(QStringLiteral("Drives"));
    Drive1->setGeometry(TwipsRect(240, 480, 1575, 315, screen()));
    Dir1 = new DirectoryList(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setAccessibleName(QStringLiteral("Folders"));
    Dir1->setGeometry(TwipsRect(240, 1080, 4215, 990, screen()));
    File1 = new FileList(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setAccessibleName(QStringLiteral("Files"));
    File1->setGeometry(TwipsRect(240, 2400, 4215, 1650, screen()));
    Command1 = new WrappingPushButton(QStringLiteral("EXIT "), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(TwipsRect(240, 4440, 2175, 735, screen()));

    setTabOrder(Drive1, Dir1);
    setTabOrder(Dir1, File1);
    setTabOrder(File1, Command1);

    connect(Drive1, &QComboBox::currentIndexChanged, this, &SyntaxSelectWindow::Drive1Change);
    connect(Dir1, &DirectoryList::Change, this, &SyntaxSelectWindow::Dir1Change);
    // A pick is a click, or Enter or Space on the current file.
    connect(File1, &QListWidget::itemClicked, this, &SyntaxSelectWindow::File1Click);
    connect(File1, &FileList::KeyPick, this, &SyntaxSelectWindow::File1Click);
    connect(Command1, &QPushButton::clicked, this, &SyntaxSelectWindow::Command1Click);
}

void SyntaxSelectWindow::Load() {
    if (const MainWindow* main = MAIN.Loaded()) {
        const TwipsPoint position = OuterPositionInTwips(*main);
        const TwipsSize size = OuterSizeInTwips(*main);
        MoveToTwips(*this, RightOf(position.left, position.top, size.width));
    }
    const QString start = QDir::currentPath();
    Drive1->ShowDriveOf(start);
    if (!Dir1->SetPath(start))
        Dir1->SetPath(QStringLiteral("/"));
}

void SyntaxSelectWindow::Drive1Change() {
    // A file system that cannot be read leaves the lists as they were.
    Dir1->SetPath(Drive1->Drive());
}

void SyntaxSelectWindow::Dir1Change() {
    File1->SetPath(Dir1->Path());
}

void SyntaxSelectWindow::File1Click(QListWidgetItem* item) {
    if (!item)
        return;
    // With the main window closed by its close box there is no list to add to.
    if (MainWindow* main = MAIN.Loaded())
        main->AppendEntry(EntryFor(Dir1->Path(), item->text()));
}

void SyntaxSelectWindow::Command1Click() {
    close();
}

void SyntaxSelectWindow::closeEvent(QCloseEvent* event) {
    SYNT_SELECT.Forget(this);
    event->accept();
}

} // namespace kalvero
