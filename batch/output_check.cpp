#include "batch/output_check.h"

#include "batch/message_text.h"

namespace kalvero {
namespace {

std::string IdKey(char kind, const FileId& id) {
    return kind + std::to_string(id.device) + ":" + std::to_string(id.file);
}

} // namespace

std::string PlaceOf(const std::string& path, FileSystem& files) {
    if (path.empty())
        return "p";
    if (const auto file = files.Identity(path))
        return IdKey('f', *file);
    // Not there yet: a link at path says where it will be written.
    const std::string target = FollowLinks(path, files);
    if (const auto file = files.Identity(target))
        return IdKey('f', *file);
    if (const auto folder = files.Identity(FolderOf(target)))
        return IdKey('d', *folder) + "/" + NameOf(target);
    return "p" + files.AbsolutePath(target);
}

void OutputCheck::AddInput(const std::string& path, const char* what) {
    if (!path.empty())
        inputs_.try_emplace(PlaceOf(path, files_), Input{what, path});
}

std::string OutputCheck::Claim(long job, const std::string& syntax, const std::string& output,
                               long& after) {
    after = -1;
    const std::string prefix = "The output " + ShortenName(output);
    if (output == syntax)
        return prefix + " would replace the syntax file itself";
    const std::string place = PlaceOf(output, files_);
    const std::string syntaxPlace = PlaceOf(syntax, files_);
    if (place == syntaxPlace)
        return prefix + " is the syntax file " + ShortenName(syntax) +
               " itself and would replace it";
    if (const auto input = inputs_.find(place); input != inputs_.end())
        return prefix + " of " + ShortenName(syntax) + " would replace the " + input->second.what +
               " " + ShortenName(input->second.path) + " of this run";
    const auto [writer, first] = writers_.try_emplace(place, Writer{job, syntaxPlace, syntax});
    if (first)
        return std::string();
    if (writer->second.syntaxPlace != syntaxPlace)
        return prefix + " of " + ShortenName(syntax) +
               " would replace the output written in this run for " +
               ShortenName(writer->second.syntax);
    after = writer->second.job;
    writer->second.job = job;
    return std::string();
}

} // namespace kalvero
