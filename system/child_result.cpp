#include "system/child_process.h"

#include <csignal>
#include <cstring>
#include <vector>

namespace kalvero {

bool ChildResult::ExitedWith(std::initializer_list<int> accepted) const {
    if (ending != Ending::Exited)
        return false;
    for (const int status : accepted)
        if (exitCode == status)
            return true;
    return false;
}

std::string ChildResult::Describe() const {
    switch (ending) {
    case Ending::NotStarted:
        return "it could not be started: " + startError.toStdString();
    case Ending::Exited:
        return "it stopped with exit status " + std::to_string(exitCode);
    case Ending::Signalled:
        return signal > 0 ? "it was ended by signal " + std::to_string(signal) + " (" +
                                ::strsignal(signal) + ")"
                          : std::string("it ended abnormally");
    case Ending::TimedOut:
        return "it did not end in time and was ended";
    case Ending::Stopped:
        return "it was ended because the run was stopped";
    }
    return "it ended in an unknown way";
}

std::string ChildResult::Status() const {
    switch (ending) {
    case Ending::NotStarted:
        return std::string();
    case Ending::Exited:
        return "exit " + std::to_string(exitCode);
    case Ending::Signalled:
        return signal > 0 ? "signal " + std::to_string(signal) : "signal";
    case Ending::TimedOut:
    case Ending::Stopped:
        // Ended by this program with SIGKILL, unless a signal of its own came first.
        return "signal " + std::to_string(signal > 0 ? signal : SIGKILL);
    }
    return std::string();
}

std::string LastLines(const QByteArray& output, int maxLines) {
    std::vector<QByteArray> lines;
    for (const QByteArray& line : output.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.push_back(trimmed);
    }
    const std::size_t first =
        lines.size() > static_cast<std::size_t>(maxLines) ? lines.size() - maxLines : 0;
    std::string text;
    for (std::size_t i = first; i < lines.size(); ++i) {
        if (!text.empty())
            text += '\n';
        text += lines[i].toStdString();
    }
    return text;
}

} // namespace kalvero
