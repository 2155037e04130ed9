// A stand-in for kalvero-supervise in the tests of time limits, started as
// the supervisor is (PARENT FOLDER PROGRAM [ARGUMENT]) but with PROGRAM the
// moment, on the monotonic clock in nanoseconds, just before the test asked
// for the child. It runs until SIGTERM, or with ARGUMENT until that many
// milliseconds after the moment (then exits 0). Ended by SIGTERM, it prints
// how long it has been since the moment: "ran 1503 ms".
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

long long Now() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4)
        return 125;
    const long long moment = std::atoll(argv[3]);
    sigset_t term;
    ::sigemptyset(&term);
    ::sigaddset(&term, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &term, nullptr);
    int signal = -1;
    if (argc > 4) {
        const long long end = moment + std::atoll(argv[4]) * 1000000LL;
        for (long long left = end - Now(); left > 0 && signal < 0; left = end - Now()) {
            const timespec wait{static_cast<time_t>(left / 1000000000LL), left % 1000000000LL};
            signal = ::sigtimedwait(&term, nullptr, &wait);
        }
        if (signal < 0)
            return 0;
    } else {
        while (signal < 0)
            signal = ::sigwaitinfo(&term, nullptr);
    }
    std::printf("ran %lld ms\n", (Now() - moment) / 1000000LL);
    return 0;
}
