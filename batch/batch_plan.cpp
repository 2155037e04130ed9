#include "batch/batch_plan.h"

#include "batch/counter16.h"
#include "batch/message_text.h"
#include "batch/output_check.h"
#include "batch/run_stop.h"

#include "batch/syntax_list.h"

#include <stdexcept>

namespace kalvero {
namespace {

// A name as the plan keeps it: as written, or absolute.
std::string SyntaxName(const std::string& name, const PlanRules& rules, FileSystem& files) {
    if (!rules.absoluteNames || name.empty())
        return name;
    return files.AbsolutePath(name.rfind("./", 0) == 0 ? name.substr(2) : name);
}

void ReadListEntry(std::size_t index, const std::string& given, const PlanRules& rules,
                   FileSystem& files, std::vector<Job>& jobs) {
    const std::string entry = SyntaxName(given, rules, files);
    std::vector<std::string> lines;
    try {
        lines = SplitListLines(files.ReadListFile(entry));
        if (rules.limits16)
            Count16(lines.size(), "lines in a list file");
    } catch (const std::exception& failure) {
        jobs.push_back(Job{index, entry, 0, {}, {}, failure.what(), -1});
        return;
    }
    for (std::size_t line = 0; line < lines.size(); ++line) {
        const std::string name = TrimBlanks(lines[line]);
        if (ClassifyLine(name) == ListLineKind::Syntax)
            jobs.push_back(Job{index,
                               entry,
                               static_cast<long>(line + 1),
                               SyntaxName(name, rules, files),
                               {},
                               {},
                               -1});
    }
}

} // namespace

std::string ShownJobName(const Job& job) {
    return ShortenName(job.syntaxFile.empty() ? job.entry : job.syntaxFile);
}

std::vector<Job> ReadEntries(const std::vector<std::string>& entries, InputMode mode,
                             const PlanRules& rules, FileSystem& files) {
    std::vector<Job> jobs;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        // A batch of many entries can be stopped while it is planned.
        if (index % 1024 == 0)
            ThrowIfStopRequested();
        if (mode == InputMode::SyntaxLists) {
            ReadListEntry(index, entries[index], rules, files, jobs);
            continue;
        }
        const std::string name = SyntaxName(entries[index], rules, files);
        jobs.push_back(Job{index, name, 0, name, {}, {}, -1});
    }

    return jobs;
}

void PlanOutputs(Plan& plan, FileSystem& files) {
    OutputCheck check(files);
    for (const std::string& list : plan.listFiles)
        check.AddInput(list, "syntax list file");
    for (const Job& job : plan.jobs)
        check.AddInput(job.syntaxFile, "syntax file");
    const std::string extension = TraitsOf(plan.format).extension;
    for (std::size_t index = 0; index < plan.jobs.size(); ++index) {
        if (index % 1024 == 0)
            ThrowIfStopRequested();
        Job& job = plan.jobs[index];

        if (job.syntaxFile.empty())
            continue;
        job.outputPath = OutputPathFor(job.syntaxFile, extension);
        if (job.refusal.empty())
            job.refusal =
                check.Claim(static_cast<long>(index), job.syntaxFile, job.outputPath, job.after);
    }
}

Plan MakePlan(const std::vector<std::string>& entries, InputMode mode, OutputFormat format,
              const PlanRules& rules, FileSystem& files) {
    if (rules.limits16)
        Count16(entries.size(), "entries in the list");
    Plan plan;
    plan.format = format;
    plan.jobs = ReadEntries(entries, mode, rules, files);
    if (mode == InputMode::SyntaxLists)
        for (const std::string& entry : entries)
            plan.listFiles.push_back(SyntaxName(entry, rules, files));
    PlanOutputs(plan, files);
    return plan;
}

Plan PickJob(const Plan& plan, std::size_t number) {
    if (number < 1 || number > plan.jobs.size())
        throw std::out_of_range("there is no job " + std::to_string(number));
    Plan picked = plan;
    picked.jobs = {plan.jobs[number - 1]};
    // Alone, it waits for nothing.
    picked.jobs.front().after = -1;
    return picked;
}

} // namespace kalvero
