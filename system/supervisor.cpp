#include "system/supervisor.h"

#include "system/local_files.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kalvero {
namespace {

// Where the supervisor lies in an installation, from the programs' folder
// (for example "../libexec/kalvero").
constexpr const char* kFromPrograms = KALVERO_SUPERVISOR_FROM_PROGRAMS;

QStringList Candidates(const QString& programFolder) {
    const QDir folder(programFolder);
    return {folder.filePath(QString::fromLatin1(kSupervisorName)),
            QDir::cleanPath(folder.filePath(QString::fromLatin1(kFromPrograms) + QLatin1Char('/') +
                                            QString::fromLatin1(kSupervisorName)))};
}

} // namespace

QString ProgramFolder() {
    const QFileInfo program(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    return program.absolutePath();
}

QString FindSupervisor(const QString& programFolder) {
    for (const QString& candidate : Candidates(programFolder)) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isExecutable())
            return candidate;
    }
    return QString();
}

std::string SupervisorPlaces(const QString& programFolder) {
    const QStringList candidates = Candidates(programFolder);
    return FromQt(candidates.at(0)) + " or " + FromQt(candidates.at(1));
}

FolderWatch::~FolderWatch() {
    End();
}

void FolderWatch::End() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
}

std::string FolderWatch::Start(const QString& supervisor, const std::string& folder) {
    const std::string program = FromQt(supervisor);
    const std::string parent = std::to_string(::getpid());
    char* const arguments[] = {const_cast<char*>(program.c_str()),
                               const_cast<char*>(parent.c_str()), const_cast<char*>(folder.c_str()),
                               nullptr};
    // In a group of its own, away from the terminal's signals, with no
    // signal blocked and nothing of this program's open.
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t files;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_init(&files);
    sigset_t none;
    ::sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        ::posix_spawn_file_actions_addopen(&files, fd, "/dev/null", O_RDWR, 0);
    const int error =
        ::posix_spawn(&pid_, program.c_str(), &files, &attributes, arguments, environ);
    ::posix_spawn_file_actions_destroy(&files);
    ::posix_spawnattr_destroy(&attributes);
    if (error == 0)
        return std::string();
    pid_ = 0;
    return std::strerror(error);
}

} // namespace kalvero
