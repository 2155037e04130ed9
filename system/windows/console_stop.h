// Console control events as stop requests, for kalvero-run on Windows:
// Ctrl+C, Ctrl+Break and closing the console window. The first stops the
// batch cleanly (batch/run_stop.h: the running syntax file is ended with
// what it started, nothing half-written is kept, the log is completed); a
// second ends the program at once. Each event stands for the signal a Linux
// terminal sends in its place, which gives the exit status: Ctrl+C SIGINT
// (130), Ctrl+Break SIGTERM (143, what one program sends another to stop
// it), closing the console SIGHUP (129).
#pragma once

#include <string>

namespace kalvero {

// Takes the console's control events from now on.
void StopOnConsoleEvents();

// The signal of the event that stopped the batch, or 0.
int ConsoleStopSignal();

// The signal an event stands for, or 0 for one that stops nothing.
int SignalForConsoleEvent(unsigned long event);
// What the event is, as a stop's reason names it: "Ctrl+C".
std::string ConsoleEventName(unsigned long event);

} // namespace kalvero
