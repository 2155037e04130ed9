// The live line kalvero-run keeps on a terminal: syntax files done of all,
// failures so far, the files running and the time left, cut to the
// terminal's width so that it never wraps.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <string>

namespace kalvero {

class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    ProgressLine(std::size_t total, int workers);
    void Started(std::size_t index, const std::string& name, Clock::time_point when);
    void Ended(std::size_t index, bool failed, double seconds);

    // The line at now, at most width columns.
    std::string Text(Clock::time_point now, int width) const;

    // The time left: files waiting and running at the average time of the
    // files done so far, less what the running ones have run, shared out
    // among the workers; negative until a few files have ended.
    double SecondsLeft(Clock::time_point now) const;

private:
    struct Running {
        std::string name;
        Clock::time_point since;
    };
    std::size_t total_;
    int workers_;
    std::size_t ended_ = 0;
    std::size_t failed_ = 0;
    double endedSeconds_ = 0;
    std::map<std::size_t, Running> running_;
};

// text cut to at most columns characters (UTF-8), never inside a character.
std::string CutToColumns(const std::string& text, int columns);

// "42 s", "3 min 5 s", "2 h 10 min".
std::string Duration(double seconds);

} // namespace kalvero
