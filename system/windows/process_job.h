// A process and everything it starts, ended together: a Job Object with
// kill-on-close, Windows's own way of holding a tree of processes. The
// process joins the job with the processes it has already started (found by
// their parent's id); whatever any of them starts later joins by itself.
// Closing the job (the destructor, or this program ending in any way, even
// killed) ends every process in it.
#pragma once

#include "system/windows/handle.h"

#include <windows.h>

namespace kalvero {

class ProcessJob {
public:
    // Puts the process into a new job; throws std::runtime_error with the
    // system's reason when it cannot be opened or put into one.
    explicit ProcessJob(DWORD processId);
    // Ends every process of the job that is still running.
    ~ProcessJob() = default;
    ProcessJob(const ProcessJob&) = delete;
    ProcessJob& operator=(const ProcessJob&) = delete;

    // Ends every process of the job now; they are gone when this returns or
    // soon after (WaitForEnd).
    void EndAll();
    // Whether the first process has ended, waiting up to timeoutMs for it.
    bool WaitForEnd(DWORD timeoutMs) const;
    DWORD ProcessId() const { return processId_; }

private:
    void AddStartedBy(DWORD parentId, const FILETIME& parentStart);

    DWORD processId_;
    Handle job_;
    Handle process_;
};

} // namespace kalvero
