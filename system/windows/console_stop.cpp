#include "system/windows/console_stop.h"

#include "batch/run_stop.h"

#include <windows.h>

#include <atomic>

namespace kalvero {
namespace {

constexpr int kSigHup = 1;
constexpr int kSigInt = 2;
constexpr int kSigTerm = 15;

std::atomic<int> stopSignal{0};

// Runs on a thread that the system starts for each event.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    const int signal = SignalForConsoleEvent(event);
    if (signal == 0)
        return FALSE;
    if (stopSignal.exchange(signal) != 0)
        TerminateProcess(GetCurrentProcess(), 128 + signal);
    RequestStop("ended by " + ConsoleEventName(event));
    // Windows ends the program as soon as this returns from a closed
    // console (or a few seconds later): the batch's own end comes first.
    if (event == CTRL_CLOSE_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

} // namespace

void StopOnConsoleEvents() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

int ConsoleStopSignal() {
    return stopSignal.load();
}

int SignalForConsoleEvent(unsigned long event) {
    switch (event) {
    case CTRL_C_EVENT:
        return kSigInt;
    case CTRL_BREAK_EVENT:
        return kSigTerm;
    case CTRL_CLOSE_EVENT:
        return kSigHup;
    default:
        return 0;
    }
}

std::string ConsoleEventName(unsigned long event) {
    switch (event) {
    case CTRL_C_EVENT:
        return "Ctrl+C";
    case CTRL_BREAK_EVENT:
        return "Ctrl+Break";
    case CTRL_CLOSE_EVENT:
        return "closing the console";
    default:
        return "a console event";
    }
}

} // namespace kalvero
