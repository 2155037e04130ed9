// kalvero-supervise: stands between a KALVERO program and the pspp it runs,
// so that nothing a syntax file starts outlives the program, however the
// program ends (even by SIGKILL or the OOM killer). Linux only; no Qt.
//
//     kalvero-supervise PARENT FOLDER [PROGRAM [ARGUMENT...]]
//     kalvero-supervise PARENT FOLDER --hex WORKING-FOLDER PROGRAM [ARGUMENT...]
//
// The second form gives PROGRAM's working folder and its command line as
// hex, so that names that are no valid text pass as the bytes they are.

// PARENT is the id of the program that started it, FOLDER the engine's
// temporary folder. The supervisor becomes a child subreaper, so that every
// process orphaned under it becomes its child, and asks for a real-time
// signal of its own when its parent dies.
//
// With PROGRAM it starts PROGRAM in a process group of its own (killed by the
// kernel should the supervisor die), forwards nothing, and waits. Once
// PROGRAM has ended, it ends everything left under it and exits as PROGRAM
// did: with its exit status, or by the signal that ended it. SIGTERM (the
// engine's stop or time limit) and any other signal that would end it
// (SIGINT, SIGHUP, SIGUSR1 from a job scheduler...; those ignored at its
// start stay ignored, as under nohup) end everything under it and then the
// supervisor by that signal: it never dies leaving its processes behind.
// Without PROGRAM it only keeps watch over FOLDER until such a signal.
//
// Whenever it finds its parent gone (its parent-death signal, or at its end),
// it ends everything under it and removes FOLDER at once. Exit status 125: a
// wrong command line; 127: PROGRAM could not be started (the reason is on
// standard error).
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <filesystem>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kUsage = 125;
constexpr int kCannotStart = 127;

// The parent-death signal: one that nothing else sends.
const int kParentDied = SIGRTMIN + 1;
// The signals that would end this process, which it takes to end everything
// under it first. SIGTERM is never left ignored: it is the engine's.
constexpr int kEndingSignals[] = {SIGTERM, SIGHUP,  SIGINT,  SIGQUIT,   SIGUSR1,
                                  SIGUSR2, SIGALRM, SIGPIPE, SIGVTALRM, SIGPROF};

pid_t parent = 0;

bool ParentGone() {
    return ::getppid() != parent;
}

// The direct children of this process, living or not yet reaped.
std::vector<pid_t> Children() {
    std::vector<pid_t> children;
    DIR* tasks = ::opendir("/proc/self/task");
    while (const dirent* task = tasks ? ::readdir(tasks) : nullptr) {
        if (task->d_name[0] == '.')
            continue;
        const std::string path = std::string("/proc/self/task/") + task->d_name + "/children";
        if (FILE* file = std::fopen(path.c_str(), "re")) {
            long pid = 0;
            while (std::fscanf(file, "%ld", &pid) == 1)
                children.push_back(static_cast<pid_t>(pid));
            std::fclose(file);
        }
    }
    if (tasks)
        ::closedir(tasks);
    return children;
}

// How PROGRAM ended, once it has.
struct Ending {
    pid_t program = 0;
    bool ended = false;
    int status = 0;
    void Reaped(pid_t pid, int waitStatus) {
        if (pid == program && program > 0) {
            ended = true;
            status = waitStatus;
        }
    }
};

// Reaps every child that has ended; false once there are no children left.
bool ReapEnded(Ending& ending) {
    for (;;) {
        int status = 0;
        const pid_t pid = ::waitpid(-1, &status, WNOHANG);
        if (pid > 0) {
            ending.Reaped(pid, status);
            continue;
        }
        if (pid < 0 && errno == EINTR)
            continue;
        return pid == 0;
    }
}

// Ends PROGRAM's group and every process under this one. Each round kills
// the direct children; their own children become ours as they die, and the
// next round takes them, until none is left.
void EndEverything(Ending& ending, const sigset_t& childSignal) {
    if (ending.program > 0 && !ending.ended)
        ::kill(-ending.program, SIGKILL);
    const timespec round{0, 20 * 1000 * 1000};
    for (;;) {
        for (const pid_t child : Children())
            ::kill(child, SIGKILL);
        if (!ReapEnded(ending))
            return;
        ::sigtimedwait(&childSignal, nullptr, &round);
    }
}

void RemoveFolder(const std::string& folder) {
    std::error_code ignored;
    if (!folder.empty())
        std::filesystem::remove_all(folder, ignored);
}

// Ends this process by signal, as PROGRAM ended, without a core of its own.
[[noreturn]] void EndBySignal(int signal) {
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::signal(signal, SIG_DFL);
    sigset_t only;
    ::sigemptyset(&only);
    ::sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
    std::_Exit(128 + signal);
}

// The signals this process waits for; all are blocked. An ending signal
// ignored at the start stays ignored, as it does for PROGRAM.
sigset_t TakeSignals() {
    sigset_t taken;
    ::sigemptyset(&taken);
    ::sigaddset(&taken, SIGCHLD);
    ::sigaddset(&taken, kParentDied);
    for (const int signal : kEndingSignals) {
        struct sigaction old {};
        ::sigaction(signal, nullptr, &old);
        if (signal != SIGTERM && old.sa_handler == SIG_IGN)
            continue;
        ::sigaddset(&taken, signal);
    }
    // An inherited SIG_IGN for SIGCHLD would reap children unseen.
    for (int signal = 1; signal < NSIG; ++signal)
        if (::sigismember(&taken, signal) == 1)
            ::signal(signal, SIG_DFL);
    ::sigprocmask(SIG_BLOCK, &taken, nullptr);
    return taken;
}

// Starts PROGRAM in a group of its own that dies with this process; 0 when it
// could not fork.
pid_t Start(char** program, const sigset_t& startMask) {
    const pid_t self = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0) {
        if (pid > 0)
            ::setpgid(pid, pid);
        return pid > 0 ? pid : 0;
    }
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != self)
        std::_Exit(kCannotStart);
    ::sigprocmask(SIG_SETMASK, &startMask, nullptr);
    ::execvp(program[0], program);
    std::fprintf(stderr, "kalvero-supervise: cannot start %s: %s\n", program[0],
                 std::strerror(errno));
    std::_Exit(kCannotStart);
}

// Waits until PROGRAM ends, a signal asks for the end, or the parent is
// gone; returns that signal, or 0.
int Wait(Ending& ending, const sigset_t& taken) {
    for (;;) {
        siginfo_t info{};
        const int signal = ::sigwaitinfo(&taken, &info);
        if (signal == SIGCHLD) {
            ReapEnded(ending);
            if (ending.ended)
                return 0;
        } else if (signal == kParentDied) {
            // Also sent when only the thread that started this process ends.
            if (ParentGone())
                return 0;
        } else if (signal > 0) {
            return signal;
        }
    }
}

// A word of hex digits as the bytes it stands for; false when it is none.
bool FromHex(const char* hex, std::string& bytes) {
    bytes.clear();
    const std::size_t length = std::strlen(hex);
    if (length % 2 != 0)
        return false;
    for (std::size_t i = 0; i < length; i += 2) {
        char* end = nullptr;
        const char pair[3] = {hex[i], hex[i + 1], '\0'};
        const long value = std::strtol(pair, &end, 16);
        if (*end != '\0')
            return false;
        bytes.push_back(static_cast<char>(value));
    }
    return true;
}

// After --hex: the working folder, PROGRAM and its arguments as hex, for
// names that are no valid text. Changes into the folder and keeps the
// decoded words in storage; the argument list, or none when a word is no
// hex or the folder cannot be entered.
std::vector<char*> DecodedProgram(int count, char** words, std::vector<std::string>& storage) {
    storage.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        if (!FromHex(words[i], storage[static_cast<std::size_t>(i)]))
            return {};
    if (!storage[0].empty() && ::chdir(storage[0].c_str()) != 0)
        return {};
    std::vector<char*> program;
    for (std::size_t i = 1; i < storage.size(); ++i)
        program.push_back(storage[i].data());
    program.push_back(nullptr);
    return program;
}

} // namespace

int main(int argc, char** argv) {

    char* end = nullptr;
    const long parentId = argc >= 3 ? std::strtol(argv[1], &end, 10) : 0;
    if (argc < 3 || parentId <= 1 || *end != '\0') {
        std::fprintf(stderr, "usage: kalvero-supervise PARENT FOLDER [PROGRAM [ARGUMENT...]]\n");
        return kUsage;
    }
    parent = static_cast<pid_t>(parentId);
    const std::string folder = argv[2];
    char** program = argc > 3 ? argv + 3 : nullptr;
    std::vector<std::string> storage;
    std::vector<char*> decoded;
    if (argc > 3 && std::strcmp(argv[3], "--hex") == 0) {
        decoded = argc >= 6 ? DecodedProgram(argc - 4, argv + 4, storage) : decoded;
        if (decoded.empty()) {
            std::fprintf(stderr, "kalvero-supervise: --hex needs a folder that can be entered "
                                 "and a program, as hex\n");
            return kUsage;
        }
        program = decoded.data();
    }

    // Nothing of the program's (its log, its locks) stays open in here.
    ::close_range(3, ~0U, 0);

    sigset_t startMask;
    ::sigprocmask(SIG_SETMASK, nullptr, &startMask);
    const sigset_t taken = TakeSignals();
    sigset_t childSignal;
    ::sigemptyset(&childSignal);
    ::sigaddset(&childSignal, SIGCHLD);
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    ::prctl(PR_SET_PDEATHSIG, kParentDied);

    Ending ending;
    int signal = 0;
    if (!ParentGone()) {
        if (program) {
            ending.program = Start(program, startMask);
            if (ending.program == 0) {
                std::fprintf(stderr, "kalvero-supervise: cannot start %s: %s\n", program[0],
                             std::strerror(errno));

                return kCannotStart;
            }
        }
        signal = Wait(ending, taken);
    }
    EndEverything(ending, childSignal);
    if (ParentGone()) {
        RemoveFolder(folder);
        return 0;
    }
    if (signal != 0)
        EndBySignal(signal);
    if (WIFSIGNALED(ending.status))
        EndBySignal(WTERMSIG(ending.status));
    return WIFEXITED(ending.status) ? WEXITSTATUS(ending.status) : 0;
}
