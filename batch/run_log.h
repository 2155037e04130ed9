// The run log of a batch, a journal that leads back after any fault: a
// "planned" line for each syntax file before the batch starts (all in one
// write), then one line for each as it ends. After a crash, a power loss or
// a killed program, every file whose last line is not ok is known, and
// --retry-failed runs exactly those.
//
// Ten tab-separated fields, named by the header line that starts the log:
// entry, line in its list file (empty when not from a list), syntax file,
// output path, start time (RFC 3339 with its offset), seconds, outcome,
// reason, host, and how the engine's run ended ("exit 1", "signal 9"). The
// outcome is planned, ok, ok-with-errors, failed, timed-out or stopped. A
// tab, line end or backslash inside a field is written \t, \n, \r or \\, and
// a "#" that would start a line as \#, since lines starting with "#" are
// comments. Logs of eight fields, written before host and status were
// logged, are read too. Lines are appended whole under a lock, so that
// several programs, on several machines, may share one log; a line cut short
// by a crash or a full disk is skipped when read, saying so, and the next
// line starts on a line of its own.
#pragma once

#include "batch/batch_runner.h"
#include "batch/file_system.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvero {

extern const char* const kLogHeader;

// A field as the log writes it: tabs, line ends and backslashes escaped,
// and a "#" at its start.
std::string EscapedField(const std::string& field);

// when as RFC 3339 local time with its offset: 2026-12-09T02:20:17+01:00.
std::string Rfc3339(std::chrono::system_clock::time_point when);

std::string LogLine(const Job& job, const JobResult& result, const std::string& host);
std::string PlannedLine(const Job& job, std::chrono::system_clock::time_point when,
                        const std::string& host);

// One line of a log read back.
struct LogEntry {
    Job job; // entry, line, syntax file and output path
    std::string outcome;
    std::string reason;
};
struct LogContent {
    std::vector<LogEntry> entries;
    std::vector<std::string> skipped; // lines that were not read, and why
};
// The lines of a log's content. Throws std::runtime_error naming path when
// no line of it is a log line.
LogContent ReadLogLines(const std::string& content, const std::string& path);

class RunLog {
public:
    // Opens path for appending, creating it; throws naming it and the reason.
    RunLog(const std::string& path, FileSystem& files, std::string host);
    // Appends lines in one write and flushes them to the disk; the header
    // comes first in an empty log. Throws on failure.
    void Append(const std::string& lines);
    const std::string& Host() const { return host_; }

private:
    std::unique_ptr<AppendFile> file_;
    std::string host_;
};

struct RetrySet {
    std::vector<Job> jobs;              // to plan again
    std::optional<OutputFormat> format; // of the outputs the log names
    std::vector<std::string> skipped;   // lines of the log that were not read
};

// The syntax files whose last line in the log at path is not ok or
// ok-with-errors (failed, timed-out, stopped, or planned and never ended),
// in the order they first appear. A list file that could not be read comes
// back as the list file, unless a later line ran something of it.
RetrySet JobsToRetry(const std::string& path, FileSystem& files);

} // namespace kalvero
