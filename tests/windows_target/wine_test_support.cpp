#include "tests/windows_target/wine_test_support.h"

#include "engine/automation/wide_text.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kalvero::windows_testing {
namespace {

using automation::Utf8FromWide;
using automation::WideFromUtf8;

constexpr DWORD kPollMs = 20;

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void SetEnvironment(const wchar_t* name, const std::string& value) {
    SetEnvironmentVariableW(name, value.empty() ? nullptr : WideFromUtf8(value).c_str());
}

} // namespace

TempFolder::TempFolder() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static int made = 0;
    const std::wstring path = std::wstring(base) + L"kalvero Grüße " +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++made);
    if (!CreateDirectoryW(path.c_str(), nullptr))
        throw std::runtime_error("cannot create the test folder " + Utf8FromWide(path));
    path_ = Utf8FromWide(path);
}

TempFolder::~TempFolder() {
    RemoveTree(WideFromUtf8(path_));
}

std::string TempFolder::Path(const std::string& name) const {
    return path_ + "\\" + name;
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = Path(name);
    std::ofstream(WideFromUtf8(path).c_str(), std::ios::binary) << bytes;
    return path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(WideFromUtf8(path).c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

FakeServer::FakeServer(const TempFolder& folder, const std::string& fault)
    : journal_(folder.Path("journal.txt")) {
    SetEnvironment(L"KALVERO_FAKE_JOURNAL", journal_);
    SetEnvironment(L"KALVERO_FAKE_FAULT", fault);
}

FakeServer::~FakeServer() {
    Kill();
    WaitForEnd(10000);
    SetEnvironment(L"KALVERO_FAKE_JOURNAL", {});
    SetEnvironment(L"KALVERO_FAKE_FAULT", {});
}

std::vector<std::string> FakeServer::Journal() const {
    std::istringstream text(ReadFile(journal_));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> FakeServer::Calls() const {
    std::vector<std::string> calls;
    for (const std::string& line : Journal())
        if (line.find('(') != std::string::npos)
            calls.push_back(line);
    return calls;
}

bool FakeServer::WaitForLine(const std::string& prefix, DWORD timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        for (const std::string& line : Journal())
            if (line.compare(0, prefix.size(), prefix) == 0)
                return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(kPollMs);
    }
}

DWORD FakeServer::ProcessId() const {
    for (const std::string& line : Journal())
        if (line.compare(0, 8, "started ") == 0)
            return static_cast<DWORD>(std::stoul(line.substr(8)));
    return 0;
}

bool FakeServer::WaitForEnd(DWORD timeoutMs) const {
    const DWORD id = ProcessId();
    if (id == 0)
        return true;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process)
        return true; // gone, and its id no longer known
    const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

void FakeServer::Kill() const {
    const DWORD id = ProcessId();
    if (id == 0)
        return;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
            TerminateProcess(process, 9);
        CloseHandle(process);
    }
}

} // namespace kalvero::windows_testing
