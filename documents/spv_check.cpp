#include "documents/spv_check.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace kalvero {
namespace {

std::uint32_t Read32(const std::vector<char>& data, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    return value;
}

std::uint16_t Read16(const std::vector<char>& data, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(data[at]) |
                                      (static_cast<unsigned char>(data[at + 1]) << 8));
}

// The parts of a file that the check reads, and nothing more.
class FileParts {
public:
    explicit FileParts(const std::string& path) : in_(path, std::ios::binary | std::ios::ate) {
        if (in_)
            size_ = static_cast<std::uint64_t>(in_.tellg());
    }
    bool IsOpen() const { return static_cast<bool>(in_); }
    std::uint64_t Size() const { return size_; }
    // The length bytes at `at` into data; false when they cannot be read.
    bool Read(std::uint64_t at, std::uint64_t length, std::vector<char>& data) {
        data.assign(length, '\0');
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(at));
        return static_cast<bool>(in_.read(data.data(), static_cast<std::streamsize>(length)));
    }

private:
    std::ifstream in_;
    std::uint64_t size_ = 0;
};

constexpr std::uint64_t kEndRecord = 22;

struct Directory {
    std::size_t entries = 0;
    std::uint64_t size = 0;
    std::uint64_t offset = 0;
};

std::string Unreadable() {
    return std::string("it cannot be read: ") + std::strerror(EIO);
}

// Finds the end record, which stands in the last 22 bytes plus a comment of
// up to 64 KiB, and the directory it points to; a problem, or an empty text.
std::string FindDirectory(FileParts& file, Directory& directory) {
    if (file.Size() < kEndRecord)
        return "it is cut off (" + std::to_string(file.Size()) + " bytes)";
    const std::uint64_t tailStart =
        file.Size() > kEndRecord + 65535 ? file.Size() - kEndRecord - 65535 : 0;
    std::vector<char> tail;
    if (!file.Read(tailStart, file.Size() - tailStart, tail))
        return Unreadable();
    std::size_t end = tail.size() - kEndRecord + 1;
    bool found = false;
    while (!found && end-- > 0)
        found = Read32(tail, end) == 0x06054b50 &&
                end + kEndRecord + Read16(tail, end + 20) == tail.size();
    if (!found)
        return "it is cut off: its zip directory is missing";
    directory.entries = Read16(tail, end + 10);
    directory.size = Read32(tail, end + 12);
    directory.offset = Read32(tail, end + 16);
    if (directory.offset + directory.size != tailStart + end)
        return "its zip directory does not match its size";
    return std::string();
}

// Checks each entry of the directory against its local header: the header
// is there and says the same compressed size (unless its sizes follow the
// data), and the entries' data lie before the directory without overlapping.
std::string CheckEntries(FileParts& file, const Directory& directory) {
    std::vector<char> entries;
    std::vector<char> local;
    if (!file.Read(directory.offset, directory.size, entries))
        return Unreadable();
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans; // start, end
    std::size_t at = 0;
    for (std::size_t entry = 0; entry < directory.entries; ++entry) {
        if (at + 46 > entries.size() || Read32(entries, at) != 0x02014b50)
            return "its zip directory is damaged";
        const std::uint64_t compressed = Read32(entries, at + 20);
        const std::uint64_t start = Read32(entries, at + 42);
        if (start + 30 > directory.offset || !file.Read(start, 30, local) ||
            Read32(local, 0) != 0x04034b50)
            return "an entry of its zip directory points past its data";
        const bool sizesFollowData = (Read16(local, 6) & 8) != 0;
        if (!sizesFollowData && Read32(local, 18) != compressed)
            return "an entry's compressed size differs between its zip directory and its data";
        const std::uint64_t end = start + 30 + Read16(local, 26) + Read16(local, 28) + compressed;
        if (end > directory.offset)
            return "an entry of its zip directory points past its data";
        spans.emplace_back(start, end);
        at += 46 + Read16(entries, at + 28) + Read16(entries, at + 30) + Read16(entries, at + 32);
    }
    if (at != entries.size())
        return "its zip directory holds more than its entries";
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i)
        if (spans[i - 1].second > spans[i].first)
            return "the data of two entries of its zip directory overlap";
    return std::string();
}

} // namespace

std::string ZipProblem(const std::string& path) {
    FileParts file(path);
    if (!file.IsOpen())
        return std::string("it cannot be read: ") + std::strerror(errno);
    Directory directory;
    std::string problem = FindDirectory(file, directory);
    if (problem.empty())
        problem = CheckEntries(file, directory);
    return problem;
}

} // namespace kalvero
