#include "windows/main/main_window.h"

#include "batch/run_command.h"
#include "windows/about/about_box.h"
#include "windows/common/classic_frame.h"
#include "windows/common/fitting_indicators.h"
#include "windows/common/menu_bar_keys.h"
#include "windows/common/placement.h"
#include "windows/common/twips.h"
#include "windows/common/window_services.h"
#include "windows/common/window_setup.h"
#include "windows/common/wrapping_controls.h"
#include "windows/help/help_window.h"
#include "windows/main/run_input_guard.h"
#include "windows/main/window_run_progress.h"
#include "windows/syntax_select/syntax_select_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QListWidget>
#include <QMenuBar>
#include <QRadioButton>

namespace kalvero {

const char* const kNoItemSelectedMessage = "No Item selected to be removed";

FormInstance<MainWindow> MAIN;

namespace {
template <class Control>
Control* Place(Control* control, const char* name, double left, double top, double width,
               double height) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(TwipsRect(left, top, width, height, control->screen()));
    return control;
}
} // namespace

MainWindow::MainWindow()
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("MAIN"));
    setWindowTitle(QStringLiteral("SPSS - KALVERO"));
    SetUpWindow(*this);

    CreateMenu();
    CreateControls();
    SetTabOrder();
    const int menuHeight = menuBar()->isNativeMenuBar() ? 0 : menuBar()->sizeHint().height();
    SetClientSizeInTwips(*this, 7515, 6465, menuHeight);
    Load();
}

void MainWindow::CreateMenu() {
    Help = menuBar()->addAction(QStringLiteral("Help"));
    Help->setObjectName(QStringLiteral("Help"));
    connect(Help, &QAction::triggered, this, &MainWindow::HelpClick);
    Info = menuBar()->addAction(QStringLiteral("About "));
    Info->setObjectName(QStringLiteral("Info"));
    connect(Info, &QAction::triggered, this, &MainWindow::InfoClick);
    new MenuBarKeys(*menuBar());
}

void MainWindow::CreateControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    QPalette cyan = client->palette();
    cyan.setColor(QPalette::Window, QColor(128, 255, 255));
    client->setPalette(cyan);
    client->setAutoFillBackground(true);
    setCentralWidget(client);

    Command1 =
        Place(new WrappingPushButton(QStringLiteral("Add Syntax or list of syntaxes"), client),
              "Command1", 240, 360, 2055, 495);
    Command2 =
        Place(new WrappingPushButton(QStringLiteral("Remove selected item from the list "), client),
              "Command2", 240, 1440, 2055, 495);
    List1 = Place(new QListWidget(client), "List1", 2880, 360, 4335, 4740);
    // No caption names the list; its name says what the buttons put in it.
    List1->setAccessibleName(QStringLiteral("Syntaxes or lists of syntaxes"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    List1->setSortingEnabled(false);

    Frame1 =
        Place(new ClassicFrame(QStringLiteral("Input"), client), "Frame1", 240, 2520, 2415, 855);
    Option1 =
        Place(new QRadioButton(QStringLiteral("Syntax"), Frame1), "Option1", 240, 240, 1815, 195);
    Option2 = Place(new QRadioButton(QStringLiteral("Lists of syntaxes"), Frame1), "Option2", 240,
                    600, 1575, 195);

    Frame2 =
        Place(new ClassicFrame(QStringLiteral("Output"), client), "Frame2", 240, 3960, 2415, 1215);
    Option3 = Place(new QRadioButton(QStringLiteral("Viewer (.spo)"), Frame2), "Option3", 240, 240,
                    1215, 195);
    Option4 = Place(new QRadioButton(QStringLiteral("Draft (.rtf)"), Frame2), "Option4", 240, 600,
                    975, 195);

    Command3 = Place(new WrappingPushButton(QStringLiteral("Cancel"), client), "Command3", 3960,
                     5640, 1335, 495);
    Command4 = Place(new WrappingPushButton(QStringLiteral("Run"), client), "Command4", 5640, 5640,
                     1335, 495);
    Option5 = Place(new QRadioButton(QStringLiteral("Text (.txt)"), Frame2), "Option5", 240, 960,
                    1335, 195);
    Check1 = Place(
        new WrappingCheckBox(
            QStringLiteral("Shut down the computer after executing the given syntaxes"), client),
        "Check1", 240, 5640, 2415, 375);

    FitIndicators(*client);

    connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1Click);
    connect(Command2, &QPushButton::clicked, this, &MainWindow::Command2Click);
    connect(Command3, &QPushButton::clicked, this, &MainWindow::Command3Click);
    connect(Command4, &QPushButton::clicked, this, &MainWindow::Command4Click);
}

void MainWindow::SetTabOrder() {
    QWidget* const order[] = {Command1, Command2, List1,    Option1, Option2, Option3,
                              Option4,  Command3, Command4, Option5, Check1};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MainWindow::Load() {
    PlaceFifthAcrossCentred(*this);
    Option1->setChecked(true);
    Option3->setChecked(true);
}

void MainWindow::Command1Click() {
    SyntaxSelectWindow& dialog = SYNT_SELECT.Load();
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

void MainWindow::Command2Click() {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    if (selected.isEmpty()) {
        Services().messages->ShowMessage(kNoItemSelectedMessage);
        return;
    }
    delete List1->takeItem(List1->row(selected.front()));
    List1->clearSelection();
    List1->setCurrentRow(-1);
}

void MainWindow::Command3Click() {
    try {
        SYNT_SELECT.Unload();
    } catch (...) {
    }
    try {
        close();
    } catch (...) {
    }
}

void MainWindow::Command4Click() {
    // Runs never overlap; input is dropped during a run, this is a backstop.
    if (RunInputGuard::Active())
        return;
    try {
        SYNT_SELECT.Unload();
    } catch (...) {
    }
    try {
        const RunSettings settings = ReadRunSettings();
        WindowRunProgress progress(*this);
        const RunInputGuard guard;
        const WindowServices& services = Services();
        StartRun(settings, progress,
                 RunServices{*services.engines, *services.messages, *services.shutDown,
                             *services.files});
    } catch (...) {
    }
}

void MainWindow::HelpClick() {
    OpenHelpWindow();
}

void MainWindow::InfoClick() {
    OpenAboutBox();
}

void MainWindow::MinimiseMainWindow() {
    setWindowState(windowState() | Qt::WindowMinimized);
}

void MainWindow::AppendEntry(const QString& entry) {
    List1->addItem(entry);
}

RunSettings MainWindow::ReadRunSettings() const {
    RunSettings settings;
    settings.entries.reserve(static_cast<std::size_t>(List1->count()));
    for (int row = 0; row < List1->count(); ++row)
        settings.entries.push_back(QFile::encodeName(List1->item(row)->text()).toStdString());
    settings.inputMode = Option2->isChecked() ? InputMode::SyntaxLists : InputMode::SyntaxFiles;
    if (Option4->isChecked())
        settings.outputFormat = OutputFormat::Draft;
    else if (Option5->isChecked())
        settings.outputFormat = OutputFormat::Text;
    else
        settings.outputFormat = OutputFormat::Viewer;
    settings.shutDownAfterRun = Check1->isChecked();
    return settings;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    MAIN.Forget(this);
    event->accept();
}

} // namespace kalvero
