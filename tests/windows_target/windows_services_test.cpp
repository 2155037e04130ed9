// The Windows services beside the file system, each at its seam: the
// system's words for an error, UTF-8 and UTF-16 at the boundary, long paths,
// an output published whole, a process held in a job with what it started,
// the shut-down request (never made for real), console events, and an
// engine that cannot be created.
#include "engine/automation/automation_engine.h"
#include "system/windows/console_stop.h"
#include "system/windows/handle.h"
#include "system/windows/pending_output.h"
#include "system/windows/process_job.h"
#include "system/windows/system_path.h"
#include "system/windows/wide_text.h"
#include "system/windows/windows_file_system.h"
#include "system/windows/windows_shutdown.h"
#include "tests/windows_target/wine_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tlhelp32.h>

namespace kalvero {
namespace {

using ::testing::StartsWith;
using windows_testing::FileExists;
using windows_testing::NamesIn;
using windows_testing::TestFolder;

struct TextCase {
    HRESULT hr;
    const char* expected;
};

class SystemTextOf : public ::testing::TestWithParam<TextCase> {};

// Win32 errors wrapped in an HRESULT are found by their own number; a code
// without a text (Wine has none for COM's own codes) is given alone.
TEST_P(SystemTextOf, GivesTheSystemsWordsAndTheCode) {
    EXPECT_EQ(SystemText(GetParam().hr), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SystemTextOf,
    ::testing::Values(TextCase{E_ACCESSDENIED, "Access denied. (0x80070005)"},
                      TextCase{HRESULT_FROM_WIN32(ERROR_DISK_FULL), "Disk full. (0x80070070)"},
                      TextCase{HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE),
                               "RPC server unavailable. (0x800706BA)"},
                      TextCase{CO_E_CLASSSTRING, "0x800401F3"},
                      TextCase{static_cast<HRESULT>(0x8FFF1234), "0x8FFF1234"}));

TEST(WideText, KeepsNonAsciiNamesAndRefusesWhatIsNotUtf8) {
    const std::string name = "C:\\Daten\\Größe 日本.sps";
    EXPECT_EQ(WideFromUtf8(name), L"C:\\Daten\\Gr\u00f6\u00dfe \u65e5\u672c.sps");
    EXPECT_EQ(Utf8FromWide(WideFromUtf8(name)), name);
    EXPECT_THROW(WideFromUtf8("C:\\a\xff.sps"), std::invalid_argument);
    EXPECT_EQ(Win32Reason(0x2FFFFFFF), "error 805306367");
}

// Beyond MAX_PATH characters a path takes the form that lifts the limit.
TEST(SystemPath, ALongPathReachesItsFile) {
    TestFolder folder;
    std::string path = folder.Path("");
    for (int i = 0; i < 6; ++i) {
        path += std::string(50, static_cast<char>('a' + i)) + "\\";
        ASSERT_TRUE(CreateDirectoryW(SystemPath(path).c_str(), nullptr)) << path.size();
    }
    const std::string file = path + "wave 1.sps";
    ASSERT_GT(file.size(), static_cast<std::size_t>(MAX_PATH));
    const Handle made(CreateFileW(SystemPath(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(made);
    WindowsFileSystem files;
    EXPECT_TRUE(files.Identity(file));
    EXPECT_EQ(SystemPath("C:\\short.sps"), L"C:\\short.sps");
}

// An output appears whole or not at all: committed, it replaces the older
// output; not committed, the older output stays and no temporary is left.
TEST(PendingOutput, ReplacesTheTargetWholeOrLeavesItAsItWas) {
    TestFolder folder;
    const std::string target = folder.Write("wave 1.spo", "the older output\n");
    {
        PendingOutput abandoned(target);
        EXPECT_EQ(FolderOf(abandoned.TemporaryPath()), FolderOf(target));
        EXPECT_THAT(NameOf(abandoned.TemporaryPath()), StartsWith("~kalvero-"));
        EXPECT_THAT(abandoned.TemporaryPath(), ::testing::EndsWith("-wave 1.spo"));
        testing::WriteFile(abandoned.TemporaryPath(), "half of a new out");
    }
    EXPECT_EQ(testing::ReadFile(target), "the older output\n");
    EXPECT_EQ(NamesIn(folder.Path("")), std::vector<std::string>{"wave 1.spo"});
    {
        PendingOutput output(target);
        testing::WriteFile(output.TemporaryPath(), "the new output\n");
        output.Commit();
    }
    EXPECT_EQ(testing::ReadFile(target), "the new output\n");
    EXPECT_EQ(NamesIn(folder.Path("")), std::vector<std::string>{"wave 1.spo"});
}

TEST(PendingOutput, AFolderThatTakesNoFileOrAnEmptyWriteFailsNamingTheTarget) {
    TestFolder folder;
    const std::string nowhere = folder.Path("none\\a.spo");
    EXPECT_THAT([&] { PendingOutput output(nowhere); },
                ::testing::ThrowsMessage<std::runtime_error>("Cannot write " + nowhere + ": " +
                                                             Win32Reason(ERROR_PATH_NOT_FOUND)));
    const std::string target = folder.Path("a.spo");
    PendingOutput empty(target);
    EXPECT_THAT([&] { empty.Commit(); },
                ::testing::ThrowsMessage<std::runtime_error>(
                    "Cannot write " + target + ": the statistics package wrote nothing into it"));
    EXPECT_FALSE(FileExists(target));
}

// The processes whose parent is parent and whose program is named name.
std::vector<DWORD> ChildrenOf(DWORD parent, const std::wstring& name) {
    std::vector<DWORD> children;
    const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
         more = Process32NextW(snapshot.Get(), &entry))
        if (entry.th32ParentProcessID == parent && lstrcmpiW(entry.szExeFile, name.c_str()) == 0)
            children.push_back(entry.th32ProcessID);
    return children;
}

// A process that had started another before it joined the job, ended with
// it: by EndAll, and by the job's end.
TEST(ProcessJob, EndsTheProcessAndWhatItHadStarted) {
    const std::string waiter = windows_testing::ProgramNamedBy("KALVERO_FAKE_SERVER_EXE");
    for (const bool closeOnly : {false, true}) {
        // cmd starts the fake server's child, which waits for good.
        std::wstring command = L"cmd.exe /c \"" + WideFromUtf8(waiter) + L"\" /Child";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                                   CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started));
        const Handle shell(started.hProcess);
        CloseHandle(started.hThread);
        std::vector<DWORD> children;
        for (int wait = 0; wait < 500 && children.empty(); ++wait) {
            children = ChildrenOf(started.dwProcessId, L"fake_automation_server.exe");
            Sleep(20);
        }
        ASSERT_EQ(children.size(), 1u) << "cmd started no child within 10 s";
        const Handle child(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, children[0]));
        {
            ProcessJob job(started.dwProcessId);
            if (!closeOnly) {
                job.EndAll();
                EXPECT_TRUE(job.WaitForEnd(10000));
            }
        }
        EXPECT_EQ(WaitForSingleObject(shell.Get(), 10000), WAIT_OBJECT_0);
        EXPECT_EQ(WaitForSingleObject(child.Get(), 10000), WAIT_OBJECT_0)
            << "the child outlived it";
        TerminateProcess(child.Get(), 1);
        TerminateProcess(shell.Get(), 1);
    }
}

// What the stand-in for InitiateShutdownW was asked, and whether the
// shut-down privilege was on when it was.
struct ShutDownRequest {
    int calls = 0;
    LPWSTR machine = nullptr;
    DWORD grace = 99, flags = 0, reason = 0;
    bool privileged = false;
    DWORD answer = ERROR_SUCCESS;
} request;

bool ShutDownPrivilegeOn() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    const Handle held(token);
    PRIVILEGE_SET wanted{};
    wanted.PrivilegeCount = 1;
    LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &wanted.Privilege[0].Luid);
    BOOL on = FALSE;
    return PrivilegeCheck(held.Get(), &wanted, &on) && on;
}

DWORD WINAPI RecordShutDown(LPWSTR machine, LPWSTR, DWORD grace, DWORD flags, DWORD reason) {
    ++request.calls;
    request.machine = machine;
    request.grace = grace;
    request.flags = flags;
    request.reason = reason;
    request.privileged = ShutDownPrivilegeOn();
    return request.answer;
}

TEST(WindowsShutDown, AsksOnceForAPlainPowerOffWithThePrivilegeOn) {
    for (const DWORD answer : {DWORD(ERROR_SUCCESS), DWORD(ERROR_SHUTDOWN_IN_PROGRESS)}) {
        request = ShutDownRequest{};
        request.answer = answer;
        WindowsShutDown shutDown(RecordShutDown);
        EXPECT_EQ(shutDown.RequestShutDown(), answer == ERROR_SUCCESS);
        EXPECT_EQ(request.calls, 1);
        EXPECT_EQ(request.machine, nullptr) << "this machine";
        EXPECT_EQ(request.grace, 0u);
        EXPECT_EQ(request.flags, static_cast<DWORD>(SHUTDOWN_POWEROFF));
        EXPECT_EQ(request.reason,
                  static_cast<DWORD>(SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED));
        EXPECT_TRUE(request.privileged);
    }
}

TEST(ConsoleEvents, StandForTheSignalsOfATerminal) {
    EXPECT_EQ(SignalForConsoleEvent(CTRL_C_EVENT), 2);
    EXPECT_EQ(SignalForConsoleEvent(CTRL_BREAK_EVENT), 15);
    EXPECT_EQ(SignalForConsoleEvent(CTRL_CLOSE_EVENT), 1);
    EXPECT_EQ(SignalForConsoleEvent(CTRL_LOGOFF_EVENT), 0);
    EXPECT_EQ(ConsoleEventName(CTRL_C_EVENT), "Ctrl+C");
    EXPECT_EQ(ConsoleEventName(CTRL_BREAK_EVENT), "Ctrl+Break");
    EXPECT_EQ(ConsoleEventName(CTRL_CLOSE_EVENT), "closing the console");
}

// Sets the default text value of a key below HKEY_CLASSES_ROOT.
void SetClassValue(const std::wstring& key, const std::wstring& value) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
}

// No package under the ProgID, and a package whose server program is not
// there (which COM, in Wine, reports as a class not registered).
TEST(AutomationEngineFactory, NamesTheProgIdAndTheReasonWhenNoEngineCanBeCreated) {
    AutomationEngineFactory factory;
    EXPECT_THAT([&] { factory.CreateObject("KALVERO.NoSuchPackage"); },
                ::testing::ThrowsMessage<EngineError>(
                    "Cannot create the statistics engine KALVERO.NoSuchPackage: "
                    "no program is registered under that name; 0x800401F3"));

    const std::wstring clsid = L"{5D6B2B7E-44A1-4C0B-9E07-3C1D21A7A5F0}";
    SetClassValue(L"KALVERO.MissingServer\\CLSID", clsid);
    TestFolder folder;
    const std::string notAProgram = folder.Write("server.exe", "no program");
    for (const auto& [program, words] :
         {std::pair<std::string, std::string>{"C:\\nowhere\\server.exe", " is not there ("},
          std::pair<std::string, std::string>{notAProgram, " did not start ("}}) {
        SetClassValue(L"CLSID\\" + clsid + L"\\LocalServer32",
                      L"\"" + WideFromUtf8(program) + L"\" /Automation");
        EXPECT_THAT([&] { factory.CreateObject("KALVERO.MissingServer"); },
                    ::testing::ThrowsMessage<EngineError>(::testing::AllOf(
                        StartsWith("Cannot create the statistics engine KALVERO.MissingServer: "
                                   "its server " +
                                   program + words),
                        ::testing::HasSubstr("0x80040154)"))));
    }
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"KALVERO.MissingServer");
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str());
}

} // namespace
} // namespace kalvero
