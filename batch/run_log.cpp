#include "batch/run_log.h"

#include "batch/message_text.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <stdexcept>

namespace kalvero {
namespace {

constexpr std::size_t kFields = 8;

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

std::string LogLine(const Job& job, const JobResult& result) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", result.seconds);
    return Escaped(job.entry) + '\t' + (job.line > 0 ? std::to_string(job.line) : "") + '\t' +
           Escaped(job.syntaxFile) + '\t' + Escaped(job.outputPath) + '\t' +
           Rfc3339(result.started) + '\t' + seconds + '\t' + OutcomeName(result.outcome) + '\t' +
           Escaped(result.reason) + '\n';
}

std::vector<LogEntry> ReadLogLines(const std::string& content, const std::string& path) {
    std::vector<LogEntry> entries;
    std::size_t start = 0;
    for (std::size_t number = 1; start < content.size(); ++number) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        const std::string line = content.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() != kFields)
            throw std::runtime_error("The run log " + ShortenName(path) + " has at line " +
                                     std::to_string(number) + " " + std::to_string(fields.size()) +
                                     " fields instead of 8: it is not a run log");
        LogEntry entry;
        entry.job.entry = Unescaped(fields[0]);
        entry.job.line = fields[1].empty() ? 0 : std::atol(fields[1].c_str());
        entry.job.syntaxFile = Unescaped(fields[2]);
        entry.job.outputPath = Unescaped(fields[3]);
        entry.outcome = fields[6];
        entries.push_back(std::move(entry));
    }
    return entries;
}

RunLog::RunLog(const std::string& path, FileSystem& files)
    : path_(path), file_(files.OpenForAppend(path, "the run log")) {}

void RunLog::Append(const std::string& lines) {
    file_->AppendLines(lines);
}

std::vector<Job> JobsToRetry(const std::string& path, FileSystem& files) {
    struct Last {
        std::size_t order;
        Job job;
        bool success;
    };
    std::map<std::string, Last> last; // by syntax file, or by list file when it failed
    const std::vector<LogEntry> entries = ReadLogLines(files.ReadWholeFile(path), path);
    for (std::size_t order = 0; order < entries.size(); ++order) {
        const LogEntry& entry = entries[order];
        const bool success = entry.outcome == "ok" || entry.outcome == "ok-with-errors";
        if (!entry.job.syntaxFile.empty())
            last.erase("L" + entry.job.entry);
        const std::string key =
            entry.job.syntaxFile.empty() ? "L" + entry.job.entry : "S" + entry.job.syntaxFile;
        auto [found, added] = last.try_emplace(key, Last{order, entry.job, success});
        if (!added)
            found->second.success = success;
    }
    std::map<std::size_t, Job> retry; // in order of first appearance
    for (const auto& [key, found] : last)
        if (!found.success)
            retry.emplace(found.order, found.job);
    std::vector<Job> jobs;
    PlanRules rules;
    rules.absoluteNames = true;
    for (const auto& [order, job] : retry) {
        if (!job.syntaxFile.empty()) {
            jobs.push_back(job);
            continue;
        }
        for (Job& listed : ReadEntries({job.entry}, InputMode::SyntaxLists, rules, files))
            jobs.push_back(std::move(listed));
    }
    return jobs;
}

} // namespace kalvero
