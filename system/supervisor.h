// The supervisor kalvero-supervise (system/supervise/) from the program's
// side: where it is, and a watch over the engine's folder.
//
// A parent-death signal reaches only a direct child, and a process group
// outlives its parent; so each pspp runs under a supervisor that is a child
// subreaper (ChildRequest::supervisor), and each engine keeps one more,
// without a program, over its folder for the moments between two syntax
// files. Should this program die, however it dies, they end everything a
// syntax file started and remove the folder at once.
#pragma once

#include <QString>

#include <string>
#include <sys/types.h>

namespace kalvero {

inline constexpr const char* kSupervisorName = "kalvero-supervise";

// The folder of the running program (/proc/self/exe, links resolved).
QString ProgramFolder();

// The supervisor of a program in programFolder: beside it (in a build), else
// in the libexec folder of its installation; empty when it is in neither.
QString FindSupervisor(const QString& programFolder);
// The places FindSupervisor looks, for a message: "A or B".
std::string SupervisorPlaces(const QString& programFolder);

// A supervisor without a program over folder: should this program die, it
// removes the folder. Ended, leaving the folder alone, when destroyed.
class FolderWatch {
public:
    FolderWatch() = default;
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Starts the watch; returns why it could not, or nothing.
    std::string Start(const QString& supervisor, const std::string& folder);
    // Ends the watch and waits for it; the destructor does the same.
    void End();

private:
    pid_t pid_ = 0;
};

} // namespace kalvero
