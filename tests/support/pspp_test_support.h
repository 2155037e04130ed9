// Helpers for the tests of the PSPP engine: a private folder for each test
// (with its own TMPDIR, so that every temporary the engine or pspp leaves
// behind is seen), the names in a folder, environment variables, and the
// child processes of this test. Files written byte for byte and the working
// directory: temp_dir.h.
#pragma once

#include "tests/support/temp_dir.h"

#include <QTemporaryDir>

#include <functional>
#include <ostream>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace kalvero::testing {

class EngineTestFolder {
public:
    EngineTestFolder();
    ~EngineTestFolder();
    EngineTestFolder(const EngineTestFolder&) = delete;
    EngineTestFolder& operator=(const EngineTestFolder&) = delete;

    // The folder for syntax and output files.
    const std::string& Files() const { return files_; }
    // Files() + "/" + name.
    std::string Path(const std::string& name) const { return files_ + "/" + name; }
    // The folder TMPDIR points at while the test runs.
    const std::string& Temporary() const { return temporary_; }
    // The names in Temporary(), recursively (empty when nothing is left).
    std::vector<std::string> LeftInTemporary() const;

private:
    QTemporaryDir root_;
    std::string files_;
    std::string temporary_;
    std::string savedTmpdir_;
    bool hadTmpdir_ = false;
};

// The names in folder (not recursive), "." and ".." left out.
std::vector<std::string> NamesIn(const std::string& folder);

// Sets an environment variable for its lifetime.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const std::string& value);
    ~EnvironmentVariable();
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    std::string name_;
    std::string saved_;
    bool had_ = false;
};

// Processes whose parent is this process, with their command names.
struct ChildProcess {
    pid_t pid;
    std::string command;
};
inline void PrintTo(const ChildProcess& process, std::ostream* out) {
    *out << process.pid << " " << process.command;
}
std::vector<ChildProcess> ChildrenOf(pid_t parent);
// The parent of pid (and its command name); 0 when pid is gone.
pid_t ParentOf(pid_t pid, std::string* command = nullptr);
std::vector<ChildProcess> ChildrenOfThisProcess();

// Processes other than this one whose command line (arguments joined by
// blanks) mentions text.
std::vector<ChildProcess> ProcessesMentioning(const std::string& text);
// The same, after waiting up to 2 s for them to go: a killed process leaves
// the process table a little after the kill.
std::vector<ChildProcess> LeftRunning(const std::string& text);

// The pspp processes that run syntax and write into the folder output (a
// test's own temporary folder), found by their arguments (pspp gets a syntax
// file's name as in its own folder: "a.sps"), waiting up to timeoutMs for the
// first to appear. A process that merely mentions the file, a pspp asked
// for its version, or the copy of a pspp that forks to run HOST, is not one
// of them; nor is the supervisor between the program and pspp.
std::vector<ChildProcess> PsppRunning(const std::string& syntax, const std::string& output,
                                      int timeoutMs = 20000);

// Waits up to timeoutMs for condition; returns whether it holds.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs);

// Whether the process has ended within timeoutMs: gone from the process
// table, or a zombie that its parent has not reaped yet.
bool Gone(pid_t pid, int timeoutMs = 2000);

// Ends every process whose command line mentions text (by id, with SIGKILL)
// and returns them: a test ends what it started, even when it fails.
std::vector<ChildProcess> KillMentioning(const std::string& text);

// Runs program with arguments (no shell) and returns its merged output;
// exitCode receives its exit status (-1 when it did not run normally).
std::string RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                       int& exitCode);

// A program run with more control: standard input, a working directory and
// environment variables set on top of this process's.
struct Command {
    std::string program;
    std::vector<std::string> arguments;
    std::string input;
    std::string folder; // empty: this process's
    std::vector<std::pair<std::string, std::string>> environment;
    int timeoutMs = 120000;
    std::string outputFile; // standard output goes there when set
};
struct CommandResult {
    int exitCode = -1; // -1 when it did not exit normally in time
    std::string output;
    std::string errors;
};
CommandResult RunCommand(const Command& command);

// LibreOffice's headless converter, with a profile of its own in a folder of
// its own, as a reader of documents that owes nothing to their writer:
// converts each document to format ("txt:Text", "html", ...) in one run and
// returns what it wrote for each (empty when LibreOffice, soffice, is not
// installed). draft_readers.h reads Draft documents with it and others.
std::vector<std::string> ReadBackWithLibreOffice(const std::vector<std::string>& documents,
                                                 const std::string& format);
// The same conversion into folder, each document as its name with the
// format's extension there.
void ConvertWithLibreOffice(const std::vector<std::string>& documents, const std::string& format,
                            const std::string& folder);

} // namespace kalvero::testing
