#include "cli/progress_line.h"

#include <algorithm>

namespace kalvero {
namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string CutToColumns(const std::string& text, int columns) {
    int used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsContinuationByte(text[i]))
            continue;
        if (used == columns)
            return text.substr(0, i);
        ++used;
    }
    return text;
}

std::string Duration(double seconds) {
    const long whole = static_cast<long>(seconds + 0.5);
    if (whole < 60)
        return std::to_string(whole) + " s";
    if (whole < 3600)
        return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
    return std::to_string(whole / 3600) + " h " + std::to_string(whole % 3600 / 60) + " min";
}

ProgressLine::ProgressLine(std::size_t total, int workers)
    : total_(total), workers_(std::max(1, workers)) {}

void ProgressLine::Started(std::size_t index, const std::string& name, Clock::time_point when) {
    running_[index] = Running{BaseName(name), when};
}

void ProgressLine::Ended(std::size_t index, bool failed, double seconds) {
    running_.erase(index);
    ++ended_;
    failed_ += failed ? 1 : 0;
    endedSeconds_ += seconds;
}

double ProgressLine::SecondsLeft(Clock::time_point now) const {
    // The estimate waits for a few files, so that the first slow start does
    // not set it.
    if (ended_ < 3 || ended_ >= total_)
        return -1;
    const double average = endedSeconds_ / static_cast<double>(ended_);
    const std::size_t waiting = total_ - ended_ - running_.size();
    double left = average * static_cast<double>(waiting);
    for (const auto& [index, running] : running_)
        left += std::max(0.0, average - std::chrono::duration<double>(now - running.since).count());
    return left / workers_;
}

std::string ProgressLine::Text(Clock::time_point now, int width) const {
    std::string line = "[" + std::to_string(ended_) + "/" + std::to_string(total_) + "] " +
                       std::to_string(failed_) + " failed";
    const double left = SecondsLeft(now);
    if (left >= 0)
        line += ", about " + Duration(left) + " left";
    if (!running_.empty()) {
        line += ", running";
        for (const auto& [index, running] : running_)
            line += " " + running.name;
    }
    return CutToColumns(line, std::max(1, width - 1));
}

} // namespace kalvero
