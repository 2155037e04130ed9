#include "batch/output_guard.h"

#include "batch/message_text.h"

#include <stdexcept>
#include <sys/stat.h>

namespace kalvero {

std::optional<OutputGuard::FileId> FileIdentity(const std::string& path) {
    struct stat info {};
    if (path.empty() || path.find('\0') != std::string::npos || ::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return OutputGuard::FileId{info.st_dev, info.st_ino};
}

void OutputGuard::AddInput(const std::string& path, const char* what) {
    if (const auto id = FileIdentity(path))
        inputs_.emplace(*id, Known{what, path});
}

void OutputGuard::Check(const std::string& syntax, const std::string& output) const {
    const std::string prefix = "The output " + ShortenName(output);
    if (output == syntax)
        throw std::runtime_error(prefix + " would replace the syntax file itself");
    const auto target = FileIdentity(output);
    if (!target)
        return;
    const auto source = FileIdentity(syntax);
    if (source && *source == *target)
        throw std::runtime_error(prefix + " is the syntax file " + ShortenName(syntax) +
                                 " itself and would replace it");
    if (const auto input = inputs_.find(*target); input != inputs_.end())
        throw std::runtime_error(prefix + " of " + ShortenName(syntax) + " would replace the " +
                                 input->second.what + " " + ShortenName(input->second.path) +
                                 " of this run");
    if (const auto earlier = outputs_.find(*target);
        earlier != outputs_.end() && !(source && earlier->second.syntax == *source))
        throw std::runtime_error(prefix + " of " + ShortenName(syntax) +
                                 " would replace the output written in this run for " +
                                 ShortenName(earlier->second.syntaxPath));
}

void OutputGuard::Written(const std::string& syntax, const std::string& output) {
    const auto source = FileIdentity(syntax);
    const auto target = FileIdentity(output);
    if (source && target)
        outputs_[*target] = Output{*source, syntax};
}

} // namespace kalvero
