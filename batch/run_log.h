// The run log of a batch: one line per syntax file as it ends, with eight
// tab-separated fields: entry, line in its list file (empty when not from a
// list), syntax file, output path, start time (RFC 3339, local time with its
// offset), seconds, outcome and reason. A tab, line end or backslash inside
// a field is written \t, \n, \r or \\, and a "#" that would start a line as
// \#, since lines starting with "#" are comments. Lines are appended whole
// under a lock, so that several programs, on several machines, may share one
// log.
#pragma once

#include "batch/batch_runner.h"
#include "batch/file_system.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace kalvero {

std::string LogLine(const Job& job, const JobResult& result);

// One line of a log read back.
struct LogEntry {
    Job job; // entry, line and syntax file
    std::string outcome;
};
// The entries of a log's content; throws std::runtime_error naming path and
// the line when a line is not a log line.
std::vector<LogEntry> ReadLogLines(const std::string& content, const std::string& path);

// when as RFC 3339 local time with its offset: 2026-12-09T02:20:17+01:00.
std::string Rfc3339(std::chrono::system_clock::time_point when);

class RunLog {
public:
    // Opens path for appending, creating it; throws naming it and the reason.
    RunLog(const std::string& path, FileSystem& files);
    // Appends lines in one write and flushes them to the disk; throws on
    // failure.
    void Append(const std::string& lines);

private:
    std::string path_;
    std::unique_ptr<AppendFile> file_;
};

// The syntax files whose last outcome in the log at path is not a success
// (failed, timed-out or stopped), in the order they first appear, as jobs to
// plan again. A list file that could not be read comes back as the list
// file, unless a later line ran something of it. Throws when the log cannot
// be read or holds a line that is not a log line.
std::vector<Job> JobsToRetry(const std::string& path, FileSystem& files);

} // namespace kalvero
