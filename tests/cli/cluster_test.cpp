// kalvero-run as a job of the schedulers users already have: GNU parallel
// and a single-node Slurm of the test's own (munged, slurmctld and slurmd in
// the foreground, configured in a private folder, ended by process id).
// Where one cannot start, the test says so and is skipped.
#include "tests/support/pspp_test_support.h"

#include <QProcess>
#include <QStandardPaths>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kalvero {
namespace {

using testing::EngineTestFolder;
using testing::Exists;
using testing::ReadFile;
using testing::WriteFile;

constexpr int kFiles = 20;

// kFiles syntax files and the list file jobs.lst naming them.
void WriteBatch(EngineTestFolder& folder) {
    std::string list = "* a batch for a job array\n";
    for (int i = 1; i <= kFiles; ++i) {
        const std::string name = "s" + std::to_string(i) + ".sps";
        WriteFile(folder.Path(name), "DATA LIST LIST /x.\nBEGIN DATA\n" + std::to_string(i) +
                                         "\nEND DATA.\nDESCRIPTIVES x.\n");
        list += name + "\n";
    }
    WriteFile(folder.Path("jobs.lst"), list);
}

// Every output written, and (when logged) one ok line per syntax file.
void ExpectWholeBatch(EngineTestFolder& folder, bool logged) {
    for (int i = 1; i <= kFiles; ++i)
        EXPECT_TRUE(Exists(folder.Path("s" + std::to_string(i) + ".txt"))) << i;
    if (!logged)
        return;
    std::istringstream log(ReadFile(folder.Path("run.log")));
    int ended = 0;
    for (std::string line; std::getline(log, line);) {
        if (line[0] == '#' || line.find("\tplanned\t") != std::string::npos)
            continue;
        EXPECT_THAT(line, ::testing::HasSubstr("\tok\t"));
        ++ended;
    }
    EXPECT_EQ(ended, kFiles);
}

// What kalvero-run --lists --count says of jobs.lst.
std::string CountOfJobs(EngineTestFolder& folder) {
    return testing::RunCommand(
               {KALVERO_RUN, {"--lists", "--count", "jobs.lst"}, {}, folder.Files(), {}, 30000, {}})
        .output;
}

std::string Found(const char* program) {
    return QStandardPaths::findExecutable(QString::fromLatin1(program)).toStdString();
}

TEST(GnuParallelTest, RunsTheBatchSplitByFilesAndByPick) {
    const std::string parallel = Found("parallel");
    if (parallel.empty())
        GTEST_SKIP() << "GNU parallel is not installed (Debian package parallel)";
    EngineTestFolder folder;
    WriteBatch(folder);

    testing::Command byFiles{parallel, {"--will-cite", "-S", ":", KALVERO_RUN, "-f", "text", ":::"},
                             {},       folder.Files(),
                             {},       120000,
                             {}};
    for (int i = 1; i <= kFiles / 2; ++i)
        byFiles.arguments.push_back("s" + std::to_string(i) + ".sps");
    const testing::CommandResult files = testing::RunCommand(byFiles);
    ASSERT_EQ(files.exitCode, 0) << files.errors;

    testing::Command byPick{parallel,
                            {"--will-cite", "-j2", KALVERO_RUN, "--lists", "-f", "text", "--pick",
                             "{}", "--log", "run.log", "jobs.lst", ":::"},
                            {},
                            folder.Files(),
                            {},
                            120000,
                            {}};
    ASSERT_EQ(CountOfJobs(folder), std::to_string(kFiles) + "\n");
    for (int k = 1; k <= kFiles; ++k)
        byPick.arguments.push_back(std::to_string(k));
    const testing::CommandResult picked = testing::RunCommand(byPick);
    ASSERT_EQ(picked.exitCode, 0) << picked.errors;
    ExpectWholeBatch(folder, true);
}

// A port nobody listens on now.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// munged, slurmctld and slurmd of this test, configured in its folder.
class SingleNodeSlurm {
public:
    explicit SingleNodeSlurm(const std::string& folder) : folder_(folder) {}
    ~SingleNodeSlurm() {
        if (!daemons_.empty()) {
            QProcess shutdown;
            shutdown.setProcessEnvironment(Environment());
            shutdown.start(QStringLiteral("scontrol"), {QStringLiteral("shutdown")});
            shutdown.waitForFinished(10000);
        }
        // slurmd and slurmctld end on the shut-down; munged, last, on SIGTERM.
        for (std::size_t i = daemons_.size(); i-- > 0;) {
            QProcess& daemon = *daemons_[i];
            if (i == 0 || !daemon.waitForFinished(5000)) {
                ::kill(static_cast<pid_t>(daemon.processId()), SIGTERM);
                if (!daemon.waitForFinished(5000))
                    daemon.kill();
            }
            daemon.waitForFinished(-1);
        }
    }

    // Starts the daemons and waits for the node; returns why it could not.
    std::string Start() {
        for (const char* program : {"munged", "mungekey", "slurmctld", "slurmd", "sbatch"})
            if (Found(program).empty() && !Exists(std::string("/usr/sbin/") + program))
                return std::string(program) + " is not installed (Debian packages munge, "
                                              "slurmctld, slurmd, slurm-client)";
        if (::getuid() != 0)
            return "slurmd needs to run as root";
        // munged insists that every folder above its socket be searchable.
        ::chmod(folder_.c_str(), 0755);
        for (const char* sub : {"state", "spool"})
            ::mkdir((folder_ + "/" + sub).c_str(), 0755);
        if (Call("/usr/sbin/mungekey", {"-c", "-k", folder_ + "/munge.key"}) != 0)
            return "mungekey could not make a key";
        Launch("/usr/sbin/munged",
               {"-F", "-f", "--key-file=" + folder_ + "/munge.key",
                "--socket=" + folder_ + "/munge.sock", "--pid-file=" + folder_ + "/munged.pid",
                "--log-file=" + folder_ + "/munged.log",
                "--seed-file=" + folder_ + "/munged.seed"});
        for (int i = 0; i < 100 && !Exists(folder_ + "/munge.sock"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!Exists(folder_ + "/munge.sock"))
            return "munged did not start: " + Output(0);
        WriteConfiguration();
        Launch("/usr/sbin/slurmctld", {"-D", "-f", Configuration()});
        Launch("/usr/sbin/slurmd", {"-D", "-f", Configuration(), "-N", "kalvero-node"});
        for (int i = 0; i < 150; ++i) {
            QProcess info;
            info.setProcessEnvironment(Environment());
            info.start(QStringLiteral("sinfo"), {"-h", "-o", "%T"});
            info.waitForFinished(10000);
            if (info.readAllStandardOutput().trimmed() == "idle")
                return {};
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return "the node did not become idle; slurmctld: " + Output(1) + "; slurmd: " + Output(2);
    }

    std::string Configuration() const { return folder_ + "/slurm.conf"; }

private:
    QProcessEnvironment Environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("SLURM_CONF"), QString::fromStdString(Configuration()));
        return environment;
    }

    void Launch(const std::string& program, const std::vector<std::string>& arguments) {
        auto daemon = std::make_unique<QProcess>();
        QStringList list;
        for (const std::string& argument : arguments)
            list << QString::fromStdString(argument);
        daemon->setProcessChannelMode(QProcess::MergedChannels);
        daemon->setProcessEnvironment(Environment());
        daemon->start(QString::fromStdString(program), list);
        daemon->waitForStarted();
        daemons_.push_back(std::move(daemon));
    }

    static int Call(const std::string& program, const std::vector<std::string>& arguments) {
        return testing::RunCommand({program, arguments, {}, {}, {}, 30000, {}}).exitCode;
    }

    std::string Output(std::size_t daemon) const {
        if (daemon >= daemons_.size())
            return "not started";
        daemons_[daemon]->waitForReadyRead(100);
        return daemons_[daemon]->readAll().right(600).toStdString();
    }

    void WriteConfiguration() {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        std::string name = host;
        name = name.substr(0, name.find('.'));
        const std::string& f = folder_;
        WriteFile(Configuration(),
                  "ClusterName=kalvero\n"
                  "SlurmctldHost=" +
                      name +
                      "(127.0.0.1)\n"
                      "SlurmctldPort=" +
                      std::to_string(FreePort()) +
                      "\n"
                      "SlurmdPort=" +
                      std::to_string(FreePort()) +
                      "\n"
                      "SlurmUser=root\nSlurmdUser=root\n"
                      "AuthType=auth/munge\nCredType=cred/munge\n"
                      "AuthInfo=socket=" +
                      f +
                      "/munge.sock\n"
                      "StateSaveLocation=" +
                      f + "/state\nSlurmdSpoolDir=" + f +
                      "/spool\n"
                      "SlurmctldPidFile=" +
                      f + "/slurmctld.pid\nSlurmdPidFile=" + f +
                      "/slurmd.pid\n"
                      "ProctrackType=proctrack/linuxproc\nTaskPlugin=task/none\n"
                      "JobAcctGatherType=jobacct_gather/none\nMpiDefault=none\n"
                      "SelectType=select/cons_tres\nSelectTypeParameters=CR_Core\n"
                      "SchedulerParameters=batch_sched_delay=0\nMailProg=/bin/true\n"
                      "ReturnToService=2\n"
                      "NodeName=kalvero-node NodeAddr=127.0.0.1 CPUs=2 RealMemory=500\n"
                      "PartitionName=batch Nodes=ALL Default=YES MaxTime=INFINITE State=UP\n");
    }

    std::string folder_;
    std::vector<std::unique_ptr<QProcess>> daemons_; // munged, slurmctld, slurmd
};

// One single-node Slurm for the tests of this suite, each with a folder of
// its own.
class SlurmTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        slurmFolder_ = std::make_unique<EngineTestFolder>();
        const std::string where = slurmFolder_->Temporary() + "/slurm";
        ::mkdir(where.c_str(), 0755);
        slurm_ = std::make_unique<SingleNodeSlurm>(where);
        problem_ = slurm_->Start();
    }
    static void TearDownTestSuite() {
        slurm_.reset();
        slurmFolder_.reset();
    }
    void SetUp() override {
        if (!problem_.empty())
            GTEST_SKIP() << "Slurm could not start: " << problem_;
    }
    void TearDown() override { testing::KillMentioning(folder_.Temporary()); }

    // Submits sbatch with arguments from the test's folder; its job id.
    std::string Submit(const std::vector<std::string>& arguments) {
        std::vector<std::string> all = {"--parsable", "-o", "/dev/null"};
        all.insert(all.end(), arguments.begin(), arguments.end());
        const testing::CommandResult submitted =
            testing::RunCommand({"sbatch",
                                 all,
                                 {},
                                 folder_.Files(),
                                 {{"SLURM_CONF", slurm_->Configuration()}},
                                 30000,
                                 {}});
        EXPECT_EQ(submitted.exitCode, 0) << submitted.output << submitted.errors;
        return submitted.output.substr(0, submitted.output.find_first_of(";\n"));
    }

    // Whether the job (every task of an array) ended within 3 minutes.
    // sbatch --wait polls at growing intervals (half a minute here); squeue
    // says sooner.
    bool Ended(const std::string& job) {
        for (int i = 0; i < 600; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const testing::CommandResult queue =
                testing::RunCommand({"squeue",
                                     {"-h", "-j", job},
                                     {},
                                     {},
                                     {{"SLURM_CONF", slurm_->Configuration()}},
                                     10000,
                                     {}});
            if (queue.exitCode == 0 && queue.output.empty())
                return true;
        }
        return false;
    }

    EngineTestFolder folder_;
    static std::unique_ptr<EngineTestFolder> slurmFolder_;
    static std::unique_ptr<SingleNodeSlurm> slurm_;
    static std::string problem_;
};

std::unique_ptr<EngineTestFolder> SlurmTest::slurmFolder_;
std::unique_ptr<SingleNodeSlurm> SlurmTest::slurm_;
std::string SlurmTest::problem_;

TEST_F(SlurmTest, AJobArrayRunsTheBatchWithASharedLog) {
    WriteBatch(folder_);
    ASSERT_EQ(CountOfJobs(folder_), std::to_string(kFiles) + "\n");
    const std::string job =
        Submit({"--array=1-" + std::to_string(kFiles) + "%8", "--wrap",
                std::string(KALVERO_RUN) + " --lists -f text --pick $SLURM_ARRAY_TASK_ID " +
                    "--log run.log jobs.lst"});
    ASSERT_TRUE(Ended(job)) << "the array job " << job << " did not end within 3 minutes";
    ExpectWholeBatch(folder_, true);
}

// A retry over an array reads a set frozen before it starts, so that tasks
// logging their successes do not move it under the others.
TEST_F(SlurmTest, ARetryOverAnArrayReadsAFrozenSet) {
    WriteBatch(folder_);
    for (const int missing : {3, 7, 12})
        ::unlink(folder_.Path("s" + std::to_string(missing) + ".sps").c_str());

    const testing::CommandResult first =
        testing::RunCommand({KALVERO_RUN,
                             {"-k", "--lists", "-f", "text", "--log", "run.log", "jobs.lst"},
                             {},
                             folder_.Files(),
                             {},
                             120000,
                             {}});
    ASSERT_EQ(first.exitCode, 1) << first.errors;
    WriteBatch(folder_);

    const testing::CommandResult frozen =
        testing::RunCommand({KALVERO_RUN,
                             {"--retry-failed", "run.log", "--print-files", "-0"},
                             {},
                             folder_.Files(),
                             {},
                             30000,
                             {}});
    ASSERT_EQ(frozen.exitCode, 0) << frozen.errors;
    WriteFile(folder_.Path("retry.set"), frozen.output);
    const std::string job =
        Submit({"--array=1-3", "--wrap",
                std::string(KALVERO_RUN) +
                    " -0 -f text --pick $SLURM_ARRAY_TASK_ID --log run.log - < retry.set"});
    ASSERT_TRUE(Ended(job)) << "the array job " << job << " did not end within 3 minutes";
    std::istringstream log(ReadFile(folder_.Path("run.log")));
    std::map<std::string, std::string> last; // outcome by syntax file
    for (std::string line; std::getline(log, line);) {
        std::vector<std::string> fields(1);
        for (const char c : line) {
            if (c == '\t')
                fields.emplace_back();
            else
                fields.back().push_back(c);
        }

        if (line[0] != '#' && fields.size() == 10 && fields[6] != "planned")
            last[fields[2]] = fields[6];
    }
    EXPECT_EQ(last.size(), static_cast<std::size_t>(kFiles));
    for (const auto& [syntax, outcome] : last)
        EXPECT_EQ(outcome, "ok") << syntax;
    ExpectWholeBatch(folder_, false);
}

// A job given a clean stop before its time limit (--signal) ends its batch
// as SIGTERM does: the running file stopped, the rest not started, all
// logged, nothing half-written.
TEST_F(SlurmTest, ASignalBeforeTheTimeLimitStopsTheBatchCleanly) {
    ::mkfifo(folder_.Path("never.fifo").c_str(), 0600);
    WriteFile(folder_.Path("endless.sps"), "DATA LIST FILE='never.fifo' /x 1.\nLIST.\n");
    WriteFile(folder_.Path("a.sps"), "DATA LIST LIST /x.\nBEGIN DATA\n1\nEND DATA.\nLIST.\n");
    const std::string job =
        Submit({"--time=1", "--signal=B:TERM@55", "--wrap",
                "exec " + std::string(KALVERO_RUN) + " -f text --log run.log endless.sps a.sps"});
    ASSERT_TRUE(Ended(job)) << "the job " << job << " did not end within 3 minutes";
    const std::string log = ReadFile(folder_.Path("run.log"));
    EXPECT_THAT(log, ::testing::HasSubstr("endless.sps\t"));
    EXPECT_THAT(log, ::testing::Not(::testing::HasSubstr("\tfailed\t")));
    EXPECT_THAT(log, ::testing::HasSubstr("a.sps\t" + folder_.Path("a.txt")));
    std::istringstream lines(log);
    int stopped = 0;
    for (std::string line; std::getline(lines, line);)
        stopped += line.find("\tstopped\t") != std::string::npos ? 1 : 0;
    EXPECT_EQ(stopped, 2) << log;
    EXPECT_FALSE(Exists(folder_.Path("endless.txt")));
    EXPECT_FALSE(Exists(folder_.Path("a.txt")));
}

} // namespace
} // namespace kalvero
