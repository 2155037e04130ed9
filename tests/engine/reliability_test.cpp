// What an overnight batch must survive with the real pspp: a full disk (a
// small tmpfs the test mounts) for pspp's folder or the output folder, and
// a program that is killed or signalled in the middle of a run.
#include "batch/run_settings.h"
#include "batch/run_stop.h"
#include "documents/spv_check.h"
#include "engine/engine_folder.h"
#include "engine/pspp_engine.h"
#include "system/disk_room.h"
#include "tests/support/pspp_test_support.h"
#include "tests/support/small_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kalvero {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::NamesIn;
using testing::ReadFile;
using testing::WriteFile;

// Enough output that a full file system cuts it off.
constexpr const char* kLongSyntax = "INPUT PROGRAM.\n"
                                    "LOOP #i = 1 TO 400.\n"
                                    "COMPUTE x = #i.\n"
                                    "END CASE.\n"
                                    "END LOOP.\n"
                                    "END FILE.\n"
                                    "END INPUT PROGRAM.\n"
                                    "DESCRIPTIVES x.\n"
                                    "LIST.\n";

struct FullCase {
    OutputFormat format;
    bool outputFolderFull; // otherwise pspp's own (temporary) folder is full
};

void PrintTo(const FullCase& c, std::ostream* os) {
    *os << TraitsOf(c.format).extension
        << (c.outputFolderFull ? ", output folder" : ", pspp's folder");
}

class FullDiskTest : public ::testing::TestWithParam<FullCase> {};

// A full disk is a failure naming the folder and the reason, the older
// output stays byte for byte, and nothing is left behind.
TEST_P(FullDiskTest, IsAFailureThatKeepsTheOlderOutput) {
    const FullCase c = GetParam();
    testing::EngineTestFolder folder;
    testing::SmallFileSystem full(folder.Path("full"));
    if (!full.Error().empty())
        GTEST_SKIP() << "cannot mount a tmpfs to fill (" << full.Error() << "); needs root";
    const std::string outputs = c.outputFolderFull ? folder.Path("full") : folder.Files();
    const std::string syntax = WriteFile(outputs + "/a.sps", kLongSyntax);
    const std::string extension = TraitsOf(c.format).extension;
    const std::string older = WriteFile(outputs + "/a." + extension, "the older output\n");

    std::unique_ptr<testing::EnvironmentVariable> tmpdir;
    if (!c.outputFolderFull)
        tmpdir = std::make_unique<testing::EnvironmentVariable>("TMPDIR", folder.Path("full"));
    PsppEngineFactory factory;
    auto engine = factory.CreateObject(kEngineProgId);
    engine->GetSettings()->SetOutputKind(TraitsOf(c.format).outputKind);
    full.Fill();

    std::string failure;
    try {
        engine->RunSyntaxFile(syntax, true);
        auto document = c.format == OutputFormat::Draft ? engine->CurrentDraftDocument()
                                                        : engine->CurrentViewerDocument();
        if (c.format == OutputFormat::Text)
            document->ExportText(1, older, 1, 0);
        else
            document->SaveDocument(older);
    } catch (const EngineError& error) {
        failure = error.what();
    }
    EXPECT_THAT(failure,
                AllOf(HasSubstr("No space left on device"), HasSubstr(folder.Path("full"))));
    EXPECT_EQ(ReadFile(older), "the older output\n");
    engine.reset();
    std::vector<std::string> left = NamesIn(outputs);
    EXPECT_THAT(left, ::testing::UnorderedElementsAreArray(
                          c.outputFolderFull
                              ? std::vector<std::string>{".filler", "a.sps", "a." + extension}
                              : std::vector<std::string>{"a.sps", "a." + extension, "full"}));
    if (!c.outputFolderFull) {
        EXPECT_THAT(NamesIn(folder.Path("full")), ::testing::ElementsAre(".filler"));
    }
    EXPECT_THAT(folder.LeftInTemporary(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, FullDiskTest,
    ::testing::Values(FullCase{OutputFormat::Viewer, false}, FullCase{OutputFormat::Draft, false},
                      FullCase{OutputFormat::Text, false}, FullCase{OutputFormat::Viewer, true},
                      FullCase{OutputFormat::Draft, true}, FullCase{OutputFormat::Text, true}),
    [](const ::testing::TestParamInfo<FullCase>& info) {
        return std::string(TraitsOf(info.param.format).extension) +
               (info.param.outputFolderFull ? "_OutputFolderFull" : "_TemporaryFolderFull");
    });

// A Viewer file is a zip archive: one that pspp wrote whole passes, and one
// cut off or with its directory damaged is found, whatever its exit status.
TEST(ViewerOutputCheck, FindsCutOffAndDamagedArchives) {
    testing::EngineTestFolder folder;
    const std::string syntax = WriteFile(folder.Path("a.sps"), kLongSyntax);
    int status = -1;
    testing::RunProgram("pspp", {"-r", "-o", folder.Path("a.spv"), syntax}, status);
    const std::string whole = ReadFile(folder.Path("a.spv"));
    ASSERT_EQ(status, 0);
    // pspp writes no archive comment: the end record is the last 22 bytes;
    // its first entry starts the file.
    const std::size_t end = whole.size() - 22;
    ASSERT_EQ(whole.compare(0, 4, "PK\x03\x04"), 0);
    ASSERT_EQ(whole.compare(end, 4, "PK\x05\x06"), 0);
    auto at = [](std::string bytes, std::size_t offset, int change) {
        bytes[offset] = static_cast<char>(bytes[offset] + change);
        return bytes;
    };
    const std::size_t directory =
        static_cast<unsigned char>(whole[end + 16]) |
        static_cast<unsigned char>(whole[end + 17]) << 8 |
        static_cast<unsigned char>(whole[end + 18]) << 16 |
        static_cast<std::size_t>(static_cast<unsigned char>(whole[end + 19])) << 24;
    const struct {
        const char* what;
        std::string bytes;
        const char* problem; // empty: complete
    } cases[] = {
        {"whole", whole, ""},
        {"cut in the middle", whole.substr(0, whole.size() / 2),
         "it is cut off: its zip directory is missing"},
        {"last byte missing", whole.substr(0, whole.size() - 1),
         "it is cut off: its zip directory is missing"},
        {"ten bytes", whole.substr(0, 10), "it is cut off (10 bytes)"},
        {"empty", "", "it is cut off (0 bytes)"},
        {"one entry more counted", at(at(whole, end + 8, 1), end + 10, 1),
         "its zip directory is damaged"},
        {"directory said to start later", at(whole, end + 16, 1),
         "its zip directory does not match its size"},
        {"first entry's data said to lie later", at(whole, directory + 42, 1),
         "an entry of its zip directory points past its data"},
        {"first entry's compressed size one more in the directory", at(whole, directory + 20, 1),
         "an entry's compressed size differs between its zip directory and its data"},
        {"first entry's compressed size one less in the directory", at(whole, directory + 20, -1),
         "an entry's compressed size differs between its zip directory and its data"},
        {"first entry's compressed size one more in both places",
         at(at(whole, 18, 1), directory + 20, 1),
         "the data of two entries of its zip directory overlap"},
    };
    for (const auto& c : cases) {
        const std::string damaged = WriteFile(folder.Path("damaged.spv"), c.bytes);
        EXPECT_EQ(ZipProblem(damaged), c.problem) << c.what;
    }
}

// Whatever the program is ended by, nothing of a syntax file's is left this
// soon after: no pspp, no supervisor, no background process, no folder.
constexpr int kNothingLeftWithinMs = 1000;

// The run driver started on a syntax file that never ends, with pspp
// running under it and "sleep SECONDS" started in the background (a number
// of each test's own, since tests run side by side).
class DriverRun {
public:
    DriverRun(const testing::EngineTestFolder& folder, int seconds)
        : temporary_(folder.Temporary()), sleep_("sleep " + std::to_string(seconds)) {
        // Reading a FIFO that nobody writes never ends.
        ::mkfifo(folder.Path("never.fifo").c_str(), 0600);
        const std::string syntax =
            WriteFile(folder.Path("endless.sps"), "HOST COMMAND=['" + sleep_ +
                                                      " &'].\nDATA LIST FILE='never.fifo' /x "
                                                      "1.\nLIST.\n");
        driver_.setProgram(QStringLiteral(KALVERO_RUN_DRIVER));
        driver_.setArguments({QString::fromStdString(syntax)});
        driver_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        driver_.start();
        driver_.waitForStarted();
        // The pspp that runs the syntax file, not the one asked for its
        // version first, once it has started its background process.
        const std::vector<testing::ChildProcess> running =
            testing::PsppRunning("endless.sps", folder.Temporary());
        const auto started = [&] { return !testing::ProcessesMentioning(sleep_).empty(); };
        if (running.size() == 1 && testing::WaitUntil(started, 20000))
            pspp_ = running.front().pid;
    }
    ~DriverRun() {
        driver_.kill();
        driver_.waitForFinished();
        testing::KillMentioning(temporary_);
        testing::KillMentioning(sleep_);
    }
    pid_t Pspp() const { return pspp_; }
    pid_t Driver() { return static_cast<pid_t>(driver_.processId()); }
    // The driver's exit status once it ended within a few seconds, or -1.
    int Ended() {
        if (!driver_.waitForFinished(10000))
            return -1;
        return driver_.exitStatus() == QProcess::CrashExit ? 128 + driver_.exitCode()
                                                           : driver_.exitCode();
    }
    // What the driver printed: the run's messages.
    std::string Messages() { return driver_.readAllStandardOutput().toStdString(); }
    // The processes left of the run: pspp, its supervisor, the watch over
    // the engine's folder (all name the folder) and the background process.
    std::vector<testing::ChildProcess> Left() const {
        std::vector<testing::ChildProcess> left = testing::ProcessesMentioning(temporary_);
        for (const testing::ChildProcess& process : testing::ProcessesMentioning(sleep_))
            left.push_back(process);
        return left;
    }

private:
    std::string temporary_;
    std::string sleep_;
    QProcess driver_;
    pid_t pspp_ = 0;
};

// Killed outright (SIGKILL, the OOM killer, a cluster's kill after its grace
// time), the program takes with it everything the syntax file started, in
// any group, and its folder goes at once.
TEST(KilledProgramTest, SigkillLeavesNothingRunningAndNoFolder) {
    testing::EngineTestFolder folder;
    DriverRun run(folder, 3031);
    ASSERT_NE(run.Pspp(), 0) << "pspp did not start its background process under the driver";
    ::kill(run.Driver(), SIGKILL);
    EXPECT_EQ(run.Ended(), 128 + SIGKILL);
    EXPECT_TRUE(
        testing::WaitUntil([&] { return run.Left().empty() && folder.LeftInTemporary().empty(); },
                           kNothingLeftWithinMs));
    EXPECT_THAT(run.Left(), IsEmpty());
    EXPECT_THAT(folder.LeftInTemporary(), IsEmpty());
}

// Should an engine's folder be left all the same (its supervisor killed
// too), the next start removes it, but never a folder that an engine holds.
TEST(KilledProgramTest, TheNextStartRemovesTheFolderOfADeadInstance) {
    testing::EngineTestFolder folder;
    WriteFile(folder.Temporary() + "/kalvero-pspp-dead01/.lock", "");
    WriteFile(folder.Temporary() + "/kalvero-pspp-dead01/work/output.spv", "PK");
    EngineFolder running; // another instance's, in use
    EXPECT_EQ(RemoveStaleEngineFolders(), 1);
    EXPECT_THAT(NamesIn(folder.Temporary()),
                ::testing::ElementsAre(running.Path().substr(running.Path().rfind('/') + 1)));
}

// Instances started together (GNU parallel, a job array) clean up while
// the others make their folders: a folder being made is never taken.
TEST(KilledProgramTest, TheCleanUpNeverTakesAFolderBeingMade) {
    testing::EngineTestFolder folder;
    std::atomic<bool> making{true};
    std::thread cleaner([&] {
        while (making)
            RemoveStaleEngineFolders();
    });
    int lost = 0;
    std::string failure;
    for (int i = 0; i < 2000 && failure.empty(); ++i) {
        try {
            EngineFolder made;
            if (::mkdir((made.Path() + "/work").c_str(), 0700) != 0)
                ++lost;
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    making = false;
    cleaner.join();
    EXPECT_EQ(failure, "");
    EXPECT_EQ(lost, 0);
}

// SIGTERM, SIGINT and SIGHUP stop the run cleanly before the program ends.
TEST(KilledProgramTest, TerminationSignalsEndPsppAndRemoveTheFolderAtOnce) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        testing::EngineTestFolder folder;
        DriverRun run(folder, 3032);
        ASSERT_NE(run.Pspp(), 0) << "pspp did not start under the driver";
        ::kill(run.Driver(), signal);
        EXPECT_EQ(run.Ended(), 128 + signal) << ::strsignal(signal);
        EXPECT_TRUE(testing::Gone(run.Pspp()));
        EXPECT_THAT(run.Messages(),
                    HasSubstr(std::string("ended by the signal SIG") + ::sigabbrev_np(signal)));
        EXPECT_THAT(run.Left(), IsEmpty());
        EXPECT_THAT(folder.LeftInTemporary(), IsEmpty()) << ::strsignal(signal);
        EXPECT_THAT(NamesIn(folder.Files()),
                    ::testing::UnorderedElementsAre("endless.sps", "never.fifo"));
    }
}

// A job's signal reaches pspp and the program at about the same time (Slurm
// signals every process of a job step): even when pspp's end is seen before
// the program's own signal arrives, the file is stopped, not failed.
TEST(KilledProgramTest, ASignalToPsppAndTheProgramAtOnceIsAStop) {
    testing::EngineTestFolder folder;
    DriverRun run(folder, 3033);
    ASSERT_NE(run.Pspp(), 0) << "pspp did not start under the driver";
    // Once the driver has reaped pspp's supervisor, it has seen pspp's end.
    const pid_t supervisor = testing::ParentOf(run.Pspp());
    ::kill(run.Pspp(), SIGTERM);
    ASSERT_TRUE(testing::WaitUntil([&] { return ::kill(supervisor, 0) != 0; }, 20000));
    ::kill(run.Driver(), SIGTERM);
    EXPECT_EQ(run.Ended(), 128 + SIGTERM);
    const std::string messages = run.Messages();
    EXPECT_THAT(messages, HasSubstr("ended by the signal SIGTERM"));
    EXPECT_THAT(messages, ::testing::Not(HasSubstr("signal 15")));
    EXPECT_THAT(run.Left(), IsEmpty());
    EXPECT_THAT(folder.LeftInTemporary(), IsEmpty());
}

// A time limit ends pspp as a failure of its own kind that names the limit
// (that it is never early is tested at the child's seam); a limit beyond 32
// bits of milliseconds (2^32 + 1 ms would wrap around to 1 ms) or beyond
// the clock does not end it early.
TEST(TimeLimitTest, EndsPsppAsAFailureOfItsOwnAndNeverWrapsAround) {
    testing::EngineTestFolder folder;
    ::mkfifo(folder.Path("never.fifo").c_str(), 0600);
    const std::string endless =
        WriteFile(folder.Path("endless.sps"), "DATA LIST FILE='never.fifo' /x 1.\nLIST.\n");
    auto limited = PsppEngineFactory(std::chrono::milliseconds(250)).CreateObject(kEngineProgId);
    limited->GetSettings()->SetOutputKind(0);
    try {
        limited->RunSyntaxFile(endless, true);
        ADD_FAILURE() << "the time limit did not end " << endless;
    } catch (const EngineTimedOut& failure) {
        EXPECT_EQ(std::string(failure.what()),
                  "PSPP did not finish " + endless +
                      " within 0.25 s; it was ended with everything it started");
    }
    limited->QuitEngine();

    const std::string syntax = WriteFile(folder.Path("t.sps"), "DATA LIST LIST /x.\nBEGIN DATA\n4\n"
                                                               "END DATA.\nLIST.\n");
    for (const std::chrono::milliseconds limit :
         {std::chrono::milliseconds(4294967297LL), std::chrono::milliseconds::max()}) {
        auto engine = PsppEngineFactory(limit).CreateObject(kEngineProgId);
        engine->GetSettings()->SetOutputKind(0);
        engine->RunSyntaxFile(syntax, true);
        engine->CurrentViewerDocument()->ExportText(1, folder.Path("t.txt"), 1, 0);
        EXPECT_THAT(ReadFile(folder.Path("t.txt")), HasSubstr("4.00"));
        engine->QuitEngine();
    }
    EXPECT_THAT(folder.LeftInTemporary(), IsEmpty());
}

// A TMPDIR that names no folder is a failure that names it; nothing is made
// anywhere else instead.
TEST(TemporaryFolderTest, AMissingTmpdirIsNamedInTheFailure) {
    testing::EngineTestFolder folder;
    const testing::EnvironmentVariable tmpdir("TMPDIR", folder.Path("missing"));
    std::string failure;
    try {
        PsppEngineFactory().CreateObject(kEngineProgId);
    } catch (const EngineError& error) {
        failure = error.what();
    }
    EXPECT_EQ(failure, "Cannot create a temporary folder in " + folder.Path("missing") +
                           ": No such file or directory");
}

// What a syntax file starts in the background ends with the syntax file.
TEST(BackgroundProcessTest, EndsWithItsSyntaxFile) {
    testing::EngineTestFolder folder;
    const std::string syntax =
        WriteFile(folder.Path("host.sps"), "HOST COMMAND=['sleep 3017 &'].\n");
    PsppEngineFactory factory;
    auto engine = factory.CreateObject(kEngineProgId);
    engine->GetSettings()->SetOutputKind(0);
    engine->RunSyntaxFile(syntax, true);
    const std::vector<testing::ChildProcess> left = testing::LeftRunning("sleep 3017");
    for (const testing::ChildProcess& process : left)
        ::kill(process.pid, SIGKILL);
    EXPECT_THAT(left, IsEmpty());
}

} // namespace
} // namespace kalvero
