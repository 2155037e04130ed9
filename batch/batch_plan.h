// The plan of a batch, made before anything runs: the entries (syntax files,
// or syntax list files naming them) become jobs, one per syntax file, each
// with its output path and, where it must not run, the refusal that is
// raised at its turn. Both programs plan their batch here; the runner
// (batch/batch_runner.h) then runs the plan.
//
// Each list file is read once, whole. Outputs are checked by what they name
// (batch/output_check.h): one that would replace a syntax file or list file
// of the batch, or the output of another syntax file, is refused; a syntax
// file named twice rewrites its own output, the second time after the first.
#pragma once

#include "batch/file_system.h"
#include "batch/run_settings.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kalvero {

struct Job {
    std::size_t entryIndex = 0; // the entry that named it, from 0
    std::string entry;          // that entry, as given
    long line = 0;              // its line in that list file, from 1; 0 when not from a list
    std::string syntaxFile;     // as the engine gets it; empty when the list could not be read
    std::string outputPath;
    std::string refusal; // why it must not run, or empty
    long after = -1;     // an earlier job with the same output, which must end first
};

// The job's syntax file, or its entry when it names none, as a message shows
// it.
std::string ShownJobName(const Job& job);

// How the entries are read.
struct PlanRules {
    // The windows count entries and list lines in 16 bits: at most 32,767
    // entries (more fails the plan) and 32,767 lines a list file (more
    // refuses that list file).
    bool limits16 = false;
    // Entries and syntax file names made absolute against the current
    // folder, so that a log names them from anywhere; otherwise they reach
    // the engine as written.
    bool absoluteNames = false;
};

struct Plan {
    OutputFormat format = OutputFormat::Viewer;
    std::vector<Job> jobs;
    std::vector<std::string> listFiles; // the list files the jobs came from
};

// The jobs the entries name, in order. A syntax line's name is trimmed; its
// line number counts every line of the list file. A list file that cannot be
// read gives one job that names no syntax file and is refused with the
// reason.
std::vector<Job> ReadEntries(const std::vector<std::string>& entries, InputMode mode,
                             const PlanRules& rules, FileSystem& files);

// Names every job's output in format and checks it against the syntax files
// of the jobs and the list files (plan.listFiles).
void PlanOutputs(Plan& plan, FileSystem& files);

// ReadEntries and PlanOutputs. Throws CounterOverflow when rules.limits16
// and there are more than 32,767 entries.
Plan MakePlan(const std::vector<std::string>& entries, InputMode mode, OutputFormat format,
              const PlanRules& rules, FileSystem& files);

// The plan of the number-th job alone (from 1), as one task of a job array
// runs it; throws std::out_of_range beyond the last job.
Plan PickJob(const Plan& plan, std::size_t number);

} // namespace kalvero
