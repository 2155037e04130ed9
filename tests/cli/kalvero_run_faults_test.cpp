// kalvero-run under faults, as an overnight batch meets them: a time limit,
// signals (under nohup too), a program killed outright, and a log on a full
// disk. Each test waits for the pspp that runs its syntax file, found by its
// arguments, before it acts.
#include "tests/cli/kalvero_run_fixture.h"
#include "tests/support/small_file_system.h"

#include <QProcess>

#include <csignal>
#include <sys/stat.h>

namespace kalvero {
namespace {

using testing::Exists;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::KalveroRunTest;
using ::testing::Not;
using testing::Outcomes;
using testing::Tiny;
using testing::WriteFile;

// kalvero-run started in the test's folder, ended by id when the test ends.
class Started {
public:
    Started(const std::string& folder, const std::vector<std::string>& arguments) {
        QStringList list;
        for (const std::string& argument : arguments)
            list << QString::fromStdString(argument);
        process_.setWorkingDirectory(QString::fromStdString(folder));
        process_.start(QStringLiteral(KALVERO_RUN), list);
        process_.waitForStarted();
    }
    ~Started() {
        process_.kill();
        process_.waitForFinished();
    }
    pid_t Pid() const { return static_cast<pid_t>(process_.processId()); }
    // Its exit status once it ended within 30 s (128 + signal when killed), or -1.
    int Ended() {
        if (!process_.waitForFinished(30000))
            return -1;
        return process_.exitStatus() == QProcess::CrashExit ? 128 + process_.exitCode()
                                                            : process_.exitCode();
    }

private:
    QProcess process_;
};

// A file still running when its time is up is ended with what it started;
// nothing of it is published and the batch goes on.
TEST_F(KalveroRunTest, TimeoutEndsTheFileAndEverythingItStarted) {
    Endless("endless.sps", 3023);
    const testing::CommandResult result =
        Run({"-k", "-t", "1", "-f", "text", "--log", "run.log", "endless.sps", "a.sps"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(Outcomes(folder_.Path("run.log")),
                ::testing::ElementsAre("endless.sps timed-out", "a.sps ok"));
    EXPECT_THAT(result.errors, HasSubstr("did not finish"));
    EXPECT_FALSE(Exists(folder_.Path("endless.txt")));
    EXPECT_THAT(testing::LeftRunning("sleep 3023"), IsEmpty());
}

// SIGINT ends the running pspp processes, publishes nothing, logs every file
// and exits with 130.
TEST_F(KalveroRunTest, SigintStopsAParallelRunCleanly) {
    Endless("e1.sps", 3024);
    Endless("e2.sps", 3024);
    Started run(folder_.Files(),
                {"-j2", "-f", "text", "--log", "run.log", "e1.sps", "e2.sps", "a.sps"});
    ASSERT_THAT(testing::PsppRunning("e1.sps", folder_.Temporary()), Not(IsEmpty()));
    ASSERT_THAT(testing::PsppRunning("e2.sps", folder_.Temporary()), Not(IsEmpty()));
    ::kill(run.Pid(), SIGINT);
    EXPECT_EQ(run.Ended(), 130);
    EXPECT_THAT(
        Outcomes(folder_.Path("run.log")),
        ::testing::UnorderedElementsAre("e1.sps stopped", "e2.sps stopped", "a.sps stopped"));
    EXPECT_THAT(testing::NamesIn(folder_.Files()),
                ::testing::UnorderedElementsAre("a.sps", "b.sps", "err.sps", "jobs.lst", "e1.sps",
                                                "e2.sps", "e1.sps.fifo", "e2.sps.fifo", "run.log"));
    EXPECT_THAT(testing::LeftRunning("sleep 3024"), IsEmpty());
}

// Under nohup SIGHUP is ignored when the program starts, and stays so: the
// batch goes on until SIGTERM stops it.
TEST_F(KalveroRunTest, ASignalIgnoredAtTheStartStaysIgnored) {
    Endless("e.sps", 0);
    struct sigaction ignore {};
    struct sigaction before {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGHUP, &ignore, &before);
    Started run(folder_.Files(), {"-f", "text", "e.sps"});
    ::sigaction(SIGHUP, &before, nullptr);
    ASSERT_THAT(testing::PsppRunning("e.sps", folder_.Temporary()), Not(IsEmpty()));
    ::kill(run.Pid(), SIGHUP);
    ::kill(run.Pid(), SIGTERM);
    EXPECT_EQ(run.Ended(), 128 + SIGTERM);
}

// Killed outright in the middle of a batch, the program leaves a log that
// leads back: the retry runs exactly the file that was running and those
// that had not started.
TEST_F(KalveroRunTest, ARetryAfterSigkillRunsWhatDidNotEnd) {
    Endless("e.sps", 0);
    {
        Started run(folder_.Files(), {"-f", "text", "--log", "run.log", "a.sps", "e.sps", "b.sps"});
        ASSERT_THAT(testing::PsppRunning("e.sps", folder_.Temporary()), Not(IsEmpty()));
        ::kill(run.Pid(), SIGKILL);
        EXPECT_EQ(run.Ended(), 128 + SIGKILL);
    }
    EXPECT_THAT(Outcomes(folder_.Path("run.log")), ::testing::ElementsAre("a.sps ok"));
    WriteFile(folder_.Path("e.sps"), Tiny(5));
    const testing::CommandResult retry = Run({"--log", "run.log", "--retry-failed", "run.log"});
    EXPECT_EQ(retry.exitCode, 0) << retry.errors;
    EXPECT_THAT(Outcomes(folder_.Path("run.log")),
                ::testing::ElementsAre("a.sps ok", "e.sps ok", "b.sps ok"));
    EXPECT_TRUE(Exists(folder_.Path("b.txt")));
}

// A pspp that cannot answer is asked once for the whole batch, however many
// workers, and reported once, with an exit status of its own.
TEST_F(KalveroRunTest, AnUnusablePsppIsReportedOnce) {
    const std::string asked = folder_.Path("asked");
    const std::string bin = folder_.Path("bin");
    WriteFile(bin + "/pspp", "#!/bin/sh\necho \"$@\" >> '" + asked + "'\nexit 3\n");
    ::chmod((bin + "/pspp").c_str(), 0755);
    testing::Command command =
        CommandOf({"-j3", "-k", "--log", "run.log", "a.sps", "b.sps", "err.sps"});
    command.environment = {{"PATH", bin + ":/usr/bin:/bin"}};
    const testing::CommandResult result = testing::RunCommand(command);
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(testing::ReadFile(asked), "--version\n");
    const std::string reason = "cannot be started: it stopped with exit status 3";
    EXPECT_THAT(result.errors, HasSubstr(reason));
    EXPECT_EQ(result.errors.find(reason), result.errors.rfind(reason)) << result.errors;
    EXPECT_THAT(Outcomes(folder_.Path("run.log")), IsEmpty());
}

// A log on a full disk says why it is incomplete; the batch's outcome does

// not hide it.
TEST_F(KalveroRunTest, ALogOnAFullDiskSaysWhy) {
    testing::SmallFileSystem full(folder_.Path("full"));
    if (!full.Error().empty())
        GTEST_SKIP() << "cannot mount a tmpfs to fill (" << full.Error() << "); needs root";
    full.Fill();
    const testing::CommandResult result =
        Run({"-f", "text", "--log", folder_.Path("full/run.log"), "a.sps"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(result.errors, HasSubstr("No space left on device"));
    EXPECT_TRUE(Exists(folder_.Path("a.txt")));
}

// Killed outright (SIGKILL, the OOM killer, Slurm after its grace time),
// kalvero-run takes with it everything its syntax files started, in any
// group, and its engines' folders go at once: that of the worker running an
// endless file, and that of the worker that has finished its file and waits.
TEST_F(KalveroRunTest, AKilledProgramLeavesNothingRunningAndNoFolder) {
    Endless("k.sps", 3034);
    const auto sleeps = [] {
        std::vector<testing::ChildProcess> found;
        for (const testing::ChildProcess& process : testing::ProcessesMentioning("sleep 3034"))
            if (process.command.rfind("sleep 3034", 0) == 0)
                found.push_back(process);
        return found;
    };
    {
        Started run(folder_.Files(), {"-j2", "-f", "text", "k.sps", "a.sps"});
        ASSERT_THAT(testing::PsppRunning("k.sps", folder_.Temporary()), Not(IsEmpty()));
        ASSERT_TRUE(testing::WaitUntil([&] { return sleeps().size() == 1; }, 20000));
        ASSERT_TRUE(testing::WaitUntil([&] { return Exists(folder_.Path("a.txt")); }, 20000));
        ::kill(run.Pid(), SIGKILL);
        EXPECT_EQ(run.Ended(), 128 + SIGKILL);
    }
    const auto nothingLeft = [&] {
        return testing::ProcessesMentioning(folder_.Temporary()).empty() && sleeps().empty() &&
               folder_.LeftInTemporary().empty();
    };
    EXPECT_TRUE(testing::WaitUntil(nothingLeft, 1000));
    EXPECT_THAT(testing::ProcessesMentioning(folder_.Temporary()), IsEmpty());
    EXPECT_THAT(sleeps(), IsEmpty());
}

} // namespace
} // namespace kalvero
