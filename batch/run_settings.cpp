#include "batch/run_settings.h"

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

} // namespace kalvero
