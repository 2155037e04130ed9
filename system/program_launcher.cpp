#include "system/program_launcher.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <stdexcept>

namespace kalvero {

void DetachedProgramLauncher::Start(const std::string& commandLine) {
    if (commandLine.empty())
        throw std::runtime_error("Cannot start a program: no path given");
    // The whole command line is the program's path; it is neither split nor
    // quoted nor handed to a shell.
    QProcess process;
    process.setProgram(QFile::decodeName(commandLine.c_str()));
    if (!process.startDetached()) {
        const std::string reason = process.errorString().toStdString();
        throw std::runtime_error("Cannot start " + commandLine +
                                 (reason.empty() ? std::string() : ": " + reason));
    }
}

bool DetachedProgramLauncher::FileExists(const std::string& path) {
    return !path.empty() && QFileInfo(QFile::decodeName(path.c_str())).isFile();
}

} // namespace kalvero
