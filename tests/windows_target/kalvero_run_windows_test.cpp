// kalvero-run.exe from the outside, as a user runs it, against the fake
// package in a Wine prefix: a batch in every format with the specified call
// sequence, lists, standard input, several at once, the log and a retry;
// and each fault failing clearly and leaving nothing behind: a failing
// operation, a package that cannot start, a hanging server stopped by the
// time limit, a target that takes no file, a full disk.
#include "batch/run_settings.h"
#include "system/windows/handle.h"
#include "system/windows/wide_text.h"
#include "tests/windows_target/wine_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace kalvero {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using windows_testing::FakeServer;
using windows_testing::FileExists;
using windows_testing::NamesIn;
using windows_testing::ProgramRun;
using windows_testing::TestFolder;

constexpr DWORD kEndMs = 30000;

ProgramRun KalveroRun(const std::vector<std::string>& arguments, const std::string& input = {}) {
    return windows_testing::RunProgram(windows_testing::ProgramNamedBy("KALVERO_RUN_EXE"),
                                       arguments, input);
}

std::string Output(const std::string& file, const char* extension) {
    return OutputPathFor(file, extension);
}

// The lines of the run log after its header, each as "syntax file outcome".
std::vector<std::string> LogOutcomes(const std::string& log) {
    std::vector<std::string> outcomes;
    std::istringstream lines(testing::ReadFile(log));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');)
            fields.push_back(field);
        if (line.rfind('#', 0) != 0 && fields.size() > 6)
            outcomes.push_back(fields[2] + " " + fields[6]);
    }
    return outcomes;
}

// A field as the log writes it: backslashes doubled.
std::string Logged(const std::string& path) {
    std::string escaped;
    for (const char c : path)
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return escaped;
}

void ExpectNoTemporaries(const std::string& folder) {
    for (const std::string& name : NamesIn(folder))
        EXPECT_THAT(name, Not(StartsWith("~kalvero-"))) << "a temporary was left in " << folder;
}

struct FormatCase {
    const char* option;
    OutputFormat format;
    const char* marker;
};

class EveryFormat : public ::testing::TestWithParam<FormatCase> {};

// One server for the batch: created, GetSettings and SetOutputKind once,
// each file's conversation, QuitEngine once; each output beside its file,
// the log complete, nothing left running and no temporary left.
TEST_P(EveryFormat, RunsTheBatchWithTheSpecifiedCallsAndLogsIt) {
    const FormatCase& c = GetParam();
    TestFolder folder;
    FakeServer server(folder);
    const std::vector<std::string> files = {folder.Write("wave 1.sps", "DESCRIPTIVES x.\r\n"),
                                            folder.Write("größe.sps", "FREQUENCIES y.\r\n")};
    const std::string log = folder.Path("run.log");

    const ProgramRun run = KalveroRun({"-f", c.option, "--log", log, files[0], files[1]});

    EXPECT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(server.Calls(), windows_testing::ExpectedCalls(c.format, files));
    for (const std::string& file : files)
        EXPECT_THAT(testing::ReadFile(Output(file, TraitsOf(c.format).extension)),
                    AllOf(StartsWith(c.marker), HasSubstr(file)));
    EXPECT_THAT(LogOutcomes(log),
                ElementsAre(Logged(files[0]) + " planned", Logged(files[1]) + " planned",
                            Logged(files[0]) + " ok", Logged(files[1]) + " ok"));
    EXPECT_TRUE(server.WaitForEnd(kEndMs)) << "the server still runs after the batch";
    ExpectNoTemporaries(folder.Path(""));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EveryFormat,
    ::testing::Values(FormatCase{"viewer", OutputFormat::Viewer, "KALVERO fake Viewer document"},
                      FormatCase{"draft", OutputFormat::Draft,
                                 "{\\rtf1 KALVERO fake Draft document}"},
                      FormatCase{"text", OutputFormat::Text, "KALVERO fake Text export"}),
    [](const ::testing::TestParamInfo<FormatCase>& info) { return info.param.option; });

// Entries from a list file (Windows line ends, comments, blanks, blanks
// around names) and from standard input; the plan shown by a dry run with
// Windows paths.
TEST(Entries, ListFilesStandardInputAndDryRunsNameTheSyntaxFiles) {
    TestFolder folder;
    FakeServer server(folder);
    const std::string a = folder.Write("a b.sps", "LIST.\r\n");
    const std::string b = folder.Write("ß.sps", "LIST.\r\n");
    const std::string list =
        folder.Write("jobs.lst", "* the batch\r\n\r\n  " + a + "  \r\n   * x\r\n" + b);

    const ProgramRun lists = KalveroRun({"--lists", "-f", "text", list});
    EXPECT_EQ(lists.exitCode, 0u) << lists.errors;
    const ProgramRun input = KalveroRun({"-f", "text", "-"}, b + "\r\n");
    EXPECT_EQ(input.exitCode, 0u) << input.errors;
    std::vector<std::string> ran;
    for (const std::string& call : server.Calls())
        if (call.rfind("RunSyntaxFile(", 0) == 0)
            ran.push_back(call);
    EXPECT_THAT(ran, ElementsAre("RunSyntaxFile(" + a + ", -1)", "RunSyntaxFile(" + b + ", -1)",
                                 "RunSyntaxFile(" + b + ", -1)"));
    EXPECT_TRUE(FileExists(Output(a, "txt")));
    EXPECT_TRUE(server.WaitForEnd(kEndMs));

    const ProgramRun count = KalveroRun({"--lists", "--count", list});
    EXPECT_EQ(count.output, "2\n");
    const ProgramRun dryRun = KalveroRun({"-n", "C:\\data\\wave1.sps", "D:\\run.old\\job"});
    EXPECT_EQ(dryRun.output, "C:\\\\data\\\\wave1.sps\tC:\\\\data\\\\wave1.spo\t\n"
                             "D:\\\\run.old\\\\job\tD:\\\\run.old\\\\job.spo\t\n");
    const ProgramRun usage = KalveroRun({"--format", "pdf", a});
    EXPECT_EQ(usage.exitCode, 2u);
    EXPECT_THAT(usage.errors, StartsWith("kalvero-run: --format pdf: the formats are viewer, "
                                         "draft and text\r\nTry 'kalvero-run --help'"));
}

// A failing operation stops the batch at its file, saying which call failed
// for which file and why; the log names what ran, failed and never started,
// and a retry from the log runs exactly those.
TEST(FailingOperation, StopsTheBatchNamingItAndARetryRunsWhatIsLeft) {
    TestFolder folder;
    FakeServer server(folder, "RunSyntaxFile 2 0x80070005");
    const std::vector<std::string> files = {folder.Write("a.sps", "LIST.\r\n"),
                                            folder.Write("b ü.sps", "LIST.\r\n"),
                                            folder.Write("c.sps", "LIST.\r\n")};
    const std::string log = folder.Path("run.log");

    const ProgramRun failed = KalveroRun({"--log", log, files[0], files[1], files[2]});

    EXPECT_EQ(failed.exitCode, 1u);
    EXPECT_THAT(failed.errors, HasSubstr("RunSyntaxFile failed for " + files[1] +
                                         ": Access denied. (0x80070005)"));
    EXPECT_TRUE(FileExists(Output(files[0], "spo")));
    EXPECT_FALSE(FileExists(Output(files[1], "spo")));
    EXPECT_FALSE(FileExists(Output(files[2], "spo")));
    const std::vector<std::string> outcomes = LogOutcomes(log);
    ASSERT_EQ(outcomes.size(), 6u);
    EXPECT_THAT(std::vector<std::string>(outcomes.begin() + 3, outcomes.end()),
                ElementsAre(Logged(files[0]) + " ok", Logged(files[1]) + " failed",
                            Logged(files[2]) + " stopped"));
    EXPECT_TRUE(server.WaitForEnd(kEndMs)) << "the server outlived a failed batch";

    server.SetFault("");
    const ProgramRun retried = KalveroRun({"--log", log, "--retry-failed", log});
    EXPECT_EQ(retried.exitCode, 0u) << retried.errors;
    EXPECT_TRUE(FileExists(Output(files[1], "spo")));
    EXPECT_TRUE(FileExists(Output(files[2], "spo")));
    EXPECT_THAT(LogOutcomes(log), Contains(Logged(files[2]) + " ok"));
    EXPECT_TRUE(server.WaitForEnd(kEndMs));
    ExpectNoTemporaries(folder.Path(""));
}

// A package that cannot start (here: its settings refused) is one failure
// of the whole batch, with its own exit status.
TEST(FailingOperation, APackageThatCannotStartEndsTheBatchWithStatus4) {
    TestFolder folder;
    FakeServer server(folder, "GetSettings 1 0x80070005");
    const std::string file = folder.Write("a.sps", "LIST.\r\n");
    const ProgramRun run = KalveroRun({file});
    EXPECT_EQ(run.exitCode, 4u);
    EXPECT_THAT(run.errors,
                HasSubstr("kalvero-run: GetSettings failed: Access denied. (0x80070005)"));
    EXPECT_EQ(server.Calls(), std::vector<std::string>{"GetSettings()"});
    EXPECT_TRUE(server.WaitForEnd(kEndMs));
}

// A syntax file that never ends is ended after the time limit with the
// server and what the server started; the batch goes on with a new server.
TEST(TimeLimit, EndsAHangingServerWithWhatItStartedAndTheBatchGoesOn) {
    TestFolder folder;
    FakeServer server(folder, "RunSyntaxFile 1 spawn-and-hang");
    const std::string endless = folder.Write("endless.sps", "LOOP.\r\n");
    const std::string next = folder.Write("next.sps", "LIST.\r\n");
    const std::string log = folder.Path("run.log");

    const ProgramRun run = KalveroRun({"-k", "-t", "2", "--log", log, endless, next});

    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_THAT(run.errors, HasSubstr("The statistics package did not finish " + endless +
                                      " within 2 s; it was ended with everything it started"));
    EXPECT_THAT(LogOutcomes(log), Contains(Logged(endless) + " timed-out"));
    EXPECT_THAT(LogOutcomes(log), Contains(Logged(next) + " ok"));
    EXPECT_EQ(server.ProcessIds().size(), 3u) << "two servers and the child of the first";
    EXPECT_TRUE(server.WaitForEnd(kEndMs)) << "a server or its child outlived the batch";
    EXPECT_FALSE(FileExists(Output(endless, "spo")));
    EXPECT_TRUE(FileExists(Output(next, "spo")));
    ExpectNoTemporaries(folder.Path(""));
}

// Several syntax files at once: a server for each worker, each made, used
// and quit on its worker's thread.
TEST(SeveralAtOnce, EachWorkerHasAServerOfItsOwn) {
    TestFolder folder;
    FakeServer server(folder);
    std::vector<std::string> arguments = {"-j", "2", "-f", "draft"};
    for (const char* name : {"1.sps", "2.sps", "3.sps", "4.sps"})
        arguments.push_back(folder.Write(name, "LIST.\r\n"));

    const ProgramRun run = KalveroRun(arguments);

    EXPECT_EQ(run.exitCode, 0u) << run.errors;
    EXPECT_EQ(server.ProcessIds().size(), 2u);
    for (std::size_t i = 4; i < arguments.size(); ++i)
        EXPECT_TRUE(FileExists(Output(arguments[i], "rtf"))) << arguments[i];
    const std::vector<std::string> calls = server.Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "QuitEngine()"), 2);
    EXPECT_TRUE(server.WaitForEnd(kEndMs));
}

// A small file system that the prefix's setup made for the tests
// (wine_prefix.sh), as a Windows folder; empty, with the reason in why,
// where there is none.
std::string Volume(const char* name, std::string& why) {
    const std::string prefix = windows_testing::ProgramNamedBy("KALVERO_WINE_FOLDER");
    why = testing::ReadFile(prefix + "\\volumes.unusable");
    return why.empty() ? prefix + "\\" + name : std::string();
}

// An output folder that takes no file fails the syntax file before anything
// is written, naming the output and the system's reason.
TEST(Targets, AFolderThatTakesNoFileFailsNamingTheOutput) {
    std::string why;
    const std::string readOnly = Volume("read-only", why);
    if (readOnly.empty())
        GTEST_SKIP() << why;
    TestFolder folder;
    FakeServer server(folder);
    const std::string file = readOnly + "\\wave 1.sps";
    const ProgramRun run = KalveroRun({"-f", "text", "--log", folder.Path("run.log"), file});
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_THAT(run.errors, HasSubstr("Cannot write " + Output(file, "txt") + ": "));
    EXPECT_EQ(NamesIn(readOnly), std::vector<std::string>{"wave 1.sps"});
    EXPECT_TRUE(server.WaitForEnd(kEndMs));
}

// Fills the folder's disk up to room bytes.
void FillUpTo(const std::string& folder, ULONGLONG room) {
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(WideFromUtf8(folder).c_str(), &available, &total, &free));
    ASSERT_GE(available.QuadPart, room);
    const Handle filler(CreateFileW(WideFromUtf8(folder + "\\filler").c_str(), FILE_APPEND_DATA, 0,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string block(static_cast<std::size_t>(available.QuadPart - room), 'f');
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(filler.Get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr));
}

// A full disk: the package's failing write, and a write that took the last
// room (which may be cut short without a word), both publish nothing.
TEST(Targets, AFullDiskPublishesNothingAndSaysSo) {
    std::string why;
    const std::string full = Volume("full", why);
    if (full.empty())
        GTEST_SKIP() << why;
    TestFolder folder;
    FakeServer server(folder);
    const std::string here = full + "\\run " + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(WideFromUtf8(here).c_str(), nullptr));
    const std::string file = testing::WriteFile(here + "\\wave 1.sps", "LIST.\r\n");
    const std::string output = Output(file, "spo");
    struct Room {
        ULONGLONG bytes;
        const char* words;
    };
    for (const Room& room : {Room{4096, ": Disk full."}, Room{0, "failed for "}}) {
        FillUpTo(here, room.bytes);
        const ProgramRun run = KalveroRun({file});
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_THAT(run.errors, HasSubstr(output)) << room.bytes;
        EXPECT_THAT(run.errors, HasSubstr(room.words)) << run.errors;
        EXPECT_THAT(NamesIn(here), ::testing::UnorderedElementsAre("wave 1.sps", "filler"));
    }
    EXPECT_TRUE(server.WaitForEnd(kEndMs));
    for (const std::string& name : NamesIn(here))
        DeleteFileW(WideFromUtf8(here + "\\" + name).c_str());
    RemoveDirectoryW(WideFromUtf8(here).c_str());
}

} // namespace
} // namespace kalvero
