#include "system/stop_signals.h"

#include "batch/run_stop.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace kalvero {
namespace {

int wakeUp[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(wakeUp[1], &number, 1);
    errno = saved;
}

} // namespace

void RequestStopForSignal(int signal) {
    const char* const name = ::sigabbrev_np(signal);
    RequestStop(std::string("ended by the signal SIG") + (name ? name : std::to_string(signal)));
}

StopOnSignals::StopOnSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    if (wakeUp[0] < 0 && ::pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &StopOnSignals::Deliver);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

StopOnSignals::~StopOnSignals() {
    for (const int signal : kSignals)
        ::signal(signal, SIG_DFL);
}

void StopOnSignals::Deliver() {
    unsigned char number = 0;
    while (::read(wakeUp[0], &number, 1) == 1) {
        RequestStopForSignal(number);
        if (onSignal_)
            onSignal_(number);
    }
}

} // namespace kalvero
