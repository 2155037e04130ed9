// Stopping a run in progress. The progress window's close box, or a signal
// to the program, asks for a stop; the engine notices it while it waits for a
// syntax file, ends the running statistics process and throws RunStopped,
// which ends the run like any other failure. The request is process-wide,
// since one program runs one batch at a time; StartRun clears it.
#pragma once

#include <stdexcept>
#include <string>

namespace kalvero {

class RunStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Asks the run in progress to stop; reason ends up in its message. The
// first reason given is kept. Safe to call from any thread.
void RequestStop(const std::string& reason);
bool StopRequested();
std::string StopReason();
void ClearStop();

// Throws RunStopped when a stop has been requested.
void ThrowIfStopRequested();

extern const char* const kStoppedByUser; // "stopped by the user"

} // namespace kalvero
