// Child processes at their seam: time limits (never early, no overflow),
// a stop signal that reaches the child before the program, and the real
// supervisor kalvero-supervise. The same tests run with an application
// (waiting in a local event loop) and without one (a blocking wait).
#include "batch/run_stop.h"
#include "system/child_process.h"
#include "system/supervisor.h"
#include "tests/support/pspp_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QProcess>

#include <csignal>
#include <ctime>
#include <thread>

namespace kalvero {
namespace {

using std::chrono::milliseconds;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Ending = ChildResult::Ending;

long long MonotonicNow() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

struct LimitCase {
    const char* name;
    milliseconds limit;
    int runsMs; // how long the child runs by itself; -1: until it is ended
    Ending ending;
};

void PrintTo(const LimitCase& c, std::ostream* out) {
    *out << c.name;
}

class TimeLimitTest : public ::testing::TestWithParam<LimitCase> {};

// The child (the clock stand-in for the supervisor) tells how long it had
// run when the limit ended it: never less than the limit. A limit beyond 32
// bits of milliseconds, or beyond the clock's range, never ends a child
// early (2^32 + 1 ms wraps around to 1 ms).
TEST_P(TimeLimitTest, EndsAChildNeverBeforeItsLimit) {
    const LimitCase& c = GetParam();
    ChildRequest request;
    request.supervisor = QStringLiteral(KALVERO_CLOCK_SUPERVISOR);
    request.program = QString::number(MonotonicNow());
    if (c.runsMs >= 0)
        request.arguments << QString::number(c.runsMs);
    request.timeLimit = c.limit;
    const ChildResult result = RunningChild().Run(request);
    ASSERT_EQ(result.ending, c.ending) << result.Describe();
    if (c.ending == Ending::TimedOut) {
        long long ran = -1;
        std::sscanf(result.outputTail.constData(), "ran %lld ms", &ran);
        EXPECT_GE(ran, c.limit.count()) << result.outputTail.toStdString();
    } else {
        EXPECT_EQ(result.exitCode, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeLimitTest,
    ::testing::Values(LimitCase{"NeverEarly", milliseconds(1500), -1, Ending::TimedOut},
                      LimitCase{"BeyondThirtyTwoBits", milliseconds(4294967297LL), 300,
                                Ending::Exited},
                      LimitCase{"BeyondTheClock", milliseconds::max(), 300, Ending::Exited}),
    [](const ::testing::TestParamInfo<LimitCase>& info) { return info.param.name; });

// A signal to a whole job reaches the child and the program at about the
// same time: a child ended by SIGTERM counts as stopped when the program's
// own stop follows a moment after the child's end, and as ended by the
// signal when none follows.
TEST(StopSignalTest, CountsAsAStopOnlyWhenTheProgramStops) {
    for (const bool stopFollows : {true, false}) {
        ClearStop();
        testing::EngineTestFolder folder;
        const std::string pidFile = folder.Path("pid");
        ChildRequest request;
        request.program = QStringLiteral("/bin/sh");
        request.arguments << QStringLiteral("-c")
                          << QStringLiteral("echo $$ > \"$0.new\" && mv \"$0.new\" \"$0\" && "
                                            "kill -TERM $$")
                          << QString::fromStdString(pidFile);
        std::thread program([&] {
            if (!stopFollows)
                return;
            testing::WaitUntil([&] { return testing::Exists(pidFile); }, 20000);
            testing::Gone(std::stoi(testing::ReadFile(pidFile)), 20000);
            RequestStop("stopped by the test");
        });
        const ChildResult result = RunningChild().Run(request);
        program.join();
        ClearStop();
        EXPECT_EQ(result.ending, stopFollows ? Ending::Stopped : Ending::Signalled)
            << result.Describe();
        EXPECT_EQ(result.Status(), "signal 15");
    }
}

// The programs name "SLEEP", a sleep of the test's own: since tests run side
// by side, it is found and ended by its path in the test's folder.
struct SupervisedCase {
    const char* name;
    std::vector<std::string> program;
    milliseconds limit;
    Ending ending;
    int status; // exit status or signal
    const char* output;
};

void PrintTo(const SupervisedCase& c, std::ostream* out) {
    *out << c.name;
}

class SupervisorTest : public ::testing::TestWithParam<SupervisedCase> {
protected:
    void SetUp() override { ::symlink("/bin/sleep", sleep_.c_str()); }
    // Whatever a failed case left running ends here, by id.
    void TearDown() override { testing::KillMentioning(sleep_); }

    testing::EngineTestFolder folder_;
    const std::string sleep_ = folder_.Path("sleep");
};

// The supervisor ends as its program ended and, whatever ends it, leaves
// nothing its program started running: not in the program's group, not in a
// session of its own (setsid).
TEST_P(SupervisorTest, EndsAsItsProgramAndLeavesNothingRunning) {
    const SupervisedCase& c = GetParam();
    ChildRequest request;
    request.supervisor = FindSupervisor(ProgramFolder());
    ASSERT_FALSE(request.supervisor.isEmpty()) << SupervisorPlaces(ProgramFolder());
    request.supervisedFolder = QString::fromStdString(folder_.Temporary());
    for (std::string argument : c.program) {
        for (std::size_t at = argument.find("SLEEP"); at != std::string::npos;
             at = argument.find("SLEEP"))
            argument.replace(at, 5, sleep_);
        request.arguments << QString::fromStdString(argument);
    }
    request.program = request.arguments.takeFirst();
    request.timeLimit = c.limit;
    const ChildResult result = RunningChild().Run(request);
    EXPECT_EQ(result.ending, c.ending) << result.Describe();
    EXPECT_EQ(c.ending == Ending::Exited ? result.exitCode : result.signal, c.status);
    EXPECT_THAT(result.outputTail.toStdString(), HasSubstr(c.output));
    EXPECT_THAT(testing::LeftRunning(sleep_), IsEmpty());
    EXPECT_TRUE(testing::Exists(folder_.Temporary())); // its program still lives
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SupervisorTest,
    ::testing::Values(
        SupervisedCase{"ExitStatus", {"/bin/sh", "-c", "exit 3"}, {}, Ending::Exited, 3, ""},
        SupervisedCase{
            "Signal", {"/bin/sh", "-c", "kill -USR2 $$"}, {}, Ending::Signalled, SIGUSR2, ""},
        SupervisedCase{"CannotStart",
                       {"/nonexistent/pspp"},
                       {},
                       Ending::Exited,
                       127,
                       "kalvero-supervise: cannot start /nonexistent/pspp: No such file"},
        SupervisedCase{"LeftRunning",
                       {"/bin/sh", "-c", "SLEEP 999 & setsid SLEEP 999 & echo started"},
                       {},
                       Ending::Exited,
                       0,
                       "started"},
        // A job scheduler's signal to every process of a job.
        SupervisedCase{"SignalToTheSupervisor",
                       {"/bin/sh", "-c", "setsid SLEEP 999 & kill -USR2 $PPID; wait"},
                       {},
                       Ending::Signalled,
                       SIGUSR2,
                       ""},
        SupervisedCase{"TimeLimit",
                       {"/bin/sh", "-c", "setsid SLEEP 999 & exec SLEEP 999"},
                       milliseconds(300),
                       Ending::TimedOut,
                       0,
                       ""}),
    [](const ::testing::TestParamInfo<SupervisedCase>& info) { return info.param.name; });

// Whether process pid waits for a signal: the supervisor asked for its
// parent-death signal before it began to wait.
bool WaitsForSignals(pid_t pid) {
    const std::string wchan = testing::ReadFile("/proc/" + std::to_string(pid) + "/wchan");
    return wchan.rfind("do_sigtimedwait", 0) == 0;
}

// A watch over a folder removes it once its program has died, however.
TEST(FolderWatchTest, RemovesTheFolderWhenItsProgramIsKilled) {
    testing::EngineTestFolder folder;
    const std::string watched = testing::WriteFile(folder.Path("watched/file"), "x");
    const QString supervisor = FindSupervisor(ProgramFolder());
    QProcess program; // a program that starts the watch, then waits
    program.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), QStringLiteral("\"$0\" $$ \"$1\" & exec sleep 3052"),
                   supervisor, QString::fromStdString(folder.Path("watched"))});
    ASSERT_TRUE(program.waitForStarted());
    pid_t watch = 0;
    ASSERT_TRUE(testing::WaitUntil(
        [&] {
            for (const testing::ChildProcess& process :
                 testing::ProcessesMentioning(folder.Path("watched")))
                if (process.command.rfind(supervisor.toStdString() + " ", 0) == 0)
                    watch = process.pid;
            return watch != 0 && WaitsForSignals(watch);
        },
        20000));
    program.kill();
    program.waitForFinished();
    EXPECT_TRUE(testing::Gone(watch));
    EXPECT_FALSE(testing::Exists(folder.Path("watched")));
    testing::KillMentioning(folder.Path("watched"));
}

} // namespace
} // namespace kalvero
