#include "cli/kalvero_run.h"

#include "batch/batch_plan.h"
#include "batch/batch_runner.h"
#include "batch/output_check.h"
#include "batch/run_log.h"
#include "batch/run_stop.h"

#include "cli/batch_report.h"
#include "cli/options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>

#ifndef KALVERO_VERSION
#define KALVERO_VERSION "unknown"
#endif

namespace kalvero {
namespace {

// A failure that ends the program before or after the batch, with status.
struct Ending : std::runtime_error {
    Ending(int status, const std::string& message) : std::runtime_error(message), status(status) {}
    int status;
};

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

// Standard output must have taken what was printed (a full disk, a closed
// pipe).
void CheckStandardOutput() {
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        throw Ending(kExitFailed,
                     std::string("cannot write to standard output: ") + std::strerror(errno));
}

Plan MakeBatchPlan(Options& options, CliPlatform& platform) {
    FileSystem& files = platform.Files();
    PlanRules rules;
    rules.absoluteNames = true;
    Plan plan;
    if (options.retryFrom.empty()) {
        if (options.entriesFromInput)
            ReadEntriesFromInput(options.nulSeparated, options.entries);
        plan = MakePlan(options.entries, options.mode,
                        options.format.value_or(OutputFormat::Viewer), rules, files);
        return plan;
    }
    RetrySet retry = JobsToRetry(options.retryFrom, files);
    for (const std::string& skipped : retry.skipped)
        std::fprintf(stderr, "kalvero-run: the run log %s: %s; skipped\n",
                     options.retryFrom.c_str(), skipped.c_str());
    plan.format = options.format.value_or(retry.format.value_or(OutputFormat::Viewer));
    plan.jobs = std::move(retry.jobs);
    for (const Job& job : plan.jobs)
        if (job.line > 0)
            plan.listFiles.push_back(job.entry);
    PlanOutputs(plan, files);
    return plan;
}

// Prints what the plan would run; true when it was asked for.
bool PrintPlan(const Options& options, const Plan& plan) {
    if (!options.count && !options.dryRun && !options.printFiles)
        return false;
    for (const Job& job : plan.jobs)
        if (job.syntaxFile.empty())
            throw Ending(kExitFailed, job.refusal);
    if (options.count)
        std::printf("%zu\n", plan.jobs.size());
    for (const Job& job : plan.jobs) {
        if (options.printFiles) {
            std::fwrite(job.syntaxFile.data(), 1, job.syntaxFile.size(), stdout);
            std::putchar(options.nulSeparated ? '\0' : '\n');
        } else if (options.dryRun) {
            std::printf("%s\t%s\t%s\n", EscapedField(job.syntaxFile).c_str(),
                        EscapedField(job.outputPath).c_str(), EscapedField(job.refusal).c_str());
        }
    }
    CheckStandardOutput();
    return true;
}

// The run log may be neither an input nor an output of the batch.
void CheckLogPlace(const std::string& log, const Plan& plan, FileSystem& files) {
    const std::string place = PlaceOf(log, files);
    const std::string prefix = "--log " + log + ": the run log would be ";
    for (const std::string& list : plan.listFiles)
        if (PlaceOf(list, files) == place)
            throw UsageError(prefix + "the syntax list file " + list + " of this batch");
    for (const Job& job : plan.jobs) {
        if (!job.syntaxFile.empty() && PlaceOf(job.syntaxFile, files) == place)
            throw UsageError(prefix + "the syntax file " + job.syntaxFile + " of this batch");
        if (!job.outputPath.empty() && PlaceOf(job.outputPath, files) == place)
            throw UsageError(prefix + "the output of " + job.syntaxFile);
    }
}

int RunBatch(const Options& options, Plan plan, CliPlatform& platform) {
    if (options.pick) {
        if (static_cast<std::size_t>(*options.pick) > plan.jobs.size())
            throw UsageError("--pick " + std::to_string(*options.pick) + ": the entries name " +
                             std::to_string(plan.jobs.size()) + " syntax files");
        plan = PickJob(plan, static_cast<std::size_t>(*options.pick));
    }
    std::optional<RunLog> log;
    if (!options.log.empty()) {
        CheckLogPlace(options.log, plan, platform.Files());
        log.emplace(options.log, platform.Files(), platform.HostName());
    }
    platform.CleanUpAfterEarlierRuns();
    const std::unique_ptr<EngineFactory> engines = platform.Engines(options.timeout);
    RunOptions run;
    run.workers = options.jobs;
    run.keepGoing = options.keepGoing;
    BatchReport report(plan, log ? &*log : nullptr, platform.LiveLineWidth(), options.jobs, stderr);
    try {
        RunJobs(plan, run, *engines, report);
    } catch (const EngineUnavailable& unavailable) {
        throw Ending(kExitNoEngine, unavailable.what());
    }
    report.PrintSummary();
    if (const int signal = platform.EndingSignal())
        return 128 + signal;
    return report.ExitStatus();
}

int Run(int argc, char** argv, CliPlatform& platform) {
    Options options = ParseOptions(argc, argv);
    if (options.help || options.version) {
        std::fputs(options.help ? HelpText() : "kalvero-run " KALVERO_VERSION "\n", stdout);
        CheckStandardOutput();
        return kExitOk;
    }
    Plan plan = MakeBatchPlan(options, platform);
    if (PrintPlan(options, plan))
        return kExitOk;
    return RunBatch(options, std::move(plan), platform);
}

} // namespace

int KalveroRun(int argc, char** argv, CliPlatform& platform) {
    try {
        return Run(argc, argv, platform);
    } catch (const RunStopped& stopped) {
        // Stopped before the batch began: nothing ran, nothing was logged.
        std::fprintf(stderr, "kalvero-run: %s\n", stopped.what());
        return 128 + platform.EndingSignal();
    } catch (const UsageError& usage) {

        std::fprintf(stderr, "kalvero-run: %s\nTry 'kalvero-run --help' for more information.\n",
                     usage.what());
        return kExitUsage;
    } catch (const Ending& ending) {
        std::fprintf(stderr, "kalvero-run: %s\n", ending.what());
        return ending.status;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "kalvero-run: %s\n", failure.what());
        return kExitFailed;
    }
}

} // namespace kalvero
