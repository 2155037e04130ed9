#include "batch/output_guard.h"

#include "batch/message_text.h"

#include <optional>
#include <stdexcept>
#include <sys/stat.h>

namespace kalvero {
namespace {

std::optional<OutputGuard::FileId> IdentityOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || path.find('\0') != std::string::npos || ::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return OutputGuard::FileId{info.st_dev, info.st_ino};
}

} // namespace

void OutputGuard::AddInput(const std::string& path, const char* what) {
    if (const auto id = IdentityOf(path))
        inputs_.emplace(*id, Known{what, path});
}

void OutputGuard::Check(const std::string& syntax, const std::string& output) const {
    const auto target = IdentityOf(output);
    if (!target)
        return;
    const auto source = IdentityOf(syntax);
    const std::string prefix = "The output " + ShortenName(output);
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
    const auto source = IdentityOf(syntax);
    const auto target = IdentityOf(output);
    if (source && target)
        outputs_[*target] = Output{*source, syntax};
}

} // namespace kalvero
