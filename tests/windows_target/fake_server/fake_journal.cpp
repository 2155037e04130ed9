#include "tests/windows_target/fake_server/fake_journal.h"

#include <cstdlib>
#include <mutex>
#include <sstream>

namespace kalvero::fake {
namespace {

std::mutex journalMutex;

std::wstring Environment(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

struct Fault {
    std::string operation;
    int call = 0;
    std::string action;
};

Fault PlannedFault() {
    Fault fault;
    std::istringstream words(Utf8(Environment(L"KALVERO_FAKE_FAULT").c_str()));
    words >> fault.operation >> fault.call >> fault.action;
    return fault;
}

} // namespace

std::string Utf8(const wchar_t* text) {
    if (!text || !*text)
        return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), length, nullptr, nullptr);
    utf8.pop_back(); // the terminating zero
    return utf8;
}

void Journal(const std::string& line) {
    static const std::wstring path = Environment(L"KALVERO_FAKE_JOURNAL");
    if (path.empty())
        return;
    std::lock_guard<std::mutex> lock(journalMutex);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    // Servers side by side share the journal, and Wine's appends from two
    // processes at once can overwrite each other: each line is written
    // under a lock on a byte beyond the data.
    OVERLAPPED lockByte{};
    lockByte.OffsetHigh = 0x40000000;
    LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockByte);
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    UnlockFileEx(file, 0, 1, 0, &lockByte);
    CloseHandle(file);
}

namespace {

// How many calls of operation the journal holds: the servers that share a
// journal (one after another, or side by side) count their calls together.
int CallsInJournal(const std::string& operation) {
    static const std::wstring path = Environment(L"KALVERO_FAKE_JOURNAL");
    std::lock_guard<std::mutex> lock(journalMutex);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    std::string text;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        text.append(chunk, got);
    CloseHandle(file);
    int calls = 0;
    const std::string start = operation + "(";
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, start.size(), start) == 0)
            ++calls;
    return calls;
}

} // namespace

HRESULT Call(const std::string& operation, const std::string& arguments) {
    static const Fault fault = PlannedFault();
    Journal(operation + "(" + arguments + ")");
    if (operation != fault.operation || CallsInJournal(operation) != fault.call)
        return S_OK;
    if (fault.action == "silent")
        return S_FALSE;
    if (fault.action == "spawn-and-hang")
        SpawnChild();
    if (fault.action == "hang" || fault.action == "spawn-and-hang")
        Sleep(INFINITE);
    if (fault.action == "die")
        TerminateProcess(GetCurrentProcess(), 3);
    return static_cast<HRESULT>(std::strtoul(fault.action.c_str(), nullptr, 0));
}

void SpawnChild() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = std::wstring(L"\"") + exe + L"\" /Child";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &started))
        return;
    Journal("child " + std::to_string(started.dwProcessId));
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
}

} // namespace kalvero::fake
