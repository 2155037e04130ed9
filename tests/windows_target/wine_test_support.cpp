#include "tests/windows_target/wine_test_support.h"

#include "batch/file_system.h"
#include "system/windows/handle.h"
#include "system/windows/wide_text.h"

#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kalvero::windows_testing {
namespace {

constexpr DWORD kPollMs = 20;

void SetEnvironment(const wchar_t* name, const std::string& value) {
    SetEnvironmentVariableW(name, value.empty() ? nullptr : WideFromUtf8(value).c_str());
}

// An argument as the C runtime's command-line parser reads it back.
std::wstring Quoted(const std::wstring& argument) {
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, L'\\');
    return quoted + L"\"";
}

// A pipe whose reading end this process keeps, for a child's output.
struct Pipe {
    Handle read;
    Handle write;
    Pipe() {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE r = nullptr, w = nullptr;
        if (!CreatePipe(&r, &w, &inherit, 0))
            throw std::runtime_error("CreatePipe failed");
        read = Handle(r);
        write = Handle(w);
        SetHandleInformation(read.Get(), HANDLE_FLAG_INHERIT, 0);
    }
};

std::string ReadAll(HANDLE pipe) {
    std::string data;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0)
        data.append(chunk, got);
    return data;
}

} // namespace

std::string OutputOf(const std::string& file, OutputFormat format) {
    return OutputPathFor(file, TraitsOf(format).extension);
}

std::string SavedAs(const std::string& output) {
    return FolderOf(output) + "\\~kalvero-*-" + NameOf(output);
}

std::vector<std::string> FileCalls(OutputFormat format, const std::string& file) {
    const FormatTraits& traits = TraitsOf(format);
    const std::string saved = SavedAs(OutputOf(file, format));
    return {"RunSyntaxFile(" + file + ", -1)",
            traits.document == DocumentKind::Viewer ? "CurrentViewerDocument()"
                                                    : "CurrentDraftDocument()",
            traits.write == WriteMethod::SaveDocument ? "SaveDocument(" + saved + ")"
                                                      : "ExportText(1, " + saved + ", 1, 0)",
            "CloseDocument()"};
}

std::vector<std::string> ExpectedCalls(OutputFormat format, const std::vector<std::string>& files) {
    std::vector<std::string> calls = {
        "GetSettings()", "SetOutputKind(" + std::to_string(TraitsOf(format).outputKind) + ")"};
    for (const std::string& file : files)
        for (const std::string& call : FileCalls(format, file))
            calls.push_back(call);
    calls.push_back("QuitEngine()");
    return calls;
}

FakeServer::FakeServer(const testing::TempDir& folder, const std::string& fault)
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

void FakeServer::SetFault(const std::string& fault) {
    SetEnvironment(L"KALVERO_FAKE_FAULT", fault);
}

std::vector<std::string> FakeServer::Journal() const {
    std::istringstream text(testing::ReadFile(journal_));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> FakeServer::Calls() const {
    std::vector<std::string> calls;
    for (const std::string& line : Journal())
        if (line.find('(') != std::string::npos)
            calls.push_back(WithoutTemporaryNumbers(line));
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

std::vector<DWORD> FakeServer::ProcessIds() const {
    std::vector<DWORD> ids;
    for (const std::string& line : Journal()) {
        for (const std::string prefix : {"started ", "child "})
            if (line.compare(0, prefix.size(), prefix) == 0)
                ids.push_back(static_cast<DWORD>(std::stoul(line.substr(prefix.size()))));
    }
    return ids;
}

DWORD FakeServer::ProcessId() const {
    const std::vector<DWORD> ids = ProcessIds();
    return ids.empty() ? 0 : ids.front();
}

bool FakeServer::WaitForEnd(DWORD timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (const DWORD id : ProcessIds()) {
        const Handle process(OpenProcess(SYNCHRONIZE, FALSE, id));
        if (!process)
            continue; // gone, and its id no longer known
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        if (WaitForSingleObject(process.Get(), left) != WAIT_OBJECT_0)
            return false;
    }
    return true;
}

void FakeServer::Kill() const {
    for (const DWORD id : ProcessIds())
        if (const Handle process{OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)})
            if (WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT)
                TerminateProcess(process.Get(), 9);
}

std::string WithoutTemporaryNumbers(const std::string& text) {
    static const std::regex numbers("~kalvero-[0-9]+-[0-9]+-");
    return std::regex_replace(text, numbers, "~kalvero-*-");
}

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input, DWORD timeoutMs) {
    std::wstring command = Quoted(WideFromUtf8(program));
    for (const std::string& argument : arguments)
        command += L" " + Quoted(WideFromUtf8(argument));
    Pipe in, out, err;
    SetHandleInformation(in.read.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SetHandleInformation(in.write.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.read.Get();
    startup.hStdOutput = out.write.Get();
    startup.hStdError = err.write.Get();
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &started))
        throw std::runtime_error("cannot start " + program + ": " + Win32Reason(GetLastError()));
    const Handle process(started.hProcess);
    CloseHandle(started.hThread);
    in.read.Reset();
    out.write.Reset();
    err.write.Reset();
    DWORD written = 0;
    WriteFile(in.write.Get(), input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    in.write.Reset();
    ProgramRun run;
    std::thread errors([&] { run.errors = ReadAll(err.read.Get()); });
    std::thread output([&] { run.output = ReadAll(out.read.Get()); });
    if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        run.timedOut = true;
        TerminateProcess(process.Get(), 9);
        WaitForSingleObject(process.Get(), INFINITE);
    }
    GetExitCodeProcess(process.Get(), &run.exitCode);
    errors.join();
    output.join();
    return run;
}

std::string ProgramNamedBy(const char* variable) {
    wchar_t value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(WideFromUtf8(variable).c_str(), value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        throw std::runtime_error(std::string("the environment names no program in ") + variable);
    std::string path = Utf8FromWide(std::wstring(value, length));
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path[0] == '\\' ? "Z:" + path : path;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    const std::wstring pattern = WideFromUtf8(folder) + L"\\*";
    HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(Utf8FromWide(name));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

} // namespace kalvero::windows_testing
