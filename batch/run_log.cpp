#include "batch/run_log.h"

#include "batch/message_text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>

namespace kalvero {
namespace {

constexpr std::size_t kFields = 10;
constexpr std::size_t kOldFields = 8; // before host and status were logged

std::string Escaped(const std::string& field) {
    std::string text;
    for (const char c : field) {
        switch (c) {
        case '\\':
            text += "\\\\";
            break;
        case '\t':
            text += "\\t";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        default:
            text += c;
        }
    }
    // A line that starts with "#" is a comment.
    if (!text.empty() && text.front() == '#')
        text.insert(0, 1, '\\');
    return text;
}

std::string Unescaped(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            text += field[i];
            continue;
        }
        const char next = field[++i];
        text += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return text;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == '\t')
            fields.emplace_back();
        else
            fields.back() += c;
    }
    return fields;
}

// Minutes east of UTC of local time at t.
long OffsetMinutes(const std::tm& local, const std::tm& utc) {
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year)
        days = local.tm_year > utc.tm_year ? 1 : -1;
    return (days * 24L + local.tm_hour - utc.tm_hour) * 60L + local.tm_min - utc.tm_min;
}

} // namespace

std::string Rfc3339(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    std::tm utc{};
    {
        // localtime and gmtime share one buffer.
        static std::mutex lock;
        const std::lock_guard<std::mutex> guard(lock);
        local = *std::localtime(&seconds);
        utc = *std::gmtime(&seconds);
    }
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = OffsetMinutes(local, utc);
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+',
                  std::labs(offset) / 60, std::labs(offset) % 60);
    return std::string(text) + zone;
}

std::string EscapedField(const std::string& field) {
    return Escaped(field);
}

const char* const kLogHeader =
    "#entry\tline\tsyntax file\toutput\tstart\tseconds\toutcome\treason\thost\tstatus\n";

namespace {

std::string Line(const Job& job, const std::string& start, const std::string& seconds,
                 const std::string& outcome, const std::string& reason, const std::string& host,
                 const std::string& status) {
    return Escaped(job.entry) + '\t' + (job.line > 0 ? std::to_string(job.line) : "") + '\t' +
           Escaped(job.syntaxFile) + '\t' + Escaped(job.outputPath) + '\t' + start + '\t' +
           seconds + '\t' + outcome + '\t' + Escaped(reason) + '\t' + Escaped(host) + '\t' +
           Escaped(status) + '\n';
}

// Reads one line into entry; false when it is not a log line.
bool ReadLine(const std::string& line, LogEntry& entry) {
    const std::vector<std::string> fields = Fields(line);
    if (fields.size() != kFields && fields.size() != kOldFields)
        return false;
    static const char* const kOutcomes[] = {"planned", "ok",        "ok-with-errors",
                                            "failed",  "timed-out", "stopped"};
    if (std::find(std::begin(kOutcomes), std::end(kOutcomes), fields[6]) == std::end(kOutcomes))
        return false;
    entry.job.entry = Unescaped(fields[0]);
    entry.job.line = fields[1].empty() ? 0 : std::atol(fields[1].c_str());
    entry.job.syntaxFile = Unescaped(fields[2]);
    entry.job.outputPath = Unescaped(fields[3]);
    entry.outcome = fields[6];
    entry.reason = Unescaped(fields[7]);
    return true;
}

} // namespace

std::string LogLine(const Job& job, const JobResult& result, const std::string& host) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", result.seconds);
    return Line(job, Rfc3339(result.started), seconds, OutcomeName(result.outcome), result.reason,
                host, result.status);
}

std::string PlannedLine(const Job& job, std::chrono::system_clock::time_point when,
                        const std::string& host) {
    return Line(job, Rfc3339(when), "", "planned", job.refusal, host, "");
}

LogContent ReadLogLines(const std::string& content, const std::string& path) {
    LogContent read;
    std::size_t start = 0;
    for (std::size_t number = 1; start < content.size(); ++number) {
        std::size_t end = content.find('\n', start);
        const bool cut = end == std::string::npos;
        if (cut)
            end = content.size();
        const std::string line = content.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        LogEntry entry;
        if (ReadLine(line, entry))
            read.entries.push_back(std::move(entry));
        else
            read.skipped.push_back("line " + std::to_string(number) +
                                   (cut ? " is cut short" : " is not a log line"));
    }
    if (read.entries.empty() && !read.skipped.empty())
        throw std::runtime_error("The run log " + ShortenName(path) + " has no log line (" +
                                 read.skipped.front() + "): it is not a run log");
    return read;
}

RunLog::RunLog(const std::string& path, FileSystem& files, std::string host)
    : file_(files.OpenForAppend(path, "the run log")), host_(std::move(host)) {}

void RunLog::Append(const std::string& lines) {
    file_->AppendLines(lines, kLogHeader);
}

namespace {

std::optional<OutputFormat> FormatOf(const std::string& outputPath) {
    for (const OutputFormat format :
         {OutputFormat::Viewer, OutputFormat::Draft, OutputFormat::Text})
        if (outputPath == OutputPathFor(outputPath, TraitsOf(format).extension))
            return format;
    return std::nullopt;
}

} // namespace

RetrySet JobsToRetry(const std::string& path, FileSystem& files) {
    struct Last {
        std::size_t order;
        Job job;
        bool success;
    };
    RetrySet retry;
    std::map<std::string, Last> last; // by syntax file, or by list file when it failed
    const LogContent content = ReadLogLines(files.ReadWholeFile(path), path);
    retry.skipped = content.skipped;
    for (std::size_t order = 0; order < content.entries.size(); ++order) {
        const LogEntry& entry = content.entries[order];
        const bool success = entry.outcome == "ok" || entry.outcome == "ok-with-errors";
        if (!entry.job.syntaxFile.empty())
            last.erase("L" + entry.job.entry);
        if (const auto format = FormatOf(entry.job.outputPath))
            retry.format = format;
        const std::string key =
            entry.job.syntaxFile.empty() ? "L" + entry.job.entry : "S" + entry.job.syntaxFile;
        auto [found, added] = last.try_emplace(key, Last{order, entry.job, success});
        if (!added)
            found->second.success = success;
    }
    std::map<std::size_t, Job> again; // in order of first appearance
    for (const auto& [key, found] : last)
        if (!found.success)
            again.emplace(found.order, found.job);
    PlanRules rules;
    rules.absoluteNames = true;
    for (const auto& [order, job] : again) {
        if (!job.syntaxFile.empty()) {
            retry.jobs.push_back(job);
            continue;
        }
        for (Job& listed : ReadEntries({job.entry}, InputMode::SyntaxLists, rules, files))
            retry.jobs.push_back(std::move(listed));
    }
    return retry;
}

} // namespace kalvero
