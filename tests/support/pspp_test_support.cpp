#include "tests/support/pspp_test_support.h"

#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace kalvero::testing {

EngineTestFolder::EngineTestFolder() {
    if (!root_.isValid())
        throw std::runtime_error("cannot create a test folder");
    const std::string root = QFile::encodeName(root_.path()).toStdString();
    files_ = root + "/files";
    temporary_ = root + "/tmp";
    std::filesystem::create_directories(files_);
    std::filesystem::create_directories(temporary_);
    if (const char* old = std::getenv("TMPDIR")) {
        hadTmpdir_ = true;
        savedTmpdir_ = old;
    }
    ::setenv("TMPDIR", temporary_.c_str(), 1);
}

EngineTestFolder::~EngineTestFolder() {
    // Names that are no valid text are beyond QTemporaryDir: the files go
    // here, byte for byte.
    std::error_code ignored;
    std::filesystem::remove_all(files_, ignored);
    if (hadTmpdir_)

        ::setenv("TMPDIR", savedTmpdir_.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

std::vector<std::string> EngineTestFolder::LeftInTemporary() const {
    std::vector<std::string> names;
    QDirIterator it(QFile::decodeName(temporary_.c_str()),
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.push_back(QFile::encodeName(it.next()).toStdString());
    return names;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(dir);
    }
    return names;
}

EnvironmentVariable::EnvironmentVariable(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
        had_ = true;
        saved_ = old;
    }
    ::setenv(name, value.c_str(), 1);
}

EnvironmentVariable::~EnvironmentVariable() {
    if (had_)
        ::setenv(name_.c_str(), saved_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

std::vector<ChildProcess> ChildrenOfThisProcess() {
    return ChildrenOf(::getpid());
}

// The parent of pid and its command name, from /proc/PID/stat ("pid (comm)
// state ppid ...", where comm may hold blanks and parentheses); 0 when it is
// gone.
pid_t ParentOf(pid_t pid, std::string* command) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos)
        return 0;
    std::istringstream rest(stat.substr(close + 1));
    std::string state;
    long parent = 0;
    rest >> state >> parent;
    if (command)
        *command = stat.substr(open + 1, close - open - 1);
    return static_cast<pid_t>(parent);
}

std::vector<ChildProcess> ChildrenOf(pid_t self) {
    std::vector<ChildProcess> children;
    for (const std::string& name : NamesIn("/proc")) {
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string command;
        if (ParentOf(static_cast<pid_t>(std::stol(name)), &command) == self)
            children.push_back({static_cast<pid_t>(std::stol(name)), command});
    }
    return children;
}

std::vector<ChildProcess> ProcessesMentioning(const std::string& text) {
    std::vector<ChildProcess> found;
    for (const std::string& name : NamesIn("/proc")) {
        if (name.find_first_not_of("0123456789") != std::string::npos ||
            name == std::to_string(::getpid()))
            continue;
        std::string line = ReadFile("/proc/" + name + "/cmdline");
        std::replace(line.begin(), line.end(), '\0', ' ');
        if (line.find(text) != std::string::npos)
            found.push_back({static_cast<pid_t>(std::stol(name)), line});
    }
    return found;
}

std::vector<ChildProcess> LeftRunning(const std::string& text) {
    std::vector<ChildProcess> left = ProcessesMentioning(text);
    for (int i = 0; i < 100 && !left.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        left = ProcessesMentioning(text);
    }
    return left;
}

namespace {

std::vector<std::string> ArgumentsOf(const std::string& pid) {
    const std::string line = ReadFile("/proc/" + pid + "/cmdline");
    std::vector<std::string> arguments;
    std::size_t start = 0;
    while (start < line.size()) {
        const std::size_t end = line.find('\0', start);
        arguments.push_back(line.substr(start, end - start));
        start = end == std::string::npos ? line.size() : end + 1;
    }
    return arguments;
}

} // namespace

std::vector<ChildProcess> PsppRunning(const std::string& syntax, const std::string& output,
                                      int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::vector<ChildProcess> found;
        for (const std::string& pid : NamesIn("/proc")) {
            if (pid.find_first_not_of("0123456789") != std::string::npos)
                continue;
            const std::vector<std::string> arguments = ArgumentsOf(pid);
            if (arguments.empty() || arguments[0].substr(arguments[0].rfind('/') + 1) != "pspp")
                continue;
            const bool writesThere =
                std::any_of(arguments.begin() + 1, arguments.end(), [&](const std::string& a) {
                    return a.compare(0, output.size(), output) == 0;
                });
            if (writesThere &&
                std::find(arguments.begin() + 1, arguments.end(), syntax) != arguments.end())
                found.push_back({static_cast<pid_t>(std::stol(pid)), arguments[0]});
        }
        // A pspp forking for HOST has a copy of itself for a moment.
        found.erase(std::remove_if(found.begin(), found.end(),
                                   [&](const ChildProcess& process) {
                                       const pid_t parent = ParentOf(process.pid);
                                       return std::any_of(found.begin(), found.end(),
                                                          [&](const ChildProcess& other) {
                                                              return other.pid == parent;
                                                          });
                                   }),
                    found.end());
        if (!found.empty() || std::chrono::steady_clock::now() > deadline)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

bool Gone(pid_t pid, int timeoutMs) {
    return WaitUntil(
        [pid] {
            if (::kill(pid, 0) != 0 && errno == ESRCH)
                return true;
            const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
            const std::size_t close = stat.rfind(')');
            return close != std::string::npos && stat.compare(close, 4, ") Z ") == 0;
        },
        timeoutMs);
}

std::vector<ChildProcess> KillMentioning(const std::string& text) {
    const std::vector<ChildProcess> found = ProcessesMentioning(text);
    for (const ChildProcess& process : found)
        ::kill(process.pid, SIGKILL);
    return found;
}

std::string RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                       int& exitCode) {
    QProcess process;
    QStringList list;
    for (const std::string& argument : arguments)
        list << QFile::decodeName(argument.c_str());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(QFile::decodeName(program.c_str()), list);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        exitCode = -1;
    else
        exitCode = process.exitCode();
    return process.readAll().toStdString();
}

CommandResult RunCommand(const Command& command) {
    QProcess process;
    QStringList arguments;
    for (const std::string& argument : command.arguments)
        arguments << QFile::decodeName(QByteArray::fromStdString(argument));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : command.environment)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(environment);
    if (!command.folder.empty())
        process.setWorkingDirectory(QFile::decodeName(command.folder.c_str()));
    if (!command.outputFile.empty())
        process.setStandardOutputFile(QFile::decodeName(command.outputFile.c_str()));
    process.start(QFile::decodeName(command.program.c_str()), arguments);
    process.write(QByteArray::fromStdString(command.input));
    process.closeWriteChannel();
    CommandResult result;
    if (process.waitForFinished(command.timeoutMs) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    else
        process.kill();
    process.waitForFinished(-1);
    result.output = process.readAllStandardOutput().toStdString();
    result.errors = process.readAllStandardError().toStdString();
    return result;
}

void ConvertWithLibreOffice(const std::vector<std::string>& documents, const std::string& format,
                            const std::string& folder) {
    // A profile of its own, so that runs in parallel do not share one.
    Command command{QStandardPaths::findExecutable(QStringLiteral("soffice")).toStdString(),
                    {"-env:UserInstallation=file://" + folder + "/libreoffice-profile",
                     "--headless", "--convert-to", format, "--outdir", folder},
                    {},
                    folder,
                    {},
                    180000,
                    {}};
    command.arguments.insert(command.arguments.end(), documents.begin(), documents.end());
    RunCommand(command);
}

std::vector<std::string> ReadBackWithLibreOffice(const std::vector<std::string>& documents,
                                                 const std::string& format) {
    const QTemporaryDir converted;
    const std::string folder = converted.path().toStdString();
    ConvertWithLibreOffice(documents, format, folder);
    std::vector<std::string> read;
    const std::string extension = format.substr(0, format.find(':'));
    for (const std::string& document : documents) {
        const std::string name = document.substr(document.rfind('/') + 1);
        read.push_back(ReadFile(folder + "/" + name.substr(0, name.rfind('.')) + "." + extension));
    }
    return read;
}

} // namespace kalvero::testing
