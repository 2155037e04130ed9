// kalvero-run as its users run it: the real program, the real pspp, real
// files in a private folder. What each command line does, as a table; then
// what a batch writes.
#include "tests/cli/kalvero_run_fixture.h"

#include <map>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kalvero {
namespace {

using testing::Exists;
using ::testing::HasSubstr;
using testing::KalveroRunTest;
using ::testing::Not;
using testing::Outcomes;
using testing::ReadFile;
using testing::Tiny;
using testing::WriteFile;

struct CommandLineCase {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    const char* output; // on standard output
    const char* errors; // on standard error
};

void PrintTo(const CommandLineCase& row, std::ostream* out) {
    *out << row.name;
}

class CommandLineTest : public KalveroRunTest,
                        public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineTest, ExitsWithItsStatusAndSaysWhy) {
    const CommandLineCase& row = GetParam();
    const testing::CommandResult result = Run(row.arguments);
    EXPECT_EQ(result.exitCode, row.status) << result.errors;
    EXPECT_THAT(result.output, HasSubstr(row.output));
    EXPECT_THAT(result.errors, HasSubstr(row.errors));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"Version", {"--version"}, 0, "kalvero-run 1.0.0", ""},
        CommandLineCase{"Help", {"--help"}, 0, "Usage: kalvero-run [OPTION]... ENTRY...\n", ""},
        CommandLineCase{"UnknownLongOption", {"--help-all"}, 2, "", "Unknown option 'help-all'"},
        CommandLineCase{"UnknownOption", {"--bogus", "a.sps"}, 2, "", "Unknown option 'bogus'"},
        CommandLineCase{"MissingValue", {"a.sps", "--log"}, 2, "", "Missing value after 'log'"},
        CommandLineCase{"NoEntry", {"-f", "text"}, 2, "", "no ENTRY given"},
        CommandLineCase{"UnknownFormat", {"-f", "pdf", "a.sps"}, 2, "", "--format pdf"},
        CommandLineCase{"NoWorkers", {"-j", "0", "a.sps"}, 2, "", "--jobs 0"},
        CommandLineCase{"TooManyWorkers", {"-j", "100000", "a.sps"}, 2, "", "--jobs 100000"},
        CommandLineCase{"TimeoutNotADuration", {"-t", "soon", "a.sps"}, 2, "", "--timeout soon"},
        CommandLineCase{"TimeoutOfNothing", {"-t", "0", "a.sps"}, 2, "", "--timeout 0"},
        CommandLineCase{"TimeoutBeyondReason", {"-t", "999999d", "a.sps"}, 2, "", "100 years"},
        // A limit far beyond a file's run never ends it (no overflow).
        CommandLineCase{
            "TimeoutInUnits", {"-t", "1d", "-t", "4294968", "a.sps"}, 0, "", "1 syntax file: 1 ok"},
        CommandLineCase{"PickBeyondTheEnd",
                        {"--pick", "3", "a.sps", "b.sps"},
                        2,
                        "",
                        "--pick 3: the entries name 2 syntax files"},
        CommandLineCase{
            "RetryWithEntries", {"--retry-failed", "x.log", "a.sps"}, 2, "", "give no ENTRY"},
        CommandLineCase{"InputTwice", {"-", "-"}, 2, "", "- is given more than once"},
        CommandLineCase{"TwoWaysToPrint", {"--count", "-n", "a.sps"}, 2, "", "give only one"},
        // Without a terminal each file's start shows, with the time.
        CommandLineCase{"AllOk", {"-f", "text", "a.sps", "b.sps"}, 0, "", "] start 20"},
        CommandLineCase{
            "ErrorsInsideTheSyntax", {"err.sps"}, 3, "", "err.sps: err.sps:6: error: FREQUENCIES"},
        CommandLineCase{"MissingSyntaxFile",
                        {"a.sps", "missing.sps"},
                        1,
                        "",
                        "missing.sps: Cannot read syntax file"},
        CommandLineCase{"MissingFileOfAList",
                        {"-l", "jobs.lst", "gone.lst"},
                        1,
                        "",
                        "Cannot open the list file"},
        CommandLineCase{"Count", {"-l", "--count", "jobs.lst"}, 0, "3\n", ""},
        CommandLineCase{"CountOfAnUnreadableList",
                        {"-l", "--count", "none.lst"},
                        1,
                        "",
                        "none.lst: No such file or directory"},
        CommandLineCase{"DryRun", {"-n", "-f", "text", "a.sps", "a.txt"}, 0, "a.sps\t", ""},
        CommandLineCase{
            "PickOneOfAList", {"-l", "--pick", "2", "jobs.lst"}, 0, "", "1 syntax file: 1 ok"},
        // Alone, a repeated syntax file does not wait for its earlier self.
        CommandLineCase{
            "PickARepeatedFile", {"--pick", "2", "a.sps", "a.sps"}, 0, "", "1 syntax file: 1 ok"},
        CommandLineCase{"UnwritableLog",
                        {"--log", "no/run.log", "a.sps"},
                        1,
                        "",
                        "Cannot open the run log no/run.log"},
        // The log may not destroy an input or an output of the batch.
        CommandLineCase{"LogIsASyntaxFile",
                        {"--log", "b.sps", "a.sps", "b.sps"},
                        2,
                        "",
                        "the run log would be the syntax file"},
        CommandLineCase{"LogIsAnOutput",
                        {"--log", "a.txt", "-f", "text", "a.sps"},
                        2,
                        "",
                        "the run log would be the output of"},
        CommandLineCase{"LogIsAListFile",
                        {"--log", "jobs.lst", "-l", "jobs.lst"},
                        2,
                        "",
                        "the run log would be the syntax list file"}),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

// Without -k the batch ends at its first failure; with -k it goes on. The log
// says what happened to each file, and --retry-failed runs exactly the files
// that did not succeed, in the log's own format, from any folder.
TEST_F(KalveroRunTest, KeepGoingAndRetryingTheFailures) {
    WriteFile(folder_.Path("c.sps"), Tiny(4));
    const std::string log = folder_.Path("run.log");
    EXPECT_EQ(Run({"-f", "text", "--log", "run.log", "a.sps", "gone1.sps", "b.sps"}).exitCode, 1);
    EXPECT_EQ(
        Run({"-k", "-f", "text", "--log", "run.log", "c.sps", "gone2.sps", "err.sps"}).exitCode, 1);
    EXPECT_THAT(Outcomes(log),
                ::testing::ElementsAre("a.sps ok", "gone1.sps failed", "b.sps stopped", "c.sps ok",
                                       "gone2.sps failed", "err.sps ok-with-errors"));
    EXPECT_THAT(testing::EndedLines(log).at(2).at(7),
                HasSubstr("not started: the run stopped at the failure of"));
    EXPECT_THAT(testing::EndedLines(log).at(5).at(7), HasSubstr("err.sps:6: error: FREQUENCIES"));
    EXPECT_FALSE(Exists(folder_.Path("b.txt")));
    // Messages name the syntax file as in its own folder.
    const std::string messages = ReadFile(folder_.Path("err.txt"));
    EXPECT_THAT(messages, HasSubstr("\nerr.sps:6: error: FREQUENCIES"));
    EXPECT_THAT(messages, Not(HasSubstr(folder_.Files())));

    WriteFile(folder_.Path("gone1.sps"), Tiny(5));
    WriteFile(folder_.Path("gone2.sps"), Tiny(6));
    testing::Command retry = CommandOf({"--log", log, "--retry-failed", log});
    retry.folder = folder_.Temporary();
    const testing::CommandResult retried = testing::RunCommand(retry);
    EXPECT_EQ(retried.exitCode, 0) << retried.errors;
    EXPECT_THAT(Outcomes(log),
                ::testing::IsSupersetOf({"gone1.sps ok", "b.sps ok", "gone2.sps ok"}));
    EXPECT_EQ(Outcomes(log).size(), 9u);
    for (const char* output : {"gone1.txt", "b.txt", "gone2.txt"})
        EXPECT_TRUE(Exists(folder_.Path(output))) << output;
    EXPECT_THAT(Run({"--retry-failed", "run.log"}).errors, HasSubstr("0 syntax files"));
}

// 01 writes what 02 reads: one after another, as the windows run them, 02
// reads what 01 wrote in this run.
TEST_F(KalveroRunTest, SyntaxFilesRunOneAfterAnotherByDefault) {
    WriteFile(folder_.Path("stage.sav"), "");
    WriteFile(folder_.Path("01_prepare.sps"),
              "DATA LIST LIST /x.\nBEGIN DATA\n10\n10\nEND DATA.\nSAVE OUTFILE='stage.sav'.\n");
    WriteFile(folder_.Path("02_analyse.sps"), "GET FILE='stage.sav'.\nDESCRIPTIVES x.\n");
    const testing::CommandResult result = Run({"-f", "text", "01_prepare.sps", "02_analyse.sps"});
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_THAT(ReadFile(folder_.Path("02_analyse.txt")), HasSubstr("10.00"));
}

// Two workers write exactly what one writes; two syntax files that would
// write one output are caught whatever the timing, and the earlier wins.
TEST_F(KalveroRunTest, ParallelRunsWriteWhatASerialRunWrites) {
    std::vector<std::string> arguments = {"-k", "-f", "text", "--log", "run.log"};
    for (int i = 0; i < 6; ++i)
        arguments.push_back(WriteFile(folder_.Path("f" + std::to_string(i) + ".sps"), Tiny(i)));
    WriteFile(folder_.Path("x.sps"), Tiny(10));
    WriteFile(folder_.Path("x.sps2"), Tiny(20));
    for (const char* more : {"x.sps", "x.sps2", "a.sps", "a.sps"})
        arguments.push_back(more);

    std::map<std::string, std::string> outputs[2];
    for (const char* workers : {"-j1", "-j2"}) {
        std::vector<std::string> run = arguments;
        run.push_back(workers);
        EXPECT_EQ(Run(run).exitCode, 1) << workers;
        for (const std::string& name : testing::NamesIn(folder_.Files()))
            if (name.size() > 4 && name.substr(name.size() - 4) == ".txt") {
                outputs[workers[2] - '1'][name] = ReadFile(folder_.Path(name));
                ::unlink(folder_.Path(name).c_str());
            }
    }
    EXPECT_EQ(outputs[0].size(), 8u);
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_THAT(outputs[1]["x.txt"], HasSubstr("10.00"));
    for (const auto& fields : testing::EndedLines(folder_.Path("run.log")))
        if (fields.at(2).find("x.sps2") != std::string::npos) {
            EXPECT_EQ(fields.at(6), "failed");
            EXPECT_THAT(fields.at(7),
                        HasSubstr("would replace the output written in this run for"));
        }
}

// Entries from standard input, NUL-separated, may hold any character; a
// Windows-1252 syntax file reads right even when the locale is "C"; a name
// that is no UTF-8 passes as bytes (as xargs hands it over).
TEST_F(KalveroRunTest, EntriesFromStandardInputWithAwkwardNames) {
    const std::vector<std::string> names = {"with space.sps", "new\nline.sps", "-dash.sps",
                                            "quote'\"s.sps",
                                            "gr\xc3\xb6\xc3\x9f"
                                            "e.sps"};
    std::string input;
    for (const std::string& name : names)
        input += WriteFile(folder_.Path(name), Tiny(7)).substr(folder_.Files().size() + 1) + '\0';
    WriteFile(folder_.Path("latin.sps"), Tiny(8) + "VARIABLE LABELS x 'Gr\xfc\xdf"
                                                   "e'.\nDESCRIPTIVES x.\n");
    input += std::string("latin.sps") + '\0';

    testing::Command command = CommandOf({"-0", "-f", "text", "--log", "run.log", "-"});
    command.input = input;
    command.environment = {{"LC_ALL", "C"}};
    const testing::CommandResult result = testing::RunCommand(command);
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_THAT(result.errors, Not(HasSubstr("Qt")));
    for (const std::string& name : names)
        EXPECT_TRUE(Exists(folder_.Path(name.substr(0, name.size() - 3) + "txt"))) << name;
    // Every name is one log line, its line end escaped.
    const auto lines = testing::EndedLines(folder_.Path("run.log"));
    ASSERT_EQ(lines.size(), names.size() + 1);
    EXPECT_THAT(lines[1].at(0), HasSubstr("new\\nline.sps"));
    EXPECT_THAT(ReadFile(folder_.Path("latin.txt")), HasSubstr("Gr\xc3\xbc\xc3\x9f"
                                                               "e"));

    // The bytes reach pspp unchanged, in a folder whose name is no text.
    const std::string raw = "\xe9t\xe9/gr\xfc\xdf.sps";
    WriteFile(folder_.Path(raw), Tiny(9));
    const testing::CommandResult bytes = testing::RunCommand({"/usr/bin/xargs",
                                                              {"-0", KALVERO_RUN, "-f", "text"},
                                                              raw + '\0',
                                                              folder_.Files(),
                                                              {},
                                                              120000,
                                                              {}});
    EXPECT_EQ(bytes.exitCode, 0) << bytes.errors;
    EXPECT_THAT(ReadFile(folder_.Path("\xe9t\xe9/gr\xfc\xdf.txt")), HasSubstr("9.00"));
}

// What would run, without running it: each file, its output and any
// refusal; or the files alone, as a frozen set that a job array reads.
TEST_F(KalveroRunTest, DryRunsPrintThePlanAndRunNothing) {
    const testing::CommandResult dry = Run({"-n", "-f", "text", "a.sps", "b.txt"});
    EXPECT_EQ(dry.exitCode, 0) << dry.errors;
    EXPECT_EQ(dry.output, folder_.Path("a.sps") + "\t" + folder_.Path("a.txt") + "\t\n" +
                              folder_.Path("b.txt") + "\t" + folder_.Path("b.txt") +
                              "\tThe output " + folder_.Path("b.txt") +
                              " would replace the syntax file itself\n");
    const testing::CommandResult files = Run({"-l", "-0", "--print-files", "jobs.lst"});
    EXPECT_EQ(files.output, folder_.Path("a.sps") + '\0' + folder_.Path("b.sps") + '\0' +
                                folder_.Path("err.sps") + '\0');
    EXPECT_FALSE(Exists(folder_.Path("a.txt")));
    EXPECT_FALSE(Exists(folder_.Path("a.spo")));

    testing::Command full = CommandOf({"--count", "a.sps"});
    full.outputFile = "/dev/full";
    const testing::CommandResult unwritten = testing::RunCommand(full);
    EXPECT_EQ(unwritten.exitCode, 1);
    EXPECT_THAT(unwritten.errors, HasSubstr("cannot write to standard output"));
}

// What kalvero-run writes to a terminal of the given columns and TERM: run
// on a pseudo-terminal of its own, ended after two minutes at most.
std::string OnTerminal(const testing::Command& command, const char* term, int columns) {
    // Everything the child needs is made before the fork: between fork and
    // exec a threaded program may only make system calls.
    std::vector<char*> argv{const_cast<char*>(command.program.c_str())};
    for (const std::string& argument : command.arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> variables{std::string("TERM=") + term};
    for (char** variable = environ; *variable != nullptr; ++variable)
        if (std::string(*variable).rfind("TERM=", 0) != 0)
            variables.emplace_back(*variable);
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    struct winsize size {};
    size.ws_row = 24;
    size.ws_col = static_cast<unsigned short>(columns);
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, &size);
    if (pid == 0) {
        if (::chdir(command.folder.c_str()) == 0)
            ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    std::string written;
    char buffer[4096];
    pollfd ready{terminal, POLLIN, 0};
    while (::poll(&ready, 1, 120000) == 1) {
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got <= 0)
            break; // EIO: the program and its terminal are gone
        written.append(buffer, static_cast<std::size_t>(got));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(terminal);
    return written;
}

// On a terminal, one live line that never wraps; with TERM=dumb, plain lines
// without a single escape code.
TEST_F(KalveroRunTest, ALiveLineOnlyWhereTheTerminalUnderstandsIt) {
    WriteFile(folder_.Path("a-name-wider-than-the-terminal.sps"), Tiny(4));
    const testing::Command command =
        CommandOf({"-f", "text", "a-name-wider-than-the-terminal.sps", "b.sps"});
    const std::string live = OnTerminal(command, "xterm", 30);
    const std::string progress = live.substr(0, live.find("2 syntax files:"));
    EXPECT_THAT(progress, HasSubstr("\033[K"));
    // Each drawing goes from a carriage return to the clearing of the rest
    // of the line.
    for (std::size_t at = progress.find('\r'); at != std::string::npos;
         at = progress.find('\r', at + 1)) {
        const std::string drawn = progress.substr(at + 1, progress.find("\033[K", at) - at - 1);
        EXPECT_LE(drawn.size(), 29u) << drawn;
    }
    const std::string plain = OnTerminal(command, "dumb", 30);
    EXPECT_THAT(plain, HasSubstr("] start "));
    EXPECT_THAT(plain, Not(HasSubstr("\033")));
}

} // namespace
} // namespace kalvero
