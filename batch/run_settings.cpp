#include "batch/run_settings.h"

#include "batch/statistics_engine.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace kalvero {

const FormatTraits& TraitsOf(OutputFormat format) {
    static const FormatTraits viewer{"spo", 0, DocumentKind::Viewer, WriteMethod::SaveDocument};
    static const FormatTraits draft{"rtf", 1, DocumentKind::Draft, WriteMethod::SaveDocument};
    static const FormatTraits text{"txt", 0, DocumentKind::Viewer, WriteMethod::ExportText};
    switch (format) {
    case OutputFormat::Viewer:
        return viewer;
    case OutputFormat::Draft:
        return draft;
    case OutputFormat::Text:
        return text;
    }
    return viewer;
}

std::string OutputPathFor(const std::string& path, const std::string& extension) {
    const std::size_t nameStart = [&] {
        const std::size_t sep = path.find_last_of("/\\");
        return sep == std::string::npos ? 0 : sep + 1;
    }();
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot >= nameStart)
        return path.substr(0, dot + 1) + extension;
    return path + "." + extension;
}

std::string AbsolutePath(const std::string& name) {
    if (!name.empty() && name.front() == '/')
        return name;
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            throw EngineError("Cannot resolve " + name +
                              ": the working directory is not available: " + std::strerror(errno));
        buffer.resize(buffer.size() * 2);
    }
    std::string path = buffer.data();
    if (path.back() != '/')
        path += '/';
    return path + name;
}

} // namespace kalvero
