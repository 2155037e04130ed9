#include "system/windows/process_job.h"

#include "system/windows/wide_text.h"

#include <tlhelp32.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace kalvero {
namespace {

constexpr DWORD kAccess =
    PROCESS_SET_QUOTA | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE;

[[noreturn]] void Fail(const std::string& what, DWORD processId) {
    throw std::runtime_error("Cannot hold the process " + std::to_string(processId) + " (" + what +
                             "): " + Win32Reason(GetLastError()));
}

bool StartTime(HANDLE process, FILETIME& start) {
    FILETIME ended, kernel, user;
    return GetProcessTimes(process, &start, &ended, &kernel, &user) != 0;
}

struct Started {
    DWORD id;
    DWORD parent;
};

std::vector<Started> AllProcesses() {
    std::vector<Started> all;
    const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return all;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry))
        all.push_back(Started{entry.th32ProcessID, entry.th32ParentProcessID});
    return all;
}

} // namespace

ProcessJob::ProcessJob(DWORD processId) : processId_(processId) {
    job_ = Handle(CreateJobObjectW(nullptr, nullptr));
    if (!job_)
        Fail("a job for it", processId);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job_.Get(), JobObjectExtendedLimitInformation, &limits,
                                 sizeof limits))
        Fail("kill-on-close", processId);
    process_ = Handle(OpenProcess(kAccess, FALSE, processId));
    if (!process_)
        Fail("open it", processId);
    if (!AssignProcessToJobObject(job_.Get(), process_.Get()))
        Fail("put it into a job", processId);
    FILETIME start;
    if (StartTime(process_.Get(), start))
        AddStartedBy(processId, start);
}

// Adds the processes that parentId started before it joined the job, and
// theirs. A process whose parent's id was taken over by a later process is
// younger than its supposed parent, and left alone.
void ProcessJob::AddStartedBy(DWORD parentId, const FILETIME& parentStart) {
    for (const Started& process : AllProcesses()) {
        if (process.parent != parentId || process.id == parentId)
            continue;
        const Handle child(OpenProcess(kAccess, FALSE, process.id));
        FILETIME start;
        if (!child || !StartTime(child.Get(), start) || CompareFileTime(&start, &parentStart) < 0)
            continue;
        BOOL inJob = FALSE;
        if (IsProcessInJob(child.Get(), job_.Get(), &inJob) && inJob)
            continue;
        if (AssignProcessToJobObject(job_.Get(), child.Get()))
            AddStartedBy(process.id, start);
    }
}

void ProcessJob::EndAll() {
    TerminateJobObject(job_.Get(), ERROR_TIMEOUT);
}

bool ProcessJob::WaitForEnd(DWORD timeoutMs) const {
    return WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

} // namespace kalvero
