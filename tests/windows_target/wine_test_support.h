// What the Windows target's tests share beside tests/support: the fake
// automation server as one test sees it (its journal, its planned fault and
// its processes), running a program with its output caught, and the
// processes of a program that are still running.
#pragma once

#include "batch/run_settings.h"
#include "tests/support/temp_dir.h"

#include <windows.h>

#include <string>
#include <vector>

namespace kalvero::windows_testing {

// A folder of the test's own whose name holds a blank and non-ASCII letters.
class TestFolder : public testing::TempDir {
public:
    TestFolder() : TempDir("kalvero Grüße ") {}
};

// Sets the fake server's journal (a new file in folder) and its fault in
// this process's environment, which the programs it starts inherit, and the
// servers they start (Wine starts a local server from the process that asks
// for it). The destructor ends the servers still running, by their process
// ids, and clears both.
class FakeServer {
public:
    explicit FakeServer(const testing::TempDir& folder, const std::string& fault = {});
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    // Plans another fault (none: "") for the servers started from now on.
    void SetFault(const std::string& fault);

    std::vector<std::string> Journal() const;
    // The journal's calls only ("Name(arguments)"), in order, with the
    // temporaries' varying part left out: "~kalvero-*-wave1.spo".
    std::vector<std::string> Calls() const;
    // Waits until a journal line starts with prefix; false after timeoutMs.
    bool WaitForLine(const std::string& prefix, DWORD timeoutMs) const;
    // The ids of the processes the journal names ("started", "child").
    std::vector<DWORD> ProcessIds() const;
    // The first server's process id; 0 before it has started.
    DWORD ProcessId() const;
    // Waits until every process the journal names has ended; false after
    // timeoutMs.
    bool WaitForEnd(DWORD timeoutMs) const;
    // Ends the servers' processes at once.
    void Kill() const;

private:
    std::string journal_;
};

// The output a syntax file gets, and where the engine has the server save
// it, as the journal shows it.
std::string OutputOf(const std::string& file, OutputFormat format);
std::string SavedAs(const std::string& output);

// The engine calls one syntax file gets: RunSyntaxFile, one document, its
// save or export, CloseDocument.
std::vector<std::string> FileCalls(OutputFormat format, const std::string& file);
// The engine calls of a batch of syntax files, as the journal shows them:
// GetSettings and SetOutputKind once, each file's calls, QuitEngine once.
std::vector<std::string> ExpectedCalls(OutputFormat format, const std::vector<std::string>& files);

// A temporary's name as the journal shows it, its varying part left out.
std::string WithoutTemporaryNumbers(const std::string& text);

struct ProgramRun {
    DWORD exitCode = 0;
    bool timedOut = false;
    std::string output; // standard output
    std::string errors; // standard error
};

// Runs program with arguments (each quoted as Windows's runtime reads them
// back) and input on standard input; ends it when it runs longer than
// timeoutMs.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& input = {}, DWORD timeoutMs = 120000);

// The Windows path of the program that the environment variable names by
// its Unix path (as the build hands it in), which Wine shows as drive Z:.
std::string ProgramNamedBy(const char* variable);

// Whether a file exists.
bool FileExists(const std::string& path);
// The names in folder.
std::vector<std::string> NamesIn(const std::string& folder);

} // namespace kalvero::windows_testing
