#include "batch/output_check.h"

#include "batch/message_text.h"

namespace kalvero {
namespace {

std::string IdKey(char kind, const FileId& id) {
    return kind + std::to_string(id.device) + ":" + std::to_string(id.file);
}

// The place of path, with the key of a folder found through folderKey.
template <class FolderKey>
std::string PlaceThrough(const std::string& path, FileSystem& files, FolderKey folderKey) {
    if (path.empty())
        return "p";
    if (const auto file = files.Identity(path))
        return IdKey('f', *file);
    // Not there yet: a link at path says where it will be written.
    const std::string target = FollowLinks(path, files);
    if (target != path)
        if (const auto file = files.Identity(target))
            return IdKey('f', *file);
    const std::string folder = folderKey(FolderOf(target));
    if (!folder.empty())
        return folder + "/" + files.NameKey(NameOf(target));
    return "p" + files.AbsolutePath(target);
}

} // namespace

std::string PlaceOf(const std::string& path, FileSystem& files) {
    return PlaceThrough(path, files, [&](const std::string& folder) {
        const auto id = files.Identity(folder);
        return id ? IdKey('d', *id) : std::string();
    });
}

const std::string& OutputCheck::Place(const std::string& path) {
    const auto known = places_.find(path);
    if (known != places_.end())
        return known->second;
    const std::string place = PlaceThrough(path, files_, [&](const std::string& folder) {
        auto [found, added] = folders_.try_emplace(folder);
        if (added)
            if (const auto id = files_.Identity(folder))
                found->second = IdKey('d', *id);
        return found->second;
    });
    return places_.emplace(path, place).first->second;
}

void OutputCheck::AddInput(const std::string& path, const char* what) {
    if (!path.empty())
        inputs_.try_emplace(Place(path), Input{what, path});
}

std::string OutputCheck::Claim(long job, const std::string& syntax, const std::string& output,
                               long& after) {
    after = -1;
    const std::string prefix = "The output " + ShortenName(output);
    if (output == syntax)
        return prefix + " would replace the syntax file itself";
    const std::string place = Place(output);
    const std::string syntaxPlace = Place(syntax);
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
