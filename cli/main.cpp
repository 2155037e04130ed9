// kalvero-run on Linux: the PSPP engine, the POSIX file system and the
// signals that stop a batch. SIGINT, SIGTERM, SIGHUP and SIGUSR1 are blocked
// in every thread (children unblock them) and taken by one thread of their
// own: the first stops the batch cleanly, a second ends the program at once.
// A signal that was ignored when the program started (SIGHUP under nohup)
// stays ignored.
#include "cli/kalvero_run.h"
#include "engine/engine_folder.h"
#include "engine/pspp_engine.h"
#include "system/local_file_system.h"
#include "system/stop_signals.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace kalvero {
namespace {

std::atomic<int> endingSignal{0};

sigset_t BlockStopSignals() {
    sigset_t stopSignals;
    ::sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) {
        struct sigaction now {};
        if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_IGN)
            continue;
        ::sigaddset(&stopSignals, signal);
    }
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

void TakeStopSignals(const sigset_t& stopSignals) {
    std::thread([stopSignals] {
        for (;;) {
            int signal = 0;
            if (::sigwait(&stopSignals, &signal) != 0)
                continue;
            if (endingSignal.exchange(signal) != 0)
                ::_exit(128 + signal);
            RequestStopForSignal(signal);
        }
    }).detach();
}

class LinuxPlatform : public CliPlatform {
public:
    FileSystem& Files() override { return files_; }

    std::unique_ptr<EngineFactory> Engines(std::chrono::seconds timeLimit) override {
        return std::make_unique<PsppEngineFactory>(timeLimit);
    }

    void CleanUpAfterEarlierRuns() override { RemoveStaleEngineFolders(); }

    std::string HostName() override {
        char name[256] = {};
        return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
    }

    int LiveLineWidth() override {
        const char* term = std::getenv("TERM");
        if (::isatty(STDERR_FILENO) != 1 || !term || std::strcmp(term, "dumb") == 0)
            return 0;
        struct winsize size {};
        if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
            return size.ws_col;
        return 80;
    }

    int EndingSignal() override { return endingSignal.load(); }

private:
    LocalFileSystem files_;
};

} // namespace
} // namespace kalvero

int main(int argc, char** argv) {
    using namespace kalvero;
    const sigset_t blocked = BlockStopSignals();
    // Under a locale that is not UTF-8 (cron's "C"), pspp reads syntax files
    // as UTF-8 all the same.
    UseUtf8Locale();
    TakeStopSignals(blocked);
    LinuxPlatform platform;
    return KalveroRun(argc, argv, platform);
}
