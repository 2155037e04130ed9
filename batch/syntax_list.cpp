#include "batch/syntax_list.h"

namespace kalvero {

std::string TrimBlanks(const std::string& line) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = line.find_last_not_of(' ');
    return line.substr(first, last - first + 1);
}

ListLineKind ClassifyLine(const std::string& trimmed) {
    if (trimmed.empty())
        return ListLineKind::Blank;
    if (trimmed[0] == '*')
        return ListLineKind::Comment;
    return ListLineKind::Syntax;
}

std::vector<std::string> SplitListLines(const std::string& content) {
    static const char kByteOrderMark[] = "\xEF\xBB\xBF";
    std::size_t at = content.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
    std::vector<std::string> lines;
    while (at < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(content.substr(at));
            break;
        }
        lines.push_back(content.substr(at, end - at));
        at = end + (content.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

} // namespace kalvero
