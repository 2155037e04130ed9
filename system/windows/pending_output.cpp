#include "system/windows/pending_output.h"

#include "batch/file_system.h"
#include "batch/message_text.h"
#include "system/windows/handle.h"
#include "system/windows/system_path.h"
#include "system/windows/wide_text.h"

#include <windows.h>

#include <atomic>
#include <stdexcept>

namespace kalvero {
namespace {

std::atomic<unsigned> made{0};

std::string TemporaryBeside(const std::string& target) {
    const std::size_t separator = target.find_last_of(kPathSeparators);
    const std::string folder =
        separator == std::string::npos ? std::string() : target.substr(0, separator + 1);
    return folder + "~kalvero-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++made) + "-" + NameOf(target);
}

// The system's path of name, or the reason why it has none.
std::wstring PathFor(const std::string& name, std::string& failure) {
    try {
        return SystemPath(name);
    } catch (const InvalidPath& invalid) {
        failure = invalid.what();
        return {};
    }
}

} // namespace

PendingOutput::PendingOutput(std::string target)
    : target_(std::move(target)), temporary_(TemporaryBeside(target_)) {
    std::string failure;
    const std::wstring path = PathFor(temporary_, failure);
    if (path.empty())
        Fail(failure);
    const Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        Fail(Win32Reason(GetLastError()));
}

PendingOutput::~PendingOutput() {
    if (committed_)
        return;
    std::string ignored;
    const std::wstring path = PathFor(temporary_, ignored);
    if (!path.empty())
        DeleteFileW(path.c_str());
}

void PendingOutput::Commit() {
    std::string failure;
    const std::wstring from = PathFor(temporary_, failure);
    const std::wstring to = PathFor(target_, failure);
    if (from.empty() || to.empty())
        Fail(failure);
    {
        const Handle file(CreateFileW(from.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            Fail("the statistics package's file cannot be opened: " + Win32Reason(GetLastError()));
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart == 0)
            Fail("the statistics package wrote nothing into it");
        if (!FlushFileBuffers(file.Get()))
            Fail(Win32Reason(GetLastError()));
    }
    // A writer that does not tell of a full disk may have left its file cut
    // short: with no room left afterwards, it does not count.
    ULARGE_INTEGER available{}, total{}, free{};
    const std::string folder = FolderOf(temporary_);
    const std::wstring folderPath = PathFor(folder, failure);
    if (!folderPath.empty() && GetDiskFreeSpaceExW(folderPath.c_str(), &available, &total, &free) &&
        free.QuadPart == 0)
        Fail(Win32Reason(ERROR_DISK_FULL));
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail(Win32Reason(GetLastError()));
    committed_ = true;
}

void PendingOutput::Fail(const std::string& reason) const {
    throw std::runtime_error("Cannot write " + ShortenName(target_) + ": " + reason);
}

} // namespace kalvero
