#include "system/windows/windows_file_system.h"

#include "batch/message_text.h"
#include "system/windows/handle.h"
#include "system/windows/system_path.h"
#include "system/windows/wide_text.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace kalvero {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The system's path of path; a path that names no file fails with prefix
// and the reason.
std::wstring SystemPathOrFail(const std::string& path, const std::string& prefix) {
    try {
        return SystemPath(path);
    } catch (const InvalidPath& invalid) {
        throw std::runtime_error(prefix + invalid.what());
    }
}

// Opens an existing file (or, with backup semantics, a folder) with access
// rights; an empty handle leaves the reason in GetLastError.
Handle OpenExisting(const std::wstring& path, DWORD access, DWORD flags = 0) {
    return Handle(
        CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr));
}

// Reads what is left of file; false with GetLastError set on a read error.
bool ReadAll(HANDLE file, std::string& data) {
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr))
            return false;
        if (got == 0)
            return true;
        data.append(chunk, got);
    }
}

// The start of a symbolic link's reparse data (REPARSE_DATA_BUFFER of the
// driver kit, the member for IO_REPARSE_TAG_SYMLINK): the names follow it.
struct SymbolicLinkHeader {
    ULONG tag;
    USHORT dataLength;
    USHORT reserved;
    USHORT substituteOffset;
    USHORT substituteLength;
    USHORT printOffset;
    USHORT printLength;
    ULONG flags;
};
constexpr std::size_t kMostReparseData = 16 * 1024;

// The target that a symbolic link's reparse data names, as its maker wrote
// it; empty when the data is no symbolic link.
std::wstring SymbolicLinkTarget(const std::vector<unsigned char>& data, DWORD size) {
    SymbolicLinkHeader header;
    if (size < sizeof header)
        return {};
    std::memcpy(&header, data.data(), sizeof header);
    if (header.tag != IO_REPARSE_TAG_SYMLINK)
        return {};
    // The print name is the target as given; the substitute name its
    // system form ("\??\C:\..."), the one to fall back on.
    const bool print = header.printLength > 0;
    const std::size_t offset = print ? header.printOffset : header.substituteOffset;
    const std::size_t length = print ? header.printLength : header.substituteLength;
    if (sizeof header + offset + length > size)
        return {};
    std::wstring target(length / sizeof(wchar_t), L'\0');
    std::memcpy(target.data(), data.data() + sizeof header + offset, length);
    if (!print && target.rfind(L"\\??\\", 0) == 0)
        target.erase(0, 4);
    return target;
}

class LockedAppendFile : public AppendFile {
public:
    LockedAppendFile(std::string shown, Handle file)
        : shown_(std::move(shown)), file_(std::move(file)) {}

    void AppendLines(const std::string& text, const std::string& header) override {
        // Every writer locks the same byte far beyond the data, so that
        // readers of the log never meet the lock (Windows's locks bar reads).
        OVERLAPPED lockByte{};
        lockByte.OffsetHigh = kLockOffsetHigh;
        if (!LockFileEx(file_.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockByte))
            Fail("cannot lock it: " + Win32Reason(GetLastError()));
        std::string data = text;
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file_.Get(), &size) && size.QuadPart == 0)
            data.insert(0, header);
        else if (size.QuadPart > 0 && EndsInCutLine(size.QuadPart))
            data.insert(0, 1, '\n');
        const DWORD error = Write(data);
        UnlockFileEx(file_.Get(), 0, 1, 0, &lockByte);
        if (error != ERROR_SUCCESS)
            Fail(Win32Reason(error));
    }

private:
    static constexpr DWORD kLockOffsetHigh = 0x40000000; // 2^62 bytes

    [[noreturn]] void Fail(const std::string& reason) const {
        throw std::runtime_error("Cannot write to " + shown_ + ": " + reason);
    }

    // Whether the file's last byte is not a line end (a write cut short by a
    // crash or a full disk).
    bool EndsInCutLine(LONGLONG size) const {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(size - 1);
        at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
        char last = '\n';
        DWORD got = 0;
        return ReadFile(file_.Get(), &last, 1, &got, &at) && got == 1 && last != '\n';
    }

    // Appends data (the handle writes at the end only) and flushes it; the
    // system's error, or ERROR_SUCCESS.
    DWORD Write(const std::string& data) const {
        std::size_t done = 0;
        while (done < data.size()) {
            DWORD written = 0;
            const DWORD chunk =
                static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1 << 20));
            if (!WriteFile(file_.Get(), data.data() + done, chunk, &written, nullptr))
                return GetLastError();
            if (written == 0)
                return ERROR_WRITE_FAULT;
            done += written;
        }
        return FlushFileBuffers(file_.Get()) ? ERROR_SUCCESS : GetLastError();
    }

    std::string shown_;
    Handle file_;
};

} // namespace

std::optional<FileId> WindowsFileSystem::Identity(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    try {
        // No access rights asked for: the file's information needs none, and
        // a file that another program holds open is not in the way.
        const Handle file = OpenExisting(SystemPath(path), 0, FILE_FLAG_BACKUP_SEMANTICS);
        BY_HANDLE_FILE_INFORMATION info;
        if (!file || !GetFileInformationByHandle(file.Get(), &info))
            return std::nullopt;
        return FileId{info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    } catch (const InvalidPath&) {
        return std::nullopt;
    }
}

std::optional<std::string> WindowsFileSystem::LinkTarget(const std::string& path) {
    std::wstring name;
    try {
        name = SystemPath(path);
    } catch (const InvalidPath&) {
        return std::nullopt;
    }
    // Most paths are no link: their attributes say so at once.
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return std::nullopt;
    const Handle link =
        OpenExisting(name, 0, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
    std::vector<unsigned char> data(kMostReparseData);
    DWORD size = 0;
    if (!link || !DeviceIoControl(link.Get(), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                                  static_cast<DWORD>(data.size()), &size, nullptr))
        return std::nullopt;
    const std::wstring target = SymbolicLinkTarget(data, size);
    if (target.empty())
        return std::nullopt;
    return Utf8FromWide(target);
}

std::string WindowsFileSystem::AbsolutePath(const std::string& name) {
    if (IsAbsoluteWindowsPath(name))
        return name;
    const std::string failure = "Cannot resolve " + ShortenName(name) + ": ";
    std::wstring wide;
    try {
        wide = WideFromUtf8(name);
    } catch (const std::invalid_argument&) {
        throw std::runtime_error(failure + "the name is not UTF-8 text");
    }
    // The system's own reading of a relative name: against the current
    // folder, or the current drive ("\data"), or that drive's folder ("D:x").
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::vector<wchar_t> full(size + 1);
    const DWORD length =
        size == 0 ? 0 : GetFullPathNameW(wide.c_str(), size + 1, full.data(), nullptr);
    if (length == 0 || length > size)
        throw std::runtime_error(failure + Win32Reason(GetLastError()));
    return Utf8FromWide(std::wstring(full.data(), length));
}

bool WindowsFileSystem::IsAbsolute(const std::string& path) const {
    return IsAbsoluteWindowsPath(path);
}

std::string WindowsFileSystem::NameKey(const std::string& name) const {
    std::wstring wide;
    try {
        wide = WideFromUtf8(name);
    } catch (const std::invalid_argument&) {
        return name;
    }
    if (wide.empty())
        return name;
    // Upper case in the invariant locale, as file systems compare names.
    std::wstring upper(wide.size(), L'\0');
    const int length = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.c_str(),
                                     static_cast<int>(wide.size()), upper.data(),
                                     static_cast<int>(upper.size()), nullptr, nullptr, 0);
    if (length <= 0)
        return name;
    upper.resize(static_cast<std::size_t>(length));
    return Utf8FromWide(upper);
}

std::string WindowsFileSystem::ReadListFile(const std::string& path) {
    const std::string prefix = "Cannot open the list file " + ShortenName(path) + ": ";
    const std::wstring name = SystemPathOrFail(path, prefix);
    const Handle file = OpenExisting(name, GENERIC_READ, FILE_FLAG_BACKUP_SEMANTICS);
    if (!file)
        throw std::runtime_error(prefix + Win32Reason(GetLastError()));
    // A device (NUL, CON, a serial port) or a pipe would never end.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        throw std::runtime_error(prefix + "it is not a regular file");
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(file.Get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        throw std::runtime_error(prefix + "it is a folder");
    std::string content;
    if (!ReadAll(file.Get(), content))
        throw std::runtime_error("Cannot read the list file " + ShortenName(path) + ": " +
                                 Win32Reason(GetLastError()));
    return content;
}

std::string WindowsFileSystem::ReadWholeFile(const std::string& path) {
    const std::string prefix = "Cannot read " + ShortenName(path) + ": ";
    const std::wstring name = SystemPathOrFail(path, prefix);
    const Handle file = OpenExisting(name, GENERIC_READ);
    std::string content;
    if (!file || !ReadAll(file.Get(), content))
        throw std::runtime_error(prefix + Win32Reason(GetLastError()));
    return content;
}

std::unique_ptr<AppendFile> WindowsFileSystem::OpenForAppend(const std::string& path,
                                                             const std::string& what) {
    const std::string shown = what + " " + ShortenName(path);
    const std::wstring name = SystemPathOrFail(path, "Cannot open " + shown + ": ");
    // Appending only (no FILE_WRITE_DATA): every write lands at the end.
    // Reading too, to see whether the file ends in a cut line.
    Handle file(CreateFileW(name.c_str(), GENERIC_READ | FILE_APPEND_DATA, kShareAll, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw std::runtime_error("Cannot open " + shown + ": " + Win32Reason(GetLastError()));
    return std::make_unique<LockedAppendFile>(shown, std::move(file));
}

} // namespace kalvero
