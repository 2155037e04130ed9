// kalvero-run as its users run it: the real program, the real pspp, real
// files in a private folder.
#include "tests/support/pspp_test_support.h"

#include <QProcess>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace kalvero {
namespace {

using testing::EngineTestFolder;
using testing::Exists;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::ReadFile;
using testing::WriteFile;

std::string Tiny(int value) {
    return "DATA LIST LIST /x.\nBEGIN DATA\n" + std::to_string(value) +
           "\nEND DATA.\nDESCRIPTIVES x.\n";
}

// A syntax file that never ends: it waits for data from a FIFO nobody opens,
// after starting "sleep SECONDS" in the background (a number of its own for
// each test, since tests run side by side).
std::string WriteEndless(EngineTestFolder& folder, const std::string& name, int seconds) {
    const std::string fifo = folder.Path(name + ".fifo");
    if (!Exists(fifo))
        ::mkfifo(fifo.c_str(), 0600);
    return WriteFile(folder.Path(name), "HOST COMMAND=['sleep " + std::to_string(seconds) +
                                            " &'].\nDATA LIST FILE='" + name +
                                            ".fifo' /x 1.\nLIST.\n");
}

// The log's lines, each split into its fields.
std::vector<std::vector<std::string>> LogLines(const std::string& path) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream log(ReadFile(path));
    for (std::string line; std::getline(log, line);) {
        std::vector<std::string> fields(1);
        for (const char c : line)
            if (c == '\t')
                fields.emplace_back();
            else
                fields.back().push_back(c);
        lines.push_back(fields);
    }
    return lines;
}

// Field 6 (outcome) of each line, prefixed with the syntax file's name.
std::vector<std::string> Outcomes(const std::string& log) {
    std::vector<std::string> outcomes;
    for (const auto& fields : LogLines(log))
        outcomes.push_back(fields.at(2).substr(fields.at(2).rfind('/') + 1) + " " + fields.at(6));
    return outcomes;
}

class KalveroRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(folder_.Path("a.sps"), Tiny(1));
        WriteFile(folder_.Path("b.sps"), Tiny(2));
        WriteFile(folder_.Path("err.sps"), Tiny(3) + "FREQUENCIES nosuch.\n");
        WriteFile(folder_.Path("jobs.lst"), "* the batch\na.sps\n\nb.sps\r\nerr.sps\n");
    }
    void TearDown() override {
        EXPECT_THAT(testing::LeftRunning(folder_.Temporary()), IsEmpty());
        EXPECT_THAT(folder_.LeftInTemporary(), IsEmpty());
        // Whatever a failed test left running ends here, by id.
        testing::KillMentioning(folder_.Temporary());
        for (const std::string& text : started_)
            testing::KillMentioning(text);
    }

    // A syntax file that never ends, whose background process is ended at
    // the end of the test whatever happens.
    void Endless(const std::string& name, int seconds) {
        WriteEndless(folder_, name, seconds);
        started_.push_back("sleep " + std::to_string(seconds));
    }

    testing::CommandResult Run(std::vector<std::string> arguments, std::string input = {}) {
        testing::Command command;
        command.program = KALVERO_RUN;
        command.arguments = std::move(arguments);
        command.input = std::move(input);
        command.folder = folder_.Files();
        return testing::RunCommand(command);
    }

    EngineTestFolder folder_;
    std::vector<std::string> started_;
};

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
        CommandLineCase{"Help", {"--help"}, 0, "--keep-going", ""},
        CommandLineCase{"NoEntry", {"-f", "text"}, 2, "", "no ENTRY given"},
        CommandLineCase{"UnknownOption", {"--bogus", "a.sps"}, 2, "", "Unknown option 'bogus'"},
        CommandLineCase{"UnknownFormat", {"-f", "pdf", "a.sps"}, 2, "", "--format pdf"},
        CommandLineCase{"NoWorkers", {"-j", "0", "a.sps"}, 2, "", "--jobs 0"},
        CommandLineCase{"TimeoutNotANumber", {"-t", "soon", "a.sps"}, 2, "", "--timeout soon"},
        CommandLineCase{"PickBeyondTheEnd",
                        {"--pick", "3", "a.sps", "b.sps"},
                        2,
                        "",
                        "--pick 3: the entries name 2 syntax files"},
        CommandLineCase{
            "RetryWithEntries", {"--retry-failed", "x.log", "a.sps"}, 2, "", "give no ENTRY"},
        CommandLineCase{"InputTwice", {"-", "-"}, 2, "", "- is given more than once"},
        CommandLineCase{"AllOk", {"-f", "text", "a.sps", "b.sps"}, 0, "", "2 ok, 0 ok-with-errors"},
        CommandLineCase{"ErrorsInsideTheSyntax", {"err.sps"}, 0, "", "0 ok, 1 ok-with-errors"},
        CommandLineCase{"MissingSyntaxFile",
                        {"a.sps", "missing.sps"},
                        1,
                        "",
                        "missing.sps: Cannot read syntax file"},
        CommandLineCase{"Count", {"-l", "--count", "jobs.lst"}, 0, "3\n", ""},
        CommandLineCase{"CountOfAnUnreadableList",
                        {"-l", "--count", "none.lst"},
                        1,
                        "",
                        "Cannot open the list file none.lst"},
        CommandLineCase{
            "PickOneOfAList", {"-l", "--pick", "2", "jobs.lst"}, 0, "", "1 syntax file: 1 ok"},
        // Alone, a repeated syntax file does not wait for its earlier self.
        CommandLineCase{
            "PickARepeatedFile", {"--pick", "2", "a.sps", "a.sps"}, 0, "", "1 syntax file: 1 ok"},
        CommandLineCase{"UnwritableLog",
                        {"--log", "no/run.log", "a.sps"},
                        1,
                        "",
                        "Cannot open the run log no/run.log"}),
    [](const ::testing::TestParamInfo<CommandLineCase>& info) { return info.param.name; });

// Without -k the batch ends at its first failure; with -k it goes on. The log
// says what happened to each file, and --retry-failed runs exactly the files
// that did not succeed.
TEST_F(KalveroRunTest, KeepGoingAndRetryingTheFailures) {
    WriteFile(folder_.Path("c.sps"), Tiny(4));
    const std::string log = folder_.Path("run.log");
    EXPECT_EQ(
        Run({"-j1", "-f", "text", "--log", "run.log", "a.sps", "gone1.sps", "b.sps"}).exitCode, 1);
    EXPECT_EQ(Run({"-k", "-j1", "-f", "text", "--log", "run.log", "c.sps", "gone2.sps", "err.sps"})
                  .exitCode,
              1);
    EXPECT_THAT(Outcomes(log),
                ::testing::ElementsAre("a.sps ok", "gone1.sps failed", "b.sps stopped", "c.sps ok",
                                       "gone2.sps failed", "err.sps ok-with-errors"));
    EXPECT_THAT(LogLines(log).at(2).at(7),
                HasSubstr("not started: the run stopped at the failure of"));
    EXPECT_FALSE(Exists(folder_.Path("b.txt")));
    // Messages name the syntax file as in its own folder.
    const std::string messages = ReadFile(folder_.Path("err.txt"));
    EXPECT_THAT(messages, HasSubstr("\nerr.sps:6: error: FREQUENCIES"));
    EXPECT_THAT(messages, ::testing::Not(HasSubstr(folder_.Files())));

    WriteFile(folder_.Path("gone1.sps"), Tiny(5));
    WriteFile(folder_.Path("gone2.sps"), Tiny(6));
    const testing::CommandResult retry =
        Run({"-f", "text", "--log", "run.log", "--retry-failed", "run.log"});
    EXPECT_EQ(retry.exitCode, 0) << retry.errors;
    EXPECT_THAT(Outcomes(log),
                ::testing::IsSupersetOf({"gone1.sps ok", "b.sps ok", "gone2.sps ok"}));
    EXPECT_EQ(LogLines(log).size(), 9u);
    for (const char* output : {"gone1.txt", "b.txt", "gone2.txt"})
        EXPECT_TRUE(Exists(folder_.Path(output))) << output;
    EXPECT_THAT(Run({"--retry-failed", "run.log"}).errors, HasSubstr("0 syntax files"));
}

// A file still running when its time is up is ended with what it started;
// nothing of it is published and the batch goes on.
TEST_F(KalveroRunTest, TimeoutEndsTheFileAndEverythingItStarted) {
    Endless("endless.sps", 3023);
    const testing::CommandResult result =
        Run({"-k", "-j1", "-t", "1", "-f", "text", "--log", "run.log", "endless.sps", "a.sps"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(Outcomes(folder_.Path("run.log")),
                ::testing::ElementsAre("endless.sps timed-out", "a.sps ok"));
    EXPECT_THAT(result.errors, HasSubstr("did not finish"));
    EXPECT_FALSE(Exists(folder_.Path("endless.txt")));
    EXPECT_THAT(testing::LeftRunning("sleep 3023"), IsEmpty());
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
    const auto lines = LogLines(folder_.Path("run.log"));
    for (const auto& fields : lines)
        if (fields.at(2).find("x.sps2") != std::string::npos) {
            EXPECT_EQ(fields.at(6), "failed");
            EXPECT_THAT(fields.at(7),
                        HasSubstr("would replace the output written in this run for"));
        }
}

// SIGINT ends the running pspp processes, publishes nothing, logs every file
// and exits with 130.
TEST_F(KalveroRunTest, SigintStopsAParallelRunCleanly) {
    Endless("e1.sps", 3024);
    Endless("e2.sps", 3024);
    QProcess run;
    run.setWorkingDirectory(QString::fromStdString(folder_.Files()));
    run.start(QStringLiteral(KALVERO_RUN),
              {"-j2", "-f", "text", "--log", "run.log", "e1.sps", "e2.sps", "a.sps"});
    ASSERT_TRUE(run.waitForStarted());
    const pid_t pid = static_cast<pid_t>(run.processId());
    ASSERT_THAT(testing::PsppRunning("e1.sps", folder_.Temporary()), ::testing::Not(IsEmpty()));
    ASSERT_THAT(testing::PsppRunning("e2.sps", folder_.Temporary()), ::testing::Not(IsEmpty()));
    ::kill(pid, SIGINT);
    ASSERT_TRUE(run.waitForFinished(30000));
    EXPECT_EQ(run.exitCode(), 130);
    EXPECT_THAT(
        Outcomes(folder_.Path("run.log")),
        ::testing::UnorderedElementsAre("e1.sps stopped", "e2.sps stopped", "a.sps stopped"));
    EXPECT_THAT(testing::NamesIn(folder_.Files()),
                ::testing::UnorderedElementsAre("a.sps", "b.sps", "err.sps", "jobs.lst", "e1.sps",
                                                "e2.sps", "e1.sps.fifo", "e2.sps.fifo", "run.log"));
    EXPECT_THAT(testing::LeftRunning("sleep 3024"), IsEmpty());
}

// Entries from standard input, NUL-separated, may hold any character; a
// Windows-1252 syntax file reads right even when the locale is "C".
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

    testing::Command command;
    command.program = KALVERO_RUN;
    command.arguments = {"-0", "-j1", "-f", "text", "--log", "run.log", "-"};
    command.input = input;
    command.folder = folder_.Files();
    command.environment = {{"LC_ALL", "C"}};
    const testing::CommandResult result = testing::RunCommand(command);
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_THAT(result.errors, ::testing::Not(HasSubstr("Qt")));
    for (const std::string& name : names)
        EXPECT_TRUE(Exists(folder_.Path(name.substr(0, name.size() - 3) + "txt"))) << name;
    // Every name is one log line, its line end escaped.
    const auto lines = LogLines(folder_.Path("run.log"));
    ASSERT_EQ(lines.size(), names.size() + 1);
    EXPECT_EQ(lines[1].at(0), "new\\nline.sps");
    EXPECT_THAT(ReadFile(folder_.Path("latin.txt")), HasSubstr("Gr\xc3\xbc\xc3\x9f"
                                                               "e"));
}

} // namespace
} // namespace kalvero
