// kalvero-run: the batch from a terminal, from cron or from a cluster's job.
// Reads the options and the entries, plans the jobs, runs them with up to -j
// engines at once and exits 0 (all ok), 1 (any failed, timed out or was
// stopped), 2 (usage) or 128 + the signal that ended it.
#include "batch/batch_plan.h"
#include "batch/batch_runner.h"
#include "batch/run_log.h"
#include "batch/run_stop.h"
#include "cli/batch_report.h"
#include "engine/engine_folder.h"
#include "engine/pspp_engine.h"
#include "system/local_file_system.h"
#include "system/local_files.h"
#include "system/stop_signals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <optional>
#include <pthread.h>
#include <set>
#include <thread>
#include <unistd.h>

namespace kalvero {
namespace {

constexpr int kUsage = 2;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::atomic<int> endingSignal{0};

// SIGINT, SIGTERM and SIGHUP are blocked in every thread (children unblock
// them) and taken by one thread of their own: the first stops the batch
// cleanly, a second ends the program at once.
sigset_t BlockStopSignals() {
    sigset_t stopSignals;
    ::sigemptyset(&stopSignals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaddset(&stopSignals, signal);
    ::pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    return stopSignals;
}

void TakeStopSignals(const sigset_t& stopSignals) {
    std::thread([stopSignals] {
        for (;;) {
            int signal = 0;
            if (::sigwait(&stopSignals, &signal) != 0)
                continue;
            if (endingSignal.exchange(signal) != 0)
                ::_exit(128 + signal);
            RequestStopForSignal(signal);
        }
    }).detach();
}

int PositiveNumber(const QCommandLineParser& parser, const QString& option) {
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < 1)
        throw UsageError("--" + option.toStdString() + " " + parser.value(option).toStdString() +
                         ": a whole number of 1 or more is needed");
    return value;
}

// Entries from standard input: one per line, or separated by NUL bytes.
void ReadEntriesFromInput(bool nulSeparated, std::vector<std::string>& entries) {
    const std::string input{std::istreambuf_iterator<char>(std::cin),
                            std::istreambuf_iterator<char>()};
    const char separator = nulSeparated ? '\0' : '\n';
    std::size_t start = 0;
    while (start < input.size()) {
        std::size_t end = input.find(separator, start);
        if (end == std::string::npos)
            end = input.size();
        std::string entry = input.substr(start, end - start);
        if (!nulSeparated && !entry.empty() && entry.back() == '\r')
            entry.pop_back();
        if (!entry.empty())
            entries.push_back(entry);
        start = end + 1;
    }
}

struct Options {
    InputMode mode = InputMode::SyntaxFiles;
    OutputFormat format = OutputFormat::Viewer;
    RunOptions batch;
    int timeoutSeconds = 0;
    std::string log;
    std::string retryFrom;
    bool count = false;
    std::optional<long> pick;
    std::vector<std::string> entries;
};

Options ReadOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Runs statistics syntax files through PSPP, one pspp process each, and "
                       "writes each file's output beside it under its own name."));
    parser.addPositionalArgument(
        QStringLiteral("ENTRY"),
        QStringLiteral("A syntax file (or, with --lists, a syntax list file); - reads entries "
                       "from standard input."),
        QStringLiteral("ENTRY..."));
    const QCommandLineOption lists({"l", "lists"},
                                   "The entries are syntax list files, one name per line.");
    const QCommandLineOption format({"f", "format"},
                                    "Output format: viewer (.spo), draft (.rtf) "
                                    "or text (.txt); viewer if not given.",
                                    "FORMAT", "viewer");
    const QCommandLineOption nul({"0", "null"},
                                 "Entries read from standard input are separated by NUL bytes.");
    const QCommandLineOption keepGoing({"k", "keep-going"},
                                       "Go on after a failing syntax file; report at the end.");
    const QCommandLineOption timeout(
        {"t", "timeout"}, "End a syntax file still running after SECONDS; it counts as failed.",
        "SECONDS");
    const QCommandLineOption jobs({"j", "jobs"},
                                  "Run up to N syntax files at once (default: processors).", "N");
    const QCommandLineOption log("log", "Append one line per syntax file to the run log FILE.",
                                 "FILE");
    const QCommandLineOption retry(
        "retry-failed",
        "Run again the syntax files whose last outcome in the run log FILE "
        "is failed, timed-out or stopped.",
        "FILE");
    const QCommandLineOption count("count",
                                   "Print how many syntax files the entries name, and run none.");
    const QCommandLineOption pick("pick", "Run only the K-th of those syntax files (from 1).", "K");
    for (const auto* option :
         {&lists, &format, &nul, &keepGoing, &timeout, &jobs, &log, &retry, &count, &pick})
        parser.addOption(*option);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments()))
        throw UsageError(parser.errorText().toStdString());
    if (parser.isSet(help))
        parser.showHelp(0);
    if (parser.isSet(version))
        parser.showVersion();

    Options options;
    options.mode = parser.isSet(lists) ? InputMode::SyntaxLists : InputMode::SyntaxFiles;
    const QString formatName = parser.value(format);
    if (formatName == QLatin1String("viewer"))
        options.format = OutputFormat::Viewer;
    else if (formatName == QLatin1String("draft"))
        options.format = OutputFormat::Draft;
    else if (formatName == QLatin1String("text"))
        options.format = OutputFormat::Text;
    else
        throw UsageError("--format " + formatName.toStdString() +
                         ": the formats are viewer, draft and text");
    options.batch.keepGoing = parser.isSet(keepGoing);
    options.batch.workers = parser.isSet(jobs) ? PositiveNumber(parser, QStringLiteral("jobs"))
                                               : std::max(1, QThread::idealThreadCount());
    if (parser.isSet(timeout))
        options.timeoutSeconds = PositiveNumber(parser, QStringLiteral("timeout"));
    if (parser.isSet(log))
        options.log = FromQt(parser.value(log));
    if (parser.isSet(retry))
        options.retryFrom = FromQt(parser.value(retry));
    options.count = parser.isSet(count);
    if (parser.isSet(pick))
        options.pick = PositiveNumber(parser, QStringLiteral("pick"));

    bool fromInput = false;
    for (const QString& entry : parser.positionalArguments()) {
        if (entry == QLatin1String("-")) {
            if (fromInput)
                throw UsageError("- is given more than once");
            fromInput = true;
            ReadEntriesFromInput(parser.isSet(nul), options.entries);
        } else {
            options.entries.push_back(FromQt(entry));
        }
    }
    if (!options.retryFrom.empty() && !parser.positionalArguments().isEmpty())
        throw UsageError("--retry-failed takes its syntax files from the run log; give no ENTRY");
    if (options.retryFrom.empty() && parser.positionalArguments().isEmpty())
        throw UsageError("no ENTRY given");
    return options;
}

int Run(const Options& options) {
    RemoveStaleEngineFolders();
    LocalFileSystem files;
    PlanRules rules;
    rules.absoluteNames = true;
    Plan plan;
    plan.format = options.format;
    plan.jobs = options.retryFrom.empty() ? ReadEntries(options.entries, options.mode, rules, files)
                                          : JobsToRetry(options.retryFrom, files);
    for (const Job& job : plan.jobs)
        if (job.line > 0)
            plan.listFiles.push_back(job.entry);
    if (options.mode == InputMode::SyntaxLists)
        plan.listFiles.insert(plan.listFiles.end(), options.entries.begin(), options.entries.end());
    PlanOutputs(plan, files);

    if (options.count) {
        for (const Job& job : plan.jobs)
            if (job.syntaxFile.empty()) {
                std::fprintf(stderr, "kalvero-run: %s\n", job.refusal.c_str());
                return 1;
            }
        std::printf("%zu\n", plan.jobs.size());
        return 0;
    }
    if (options.pick) {
        if (static_cast<std::size_t>(*options.pick) > plan.jobs.size())
            throw UsageError("--pick " + std::to_string(*options.pick) + ": the entries name " +
                             std::to_string(plan.jobs.size()) + " syntax files");
        plan = PickJob(plan, static_cast<std::size_t>(*options.pick));
    }

    std::optional<RunLog> log;
    if (!options.log.empty())
        log.emplace(options.log, files);
    PsppEngineFactory engines(options.timeoutSeconds);
    BatchReport report(plan.jobs, log ? &*log : nullptr, ::isatty(STDERR_FILENO) == 1, stderr);
    RunJobs(plan, options.batch, engines, report);
    report.PrintSummary();
    if (const int signal = endingSignal.load())
        return 128 + signal;
    return report.AllSucceeded() ? 0 : 1;
}

} // namespace
} // namespace kalvero

int main(int argc, char** argv) {
    using namespace kalvero;
    const sigset_t blocked = BlockStopSignals();
    UseUtf8Locale();
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kalvero-run"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KALVERO_VERSION));
    TakeStopSignals(blocked);

    QCommandLineParser parser;
    try {
        return Run(ReadOptions(parser));
    } catch (const UsageError& usage) {
        std::fprintf(stderr, "kalvero-run: %s\nTry 'kalvero-run --help' for more information.\n",
                     usage.what());
        return kUsage;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "kalvero-run: %s\n", failure.what());
        return 1;
    }
}
