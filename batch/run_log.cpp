#include "batch/run_log.h"

#include "batch/message_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <stdexcept>
#include <unistd.h>

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

std::string LocalTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    return text;
}

} // namespace

std::string LogLine(const BatchJob& job, const JobResult& result) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", result.seconds);
    return Escaped(job.entry) + '\t' + (job.line > 0 ? std::to_string(job.line) : "") + '\t' +
           Escaped(job.syntaxFile) + '\t' + Escaped(job.outputPath) + '\t' +
           LocalTime(result.started) + '\t' + seconds + '\t' + OutcomeName(result.outcome) + '\t' +
           Escaped(result.reason) + '\n';
}

RunLog::RunLog(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd_ < 0)
        throw std::runtime_error("Cannot open the run log " + ShortenName(path) + ": " +
                                 std::strerror(errno));
}

RunLog::~RunLog() {
    if (fd_ >= 0)
        ::close(fd_);
}

void RunLog::Append(const std::string& line) {
    // O_APPEND makes one write atomic on a local disk; the lock does the same
    // where the log lies on a network file system.
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    while (::fcntl(fd_, F_SETLKW, &whole) != 0 && errno == EINTR) {
    }
    const ssize_t written = ::write(fd_, line.data(), line.size());
    const int error = errno;
    const bool synced = written >= 0 && ::fdatasync(fd_) == 0;
    const int syncError = errno;
    whole.l_type = F_UNLCK;
    ::fcntl(fd_, F_SETLK, &whole);
    if (written < 0 || !synced)
        throw std::runtime_error("Cannot write to the run log " + ShortenName(path_) + ": " +
                                 std::strerror(written < 0 ? error : syncError));
    if (static_cast<std::size_t>(written) != line.size())
        throw std::runtime_error("Cannot write to the run log " + ShortenName(path_) +
                                 ": only part of a line was written");
}

std::vector<BatchJob> JobsToRetry(const std::string& path) {
    std::ifstream log(path, std::ios::binary);
    if (!log)
        throw std::runtime_error("Cannot read the run log " + ShortenName(path) + ": " +
                                 std::strerror(errno));
    struct Last {
        std::size_t order;
        BatchJob job;
        bool success;
    };
    std::map<std::string, Last> last; // by syntax file, or by list file when it failed
    std::string line;
    for (std::size_t number = 1; std::getline(log, line); ++number) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> fields = Fields(line);
        if (fields.size() != kFields)
            throw std::runtime_error("The run log " + ShortenName(path) + " has at line " +
                                     std::to_string(number) + " " + std::to_string(fields.size()) +
                                     " fields instead of 8: it is not a run log");
        BatchJob job;
        job.entry = Unescaped(fields[0]);
        job.line = fields[1].empty() ? 0 : std::atol(fields[1].c_str());
        job.syntaxFile = Unescaped(fields[2]);
        const std::string& outcome = fields[6];
        const bool success = outcome == "ok" || outcome == "ok-with-errors";
        if (!job.syntaxFile.empty())
            last.erase("L" + job.entry);
        const std::string key = (job.syntaxFile.empty() ? "L" + job.entry : "S" + job.syntaxFile);
        auto [found, added] = last.try_emplace(key, Last{number, job, success});
        if (!added)
            found->second.success = success;
    }
    std::map<std::size_t, BatchJob> retry; // in order of first appearance
    for (const auto& [key, entry] : last)
        if (!entry.success)
            retry.emplace(entry.order, entry.job);
    std::vector<BatchJob> jobs;
    for (const auto& [order, job] : retry) {
        if (!job.syntaxFile.empty()) {
            jobs.push_back(job);
            continue;
        }
        for (BatchJob& listed : ReadEntries({job.entry}, InputMode::SyntaxLists))
            jobs.push_back(std::move(listed));
    }
    return jobs;
}

} // namespace kalvero
