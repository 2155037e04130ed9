// SIGTERM, SIGINT and SIGHUP end a run cleanly: the signal only wakes the
// event loop (through a pipe), which then asks the run to stop (the engine
// ends its pspp and removes its folder) and hands the signal to onSignal,
// which normally ends the program with 128 + the signal's number.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace kalvero {

// Asks for a stop because the program received signal: "ended by the signal
// SIGTERM".
void RequestStopForSignal(int signal);

class StopOnSignals : public QObject {
public:
    explicit StopOnSignals(std::function<void(int signal)> onSignal);
    ~StopOnSignals() override;
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

private:
    void Deliver();
    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace kalvero
