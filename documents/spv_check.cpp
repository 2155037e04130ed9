#include "documents/spv_check.h"

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

} // namespace

std::string ZipProblem(const std::string& path) {
    // Only the parts the check needs are read: the end of the file, the
    // central directory and each entry's local header, not the data itself.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::string("it cannot be read: ") + std::strerror(errno);
    const std::uint64_t fileSize = static_cast<std::uint64_t>(in.tellg());
    std::vector<char> data;
    auto readAt = [&](std::uint64_t at, std::uint64_t length) {
        data.assign(length, '\0');
        in.clear();
        in.seekg(static_cast<std::streamoff>(at));
        return static_cast<bool>(in.read(data.data(), static_cast<std::streamsize>(length)));
    };
    const std::string unreadable = std::string("it cannot be read: ") + std::strerror(EIO);

    constexpr std::uint64_t kEndRecord = 22;
    if (fileSize < kEndRecord)
        return "it is cut off (" + std::to_string(fileSize) + " bytes)";
    // The end record stands in the last 22 bytes plus a comment of up to 64 KiB.
    const std::uint64_t tailStart =
        fileSize > kEndRecord + 65535 ? fileSize - kEndRecord - 65535 : 0;
    if (!readAt(tailStart, fileSize - tailStart))
        return unreadable;
    std::size_t end = data.size() - kEndRecord + 1;
    bool found = false;
    while (end-- > 0) {
        if (Read32(data, end) == 0x06054b50 &&
            end + kEndRecord + Read16(data, end + 20) == data.size()) {
            found = true;
            break;
        }
    }
    if (!found)
        return "it is cut off: its zip directory is missing";
    const std::size_t entries = Read16(data, end + 10);
    const std::uint64_t size = Read32(data, end + 12);
    const std::uint64_t offset = Read32(data, end + 16);
    if (offset + size != tailStart + end)
        return "its zip directory does not match its size";

    if (!readAt(offset, size))
        return unreadable;
    const std::vector<char> directory = std::move(data);
    std::size_t at = 0;
    for (std::size_t entry = 0; entry < entries; ++entry) {
        if (at + 46 > directory.size() || Read32(directory, at) != 0x02014b50)
            return "its zip directory is damaged";
        const std::uint64_t compressed = Read32(directory, at + 20);
        const std::uint64_t local = Read32(directory, at + 42);
        if (local + 30 > offset || !readAt(local, 30) || Read32(data, 0) != 0x04034b50 ||
            local + 30 + Read16(data, 26) + Read16(data, 28) + compressed > offset)
            return "an entry of its zip directory points past its data";
        at += 46 + Read16(directory, at + 28) + Read16(directory, at + 30) +
              Read16(directory, at + 32);
    }
    if (at != directory.size())
        return "its zip directory holds more than its entries";
    return std::string();
}

} // namespace kalvero
