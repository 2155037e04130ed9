// The run log of a batch: one line per syntax file as it ends, with eight
// tab-separated fields: entry, line in its list file (empty when not from a
// list), syntax file, output path, start time (local, ISO 8601), seconds,
// outcome and reason. A tab, line end or backslash inside a field is written
// \t, \n, \r or \\. Lines are appended whole under a lock, so that several
// programs, on several machines, may share one log.
#pragma once

#include "batch/batch_jobs.h"

#include <string>
#include <vector>

namespace kalvero {

std::string LogLine(const BatchJob& job, const JobResult& result);

class RunLog {
public:
    // Opens path for appending, creating it; throws naming it and the reason.
    explicit RunLog(const std::string& path);
    ~RunLog();
    RunLog(const RunLog&) = delete;
    RunLog& operator=(const RunLog&) = delete;

    // Appends line in one write and flushes it to the disk; throws on failure.
    void Append(const std::string& line);

private:
    std::string path_;
    int fd_ = -1;
};

// The syntax files whose last outcome in the log at path is not a success
// (failed, timed-out or stopped), in the order they first appear, as jobs to
// plan again. A list file that could not be read comes back as the list
// file, unless a later line ran something of it. Throws when the log cannot
// be read or holds a line that is not a log line.
std::vector<BatchJob> JobsToRetry(const std::string& path);

} // namespace kalvero
